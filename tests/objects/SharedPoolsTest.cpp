// Preloaded objects and shared pools: the build step's pools in order with their capacities, pools of
// types not built yet, clones of preloaded objects, teardown, and the cyclic free-instance search.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/Config.h"
#include "host/Fs.h"
#include "objects/Units.h"
#include "world/ObjFile.h"
#include "support/DebugCapture.h"
#include "support/Fatal.h"
#include "support/MemTrack.h"
#include "support/TempDir.h"
#include "objects/ObjectFixtures.h"

namespace {

using kvtest::Piece_itfc;
using kvtest::Pieces;

// A data tree in a temporary folder with the object root "Objects" and the four firs in the units table.
class SharedPoolsTest : public kvtest::ObjectLevel {
protected:
    void SetUp() override {
        ObjectLevel::SetUp();
        old_ = std::filesystem::current_path();
        host::SetWorkingDirectory(dir_.path().c_str());
        std::strcpy(savedRoot_, OBJROOT);
        std::strcpy(OBJROOT, "Objects");
        for (int i = 1; i <= 4; ++i) AddFir(i);
    }
    void TearDown() override {
        ObjectLevel::TearDown();
        while (UnitCount > 0) FreeUnit(UnitTable[0]);
        std::strcpy(OBJROOT, savedRoot_);
        host::SetWorkingDirectory(old_.c_str());
        host::FlushDirectoryCache();
    }
    static void AddFir(int i) {
        Unit* u = CreateUnit();
        const std::string name = "e9fir" + std::to_string(i);
        u->name = qzStrDup(name.c_str(), "unit name");
        u->rulePrefix = qzStrDup(name.c_str(), "unit prefix");
        u->gameName = qzStrDup("Fir", "unit game name");
        u->path = qzStrDup(("Objects\\scenery\\" + name).c_str(), "unit path");
        u->itfc = Piece_itfc;
    }
    void WriteFile(const std::string& rel) {
        dir_.Write(rel, "x");
        host::FlushDirectoryCache();
    }
    // The build step "create shared pools" up to the time of day.
    static void BuildStep() {
        CreateDeadBodyPool();
        PreloadWeapons();
        CreateSharedPools();
    }
    kvtest::FatalCatcher fatal_;
    kvtest::TempDir dir_;

private:
    std::string old_;
    char savedRoot_[kRootSize];
};

TEST_F(SharedPoolsTest, BuildStepMakesEveryPoolInOrderWithItsCapacity) {
    kvtest::DebugCapture debug;
    Register(PoolType::Smoky);
    Register(PoolType::Missile);
    Register(PoolType::LaserSeg);
    const int before = ConstructPoolCount;
    BuildStep();

    struct Expected {
        const char* name;
        int capacity;
    } expected[] = {
        {"deadbody", 40},        {"preloaded", 300},    {"Bullet", 20},           {"BulletSplash", 20},
        {"Shell", 24},           {"ShellSplash", 24},   {"ShellExpl", 24},        {"ShellFlare", 24},
        {"ShieldHit", 20},       {"HitSpark", 20},      {"Fragment", 20},         {"Shockwave", 10},
        {"Explode1", 30},        {"MExplode", 24},      {"HVSegment", 70},        {"Missile", 24},
        {"Rocket", 20},          {"MSmoke", 30},        {"Smoky", 180},           {"ClusterGrenade", 6},
        {"Grenade", 24},         {"GrenadeSplash", 24}, {"AMCapsule", 4},         {"Projectile", 20},
        {"NuclearShock", 20},    {"Sensor", 32},        {"Fire1", 32},            {"Vapour", 120},
        {"ShellCase", 120},      {"Dust", 120},         {"Shrapnel", 30},         {"Firetail", 120},
        {"RLaserSeg", 15},       {"RSLaserSeg", 6},     {"BLaserSeg", 15},        {"BSLaserSeg", 6},
        {"LightningSeg", 15},    {"SLightningSeg", 6},  {"PlasmaBolt", 35},       {"PlasmaSplash", 35},
        {"BluePlasmaBolt", 35},  {"BluePlasmaSplash", 35}, {"frag", 200},
    };
    ASSERT_EQ(ConstructPoolCount, before + static_cast<int>(std::size(expected)));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const ConstructPool* pool = ConstructPoolTable[before + static_cast<int>(i)];
        EXPECT_STREQ(pool->name, expected[i].name) << i;
        EXPECT_EQ(pool->capacity, expected[i].capacity) << expected[i].name;
    }
    for (int i = 0; i < kSharedPoolCount; ++i)
        EXPECT_EQ(SharedPools[i], ConstructPoolTable[before + 2 + i]) << SharedPoolDefs[i].name;
    EXPECT_STREQ(FragPool->name, "frag");
    EXPECT_EQ(FragPool->count, 0);
    EXPECT_EQ(DeadBodyPool->count, 0);

