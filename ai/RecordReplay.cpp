// Record/replay of cut scenes: the scenes, tracks and segments, the run's state, and the two calls of the
// busy-pool update that feed a tracked unit its recorded records and record the recorded unit's.
#include "ai/RecordReplay.h"

#include <cstring>

#include "ai/AUDef.h"
#include "ai/Clan.h"
#include "ai/RecordReplay_local.h"
#include "core/Keys.h"
#include "core/Memory.h"
#include "objects/Itfc.h"
#include "objects/UnitShare.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Level.h"
#include "world/Player.h"
#include "world/WorldTick.h"

CutScene* CutSceneTable[kMaxCutScenes] = {};
int32_t CutSceneCount = 0;
int32_t RecordReplayActive = 0;
int32_t RecordReplayRunning = 0;
construct* RecordedConstruct = nullptr;
int32_t RecordReplaySkip = 0;
int32_t RecordReplayFrame = 0;
int32_t RecordReplayCleanView = 0;
int32_t RecordReplayInputReplayed = 0;

namespace recordreplay {

CutTrack* TrackOf(const construct* con) { return con ? static_cast<CutTrack*>(con->cutTrack) : nullptr; }

TrackSeg* NewTrackSeg(construct* unit, int32_t start) {
    auto* seg = static_cast<TrackSeg*>(qzAlloc(sizeof(TrackSeg), "TrackSeg"));
    std::memset(seg, 0, sizeof *seg);
    seg->unit = unit;
    seg->start = seg->end = start;
    seg->inputCapacity = kInputListStart;
    seg->inputs = static_cast<ControlInput*>(qzAlloc(kInputListStart * int(sizeof(ControlInput)), "Input List"));
    std::memset(seg->inputs, 0, kInputListStart * sizeof(ControlInput));
    return seg;
}

void FreeTrackSeg(TrackSeg* seg) {
    if (!seg) return;
    qzFree(seg->data);
    qzFree(seg->inputs);
    qzFree(seg);
}

void ApplyKeyframe(TrackSeg* seg) {
    construct* unit = seg->unit;
    if (!unit) return;  // the unit has been destroyed since the keyframe was taken
    if (seg->worldState) RecordReplayGame.setWorldState(seg);
    CallItfc(unit, ItfcMethod::SETITFCDATA, reinterpret_cast<uintptr_t>(seg->data));
    std::memcpy(unit->orient, seg->orient, sizeof unit->orient);
    std::memcpy(unit->pos, seg->pos, sizeof unit->pos);
    if (UnitShare* rec = GetUnitShare(unit)) rec->status = seg->status;
}

}  // namespace recordreplay

using namespace recordreplay;

namespace {

constexpr int kShiftCode = 276;  // "SHIFT_KEY", either side

// The segment of a track that covers the frame, or null.
TrackSeg* SegmentAt(const CutTrack* track, int32_t frame) {
    for (int i = 0; i < track->segCount; ++i)
        if (track->segs[i]->start <= frame && frame < track->segs[i]->end) return track->segs[i];
    return nullptr;
}

int32_t TrackLength(const CutTrack* track) {
    int32_t sum = 0;
    for (int i = 0; i < track->segCount; ++i) sum += track->segs[i]->end - track->segs[i]->start;
    return sum;
}

void FreeTrack(CutTrack* track) {
    for (int i = 0; i < track->segCount; ++i) FreeTrackSeg(track->segs[i]);
    if (track->unit && track->unit->cutTrack == track) track->unit->cutTrack = nullptr;
    qzFree(track->segs);
}

}  // namespace

CutScene* CreateCutScene(AUDef* au) {
    if (CutSceneCount >= kMaxCutScenes) FatalError("Error(CreateCutScene): Too many cut scenes");
    if (!au || !au->placed || !au->pool) FatalError("Error(CreateCutScene): apply MOVETO method to AU first");
    auto* scene = static_cast<CutScene*>(qzAlloc(sizeof(CutScene), "Cut Scene"));
    scene->au = au;
    scene->trackCount = au->pool->count;
    scene->tracks = nullptr;
    if (scene->trackCount > 0) {
        scene->tracks = static_cast<CutTrack*>(qzAlloc(scene->trackCount * int(sizeof(CutTrack)), "Cut Tracks"));
        for (int i = 0; i < scene->trackCount; ++i) {
            CutTrack& t = scene->tracks[i];
            t.segCount = 0;
            t.segs = static_cast<TrackSeg**>(qzAlloc(kMaxTrackSegs * int(sizeof(TrackSeg*)), "Track Segs"));
            std::memset(t.segs, 0, kMaxTrackSegs * sizeof(TrackSeg*));
            t.unit = au->pool->constructs[i];
            t.unit->cutTrack = &t;
        }
    }
    CutSceneTable[CutSceneCount++] = scene;
    return scene;
}

