// Saved games: a level written, torn down, built again and read back; files that are damaged or do not
// fit the running level refused with the level untouched; a save that fails while writing.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>

#include "LevelFixture.h"
#include "ai/AUDef.h"
#include "ai/Clan.h"
#include "core/Memory.h"
#include "objects/SharedPools.h"
#include "objects/UnitShare.h"
#include "render/Sky.h"
#include "render/TerrainScene.h"
#include "render/Weather.h"
#include "support/DebugCapture.h"
#include "support/Fatal.h"
#include "tools/datakit/RulesText.h"
#include "tools/datakit/SavedGame.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Geom.h"
#include "game/Level_local.h"
#include "world/QZEvent.h"
#include "game/SavedGame.h"
#include "world/Terrain.h"
#include "game/WorldHash.h"
#include "game/WorldTick.h"

namespace kvtest {
namespace {

// A test-only unit type: its data block is the unit record and two counters; what it saves is the two
// counters alone (no pointer leaves the type). It has two spots and one billboard.
struct CrateBlock {
    UnitShare share;
    int32_t ticks;
    int32_t health;
};
struct CrateSaved {
    int32_t ticks;
    int32_t health;
};

CrateBlock* Crate(construct* con) { return static_cast<CrateBlock*>(con->itfcData); }

uintptr_t Crate_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    using M = ItfcMethod;
    if (method == M::GETNAME) return reinterpret_cast<uintptr_t>("EMAJeep");
    if (method == M::CREATE) {
        construct* c = CreateConstruct(1, kConInputDriven);
        c->itfc = Crate_itfc;
        auto* b = static_cast<CrateBlock*>(AllocItfcData(c, sizeof(CrateBlock)));
        b->health = 100;
        AllocUnitThreatLists(&b->share, 16);
        c->spotCount = 2;
        c->spots = static_cast<SpotRecord*>(qzAlloc(2 * sizeof(SpotRecord), "spt"));
        std::memset(c->spots, 0, 2 * sizeof(SpotRecord));
        c->bboardCount = 1;
        c->bboards = static_cast<bboard**>(qzAlloc(sizeof(bboard*), "bboards"));
        c->bboards[0] = CreateBBoard();
        return reinterpret_cast<uintptr_t>(c);
    }
    if (method == M::PLACE) {
        const auto* p = reinterpret_cast<const PlacementRecord*>(arg);
        con->pos[0] = p->x;
        con->pos[1] = p->y;
        con->pos[2] = p->z;
        con->flags |= kConstructPlaced;
        ActivateConstruct(con);
        MakeBuzy(con, 1);
    } else if (method == M::UNPLACE) {
        con->flags &= ~kConstructPlaced;
        UnMakeBuzy(con);
        DeactivateConstruct(con);
    } else if (method == M::TICK) {
        ++Crate(con)->ticks;
    } else if (method == M::GETUNIT) {
        return reinterpret_cast<uintptr_t>(&Crate(con)->share);
    } else if (method == M::GETITFCDATA) {
        return CopyItfcDataBlock(&Crate(con)->ticks, sizeof(CrateSaved), "Crate", arg);
    } else if (method == M::SETITFCDATA) {
        std::memcpy(&Crate(con)->ticks, reinterpret_cast<const void*>(arg), sizeof(CrateSaved));
    } else if (method == M::DESTROY) {
        UnMakeBuzy(con);
        DeactivateConstruct(con);
        FreeUnitThreatLists(&Crate(con)->share);
        FreeConstruct(con);
    }
    return 0;
}

std::map<std::string, std::string> Script() {
    auto rules = TestScriptRules();
    rules["convoy"] = "\"activate\"";
    rules["WaterColour"] = "250 20 20";
    return rules;
}

// The mean colour of the lower half of a view over open sea, drawn with the running level's water.
struct MeanColour {
    double r, g, b;
};
MeanColour SeaColour() {
    TerrainScene scene(64, 48, 9);
    SinkBoard(scene.board());
    scene.SetCamera({4 * 65536 + 20000, 300 * 8 + 1500, 65536 + 6000}, PitchedDown(0.35));
    scene.Draw();
    const std::vector<uint32_t> pixels = scene.Pixels();
    MeanColour m{0, 0, 0};
    const size_t from = pixels.size() / 2;
    for (size_t i = from; i < pixels.size(); ++i) {
        m.r += pixels[i] >> 16 & 0xFF;
        m.g += pixels[i] >> 8 & 0xFF;
        m.b += pixels[i] & 0xFF;
    }
    const double n = double(pixels.size() - from);
    return {m.r / n, m.g / n, m.b / n};
}

// The test tree with a units file naming the crate and a world file with the action units "convoy"
// (two crates, activated by the script) and "depot" (one crate, not activated).
class SavedGameLevel : public ::testing::Test {
protected:
    SavedGameLevel() : tree_(Script()) {
        for (int i = 0; i < kItfcNamedSlotCount; ++i)
            if (std::strcmp(ItfcSlotNames[i], "EMAJeep") == 0) slot_ = i;
        saved_ = ItfcRegistry[slot_];
        ItfcRegistry[slot_] = Crate_itfc;
        std::vector<datakit::UnitEntry> units;
        for (const char* fir : {"e9fir1", "e9fir2", "e9fir3", "e9fir4"})
            units.push_back({fir, "Scenery", "Fir", std::string("scenery\\") + fir, {"SCENERY", "DARKENED"}, {"SEETHROUGH"}, ""});
        units.push_back({"Crate", "EMAJeep", "Crate", "crate", {"VEHICLE"}, {}, ""});
        datakit::WriteUnitsFile(tree_.dir() / "app/units", units);
        datakit::WriteFile(tree_.dir() / "Maps/Test", World().Bytes());
        datakit::MakeDirs(tree_.dir() / "SavedGames");
        env_ = std::make_unique<LevelEnvironment>(tree_);
        InitLevel(0);
    }
    ~SavedGameLevel() override {
        if (MissionName[0]) TeardownLevel();
        snprintf(MissionName, sizeof MissionName, "Test");
        env_.reset();
        ItfcRegistry[slot_] = saved_;
        SetSavedGameWriteLimit(-1);
    }

