// The menus' pictures: the screen backgrounds, the main menu's four title pictures and the icons (the
// eight mouse pointer shapes). All bitmaps without a file extension, black being transparent.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/datakit/Bytes.h"
#include "tools/datakit/Texture.h"
#include "tools/mkdemo/Demo.h"

namespace mkdemo {

namespace {

using datakit::Rgb;

// A background: a vertical gradient between two colours with a faint diagonal grid, 8-bit.
std::vector<uint8_t> Background(Rgb top, Rgb bottom) {
    constexpr int kW = 400, kH = 300;
    std::vector<Rgb> pal(256);
    for (int i = 0; i < 128; ++i) {
        pal[size_t(i)] = Rgb{uint8_t(top.r + (bottom.r - top.r) * i / 127), uint8_t(top.g + (bottom.g - top.g) * i / 127),
                             uint8_t(top.b + (bottom.b - top.b) * i / 127)};
        const Rgb& c = pal[size_t(i)];
        pal[size_t(128 + i)] = Rgb{uint8_t(std::min(255, c.r + 28)), uint8_t(std::min(255, c.g + 28)),
                                   uint8_t(std::min(255, c.b + 28))};
    }
    std::vector<uint8_t> idx(size_t(kW) * kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const int shade = y * 127 / (kH - 1);
            const bool line = ((x + y) % 40) == 0 || ((x - y + 400) % 40) == 0;
            idx[size_t(y) * kW + x] = uint8_t(line ? 128 + shade : shade);
        }
    return datakit::Bmp8(kW, kH, idx, pal);
}

// A title picture: a coloured emblem (ring and bar) on a dark field, 24-bit.
std::vector<uint8_t> Title(uint32_t colour, int bars) {
    constexpr int kS = 128;
    std::vector<uint32_t> rgb(size_t(kS) * kS, 0x101418u);
    for (int y = 0; y < kS; ++y)
        for (int x = 0; x < kS; ++x) {
            const double dx = x - 63.5, dy = y - 63.5, r = std::sqrt(dx * dx + dy * dy);
            bool on = r > 40 && r < 52;
            for (int b = 0; b < bars; ++b)
                on = on || (std::abs(dx) < 30 && std::abs(dy - (b - (bars - 1) / 2.0) * 18) < 5);
            if (on) rgb[size_t(y) * kS + x] = colour;
        }
    return datakit::Bmp24(kS, kS, rgb);
}

// A pointer shape, 32 x 32: the picture's top-left pixel is the hot spot for the normal arrow; the
// others are arrows pointing their way, a magnifier, a turn sign and a cross-hair. White with a dark
// outline; black is transparent.
std::vector<uint8_t> Pointer(int shape) {
    constexpr int kS = 32;
    std::vector<uint8_t> mask(size_t(kS) * kS, 0);  // 1 fill
    auto set = [&](int x, int y) {
        if (x >= 0 && y >= 0 && x < kS && y < kS) mask[size_t(y) * kS + x] = 1;
    };
    const auto arrow = [&](int dirX, int dirY) {
        // A triangle pointing (dirX, dirY) from the centre, with a short shaft.
        for (int t = 0; t < 12; ++t)
            for (int s = -t / 2; s <= t / 2; ++s) set(16 + dirX * (12 - t) + dirY * s, 16 + dirY * (12 - t) + dirX * s);
        for (int t = -6; t <= 0; ++t)
            for (int s = -1; s <= 1; ++s) set(16 + dirX * t + dirY * s, 16 + dirY * t + dirX * s);
    };
    switch (shape) {
        case 0:  // the normal arrow, tip at the top-left corner
            for (int y = 0; y < 18; ++y)
                for (int x = 0; x <= y * 2 / 3; ++x) set(x, y);
            for (int y = 12; y < 24; ++y)
                for (int x = 5 + (y - 12) / 3; x < 9 + (y - 12) / 3; ++x) set(x, y);
            break;
        case 1: arrow(-1, 0); break;
        case 2: arrow(1, 0); break;
        case 3: arrow(0, -1); break;
        case 4: arrow(0, 1); break;
        case 5:  // zoom: a magnifier
            for (int y = 0; y < kS; ++y)
                for (int x = 0; x < kS; ++x) {
                    const double r = std::hypot(x - 12.0, y - 12.0);
                    if ((r > 6 && r < 10) || (x > 17 && x < 28 && std::abs((x - 17) - (y - 17)) < 2)) set(x, y);
                }
            break;
        case 6:  // rotate: an open ring with an arrow head
            for (int y = 0; y < kS; ++y)
                for (int x = 0; x < kS; ++x) {
                    const double r = std::hypot(x - 16.0, y - 16.0);
                    if (r > 8 && r < 12 && !(x > 16 && y < 12)) set(x, y);
                }
            for (int t = 0; t < 6; ++t)
                for (int s = -t; s <= t; ++s) set(18 + s, 2 + t);
            break;
        default:  // offensive: a cross-hair
            for (int y = 0; y < kS; ++y)
                for (int x = 0; x < kS; ++x) {
                    const double r = std::hypot(x - 16.0, y - 16.0);
                    if ((r > 9 && r < 12) || (std::abs(x - 16) < 2 && (y < 10 || y > 22)) ||
                        (std::abs(y - 16) < 2 && (x < 10 || x > 22)))
                        set(x, y);
                }
            break;
    }
    std::vector<uint32_t> rgb(size_t(kS) * kS, 0);
    for (int y = 0; y < kS; ++y)
        for (int x = 0; x < kS; ++x) {
            if (mask[size_t(y) * kS + x]) {
                rgb[size_t(y) * kS + x] = shape == 7 ? 0xff5030u : 0xf0f0f0u;
                continue;
            }
            // An outline around the fill.
            bool edge = false;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    if (nx >= 0 && ny >= 0 && nx < kS && ny < kS && mask[size_t(ny) * kS + nx]) edge = true;
                }
            if (edge) rgb[size_t(y) * kS + x] = 0x202020u;
        }
    return datakit::Bmp24(kS, kS, rgb);
}

}  // namespace

