// The campaigns of the demo: the missions the two campaign screens list (a tutorial "EmaTut", "Ema01",
// "Ema02" and the G.A. missions "Ga01" and "Ga02", all on the island), their scripts, texts, briefings,
// briefing pictures and briefing speech; the progress file "Campaigns\VORLE" with nothing won yet, the side
// campaign files "EMA.cpn" and "GA.cpn"; the team list with its logos and the default logo; and the
// credits with their slides.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "tools/datakit/Bytes.h"
#include "tools/datakit/Campaign.h"
#include "tools/datakit/RulesText.h"
#include "tools/datakit/Texture.h"
#include "tools/datakit/Wav.h"
#include "tools/mkdemo/Demo.h"

namespace mkdemo {

namespace {

struct Mission {
    const char* name;
    const char* title;
    int look;  // the briefing picture: 0 targets at the camp, 1 attack, 2 the outpost at dusk, 3 the G.A.
               // side meeting the patrol on the road, 4 the G.A. side at night
};
// "Ema01" is built by the world and core steps; the campaigns list it with the others.
const Mission kMissions[] = {
    {"EmaTut", "Basic Training", 0}, {"Ema01", "Island Outpost", 1}, {"Ema02", "Evening Rain", 2},
    {"Ga01", "Across the River", 3}, {"Ga02", "Night Raid", 4},
};
constexpr bool OwnMission(const Mission& m) {
    return m.look != 1;
}

// The island seen from the G.A. side. A world file's action units name abstract clans: 0 the mission's own
// side ("ourclan"), 1 the other; each unit list belongs to a level clan (E.M.A., G.A., the third). The
// island's E.M.A. task force is side 0 and the G.A. group side 1, so in a mission whose own side is G.A.
// the two trade their abstract clans and each keeps its units. The world file is "QZWD", its version and
// chunks of a type, a size that counts the chunk's 8 bytes, and a body; an action unit's body (type 7)
// holds its abstract clan after its 32-byte name.
std::vector<uint8_t> GaSideWorld(std::vector<uint8_t> world) {
    auto word = [&world](size_t at) {
        return uint32_t(world[at]) | uint32_t(world[at + 1]) << 8 | uint32_t(world[at + 2]) << 16 |
               uint32_t(world[at + 3]) << 24;
    };
    for (size_t at = 8; at + 8 <= world.size();) {
        const uint32_t type = word(at), size = word(at + 4);
        if (size < 8 || size > world.size() - at) break;
        if (type == 7 && size >= 8 + 36 && word(at + 8 + 32) <= 1) world[at + 8 + 32] ^= 1;
        at += size;
    }
    return world;
}

bool ReadSource(const Context& ctx, const std::string& rel, std::string& out) {
    std::ifstream in(ctx.source + "/" + rel, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), {});
    return true;
}

// ---- pictures -------------------------------------------------------------------------------------

constexpr double kPi = 3.14159265358979323846;

// A picture of 0xRRGGBB pixels, drawn into with island coordinates: 0 .. 1 across the picture's middle
// square, north at the top.
struct Canvas {
    int w, h;
    std::vector<uint32_t> px;
    Canvas(int width, int height, uint32_t fill) : w(width), h(height), px(size_t(width) * height, fill) {}
    void Put(int x, int y, uint32_t c) {
        if (x >= 0 && y >= 0 && x < w && y < h) px[size_t(y) * w + x] = c;
    }
    // Every pixel whose island point passes the test takes the colour.
    template <typename Test>
    void Paint(uint32_t c, Test test) {
        const double side = std::min(w, h), left = (w - side) / 2, top = (h - side) / 2;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (test((x + 0.5 - left) / side, (y + 0.5 - top) / side)) px[size_t(y) * w + x] = c;
    }
    void Disc(double u, double v, double r, uint32_t c) {
        Paint(c, [&](double x, double y) { return std::hypot(x - u, y - v) < r; });
    }
    void Ring(double u, double v, double r, double width, uint32_t c) {
        Paint(c, [&](double x, double y) { return std::abs(std::hypot(x - u, y - v) - r) < width; });
    }
    void Box(double u0, double v0, double u1, double v1, uint32_t c) {
        Paint(c, [&](double x, double y) { return x >= u0 && x <= u1 && y >= v0 && y <= v1; });
    }
    void Segment(double u0, double v0, double u1, double v1, double width, uint32_t c) {
        Paint(c, [&](double x, double y) {
            const double du = u1 - u0, dv = v1 - v0, len2 = du * du + dv * dv;
            const double t = std::clamp(((x - u0) * du + (y - v0) * dv) / len2, 0.0, 1.0);
            return std::hypot(x - (u0 + t * du), y - (v0 + t * dv)) < width;
        });
    }
};

// A deterministic value noise, 0 .. 1, for the coast line.
double Noise(double u, double v) {
    auto hash = [](int x, int y) {
        uint32_t h = uint32_t(x) * 0x9e3779b1u ^ uint32_t(y) * 0x85ebca77u;
        h ^= h >> 15;
        h *= 0x2c1b3c6du;
        h ^= h >> 12;
        return double(h & 0xffff) / 65535.0;
    };
    const double x = u * 7, y = v * 7;
    const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
    const double fx = x - x0, fy = y - y0;
    const double a = hash(x0, y0) + (hash(x0 + 1, y0) - hash(x0, y0)) * fx;
    const double b = hash(x0, y0 + 1) + (hash(x0 + 1, y0 + 1) - hash(x0, y0 + 1)) * fx;
    return a + (b - a) * fy;
}

struct UV {
    double u, v;
};
UV Place(const char* name) {
    const DemoPlace p = DemoIslandPlace(name);
    const double scale = double(kDemoIslandTiles) * 65536.0;
    return {p.x / scale, p.z / scale};
}

// The island as a map: sea, coast, land, the hill, the lake, the river, the road, the base and the outpost.
Canvas IslandMap(int w, int h, bool dusk) {
    const uint32_t sea = dusk ? 0x142848u : 0x1e4a86u, land = dusk ? 0x3a4a2au : 0x5d8a3cu;
    const uint32_t coast = dusk ? 0x6a6446u : 0xc8b878u, water = dusk ? 0x1c3460u : 0x3070b8u;
    Canvas c(w, h, sea);
    auto r = [](double u, double v) {
        return std::hypot(u - 0.5, v - 0.5) / 0.43 + 0.12 * (Noise(u, v) - 0.5);
    };
    c.Paint(coast, [&](double u, double v) { return r(u, v) < 0.97; });
    c.Paint(land, [&](double u, double v) { return r(u, v) < 0.92; });
    const UV hill = Place("hill");
    c.Disc(hill.u, hill.v, 0.09, dusk ? 0x5a5a50u : 0x8c8a70u);
    c.Disc(hill.u, hill.v, 0.04, dusk ? 0xa0a0a8u : 0xf0f0f4u);
    const UV lake = Place("lake"), ford = Place("ford"), base = Place("ema_base"),
             outpost = Place("ga_outpost"), camp = Place("camp");
    c.Disc(lake.u, lake.v, 0.06, water);
    c.Segment(lake.u, lake.v, ford.u, ford.v, 0.012, water);
    c.Segment(ford.u, ford.v, 1.02, 0.76, 0.012, water);
    const uint32_t road = dusk ? 0x6c6258u : 0xa89c88u;
    c.Segment(base.u, base.v, camp.u, camp.v, 0.006, road);
    c.Segment(camp.u, camp.v, ford.u, ford.v, 0.006, road);
    c.Segment(ford.u, ford.v, outpost.u, outpost.v, 0.006, road);
    c.Box(base.u - 0.035, base.v - 0.035, base.u + 0.035, base.v + 0.035, 0x3c64d2u);
    c.Box(outpost.u - 0.03, outpost.v - 0.03, outpost.u + 0.03, outpost.v + 0.03, 0xd23c3cu);
    return c;
}

// An arrow from a to b, its head at b.
void Arrow(Canvas& c, UV a, UV b, uint32_t colour) {
    c.Segment(a.u, a.v, b.u, b.v, 0.012, colour);
    const double dir = std::atan2(b.v - a.v, b.u - a.u);
    for (double side : {-0.5, 0.5})
        c.Segment(b.u, b.v, b.u - 0.07 * std::cos(dir + side), b.v - 0.07 * std::sin(dir + side), 0.012,
                  colour);
}

// The picture mirrored left to right.
Canvas Mirrored(const Canvas& c) {
    Canvas m(c.w, c.h, 0);
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) m.px[size_t(y) * c.w + x] = c.px[size_t(y) * c.w + (c.w - 1 - x)];
    return m;
}

