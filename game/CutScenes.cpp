// The world's side of record/replay: the world state of a keyframe, the messages, and the panel that
// shows the cut scenes, their tracks and segments over the main view, turns the keypad keys into the
// record/replay operations, asks for texts on the text-input line and exports the replay as bitmaps.
#include "game/CutScenes.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "ai/AUDef.h"
#include "ai/DayEvents.h"
#include "ai/RecordReplay.h"
#include "core/FixMath.h"
#include "core/Keys.h"
#include "core/Package.h"
#include "core/Rules.h"
#include "hud/MessageLog.h"
#include "hud/MousePtr.h"
#include "hud/TFView.h"
#include "objects/SceneryLighting.h"
#include "objects/Units.h"
#include "platform/Bitmap.h"
#include "platform/Dxgl.h"
#include "render/ScreenText.h"
#include "render/Sky.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "game/Level.h"
#include "render/Snapshot.h"
#include "game/WorldTick.h"

CutScene* PanelScene = nullptr;
TrackSeg* PanelSegment = nullptr;
char ExportFolder[128] = "";
int32_t ExportNumber = 0;

namespace {

// The panel's inputs by key code, in the order of PanelInput.
enum PanelInput : int {
    kRecord, kReplay, kStartTime, kNewSegment, kStop, kPause, kNextSegment, kPreviousSegment, kTruncate, kLoad,
    kSave, kSelect, kPanelInputs
};
constexpr int kPanelKeyCodes[] = {55, 77, 81, 78, 76, 25, 80, 72, 211, 87, 88, 256};
static_assert(std::size(kPanelKeyCodes) == kPanelInputs);
constexpr int kShiftCode = 276;
constexpr int kAltCode = 274;

uint8_t InputBefore[kPanelInputs];
uint8_t InputNow[kPanelInputs];

const uint8_t kNormalColour[4] = {154, 154, 255, 255};
const uint8_t kSelectedColour[4] = {255, 128, 128, 255};
const uint8_t kWhiteColour[4] = {255, 255, 255, 255};

bool Pressed(int input) { return InputNow[input] && !InputBefore[input]; }

void ReadInputs() {
    std::memcpy(InputBefore, InputNow, sizeof InputNow);
    for (int i = 0; i < kPanelInputs; ++i) InputNow[i] = ChatInputActive ? 0 : (KeyStateByte(kPanelKeyCodes[i]) ? 1 : 0);
}

bool Held(int code) { return !ChatInputActive && KeyStateByte(code) != 0; }

// The track of the unit that the player drives, when it has one.
CutTrack* PlayerTrack() { return PlayerUnit ? static_cast<CutTrack*>(PlayerUnit->cutTrack) : nullptr; }

bool SceneHoldsPlayer(const CutScene* scene) {
    return scene && PlayerUnit && scene->au && scene->au->pool && IsInConstructPool(PlayerUnit, scene->au->pool);
}

// The row's colour: lit when the mouse pointer stands on it, else the given one. True under the pointer.
bool LineColour(int32_t row, const uint8_t* colour) {
    const bool under = SetMenuLineColor(GetMousePtrY(), row) != 0;
    if (!under) SetTextColor(colour);
    return under;
}

bool Selecting() { return Held(kPanelKeyCodes[kSelect]) && Held(kShiftCode); }

void DrawScenes() {
    SetTextColor(kNormalColour);
    DrawTextGridf(3, 1, "Cut Scenes:");
    for (int i = 0; i < CutSceneCount; ++i) {
        CutScene* scene = CutSceneTable[i];
        const int32_t row = 3 + i;
        if (LineColour(row, scene == PanelScene ? kSelectedColour : kNormalColour) && Selecting()) {
            PanelScene = scene;
            PanelSegment = nullptr;
            UpdateTFSelection(PlayerTFView);
        }
        DrawTextGridf(3, row, "%d: %s", i + 1, scene->au ? scene->au->name : "");
    }
}

void DrawTracks() {
    if (!PanelScene) return;
    SetTextColor(kNormalColour);
    DrawTextGridf(3, 15, "Tracks:");
    int32_t row = 17;
    for (int t = 0; t < PanelScene->trackCount; ++t) {
        const CutTrack& track = PanelScene->tracks[t];
        const construct* unit = track.unit;
        const bool white = unit && (unit == PlayerUnit || (unit->flags & 0x100000u));
        SetTextColor(white ? kWhiteColour : kNormalColour);
        DrawTextGridf(3, row++, "%d: %s", t + 1, unit ? UnitNameOf(unit) : "(gone)");
        for (int k = 0; k < track.segCount; ++k, ++row) {
            TrackSeg* seg = track.segs[k];
            if (LineColour(row, seg == PanelSegment ? kSelectedColour : kNormalColour) && Selecting()) PanelSegment = seg;
            int32_t a[3], b[3];
            SplitFrameTime(seg->start, a);
            SplitFrameTime(seg->end, b);
            const char* suffix = "";
            if (k == track.segCount - 1 && unit && unit == PlayerUnit && unit == RecordedConstruct)
                suffix = "...RECORDING";
            else if (RecordReplayRunning && seg->start <= RecordReplayFrame && RecordReplayFrame < seg->end)
                suffix = "...REPLAYING";
            else if (seg->worldState == 1)
                suffix = " (sets world state)";
            DrawTextGridf(5, row, "seg %d (%02d:%02d:%02d to %02d:%02d:%02d)%s", k + 1, a[0], a[1], a[2], b[0], b[1],
                          b[2], suffix);
        }
        ++row;
    }
}

void DrawState() {
    SetTextColor(kNormalColour);
    const char* title = !RecordReplayRunning ? "Record/Replay standby"
                        : RecordedConstruct  ? (RecordReplaySkip ? "Record/Replay RECORDING (PAUSED)" : "Record/Replay RECORDING")
                                             : (RecordReplaySkip ? "Record/Replay REPLAYING (PAUSED)" : "Record/Replay REPLAYING");
    DrawTextGridf(20, 6, "%s", title);
    int32_t t[3];
    SplitFrameTime(RecordReplayFrame, t);
    DrawTextGridf(20, 8, "time: %02d:%02d:%02d", t[0], t[1], t[2]);
    DrawScenes();
    DrawTracks();
}

// The next or previous segment of the player's track (the first when the selection is elsewhere).
void StepSegment(int direction) {
    CutTrack* track = PlayerTrack();
    if (!track || track->segCount < 1) return;
    int index = -1;
    for (int i = 0; i < track->segCount; ++i)
        if (track->segs[i] == PanelSegment) index = i;
    if (index < 0) index = 0;
    else index = std::clamp(index + direction, 0, track->segCount - 1);
    PanelSegment = track->segs[index];
}

// The selection forgets a scene or segment that a load or a truncation has freed.
void CheckSelection() {
    bool sceneFound = false, segmentFound = false;
    for (int i = 0; i < CutSceneCount; ++i)
        if (CutSceneTable[i] == PanelScene) sceneFound = true;
    if (!sceneFound) PanelScene = nullptr;
    for (int t = 0; PanelScene && t < PanelScene->trackCount; ++t)
        for (int k = 0; k < PanelScene->tracks[t].segCount; ++k)
            if (PanelScene->tracks[t].segs[k] == PanelSegment) segmentFound = true;
    if (!segmentFound) PanelSegment = nullptr;
}

void Prompt(const char* text, intptr_t mode) { BeginChatInput(RecordReplayCommand, text, mode); }

void ExportFrame() {
    if (!RecordReplayExport || !ScrollLockOn()) return;
    char name[192];
    std::snprintf(name, sizeof name, "%s\\sd%08d.bmp", ExportFolder, ExportNumber);
    if (!qzpk_exists(name) && BackBuffer) dxgl_ExportSurface_bmp(BackBuffer, name);
    ++ExportNumber;
}

}  // namespace

