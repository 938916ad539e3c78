// Impact effects: the splash of a bullet, the bursts of shells and grenades on ground or water (which
// deal their blow once), the flash of a shell on a structure or a shield, the spark of a hit and the
// flash that clings to a struck unit's shield sphere and circles over it.
#include <cstring>

#include "core/Fix3D.h"
#include "core/FixMath.h"
#include "objects/EffectBlocks.h"
#include "objects/EffectTypes.h"
#include "objects/Projectile.h"
#include "world/Construct.h"
#include "world/Geom.h"

int32_t ShieldHitSpin = 0;

namespace {

constexpr int32_t kFullTurn = 411774;
constexpr int32_t kShieldSpinStep = -2500;

// The countdown step every impact effect ends with: it lives countdown + 1 ticks. A countdown that is
// already below 0 (never handed out by a spawner) ends it at once instead of running down the word.
void CountDown(construct* con, int32_t* countdown) {
    const int32_t c = *countdown;
    *countdown = c - (c > INT32_MIN ? 1 : 0);
    if (c <= 0) ReturnToPool(con);
}

const PjtMember kBulletSplash{"BulletSplash", BulletSplash_itfc, sizeof(CountdownBlock), 140.0f, 0, 0, 1, {0, 0, 0, 0},
                              1, 0, false, nullptr, 0};
const PjtMember kShellExpl{"ShellExpl", ShellExpl_itfc, sizeof(CountdownBlock), 200.0f, 0, 0, 1, {0, 0, 0, 0},
                           1, 1, false, nullptr, 0};
const PjtMember kHitSpark{"HitSpark", HitSpark_itfc, sizeof(HitSparkBlock), 25.0f, 0, 0, 1, {0, 0, 0, 0},
                          1, 1, false, nullptr, 0};
const PjtMember kShellSplash{"ShellSplash", ShellSplash_itfc, sizeof(SplashBlock), 240.0f, 0, 255, 4, {0, 3, 4, 7},
                             1, 0, false, nullptr, 0};
const PjtMember kGrenadeSplash{"GrenadeSplash", GrenadeSplash_itfc, sizeof(SplashBlock), 330.0f, 0, 255, 4,
                               {0, 3, 4, 7}, 1, 0, false, nullptr, 0};
const PjtMember kShieldHit{"ShieldHit", ShieldHit_itfc, sizeof(ShieldHitBlock), 80.0f, 0, 0, 1, {0, 0, 0, 0},
                           1, 1, false, nullptr, 0};

const char* Dir(uintptr_t arg) { return reinterpret_cast<const char*>(arg); }

// The effects that only count down and move their phase.
uintptr_t CountdownEffect(const PjtMember& m, const char* geom, int32_t phaseStep, construct* con,
                          ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(PjtCreateMember(m, Dir(arg), geom));
        case ItfcMethod::TICK:
            con->effectPhase += phaseStep;
            CountDown(con, static_cast<int32_t*>(con->itfcData));
            return 0;
        default:
            return PjtMember_itfc(m, con, method, arg);
    }
}

// The splashes of shells and grenades: a blow of their impact bytes to whatever their one collision pass
// finds, then only their look.
uintptr_t Splash(const PjtMember& m, const char* geom, DamageRecord impact, int32_t phaseStep, construct* con,
                 ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE: {
            construct* made = PjtCreateMember(m, Dir(arg), geom);
            static_cast<SplashBlock*>(made->itfcData)->impact = impact;
            return reinterpret_cast<uintptr_t>(made);
        }
        case ItfcMethod::TICK: {
            auto* b = static_cast<SplashBlock*>(con->itfcData);
            con->effectPhase += phaseStep;
            if (b->countdown > 1) con->collisionClass = 0;
            CountDown(con, &b->countdown);
            return 0;
        }
        case ItfcMethod::GETDAMAGE:
            return reinterpret_cast<uintptr_t>(&static_cast<SplashBlock*>(con->itfcData)->impact);
        case ItfcMethod::GETSTATE:
            return 0;
        default:
            return PjtMember_itfc(m, con, method, arg);
    }
}

FixVec Cross(const FixVec& a, const FixVec& b) {
    return {static_cast<int32_t>((int64_t(a.y) * b.z - int64_t(a.z) * b.y) >> 15),
            static_cast<int32_t>((int64_t(a.z) * b.x - int64_t(a.x) * b.z) >> 15),
            static_cast<int32_t>((int64_t(a.x) * b.y - int64_t(a.y) * b.x) >> 15)};
}

// The centre of the unit's sphere now. The sphere record's own world centre is brought up to date only
// when the collision pass pairs the unit, so the flash computes it from the unit itself while it has it.
void SphereCentre(const ShieldHitBlock* b, construct* unit, int32_t out[3]) {
    if (!unit) {
        std::memcpy(out, b->sphere->world, sizeof b->sphere->world);
        return;
    }
    FixMatrix o;
    std::memcpy(o.m, unit->orient, sizeof o.m);
    const FixVec local{b->sphere->centre[0], b->sphere->centre[1], b->sphere->centre[2]};
    FixVec w;
    RotateVecT13(&w, &o, &local);
    out[0] = w.x + unit->pos[0];
    out[1] = w.y + unit->pos[1];
    out[2] = w.z + unit->pos[2];
}

