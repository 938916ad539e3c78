// The modules' saved forms: written and read back they give the same state, they hold no address, and
// the checks refuse states a module never reaches.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "objects/UnitServices.h"
#include "vehicles/modules/ModuleSaved.h"

namespace {

void PutWord(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k) bytes[at + size_t(k)] = uint8_t(v >> (8 * k));
}

uint32_t FloatBits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

// A record of each kind in a state that play produces, with a pointer in each pointer field.
construct* const kSomeConstruct = reinterpret_cast<construct*>(uintptr_t{0x1234560});

WheelDrive MovingWheels() {
    WheelDrive d{};
    d.g.con = kSomeConstruct;
    d.g.rest = 1;
    d.g.classWord = 3;
    d.g.speedConstraint[0] = -2000;
    d.g.speedConstraint[1] = 9000;
    d.g.enginePower = 62.5f;
    d.g.modeFactor = -kEngineModeFactor;
    d.g.ones[2] = 1;
    d.g.engine.soundOn = 1;
    d.acceleration[0] = 40;
    d.acceleration[1] = 80;
    d.verticalVelocity = -300;
    d.contacts = 4;
    d.accessType = static_cast<int32_t>(AccessType::Amphi);
    d.maxWheelLock = 30000;
    d.speed = 5123;
    d.turnRate = 700;
    d.wheelLock = -12000;
    d.wheelAngle = 400000;
    d.wheelRecenterRate = 90;
    d.aiSpeed = 4000;
    d.aiLock = 100;
    d.aiReverseTimer = 7;
    return d;
}

TEST(ModuleSaved, EachFormComesBackAsItWasWrittenAndHoldsNoAddress) {
    WheelDrive wheels = MovingWheels();
    std::vector<uint8_t> form(kWheelDriveSavedSize);
    WheelDrive_putSaved(&wheels, form.data());
    EXPECT_EQ(WheelDrive_checkSaved(form.data()), nullptr);
    WheelDrive back{};
    WheelDrive_getSaved(&back, form.data());
    EXPECT_EQ(back.g.con, nullptr);  // pointers stay the taker's own
    EXPECT_EQ(back.speed, 5123);
    EXPECT_EQ(back.wheelLock, -12000);
    EXPECT_EQ(back.wheelAngle, 400000);
    EXPECT_EQ(back.g.enginePower, 62.5f);
    EXPECT_EQ(back.g.engine.soundOn, 1);
    EXPECT_EQ(back.blockedMask, GetBlockedMask(AccessType::Amphi));  // derived again
    std::vector<uint8_t> again(kWheelDriveSavedSize);
    WheelDrive_putSaved(&back, again.data());
    EXPECT_EQ(again, form);
    // Another construct pointer gives the same bytes.
    wheels.g.con = nullptr;
    WheelDrive_putSaved(&wheels, again.data());
    EXPECT_EQ(again, form);
    // Little-endian at its place: the access type.
    EXPECT_EQ(form[kWheelDriveSavedAccessType], 2);

    ChainDrive chain{};
    chain.g.con = kSomeConstruct;
    chain.speed = -800;
    chain.throttle = -0.5f;
    chain.differential = 0.25f;
    chain.chainAnimScale = 1.5f;
    chain.accessType = static_cast<int32_t>(AccessType::Land1);
    chain.contacts = 10;
    std::vector<uint8_t> chainForm(kChainDriveSavedSize);
    ChainDrive_putSaved(&chain, chainForm.data());
    EXPECT_EQ(ChainDrive_checkSaved(chainForm.data()), nullptr);
    ChainDrive chainBack{};
    ChainDrive_getSaved(&chainBack, chainForm.data());
    EXPECT_EQ(chainBack.speed, -800);
    EXPECT_EQ(chainBack.throttle, -0.5f);
    EXPECT_EQ(chainBack.differential, 0.25f);
    EXPECT_EQ(chainBack.blockedMask, GetBlockedMask(AccessType::Land1));

    WeaponTurret turret{};
    turret.con = kSomeConstruct;
    turret.yaw = kTurretYawAhead;
    turret.pitch = kTurretPitchLevel - 900;
    turret.soundWanted = 1;
    turret.onTarget = 1;
    turret.yawLimits[0] = 200000;
    turret.soundTimer = 12;
    std::vector<uint8_t> turretForm(kTurretSavedSize);
    Turret_putSaved(&turret, turretForm.data());
    EXPECT_EQ(Turret_checkSaved(turretForm.data()), nullptr);
    WeaponTurret turretBack{};
    Turret_getSaved(&turretBack, turretForm.data());
    EXPECT_EQ(turretBack.yaw, kTurretYawAhead);
    EXPECT_EQ(turretBack.pitch, kTurretPitchLevel - 900);
    EXPECT_EQ(turretBack.soundWanted, 1);
    EXPECT_EQ(turretBack.yawLimits[0], 200000);
    EXPECT_EQ(turretBack.con, nullptr);

    UnitLighting lights{};
    lights.con = kSomeConstruct;
    lights.on = 1;
    lights.ramp = 96;
    lights.step = kLightRampStep;
    lights.colour[1] = 200;
    lights.boardIntensity[4] = 128;
    std::vector<uint8_t> lightForm(kLightingSavedSize);
    UnitLighting_putSaved(&lights, lightForm.data());
    EXPECT_EQ(UnitLighting_checkSaved(lightForm.data()), nullptr);
    UnitLighting lightBack{};
    UnitLighting_getSaved(&lightBack, lightForm.data());
    EXPECT_EQ(lightBack.on, 1);
    EXPECT_EQ(lightBack.ramp, 96);
    EXPECT_EQ(lightBack.step, kLightRampStep);
    EXPECT_EQ(lightBack.colour[1], 200);
    EXPECT_EQ(lightBack.boardIntensity[4], 128);
    EXPECT_EQ(lightBack.con, nullptr);

    PjtThrower gun{};
    gun.unit = kSomeConstruct;
    gun.ammoCapacity = 100;
    gun.ammo = 93;
    gun.fireDelay = 12;
    gun.fireDelayCounter = 5;
    gun.salvoShots = 3;
    gun.salvoCounter = 2;
    gun.impact[2] = 9;
    gun.muzzleCursor = 1;
    std::vector<uint8_t> gunForm(kPjtThrowerSavedSize);
    PjtThrower_putSaved(&gun, gunForm.data());
    EXPECT_EQ(PjtThrower_checkSaved(gunForm.data()), nullptr);
    PjtThrower gunBack{};
    PjtThrower_getSaved(&gunBack, gunForm.data());
    EXPECT_EQ(gunBack.ammo, 93);
    EXPECT_EQ(gunBack.fireDelayCounter, 5);
    EXPECT_EQ(gunBack.salvoCounter, 2);
    EXPECT_EQ(gunBack.impact[2], 9);
    EXPECT_EQ(gunBack.muzzleCursor, 0);  // not part of the form: the copy starts at the first muzzle
    EXPECT_EQ(gunBack.unit, nullptr);
}

