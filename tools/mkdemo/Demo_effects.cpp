// The demo tree's effects: the object files of the impact effects, explosions, smoke, dust, shell cases,
// fire, debris and the missiles and rockets with their trails, and the texture animations their
// billboards show (fireballs, flashes, sparks, flames, smoke and dust puffs, vapour), all made here.
//
// Sizes: an effect's file units times its type's scale are world units (a tile is 65536). Billboards of
// blend mode 0 add their texture's colour (fire, flashes, sparks); mode 2 blends it by its alpha in the
// billboard's colour and opacity (smoke, dust, splashes). A billboard that follows its object's effect
// phase shows frame (phase - value 1) / (2 x value 2) of its animation unless the type sets the frame.
#include <algorithm>
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

constexpr int kLog2 = 5;  // 32 x 32 texels a frame
constexpr int kSize = 1 << kLog2;

uint32_t Mix(uint32_t h) {
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return h;
}
// 0..1 from a lattice point and a seed.
double Hash(int x, int y, uint32_t seed) { return double(Mix(uint32_t(x) * 73856093u ^ uint32_t(y) * 19349663u ^ seed) & 0xffff) / 65535.0; }
// Smooth noise over cells of `cell` texels.
double Noise(double x, double y, double cell, uint32_t seed) {
    const double fx = x / cell, fy = y / cell;
    const int x0 = int(std::floor(fx)), y0 = int(std::floor(fy));
    const double tx = fx - x0, ty = fy - y0;
    const double sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
    const double a = Hash(x0, y0, seed) + (Hash(x0 + 1, y0, seed) - Hash(x0, y0, seed)) * sx;
    const double b = Hash(x0, y0 + 1, seed) + (Hash(x0 + 1, y0 + 1, seed) - Hash(x0, y0 + 1, seed)) * sx;
    return a + (b - a) * sy;
}

double Clamp01(double v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

// A ramp of colours through the given stops (position 0..1, colour), 256 entries.
std::vector<Rgb> Ramp(const std::vector<std::pair<double, Rgb>>& stops) {
    std::vector<Rgb> pal(256);
    for (int i = 0; i < 256; ++i) {
        const double t = i / 255.0;
        size_t k = 0;
        while (k + 2 < stops.size() && t > stops[k + 1].first) ++k;
        const auto& [t0, c0] = stops[k];
        const auto& [t1, c1] = stops[k + 1];
        const double f = t1 > t0 ? Clamp01((t - t0) / (t1 - t0)) : 0;
        pal[size_t(i)] = Rgb{uint8_t(c0.r + (c1.r - c0.r) * f), uint8_t(c0.g + (c1.g - c0.g) * f),
                             uint8_t(c0.b + (c1.b - c0.b) * f)};
    }
    return pal;
}

const std::vector<Rgb>& FirePalette() {
    static const std::vector<Rgb> pal = Ramp({{0.0, {0, 0, 0}},
                                              {0.25, {110, 20, 0}},
                                              {0.55, {230, 110, 10}},
                                              {0.8, {255, 200, 60}},
                                              {1.0, {255, 255, 220}}});
    return pal;
}

// One frame: an intensity per texel (0..1, which picks the palette entry) and an alpha per texel.
struct Frame {
    std::vector<uint8_t> index, alpha;
};

Frame MakeFrame(const std::function<void(double u, double v, double* level, double* alpha)>& texel) {
    Frame f;
    f.index.resize(kSize * kSize);
    f.alpha.resize(kSize * kSize);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            double level = 0, alpha = 0;
            texel((x + 0.5) / kSize * 2 - 1, (y + 0.5) / kSize * 2 - 1, &level, &alpha);
            f.index[size_t(y) * kSize + x] = uint8_t(std::lround(Clamp01(level) * 255));
            f.alpha[size_t(y) * kSize + x] = uint8_t(std::lround(Clamp01(alpha) * 255));
        }
    return f;
}

