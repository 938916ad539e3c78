// The demo island's jeeps in a saved game: written, the level built again, read back and written again.
#include <cstring>

#include "DemoLevel.h"
#include "objects/UnitShare.h"
#include "objects/SharedPools.h"
#include "vehicles/types/DeadBody.h"
#include "vehicles/types/EMAJeep.h"
#include "world/SavedGame.h"

namespace kvtest {
namespace {

EMAJeepBlock* Jeep(construct* con) { return static_cast<EMAJeepBlock*>(con->itfcData); }

std::vector<uint8_t> SavedBytes(const char* name) {
    std::vector<uint8_t> bytes;
    host::ReadWholeFile((std::string("SavedGames/") + name).c_str(), bytes);
    return bytes;
}

TEST_F(DemoLevel, TheIslandsJeepsComeBackFromASavedGameInAFreshLevel) {
    const ControlInput forward = Keys({kKeyThrust1}, 4000);
    std::vector<construct*> ema = UnitsOf("EMA_TaskForce");
    ASSERT_FALSE(ema.empty());
    Drive(ema[0]);
    Run(40, forward);
    ema[0]->playerCell = nullptr;
    ema[0]->pos[0] += 3 * 65536;  // somewhere its placement does not put it
    ema[0]->orient[0] = 32000;
    Jeep(ema[0])->head.state.shield = 11;
    SetUnitTarget(ema[0], UnitsOf("GA_Outpost").front(), 3, 0);
    // A wreck standing beside the outpost; the fresh level has none.
    construct* ga = UnitsOf("GA_Outpost").front();
    construct* wreck = LeaveDeadBody(ga, ga->unit->path);
    ASSERT_NE(wreck, nullptr);
    wreck->pos[2] += 2 * 65536;
    static_cast<DeadBodyData*>(wreck->itfcData)->lifetime = 1234;
    const std::vector<int32_t> wreckPos(wreck->pos, wreck->pos + 3);
    const std::vector<int32_t> pos(ema[0]->pos, ema[0]->pos + 3);
    const std::vector<int32_t> orient(ema[0]->orient, ema[0]->orient + 9);
    ASSERT_EQ(SaveQZGM("island"), 1) << SavedGameRefusal();
    const std::vector<uint8_t> first = SavedBytes("island");

    TeardownLevel();
    FreeRules();
    ReadRules("app/rules");
    std::snprintf(MissionName, sizeof MissionName, "Ema01");
    InitLevel(0);
    ema = UnitsOf("EMA_TaskForce");
    EXPECT_NE(std::vector<int32_t>(ema[0]->pos, ema[0]->pos + 3), pos);
    char other[64] = "";
    ASSERT_EQ(LoadQZGM("island", 0, other), kQZGMLoaded) << SavedGameRefusal();
    EXPECT_EQ(std::vector<int32_t>(ema[0]->pos, ema[0]->pos + 3), pos);
    EXPECT_EQ(std::vector<int32_t>(ema[0]->orient, ema[0]->orient + 9), orient);
    EXPECT_EQ(Jeep(ema[0])->head.state.shield, 11);
    EXPECT_EQ(GetUnitTarget(ema[0]), UnitsOf("GA_Outpost").front());
    ASSERT_EQ(DeadBodyPool->count, 1);
    wreck = DeadBodyPool->constructs[0];
    EXPECT_EQ(std::vector<int32_t>(wreck->pos, wreck->pos + 3), wreckPos);
    EXPECT_EQ(static_cast<DeadBodyData*>(wreck->itfcData)->lifetime, 1234);
    EXPECT_EQ(wreck->unit, UnitsOf("GA_Outpost").front()->unit);
    ASSERT_EQ(SaveQZGM("island2"), 1);
    EXPECT_EQ(SavedBytes("island2"), first);
}

}  // namespace
}  // namespace kvtest
