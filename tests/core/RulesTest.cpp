// Rules files: number forms, info strings, redefinition, lookups and the two balance files.
#include <cmath>
#include <string>
#include <vector>

#include "CoreTestEnv.h"
#include "tools/datakit/RulesText.h"

namespace {

using coretest::CoreTest;

class RulesTest : public CoreTest {
protected:
    void Read(const std::string& utf8) {
        std::string path = tmp / "rules.txt";
        ASSERT_TRUE(datakit::WriteRulesText(path, utf8));
        host::FlushDirectoryCache();
        ReadRules(path.c_str());
    }
};

TEST_F(RulesTest, NumberForms) {
    struct Case {
        const char* word;
        double expected;
    } cases[] = {
        {"3.5", 3.5},      {"-.5", -0.5},           {"+2", 2.0},         {"50%", 0.5},
        {"90°", 102943.7}, {"-45°", -51471.85},     {"0x1F", 31.0},      {"0xFFFFFFFF", -1.0},
        {"1e3", 1000.0},   {"2.5e-1", 0.25},        {"7kg", 7.0},        {"-", 0.0},
        {"12.5%", 0.125},  {"180°", 205887.419},    {"0x10", 16.0},      {"0", 0.0},
    };
    std::string text;
    for (size_t i = 0; i < std::size(cases); ++i) text += "n" + std::to_string(i) + " " + cases[i].word + ";\n";
    Read(text);
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].word);
        Rule* r = FindRulef("n%zu", i);
        ASSERT_NE(r, nullptr);
        ASSERT_EQ(r->count, 1);
        EXPECT_NEAR(r->values[0], cases[i].expected, std::fabs(cases[i].expected) * 1e-6 + 1e-9);
        EXPECT_EQ(r->info[0], nullptr);
    }
}

TEST_F(RulesTest, DegreeSignIsByte0xB0InTheFile) {
    datakit::RulesFile f;
    f.rule("turn", {datakit::Deg(90)});
    std::string text = f.text();
    EXPECT_NE(text.find("90\xB0;"), std::string::npos);
}

TEST_F(RulesTest, WordsThatAreInfoStrings) {
    Read("t .5 \"quoted text\" bare 3 \"\" x \"sixth\";\n");
    Rule* r = NamedRule("t");
    ASSERT_EQ(r->count, 1);
    EXPECT_EQ(r->values[0], 3.0f);
    EXPECT_STREQ(r->info[0], ".5");
    EXPECT_STREQ(r->info[1], "quoted text");
    EXPECT_STREQ(r->info[2], "bare");
    EXPECT_STREQ(r->info[3], "");
    EXPECT_TRUE(RuleHasInfo(r, "bare"));
    EXPECT_FALSE(RuleHasInfo(r, "BARE"));
    EXPECT_FALSE(RuleHasInfo(r, "sixth"));
}

TEST_F(RulesTest, RedefinitionKeepsPlaceAndPointer) {
    Read("a 1;\nb 2 \"x\";\nc 3;\n");
    Rule* b = NamedRule("b");
    std::string second = tmp.Write("second.txt", "B 20 21;\nd 4;\n");
    ReadRules(second.c_str());
    EXPECT_EQ(NamedRule("b"), b);
    ASSERT_EQ(b->count, 2);
    EXPECT_EQ(b->values[1], 21.0f);
    EXPECT_EQ(b->info[0], nullptr);
    std::vector<std::string> order;
    for (Rule* r = RuleList; r; r = r->next) order.push_back(r->name);
    EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "c", "d"}));
}

TEST_F(RulesTest, EndWordAndNameSemicolon) {
    // A semicolon right after a name does not end the rule; "end" ends the file.
    Read("first;\n7;\nsecond 8;\nEND\nthird 9;\n");
    Rule* first = NamedRule("first");
    ASSERT_EQ(first->count, 1);
    EXPECT_EQ(first->values[0], 7.0f);
    EXPECT_NE(FindRule("second"), nullptr);
    EXPECT_EQ(FindRule("third"), nullptr);
}