bool WriteAnim(const Context& ctx, const std::string& name, const std::vector<Frame>& frames,
               const std::vector<Rgb>* palette, bool withAlpha) {
    std::vector<std::vector<uint8_t>> images, alphas;
    for (const Frame& f : frames) {
        images.push_back(datakit::EngineTexture(kLog2, kLog2, f.index, palette));
        alphas.push_back(withAlpha ? datakit::EngineAlphaMap(kLog2, kLog2, f.alpha) : std::vector<uint8_t>{});
    }
    return datakit::WriteTexAnimFolder(ctx.Path("TexAnims/" + name), images, alphas);
}

// A soft round blob with a ragged edge: 1 in the middle, 0 beyond radius r.
double Blob(double u, double v, double r, double ragged, uint32_t seed) {
    const double d = std::sqrt(u * u + v * v);
    const double edge = r * (1.0 - ragged + ragged * Noise((u + 1) * kSize, (v + 1) * kSize, 6.0, seed));
    return Clamp01(1.0 - d / std::max(edge, 1e-3));
}

// The fireball: it swells and cools over its frames (additive, no alpha).
std::vector<Frame> Fireball(int count, uint32_t seed) {
    std::vector<Frame> frames;
    for (int n = 0; n < count; ++n) {
        const double t = double(n) / std::max(1, count - 1);
        const double r = 0.45 + 0.5 * t, heat = 1.0 - 0.8 * t;
        frames.push_back(MakeFrame([&](double u, double v, double* level, double* alpha) {
            const double b = Blob(u, v, r, 0.35, seed + uint32_t(n));
            const double grain = 0.75 + 0.25 * Noise((u + 1) * kSize, (v + 1) * kSize, 3.0, seed * 7 + uint32_t(n));
            *level = std::pow(b, 0.8) * heat * grain * 1.1;
            *alpha = b;
        }));
    }
    return frames;
}

// A flash that grows with the frame number: frame count - 1 is the biggest and brightest (additive).
std::vector<Frame> Flash(int count, double spikes, uint32_t seed) {
    std::vector<Frame> frames;
    for (int n = 0; n < count; ++n) {
        const double t = double(n + 1) / count;
        frames.push_back(MakeFrame([&](double u, double v, double* level, double* alpha) {
            const double d = std::sqrt(u * u + v * v);
            const double a = std::atan2(v, u);
            const double rays = spikes > 0 ? std::pow(std::fabs(std::cos(a * spikes * 0.5)), 8.0) * 0.6 : 0.0;
            const double core = Clamp01(1.0 - d / (0.25 + 0.6 * t));
            const double ray = Clamp01(1.0 - d / (0.95 * t)) * rays;
            *level = (core * core + ray) * (0.4 + 0.6 * t) * (0.85 + 0.15 * Hash(int(u * 40), int(v * 40), seed));
            *alpha = Clamp01(*level);
        }));
    }
    return frames;
}

// A puff that spreads and thins over its frames (alpha-blended, grey levels the billboard's colour tints).
std::vector<Frame> Puffs(int count, double startRadius, double ragged, uint32_t seed) {
    std::vector<Frame> frames;
    for (int n = 0; n < count; ++n) {
        const double t = count > 1 ? double(n) / (count - 1) : 0.0;
        const double r = startRadius + (0.95 - startRadius) * t;
        frames.push_back(MakeFrame([&](double u, double v, double* level, double* alpha) {
            const double b = Blob(u, v, r, ragged, seed + uint32_t(n) * 3);
            const double grain = 0.7 + 0.3 * Noise((u + 1) * kSize, (v + 1) * kSize, 4.0, seed + 11);
            *level = 0.75 + 0.25 * grain;
            *alpha = std::pow(b, 0.7) * grain * (1.0 - 0.6 * t);
        }));
    }
    return frames;
}