    // The level tree's world with two action units of crates.
    static datakit::WorldFile World() {
        datakit::WorldFile world = kvtest::LevelTree::World();
        auto unit = [](int32_t x, int32_t z) {
            datakit::WorldAUUnit u;
            u.type = "Crate";
            u.place = {x * 65536, 0, z * 65536, 0, 0, 0};
            return u;
        };
        datakit::WorldAUDef convoy;
        convoy.name = "convoy";
        for (auto& list : convoy.lists) list = {unit(1, 1), unit(2, 3)};
        world.AUDef(convoy);
        datakit::WorldAUDef depot;
        depot.name = "depot";
        for (auto& list : depot.lists) list = {unit(3, 2)};
        world.AUDef(depot);
        return world;
    }

    // Rebuilds the mission as a fresh level.
    void Rebuild() {
        TeardownLevel();
        snprintf(MissionName, sizeof MissionName, "Test");
        LevelEnvironment::ResetRules();
        InitLevel(0);
    }

    std::string SavedPath(const char* name) const { return tree_.dir() / (std::string("SavedGames/") + name); }
    std::vector<uint8_t> SavedBytes(const char* name) const {
        std::vector<uint8_t> bytes;
        host::ReadWholeFile(SavedPath(name).c_str(), bytes);
        return bytes;
    }
    void WriteSaved(const char* name, const std::vector<uint8_t>& bytes) const {
        datakit::WriteFile(SavedPath(name), bytes);
        host::FlushDirectoryCache();
    }

    static construct* Unit(const char* au, int i) { return NamedAUDef(au)->pool->constructs[i]; }

    // Everything a refused load must leave as it was.
    static std::string Fingerprint() {
        std::string f = std::to_string(WorldStateHash(nullptr));
        for (int i = 0; i < AUDefCount; ++i) {
            const AUDef* au = AUDefTable[i];
            f += std::string(" ") + au->name + ":" + std::to_string(au->pool ? au->pool->count : -1) + "/" +
                 std::to_string(au->placed);
            if (!au->pool) continue;
            for (int k = 0; k < au->pool->count; ++k) {
                construct* c = au->pool->constructs[k];
                f += " " + std::to_string(c->pos[0]) + "," + std::to_string(Crate(c)->ticks) + "," +
                     std::to_string(c->flags) + "," + std::to_string(c->spots[0].value);
            }
        }
        f += " w" + std::to_string(WaterLevel[0]) + " c" + std::to_string(GameClockSeconds);
        f += " t" + std::to_string(CurrentMatrix->tileDefPool[5].height);
        return f;
    }

