// Decals laid onto the ground: the track marks of tracked and walking drives, kept in chains from the
// newest to the oldest, fading in, resting at their opacity and fading out once too many follow them; and
// the test wave of the movie camera, whose texture coordinates run through two ramp tables.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/Config.h"
#include "core/Memory.h"
#include "objects/ConstructRes.h"
#include "objects/EffectBlocks.h"
#include "objects/Projectile.h"
#include "objects/UnitSaved.h"
#include "objects/WeaponTypes.h"
#include "objects/WeaponTypes_local.h"
#include "render/ScreenText.h"
#include "world/Construct.h"
#include "world/Geom.h"
#include "world/QZEvent.h"
#include "world/WorldFile.h"
#include "world/WorldTick.h"

namespace {

constexpr int32_t kTrailStartOpacity = 128;

TrailBlock* Mark(construct* con) { return static_cast<TrailBlock*>(con->itfcData); }
WaveBlock* WaveOf(construct* con) { return static_cast<WaveBlock*>(con->itfcData); }
const char* Dir(uintptr_t arg) { return reinterpret_cast<const char*>(arg); }

void WalkTrail(SavedWords& w, void* block) {
    auto* b = static_cast<TrailBlock*>(block);
    w.I32(&b->targetOpacity);
    weapons::WalkPointerWord(w);  // the chain is the drive's own
}

void WalkWave(SavedWords& w, void* block) {
    auto* b = static_cast<WaveBlock*>(block);
    w.I32(&b->counter);
    for (uint8_t& v : b->startRamp) w.U8(&v);
    for (uint8_t& v : b->endRamp) w.U8(&v);
}

const PjtMember kTrail{"Trail", Trail_itfc, sizeof(TrailBlock), 150.0f, 0x2, 0, 1, {0, 0, 0, 0}, -1, 0, false,
                       WalkTrail, 8};
const PjtMember kWave{"Wave", Wave_itfc, sizeof(WaveBlock), 250.0f, 0, 0, 2, {0, 4, 0, 0}, 1, 0, true, WalkWave,
                      static_cast<int>(sizeof(int32_t) + 2 * kWaveRampSize)};

// ---- Trail.

void SetupTrail(construct* con) {
    con->effectPhase = 0;
    Mark(con)->targetOpacity = kTrailStartOpacity;
    Mark(con)->next = nullptr;
}

void AttachTrail(construct* con, uintptr_t opacity) {
    Mark(con)->targetOpacity = opacity > 255 ? 255 : static_cast<int32_t>(opacity);
    con->opacity = 0;
    weapons::DrapeDecal(con, weapons::Drape::Trail);
}

void TickTrail(construct* con) {
    TrailBlock* b = Mark(con);
    const int32_t target = b->targetOpacity < 0 ? 0 : (b->targetOpacity > 255 ? 255 : b->targetOpacity);
    int32_t o = con->opacity;
    if (o < target) o = o + 16 < target ? o + 16 : target;
    if (o > target) o = o - 4 > target ? o - 4 : target;
    con->opacity = static_cast<uint8_t>(o);
    if (o == 0) {
        // Faded out: back to its pool.
        CreateQZEvent(QZEventKind::UnBuzy, con);
        DeactivateConstruct(con);
    } else if (o == target) {
        // At rest: it stays in view without ticking.
        CreateQZEvent(QZEventKind::UnBuzy, con);
    }
}

// The new mark heads its chain; the mark that is now the 31st starts fading and leaves the chain.
void LinkTrail(construct* con, construct* previous) {
    Mark(con)->next = previous;
    construct* before = con;
    construct* m = previous;
    for (int position = 1; m && position <= kTrailChainLength; ++position) {
        if (position == kTrailChainLength) {
            Mark(m)->targetOpacity = 0;
            if (!(m->flags & kConBusy)) CreateQZEvent(QZEventKind::Buzy2, m);
            Mark(before)->next = nullptr;
            return;
        }
        before = m;
        m = Mark(m)->next;
    }
}

// ---- Wave.

void SetupWave(construct* con) {
    con->effectPhase = 255;
    WaveBlock* b = WaveOf(con);
    b->counter = 0;
    char error[600];
    static_assert(kWaveRampSize == kAnimTableSize);
    if (ReadAnimTable(b->startRamp, "wave", "startmot", error, sizeof error) &&
        ReadAnimTable(b->endRamp, "wave", "endmot", error, sizeof error))
        return;
    // A short ramp would leave the wave running on half-set values.
    FreeConstruct(con);
    FatalError(error);
}

void TickWave(construct* con) {
    WaveBlock* b = WaveOf(con);
    // 1. A cycle of 1250 ticks.
    int64_t counter = int64_t(b->counter < 0 ? 0 : b->counter) + (int64_t(1) << (con->busyLevel & 3));
    if (counter >= kWaveCycle) counter = 0;
    b->counter = static_cast<int32_t>(counter);
    // 2. It fades in, holds and fades out.
    const int32_t c = b->counter;
    const int32_t opacity = c < 380 ? c * 255 / 380 : (c <= 1010 ? 255 : 255 - (c - 1010) * 255 / 240);
    con->opacity = static_cast<uint8_t>(opacity < 0 ? 0 : opacity);
    // 3. Where the texture runs between the two ramps.
    int i = static_cast<int>(std::trunc(double(c) * 0.0008 * 256.0));
    i = i < 0 ? 0 : (i > kWaveRampSize - 1 ? kWaveRampSize - 1 : i);
    const float start = -float(b->startRamp[i]) / 255.0f;
    const float end = 2.0f - float(b->endRamp[i]) / 255.0f;
    // 4. The test values, once per world-tick call.
    if (TickIndex == 0) {
        DrawTextf(100, 100, "wave start u= %f", double(start));
        DrawTextf(100, 120, "wave end u= %f", double(end));
    }
    // 5.
    Geom* g = con->lod[0];
    if (!g || !g->faces) return;
    GeomFace* f = g->faces;
    for (int n = 0; n < g->faceCount; ++n, f = NextFace(f)) {
        FaceVertex* v = FaceVerts(f);
        for (int k = 0; k < f->vertexCount; ++k)
            if (v[k].point) v[k].u = start + float(v[k].point->colour[0]) / 255.0f * (end - start);
    }
}

}  // namespace

