// The day events in saved games: both cursors and the state of the span, triggered and repeat events
// come back into a fresh level, a load that turns the clock back does not bring the day's events again,
// the notice line comes back, and cursors that do not fit the mission are refused.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "LevelFixture.h"
#include "ai/DayEvents.h"
#include "ai/MissionDesc.h"
#include "hud/MissionStatus.h"
#include "support/Fatal.h"
#include "tools/datakit/SavedGame.h"
#include "game/SavedGame.h"
#include "game/WorldTick.h"

namespace kvtest {
namespace {

std::map<std::string, std::string> Script() {
    std::map<std::string, std::string> s = TestScriptRules();
    s["event_timed_0"] = "0 10 30 \"INCVAR\" \"t\"";
    s["event_timed_1"] = "0 10 30 \"TEXTOUT\" \"note\"";
    s["event_timed_2"] = "0 11 0 \"INCVAR\" \"t\"";
    s["event_dayly_0"] = "6 0 \"INCVAR\" \"d\"";
    s["event_dayly_1"] = "20 0 \"INCVAR\" \"d\"";
    s["event_span_0"] = "0 10 30 0 10 30 \"INCVAR\" \"s\"";
    s["event_triggered_0"] = "5 \"go\" \"INCVAR\" \"tr\"";  // 500 ticks after "go" came true
    s["event_repeat_0"] = "\"go\" \"INCVAR\" \"rp\"";
    s["go_A_0"] = "\"VARGREATER\" \"g\" 0";
    s["note"] = "\"Saved with the game.\"";
    return s;
}

class DayEventSave : public ::testing::Test {
protected:
    DayEventSave() : tree_(Script()) {
        datakit::MakeDirs(tree_.dir() / "SavedGames");
        env_ = std::make_unique<LevelEnvironment>(tree_);
        InitLevel(0);
    }
    ~DayEventSave() override {
        TeardownLevel();
        env_.reset();
    }
    void Rebuild() {
        TeardownLevel();
        snprintf(MissionName, sizeof MissionName, "Test");
        LevelEnvironment::ResetRules();
        InitLevel(0);
    }
    static float Var(const char* name) {
        const MDVar* v = NamedMDVar(name);
        return v ? v->value : 0.0f;
    }
    static const DayEvent* Event(int list) { return DayEventList[list][0]; }
    // The values of the variables the events count in.
    static std::string Counts() {
        std::string s;
        for (const char* v : {"t", "d", "s", "tr", "rp"}) s += std::string(v) + "=" + std::to_string(int(Var(v))) + " ";
        return s;
    }