void FreeCutScene(CutScene* scene) {
    if (!scene) return;
    for (int i = 0; i < scene->trackCount; ++i) FreeTrack(&scene->tracks[i]);
    qzFree(scene->tracks);
    for (int i = 0; i < CutSceneCount; ++i)
        if (CutSceneTable[i] == scene) {
            CutSceneTable[i] = CutSceneTable[--CutSceneCount];
            CutSceneTable[CutSceneCount] = nullptr;
            break;
        }
    qzFree(scene);
}

void FreeAllCutScenes() {
    while (CutSceneCount > 0) FreeCutScene(CutSceneTable[CutSceneCount - 1]);
}

TrackSeg* CreateTrackSeg(CutScene* scene, construct* unit) {
    (void)scene;
    CutTrack* track = TrackOf(unit);
    if (!track) FatalError("Error(CreateTrackSeg): con has no CutTrack");
    if (track->segCount >= kMaxTrackSegs) FatalError("Error(CreateTrackSeg): too many TrackSegs");
    TrackSeg* seg = NewTrackSeg(unit, TrackLength(track));
    track->segs[track->segCount++] = seg;
    return seg;
}

void RecordTrackSeg_start(CutScene* scene, TrackSeg* seg) {
    (void)scene;
    CutTrack* track = seg ? TrackOf(seg->unit) : nullptr;
    int index = -1;
    for (int i = 0; track && i < track->segCount; ++i)
        if (track->segs[i] == seg) index = i;
    if (index < 0) FatalError("Error(RecordTrackSeg_start): this TrackSeg is not present in this CutTrack");
    for (int i = index + 1; i < track->segCount; ++i) {
        FreeTrackSeg(track->segs[i]);
        track->segs[i] = nullptr;
    }
    track->segCount = index + 1;
    if (seg->worldState) RecordReplayGame.takeWorldState(seg);
    construct* unit = seg->unit;
    std::memcpy(seg->orient, unit->orient, sizeof seg->orient);
    std::memcpy(seg->pos, unit->pos, sizeof seg->pos);
    const UnitShare* rec = GetUnitShare(unit);
    seg->status = rec ? rec->status : 0;
    qzFree(seg->data);
    seg->data = nullptr;
    int32_t size = 0;
    seg->data = reinterpret_cast<uint8_t*>(CallItfc(unit, ItfcMethod::GETITFCDATA, reinterpret_cast<uintptr_t>(&size)));
    if (!seg->data) FatalError("Error(RecordTrackSeg_start): GETITFCDATA failed");
    seg->dataLength = static_cast<int32_t>(size);
    seg->inputCount = 0;
    seg->end = seg->start;
    RecordReplay_start(seg->start);
    RecordedConstruct = unit;
    ResyncTicks = 1;
}

void RecordReplay_start(int32_t frame) {
    if (RecordReplayRunning && RecordedConstruct) FatalError("Error(RecordReplay_start)");
    RecordReplayFrame = 0;
    RecordReplayRunning = 1;
    RecordReplayCleanView = KeyStateByte(kShiftCode) ? 1 : 0;
    if (frame > 0) RecordReplayGame.worldTick(frame, 1);
    RecordReplayRunning = 1;
}

void RecordReplay_stop() {
    RecordReplayRunning = RecordReplaySkip = RecordReplayCleanView = 0;
    RecordReplayExport = 0;
    if (PlayerUnit && OwnPlayer) {
        SampleInput(OwnPlayer, 0, 0);
        CallItfc(PlayerUnit, ItfcMethod::SETLOOK, reinterpret_cast<uintptr_t>(&OwnPlayer->unitNow));
    }
}

