// The demo tree's font, textures, texture animations and palette, all made here: the font rendered from
// a free TrueType font (or the datakit block font), the textures from a small deterministic noise.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/datakit/Bytes.h"
#include "tools/datakit/Font.h"
#include "tools/datakit/Texture.h"
#include "tools/mkdemo/Demo.h"

namespace mkdemo {

namespace {

using datakit::Rgb;

// A hash of a lattice point, 0..1.
double Hash(int x, int y, uint32_t seed) {
    uint32_t h = uint32_t(x) * 0x8da6b343u ^ uint32_t(y) * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return double(h & 0xffffff) / double(0xffffff);
}

// Smooth value noise that wraps around a period of `period` lattice cells, so textures tile.
double Noise(double x, double y, int period, uint32_t seed) {
    int x0 = int(std::floor(x)), y0 = int(std::floor(y));
    double fx = x - x0, fy = y - y0;
    auto at = [&](int i, int j) {
        return Hash(((i % period) + period) % period, ((j % period) + period) % period, seed);
    };
    double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    double a = at(x0, y0) + (at(x0 + 1, y0) - at(x0, y0)) * sx;
    double b = at(x0, y0 + 1) + (at(x0 + 1, y0 + 1) - at(x0, y0 + 1)) * sx;
    return a + (b - a) * sy;
}

// Three octaves of noise over a square of `size` pixels, 0..1.
double Fractal(int x, int y, int size, uint32_t seed) {
    double v = 0, amp = 0.5, total = 0;
    for (int o = 0, cells = 4; o < 3; ++o, cells *= 2, amp *= 0.5) {
        v += amp * Noise(double(x) * cells / size, double(y) * cells / size, cells, seed + uint32_t(o));
        total += amp;
    }
    return v / total;
}

// A 256-colour ramp between two colours, and indices picked by noise: an engine texture.
std::vector<uint8_t> NoiseTexture(int log2Size, Rgb from, Rgb to, uint32_t seed) {
    std::vector<Rgb> pal(256);
    for (int i = 0; i < 256; ++i)
        pal[size_t(i)] = Rgb{uint8_t(from.r + (to.r - from.r) * i / 255), uint8_t(from.g + (to.g - from.g) * i / 255),
                             uint8_t(from.b + (to.b - from.b) * i / 255)};
    int size = 1 << log2Size;
    std::vector<uint8_t> idx(size_t(size) * size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            double v = Fractal(x, y, size, seed) * 0.8 + Hash(x, y, seed ^ 0x55u) * 0.2;
            idx[size_t(y) * size + x] = uint8_t(std::lround(std::fmin(255.0, v * 255.0)));
        }
    return datakit::EngineTexture(log2Size, log2Size, idx, &pal);
}

bool WriteWater(const Context& ctx) {
    // Eight frames of moving ripples; frames 0 and 4 carry an alpha map (the others are opaque).
    constexpr int kSize = 64, kFrames = 8;
    std::vector<std::vector<uint8_t>> frames, alphas;
    std::vector<Rgb> pal(256);
    for (int i = 0; i < 256; ++i) pal[size_t(i)] = Rgb{uint8_t(20 + i / 6), uint8_t(60 + i / 3), uint8_t(120 + i / 2)};
    for (int f = 0; f < kFrames; ++f) {
        std::vector<uint8_t> idx(kSize * kSize), alpha(kSize * kSize);
        double phase = 2.0 * M_PI * f / kFrames;
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) {
                double u = 2.0 * M_PI * x / kSize, v = 2.0 * M_PI * y / kSize;
                double w = 0.5 + 0.25 * std::sin(2 * u + phase) + 0.25 * std::sin(3 * v - phase + u);
                idx[size_t(y) * kSize + x] = uint8_t(std::lround(w * 255.0));
                alpha[size_t(y) * kSize + x] = uint8_t(160 + std::lround(w * 80.0));
            }
        frames.push_back(datakit::EngineTexture(6, 6, idx, &pal));
        alphas.push_back(f % 4 == 0 ? datakit::EngineAlphaMap(6, 6, alpha) : std::vector<uint8_t>{});
    }
    return datakit::WriteTexAnimFolder(ctx.Path("TexAnims/water1"), frames, alphas);
}

bool WriteWaterSpecular(const Context& ctx) {
    // Four frames of drifting highlights for the water's second texture stage: bright glints on grey.
    constexpr int kSize = 64, kFrames = 4;
    std::vector<std::vector<uint8_t>> frames, alphas;
    std::vector<Rgb> pal(256);
    for (int i = 0; i < 256; ++i) pal[size_t(i)] = Rgb{uint8_t(i), uint8_t(i), uint8_t(i)};
    for (int f = 0; f < kFrames; ++f) {
        std::vector<uint8_t> idx(kSize * kSize);
        double phase = 2.0 * M_PI * f / kFrames;
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) {
                double u = 2.0 * M_PI * x / kSize, v = 2.0 * M_PI * y / kSize;
                double w = std::pow(0.5 + 0.5 * std::sin(3 * u + phase) * std::sin(2 * v - phase), 4.0);
                idx[size_t(y) * kSize + x] = uint8_t(std::lround(w * 255.0));
            }
        frames.push_back(datakit::EngineTexture(6, 6, idx, &pal));
        alphas.push_back({});
    }
    return datakit::WriteTexAnimFolder(ctx.Path("TexAnims/waterspecular1"), frames, alphas);
}