// Flames: frames 0 to 17 a fire catching, 18 on a flickering blaze (additive).
std::vector<Frame> Flames(int count, int catching, uint32_t seed) {
    std::vector<Frame> frames;
    for (int n = 0; n < count; ++n) {
        const double grow = n < catching ? 0.3 + 0.7 * n / catching : 1.0;
        frames.push_back(MakeFrame([&](double u, double v, double* level, double* alpha) {
            // v runs from the top (-1) to the foot (+1) of the picture; flames rise from the foot.
            const double h = (1.0 - v) / 2.0;  // 0 at the foot, 1 at the top
            const double width = 0.55 * grow * (1.0 - h * 0.85);
            const double flick = Noise((u + 1) * kSize * 0.7, (v + 1) * kSize + n * 5.0, 5.0, seed + uint32_t(n));
            const double body = Clamp01(1.0 - std::fabs(u) / std::max(width * (0.7 + 0.6 * flick), 1e-3));
            const double height = Clamp01(1.0 - h / (grow * (0.75 + 0.25 * flick)));
            *level = body * height * (0.6 + 0.6 * flick);
            *alpha = Clamp01(*level * 1.5);
        }));
    }
    return frames;
}

// ---- Object files: a box of points (no faces, so only the billboards show) with named billboards.

struct Board {
    const char* name;
    float x, y, z, size;
    const char* anim;
    uint8_t mode;         // 0 additive, 2 alpha-blended
    uint32_t start = 0;   // value 1: the phase of frame 0
    uint32_t period = 0;  // value 2: half the phase step between frames
    bool forward = false;  // drawn along the object's forward axis (a quad), not facing the eye
    bool chained = false;  // chained to the billboard before it
};

ObjectFile FxObject(float hx, float hy, float hz, const std::vector<Board>& boards) {
    ObjectFile obj;
    for (int k = 0; k < 8; ++k) {
        datakit::ObjPoint p;
        p.pos = {(k & 1) ? hx : -hx, (k & 2) ? hy : -hy, (k & 4) ? hz : -hz};
        obj.points.push_back(p);
    }
    for (const Board& b : boards) {
        datakit::ObjPoint at;
        at.pos = {b.x, b.y, b.z};
        obj.points.push_back(at);
        datakit::ObjBBoard bb;
        bb.a = uint32_t(obj.points.size() - 1);
        if (b.forward) {
            datakit::ObjPoint ahead;
            ahead.pos = {b.x, b.y, b.z + 1.0f};
            obj.points.push_back(ahead);
            bb.b = uint32_t(obj.points.size() - 1);
        }
        bb.chained = b.chained;
        bb.name = b.name;
        bb.size1 = bb.size2 = b.size;
        bb.anim = b.anim;
        bb.extra = b.mode;
        bb.value1 = b.start;
        bb.value2 = b.period;
        obj.bboards.push_back(bb);
    }
    return obj;
}

// A solid piece (debris, cases, the missile bodies): a box of one colour, lit by the scene.
ObjectFile Piece(float hx, float hy, float hz, Rgb3 rgb) { return datakit::BoxObject(hx, hy, hz, rgb); }

// The shock ring: a flat ring of quads seen from above and below, with its light at the centre.
ObjectFile ShockRing(float inner, float outer) {
    ObjectFile obj;
    constexpr int kSegments = 20;
    for (int i = 0; i < kSegments; ++i) {
        const double a = 2 * M_PI * i / kSegments;
        for (float r : {inner, outer}) {
            datakit::ObjPoint p;
            p.pos = {float(r * std::cos(a)), 0.0f, float(r * std::sin(a))};
            obj.points.push_back(p);
        }
    }
    for (int i = 0; i < kSegments; ++i) {
        const uint32_t a = uint32_t(2 * i), b = uint32_t(2 * ((i + 1) % kSegments));
        for (bool up : {true, false}) {
            datakit::ObjFace f;
            f.points = up ? std::vector<uint32_t>{a, b, b + 1, a + 1} : std::vector<uint32_t>{a, a + 1, b + 1, b};
            f.normal = {0, up ? 1.0f : -1.0f, 0};
            f.type = 3;  // in its own colour
            f.rgb = {255, 236, 190};
            obj.faces.push_back(f);
        }
    }
    datakit::ObjPoint centre;
    centre.pos = {0, 0.5f, 0};
    obj.points.push_back(centre);
    obj.Light(uint32_t(obj.points.size() - 1), {255, 230, 180}, 0, "");
    return obj;
}