    FatalCatcher fatal_;
    LevelTree tree_;
    std::unique_ptr<LevelEnvironment> env_;
    int slot_ = 0;
    ItfcProc saved_ = nullptr;
};

TEST_F(SavedGameLevel, SaveLoadIntoAFreshLevelAndSaveAgainGiveTheSameBytes) {
    AUDef* convoy = NamedAUDef("convoy");
    ASSERT_NE(convoy->pool, nullptr);
    ASSERT_EQ(convoy->pool->count, 2);
    ASSERT_EQ(NamedAUDef("depot")->pool, nullptr);
    // The depot is made and placed during play; the fresh level will not have it.
    AUDef_itfc(NamedAUDef("depot"), ItfcMethod::CREATE);
    AUDef_itfc(NamedAUDef("depot"), ItfcMethod::PLACE);
    WorldTick(6, 0);
    construct* a = Unit("convoy", 0);
    construct* b = Unit("convoy", 1);
    a->pos[0] = 777 * 65536;
    a->orient[1] = 1234;
    a->spots[1].value = 42;
    a->bboards[0]->shade = 17;
    Crate(b)->health = 55;
    UnMakeBuzy(b);
    MakeBuzy(b, 3);
    SetUnitTarget(a, Unit("depot", 0), 3, 0);
    WaterLevel[2] = -3;
    CurrentMatrix->tileDefPool[5].height = 99;
    StartPrecipitation(2);
    const int32_t ticksA = Crate(a)->ticks;
    EXPECT_GT(ticksA, 0);

    ASSERT_EQ(SaveQZGM("one"), 1);
    const std::vector<uint8_t> first = SavedBytes("one");
    ASSERT_GT(first.size(), 600u);
    char name[64] = "x";
    ReadQZGMHeader(SavedPath("one").c_str(), name);
    EXPECT_STREQ(name, "Test");

    Rebuild();
    ASSERT_EQ(NamedAUDef("depot")->pool, nullptr);
    EXPECT_EQ(PrecipitationMode, 0);
    EXPECT_NE(Unit("convoy", 0)->pos[0], 777 * 65536);
    char other[64] = "";
    ASSERT_EQ(LoadQZGM("one", 0, other), kQZGMLoaded) << SavedGameRefusal();

    a = Unit("convoy", 0);
    b = Unit("convoy", 1);
    EXPECT_EQ(a->pos[0], 777 * 65536);
    EXPECT_EQ(a->orient[1], 1234);
    EXPECT_EQ(a->spots[1].value, 42);
    EXPECT_EQ(a->bboards[0]->shade, 17);
    EXPECT_EQ(Crate(a)->ticks, ticksA);
    EXPECT_EQ(Crate(b)->health, 55);
    EXPECT_EQ(b->busyLevel, 3);
    EXPECT_TRUE(IsInConstructPool(b, BuzyPools[3]));
    EXPECT_TRUE(a->flags & kConActive);
    ASSERT_NE(NamedAUDef("depot")->pool, nullptr);
    EXPECT_EQ(NamedAUDef("depot")->placed, 1);
    EXPECT_EQ(GetUnitTarget(a), Unit("depot", 0));
    EXPECT_EQ(WaterLevel[2], -3);
    EXPECT_EQ(CurrentMatrix->tileDefPool[5].height, 99);
    EXPECT_EQ(PrecipitationMode, 2);  // the snow falls again

    ASSERT_EQ(SaveQZGM("two"), 1);
    EXPECT_EQ(SavedBytes("two"), first);
}

TEST_F(SavedGameLevel, TheSeaIsDrawnInTheLevelsWaterColourAndASavedGameBringsItBack) {
    // Built with "WaterColour 250 20 20": a red sea.
    const MeanColour red = SeaColour();
    EXPECT_GT(red.r, 2 * red.b);
    ASSERT_EQ(SaveQZGM("sea"), 1);

    // The mission's rule turned blue, and the level built again: a blue sea.
    std::string script;
    auto rules = Script();
    rules["WaterColour"] = "20 20 250";
    for (const auto& [name, value] : rules) script += name + " " + value + ";\n";
    ASSERT_TRUE(datakit::WriteRulesText(tree_.dir() / "Scripts/Test.txt", script + "end\n"));
    host::FlushDirectoryCache();
    Rebuild();
    const MeanColour blue = SeaColour();
    EXPECT_GT(blue.b, 2 * blue.r);

    // The saved game carries the colour it was saved with (forced: the script is newer than the save).
    char other[64] = "";
    ASSERT_EQ(LoadQZGM("sea", 1, other), kQZGMLoaded) << SavedGameRefusal();
    const MeanColour back = SeaColour();
    EXPECT_NEAR(back.r, red.r, 1.0);
    EXPECT_NEAR(back.g, red.g, 1.0);
    EXPECT_NEAR(back.b, red.b, 1.0);
}

TEST_F(SavedGameLevel, ARecordSavedBusyAtTwoLevelsComesBackAtTheFirstOfThem) {
    ASSERT_EQ(SaveQZGM("one"), 1);
    datakit::SavedGame file;
    ASSERT_TRUE(datakit::SplitSavedGame(SavedBytes("one"), &file));
    datakit::SavedAUBody convoy;
    convoy.name = "convoy";
    for (int i = 0; i < 2; ++i) {
        datakit::SavedAUUnit u;
        u.con.pos = {i * 65536, 0, 0};
        u.con.flags = i == 0 ? 0x10 | 0x40 | kConActive : 0;
        u.con.itfcData = {7, 0, 0, 0, 9, 0, 0, 0};
        u.con.bboards.resize(1);
        u.con.spots = {{1, 2}, {3, 4}};
        convoy.units.push_back(u);
    }
    for (auto& c : file.chunks)
        if (c.type == 12 && std::memcmp(c.body.data(), "convoy", 7) == 0) c.body = datakit::SavedAUChunkBody(convoy);
    WriteSaved("forged", file.Bytes());
    char other[64];
    ASSERT_EQ(LoadQZGM("forged", 0, other), kQZGMLoaded) << SavedGameRefusal();
    construct* a = Unit("convoy", 0);
    EXPECT_EQ(a->busyLevel, 2);
    EXPECT_TRUE(IsInConstructPool(a, BuzyPools[2]));
    EXPECT_TRUE(a->flags & kConActive);
    EXPECT_FALSE(Unit("convoy", 1)->flags & (kConActive | kConBusy));
    EXPECT_EQ(Crate(a)->ticks, 7);
    EXPECT_EQ(Crate(a)->health, 9);
    EXPECT_EQ(a->spots[1].countdown, 3);
    EXPECT_EQ(a->spots[1].value, 4);
}

// One saved game changed in one place per case; each must be refused (or answered) before the level
// changes.
TEST_F(SavedGameLevel, DamagedOrForeignFilesAreRefusedWithTheLevelUntouched) {
    WorldTick(3, 0);
    ASSERT_EQ(SaveQZGM("good"), 1);
    const std::vector<uint8_t> good = SavedBytes("good");
    datakit::SavedGame file;
    ASSERT_TRUE(datakit::SplitSavedGame(good, &file));
    ASSERT_GE(file.chunks.size(), 8u);
    auto auUnits = [](const char* name, int n, std::function<void(datakit::SavedAUBody&)> change) {
        datakit::SavedAUBody au;
        au.name = name;
        for (int i = 0; i < n; ++i) {
            datakit::SavedAUUnit u;
            u.con.itfcData.assign(8, 0);
            u.con.bboards.resize(1);
            u.con.spots = {{0, 0}, {0, 0}};
            au.units.push_back(u);
        }
        if (change) change(au);
        return datakit::SavedAUChunkBody(au);
    };
    auto convoyUnits = [&](int n, std::function<void(datakit::SavedAUBody&)> change) {
        return auUnits("convoy", n, std::move(change));
    };
    // The depot has no units in the running level: the load would make them.
    auto depotUnits = [&](int n, std::function<void(datakit::SavedAUBody&)> change) {
        return auUnits("depot", n, std::move(change));
    };
    // The first chunk of the type is replaced; of the action units' chunks, the one of the action unit named.
    auto withChunk = [&](uint32_t type, std::vector<uint8_t> body, const char* au = "convoy") {
        datakit::SavedGame f = file;
        for (auto& c : f.chunks)
            if (c.type == type && (type != 12 || std::strcmp(reinterpret_cast<const char*>(c.body.data()), au) == 0)) {
                c.body = std::move(body);
                break;
            }
        return f.Bytes();
    };

    struct Case {
        std::string name;
        std::vector<uint8_t> bytes;
        int result;
        std::string refusal;  // part of SavedGameRefusal() for result 7
    };
    std::vector<Case> cases;
    for (size_t n = 0; n < file.chunks.size(); ++n) {
        const size_t at = file.ChunkOffset(n);
        cases.push_back({"cut before chunk " + std::to_string(n), {good.begin(), good.begin() + long(at)}, 7,
                         "incomplete"});
        cases.push_back({"cut in the header of chunk " + std::to_string(n),
                         {good.begin(), good.begin() + long(at + 5)}, 7, "chunk header"});
        if (!file.chunks[n].body.empty())
            cases.push_back({"cut in the body of chunk " + std::to_string(n),
                             {good.begin(), good.begin() + long(at + 8 + file.chunks[n].body.size() / 2)}, 7,
                             "past the end"});
    }
    cases.push_back({"cut in the file header", {good.begin(), good.begin() + 300}, 7, "cut short"});
    {
        auto f = file;
        f.magic = 0x44575A51;
        cases.push_back({"not a saved game", f.Bytes(), kQZGMNotASavedGame, ""});
        f = file;
        f.version = 117;
        cases.push_back({"obsolete version", f.Bytes(), kQZGMObsolete, ""});
        f = file;
        f.mission = "Elsewhere";
        cases.push_back({"another mission", f.Bytes(), kQZGMOtherMission, ""});
        f = file;
        f.worldDate = {0, 0};
        cases.push_back({"older than the world file", f.Bytes(), kQZGMWorldNewer, ""});
        f = file;
        f.scriptDate = {0, 0};
        cases.push_back({"older than the mission script", f.Bytes(), kQZGMScriptNewer, ""});
        f = file;
        f.chunks[0].size = 0xFFFFFF00u;
        cases.push_back({"chunk size past the end", f.Bytes(), 7, "past the end"});
        f = file;
        f.chunks[0].body.push_back(0);
        cases.push_back({"chunk longer than its fields", f.Bytes(), 7, "bytes more"});
        f = file;
        std::swap(f.chunks[0], f.chunks[1]);
        cases.push_back({"chunks out of order", f.Bytes(), 7, "out of order"});
    }
    cases.push_back({"one unit too many", withChunk(12, convoyUnits(3, nullptr)), 7, "wrong unit number"});
    cases.push_back({"one unit too few", withChunk(12, convoyUnits(1, nullptr)), 7, "wrong unit number"});
    cases.push_back({"unit count beyond the chunk", withChunk(12, [&] {
                         auto body = convoyUnits(2, nullptr);
                         body[60] = 0xFF;
                         body[61] = 0xFF;
                         return body;
                     }()), 7, "do not fit"});
    cases.push_back({"spots", withChunk(12, convoyUnits(2, [](auto& au) { au.units[1].con.spots.push_back({0, 0}); })),
                     7, "wrong no of spots"});
    cases.push_back({"billboards", withChunk(12, convoyUnits(2, [](auto& au) { au.units[0].con.bboards.clear(); })), 7,
                     "wrong no of bboards"});
    cases.push_back({"sub-constructs", withChunk(12, convoyUnits(2, [](auto& au) { au.units[0].con.subs.resize(1); })),
                     7, "wrong no of subs"});
    cases.push_back({"type data of another size",
                     withChunk(12, convoyUnits(2, [](auto& au) { au.units[0].con.itfcData.resize(1); })), 7,
                     "type data of 1 bytes"});
    cases.push_back({"unit far outside the map",
                     withChunk(12, convoyUnits(2, [](auto& au) { au.units[1].con.pos[0] = 2147483000; })), 7,
                     "unit stands far outside the map"});
    cases.push_back({"orientation beyond 1.15",  // found by the savedgame harness
                     withChunk(12, convoyUnits(2, [](auto& au) { au.units[0].con.orient[4] = INT32_MIN; })), 7,
                     "orientation beyond 1.15"});
    cases.push_back({"units made by the load: one too many", withChunk(12, depotUnits(2, nullptr), "depot"), 7,
                     "au 'depot' has wrong unit number"});
    cases.push_back({"units made by the load: spots",
                     withChunk(12, depotUnits(1, [](auto& au) { au.units[0].con.spots.push_back({0, 0}); }), "depot"), 7,
                     "wrong no of spots"});
    cases.push_back({"units made by the load: type data of another size",
                     withChunk(12, depotUnits(1, [](auto& au) { au.units[0].con.itfcData.resize(12); }), "depot"), 7,
                     "type data of 12 bytes"});
    cases.push_back({"target in an unknown action unit",
                     withChunk(12, convoyUnits(2, [](auto& au) { au.units[0].target = datakit::SavedUnitRef{"nowhere", 0}; })),
                     7, "tgtau 'nowhere' not present"});
    cases.push_back({"target index beyond its pool",
                     withChunk(12, convoyUnits(2, [](auto& au) { au.units[0].target = datakit::SavedUnitRef{"convoy", 2}; })),
                     7, "tgtau 'convoy' has too few units"});
    cases.push_back({"target in an action unit without units",
                     withChunk(12, convoyUnits(2, [](auto& au) { au.units[0].target = datakit::SavedUnitRef{"depot", 0}; })),
                     7, "tgtau 'depot' not moved"});
    cases.push_back({"unknown action unit", withChunk(12, [] {
                         datakit::SavedAUBody au;
                         au.name = "ghost";
                         au.placed = 0;
                         return datakit::SavedAUChunkBody(au);
                     }()), 7, "au 'ghost' not present"});
    cases.push_back({"unterminated action-unit name", withChunk(12, [] {
                         datakit::SavedAUBody au;
                         au.name = "convoy";
                         auto body = datakit::SavedAUChunkBody(au);
                         std::memset(body.data(), 'x', 32);
                         return body;
                     }()), 7, "not terminated"});
    {
        datakit::SavedWorldStateBody w;
        w.player = datakit::SavedUnitRef{"convoy", 5};
        cases.push_back({"player unit beyond its pool", withChunk(15, datakit::SavedWorldStateChunkBody(w)), 7,
                         "au 'convoy' has too few units"});
        w.player.reset();
        w.cloudAlpha = 65281;
        cases.push_back({"cloud alpha beyond the sky's ramp", withChunk(15, datakit::SavedWorldStateChunkBody(w)), 7,
                         "cloud alpha 65281"});
        w.cloudAlpha = 0;
        w.starAlpha = -1;
        cases.push_back({"negative star alpha", withChunk(15, datakit::SavedWorldStateChunkBody(w)), 7,
                         "star alpha -1"});
        w.starAlpha = 0;
        w.cloudSpeed = std::numeric_limits<float>::infinity();
        cases.push_back({"cloud speed not a number", withChunk(15, datakit::SavedWorldStateChunkBody(w)), 7,
                         "cloud speed"});
        w.cloudSpeed = 0.0f;
        w.waterLevel[1] = -2096300028;  // found by the savedgame harness: 8 times it overflowed
        cases.push_back({"water level beyond any height", withChunk(15, datakit::SavedWorldStateChunkBody(w)), 7,
                         "water level -2096300028"});
        w.waterLevel[1] = 0;
        w.ambientSources = {"no_such_rule"};
        cases.push_back({"ambient sound without its rule", withChunk(15, datakit::SavedWorldStateChunkBody(w)), 7,
                         "no_such_rule"});
        w.ambientSources.clear();
        w.variables = {{"v", 1.0f}};
        std::vector<uint8_t> body = datakit::SavedWorldStateChunkBody(w);
        std::memset(body.data() + body.size() - 512 - 4 - 68, 'v', 64);  // the variable's whole name field
        cases.push_back({"unterminated variable name", withChunk(15, body), 7, "not terminated"});
    }
    cases.push_back({"clan that does not exist", withChunk(16, datakit::SavedClanChunkBody({5, {}, {}, {}})), 7,
                     "clan 5 does not exist"});
    cases.push_back({"hostility out of range", withChunk(16, datakit::SavedClanChunkBody({0, {}, {}, {0, 7, 2}})), 7,
                     "hostility 7"});
    cases.push_back({"AI state of a clan that does not exist", withChunk(18, datakit::SavedHLClanChunkBody(9, {})), 7,
                     "clan 9 does not exist"});
    {
        // A clan's AI that names a unit the file's action units do not have, and one cut short.
        datakit::SavedHLClanState ai;
        ai.agents = {datakit::SavedUnitRef{"convoy", 5}};
        ai.threads = {{0, 0, {0}, {1, 2, 3}, {}}};
        ai.chains = {{0}};
        cases.push_back({"AI agent beyond its action unit",
                         withChunk(18, datakit::SavedHLClanChunkBody(0, datakit::SavedHLClanStateBytes(ai))), 7,
                         "SAVEDHLCLAN: clan 0: an agent: au 'convoy' has too few units"});
        ai.agents = {datakit::SavedUnitRef{"depot", 0}};
        cases.push_back({"AI agent in an action unit without units",
                         withChunk(18, datakit::SavedHLClanChunkBody(0, datakit::SavedHLClanStateBytes(ai))), 7,
                         "au 'depot' not moved"});
        cases.push_back({"AI state cut short", withChunk(18, datakit::SavedHLClanChunkBody(0, {1, 0, 0, 0})), 7,
                         "SAVEDHLCLAN: clan 0: the clan's AI is cut short"});
    }
    cases.push_back({"unknown shared pool", withChunk(13, datakit::SavedSharedPoolChunkBody("Nowhere", {})), 7,
                     "no such construct pool 'Nowhere'"});
    cases.push_back({"shared pool count", withChunk(13, datakit::SavedSharedPoolChunkBody("Bullet", {datakit::SavedConRecord{}})),
                     7, "wrong con no"});
    cases.push_back({"wrecks without a wreck type",
                     withChunk(14, datakit::SavedDeadBodyPoolChunkBody({{"Crate", datakit::SavedConRecord{}}})), 7,
                     "no wrecks"});
    cases.push_back({"too many wrecks", withChunk(14, [] {
                         std::vector<std::pair<std::string, datakit::SavedConRecord>> w(41, {"Crate", {}});
                         return datakit::SavedDeadBodyPoolChunkBody(w);
                     }()), 7, "wrong number of deadbodies (41)"});
    cases.push_back({"terrain of another size", withChunk(2, std::vector<uint8_t>(4 + 8 * 255, 0)), 7,
                     "TileDefPool of"});
    cases.push_back({"static of an action unit without units",
                     withChunk(17, datakit::SavedTileFieldChunkBody(std::vector<std::vector<datakit::SavedUnitRef>>(
                                       1, {datakit::SavedUnitRef{"depot", 0}}))),
                     7, "au 'depot' not moved"});

    // A chunk of a type no reader knows is stepped over.
    {
        auto f = file;
        f.chunks.insert(f.chunks.begin() + 1, datakit::SavedGameChunk{99, {1, 2, 3}, {}});
        WriteSaved("unknown", f.Bytes());
        char other[64];
        EXPECT_EQ(LoadQZGM("unknown", 0, other), kQZGMLoaded) << SavedGameRefusal();
    }

    WorldTick(2, 0);
    const std::string before = Fingerprint();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteSaved("bad", c.bytes);
        char other[64] = "";
        EXPECT_EQ(LoadQZGM("bad", 0, other), c.result) << SavedGameRefusal();
        if (c.result == 7) {
            EXPECT_NE(std::string(SavedGameRefusal()).find(c.refusal), std::string::npos) << SavedGameRefusal();
        }
        if (c.result == kQZGMOtherMission) {
            EXPECT_STREQ(other, "Elsewhere");
        }
        EXPECT_EQ(Fingerprint(), before);
    }
    // An obsolete version and stale dates load when forced.
    for (const char* what : {"version", "dates"}) {
        auto f = file;
        if (std::strcmp(what, "version") == 0) f.version = 117;
        else f.worldDate = f.scriptDate = {0, 0};
        WriteSaved("forced", f.Bytes());
        char other[64];
        EXPECT_EQ(LoadQZGM("forced", 1, other), kQZGMLoaded) << what << ": " << SavedGameRefusal();
    }
    // The header reader names no mission for files that are not saved games of this version.
    char name[64] = "x";
    WriteSaved("header", {'Q', 'Z', 'G', 'M', 117, 0, 0, 0, 'T', 0});
    ReadQZGMHeader(SavedPath("header").c_str(), name);
    EXPECT_STREQ(name, "");
}