TEST_F(RulesTest, FiftyWordsEndARuleWithoutSemicolon) {
    std::string text = "many";
    for (int i = 1; i <= 50; ++i) text += " " + std::to_string(i);
    text += " next 5;\n";
    Read(text);
    EXPECT_EQ(NamedRule("many")->count, 50);
    Rule* next = NamedRule("next");
    ASSERT_EQ(next->count, 1);
    EXPECT_EQ(next->values[0], 5.0f);
}

TEST_F(RulesTest, LookupsIgnoreCaseAndFatalNamesLowerCase) {
    Read("Mixed_Case 1;\n");
    EXPECT_EQ(FindRule("MIXED_CASE"), FindRule("mixed_case"));
    EXPECT_NE(FindRulef("%s_%s", "MIXED", "case"), nullptr);
    EXPECT_EQ(FatalText([] { NamedRulef("Absent_%d", 3); }), "Error(NamedRule): Rule 'absent_3' not found");
}

TEST_F(RulesTest, UnitRulesFallBackToThePrefix) {
    Read("hover1_speed 10;\nhover_speed 5;\nhover_mass 2;\n");
    EXPECT_EQ(NamedUnitRuleFor("Hover1", "Hover", "speed")->values[0], 10.0f);
    EXPECT_EQ(NamedUnitRuleFor("Hover1", "Hover", "%s", "mass")->values[0], 2.0f);
    EXPECT_EQ(FindUnitRuleFor("Hover1", "Hover", "armour"), nullptr);
    EXPECT_EQ(FatalText([] { NamedUnitRuleFor("Hover1", "Hover", "armour"); }),
              "Error(NamedUnitRule): Rule 'Hover_armour' not found");
}

TEST_F(RulesTest, RuleTextsAndObjectives) {
    Read("Ok_text \"Fine\";\nprimary2 3.9 \"Hold the bridge\";\nsecondary1 -2;\n");
    LoadRuleTexts();
    EXPECT_STREQ(GetRuleText(RuleText::Ok_text), "Fine");
    EXPECT_EQ(GetRuleText(RuleText::Cancel_text), nullptr);
    EXPECT_EQ(PrimaryObjectives[1].number, 3);
    EXPECT_STREQ(PrimaryObjectives[1].text, "Hold the bridge");
    EXPECT_EQ(SecondaryObjectives[0].number, -2);
    EXPECT_STREQ(SecondaryObjectives[0].text, "");
    // The published text is a copy: freeing the rules does not leave it dangling.
    FreeRules();
    EXPECT_STREQ(GetRuleText(RuleText::Ok_text), "Fine");
}

TEST_F(RulesTest, UnitBalanceFile) {
    Read("tank_shield 1;\ntank_structure 1;\ntank_acceleration 1 1;\ntank_SpeedConstraint 1;\n"
         "tank_strength 1;\ntank_SightRange 1 2 \"VISUAL\";\n"
         "jeep_SightRange 3 \"RADAR\";\n");
    std::string balance = tmp.Write("rules_unit.txt",
                                    "tank 10 20 99 30 31 40 41 50 \"x\" \"VISUAL\";\n"
                                    "jeep 1 2 3 4 5 6 7 8 900 \"x\" \"RADAR\";\n");
    ReadRulesUnitFile(balance.c_str());
    EXPECT_EQ(NamedRule("tank_shield")->values[0], 10.0f);
    EXPECT_EQ(NamedRule("tank_structure")->values[0], 20.0f);
    Rule* acc = NamedRule("tank_acceleration");
    EXPECT_EQ(acc->values[0], 30.0f);
    EXPECT_EQ(acc->values[1], 31.0f);
    Rule* speed = NamedRule("tank_speedconstraint");
    ASSERT_EQ(speed->count, 1);  // only existing positions are written
    EXPECT_EQ(speed->values[0], 40.0f);
    EXPECT_EQ(NamedRule("tank_strength")->values[0], 50.0f);
    EXPECT_EQ(NamedRule("tank_sightrange")->count, 0);
    EXPECT_STREQ(NamedRule("tank_sightrange")->info[0], "VISUAL");
    Rule* radar = NamedRule("jeep_sightrange");
    ASSERT_EQ(radar->count, 1);
    EXPECT_EQ(radar->values[0], 900.0f);
    EXPECT_STREQ(radar->info[0], "RADAR");
}

