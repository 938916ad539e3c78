// The game clock and the sun: the time of day turns the sun's angle, which colours every view's sky,
// aims the sun and the second light, and sets the world's directional light; the flare textures.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/Config.h"
#include "core/FixMath.h"
#include "objects/SceneryLighting.h"
#include "platform/Texture.h"
#include "render/Light.h"
#include "render/Sky.h"
#include "render/Stamps.h"
#include "render/Terrain.h"
#include "render/Viewport.h"
#include "world/WorldTick.h"

int32_t GameDay = 0, GameHour = 0, GameMinute = 0, GameSecond = 0;
int32_t LastLightAngle = 0x7fffffff;
int32_t FirstFlareTexture = -1;

namespace {

constexpr int32_t kTurn = 411774;
constexpr int kFlareTextures = 6;

int32_t IntoTurn(int32_t a) {
    a %= kTurn;
    return a < 0 ? a + kTurn : a;
}

// (cos(-a), -(cos(-tilt) sin(-a)), sin(-tilt) sin(-a)) in 1.15.
void LightDirection(int32_t a, int32_t tilt, FixVec* out) {
    int32_t sa, ca, st, ct;
    FixSinCos(-a, &sa, &ca);
    FixSinCos(-tilt, &st, &ct);
    sa >>= 1, ca >>= 1, st >>= 1, ct >>= 1;
    out->x = ca;
    out->y = -static_cast<int32_t>((int64_t(ct) * sa) >> 15);
    out->z = static_cast<int32_t>((int64_t(st) * sa) >> 15);
}

void FlareName(char* out, size_t size, int n) { snprintf(out, size, "Flares%cflare%d", kPathSeparator, n); }

}  // namespace

void SetGameClock(float t) {
    GameClockSeconds = t;
    GameSecond = static_cast<int32_t>(std::fmod(t, 60.0f));
    GameMinute = static_cast<int32_t>(std::fmod(t * (1.0f / 60.0f), 60.0f));
    GameHour = static_cast<int32_t>(std::fmod(t * (1.0f / 3600.0f), 24.0f));
    GameDay = static_cast<int32_t>(t * 1.1574074074074073e-05f);
    SetSunAngle(static_cast<int32_t>(411774.0 - std::fmod(double(t), 86400.0) / 86400.0 * 411774.0 - 102943.0));
}

void SetGameTime(int day, int hour, int minute, int second) {
    GameDay = day, GameHour = hour, GameMinute = minute, GameSecond = second;
    const int64_t seconds = ((int64_t(day) * 24 + hour) * 60 + minute) * 60 + second;
    GameClockSeconds = static_cast<float>(seconds);
    const float inDay = static_cast<float>(seconds % 86400);
    SetSunAngle(static_cast<int32_t>(411774.0f - inDay * 1.1574074e-5f * 411774.0f - 102943.0f));
}

void SetSkySunAngle(SkyCell* sky, int32_t a) {
    a = IntoTurn(a);
    const int32_t b = IntoTurn(a + 154415);
    sky->sunAngle = a;
    sky->secondAngle = b;
    int pick = -1;
    for (int i = 0; i < kSkyKeys; ++i) {
        const int j = (i + 1) % kSkyKeys;
        const int32_t ki = sky->keyAngles[i], kj = sky->keyAngles[j];
        if (kj > ki) {
            if (ki <= a && a < kj) pick = i;
        } else if (!(a < ki && a >= kj)) {
            pick = i;
        }
    }
    if (pick >= 0) {
        const int j = (pick + 1) % kSkyKeys;
        int32_t ki = sky->keyAngles[pick], kj = sky->keyAngles[j];
        if (kj <= ki) kj += kTurn;
        int32_t from = a;
        // An angle below the first key of a wrapping pair lies one turn on.
        if (from < ki) from += kTurn;
        const int32_t span = (kj >> 8) - (ki >> 8);
        int32_t f = span > 0 ? (((from >> 8) - (ki >> 8)) << 8) / span : 0;
        f = f < 0 ? 0 : f > 256 ? 256 : f;
        sky->keyIndex = pick;
        sky->nextKey = j;
        sky->fraction = f;
        for (int c = 0; c < 3; ++c) {
            const int ci = sky->keyColours[pick][c], cj = sky->keyColours[j][c];
            sky->colour[c] = static_cast<uint8_t>(ci + (((cj - ci) * f) >> 8));
        }
    }
    if (sky->starCount >= 2) {
        LightDirection(a, sky->tilt, &sky->stars[0].dir);
        LightDirection(b, sky->tilt, &sky->stars[1].dir);
    }
}

void SetSunAngle(int32_t angle) {
    const int32_t a = IntoTurn(angle);
    SkyCell* lit = nullptr;
    for (int i = 0; i < ViewPortCount; ++i) {
        ViewPort* vp = ViewPortTable[i];
        // Views switched off keep their sky as it was.
        if (!vp || !vp->follows || vp->hidden || !vp->sky) continue;
        SetSkySunAngle(vp->sky, a);
        // The view's base colour (its ambient light and the water's base) is the level's.
        for (int c = 0; c < 3; ++c) vp->colour[c] = LevelAmbientColour[c];
        if (!lit) lit = vp->sky;
    }
    // The world's sky, which new views copy, keeps the time of day too.
    if (WorldSkyCell) {
        SetSkySunAngle(WorldSkyCell, a);
        if (!lit) lit = WorldSkyCell;
    }
    if (!lit || std::abs(int64_t(a) - LastLightAngle) <= 1000) return;
    const bool night = lit->keyIndex == 0 || lit->keyIndex >= 7;
    const FixVec& d = lit->stars[night ? 1 : 0].dir;
    const int32_t dir[3] = {d.x, d.y, d.z};
    const int32_t colour[3] = {lit->colour[0] * 4, lit->colour[1] * 4, lit->colour[2] * 4};
    if (SunLight) SetDirLight(SunLight, dir, colour);
    // The terrain is lit again with the new light at the next frame.
    LightStamp = 1;
    CellStampForce = 1;
    LastLightAngle = a;
}

void LoadFlareTextures() {
    FirstFlareTexture = TexCount;
    char name[64];
    for (int n = 1; n <= kFlareTextures; ++n) {
        FlareName(name, sizeof name, n);
        Tex* t = CreateTex();
        LoadTex(t, name, 0);
    }
}

void FreeFlareTextures() {
    char name[64];
    for (int n = 1; n <= kFlareTextures; ++n) {
        FlareName(name, sizeof name, n);
        if (Tex* t = NamedTex(name)) DeleteTex(t);
    }
    FirstFlareTexture = -1;
}

Tex* FlareTexture(int n) {
    if (FirstFlareTexture < 0 || n < 1 || n > kFlareTextures) return nullptr;
    const int32_t slot = FirstFlareTexture + n - 1;
    return slot < TexCount ? TexTable[slot] : nullptr;
}