// A saved game made while the mission's end was counting down comes back with no countdown running; the
// restore answers the AI bridge's restart.
TEST_F(SavedGameLevel, ALoadClearsTheMissionsEndAndAnswersTheBridgesRestart) {
    WinCountdown = 300;
    LoseCountdown = 200;
    ASSERT_EQ(SaveQZGM("ending"), 1);
    WinFlag = 1;
    char other[64] = "";
    ASSERT_EQ(LoadQZGM("ending", 0, other), kQZGMLoaded) << SavedGameRefusal();
    EXPECT_EQ(WinCountdown, 0);
    EXPECT_EQ(LoseCountdown, 0);
    EXPECT_EQ(WinFlag, 0);
    EXPECT_EQ(BeforeRestoreGame(), 1);
    EXPECT_EQ(RestoringGame, 1);
    AfterRestoreGame(nullptr);
    EXPECT_EQ(RestoringGame, 0);
}

// The sky as the day events leave it (cloud speed, cloud cover, sky fade, cave fog) is what a saved game
// keeps and what the sky shows again after the load; the wind vector is stored as three words.
TEST_F(SavedGameLevel, TheLiveSkyIsSavedAndComesBackToTheSky) {
    CurrentLevel.windVector[0] = 10;
    CurrentLevel.windVector[1] = -20;
    CurrentLevel.windVector[2] = 30;
    CloudSpeed = 0.25f;
    CloudCover = 1000;
    SkyFade = 2000;
    const uint8_t fog[3] = {1, 2, 3};
    std::memcpy(CaveFogColour, fog, 3);
    ASSERT_EQ(SaveQZGM("sky"), 1);
    datakit::SavedGame file;
    ASSERT_TRUE(datakit::SplitSavedGame(SavedBytes("sky"), &file));
    ASSERT_EQ(file.chunks[0].type, 15u);
    // Behind the words up to the clouds, stars and lighting (148 bytes) and the 13 colour bytes.
    const uint8_t* wind = file.chunks[0].body.data() + 161;
    EXPECT_EQ(int32_t(wind[4] | wind[5] << 8 | wind[6] << 16 | uint32_t(wind[7]) << 24), -20);

    Rebuild();
    EXPECT_NE(CloudCover, 1000);
    char other[64] = "";
    ASSERT_EQ(LoadQZGM("sky", 0, other), kQZGMLoaded) << SavedGameRefusal();
    EXPECT_FLOAT_EQ(CloudSpeed, 0.25f);
    EXPECT_EQ(CloudCover, 1000);
    EXPECT_EQ(SkyFade, 2000);
    EXPECT_EQ(0, std::memcmp(CaveFogColour, fog, 3));
    EXPECT_EQ(CurrentLevel.windVector[1], -20);
    EXPECT_EQ(CurrentLevel.windVector[2], 30);
}