    // Pools of registered types are full, with no instance active; the others are empty.
    EXPECT_EQ(SharedPool(SharedPoolId::Smoky)->count, 180);
    for (int i = 0; i < 180; ++i) EXPECT_EQ(SharedPool(SharedPoolId::Smoky)->constructs[i]->flags & kConActive, 0u);
    EXPECT_EQ(SharedPool(SharedPoolId::Missile)->count, 24);
    for (SharedPoolId id : {SharedPoolId::RLaserSeg, SharedPoolId::RSLaserSeg, SharedPoolId::BLaserSeg,
                            SharedPoolId::BSLaserSeg})
        EXPECT_EQ(SharedPool(id)->count, SharedPool(id)->capacity);
    EXPECT_EQ(SharedPool(SharedPoolId::Bullet)->count, 0);
    EXPECT_EQ(SharedPool(SharedPoolId::ShellFlare)->count, 0);

    // The preloaded pool: the registered kinds under their directories, then the four firs.
    ASSERT_EQ(PreloadedPool->count, 1 + 4 + 4);
    EXPECT_STREQ(PreloadedPool->names[0], "Objects\\weapons");
    EXPECT_STREQ(PreloadedPool->names[1], "Objects\\weapons\\rlaserseg");
    EXPECT_STREQ(PreloadedPool->names[4], "Objects\\weapons\\blasersegs");
    EXPECT_STREQ(PreloadedPool->names[5], "Objects\\scenery\\e9fir1");
    EXPECT_STREQ(PreloadedPool->names[8], "Objects\\scenery\\e9fir4");
    EXPECT_EQ(PreloadedPool->constructs[5]->unit, NamedUnit("e9fir1"));
    // Every pooled instance is a copy of a preloaded one of its dispatcher and directory (the one stand-in
    // dispatcher serves every registered type here, so Smoky copies the preloaded Missile).
    EXPECT_EQ(Pieces().clones, 180 + 24 + 15 + 6 + 15 + 6);
    EXPECT_EQ(Pieces().created[0], "Objects\\weapons");
    const std::string args[] = {"Objects\\weapons\\vapour1", "Objects\\misc", "Objects\\weapons\\bplasplash"};
    for (const std::string& a : args) EXPECT_EQ(std::count(Pieces().created.begin(), Pieces().created.end(), a), 0)
        << "types not built are not asked: " << a;

    // Each pool of a type not built says so once.
    const std::string& text = debug.text();
    EXPECT_NE(text.find("shared pool Bullet: its type is not built yet, the pool stays empty\n"), std::string::npos);
    EXPECT_EQ(text.find("shared pool Smoky:"), std::string::npos);
    size_t lines = 0;
    for (size_t at = text.find("shared pool "); at != std::string::npos; at = text.find("shared pool ", at + 1))
        ++lines;
    EXPECT_EQ(lines, static_cast<size_t>(kSharedPoolCount - 6));
}

TEST_F(SharedPoolsTest, TeardownFreesEverythingAndClearsTheGlobals) {
    kvtest::MemTrack track;
    const int live = track.Live();
    Register(PoolType::Bullet);
    Register(PoolType::Shard);
    Register(PoolType::Dust);
    WriteFile("Objects/frags/ema/frag1");
    WriteFile("Objects/frags/ema/frag2");
    BuildStep();
    EXPECT_GT(track.Live(), live);
    AppendToConstructPool(DeadBodyPool, reinterpret_cast<construct*>(Piece_itfc(nullptr, ItfcMethod::CREATE, 0)));
    Pieces().calls.clear();

    DeleteSharedPools();
    for (ConstructPool* pool : SharedPools) EXPECT_EQ(pool, nullptr);
    EXPECT_EQ(FragPool, nullptr);
    FreePreloaded();
    EXPECT_EQ(PreloadedPool, nullptr);
    const size_t destroyed = Pieces().calls.size();
    DeleteDeadBodyPool();
    EXPECT_EQ(DeadBodyPool, nullptr);
    ASSERT_EQ(Pieces().calls.size(), destroyed + 2);
    EXPECT_EQ(Pieces().calls[destroyed], "UNPLACE") << "a wreck is unplaced before it is destroyed";
    EXPECT_EQ(Pieces().calls[destroyed + 1], "DESTROY");
    EXPECT_EQ(track.Live(), live);
}

