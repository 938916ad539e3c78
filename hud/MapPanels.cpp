// The map panel (threat display), the unit symbols every map draws and the large map page.
#include "hud/MapPanels.h"

#include <cmath>

#include "ai/AIRecords.h"
#include "ai/Clan.h"
#include "core/Fix3D.h"
#include "core/FixMath.h"
#include "core/Rules.h"
#include "hud/Icons.h"
#include "hud/MapPanels_local.h"
#include "hud/MissionStatus.h"
#include "hud/TacticalMap.h"
#include "hud/Overlay_local.h"
#include "hud/TFView.h"
#include "objects/Itfc.h"
#include "objects/UnitRecord.h"
#include "objects/Units.h"
#include "platform/Bitmap.h"
#include "render/Immediate.h"
#include "render/ScreenText.h"
#include "render/SpecialRoutines.h"
#include "render/Viewport.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Terrain.h"
#include "world/TickCounter.h"

using namespace hud_local;

namespace {

constexpr int32_t kMapRange = 32768;
constexpr int32_t kWindowLow = 128, kWindowHigh = 32640;
constexpr int kMaxMemberSymbols = 11;
constexpr int32_t kSightOpening = 80000;  // 16.16 radians
const uint8_t kSightSeesUs[4] = {240, 128, 128, 240};
const uint8_t kSightOther[4] = {192, 192, 96, 240};
const uint8_t kSightRim[4] = {180, 180, 180, 64};
const uint8_t kRadarRing[4] = {255, 255, 255, 128};
const uint8_t kBallistic[4] = {96, 255, 96, 128};
const uint8_t kThreatCount[4] = {240, 0, 0, 0};
const uint8_t kViewMarkerGrey[4] = {128, 128, 128, 128};

int32_t TilesX() {
    return CurrentMatrix ? MatrixTilesX(CurrentMatrix) : 1;
}
int32_t TilesZ() {
    return CurrentMatrix ? MatrixTilesZ(CurrentMatrix) : 1;
}

// A world distance as map units along x.
float MapDistance(float world) {
    return world * kMapRange / (static_cast<float>(TilesX()) * 65536.0f);
}

int32_t RuleInt(const char* name) {
    const Rule* r = FindRule(name);
    return r && r->count > 0 ? static_cast<int32_t>(r->values[0]) : 0;
}

bool Hostile(const construct* con) {
    return con && con->clan && PlayerClan && con->clan->hostility[PlayerClan->index] == 2;
}

// The clipped blit of an icon centred on a screen point.
void BlitCentred(const QZIcon* icon, int32_t x, int32_t y) {
    if (!icon || !icon->surface || !BlitRoutine) return;
    Bitmap bitmap = {icon->width, icon->height, icon->surface};
    BlitRoutine(&bitmap, x - icon->width / 2, y - icon->height / 2);
}

// The player's unit targets the construct (its lock target with its threat entry).
bool PlayerTargets(const construct* con) {
    const UnitShare* rec = PlayerUnit ? GetUnitShare(PlayerUnit) : nullptr;
    return rec && rec->lockTarget == con && rec->lockEntry;
}

}  // namespace

void MapPoint(const MapFrame& f, int32_t x, int32_t z, float* sx, float* sy) {
    const float mx = static_cast<float>(x) * kMapRange / (static_cast<float>(TilesX()) * 65536.0f);
    const float mz = static_cast<float>(z) * kMapRange / (static_cast<float>(TilesZ()) * 65536.0f);
    const float span = static_cast<float>(f.size) * f.scale;
    *sx = static_cast<float>(f.x0) - f.offsetX + span * (1.0f - mx / kMapRange);
    *sy = static_cast<float>(f.y0) - f.offsetY + span * (1.0f - mz / kMapRange);
}

void DrawSymbolSets(TFView* view, const MapFrame& f, bool mapPanel) {
    auto symbol = [&](construct* con, const ThreatEntry* entry, int member, int keep, int colour) {
        DrawUnitSymbol(con, entry, member, keep, colour, f.offsetX, f.offsetY, f.scale, f.size, f.x0, f.y0,
                       view);
    };
    const int keep = mapPanel ? 1 : 0;
    if (ConstructPool* nav = FindConstructPool("nav"))
        for (int i = 0; i < nav->count; ++i) {
            construct* c = nav->constructs[i];
            const bool current = c == CurrentNavPoint && (!mapPanel || (FrameCounter & 0x20));
            symbol(c, nullptr, 0, keep, current ? kSymbolCurrentNavPoint : kSymbolNavPoint);
        }
    if (ConstructPool* icons = FindConstructPool("icon"))
        for (int i = 0; i < icons->count; ++i) {
            construct* c = icons->constructs[i];
            symbol(c, nullptr, 0, keep, !mapPanel || Hostile(c) ? kSymbolHostile : kSymbolFriend);
        }
    if (view && view->members)
        for (int i = 0; i < view->members->count && i < kMaxMemberSymbols; ++i) {
            construct* c = view->members->constructs[i];
            if (c) symbol(c, nullptr, 1, keep, c->bytes2[0]);
        }
    if (!PlayerClan) return;
    const bool blink = (FrameCounter & 0x20) != 0;
    if (RuleInt("allhostilesvisible") == 0) {
        for (int i = 0; i < PlayerClan->threatCount; ++i) {
            const ThreatEntry* e = &PlayerClan->threats[i];
            if (!e->con) continue;
            const bool hostile = Hostile(e->con);
            int colour = hostile ? kSymbolHostile : kSymbolFriend;
            if (PlayerTargets(e->con) && blink) colour = hostile ? kSymbolHostileTarget : kSymbolFriendTarget;
            symbol(e->con, e, 0, 0, colour);
        }
        return;
    }
    for (int k = 0; k < ClanCount; ++k) {
        const Clan* clan = ClanTable[k];
        if (!clan || clan == PlayerClan || !clan->pool) continue;
        for (int i = 0; i < clan->pool->count; ++i) {
            construct* c = clan->pool->constructs[i];
            if (c) symbol(c, nullptr, 0, 0, PlayerTargets(c) ? kSymbolHostileTarget : kSymbolHostile);
        }
    }
}