uintptr_t Trail_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE: {
            construct* made = PjtCreateMember(kTrail, Dir(arg), "trail", SetupTrail);
            made->effectPhase = 0;
            return reinterpret_cast<uintptr_t>(made);
        }
        case ItfcMethod::TICK:
            TickTrail(con);
            return 0;
        case ItfcMethod::ATTACH:
            AttachTrail(con, arg);
            return 0;
        case ItfcMethod::SETPARAMS:
            LinkTrail(con, reinterpret_cast<construct*>(arg));
            return 0;
        case ItfcMethod::GETSTATE:
            return 0;
        case ItfcMethod::DESTROY:
            if (con->flags & kConBusy) UnMakeBuzy(con);
            DeactivateConstruct(con);
            CreateQZEvent(QZEventKind::Free, con);
            return 0;
        case ItfcMethod::COPYITFCDATA: {
            const uintptr_t copy = PjtMember_itfc(kTrail, con, method, arg);
            reinterpret_cast<TrailBlock*>(copy)->next = nullptr;  // a copy heads no chain
            return copy;
        }
        case ItfcMethod::SETITFCDATA: {
            construct* next = Mark(con)->next;  // only the target opacity is taken over
            PjtMember_itfc(kTrail, con, method, arg);
            Mark(con)->next = next;
            return 0;
        }
        default:
            return PjtMember_itfc(kTrail, con, method, arg);
    }
}

uintptr_t Wave_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE: {
            construct* made = PjtCreateMember(kWave, Dir(arg), "", SetupWave);
            made->effectPhase = 255;
            return reinterpret_cast<uintptr_t>(made);
        }
        case ItfcMethod::TICK:
            TickWave(con);
            return 0;
        case ItfcMethod::ATTACH:
            weapons::DrapeDecal(con, weapons::Drape::Wave);
            return 0;
        case ItfcMethod::DESTROY:
            if (con->flags & kConBusy) UnMakeBuzy(con);
            DeactivateConstruct(con);
            if (arg == 0)
                FreeConstruct(con);
            else
                CreateQZEvent(QZEventKind::Free, con);
            return 0;
        case ItfcMethod::SETITFCDATA:
            // The counter only: the ramps stay the wave's own.
            if (const auto* in = reinterpret_cast<const uint8_t*>(arg)) {
                SavedWords w{nullptr, in, 0, 4};
                w.I32(&WaveOf(con)->counter);
            }
            return 0;
        default:
            return PjtMember_itfc(kWave, con, method, arg);
    }
}
