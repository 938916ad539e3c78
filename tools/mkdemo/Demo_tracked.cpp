// The demo's tracked vehicles: the folders ema\tank, ema\haubitze, ema\linebacker and ema\snowmob (body with
// its two track points and dust emitters, shadow, parts, cockpit model and cockpit gun or barrels, the
// track mark "trail", the wreck and the fragments), the tread texture their chains scroll, and the
// crosshair bitmap of each vehicle type ("<type>_xh"). Built from boxes in file units (the rules' "scale"
// turns them into world units); parts are modelled where they sit on the body, about their anchor.
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "tools/datakit/Bytes.h"
#include "tools/datakit/ObjectFile.h"
#include "tools/datakit/Texture.h"
#include "tools/mkdemo/Demo.h"
#include "tools/mkdemo/Demo_vehicles_local.h"

namespace mkdemo {

namespace {

using datakit::AddBox;
using datakit::ObjectFile;
using Rgb3 = std::array<uint8_t, 3>;

constexpr Rgb3 kSteel{55, 58, 60};
constexpr Rgb3 kDark{35, 35, 35};
constexpr const char* kTread = "vehicles.tread";

uint32_t NewPoint(ObjectFile& obj, float x, float y, float z) {
    datakit::ObjPoint p;
    p.pos = {x, y, z};
    obj.points.push_back(p);
    return static_cast<uint32_t>(obj.points.size() - 1);
}

// A chain: a box whose faces show the tread texture running along z; answers the four faces around its
// length, which its billboard scrolls.
std::vector<uint32_t> Tread(ObjectFile& obj, float cx, float cy, float cz, float hx, float hy, float hz) {
    const size_t first = obj.faces.size();
    AddBox(obj, cx, cy, cz, hx, hy, hz, Rgb3{90, 90, 90}, 5);
    for (size_t i = first; i < obj.faces.size(); ++i) {
        datakit::ObjFace& f = obj.faces[i];
        f.texture = kTread;
        f.uv.clear();
        for (uint32_t p : f.points) {
            const auto& q = obj.points[p].pos;
            const float across = (q[1] - (cy - hy)) / (2 * hy) + (q[0] - (cx - hx)) / (2 * hx);
            f.uv.push_back({int16_t(std::lround(16383 * across)), int16_t(std::lround(32767 * (q[2] - (cz - hz)) / (2 * hz)))});
        }
    }
    // The box's faces: back, front, left, right, bottom, top; the last four run along it.
    return {uint32_t(first + 2), uint32_t(first + 3), uint32_t(first + 4), uint32_t(first + 5)};
}

// The billboard that scrolls a chain's faces along v by its level word.
void ChainBoard(ObjectFile& obj, const char* name, std::vector<uint32_t> faces) {
    datakit::ObjBBoard b;
    b.name = name;
    b.faceList = true;
    b.listValue = 1;
    b.list = std::move(faces);
    obj.bboards.push_back(b);
}

// Head lights and the torch at the front (z), with rear lights at the back when asked.
void Lights(ObjectFile& obj, float front, float rear, float y, float x, bool rearLights) {
    VehicleBoard(obj, "fronthalo1", -x, y, front, 0.5f);
    VehicleBoard(obj, "fronthalo2", x, y, front, 0.5f);
    VehicleBoard(obj, "torch", 0.0f, y + 0.4f, front - 0.2f, 0.3f);
    if (!rearLights) return;
    VehicleBoard(obj, "rearlight", 0.0f, y, rear, 0.3f);
    VehicleBoard(obj, "rearhalo1", -x, y, rear, 0.4f);
    VehicleBoard(obj, "rearhalo2", x, y, rear, 0.4f);
}

// The hull's spots: a burning engine (smoke and fire) with the hull's sphere, the two track points (kind
// 7) where the tracks leave their marks, and a dust emitter behind each track.
void HullSpots(ObjectFile& obj, float trackX, float rear, float engineY, float radius) {
    const uint32_t engine = NewPoint(obj, 0, engineY, rear * 0.7f);
    obj.Sphere(engine, radius);
    obj.Spot(engine, 0, 40);
    obj.Spot(engine, 6, 0);
    for (float x : {-trackX, trackX}) obj.Spot(NewPoint(obj, x, 0.0f, rear * 0.9f), 7, 0);
    for (float x : {-trackX, trackX}) obj.Spot(NewPoint(obj, x, 0.1f, rear), 9, 0);
}

// The cockpit model drawn over the inside view: a dashboard with the two warning lights.
ObjectFile Cockpit(Rgb3 panel) {
    ObjectFile obj;
    AddBox(obj, 0, -0.6f, 1.0f, 1.2f, 0.15f, 0.2f, panel);
    VehicleBoard(obj, "warn_missile", -0.5f, -0.4f, 1.0f, 0.08f);
    VehicleBoard(obj, "warn_lock", 0.5f, -0.4f, 1.0f, 0.08f);
    return obj;
}

// A barrel along +z from its pivot at the origin (the cockpit's gun).
ObjectFile Barrel(float half, float length) {
    ObjectFile obj;
    AddBox(obj, 0, 0, length / 2 + 0.1f, half, half, length / 2, kSteel);
    return obj;
}

// The print a track leaves (the mark's scale): a dark flat strip.
ObjectFile TrackMark() {
    ObjectFile obj;
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 2; ++i) NewPoint(obj, i ? 3.0f : -3.0f, 0.0f, j ? 5.0f : -5.0f);
    for (datakit::ObjPoint& p : obj.points) p.rgb = Rgb3{40, 34, 28};
    datakit::ObjFace f;
    f.points = {0, 2, 3, 1};
    f.type = 3;
    f.rgb = Rgb3{40, 34, 28};
    obj.faces.push_back(f);
    return obj;
}

struct Folder {
    std::string dir;
    Rgb3 hull;
    float hx, hz;  // the wreck's half sizes
};

// What every folder holds besides its own body and parts: shadow, cockpit model, track mark, wreck and
// fragments.
bool Common(const Context& ctx, const Folder& f) {
    return WriteVehicleObject(ctx, f.dir + "/shad", datakit::BoxObject(f.hx, 0.01f, f.hz, Rgb3{0, 0, 0})) &&
           WriteVehicleObject(ctx, f.dir + "/cockpit", Cockpit(Rgb3{50, 55, 50})) &&
           WriteVehicleObject(ctx, f.dir + "/trail", TrackMark()) &&
           WriteVehicleObject(ctx, f.dir + "/deadbody", VehicleWreck(f.hx, 0.5f, f.hz)) &&
           WriteVehicleFragments(ctx, f.dir, f.hull, 9.0f);
}

// ---- EMATank: hull on two tracks (the body's first two billboards scroll them), turret, gun, radar dish
// and rocket pod.
bool BuildTank(const Context& ctx) {
    const Folder f{"ema/tank", Rgb3{85, 100, 65}, 2.4f, 3.6f};
    ObjectFile body;
    AddBox(body, 0, 0.95f, 0, 1.55f, 0.45f, 3.2f, f.hull);
    AddBox(body, 0, 0.8f, 3.35f, 1.5f, 0.3f, 0.2f, f.hull);
    const std::vector<uint32_t> left = Tread(body, -2.0f, 0.55f, 0, 0.45f, 0.55f, 3.5f);
    const std::vector<uint32_t> right = Tread(body, 2.0f, 0.55f, 0, 0.45f, 0.55f, 3.5f);
    ChainBoard(body, "leftchain", left);
    ChainBoard(body, "rightchain", right);
    Lights(body, 3.6f, -3.3f, 1.1f, 1.2f, true);
    HullSpots(body, 2.0f, -3.5f, 1.5f, 4.6f);

    ObjectFile top;
    AddBox(top, 0, 1.75f, -0.3f, 1.2f, 0.35f, 1.5f, f.hull);
    AddBox(top, 0.5f, 2.2f, -0.8f, 0.3f, 0.1f, 0.3f, kSteel);
    VehicleBoard(top, "acquire", -0.6f, 2.2f, 0.8f, 0.12f);
    top.Anchor(0, 1.4f, -0.3f);
    ObjectFile gun;
    AddBox(gun, 0, 1.8f, 1.3f, 0.35f, 0.25f, 0.2f, f.hull);
    AddBox(gun, 0, 1.8f, 3.1f, 0.1f, 0.1f, 1.8f, kSteel);
    gun.Anchor(0, 1.8f, 1.2f);
    ObjectFile radar;
    AddBox(radar, 0.8f, 2.35f, -1.4f, 0.05f, 0.25f, 0.05f, kSteel);
    AddBox(radar, 0.8f, 2.65f, -1.4f, 0.45f, 0.18f, 0.06f, Rgb3{150, 155, 150});
    radar.Anchor(0.8f, 2.1f, -1.4f);
    ObjectFile rockets;
    AddBox(rockets, -1.55f, 1.85f, -0.5f, 0.3f, 0.25f, 0.7f, Rgb3{70, 80, 55});
    AddBox(rockets, -1.55f, 1.85f, 0.25f, 0.22f, 0.17f, 0.05f, kDark);
    rockets.Anchor(-1.55f, 1.6f, -0.5f);
    ObjectFile cpGun = Barrel(0.1f, 3.6f);
    AddBox(cpGun, 0, 0, 0.1f, 0.35f, 0.25f, 0.2f, f.hull);
    return WriteVehicleObject(ctx, f.dir + "/body", body) && WriteVehicleObject(ctx, f.dir + "/top", top) &&
           WriteVehicleObject(ctx, f.dir + "/gun", gun) && WriteVehicleObject(ctx, f.dir + "/radar", radar) &&
           WriteVehicleObject(ctx, f.dir + "/rockets", rockets) && WriteVehicleObject(ctx, f.dir + "/cp_gun", cpGun) &&
           Common(ctx, f);
}

// Four chain parts about their middles, each with its billboard scrolling it ("flchain" ...).
bool WriteChains(const Context& ctx, const std::string& dir, float x, float y, float z, float hx, float hy, float hz) {
    const struct {
        const char* name;
        float sx, sz;
    } chains[] = {{"flchain", -1, 1}, {"frchain", 1, 1}, {"blchain", -1, -1}, {"brchain", 1, -1}};
    for (const auto& c : chains) {
        ObjectFile part;
        ChainBoard(part, c.name, Tread(part, c.sx * x, y, c.sz * z, hx, hy, hz));
        part.Anchor(c.sx * x, y, c.sz * z);
        if (!WriteVehicleObject(ctx, dir + "/" + c.name, part)) return false;
    }
    return true;
}

// ---- EMAHaubitze: a long hull with the gun fixed to it and four chain parts that lean to the ground.
bool BuildHaubitze(const Context& ctx) {
    const Folder f{"ema/haubitze", Rgb3{95, 95, 70}, 2.0f, 4.1f};
    ObjectFile body;
    AddBox(body, 0, 0.9f, 0, 1.4f, 0.45f, 4.0f, f.hull);
    AddBox(body, 0, 1.6f, -2.2f, 1.2f, 0.35f, 1.5f, f.hull);
    AddBox(body, 0, 0.7f, -4.2f, 1.3f, 0.25f, 0.15f, kSteel);
    Lights(body, 4.05f, -4.0f, 1.1f, 1.0f, false);
    HullSpots(body, 1.75f, -3.9f, 1.9f, 5.0f);
    ObjectFile gun;
    AddBox(gun, 0, 1.9f, -0.5f, 0.4f, 0.35f, 0.6f, f.hull);
    AddBox(gun, 0, 1.9f, 2.6f, 0.16f, 0.16f, 2.6f, kSteel);
    AddBox(gun, 0, 1.9f, 5.0f, 0.22f, 0.22f, 0.2f, kDark);
    gun.Anchor(0, 1.9f, -0.3f);
    return WriteVehicleObject(ctx, f.dir + "/body", body) && WriteVehicleObject(ctx, f.dir + "/gun", gun) &&
           WriteChains(ctx, f.dir, 1.75f, 0.5f, 2.0f, 0.35f, 0.5f, 2.0f) &&
           WriteVehicleObject(ctx, f.dir + "/cp_gun", Barrel(0.16f, 5.2f)) && Common(ctx, f);
}

// ---- EMALinebacker: a base on four chain parts, a turret with two barrels side by side.
bool BuildLinebacker(const Context& ctx) {
    const Folder f{"ema/linebacker", Rgb3{75, 95, 80}, 2.2f, 3.5f};
    ObjectFile base;
    AddBox(base, 0, 0.9f, 0, 1.4f, 0.45f, 3.3f, f.hull);
    AddBox(base, 0, 1.25f, -2.3f, 1.2f, 0.15f, 0.8f, kSteel);
    Lights(base, 3.35f, -3.3f, 1.1f, 1.0f, false);
    HullSpots(base, 1.8f, -3.4f, 1.5f, 4.5f);
    ObjectFile top;
    AddBox(top, 0, 1.7f, -0.2f, 1.0f, 0.35f, 1.2f, f.hull);
    VehicleBoard(top, "acquire", 0.6f, 2.1f, 0.6f, 0.12f);
    top.Anchor(0, 1.35f, -0.2f);
    ObjectFile barrels[2];
    for (int side = 0; side < 2; ++side) {
        const float x = side ? 0.4f : -0.4f;
        AddBox(barrels[side], x, 1.85f, 1.0f, 0.16f, 0.16f, 0.3f, f.hull);
        AddBox(barrels[side], x, 1.85f, 2.4f, 0.09f, 0.09f, 1.4f, kSteel);
        barrels[side].Anchor(x, 1.85f, 0.8f);
    }
    // The cannon's two muzzles are the left barrel's: its flashes at both barrels' ends.
    VehicleBoard(barrels[0], "muzzle1", -0.4f, 1.85f, 3.9f, 0.35f);
    VehicleBoard(barrels[0], "muzzle2", 0.4f, 1.85f, 3.9f, 0.35f);
    return WriteVehicleObject(ctx, f.dir + "/base", base) && WriteVehicleObject(ctx, f.dir + "/top", top) &&
           WriteVehicleObject(ctx, f.dir + "/lbarrel", barrels[0]) &&
           WriteVehicleObject(ctx, f.dir + "/rbarrel", barrels[1]) &&
           WriteChains(ctx, f.dir, 1.8f, 0.5f, 1.7f, 0.4f, 0.5f, 1.7f) &&
           WriteVehicleObject(ctx, f.dir + "/cp_barrel", Barrel(0.09f, 2.8f)) && Common(ctx, f);
}

// ---- EMASnowMob: a light body with a cabin on two tracks (its billboards "leftchain" and "rightchain"),
// and a small turret whose beam gun turns about the turret's own point.
bool BuildSnowMob(const Context& ctx) {
    const Folder f{"ema/snowmob", Rgb3{200, 205, 210}, 1.8f, 2.6f};
    ObjectFile body;
    AddBox(body, 0, 0.8f, 0, 1.1f, 0.35f, 2.2f, f.hull);
    AddBox(body, 0, 1.4f, -0.3f, 0.95f, 0.3f, 1.0f, Rgb3{120, 160, 200});
    ChainBoard(body, "leftchain", Tread(body, -1.45f, 0.4f, 0, 0.3f, 0.4f, 2.4f));
    ChainBoard(body, "rightchain", Tread(body, 1.45f, 0.4f, 0, 0.3f, 0.4f, 2.4f));
    Lights(body, 2.25f, -2.2f, 0.9f, 0.8f, false);
    HullSpots(body, 1.45f, -2.4f, 1.3f, 3.4f);
    ObjectFile top;
    AddBox(top, 0, 2.0f, -0.5f, 0.5f, 0.25f, 0.5f, f.hull);
    top.Anchor(0, 1.75f, -0.5f);
    ObjectFile gun;
    AddBox(gun, 0, 2.1f, 0.4f, 0.12f, 0.12f, 0.6f, kSteel);
    AddBox(gun, 0, 2.1f, 1.05f, 0.2f, 0.2f, 0.06f, Rgb3{200, 60, 50});
    gun.Anchor(0, 1.75f, -0.5f);
    return WriteVehicleObject(ctx, f.dir + "/body", body) && WriteVehicleObject(ctx, f.dir + "/top", top) &&
           WriteVehicleObject(ctx, f.dir + "/gun", gun) && Common(ctx, f);
}

// The tread: dark links with a light cleat every eighth row, so that it shows where it runs.
bool WriteTread(const Context& ctx) {
    constexpr int kLog2 = 5, kSize = 1 << kLog2;
    std::vector<uint8_t> idx(kSize * kSize);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) idx[size_t(y) * kSize + x] = uint8_t((y % 8) < 2 ? 1 : ((x % 16) == 0 ? 2 : 0));
    const std::vector<datakit::Rgb> palette = {{45, 43, 40}, {120, 118, 110}, {30, 29, 27}};
    return datakit::WriteFile(ctx.Path("Textures/vehicles/tread"), datakit::EngineTexture(kLog2, kLog2, idx, &palette));
}

