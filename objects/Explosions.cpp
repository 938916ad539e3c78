// Explosions, smoke, dust, shell cases and fire: the fireball and shock ring of a destroyed object, the
// burst of a missile (one blow, like a splash), smoke drifting with the wind, dust behind moving vehicles,
// empty cases thrown from guns, and fires that flicker, drift, dim their light and kindle successors.
// Steps are scaled by the busy level L (2^L ticks per TICK) where the types say so.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/Config.h"
#include "core/Fix3D.h"
#include "core/FixMath.h"
#include "core/Memory.h"
#include "objects/ConstructRes.h"
#include "objects/EffectBlocks.h"
#include "objects/EffectTypes.h"
#include "objects/EffectTypes_local.h"
#include "objects/Projectile.h"
#include "objects/SceneryLighting.h"
#include "objects/UnitSaved.h"
#include "render/Light.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Geom.h"
#include "world/Level.h"
#include "world/ObjFile.h"
#include "world/QZEvent.h"
#include "world/Terrain.h"

namespace {

constexpr int32_t kGravity = -700;

const char* Dir(uintptr_t arg) { return reinterpret_cast<const char*>(arg); }

int32_t Clamp32(int64_t v) {
    return v > INT32_MAX ? INT32_MAX : (v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v));
}

uint8_t Byte255(double v) { return static_cast<uint8_t>(v < 0.0 ? 0.0 : (v > 255.0 ? 255.0 : v)); }

// Moves a position word by a step, held to the word's range.
void Move(int32_t* pos, int64_t step) { *pos = Clamp32(int64_t(*pos) + step); }

void LightOut(uint8_t* lightOn, PointLight* light) {
    if (*lightOn && light) RemoveActiveLight(light);
    *lightOn = 0;
}

// ---- Saved forms, field by field.

void WalkExplode1(SavedWords& w, void* block) { w.I32(&static_cast<Explode1Block*>(block)->age); }

void WalkMExplode(SavedWords& w, void* block) {
    auto* b = static_cast<MExplodeBlock*>(block);
    w.U8(&b->impact.physical);
    w.U8(&b->impact.shield);
    w.U8(&b->impact.structure);
}

void WalkSmoky(SavedWords& w, void* block) {
    auto* b = static_cast<SmokyBlock*>(block);
    w.I32s(b->velocity, 3);
    w.I32(&b->age);
}

void WalkDust(SavedWords& w, void* block) {
    auto* b = static_cast<DustBlock*>(block);
    w.I32s(b->velocity, 3);
    w.I32(&b->life);
    w.I32(&b->growth);
}

// Fire1's form keeps the block's 36 bytes: the light-on byte with its pad and a zero word where the light
// is; a load takes the light out of the list, so neither is read back.
void WalkFire1(SavedWords& w, void* block) {
    auto* b = static_cast<Fire1Block*>(block);
    w.I32(&b->age);
    w.I32(&b->lifetime);
    w.I32(&b->generations);
    w.I32s(b->spawn, 3);
    w.I32(&b->restLength);
    uint32_t lightWords[2] = {b->lightOn, 0};
    w.U32(&lightWords[0]);
    w.U32(&lightWords[1]);
    b->lightOn = lightWords[0] ? 1 : 0;
}

const PjtMember kExplode1{"Explode1", Explode1_itfc, sizeof(Explode1Block), 250.0f, 0, 0, 4, {0, 3, 4, 7}, 1, 1,
                          false, WalkExplode1, 4};
const PjtMember kShockwave{"Shockwave", Shockwave_itfc, sizeof(ShockwaveBlock), 400.0f, 0x2, 0, 4, {0, 3, 4, 7}, 1, 1,
                           false, nullptr, 0};
const PjtMember kMExplode{"MExplode", MExplode_itfc, sizeof(MExplodeBlock), 400.0f, 0, 0, 4, {0, 3, 4, 7}, 1, 1,
                          false, WalkMExplode, 3};
const PjtMember kSmoky{"Smoky", Smoky_itfc, sizeof(SmokyBlock), 150.0f, 0, 0, 2, {0, 4, 0, 0}, 1, 0, false,
                       WalkSmoky, 16};