TEST_F(SharedPoolsTest, FragmentsArePreloadedUpToTheFirstMissingFile) {
    Register(PoolType::Shard);
    WriteFile("Objects/frags/ga/frag1");
    WriteFile("Objects/frags/ga/frag2");
    WriteFile("Objects/frags/ga/frag3");
    WriteFile("Objects/frags/ga/frag5");
    WriteFile("Objects/frags/wood/frag2");  // no first file: nothing
    PreloadWeapons();
    ASSERT_EQ(PreloadedPool->count, 3 + 4);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(PreloadedPool->names[i], "Objects\\frags\\ga\\frag" + std::to_string(i + 1));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Pieces().entries[i], nullptr) << "shards are made without an entry";
}

TEST_F(SharedPoolsTest, ClonesAreDeepCopiesOfThePreloadedInstance) {
    EXPECT_EQ(ClonePreloaded(Piece_itfc, "Objects\\weapons"), nullptr) << "no preloaded pool";
    Register(PoolType::Missile);
    PreloadWeapons();
    construct* original = PreloadedPool->constructs[0];
    static_cast<ShardRecord*>(original->itfcData)->lifetime = 77;
    construct* copy = ClonePreloaded(Piece_itfc, "Objects\\weapons");
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy->itfcData, original->itfcData);
    EXPECT_EQ(static_cast<ShardRecord*>(copy->itfcData)->lifetime, 77);
    EXPECT_EQ(ClonePreloaded(Piece_itfc, "Objects\\weapons\\other"), nullptr);
    EXPECT_EQ(ClonePreloaded(kvtest::TestBox_itfc, "Objects\\weapons"), nullptr) << "another dispatcher";
    FreeConstruct(copy);
}

TEST_F(SharedPoolsTest, MissingFirEntryAndFullPreloadedPoolAreFatal) {
    FreeUnit(NamedUnit("e9fir3"));
    try {
        PreloadWeapons();
        ADD_FAILURE() << "no fatal error";
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(PreloadWeapons): the units file has no entry 'e9fir3'");
    }
    FreePreloaded();

    AddFir(3);
    Register(PoolType::Shard);
    PreloadedPool = CreateConstructPool(kPreloadedCapacity, "preloaded");
    for (int i = 0; i < kPreloadedCapacity; ++i)
        AppendToConstructPool(PreloadedPool, reinterpret_cast<construct*>(Piece_itfc(nullptr, ItfcMethod::CREATE, 0)));
    WriteFile("Objects/frags/stone/frag1");
    const size_t made = Pieces().created.size();
    try {
        PreloadFragments("Objects\\frags\\stone");
        ADD_FAILURE() << "no fatal error";
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(),
                     "Error(PreloadWeapons): more than 300 preloaded objects, no room for 'Objects\\frags\\stone\\frag1'");
    }
    EXPECT_EQ(PreloadedPool->count, kPreloadedCapacity);
    EXPECT_EQ(Pieces().created.size(), made) << "nothing made past the limit";
}

TEST_F(SharedPoolsTest, FreeInstanceSearchHandsOutInstancesInTurn) {
    ConstructPool* pool = CreateSharedPool(4, "Test", Piece_itfc, "Objects\\weapons");
    ASSERT_EQ(pool->count, 4);
    construct* const* c = pool->constructs;
    EXPECT_EQ(NextFreeInConstructPool(pool), c[0]);
    EXPECT_EQ(NextFreeInConstructPool(pool), c[1]);
    ActivateConstruct(c[2]);
    CreateQZEvent(QZEventKind::Buzy0, c[3]);
    EXPECT_EQ(NextFreeInConstructPool(pool), c[0]) << "active and pending instances are passed over";
    EXPECT_EQ(NextFreeInConstructPool(pool), c[1]);
    FlushQZEvents();
    EXPECT_EQ(NextFreeInConstructPool(pool), c[0]) << "busy instances are passed over";
    DeactivateConstruct(c[2]);
    EXPECT_EQ(NextFreeInConstructPool(pool), c[1]);
    EXPECT_EQ(NextFreeInConstructPool(pool), c[2]);
    ActivateConstruct(c[0]);
    ActivateConstruct(c[1]);
    ActivateConstruct(c[2]);
    EXPECT_EQ(NextFreeInConstructPool(pool), nullptr) << "a full round finds none";
    UnMakeBuzy(c[3]);
    for (int i = 0; i < 3; ++i) DeactivateConstruct(c[i]);
    DeleteSharedPool(pool);
}