void TakeCutSceneWorldState(TrackSeg* seg) {
    seg->clock = GameClockSeconds;
    seg->timedCursor = TimedEventCursor;
    seg->dailyCursor = DailyEventCursor;
    seg->cloudLevel = CloudCover;
    seg->cloudRate = CloudCoverRate;
    seg->starLevel = SkyFade;
    seg->starRate = SkyFadeRate;
    seg->sceneryLevel = SceneryLightingLevel;
    seg->sceneryRate = SceneryLightingRate;
}

void SetCutSceneWorldState(const TrackSeg* seg) {
    SetGameClock(seg->clock);
    TimedEventCursor = seg->timedCursor;
    DailyEventCursor = seg->dailyCursor;
    CloudCover = seg->cloudLevel;
    CloudCoverRate = seg->cloudRate;
    SkyFade = seg->starLevel;
    SkyFadeRate = seg->starRate;
    SetSceneryLightingLevel(seg->sceneryLevel);
    SceneryLightingRate = seg->sceneryRate;
}

void CutSceneMessage(const char* format, ...) {
    char text[256];
    std::va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    char line[300];
    std::snprintf(line, sizeof line, "%27s%s", "", text);
    ShowMessage(line, "");
}

void SplitFrameTime(int32_t frame, int32_t out[3]) {
    out[0] = frame / 6000;
    out[1] = (frame / 100) % 60;
    out[2] = frame % 100;
}

