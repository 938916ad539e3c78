// The demo island's buildings and scenery in the running level: the view over the E.M.A. base shows its
// buildings (reference picture, and a different picture once the base's action unit is taken out); a
// jeep under scripted control shoots the depot down into its wreck, drives through the gate once a test
// opened it, rams a tree that swings and stands again; a saved game brings back the destroyed depot and
// the half-open gate and refuses a damaged gate record.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "DemoLevel.h"
#include "core/Fix3D.h"
#include "objects/Elements.h"
#include "objects/Elements_local.h"
#include "render/ReferencePicture.h"
#include "render/ScapeBoard.h"
#include "render/View.h"
#include "render/Viewport.h"
#include "tools/datakit/Bytes.h"
#include "vehicles/types/EMAJeep.h"
#include "game/SavedGame.h"
#include "render/Snapshot.h"
#include "world/Terrain.h"

namespace kvtest {
namespace {

constexpr int32_t kTile = 65536;
constexpr int32_t kQuarter = 102943;

// The first unit of an action unit made from the entry of that name.
construct* Element(const char* au, const char* name) {
    for (construct* c : DemoLevel::UnitsOf(au))
        if (std::strcmp(c->unit->name, name) == 0) return c;
    return nullptr;
}

class DemoBase : public DemoLevel {
protected:
    void SetUp() override {
        DemoLevel::SetUp();
        jeep_ = UnitsOf("EMA_TaskForce")[0];
        Drive(jeep_);
        FrameCounter = 1;
    }
    // Puts the jeep at tile point (x, z) facing along the heading (0 faces -x, a quarter turn -z).
    void PutJeep(double x, double z, int32_t heading) {
        PlacementRecord p{int32_t(x * kTile), 0, int32_t(z * kTile), {0, 0}, heading, 100, 0};
        CallItfc(jeep_, ItfcMethod::PLACE, reinterpret_cast<uintptr_t>(&p));
        FlushQZEvents();
        Drive(jeep_);
        Run(30, ControlInput{});  // it settles on its wheels
    }
    static double X(const construct* c) { return c->pos[0] / double(kTile); }
    static double Z(const construct* c) { return c->pos[2] / double(kTile); }
    construct* jeep_ = nullptr;
};

TEST_F(DemoBase, AJeepShootsTheDepotDownDrivesThroughTheGateAndRamsATree) {
    // The depot stands on its tile (15, 46); the jeep south of it, facing north.
    construct* depot = Element("EMA_Base", "Depot");
    ASSERT_NE(depot, nullptr);
    auto* d = static_cast<elements::BuildingBlock*>(depot->itfcData);
    Geom* wreckLook = d->wreck->lod[0];
    PutJeep(15.5, 47.6, kQuarter);
    const int32_t structure = d->state.structure;
    int ticks = 0;
    while (d->alive && ticks < 3000) {
        Step(Keys({kKeyFire1}));
        ++ticks;
        if (ticks == 120) {
            EXPECT_LT(d->state.structure, structure) << "the bullets hit it";
        }
    }
    ASSERT_EQ(d->alive, 0) << "still standing after " << ticks << " ticks";
    EXPECT_EQ(depot->lod[0], wreckLook) << "it shows its wreck";
    EXPECT_EQ(depot->subCount, 0) << "and its radar dish is gone with it";

    // The gate (tile 17, 47) lets nothing through until a test opens it; then the jeep drives through.
    construct* gate = Element("EMA_BaseGate", "Gate");
    ASSERT_NE(gate, nullptr);
    // Driven at the closed gate, the jeep is lifted onto its door line; once a test opened it, it drives
    // through on the ground.
    auto drive = [&] {
        PutJeep(16.6, 47.5, 2 * kQuarter);
        const int32_t ground = jeep_->pos[1];
        int32_t highest = ground;
        for (int i = 0; i < 200 && X(jeep_) < 18.3; ++i) {
            Step(Keys({kKeyThrust1}));
            highest = std::max(highest, jeep_->pos[1]);
        }
        return highest - ground;
    };
    EXPECT_GT(drive(), 3000) << "the closed door line is a wall";
    CallItfc(gate, ItfcMethod::SETMODE, 1);
    Run(170, ControlInput{});
    EXPECT_EQ(static_cast<elements::GateBlock*>(gate->itfcData)->doorPos, 1.0f);
    EXPECT_LT(drive(), 1000) << "through the open gate on the ground";
    EXPECT_GT(X(jeep_), 18.3);
    EXPECT_NEAR(Z(jeep_), 47.5, 0.1);

    // The trees at tile point (16.4, 50.6): the jeep rams one from the north, it swings and stands again.
    construct* tree = nullptr;
    for (construct* c : UnitsOf("EMA_Base"))
        if (std::strcmp(c->unit->name, "Trees") == 0 && std::fabs(X(c) - 16.4) < 0.05) tree = c;
    ASSERT_NE(tree, nullptr);
    auto* t = static_cast<elements::MultiSceneryBlock*>(tree->itfcData);
    int32_t standing[9];
    std::memcpy(standing, tree->orient, sizeof standing);
    PutJeep(16.4, 50.0, 3 * kQuarter);
    bool swung = false;
    for (int i = 0; i < 200 && !swung; ++i) {
        Step(Keys({kKeyThrust1}));
        swung = t->moving != 0;
    }
    ASSERT_TRUE(swung) << "the jeep reaches the tree";
    bool leaned = false;
    for (int i = 0; i < 2000 && t->moving; ++i) {
        Step(Keys({kKeyThrust2}));
        leaned = leaned || std::memcmp(standing, tree->orient, sizeof standing) != 0;
    }
    EXPECT_TRUE(leaned) << "it swings";
    EXPECT_FALSE(t->moving) << "it comes to rest";
    for (int k = 0; k < 9; ++k) EXPECT_NEAR(tree->orient[k], standing[k], 400) << k;
    EXPECT_EQ(t->alive, 1);
}

std::vector<uint8_t> SavedBytes(const char* name) {
    std::vector<uint8_t> bytes;
    host::ReadWholeFile((std::string("SavedGames/") + name).c_str(), bytes);
    return bytes;
}

std::vector<uint8_t> Form(construct* con) {
    int32_t size = 0;
    auto* block = reinterpret_cast<uint8_t*>(CallItfc(con, ItfcMethod::GETITFCDATA, reinterpret_cast<uintptr_t>(&size)));
    std::vector<uint8_t> out(block, block + size);
    qzFree(block);
    return out;
}

// A tree levels the ground under its footprint to the highest point there. The trees by the ford, where
// the road crosses the river between steep banks, stand where that leaves no step a wheel cannot take:
// the ground just around each of them lies at most a sixteenth of a tile below the tree's own level. (A
// copse on the bank there once stood on blocks a tenth of a tile high beside the road, which threw the
// jeeps driving over them far into the air and hid the two sides from each other at the crossing.)
TEST_F(DemoLevel, TheTreesByTheFordStandOnLevelGround) {
    const mkdemo::DemoPlace ford = mkdemo::DemoIslandPlace("ford");
    int trees = 0;
    for (construct* c : UnitsOf("Island_Scenery")) {
        const std::string name = c->unit->name;
        if (name != "Tree" && name != "Trees") continue;
        if (std::hypot(double(c->pos[0]) - ford.x, double(c->pos[2]) - ford.z) > 3.0 * kTile) continue;
        ++trees;
        // The ring of sub-points just outside the footprint (nine sub-points across, centred on the tree).
        const int32_t x0 = (c->pos[0] & ~4095) - 5 * 4096, z0 = (c->pos[2] & ~4095) - 5 * 4096;
        int32_t lowest = INT32_MAX;
        for (int i = 0; i <= 10; ++i)
            for (int j = 0; j <= 10; ++j) {
                if (i != 0 && i != 10 && j != 0 && j != 10) continue;
                const int32_t p[3] = {x0 + i * 4096, 0, z0 + j * 4096};
                lowest = std::min(lowest, GroundHeight(CurrentMatrix, p, 0, 0, nullptr));
            }
        EXPECT_LT(c->pos[1] - lowest, kTile / 16) << name << " at tile " << c->pos[0] / double(kTile) << ", "
                                                  << c->pos[2] / double(kTile) << " stands above the ground by "
                                                  << c->pos[1] - lowest;
    }
    EXPECT_GT(trees, 0);
}

// Buildings make no engine noise: a G.A. jeep standing by the E.M.A. base's tower (two tiles off, well
// within a vehicle's hearing) hears nothing there and is not alerted. (A building heard like an engine
// kept the G.A. patrol alerted at its turning point by the base for good, holding while hearing.)
TEST_F(DemoLevel, AJeepByTheBaseBuildingsHearsNothing) {
    construct* jeep = UnitsOf("GA_Outpost")[0];
    PlacementRecord p{int32_t(20.0 * 65536), 0, int32_t(44.0 * 65536), {0, 0}, 0, 100, 0};
    CallItfc(jeep, ItfcMethod::PLACE, reinterpret_cast<uintptr_t>(&p));
    FlushQZEvents();
    Drive(jeep);
    // Three detection passes (every 32nd tick).
    Run(100, ControlInput{});
    EXPECT_EQ(GetUnitShare(jeep)->alertCountdown, 0);
}

void RebuildLevel() {
    TeardownLevel();
    FreeRules();
    ReadRules("app/rules");
    std::snprintf(MissionName, sizeof MissionName, "Ema01");
    InitLevel(0);
}

TEST_F(DemoBase, ASavedGameKeepsTheDestroyedDepotAndTheHalfOpenGate) {
    construct* depot = Element("EMA_Base", "Depot");
    construct* gate = Element("EMA_BaseGate", "Gate");
    auto* d = static_cast<elements::BuildingBlock*>(depot->itfcData);
    d->state.structure = 1;
    CallItfc(depot, ItfcMethod::HIT, reinterpret_cast<uintptr_t>(jeep_));
    FlushQZEvents();
    ASSERT_EQ(d->alive, 0);
    CallItfc(gate, ItfcMethod::SETMODE, 1);
    for (int i = 0; i < 8 * 10; ++i) WorldTick(1, 1);
    const float doorPos = static_cast<elements::GateBlock*>(gate->itfcData)->doorPos;
    EXPECT_GT(doorPos, 0.3f);
    EXPECT_LT(doorPos, 0.7f);
    const std::vector<uint8_t> gateForm = Form(gate);
    ASSERT_EQ(SaveQZGM("base"), 1) << SavedGameRefusal();

    RebuildLevel();
    depot = Element("EMA_Base", "Depot");
    gate = Element("EMA_BaseGate", "Gate");
    ASSERT_EQ(static_cast<elements::BuildingBlock*>(depot->itfcData)->alive, 1);
    ASSERT_EQ(depot->subCount, 1) << "the fresh depot has its radar dish";
    Geom* wreckLook = static_cast<elements::BuildingBlock*>(depot->itfcData)->wreck->lod[0];
    char other[64] = "";
    ASSERT_EQ(LoadQZGM("base", 0, other), kQZGMLoaded) << SavedGameRefusal();
    d = static_cast<elements::BuildingBlock*>(depot->itfcData);
    EXPECT_EQ(d->alive, 0) << "a destroyed building stays destroyed";
    EXPECT_EQ(depot->lod[0], wreckLook);
    EXPECT_EQ(depot->subCount, 0) << "in its wreck's look";
    auto* g = static_cast<elements::GateBlock*>(gate->itfcData);
    EXPECT_FLOAT_EQ(g->doorPos, doorPos) << "a half-open gate half open";
    EXPECT_EQ(Form(gate), gateForm);
    // Saving again gives the same file.
    ASSERT_EQ(SaveQZGM("again"), 1);
    EXPECT_EQ(SavedBytes("again"), SavedBytes("base"));

    // A gate record whose doors stand past open is refused before the level changes.
    std::vector<uint8_t> bytes = SavedBytes("base");
    const auto at = std::search(bytes.begin(), bytes.end(), gateForm.begin(), gateForm.end());
    ASSERT_NE(at, bytes.end());
    const size_t pos = size_t(at - bytes.begin()) + kUnitSavedSize + 28 + 4;
    const float past = 2.0f;
    std::memcpy(&bytes[pos], &past, 4);
    ASSERT_TRUE(datakit::WriteFile("SavedGames/damaged", bytes));
    host::FlushDirectoryCache();
    g->doorPos = 0.25f;
    EXPECT_EQ(LoadQZGM("damaged", 0, other), kQZGMRefused);
    EXPECT_NE(std::string(SavedGameRefusal()).find("the position lies outside 0..1"), std::string::npos)
        << SavedGameRefusal();
    EXPECT_FLOAT_EQ(g->doorPos, 0.25f) << "the level is left as it was";
}

// The main view over the E.M.A. base from a fixed camera.
class DemoBaseView : public DemoLevel {
public:
    DemoBaseView() { width_ = 160, height_ = 120; }

