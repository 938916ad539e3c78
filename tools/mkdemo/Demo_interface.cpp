// The in-game interface's pictures, drawn here from simple shapes: the "specials" textures of the cockpit
// overlay and the instruments (with alpha maps where the shape stands on nothing), each mission's map
// texture and map page, the two crosshair bitmaps, the task-force view's icons (heading arrows, member
// symbols with their key digits, unit symbols, navigation points) and the wire-frame pictures of the task
// buttons, one per unit type of the units file.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/datakit/Bytes.h"
#include "tools/datakit/Texture.h"
#include "tools/mkdemo/Demo.h"

namespace mkdemo {

namespace {

using datakit::Rgb;

// A picture of 0xRRGGBB pixels with a coverage (alpha) per pixel, drawn in.
struct Canvas {
    int w, h;
    std::vector<uint32_t> rgb;
    std::vector<uint8_t> alpha;
    Canvas(int width, int height, uint32_t fill = 0, uint8_t cover = 0)
        : w(width), h(height), rgb(size_t(width) * height, fill), alpha(size_t(width) * height, cover) {}
    void Set(int x, int y, uint32_t c, uint8_t a = 255) {
        if (x < 0 || y < 0 || x >= w || y >= h) return;
        rgb[size_t(y) * w + x] = c;
        alpha[size_t(y) * w + x] = a;
    }
    // Every pixel whose centre the test accepts.
    template <typename Fn>
    void Fill(uint32_t c, Fn inside, uint8_t a = 255) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (inside(x + 0.5, y + 0.5)) Set(x, y, c, a);
    }
    void Line(double x0, double y0, double x1, double y1, double width, uint32_t c) {
        Fill(c, [&](double x, double y) {
            const double dx = x1 - x0, dy = y1 - y0, len2 = dx * dx + dy * dy;
            const double t = len2 > 0 ? std::clamp(((x - x0) * dx + (y - y0) * dy) / len2, 0.0, 1.0) : 0.0;
            return std::hypot(x - (x0 + dx * t), y - (y0 + dy * t)) <= width / 2;
        });
    }
    void Ring(double cx, double cy, double r0, double r1, uint32_t c) {
        Fill(c, [&](double x, double y) {
            const double r = std::hypot(x - cx, y - cy);
            return r >= r0 && r <= r1;
        });
    }
    void Disc(double cx, double cy, double r, uint32_t c) { Ring(cx, cy, -1, r, c); }
    void Box(double x0, double y0, double x1, double y1, uint32_t c) {
        Fill(c, [&](double x, double y) { return x >= x0 && x <= x1 && y >= y0 && y <= y1; });
    }
    // A black pixel is transparent in the bitmaps: shapes never draw pure black.
    std::vector<uint32_t> Keyed() const {
        std::vector<uint32_t> out(rgb);
        for (size_t i = 0; i < out.size(); ++i) out[i] = alpha[i] ? (out[i] ? out[i] : 0x010101u) : 0;
        return out;
    }
};

// Digits of 3 x 5 cells, row by row from the top, bit 2 the left cell.
constexpr uint8_t kDigits[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 2, 2}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
};

// The digits of a number with their top-left corner at (x, y), cells of the given size.
void Digits(Canvas& cv, int number, int x, int y, int cell, uint32_t c) {
    const std::string text = std::to_string(number);
    for (size_t k = 0; k < text.size(); ++k) {
        const int d = text[k] - '0';
        for (int row = 0; row < 5; ++row)
            for (int col = 0; col < 3; ++col)
                if (kDigits[d][row] & (4 >> col))
                    cv.Box(x + (int(k) * 4 + col) * cell, y + row * cell,
                           x + (int(k) * 4 + col + 1) * cell - 0.01, y + (row + 1) * cell - 0.01, c);
    }
}

