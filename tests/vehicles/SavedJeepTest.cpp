// The demo island's jeeps in a saved game: written, the level built again, read back and written again;
// the jeep's modules (lights, turret, wheel drive, gun) come back as they were; a damaged jeep record is
// refused before the level changes.
#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>

#include "DemoLevel.h"
#include "objects/UnitSaved.h"
#include "objects/UnitShare.h"
#include "objects/SharedPools.h"
#include "vehicles/types/DeadBody.h"
#include "tools/datakit/Bytes.h"
#include "tools/datakit/SavedGame.h"
#include "vehicles/types/EMAJeep.h"
#include "game/SavedGame.h"

namespace kvtest {
namespace {

EMAJeepBlock* Jeep(construct* con) { return static_cast<EMAJeepBlock*>(con->itfcData); }

std::vector<uint8_t> SavedBytes(const char* name) {
    std::vector<uint8_t> bytes;
    host::ReadWholeFile((std::string("SavedGames/") + name).c_str(), bytes);
    return bytes;
}

// The jeep's saved form as GETITFCDATA hands it out.
std::vector<uint8_t> SavedForm(construct* con) {
    int32_t size = 0;
    auto* block = reinterpret_cast<uint8_t*>(CallItfc(con, ItfcMethod::GETITFCDATA, reinterpret_cast<uintptr_t>(&size)));
    std::vector<uint8_t> out(block, block + size);
    qzFree(block);
    return out;
}

// The mission built again from its files, as a load from the menu finds it.
void RebuildLevel() {
    TeardownLevel();
    FreeRules();
    ReadRules("app/rules");
    std::snprintf(MissionName, sizeof MissionName, "Ema01");
    DemoLevel::InitDemoLevel();
}

void PutWord(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k) bytes[at + size_t(k)] = uint8_t(v >> (8 * k));
}

// Where a field of the unit record lies in its saved form (at the head of the jeep's form): found by
// writing a record with a marker in that field.
size_t UnitFormOffset(void (*mark)(UnitShare&)) {
    UnitShare r{};
    mark(r);
    std::vector<uint8_t> form(kUnitSavedSize);
    PutUnitSaved(form.data(), &r);
    const uint8_t marker[4] = {0x34, 0x12, 0x5A, 0x5A};
    const auto at = std::search(form.begin(), form.end(), marker, marker + 4);
    if (at == form.end()) ADD_FAILURE() << "no marker in the unit record's form";
    return size_t(at - form.begin());
}
constexpr int32_t kMarker = 0x5A5A1234;

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
    // The wreck made busy as a tick would: the restored level runs the deferred events when the player's
    // view is set up again, so the second save finds it busy.
    FlushQZEvents();
    const std::vector<int32_t> wreckPos(wreck->pos, wreck->pos + 3);
    const std::vector<int32_t> pos(ema[0]->pos, ema[0]->pos + 3);
    const std::vector<int32_t> orient(ema[0]->orient, ema[0]->orient + 9);
    ASSERT_EQ(SaveQZGM("island"), 1) << SavedGameRefusal();
    const std::vector<uint8_t> first = SavedBytes("island");

