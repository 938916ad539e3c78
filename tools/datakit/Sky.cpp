#include "tools/datakit/Sky.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace datakit {

namespace {

using Rgb4 = std::array<uint8_t, 4>;

Rgb4 Mix(const Rgb4& a, const Rgb4& b, double t) {
    Rgb4 r{};
    for (int c = 0; c < 3; ++c) r[size_t(c)] = uint8_t(std::lround(a[size_t(c)] + (b[size_t(c)] - a[size_t(c)]) * t));
    return r;
}

}  // namespace

WorldSky DaySky(const std::string& flare, const std::string& moon, int32_t starCount) {
    WorldSky sky;
    constexpr double kTurn = 411774.0;
    auto angleAt = [&](double hour) {
        double a = (18.0 - hour) / 24.0 * kTurn;
        while (a < 0) a += kTurn;
        return int32_t(std::lround(a));
    };
    // Sunset, late afternoon, afternoon, noon, morning, early morning, sunrise, before dawn, evening.
    const std::array<double, 9> hours{18.0, 17.0, 15.0, 12.0, 9.0, 7.0, 6.0, 5.05, 19.0};
    const std::array<Rgb4, 9> horizon{{{{235, 140, 80, 0}},
                                       {{215, 190, 160, 0}},
                                       {{185, 205, 225, 0}},
                                       {{175, 205, 235, 0}},
                                       {{180, 205, 230, 0}},
                                       {{210, 190, 175, 0}},
                                       {{240, 150, 100, 0}},
                                       {{30, 34, 60, 0}},
                                       {{40, 30, 55, 0}}}};
    const std::array<Rgb4, 9> zenith{{{{60, 70, 130, 0}},
                                      {{60, 100, 180, 0}},
                                      {{40, 90, 190, 0}},
                                      {{30, 80, 190, 0}},
                                      {{40, 90, 190, 0}},
                                      {{60, 90, 170, 0}},
                                      {{50, 60, 120, 0}},
                                      {{6, 8, 24, 0}},
                                      {{8, 8, 26, 0}}}};
    // The key colours are the sun's: the light of the day (four times each channel), the sun disc, the
    // clouds' tint and the lens flares; the stars fade in as the red falls.
    const std::array<Rgb4, 9> sun{{{{250, 150, 80, 0}},
                                   {{250, 210, 150, 0}},
                                   {{245, 235, 215, 0}},
                                   {{250, 245, 230, 0}},
                                   {{245, 235, 215, 0}},
                                   {{250, 200, 150, 0}},
                                   {{240, 130, 80, 0}},
                                   {{30, 35, 60, 0}},
                                   {{35, 30, 55, 0}}}};
    for (size_t k = 0; k < 9; ++k) {
        sky.keyAngles[k] = angleAt(hours[k]);
        sky.keyColours[k] = sun[k];
    }
    // Keys ascend around the circle: sunset at 0, the evening key last.
    // Chunk lateral 0 colours everything up to the horizon; laterals 1 to 6 climb toward the zenith.
    const std::array<int32_t, 7> values{-1, 0, 2000, 5000, 9000, 16000, 40000};
    const std::array<double, 7> climb{0.0, 0.0, 0.15, 0.35, 0.55, 0.75, 1.0};
    for (size_t l = 0; l < values.size(); ++l) {
        WorldSkyLateral lat;
        lat.value = values[l];
        for (size_t k = 0; k < 9; ++k) lat.colours[k] = Mix(horizon[k], zenith[k], climb[l]);
        sky.laterals.push_back(lat);
    }
    sky.starCount = starCount;
    sky.flare = flare;
    sky.moon = moon;
    sky.tilt = 20000;
    return sky;
}

ObjectFile HaloObject() {
    ObjectFile obj;
    ObjPoint centre;
    centre.pos = {0, 0, 0};
    centre.rgb = {255, 255, 255};
    obj.points.push_back(centre);
    constexpr int kRim = 12;
    for (int i = 0; i < kRim; ++i) {
        const double a = 2.0 * 3.14159265358979 * i / kRim;
        ObjPoint p;
        p.pos = {float(12.0 * std::cos(a)), float(12.0 * std::sin(a)), 0};
        p.rgb = {0, 0, 0};
        obj.points.push_back(p);
    }
    for (int i = 0; i < kRim; ++i) {
        ObjFace f;
        f.points = {0, uint32_t(1 + i), uint32_t(1 + (i + 1) % kRim)};
        f.normal = {0, 0, -1};
        obj.faces.push_back(f);
    }
    return obj;
}

ObjectFile MoonObject(const std::string& texture) {
    ObjectFile obj;
    for (int i = 0; i < 4; ++i) {
        ObjPoint p;
        p.pos = {0, float(i < 2 ? -1 : 1), float(i == 0 || i == 3 ? -1 : 1)};
        obj.points.push_back(p);
    }
    ObjFace f;
    f.points = {0, 1, 2, 3};
    f.uv = {{{0, 0}}, {{32767, 0}}, {{32767, 32767}}, {{0, 32767}}};
    f.normal = {-1, 0, 0};
    f.rgb = {230, 230, 220};
    if (!texture.empty()) {
        f.type = 5;
        f.texture = texture;
    }
    obj.faces.push_back(f);
    return obj;
}

ObjectFile CloudDomeObject(const std::string& texture) {
    ObjectFile obj;
    constexpr int kRings = 4, kSegments = 12;
    // Ring 0 lies near the horizon, the last ring high up; the top is one point.
    for (int r = 0; r < kRings; ++r) {
        const double elevation = (5.0 + 20.0 * r) * 3.14159265358979 / 180.0;
        for (int s = 0; s < kSegments; ++s) {
            const double a = 2.0 * 3.14159265358979 * s / kSegments;
            ObjPoint p;
            p.pos = {float(100.0 * std::cos(elevation) * std::cos(a)), float(100.0 * std::sin(elevation)),
                     float(100.0 * std::cos(elevation) * std::sin(a))};
            const uint8_t intensity = uint8_t(std::min(255, 30 + 40 * r));
            p.rgb = {intensity, intensity, intensity};
            obj.points.push_back(p);
        }
    }
    for (int r = 0; r + 1 < kRings; ++r)
        for (int s = 0; s < kSegments; ++s) {
            const int s1 = (s + 1) % kSegments;
            ObjFace f;
            f.points = {uint32_t(r * kSegments + s), uint32_t(r * kSegments + s1), uint32_t((r + 1) * kSegments + s1),
                        uint32_t((r + 1) * kSegments + s)};
            const int16_t u0 = int16_t(s * 2730), u1 = int16_t((s + 1) * 2730), v0 = int16_t(r * 10922), v1 = int16_t((r + 1) * 10922);
            f.uv = {{{u0, v0}}, {{u1, v0}}, {{u1, v1}}, {{u0, v1}}};
            if (!texture.empty()) {
                f.type = 5;
                f.texture = texture;
            }
            f.normal = {0, -1, 0};
            obj.faces.push_back(f);
        }
    return obj;
}

}  // namespace datakit
