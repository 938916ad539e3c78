// The demo tree's vehicles: the object files each vehicle type loads from its directory (body, shadow,
// parts, cockpit model, fragments, wreck), built from boxes. Parts are modelled where they sit on the
// body; their anchor is the point they turn about.
#include <array>
#include <string>

#include "tools/datakit/ObjectFile.h"
#include "tools/mkdemo/Demo.h"
#include "tools/mkdemo/Demo_vehicles_local.h"

namespace mkdemo {

bool WriteVehicleObject(const Context& ctx, const std::string& rel, const datakit::ObjectFile& obj) {
    return datakit::WriteFile(ctx.Path("Objects/" + rel), obj.Bytes());
}

void VehicleBoard(datakit::ObjectFile& obj, const char* name, float x, float y, float z, float size) {
    datakit::ObjPoint p;
    p.pos = {x, y, z};
    obj.points.push_back(p);
    datakit::ObjBBoard b;
    b.a = static_cast<uint32_t>(obj.points.size() - 1);
    b.name = name;
    b.size1 = b.size2 = size;
    obj.bboards.push_back(b);
}

namespace {

using datakit::AddBox;
using datakit::ObjectFile;
using Rgb3 = std::array<uint8_t, 3>;

bool Write(const Context& ctx, const std::string& rel, const ObjectFile& obj) { return WriteVehicleObject(ctx, rel, obj); }

void Board(ObjectFile& obj, const char* name, float x, float y, float z, float size) {
    VehicleBoard(obj, name, x, y, z, size);
}

// The jeep's body: a low hull with a bonnet and a windscreen frame; head and rear lights with their
// halos, the torch on the windscreen, the animated tyre-track board at the rear; a smoke and a fire spot
// for a burning hull.
ObjectFile JeepBody(Rgb3 hull) {
    ObjectFile obj;
    AddBox(obj, 0, 0.6f, -0.3f, 1.4f, 0.35f, 2.0f, hull);
    AddBox(obj, 0, 0.75f, 1.8f, 1.3f, 0.25f, 0.6f, hull);
    AddBox(obj, 0, 1.25f, 1.1f, 1.3f, 0.3f, 0.05f, Rgb3{60, 70, 80});
    const uint32_t spotPoint = static_cast<uint32_t>(obj.points.size());
    datakit::ObjPoint engine;
    engine.pos = {0, 1.0f, 1.8f};
    obj.points.push_back(engine);
    Board(obj, "fronthalo1", -1.0f, 0.8f, 2.4f, 0.5f);
    Board(obj, "fronthalo2", 1.0f, 0.8f, 2.4f, 0.5f);
    Board(obj, "torch", 0.0f, 1.6f, 1.1f, 0.3f);
    Board(obj, "rearlight", 0.0f, 0.7f, -2.3f, 0.3f);
    Board(obj, "rearhalo1", -1.1f, 0.7f, -2.3f, 0.4f);
    Board(obj, "rearhalo2", 1.1f, 0.7f, -2.3f, 0.4f);
    Board(obj, "rearchain", 0.0f, 0.1f, -2.0f, 1.0f);
    obj.Sphere(spotPoint, 2.8f);
    obj.Spot(spotPoint, 0, 40);
    obj.Spot(spotPoint, 6, 0);
    // Dust rises behind the rear wheels (spots of kind 8, the small dust emitters).
    for (float x : {-1.2f, 1.2f}) {
        datakit::ObjPoint wheel;
        wheel.pos = {x, 0.1f, -1.9f};
        obj.points.push_back(wheel);
        obj.Spot(static_cast<uint32_t>(obj.points.size() - 1), 8, 0);
    }
    return obj;
}

// The turret: a ring, a gun box and the barrel pointing forward (+z); it turns about its anchor.
ObjectFile JeepTop() {
    ObjectFile obj;
    AddBox(obj, 0, 1.15f, -0.8f, 0.45f, 0.2f, 0.45f, Rgb3{80, 90, 70});
    AddBox(obj, 0, 1.5f, -0.8f, 0.25f, 0.2f, 0.35f, Rgb3{60, 60, 60});
    AddBox(obj, 0, 1.55f, -0.1f, 0.07f, 0.07f, 0.6f, Rgb3{40, 40, 40});
    obj.Anchor(0, 1.0f, -0.8f);
    return obj;
}

// A front wheel at its place beside the bonnet; it steers about its hub.
ObjectFile JeepWheel(float x) {
    ObjectFile obj;
    AddBox(obj, x, 0.45f, 1.5f, 0.2f, 0.45f, 0.45f, Rgb3{30, 30, 30});
    obj.Anchor(x, 0.45f, 1.5f);
    return obj;
}

// The cockpit model drawn over the inside view: a dashboard with the two warning lights.
ObjectFile JeepCockpit() {
    ObjectFile obj;
    AddBox(obj, 0, -0.6f, 1.0f, 1.2f, 0.15f, 0.2f, Rgb3{50, 55, 50});
    Board(obj, "warn_missile", -0.5f, -0.4f, 1.0f, 0.08f);
    Board(obj, "warn_lock", 0.5f, -0.4f, 1.0f, 0.08f);
    return obj;
}

}  // namespace

datakit::ObjectFile VehicleWreck(float hx, float hy, float hz) {
    ObjectFile obj;
    AddBox(obj, 0, hy, 0, hx, hy, hz, Rgb3{35, 32, 30});
    AddBox(obj, 0.2f, 2 * hy + 0.1f, -0.3f, hx * 0.5f, 0.1f, hz * 0.4f, Rgb3{25, 22, 20});
    obj.Spot(6, 4, 1);
    obj.Spot(6, 0, 30);
    obj.Sphere(6, hz * 1.2f);
    return obj;
}

bool WriteVehicleFragments(const Context& ctx, const std::string& dir, std::array<uint8_t, 3> hull, float spread) {
    for (int n = 1; n <= 3; ++n) {
        const float side = spread * static_cast<float>(n - 2);
        datakit::ObjectFile piece = datakit::BoxObject(5.0f, 1.2f, 4.0f, hull);
        datakit::AddBox(piece, 0, 1.5f, 0, 2.0f, 0.4f, 2.0f, {50, 50, 45});
        for (datakit::ObjPoint& p : piece.points) {
            p.pos[0] += side;
            p.pos[1] += 9.0f;
            p.pos[2] += 6.0f * static_cast<float>(n - 2);
        }
        piece.Anchor(side, 9.0f, 6.0f * static_cast<float>(n - 2));
        const std::string name = "/frag" + std::to_string(n);
        if (!WriteVehicleObject(ctx, dir + name, piece)) return false;
        if (!datakit::WriteFile(ctx.Path("app/objects/" + dir + name), piece.Bytes())) return false;
    }
    return true;
}

namespace {

bool BuildJeep(const Context& ctx, const std::string& dir, Rgb3 hull, bool wreck = true) {
    if (!Write(ctx, dir + "/base", JeepBody(hull))) return false;
    if (!Write(ctx, dir + "/shad", datakit::BoxObject(1.5f, 0.01f, 2.5f, Rgb3{0, 0, 0}))) return false;
    if (!Write(ctx, dir + "/top", JeepTop())) return false;
    if (!Write(ctx, dir + "/frwheel", JeepWheel(1.45f))) return false;
    if (!Write(ctx, dir + "/flwheel", JeepWheel(-1.45f))) return false;
    if (!Write(ctx, dir + "/cockpit", JeepCockpit())) return false;
    if (wreck && !Write(ctx, dir + "/deadbody", VehicleWreck(1.4f, 0.4f, 2.3f))) return false;
    // The pieces a dying jeep throws: its owned fragments, and the same pieces as the fragment set its
    // rule "frags" names (read from "app\objects\<set>"). File units at the shard's scale (160): each
    // piece is modelled where it sat on the hull, about its anchor.
    return WriteVehicleFragments(ctx, dir, hull, 8.0f);
}

}  // namespace

bool BuildVehicleObjects(const Context& ctx) {
    // The showroom's target dummy is a jeep painted orange that burns where it stands.
    return BuildJeep(ctx, "ema/jeep", Rgb3{80, 105, 60}) && BuildJeep(ctx, "ema/dummy", Rgb3{210, 120, 40}, false) &&
           BuildTrackedVehicles(ctx);
}

}  // namespace mkdemo