TEST(ModuleSaved, StatesAModuleNeverReachesAreRefused) {
    WheelDrive wheels = MovingWheels();
    std::vector<uint8_t> wheelForm(kWheelDriveSavedSize);
    WheelDrive_putSaved(&wheels, wheelForm.data());
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        const char* name;
        size_t offset;
        uint32_t value;
    } wheelCases[] = {
        {"access type past the table", kWheelDriveSavedAccessType, 5},
        {"negative access type", kWheelDriveSavedAccessType, 0x80000000u},
        {"engine power not a number", kWheelDriveSavedEnginePower, FloatBits(nan)},
        {"engine power above 100", kWheelDriveSavedEnginePower, FloatBits(100.5f)},
        {"rest flag 2", 8, 2},
        {"wheel angle past a turn", 92, 411774},
        {"wheel lock past its limit", 88, 40000},
        {"contacts", 68, 11},
        // Speeds that would carry the unit past the 32-bit positions in a few ticks.
        {"speed of a billion", 80, 1000000000u},
        {"reverse speed limit far past a tile a tick", 20, 0x80000000u},
        {"acceleration far past a tile a tick", 56, 0x10000000u},
        {"vertical velocity of a billion", 64, 0xC4653600u},
    };
    for (const auto& c : wheelCases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bad = wheelForm;
        PutWord(bad, c.offset, c.value);
        EXPECT_NE(WheelDrive_checkSaved(bad.data()), nullptr);
    }

    UnitLighting lights{};
    std::vector<uint8_t> lightForm(kLightingSavedSize);
    UnitLighting_putSaved(&lights, lightForm.data());
    for (const auto& [offset, value] : std::vector<std::pair<size_t, uint32_t>>{
             {kLightingSavedRamp, 256}, {kLightingSavedRamp, 0xFFFFFFFFu}, {32, 5}, {36, 2}, {56, 300}}) {
        std::vector<uint8_t> bad = lightForm;
        PutWord(bad, offset, value);
        EXPECT_NE(UnitLighting_checkSaved(bad.data()), nullptr) << offset;
    }

    WeaponTurret turret{};
    std::vector<uint8_t> turretForm(kTurretSavedSize);
    Turret_putSaved(&turret, turretForm.data());
    for (const auto& [offset, value] : std::vector<std::pair<size_t, uint32_t>>{
             {kTurretSavedYaw, uint32_t(kTurretYawTop + 1)}, {kTurretSavedYaw, uint32_t(kTurretYawInit - 1)},
             {4, 0x7FFFFFFFu}, {8, 2}, {68, 31}, {12, 0x40000000u}, {44, 0x80000000u}, {64, 500000}}) {
        std::vector<uint8_t> bad = turretForm;
        PutWord(bad, offset, value);
        EXPECT_NE(Turret_checkSaved(bad.data()), nullptr) << offset;
    }

    PjtThrower gun{};
    gun.ammoCapacity = 10;
    gun.ammo = 10;
    gun.fireDelay = 12;
    std::vector<uint8_t> gunForm(kPjtThrowerSavedSize);
    PjtThrower_putSaved(&gun, gunForm.data());
    for (const auto& [offset, value] : std::vector<std::pair<size_t, uint32_t>>{
             {0, 11}, {0, 0xFFFFFFFFu}, {kPjtThrowerSavedFireDelayCounter, 13},
             {kPjtThrowerSavedFireDelayCounter, 0xFFFFFFFFu}, {60, 2}}) {
        std::vector<uint8_t> bad = gunForm;
        PutWord(bad, offset, value);
        EXPECT_NE(PjtThrower_checkSaved(bad.data()), nullptr) << offset;
    }

    ChainDrive chain{};
    std::vector<uint8_t> chainForm(kChainDriveSavedSize);
    ChainDrive_putSaved(&chain, chainForm.data());
    for (const auto& [offset, value] : std::vector<std::pair<size_t, uint32_t>>{
             {64, FloatBits(1.5f)}, {76, FloatBits(nan)}, {92, 7}, {56, 1000000000u}, {60, 0x80000000u}}) {
        std::vector<uint8_t> bad = chainForm;
        PutWord(bad, offset, value);
        EXPECT_NE(ChainDrive_checkSaved(bad.data()), nullptr) << offset;
    }
}

}  // namespace