// A briefing picture: the island with what the mission is about, 256 units square as every menu picture,
// seen as the game's maps show it (x falling from left to right: the E.M.A. base at the lower right), so
// that the briefing's directions hold on the map too.
Canvas BriefingPicture(int look) {
    Canvas c = IslandMap(256, 256, look == 2 || look == 4);
    const UV base = Place("ema_base"), outpost = Place("ga_outpost");
    switch (look) {
        case 0: {
            const UV camp = Place("camp");
            c.Ring(camp.u, camp.v, 0.05, 0.008, 0xf0d020u);
            Arrow(c, {base.u + 0.04, base.v - 0.04}, {camp.u - 0.04, camp.v + 0.04}, 0xf0f0f0u);
            break;
        }
        case 1:
            Arrow(c, {base.u + 0.04, base.v - 0.04}, {outpost.u - 0.05, outpost.v + 0.05}, 0xf0f0f0u);
            break;
        case 2:
            for (int i = 0; i < 5; ++i) {
                const double du = 0.05 * std::cos(i * 1.3), dv = 0.05 * std::sin(i * 1.3);
                c.Segment(outpost.u + du - 0.015, outpost.v + dv - 0.015, outpost.u + du + 0.015,
                          outpost.v + dv + 0.015, 0.005, 0xffa030u);
                c.Segment(outpost.u + du - 0.015, outpost.v + dv + 0.015, outpost.u + du + 0.015,
                          outpost.v + dv - 0.015, 0.005, 0xffa030u);
            }
            // Rain.
            c.Paint(0x8090b0u, [](double u, double v) {
                return std::fmod(u * 40 + v * 90, 1.0) < 0.04 && Noise(u * 3, v) > 0.5;
            });
            break;
        case 3: {
            // The E.M.A. patrol is met on the road past the ford.
            const UV camp = Place("camp");
            c.Ring(camp.u, camp.v, 0.05, 0.008, 0xff5030u);
            Arrow(c, {outpost.u - 0.05, outpost.v + 0.04}, {camp.u + 0.05, camp.v - 0.035}, 0xf0d020u);
            break;
        }
        default:
            c.Ring(base.u, base.v, 0.08, 0.008, 0xff5030u);
            Arrow(c, {outpost.u - 0.05, outpost.v + 0.05}, {base.u + 0.09, base.v - 0.09}, 0xf0d020u);
            break;
    }
    return Mirrored(c);
}

