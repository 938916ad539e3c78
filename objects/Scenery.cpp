// Scenery and lanterns. Scenery is a decoration without state that only stands, animates and may carry
// a light that follows the scenery light level; a lantern is a point light without geometry whose
// colour runs through a ramp of 256 colours. The scenery light is shared with MultiScenery.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/Config.h"
#include "core/Fix3D.h"
#include "core/Memory.h"
#include "core/Package.h"
#include "objects/ConstructRes.h"
#include "objects/Elements_local.h"
#include "objects/SceneryLighting.h"
#include "objects/Units.h"
#include "platform/Palette.h"
#include "platform/Texture.h"
#include "render/Light.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Geom.h"
#include "world/ObjFile.h"
#include "world/QZEvent.h"
#include "world/Terrain.h"

using namespace elements;

namespace elements {

namespace {

// The kind a scenery light is entered into the active list with.
constexpr int kSceneryLightKind = 1;

ConstructPool* SceneryLightPool() { return FindConstructPool("scenery lighting"); }

void LightOn(PointLight* light, int kind) {
    if (!dynamic_lighting || IsActiveLight(light)) return;
    AddActiveLight(light, kind);
    LightStamp = 1;
}

void LightOffOnly(PointLight* light) {
    if (!IsActiveLight(light)) return;
    RemoveActiveLight(light);
    LightStamp = 1;
}

}  // namespace

PointLight* TakeStagedLight() {
    if (!CCADLightFlag || CCADLightCount <= 0) return nullptr;
    PointLight* light = CCADLights[--CCADLightCount];
    CCADLights[CCADLightCount] = nullptr;
    CCADLightFlag = 0;
    light->palette = nullptr;  // the scenery light has no colour ramp of its own
    return light;
}

void PlaceSceneryLight(construct* con, SceneryLight* lit) {
    if (PointLight* light = lit->light) {
        // The light's point is held in quarter units of its object, as the geometry is.
        const int32_t offset[3] = {light->objPos[0] * 4, light->objPos[1] * 4, light->objPos[2] * 4};
        PlacePointRelativeToOwner(con, light->pos, offset);
        // The file's colour (its colour words hold it times 16), so that full brightness gives it back.
        for (int k = 0; k < 3; ++k) {
            const int32_t c = light->colour[k] / 16;
            lit->colour[k] = static_cast<uint8_t>(c < 0 ? 0 : c > 255 ? 255 : c);
        }
        con->effectPhase = 0;
        if (TopTileFieldPresent) LightOn(light, kSceneryLightKind);
        if (ConstructPool* pool = SceneryLightPool())
            if (!IsInConstructPool(con, pool)) AppendToConstructPool(pool, con);
    }
    lit->bboardAnim = lit->paletteAnim = 0;
    for (int i = 0; i < con->bboardCount; ++i)
        for (const bboard* b = con->bboards[i]; b; b = b->next) {
            if (b->anim && b->anim->frameCount != 0) lit->bboardAnim = 1;
            if (b->palette && !IsUniformPlt(b->palette)) lit->paletteAnim = 1;
        }
}

void SetSceneryBrightness(SceneryLight* lit, construct* con, int level) {
    PointLight* light = lit->light;
    if (!light) return;
    for (int k = 0; k < 3; ++k) light->colour[k] = lit->colour[k] * level / 16;
    con->effectPhase = level / 2;
    LightStamp = 1;
    if (TopTileFieldPresent) return;
    if (level < 16) LightOffOnly(light);
    else LightOn(light, kSceneryLightKind);
}

void SceneryLightOff(construct* con, SceneryLight* lit) {
    if (!lit->light) return;
    LightOffOnly(lit->light);
    if (ConstructPool* pool = SceneryLightPool()) RemoveFromConstructPool(pool, con);
}

bool SceneryAnimated(const construct* con, const SceneryLight* lit) {
    return lit->paletteAnim || lit->bboardAnim || HasActiveSpots(con);
}

void AnimateScenery(construct* con, const SceneryLight* lit, int32_t* counter) {
    if (lit->paletteAnim) {
        *counter += 4 * con->busyLevel;
        if (*counter > 255) *counter = 0;
        con->effectPhase = *counter >> 4;
    }
    if (lit->bboardAnim) con->effectPhase += 700;
    UpdateSpotEffects(con);
}

}  // namespace elements