    // The camera looks at tile point (16.3, 47.6) on the base from 90000 world units, turned 30 degrees
    // from the west-facing view and 30 degrees down.
    static void LookOverTheBase() {
        static construct* eye = nullptr;
        if (!eye) {
            eye = CreateConstruct(0, 0);
            eye->itfc = [](construct*, ItfcMethod, uintptr_t) -> uintptr_t { return 0; };
        }
        FixMatrix m;
        MatrixFromYawPitch(&m, int32_t(30 * 1143.8), int32_t(120 * 1143.8));
        std::memcpy(eye->orient, m.m, sizeof m.m);
        const int32_t at[3] = {int32_t(16.3 * kTile), 6400, int32_t(47.6 * kTile)};
        for (int k = 0; k < 3; ++k) eye->pos[k] = at[k] - int32_t(int64_t(m.m[6 + k]) * 90000 / 32768);
        SetViewPortTarget(MainViewPort, eye, eye->pos, &m, 1);
        UpdateAllScapeBoards();
        UpdateViewPortCamera(MainViewPort, 1);
    }
    std::vector<uint32_t> Snapshot() const {
        const int number = TakeSnapshot([] { RenderAllViews(); });
        char name[64];
        std::snprintf(name, sizeof name, "Snapshots/sd%08d.bmp", number);
        int w = 0, h = 0;
        std::vector<uint32_t> rgb;
        EXPECT_TRUE(ReadBmp24(DemoTree() + "/" + name, &w, &h, &rgb)) << name;
        return rgb;
    }
};

TEST_F(DemoBaseView, TheBuildingsShowInTheViewOverTheBase) {
    for (int i = 0; i < 4; ++i) WorldTick(1, 1);
    LookOverTheBase();
    const std::vector<uint32_t> with = Snapshot();
    ASSERT_EQ(with.size(), 160u * 120u);
    CompareWithReference("demo_level_base", 160, 120, with);
    AUDef_itfc(NamedAUDef("EMA_Base"), ItfcMethod::UNPLACE);
    FlushQZEvents();
    LookOverTheBase();
    const std::vector<uint32_t> without = Snapshot();
    int changed = 0;
    for (size_t i = 0; i < with.size(); ++i) changed += with[i] != without[i];
    // The depot, the energy gate and the gate take a good part of the view.
    EXPECT_GT(changed, 800);
    CallItfc(SatCamera, ItfcMethod::VIEWINSIDE, reinterpret_cast<uintptr_t>(MainViewPort));
}

}  // namespace
}  // namespace kvtest
