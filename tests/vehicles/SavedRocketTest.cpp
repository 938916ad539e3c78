// A rocket in flight in a saved game: its pointer-free form names its target by action unit and index; a
// load brings the rocket back chasing that unit, the unit's missile count stays one however the rocket
// and the unit are restored, and a form that names no unit of the level, or holds a state a rocket is
// never in, is refused before the level changes.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "DemoLevel.h"
#include "objects/EffectBlocks.h"
#include "objects/EffectTypes.h"
#include "objects/SharedPools.h"
#include "objects/UnitShare.h"
#include "tools/datakit/Bytes.h"
#include "vehicles/modules/PjtThrower.h"
#include "vehicles/types/EMAJeep.h"
#include "game/SavedGame.h"

namespace kvtest {
namespace {

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

void SetForm(construct* con, std::vector<uint8_t> form) {
    CallItfc(con, ItfcMethod::SETITFCDATA, reinterpret_cast<uintptr_t>(form.data()));
}

class SavedRocket : public DemoLevel {
public:
    void SetUp() override {
        DemoLevel::SetUp();
        target_ = UnitsOf("GA_Outpost")[0];
        construct* firer = UnitsOf("EMA_TaskForce")[0];
        rocket_ = NextFreeInConstructPool(SharedPool(SharedPoolId::Rocket));
        ASSERT_NE(rocket_, nullptr);
        CreateQZEvent(QZEventKind::Buzy0, rocket_);
        ActivateConstruct(rocket_);
        PlaceRelativeToOwner(firer, rocket_, nullptr);
        rocket_->pos[1] += 60000;  // high over the island, far from its target
        rocket_->owner = firer;
        LaunchRecord launch{};
        launch.speed = 50;
        launch.acceleration = 1;
        launch.turnRate = 500;
        launch.range = 1 << 30;
        launch.lockTarget = target_;
        launch.impact[2] = 10;
        CallItfc(rocket_, ItfcMethod::LAUNCH, reinterpret_cast<uintptr_t>(&launch));
        Run(5, ControlInput{});
    }
    int32_t Missiles() const { return static_cast<UnitShare*>(target_->itfcData)->missileCount; }
    MissileBlock* Block() const { return static_cast<MissileBlock*>(rocket_->itfcData); }

    construct* target_ = nullptr;
    construct* rocket_ = nullptr;
};

TEST_F(SavedRocket, ComesBackChasingItsTargetWithOneMissileReference) {
    ASSERT_EQ(Missiles(), 1);
    const std::vector<uint8_t> form = Form(rocket_);
    ASSERT_EQ(form.size(), kMissileSavedSize);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(form.data()) + 516), "GA_Outpost");
    ASSERT_EQ(SaveQZGM("rocket"), 1) << SavedGameRefusal();
    const std::vector<int32_t> pos(rocket_->pos, rocket_->pos + 3);
    const int32_t travelled = Block()->travelled;

    // The rocket flies on and is taken out of its flight; its target is no longer chased.
    Run(20, ControlInput{});
    SetForm(rocket_, std::vector<uint8_t>(kMissileSavedSize, 0));
    EXPECT_EQ(Missiles(), 0);
    EXPECT_EQ(Block()->target, nullptr);

    char other[64] = "";
    ASSERT_EQ(LoadQZGM("rocket", 0, other), kQZGMLoaded) << SavedGameRefusal();
    EXPECT_EQ(Block()->target, target_);
    EXPECT_EQ(Missiles(), 1);
    EXPECT_EQ(std::vector<int32_t>(rocket_->pos, rocket_->pos + 3), pos);
    EXPECT_EQ(Block()->travelled, travelled);
    EXPECT_TRUE(rocket_->flags & kConActive);
    EXPECT_TRUE(rocket_->flags & kConBusy);
    ASSERT_EQ(SaveQZGM("rocket2"), 1);
    EXPECT_EQ(SavedBytes("rocket2"), SavedBytes("rocket"));

    // Restored in either order, rocket and unit leave the count at one.
    const std::vector<uint8_t> unitForm = Form(target_);
    for (bool unitFirst : {true, false}) {
        SCOPED_TRACE(unitFirst ? "unit first" : "rocket first");
        if (unitFirst) SetForm(target_, unitForm);
        SetForm(rocket_, form);
        if (!unitFirst) SetForm(target_, unitForm);
        EXPECT_EQ(Missiles(), 1);
    }
    // It ends and lets go.
    Block()->range = 0;
    Run(3, ControlInput{});
    EXPECT_FALSE(rocket_->flags & kConActive);
    EXPECT_EQ(Missiles(), 0);
}

TEST_F(SavedRocket, AFormNamingNoUnitOrADamagedOneIsRefusedBeforeTheLevelChanges) {
    const std::vector<uint8_t> form = Form(rocket_);
    ASSERT_EQ(SaveQZGM("good"), 1) << SavedGameRefusal();
    const std::vector<uint8_t> good = SavedBytes("good");
    const auto found = std::search(good.begin(), good.end(), form.begin(), form.end());
    ASSERT_NE(found, good.end());
    const size_t at = size_t(found - good.begin());
    const struct {
        const char* what;
        size_t offset;
        std::vector<uint8_t> bytes;
        const char* refusal;
    } cases[] = {
        {"an action unit the level lacks", 516, {'G', 'A', '_', 'N', 'o', 'n', 'e', 0}, "'GA_None' not present"},
        {"an index past its units", 548, {9, 0, 0, 0}, "too few units"},
        {"a name without its end", 516, std::vector<uint8_t>(32, 'x'), "has no end"},
        {"a turn rate beyond a turn", 8, {0xff, 0xff, 0xff, 0x7f}, "turn rate"},
        {"a target flag of 2", 56, {2, 0, 0, 0}, "target flag"},
    };
    const std::vector<int32_t> pos(rocket_->pos, rocket_->pos + 3);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bad = good;
        std::copy(c.bytes.begin(), c.bytes.end(), bad.begin() + std::ptrdiff_t(at + c.offset));
        ASSERT_TRUE(datakit::WriteFile("SavedGames/bad", bad));
        host::FlushDirectoryCache();
        char other[64] = "";
        EXPECT_EQ(LoadQZGM("bad", 0, other), kQZGMRefused);
        EXPECT_NE(std::string(SavedGameRefusal()).find(c.refusal), std::string::npos) << SavedGameRefusal();
        EXPECT_EQ(Form(rocket_), form);
        EXPECT_EQ(std::vector<int32_t>(rocket_->pos, rocket_->pos + 3), pos);
        EXPECT_EQ(Missiles(), 1);
    }
}

}  // namespace
}  // namespace kvtest
