// The demo tree's weapon kinds: the object files of the grenades, the projectile, the capsule with its
// shock ring and the muzzle flare, the beam and sensor segments, the car's eye, the plasma bolts with
// their splashes, the track mark, the turret's aiming marker and the test wave; the texture animations
// their billboards show, the palettes their lights cycle through and the wave's ramp tables.
//
// Sizes: file units times the type's scale are world units. A billboard drawn along its object's forward
// axis (a beam piece) reaches twice its first size from its point; its frame is (phase - value 1) / (2 x
// value 2), so with value 2 = 32 an effect phase of 255 shows frame 3 and each 64 less one frame less.
#include <array>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "tools/datakit/Bytes.h"
#include "tools/datakit/ObjectFile.h"
#include "tools/datakit/Texture.h"
#include "tools/mkdemo/Demo.h"

namespace mkdemo {

namespace {

using datakit::ObjectFile;
using datakit::Rgb;
using Rgb3 = std::array<uint8_t, 3>;

constexpr int kLog2 = 5;
constexpr int kSize = 1 << kLog2;

double Clamp01(double v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

// A ramp of 256 colours from black through the given colour to white.
std::vector<Rgb> Glow(Rgb mid) {
    std::vector<Rgb> pal(256);
    for (int i = 0; i < 256; ++i) {
        const double t = i / 255.0;
        auto channel = [t](uint8_t c) {
            return uint8_t(std::lround(t < 0.6 ? c * t / 0.6 : c + (255 - c) * (t - 0.6) / 0.4));
        };
        pal[size_t(i)] = Rgb{channel(mid.r), channel(mid.g), channel(mid.b)};
    }
    return pal;
}

// Frames of an animation: texel(u, v, n) gives the intensity (0..1) of frame n at u, v in -1..1.
bool Anim(const Context& ctx, const std::string& name, int count, const std::vector<Rgb>& palette, bool alpha,
          const std::function<double(double, double, int)>& texel) {
    std::vector<std::vector<uint8_t>> frames, alphas;
    for (int n = 0; n < count; ++n) {
        std::vector<uint8_t> index(kSize * kSize), a(kSize * kSize);
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) {
                const double level = Clamp01(texel((x + 0.5) / kSize * 2 - 1, (y + 0.5) / kSize * 2 - 1, n));
                index[size_t(y) * kSize + x] = uint8_t(std::lround(level * 255));
                a[size_t(y) * kSize + x] = uint8_t(std::lround(level * 255));
            }
        frames.push_back(datakit::EngineTexture(kLog2, kLog2, index, &palette));
        alphas.push_back(alpha ? datakit::EngineAlphaMap(kLog2, kLog2, a) : std::vector<uint8_t>{});
    }
    return datakit::WriteTexAnimFolder(ctx.Path("TexAnims/" + name), frames, alphas);
}

// A beam piece's texture: a bright core across v (the quad's width), even along u; brighter with n.
double BeamTexel(double, double v, int n, int count, bool dimming) {
    const double t = dimming ? double(count - n) / count : double(n + 1) / count;
    const double core = std::exp(-v * v * 9.0);
    return core * (0.35 + 0.65 * t);
}

// A round glow, bigger and brighter with n (or the other way round).
double GlowTexel(double u, double v, int n, int count, bool dimming) {
    const double t = dimming ? double(count - n) / count : double(n + 1) / count;
    const double d = std::sqrt(u * u + v * v);
    return Clamp01(1.0 - d / (0.35 + 0.6 * t)) * (0.4 + 0.6 * t);
}

// A zig-zag bolt across the quad's length.
double BoltTexel(double u, double v, int n) {
    const double path = 0.45 * std::sin(u * 9.0 + n * 1.7) * std::cos(u * 4.0 - n);
    const double d = std::fabs(v - path);
    return Clamp01(1.0 - d / 0.18) * (0.5 + 0.5 * (n + 1) / 4.0);
}

bool WriteAnims(const Context& ctx) {
    const std::vector<Rgb> red = Glow({255, 40, 30}), blue = Glow({40, 110, 255}), white = Glow({170, 200, 255});
    const std::vector<Rgb> green = Glow({60, 255, 120}), hot = Glow({255, 200, 80}), grey = Glow({130, 130, 130});
    auto beam = [](bool dimming) { return [dimming](double u, double v, int n) { return BeamTexel(u, v, n, 4, dimming); }; };
    auto glow = [](int count, bool dimming) {
        return [count, dimming](double u, double v, int n) { return GlowTexel(u, v, n, count, dimming); };
    };
    return Anim(ctx, "fx_beam_red", 4, red, false, beam(false)) && Anim(ctx, "fx_beam_blue", 4, blue, false, beam(false)) &&
           Anim(ctx, "fx_beam_hv", 4, hot, false, beam(true)) && Anim(ctx, "fx_bolt", 4, white, false, BoltTexel) &&
           Anim(ctx, "fx_marker", 4, green, false, glow(4, false)) &&
           Anim(ctx, "fx_glow_red", 4, red, false, glow(4, false)) &&
           Anim(ctx, "fx_glow_blue", 4, blue, false, glow(4, false)) &&
           Anim(ctx, "fx_glow_green", 8, green, false, glow(8, false)) &&
           Anim(ctx, "fx_glow_hot", 8, hot, false, glow(8, false)) &&
           Anim(ctx, "fx_shock", 4, white, false, glow(4, false)) &&
           Anim(ctx, "fx_smokering", 8, grey, true, [](double u, double v, int n) {
               const double d = std::sqrt(u * u + v * v), r = 0.3 + 0.08 * n;
               return Clamp01(1.0 - std::fabs(d - r) / 0.25) * (1.0 - n / 10.0);
           });
}

// A billboard at (x, y, z), drawn along the forward axis when along is set; sizes in file units.
struct Board {
    const char* name;
    float x, y, z;
    float size1, size2;
    const char* anim;
    uint8_t mode;        // 0 additive, 2 alpha-blended
    uint32_t start = 0;  // value 1
    uint32_t period = 0;  // value 2
    bool along = false;
};

void AddBoards(ObjectFile& obj, const std::vector<Board>& boards) {
    for (const Board& b : boards) {
        datakit::ObjPoint at;
        at.pos = {b.x, b.y, b.z};
        obj.points.push_back(at);
        datakit::ObjBBoard bb;
        bb.a = uint32_t(obj.points.size() - 1);
        if (b.along) {
            datakit::ObjPoint ahead;
            ahead.pos = {b.x, b.y, b.z + 1.0f};
            obj.points.push_back(ahead);
            bb.b = uint32_t(obj.points.size() - 1);
        }
        bb.name = b.name;
        bb.size1 = b.size1;
        bb.size2 = b.size2;
        bb.anim = b.anim;
        bb.extra = b.mode;
        bb.value1 = b.start;
        bb.value2 = b.period;
        obj.bboards.push_back(bb);
    }
}

// Eight points of a box and nothing drawn but the billboards.
ObjectFile Boards(float h, const std::vector<Board>& boards) {
    ObjectFile obj;
    for (int k = 0; k < 8; ++k) {
        datakit::ObjPoint p;
        p.pos = {(k & 1) ? h : -h, (k & 2) ? h : -h, (k & 4) ? h : -h};
        obj.points.push_back(p);
    }
    AddBoards(obj, boards);
    return obj;
}

// A beam piece reaching `length` file units along its forward axis: its box (and so its sphere) spans
// the piece, its billboard is drawn along it.
ObjectFile BeamPiece(float length, float width, const char* anim) {
    ObjectFile obj;
    for (int k = 0; k < 8; ++k) {
        datakit::ObjPoint p;
        p.pos = {(k & 1) ? width : -width, (k & 2) ? width : -width, (k & 4) ? length : 0.0f};
        obj.points.push_back(p);
    }
    AddBoards(obj, {{"beam", 0, 0, 0, length / 2, width, anim, 0, 0, 32, true}});
    return obj;
}

// A flat grid of nx x nz quads of half sizes hx, hz on the ground (y 0), in its own colour, for draping.
// With a texture the red byte of each point runs from 0 to 255 across x instead (the wave's texture runs
// along it).
ObjectFile Decal(float hx, float hz, int nx, int nz, Rgb3 rgb, uint8_t type = 3, const std::string& texture = "") {
    ObjectFile obj;
    for (int j = 0; j <= nz; ++j)
        for (int i = 0; i <= nx; ++i) {
            datakit::ObjPoint p;
            p.pos = {-hx + 2 * hx * i / nx, 0, -hz + 2 * hz * j / nz};
            p.rgb = texture.empty() ? rgb : Rgb3{uint8_t(255 * i / nx), rgb[1], rgb[2]};
            obj.points.push_back(p);
        }
    for (int j = 0; j < nz; ++j)
        for (int i = 0; i < nx; ++i) {
            const uint32_t a = uint32_t(j * (nx + 1) + i), b = a + 1, c = a + uint32_t(nx) + 2, d = a + uint32_t(nx) + 1;
            datakit::ObjFace f;
            f.points = {a, d, c, b};
            f.normal = {0, 1, 0};
            f.type = type;
            f.rgb = rgb;
            f.texture = texture;
            for (uint32_t p : f.points) {
                const datakit::ObjPoint& q = obj.points[p];
                f.uv.push_back({int16_t(q.pos[0] > 0 ? 32767 : 0), int16_t(q.pos[2] > 0 ? 32767 : 0)});
            }
            obj.faces.push_back(f);
        }
    return obj;
}

// A thin beam along +z from 0 to length, in its own colour: the sensor's two looks.
ObjectFile SensorBeam(float length, float width, Rgb3 rgb) {
    ObjectFile obj;
    datakit::AddBox(obj, 0, 0, length / 2, width, width, length / 2, rgb, 3);
    return obj;
}

// A solid piece with a glow at its nose (projectiles) and, when asked, a light with its palette.
ObjectFile Shot(float hx, float hy, float hz, Rgb3 rgb, std::vector<Board> boards, const std::string& palette = "",
                bool light = false) {
    ObjectFile obj = datakit::BoxObject(hx, hy, hz, rgb);
    AddBoards(obj, boards);
    if (light) obj.Light(uint32_t(obj.points.size() - 1), {255, 255, 255}, 0, palette);
    return obj;
}

// A plasma bolt: a ball of light (no body) and the light that cycles through its ramp.
ObjectFile Bolt(const char* anim, const std::string& palette) {
    ObjectFile obj = Boards(0.4f, {{"bolt", 0, 0, 0, 2.5f, 2.5f, anim, 0, 0, 32}});
    obj.Light(uint32_t(obj.points.size() - 1), {255, 255, 255}, 0, palette);
    return obj;
}

bool Write(const Context& ctx, const std::string& rel, const ObjectFile& obj) {
    return datakit::WriteFile(ctx.Path("Objects/" + rel), obj.Bytes());
}

// The palettes the lights take their colours from: the capsule's pulse (entries 64 to 191 in use) and
// the plasma bolts' ramps (one turn of 256 ticks).
bool WritePalettes(const Context& ctx) {
    std::vector<Rgb> capsule(256), red(256), blue(256);
    for (int i = 0; i < 256; ++i) {
        const double pulse = 0.5 + 0.5 * std::sin((i - 64) / 128.0 * 2 * M_PI);
        capsule[size_t(i)] = Rgb{uint8_t(40 + 60 * pulse), uint8_t(140 + 115 * pulse), uint8_t(90 + 80 * pulse)};
        const double flicker = 0.65 + 0.35 * std::sin(i / 256.0 * 12 * M_PI);
        red[size_t(i)] = Rgb{uint8_t(255 * flicker), uint8_t(70 * flicker), uint8_t(50 * flicker)};
        blue[size_t(i)] = Rgb{uint8_t(60 * flicker), uint8_t(120 * flicker), uint8_t(255 * flicker)};
    }
    return datakit::WriteFile(ctx.Path("Palettes/amcapsule"), datakit::PaletteFile(capsule)) &&
           datakit::WriteFile(ctx.Path("Palettes/plasmared"), datakit::PaletteFile(red)) &&
           datakit::WriteFile(ctx.Path("Palettes/plasmablue"), datakit::PaletteFile(blue));
}

// The wave's ramps: where its texture starts (0 to -1) and ends (2 to 1) along its cycle.
bool WriteWaveTables(const Context& ctx) {
    std::vector<uint8_t> start(256), end(256);
    for (int i = 0; i < 256; ++i) {
        start[size_t(i)] = uint8_t(i);
        end[size_t(i)] = uint8_t(std::lround(127.5 + 127.5 * std::sin(i / 256.0 * 2 * M_PI)));
    }
    std::vector<Rgb> stripes(256);
    std::vector<uint8_t> texels(kSize * kSize);
    for (int i = 0; i < 256; ++i) stripes[size_t(i)] = Rgb{uint8_t(40 + i / 3), uint8_t(110 + i / 2), uint8_t(200 + i / 5)};
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            texels[size_t(y) * kSize + x] = uint8_t(std::lround(127.5 + 127.5 * std::sin(x / double(kSize) * 4 * M_PI)));
    return datakit::WriteFile(ctx.Path("AnimTables/wave/startmot"), start) &&
           datakit::WriteFile(ctx.Path("AnimTables/wave/endmot"), end) &&
           datakit::WriteFile(ctx.Path("Textures/specials/wave"), datakit::EngineTexture(kLog2, kLog2, texels, &stripes));
}

}  // namespace

bool BuildWeaponKindObjects(const Context& ctx) {
    if (!WriteAnims(ctx) || !WritePalettes(ctx) || !WriteWaveTables(ctx)) return false;
    const Rgb3 metal{150, 150, 160}, olive{80, 110, 60}, dark{45, 40, 35};
    struct Kind {
        const char* file;
        ObjectFile obj;
    };
    const Kind kinds[] = {
        // Grenades and the trailed projectile (scale 250, 160, 250): lit bodies with a hot glow.
        {"cgrenade", Shot(3, 3, 6, olive, {{"glow", 0, 0, -7, 4, 4, "fx_glow_hot", 0}})},
        {"grenade", Shot(2.5f, 2.5f, 2.5f, olive, {})},
        {"projectile", Shot(1.5f, 1.5f, 6, metal, {{"glow", 0, 0, 7, 6, 6, "fx_glow_hot", 0, 0, 0}})},
        // The capsule (scale 100): a green glow that pulses with its phase (64 to 191: frames 2 to 5) and
        // the light that takes its colours from the palette "amcapsule".
        {"amcapsule", Shot(6, 6, 6, Rgb3{60, 160, 90}, {{"glow", 0, 0, 0, 30, 30, "fx_glow_green", 0, 0, 16}},
                           "amcapsule", true)},
        // A shock segment (scale 250): a wall of light that fades in and out with its phase.
        {"nshock", Boards(8, {{"shock", 0, 8, 0, 40, 40, "fx_shock", 0, 0, 32}})},
        // The muzzle flare (scale 200): the flash shrinks (160 down to 0) and the smoke ring grows.
        {"shellflare", Boards(2, {{"flare", 0, 0, 0, 12, 12, "fx_glow_hot", 0, 0, 10},
                                  {"ex", 0, 0, 0, 20, 20, "fx_smokering", 2, 0, 12}})},
        // The high-velocity cannon's beam piece (scale "HVSegment_scale" 1000, pace 6000): white-hot
        // when tested (phase 0), dimming until it expires.
        {"HVBullet", BeamPiece(6, 0.25f, "fx_beam_hv")},
        // The sensor's two looks (scale "Sensor_scale" 1000, "Sensor_pace" 6000): seen from outside, and
        // a hair-thin one for the cockpit, whose eye sits just behind the beam's start.
        {"sensor", SensorBeam(6, 0.03f, Rgb3{60, 255, 120})},
        {"sensorint", SensorBeam(6, 0.004f, Rgb3{255, 80, 60})},
        {"eye", datakit::BoxObject(0.3f, 0.3f, 0.3f, Rgb3{250, 250, 250})},
        // A track mark (scale 150): a dark print on the ground.
        {"trail", Decal(4, 6, 1, 2, dark)},
        // Beam pieces (scale 250 for lasers, 100 for lightning): near pieces 8000 long, far ones 16000.
        {"rlaserseg", BeamPiece(32, 0.6f, "fx_beam_red")},
        {"rlasersegs", BeamPiece(64, 0.6f, "fx_beam_red")},
        {"blaserseg", BeamPiece(32, 0.6f, "fx_beam_blue")},
        {"blasersegs", BeamPiece(64, 0.6f, "fx_beam_blue")},
        {"lightningseg", BeamPiece(80, 4, "fx_bolt")},
        {"lightningsegs", BeamPiece(160, 4, "fx_bolt")},
        // The howitzer's aiming marker (scale 250).
        {"glaser", Boards(1, {{"mark", 0, 0, 0, 4, 4, "fx_marker", 0, 0, 32}})},
        // Plasma bolts (scale "PlasmaBolt_scale" 1000) with their lights' ramps, and their splashes
        // (scale 140): a scorch on the ground under a glow that fades with the phase (255 down to -69).
        {"plasmabolt", Bolt("fx_glow_red", "plasmared")},
        {"bplasmabolt", Bolt("fx_glow_blue", "plasmablue")},
    };
    for (const Kind& k : kinds)
        if (!Write(ctx, std::string("weapons/") + k.file, k.obj)) return false;
    for (auto [file, anim] : {std::pair{"plasplash", "fx_glow_red"}, std::pair{"bplasplash", "fx_glow_blue"}}) {
        ObjectFile splash = Decal(9, 9, 2, 2, Rgb3{110, 45, 25}, 9);
        AddBoards(splash, {{"splash", 0, 3, 0, 30, 30, anim, 0, 0, 32}});
        if (!Write(ctx, std::string("weapons/") + file, splash)) return false;
    }
    // The movie camera's test wave (scale 250): a band whose texture runs between the ramps.
    return Write(ctx, "wavetest", Decal(80, 20, 8, 2, Rgb3{200, 200, 200}, 7, "specials.wave"));
}

}  // namespace mkdemo
