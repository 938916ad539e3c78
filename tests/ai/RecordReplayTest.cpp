// Record/replay on the demo mission "Cutscene" (record/replay mode, the convoy's cut scene of two
// jeeps): recording, replaying, pausing, stopping and truncating segments, the input lists, keyframes,
// scene files written, read and refused, and a recorded drive replayed tick for tick.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "ai/RecordReplay.h"
#include "objects/MovieCamera.h"
#include "host/Fs.h"
#include "host/Input.h"
#include "tools/datakit/Bytes.h"
#include "tools/datakit/SceneFile.h"
#include "vehicles/DemoLevel.h"
#include "game/CutScenes.h"
#include "world/TickCounter.h"

namespace kvtest {
namespace {

constexpr int kThrust = 14;

class CutSceneLevel : public DemoLevel {
public:
    CutSceneLevel() { mission_ = "Cutscene"; }

    CutScene* Scene() { return CutSceneCount > 0 ? CutSceneTable[0] : nullptr; }
    construct* Jeep(int i) { return UnitsOf("Cut_Convoy").at(size_t(i)); }
    // The jeep becomes the player's unit, driven by the test's records.
    void MakePlayerUnit(construct* jeep) {
        Drive(jeep);
        PlayerUnit = jeep;
    }
    void TearDown() override {
        PlayerUnit = nullptr;
        DemoLevel::TearDown();
    }
    struct Pose {
        std::array<int32_t, 3> pos;
        std::array<int32_t, 9> orient;
        bool operator==(const Pose&) const = default;
    };
    static Pose PoseOf(const construct* c) {
        Pose p;
        std::memcpy(p.pos.data(), c->pos, sizeof c->pos);
        std::memcpy(p.orient.data(), c->orient, sizeof c->orient);
        return p;
    }
    static ControlInput Steer(int16_t steer) { return Keys({kThrust}, steer); }
};

TEST_F(CutSceneLevel, TheLevelMakesTheConvoysCutSceneWithATrackPerJeep) {
    ASSERT_EQ(CutSceneCount, 1);
    EXPECT_EQ(Scene()->trackCount, 2);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(Jeep(i)->cutTrack, &Scene()->tracks[i]);
    EXPECT_TRUE(RecordReplayActive);
}

TEST_F(CutSceneLevel, ReplayOfAnEmptySceneEndsInItsFirstTick) {
    RecordReplay_start(0);
    EXPECT_TRUE(RecordReplayRunning);
    WorldTick(1, 1);
    EXPECT_FALSE(RecordReplayRunning);
    EXPECT_EQ(RecordReplayFrame, 0);
}

// The headless check: one run records two segments of the player's jeep and saves the scene; a second
// level of the same mission loads and replays it, and the jeep stands on every tick where it stood.
TEST_F(CutSceneLevel, ARecordedDriveReplaysTickForTickInAFreshLevel) {
    construct* jeep = Jeep(0);
    MakePlayerUnit(jeep);
    std::vector<Pose> recorded;
    auto record = [&](TrackSeg* seg, int ticks, const std::function<ControlInput(int)>& input) {
        RecordTrackSeg_start(Scene(), seg);
        ASSERT_EQ(RecordedConstruct, jeep);
        for (int i = 0; i < ticks; ++i) {
            Step(input(i));
            recorded.push_back(PoseOf(jeep));
        }
        RecordReplay_stopAt(Scene(), seg);
    };
    TrackSeg* first = CreateTrackSeg(Scene(), jeep);
    record(first, 150, [](int i) { return Steer(int16_t(i < 80 ? 12000 : -6000)); });
    EXPECT_EQ(first->start, 0);
    EXPECT_EQ(first->end, 150);
    EXPECT_EQ(first->inputCount, 150);
    TrackSeg* second = CreateTrackSeg(Scene(), jeep);
    EXPECT_EQ(second->start, 150);
    record(second, 120, [](int i) { return i < 60 ? Steer(-12000) : Keys({}, 3000); });
    EXPECT_EQ(second->end, 270);
    EXPECT_FALSE(RecordReplayRunning);
    const std::vector<uint8_t> saved = SaveSceneBytes();

    // The second run: the level built again, the scene loaded, the replay from frame 0.
    TeardownLevel();
    PlayerUnit = nullptr;
    std::snprintf(MissionName, sizeof MissionName, "Cutscene");
    InitLevel(0);
    FrameCounter = 0;
    ASSERT_EQ(LoadSceneBytes(saved.data(), saved.size()), 1);
    jeep = Jeep(0);
    RecordReplay_start(0);
    for (size_t i = 0; i < recorded.size(); ++i) {
        WorldTick(1, 1);
        ASSERT_EQ(PoseOf(jeep), recorded[i]) << "tick " << i;
    }
    WorldTick(1, 1);
    EXPECT_FALSE(RecordReplayRunning) << "the end of the record stops the replay";
}

TEST_F(CutSceneLevel, RecordPauseStopTruncateAndReRecord) {
    construct* jeep = Jeep(0);
    MakePlayerUnit(jeep);
    TrackSeg* seg = CreateTrackSeg(Scene(), jeep);
    RecordTrackSeg_start(Scene(), seg);
    Run(401, Steer(0));
    // The list starts at 200 and doubles when full: a 201st record makes 400, a 401st 800.
    EXPECT_EQ(seg->inputCount, 401);
    EXPECT_EQ(seg->inputCapacity, 800);
    // Paused: the frame counter stands and nothing is recorded.
    RecordReplaySkip = 1;
    Run(10, Steer(0));
    EXPECT_EQ(RecordReplayFrame, 401);
    EXPECT_EQ(seg->inputCount, 401);
    RecordReplaySkip = 0;
    RecordReplay_stopAt(Scene(), nullptr);
    EXPECT_EQ(seg->end, 401);
    EXPECT_EQ(RecordedConstruct, nullptr);

    // Truncating at a time inside the segment; a time at or after its end changes nothing.
    PanelScene = Scene();
    PanelSegment = seg;
    RecordReplayCommand("000150", 1);
    EXPECT_EQ(seg->end, 150);
    EXPECT_EQ(seg->inputCount, 150);
    RecordReplayCommand("000200", 1);
    EXPECT_EQ(seg->end, 150);
    RecordReplayCommand("000000", 1);
    EXPECT_EQ(seg->end, 0) << "truncating at the start leaves an empty segment";

    // Re-recording segment 2 of 4 drops segments 3 and 4.
    for (int i = 0; i < 3; ++i) CreateTrackSeg(Scene(), jeep);
    const CutTrack* track = static_cast<const CutTrack*>(jeep->cutTrack);
    ASSERT_EQ(track->segCount, 4);
    RecordTrackSeg_start(Scene(), track->segs[1]);
    EXPECT_EQ(track->segCount, 2);
    RecordReplay_stopAt(Scene(), nullptr);
}

TEST_F(CutSceneLevel, AFinishedTrackCoastsWithItsLastAxesAndNoKeys) {
    construct* jeep = Jeep(0);
    TrackSeg* seg = CreateTrackSeg(Scene(), jeep);
    ControlInput out = Steer(555);
    // A last segment without any record: no axes to coast with.
    RecordReplayFrame = 5;
    SendTrackedInput(jeep, &out);
    EXPECT_EQ(out.axes[0], 0);
    EXPECT_EQ(out.keys[kThrust / 8], 0);
    seg->inputs[0] = Steer(777);
    seg->inputs[1] = Steer(-321);
    seg->inputCount = 2;
    seg->end = 2;
    SendTrackedInput(jeep, &out);
    EXPECT_EQ(out.axes[0], -321);
    EXPECT_FALSE(InputKeyDown(out, kThrust));
    EXPECT_FALSE(RecordReplayInputReplayed);
    RecordReplayFrame = 1;
    SendTrackedInput(jeep, &out);
    EXPECT_EQ(out.axes[0], -321);
    EXPECT_TRUE(InputKeyDown(out, kThrust));
    EXPECT_TRUE(RecordReplayInputReplayed);
}

TEST_F(CutSceneLevel, ASegmentForgetsADestroyedUnitAndTeardownFreesTheScenes) {
    construct* jeep = Jeep(1);
    TrackSeg* seg = CreateTrackSeg(Scene(), jeep);
    ForgetCutSceneUnit(jeep);
    EXPECT_EQ(seg->unit, nullptr);
    EXPECT_EQ(Scene()->tracks[1].unit, nullptr);
    EXPECT_EQ(jeep->cutTrack, nullptr);
    construct* other = Jeep(0);
    ASSERT_NE(other->cutTrack, nullptr);
    TeardownLevel();
    EXPECT_EQ(CutSceneCount, 0);
    std::snprintf(MissionName, sizeof MissionName, "Cutscene");
    InitLevel(0);
}

TEST_F(CutSceneLevel, AKeyframeWithWorldStateSetsTheClockAndSkyAgain) {
    construct* jeep = Jeep(0);
    MakePlayerUnit(jeep);
    TrackSeg* seg = CreateTrackSeg(Scene(), jeep);
    seg->worldState = 1;
    const float clock = GameClockSeconds;
    RecordTrackSeg_start(Scene(), seg);
    Run(50, Steer(0));
    RecordReplay_stopAt(Scene(), seg);
    EXPECT_GT(GameClockSeconds, clock);
    RecordReplay_start(0);
    WorldTick(1, 1);
    EXPECT_FLOAT_EQ(GameClockSeconds, seg->clock);
    RecordReplay_stop();
}

// ---- Scene files ----------------------------------------------------------------------------------

class SceneFiles : public CutSceneLevel {
public:
    // A scene as the level holds it after a short recording of the first jeep.
    std::vector<uint8_t> Recorded() {
        construct* jeep = Jeep(0);
        MakePlayerUnit(jeep);
        TrackSeg* seg = CreateTrackSeg(Scene(), jeep);
        RecordTrackSeg_start(Scene(), seg);
        Run(30, Steer(4000));
        RecordReplay_stopAt(Scene(), seg);
        return SaveSceneBytes();
    }
};

TEST_F(SceneFiles, SaveLoadAndSaveAgainGiveTheSameBytes) {
    const std::vector<uint8_t> saved = Recorded();
    ASSERT_EQ(LoadSceneBytes(saved.data(), saved.size()), 1);
    EXPECT_EQ(SaveSceneBytes(), saved);
    // Through the file of the mission's name.
    ASSERT_EQ(SaveScene("take1"), 1);
    ASSERT_EQ(LoadScene("take1"), 1);
    EXPECT_EQ(SaveSceneBytes(), saved);
    EXPECT_EQ(LoadScene("no such take"), 0);
    EXPECT_EQ(SaveScene(""), 0);
    // The demo's shipped scene loads.
    EXPECT_EQ(LoadScene("demo"), 1);
    EXPECT_EQ(CutSceneTable[0]->tracks[1].segCount, 1);
}

TEST_F(SceneFiles, CorruptFilesAreRefusedAndTheScenesStayAsTheyWere) {
    const std::vector<uint8_t> good = Recorded();
    const CutScene* before = CutSceneTable[0];
    auto withI32 = [&](size_t at, int32_t v) {
        std::vector<uint8_t> b = good;
        for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(uint32_t(v) >> (8 * i));
        return b;
    };
    // Offsets in the recorded file: the scene's name at 8, the first track's segment count at 72, its
    // segment from 76 (data length at 76 + 100, the data copy behind it).
    const size_t seg = 76;
    int32_t length = 0;
    std::memcpy(&length, good.data() + seg + 100, 4);
    const size_t capacityAt = seg + 104 + size_t(length), countAt = capacityAt + 4;
    std::vector<uint8_t> unterminated = good;
    std::memset(unterminated.data() + 8, 'A', 64);
    std::vector<uint8_t> unknown = good;
    std::memcpy(unknown.data() + 8, "Nobody", 7);
    std::vector<uint8_t> damagedBlock = good;
    for (int i = 0; i < length; ++i) damagedBlock[seg + 104 + size_t(i)] = 0xff;
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"empty", {}},
        {"wrong magic", withI32(0, 0x12345678)},
        {"33 scenes", withI32(4, 33)},
        {"more scenes than bytes", withI32(4, 2)},
        {"name without terminator", unterminated},
        {"unknown action unit", unknown},
        {"65 segments", withI32(72, 65)},
        {"segment count beyond the bytes", withI32(72, 3)},
        {"negative start", withI32(seg, -5)},
        {"end before start", withI32(seg + 4, -1)},
        {"world-state flag 2", withI32(seg + 8, 2)},
        {"data length of another block", withI32(seg + 100, length - 4)},
        {"negative data length", withI32(seg + 100, -1)},
        {"damaged data block", damagedBlock},
        {"count above capacity", withI32(countAt, 201)},
        {"capacity 0", withI32(capacityAt, 0)},
        {"capacity far above the count", withI32(capacityAt, 1 << 30)},
        {"fewer records than frames", withI32(seg + 4, 31)},
        {"cut short", std::vector<uint8_t>(good.begin(), good.end() - 1)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LoadSceneBytes(c.bytes.data(), c.bytes.size()), 0) << c.name;
        EXPECT_EQ(CutSceneTable[0], before) << c.name;
        EXPECT_EQ(SaveSceneBytes(), good) << c.name;
    }
}

