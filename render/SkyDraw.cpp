// The sky pass of a view: the bands of colour from the zenith to the nadir, the sun, the moon and its
// reflection, the stars and their reflection, the clouds and their reflection. Everything in the sky is
// at infinite distance: only the camera's turn moves it, its height only lowers the horizon, moves the
// bands near it and fades the sky below it. The pass also chooses the view's fog colour.
#include <algorithm>
#include <cstring>
#include <vector>

#include "core/Config.h"
#include "core/FixMath.h"
#include "platform/Texture.h"
#include "render/Immediate.h"
#include "render/Render_local.h"
#include "render/RenderTables.h"
#include "render/Sky.h"
#include "render/Stamps.h"
#include "render/View.h"
#include "world/Geom.h"
#include "world/Terrain.h"

using namespace render_local;
using host::RenderState;

uint8_t SkyFogColour[4] = {0, 0, 0, 0};
uint8_t CaveFogColour[3] = {64, 64, 64};

namespace {

constexpr int32_t kMeridianStep = 22876;
constexpr int32_t kMeridianEnd = 411274;
constexpr float kBandDepth = 0.99f;
constexpr float kStarDepth = 0.985f;
constexpr float kCloudDepth = 0.98f;

enum class Margin { ThreeQuarters, FiveQuarters };

int32_t ClipCode(const FixVec& v, Margin m) {
    const int64_t w = ViewWidth, h = ViewHeight;
    const int64_t mw = m == Margin::ThreeQuarters ? (w >> 2) + (w >> 1) : 3 * (w >> 2) + (w >> 1);
    const int64_t mh = m == Margin::ThreeQuarters ? (h >> 2) + (h >> 1) : 3 * (h >> 2) + (h >> 1);
    const int64_t x = int64_t(v.x) * 1024, y = int64_t(v.y) * 1024, z = v.z;
    int32_t code = 0;
    if (x > mw * z) code |= 8;
    if (-x > mw * z) code |= 4;
    if (y > mh * z) code |= 16;
    if (-y > mh * z) code |= 32;
    if (v.z < NearPlane) code |= 2;
    return code;
}

void ToView(FixVec* out, const FixVec& d) { RotateVec(out, &ProjMatrix, &d); }

void Project(float out[3], const FixVec& v, float depth) {
    ScreenPointF p;
    ProjectToScreen(&p, &v, ViewCentreXF, ViewCentreYF);
    out[0] = p.x;
    out[1] = p.y;
    out[2] = depth;
}

void SetVertexColour(SkyVertex* v, const uint8_t c[4]) {
    v->red = c[0];
    v->green = c[1];
    v->blue = c[2];
}

bool InCaveWorld() { return TopTileFieldPresent != 0; }

// The sun's or the moon's angle shows it above the horizon (or, in a cave world, high in the sky).
bool LightShows(double angle) {
    if (InCaveWorld()) return angle > 61766.1 && angle < 144120.9;
    return (angle > 0.0 && angle < 247064.4) || angle > 370596.6;
}

// The cloud dome, straight or mirrored below the horizon, its alpha from each point's intensity.
void DrawClouds(SkyCell* sky, bool mirrored, int32_t k2) {
    Geom* dome = sky->dome;
    if (!dome || dome->pointCount <= 0 || !SkyTextureQuadRoutine) return;
    static std::vector<SkyCorner> corners;
    static std::vector<uint8_t> codes;
    corners.assign(size_t(dome->pointCount), SkyCorner{});
    codes.assign(size_t(dome->pointCount), 0xff);
    for (int i = 0; i < dome->pointCount; ++i) {
        const GeomPoint& p = dome->points[i];
        FixVec d = {p.pos[0], mirrored ? -p.pos[1] : p.pos[1], p.pos[2]}, v;
        ToView(&v, d);
        const int32_t code = ClipCode(v, Margin::FiveQuarters);
        codes[size_t(i)] = static_cast<uint8_t>(code);
        if (code) continue;
        SkyCorner& c = corners[size_t(i)];
        c.red = sky->colour[0];
        c.green = sky->colour[1];
        c.blue = sky->colour[2];
        const int64_t intensity = p.colour[0];
        c.alpha = static_cast<uint8_t>(mirrored ? (intensity * k2 * CloudCover) >> 25 : (intensity * CloudCover) >> 16);
        float s[3];
        Project(s, v, kCloudDepth);
        c.x = s[0], c.y = s[1], c.z = s[2];
    }
    // A cloud's alpha is its texture's alpha times its vertices' alpha.
    using host::StageState;
    SetTSS(0, StageState::AlphaOp, Op(host::TextureOp::Modulate));
    SetTSS(0, StageState::AlphaArg1, host::GfxTaTexture);
    SetTSS(0, StageState::AlphaArg2, host::GfxTaDiffuse);
    GeomFace* f = dome->faces;
    for (int i = 0; i < dome->faceCount; ++i, f = NextFace(f)) {
        if (f->vertexCount < 3) continue;
        const FaceVertex* fv = FaceVerts(f);
        SkyCorner* quad[4];
        float uv[8];
        bool inside = true;
        for (int k = 0; k < 4 && inside; ++k) {
            const FaceVertex& v = fv[k < f->vertexCount ? k : 2];
            const auto index = static_cast<size_t>(v.point - dome->points);
            if (index >= codes.size() || codes[index]) inside = false;
            else {
                quad[k] = &corners[index];
                uv[2 * k] = v.u + CloudOffset;
                uv[2 * k + 1] = v.v;
            }
        }
        if (!inside) continue;
        SkyLayer layer{f->texture};
        SkyTextureQuadRoutine(&layer, quad, uv);
    }
    SetTSS(0, StageState::AlphaOp, Op(host::TextureOp::SelectArg1));
    SetTSS(0, StageState::AlphaArg2, host::GfxTaCurrent);
}

// Colour of the 45-degree lateral and of the ground below the horizon.
void Lateral45Colour(SkyCell* sky, int pairUpper) {
    SkyLateral* l45 = &sky->laterals[kLateral45];
    if (pairUpper < 1) {
        l45->colour[0] = l45->colour[1] = l45->colour[2] = 8;
        return;
    }
    const SkyLateral& lower = sky->laterals[pairUpper - 1];
    const SkyLateral& upper = sky->laterals[pairUpper];
    const int32_t t = FixDiv((l45->elevation - lower.elevation) >> 2, (upper.elevation - lower.elevation) >> 2);
    for (int c = 0; c < 3; ++c)
        l45->colour[c] = static_cast<uint8_t>(lower.colour[c] + ((int64_t(upper.colour[c] - lower.colour[c]) * t) >> 15));
}

// Stage 0 as the device starts: texture times diffuse, no texture bound, so that the untextured sky
// quads show their own colours whatever the last view left, and the scene is drawn lit after the sky.
void DefaultStage() {
    using host::StageState;
    SetTex(0, nullptr);
    SetTSS(0, StageState::ColorOp, Op(host::TextureOp::Modulate));
    SetTSS(0, StageState::ColorArg1, host::GfxTaTexture);
    SetTSS(0, StageState::ColorArg2, host::GfxTaDiffuse);
}

}  // namespace