// A team logo, 256 units square as every menu picture: a dark panel edged in the team's colour with a
// shield in the colour and a mark of its own.
Canvas Logo(uint32_t colour, int mark) {
    Canvas c(256, 256, 0x24160au);
    c.Paint(colour, [](double u, double v) { return u < 0.02 || u > 0.98 || v < 0.02 || v > 0.98; });
    c.Paint(colour, [](double u, double v) {
        return std::abs(u - 0.5) < 0.36 * (v < 0.55 ? 1.0 : (1.0 - v) / 0.45) && v > 0.1 && v < 0.94;
    });
    const uint32_t light = 0xf0f0e0u;
    switch (mark) {
        case 0:
            c.Ring(0.5, 0.45, 0.17, 0.035, light);
            break;
        case 1:
            c.Segment(0.32, 0.3, 0.68, 0.64, 0.045, light), c.Segment(0.68, 0.3, 0.32, 0.64, 0.045, light);
            break;
        case 2:
            c.Box(0.43, 0.22, 0.57, 0.72, light), c.Box(0.28, 0.38, 0.72, 0.51, light);
            break;
        default:
            c.Disc(0.5, 0.45, 0.11, light);
            break;
    }
    return c;
}

// ---- credits slides: 256 x 256 textures whose picture is a round medallion in the middle (the text
// blocks of the credits stand beside it, upper left and lower right); the credits quad runs its first
// texture coordinate down the screen and its second across, so a slide is stored transposed ----------

Canvas JeepPicture() {
    Canvas c(256, 256, 0x202830u);
    c.Box(0, 0.72, 1, 1, 0x4a5a32u);                     // ground
    c.Box(0.14, 0.48, 0.86, 0.64, 0x5d7040u);            // hull
    c.Box(0.36, 0.36, 0.66, 0.49, 0x4e6036u);            // cab
    c.Box(0.40, 0.38, 0.62, 0.46, 0x8ab0c8u);            // windscreen
    c.Segment(0.55, 0.40, 0.93, 0.33, 0.02, 0x303830u);  // gun
    for (double x : {0.28, 0.72}) {
        c.Disc(x, 0.66, 0.09, 0x181818u);
        c.Disc(x, 0.66, 0.04, 0x808080u);
    }
    return c;
}