// The canvas as an engine texture: its colours reduced to a 6 x 6 x 6 cube and 40 greys.
std::vector<uint8_t> EngineOf(const Canvas& cv, int log2) {
    std::vector<Rgb> pal(256);
    for (int i = 0; i < 216; ++i)
        pal[size_t(i)] = Rgb{uint8_t(i / 36 * 51), uint8_t(i / 6 % 6 * 51), uint8_t(i % 6 * 51)};
    for (int i = 0; i < 40; ++i)
        pal[size_t(216 + i)] = Rgb{uint8_t(i * 255 / 39), uint8_t(i * 255 / 39), uint8_t(i * 255 / 39)};
    std::vector<uint8_t> idx(cv.rgb.size());
    for (size_t i = 0; i < idx.size(); ++i) {
        const int r = (cv.rgb[i] >> 16) & 255, g = (cv.rgb[i] >> 8) & 255, b = cv.rgb[i] & 255;
        if (std::abs(r - g) < 8 && std::abs(g - b) < 8) {
            idx[i] = uint8_t(216 + (r * 39 + 127) / 255);
        } else {
            const auto q = [](int v) { return (v + 25) / 51; };
            idx[i] = uint8_t(q(r) * 36 + q(g) * 6 + q(b));
        }
    }
    return datakit::EngineTexture(log2, log2, idx, &pal);
}

bool WriteSpecial(const Context& ctx, const std::string& name, const Canvas& cv, int log2, bool withAlpha) {
    const std::string path = ctx.Path("Textures/specials/" + name);
    if (!datakit::WriteFile(path, EngineOf(cv, log2))) return false;
    return !withAlpha || datakit::WriteFile(path + "_", datakit::EngineAlphaMap(log2, log2, cv.alpha));
}

// A symbol of the instruments: a dark disc with the shape drawn by fn over it.
template <typename Fn>
Canvas Symbol(uint32_t colour, Fn shape) {
    Canvas cv(32, 32);
    cv.Disc(16, 16, 15, 0x202820u);
    cv.Ring(16, 16, 13.5, 15, colour);
    shape(cv, colour);
    return cv;
}