// A missile or rocket: a slim body along +z with fins, the motor's flame at the tail and its light.
ObjectFile Missile(float length, float radius, Rgb3 rgb, float flame) {
    ObjectFile obj = datakit::BoxObject(radius, radius, length, rgb);
    datakit::AddBox(obj, 0, 0, -length * 0.8f, radius * 3, radius * 0.2f, length * 0.15f, Rgb3{60, 60, 60});
    datakit::AddBox(obj, 0, 0, -length * 0.8f, radius * 0.2f, radius * 3, length * 0.15f, Rgb3{60, 60, 60});
    datakit::ObjPoint tail;
    tail.pos = {0, 0, -length * 1.1f};
    obj.points.push_back(tail);
    datakit::ObjBBoard jet;
    jet.a = uint32_t(obj.points.size() - 1);
    jet.name = "flame";
    jet.size1 = jet.size2 = flame;
    jet.anim = "fx_jet";
    jet.extra = 0;
    // Dark (frame -1) while the phase is 0 before ignition, lit from phase 128 on.
    jet.value1 = 128;
    jet.value2 = 128;
    obj.bboards.push_back(jet);
    obj.Light(jet.a, {255, 140, 60}, 0, "");
    return obj;
}

bool Write(const Context& ctx, const std::string& rel, const ObjectFile& obj) {
    return datakit::WriteFile(ctx.Path("Objects/" + rel), obj.Bytes());
}

bool WriteEffectAnims(const Context& ctx) {
    const std::vector<Rgb>& fire = FirePalette();
    static const std::vector<Rgb> spark = Ramp({{0.0, {0, 0, 0}}, {0.5, {255, 190, 80}}, {1.0, {255, 255, 255}}});
    static const std::vector<Rgb> shield = Ramp({{0.0, {0, 0, 0}}, {0.5, {40, 110, 255}}, {1.0, {200, 240, 255}}});
    static const std::vector<Rgb> grey = Ramp({{0.0, {0, 0, 0}}, {1.0, {255, 255, 255}}});
    return WriteAnim(ctx, "fx_fireball", Fireball(16, 101), &fire, false) &&
           WriteAnim(ctx, "fx_flash", Flash(8, 0, 102), &fire, false) &&
           WriteAnim(ctx, "fx_spark", Flash(8, 8, 103), &spark, false) &&
           WriteAnim(ctx, "fx_shield", Flash(8, 0, 104), &shield, false) &&
           WriteAnim(ctx, "fx_flame", Flames(50, 18, 105), &fire, false) &&
           WriteAnim(ctx, "fx_tail", Flames(6, 0, 106), &fire, true) &&
           WriteAnim(ctx, "fx_jet", Flash(1, 0, 107), &fire, false) &&
           WriteAnim(ctx, "fx_puff", Puffs(8, 0.3, 0.4, 108), &grey, true) &&
           WriteAnim(ctx, "fx_burst", Puffs(8, 0.35, 0.6, 109), &grey, true) &&
           WriteAnim(ctx, "fx_smoke", Puffs(1, 0.85, 0.3, 110), &grey, true) &&
           WriteAnim(ctx, "fx_dust", Puffs(1, 0.8, 0.45, 111), &grey, true) &&
           WriteAnim(ctx, "fx_vapour", Puffs(1, 0.9, 0.2, 112), &grey, true);
}

}  // namespace