Canvas EmblemsPicture() {
    Canvas c(256, 256, 0x101418u);
    c.Ring(0.28, 0.5, 0.17, 0.025, 0x4a78d0u);
    c.Box(0.16, 0.47, 0.40, 0.53, 0x4a78d0u);
    c.Ring(0.72, 0.5, 0.17, 0.025, 0xd04a4au);
    c.Box(0.60, 0.41, 0.84, 0.46, 0xd04a4au);
    c.Box(0.60, 0.54, 0.84, 0.59, 0xd04a4au);
    return c;
}

// The picture (256 x 256) shrunk into the middle half of the slide, with an alpha map that shows a disc
// of it and fades out at its rim.
bool WriteSlide(const Context& ctx, const std::string& name, const Canvas& picture) {
    std::vector<uint32_t> transposed(size_t(256) * 256, 0);
    std::vector<uint8_t> alpha(size_t(256) * 256, 0);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const double r = std::hypot(x - 127.5, y - 127.5);
            alpha[size_t(y) * 256 + x] = uint8_t(std::lround(std::clamp((62.0 - r) / 8.0, 0.0, 1.0) * 235));
            const int px = std::clamp((x - 64) * 2, 0, 255), py = std::clamp((y - 64) * 2, 0, 255);
            transposed[size_t(x) * 256 + y] = picture.px[size_t(py) * 256 + px];
        }
    return datakit::WriteFile(ctx.Path("Textures/credits/" + name), datakit::Bmp24(256, 256, transposed)) &&
           datakit::WriteFile(ctx.Path("Textures/credits/" + name + "_"),
                              datakit::BmpAlphaMap(256, 256, alpha));
}

// ---- briefing speech: a radio voice, buzzing syllables through two moving resonances -------------

constexpr int kRate = 22050;

std::vector<int16_t> Speech(uint32_t seed, int syllables) {
    // Formant pairs of five vowels.
    static const double kFormants[5][2] = {{730, 1090}, {530, 1840}, {270, 2290}, {570, 840}, {300, 870}};
    std::vector<double> s;
    uint32_t state = seed;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return double(state >> 8) / double(1u << 24);
    };
    auto squelch = [&s, &next] {
        for (int i = 0; i < kRate / 25; ++i)
            s.push_back((next() * 2 - 1) * 0.3 * (1.0 - i / double(kRate / 25)));
    };
    squelch();
    double phase = 0, y1[2] = {0, 0}, y2[2] = {0, 0};
    for (int k = 0; k < syllables; ++k) {
        const int vowel = int(next() * 5) % 5;
        const int n = int((0.12 + 0.1 * next()) * kRate);
        const double pitch = 110 + 25 * next();
        for (int i = 0; i < n; ++i) {
            const double t = double(i) / n;
            phase += (pitch * (1.0 - 0.15 * t)) / kRate;
            const double buzz = (phase - std::floor(phase)) * 2 - 1;
            const double in = (t < 0.15 ? (next() * 2 - 1) * 0.5 : buzz);
            double out = 0;
            for (int f = 0; f < 2; ++f) {
                // A two-pole resonance at the formant.
                const double w = 2 * kPi * kFormants[vowel][f] / kRate, rr = 0.97;
                const double y = in * 0.1 + 2 * rr * std::cos(w) * y1[f] - rr * rr * y2[f];
                y2[f] = y1[f];
                y1[f] = y;
                out += y;
            }
            s.push_back(out * std::sin(kPi * t) * 0.6);
        }
        // A pause between words now and then.
        const int gap = int((next() < 0.3 ? 0.12 : 0.03) * kRate);
        s.insert(s.end(), size_t(gap), 0.0);
    }
    squelch();
    std::vector<int16_t> pcm(s.size());
    for (size_t i = 0; i < s.size(); ++i) pcm[i] = int16_t(std::lround(std::clamp(s[i], -1.0, 1.0) * 30000));
    return pcm;
}

}  // namespace