TEST_F(SharedPoolsTest, PoolsNamedPerWeaponStopAtTheTableLimit) {
    // Weapons make pools of their own ("trails 0", "trails 1", ...): past the table's 128 pools the next
    // one is refused before anything is written.
    int n = 0;
    while (ConstructPoolCount < kMaxConstructPools) {
        char name[32];
        std::snprintf(name, sizeof name, "trails %d", n++);
        CreateConstructPool(4, name);
    }
    try {
        CreateConstructPool(4, "trails x");
        ADD_FAILURE() << "no fatal error";
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(CreateConstructPool): Too many construct pools (max is 128) for 'trails x'");
    }
    EXPECT_EQ(ConstructPoolCount, kMaxConstructPools);
    EXPECT_EQ(FindConstructPool("trails x"), nullptr);
}

}  // namespace

namespace {

// The demo tree as mkdemo writes it: every kind the level preloads or pools has its object file, and the
// build step finds the fragments and the firs there.
TEST_F(SharedPoolsTest, DemoTreeHoldsEveryPreloadedAndPooledKind) {
    const std::string mkdemo = std::string(KV_BINARY_DIR) + "/mkdemo";
    if (!std::filesystem::exists(mkdemo)) GTEST_SKIP() << "mkdemo not built";
    const std::string out = dir_ / "demo";
    ASSERT_EQ(std::system((mkdemo + " --out '" + out + "' >/dev/null").c_str()), 0);
    host::SetWorkingDirectory(out.c_str());
    host::FlushDirectoryCache();
    while (UnitCount > 0) FreeUnit(UnitTable[0]);
    ReadUnitsFile("app/units");
    // The effects' billboards load their texture animations, the lights their palettes from the tree's
    // folders.
    char texAnims[kRootSize], palettes[kRootSize];
    std::memcpy(texAnims, TEXANIMROOT, sizeof texAnims);
    std::memcpy(palettes, PALETTEROOT, sizeof palettes);
    std::snprintf(TEXANIMROOT, sizeof TEXANIMROOT, "%s", "TexAnims");
    std::snprintf(PALETTEROOT, sizeof PALETTEROOT, "%s", "Palettes");

    const char* const files[] = {
        "bullet",    "shell",      "bullsplash", "shellsplsh", "grensplash", "shellexpl",  "sparkle",
        "shieldhit3", "cgrenade",  "projectile", "grenade",    "amcapsule",  "nshock",     "shellflare",
        "fragment1", "fragment2",  "fragment3",  "fragment4",  "shrapnel",   "firetail",   "missile",
        "rocket",    "MSmoke",     "HVBullet",   "sensor",     "sensorint",  "eye",        "trail",
        "explode2",  "shkwave",    "mexplode",   "smoky1",     "smoky2",     "smoky3",     "smoky4",
        "smoky5",    "fire1",      "vapour1",    "shellcase",  "rlaserseg",  "rlasersegs", "blaserseg",
        "blasersegs", "lightningseg", "lightningsegs", "plasmabolt", "bplasmabolt", "plasplash", "bplasplash",
        "glaser",
    };
    for (const char* file : files) {
        SCOPED_TRACE(file);
        Geom* g = LoadGeom(100.0f, "Objects\\weapons", file, nullptr);
        EXPECT_GT(g->pointCount, 0);
        FreeGeom(g);
        ResetCCADStaging();
    }
    Geom* dust = LoadGeom(30.0f, "Objects\\misc", "dust", nullptr);
    EXPECT_EQ(CCADBBoardCount, 1);
    FreeGeom(dust);
    ResetCCADStaging();

    Register(PoolType::Shard);
    CreateDeadBodyPool();
    PreloadWeapons();
    CreateSharedPools();
    // Two pieces in each of the 14 fragment folders, then the four firs.
    EXPECT_EQ(PreloadedPool->count, 32);
    EXPECT_STREQ(PreloadedPool->names[0], "Objects\\frags\\ema\\frag1");
    EXPECT_STREQ(PreloadedPool->names[27], "Objects\\frags\\wood\\frag2");
    EXPECT_STREQ(PreloadedPool->names[28], "Objects\\scenery\\e9fir1");
    EXPECT_STREQ(PreloadedPool->names[31], "Objects\\scenery\\e9fir4");
    for (int i = 1; i <= 4; ++i) EXPECT_NE(NamedUnit(("e9fir" + std::to_string(i)).c_str()), nullptr);
    EXPECT_EQ(SharedPool(SharedPoolId::Smoky)->capacity, 180);
    std::memcpy(TEXANIMROOT, texAnims, sizeof texAnims);
    std::memcpy(PALETTEROOT, palettes, sizeof palettes);
}

}  // namespace