    RebuildLevel();
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

// Driven with its turret turned, its lights fading in and its gun reloading, the jeep is saved; in a fresh
// level its modules take that state over (not their placed one), and a second save gives the same bytes.
TEST_F(DemoLevel, TheJeepsModulesComeBackFromASavedGame) {
    construct* jeep = UnitsOf("EMA_TaskForce")[0];
    Drive(jeep);
    ControlInput drive = Keys({kKeyThrust1}, 3000);
    drive.axes[kAxisYaw] = 6000;
    drive.axes[kAxisPitch] = -3000;
    Run(40, drive);
    ControlInput light = drive;
    SetInputKey(&light, kKeyLight, true);
    // The jeep ticks every second world tick: press and release (over three ticks, so that the press
    // meets both phases) until it has seen a press.
    for (int i = 0; i < 4 && Jeep(jeep)->lighting.step == 0; ++i) {
        Run(1, light);
        Run(2, drive);
    }
    Run(6, drive);
    ControlInput fire = drive;
    SetInputKey(&fire, kKeyFire1, true);
    Run(2, fire);
    Run(2, drive);
    const EMAJeepBlock before = *Jeep(jeep);
    ASSERT_GT(before.lighting.ramp, 0);
    ASSERT_LT(before.lighting.ramp, kLightRampFull);  // still fading in
    ASSERT_NE(before.turret.yaw, kTurretYawInit);
    ASSERT_NE(before.turret.pitch, kTurretPitchLevel);
    ASSERT_NE(before.drive.speed, 0);
    ASSERT_NE(before.drive.wheelLock, 0);
    ASSERT_GT(before.weapon0.fireDelayCounter, 0);
    ASSERT_LT(before.weapon0.ammo, before.weapon0.ammoCapacity);
    const std::vector<uint8_t> form = SavedForm(jeep);
    ASSERT_EQ(form.size(), kEMAJeepSavedSize);
    jeep->playerCell = nullptr;
    ASSERT_EQ(SaveQZGM("modules"), 1) << SavedGameRefusal();
    const std::vector<uint8_t> first = SavedBytes("modules");

    RebuildLevel();
    jeep = UnitsOf("EMA_TaskForce")[0];
    EXPECT_NE(Jeep(jeep)->turret.yaw, before.turret.yaw);
    char other[64] = "";
    ASSERT_EQ(LoadQZGM("modules", 0, other), kQZGMLoaded) << SavedGameRefusal();
    const EMAJeepBlock& after = *Jeep(jeep);
    EXPECT_EQ(SavedForm(jeep), form);
    EXPECT_EQ(after.turret.yaw, before.turret.yaw);
    EXPECT_EQ(after.turret.pitch, before.turret.pitch);
    EXPECT_EQ(after.turret.recenterYaw, before.turret.recenterYaw);
    EXPECT_EQ(after.lighting.ramp, before.lighting.ramp);
    EXPECT_EQ(after.lighting.step, before.lighting.step);
    EXPECT_EQ(after.lighting.on, before.lighting.on);
    EXPECT_EQ(after.drive.speed, before.drive.speed);
    EXPECT_EQ(after.drive.wheelLock, before.drive.wheelLock);
    EXPECT_EQ(after.drive.wheelAngle, before.drive.wheelAngle);
    EXPECT_EQ(after.drive.g.enginePower, before.drive.g.enginePower);
    EXPECT_EQ(after.drive.blockedMask, before.drive.blockedMask);
    EXPECT_EQ(after.weapon0.fireDelayCounter, before.weapon0.fireDelayCounter);
    EXPECT_EQ(after.weapon0.ammo, before.weapon0.ammo);
    EXPECT_EQ(after.weapon0.salvoCounter, before.weapon0.salvoCounter);
    // The records keep their own constructs: the fresh jeep's.
    EXPECT_EQ(after.turret.con, jeep);
    EXPECT_EQ(after.drive.g.con, jeep);
    EXPECT_EQ(after.weapon0.unit, jeep);
    EXPECT_EQ(after.lighting.con, jeep);
    ASSERT_EQ(SaveQZGM("modules2"), 1);
    EXPECT_EQ(SavedBytes("modules2"), first);
}

// A saved game whose jeep record holds a module state the jeep can never be in (an unknown access type,
// a light ramp or turret yaw out of range, an engine power that is not a number, a reload count beyond
// the delay, a flag that is neither 0 nor 1) is refused, and the running level stays as it was.
TEST_F(DemoLevel, ADamagedJeepRecordIsRefusedBeforeTheLevelChanges) {
    construct* jeep = UnitsOf("EMA_TaskForce")[0];
    Run(4, ControlInput{});
    const std::vector<uint8_t> form = SavedForm(jeep);
    ASSERT_EQ(SaveQZGM("good"), 1) << SavedGameRefusal();
    const std::vector<uint8_t> good = SavedBytes("good");
    // The jeep's record is where its saved form stands in the file.
    const auto found = std::search(good.begin(), good.end(), form.begin(), form.end());
    ASSERT_NE(found, good.end());
    const size_t at = size_t(found - good.begin());
    uint32_t nan;
    const float notANumber = std::numeric_limits<float>::quiet_NaN();
    std::memcpy(&nan, &notANumber, 4);
    const struct {
        const char* name;
        size_t offset;
        uint32_t value;
        const char* refusal;
    } cases[] = {
        {"access type", kEMAJeepSavedDrive + kWheelDriveSavedAccessType, 9, "access type is unknown"},
        {"negative access type", kEMAJeepSavedDrive + kWheelDriveSavedAccessType, 0xFFFFFFFFu, "access type"},
        {"engine power", kEMAJeepSavedDrive + kWheelDriveSavedEnginePower, nan, "engine power"},
        {"light ramp", kEMAJeepSavedLighting + kLightingSavedRamp, 300, "light ramp"},
        {"turret yaw", kEMAJeepSavedTurret + kTurretSavedYaw, 0x7FFFFFF0u, "yaw"},
        {"reload count", kEMAJeepSavedWeapon0 + kPjtThrowerSavedFireDelayCounter, 100000, "fire delay"},
        {"death flag", kVehicleSavedSize - 4, 7, "death flag"},
        // The unit record at the head of the form: values its first tick could not take.
        {"status word", UnitFormOffset([](UnitShare& r) { r.status = kMarker; }), 0x80000000u, "status word"},
        {"give-way countdown", UnitFormOffset([](UnitShare& r) { r.giveWayCountdown = kMarker; }), 0x80000000u,
         "give-way countdown"},
        {"lock countdown", UnitFormOffset([](UnitShare& r) { r.lockCountdown = kMarker; }), 0xFFFFFFFFu,
         "lock countdown"},
        {"alert point", UnitFormOffset([](UnitShare& r) { r.alertPoint[0] = kMarker; }), 0x7FFFFFF0u,
         "alert point"},
        {"last position", UnitFormOffset([](UnitShare& r) { r.lastPos[2] = kMarker; }), 0x80000010u,
         "last position"},
        {"aim wobble", UnitFormOffset([](UnitShare& r) { std::memcpy(&r.aimWobble, &kMarker, 4); }), nan,
         "wobble"},
    };
    const std::vector<int32_t> pos(jeep->pos, jeep->pos + 3);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bad = good;
        PutWord(bad, at + c.offset, c.value);
        ASSERT_TRUE(datakit::WriteFile("SavedGames/bad", bad));
        host::FlushDirectoryCache();
        char other[64] = "";
        EXPECT_EQ(CheckQZGM("bad", 0, other), kQZGMRefused);
        EXPECT_EQ(LoadQZGM("bad", 0, other), kQZGMRefused);
        EXPECT_NE(std::string(SavedGameRefusal()).find(c.refusal), std::string::npos) << SavedGameRefusal();
        EXPECT_EQ(SavedForm(jeep), form);
        EXPECT_EQ(std::vector<int32_t>(jeep->pos, jeep->pos + 3), pos);
    }
    // The same form, undamaged, is taken.
    ASSERT_TRUE(datakit::WriteFile("SavedGames/bad", good));
    host::FlushDirectoryCache();
    char other[64] = "";
    EXPECT_EQ(LoadQZGM("bad", 0, other), kQZGMLoaded) << SavedGameRefusal();
}

