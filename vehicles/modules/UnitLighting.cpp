// Unit lighting: headlights, glowing billboards and the search light's beam light, faded over a ramp.
#include "vehicles/modules/UnitLighting.h"

#include <cstring>
#include <initializer_list>

#include "core/Config.h"
#include "core/Fix3D.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "hud/TFView.h"
#include "objects/SceneryLighting.h"
#include "objects/UnitShare.h"
#include "objects/Units.h"
#include "platform/SoundFx.h"
#include "render/Light.h"
#include "vehicles/modules/VehicleModule.h"
#include "world/Construct.h"
#include "world/Player.h"
#include "world/Terrain.h"

namespace {

constexpr int32_t kProbeStep = 4096;

// The light directions of "LightType", before normalising.
struct LightTypeDef {
    const char* name;
    int32_t dir[3];
};
constexpr LightTypeDef kLightTypes[] = {
    {"STRAIGHT", {0, 0, 50000}},
    {"RAISED", {0, 8000, 45000}},
    {"LOWERED", {0, -20000, 50000}},
};

const FixMatrix* Orient(const construct* con) {
    return reinterpret_cast<const FixMatrix*>(con->orient);
}

// 1 when the position is not free: ground, upper surface, a stacked construct or water.
int PositionBlocked(const int32_t pos[3]) {
    if (!CurrentMatrix) return 0;
    return CheckMatrixPosition(CurrentMatrix, pos, nullptr, WaterLevelAt(pos[0], pos[2])) != 0;
}

void AddLights(UnitLighting* l) {
    if (!dynamic_lighting && !l->beam) return;
    if (l->nearLight) AddActiveLight(l->nearLight, l->beam ? kFarLightKind : kNearLightKind);
    if (l->farLight) AddActiveLight(l->farLight, kFarLightKind);
}

void RemoveLights(UnitLighting* l) {
    if (l->nearLight) RemoveActiveLight(l->nearLight);
    if (l->farLight) RemoveActiveLight(l->farLight);
}

void SetLightColours(UnitLighting* l, int32_t factor, int shift) {
    for (PointLight* light : {l->nearLight, l->farLight}) {
        if (!light) continue;
        for (int c = 0; c < 3; ++c)
            light->colour[c] = static_cast<int32_t>((int64_t{l->colour[c]} * l->ramp * factor) >> shift);
    }
}

// Headlights: probes ahead of the carrier until the terrain, water or a structure stops it, and places the
// far light at 70% and the near light at 35% of the free distance.
void PlaceHeadlights(UnitLighting* l) {
    const construct* carrier = l->carrier;
    FixVec local{l->offset[0], l->offset[1], l->offset[2]};
    FixVec origin;
    RotateVecT(&origin, Orient(carrier), &local);
    origin.x += carrier->pos[0];
    origin.y += carrier->pos[1];
    origin.z += carrier->pos[2];
    FixVec localDir{l->dir[0], l->dir[1], l->dir[2]};
    FixVec dir;
    RotateVecT(&dir, Orient(carrier), &localDir);

    int32_t p[3] = {origin.x, origin.y, origin.z};
    int32_t distance = 0;
    while (distance < kHeadlightReach) {
        p[0] += dir.x >> 3;
        p[1] += dir.y >> 3;
        p[2] += dir.z >> 3;
        if (PositionBlocked(p)) break;  // the blocked step does not count
        distance += kProbeStep;
    }
    if (distance > kHeadlightReach) distance = kHeadlightReach;

    const double farScale = distance * 0.7 / 32768.0;
    const double nearScale = distance * 0.35 / 32768.0;
    const int32_t d[3] = {dir.x, dir.y, dir.z};
    const int32_t o[3] = {origin.x, origin.y, origin.z};
    for (int c = 0; c < 3; ++c) {
        if (l->farLight) l->farLight->pos[c] = o[c] + static_cast<int32_t>(d[c] * farScale);
        l->nearLight->pos[c] = o[c] + static_cast<int32_t>(d[c] * nearScale);
    }
}

// The beam: probes along the carrier's forward axis; returns 256 when it met something (the light then
// stands one step beyond, raised), else 0.
int32_t PlaceBeamLight(UnitLighting* l, UnitShare* rec) {
    const construct* carrier = l->carrier;
    const int32_t* fwd = &carrier->orient[6];
    int32_t p[3] = {carrier->pos[0], carrier->pos[1], carrier->pos[2]};
    for (int32_t distance = 0; distance < kBeamReach; distance += kProbeStep) {
        for (int c = 0; c < 3; ++c) p[c] += fwd[c] >> 3;
        if (!PositionBlocked(p)) continue;
        for (int c = 0; c < 3; ++c) p[c] += fwd[c] >> 3;
        p[1] += kBeamLightRaise;
        std::memcpy(l->nearLight->pos, p, sizeof p);
        if (rec) {
            rec->beamLit = 1;
            std::memcpy(rec->beamPoint, p, sizeof p);
        }
        return 256;
    }
    if (rec) rec->beamLit = 0;
    return 0;
}

}  // namespace

