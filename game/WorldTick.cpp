// The world tick. Each call first does the per-call work (clock, animations, the player's input, the
// AI), then runs the per-tick steps once per tick, then moves the ambient sounds and the listener.
#include "game/WorldTick.h"

#include <cstring>

#include "ai/AIStubs.h"
#include "ai/Clan.h"
#include "ai/DayEvents.h"
#include "ai/RecordReplay.h"
#include "hud/MessageLog.h"
#include "hud/TFView.h"
#include "net/Multiplayer.h"
#include "objects/SceneryLighting.h"
#include "platform/Sound.h"
#include "platform/SoundFx.h"
#include "platform/Texture.h"
#include "render/Sky.h"
#include "render/Viewport.h"
#include "render/Weather.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "game/Level.h"
#include "world/QZEvent.h"
#include "world/Collide.h"
#include "world/SceneryFx.h"
#include "world/Terrain.h"

int32_t HalfTick = 0;
float SecondsPerTick = 5.0f;
float GameClockSeconds = 0.0f;
TexAnim* WaterAnim = nullptr;
Tex* WaterTex = nullptr;
TexAnim* WaterAnim2 = nullptr;
Tex* WaterTex2 = nullptr;
int32_t WaterFrame = 0;
int32_t WaterFrame2 = 0;
int32_t TickIndex = -1;
int32_t TickCount = -1;
TickInput InputBlock;
int32_t Fire1Armed = 0;
int32_t Fire2Armed = 0;
ControlInput Fire1Seen;
ControlInput Fire2Seen;
uint32_t PlayerRestrictions = 0xffffffffu;
int32_t ListenerPosition[3];

namespace {

// Constructs whose TICK takes control records (a player's or the AI's).
constexpr uint32_t kInputDriven = 0x40000;
// Player unit flag that forces key bit 21 while a panel is open.
constexpr uint32_t kPanelKeyFlag = 0x4000;

// The water texture shows the animation's frame of the tick counter (a frame per 16 ticks).
void AnimateWater(TexAnim* anim, Tex* tex, int32_t* frame) {
    if (!anim || !tex || anim->frameCount <= 0) return;
    *frame = static_cast<int32_t>(FrameCounter >> 4) % anim->frameCount;
    tex->surface = anim->frames[*frame];
}

// Keeps only key bits 6, 9, 10 and 11 of a record; every other bit and every axis is 0.
void KeepPanelKeys(ControlInput* in) {
    ControlInput kept;
    ClearInput(&kept);
    for (int bit : {6, 9, 10, 11}) SetInputKey(&kept, bit, InputKeyDown(*in, bit));
    *in = kept;
}

bool AnyPanelOpen() {
    return PlayerTFView &&
           (PlayerTFView->panels[0] != 0 || PlayerTFView->panels[1] != 0 || PlayerTFView->panels[2] != 0);
}

// The player's input into OwnPlayer's records for this call.
void PlayerInput(int ticks) {
    if (!OwnPlayer) return;
    if (!PlayerUnit) {
        SampleUnitInput2(OwnPlayer);
        TacticalMapFrame(PlayerTFView, OwnPlayer, ticks);
        return;
    }
    if (!ChatInputActive) SampleUnitInput(OwnPlayer, ticks);
    GateFireKey(&OwnPlayer->unitNow, kInputFire1, &Fire1Armed, &Fire1Seen);
    GateFireKey(&OwnPlayer->unitNow, kInputFire2, &Fire2Armed, &Fire2Seen);
    if (AnyPanelOpen()) {
        KeepPanelKeys(&OwnPlayer->unitBefore);
        KeepPanelKeys(&OwnPlayer->unitNow);
        if (PlayerUnit->flags & kPanelKeyFlag) SetInputKey(&OwnPlayer->unitNow, 21, true);
    }
    if (!(PlayerRestrictions & 0x1)) {
        ClearInput(&OwnPlayer->unitBefore);
        ClearInput(&OwnPlayer->unitNow);
    }
    PlayerViewInput(PlayerTFView, OwnPlayer, ticks);
}

// Remote players' queued inputs, one entry per player and tick.
void ReplayRemoteInputs() {
    for (int i = 0; i < PlayerCount; ++i) {
        PlayerCell* cell = PlayerTable[i];
        if (cell != OwnPlayer && cell->remoteCount > 0) ReplayRemoteInput(cell);
    }
}

void UpdateBusyPools(int tick, int ticks) {
    TickIndex = tick;
    TickCount = ticks;
    BuzyGuard = 1;
    UpdateConstructPool(BuzyPools[0]);
    if ((FrameCounter & 1) == 0) UpdateConstructPool(BuzyPools[1]);
    if ((FrameCounter & 3) == 0) UpdateConstructPool(BuzyPools[2]);
    if ((FrameCounter & 7) == 0) UpdateConstructPool(BuzyPools[3]);
    BuzyGuard = 0;
    TickIndex = TickCount = -1;
}

// The listener follows the main camera; its velocity is the camera's move per tick, 0 while the main
// view follows the player's camera construct.
void MoveListener(int ticks) {
    if (ticks <= 0 || !MainViewPort) return;
    const FixVec& camera = MainViewPort->cameraPos;
    const int32_t pos[3] = {camera.x, camera.y, camera.z};
    int32_t velocity[3] = {0, 0, 0};
    if (!SatCamera || MainViewPort->follows != SatCamera)
        for (int i = 0; i < 3; ++i) velocity[i] = (pos[i] - ListenerPosition[i]) / ticks;
    for (int i = 0; i < 3; ++i) ListenerPosition[i] = pos[i];
    int32_t orientation[3][3];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) orientation[r][c] = MainViewPort->view.m[r * 3 + c];
    dxgl_SetListener(ListenerPosition, velocity, orientation);
}

}  // namespace

