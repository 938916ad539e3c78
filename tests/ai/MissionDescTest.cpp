// Mission-description expressions: every condition type against a hand-made scene, the term lists (AND
// within a letter, OR across letters, gaps, a letter without index 0), the readers' errors, and the
// names cut to their fields.
#include <functional>

#include "MissionFixtures.h"
#include "support/MemTrack.h"

namespace aitest {
namespace {

class MissionDesc : public MissionScene {
protected:
    // Builds an expression of one condition from the rule's words and numbers and evaluates it.
    int Eval(const std::string& condition) {
        const std::string name = "cond" + std::to_string(serial_++);
        Rules(name + "_A_0 " + condition + ";");
        return EvalMDExpr(CreateMDExpr(name.c_str()));
    }
    int serial_ = 0;
};

TEST_F(MissionDesc, EveryConditionTypeAgainstAScene) {
    // alpha: two EMA units at (1, 1) and (3, 3) tiles; bravo: one GA unit at (5, 1); idle: placed
    // nowhere; empty: placed, no units.
    AUDef* alpha = MakeAU("alpha", 0, {{1, 1}, {3, 3}});
    AUDef* bravo = MakeAU("bravo", 1, {{5, 1}});
    MakeAU("idle", 1, {{9, 9}}, false);
    MakeAU("empty", 0, {});
    construct* a0 = UnitOf(alpha, 0);
    construct* a1 = UnitOf(alpha, 1);
    construct* b0 = UnitOf(bravo, 0);
    CreateMDVar("v")->value = 2.5f;
    construct* arabUnit = Unit(arab(), 0, 0, 0);
    SetClanHostility(ema(), ga(), kHostile);

    struct Case {
        const char* what;
        std::function<void()> scene;  // changes the scene before the condition is evaluated
        const char* condition;
        int expected;
    };
    auto threat = [](construct* holder, construct* seen) {
        UnitShare* rec = GetUnitShare(holder);
        rec->threats[0] = ThreatEntry{};
        rec->threats[0].con = seen;
        rec->threatCount = 1;
    };
    auto noThreats = [&] { GetUnitShare(a0)->threatCount = GetUnitShare(a1)->threatCount = 0; };
    const Case cases[] = {
        {"activated: action not done", [] {}, "\"ACTIVATED\" \"alpha\"", 0},
        {"activated: action done", [&] { alpha->action = kActionDone; }, "\"ACTIVATED\" \"alpha\"", 1},
        {"captured: a unit still to capture", [&] { AppendToConstructPool(captured_, a1); },
         "\"CAPTURED\" \"alpha\"", 0},
        {"captured: none left", [&] { RemoveFromConstructPool(captured_, a1); }, "\"CAPTURED\" \"alpha\"", 1},
        {"reached area: one unit inside", [] {}, "\"REACHEDAREA\" \"alpha\" 131072 131072 262144 262144", 1},
        {"reached area: edges are outside", [] {}, "\"REACHEDAREA\" \"alpha\" 65536 65536 196608 196608", 0},
        {"gathered: one outside", [] {}, "\"GATHEREDINAREA\" \"alpha\" 0 0 131072 131072", 0},
        {"gathered: both inside", [] {}, "\"GATHEREDINAREA\" \"alpha\" 0 0 262144 262144", 1},
        {"gathered: no units", [] {}, "\"GATHEREDINAREA\" \"empty\" 0 0 1 1", 1},
        {"destroyed: both standing", [] {}, "\"DESTROYED\" \"alpha\"", 0},
        {"intact: both standing", [] {}, "\"INTACT\" \"alpha\"", 1},
        {"unit lost: none", [] {}, "\"UNITLOST\" \"alpha\"", 0},
        {"unit lost: one down", [&] { SetStructure(a0, 0); }, "\"UNITLOST\" \"alpha\"", 1},
        {"intact: one down", [] {}, "\"INTACT\" \"alpha\"", 0},
        {"destroyed: one standing", [] {}, "\"DESTROYED\" \"alpha\"", 0},
        {"destroyed: both down", [&] { SetStructure(a1, -3); }, "\"DESTROYED\" \"alpha\"", 1},
        {"var equal", [] {}, "\"VAREQUAL\" \"v\" 2.5", 1},
        {"var equal, a float apart", [] {}, "\"VAREQUAL\" \"v\" 2.5001", 0},
        {"var greater", [] {}, "\"VARGREATER\" \"v\" 2", 1},
        {"var less", [] {}, "\"VARLESS\" \"v\" 2", 0},
        {"var never set holds 0", [] {}, "\"VAREQUAL\" \"unset\" 0", 1},
        {"hostiles: none seen", noThreats, "\"GOTHOSTILES\" \"alpha\"", 0},
        {"no hostiles: none seen", [] {}, "\"GOTNOHOSTILES\" \"alpha\"", 1},
        {"threats: none", [] {}, "\"GOTTHREATS\" \"alpha\"", 0},
        {"no threats: none", [] {}, "\"GOTNOTHREATS\" \"alpha\"", 1},
        {"hostiles: a neutral unit seen", [&] { threat(a1, arabUnit); }, "\"GOTHOSTILES\" \"alpha\"", 0},
        {"threats: a neutral unit seen", [] {}, "\"GOTTHREATS\" \"alpha\"", 1},
        {"no threats: one seen", [] {}, "\"GOTNOTHREATS\" \"alpha\"", 0},
        {"hostiles: a GA unit seen", [&] { threat(a1, b0); }, "\"GOTHOSTILES\" \"alpha\"", 1},
        {"no hostiles: a GA unit seen", [] {}, "\"GOTNOHOSTILES\" \"alpha\"", 0},
        // The nearest pair is 2.83 tiles apart: far beyond what a 32-bit sum of squares holds.
        {"vicinity: nearer than 2.9 tiles", [] {}, "\"INVICINITY\" \"alpha\" \"bravo\" 190054", 1},
        {"vicinity: not nearer than 2.8 tiles", [] {}, "\"INVICINITY\" \"alpha\" \"bravo\" 183501", 0},
        {"vicinity: second unit not in the world", [] {}, "\"INVICINITY\" \"alpha\" \"idle\" 99999999", 0},
        {"colliding: no hits", [] {}, "\"COLLIDING\" \"alpha\" \"bravo\"", 0},
        {"colliding: bravo hit by alpha", [&] { b0->hits[0] = b0, b0->hits[1] = a1; },
         "\"COLLIDING\" \"alpha\" \"bravo\"", 1},
        {"colliding: after an empty slot", [&] { b0->hits[0] = nullptr; }, "\"COLLIDING\" \"alpha\" \"bravo\"", 0},
        {"unit entered: the player drives none", [] {}, "\"UNITENTERED\" \"alpha\"", 0},
        {"unit entered: the player drives one", [&] { PlayerUnit = a1; }, "\"UNITENTERED\" \"alpha\"", 1},
        {"no attackers", [] {}, "\"GOTNOATTACKERS\" \"alpha\"", 1},
        {"no attackers: no units", [] {}, "\"GOTNOATTACKERS\" \"empty\"", 1},
        // An action unit out of the world makes every type false, the "no" types too.
        {"out of the world: no hostiles", [] {}, "\"GOTNOHOSTILES\" \"idle\"", 0},
        {"out of the world: no threats", [] {}, "\"GOTNOTHREATS\" \"idle\"", 0},
        {"out of the world: no attackers", [] {}, "\"GOTNOATTACKERS\" \"idle\"", 0},
        {"out of the world: intact", [] {}, "\"INTACT\" \"idle\"", 0},
        {"an AU type without an AU", [] {}, "\"INTACT\"", 0},
    };
    for (const Case& c : cases) {
        c.scene();
        EXPECT_EQ(Eval(c.condition), c.expected) << c.what;
    }
    PlayerUnit = nullptr;
    b0->hits[1] = nullptr;
    noThreats();
    EXPECT_EQ(MDVarCount, 9 + 2) << "the damage variables, v and the one a condition made";
}

TEST_F(MissionDesc, LettersAreOredTheirConditionsAnded) {
    CreateMDVar("v");
    Rules("gaps_A_0 \"VARGREATER\" \"v\" 0;"
          "gaps_A_5 \"VARLESS\" \"v\" 10;"
          "gaps_B_3 \"VAREQUAL\" \"v\" 0;"  // no gaps_B_0: the letter is not read
          "only_C_0 \"VAREQUAL\" \"v\" 7;");
    MDExpr* gaps = CreateMDExpr("gaps");
    EXPECT_EQ(gaps->terms[1], nullptr);
    ASSERT_NE(gaps->terms[0], nullptr);
    ASSERT_NE(gaps->terms[0]->next, nullptr);
    EXPECT_EQ(gaps->terms[0]->next->type, kMDVarLess);
    MDExpr* onlyC = CreateMDExpr("only");
    struct Case {
        float v;
        int gaps, onlyC;
    } cases[] = {{0, 0, 0}, {5, 1, 0}, {7, 1, 1}, {20, 0, 0}};
    for (const Case& c : cases) {
        NamedMDVar("v")->value = c.v;
        EXPECT_EQ(EvalMDExpr(gaps), c.gaps) << c.v;
        EXPECT_EQ(EvalMDExpr(onlyC), c.onlyC) << c.v;
    }
    EXPECT_EQ(NamedMDExpr("only"), onlyC);
    EXPECT_EQ(NamedMDExpr("Only"), nullptr) << "names compare exactly";
    EXPECT_EQ(EvalMDExpr(nullptr), 0);
}

TEST_F(MissionDesc, MalformedExpressionsAreRefused) {
    kvtest::MemTrack mem;
    MakeAU("alpha", 0, {{1, 1}});
    std::string full;
    for (int i = 0; i <= 32; ++i) full += "full_A_" + std::to_string(i) + " \"INTACT\" \"alpha\";";
    Rules(full +
          "typo_A_0 \"Intact\" \"alpha\";"
          "ghost_A_0 \"INTACT\" \"ghost\";"
          "hollow_B_1 \"INTACT\" \"alpha\";"
          "bare_A_0 1;");
    const struct {
        const char* name;
        const char* message;
    } cases[] = {
        {"full", "Error(CreateMDExpr): too many conds in MDExpr 'full'"},
        {"typo", "Error(NamedMDType): unknown mission description type 'Intact'"},
        {"ghost", "Error(CreateMDCond): AUDef 'ghost' is not present"},
        {"hollow", "Error(CreateMDExpr): expression 'hollow' is empty"},
        {"missing", "Error(CreateMDExpr): expression 'missing' is empty"},
        {"bare", "Error(NamedMDType): unknown mission description type ''"},
    };
    for (const auto& c : cases) EXPECT_EQ(FatalText([&] { CreateMDExpr(c.name); }), c.message) << c.name;
    while (MDExprCount > 0) FreeMDExpr(MDExprTable[0]);

    Rules("x_A_0 \"VAREQUAL\" \"v\" 1;");
    for (int i = 0; i < kMaxMDExprs; ++i) CreateMDExpr("x");
    EXPECT_EQ(FatalText([&] { CreateMDExpr("x"); }), "Error(CreateMDExpr): Too many md exprs");
    while (MDExprCount > 0) FreeMDExpr(MDExprTable[0]);
    while (MDVarCount < kMaxMDVars) CreateMDVar(("w" + std::to_string(MDVarCount)).c_str());
    EXPECT_EQ(FatalText([&] { CreateMDVar("one more"); }), "Error(CreateMDVar): too many md vars");
    while (MDVarCount > 0) FreeMDVar(MDVarTable[0]);
    EXPECT_EQ(mem.Live("md expr"), 0);
    EXPECT_EQ(mem.Live("MDCond cell"), 0) << "a refused condition leaves no cell behind";
    EXPECT_EQ(mem.Live("md var"), 0);
}

TEST_F(MissionDesc, LongNamesAreCutAndFoundByTheirLongForm) {
    const std::string name(100, 'q');
    MDVar* var = CreateMDVar(name.c_str());
    EXPECT_EQ(std::string(var->name), name.substr(0, 63));
    EXPECT_EQ(NamedMDVar(name.c_str()), var);
    EXPECT_EQ(NamedMDVar(name.substr(0, 63).c_str()), var);
    EXPECT_EQ(NamedMDVar(name.substr(0, 62).c_str()), nullptr);
    Rules(name + "_A_0 \"VAREQUAL\" \"" + name + "\" 0;");
    MDExpr* expr = CreateMDExpr(name.c_str());
    EXPECT_EQ(std::string(expr->name), name.substr(0, 63));
    EXPECT_EQ(NamedMDExpr(name.c_str()), expr);
    EXPECT_EQ(expr->terms[0]->variable, var);
    EXPECT_EQ(EvalMDExpr(expr), 1);
}

}  // namespace
}  // namespace aitest