void RecordReplay_stopAt(CutScene* scene, TrackSeg* seg) {
    (void)scene;
    if (RecordReplayRunning && RecordedConstruct) {
        // The segment being recorded is the last of the recorded unit's track; a selection moved
        // elsewhere meanwhile must not get an end beyond its records.
        const CutTrack* track = TrackOf(RecordedConstruct);
        if (track && track->segCount > 0) seg = track->segs[track->segCount - 1];
        if (seg) seg->end = RecordReplayFrame;
        RecordedConstruct = nullptr;
    }
    RecordReplay_stop();
}

void RecordReplay_frame() {
    if (RecordReplayRunning && !RecordedConstruct && !RecordReplaySkip && !RecordReplayInputReplayed) {
        RecordReplay_stop();
        RecordReplayGame.message("end of record reached");
    }
    if (RecordReplayRunning && !RecordReplaySkip) ++RecordReplayFrame;
    RecordReplayInputReplayed = 0;
}

void ReceiveTrackedInput(construct* con, const ControlInput* record) {
    CutTrack* track = TrackOf(con);
    if (!track) FatalError("Error(ReceiveTrackedInput): con has no CutTrack");
    if (track->segCount < 1) FatalError("Error(ReceiveTrackedInput): con has no TrackSeg");
    TrackSeg* seg = track->segs[track->segCount - 1];
    seg->end = RecordReplayFrame;
    if (RecordReplayFrame < seg->start) FatalError("Error(ReceiveTrackedInput): recordee is before its time");
    if (RecordReplayFrame == seg->start && seg->data) ApplyKeyframe(seg);
    if (seg->inputCount >= seg->inputCapacity) {
        const int32_t capacity = seg->inputCapacity * 2;
        auto* list = static_cast<ControlInput*>(qzAlloc(capacity * int(sizeof(ControlInput)), "Input List"));
        std::memset(list, 0, size_t(capacity) * sizeof(ControlInput));
        std::memcpy(list, seg->inputs, size_t(seg->inputCount) * sizeof(ControlInput));
        qzFree(seg->inputs);
        seg->inputs = list;
        seg->inputCapacity = capacity;
    }
    seg->inputs[seg->inputCount++] = *record;
}

void SendTrackedInput(construct* con, ControlInput* record) {
    CutTrack* track = TrackOf(con);
    if (!track) FatalError("Error(SendTrackedInput): con has no CutTrack");
    if (track->segCount < 1) {
        ClearInput(record);
        return;
    }
    TrackSeg* seg = SegmentAt(track, RecordReplayFrame);
    TrackSeg* keyed = seg ? seg : track->segs[track->segCount - 1];
    if (RecordReplayFrame == keyed->start && keyed->data) ApplyKeyframe(keyed);
    if (!seg) {
        // The track is over: the unit coasts with the last stick positions and no keys. A last segment
        // that holds no record has no stick positions to give: the axes are zero then.
        const TrackSeg* last = track->segs[track->segCount - 1];
        ClearInput(record);
        if (last->inputCount > 0) std::memcpy(record->axes, last->inputs[last->inputCount - 1].axes, sizeof record->axes);
        return;
    }
    const int32_t i = RecordReplayFrame - seg->start;
    if (i >= seg->inputCount) FatalError("Error(SendTrackedInput): InputList range exceeded");
    *record = seg->inputs[i];
    RecordReplayInputReplayed = 1;
}

void ForgetCutSceneUnit(construct* con) {
    if (!con) return;
    for (int s = 0; s < CutSceneCount; ++s) {
        CutScene* scene = CutSceneTable[s];
        for (int t = 0; t < scene->trackCount; ++t) {
            CutTrack& track = scene->tracks[t];
            for (int i = 0; i < track.segCount; ++i)
                if (track.segs[i]->unit == con) track.segs[i]->unit = nullptr;
            if (track.unit == con) track.unit = nullptr;
        }
    }
    con->cutTrack = nullptr;
    if (RecordedConstruct == con) RecordedConstruct = nullptr;
}

TrackSeg* CoveringTrackSeg(construct* con) {
    const CutTrack* track = TrackOf(con);
    if (!track) return nullptr;
    // The segment being recorded ends at the current frame until the frame has passed: it is the one
    // that covers the frame for the recorded unit.
    if (RecordReplayRunning && con == RecordedConstruct && track->segCount > 0) {
        TrackSeg* last = track->segs[track->segCount - 1];
        if (last->start <= RecordReplayFrame && RecordReplayFrame <= last->end) return last;
    }
    return SegmentAt(track, RecordReplayFrame);
}