void DrawOwnViewMarker(TFView* view, const MapFrame& f) {
    if (!view || !MainViewPort || !RadarMarkerRoutine) return;
    const FixVec forward = {MainViewPort->view.m[6], 0, MainViewPort->view.m[8]};
    FixVec d;
    if (!NormaliseF(&d, &forward)) return;
    float px, py;
    MapPoint(f, MainViewPort->cameraPos.x, MainViewPort->cameraPos.z, &px, &py);
    // The far corner 64 pixels along the view direction (screen axes run against the world's).
    const float dx = static_cast<float>(d.x) * -64.0f / 32768.0f,
                dy = static_cast<float>(d.z) * -64.0f / 32768.0f;
    const float mx = px + dx / 2, my = py + dy / 2, hx = -dy / 2, hy = dx / 2;
    const int16_t corners[8] = {static_cast<int16_t>(px),      static_cast<int16_t>(py),
                                static_cast<int16_t>(mx + hx), static_cast<int16_t>(my + hy),
                                static_cast<int16_t>(px + dx), static_cast<int16_t>(py + dy),
                                static_cast<int16_t>(mx - hx), static_cast<int16_t>(my - hy)};
    RadarMarkerRoutine(view->camPointerTex, kViewMarkerGrey, corners);
}

void DrawUnitSymbol(construct* unit, const ThreatEntry* entry, int member, int keepOnScreen, int colour,
                    float offsetX, float offsetY, float scale, int size, int x0, int y0, TFView* view) {
    if (!unit || !view) return;
    const int32_t* at = unit->pos;
    const bool lost = entry && entry->age >= 1;
    if (lost) {
        at = entry->pos;
        colour = colour >= 2 ? kSymbolFriendTarget : kSymbolHostileLost;
    }
    const MapFrame f{offsetX, offsetY, scale, size, x0, y0};
    float fx, fy;
    MapPoint(f, at[0], at[2], &fx, &fy);
    int32_t sx = static_cast<int16_t>(fx), sy = static_cast<int16_t>(fy);
    const uint32_t klass = KlassOf(unit);
    const UnitShare* rec = GetUnitShare(unit);
    const float centre[3] = {static_cast<float>(sx), static_cast<float>(sy), kOverlayZ};
    const float perWorldUnit = scale * static_cast<float>(size) / (static_cast<float>(TilesX()) * 65536.0f);

    // A slot or a colour past its icon set has no symbol: nothing is drawn for it.
    QZIcon* icon = nullptr;
    if (member) {
        if (colour < 0 || colour >= static_cast<int>(std::size(view->iconsC))) return;
        icon = view->iconsC[colour];
        if ((klass & kKlassRadar) && rec)
            DrawCircle2D(centre, static_cast<int32_t>(static_cast<float>(rec->sightRange) * perWorldUnit),
                         kRadarRing, 1, 0);
    } else {
        const bool setD = (klass & 0x1F) != 0;
        const int count =
            setD ? static_cast<int>(std::size(view->iconsD)) : static_cast<int>(std::size(view->iconsE));
        if (colour < 0 || colour >= count) return;
        icon = setD ? view->iconsD[colour] : view->iconsE[colour];
        if (rec) {
            const uint8_t* sight =
                ThreatListHasClan(unit, const_cast<UnitShare*>(rec), PlayerClan) ? kSightSeesUs : kSightOther;
            if (rec->sightType == kSightRadar) {
                DrawHudSymbolA(centre,
                               static_cast<int32_t>(static_cast<float>(rec->sightRange) * perWorldUnit),
                               sight, kSightRim);
            } else {
                const Rule* eyesight = FindRule("eyesight_range");
                const float range = eyesight && eyesight->count > 0 ? eyesight->values[0] : 0.0f;
                DrawSector2D(centre, static_cast<int32_t>(range * perWorldUnit), &unit->orient[6],
                             kSightOpening, sight, kSightRim);
            }
        }
    }
    if (keepOnScreen && icon) {
        const int32_t hw = icon->width / 2, hh = icon->height / 2;
        if (sx < ClipRect.xmin + hw) sx = ClipRect.xmin + hw;
        if (sx > ClipRect.xmax - hw) sx = ClipRect.xmax - hw;
        if (sy < ClipRect.ymin + hh) sy = ClipRect.ymin + hh;
        if (sy > ClipRect.ymax - hh) sy = ClipRect.ymax - hh;
    }
    BlitCentred(icon, sx, sy);

    if ((klass & 0x60) || lost) return;
    const int32_t* v = GetUnitVelocity(unit);
    if (!v || (std::abs(v[0]) <= 55 && std::abs(v[2]) <= 55)) return;
    constexpr int32_t kTurn = 411774, kHalfTurn = 205887, kEighthTurn = 51472;
    int32_t a = FixAtan2(v[0] / 4, v[2] / 4) + kHalfTurn + kEighthTurn / 2;
    a %= kTurn;
    if (a < 0) a += kTurn;
    const int octant = static_cast<int>(a / kEighthTurn) & 7;
    BlitCentred(member ? view->iconsA[octant] : view->iconsB[octant], sx, sy);
}

