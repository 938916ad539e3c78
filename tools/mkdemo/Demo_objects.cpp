// The demo tree's object geometry: the objects that start-up and level building load by name, and simple
// shapes built from boxes for the units, buildings and scenery of the demo missions.
#include <array>
#include <string>

#include "tools/datakit/ObjectFile.h"
#include "tools/mkdemo/Demo.h"

namespace mkdemo {

namespace {

using datakit::AddBox;
using datakit::ObjectFile;
using Rgb3 = std::array<uint8_t, 3>;

bool Write(const Context& ctx, const std::string& rel, const ObjectFile& obj) {
    return datakit::WriteFile(ctx.Path("Objects/" + rel), obj.Bytes());
}

// One BSP leaf holding every face, so that billboards find a brick.
void SingleBrick(ObjectFile& obj) {
    datakit::ObjBspNode root;
    root.leaf = true;
    for (uint32_t i = 0; i < obj.faces.size(); ++i) root.faces.push_back(i);
    obj.Bsp(1, root);
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

// A building block with a flat roof that units can stand on (9 x 9 height field) and a lamp.
ObjectFile Building(float hx, float hy, float hz, Rgb3 wall) {
    ObjectFile obj;
    AddBox(obj, 0, hy, 0, hx, hy, hz, wall);
    AddBox(obj, 0, 2 * hy + 0.1f, 0, hx * 1.05f, 0.1f, hz * 1.05f, Rgb3{90, 90, 100});
    SingleBrick(obj);
    obj.Anchor(0, 0, 0);
    std::vector<float> roof(81, 2 * hy + 0.2f);
    obj.HField(9, roof);
    obj.Light(10, {255, 220, 160}, 9, "");
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

}  // namespace

bool BuildObjects(const Context& ctx) {
    // Loaded by level building: the dummy geometry and the way-point marker ("camera" in "misc").
    if (!Write(ctx, "misc/dummy", datakit::BoxObject(0.5f, 0.5f, 0.5f, Rgb3{128, 128, 128}))) return false;
    if (!Write(ctx, "misc/camera", Marker())) return false;
    // Box-shaped units of both sides, buildings and scenery.
    if (!Write(ctx, "demo/ema_vehicle", Vehicle(Rgb3{70, 100, 60}, Rgb3{90, 120, 70}))) return false;
    if (!Write(ctx, "demo/ga_vehicle", Vehicle(Rgb3{150, 120, 70}, Rgb3{170, 140, 90}))) return false;
    if (!Write(ctx, "demo/shadow", datakit::BoxObject(1.7f, 0.01f, 2.5f, Rgb3{0, 0, 0}))) return false;
    if (!Write(ctx, "demo/bunker", Building(4, 1.5f, 4, Rgb3{150, 150, 140}))) return false;
    if (!Write(ctx, "demo/tower", Building(1.5f, 5, 1.5f, Rgb3{170, 160, 150}))) return false;
    if (!Write(ctx, "demo/crate", datakit::BoxObject(0.6f, 0.6f, 0.6f, Rgb3{140, 100, 50}))) return false;
    return Write(ctx, "demo/tree", Tree());
}

}  // namespace mkdemo