const PjtMember kDust{"Dust", Dust_itfc, sizeof(DustBlock), 30.0f, 0, 0, 2, {0, 4, 0, 0}, 1, 0, false, WalkDust, 20};
const PjtMember kShellCase{"ShellCase", ShellCase_itfc, sizeof(ShellCaseRecord), 20.0f, 0x2, 0, 1, {0, 0, 0, 0}, -1, 0,
                           false, nullptr, 0};
const PjtMember kFire1{"Fire1", Fire1_itfc, sizeof(Fire1Block), 250.0f, 0, 0, 4, {0, 3, 4, 7}, 1, 1, false, WalkFire1,
                       static_cast<int>(kFire1SavedSize)};

// ---- Explode1.

void TickExplode1(construct* con) {
    auto* b = static_cast<Explode1Block*>(con->itfcData);
    if ((b->age & 7) == 0)
        if (bboard* bb = PjtFirstBBoard(con)) ++bb->fixedFrame;
    const int32_t a = b->age;
    b->age = EffectCount(int64_t(a) + 1);
    if (a > 256) ReturnToPool(con);
}

// ---- Shockwave.

void TakeStagedLight(construct* con, const char* type, PointLight** light) {
    if (CCADLightCount != 1) FatalErrorF("%s wants a Light", type);
    *light = CCADLights[0];
    CCADLights[0] = nullptr;
    CCADLightCount = 0;
    CCADLightFlag = 0;
    (void)con;
}

void SetupShockwave(construct* con) {
    auto* b = static_cast<ShockwaveBlock*>(con->itfcData);
    TakeStagedLight(con, "Shockwave", &b->light);
    b->light->colour[0] = b->light->colour[1] = b->light->colour[2] = 10000;
    b->light->rangeShift = 20;
    b->lightOn = 0;
}

void TickShockwave(construct* con) {
    auto* b = static_cast<ShockwaveBlock*>(con->itfcData);
    const int32_t c = b->countdown;
    con->drawScale = static_cast<uint8_t>(-5 * int64_t(c) - 6);
    con->opacity = static_cast<uint8_t>(5 * int64_t(c));
    b->countdown = c - (c > INT32_MIN ? 1 : 0);
    if (c <= 0) {
        ReturnToPool(con);
        LightOut(&b->lightOn, b->light);
    }
}

// The members that own a point light: DESTROY frees it, COPYITFCDATA gives the copy its own.
template <typename Block>
uintptr_t LitMember(const PjtMember& m, construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::DESTROY: {
            auto* b = static_cast<Block*>(con->itfcData);
            LightOut(&b->lightOn, b->light);
            FreePointLight(b->light);
            b->light = nullptr;
            return PjtMember_itfc(m, con, method, arg);
        }
        case ItfcMethod::COPYITFCDATA: {
            auto* b = static_cast<Block*>(con->itfcData);
            const uintptr_t copy = PjtMember_itfc(m, con, method, arg);
            auto* c = reinterpret_cast<Block*>(copy);
            c->light = b->light ? CopyPointLight(b->light) : nullptr;
            c->lightOn = 0;
            return copy;
        }
        default:
            return PjtMember_itfc(m, con, method, arg);
    }
}

// ---- MExplode.

void TickMExplode(construct* con) {
    con->effectPhase += 4;
    if (con->effectPhase > 379) ReturnToPool(con);
    if (con->effectPhase > 2) con->collisionClass = 0;
}

// ---- Smoky.

int g_smokyShape = 0;  // "smoky1".."smoky5" in turn, shared by all creations

