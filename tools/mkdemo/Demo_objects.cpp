// The demo tree's object geometry: the objects that start-up and level building load by name, and simple
// shapes built from boxes for the units, buildings and scenery of the demo missions.
#include <algorithm>
#include <array>
#include <string>

#include "tools/datakit/HField.h"
#include "tools/datakit/ObjectFile.h"
#include "tools/datakit/Sky.h"
#include "tools/mkdemo/Demo.h"

namespace mkdemo {

namespace {

using datakit::AddBox;
using datakit::ObjectFile;
using Rgb3 = std::array<uint8_t, 3>;

bool Write(const Context& ctx, const std::string& rel, const ObjectFile& obj) {
    return datakit::WriteFile(ctx.Path("Objects/" + rel), obj.Bytes());
}

// A hull with a turret and a barrel: the shape the demo's vehicles share, in the unit's colour.
ObjectFile Vehicle(Rgb3 hull, Rgb3 turret) {
    ObjectFile obj;
    AddBox(obj, 0, 0.5f, 0, 1.6f, 0.5f, 2.4f, hull);
    AddBox(obj, 0, 1.3f, -0.2f, 0.9f, 0.35f, 1.0f, turret);
    AddBox(obj, 0, 1.35f, 1.6f, 0.12f, 0.12f, 1.2f, Rgb3{40, 40, 40});
    // Collision points under the hull corners, and a smoke spot on the engine deck.
    obj.Patches({{3, {0, 1, 4, 5}}});
    obj.Spot(2, 0, 0);
    obj.Sphere(3, 2.8f);
    return obj;
}

ObjectFile Tree() {
    ObjectFile obj;
    AddBox(obj, 0, 1.0f, 0, 0.2f, 1.0f, 0.2f, Rgb3{100, 70, 40});
    AddBox(obj, 0, 2.6f, 0, 1.2f, 0.9f, 1.2f, Rgb3{40, 120, 50});
    AddBox(obj, 0, 3.7f, 0, 0.7f, 0.5f, 0.7f, Rgb3{50, 140, 60});
    return obj;
}

// The marker that shows where a tactical-map command sends a unit: a thin post with a billboard on top.
ObjectFile Marker() {
    ObjectFile obj;
    AddBox(obj, 0, 0.5f, 0, 0.05f, 0.5f, 0.05f, Rgb3{255, 200, 40});
    datakit::ObjPoint tip;
    tip.pos = {0, 1.2f, 0};
    obj.points.push_back(tip);
    datakit::ObjBBoard glow;
    glow.a = 8;
    glow.name = "glow";
    glow.size1 = 0.4f;
    glow.size2 = 0.4f;
    obj.bboards.push_back(glow);
    return obj;
}

// A small projectile or effect: a box of the given half size and colour, with a billboard at its top for
// each name given and a point light when asked for (the types that take a light from their file).
ObjectFile Effect(float half, Rgb3 rgb, std::initializer_list<const char*> boards = {}, bool light = false) {
    ObjectFile obj = datakit::BoxObject(half, half, half, rgb);
    if (boards.size() > 0 || light) {
        datakit::ObjPoint tip;
        tip.pos = {0, half * 1.5f, 0};
        obj.points.push_back(tip);
    }
    for (const char* name : boards) {
        datakit::ObjBBoard b;
        b.a = 8;
        b.name = name;
        b.size1 = b.size2 = half * 3;
        obj.bboards.push_back(b);
    }
    if (light) obj.Light(8, {255, 200, 120}, 0, "");
    return obj;
}

// What the level preloads and the shared pools copy: one file per projectile kind under the weapons
// folder (some kinds are made from a file named as their folder) and the four firs; the effects, the
// dust and the fragment pieces are BuildEffectObjects' (Demo_effects.cpp).
bool BuildWeaponObjects(const Context& ctx) {
    const Rgb3 metal{150, 150, 160};
    struct Kind {
        const char* file;
        ObjectFile obj;
    };
    const Kind kinds[] = {
        {"bullet", Effect(0.05f, metal)},
        {"shell", Effect(0.1f, metal)},
    };
    for (const Kind& k : kinds)
        if (!Write(ctx, std::string("weapons/") + k.file, k.obj)) return false;
    for (int n = 1; n <= 4; ++n)
        if (!Write(ctx, "scenery/e9fir" + std::to_string(n), Tree())) return false;
    return true;
}

// The scenery height fields "scenhf1".."scenhf4" that scenery of the klasses SCENHF1..SCENHF4 stands on:
// 9 x 9 mounds, each higher than the one before, highest in the middle.
bool BuildSceneryHFields(const Context& ctx) {
    for (int k = 1; k <= 4; ++k) {
        datakit::HFieldFile hf;
        hf.n = 9;
        for (int x = 0; x < 9; ++x)
            for (int z = 0; z < 9; ++z) {
                const int edge = std::min(std::min(x, 8 - x), std::min(z, 8 - z));
                hf.heights.push_back(static_cast<float>(edge * 8 * k));
            }
        hf.low[1] = 0;
        hf.high[0] = hf.high[2] = 8;
        hf.high[1] = static_cast<float>(32 * k);
        if (!datakit::WriteHField(ctx.Path("app/hfields/scenhf" + std::to_string(k)), hf)) return false;
    }
    return true;
}

}  // namespace

bool BuildObjects(const Context& ctx) {
    // Loaded by level building: the dummy geometry and the way-point marker ("camera" in "misc").
    if (!Write(ctx, "misc/dummy", datakit::BoxObject(0.5f, 0.5f, 0.5f, Rgb3{128, 128, 128}))) return false;
    if (!Write(ctx, "misc/camera", Marker())) return false;
    // The sky's sun halo, its moon (the round glow sprite) and its cloud dome (rule "sky_dome").
    if (!Write(ctx, "sky/halo", datakit::HaloObject())) return false;
    if (!Write(ctx, "sky/moon", datakit::MoonObject("flares.glow"))) return false;
    if (!Write(ctx, "clouds/dome", datakit::CloudDomeObject("clouds.cloud"))) return false;
    // Box-shaped units of both sides, buildings and scenery.
    if (!Write(ctx, "demo/ema_vehicle", Vehicle(Rgb3{70, 100, 60}, Rgb3{90, 120, 70}))) return false;
    if (!Write(ctx, "demo/ga_vehicle", Vehicle(Rgb3{150, 120, 70}, Rgb3{170, 140, 90}))) return false;
    if (!Write(ctx, "demo/shadow", datakit::BoxObject(1.7f, 0.01f, 2.5f, Rgb3{0, 0, 0}))) return false;
    if (!BuildElementObjects(ctx)) return false;
    if (!BuildSceneryHFields(ctx)) return false;
    if (!BuildVehicleObjects(ctx)) return false;
    // The projectiles' placeholders, the effects' own look and the weapon kinds' look.
    return BuildWeaponObjects(ctx) && BuildEffectObjects(ctx) && BuildWeaponKindObjects(ctx);
}

}  // namespace mkdemo
