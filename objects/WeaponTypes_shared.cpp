// Helpers the weapon types share: rules, saved sounds, staged lights and the draping of decals.
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "core/Config.h"
#include "core/Fix3D.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "objects/UnitSaved.h"
#include "objects/WeaponTypes.h"
#include "objects/WeaponTypes_local.h"
#include "platform/Sound.h"
#include "render/Light.h"
#include "world/Construct.h"
#include "world/Geom.h"
#include "world/ObjFile.h"
#include "world/Terrain.h"

namespace weapons {

float RuleValue(const char* format, const char* name) {
    char rule[64];
    std::snprintf(rule, sizeof rule, format, name);
    const Rule* r = NamedRule(rule);
    return r->count > 0 && r->values ? r->values[0] : 0.0f;
}

void WalkSavedSound(SavedWords& w, SoundDesc* desc) {
    constexpr size_t kBytes = sizeof desc->file + 6 * 4;
    if (!w.out) {
        w.pos += kBytes;
        return;
    }
    for (size_t i = 0; i < sizeof desc->file; ++i) {
        uint8_t c = i + 1 < sizeof desc->file ? static_cast<uint8_t>(desc->file[i]) : 0;
        w.U8(&c);
    }
    for (int32_t v : {desc->minDistance, desc->maxDistance, desc->lowFrequency, desc->highFrequency, desc->unused})
        w.I32(&v);
    WalkPointerWord(w);
}

void WalkPointerWord(SavedWords& w) {
    uint32_t zero = 0;
    w.U32(&zero);
}

PointLight* TakeStagedLight(const char* message) {
    if (CCADLightCount != 1) FatalError(message);
    PointLight* light = CCADLights[0];
    CCADLights[0] = nullptr;
    CCADLightCount = 0;
    CCADLightFlag = 0;
    return light;
}

void LightIn(uint8_t* flag, PointLight* light) {
    if (*flag || !light) return;
    if (dynamic_lighting) {
        AddActiveLight(light, 1);
        *flag = 1;
    }
}

void LightOut(uint8_t* flag, PointLight* light) {
    if (*flag && light) RemoveActiveLight(light);
    *flag = 0;
}

namespace {

// The height a decal's point is laid at, from the ground g and the top surface t under it.
int32_t DrapeHeight(Drape how, int32_t g, int32_t t, int32_t x, int32_t z) {
    const int32_t level = WaterLevelAt(x, z);
    const int64_t water = level == kNoWaterLevel ? INT64_MIN : int64_t(level) * 8;
    switch (how) {
        case Drape::SplashOnGround:
            return (g < water && !TopTileFieldPresent) ? Clamp32(water) : g;
        case Drape::SplashOnTop:
            // Where the terrain has no top surface the splash stays on the ground (not at the
            // no-surface value).
            return t == kNoUpperBound ? g : t;
        case Drape::Wave:
            return Clamp32((g < water ? water : int64_t(g)) + 800);
        case Drape::Trail:
            return Clamp32(int64_t(g) + 500);
    }
    return g;
}

}  // namespace

void DrapeDecal(construct* con, Drape how) {
    Geom* g = con->lod[0];
    if (!g || !g->points || !CurrentMatrix) return;
    FixMatrix o;
    std::memcpy(o.m, con->orient, sizeof o.m);
    const int mode = how == Drape::Trail ? 1 : 0;
    for (int i = 0; i < g->pointCount; ++i) {
        GeomPoint& p = g->points[i];
        const FixVec local{p.pos[0], p.pos[1], p.pos[2]};
        FixVec d;
        RotateVecT13(&d, &o, &local);
        const int32_t w[3] = {Clamp32(int64_t(con->pos[0]) + d.x), Clamp32(int64_t(con->pos[1]) + d.y),
                              Clamp32(int64_t(con->pos[2]) + d.z)};
        int32_t top = kNoUpperBound;
        const int32_t ground = InterpGroundHeights(CurrentMatrix, w, &top, 0, mode);
        const int32_t h = DrapeHeight(how, ground, top, w[0], w[2]);
        const FixVec rel{Clamp32(int64_t(w[0]) - con->pos[0]), Clamp32(int64_t(h) - con->pos[1]),
                         Clamp32(int64_t(w[2]) - con->pos[2])};
        FixVec back;
        RotateVec(&back, &o, &rel);
        p.pos[0] = back.x >> 2;
        p.pos[1] = back.y >> 2;
        p.pos[2] = back.z >> 2;
    }
}

}  // namespace weapons