void TickSmoky(construct* con) {
    auto* b = static_cast<SmokyBlock*>(con->itfcData);
    const int L = con->busyLevel & 3;
    b->age = EffectCount(int64_t(b->age) + (1 << L));
    if (b->age >= 1500) ReturnToPool(con);
    int32_t wind[3];
    LevelWind(wind);
    Move(&con->pos[0], int64_t(wind[0] >> (12 - L)) + (b->velocity[0] >> (8 - L)));
    Move(&con->pos[1], b->velocity[1] >> (8 - L));
    Move(&con->pos[2], int64_t(wind[2] >> (12 - L)) + (b->velocity[2] >> (8 - L)));
    bboard* bb = PjtFirstBBoard(con);
    if (!bb) return;
    bb->size1 = Clamp32(int64_t(bb->size1) + (15 << L));
    if (b->age < 50)
        bb->alpha = Byte255(std::trunc(b->age * 5.1));
    else if (b->age < 1000)
        bb->alpha = 255;
    else
        bb->alpha = Byte255(std::trunc(255.0 - (b->age - 1000) * 0.51));
}

// ---- Dust.

void SetupDust(construct* con) {
    auto* b = static_cast<DustBlock*>(con->itfcData);
    b->velocity[0] = Random() >> 19;
    b->velocity[1] = 10000;
    b->velocity[2] = Random() >> 19;
    con->effectPhase = 0;
    if (bboard* bb = PjtFirstBBoard(con)) std::memcpy(bb->colour, LevelDustColour(), 3);
}

void TickDust(construct* con) {
    auto* b = static_cast<DustBlock*>(con->itfcData);
    const int L = con->busyLevel & 3;
    b->life = EffectCount(int64_t(b->life) - (1 << L));
    if (b->life < 0) ReturnToPool(con);
    int32_t wind[3];
    LevelWind(wind);
    for (int k = 0; k < 3; ++k) Move(&con->pos[k], (int64_t(b->velocity[k]) + wind[k]) >> (8 - L));
    bboard* bb = PjtFirstBBoard(con);
    if (!bb) return;
    bb->size1 = Clamp32(int64_t(bb->size1) + (int64_t(b->growth) << L));
    bb->alpha = b->life > 10 ? 200 : Byte255(b->life * 20.0);
}

// ---- ShellCase.

void TickShellCase(construct* con) {
    auto* b = static_cast<ShellCaseRecord*>(con->itfcData);
    construct* struck = nullptr;
    const int32_t level = WaterLevelAt(con->pos[0], con->pos[2]);
    if (CurrentMatrix && CheckMatrixPosition(CurrentMatrix, con->pos, &struck, level) != 0) ReturnToPool(con);
    b->velocity[1] = Clamp32(int64_t(b->velocity[1]) + 32 * kGravity);
    for (int k = 0; k < 3; ++k) b->angles[k] = static_cast<int32_t>(uint32_t(b->angles[k]) + uint32_t(b->spin[k]));
    FixMatrix m;
    MatrixFromEuler(&m, b->angles);
    std::memcpy(con->orient, m.m, sizeof m.m);
    for (int k = 0; k < 3; ++k) Move(&con->pos[k], b->velocity[k] >> 13);
}

// ---- Fire1.

void SetupFire1(construct* con) {
    auto* b = static_cast<Fire1Block*>(con->itfcData);
    bboard* bb = PjtFirstBBoard(con);
    b->restLength = bb ? bb->size1 : 0;
    b->light = CreatePointLight();
    b->light->colour[0] = 4000;
    b->light->colour[1] = 2000;
    b->light->colour[2] = 500;
    b->light->rangeShift = 15;
    b->lightOn = 0;
}

void KindleSuccessor(construct* con, const Fire1Block* b) {
    construct* next = SpawnEffect(con, SharedPoolId::Fire1);
    if (!next) return;
    auto* n = static_cast<Fire1Block*>(next->itfcData);
    n->age = 0;
    n->lifetime = b->lifetime - 50;
    n->generations = b->generations - 1;
    std::memcpy(n->spawn, b->spawn, sizeof n->spawn);
    std::memcpy(next->pos, b->spawn, sizeof next->pos);
    next->effectPhase = 0;
    if (bboard* nb = PjtFirstBBoard(next)) {
        nb->fixedFrame = 0;
        nb->alpha = 255;
        nb->size1 = b->restLength;
    }
    n->restLength = b->generations <= 5 ? static_cast<int32_t>(std::trunc(b->restLength * 0.8)) : b->restLength;
}