namespace {

// ---- Scenery ----

constexpr const char* kSceneryName = "Scenery";
constexpr uint8_t kSampleCorners[4] = {0, 3, 4, 7};
constexpr char kDegree = static_cast<char>(0xB0);
// GETSTATE of every scenery object: no shield, no structure.
const StateRecord kNoState{0, 0, 0};

SceneryBlock* SceneryData(construct* con) { return static_cast<SceneryBlock*>(con->itfcData); }

// Detail level k (1..3): the file named with k degree signs after the path, when it exists.
Geom* DetailLevel(const char* path, int k, Geom* fallback) {
    char name[512];
    std::snprintf(name, sizeof name, "%s%.*s", path, k, "\xB0\xB0\xB0");
    static_assert(kDegree == '\xB0');
    if (!qzpk_exists(name)) return fallback;
    Geom* g = LoadGeom(kSceneryScale, name, "", nullptr);
    DropStaged();
    return g;
}

construct* CreateScenery(const char* path) {
    construct* con = CreateConstruct(0, kLitPart);
    con->itfc = Scenery_itfc;
    auto* b = static_cast<SceneryBlock*>(AllocItfcData(con, sizeof(SceneryBlock)));
    Geom* g0 = LoadGeom(kSceneryScale, path, "", nullptr);
    b->lit.light = TakeStagedLight();
    AllocBBoards(con, 1);
    AllocSpots(con);
    DropStaged();
    Geom* g1 = DetailLevel(path, 1, g0);
    Geom* g2 = DetailLevel(path, 2, g0);
    Geom* g3 = DetailLevel(path, 3, g0);
    SetConstructGeoms(con, g0, g1, g2, g3);
    con->sampleCornerCount = 4;
    std::memcpy(con->sampleCorners, kSampleCorners, sizeof kSampleCorners);
    return con;
}

void UnplaceScenery(construct* con) {
    if (!(con->flags & kConstructPlaced)) FatalError("Error(Scenery_itfc): not moved");
    SceneryBlock* b = SceneryData(con);
    con->flags &= ~kConstructPlaced;
    SceneryLightOff(con, &b->lit);
    RemoveFromTypePools(con);
    // An unplaced scenery object stops ticking, light or not: nothing of it is left in the world.
    QueueUnbusy(con);
    DeactivateConstruct(con);
}

void PlaceScenery(construct* con, const PlacementRecord* place) {
    SceneryBlock* b = SceneryData(con);
    if (con->flags & kConstructPlaced) UnplaceScenery(con);
    con->collisionClass = 0;
    con->flags |= kConstructPlaced | static_cast<uint32_t>(place->extraFlags);
    con->pos[0] = place->x;
    con->pos[1] = place->y;
    con->pos[2] = place->z;
    const uint32_t klass = con->unit ? con->unit->klass : 0;
    if (CurrentMatrix) {
        if (TopTileFieldPresent && (klass & kKlassRaised))
            con->pos[1] = GroundHeight(CurrentMatrix, con->pos, 1, 1, nullptr);
        else if (!(con->flags & kOriginalHeightFlag))
            con->pos[1] = GroundHeight(CurrentMatrix, con->pos, 0, 1, nullptr);
    }
    FixMatrix m;
    const int32_t angles[3] = {kQuarterTurn, place->heading, 0};
    MatrixFromEuler(&m, angles);
    std::memcpy(con->orient, m.m, sizeof con->orient);
    con->effectPhase = 128;
    b->animCounter = 0;
    b->mode = 0;
    PlaceSceneryLight(con, &b->lit);
    if (SceneryAnimated(con, &b->lit)) QueueBusy(con, kElementBusyLevel);
    AddToTypePools(con);
    ActivateConstruct(con);
}

void DestroyScenery(construct* con) {
    if (con->flags & kConstructPlaced) FatalError("remove first");
    SceneryBlock* b = SceneryData(con);
    FreePointLight(b->lit.light);
    b->lit.light = nullptr;
    DestroySubConstructs(&b->unit.owned);
    FreeConstruct(con);
}

// ---- Lantern ----

constexpr const char* kLanternName = "Lantern";
constexpr uint8_t kLanternLightKind = 18;

LanternBlock* LanternData(construct* con) { return static_cast<LanternBlock*>(con->itfcData); }

construct* CreateLantern() {
    construct* con = CreateConstruct(0, 0);
    con->itfc = Lantern_itfc;
    auto* b = static_cast<LanternBlock*>(AllocItfcData(con, sizeof(LanternBlock)));
    b->light = CreatePointLight();
    b->light->kind = kLanternLightKind;
    b->on = 0;
    b->start = b->current = 0;
    b->step = 1;
    for (int i = 0; i < 256; ++i)
        for (uint8_t& c : b->ramp[i]) c = static_cast<uint8_t>(255 - i);
    return con;
}

void UnplaceLantern(construct* con) {
    if (!(con->flags & kConstructPlaced)) FatalError("Error(Lantern_itfc): not moved");
    LanternBlock* b = LanternData(con);
    con->flags &= ~kConstructPlaced;
    LightOffOnly(b->light);
    b->on = 0;
    QueueUnbusy(con);
}

void PlaceLantern(construct* con, const PlacementRecord* place) {
    LanternBlock* b = LanternData(con);
    if (con->flags & kConstructPlaced) UnplaceLantern(con);
    con->flags |= kConstructPlaced;
    con->pos[0] = place->x;
    con->pos[1] = place->y;
    con->pos[2] = place->z;
    con->collisionClass = 0;
    std::memcpy(b->light->pos, con->pos, sizeof b->light->pos);
    if (!b->on) {
        LightOn(b->light, b->light->kind);
        b->on = 1;
    }
    b->current = b->start;
    QueueBusy(con, kLanternBusyLevel);
}

void TickLantern(construct* con) {
    LanternBlock* b = LanternData(con);
    const uint8_t* rgb = b->ramp[b->current];
    for (int k = 0; k < 3; ++k) {
        const int32_t c = 8 * rgb[k];
        if (b->light->colour[k] != c) LightStamp = 1;
        b->light->colour[k] = c;
    }
    std::memcpy(b->light->pos, con->pos, sizeof b->light->pos);
    b->current = static_cast<uint8_t>(b->current + (b->step << con->busyLevel));
}

void LanternParams(construct* con, const uint8_t* params) {
    if (!params) return;
    LanternBlock* b = LanternData(con);
    b->start = params[8];
    b->light->kind = params[9];
    b->step = params[10];
    std::memcpy(b->ramp, params + kLanternRampOffset, sizeof b->ramp);
}

void DestroyLantern(construct* con) {
    if (con->flags & kConstructPlaced) FatalError("remove first");
    LanternBlock* b = LanternData(con);
    FreePointLight(b->light);
    b->light = nullptr;
    FreeConstruct(con);
}

}  // namespace