void DrawSun(SkyCell* sky) {
    SkyStar& sun = sky->stars[0];
    ToView(&sun.viewDir, sun.dir);
    if (sun.viewDir.z <= 500) return;
    Project(sky->sunScreen, sun.viewDir, kStarDepth);
    if (DiscRoutine) DiscRoutine(sky->sunScreen, (FocalX * 30) >> 10, sky->colour);
}

void DrawMoon(SkyCell* sky, int grey, int mirrored) {
    Geom* moon = sky->moon;
    if (!moon || moon->pointCount < 4 || moon->faceCount < 1) return;
    static const FixVec kCorners[4] = {
        {100000, -5000, -5000}, {100000, 5000, -5000}, {100000, 5000, 5000}, {100000, -5000, 5000}};
    FixMatrix m;
    const int32_t angles[3] = {0, sky->secondAngle - 102943, sky->tilt - 102943};
    MatrixFromEuler(&m, angles);
    for (int k = 0; k < 4; ++k) {
        FixVec p, v;
        RotateVecTF(&p, &m, &kCorners[k]);
        if (mirrored) p.y = -p.y;
        RotateVecF(&v, &ProjMatrix, &p);
        if (v.z <= 500) return;
        GeomPoint& gp = moon->points[k];
        gp.view[0] = v.x, gp.view[1] = v.y, gp.view[2] = v.z;
        Project(gp.screen, v, kStarDepth);
    }
    GeomFace* face = moon->faces;
    const uint8_t g = static_cast<uint8_t>(grey < 0 ? 0 : grey > 255 ? 255 : grey);
    face->colour[0] = face->colour[1] = face->colour[2] = g;
    DrawSkyPolygon(face);
}