TEST_F(SavedGameLevel, ASaveThatFailsWhileWritingLeavesTheOldFile) {
    ASSERT_EQ(SaveQZGM("slot"), 1);
    const std::vector<uint8_t> old = SavedBytes("slot");
    Unit("convoy", 0)->pos[0] = 5 * 65536;
    for (long limit : {0L, 100L, long(old.size()) - 1}) {
        SCOPED_TRACE(limit);
        SetSavedGameWriteLimit(limit);
        EXPECT_EQ(SaveQZGM("slot"), 0);
        EXPECT_STREQ(SavedGameRefusal(), "could not be written");
        EXPECT_EQ(SavedBytes("slot"), old);
    }
    SetSavedGameWriteLimit(-1);
    std::vector<std::string> names;
    host::ListDir((tree_.dir() / "SavedGames").c_str(), names);
    EXPECT_EQ(names, std::vector<std::string>{"slot"});  // no temporary file left behind
    EXPECT_EQ(SaveQZGM("slot"), 1);
    EXPECT_NE(SavedBytes("slot"), old);
    // A save that cannot open its file.
    EXPECT_EQ(SaveQZGM("no\\such\\folder\\slot"), 0);
}

TEST_F(SavedGameLevel, TheCommandsSaveAndLoadThroughTheFileAndReportARefusal) {
    DebugCapture debug;
    GameFileCommand("quicksave", 7);
    EXPECT_EQ(SavedNoticeTicks, 100);
    const std::vector<uint8_t> bytes = SavedBytes("quicksave");
    ASSERT_GT(bytes.size(), 600u);
    const int32_t x = Unit("convoy", 0)->pos[0];
    Unit("convoy", 0)->pos[0] = x + 65536;
    LoadedNoticeTicks = 0;
    GameFileCommand("quicksave", 6);
    EXPECT_EQ(LoadedNoticeTicks, 100);
    EXPECT_EQ(Unit("convoy", 0)->pos[0], x);

    WriteSaved("quicksave", std::vector<uint8_t>(bytes.begin(), bytes.end() - 4));
    Unit("convoy", 0)->pos[0] = x + 65536;
    GameFileCommand("quicksave", 9);
    EXPECT_NE(debug.text().find("system: failed, damaged QZGM: "), std::string::npos) << debug.text();
    EXPECT_EQ(Unit("convoy", 0)->pos[0], x + 65536);
    GameFileName[0] = 0;
}

}  // namespace
}  // namespace kvtest