bool BuildCampaigns(const Context& ctx) {
    for (const char* dir : {"Campaigns", "Scripts", "app/text", "app/teams", "Bitmaps/Screens",
                            "Bitmaps/App/teams", "Textures/credits"})
        if (!datakit::MakeDirs(ctx.Path(dir))) return false;
    // The missions beside "Ema01": the island under their own names (the tutorial's with its targets at the
    // camp), their scripts and texts.
    const std::vector<uint8_t> island = DemoIslandWorld(), gaIsland = GaSideWorld(island),
                               tutorial = DemoIslandWorldWithTargetsAtCamp();
    for (const Mission& m : kMissions) {
        const std::string name = m.name;
        if (OwnMission(m)) {
            std::string script, texts;
            const std::vector<uint8_t>& world = m.look == 0 ? tutorial : m.look >= 3 ? gaIsland : island;
            if (!datakit::WriteFile(ctx.Path("Maps/" + name), world)) return false;
            if (!ReadSource(ctx, "Scripts/" + name + ".txt", script) ||
                !datakit::WriteRulesText(ctx.Path("Scripts/" + name + ".txt"), script))
                return false;
            if (!ReadSource(ctx, "app/text/Text_" + name + ".txt", texts) ||
                !datakit::WriteRulesText(ctx.Path("app/text/Text_" + name + ".txt"), texts))
                return false;
        }
        std::string briefing;
        if (!ReadSource(ctx, "app/text/Brief_" + name + ".txt", briefing) ||
            !datakit::WriteBriefingText(ctx.Path("app/text/Brief_" + name + ".txt"), briefing))
            return false;
        const Canvas picture = BriefingPicture(m.look);
        if (!datakit::WriteFile(ctx.Path("Bitmaps/Screens/" + name),
                                datakit::Bmp24(picture.w, picture.h, picture.px)))
            return false;
        const int syllables = 14 + 3 * (&m - kMissions);
        if (!datakit::WriteWav(ctx.Path("Sounds/" + name + "/Brief_" + name + ".wav"), 1, kRate,
                               Speech(uint32_t(101 + (&m - kMissions)), syllables)))
            return false;
    }

    // Nothing won yet: each campaign lists its first mission.
    const bool progress = datakit::WriteProgressFile(
        ctx.Path("Campaigns/VORLE"), {{"Ema_missions:", {{"EmaTut", "0"}, {"Ema01", "0"}, {"Ema02", "0"}}},
                                      {"Ga_missions:", {{"Ga01", "0"}, {"Ga02", "0"}}},
                                      {"Bonus_missions:", {}}});
    std::vector<datakit::CampaignTitle> ema, ga;
    for (const Mission& m : kMissions) (m.look >= 3 ? ga : ema).push_back({m.name, m.title});
    if (!progress || !datakit::WriteCampaignFile(ctx.Path("Scripts/EMA.cpn"), ema) ||
        !datakit::WriteCampaignFile(ctx.Path("Scripts/GA.cpn"), ga))
        return false;

    // The teams of the multiplayer team screen, their logos and the logo of a team without one.
    struct Team {
        const char* name;
        const char* logo;
        uint32_t colour;
        int mark;
    } teams[] = {{"Wolves", "wolves", 0xc83c28u, 0},
                 {"Eagles", "eagles", 0x3c5ac8u, 1},
                 {"Foxes", "foxes", 0xe68c1eu, 2},
                 {"Ravens", "ravens", 0x505060u, 3}};
    std::vector<datakit::TeamListEntry> list;
    for (const Team& t : teams) {
        list.push_back({t.name,
                        t.logo,
                        std::to_string(t.colour >> 16),
                        std::to_string((t.colour >> 8) & 0xff),
                        std::to_string(t.colour & 0xff),
                        {}});
        const Canvas logo = Logo(t.colour, t.mark);
        if (!datakit::WriteFile(ctx.Path(std::string("Bitmaps/App/teams/") + t.logo),
                                datakit::Bmp24(256, 256, logo.px)))
            return false;
    }
    const Canvas plain = Logo(0x8c8c8cu, 4);
    if (!datakit::WriteTeamList(ctx.Path("app/teams/teamlist"), list) ||
        !datakit::WriteFile(ctx.Path("Bitmaps/App/teams/defaultlogo"), datakit::Bmp24(256, 256, plain.px)))
        return false;

    // The credits and their slides.
    std::string credits;
    return ReadSource(ctx, "app/text/credits.txt", credits) &&
           datakit::WriteCreditsFile(ctx.Path("app/text/credits.txt"), credits) &&
           WriteSlide(ctx, "island", IslandMap(256, 256, false)) && WriteSlide(ctx, "jeep", JeepPicture()) &&
           WriteSlide(ctx, "emblems", EmblemsPicture());
}

}  // namespace mkdemo
