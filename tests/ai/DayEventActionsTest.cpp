// Day-event actions: one table of kind, targets and params against the state each changes; the
// objectives with their notices; the restriction bits and panel words; the AI orders posted as
// messages; the log line of "ShowDayEvents"; and the errors of unknown clans and rules.
#include <functional>

#include "MissionFixtures.h"
#include "ai/AIMessage.h"
#include "objects/SceneryLighting.h"
#include "platform/SoundFx.h"
#include "render/Sky.h"
#include "render/Weather.h"
#include "support/DebugCapture.h"
#include "game/Level.h"
#include "world/SceneryFx.h"

namespace aitest {
namespace {

class DayEventActions : public MissionScene {
protected:
    DayEventActions() {
        Rules("note \"The gate is open.\";"
              "Obj_added \"added\" \"New primary objective\" \"New secondary objective\";"
              "Obj_failed \"failed\" \"Primary objective failed\" \"Secondary objective failed\";"
              "Obj_accomplished \"done\" \"Primary objective accomplished\" \"Secondary objective accomplished\";"
              "surf 65536 0 \"surf.wav\";");
    }
    ~DayEventActions() override {
        while (SceneryFxCount > 0) DeleteSceneryFx(SceneryFxTable[0]);
        StopPrecipitation();
        CloudCoverRate = SkyFadeRate = SceneryLightingRate = 0;
        LevelShowDayEvents = 0;
        PlayerUnit = nullptr;
    }
    // Carries out one event of the kind with the targets and params.
    static void Run(const char* kind, const std::string& t1 = "", const std::string& t2 = "",
                    std::vector<float> params = {}) {
        DayEvent* list[1];
        int32_t count = 0;
        DayEvent* ev = CreateNamedDayEvent(kind, nullptr, t1.empty() ? nullptr : t1.c_str(),
                                           t2.empty() ? nullptr : t2.c_str(), params.data(), int(params.size()), 0.0f,
                                           list, &count);
        try {
            ExecuteDayEvent(ev);
        } catch (...) {
            RemoveDayEvent(ev, list, &count);
            throw;
        }
        RemoveDayEvent(ev, list, &count);
    }
    static std::vector<int> Ticks(const AUDef* au) {
        std::vector<int> out;
        for (int i = 0; i < au->pool->count; ++i) out.push_back(g_calls[UnitOf(au, i)].ticks);
        return out;
    }
};

TEST_F(DayEventActions, EachKindChangesItsState) {
    AUDef* bravo = MakeAU("bravo", 1, {{5, 1}, {6, 1}, {7, 1}, {8, 1}});
    AUDef* late = MakeAU("late", 0, {{2, 2}}, false);
    AUDef* gate = MakeAU("gate", 2, {{3, 3}, {3, 4}});
    AUDef* closed = MakeAU("closed", 2, {{4, 4}}, false);
    AUDef_itfc(closed, ItfcMethod::CREATE);  // units, but not in the world
    SetStructure(UnitOf(bravo, 1), 0);        // already destroyed
    CallItfc(UnitOf(bravo, 2), ItfcMethod::UNPLACE, 0);  // out of the world
    struct Case {
        const char* kind;
        std::string t1, t2;
        std::vector<float> params;
        std::function<void()> expect;
    };
    const Case cases[] = {
        {"RAINSTART", "", "", {}, [] { EXPECT_EQ(PrecipitationMode, 1); }},
        {"SNOWSTART", "", "", {}, [] { EXPECT_EQ(PrecipitationMode, 2); }},
        {"RAINSTOP", "", "", {}, [] { EXPECT_EQ(PrecipitationMode, 0); }},
        {"SNOWSTOP", "", "", {}, [] { EXPECT_EQ(PrecipitationMode, 0); }},
        {"CLOUDSTART", "", "", {}, [] { EXPECT_EQ(CloudCoverRate, 100); }},
        {"CLOUDSTOP", "", "", {}, [] { EXPECT_EQ(CloudCoverRate, -100); }},
        {"STARSTART", "", "", {}, [] { EXPECT_EQ(SkyFadeRate, 100); }},
        {"STARSTOP", "", "", {}, [] { EXPECT_EQ(SkyFadeRate, -100); }},
        {"SCENERYLIGHTINGON", "", "", {}, [] { EXPECT_EQ(SceneryLightingRate, 100); }},
        {"SCENERYLIGHTINGOFF", "", "", {}, [] { EXPECT_EQ(SceneryLightingRate, -100); }},
        {"UNITLIGHTINGON", "GA", "", {}, [&] { EXPECT_EQ(ga()->unitLighting, 1); }},
        {"UNITLIGHTINGOFF", "GA", "", {}, [&] { EXPECT_EQ(ga()->unitLighting, 0); }},
        {"SEARCHLIGHTINGON", "EMA", "", {}, [&] { EXPECT_EQ(ema()->searchLight, 1); }},
        {"SEARCHLIGHTINGOFF", "EMA", "", {}, [&] { EXPECT_EQ(ema()->searchLight, 0); }},
        {"FXON", "surf", "", {}, [] { EXPECT_EQ(SceneryFxCount, 1); }},
        {"FXON", "surf", "", {}, [] { EXPECT_EQ(SceneryFxCount, 1) << "one source per rule"; }},
        {"FXOFF", "surf", "", {}, [] { EXPECT_EQ(SceneryFxCount, 0); }},
        {"FXOFF", "surf", "", {}, [] { EXPECT_EQ(SceneryFxCount, 0); }},
        {"ACTIVATEAU", "late", "", {}, [&] {
             EXPECT_TRUE(late->pool && late->placed);
             EXPECT_EQ(ema()->pool->count, 1) << "the clan's records follow";
         }},
        {"ACTIVATEAU", "nobody", "", {}, [] {}},
        {"DISACTIVATEAU", "late", "", {}, [&] {
             EXPECT_EQ(late->placed, 0);
             EXPECT_EQ(ema()->pool->count, 0);
         }},
        // Only the unit still standing in the world is destroyed by its own tick.
        {"DESTROYAU", "bravo", "", {}, [&] {
             EXPECT_EQ(Ticks(bravo), (std::vector<int>{1, 0, 0, 1}));
             EXPECT_EQ(Block(UnitOf(bravo, 0))->state.structure, 0);
             EXPECT_EQ(Block(UnitOf(bravo, 2))->state.structure, 100);
         }},
        {"DESTROYAU", "bravo", "", {}, [&] { EXPECT_EQ(Ticks(bravo), (std::vector<int>{1, 0, 0, 1})); }},
        {"CAPTUREAU", "gate", "", {}, [&] { EXPECT_EQ(gate->action, kActionNone) << "not a capture"; }},
        {"DECAPTUREAU", "gate", "", {}, [&] {
             EXPECT_EQ(captured_->count, 2);
             EXPECT_EQ(gate->action, kActionNone);
         }},
        {"DECAPTUREAU", "gate", "", {}, [&] { EXPECT_EQ(captured_->count, 2) << "never twice"; }},
        {"CAPTUREAU", "gate", "", {}, [&] { EXPECT_EQ(captured_->count, 2) << "action 0 now"; }},
        {"CLANSUCCESS", "EMA", "", {}, [&] { EXPECT_EQ(ema()->successMark, 1); }},
        {"CLANFAILURE", "GA", "", {}, [&] {
             EXPECT_EQ(ga()->failureMark, 1);
             EXPECT_EQ(ema()->failureMark, 0);
         }},
        {"TEXTOUT", "note", "", {}, [] {
             EXPECT_STREQ(ViewNoticeText, "The gate is open.");
             EXPECT_EQ(ViewNoticeTimer, 100);
         }},
        {"MSGOUT", "Hello there", "", {}, [] {
             ASSERT_GT(MessageLogCount, 0);
             EXPECT_STREQ(MessageLog[MessageLogCount - 1].text, "Hello there");
             EXPECT_STREQ(MessageLog[MessageLogCount - 1].sender, " ");
         }},
        {"SWITCHON", "gate", "", {}, [&] {
             EXPECT_EQ(g_calls[UnitOf(gate, 0)].modeSet, 1u);
             EXPECT_EQ(g_calls[UnitOf(gate, 1)].modeSet, 1u);
         }},
        {"SWITCHOFF", "gate", "", {}, [&] { EXPECT_EQ(g_calls[UnitOf(gate, 1)].modeCleared, 1u); }},
        {"SWITCHON", "closed", "", {}, [&] { EXPECT_EQ(g_calls[UnitOf(closed, 0)].modeSet, 0u) << "not placed"; }},
        {"INCVAR", "n", "", {}, [] { EXPECT_EQ(Var("n"), 1.0f); }},
        {"INCVAR", "n", "", {}, [] { EXPECT_EQ(Var("n"), 2.0f); }},
        {"DECVAR", "m", "", {}, [] { EXPECT_EQ(Var("m"), -1.0f); }},
        {"SETVAR", "n", "", {2.75f}, [] { EXPECT_EQ(Var("n"), 2.75f); }},
        {"AREACONSTRAINT", "GA", "", {1, 2, 3, 4}, [&] {
             EXPECT_EQ(ga()->area[0], 65536);
             EXPECT_EQ(ga()->area[1], 3 * 65536);
         }},
        {"CLANSHOSTILE", "EMA", "ARAB", {}, [&] { EXPECT_EQ(arab()->hostility[0], kHostile); }},
        {"CLANSNEUTRAL", "ARAB", "EMA", {}, [&] { EXPECT_EQ(ema()->hostility[2], kNeutral); }},
        {"ENTERUNIT", "gate", "", {5}, [] { EXPECT_EQ(PlayerUnit, nullptr) << "no unit 5"; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + " " + c.t1);
        Run(c.kind, c.t1, c.t2, c.params);
        c.expect();
    }
    // A capture action unit: its units leave "tobecaptured" and the action is done; a second capture
    // finds it done.
    gate->action = kActionUnitCapture;
    Run("CAPTUREAU", "gate");
    EXPECT_EQ(captured_->count, 0);
    EXPECT_EQ(gate->action, kActionDone);
}

TEST_F(DayEventActions, ObjectivesChangeByStateWithTheirNotices) {
    struct Case {
        const char* kind;
        int32_t before;
        std::vector<float> params;
        int32_t after;
        const char* notice;  // the notice shown afterwards
    } cases[] = {
        {"PRIMARY", -2, {2, 1}, 1, "Primary objective accomplished"},  // added, then accomplished
        {"PRIMARY", -2, {2, 0}, 0, "New primary objective"},
        {"SECONDARY", 0, {2, -1}, -1, "Secondary objective failed"},
        {"SECONDARY", -1, {2, 1}, -1, "earlier"},        // a failed objective never changes
        {"PRIMARY", 0, {2, 0}, 0, "earlier"},            // no new text: the last notice again
        {"PRIMARY", 0, {6, 1}, 0, "earlier"},            // only objectives 1 to 5
        {"PRIMARY", 0, {0.9f, 1}, 0, "earlier"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + " " + std::to_string(c.before) + " -> " + std::to_string(c.params[1]));
        Objective* table = std::string(c.kind) == "PRIMARY" ? PrimaryObjectives : SecondaryObjectives;
        table[1].number = c.before;
        SetViewNotice("earlier", 0);
        Run(c.kind, "", "", c.params);
        EXPECT_EQ(table[1].number, c.after);
        EXPECT_STREQ(ViewNoticeText, c.notice);
        const bool changesNothing = c.before == -1 || c.params[0] < 1 || c.params[0] >= 6;
        EXPECT_EQ(ViewNoticeTimer, changesNothing ? 0 : 100);
    }
    // Without the primary and secondary words (the menu's one-word form) the rule's first word shows.
    Rules("Obj_accomplished \"accomplished\";");
    PrimaryObjectives[2].number = 0;
    Run("PRIMARY", "", "", {3, 1});
    EXPECT_STREQ(ViewNoticeText, "accomplished");
}

TEST_F(DayEventActions, RestrictionsClearAndSetOneBitAndClosePanels) {
    struct Case {
        const char* kind;
        float bit;
        uint32_t before;
        uint32_t after;
        int32_t panels;  // both panel words afterwards, from 3
    } cases[] = {
        {"RESTRICT", 9, 0xffffffffu, 0xfffffdffu, 3},
        {"RESTRICT", 4, 0xffffffffu, 0xffffffefu, 2},
        {"RESTRICT", 5, 0xffffffffu, 0xffffffdfu, 1},
        {"RESTRICT", 36.7f, 0xffffffffu, 0xffffffefu, 2},  // 36 mod 32
        {"RESTRICT", -1, 0xffffffffu, 0xffffffffu, 3},     // no bit below 0
        {"ALLOW", 4, 0xffffffefu, 0xffffffffu, 3},
        {"ALLOW", -28, 0, 0, 3},
        {"ALLOW", 31, 0, 0x80000000u, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + " " + std::to_string(c.bit));
        PlayerRestrictions = c.before;
        CockpitPanels = PanelWord = 3;
        Run(c.kind, "", "", {c.bit});
        EXPECT_EQ(PlayerRestrictions, c.after);
        EXPECT_EQ(CockpitPanels, c.panels);
        EXPECT_EQ(PanelWord, c.panels);
    }
    // A panel the restrictions took away does not come back with ALLOW.
    PlayerRestrictions = 0xffffffffu;
    CockpitPanels = 3;
    Run("RESTRICT", "", "", {4});
    Run("ALLOW", "", "", {4});
    EXPECT_EQ(CockpitPanels, 2);
    CockpitPanels = 1;
    Run("RESTRICT", "", "", {4});
    EXPECT_EQ(CockpitPanels, 0);
}

TEST_F(DayEventActions, AIOrdersArePostedToTheNamedClan) {
    AUDef* group = MakeAU("group", 1, {{1, 1}, {2, 2}});
    MakeAU("idle", 1, {{1, 1}}, false);
    Rules("group_waypoint_0 1 2; group_waypoint_1 3 4; group_waypoint2_0 9 9;");
    BuildAUWaypointLists(ga());
    DrainQueues();
    kvtest::DebugCapture debug;
    struct Case {
        const char* kind;
        std::string au;
        std::vector<float> params;
        int type;        // -1: nothing posted
        int units;       // units carried
        int32_t point[3];
        int32_t point2[3];
    } cases[] = {
        {"AI_CAMP", "group", {}, 352, 2, {}, {}},
        {"AI_HOLDPOSITION", "group", {}, 353, 2, {}, {}},
        {"AI_GOTO", "group", {10.5f, 20}, 350, 2, {688128, 0, 1310720}, {}},
        {"AI_SNEAKTO", "group", {1, 2}, 351, 2, {65536, 0, 131072}, {}},
        {"AI_HIDE", "group", {}, 355, 2, {}, {}},
        {"AI_FOLLOWME", "group", {}, -1, 0, {}, {}},  // the player drives no unit
        {"AI_PROTECT", "group", {}, 200, 2, {}, {}},
        {"AI_REACHAREA", "", {1, 2, 4, 8}, 203, 0, {65536, 0, 131072}, {196608, 0, 393216}},
        {"AI_GATHERINAREA", "", {0.5f, 0, 1, 1}, 204, 0, {32768, 0, 0}, {32768, 0, 65536}},
        {"AI_PROTECTAREA", "", {0, 0, 2, 2}, 201, 0, {0, 0, 0}, {131072, 0, 131072}},
        {"AI_PATROLWAY", "group", {}, 205, 2, {}, {}},
        {"AI_PATROLWAY2", "group", {}, 205, 2, {}, {}},
        {"AI_ESCAPEWAY", "group", {}, 206, 2, {}, {}},
        {"AI_ESCAPEWAY", "idle", {}, -1, 0, {}, {}},  // no way point entry
        {"AI_STANDBY", "group", {}, 366, 2, {}, {}},
        {"AI_STANDDOWN", "group", {}, 367, 2, {}, {}},
        {"AI_CAMP", "idle", {}, -1, 0, {}, {}},  // not placed
        {"AI_CAMP", "nobody", {}, -1, 0, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + " " + c.au);
        Run(c.kind, "GA", c.au, c.params);
        AIMessage* m = AIQueues[1].head;
        if (c.type < 0) {
            EXPECT_EQ(m, nullptr);
            continue;
        }
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->next, nullptr);
        EXPECT_EQ(m->type, c.type);
        EXPECT_EQ(m->param, 0);
        int units = 0;
        for (AIUnitRecord** u = m->units; u && *u; ++u) ++units;
        EXPECT_EQ(units, c.units);
        if (c.type == 350 || c.type == 351 || (c.type >= 201 && c.type <= 204)) {
            for (int k = 0; k < 3; ++k) EXPECT_EQ(m->point[k], c.point[k]) << k;
        }
        if (c.type >= 201 && c.type <= 204) {
            for (int k = 0; k < 3; ++k) EXPECT_EQ(m->point2[k], c.point2[k]) << k;
        }
        if (c.type == 205 || c.type == 206) {
            ASSERT_NE(m->path, nullptr);
            EXPECT_STREQ(m->path->auName, "group");
            EXPECT_EQ(m->path->points->count, std::string(c.kind) == "AI_PATROLWAY2" ? 1 : 2);
        }
        DrainQueues();
    }
    EXPECT_EQ(AIQueues[0].head, nullptr) << "nothing for the other clans";
    // The player's unit follows: it is the message's own unit.
    PlayerUnit = UnitOf(group, 0);
    Run("AI_FOLLOWME", "GA", "group");
    ASSERT_NE(AIQueues[1].head, nullptr);
    EXPECT_EQ(AIQueues[1].head->type, 356);
    EXPECT_EQ(AIQueues[1].head->unit, AIRecordOf(PlayerUnit, 1));
    DrainQueues();
    // The messages nothing acts on are named once on the debug print.
    Run("AI_PROTECT", "GA", "group");
    DrainQueues();
    size_t said = 0;
    for (size_t at = debug.text().find("AI_PROTECT:"); at != std::string::npos; at = debug.text().find("AI_PROTECT:", at + 1))
        ++said;
    EXPECT_EQ(said, 1u) << debug.text();
    for (const char* kind : {"AI_REACHAREA", "AI_GATHERINAREA", "AI_PROTECTAREA", "AI_ESCAPEWAY"})
        EXPECT_NE(debug.text().find(kind), std::string::npos) << kind;
    EXPECT_EQ(debug.text().find("AI_CAMP"), std::string::npos);
}

TEST_F(DayEventActions, ShowDayEventsPutsEachEventInTheLog) {
    LevelShowDayEvents = 1;
    Run("SETVAR", "v", "", {2.75f});
    Run("INCVAR", "v");
    Run("CLOUDSTART");
    ASSERT_EQ(MessageLogCount, 3);
    EXPECT_STREQ(MessageLog[0].sender, "day event: ");
    EXPECT_STREQ(MessageLog[0].text, "SETVAR v 2");
    EXPECT_STREQ(MessageLog[1].text, "INCVAR v");
    EXPECT_STREQ(MessageLog[2].text, "CLOUDSTART");
    EXPECT_EQ(Var("v"), 3.75f);
    LevelShowDayEvents = 0;
    Run("CLOUDSTOP");
    EXPECT_EQ(MessageLogCount, 3);
}

TEST_F(DayEventActions, UnknownClansAndRulesStopTheProgram) {
    EXPECT_EQ(FatalText([] { Run("CLANSUCCESS", "NATO"); }), "Error(NamedClan): No such Clan.");
    EXPECT_EQ(FatalText([] { Run("AI_CAMP", "NATO", "x"); }), "Error(NamedClan): No such Clan.");
    EXPECT_EQ(FatalText([] { Run("TEXTOUT", "nowhere"); }), "Error(NamedRule): Rule 'nowhere' not found");
    FreeRules();
    PrimaryObjectives[0].number = -2;
    EXPECT_EQ(FatalText([] { Run("PRIMARY", "", "", {1, 0}); }), "Error(NamedRule): Rule 'obj_added' not found");
    // A long notice is cut to its field.
    Rules("long \"" + std::string(100, 'x') + "\";");
    Run("TEXTOUT", "long");
    EXPECT_EQ(std::string(ViewNoticeText), std::string(63, 'x'));
}

}  // namespace
}  // namespace aitest