bool WriteSpecials(const Context& ctx) {
    if (!datakit::MakeDirs(ctx.Path("Textures/specials"))) return false;
    // The panel: a translucent dark green field with a light edge.
    Canvas panel(64, 64, 0x10301cu, 150);
    for (int i = 0; i < 64; ++i) {
        panel.Set(i, 0, 0x70c090u, 220), panel.Set(i, 63, 0x70c090u, 220);
        panel.Set(0, i, 0x70c090u, 220), panel.Set(63, i, 0x70c090u, 220);
    }
    // The camera pointer: a viewing cone from its corner.
    Canvas cam(32, 32);
    cam.Fill(0xe0e0e0u, [](double x, double y) { return y <= x && x + y <= 40 && x - y < 26; });
    // The twister: a spiral.
    Canvas twister(32, 32);
    for (double t = 0; t < 14; t += 0.05)
        twister.Disc(16 + std::cos(t) * t, 16 + std::sin(t) * t, 1.3, 0x80e0ffu);
    // The horizon: sky above, ground below, a tick every eighth.
    Canvas horizon(64, 64, 0x3c78c8u, 255);
    horizon.Box(0, 32, 64, 64, 0x785028u);
    horizon.Box(0, 31, 64, 33, 0xf0f0f0u);
    for (int k = 0; k < 8; ++k)
        horizon.Box(k * 8 + 3, 12, k * 8 + 5, 20, 0xf0f0f0u),
            horizon.Box(k * 8 + 3, 44, k * 8 + 5, 52, 0xf0f0f0u);
    // The compass: a ring with the four quarters and a north mark.
    Canvas compass(64, 64);
    compass.Ring(32, 32, 26, 29, 0xd0e0d0u);
    for (int k = 0; k < 4; ++k) {
        const double a = k * M_PI / 2;
        compass.Line(32 + std::sin(a) * 20, 32 - std::cos(a) * 20, 32 + std::sin(a) * 30,
                     32 - std::cos(a) * 30, 2.5, k == 0 ? 0xff4030u : 0xd0e0d0u);
    }
    // Radiation: a trefoil.
    Canvas radio = Symbol(0xf0d020u, [](Canvas& cv, uint32_t c) {
        cv.Fill(c, [](double x, double y) {
            const double dx = x - 16, dy = y - 16, r = std::hypot(dx, dy);
            const double a = std::atan2(dy, dx) + M_PI / 2;
            return r < 2.5 ||
                   (r > 4 && r < 11 && std::fmod(a + 2 * M_PI + M_PI / 6, 2 * M_PI / 3) < M_PI / 3);
        });
    });
    // Reload: two arrows around a circle.
    Canvas reload = Symbol(0x60e060u, [](Canvas& cv, uint32_t c) {
        cv.Fill(c, [](double x, double y) {
            const double dx = x - 16, dy = y - 16, r = std::hypot(dx, dy);
            const double a = std::atan2(dy, dx);
            return r > 6 && r < 9 && std::fmod(a + 2 * M_PI, M_PI) > 0.5;
        });
        cv.Fill(c, [](double x, double y) { return y > 7 && y < 13 && x > 22 && x < 28 && x - 22 > y - 10; });
        cv.Fill(c, [](double x, double y) { return y > 19 && y < 25 && x > 4 && x < 10 && 10 - x > 22 - y; });
    });
    // The action kinds: data scan (waves), object scan (a box under a beam), object capture (a box in a
    // bracket), unit capture (a vehicle in a bracket), enter data (an arrow into a slot).
    Canvas dataScan = Symbol(0x40c0ffu, [](Canvas& cv, uint32_t c) {
        for (int k = 0; k < 3; ++k) cv.Ring(8, 24, 5 + k * 5, 6.5 + k * 5, c);
    });
    Canvas objectScan = Symbol(0x40c0ffu, [](Canvas& cv, uint32_t c) {
        cv.Box(10, 18, 22, 24, c);
        cv.Line(16, 6, 10, 17, 1.5, c), cv.Line(16, 6, 22, 17, 1.5, c);
    });
    Canvas objectCapture = Symbol(0xffa040u, [](Canvas& cv, uint32_t c) {
        cv.Box(11, 12, 21, 20, c);
        for (double x : {6.0, 25.0}) cv.Box(x, 8, x + 1.5, 24, c);
    });
    Canvas unitCapture = Symbol(0xffa040u, [](Canvas& cv, uint32_t c) {
        cv.Box(10, 13, 22, 18, c);
        cv.Disc(12, 20, 2, c), cv.Disc(20, 20, 2, c);
        for (double x : {6.0, 25.0}) cv.Box(x, 8, x + 1.5, 24, c);
    });
    Canvas enterData = Symbol(0x40ff80u, [](Canvas& cv, uint32_t c) {
        cv.Box(20, 8, 23, 24, c);
        cv.Line(6, 16, 17, 16, 2.5, c);
        cv.Line(12, 11, 17, 16, 2.5, c), cv.Line(12, 21, 17, 16, 2.5, c);
    });
    const struct {
        const char* name;
        const Canvas* cv;
        int log2;
        bool alpha;
    } pictures[] = {
        {"panel", &panel, 6, true},
        {"campointer", &cam, 5, true},
        {"twister", &twister, 5, true},
        {"horizon", &horizon, 6, false},
        {"compass", &compass, 6, true},
        {"radio", &radio, 5, true},
        {"reload", &reload, 5, true},
        {"datascan", &dataScan, 5, true},
        {"objectscan", &objectScan, 5, true},
        {"objectcapture", &objectCapture, 5, true},
        {"unitcapture", &unitCapture, 5, true},
        {"enterdata", &enterData, 5, true},
    };
    for (const auto& p : pictures)
        if (!WriteSpecial(ctx, p.name, *p.cv, p.log2, p.alpha)) return false;
    // The frag counter's pictures "fragger00" .. "fragger10": the count in large digits.
    for (int n = 0; n <= 10; ++n) {
        Canvas cv(32, 32);
        const int width = n < 10 ? 3 : 7;
        Digits(cv, n, (32 - width * 4) / 2, 6, 4, 0xf0f0a0u);
        char name[32];
        std::snprintf(name, sizeof name, "fragger%02d", n);
        if (!WriteSpecial(ctx, name, cv, 5, true)) return false;
    }
    // The map texture of a mission without one: a test grid.
    Canvas grid(64, 64, 0x284830u, 255);
    for (int i = 0; i < 64; ++i)
        for (int j = 0; j < 64; ++j)
            if (i % 8 == 0 || j % 8 == 0) grid.Set(i, j, 0x70a078u);
    return WriteSpecial(ctx, "scape_test", grid, 6, false);
}