static_assert(kLanternRampOffset + 256 * 3 == kLanternParamsSize);
static_assert(kLanternParamsSize <= kMaxParamsRecordSize);

uintptr_t Scenery_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE: return reinterpret_cast<uintptr_t>(CreateScenery(reinterpret_cast<const char*>(arg)));
        case ItfcMethod::TICK: {
            SceneryBlock* b = SceneryData(con);
            AnimateScenery(con, &b->lit, &b->animCounter);
            return 0;
        }
        case ItfcMethod::PLACE: {
            PlacementRecord none{};
            PlaceScenery(con, arg ? reinterpret_cast<const PlacementRecord*>(arg) : &none);
            return 0;
        }
        case ItfcMethod::UNPLACE: UnplaceScenery(con); return 0;
        case ItfcMethod::GETNAME: return reinterpret_cast<uintptr_t>(kSceneryName);
        case ItfcMethod::GETSTATE: return reinterpret_cast<uintptr_t>(&kNoState);
        case ItfcMethod::GETPOS:
            if (arg) std::memcpy(reinterpret_cast<int32_t*>(arg), con->pos, sizeof con->pos);
            return 0;
        case ItfcMethod::DESTROY: DestroyScenery(con); return 0;
        case ItfcMethod::GETUNIT: return 0;
        case ItfcMethod::SETBRIGHTNESS:
            SetSceneryBrightness(&SceneryData(con)->lit, con, static_cast<int>(arg));
            return 0;
        case ItfcMethod::SETMODE:
            SceneryData(con)->mode = static_cast<uint8_t>(SceneryData(con)->mode | (arg & 0xFF));
            return 0;
        case ItfcMethod::GETMODE: return SceneryData(con)->mode;
        case ItfcMethod::GETITFCDATA: return reinterpret_cast<uintptr_t>(ScenerySaved(SceneryData(con), arg));
        case ItfcMethod::SETITFCDATA:
            RequireSaved(ElementForm::Scenery, reinterpret_cast<const uint8_t*>(arg));
            SceneryRestore(SceneryData(con), reinterpret_cast<const uint8_t*>(arg));
            return 0;
        default: return ItfcUnknownMethod(kSceneryName, method);
    }
}

uintptr_t Lantern_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE: return reinterpret_cast<uintptr_t>(CreateLantern());
        case ItfcMethod::TICK: TickLantern(con); return 0;
        case ItfcMethod::PLACE: {
            PlacementRecord none{};
            PlaceLantern(con, arg ? reinterpret_cast<const PlacementRecord*>(arg) : &none);
            return 0;
        }
        case ItfcMethod::UNPLACE: UnplaceLantern(con); return 0;
        case ItfcMethod::GETNAME: return reinterpret_cast<uintptr_t>(kLanternName);
        case ItfcMethod::DESTROY: DestroyLantern(con); return 0;
        case ItfcMethod::SETPARAMS: LanternParams(con, reinterpret_cast<const uint8_t*>(arg)); return 0;
        case ItfcMethod::GETUNIT: return 0;
        case ItfcMethod::GETITFCDATA: return reinterpret_cast<uintptr_t>(LanternSaved(LanternData(con), arg));
        case ItfcMethod::SETITFCDATA:
            RequireSaved(ElementForm::Lantern, reinterpret_cast<const uint8_t*>(arg));
            LanternRestore(LanternData(con), reinterpret_cast<const uint8_t*>(arg));
            return 0;
        default: return ItfcUnknownMethod(kLanternName, method);
    }
}
