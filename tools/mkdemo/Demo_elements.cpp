// The demo's buildings, gates, lifts, energy gates and scenery: box-built objects in the file units of
// their types (buildings are read at scale 171.6 and scenery at 171.5, so 95 file units are close to a
// quarter tile, 191 to a whole one), each with the parts its type asks for: height fields of 9 x 9 or
// 17 x 17 sub-points, "body" and "deadbody" looks, rotor, wheel and swing add-ons, gate doors, the lift's
// platform, the energy gate's two looks, fragments, detail levels named with degree signs, and lights.
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "tools/datakit/ObjectFile.h"
#include "tools/mkdemo/Demo.h"

namespace mkdemo {

namespace {

using datakit::AddBox;
using datakit::ObjectFile;
using Rgb3 = std::array<uint8_t, 3>;

const Rgb3 kConcrete{150, 150, 140};
const Rgb3 kDarkConcrete{105, 105, 100};
const Rgb3 kRoof{90, 90, 100};
const Rgb3 kSteel{120, 125, 135};
const Rgb3 kRust{140, 80, 50};
const Rgb3 kEmaGreen{80, 110, 70};
const Rgb3 kGaSand{170, 140, 90};
const Rgb3 kWood{120, 85, 50};
const Rgb3 kLeaves{45, 120, 55};
const Rgb3 kDarkLeaves{35, 95, 45};
const Rgb3 kLampGlass{255, 230, 160};

constexpr char kDegree[] = "\xB0";

bool Write(const Context& ctx, const std::string& rel, const ObjectFile& obj) {
    return datakit::WriteFile(ctx.Path("Objects/" + rel), obj.Bytes());
}

// An n x n height field, every sub-point at the given height (file units).
std::vector<float> Flat(int n, float h) { return std::vector<float>(size_t(n) * size_t(n), h); }

// A point of the object (for lights and spots).
uint32_t AddPoint(ObjectFile& obj, float x, float y, float z) {
    datakit::ObjPoint p;
    p.pos = {x, y, z};
    obj.points.push_back(p);
    return static_cast<uint32_t>(obj.points.size() - 1);
}

// A bunker: thick walls, a flat roof units can drive onto, a slit and a lamp over the door.
ObjectFile Bunker(float half, float height, Rgb3 wall, int n) {
    ObjectFile obj;
    AddBox(obj, 0, height / 2, 0, half, height / 2, half, wall);
    AddBox(obj, 0, height + 1.5f, 0, half * 1.04f, 1.5f, half * 1.04f, kRoof);
    AddBox(obj, 0, height * 0.6f, half + 0.5f, half * 0.6f, 2.5f, 0.6f, Rgb3{30, 30, 30});
    AddBox(obj, 0, height * 0.3f, half + 1, 8, height * 0.3f, 1, kDarkConcrete);
    obj.HField(uint32_t(n), Flat(n, height + 3));
    obj.Light(AddPoint(obj, 0, height * 0.8f, half + 4), {255, 220, 160}, 9, "");
    return obj;
}

// The watch tower: four legs, a cabin and a roof on a square of 9 x 9 sub-points.
ObjectFile Tower() {
    ObjectFile obj;
    for (int i = 0; i < 4; ++i) AddBox(obj, (i & 1) ? 28 : -28, 40, (i & 2) ? 28 : -28, 3, 40, 3, kSteel);
    AddBox(obj, 0, 88, 0, 34, 9, 34, kConcrete);
    AddBox(obj, 0, 88, 0, 35, 3, 35.5f, Rgb3{40, 40, 50});
    AddBox(obj, 0, 99, 0, 40, 2, 40, kRoof);
    std::vector<float> h(81, 0.0f);
    for (int r : {1, 7})
        for (int c : {1, 7}) h[size_t(r * 9 + c)] = 100;
    obj.HField(9, h);
    return obj;
}

// The depot: a long hangar on a whole tile, a radar dish on top (its rotor) and a wreck of broken walls.
ObjectFile DepotBody() {
    ObjectFile obj;
    AddBox(obj, 0, 30, 0, 150, 30, 110, kEmaGreen);
    AddBox(obj, 0, 62, 0, 156, 2, 116, kRoof);
    AddBox(obj, 0, 22, 111, 70, 22, 1, Rgb3{50, 55, 50});
    AddBox(obj, 0, 70, 0, 6, 8, 6, kSteel);
    obj.HField(17, Flat(17, 64));
    obj.Spot(AddPoint(obj, 60, 64, 30), 0, 0);
    return obj;
}
ObjectFile DepotWreck() {
    ObjectFile obj;
    AddBox(obj, -90, 12, 0, 60, 12, 100, Rgb3{60, 60, 55});
    AddBox(obj, 80, 7, -20, 70, 7, 80, Rgb3{50, 50, 45});
    AddBox(obj, 10, 3, 60, 40, 3, 40, Rgb3{35, 35, 35});
    obj.HField(17, Flat(17, 24));
    obj.Spot(AddPoint(obj, 0, 20, 0), 0, 0);
    obj.Spot(AddPoint(obj, -60, 10, 40), 6, 0);
    return obj;
}
ObjectFile RadarDish() {
    ObjectFile obj;
    AddBox(obj, 0, 84, 0, 2, 6, 2, kSteel);
    AddBox(obj, 0, 92, 0, 28, 10, 2, Rgb3{200, 200, 205});
    obj.Anchor(0, 84, 0);
    return obj;
}

// The pump house: a shed with a water wheel turning at its side, its axle at the ground (a wheel turns
// about its building's x axis, so its anchor lies on it) and its lower half in a pit.
ObjectFile PumpBody() {
    ObjectFile obj;
    AddBox(obj, 0, 20, 0, 60, 20, 60, kGaSand);
    AddBox(obj, 0, 42, 0, 64, 2, 64, kRust);
    AddBox(obj, 70, 1, 0, 8, 1, 28, Rgb3{60, 50, 40});
    obj.HField(9, Flat(9, 44));
    return obj;
}
ObjectFile PumpWheel() {
    ObjectFile obj;
    AddBox(obj, 70, 0, 0, 3, 26, 4, kWood);
    AddBox(obj, 70, 0, 0, 3, 4, 26, kWood);
    obj.Anchor(70, 0, 0);
    return obj;
}

// The barrier: a post with an arm that swings up when switched. A swing turns about its building's z axis
// (its anchor lies on it, at the post's foot); the arm reaches out along -x, which the turn raises.
ObjectFile BarrierBody() {
    ObjectFile obj;
    AddBox(obj, 0, 10, 0, 5, 10, 5, Rgb3{200, 200, 200});
    obj.HField(9, Flat(9, 0));
    return obj;
}
ObjectFile BarrierArm() {
    ObjectFile obj;
    AddBox(obj, -72, 18, 0, 70, 1.5f, 1.5f, Rgb3{220, 40, 40});
    AddBox(obj, -40, 18, 0, 8, 1.6f, 1.6f, Rgb3{240, 240, 240});
    AddBox(obj, -104, 18, 0, 8, 1.6f, 1.6f, Rgb3{240, 240, 240});
    obj.Anchor(0, 0, 0);
    return obj;
}

// The gate: two posts and a wall on each side of a passage along z through a whole tile; two swing
// doors close the middle (hinged at x = -95 and +95). Its height field raises the door line (the middle
// row) and the walls, so it blocks until the doors are open.
ObjectFile GateBody() {
    ObjectFile obj;
    AddBox(obj, -140, 20, 0, 45, 20, 4, kConcrete);
    AddBox(obj, 140, 20, 0, 45, 20, 4, kConcrete);
    AddBox(obj, -100, 26, 0, 6, 26, 6, kDarkConcrete);
    AddBox(obj, 100, 26, 0, 6, 26, 6, kDarkConcrete);
    AddBox(obj, 0, 54, 0, 106, 3, 5, kEmaGreen);
    std::vector<float> h(17 * 17, 0.0f);
    for (int c = 0; c < 17; ++c) h[size_t(8 * 17 + c)] = 40;
    obj.HField(17, h);
    return obj;
}
ObjectFile GateDoor(float hinge) {
    ObjectFile obj;
    const float mid = hinge / 2;
    AddBox(obj, mid, 18, 0, std::abs(mid) - 1, 18, 1.5f, kSteel);
    AddBox(obj, mid, 30, 0, std::abs(mid) - 4, 1.5f, 2, kRust);
    AddBox(obj, mid, 8, 0, std::abs(mid) - 4, 1.5f, 2, kRust);
    obj.Anchor(hinge, 0, 0);
    return obj;
}
ObjectFile GateWreck() {
    ObjectFile obj;
    AddBox(obj, -140, 6, 0, 45, 6, 5, Rgb3{70, 70, 65});
    AddBox(obj, 140, 8, 0, 45, 8, 5, Rgb3{70, 70, 65});
    obj.HField(17, Flat(17, 0));
    return obj;
}

// The lift: a shaft of four walls round a platform that rises by its rule "AscendHeight".
ObjectFile LiftBody() {
    ObjectFile obj;
    AddBox(obj, -88, 45, 0, 6, 45, 94, kConcrete);
    AddBox(obj, 88, 45, 0, 6, 45, 94, kConcrete);
    AddBox(obj, 0, 45, -88, 82, 45, 6, kConcrete);
    std::vector<float> h(81, 1.0f);
    for (int r = 0; r < 9; ++r)
        for (int c = 0; c < 9; ++c)
            if (c == 0 || c == 8 || r == 0) h[size_t(r * 9 + c)] = 90;
    obj.HField(9, h);
    return obj;
}
ObjectFile LiftPlatform() {
    ObjectFile obj;
    AddBox(obj, 0, 1.5f, 0, 80, 1.5f, 80, Rgb3{200, 170, 40});
    obj.Anchor(0, 0, 0);
    return obj;
}

// The energy gate: two emitters with a glowing barrier between them, and the emitters alone when off.
ObjectFile EnergyGate(bool on) {
    ObjectFile obj;
    AddBox(obj, 0, 18, -70, 5, 18, 5, kSteel);
    AddBox(obj, 0, 18, 70, 5, 18, 5, kSteel);
    if (on) AddBox(obj, 0, 16, 0, 1, 14, 65, Rgb3{80, 200, 255}, 3);
    return obj;
}

// The hut: a wooden shed that bursts into its fragments.
ObjectFile HutBody() {
    ObjectFile obj;
    AddBox(obj, 0, 14, 0, 40, 14, 30, kWood);
    AddBox(obj, 0, 30, 0, 44, 2, 34, kRust);
    obj.HField(9, Flat(9, 32));
    return obj;
}
ObjectFile HutFragment(int n) {
    ObjectFile obj = datakit::BoxObject(12.0f + 4 * n, 6, 2, kWood);
    obj.Anchor(10.0f * n - 20, 10, 5.0f * n);
    return obj;
}

// A crate, with coarser looks for the farther detail levels.
ObjectFile Crate(int level) {
    ObjectFile obj;
    AddBox(obj, 0, 6, 0, 6, 6, 6, Rgb3{150, 105, 55});
    if (level == 0) {
        AddBox(obj, 0, 6, 6.1f, 5, 0.6f, 0.1f, Rgb3{100, 70, 35});
        AddBox(obj, 6.1f, 6, 0, 0.1f, 0.6f, 5, Rgb3{100, 70, 35});
    }
    return obj;
}

// A lamp post with its light at the top.
ObjectFile LampPost() {
    ObjectFile obj;
    AddBox(obj, 0, 14, 0, 0.8f, 14, 0.8f, Rgb3{60, 60, 65});
    AddBox(obj, 0, 29, 0, 2.5f, 1.5f, 2.5f, kLampGlass, 3);
    obj.Light(AddPoint(obj, 0, 28, 0), {255, 220, 150}, 9, "");
    return obj;
}

// A tree: trunk and two layers of leaves; the farther detail levels drop the top layer.
ObjectFile Tree(float size, int level) {
    ObjectFile obj;
    AddBox(obj, 0, 5 * size, 0, 0.9f * size, 5 * size, 0.9f * size, Rgb3{100, 70, 40});
    AddBox(obj, 0, 13 * size, 0, 6 * size, 4.5f * size, 6 * size, kLeaves);
    if (level < 2) AddBox(obj, 0, 19 * size, 0, 3.5f * size, 2.5f * size, 3.5f * size, kDarkLeaves);
    return obj;
}

ObjectFile Pole() {
    ObjectFile obj;
    AddBox(obj, 0, 20.4f, 0, 0.7f, 20.4f, 0.7f, Rgb3{110, 80, 50});
    AddBox(obj, 0, 38, 0, 6, 0.6f, 0.6f, Rgb3{110, 80, 50});
    return obj;
}

ObjectFile FenceBody() {
    ObjectFile obj;
    for (float x : {-22.0f, 0.0f, 22.0f}) AddBox(obj, x, 5, 0, 0.7f, 5, 0.7f, kWood);
    AddBox(obj, 0, 7, 0, 24, 0.6f, 0.4f, kWood);
    AddBox(obj, 0, 3.5f, 0, 24, 0.6f, 0.4f, kWood);
    return obj;
}
ObjectFile FenceWreck() {
    ObjectFile obj;
    AddBox(obj, -22, 2, 0, 0.7f, 2, 0.7f, kWood);
    AddBox(obj, 8, 0.5f, 3, 16, 0.5f, 0.4f, kWood);
    return obj;
}

ObjectFile Panel() {
    ObjectFile obj;
    AddBox(obj, 0, 7, 0, 1, 7, 1, kSteel);
    AddBox(obj, 0, 17, 0, 12, 5, 0.5f, Rgb3{40, 80, 170});
    return obj;
}

ObjectFile Mast() {
    ObjectFile obj;
    AddBox(obj, 0, 25, 0, 0.6f, 25, 0.6f, kSteel);
    AddBox(obj, 0, 48, 0, 4, 0.4f, 0.4f, Rgb3{200, 40, 40});
    return obj;
}

}  // namespace

bool BuildElementObjects(const Context& ctx) {
    const std::vector<std::pair<std::string, ObjectFile>> files = {
        {"demo/bunker", Bunker(70, 28, kConcrete, 9)},
        {"demo/lbunker", Bunker(150, 34, kEmaGreen, 17)},
        {"demo/gabunker", Bunker(70, 24, kGaSand, 9)},
        {"demo/tower", Tower()},
        {"demo/depot/body", DepotBody()},
        {"demo/depot/deadbody", DepotWreck()},
        {"demo/depot/rotor", RadarDish()},
        {"demo/pump/body", PumpBody()},
        {"demo/pump/wheel", PumpWheel()},
        {"demo/barrier/body", BarrierBody()},
        {"demo/barrier/swing", BarrierArm()},
        {"demo/gate/body", GateBody()},
        {"demo/gate/lswing", GateDoor(-95)},
        {"demo/gate/rswing", GateDoor(95)},
        {"demo/gate/deadbody", GateWreck()},
        {"demo/lift/body", LiftBody()},
        {"demo/lift/upslide", LiftPlatform()},
        {"demo/nrggate/nrggate", EnergyGate(true)},
        {"demo/nrggate/nrggateo", EnergyGate(false)},
        {"demo/hut/body", HutBody()},
        {"demo/hut/frag1", HutFragment(1)},
        {"demo/hut/frag2", HutFragment(2)},
        {"demo/hut/frag3", HutFragment(3)},
        {"demo/crate", Crate(0)},
        {std::string("demo/crate") + kDegree, Crate(1)},
        {std::string("demo/crate") + kDegree + kDegree, Crate(2)},
        {"demo/lamppost", LampPost()},
        {"demo/tree", Tree(1.4f, 0)},
        {std::string("demo/tree") + kDegree, Tree(1.4f, 1)},
        {std::string("demo/tree") + kDegree + kDegree, Tree(1.4f, 2)},
        {"demo/trees/body", Tree(1.0f, 0)},
        {std::string("demo/trees/body") + kDegree, Tree(1.0f, 1)},
        {std::string("demo/trees/body") + kDegree + kDegree, Tree(1.0f, 2)},
        {std::string("demo/trees/body") + kDegree + kDegree + kDegree, Tree(1.0f, 2)},
        {"demo/pole", Pole()},
        {"demo/fence/body", FenceBody()},
        {"demo/fence/deadbody", FenceWreck()},
        {"demo/panel", Panel()},
        {"demo/mast", Mast()},
    };
    for (const auto& [rel, obj] : files)
        if (!Write(ctx, rel, obj)) return false;
    return true;
}

}  // namespace mkdemo