bool BuildEffectObjects(const Context& ctx) {
    if (!WriteEffectAnims(ctx)) return false;
    const Rgb3 dark{70, 68, 64}, brass{200, 170, 60};
    struct Kind {
        const char* file;
        ObjectFile obj;
    };
    const Kind kinds[] = {
        // Impact effects.
        {"bullsplash", FxObject(6, 6, 6, {{"splash", 0, 3, 0, 10, "fx_puff", 2, 0, 16}})},
        {"shellsplsh", FxObject(15, 15, 15, {{"splash", 0, 8, 0, 22, "fx_burst", 2, 0, 32}})},
        {"grensplash", FxObject(12, 12, 12, {{"splash", 0, 6, 0, 16, "fx_burst", 2, 0, 6}})},
        {"shellexpl", FxObject(5, 5, 5, {{"ex", 0, 0, 0, 20, "fx_flash", 0, 0, 16}})},
        {"sparkle", FxObject(10, 10, 10, {{"spark", 0, 0, 0, 40, "fx_spark", 0, 0, 16}})},
        {"shieldhit3", FxObject(5, 5, 5, {{"shield", 0, 0, 0, 25, "fx_shield", 0, 0, 16}})},
        // Explosions, smoke, dust and fire.
        {"explode2", FxObject(10, 10, 10, {{"ex", 0, 6, 0, 36, "fx_fireball", 0}})},
        {"shkwave", ShockRing(30, 40)},
        // The burst is taken 15000 units below where the missile struck, along its up axis: its sphere
        // (about 20000) reaches up past that point, and its fireball shows there.
        {"mexplode", FxObject(30, 30, 30, {{"ex", 0, 37, 0, 25, "fx_fireball", 0, 0, 12}})},
        {"smoky1", FxObject(10, 10, 10, {{"smoke", 0, 0, 0, 16, "fx_smoke", 2}})},
        {"smoky2", FxObject(10, 10, 10, {{"smoke", 0, 0, 0, 18, "fx_smoke", 2}})},
        {"smoky3", FxObject(10, 10, 10, {{"smoke", 0, 0, 0, 20, "fx_smoke", 2}})},
        {"smoky4", FxObject(10, 10, 10, {{"smoke", 0, 0, 0, 17, "fx_smoke", 2}})},
        {"smoky5", FxObject(10, 10, 10, {{"smoke", 0, 0, 0, 19, "fx_smoke", 2}})},
        {"fire1", FxObject(8, 8, 8, {{"fire", 0, 6, 0, 16, "fx_flame", 0}})},
        {"shellcase", Piece(3, 3, 8, brass)},
        // Debris.
        {"fragment1", Piece(4, 1, 3, dark)},
        {"fragment2", Piece(3, 2, 5, dark)},
        {"fragment3", Piece(2, 2, 2, Rgb3{50, 45, 40})},
        {"fragment4", Piece(5, 1, 2, Rgb3{90, 80, 70})},
        {"shrapnel", Piece(6, 3, 10, Rgb3{60, 50, 45})},
        {"firetail", FxObject(10, 10, 10, {{"tail", 0, 0, 0, 40, "fx_tail", 2}})},
        // Missiles, rockets and their trails (the bodies at the scale of the rules "Missile_scale" and
        // "Rocket_scale").
        {"missile", Missile(0.4f, 0.08f, Rgb3{200, 200, 205}, 0.3f)},
        {"rocket", Missile(0.3f, 0.06f, Rgb3{150, 150, 120}, 0.25f)},
        {"MSmoke", FxObject(10, 10, 10, {{"smoke", 0, 0, 0, 20, "fx_smoke", 2}, {"glow", 0, 0, 0, 10, "fx_smoke", 2, 0, 0, false, true}})},
        {"vapour1", FxObject(10, 10, 10, {{"trail", 0, 0, 0, 10, "fx_vapour", 2, 0, 0, true}})},
    };
    for (const Kind& k : kinds)
        if (!Write(ctx, std::string("weapons/") + k.file, k.obj)) return false;
    if (!Write(ctx, "misc/dust", FxObject(10, 10, 10, {{"dust", 0, 0, 0, 60, "fx_dust", 2}}))) return false;
    // Two pieces per fragment folder (the preloaded shards: file units at the shard's scale 160).
    const char* const fragDirs[] = {"ema",    "ga",    "merc",  "e1post", "e9fir", "eurotree", "g4bush",
                                    "g4stree", "g4tree", "metal", "phone", "stone", "wheel",    "wood"};
    for (const char* dir : fragDirs)
        for (int n = 1; n <= 2; ++n) {
            ObjectFile piece = Piece(5.0f, 2.0f, 3.0f * float(n), Rgb3{110, 100, 90});
            piece.Anchor(6.0f * float(n), 6.0f, 0);
            if (!Write(ctx, std::string("frags/") + dir + "/frag" + std::to_string(n), piece)) return false;
        }
    return true;
}

}  // namespace mkdemo