void AttachShieldHit(construct* con, construct* unit) {
    auto* b = static_cast<ShieldHitBlock*>(con->itfcData);
    b->unit = unit;
    if (!b->sphere) return;
    int32_t centre[3];
    SphereCentre(b, unit, centre);
    // 1. The direction from the centre to the hit point; a hit at the very centre flashes on top.
    FixVec d{0, 32768, 0};
    const FixVec away{b->hit[0] - centre[0], b->hit[1] - centre[1], b->hit[2] - centre[2]};
    NormaliseF(&d, &away);
    // 2. d scaled to the sphere's radius.
    const int32_t r = b->sphere->radius;
    b->offset[0] = static_cast<int32_t>((int64_t(d.x >> 8) * r) >> 7);
    b->offset[1] = static_cast<int32_t>((int64_t(d.y >> 8) * r) >> 7);
    b->offset[2] = static_cast<int32_t>((int64_t(d.z >> 8) * r) >> 7);
    // 3. A horizontal vector square to d.
    FixVec v{d.z, 0, -d.x};
    if (v.x == 0 && v.z == 0) v.x = 5000;
    while ((v.x < 5000 && v.x > -5000) && (v.z < 5000 && v.z > -5000)) {
        v.x *= 2;
        v.z *= 2;
    }
    Normalise(&v, &v);
    // 4. The shared spin angle; it is kept within one turn either way (a whole turn more or less turns
    // alike).
    ShieldHitSpin += Random() >> 14;
    if (ShieldHitSpin > kFullTurn) ShieldHitSpin -= kFullTurn;
    if (ShieldHitSpin < -kFullTurn) ShieldHitSpin += kFullTurn;
    // 5, 6.
    FixMatrix about;
    MatrixFromDirection2(&about, &d, ShieldHitSpin);
    RotateVec(&v, &about, &v);
    FixMatrix spin;
    MatrixFromDirection(&spin, &v, kShieldSpinStep);
    std::memcpy(b->spin, spin.m, sizeof b->spin);
    // 7.
    for (int k = 0; k < 3; ++k) con->pos[k] = centre[k] + b->offset[k];
    const FixVec up = Cross(d, v);
    const int32_t rows[9] = {v.x, v.y, v.z, up.x, up.y, up.z, d.x, d.y, d.z};
    std::memcpy(con->orient, rows, sizeof rows);
}

void TickShieldHit(construct* con) {
    auto* b = static_cast<ShieldHitBlock*>(con->itfcData);
    // The unit has left the world: its flash ends with it.
    if (!b->sphere) {
        ReturnToPool(con);
        return;
    }
    // 1.
    int32_t centre[3];
    SphereCentre(b, b->unit, centre);
    for (int k = 0; k < 3; ++k) con->pos[k] = centre[k] + b->offset[k];
    // 2.
    FixMatrix spin;
    std::memcpy(spin.m, b->spin, sizeof spin.m);
    FixVec off{b->offset[0], b->offset[1], b->offset[2]};
    RotateVec(&off, &spin, &off);
    b->offset[0] = off.x;
    b->offset[1] = off.y;
    b->offset[2] = off.z;
    FixMatrix o;
    std::memcpy(o.m, con->orient, sizeof o.m);
    MulMatrixT(&o, &spin, &o);
    std::memcpy(con->orient, o.m, sizeof o.m);
    // 3, 4.
    con->effectPhase -= 5;
    const int8_t c = b->countdown;
    b->countdown = static_cast<int8_t>(c - 1);
    if (c <= 0) ReturnToPool(con);
}

}  // namespace

uintptr_t BulletSplash_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    return CountdownEffect(kBulletSplash, "bullsplash", 2, con, method, arg);
}

uintptr_t ShellExpl_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    return CountdownEffect(kShellExpl, "shellexpl", -8, con, method, arg);
}

uintptr_t HitSpark_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    return CountdownEffect(kHitSpark, "sparkle", 0, con, method, arg);
}

uintptr_t ShellSplash_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    return Splash(kShellSplash, "shellsplsh", DamageRecord{10, 2, 0}, 5, con, method, arg);
}

uintptr_t GrenadeSplash_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    return Splash(kGrenadeSplash, "grensplash", DamageRecord{15, 15, 0}, 1, con, method, arg);
}

uintptr_t ShieldHit_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(PjtCreateMember(kShieldHit, Dir(arg), "shieldhit3"));
        case ItfcMethod::TICK:
            TickShieldHit(con);
            return 0;
        case ItfcMethod::ATTACH:
            AttachShieldHit(con, reinterpret_cast<construct*>(arg));
            return 0;
        case ItfcMethod::SETITFCDATA:
            return 0;  // a flash keeps its own unit and sphere
        default:
            return PjtMember_itfc(kShieldHit, con, method, arg);
    }
}