// A crosshair bitmap of a vehicle type (32 x 32, black is transparent): a ring of the given radius with
// ticks, in the type's own shape.
std::vector<uint8_t> Crosshair(int ticks, double radius, uint32_t colour) {
    std::vector<uint32_t> px(32 * 32, 0);
    auto set = [&](int x, int y) {
        if (x >= 0 && x < 32 && y >= 0 && y < 32) px[size_t(y) * 32 + x] = colour;
    };
    for (int a = 0; a < 360; a += 3) {
        const double r = a * M_PI / 180;
        set(int(std::lround(15.5 + radius * std::cos(r))), int(std::lround(15.5 + radius * std::sin(r))));
    }
    for (int t = 0; t < ticks; ++t) {
        const double r = t * 2 * M_PI / ticks;
        for (double d = radius + 2; d < 15; d += 0.5)
            set(int(std::lround(15.5 + d * std::cos(r))), int(std::lround(15.5 + d * std::sin(r))));
    }
    set(15, 15), set(16, 16), set(15, 16), set(16, 15);
    return datakit::Bmp24(32, 32, px);
}

bool WriteCrosshairs(const Context& ctx) {
    const struct {
        const char* type;
        int ticks;
        double radius;
        uint32_t colour;
    } kinds[] = {{"EMAJeep", 4, 4, 0x60ff60u},        {"EMATank", 4, 7, 0xffd040u},     {"EMAHaubitze", 3, 9, 0xff8040u},
                 {"EMALinebacker", 6, 6, 0x60d0ffu}, {"EMASnowMob", 8, 5, 0xff6060u}};
    for (const auto& k : kinds)
        if (!datakit::WriteFile(ctx.Path(std::string("Bitmaps/") + k.type + "_xh"), Crosshair(k.ticks, k.radius, k.colour)))
            return false;
    return true;
}

}  // namespace

bool BuildTrackedVehicles(const Context& ctx) {
    return WriteTread(ctx) && BuildTank(ctx) && BuildHaubitze(ctx) && BuildLinebacker(ctx) && BuildSnowMob(ctx) &&
           WriteCrosshairs(ctx);
}

}  // namespace mkdemo
