// The units file: its reader over good and malformed files, the entries' dispatcher with clone rules and
// flags, and the lookups that go through an entry.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/Config.h"
#include "core/Keys.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "host/Fs.h"
#include "objects/Units.h"
#include "platform/Sound.h"
#include "support/DebugCapture.h"
#include "support/Fatal.h"
#include "support/MemTrack.h"
#include "support/TempDir.h"
#include "tools/datakit/RulesText.h"
#include "tools/datakit/UnitsFile.h"
#include "world/Construct.h"
#include "world/Player.h"

namespace {

// A test type standing in for a registered object type: records what reaches it.
struct Seen {
    construct* createArg = nullptr;
    std::string createPath;
    int32_t placeExtra = -1;
    std::vector<ItfcMethod> methods;
} g_seen;

uintptr_t Jeep_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    if (method == ItfcMethod::GETNAME) return reinterpret_cast<uintptr_t>("EMAJeep");
    if (method == ItfcMethod::CREATE) {
        g_seen.createArg = con;
        g_seen.createPath = reinterpret_cast<const char*>(arg);
        construct* made = CreateConstruct(0, 0);
        made->itfc = Jeep_itfc;
        return reinterpret_cast<uintptr_t>(made);
    }
    if (method == ItfcMethod::PLACE) g_seen.placeExtra = reinterpret_cast<PlacementRecord*>(arg)->extraFlags;
    g_seen.methods.push_back(method);
    return 0;
}
uintptr_t Giant_itfc(construct*, ItfcMethod method, uintptr_t) {
    if (method == ItfcMethod::GETNAME) return reinterpret_cast<uintptr_t>("GiantElem");
    return 0;
}

constexpr int kJeepSlot = 4;
constexpr int kGiantSlot = 26;

class UnitsTest : public ::testing::Test {
protected:
    UnitsTest() {
        std::memcpy(savedSlots_, ItfcRegistry, sizeof savedSlots_);
        std::strcpy(savedRoot_, OBJROOT);
        std::strcpy(OBJROOT, "app\\objects");
        ItfcRegistry[kJeepSlot] = Jeep_itfc;
        ItfcRegistry[kGiantSlot] = Giant_itfc;
        g_seen = Seen{};
    }
    ~UnitsTest() override {
        while (UnitCount > 0) FreeUnit(UnitTable[0]);
        FreeRules();
        std::memcpy(ItfcRegistry, savedSlots_, sizeof savedSlots_);
        std::strcpy(OBJROOT, savedRoot_);
        host::FlushDirectoryCache();
    }
    void ReadText(const std::string& text) {
        dir_.Write("units", text);
        host::FlushDirectoryCache();
        ReadUnitsFile((dir_ / "units").c_str());
    }
    void ReadRulesText(const std::string& text) {
        ASSERT_TRUE(datakit::WriteRulesText(dir_ / "rules", text + "end\n"));
        host::FlushDirectoryCache();
        ReadRules((dir_ / "rules").c_str());
    }
    template <typename Fn>
    static std::string FatalText(Fn fn) {
        try {
            fn();
        } catch (const kvtest::FatalExit& e) {
            return e.what();
        }
        return "";
    }
    kvtest::FatalCatcher fatal_;
    kvtest::TempDir dir_;

private:
    ItfcProc savedSlots_[kItfcSlotCount];
    char savedRoot_[kRootSize];
};