    FatalCatcher fatal_;
    LevelTree tree_;
    std::unique_ptr<LevelEnvironment> env_;
};

TEST_F(DayEventSave, CursorsAndEventStatesComeBackIntoAFreshLevel) {
    NamedMDVar("g")->value = 1;
    for (int i = 0; i < 3; ++i) WorldTick(1, 1);
    EXPECT_EQ(Counts(), "t=1 d=1 s=1 tr=0 rp=1 ");
    EXPECT_EQ(TimedEventCursor, 2);
    EXPECT_EQ(DailyEventCursor, 1);
    EXPECT_EQ(Event(kTriggeredEvents)->delay, 1);
    const float delayLeft = Event(kTriggeredEvents)->gameTime;
    EXPECT_EQ(delayLeft, 498.0f);
    EXPECT_STREQ(ViewNoticeText, "Saved with the game.");
    const int32_t notice = ViewNoticeTimer;
    EXPECT_GT(notice, 0);
    ASSERT_EQ(SaveQZGM("events"), 1);

    PrimaryObjectives[4] = Objective{1, "Left from another mission"};
    Rebuild();
    EXPECT_EQ(PrimaryObjectives[4].number, -2) << "a mission without the objective has none";
    EXPECT_STREQ(PrimaryObjectives[4].text, "NONE");
    EXPECT_EQ(TimedEventCursor, 0);
    EXPECT_EQ(Event(kTriggeredEvents)->delay, 0);
    char other[64] = "";
    ASSERT_EQ(LoadQZGM("events", 0, other), kQZGMLoaded) << SavedGameRefusal();
    EXPECT_EQ(TimedEventCursor, 2);
    EXPECT_EQ(DailyEventCursor, 1);
    EXPECT_EQ(Event(kSpanEvents)->state, 1);
    EXPECT_EQ(Event(kTriggeredEvents)->delay, 1);
    EXPECT_EQ(Event(kTriggeredEvents)->state, 0);
    EXPECT_EQ(Event(kTriggeredEvents)->gameTime, delayLeft);
    EXPECT_EQ(Event(kRepeatEvents)->state, 1);
    EXPECT_STREQ(ViewNoticeText, "Saved with the game.");
    EXPECT_EQ(ViewNoticeTimer, notice);
    // Nothing that had happened happens again; the triggered event keeps counting its delay down.
    WorldTick(1, 1);
    EXPECT_EQ(Counts(), "t=1 d=1 s=1 tr=0 rp=1 ");
    WorldTick(int(delayLeft) + 1, 1);
    EXPECT_EQ(Var("tr"), 1.0f);
}

TEST_F(DayEventSave, ALoadThatTurnsTheClockBackBringsNoDailyEventAgain) {
    WorldTick(1, 1);
    ASSERT_EQ(SaveQZGM("morning"), 1);
    // The evening: the 20:00 event comes, and the scheduler remembers the late clock.
    GameClockSeconds = 21.0f * 3600.0f;
    WorldTick(1, 1);
    EXPECT_EQ(Var("d"), 2.0f);
    char other[64] = "";
    ASSERT_EQ(LoadQZGM("morning", 0, other), kQZGMLoaded) << SavedGameRefusal();
    EXPECT_EQ(Var("d"), 1.0f);
    EXPECT_EQ(DailyEventCursor, 1);
    for (int i = 0; i < 3; ++i) WorldTick(1, 1);
    EXPECT_EQ(Var("d"), 1.0f) << "the morning's events are not carried out a second time";
}

TEST_F(DayEventSave, CursorsBeyondTheMissionsListsAreRefused) {
    WorldTick(1, 1);
    ASSERT_EQ(SaveQZGM("good"), 1);
    std::vector<uint8_t> good;
    host::ReadWholeFile((tree_.dir() / "SavedGames/good").c_str(), good);
    datakit::SavedGame file;
    ASSERT_TRUE(datakit::SplitSavedGame(good, &file));
    ASSERT_EQ(file.chunks[0].type, 15u);
    const struct {
        int32_t timed, daily;
        bool refused;
    } cases[] = {{3, 2, false}, {4, 0, true}, {-1, 0, true}, {0, 3, true}, {0, -7, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.timed) + " " + std::to_string(c.daily));
        datakit::SavedWorldStateBody w;
        w.dayEventCursors = {c.timed, c.daily};
        // The script's span, triggered and repeat events are all there is to match.
        datakit::SavedGame f = file;
        f.chunks[0].body = datakit::SavedWorldStateChunkBody(w);
        datakit::WriteFile(tree_.dir() / "SavedGames/bad", f.Bytes());
        host::FlushDirectoryCache();
        TimedEventCursor = DailyEventCursor = 1;
        char other[64] = "";
        const int r = LoadQZGM("bad", 0, other);
        if (c.refused) {
            EXPECT_EQ(r, kQZGMRefused);
            EXPECT_NE(std::string(SavedGameRefusal()).find("day-event cursors"), std::string::npos)
                << SavedGameRefusal();
            EXPECT_EQ(TimedEventCursor, 1) << "the level is untouched";
        } else {
            EXPECT_EQ(r, kQZGMLoaded) << SavedGameRefusal();
            EXPECT_EQ(TimedEventCursor, c.timed);
        }
    }
}

}  // namespace
}  // namespace kvtest
