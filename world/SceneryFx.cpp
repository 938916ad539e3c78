#include "world/SceneryFx.h"

#include <cstdio>
#include <cstring>

#include "core/Memory.h"
#include "core/Rules.h"
#include "platform/SoundFx.h"

SceneryFx* SceneryFxTable[kMaxSceneryFxs];
int SceneryFxCount = 0;

namespace {

GroundHeightFn g_ground = nullptr;
// The velocity every source hands to its sound: the sources do not move by themselves.
const int32_t kSharedVelocity[3] = {0, 0, 0};

// A source that follows the camera takes its position; every source stands on the lower ground.
void PlaceSource(SceneryFx* fx) {
    if (!fx->fixed) {
        int32_t camera[3];
        if (SoundCameraPosition(camera)) memcpy(fx->position, camera, sizeof camera);
    }
    if (g_ground) fx->position[1] = g_ground(fx->position[0], fx->position[2]);
}

}  // namespace

void SetSceneryFxGround(GroundHeightFn ground) { g_ground = ground; }

SceneryFx* CreateSceneryFx(const char* ruleName) {
    if (SceneryFxCount >= kMaxSceneryFxs) FatalError("Error(CreateSceneryFx): Too many SceneryFxs");
    Rule* rule = NamedRule(ruleName);
    auto* fx = static_cast<SceneryFx*>(qzAlloc(sizeof(SceneryFx), "SceneryFx"));
    memset(fx, 0, sizeof *fx);
    snprintf(fx->name, sizeof fx->name, "%s", ruleName);
    fx->looped = RuleHasInfo(rule, "LOOPED") ? 1 : 0;
    fx->fixed = rule->count >= 4 ? 1 : 0;
    SoundDesc& s = fx->sound;
    snprintf(s.file, sizeof s.file, "%s", rule->info[0] ? rule->info[0] : "");
    float distance = rule->count > 0 ? rule->values[0] : 0.0f;
    float frequency = rule->count > 1 ? rule->values[1] : 0.0f;
    s.minDistance = TruncateToInt32(distance);
    s.maxDistance = TruncateToInt32(static_cast<double>(distance * 10.0f));
    s.lowFrequency = TruncateToInt32(frequency);
    s.highFrequency = TruncateToInt32(frequency);
    if (fx->fixed) {
        fx->position[0] = TruncateToInt32(static_cast<double>(rule->values[2]) * 65536.0);
        fx->position[2] = TruncateToInt32(static_cast<double>(rule->values[3]) * 65536.0);
    }
    PlaceSource(fx);

    if (fx->looped) {
        if (PlaySampleFor(&s, kSoundPositional, 1, 1)) {
            dxgl_Set3DSound(s.buffer, fx->position, kSharedVelocity, 0, 0, 0, 0);
            dxgl_UpdateSoundVolumes(0);
        }
    } else if (PlaySampleForEx(&s, kSoundPositional, 0, 0, 0)) {
        dxgl_SetSoundPosition(&s, fx->position, kSharedVelocity, 0, 0);
    }
    SceneryFxTable[SceneryFxCount++] = fx;
    return fx;
}

void DeleteSceneryFx(SceneryFx* fx) {
    for (int i = 0; i < SceneryFxCount; ++i) {
        if (SceneryFxTable[i] != fx) continue;
        SceneryFxTable[i] = SceneryFxTable[--SceneryFxCount];
        SceneryFxTable[SceneryFxCount] = nullptr;
        // A one-shot sound that has ended was freed with it: only a live buffer is released.
        if (dxgl_DescSound(&fx->sound)) dxgl_FreeSound(&fx->sound.buffer);
        qzFree(fx);
        return;
    }
}

SceneryFx* NamedSceneryFx(const char* name) {
    for (int i = 0; i < SceneryFxCount; ++i)
        if (strcmp(SceneryFxTable[i]->name, name) == 0) return SceneryFxTable[i];
    return nullptr;
}

void UpdateSceneryFxs() {
    for (int i = 0; i < SceneryFxCount; ++i) {
        SceneryFx* fx = SceneryFxTable[i];
        if (!fx->fixed) PlaceSource(fx);
        dxgl_SetSoundPosition(&fx->sound, fx->position, kSharedVelocity, 0, 0);
    }
}