bool BuildMenuPictures(const Context& ctx) {
    if (!datakit::MakeDirs(ctx.Path("Bitmaps/Title")) || !datakit::MakeDirs(ctx.Path("Bitmaps/Screens")) ||
        !datakit::MakeDirs(ctx.Path("Icons")))
        return false;
    struct {
        const char* name;
        Rgb top, bottom;
    } screens[] = {
        {"UI_0", {30, 38, 62}, {6, 8, 16}},      {"UI_1", {70, 44, 20}, {14, 8, 4}},
        {"UI_4", {30, 46, 86}, {6, 10, 22}},     {"UI_5", {86, 30, 30}, {22, 6, 6}},
        {"UI_6", {56, 56, 56}, {12, 12, 12}},    {"UI_8e", {30, 46, 86}, {6, 10, 22}},
        {"UI_8g", {86, 30, 30}, {22, 6, 6}},     {"UI_9", {30, 66, 66}, {6, 14, 14}},
        {"UI_10", {66, 60, 52}, {14, 12, 10}},   {"UI_11", {66, 60, 52}, {14, 12, 10}},
        {"UI_12", {60, 30, 30}, {12, 6, 6}},     {"UI_20", {40, 56, 40}, {8, 12, 8}},
        {"ui_200", {26, 64, 56}, {6, 14, 12}},   {"ui_201", {66, 60, 52}, {14, 12, 10}},
        {"ui_202", {66, 60, 52}, {14, 12, 10}},  {"ui_203", {66, 60, 52}, {14, 12, 10}},
        {"ui_204", {66, 60, 52}, {14, 12, 10}},  {"ui_7", {34, 40, 48}, {8, 10, 12}},
    };
    for (const auto& s : screens)
        if (!datakit::WriteFile(ctx.Path(std::string("Bitmaps/") + s.name), Background(s.top, s.bottom)))
            return false;
    struct {
        const char* name;
        uint32_t colour;
        int bars;
    } titles[] = {{"EMA", 0x4a78d0u, 1}, {"GA", 0xd04a4au, 2}, {"TUT", 0x4ad070u, 3}, {"NONE", 0x909090u, 0}};
    for (const auto& t : titles)
        if (!datakit::WriteFile(ctx.Path(std::string("Bitmaps/Title/") + t.name), Title(t.colour, t.bars)))
            return false;
    static const char* const kPointers[] = {"mouse0",    "mouse_left", "mouse_right", "mouse_up",
                                            "mouse_down", "mouse_zoom", "mouse_rot",  "mouse_offensive"};
    for (int i = 0; i < 8; ++i)
        if (!datakit::WriteFile(ctx.Path(std::string("Icons/") + kPointers[i]), Pointer(i))) return false;
    return true;
}

}  // namespace mkdemo