TEST_F(UnitsTest, ReadsEveryFieldOfAnEntry) {
    kvtest::DebugCapture debug;
    std::vector<datakit::UnitEntry> entries = {
        {"EMAJeep", "EMAJeep", "E.M.A. Jeep", "ema\\jeep", {"VEHICLE", "TARGET"}, {}, "a comment line"},
        {"Tower", "GiantElem", "Watch tower", "bld\\tower", {}, {"LARGE", "ACCESSIBLE", "CORNERRAILING"}, ""},
        {"Fir", "Train", "Fir", "scen\\fir", {"SCENERY", "DARKENED", "NOTARGETVIEW"}, {"SEETHROUGH"}, ""},
    };
    ReadText(datakit::UnitsFileText(entries));
    ASSERT_EQ(UnitCount, 3);

    Unit* jeep = NamedUnit("EMAJeep");
    ASSERT_NE(jeep, nullptr);
    EXPECT_STREQ(jeep->rulePrefix, "EMAJeep");
    EXPECT_STREQ(jeep->gameName, "E.M.A. Jeep");
    EXPECT_STREQ(jeep->path, "app\\objects\\ema\\jeep");
    EXPECT_EQ(jeep->klass, 0x4u | 0x800u);
    EXPECT_EQ(jeep->extra, 0u);
    EXPECT_EQ(jeep->itfc, Jeep_itfc);

    Unit* tower = NamedUnit("Tower");
    ASSERT_NE(tower, nullptr);
    EXPECT_EQ(tower->itfc, Giant_itfc);
    EXPECT_EQ(tower->klass, 0u);
    EXPECT_EQ(tower->extra, 0x10000u | 0x20000u | 0x200000u);

    // A type the registry has a slot for but that is not built yet: kept by name, said once.
    Unit* fir = NamedUnit("Fir");
    ASSERT_NE(fir, nullptr);
    EXPECT_EQ(fir->itfc, nullptr);
    EXPECT_STREQ(fir->itfcName, "Train");
    EXPECT_EQ(fir->klass, 0x200u | 0x400000u | 0x1000000u);
    EXPECT_EQ(fir->extra, 0x800u);
    EXPECT_EQ(debug.text(), "units: type 'Train' of 'Fir' is not built yet\n");

    EXPECT_EQ(NamedUnit("emajeep"), nullptr) << "names are compared exactly";
    EXPECT_EQ(NamedUnit("Nothing"), nullptr);
}