// The unit's countdowns run down to 0 from any value the record may hold, without stepping past the end
// of their range.
TEST(VehicleCountdowns, RunDownToZeroFromAnyValue) {
    auto head = std::make_unique<VehicleHead>();
    for (int32_t v : {INT32_MIN, -1, 0, 1, 5, INT32_MAX}) {
        head->unit.status = v;
        head->unit.giveWayCountdown = v;
        VehicleCountdowns(head.get(), 3);
        EXPECT_EQ(head->unit.status, v > 0 ? v - 1 : 0) << v;
        EXPECT_EQ(head->unit.giveWayCountdown, v > 8 ? v - 8 : 0) << v;
    }
}

// A wreck is made by the load: a record that does not fit a wreck of its unit (or names a unit that
// leaves none) is refused before the level changes, as the records of the level's own units are.
TEST_F(DemoLevel, ADamagedWreckRecordIsRefusedBeforeTheLevelChanges) {
    construct* ga = UnitsOf("GA_Outpost").front();
    construct* wreck = LeaveDeadBody(ga, ga->unit->path);
    ASSERT_NE(wreck, nullptr);
    ASSERT_EQ(SaveQZGM("good"), 1) << SavedGameRefusal();
    datakit::SavedGame file;
    ASSERT_TRUE(datakit::SplitSavedGame(SavedBytes("good"), &file));
    auto record = [&](std::function<void(datakit::SavedConRecord&)> change) {
        datakit::SavedConRecord r;
        r.itfcData.assign(size_t(kDeadBodyRecordSize), 0);
        r.bboards.resize(size_t(wreck->bboardCount));
        r.spots.resize(size_t(wreck->spotCount));
        r.subs.resize(size_t(wreck->subCount));
        if (change) change(r);
        return r;
    };
    const std::string unit = ga->unit->name;
    const struct {
        const char* name;
        std::string unit;
        datakit::SavedConRecord con;
        const char* refusal;
    } cases[] = {
        {"spots", unit, record([](auto& r) { r.spots.emplace_back(); }), "wrong no of spots"},
        {"billboards", unit, record([](auto& r) { r.bboards.emplace_back(); }), "wrong no of bboards"},
        {"type data", unit, record([](auto& r) { r.itfcData.resize(4); }), "type data of 4 bytes"},
        {"a unit without a wreck", "e9fir1", record(nullptr), "leaves no wreck"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        datakit::SavedGame f = file;
        for (auto& chunk : f.chunks)
            if (chunk.type == 14) chunk.body = datakit::SavedDeadBodyPoolChunkBody({{c.unit, c.con}});
        ASSERT_TRUE(datakit::WriteFile("SavedGames/bad", f.Bytes()));
        host::FlushDirectoryCache();
        char other[64] = "";
        EXPECT_EQ(LoadQZGM("bad", 0, other), kQZGMRefused);
        EXPECT_NE(std::string(SavedGameRefusal()).find(c.refusal), std::string::npos) << SavedGameRefusal();
        ASSERT_EQ(DeadBodyPool->count, 1);
        EXPECT_EQ(DeadBodyPool->constructs[0], wreck);
    }
    // The record as the wreck wrote it is taken.
    ASSERT_TRUE(datakit::WriteFile("SavedGames/bad", file.Bytes()));
    host::FlushDirectoryCache();
    char other[64] = "";
    EXPECT_EQ(LoadQZGM("bad", 0, other), kQZGMLoaded) << SavedGameRefusal();
    EXPECT_EQ(DeadBodyPool->count, 1);
}

}  // namespace
}  // namespace kvtest