namespace {

void StarsPass(SkyCell* sky, int32_t factor, bool mirrored) {
    if (factor <= 0 || sky->starCount <= 2 || !StarRoutine) return;
    for (int i = 2; i < sky->starCount; ++i) {
        SkyStar& s = sky->stars[i];
        FixVec d = s.dir, v;
        if (mirrored) d.y = -d.y;
        ToView(&v, d);
        const int32_t code = ClipCode(v, Margin::ThreeQuarters);
        s.clip = static_cast<uint8_t>(code);
        if (code) continue;
        Project(s.screen, v, kStarDepth);
        StarRoutine(s.screen, (s.brightness * factor) >> 8);
    }
}

}  // namespace

void DrawStars(SkyCell* sky) { StarsPass(sky, ((255 - sky->colour[0]) * SkyFade) >> 16, false); }
void DrawStarsMirrored(SkyCell* sky) { StarsPass(sky, ((255 - sky->colour[0]) * SkyFade) >> 17, true); }

void DrawSky(SkyCell* sky) {
    SetRS(RenderState::FogEnable, 0);
    DefaultStage();
    // A sky without the eleven laterals (or before CreateMeridians sized its lists) has nothing to draw.
    if (!sky || sky->lateralCount <= kLateral45 || !sky->vertices || !sky->meridians || sky->starCount < 2) return;
    const int32_t H = EyePos.y;
    const double a = sky->sunAngle, b = sky->secondAngle;

    sky->meridianCount = 0;
    for (int32_t m = 0; m < kMeridianEnd; m += kMeridianStep)
        AddSkyVertex(sky->meridians, &sky->meridianCount, sky->meridianCapacity, m);
    const int M = sky->meridianCount;

    SkyVertex* vx = sky->vertices;
    ToView(&vx[0].view, FixVec{0, 16384, 0});
    vx[0].clip = ClipCode(vx[0].view, Margin::ThreeQuarters);
    ToView(&vx[1].view, FixVec{0, -16384, 0});
    vx[1].clip = ClipCode(vx[1].view, Margin::ThreeQuarters);
    int32_t next = 2;

    SkyLateral* lat = sky->laterals;
    const int last = sky->lateralCount - 1;
    lat[kHorizonLateral].elevation = (H >> 5) + 102900;
    const int32_t horizon = lat[kHorizonLateral].elevation;
    const int32_t e45 = lat[kLateral45].elevation;
    const int32_t divisor = (H >> 6) + 1750;
    int pairUpper = -1;
    std::vector<bool> ringless(size_t(last + 1), false);
    for (int i = last; i >= 0; --i) {
        SkyLateral& l = lat[i];
        if (i != kLateral45) {
            const uint8_t* c = l.keys[sky->keyIndex];
            const uint8_t* n = l.keys[sky->nextKey];
            for (int k = 0; k < 3; ++k) l.colour[k] = static_cast<uint8_t>(c[k] + (((n[k] - c[k]) * sky->fraction) >> 8));
            if (InCaveWorld()) {
                if (i <= 3) {
                    std::memcpy(l.colour, CaveFogColour, 3);
                    std::memcpy(SkyFogColour, CaveFogColour, 3);
                } else if (i == 4) {
                    std::memcpy(l.colour, CaveFogColour, 3);
                }
            } else if (i == kHorizonLateral) {
                std::memcpy(SkyFogColour, l.colour, 3);
            }
        }
        if (l.value != -1) {
            l.elevation = horizon - FixDiv(l.value >> 2, divisor);
            if (l.elevation < e45) {
                ringless[size_t(i)] = true;
                pairUpper = i;
                continue;
            }
        }
        l.firstVertex = next;
        int32_t se, ce;
        FixSinCos(l.elevation, &se, &ce);
        se >>= 3, ce >>= 3;
        for (int j = 0; j < M && next < sky->vertexCapacity; ++j) {
            int32_t sm, cm;
            FixSinCos(sky->meridians[j], &sm, &cm);
            sm >>= 1, cm >>= 1;
            const FixVec d = {-static_cast<int32_t>((int64_t(sm) * se) >> 15), ce,
                              static_cast<int32_t>((int64_t(cm) * se) >> 15)};
            SkyVertex& v = vx[next++];
            ToView(&v.view, d);
            v.clip = ClipCode(v.view, Margin::ThreeQuarters);
        }
    }
    sky->vertexCount = next;
    Lateral45Colour(sky, pairUpper);

    const int32_t k = 255 - std::clamp((H - 65536) >> 8, 0, 255);
    uint8_t ground[4] = {0, 0, 0, 0};
    for (int c = 0; c < 3; ++c) {
        const int32_t s = SkyFogColour[c];
        ground[c] = static_cast<uint8_t>(s + ((((lat[kLateral45].colour[c] >> 1) - s) * k) >> 8));
    }

    const uint16_t stamp = ViewStamp;
    auto corner = [&](SkyVertex* v, const uint8_t* colour) {
        if (v->stamp != stamp) {
            float s[3];
            Project(s, v->view, kBandDepth);
            v->x = s[0], v->y = s[1], v->z = s[2];
            v->stamp = stamp;
        }
        SetVertexColour(v, colour);
        return v;
    };
    auto ringVertex = [&](int lateral, int j) -> SkyVertex* {
        const int32_t index = lat[lateral].firstVertex + j;
        return index < sky->vertexCount ? &vx[index] : nullptr;
    };

    int upper = last;
    for (int i = last; i >= -1; --i) {
        if (i == 2) {
            if (LightShows(a)) DrawSun(sky);
            if (LightShows(b)) DrawMoon(sky, 255 - sky->colour[0], 0);
            SetRS(RenderState::FogEnable, 0);
        }
        if (i >= 0 && ringless[size_t(i)]) continue;
        const uint8_t* upperColour = lat[upper].colour;
        const uint8_t* lowerColour = i >= 2 ? lat[i].colour : ground;
        if (i <= 0) upperColour = ground;
        for (int j = 0; j < M; ++j) {
            const int j1 = j + 1 < M ? j + 1 : 0;
            SkyVertex* c[4];
            if (i == -1) c[0] = c[1] = &vx[1];
            else c[0] = ringVertex(i, j), c[1] = ringVertex(i, j1);
            if (i == last) c[2] = c[3] = &vx[0];
            else c[2] = ringVertex(upper, j1), c[3] = ringVertex(upper, j);
            if (!c[0] || !c[1] || !c[2] || !c[3]) continue;
            if (c[0]->clip && c[1]->clip && c[2]->clip && c[3]->clip) continue;
            // Shared corners take the colour of this band; the zenith that of the first band's lateral.
            corner(c[2], upperColour);
            corner(c[3], upperColour);
            corner(c[0], lowerColour);
            corner(c[1], lowerColour);
            if (SkyQuadRoutine) SkyQuadRoutine(c);
        }
        if (i >= 0) upper = i;
    }

    int32_t g = 255 - sky->colour[0];
    if (H > 65536) g += 256 - (H >> 8);
    const bool reflectShows =
        InCaveWorld() ? (b > 61766.1 && b < 144120.9) : (b > 10294.35 && b < 195592.65);
    if (g > 0 && reflectShows) DrawMoon(sky, g >> 3, 1);
    SetRS(RenderState::FogEnable, 0);
    DrawStars(sky);
    DrawStarsMirrored(sky);
    if (sky->dome && CloudCover > 0 && weather_effects) DrawClouds(sky, false, 0);
    const int32_t k2 = (255 - std::clamp((H - 65536) >> 8, 0, 255)) >> 1;
    if (sky->dome && k2 > 0 && CloudCover > 0 && weather_effects) DrawClouds(sky, true, k2);
    // The scene after the sky starts from the same stage whether or not clouds were drawn.
    DefaultStage();
    CaptureFlareSamples(sky);
}