int32_t ParseFrameTime(const char* text) {
    if (!text || std::strlen(text) < 6) return 0;
    int32_t parts[3];
    for (int i = 0; i < 3; ++i) {
        char pair[3] = {text[2 * i], text[2 * i + 1], 0};
        parts[i] = static_cast<int32_t>(std::strtol(pair, nullptr, 10));
    }
    return parts[0] * 6000 + parts[1] * 100 + parts[2];
}

void ResetRecordReplayPanel() {
    RecordReplayFrame = RecordReplayCleanView = RecordReplayInputReplayed = 0;
    PanelScene = nullptr;
    PanelSegment = nullptr;
    RecordReplayExport = 0;
    ExportNumber = 0;
    std::memset(InputBefore, 0, sizeof InputBefore);
    std::memset(InputNow, 0, sizeof InputNow);
}

void RecordReplayCommand(const char* text, intptr_t mode) {
    if (!text) return;
    switch (mode) {
        case 1:
            if (text[0] && text[0] != '\n' && PanelSegment) {
                const int32_t t = ParseFrameTime(text);
                if (PanelSegment->start <= t && t < PanelSegment->end) {
                    PanelSegment->end = t;
                    PanelSegment->inputCount = t - PanelSegment->start;
                }
            }
            break;
        case 2:
            if (LoadScene(text)) {
                PanelScene = nullptr;
                PanelSegment = nullptr;
                CutSceneMessage("scene '%s' loaded", text);
            } else {
                CutSceneMessage("ERROR: load failed!");
            }
            break;
        case 3:
            if (SaveScene(text)) CutSceneMessage("scene '%s' saved", text);
            else CutSceneMessage("ERROR: save failed!");
            break;
        case 4: {
            const int32_t t = ParseFrameTime(text);
            if (t < 0) break;
            RecordReplay_start(t);
            ResyncTicks = 1;
            break;
        }
        case 5:
            std::snprintf(ExportFolder, sizeof ExportFolder, "%s", text);
            RecordReplayExport = 1;
            if (const Rule* r = FindRule("recordreplay_ticksbetweenframes"); r && r->count > 0)
                RecordReplayTicksPerFrame = TruncateToInt32(r->values[0]);
            ExportNumber = 0;
            RecordReplay_start(0);
            ResyncTicks = 1;
            break;
        default:
            break;
    }
}

void DrawRecordReplayPanel() {
    ReadInputs();
    CheckSelection();
    const bool hidden = RecordReplayExport || SnapshotRendering || RecordReplayCleanView;
    if (!hidden) DrawState();
    const bool shift = Held(kShiftCode);
    if (!hidden) {
        if (Pressed(kRecord) && SceneHoldsPlayer(PanelScene) && PanelSegment && !RecordReplayRunning) {
            if (shift) PanelSegment->worldState = 1;
            RecordTrackSeg_start(PanelScene, PanelSegment);
        }
        if (Pressed(kReplay) && PanelScene && !RecordReplayRunning) {
            if (Held(kAltCode)) {
                Prompt("folder:", 5);
                return;
            }
            RecordReplay_start(PanelSegment ? PanelSegment->start : 0);
            ResyncTicks = 1;
        }
        if (Pressed(kStartTime) && PanelScene && !RecordReplayRunning) Prompt("start time:", 4);
        if (Pressed(kNewSegment) && PanelScene && !RecordReplayRunning && PlayerTrack()) {
            PanelSegment = CreateTrackSeg(PanelScene, PlayerUnit);
            PanelSegment->worldState = shift ? 1 : 0;
        }
    }
    if (Pressed(kStop)) {
        if (RecordReplayRunning && RecordedConstruct) RecordReplay_stopAt(PanelScene, PanelSegment);
        else RecordReplay_stop();
    }
    if (Pressed(kPause) && RecordReplayRunning) RecordReplaySkip = !RecordReplaySkip;
    if (Pressed(kNextSegment) && !RecordReplayRunning) StepSegment(1);
    if (Pressed(kPreviousSegment) && !RecordReplayRunning) StepSegment(-1);
    if (Pressed(kTruncate) && !RecordReplayRunning && PanelSegment) Prompt("truncate at:", 1);
    if (Pressed(kLoad) && !RecordReplayRunning) Prompt("file to load:", 2);
    if (Pressed(kSave) && !RecordReplayRunning) Prompt("file to save as:", 3);
    ExportFrame();
}