TEST_F(RulesTest, BalanceFilesWithWrongCountsAreFatal) {
    struct Case {
        bool unit;
        const char* text;
        const char* message;
    } cases[] = {
        {true, "tank 1 2 3 4 5 6 7 8 \"x\";\n", "Error(ReadRules_unit): rule tank has wrong number of strings"},
        {true, "tank 1 2 3 4 5 6 7 8 \"a\" \"b\" \"c\";\n",
         "Error(ReadRules_unit): rule tank has wrong number of strings"},
        {true, "tank 1 2 3 4 5 6 7 \"x\" \"y\";\n", "Error(ReadRules_unit): rule tank has 7 values - wrong"},
        {true, "tank 1 2 3 4 5 6 7 8 \"x\" \"RADAR\";\n", "Error(ReadRules_unit): rule tank has 8 values - wrong"},
        {false, "tank 1 2 3 4 5;\n", "Error(ReadRules_weapon): rule tank has 5 values - wrong"},
        {false, "tank 1 2 3 4 5 6 7;\n", "Error(ReadRules_weapon): rule tank has 7 values - wrong"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string path = tmp.Write("balance.txt", c.text);
        EXPECT_EQ(FatalText([&] { c.unit ? ReadRulesUnitFile(path.c_str()) : ReadRulesWeaponFile(path.c_str()); }),
                  c.message);
    }
}

TEST_F(RulesTest, WeaponBalanceFile) {
    Read("tank_PjtThrower_0_FireDelay 1;\ntank_PjtThrower_0_ammo 1;\ntank_PjtThrower_0_range 1 1 1;\n"
         "tank_PjtThrower_0_speed 1;\ntank_PjtThrower_0_ImpactPhysical 1;\ntank_PjtThrower_0_ImpactShield 1;\n"
         "tank_BeamCannon_1_PauseDelay 1;\ntank_BeamCannon_1_range 1 1;\ntank_BeamCannon_1_ImpactShield 1;\n"
         "tank_HVCannon_1_SalvoDelay 1;\ntank_HVCannon_1_FireDelay 1;\n");
    std::string path = tmp.Write("rules_weapon.txt", "tank 10 11 12 13 14 15 20 21 22 23 24 25;\n");
    ReadRulesWeaponFile(path.c_str());
    EXPECT_EQ(NamedRule("tank_PjtThrower_0_FireDelay")->values[0], 10.0f);
    EXPECT_EQ(NamedRule("tank_PjtThrower_0_ammo")->values[0], 11.0f);
    EXPECT_EQ(NamedRule("tank_PjtThrower_0_range")->values[2], 12.0f);
    EXPECT_EQ(NamedRule("tank_PjtThrower_0_speed")->values[0], 13.0f);
    EXPECT_EQ(NamedRule("tank_PjtThrower_0_ImpactPhysical")->values[0], 14.0f);
    EXPECT_EQ(NamedRule("tank_PjtThrower_0_ImpactShield")->values[0], 15.0f);
    EXPECT_EQ(NamedRule("tank_BeamCannon_1_PauseDelay")->values[0], 20.0f);
    EXPECT_EQ(NamedRule("tank_BeamCannon_1_range")->values[1], 1.0f);  // too few values: untouched
    EXPECT_EQ(NamedRule("tank_BeamCannon_1_ImpactShield")->values[0], 25.0f);
    EXPECT_EQ(NamedRule("tank_HVCannon_1_SalvoDelay")->values[0], 20.0f);
    EXPECT_EQ(NamedRule("tank_HVCannon_1_FireDelay")->values[0], 1.0f);  // the salvo delay takes it
}

}  // namespace
