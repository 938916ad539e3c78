// Day events: the five blocks read from the script (good and malformed), and the scheduler over a
// scripted clock (timed, daily across midnight, span, triggered with its delay, repeat toggling, and the
// clock it remembers across a level build).
#include <cmath>

#include "MissionFixtures.h"
#include "support/MemTrack.h"

namespace aitest {
namespace {

constexpr float kDay = 86400.0f;
constexpr float kHour = 3600.0f;

class DayEvents : public MissionScene {
protected:
    // The script's rules and the day events made from them.
    void Script(const std::string& text) {
        Rules(text);
        CreateDayEvents();
    }
    static DayEvent* Event(int list, int i) { return DayEventList[list][i]; }
    // The texts of the log's lines: MSGOUT events name their order there.
    static std::string Log() {
        std::string s;
        for (int i = 0; i < MessageLogCount; ++i) s += std::string(MessageLog[i].text) + ";";
        return s;
    }
};

TEST_F(DayEvents, TheFiveBlocksAreReadIntoTheirLists) {
    Script("event_timed_0 1 2 3 \"INCVAR\" \"a\";"
           "event_timed_5 1 2 3 7 8 9 10 11 \"SETVAR\" \"b\" \"c\";"  // gap; more than four params
           "event_dayly_0 6 30 \"RAINSTART\";"
           "event_span_0 0 10 0 0 10 30 4 \"MSGOUT\" \"hello\";"
           "event_triggered_0 2.5 1 \"cond\" \"PRIMARY\";"
           "event_repeat_7 3 \"cond\" \"INCVAR\" \"r\";"
           "cond_A_0 \"VARGREATER\" \"a\" 0;");
    ASSERT_EQ(DayEventCount[kTimedEvents], 2);
    const DayEvent* t0 = Event(kTimedEvents, 0);
    EXPECT_EQ(t0->type, kDEIncVar);
    EXPECT_EQ(t0->gameTime, 1 * kDay + 2 * kHour + 180);
    EXPECT_STREQ(t0->attribute1, "a");
    EXPECT_STREQ(t0->attribute2, "");
    EXPECT_STREQ(t0->expression, "<none>");
    EXPECT_EQ(t0->condition, nullptr);
    EXPECT_EQ(t0->values[0], 0.0f);
    const DayEvent* t5 = Event(kTimedEvents, 1);
    EXPECT_EQ(t5->type, kDESetVar);
    EXPECT_STREQ(t5->attribute2, "c");
    EXPECT_EQ(t5->values[0], 7.0f);
    EXPECT_EQ(t5->values[3], 10.0f) << "params past the fourth are dropped";
    ASSERT_EQ(DayEventCount[kDailyEvents], 1);
    EXPECT_EQ(Event(kDailyEvents, 0)->gameTime, 6 * kHour + 1800);
    ASSERT_EQ(DayEventCount[kSpanEvents], 1);
    const DayEvent* span = Event(kSpanEvents, 0);
    EXPECT_GE(span->gameTime, 10 * kHour);
    EXPECT_LE(span->gameTime, 10 * kHour + 1800);
    EXPECT_EQ(span->gameTime, std::trunc(span->gameTime));
    EXPECT_EQ(span->values[0], 4.0f);
    ASSERT_EQ(DayEventCount[kTriggeredEvents], 1);
    const DayEvent* trig = Event(kTriggeredEvents, 0);
    EXPECT_EQ(trig->gameTime, 250.0f) << "the delay in ticks";
    EXPECT_STREQ(trig->expression, "cond");
    EXPECT_EQ(trig->condition, NamedMDExpr("cond"));
    EXPECT_EQ(trig->values[0], 1.0f);
    ASSERT_EQ(DayEventCount[kRepeatEvents], 1);
    const DayEvent* rep = Event(kRepeatEvents, 0);
    EXPECT_EQ(rep->gameTime, -1.0f);
    EXPECT_EQ(rep->condition, trig->condition) << "one expression for both";
    EXPECT_EQ(rep->values[0], 3.0f);
    EXPECT_EQ(MDExprCount, 1);
    EXPECT_EQ(FindActivateAUEvent(DayEventList[kTimedEvents], "a", DayEventCount[kTimedEvents]), 0);
}

TEST_F(DayEvents, MalformedBlocksAreRefused) {
    kvtest::MemTrack mem;
    std::string many;
    for (int i = 0; i <= 400; ++i) many += "event_timed_" + std::to_string(i) + " 0 0 0 \"RAINSTOP\";";
    const struct {
        const char* what;
        std::string script;
        const char* message;
    } cases[] = {
        {"timed out of order", "event_timed_0 0 1 0 \"RAINSTOP\"; event_timed_1 0 0 59 \"RAINSTOP\";",
         "Error(CreateDayEvents): timed events non-sequential"},
        {"daily out of order", "event_dayly_3 5 0 \"RAINSTOP\"; event_dayly_4 4 0 \"RAINSTOP\";",
         "Error(CreateDayEvents): dayly events non-sequential"},
        {"timed index 400", many, "Error(CreateDayEvents): too many timed events"},
        {"daily index 400", "event_dayly_400 0 0 \"RAINSTOP\";", "Error(CreateDayEvents): too many dayly events"},
        {"triggered index 400", "event_triggered_400 0 \"c\" \"RAINSTOP\";",
         "Error(CreateDayEvents): too many triggered events"},
        {"repeat index 400", "event_repeat_400 \"c\" \"RAINSTOP\";", "Error(CreateDayEvents): too many repeat events"},
        {"timed without time", "event_timed_0 0 1 \"RAINSTOP\";",
         "Error(CreateDayEvents): timed event without time specifier"},
        {"daily without time", "event_dayly_0 6 \"RAINSTOP\";",
         "Error(CreateDayEvents): dayly event without time specifier"},
        {"span without time", "event_span_0 0 1 0 0 2 \"RAINSTOP\";",
         "Error(CreateDayEvents): span event without time specifier"},
        {"triggered without delay", "event_triggered_0 \"c\" \"RAINSTOP\";",
         "Error(CreateDayEvents): triggered event without delay time"},
        {"span ending before it starts", "event_span_0 0 2 0 0 1 0 \"RAINSTOP\";",
         "Error(CreateDayEvents): wrong time span"},
        {"unknown kind", "event_timed_0 0 0 0 \"SUNRISE\";", "Error(NamedDayEventType): unknown day event 'SUNRISE'"},
        {"kind in other case", "event_timed_0 0 0 0 \"RainStart\";",
         "Error(NamedDayEventType): unknown day event 'RainStart'"},
        {"timed without kind", "event_timed_2 0 0 0;", "Error(CreateDayEvents): 'event_timed_2' without event kind"},
        {"repeat without kind", "event_repeat_1 \"c\";", "Error(CreateDayEvents): 'event_repeat_1' without event kind"},
        {"triggered without words", "event_triggered_0 1;",
         "Error(CreateDayEvents): 'event_triggered_0' without event kind"},
        {"condition without rules", "event_repeat_0 \"nothing\" \"RAINSTOP\";",
         "Error(CreateMDExpr): expression 'nothing' is empty"},
    };
    for (const auto& c : cases) {
        FreeRules();
        Rules("c_A_0 \"VAREQUAL\" \"v\" 1;" + c.script);
        EXPECT_EQ(FatalText([] { CreateDayEvents(); }), c.message) << c.what;
        FreeDayEvents();
        while (MDExprCount > 0) FreeMDExpr(MDExprTable[0]);
    }
    // A span block has no limit test: index 400 is simply not read.
    FreeRules();
    Rules("event_span_400 0 0 0 0 0 0 \"RAINSTOP\";");
    EXPECT_EQ(FatalText([] { CreateDayEvents(); }), "");
    EXPECT_EQ(DayEventCount[kSpanEvents], 0);
    EXPECT_EQ(mem.Live("day event"), 0);
}

TEST_F(DayEvents, TargetsAndNamesLongerThanTheirFieldsAreCut) {
    const std::string longTarget(200, 't');
    const std::string longCondition(100, 'k');
    Script("event_repeat_0 \"" + longCondition + "\" \"INCVAR\" \"" + longTarget + "\" \"" + longTarget + "\";" +
           longCondition + "_A_0 \"VAREQUAL\" \"x\" 0;");
    const DayEvent* ev = Event(kRepeatEvents, 0);
    EXPECT_EQ(std::string(ev->attribute1), longTarget.substr(0, 127));
    EXPECT_EQ(std::string(ev->attribute2), longTarget.substr(0, 127));
    EXPECT_EQ(std::string(ev->expression), longCondition.substr(0, 63));
    StepAt(0);
    EXPECT_EQ(Var(longTarget.c_str()), 1.0f);
}

TEST_F(DayEvents, TimedAndDailyEventsFollowTheClockAcrossMidnight) {
    Script("event_timed_0 0 0 0 \"MSGOUT\" \"t0\";"
           "event_timed_1 0 12 0 \"MSGOUT\" \"t1\";"
           "event_timed_2 0 12 0 \"MSGOUT\" \"t2\";"  // the same time: in index order, in one step
           "event_dayly_0 6 0 \"MSGOUT\" \"d6\";"
           "event_dayly_1 18 0 \"MSGOUT\" \"d18\";");
    StepAt(12 * kHour);
    EXPECT_EQ(Log(), "t0;t1;t2;d6;") << "the clock starts at noon: the morning's events come at once";
    StepAt(12 * kHour + 60);
    StepAt(18 * kHour);
    EXPECT_EQ(Log(), "t0;t1;t2;d6;d18;");
    StepAt(kDay + 60);  // past midnight: the daily list starts over
    StepAt(kDay + 5 * kHour);
    EXPECT_EQ(Log(), "t0;t1;t2;d6;d18;");
    StepAt(kDay + 6 * kHour);
    EXPECT_EQ(Log(), "t0;t1;t2;d6;d18;d6;");
    EXPECT_EQ(TimedEventCursor, 3);
    EXPECT_EQ(DailyEventCursor, 1);
}

TEST_F(DayEvents, ABuildForgetsTheClockOfThePreviousLevel) {
    Script("event_dayly_0 6 0 \"INCVAR\" \"six\";");
    StepAt(23 * kHour);
    EXPECT_EQ(Var("six"), 1.0f);
    // The next level starts at 10:30: its morning event comes once, not again in the second step.
    FreeDayEvents();
    CreateDayEvents();
    StepAt(10.5f * kHour);
    StepAt(10.5f * kHour + 1);
    EXPECT_EQ(Var("six"), 2.0f);
}

TEST_F(DayEvents, SpanEventsComeOnceWhenTheirTimeIsReached) {
    Script("event_span_0 0 10 0 0 10 0 \"INCVAR\" \"s\";");  // a span of no length: exactly 10:00
    StepAt(10 * kHour - 1);
    EXPECT_EQ(Var("s"), 0.0f);
    StepAt(10 * kHour);
    StepAt(11 * kHour);
    EXPECT_EQ(Var("s"), 1.0f);
    EXPECT_EQ(Event(kSpanEvents, 0)->state, 1);
}

TEST_F(DayEvents, TriggeredEventsWaitTheirDelayEvenWhenTheConditionEnds) {
    CreateMDVar("go");
    Script("event_triggered_0 0 \"ready\" \"INCVAR\" \"now\";"
           "event_triggered_1 0.05 \"ready\" \"INCVAR\" \"later\";"
           "ready_A_0 \"VARGREATER\" \"go\" 0;");
    StepAt(0);
    EXPECT_EQ(Event(kTriggeredEvents, 0)->delay, 0);
    NamedMDVar("go")->value = 1;
    StepAt(0);  // found true: triggered, nothing more in this tick
    EXPECT_EQ(Event(kTriggeredEvents, 0)->delay, 1);
    EXPECT_EQ(Var("now"), 0.0f);
    NamedMDVar("go")->value = 0;
    StepAt(0);
    EXPECT_EQ(Var("now"), 1.0f) << "delay 0: the tick after";
    int ticks = 1;
    while (Var("later") == 0.0f && ticks < 100) {
        StepAt(0);
        ++ticks;
    }
    EXPECT_EQ(ticks, 6) << "a delay of 5 ticks executes 5 + 1 ticks after the condition came true";
    for (int i = 0; i < 10; ++i) StepAt(0);
    EXPECT_EQ(Var("now"), 1.0f);
    EXPECT_EQ(Var("later"), 1.0f);
}

TEST_F(DayEvents, RepeatEventsComeOnEveryChangeToTrue) {
    CreateMDVar("on");
    Script("event_repeat_0 \"lit\" \"INCVAR\" \"count\";"
           "lit_A_0 \"VAREQUAL\" \"on\" 1;");
    const float pattern[] = {1, 1, 0, 0, 1, 0, 1, 1};
    for (float on : pattern) {
        NamedMDVar("on")->value = on;
        StepAt(0);
    }
    EXPECT_EQ(Var("count"), 3.0f);
}

TEST_F(DayEvents, EquivalentEventsAreFoundForASavedGame) {
    Script("event_span_0 0 1 0 0 2 0 \"MSGOUT\" \"m\";"
           "event_timed_0 0 1 0 5 \"SETVAR\" \"v\";"
           "event_triggered_0 3 \"c\" \"SETVAR\" \"v\";"
           "c_A_0 \"VAREQUAL\" \"v\" 0;");
    DayEvent stored = *Event(kSpanEvents, 0);
    stored.gameTime += 999;  // drawn again at the build: the span's time is not compared
    EXPECT_EQ(FindEquivalentDayEvent(DayEventList[kSpanEvents], &stored, DayEventCount[kSpanEvents]),
              Event(kSpanEvents, 0));
    stored = *Event(kTriggeredEvents, 0);
    stored.gameTime = 12;  // the delay left
    EXPECT_EQ(FindEquivalentDayEvent(DayEventList[kTriggeredEvents], &stored, DayEventCount[kTriggeredEvents]),
              Event(kTriggeredEvents, 0));
    stored = *Event(kTimedEvents, 0);
    EXPECT_EQ(FindEquivalentDayEvent(DayEventList[kTimedEvents], &stored, 1), Event(kTimedEvents, 0));
    stored.gameTime += 1;
    EXPECT_EQ(FindEquivalentDayEvent(DayEventList[kTimedEvents], &stored, 1), nullptr);
    stored = *Event(kTimedEvents, 0);
    stored.values[0] = 6;
    EXPECT_EQ(FindEquivalentDayEvent(DayEventList[kTimedEvents], &stored, 1), nullptr);
    stored = *Event(kTimedEvents, 0);
    snprintf(stored.expression, sizeof stored.expression, "c");
    EXPECT_EQ(FindEquivalentDayEvent(DayEventList[kTimedEvents], &stored, 1), nullptr);
}

TEST_F(DayEvents, ActivatedActionUnitsAreFound) {
    Script("event_triggered_2 0 \"c\" \"ACTIVATEAU\" \"late\";"
           "event_timed_0 0 0 0 \"DISACTIVATEAU\" \"early\";"
           "c_A_0 \"VAREQUAL\" \"v\" 0;");
    EXPECT_EQ(FindActivateAUEvent(DayEventList[kTriggeredEvents], "late", DayEventCount[kTriggeredEvents]), 1);
    EXPECT_EQ(FindActivateAUEvent(DayEventList[kTriggeredEvents], "Late", DayEventCount[kTriggeredEvents]), 0);
    EXPECT_EQ(FindActivateAUEvent(DayEventList[kTimedEvents], "early", DayEventCount[kTimedEvents]), 0);
}

}  // namespace
}  // namespace aitest