// A round sprite: white, its alpha falling off from the centre (an engine texture with its alpha map).
bool WriteFlare(const Context& ctx, const std::string& rel, int log2Size, double sharpness) {
    int size = 1 << log2Size;
    std::vector<uint8_t> grey(size_t(size) * size, 255), alpha(size_t(size) * size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            double dx = (x + 0.5) / size * 2 - 1, dy = (y + 0.5) / size * 2 - 1;
            double a = std::fmax(0.0, 1.0 - std::sqrt(dx * dx + dy * dy));
            alpha[size_t(y) * size + x] = uint8_t(std::lround(255.0 * std::pow(a, sharpness)));
        }
    return datakit::WriteFile(ctx.Path(rel), datakit::EngineTexture(log2Size, log2Size, grey)) &&
           datakit::WriteFile(ctx.Path(rel + "_"), datakit::EngineAlphaMap(log2Size, log2Size, alpha));
}

// Clouds for the sky dome: white with soft noisy alpha.
bool WriteClouds(const Context& ctx) {
    constexpr int kSize = 64;
    std::vector<uint8_t> white(kSize * kSize, 255), alpha(kSize * kSize);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            const double n = Fractal(x, y, kSize, 71);
            alpha[size_t(y) * kSize + x] = uint8_t(std::lround(std::fmin(1.0, std::fmax(0.0, n - 0.5) / 0.3) * 255.0));
        }
    return datakit::WriteFile(ctx.Path("Textures/clouds/cloud"), datakit::EngineTexture(6, 6, white)) &&
           datakit::WriteFile(ctx.Path("Textures/clouds/cloud_"), datakit::EngineAlphaMap(6, 6, alpha));
}

// The sky's sphere map (a vertical gradient from the horizon's haze to the zenith's blue), two flare
// sprites and the noise texture.
bool WriteSkyAndFlares(const Context& ctx) {
    constexpr int kSize = 64;
    std::vector<Rgb> pal(256);
    for (int i = 0; i < 256; ++i)
        pal[size_t(i)] = Rgb{uint8_t(200 - i * 150 / 255), uint8_t(215 - i * 110 / 255), uint8_t(235 - i * 30 / 255)};
    std::vector<uint8_t> idx(kSize * kSize);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            double dx = (x + 0.5) / kSize * 2 - 1, dy = (y + 0.5) / kSize * 2 - 1;
            double r = std::fmin(1.0, std::sqrt(dx * dx + dy * dy));
            idx[size_t(y) * kSize + x] = uint8_t(std::lround((1.0 - r) * 255.0));
        }
    if (!datakit::WriteFile(ctx.Path("Textures/flares/sky"), datakit::EngineTexture(6, 6, idx, &pal))) return false;
    if (!WriteFlare(ctx, "Textures/flares/glow", 5, 1.0)) return false;
    // The six lens-flare sprites (the sun's flares, the snow flakes): rings and discs of several softness.
    static const double kFlareSharpness[6] = {2.0, 0.6, 3.0, 1.2, 0.4, 4.0};
    for (int n = 1; n <= 6; ++n)
        if (!WriteFlare(ctx, "Textures/flares/flare" + std::to_string(n), 6, kFlareSharpness[n - 1])) return false;
    if (!WriteClouds(ctx)) return false;
    std::vector<uint8_t> noise(kSize * kSize);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) noise[size_t(y) * kSize + x] = uint8_t(Hash(x, y, 99) * 255.0);
    return datakit::WriteFile(ctx.Path("Textures/specials/noise"), datakit::EngineTexture(6, 6, noise));
}

}  // namespace

namespace {

const struct {
    const char* name;
    Rgb from, to;
    uint32_t seed;
} kGround[] = {
    {"grass", {30, 70, 20}, {110, 160, 60}, 11},
    {"rock", {70, 68, 64}, {170, 165, 158}, 23},
    {"sand", {160, 140, 90}, {235, 220, 170}, 37},
    {"snow", {200, 205, 215}, {252, 252, 255}, 41},
    {"concrete", {105, 105, 100}, {165, 163, 158}, 53},
};

}  // namespace

std::vector<uint8_t> GroundTexture(const std::string& name) {
    for (const auto& g : kGround)
        if (name == g.name) return NoiseTexture(7, g.from, g.to, g.seed);
    return {};
}

bool BuildTextures(const Context& ctx) {
    if (!datakit::WriteFont(ctx.Path("app/Font"), datakit::RenderFontAtlas())) return false;
    for (const auto& g : kGround)
        if (!datakit::WriteFile(ctx.Path(std::string("Textures/terrain/") + g.name), GroundTexture(g.name)))
            return false;
    if (!WriteWater(ctx)) return false;
    if (!WriteWaterSpecular(ctx)) return false;
    if (!WriteSkyAndFlares(ctx)) return false;
    std::vector<Rgb> grey(256);
    for (int i = 0; i < 256; ++i) grey[size_t(i)] = Rgb{uint8_t(i), uint8_t(i), uint8_t(i)};
    return datakit::WriteFile(ctx.Path("Palettes/grey"), datakit::PaletteFile(grey));
}

}  // namespace mkdemo