// The missions of the tree: the names of the world files in Maps/, sorted.
std::vector<std::string> Missions(const Context& ctx) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(ctx.Path("Maps")))
        if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The large, archive and status maps' page picture, 640 x 480: the game stretches it over the screen
// and draws the map's symbols over a square of the screen's height at its left, so the island with a
// frame fills the left 480 x 480 (at the 4:3 screens the game offers) and a dark panel the rest.
std::vector<uint32_t> MapPage() {
    constexpr int kW = 640, kH = 480;
    std::vector<uint32_t> page(size_t(kW) * kH, 0x141c24u);
    const std::vector<uint32_t> island = DemoIslandMap(kH);
    for (int r = 0; r < kH; ++r)
        for (int c = 0; c < kH; ++c) page[size_t(r) * kW + c] = island[size_t(r) * kH + c];
    for (int r = 0; r < kH; ++r)
        for (int c = 0; c < kW; ++c) {
            const bool edge = r < 2 || r >= kH - 2 || c < 2 || c >= kW - 2 || c == kH - 1 || c == kH;
            if (edge) page[size_t(r) * kW + c] = 0xc0c0b0u;
        }
    return page;
}

// Every mission plays on the island, and each has its maps: the texture "specials\<mission>" of the
// map panel and the tactical map, and the map pages' picture "Bitmaps\<mission>_lmap".
bool WriteMissionMaps(const Context& ctx) {
    // The map panel draws its texture with the larger x at the left, as the maps show it: the texture's
    // columns run along x, so the picture is the maps' island mirrored left to right.
    Canvas island(256, 256, 0, 255);
    const std::vector<uint32_t> seen = DemoIslandMap(256);
    for (int r = 0; r < 256; ++r)
        for (int c = 0; c < 256; ++c) island.rgb[size_t(r) * 256 + c] = seen[size_t(r) * 256 + (255 - c)];
    const std::vector<uint8_t> pageFile = datakit::Bmp24(640, 480, MapPage());
    for (const std::string& mission : Missions(ctx))
        if (!WriteSpecial(ctx, mission, island, 8, false) ||
            !datakit::WriteFile(ctx.Path("Bitmaps/" + mission + "_lmap"), pageFile))
            return false;
    return true;
}

// The crosshairs: a cross with a gap, and the combined one with a ring around it.
bool WriteCrosshairs(const Context& ctx) {
    Canvas xh(32, 32);
    for (int k = 0; k < 4; ++k) {
        const double a = k * M_PI / 2, s = std::sin(a), c = std::cos(a);
        xh.Line(16 + c * 4, 16 + s * 4, 16 + c * 13, 16 + s * 13, 2, 0x60ff60u);
    }
    Canvas comb = xh;
    comb.Ring(16, 16, 9, 10.5, 0xffc040u);
    return datakit::WriteFile(ctx.Path("Bitmaps/ov_xh"), datakit::Bmp24(32, 32, xh.Keyed())) &&
           datakit::WriteFile(ctx.Path("Bitmaps/ov_xh_comb"), datakit::Bmp24(32, 32, comb.Keyed()));
}

void WriteIcon(std::vector<std::pair<std::string, Canvas>>& out, int number, const Canvas& cv) {
    char name[16];
    std::snprintf(name, sizeof name, "%02d", number);
    out.emplace_back(name, cv);
}

// An arrow for a heading octant: octant k points k eighths of a turn clockwise from up.
Canvas Arrow(int octant, uint32_t colour) {
    Canvas cv(16, 16);
    const double a = octant * M_PI / 4, sx = std::sin(a), sy = -std::cos(a);
    const double tipX = 8 + sx * 7, tipY = 8 + sy * 7;
    cv.Line(8 - sx * 5, 8 - sy * 5, tipX, tipY, 2, colour);
    cv.Line(tipX, tipY, tipX - sx * 4 + sy * 3, tipY - sy * 4 - sx * 3, 2, colour);
    cv.Line(tipX, tipY, tipX - sx * 4 - sy * 3, tipY - sy * 4 + sx * 3, 2, colour);
    return cv;
}