void TickFire1(construct* con) {
    auto* b = static_cast<Fire1Block*>(con->itfcData);
    bboard* bb = PjtFirstBBoard(con);
    PointLight* light = b->light;
    const int L = con->busyLevel & 3;
    // 1.
    if (!b->lightOn && light) {
        PlacePointRelativeToOwner(con, light->pos, nullptr);
        if (dynamic_lighting) AddActiveLight(light, 1);
        b->lightOn = 1;
        LightStamp = 1;
    }
    // 2.
    if ((b->age & 7) == 0 && bb) ++bb->fixedFrame;
    const int frame = bb ? bb->fixedFrame : 0;
    // 3. The fire has caught: it flickers and drifts, and its light dims frame by frame.
    if (frame > 17) {
        int32_t wind[3];
        LevelWind(wind);
        Move(&con->pos[0], int64_t(wind[0] >> (12 - L)) - (Rand15() & 255) + 128);
        Move(&con->pos[2], int64_t(wind[2] >> (12 - L)) - (Rand15() & 255) + 128);
        Move(&con->pos[1], 58 - (Rand15() & 15));
        if (light && light->rangeShift != 0) light->rangeShift = static_cast<uint8_t>(32 - frame);
    }
    // 4. The light has gone out (light on stays set, so step 1 does not light it again).
    if (light && light->rangeShift == 0 && b->lightOn) RemoveActiveLight(light);
    // 5. The burning frames 25 to 49 loop.
    if (bb && bb->fixedFrame > 49) bb->fixedFrame = 25;
    // 6, 7.
    if (bb && b->age > 500) bb->size1 = Clamp32(int64_t(bb->size1) + (30 << L));
    const int32_t half = b->lifetime >> 1;
    if (bb && half > 0 && b->age > half) bb->alpha = Byte255(std::trunc((1.0 - double(b->age - half) / half) * 255.0));
    // 8.
    if (b->generations > 0 && b->age == 100) KindleSuccessor(con, b);
    // 9.
    b->age = EffectCount(int64_t(b->age) + 1);
    if (b->age > b->lifetime) {
        LightOut(&b->lightOn, light);
        ReturnToPool(con);
        if (bb) bb->size1 = b->restLength;
        if (light) light->rangeShift = 15;
    }
}

uintptr_t Fire1SetData(construct* con, const uint8_t* src) {
    auto* b = static_cast<Fire1Block*>(con->itfcData);
    if (!src) return 0;
    Fire1Block loaded = *b;
    SavedWords w{nullptr, src, 0, kFire1SavedSize};
    WalkFire1(w, &loaded);
    b->age = loaded.age;
    b->lifetime = loaded.lifetime;
    b->generations = loaded.generations;
    std::memcpy(b->spawn, loaded.spawn, sizeof b->spawn);
    b->restLength = loaded.restLength;
    LightOut(&b->lightOn, b->light);
    // A fire that was lit comes back lit, its light as dim as its frame has made it, so that its first
    // tick does not light it again at full range and a saved game saves again to the same bytes.
    if (loaded.lightOn && b->light) {
        const bboard* bb = PjtFirstBBoard(con);
        const int frame = bb ? bb->fixedFrame : 0;
        b->light->rangeShift = static_cast<uint8_t>(frame > 17 ? (frame < 32 ? 32 - frame : 0) : 15);
        PlacePointRelativeToOwner(con, b->light->pos, nullptr);
        if (dynamic_lighting && b->light->rangeShift != 0) AddActiveLight(b->light, 1);
        b->lightOn = 1;
        LightStamp = 1;
    }
    return 0;
}

}  // namespace

uintptr_t Explode1_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(PjtCreateMember(kExplode1, Dir(arg), "explode2"));
        case ItfcMethod::TICK:
            TickExplode1(con);
            return 0;
        default:
            return PjtMember_itfc(kExplode1, con, method, arg);
    }
}

