// The tracked types in the showroom: the mission "Showroom" of the demo tree holds one unit of every type
// on each side. One table per behaviour across EMATank, EMAHaubitze, EMALinebacker and EMASnowMob: the
// methods each answers itself, the parts a shot moves, the chains on a slope, the weapons by key and by
// the AI's rules, hits, death and wreck, the saved forms, and the tank's flares.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ai/Clan.h"
#include "ai/RecordReplay.h"
#include "core/Fix3D.h"
#include "core/Keys.h"
#include "core/Memory.h"
#include "objects/SharedPools.h"
#include "objects/UnitRecord.h"
#include "support/DebugCapture.h"
#include "vehicles/DemoLevel.h"
#include "vehicles/types/EMAHaubitze.h"
#include "vehicles/types/EMALinebacker.h"
#include "vehicles/types/EMASnowMob.h"
#include "vehicles/types/EMATank.h"
#include "vehicles/types/VehicleTypes.h"
#include "vehicles/modules/ModuleSaved.h"
#include "world/Level.h"
#include "world/Terrain.h"
#include "world/TickCounter.h"

namespace kvtest {
namespace {

constexpr int kKeyNextTarget = static_cast<int>(PilotKey::NEXTTARGET);

// Where each type keeps what the tests look at.
struct Kind {
    const char* name;
    int slots;
    size_t head, turret, drive, lighting;
    int pushShift;  // the hit push: impact x direction >> this
};
const Kind kKinds[] = {
    {"EMATank", 4, offsetof(EMATankBlock, head), offsetof(EMATankBlock, turret), offsetof(EMATankBlock, drive),
     offsetof(EMATankBlock, lighting), 14},
    {"EMAHaubitze", 5, offsetof(EMAHaubitzeBlock, head), offsetof(EMAHaubitzeBlock, turret),
     offsetof(EMAHaubitzeBlock, drive), offsetof(EMAHaubitzeBlock, lighting), 14},
    {"EMALinebacker", 7, offsetof(EMALinebackerBlock, head), offsetof(EMALinebackerBlock, turret),
     offsetof(EMALinebackerBlock, drive), offsetof(EMALinebackerBlock, lighting), 12},
    {"EMASnowMob", 2, offsetof(EMASnowMobBlock, head), offsetof(EMASnowMobBlock, turret),
     offsetof(EMASnowMobBlock, drive), offsetof(EMASnowMobBlock, lighting), 14},
};

template <typename T>
T* At(construct* c, size_t offset) {
    return reinterpret_cast<T*>(static_cast<char*>(c->itfcData) + offset);
}
VehicleHead* Head(construct* c, const Kind& k) { return At<VehicleHead>(c, k.head); }
WeaponTurret* Turret(construct* c, const Kind& k) { return At<WeaponTurret>(c, k.turret); }
ChainDrive* DriveOf(construct* c, const Kind& k) { return At<ChainDrive>(c, k.drive); }

EMATankBlock* TankOf(construct* c) { return static_cast<EMATankBlock*>(c->itfcData); }
EMAHaubitzeBlock* HaubitzeOf(construct* c) { return static_cast<EMAHaubitzeBlock*>(c->itfcData); }
EMALinebackerBlock* LinebackerOf(construct* c) { return static_cast<EMALinebackerBlock*>(c->itfcData); }
EMASnowMobBlock* SnowMobOf(construct* c) { return static_cast<EMASnowMobBlock*>(c->itfcData); }

const char* NameOf(construct* c) { return reinterpret_cast<const char*>(CallItfc(c, ItfcMethod::GETNAME)); }

std::string FatalText(const std::function<void()>& f) {
    try {
        f();
    } catch (const FatalExit& e) {
        return e.what();
    }
    return "";
}

// While alive, the unit's clan holds the other unit in its threat list (so that the AI keeps it as a
// target).
struct HeldThreat {
    Clan* clan;
    HeldThreat(construct* unit, construct* threat) : clan(unit->clan) { clan->threats[clan->threatCount++].con = threat; }
    ~HeldThreat() { clan->threats[--clan->threatCount].con = nullptr; }
};

// While alive, the unit holds the other as its lock target, complete or not, and has it in its own threat
// list (where the unit record's tick looks for it).
struct HeldLock {
    UnitShare* rec;
    HeldLock(construct* unit, construct* target, bool complete) : rec(GetUnitShare(unit)) {
        rec->threats[rec->threatCount++].con = target;
        rec->lockTarget = target;
        rec->locked = complete ? 1 : 0;
        rec->lockCountdown = complete ? 0 : 1000;
    }
    ~HeldLock() {
        rec->threats[--rec->threatCount].con = nullptr;
        rec->lockTarget = nullptr;
        rec->lockEntry = nullptr;
        rec->locked = 0;
    }
};

// Every weapon of the unit ready to fire at once.
void Ready(construct* c) {
    const std::string name = NameOf(c);
    if (name == "EMATank") TankOf(c)->weapon0.fireDelayCounter = TankOf(c)->weapon1.fireDelayCounter = 0;
    if (name == "EMAHaubitze") HaubitzeOf(c)->weapon0.fireDelayCounter = 0;
    if (name == "EMALinebacker") LinebackerOf(c)->cannon.fireDelayCounter = LinebackerOf(c)->weapon1.fireDelayCounter = 0;
}

// How far the part's position lies along its own forward axis from a point (world units).
int64_t Along(const construct* part, const int32_t from[3]) {
    int64_t s = 0;
    for (int i = 0; i < 3; ++i) s += int64_t(part->pos[i] - from[i]) * part->orient[6 + i];
    return s >> 15;
}

class Showroom : public DemoLevel {
public:
    Showroom() { mission_ = "Showroom"; }