void GateFireKey(ControlInput* now, int bit, int32_t* armed, ControlInput* seen) {
    if (!InputKeyDown(*now, bit)) *armed = 1;
    if (*armed == 0 || !(PlayerRestrictions & 0x200)) {
        if (InputKeyDown(*now, bit) && !InputKeyDown(*seen, bit)) PlayCannotFireSound();
        *seen = *now;
        SetInputKey(now, bit, false);
    } else {
        *seen = *now;
    }
}

void WorldTick(int ticks, int runDayEvents) {
    SetGameClock(static_cast<float>(ticks) * SecondsPerTick + GameClockSeconds);
    AnimateWater(WaterAnim, WaterTex, &WaterFrame);
    AnimateWater(WaterAnim2, WaterTex2, &WaterFrame2);
    UpdateMessageLog(ticks);
    ChatInputKeys();
    AdvanceClouds(ticks);
    AdvanceSkyFade(ticks);
    MoveDrops(ticks);
    UpdateSceneryLighting(ticks);
    UpdateStandStillTimer(ticks);
    PlayerInput(ticks);
    dxgl_UpdateSoundVolumes(ticks);
    aistubs_Tick(ticks);

    for (int i = 0; i < ticks; ++i) {
        ++FrameCounter;
        HalfTick = static_cast<int32_t>(FrameCounter) >> 1;
        const bool every32 = (FrameCounter & 31) == 0;
        if (every32 && !RecordReplayActive && !MultiplayerOn)
            for (int c = 0; c < ClanCount; ++c) UpdateClanStatus(ClanTable[c]);
        if (MultiplayerOn) ReplayRemoteInputs();
        CollideUnits();
        if (runDayEvents) DayEventScheduler();
        if (every32) DetectThreats();
        UpdateBusyPools(i, ticks);
        FlushQZEvents();
        if (RecordReplayActive) RecordReplay_frame();
    }

    UpdateSceneryFxs();
    MoveListener(ticks);
}

void UpdateConstructPool(ConstructPool* pool) {
    if (!pool) return;
    // The count is read again each step: members appended by a TICK are ticked in the same walk.
    for (int i = 0; i < pool->count; ++i) {
        construct* con = pool->constructs[i];
        if (!(con->flags & kInputDriven)) {
            CallItfc(con, ItfcMethod::TICK, reinterpret_cast<uintptr_t>(&InputBlock));
            continue;
        }
        const bool tracked = RecordReplayRunning && con->cutTrack && con != RecordedConstruct;
        if (!tracked) {
            if (PlayerCell* cell = con->playerCell) {
                InputBlock.records[0] = TickIndex == 0 ? cell->unitBefore : cell->unitNow;
                InputBlock.records[1] = cell->unitNow;
            } else {
                ClearInput(&InputBlock.records[0]);
                CallItfc(con, ItfcMethod::STEERAI, reinterpret_cast<uintptr_t>(&InputBlock.records[1]));
            }
            if (RecordReplayRunning && !RecordReplaySkip && con == RecordedConstruct)
                ReceiveTrackedInput(con, &InputBlock.records[1]);
        } else {
            if (RecordReplaySkip) continue;
            ClearInput(&InputBlock.records[0]);
            SendTrackedInput(con, &InputBlock.records[1]);
        }
        CallItfc(con, ItfcMethod::TICK, reinterpret_cast<uintptr_t>(&InputBlock));
    }
}