TEST_F(UnitsTest, LayoutVariantsOfGoodFiles) {
    struct Case {
        const char* what;
        const char* text;
        int count;
        const char* gameName;  // of the first entry
        uint32_t klass, extra;
    } cases[] = {
        {"empty file", "", 0, nullptr, 0, 0},
        {"only blanks and a comment", "  \n/* nothing */\n", 0, nullptr, 0, 0},
        {"starts with end", "end\nA EMAJeep \"x\" d(VEHICLE)();\n", 0, nullptr, 0, 0},
        {"no end", "A EMAJeep \"Jeep\" d(VEHICLE)();\n", 1, "Jeep", 0x4, 0},
        {"blank before the lists", "A EMAJeep \"Jeep\" d (VEHICLE SHIP) (LARGE);\nend\n", 1, "Jeep", 0x6, 0x10000},
        {"lists over lines", "A EMAJeep J d(\nVEHICLE\nRADAR)(\nGIANT\n)\n;end", 1, "J", 0x800004, 0x10000000},
        {"unquoted game name", "A EMAJeep Jeep d()();end", 1, "Jeep", 0, 0},
        {"empty quoted game name", "A EMAJeep \"\" d()();end", 1, "", 0, 0},
        {"text after end is not read", "A EMAJeep J d()();\nend\nthis is not an entry(", 1, "J", 0, 0},
        {"two entries", "A EMAJeep J d()();B GiantElem G e()();", 2, "J", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ReadText(c.text);
        ASSERT_EQ(UnitCount, c.count);
        if (c.count > 0) {
            EXPECT_STREQ(UnitTable[0]->gameName, c.gameName);
            EXPECT_EQ(UnitTable[0]->klass, c.klass);
            EXPECT_EQ(UnitTable[0]->extra, c.extra);
        }
        while (UnitCount > 0) FreeUnit(UnitTable[0]);
    }
}

TEST_F(UnitsTest, MalformedFilesAreRefused) {
    struct Case {
        const char* what;
        const char* text;
        const char* error;
    } cases[] = {
        {"klass in lower case", "A EMAJeep J d(vehicle)();", "Error(NamedKlass): unknown klass"},
        {"unknown klass", "A EMAJeep J d(TANK)();", "Error(NamedKlass): unknown klass"},
        {"klass name as construct flag", "A EMAJeep J d()(VEHICLE);", "Error(NamedConstructFlag): unknown flag"},
        {"unknown type", "A Tank J d()();", "Error(NamedItfc): unknown itfc"},
        {"type name in the wrong case", "A emajeep J d()();", "Error(NamedItfc): unknown itfc"},
        {"directory without lists", "A EMAJeep J d;", "Error(ReadUnitsFile): expected a '('"},
        {"directory ends the file", "A EMAJeep J d", "Error(ReadUnitsFile): expected a '('"},
        {"word between the lists", "A EMAJeep J d()x();", "Error(ReadUnitsFile): expected a '('"},
        {"second list missing", "A EMAJeep J d();", "Error(ReadUnitsFile): expected a '('"},
        {"comma in the klass list", "A EMAJeep J d(VEHICLE,SHIP)();",
         "Error(ReadUnitsFile): strange klass flag list"},
        {"comma in the extra list", "A EMAJeep J d()(LARGE,GIANT);",
         "Error(ReadUnitsFile): strange extra flag list"},
        {"end inside the klass list", "A EMAJeep J d(VEHICLE", "Error(ReadUnitsFile): premature end of file"},
        {"end inside the klass list after a blank", "A EMAJeep J d(VEHICLE ",
         "Error(ReadUnitsFile): premature end of file"},
        {"end inside the extra list", "A EMAJeep J d()(LARGE ", "Error(ReadUnitsFile): premature end of file"},
        {"no semicolon", "A EMAJeep J d()(),\n", "Error(ReadUnitsFile): expected a ';'"},
        {"semicolon missing at the end", "A EMAJeep J d()()", "Error(ReadUnitsFile): expected a ';'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(FatalText([&] { ReadText(c.text); }), c.error);
        while (UnitCount > 0) FreeUnit(UnitTable[0]);
    }
}

TEST_F(UnitsTest, UnclosedQuoteAsGameNameRunsToTheEndOfTheFile) {
    // A quote that the file ends before closing takes the rest of the text into the name (without
    // losing its last character); a quote at the very end gives an empty name. Either way the entry
    // then lacks its flag lists.
    const struct {
        const char* text;
        const char* name;
    } cases[] = {{"A EMAJeep \"(d)()();", "(d)()();"}, {"A EMAJeep \"", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(FatalText([&] { ReadText(c.text); }), "Error(ReadUnitsFile): expected a '('");
        ASSERT_EQ(UnitCount, 1);
        EXPECT_STREQ(UnitTable[0]->gameName, c.name);
        while (UnitCount > 0) FreeUnit(UnitTable[0]);
    }
}

TEST_F(UnitsTest, TableHoldsAtMost1024Entries) {
    for (int i = 0; i < kMaxUnits; ++i) CreateUnit();
    EXPECT_EQ(UnitCount, kMaxUnits);
    EXPECT_EQ(FatalText([] { CreateUnit(); }), "Error(CreateUnit): Too many Units");
    EXPECT_EQ(UnitCount, kMaxUnits);
}

TEST_F(UnitsTest, FreeUnitMovesTheLastEntryIntoTheGapAndFreesEverything) {
    kvtest::MemTrack track;
    ReadText("A EMAJeep \"a\" d()();B EMAJeep \"b\" d()();C EMAJeep \"c\" d()();");
    ASSERT_EQ(UnitCount, 3);
    FreeUnit(NamedUnit("A"));
    ASSERT_EQ(UnitCount, 2);
    EXPECT_STREQ(UnitTable[0]->name, "C");
    EXPECT_STREQ(UnitTable[1]->name, "B");
    FreeUnit(nullptr);
    while (UnitCount > 0) FreeUnit(UnitTable[0]);
    EXPECT_EQ(track.Live(), 0);
}

TEST_F(UnitsTest, CreateAndPlaceThroughTheEntry) {
    ReadRulesText("Scout_is_clone_of \"EMAJeep\";\nEMAJeep_speed 10;\nScout_speed 12;\nEMAJeep_mass 3;\n");
    ReadText("Scout EMAJeep \"Scout\" ema\\jeep(DARKENED)(LARGE FLOATING);\nEMAJeep EMAJeep J ema\\jeep()();");
    Unit* scout = NamedUnit("Scout");
    ASSERT_NE(scout, nullptr);
    EXPECT_STREQ(scout->rulePrefix, "Scout") << "the clone rule is resolved at CREATE";

    auto* con = reinterpret_cast<construct*>(UnitType_itfc(scout, nullptr, ItfcMethod::CREATE, 0));
    ASSERT_NE(con, nullptr);
    EXPECT_EQ(g_seen.createArg, reinterpret_cast<construct*>(scout)) << "the type gets the entry";
    EXPECT_EQ(g_seen.createPath, "app\\objects\\ema\\jeep");
    EXPECT_EQ(con->unit, scout);
    EXPECT_EQ(con->kind, 9) << "DARKENED";
    EXPECT_STREQ(scout->rulePrefix, "EMAJeep");

    // A second CREATE leaves the same prefix; the rules come from the clone first, then the prefix.
    auto* con2 = reinterpret_cast<construct*>(UnitType_itfc(scout, nullptr, ItfcMethod::CREATE, 0));
    EXPECT_STREQ(scout->rulePrefix, "EMAJeep");
    EXPECT_EQ(NamedUnitRule(scout, "speed")->values[0], 12.0f);
    EXPECT_EQ(NamedUnitRule(scout, "%s", "mass")->values[0], 3.0f);
    EXPECT_EQ(FindUnitRule(scout, "armour"), nullptr);
    EXPECT_EQ(FatalText([&] { NamedUnitRule(scout, "armour"); }),
              "Error(NamedUnitRule): Rule 'EMAJeep_armour' not found");

    Unit* plain = NamedUnit("EMAJeep");
    auto* con3 = reinterpret_cast<construct*>(UnitType_itfc(plain, nullptr, ItfcMethod::CREATE, 0));
    EXPECT_EQ(con3->kind, 8) << "kind stays as created without DARKENED";

    // PLACE carries the entry's extra flags in word 7; other methods are handed on or answered with 0.
    PlacementRecord rec{};
    rec.extraFlags = 12345;
    EXPECT_EQ(UnitType_itfc(scout, con, ItfcMethod::PLACE, reinterpret_cast<uintptr_t>(&rec)), 0u);
    EXPECT_EQ(rec.extraFlags, 0x10000 | 0x2000);
    EXPECT_EQ(g_seen.placeExtra, 0x10000 | 0x2000);
    for (ItfcMethod m : {ItfcMethod::UNPLACE, ItfcMethod::SETPARAMS, ItfcMethod::TICK, ItfcMethod::GETNAME,
                         ItfcMethod::GETUNIT, static_cast<ItfcMethod>(22), ItfcMethod::DESTROY})
        EXPECT_EQ(UnitType_itfc(scout, con, m, 0), 0u);
    const std::vector<ItfcMethod> forwarded = {ItfcMethod::PLACE, ItfcMethod::UNPLACE, ItfcMethod::SETPARAMS,
                                               ItfcMethod::DESTROY};
    EXPECT_EQ(g_seen.methods, forwarded);
    for (construct* c : {con, con2, con3}) FreeConstruct(c);
}

TEST_F(UnitsTest, EntryOfATypeNotBuiltYetCreatesNothingUntilItIsRegistered) {
    kvtest::DebugCapture debug;
    ReadText("Jeep EMAJeep J d()();");
    ItfcRegistry[kJeepSlot] = nullptr;
    ReadText("Later EMAJeep J d()();");
    Unit* later = NamedUnit("Later");
    ASSERT_EQ(later->itfc, nullptr);
    EXPECT_EQ(UnitType_itfc(later, nullptr, ItfcMethod::CREATE, 0), 0u);
    ItfcRegistry[kJeepSlot] = Jeep_itfc;
    auto* con = reinterpret_cast<construct*>(UnitType_itfc(later, nullptr, ItfcMethod::CREATE, 0));
    ASSERT_NE(con, nullptr);
    EXPECT_EQ(later->itfc, Jeep_itfc);
    EXPECT_EQ(con->unit, later);
    FreeConstruct(con);
}

TEST_F(UnitsTest, LookupsThroughAnEntry) {
    ReadRulesText(
        "Heavy_Engine 65536 100 200 \"heavy.wav\";\nBoom 1000 0 0 \"boom.wav\";\n"
        "Tank_KeyMultipliers 0.5 2 1 1 1.25 3;\nScout_KeyMultipliers 2;\n");
    ReadText("Tank EMAJeep T d()();Scout EMAJeep S d()();Plain EMAJeep P d()();");
    Unit* tank = NamedUnit("Tank");
    qzFree(tank->rulePrefix);  // replaced as a clone rule would
    tank->rulePrefix = qzStrDup("Heavy", "rule prefix");

    SoundDesc d{};
    EXPECT_EQ(LookupRuleSound(tank, &d, "%s", "Engine"), 1);
    EXPECT_STREQ(d.file, "heavy.wav");
    EXPECT_EQ(LookupRuleSound(NamedUnit("Scout"), &d, "Engine"), 0);
    EXPECT_STREQ(d.file, "");
    EXPECT_EQ(LookupRuleSound(static_cast<const Unit*>(nullptr), &d, "Boom"), 1);
    EXPECT_STREQ(d.file, "boom.wav");

    // The axis multipliers of the player's input follow the unit it drives.
    construct* con = CreateConstruct(0, 0);
    struct Case {
        const char* unit;
        int32_t scales[6];
    } cases[] = {
        {"Tank", {128, 512, 256, 256, 320, 768}},
        {"Plain", {256, 256, 256, 256, 256, 256}},
        {"Scout", {512, 256, 256, 256, 256, 256}},
    };
    PlayerCell* cell = CreatePlayer("tester");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.unit);
        con->unit = NamedUnit(c.unit);
        SetInputConstruct(con, cell);
        for (int i = 0; i < 6; ++i) EXPECT_EQ(AxisBindings[i].scale, c.scales[i]) << i;
    }

    // A missing billboard names the unit.
    con->unit = tank;
    EXPECT_EQ(FatalText([&] { NamedBBoard(con, "flare"); }),
              "Error(NamedBBoard): bboard named 'flare' not present (Tank)");
    con->unit = nullptr;
    EXPECT_EQ(FatalText([&] { NamedBBoard(con, "flare"); }), "Error(NamedBBoard): bboard named 'flare' not present");
    con->playerCell = nullptr;
    DeletePlayer(cell);
    FreeConstruct(con);
}

TEST_F(UnitsTest, NamedFlagsShowTheNameBeforeTheFatalError) {
    EXPECT_EQ(NamedKlass("GLIDER"), 0x1u);
    EXPECT_EQ(NamedKlass("NOTARGETVIEW"), 0x1000000u);
    EXPECT_EQ(NamedConstructFlag("SUPERFORCECOLLISION"), 0x40000000u);
    EXPECT_EQ(NamedConstructFlag("NORAILING"), 0x1000u);
    EXPECT_EQ(FatalText([] { NamedKlass("Glider"); }), "Error(NamedKlass): unknown klass");
    EXPECT_EQ(FatalText([] { NamedConstructFlag("large"); }), "Error(NamedConstructFlag): unknown flag");
}

}  // namespace

namespace {

TEST_F(UnitsTest, DemoUnitsFileNamesEveryTypeOfTheRegistry) {
    kvtest::DebugCapture debug;
    std::ifstream in(std::string(KV_SOURCE_DIR) + "/data/app/units", std::ios::binary);
    ASSERT_TRUE(in.good());
    const std::string source((std::istreambuf_iterator<char>(in)), {});
    ASSERT_TRUE(datakit::WriteUnitsText(dir_ / "units", source));
    host::FlushDirectoryCache();
    ReadUnitsFile((dir_ / "units").c_str());
    for (const char* type : ItfcSlotNames) {
        bool named = false;
        for (int i = 0; i < UnitCount; ++i) named = named || std::strcmp(UnitTable[i]->itfcName, type) == 0;
        EXPECT_TRUE(named) << type;
    }
    for (const char* fir : {"e9fir1", "e9fir2", "e9fir3", "e9fir4", "WayPointer", "Bunker", "Tower", "Crate", "Tree"})
        EXPECT_NE(NamedUnit(fir), nullptr) << fir;
}

}  // namespace