void UnitLighting_init(UnitLighting* l, construct* con, construct* carrier, const int32_t offset[3],
                       const UnitLightBoard boards[kUnitLightBoards]) {
    std::memset(l, 0, sizeof *l);
    l->con = con;
    l->carrier = carrier ? carrier : con;
    for (int i = 0; i < kUnitLightBoards && boards; ++i) {
        l->boardLevel[i] = boards[i].level;
        l->boardIntensity[i] = boards[i].intensity;
    }

    const Rule* type = NamedUnitRule(con->unit, "LightType");
    const char* name = type->info[0] ? type->info[0] : "";
    if (std::strcmp(name, "BEAM") == 0) {
        l->beam = 1;
        l->nearLight = CreatePointLight();
        for (int32_t& c : l->colour) c = 2048;
        return;
    }
    const LightTypeDef* def = nullptr;
    for (const LightTypeDef& t : kLightTypes)
        if (std::strcmp(name, t.name) == 0) def = &t;
    if (!def) FatalErrorF("Error(UnitLighting_init, %s): uk lighting type", ItfcName(con->itfc));
    FixVec raw{def->dir[0], def->dir[1], def->dir[2]};
    FixVec dir{0, 0, 0};
    NormaliseF(&dir, &raw);
    l->dir[0] = dir.x;
    l->dir[1] = dir.y;
    l->dir[2] = dir.z;
    if (offset) std::memcpy(l->offset, offset, sizeof l->offset);

    l->nearLight = CreatePointLight();
    l->farLight = CreatePointLight();
    const Rule* colour = FindUnitRule(con->unit, "LightColour");
    for (int c = 0; c < 3; ++c)
        l->colour[c] = colour && colour->count > c ? TruncateToInt32(colour->values[c]) : 255;
}

void UnitLighting_free(UnitLighting* l) {
    if (l->on) RemoveLights(l);
    l->on = 0;
    FreePointLight(l->nearLight);
    FreePointLight(l->farLight);
    l->nearLight = nullptr;
    l->farLight = nullptr;
}

void UnitLighting_on(UnitLighting* l) {
    if (l->on) return;
    AddLights(l);
    l->on = 1;
}

void UnitLighting_off(UnitLighting* l) {
    if (!l->on) return;
    RemoveLights(l);
    l->on = 0;
    for (int32_t* level : l->boardLevel)
        if (level) *level = 0;
}

void UnitLighting_switch(UnitLighting* l, int32_t state) {
    l->forced = state;
    if (state == 1) {
        if (l->on) {
            l->step = -kLightRampStep;
            l->restore = 1;
        } else {
            l->restore = 0;
        }
        return;
    }
    if (l->on || l->restore) l->step = kLightRampStep;
}

void UnitLighting_fade(UnitLighting* l, int32_t) {
    if (l->forced) return;
    l->step = l->ramp == 0 ? kLightRampStep : -kLightRampStep;
}

void UnitLighting_update(UnitLighting* l, const ControlInput& current, const ControlInput& previous,
                         UnitShare* rec, int shift) {
    // 1. The light key toggles once per press.
    if (InputKeyPressed(previous, current, kInputLight) && !l->forced) {
        if (l->con == PlayerUnit) PlayToggleLightSound();
        l->step = l->ramp > 0 ? -kLightRampStep : kLightRampStep;
    }

    // 2. The ramp.
    l->ramp += StepScale(l->step, shift);
    if (l->ramp > kLightRampFull) {
        l->ramp = kLightRampFull;
        l->step = 0;
    } else if (l->ramp < 0) {
        l->ramp = 0;
        l->step = 0;
        UnitLighting_off(l);
    }

    // 3. Billboards: dimming lowers every one, brightening never lowers one that is brighter.
    for (int i = 0; i < kUnitLightBoards; ++i) {
        int32_t* level = l->boardLevel[i];
        if (!level) continue;
        const int32_t v = (l->boardIntensity[i] * l->ramp) >> 8;
        if (*level < v || l->step < 0) *level = v;
    }

    // 4. Placement. On the update in which the lights come back on nothing is placed yet, and they stay
    // dark (factor 0) until the next update has put them where they belong.
    int32_t factor = 0;
    if (!l->on) {
        if (rec) rec->beamFlag = 0;
    } else {
        if (rec) rec->beamFlag = 1;
        if (!l->beam) {
            if (l->ramp > 0) {
                PlaceHeadlights(l);
                LightStamp = 1;
                factor = 256;
            }
        } else {
            factor = PlaceBeamLight(l, rec);
            LightStamp = 1;
        }
    }

    // 5. Colours.
    if (l->ramp > 0) {
        UnitLighting_on(l);
        SetLightColours(l, factor, 14);
    }
}

void UnitLighting_draw(UnitLighting* l, const UnitLighting* src) {
    if (src->on && !l->on) AddLights(l);
    if (l->on && !src->on) RemoveLights(l);
    std::memcpy(l->offset, src->offset, sizeof l->offset);
    std::memcpy(l->dir, src->dir, sizeof l->dir);
    l->on = src->on;
    l->ramp = src->ramp;
    l->step = src->step;
    l->forced = src->forced;
    l->restore = src->restore;
    std::memcpy(l->colour, src->colour, sizeof l->colour);
    std::memcpy(l->boardIntensity, src->boardIntensity, sizeof l->boardIntensity);
    SetLightColours(l, 1, 6);
}