uintptr_t Shockwave_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(PjtCreateMember(kShockwave, Dir(arg), "shkwave", SetupShockwave));
        case ItfcMethod::TICK:
            TickShockwave(con);
            return 0;
        case ItfcMethod::SETITFCDATA: {
            auto* b = static_cast<ShockwaveBlock*>(con->itfcData);
            if (const auto* src = reinterpret_cast<const ShockwaveBlock*>(arg)) {
                b->countdown = src->countdown;
                std::memcpy(b->reserved, src->reserved, sizeof b->reserved);
            }
            LightOut(&b->lightOn, b->light);
            return 0;
        }
        default:
            return LitMember<ShockwaveBlock>(kShockwave, con, method, arg);
    }
}

uintptr_t MExplode_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(PjtCreateMember(kMExplode, Dir(arg), "mexplode", [](construct* c) {
                static_cast<MExplodeBlock*>(c->itfcData)->impact = DamageRecord{20, 15, 0};
            }));
        case ItfcMethod::TICK:
            TickMExplode(con);
            return 0;
        case ItfcMethod::GETDAMAGE:
            return reinterpret_cast<uintptr_t>(&static_cast<MExplodeBlock*>(con->itfcData)->impact);
        default:
            return PjtMember_itfc(kMExplode, con, method, arg);
    }
}

uintptr_t Smoky_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE: {
            char geom[32];
            std::snprintf(geom, sizeof geom, "smoky%d", g_smokyShape + 1);
            g_smokyShape = (g_smokyShape + 1) % 5;
            return reinterpret_cast<uintptr_t>(PjtCreateMember(kSmoky, Dir(arg), geom));
        }
        case ItfcMethod::TICK:
            TickSmoky(con);
            return 0;
        case ItfcMethod::GETSTATE:
            return 0;
        default:
            return PjtMember_itfc(kSmoky, con, method, arg);
    }
}

uintptr_t Dust_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(PjtCreateMember(kDust, Dir(arg), "dust", SetupDust));
        case ItfcMethod::TICK:
            TickDust(con);
            return 0;
        case ItfcMethod::GETSTATE:
            return 0;
        default:
            return PjtMember_itfc(kDust, con, method, arg);
    }
}

uintptr_t ShellCase_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(PjtCreateMember(kShellCase, Dir(arg), ""));
        case ItfcMethod::TICK:
            TickShellCase(con);
            return 0;
        default:
            return PjtMember_itfc(kShellCase, con, method, arg);
    }
}

uintptr_t Fire1_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(PjtCreateMember(kFire1, Dir(arg), "fire1", SetupFire1));
        case ItfcMethod::TICK:
            TickFire1(con);
            return 0;
        case ItfcMethod::SETITFCDATA:
            return Fire1SetData(con, reinterpret_cast<const uint8_t*>(arg));
        default:
            return LitMember<Fire1Block>(kFire1, con, method, arg);
    }
}

void EmitDust(construct* unit) {
    if (!unit || !unit->spots) return;
    const int32_t scale = LevelDustScale();
    for (int i = 0; i < unit->spotCount; ++i) {
        const SpotRecord& spot = unit->spots[i];
        if (spot.kind < 8 || spot.kind > 10) continue;
        ConstructPool* pool = SharedPool(SharedPoolId::Dust);
        construct* fx = pool ? NextFreeInConstructPool(pool) : nullptr;
        if (!fx) return;
        if (bboard* bb = PjtFirstBBoard(fx)) {
            bb->size1 = 2000;
            std::memcpy(bb->colour, LevelDustColour(), 3);
        }
        auto* b = static_cast<DustBlock*>(fx->itfcData);
        b->velocity[0] = Random() >> 19;
        b->velocity[1] = 10000;
        b->velocity[2] = Random() >> 19;
        b->life = scale / 2;
        b->growth = spot.kind == 8 ? scale : (spot.kind == 9 ? static_cast<int32_t>(std::trunc(scale * 1.5)) : 2 * scale);
        fx->owner = nullptr;
        CreateQZEvent(QZEventKind::Buzy0, fx);
        ActivateConstruct(fx);
        PlaceRelativeToOwner(unit, fx, spot.offset);
    }
}