void DrawThreats(int32_t x0, int32_t y0, int32_t x1, int32_t y1, TFView* view) {
    if (!view) return;
    SetViewportRect(x0, y0, x1, y1);
    const int32_t s = view->mapZoom, cx = view->mapParams[0], cy = view->mapParams[1];
    int32_t u0 = cx - s, u1 = cx + s, t0 = cy - s, t1 = cy + s;
    auto fit = [](int32_t* lo, int32_t* hi) {
        if (*lo < kWindowLow) *hi += kWindowLow - *lo, *lo = kWindowLow;
        if (*hi > kWindowHigh) *lo -= *hi - kWindowHigh, *hi = kWindowHigh;
    };
    fit(&u0, &u1);
    fit(&t0, &t1);
    // The larger map coordinate at the left and lower edge.
    if (ThreatMarkerRoutine) ThreatMarkerRoutine(view->mapTex, x0, y0, x1, y1, u0, t0, u1, t1);
    if (u1 != u0) {
        const float scale = static_cast<float>(kMapRange) / static_cast<float>(u1 - u0);
        const float span = static_cast<float>(view->mapPanelSize) * scale;
        const MapFrame f{span * (1.0f - static_cast<float>(u1) / kMapRange),
                         span * (1.0f - static_cast<float>(t1) / kMapRange),
                         scale,
                         view->mapPanelSize,
                         x0,
                         y0};
        DrawSymbolSets(view, f, true);
        DrawOwnViewMarker(view, f);
        const UnitShare* rec = PlayerUnit ? GetUnitShare(PlayerUnit) : nullptr;
        if (rec && rec->ballistic) {
            DrawTextf(100, 100, "draw ballistic hit");
            float ix, iy;
            MapPoint(f, rec->impactPoint[0], rec->impactPoint[2], &ix, &iy);
            const float near = MapDistance(100000.0f) * span / kMapRange,
                        far = MapDistance(200000.0f) * span / kMapRange;
            const float centre[3] = {ix, iy, kOverlayZ};
            DrawCircle2D(centre, static_cast<int32_t>(near), kBallistic, 1, 0);
            const float dirs[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
            for (const auto& d : dirs) {
                const float a[3] = {ix + d[0] * near, iy + d[1] * near, kOverlayZ};
                const float b[3] = {ix + d[0] * far, iy + d[1] * far, kOverlayZ};
                DrawBlendedLine(a, b, kBallistic);
            }
        }
    }
    SetViewportRect(0, 0, ScreenWidth, ScreenHeight);
    if (const UnitShare* rec = PlayerUnit ? GetUnitShare(PlayerUnit) : nullptr) {
        SetTextColor(kThreatCount);
        DrawTextf(x0 + 4, y0 - 15, "Threats: %d", rec->threatCount);
    }
}

void DrawPageSurface(host::GfxSurface* surface) {
    if (!surface || !BlitRoutine) return;
    Bitmap bitmap = {0, 0, surface};
    dxgl_GetSurfaceSize(surface, &bitmap.width, &bitmap.height);
    BlitRoutine(&bitmap, 0, ScreenHeight - bitmap.height);
}

MapFrame FullScreenMapFrame() {
    const float scale = 128.0f / 127.0f;
    const float offset = static_cast<float>(ScreenHeight) * scale / 256.0f;
    return {offset, offset, scale, ScreenHeight, 0, 0};
}

void DrawRadarMap(TFView* view) {
    if (!view) return;
    DrawPageSurface(view->pageSurface[kLargeMap]);
    const MapFrame f = FullScreenMapFrame();
    DrawSymbolSets(view, f, false);
    DrawOwnViewMarker(view, f);
}