    // The unit of a type in an action unit of the showroom.
    static construct* Unit(const char* au, const char* type) {
        for (construct* c : UnitsOf(au))
            if (std::strcmp(NameOf(c), type) == 0) return c;
        ADD_FAILURE() << "no " << type << " in " << au;
        return nullptr;
    }
    static construct* Ours(const Kind& k) { return Unit("Showroom_EMA", k.name); }
    static construct* Theirs(const Kind& k) { return Unit("Showroom_GA", k.name); }
    // One tick of the unit alone, with the records given (its busy level's time step).
    static void TickOnce(construct* c, const ControlInput& before, const ControlInput& now) {
        TickInput in{};
        in.records[0] = before;
        in.records[1] = now;
        CallItfc(c, ItfcMethod::TICK, reinterpret_cast<uintptr_t>(&in));
        FlushQZEvents();
    }
};

// ---- The showroom and the methods.

// Both sides hold one unit of every type that exists, far out of each other's sight, on the ground; the
// wreck burns beside the task force.
TEST_F(Showroom, BothSidesHoldEveryTypeAndTheWreckBurns) {
    Run(4, ControlInput{});
    int rowCount = 0;
    const VehicleTypeRow* rows = VehicleTypeRows(&rowCount);
    for (const char* au : {"Showroom_EMA", "Showroom_GA"}) {
        const std::vector<construct*> units = UnitsOf(au);
        ASSERT_EQ(units.size(), size_t(rowCount)) << au;
        for (int i = 0; i < rowCount; ++i) {
            construct* c = units[size_t(i)];
            EXPECT_EQ(c->itfc, rows[i].itfc) << au << " " << i;
            EXPECT_TRUE(c->flags & kConstructPlaced);
            EXPECT_TRUE(c->flags & kConBusy);
            EXPECT_NEAR(c->pos[1], GroundHeight(CurrentMatrix, c->pos, 0, 0, nullptr), 2500) << NameOf(c);
        }
    }
    const construct* a = UnitsOf("Showroom_EMA")[0];
    const construct* b = UnitsOf("Showroom_GA")[0];
    const double apart = std::hypot(double(a->pos[0] - b->pos[0]), double(a->pos[2] - b->pos[2]));
    EXPECT_GT(apart, 1.5 * NamedRule("eyesight_range")->values[0]);
    ASSERT_EQ(DeadBodyPool->count, 1);
    EXPECT_EQ(UnitsOf("Showroom_Wreck")[0]->flags & kConBusy, 0u);
}

// The methods each type answers itself; every other method is the frame's or unknown.
TEST_F(Showroom, EachTypeAnswersItsOwnMethods) {
    for (const Kind& k : kKinds) {
        SCOPED_TRACE(k.name);
        construct* c = Ours(k);
        EXPECT_EQ(c->subCount, k.slots);
        EXPECT_STREQ(NameOf(c), k.name);
        WeaponTurret* t = Turret(c, k);
        ChainDrive* d = DriveOf(c, k);
        t->yaw = 123456;
        EXPECT_EQ(CallItfc(c, ItfcMethod::GETTURRETYAW), 123456u);
        EXPECT_EQ(CallItfc(c, ItfcMethod::GETTURRETPITCH), uintptr_t(uint32_t(t->pitch)));
        d->speed = 321;
        int32_t top = 0;
        EXPECT_EQ(CallItfc(c, ItfcMethod::GETGAUGES, reinterpret_cast<uintptr_t>(&top)), 321u);
        EXPECT_EQ(top, d->g.speedConstraint[1]);
        EXPECT_EQ(CallItfc(c, ItfcMethod::GETACCESSTYPE), uintptr_t(uint32_t(d->accessType)));
        for (float wanted : {-2.7f, 0.9f, 1.0f}) {
            d->wantedThrottle = wanted;
            int32_t throttle = 99;
            EXPECT_EQ(CallItfc(c, ItfcMethod::GETTHROTTLE, reinterpret_cast<uintptr_t>(&throttle)), 0u);
            EXPECT_EQ(throttle, int32_t(std::trunc(wanted)));
        }
        d->g.rest = 1;
        EXPECT_EQ(CallItfc(c, ItfcMethod::GETDRIVEFLAG), 1u);
        // The key multipliers become the player's axis scales.
        CallItfc(c, ItfcMethod::EXPORTDRIVE);
        const Rule* km = NamedUnitRule(c->unit, "KeyMultipliers");
        for (int i = 0; i < kKeyMultiplierCount; ++i)
            EXPECT_EQ(AxisBindings[i].scale, int32_t(km->values[i] * 256)) << i;
        AIUnitRecord ai{};
        EXPECT_EQ(CallItfc(c, ItfcMethod::UPDATEAIUNIT, reinterpret_cast<uintptr_t>(&ai)), 1u);
        const bool twoWeapons = std::strcmp(k.name, "EMATank") == 0 || std::strcmp(k.name, "EMALinebacker") == 0;
        EXPECT_EQ(ai.weaponPresent[0], 1);
        EXPECT_EQ(ai.weaponPresent[1], twoWeapons ? 1 : 0);

        DebugCapture debug;
        for (int m : {3, 4, 5, 6, 7, 8, 11, 12, 15, 21, 22, 23, 24, 25, 26, 28, 41, 42, 43, 44, 46, 49, 50, 51, 57, 58, 62, 65}) {
            debug.text().clear();
            EXPECT_EQ(CallItfc(c, static_cast<ItfcMethod>(m), 0), 0u) << m;
            EXPECT_EQ(debug.text(), std::string(k.name) + ": uk method " + std::to_string(m) + "\n");
        }
    }
    // The howitzer lists the sensor's methods but has no sensor: they answer 0 and print nothing.
    construct* h = Ours(kKinds[1]);
    DebugCapture debug;
    for (ItfcMethod m : {ItfcMethod::PLAYERLEAVE, ItfcMethod::DRAWVIEWMARKS, ItfcMethod::DRAWOWNMARKS})
        EXPECT_EQ(CallItfc(h, m, 0), 0u);
    EXPECT_EQ(debug.text(), "");
}

// ---- Parts.

// A shot pulls the gun back along its own axis by fire-delay counter x recoil, shifted by 19 - k (18 - k
// for the Linebacker's barrels, which recoil in turns); the snowmobile's gun does not recoil.
TEST_F(Showroom, AShotPullsTheGunBackAlongItsAxis) {
    const struct {
        const char* type;
        int gun;     // the part that recoils first
        int second;  // the part that recoils at the next shot (-1: the same)
        int shift;
    } cases[] = {{"EMATank", 1, -1, 19}, {"EMAHaubitze", 0, -1, 19}, {"EMALinebacker", 1, 2, 18}, {"EMASnowMob", 1, -1, 0}};
    for (const auto& cs : cases) {
        SCOPED_TRACE(cs.type);
        construct* c = Unit("Showroom_EMA", cs.type);
        const int k = c->busyLevel;
        Drive(c);
        // The counters start at the fire delay when the unit is placed: the guns stand back until then.
        Ready(c);
        Run(4, ControlInput{});
        // The parent each part hangs from: the tank's gun and the barrels from the top, the howitzer's
        // gun and the snowmobile's top from the body.
        const construct* parent = std::strcmp(cs.type, "EMAHaubitze") == 0 ? c : c->subs[0];
        const int64_t rest = Along(c->subs[cs.gun], parent->pos);
        Run(2, Keys({kKeyFire1}));  // one tick of the unit at its busy level
        int32_t counter = 0, recoil = 0;
        if (std::strcmp(cs.type, "EMATank") == 0) counter = TankOf(c)->weapon0.fireDelayCounter, recoil = TankOf(c)->recoil;
        if (std::strcmp(cs.type, "EMAHaubitze") == 0)
            counter = HaubitzeOf(c)->weapon0.fireDelayCounter, recoil = HaubitzeOf(c)->recoil;
        if (std::strcmp(cs.type, "EMALinebacker") == 0)
            counter = LinebackerOf(c)->cannon.fireDelayCounter, recoil = LinebackerOf(c)->recoil;
        const int64_t back = cs.shift ? (int64_t(32768) * counter * recoil) >> (cs.shift - k) : 0;
        if (cs.shift) {
            EXPECT_GT(back, 100);
        }
        EXPECT_NEAR(double(rest - Along(c->subs[cs.gun], parent->pos)), double(back), 3.0);
        if (cs.second < 0) continue;
        // The other barrel stood still; at the next shot it is the one that recoils.
        EXPECT_NEAR(double(Along(c->subs[cs.second], parent->pos)), double(rest), 3.0);
        Run(2, ControlInput{});  // the cannon's chain is tested a tick after it was laid
        LinebackerOf(c)->cannon.fireDelayCounter = 0;
        Run(2, Keys({kKeyFire1}));
        EXPECT_GT(rest - Along(c->subs[cs.second], parent->pos), 100);
        EXPECT_NEAR(double(Along(c->subs[cs.gun], parent->pos)), double(rest), 3.0);
    }
}

// The tank's rocket pod rises by 10 a tick while a lock is complete and sinks without one; the motor
// sounds once per change of direction, not at the ends; the radar turns by 2000 a tick.
TEST_F(Showroom, TheTankRaisesItsRocketsOnlyWhileLockedAndTurnsItsRadar) {
    construct* c = Ours(kKinds[0]);
    EMATankBlock* b = TankOf(c);
    const int k = c->busyLevel;
    construct* rockets = c->subs[3];
    construct* top = c->subs[0];
    const int64_t low = rockets->pos[1] - top->pos[1];
    const int32_t radar = b->radarAngle;
    TickOnce(c, ControlInput{}, ControlInput{});
    EXPECT_EQ(b->radarAngle - radar, 2000 << k);
    EXPECT_EQ(b->rocketElevation, 0);
    EXPECT_EQ(b->rocketRate, 0);
    auto lock = std::make_unique<HeldLock>(c, Theirs(kKinds[0]), true);
    int changes = 0, rate = b->rocketRate;
    for (int i = 0; i < 40; ++i) {
        TickOnce(c, ControlInput{}, ControlInput{});
        changes += b->rocketRate != rate && b->rocketRate != 0;
        rate = b->rocketRate;
        if (i == 0) {
            EXPECT_EQ(b->rocketElevation, 10 << k);
        }
    }
    EXPECT_EQ(b->rocketElevation, 255);
    EXPECT_EQ(b->rocketRate, 0);
    // Raised by 6 per step of the elevation (a top at rest stays level).
    EXPECT_NEAR(double(rockets->pos[1] - top->pos[1] - low), 255.0 * 6, 40.0);
    lock = std::make_unique<HeldLock>(c, Theirs(kKinds[0]), false);
    for (int i = 0; i < 40; ++i) {
        TickOnce(c, ControlInput{}, ControlInput{});
        changes += b->rocketRate != rate && b->rocketRate != 0;
        rate = b->rocketRate;
    }
    EXPECT_EQ(b->rocketElevation, 0);
    EXPECT_EQ(changes, 2);
}

// On level ground the chain parts lie level (a quarter turn); on a slope the front and the rear chains
// lean to the ground under them, each pair the same.
TEST_F(Showroom, TheChainsLieOnTheGround) {
    const auto level = [](int32_t angle) {
        const int64_t m = ((int64_t(angle) - 102943) % 411774 + 411774) % 411774;
        return std::min(m, 411774 - m);
    };
    for (const Kind* k : {&kKinds[1], &kKinds[2]}) {
        SCOPED_TRACE(k->name);
        construct* c = Ours(*k);
        int32_t* angles = std::strcmp(k->name, "EMAHaubitze") == 0 ? HaubitzeOf(c)->chainAngles : LinebackerOf(c)->chainAngles;
        Run(6, ControlInput{});
        for (int i = 0; i < 4; ++i) EXPECT_LT(level(angles[i]), 1500) << i;
        // Set down on the side of the hill: the chains follow the ground's slope.
        const mkdemo::DemoPlace hill = mkdemo::DemoIslandPlace("hill");
        c->pos[0] = hill.x + hill.radius * 3;
        c->pos[2] = hill.z;
        c->pos[1] = GroundHeight(CurrentMatrix, c->pos, 0, 0, nullptr);
        Run(6, ControlInput{});
        int64_t most = 0;
        for (int i = 0; i < 4; ++i) most = std::max<int64_t>(most, level(angles[i]));
        EXPECT_GT(most, 1500);
    }
}

// ---- Weapons.

// The fire keys: each weapon fires by its key, the tank's rockets only while a lock is complete and the
// snowmobile's beam only at a lock target; nothing fires while the unit is in stealth.
TEST_F(Showroom, TheFireKeysFireEachWeapon) {
    construct* tank = Ours(kKinds[0]);
    construct* haubitze = Ours(kKinds[1]);
    construct* linebacker = Ours(kKinds[2]);
    construct* snowmob = Ours(kKinds[3]);
    construct* target = Theirs(kKinds[0]);
    const struct {
        const char* name;
        construct* unit;
        int key;
        bool lock, stealth;
        int32_t* ammo;      // falls by one when the weapon fires
        bool fires;
    } cases[] = {
        {"tank gun", tank, kKeyFire1, false, false, &TankOf(tank)->weapon0.ammo, true},
        {"tank rockets unlocked", tank, kKeyFire2, false, false, &TankOf(tank)->weapon1.ammo, false},
        {"tank rockets locked", tank, kKeyFire2, true, false, &TankOf(tank)->weapon1.ammo, true},
        {"tank gun in stealth", tank, kKeyFire1, false, true, &TankOf(tank)->weapon0.ammo, false},
        {"howitzer", haubitze, kKeyFire1, false, false, &HaubitzeOf(haubitze)->weapon0.ammo, true},
        {"linebacker cannon", linebacker, kKeyFire1, false, false, &LinebackerOf(linebacker)->cannon.ammo, true},
        {"linebacker gun", linebacker, kKeyFire2, false, false, &LinebackerOf(linebacker)->weapon1.ammo, true},
    };
    for (const auto& cs : cases) {
        SCOPED_TRACE(cs.name);
        UnitShare* rec = GetUnitShare(cs.unit);
        std::unique_ptr<HeldLock> lock;
        if (cs.lock) lock = std::make_unique<HeldLock>(cs.unit, target, true);
        rec->stateFlag = cs.stealth ? 1 : 0;
        Ready(cs.unit);
        const int32_t before = *cs.ammo;
        TickOnce(cs.unit, ControlInput{}, Keys({cs.key}));
        EXPECT_EQ(before - *cs.ammo, cs.fires ? 1 : 0);
        rec->stateFlag = 0;
    }
    // The beam warms up at the trigger and fires only at a lock target in front of it and within reach.
    EMASnowMobBlock* s = SnowMobOf(snowmob);
    const construct* gun = snowmob->subs[1];
    for (int i = 0; i < 3; ++i) target->pos[i] = gun->pos[i] + int32_t((int64_t(gun->orient[6 + i]) * 40000) >> 15);
    for (const bool withLock : {false, true}) {
        SCOPED_TRACE(withLock ? "beam at the lock" : "beam without a lock");
        std::unique_ptr<HeldLock> lock;
        if (withLock) lock = std::make_unique<HeldLock>(snowmob, target, false);
        bool fired = false;
        for (int t = 0; t < 40 && !fired; ++t) {
            TickOnce(snowmob, t ? Keys({kKeyFire1}) : ControlInput{}, Keys({kKeyFire1}));
            EXPECT_NE(s->cannon.beamState, kBeamIdle);
            fired = s->cannon.beamState == kBeamFiring;
        }
        EXPECT_EQ(fired, withLock);
    }
}

// The AI's fire rules: the weapon group allowed, ammunition, the turret on target, the target in the
// weapon's range band; the tank's rockets also at the lock target only and one salvo at a time; the
// Linebacker never fires its second weapon; the howitzer fires when its hull faces the target and its
// probed shell falls within 10000 of the target's range. Target cycling while the lock is another unit.
TEST_F(Showroom, TheAIFiresByEachTypesRules) {
    struct Case {
        const char* name;
        const char* type;
        int32_t param;      // weapon groups allowed
        bool lockIsTarget;
        bool rocketInFlight;
        int32_t rangeShift;  // the target's range against the middle of the first weapon's band
        bool fire1, fire2;
    };
    const Case cases[] = {
        {"tank, all allowed", "EMATank", 3, true, false, 0, true, true},
        {"tank, lock elsewhere", "EMATank", 3, false, false, 0, true, false},
        {"tank, rockets in the air", "EMATank", 3, true, true, 0, true, false},
        {"tank, gun not allowed", "EMATank", 2, true, false, 0, false, true},
        {"tank, out of range", "EMATank", 3, true, false, 10000000, false, false},
        {"linebacker", "EMALinebacker", 3, true, false, 0, true, false},
        {"linebacker, out of range", "EMALinebacker", 3, true, false, 10000000, false, false},
        {"snowmobile", "EMASnowMob", 3, true, false, 0, true, false},
        {"snowmobile, not allowed", "EMASnowMob", 2, true, false, 0, false, false},
    };
    for (const Case& cs : cases) {
        SCOPED_TRACE(cs.name);
        construct* c = Unit("Showroom_EMA", cs.type);
        construct* t = Unit("Showroom_GA", "EMAJeep");
        UnitShare* rec = GetUnitShare(c);
        WeaponTurret* turret = Turret(c, kKinds[std::strcmp(cs.type, "EMATank") == 0 ? 0 : std::strcmp(cs.type, "EMALinebacker") == 0 ? 2 : 3]);
        // The target stands straight ahead of the gun at its best range.
        const int32_t* band = std::strcmp(cs.type, "EMATank") == 0       ? TankOf(c)->weapon0.range
                              : std::strcmp(cs.type, "EMALinebacker") == 0 ? LinebackerOf(c)->cannon.range
                                                                           : SnowMobOf(c)->cannon.range;
        const int32_t best = band[1] / 2;
        for (int i = 0; i < 3; ++i) t->pos[i] = turret->gun->pos[i] + int32_t((int64_t(turret->gun->orient[6 + i]) * best) >> 15);
        const HeldThreat held(c, t);
        SetUnitTarget(c, t, cs.param, 0);
        rec->detect.con = t;
        rec->detect.flags = 0;
        rec->detect.distance = best + cs.rangeShift;
        std::memcpy(rec->detect.pos, t->pos, sizeof t->pos);
        rec->lockTarget = cs.lockIsTarget ? t : nullptr;
        if (std::strcmp(cs.type, "EMATank") == 0) TankOf(c)->weapon1.lastProjectile = cs.rocketInFlight ? t : nullptr;
        // No aim sweep: the turret points straight at the target. A tick of its own (bit 5 set), so that
        // the target's sphere is placed anew where it now stands.
        rec->aimDivergence = rec->aimWobble = 0.0f;
        FrameCounter = 32 + 64 * uint32_t(&cs - cases);
        ControlInput in{};
        CallItfc(c, ItfcMethod::STEERAI, reinterpret_cast<uintptr_t>(&in));
        EXPECT_EQ(InputKeyDown(in, kKeyFire1), cs.fire1);
        EXPECT_EQ(InputKeyDown(in, kKeyFire2), cs.fire2);
        // The tank and the snowmobile cycle their lock toward the target in half the ticks.
        if (std::strcmp(cs.type, "EMALinebacker") != 0) {
            EXPECT_EQ(InputKeyDown(in, kKeyNextTarget), !cs.lockIsTarget);
        }
        rec->lockTarget = nullptr;
        SetUnitTarget(c, nullptr, 0, 0);
        if (std::strcmp(cs.type, "EMATank") == 0) TankOf(c)->weapon1.lastProjectile = nullptr;
    }
}

TEST_F(Showroom, TheHowitzerFiresWhenFacingTheTargetAndItsShellFallsNearIt) {
    construct* c = Ours(kKinds[1]);
    EMAHaubitzeBlock* b = HaubitzeOf(c);
    construct* t = Unit("Showroom_GA", "EMAJeep");
    const TurretShot shot = EMAHaubitze_shot(b);
    const int32_t fall = Turret_probeLine(&b->turret, &shot, nullptr);
    const construct* gun = c->subs[0];
    const struct {
        const char* name;
        int32_t side;    // the target's offset to the hull's right
        int32_t missBy;  // the target's range against where the shell falls
        bool fire;
    } cases[] = {{"ahead, near the fall", 0, 5000, true},
                 {"ahead, too far", 0, 20000, false},
                 {"ahead, too near", 0, -20000, false},
                 {"to the side", 200000, 0, false}};
    for (const auto& cs : cases) {
        SCOPED_TRACE(cs.name);
        UnitShare* rec = GetUnitShare(c);
        const int32_t along = fall + cs.missBy;
        for (int i = 0; i < 3; ++i)
            t->pos[i] = gun->pos[i] + int32_t((int64_t(gun->orient[6 + i]) * along) >> 15) +
                        int32_t((int64_t(c->orient[i]) * cs.side) >> 15);
        const HeldThreat held(c, t);
        SetUnitTarget(c, t, 1, 0);
        rec->detect.con = t;
        rec->detect.flags = 0;
        rec->detect.distance = along;
        std::memcpy(rec->detect.pos, t->pos, sizeof t->pos);
        ControlInput in{};
        CallItfc(c, ItfcMethod::STEERAI, reinterpret_cast<uintptr_t>(&in));
        EXPECT_EQ(InputKeyDown(in, kKeyFire1), cs.fire);
        EXPECT_EQ(b->drive.aligned, cs.side == 0 ? 1 : 0);
        SetUnitTarget(c, nullptr, 0, 0);
    }
}

// The tank's muzzle flare is taken busy from its pool: it flies, returns, and the pool of 24 serves any
// number of shots.
TEST_F(Showroom, TheTanksFlaresReturnToTheirPool) {
    construct* c = Ours(kKinds[0]);
    EMATankBlock* b = TankOf(c);
    ConstructPool* flares = SharedPool(SharedPoolId::ShellFlare);
    ASSERT_NE(flares, nullptr);
    Drive(c);
    int shots = 0, mostFlying = 0;
    for (int i = 0; i < 120; ++i) {
        b->weapon0.fireDelayCounter = 0;
        b->weapon0.ammo = 40;
        const int before = b->weapon0.ammo;
        Step(Keys({kKeyFire1}));
        shots += before - b->weapon0.ammo;
        int flying = 0;
        for (int f = 0; f < flares->count; ++f) flying += (flares->constructs[f]->flags & kConActive) != 0;
        mostFlying = std::max(mostFlying, flying);
        EXPECT_LT(flying, flares->count);
    }
    EXPECT_GT(shots, flares->count * 2);
    EXPECT_GT(mostFlying, 0);
    Run(80, ControlInput{});
    for (int f = 0; f < flares->count; ++f) EXPECT_FALSE(flares->constructs[f]->flags & (kConActive | kConBusy)) << f;
    // The last shot's smoke: four puffs of grey dust, sixteen ticks apart.
    EXPECT_EQ(b->smokePuffs, 0);
}

// ---- Hits, death and wreck.

// A friendly ram pushes without damage: by (hitter's impact x 256 / own impact) x direction >> 14 for the
// heavy types and >> 12 for the Linebacker.
TEST_F(Showroom, HitsPushByEachTypesShift) {
    construct* hitter = Unit("Showroom_EMA", "EMAJeep");
    for (const Kind& k : kKinds) {
        SCOPED_TRACE(k.name);
        construct* c = Ours(k);
        VehicleHead* h = Head(c, k);
        const int32_t shield = h->state.shield;
        const int32_t x = c->pos[0];
        c->hits[0] = hitter;
        c->hitPoints[0][0] = x - 65536;
        c->hitPoints[0][1] = c->pos[1];
        c->hitPoints[0][2] = c->pos[2];
        c->hits[1] = nullptr;
        TickOnce(c, ControlInput{}, ControlInput{});
        const int32_t q = Head(hitter, kKinds[0])->impact.physical * 256 / h->impact.physical;
        EXPECT_EQ(c->pos[0] - x, (q * 32768) >> k.pushShift);
        EXPECT_EQ(h->state.shield, shield);
    }
}

// Death: the unit leaves the busy and visible pools, its sounds and lights stop, and its wreck stands
// where it died.
TEST_F(Showroom, EachTypeDiesIntoItsWreck) {
    int wrecks = DeadBodyPool->count;
    for (const Kind& k : kKinds) {
        SCOPED_TRACE(k.name);
        construct* c = Ours(k);
        Head(c, k)->state.structure = 0;
        TickOnce(c, ControlInput{}, ControlInput{});
        EXPECT_EQ(Head(c, k)->dead, 1u);
        EXPECT_FALSE(c->flags & kConBusy);
        EXPECT_FALSE(c->flags & kConActive);
        EXPECT_EQ(DriveOf(c, k)->g.engine.soundOn, 0);
        EXPECT_EQ(Turret(c, k)->soundWanted, 0);
        EXPECT_EQ(At<UnitLighting>(c, k.lighting)->on, 0);
        ASSERT_EQ(DeadBodyPool->count, ++wrecks);
        const construct* wreck = DeadBodyPool->constructs[wrecks - 1];
        EXPECT_EQ(std::memcmp(wreck->pos, c->pos, sizeof c->pos), 0);
        EXPECT_EQ(wreck->unit, c->unit);
    }
}

// ---- Saved forms.

// Each type's form carries its head, its own words and its modules from one unit to another of the type,
// keeping the other's own parts; a damaged one is refused before anything changes.
TEST_F(Showroom, SavedFormsCarryEachTypeAndDamagedOnesAreRefused) {
    for (const Kind& k : kKinds) {
        SCOPED_TRACE(k.name);
        construct* a = Ours(k);
        construct* b = Theirs(k);
        Head(a, k)->state.shield = 17;
        Turret(a, k)->yaw = 23456;
        DriveOf(a, k)->speed = 444;
        DriveOf(a, k)->throttle = 0.5f;
        if (std::strcmp(k.name, "EMATank") == 0) TankOf(a)->rocketElevation = 120, TankOf(a)->rocketRate = 10;
        if (std::strcmp(k.name, "EMALinebacker") == 0) LinebackerOf(a)->chainAngles[2] = 99999;
        if (std::strcmp(k.name, "EMASnowMob") == 0) SnowMobOf(a)->cannon.beamState = kBeamWarming;
        int32_t size = 0;
        auto* form = reinterpret_cast<uint8_t*>(CallItfc(a, ItfcMethod::GETITFCDATA, reinterpret_cast<uintptr_t>(&size)));
        const VehicleTypeRow* row = FindVehicleType(k.name);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(size_t(size), VehicleFormSize(row->form()));
        EXPECT_EQ(CheckSavedBlock(a->itfc, form, size_t(size)), nullptr);
        construct* ownCockpit = Head(b, k)->cockpit;
        CallItfc(b, ItfcMethod::SETITFCDATA, reinterpret_cast<uintptr_t>(form));
        EXPECT_EQ(Head(b, k)->state.shield, 17);
        EXPECT_EQ(Turret(b, k)->yaw, 23456);
        EXPECT_EQ(Turret(b, k)->con, b);
        EXPECT_EQ(DriveOf(b, k)->speed, 444);
        EXPECT_EQ(DriveOf(b, k)->throttle, 0.5f);
        EXPECT_EQ(DriveOf(b, k)->g.con, b);
        EXPECT_EQ(Head(b, k)->cockpit, ownCockpit);
        if (std::strcmp(k.name, "EMATank") == 0) {
            EXPECT_EQ(TankOf(b)->rocketElevation, 120);
        }
        if (std::strcmp(k.name, "EMALinebacker") == 0) {
            EXPECT_EQ(LinebackerOf(b)->chainAngles[2], 99999);
        }
        if (std::strcmp(k.name, "EMASnowMob") == 0) {
            EXPECT_EQ(SnowMobOf(b)->cannon.beamState, kBeamWarming);
        }

        // Damaged: the wrong size, and a field of the type's own or of a module out of its range.
        EXPECT_NE(CheckSavedBlock(a->itfc, form, size_t(size) - 4), nullptr);
        const size_t own = VehicleFormOwnAt(row->form());
        const size_t turretAt = VehicleFormModuleAt(row->form(), 1);
        struct Damage {
            size_t at;
            uint32_t value;
            const char* why;
        };
        std::vector<Damage> damages = {{turretAt + kTurretSavedYaw, 0x7FFFFFF0u, "yaw"}};
        if (std::strcmp(k.name, "EMATank") == 0) {
            damages.push_back({own + 6 * 4, 300, "elevation"});
            damages.push_back({own + 7 * 4, 7, "rate"});
            damages.push_back({own + 8 * 4, 5, "puffs"});
        }
        if (std::strcmp(k.name, "EMALinebacker") == 0) {
            damages.push_back({own + (4 + 6 + 1 + 12 + 4) * 4, 9, "box corner"});
            damages.push_back({own + (4 + 6) * 4, 1u << 30, "recoil"});
        }
        if (std::strcmp(k.name, "EMASnowMob") == 0)
            damages.push_back({VehicleFormModuleAt(row->form(), 3) + kBeamCannonSavedState, 9, "beam's state"});
        for (const Damage& d : damages) {
            std::vector<uint8_t> bad(form, form + size);
            std::memcpy(&bad[d.at], &d.value, 4);
            const char* why = CheckSavedBlock(a->itfc, bad.data(), bad.size());
            ASSERT_NE(why, nullptr) << d.why;
            EXPECT_NE(std::string(why).find(d.why), std::string::npos) << why;
            Head(b, k)->state.shield = 5;
            const std::string fatal = FatalText([&] { CallItfc(b, ItfcMethod::SETITFCDATA, reinterpret_cast<uintptr_t>(bad.data())); });
            EXPECT_EQ(fatal, std::string("Error(") + k.name + "_itfc): the saved state is damaged: " + why);
            EXPECT_EQ(Head(b, k)->state.shield, 5) << "a refused form changed the unit";
        }
        qzFree(form);
    }
}

// A saved game hands every unit its form at once, with no event flush between them: the chain drives'
// track marks that are not busy are taken out of the world without an event each (eight tracked units
// of 72 marks each overran the queue of 512 events, and the load ended the game).
TEST_F(Showroom, TakingFormsOverQueuesNoEventForIdleTrackMarks) {
    Run(2, ControlInput{});
    FlushQZEvents();
    std::vector<std::vector<uint8_t>> forms;
    std::vector<construct*> units;
    for (const Kind& k : kKinds)
        for (construct* c : {Ours(k), Theirs(k)}) {
            ASSERT_NE(DriveOf(c, k)->markPool, nullptr);
            int32_t size = 0;
            auto* form = reinterpret_cast<uint8_t*>(CallItfc(c, ItfcMethod::GETITFCDATA, reinterpret_cast<uintptr_t>(&size)));
            forms.emplace_back(form, form + size);
            qzFree(form);
            units.push_back(c);
        }
    for (size_t i = 0; i < units.size(); ++i)
        CallItfc(units[i], ItfcMethod::SETITFCDATA, reinterpret_cast<uintptr_t>(forms[i].data()));
    EXPECT_LT(QZEventCount, 64);
    FlushQZEvents();
}

}  // namespace
}  // namespace kvtest
