// The demo island "Maps/Ema01": 64 x 64 tiles of terrain made from a deterministic height function —
// a sea floor around an island with hills (snow on the highest), a lake, a river from the lake to the
// east coast with a ford of shallows, flat sites for the E.M.A. base, the G.A. outpost and a camp, and a
// road from the base over the ford to the outpost — with its ground textures, a sky and the two action
// units of the first mission.
#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <cstdint>
#include <map>
#include <set>
#include <tuple>
#include <string>
#include <vector>

#include "tools/datakit/Sky.h"
#include "tools/datakit/WorldFile.h"
#include "tools/mkdemo/Demo.h"

namespace mkdemo {

namespace {

constexpr int kTiles = kDemoIslandTiles;
constexpr int kSubs = kTiles * 16;  // sub-points along each axis

// Texture slots of the world file's textures chunk.
enum Ground : uint16_t { kGrass = 0, kRock = 1, kSand = 2, kSnow = 3, kConcrete = 4 };
constexpr const char* kGroundNames[] = {"grass", "rock", "sand", "snow", "concrete"};

struct P {
    double u, v;  // 0..1 across the island: u along x, v along z
};

double Hash(int x, int y, uint32_t seed) {
    uint32_t h = uint32_t(x) * 0x8da6b343u ^ uint32_t(y) * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return double(h & 0xffffff) / double(0xffffff);
}

double ValueNoise(double x, double y, uint32_t seed) {
    const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
    const double fx = x - x0, fy = y - y0;
    const double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    const double a = Hash(x0, y0, seed) + (Hash(x0 + 1, y0, seed) - Hash(x0, y0, seed)) * sx;
    const double b = Hash(x0, y0 + 1, seed) + (Hash(x0 + 1, y0 + 1, seed) - Hash(x0, y0 + 1, seed)) * sx;
    return a + (b - a) * sy;
}

// Four octaves of value noise, 0..1.
double Fbm(double u, double v, uint32_t seed) {
    double sum = 0, amp = 0.5, total = 0, f = 5;
    for (int o = 0; o < 4; ++o, f *= 2, amp *= 0.5) {
        sum += amp * ValueNoise(u * f, v * f, seed + uint32_t(o));
        total += amp;
    }
    return sum / total;
}

double Smoothstep(double e0, double e1, double x) {
    const double t = std::clamp((x - e0) / (e1 - e0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

double Lerp(double a, double b, double t) { return a + (b - a) * t; }

double Dist(P a, P b) { return std::hypot(a.u - b.u, a.v - b.v); }

// A polyline with its segment lengths.
struct Line {
    std::vector<P> pts;
    std::vector<double> lengths;
    double total = 0;
    explicit Line(std::vector<P> points) : pts(std::move(points)) {
        for (size_t i = 1; i < pts.size(); ++i) {
            lengths.push_back(Dist(pts[i - 1], pts[i]));
            total += lengths.back();
        }
    }
};

// Distance from p to a polyline, with the parameter (0..1 along the whole line) of the nearest point.
double PolyDist(const Line& line, P p, double* along, P* nearest) {
    double best = 1e9, bestAt = 0, walked = 0;
    for (size_t i = 1; i < line.pts.size(); ++i) {
        const P a = line.pts[i - 1], b = line.pts[i];
        const double du = b.u - a.u, dv = b.v - a.v, len2 = du * du + dv * dv;
        const double t = std::clamp(((p.u - a.u) * du + (p.v - a.v) * dv) / len2, 0.0, 1.0);
        const P q{a.u + du * t, a.v + dv * t};
        const double d = Dist(p, q);
        if (d < best) {
            best = d;
            bestAt = (walked + line.lengths[i - 1] * t) / line.total;
            if (nearest) *nearest = q;
        }
        walked += line.lengths[i - 1];
    }
    if (along) *along = bestAt;
    return best;
}

// The island's features, in island coordinates.
const P kLake{0.62, 0.40};
constexpr double kLakeRadius = 0.06;
const Line kRiver({{0.62, 0.40}, {0.68, 0.50}, {0.72, 0.60}, {0.82, 0.68}, {0.92, 0.73}, {1.02, 0.76}});
constexpr double kRiverWidth = 0.012;
constexpr double kFordFrom = 0.22, kFordTo = 0.36;  // the shallows, along the river
struct Site {
    P at;
    double radius;
    double height;
};
const Site kSites[] = {
    {{0.25, 0.75}, 0.07, 800},   // the E.M.A. base
    {{0.80, 0.30}, 0.06, 900},   // the G.A. outpost, across the river
    {{0.45, 0.55}, 0.035, 700},  // a camp on the road
};
// Ground this far below the sea level (units of 8 world units; the mission's water level is 4) is deep
// water: its sub-points carry the access bit 2, which land units (access types 0 and 1) may not enter.
// The ford's shallows (-20) stay open.
constexpr int16_t kDeepWater = -100;
constexpr uint8_t kDeepWaterAccess = 2;
const Line kRoad({{0.25, 0.75}, {0.45, 0.55}, {0.60, 0.545}, {0.70, 0.545}, {0.80, 0.30}});
constexpr double kRoadWidth = 0.005;

// The ground height (units of 8 world units) without the road.
double Terrain(P p) {
    // The coast: a perturbed circle; outside it the sea floor.
    const double r = Dist(p, {0.5, 0.5}) / 0.43 + 0.12 * (Fbm(p.u, p.v, 7) - 0.5);
    const double land = Smoothstep(1.0, 0.82, r);
    double h = 300 + 2200 * Fbm(p.u, p.v, 3);
    // Hills: a high one in the north-west (x low, z low) and a ridge to the south.
    h += 11000 * std::exp(-std::pow(Dist(p, {0.30, 0.28}) / 0.12, 2));
    h += 4000 * std::exp(-std::pow(Dist(p, {0.45, 0.22}) / 0.08, 2));
    const double ridge = std::exp(-std::pow(Dist(p, {0.60, 0.82}) / 0.10, 2));
    if (ridge > 1e-4) h += 3500 * ridge * Fbm(p.u * 2, p.v * 2, 5);
    h = Lerp(-2000, h, land);
    for (const Site& s : kSites) h = Lerp(s.height, h, Smoothstep(s.radius, s.radius * 1.7, Dist(p, s.at)));
    // The lake: a bowl well below the water.
    h = Lerp(-600, h, Smoothstep(kLakeRadius * 0.6, kLakeRadius * 1.15, Dist(p, kLake)));
    // The river: a deep bed, and a shallow one at the ford.
    double along = 0;
    const double d = PolyDist(kRiver, p, &along, nullptr);
    const double shallow = Smoothstep(kFordFrom - 0.04, kFordFrom, along) * (1 - Smoothstep(kFordTo, kFordTo + 0.04, along));
    const double bed = Lerp(-500, -20, shallow);
    h = Lerp(bed, h, Smoothstep(kRiverWidth, kRiverWidth * 2.5, d));
    return h;
}

struct Island {
    std::vector<int16_t> height;  // [X * kSubs + Z]
    std::vector<uint8_t> road;    // 1 on the road
};

Island MakeIsland() {
    Island isl;
    isl.height.resize(size_t(kSubs) * kSubs);
    isl.road.resize(size_t(kSubs) * kSubs);
    for (int X = 0; X < kSubs; ++X)
        for (int Z = 0; Z < kSubs; ++Z) {
            const P p{(X + 0.5) / kSubs, (Z + 0.5) / kSubs};
            double h = Terrain(p);
            // The road is level across: it takes the height of its centre line.
            P centre{};
            const double d = PolyDist(kRoad, p, nullptr, &centre);
            if (d < kRoadWidth * 2.5) h = Lerp(Terrain(centre), h, Smoothstep(kRoadWidth, kRoadWidth * 2.5, d));
            isl.road[size_t(X) * kSubs + Z] = d < kRoadWidth ? 1 : 0;
            isl.height[size_t(X) * kSubs + Z] = int16_t(std::lround(std::clamp(h, -30000.0, 30000.0)));
        }
    return isl;
}

// The ground texture of a quarter tile from its sub-points.
uint16_t QuarterGround(const Island& isl, int X0, int Z0) {
    double sum = 0;
    int roads = 0, steep = 0;
    for (int X = X0; X < X0 + 8; ++X)
        for (int Z = Z0; Z < Z0 + 8; ++Z) {
            const int16_t h = isl.height[size_t(X) * kSubs + Z];
            sum += h;
            roads += isl.road[size_t(X) * kSubs + Z];
            if (X + 1 < kSubs && std::abs(isl.height[size_t(X + 1) * kSubs + Z] - h) > 120) ++steep;
            if (Z + 1 < kSubs && std::abs(isl.height[size_t(X) * kSubs + Z + 1] - h) > 120) ++steep;
        }
    const double mean = sum / 64;
    const P centre{(X0 + 4.0) / kSubs, (Z0 + 4.0) / kSubs};
    if (roads >= 12) return kConcrete;
    // The middle of the base and of the outpost is paved.
    for (int s = 0; s < 2; ++s)
        if (Dist(centre, kSites[s].at) < kSites[s].radius * 0.5) return kConcrete;
    if (mean < 200) return kSand;
    if (mean > 10000) return kSnow;
    if (steep >= 24) return kRock;
    return kGrass;
}

// A whole day's sky of seven laterals; its halo and moon are the objects "sky\halo" and "sky\moon".
datakit::WorldSky DemoSky() { return datakit::DaySky("sky.halo", "sky.moon"); }

// The first mission's action units: the player's task force of two E.M.A. jeeps at the base and a G.A.
// group at the outpost (or, for the tutorial, at another site), which drives captured E.M.A. jeeps until
// G.A. vehicles of their own exist. Place records hold z, y, x, two spare words and the heading.
void AddActionUnitsAt(datakit::WorldFile& w, const Site& gaSite) {
    auto place = [](P at, double du, double dv) {
        const int32_t x = int32_t(std::lround((at.u + du) * kTiles * 65536));
        const int32_t z = int32_t(std::lround((at.v + dv) * kTiles * 65536));
        return std::array<int32_t, 6>{z, 0, x, 0, 0, 0};
    };
    datakit::WorldAUDef ema;
    ema.name = "EMA_TaskForce";
    ema.abstractClan = 0;
    ema.lists[0] = {{"EMAJeep", 100, place(kSites[0].at, 0.0, 0.0), std::nullopt},
                    {"EMAJeep", 100, place(kSites[0].at, 0.01, 0.0), std::nullopt}};
    w.AUDef(ema, 7);
    datakit::WorldAUDef ga;
    ga.name = "GA_Outpost";
    ga.abstractClan = 1;
    ga.lists[1] = {{"EMAJeep", 100, place(gaSite.at, 0.0, 0.0), std::nullopt},
                   {"EMAJeep", 100, place(gaSite.at, 0.0, 0.01), std::nullopt}};
    w.AUDef(ga, 7);
}

void AddActionUnits(datakit::WorldFile& w) { AddActionUnitsAt(w, kSites[1]); }

// ---- The island's buildings and scenery ----

// A unit of an element action unit at tile coordinates (x along u, z along v), with a heading in quarter
// turns (scenery may take any angle) and, for objects that keep the height they are given (lanterns), a
// height above the ground in world units.
struct ElementPlace {
    const char* type;
    double x, z;
    int32_t heading;
    int32_t above = -1;  // -1: the object finds its own height
};

datakit::WorldAUUnit ElementUnit(const ElementPlace& e) {
    const P at{e.x / kTiles, e.z / kTiles};
    datakit::WorldAUUnit u;
    u.type = e.type;
    const int32_t y = e.above < 0 ? 0 : int32_t(std::lround(std::max(Terrain(at), 0.0) * 8)) + e.above;
    u.place = {int32_t(std::lround(e.z * 65536)), y, int32_t(std::lround(e.x * 65536)), 0, 0, e.heading};
    return u;
}

// A lantern's parameter block: its colour ramp (256 colours) from a start index, stepping through it.
std::vector<uint8_t> LanternRamp(uint8_t start, uint8_t step, std::array<double, 3> warm) {
    std::vector<uint8_t> b(779, 0);
    b[8] = start;
    b[9] = 18;
    b[10] = step;
    for (int i = 0; i < 256; ++i) {
        // A slow flicker: bright most of the time, dimming twice per round.
        const double f = 0.75 + 0.25 * std::cos(i * 2.0 * 3.14159265358979 / 128.0);
        for (int k = 0; k < 3; ++k) b[size_t(11 + 3 * i + k)] = uint8_t(std::lround(std::clamp(warm[size_t(k)] * f, 0.0, 255.0)));
    }
    return b;
}

// Whether the ground under a tree's footprint (half a tile across, centred on the point) is nearly level:
// a tree levels its footprint to the highest ground under it, so on a slope it would stand on a block
// with a cliff on its low side (across a river bank or a road, a step that wheels cannot climb and that
// throws a fast vehicle into the air).
bool LevelFootprint(double x, double z) {
    constexpr double kHalf = 0.25;     // tiles
    constexpr double kMostRise = 160;  // units of 8 world units: a fiftieth of a tile
    double low = 1e9, high = -1e9;
    for (int i = 0; i <= 4; ++i)
        for (int j = 0; j <= 4; ++j) {
            const double h = Terrain({(x - kHalf + i * kHalf / 2) / kTiles, (z - kHalf + j * kHalf / 2) / kTiles});
            low = std::min(low, h);
            high = std::max(high, h);
        }
    return high - low < kMostRise;
}

// Up to count points on land (above the beach, below the hills) on a grid around a tile point, nearest
// first, each on nearly level ground.
std::vector<std::pair<double, double>> LandAround(double x, double z, double radius, int count) {
    std::vector<std::tuple<double, double, double>> found;
    for (double dx = -radius; dx <= radius; dx += radius / 8)
        for (double dz = -radius; dz <= radius; dz += radius / 8) {
            const double h = Terrain({(x + dx) / kTiles, (z + dz) / kTiles});
            if (h > 120 && h < 4000 && LevelFootprint(x + dx, z + dz))
                found.emplace_back(dx * dx + dz * dz, x + dx, z + dz);
        }
    std::sort(found.begin(), found.end());
    std::vector<std::pair<double, double>> out;
    for (const auto& [d, px, pz] : found) {
        bool apart = true;
        for (const auto& [ox, oz] : out) apart = apart && std::hypot(ox - px, oz - pz) > radius / 5;
        if (apart) out.emplace_back(px, pz);
        if (int(out.size()) == count) break;
    }
    return out;
}

// One action unit of elements: its name, abstract clan and units (with a lantern's parameter block).
struct ElementGroup {
    const char* name;
    int32_t abstractClan;
    std::vector<datakit::WorldAUUnit> units;
};

// The E.M.A. base (at tile 16, 48; the task force's jeeps stand at its middle and drive out westward,
// so that row stays free), the G.A. outpost's buildings (tile 51, 19), the neutral scenery and the base's
// gate, one action unit each; the mission script activates them. Also the tiles they stand on.
std::vector<ElementGroup> ElementLayout(std::set<std::pair<int, int>>* tiles) {
    constexpr int32_t q = 102943;
    const ElementPlace base[] = {
        {"Depot", 15.5, 46.5, 0},        {"LBunker", 14.5, 49.5, q},     {"Bunker", 17.25, 49.25, 2 * q},
        {"Tower", 19.0, 46.0, 0},        {"Lift", 13.75, 46.25, q},
        {"EnergyGate", 16.3, 46.6, 0},   {"Hut", 15.75, 49.25, 0},       {"Barrier", 18.75, 48.75, q},
        {"Lamp", 15.2, 47.2, 0, 3000},   {"Lamp", 17.0, 46.9, 0, 3000},  {"Lamp", 15.9, 48.9, 0, 3000},
        {"LampPost", 14.2, 47.1, 0},     {"LampPost", 16.9, 48.8, 0},    {"Trees", 13.0, 45.0, 5000},
        {"Trees", 12.8, 50.2, 90000},    {"Trees", 18.9, 45.2, 170000},  {"Trees", 18.6, 50.3, 260000},
        {"Trees", 16.4, 50.6, 330000},   {"Trees", 14.0, 44.6, 60000},   {"Pole", 18.7, 46.6, 0},
        {"Crate", 16.15, 46.1, 20000},   {"Crate", 16.2, 45.85, 70000},  {"Crate", 13.5, 48.9, 0},
        {"Crate", 14.8, 48.95, 150000},  {"Fence", 17.5, 46.8, q},       {"Fence", 17.5, 46.55, q},
        {"Fence", 17.5, 48.2, q},        {"Fence", 17.5, 48.45, q},
    };
    // The base's gate is an action unit of its own, so that the mission's day events switch it alone.
    const ElementPlace gate = {"Gate", 17.5, 47.5, 0};
    const ElementPlace outpost[] = {
        {"GABunker", 49.25, 17.75, q},   {"GABunker", 49.25, 21.25, q},  {"Pump", 52.75, 17.25, 0},
        {"Fence", 48.4, 18.6, q},        {"Fence", 48.4, 18.85, q},      {"Fence", 48.4, 19.1, q},
        {"Fence", 48.4, 19.35, q},       {"Fence", 48.4, 19.6, q},       {"Fence", 48.4, 19.85, q},
        {"Panel", 50.6, 21.7, 0},        {"Mast", 52.6, 21.9, 0},        {"Lamp", 50.1, 19.1, 0, 3000},
        {"Crate", 51.8, 17.5, 40000},    {"Crate", 52.05, 17.8, 0},      {"Trees", 47.5, 16.4, 0},
        {"Trees", 54.6, 22.6, 200000},   {"LampPost", 50.2, 18.2, 0},
    };
    // Where the first view of the level looks (the satellite camera starts looking at tile 13.5, 13.5
    // from the east, above the hill there, and sees the ground around tile 13.7, 13.5): trees, crates, a
    // lamp post and a lantern.
    const ElementPlace firstView[] = {
        {"Trees", 13.745, 13.55, 30000}, {"Trees", 13.795, 13.455, 250000}, {"Tree", 13.665, 13.545, 0},
        {"Crate", 13.67, 13.455, 20000}, {"Crate", 13.685, 13.475, 60000},   {"Crate", 13.66, 13.48, 0},
        {"LampPost", 13.705, 13.505, 0}, {"Lamp", 13.705, 13.505, 0, 4500},
    };
    // The navigation points beside the road from the base to the ford and on to the outpost, and the
    // crate of data at the base that the player's unit scans (the action unit "EMA_DataPoint").
    const ElementPlace navPoints[] = {{"NavPoint", 22.5, 42.0, 0}, {"NavPoint", 33.0, 33.0, 0},
                                      {"NavPoint", 44.0, 33.0, 0}};
    const ElementPlace dataPoint = {"Crate", 16.6, 45.7, 0};
    std::vector<ElementGroup> groups = {{"EMA_Base", 0, {}},     {"GA_Buildings", 1, {}},  {"Island_Scenery", 2, {}},
                                         {"EMA_BaseGate", 0, {}}, {"EMA_NavPoints", 0, {}}, {"EMA_DataPoint", 0, {}}};
    auto add = [&](ElementGroup& g, const ElementPlace& e, std::vector<uint8_t> ramp) {
        g.units.push_back(ElementUnit(e));
        if (std::string(e.type) == "Lamp") g.units.back().data = std::move(ramp);
        // A static changes the sub-points of its tile's definition: the tiles under it and around it
        // get definitions of their own.
        for (int dx = -1; dx <= 1; ++dx)
            for (int dz = -1; dz <= 1; ++dz) tiles->insert({int(e.x) + dx, int(e.z) + dz});
    };
    for (const ElementPlace& e : base) add(groups[0], e, LanternRamp(0, 1, {255, 210, 140}));
    for (const ElementPlace& e : outpost) add(groups[1], e, LanternRamp(64, 2, {255, 170, 90}));
    for (const ElementPlace& e : firstView) add(groups[2], e, LanternRamp(128, 1, {200, 220, 255}));
    add(groups[3], gate, {});
    for (const ElementPlace& e : navPoints) add(groups[4], e, {});
    add(groups[5], dataPoint, {});
    // Copses over the island.
    const struct {
        double x, z;
    } copses[] = {{30, 30}, {24, 38}, {40, 48}, {34, 22}, {44, 36}, {28, 54}};
    for (const auto& c : copses) {
        int n = 0;
        for (const auto& [x, z] : LandAround(c.x, c.z, 1.5, 5))
            add(groups[2], {n++ % 2 ? "Tree" : "Trees", x, z, int32_t(x * 7919 + z * 104729) % 411774}, {});
    }
    return groups;
}

void AddElementUnits(datakit::WorldFile& w, const std::vector<ElementGroup>& groups) {
    for (const ElementGroup& g : groups) {
        datakit::WorldAUDef def;
        def.name = g.name;
        def.abstractClan = g.abstractClan;
        def.lists[size_t(g.abstractClan)] = g.units;
        w.AUDef(def, 7);
    }
}

// The point at a parameter along a polyline.
P PointAlong(const Line& line, double along) {
    double left = along * line.total;
    for (size_t i = 1; i < line.pts.size(); ++i) {
        const double l = line.lengths[i - 1];
        if (left <= l) return {Lerp(line.pts[i - 1].u, line.pts[i].u, left / l), Lerp(line.pts[i - 1].v, line.pts[i].v, left / l)};
        left -= l;
    }
    return line.pts.back();
}

DemoPlace ToWorld(P p, double radius) {
    const double scale = double(kTiles) * 65536;
    return {int32_t(std::lround(p.u * scale)), int32_t(std::lround(p.v * scale)), int32_t(std::lround(radius * scale))};
}

}  // namespace

DemoPlace DemoIslandPlace(const std::string& name) {
    if (name == "ema_base") return ToWorld(kSites[0].at, kSites[0].radius);
    if (name == "ga_outpost") return ToWorld(kSites[1].at, kSites[1].radius);
    if (name == "camp") return ToWorld(kSites[2].at, kSites[2].radius);
    if (name == "lake") return ToWorld(kLake, kLakeRadius);
    if (name == "ford") return ToWorld(PointAlong(kRiver, (kFordFrom + kFordTo) / 2), kRiverWidth);
    if (name == "hill") return ToWorld({0.30, 0.28}, 0.03);
    return {0, 0, 0};
}

std::vector<uint8_t> DemoIslandWorld() { return DemoIslandWorldWith(AddActionUnits); }

std::vector<uint8_t> DemoIslandWorldWithTargetsAtCamp() {
    return DemoIslandWorldWith([](datakit::WorldFile& w) { AddActionUnitsAt(w, kSites[2]); });
}

std::vector<uint8_t> DemoIslandWorldWith(const std::function<void(datakit::WorldFile&)>& actionUnits) {
    // The island's terrain is the same for every map made on it: computed once per process.
    static const Island kIsland = MakeIsland();
    const Island& isl = kIsland;
    std::set<std::pair<int, int>> ownTiles;  // tiles whose definition no other tile shares
    const std::vector<ElementGroup> elements = ElementLayout(&ownTiles);
    datakit::WorldFile w(102);
    // Outside the grid: a flat sea floor (the clone tile), too deep for land units.
    w.TileClone({-2000, 0x8000 | 0x2000 | 0x0248, kDeepWaterAccess, {6, 6, 10}});

    datakit::WorldTileLayer layer;
    layer.width = kTiles;
    layer.height = kTiles;
    std::vector<datakit::WorldSubPoint> pool;
    std::map<std::vector<int16_t>, uint32_t> defs;  // identical tiles share one definition
    for (int xt = 0; xt < kTiles; ++xt)
        for (int zt = 0; zt < kTiles; ++zt) {
            std::vector<int16_t> def(256);
            for (int zi = 0; zi < 16; ++zi)
                for (int xi = 0; xi < 16; ++xi)
                    def[size_t(zi * 16 + xi)] = isl.height[size_t(xt * 16 + xi) * kSubs + size_t(zt * 16 + zi)];
            // Tiles that statics stand on keep a definition of their own: a static changes its sub-points.
            const uint32_t next = uint32_t(pool.size() / 256);
            const bool own = ownTiles.count({xt, zt}) > 0;
            const auto [it, added] = own ? std::pair{defs.end(), true} : defs.emplace(def, next);
            if (added)
                // Solid, with a light grey tile colour (240 in each channel) that the sun light scales;
                // deep water (the sea, the lake, the river but for its ford) blocks land units.
                for (int16_t h : def) pool.push_back({h, 0x8000 | 0x0FFF, uint8_t(h < kDeepWater ? kDeepWaterAccess : 0)});
            datakit::WorldTile t;
            t.def = own ? next : it->second;
            for (int q = 0; q < 4; ++q) t.tex[size_t(q)] = QuarterGround(isl, xt * 16 + (q & 1) * 8, zt * 16 + (q >> 1) * 8);
            layer.tiles.push_back(t);
        }
    w.TileField(layer);
    w.TileDefPool(pool, 0);
    std::vector<datakit::WorldTexture> textures;
    for (const char* name : kGroundNames) textures.push_back({name, GroundTexture(name)});
    w.Textures(textures);
    w.Sky(DemoSky());
    actionUnits(w);
    AddElementUnits(w, elements);
    return w.Bytes();
}

std::vector<uint32_t> DemoIslandMap(int size) {
    std::vector<uint32_t> rgb(size_t(size) * size);
    const auto mix = [](uint32_t a, uint32_t b, double t) {
        uint32_t out = 0;
        for (int shift : {16, 8, 0}) {
            const double ca = (a >> shift) & 255, cb = (b >> shift) & 255;
            out |= uint32_t(std::lround(Lerp(ca, cb, std::clamp(t, 0.0, 1.0)))) << shift;
        }
        return out;
    };
    for (int r = 0; r < size; ++r)
        for (int c = 0; c < size; ++c) {
            // The maps show x falling from left to right and z rising from top to bottom.
            const P p{1.0 - (c + 0.5) / size, (r + 0.5) / size};
            const double h = Terrain(p);
            uint32_t colour;
            if (h < 4) colour = mix(0x1c4c8cu, 0x0a1e46u, -h / 2000.0);
            else if (h < 200) colour = 0xc8b478u;
            else if (h > 10000) colour = 0xe6e6f0u;
            else colour = mix(0x3c7828u, 0x8c8064u, (h - 200) / 9000.0);
            if (PolyDist(kRoad, p, nullptr, nullptr) < kRoadWidth * 1.5) colour = 0x9a9a96u;
            for (int s = 0; s < 2; ++s)
                if (Dist(p, kSites[s].at) < kSites[s].radius * 0.5) colour = 0xb4b4aau;
            // A faint grid every eight tiles.
            const int cell = std::max(1, size / 8);
            if (c % cell == 0 || r % cell == 0) colour = mix(colour, 0x000000u, 0.25);
            rgb[size_t(r) * size + c] = colour;
        }
    return rgb;
}

bool BuildWorlds(const Context& ctx) {
    return datakit::WriteFile(ctx.Path("Maps/Ema01"), DemoIslandWorld());
}

}  // namespace mkdemo
