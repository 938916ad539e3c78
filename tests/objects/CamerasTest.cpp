// The cameras on the demo island (the "Cutscene" mission, in record/replay mode): the satellite camera's
// group, framing and paths, the static camera's re-aim, the watch camera over the ground, the way
// pointer's pulse and the movie camera's flight, pitch limits and key-frame paths.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "ai/RecordReplay.h"
#include "core/Keys.h"
#include "objects/Cameras.h"
#include "objects/MovieCamera.h"
#include "objects/UnitShare.h"
#include "objects/WayPointer.h"
#include "render/View.h"
#include "render/Viewport.h"
#include "vehicles/DemoLevel.h"
#include "world/ConstructPool.h"
#include "world/Terrain.h"

namespace kvtest {
namespace {

class Cameras : public DemoLevel {
public:
    Cameras() { mission_ = "Cutscene"; }
    void TearDown() override {
        for (construct* c : made_) {
            CallItfc(c, ItfcMethod::UNPLACE, 0);
            CallItfc(c, ItfcMethod::DESTROY, 0);
        }
        for (construct* c : plain_) FreeConstruct(c);
        FlushQZEvents();
        DemoLevel::TearDown();
    }
    construct* Make(ItfcProc itfc, const char* directory = nullptr) {
        auto* c = reinterpret_cast<construct*>(itfc(nullptr, ItfcMethod::CREATE, reinterpret_cast<uintptr_t>(directory)));
        CallItfc(c, ItfcMethod::PLACE, 0);
        FlushQZEvents();
        made_.push_back(c);
        return c;
    }
    // A bare construct standing at a point, with a bounding radius.
    construct* Dot(int32_t x, int32_t y, int32_t z) {
        construct* c = CreateConstruct(0, 0);
        c->pos[0] = x, c->pos[1] = y, c->pos[2] = z;
        c->sphere.radius = 1000;
        c->orient[0] = c->orient[4] = c->orient[8] = 32767;
        plain_.push_back(c);
        return c;
    }
    int32_t Ground(const construct* c) {
        int32_t low = 0, high = 0;
        BoxGroundLimits(c, CurrentMatrix, &low, &high);
        return low;
    }
    void Tick(construct* c, int n = 1) {
        TickInput in{};
        for (int i = 0; i < n; ++i) CallItfc(c, ItfcMethod::TICK, reinterpret_cast<uintptr_t>(&in));
    }
    std::vector<construct*> made_, plain_;
};

TEST_F(Cameras, TheSatelliteCamerasGroupHoldsAtMost32DistinctTargets) {
    construct* sat = Make(SatCamera_itfc);
    std::vector<construct*> dots;
    for (int i = 0; i < 33; ++i) dots.push_back(Dot(900000 + i * 1000, 0, 900000));
    CallItfc(sat, ItfcMethod::ADDTARGET, reinterpret_cast<uintptr_t>(dots[0]));
    CallItfc(sat, ItfcMethod::ADDTARGET, reinterpret_cast<uintptr_t>(dots[0]));
    for (int i = 1; i < 33; ++i) CallItfc(sat, ItfcMethod::ADDTARGET, reinterpret_cast<uintptr_t>(dots[size_t(i)]));
    EXPECT_EQ(dots[0]->focusCount, 1);
    EXPECT_EQ(dots[31]->focusCount, 1);
    EXPECT_EQ(dots[32]->focusCount, 0) << "the 33rd target is ignored";
    for (construct* d : dots) CallItfc(sat, ItfcMethod::REMOVETARGET, reinterpret_cast<uintptr_t>(d));
    EXPECT_EQ(dots[0]->focusCount, 0);
}

TEST_F(Cameras, FramingAGroupBacksOffUntilItIsInViewOrAt200000) {
    ViewWidth = 640, ViewHeight = 480, FocalX = FocalY = 512;
    const struct {
        const char* name;
        int32_t spread;     // between neighbours along x
        bool allInView;
    } cases[] = {{"close group", 2000, true}, {"spread group", 200000, false}};
    for (const auto& c : cases) {
        construct* sat = Make(SatCamera_itfc);
        for (int i = 0; i < 3; ++i)
            CallItfc(sat, ItfcMethod::ADDTARGET, reinterpret_cast<uintptr_t>(Dot(1000000 + i * c.spread, 30000, 1000000)));
        const int inView = static_cast<int>(CallItfc(sat, ItfcMethod::FRAMETARGETS, 1));
        EXPECT_EQ(inView == 3, c.allInView) << c.name;
        int32_t lookAt[3];
        CallItfc(sat, ItfcMethod::GETLOOKAT, reinterpret_cast<uintptr_t>(lookAt));
        EXPECT_EQ(lookAt[0], 1000000 + c.spread) << c.name;
        if (!c.allInView) {
            // The camera flies or jumps to the framing 200000 back from the group's middle.
            const double d = std::hypot(double(sat->pos[0] - lookAt[0]), double(sat->pos[1] - lookAt[1]), double(sat->pos[2] - lookAt[2]));
            const int32_t mode = static_cast<int32_t>(CallItfc(sat, ItfcMethod::GETMODE));
            if (mode != 3) {
                EXPECT_NEAR(d, 200000, 2) << c.name;
            }
        }
    }
    // Without targets the look-at point stays where it was.
    construct* lone = Make(SatCamera_itfc);
    int32_t before[3], after[3];
    CallItfc(lone, ItfcMethod::GETLOOKAT, reinterpret_cast<uintptr_t>(before));
    CallItfc(lone, ItfcMethod::FRAMETARGETS, 1);
    CallItfc(lone, ItfcMethod::GETLOOKAT, reinterpret_cast<uintptr_t>(after));
    EXPECT_EQ(std::memcmp(before, after, sizeof before), 0);
}

TEST_F(Cameras, APathSkipsTheStretchesUnderTheGroundAndEndsInTheRightMode) {
    construct* sat = Make(SatCamera_itfc);
    construct* jeep = UnitsOf("Cut_Convoy").at(0);
    // Following the jeep from far away: a path of keys, flown in steps, never below the ground.
    sat->pos[0] = jeep->pos[0] - 300000;
    sat->pos[2] = jeep->pos[2] - 300000;
    sat->pos[1] = 0;
    CallItfc(sat, ItfcMethod::FOLLOWUNIT, reinterpret_cast<uintptr_t>(jeep));
    ASSERT_EQ(CallItfc(sat, ItfcMethod::GETMODE), 5u);
    for (int i = 0; i < 60; ++i) {
        Tick(sat);
        if (CallItfc(sat, ItfcMethod::GETMODE) != 5) break;
        EXPECT_GE(sat->pos[1], Ground(sat) + 5000 - 1) << "tick " << i;
    }
    EXPECT_EQ(CallItfc(sat, ItfcMethod::GETMODE), 6u) << "a flight to a unit's framing ends holding";
    // Cycling the mode changes modes 0, 1 and 2 only.
    const struct {
        uint32_t mode, flag, after;
    } cycle[] = {{0, 0, 1}, {0, 1, 2}, {1, 0, 2}, {2, 0, 1}, {3, 0, 3}, {6, 1, 6}};
    for (const auto& c : cycle) {
        CallItfc(sat, ItfcMethod::SETMODE, c.mode);
        CallItfc(sat, ItfcMethod::CYCLEMODE, c.flag);
        EXPECT_EQ(CallItfc(sat, ItfcMethod::GETMODE), c.after) << c.mode;
    }
}

TEST_F(Cameras, TheStaticCameraReaimsWhenLeftBehindOrTouched) {
    construct* stat = Make(StatCamera_itfc);
    construct* jeep = UnitsOf("Cut_Convoy").at(0);
    CallItfc(stat, ItfcMethod::ATTACH, reinterpret_cast<uintptr_t>(jeep));
    EXPECT_EQ(stat->pos[0], jeep->pos[0]);
    const struct {
        const char* name;
        int32_t away;
        bool touch;
        bool moves;
    } cases[] = {{"110000 away", 110000, false, false}, {"110001 away", 110001, false, true}, {"touched", 0, true, true}};
    for (const auto& c : cases) {
        std::memcpy(stat->pos, jeep->pos, sizeof stat->pos);
        stat->pos[0] = jeep->pos[0] - c.away;
        if (c.touch) stat->hits[0] = jeep;
        const int32_t x = stat->pos[0], z = stat->pos[2];
        Tick(stat);
        EXPECT_EQ(stat->pos[0] != x || stat->pos[2] != z, c.moves) << c.name;
        EXPECT_EQ(stat->hits[0], nullptr) << c.name;
        if (c.moves) {
            EXPECT_LE(std::abs(stat->pos[0] - jeep->pos[0]), 110000) << c.name;
            EXPECT_EQ(stat->pos[1], Ground(stat) + 7000) << c.name;
        }
    }
    // The camera looks at the unit: its third row points from the camera to it.
    const double dx = jeep->pos[0] - stat->pos[0], dy = jeep->pos[1] - stat->pos[1], dz = jeep->pos[2] - stat->pos[2];
    const double n = std::sqrt(dx * dx + dy * dy + dz * dz);
    EXPECT_GT((stat->orient[6] * dx + stat->orient[7] * dy + stat->orient[8] * dz) / (32768.0 * n), 0.99);
}

TEST_F(Cameras, TheWatchCameraStandsOnTheLineAndAboveTheGround) {
    construct* watch = Make(WatchCamera_itfc);
    construct* jeep = UnitsOf("Cut_Convoy").at(0);
    // Watched from deep below: the line runs back into the ground, so the camera lifts itself.
    construct* above = UnitsOf("Cut_Convoy").at(1);
    above->pos[0] = jeep->pos[0], above->pos[1] = jeep->pos[1] - 200000, above->pos[2] = jeep->pos[2] + 1000;
    CallItfc(watch, ItfcMethod::ATTACH, reinterpret_cast<uintptr_t>(jeep));
    CallItfc(watch, ItfcMethod::SETWATCHVALUE, reinterpret_cast<uintptr_t>(above));
    Tick(watch);
    EXPECT_EQ(watch->pos[1], Ground(watch) + 7000);
    // Watched from the side, level: 37000 back from the target, toward the watched object.
    above->pos[0] = jeep->pos[0] - 500000, above->pos[1] = jeep->pos[1] + 40000, above->pos[2] = jeep->pos[2];
    Tick(watch);
    EXPECT_NEAR(std::hypot(double(watch->pos[0] - jeep->pos[0]), double(watch->pos[2] - jeep->pos[2])), 37000, 600);
    EXPECT_LT(watch->pos[0], jeep->pos[0]);
}

TEST_F(Cameras, TheWayPointerPulsesAndIsPlacedOnce) {
    const struct {
        uint32_t tick;
        int32_t phase;
    } cases[] = {{0, 159}, {63, 33}, {64, 32}, {127, 158}, {128, 159}, {1, 157}};
    for (const auto& c : cases) EXPECT_EQ(WayPointerPhase(c.tick), c.phase) << c.tick;
    construct* marker = Make(WayPointer_itfc, "Objects\\misc");
    CallItfc(marker, ItfcMethod::PLACE, 0);
    FlushQZEvents();
    int inPools = 0;
    for (ConstructPool* pool : BuzyPools)
        if (pool) inPools += IsInConstructPool(marker, pool);
    EXPECT_EQ(inPools, 1);
    EXPECT_THROW(CallItfc(marker, ItfcMethod::DESTROY, 0), FatalExit);
}

// ---- The movie camera -----------------------------------------------------------------------------

class MovieCam : public Cameras {
public:
    construct* MakeMovieCamera() {
        Unit* entry = NamedUnit("MovieCamera");
        EXPECT_NE(entry, nullptr);
        char path[256];
        std::snprintf(path, sizeof path, "Objects\\misc");
        auto* c = reinterpret_cast<construct*>(MovieCamera_itfc(reinterpret_cast<construct*>(entry), ItfcMethod::CREATE,
                                                                 reinterpret_cast<uintptr_t>(path)));
        PlacementRecord place{};
        place.x = 884736, place.y = 60000, place.z = 884736;
        CallItfc(c, ItfcMethod::PLACE, reinterpret_cast<uintptr_t>(&place));
        FlushQZEvents();
        made_.push_back(c);
        return c;
    }
    void Step(construct* c, const ControlInput& now) {
        in_.records[0] = in_.records[1];
        in_.records[1] = now;
        CallItfc(c, ItfcMethod::TICK, reinterpret_cast<uintptr_t>(&in_));
    }
    TickInput in_{};
};

TEST_F(MovieCam, ThrustFliesAlongTheViewAndReleasedKeysLetTheSpeedDecay) {
    construct* cam = MakeMovieCamera();
    const int32_t start[3] = {cam->pos[0], cam->pos[1], cam->pos[2]};
    const int32_t forward[3] = {cam->orient[6], cam->orient[7], cam->orient[8]};
    for (int i = 0; i < 30; ++i) Step(cam, Keys({14}));
    const double moved = double(cam->pos[0] - start[0]) * forward[0] + double(cam->pos[1] - start[1]) * forward[1] +
                         double(cam->pos[2] - start[2]) * forward[2];
    EXPECT_GT(moved / 32768.0, 10000.0);
    const int32_t* v = reinterpret_cast<const int32_t*>(reinterpret_cast<const uint8_t*>(GetUnitShare(cam)) + sizeof(UnitShare));
    const double speed = std::hypot(double(v[0]), double(v[1]), double(v[2]));
    Step(cam, Keys({}));
    const double after = std::hypot(double(v[0]), double(v[1]), double(v[2]));
    EXPECT_NEAR(after, speed * 0.9, speed * 0.01) << "released, the speed decays by SpeedDamp";
}

TEST_F(MovieCam, ThePitchStaysWithinHalfATurnHoweverLongTheAxisIsHeld) {
    construct* cam = MakeMovieCamera();
    for (int16_t axis : {int16_t(32000), int16_t(-32000)}) {
        ControlInput in{};
        in.axes[2] = axis;
        for (int i = 0; i < 400; ++i) {
            Step(cam, in);
            int32_t angles[3];
            AnglesFromMatrix(angles, reinterpret_cast<const FixMatrix*>(cam->orient));
            // The forward row's height stays within straight up and straight down.
            ASSERT_LE(std::abs(cam->orient[7]), 32768);
        }
        float pitch;
        const uint8_t* block = reinterpret_cast<const uint8_t*>(GetUnitShare(cam)) + sizeof(UnitShare);
        std::memcpy(&pitch, block + 68, 4);
        EXPECT_GE(pitch, 0.0f);
        EXPECT_LE(pitch, 205887.0f);
    }
}

TEST_F(MovieCam, ATwoKeyFramePathTakesItsFramesAndStops) {
    construct* cam = MakeMovieCamera();
    const struct {
        const char* name;
        int32_t frames;
        int ticks;
    } cases[] = {{"100 frames apart", 100, 100}, {"the same frame", 0, 1}};
    for (const auto& c : cases) {
        int32_t size = 0;
        auto* block = reinterpret_cast<uint8_t*>(CallItfc(cam, ItfcMethod::GETITFCDATA, reinterpret_cast<uintptr_t>(&size)));
        ASSERT_EQ(size_t(size), MovieCameraSavedSize());
        auto put = [&](size_t at, int32_t v) { std::memcpy(block + at, &v, 4); };
        put(kMovieSavedKeyCount, 2);
        for (int k = 0; k < 2; ++k) {
            const size_t at = kMovieSavedKeyFrames + size_t(k) * kMovieSavedKeyFrameSize;
            for (int j = 0; j < 9; ++j) put(at + 4 * size_t(j), cam->orient[j]);
            put(at + 36, 884736 + k * 100000);
            put(at + 40, 80000);
            put(at + 44, 884736);
            put(at + 48, k * c.frames);
        }
        CallItfc(cam, ItfcMethod::SETITFCDATA, reinterpret_cast<uintptr_t>(block));
        qzFree(block);
        int ticks = 0;
        float param = 0.0f;
        do {
            Step(cam, Keys({}));
            ++ticks;
            const uint8_t* data = reinterpret_cast<const uint8_t*>(GetUnitShare(cam)) + sizeof(UnitShare);
            (void)data;
            EXPECT_FALSE(std::isnan(cam->pos[0] * 1.0f)) << c.name;
            size = 0;
            auto* now = reinterpret_cast<uint8_t*>(CallItfc(cam, ItfcMethod::GETITFCDATA, reinterpret_cast<uintptr_t>(&size)));
            int32_t count;
            std::memcpy(&count, now + kMovieSavedKeyCount, 4);
            qzFree(now);
            param = count > 0 ? 0.0f : -1.0f;
        } while (param >= 0.0f && ticks < 500);
        // The path stops in the tick after its last step (a hundred steps of 0.01 may add up to just
        // under 1.0: one step more).
        EXPECT_GE(ticks, c.ticks + 1) << c.name;
        EXPECT_LE(ticks, c.ticks + 2) << c.name;
        if (c.frames > 0) {
            EXPECT_NEAR(cam->pos[0], 884736 + 100000, 1500) << c.name;
        }
    }
}

TEST_F(MovieCam, KeyFramesRecordedIntoTheSegmentAreFlownInTheReplay) {
    construct* cam = MakeMovieCamera();
    // An action unit of the camera alone, with its cut scene.
    AUDef* au = CreateAUDef();
    std::snprintf(au->name, sizeof au->name, "Cam_AU");
    au->abstractClan = 0;
    au->pool = CreateConstructPool(1, "audef Cam_AU pool");
    AppendToConstructPool(au->pool, cam);
    au->placed = 1;
    CutScene* scene = CreateCutScene(au);
    TrackSeg* seg = CreateTrackSeg(scene, cam);
    Drive(cam);
    RecordTrackSeg_start(scene, seg);
    // Held when the recording starts: the first key frame; then one per press while flying, at most 49.
    DemoLevel::Step(Keys({23}));
    const int32_t first[3] = {cam->pos[0], cam->pos[1], cam->pos[2]};
    for (int i = 0; i < 60; ++i) {
        DemoLevel::Step(Keys({14}));
        DemoLevel::Step(Keys({14, 23}));
    }
    RecordReplay_stopAt(scene, seg);
    ASSERT_NE(seg->data, nullptr);
    int32_t count = 0, frame1 = 0;
    std::memcpy(&count, seg->data + kMovieSavedKeyCount, 4);
    std::memcpy(&frame1, seg->data + kMovieSavedKeyFrames + kMovieSavedKeyFrameSize + 48, 4);
    EXPECT_EQ(count, 49) << "the 50th press records nothing";
    EXPECT_EQ(frame1, 2);
    // The replay: the keyframe hands the camera its path, which it flies from its first key frame.
    cam->playerCell = nullptr;
    RecordReplay_start(0);
    WorldTick(1, 1);
    EXPECT_EQ(cam->pos[0], first[0]);
    EXPECT_EQ(cam->pos[2], first[2]);
    for (int i = 0; i < 20; ++i) WorldTick(1, 1);
    EXPECT_NE(cam->pos[0] - first[0], 0) << "the camera flies its path";
    RecordReplay_stop();
    // The camera goes with the fixture's own constructs, not with the action unit.
    RemoveFromConstructPool(au->pool, cam);
}

TEST_F(MovieCam, APickedActionUnitIsLockedAndEditedByTheKeys) {
    construct* cam = MakeMovieCamera();
    construct* jeep = UnitsOf("Cut_Convoy").at(0);
    AUDef* au = NamedAUDef("Cut_Convoy");
    int index = -1;
    int32_t* slot = AUDef_FindUnitSlot(au, jeep, &index);
    ASSERT_NE(slot, nullptr);
    const int32_t x = slot[0], y = slot[1], angle = slot[5];
    auto keypad6 = [&](bool down) { KeyStates[0x4D] = down ? 0x80 : 0; };
    PickedConstruct = jeep;
    Step(cam, Keys({}));
    Step(cam, Keys({18}));
    keypad6(true);
    Step(cam, Keys({}));
    keypad6(false);
    EXPECT_EQ(slot[0], x + 1000) << "keypad 6 moves a vehicle by 1000";
    Step(cam, Keys({16}));
    EXPECT_EQ(slot[1], y + 500);
    Step(cam, Keys({}));
    Step(cam, Keys({22}));
    EXPECT_EQ(slot[5], (angle + 5000) % 411774);
    EXPECT_TRUE(au->placed) << "the action unit is placed again after each change";
    // Fire 1 again lets go: the keys edit nothing more.
    Step(cam, Keys({}));
    Step(cam, Keys({18}));
    PickedConstruct = nullptr;
    keypad6(true);
    Step(cam, Keys({}));
    keypad6(false);
    EXPECT_EQ(slot[0], x + 1000);
}

TEST_F(MovieCam, ATestWaveNeedsItsTypeAndTeardownFreesTheWaves) {
    construct* cam = MakeMovieCamera();
    Step(cam, Keys({}));
    Step(cam, Keys({18}));
    if (FindItfc("Wave")) {
        EXPECT_EQ(MovieCameraWaveCount(), 1);
    } else {
        EXPECT_EQ(MovieCameraWaveCount(), 0) << "without the Wave type nothing is dropped";
    }
    FreeMovieCameraWaves();
    EXPECT_EQ(MovieCameraWaveCount(), 0);
}

}  // namespace
}  // namespace kvtest