bool WriteIcons(const Context& ctx) {
    std::vector<std::pair<std::string, Canvas>> icons;
    // "00".."07" members' heading arrows, "08".."15" other units'.
    for (int k = 0; k < 8; ++k) WriteIcon(icons, k, Arrow(k, 0x60ff80u));
    for (int k = 0; k < 8; ++k) WriteIcon(icons, 8 + k, Arrow(k, 0xffc060u));
    // "16".."25" member symbols by slot: a green square with the slot's key digit (1..9, 0).
    for (int slot = 0; slot < 10; ++slot) {
        Canvas cv(16, 16);
        cv.Box(1, 1, 15, 15, 0x106030u);
        cv.Fill(0x60ff80u, [](double x, double y) {
            return (x < 2 || y < 2 || x > 14 || y > 14) && x > 1 && y > 1 && x < 15 && y < 15;
        });
        Digits(cv, (slot + 1) % 10, 5, 3, 2, 0xf0fff0u);
        WriteIcon(icons, 16 + slot, cv);
    }
    // Symbols by colour index: 0 hostile, 1 the targeted hostile, 2 a hostile at its last seen place, 3
    // spare, 4 not hostile, 5 the targeted one that is not hostile, 6 a navigation point, 7 the current
    // one. "30".."35" diamonds for the vehicle classes, "40".."45" discs for the others, "50" and "51" the
    // navigation points.
    const uint32_t kColours[6] = {0xff3030u, 0xffff60u, 0x902020u, 0xa0a0a0u, 0x4080ffu, 0x60ffffu};
    for (int i = 0; i < 6; ++i) {
        Canvas diamond(16, 16);
        diamond.Fill(kColours[i],
                     [](double x, double y) { return std::abs(x - 8) + std::abs(y - 8) <= 6.5; });
        WriteIcon(icons, 30 + i, diamond);
        Canvas disc(16, 16);
        disc.Disc(8, 8, 5.5, kColours[i]);
        WriteIcon(icons, 40 + i, disc);
    }
    for (int i = 0; i < 2; ++i) {
        Canvas nav(16, 16);
        const uint32_t c = i ? 0xffffffu : 0xc0a0ffu;
        nav.Ring(8, 8, 4.5, 6.5, c);
        nav.Line(8, 1, 8, 15, 1.5, c), nav.Line(1, 8, 15, 8, 1.5, c);
        WriteIcon(icons, 50 + i, nav);
    }
    for (const auto& [name, cv] : icons)
        if (!datakit::WriteFile(ctx.Path("Icons/" + name), datakit::Bmp24(cv.w, cv.h, cv.Keyed())))
            return false;
    return true;
}