TEST_F(SceneFiles, TheDatakitWriterMakesWhatTheGameWrites) {
    const std::vector<uint8_t> saved = Recorded();
    const TrackSeg& s = *CutSceneTable[0]->tracks[0].segs[0];
    datakit::SceneSegment seg;
    seg.start = s.start;
    seg.end = s.end;
    seg.status = s.status;
    std::memcpy(seg.pos.data(), s.pos, sizeof s.pos);
    std::memcpy(seg.orient.data(), s.orient, sizeof s.orient);
    seg.data.assign(s.data, s.data + s.dataLength);
    for (int i = 0; i < s.inputCount; ++i) {
        datakit::SceneInput in;
        std::memcpy(in.keys.data(), s.inputs[i].keys, 8);
        std::memcpy(in.axes.data(), s.inputs[i].axes, 12);
        seg.inputs.push_back(in);
    }
    datakit::SceneCut scene{"Cut_Convoy", {{seg}, {}}};
    EXPECT_EQ(datakit::SceneFileBytes({scene}), saved);
}

TEST_F(SceneFiles, TheStartTimeAndExportPromptsRunTheReplay) {
    ASSERT_EQ(LoadScene("demo"), 1);
    RecordReplayCommand("000150", 4);
    EXPECT_TRUE(RecordReplayRunning);
    EXPECT_EQ(RecordReplayFrame, 150) << "the replay starts at 1.5 seconds";
    EXPECT_EQ(ResyncTicks, 1);
    RecordReplay_stop();

    // The export: numbered bitmaps while Scroll Lock is on; a number whose file exists is skipped but
    // counted.
    host::MakeDirectory("Export");
    datakit::WriteFile(DemoTree() + "/Export/sd00000001.bmp", {1, 2, 3});
    RecordReplayCommand("Export", 5);
    EXPECT_TRUE(RecordReplayRunning);
    EXPECT_EQ(RecordReplayExport, 1);
    EXPECT_EQ(RecordReplayTicksPerFrame, 4);
    host::InjectKey(host::kScanScrollLock, true);
    host::InjectKey(host::kScanScrollLock, false);
    ASSERT_TRUE(host::ScrollLockOn());
    for (int i = 0; i < 3; ++i) DrawRecordReplayPanel();
    host::InjectKey(host::kScanScrollLock, true);
    host::InjectKey(host::kScanScrollLock, false);
    EXPECT_EQ(ExportNumber, 3);
    EXPECT_TRUE(host::GetFileSize("Export/sd00000000.bmp") > 54);
    EXPECT_EQ(host::GetFileSize("Export/sd00000001.bmp"), 3);
    EXPECT_TRUE(host::GetFileSize("Export/sd00000002.bmp") > 54);
    RecordReplay_stop();
    EXPECT_EQ(RecordReplayExport, 0) << "stopping ends the export";
}

TEST(FrameTime, TimeTextsAndTheirParts) {
    const struct {
        const char* text;
        int32_t frame;
    } cases[] = {{"012550", 8550}, {"000001", 1}, {"59", 0}, {"", 0}, {" 1 2 3", 6203}, {"99x999", 594099}};
    for (const auto& c : cases) EXPECT_EQ(ParseFrameTime(c.text), c.frame) << c.text;
    int32_t parts[3];
    SplitFrameTime(8550, parts);
    EXPECT_EQ(parts[0], 1);
    EXPECT_EQ(parts[1], 25);
    EXPECT_EQ(parts[2], 50);
}

}  // namespace
}  // namespace kvtest