// A task button's wire-frame picture of a unit type, 64 x 32: a side view in the side's colour.
std::vector<uint8_t> WireFrame(const std::string& name, const std::string& klass) {
    Canvas cv(64, 32);
    const uint32_t c =
        name.rfind("EMA", 0) == 0 || name == "CruiserCannon" || name == "GunBoat" || name == "TransHeli"
            ? 0x70b0ffu
        : name.rfind("GA", 0) == 0 ? 0xff8070u
                                   : 0xd0d0c0u;
    const auto frame = [&](double x0, double y0, double x1, double y1) {
        cv.Line(x0, y0, x1, y0, 1.2, c), cv.Line(x1, y0, x1, y1, 1.2, c);
        cv.Line(x1, y1, x0, y1, 1.2, c), cv.Line(x0, y1, x0, y0, 1.2, c);
    };
    const bool tracked =
        name.find("Tank") != std::string::npos || name.find("Haubitze") != std::string::npos ||
        name.find("Launcher") != std::string::npos || name.find("Linebacker") != std::string::npos ||
        name.find("Manticor") != std::string::npos || name == "GAGrand";
    if (klass.find("AIRPLANE") != std::string::npos) {
        const bool rotor = name.find("Heli") != std::string::npos || name.find("Copter") != std::string::npos;
        cv.Line(8, 18, 54, 18, 1.2, c), cv.Line(8, 18, 14, 24, 1.2, c), cv.Line(14, 24, 48, 24, 1.2, c);
        cv.Line(48, 24, 56, 18, 1.2, c), cv.Line(8, 18, 4, 10, 1.2, c);
        if (rotor)
            cv.Line(12, 12, 52, 12, 1.2, c), cv.Line(32, 12, 32, 18, 1.2, c);
        else
            cv.Line(22, 21, 40, 28, 1.2, c), cv.Line(22, 21, 40, 14, 1.2, c);
    } else if (klass.find("SHIP") != std::string::npos && klass.find("VEHICLE") == std::string::npos) {
        cv.Line(4, 18, 60, 18, 1.2, c), cv.Line(4, 18, 12, 26, 1.2, c), cv.Line(12, 26, 54, 26, 1.2, c);
        cv.Line(54, 26, 60, 18, 1.2, c);
        frame(22, 10, 40, 18);
    } else if (klass.find("STATIONARY") != std::string::npos) {
        frame(24, 20, 40, 28);
        cv.Line(32, 20, 32, 8, 1.2, c), cv.Ring(32, 8, 3, 4.2, c);
    } else if (klass.find("GLIDER") != std::string::npos) {
        frame(8, 14, 56, 22);
        cv.Line(6, 22, 58, 22, 1.2, c), cv.Line(6, 22, 10, 27, 1.2, c), cv.Line(10, 27, 54, 27, 1.2, c);
        cv.Line(54, 27, 58, 22, 1.2, c);
    } else {
        frame(6, 14, 58, 23);
        if (tracked) {
            frame(20, 8, 40, 14);
            cv.Line(40, 10, 60, 10, 1.5, c);
            for (int k = 0; k < 5; ++k) cv.Ring(12 + k * 10, 26, 2.5, 3.7, c);
        } else {
            frame(26, 8, 44, 14);
            cv.Ring(15, 25, 3, 4.3, c), cv.Ring(49, 25, 3, 4.3, c);
        }
    }
    return datakit::Bmp24(64, 32, cv.Keyed());
}

// Every unit type of the units file (the entries of a vehicle, ship, aircraft, hovercraft or stationary
// unit class): the type name and its classes.
std::vector<std::pair<std::string, std::string>> UnitTypes(const Context& ctx) {
    std::ifstream in(ctx.source + "/app/units", std::ios::binary);
    std::string text(std::istreambuf_iterator<char>(in), {});
    // Comments out.
    for (size_t a; (a = text.find("/*")) != std::string::npos;) {
        const size_t b = text.find("*/", a);
        text.erase(a, b == std::string::npos ? std::string::npos : b + 2 - a);
    }
    std::vector<std::pair<std::string, std::string>> types;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string name, itfc;
        if (!(words >> name >> itfc)) continue;
        const size_t open = line.find('('), close = line.find(')');
        if (open == std::string::npos || close == std::string::npos) continue;
        const std::string klass = line.substr(open + 1, close - open - 1);
        for (const char* unit : {"VEHICLE", "SHIP", "AIRPLANE", "GLIDER", "STATIONARY"})
            if (klass.find(unit) != std::string::npos) {
                types.emplace_back(itfc, klass);
                break;
            }
    }
    return types;
}

bool WriteTaskButtonPictures(const Context& ctx) {
    for (const auto& [name, klass] : UnitTypes(ctx))
        if (!datakit::WriteFile(ctx.Path("Bitmaps/" + name + "_wf"), WireFrame(name, klass))) return false;
    return true;
}

}  // namespace

bool BuildInterfacePictures(const Context& ctx) {
    if (!datakit::MakeDirs(ctx.Path("Bitmaps")) || !datakit::MakeDirs(ctx.Path("Icons"))) return false;
    return WriteSpecials(ctx) && WriteCrosshairs(ctx) && WriteMissionMaps(ctx) && WriteIcons(ctx) &&
           WriteTaskButtonPictures(ctx);
}

}  // namespace mkdemo
