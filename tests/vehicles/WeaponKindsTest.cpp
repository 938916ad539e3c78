// Every weapon kind on the demo island, end to end: a rig carrying a thrower of each projectile kind (cluster
// grenades, the trailed projectile, the capsule, red and blue plasma bolts), a high-velocity cannon and a
// beam cannon fires at a G.A. jeep standing on the E.M.A. base's flat ground. Each kind's blow reaches the
// jeep as its type deals it, through the jeep's own hit code; a snapshot shows the beams, the bolts in
// flight and the splashes on the ground.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "DemoLevel.h"
#include "core/FixMath.h"
#include "core/Memory.h"
#include "objects/EffectBlocks.h"
#include "objects/Projectile.h"
#include "objects/SharedPools.h"
#include "objects/UnitRecord.h"
#include "objects/UnitShare.h"
#include "objects/WeaponTypes.h"
#include "render/View.h"
#include "render/Viewport.h"
#include "support/Bmp24.h"
#include "tools/datakit/RulesText.h"
#include "vehicles/modules/BeamCannon.h"
#include "vehicles/modules/HVCannon.h"
#include "vehicles/types/EMAJeep.h"
#include "render/Snapshot.h"
#include "world/Terrain.h"

namespace kvtest {
namespace {

// The rig's throwers, by weapon number.
enum Thrower { kCluster, kProjectile, kCapsule, kRedBolt, kBlueBolt, kThrowers };

struct RigBlock {
    UnitShare share;
    StateRecord state;
    DamageRecord damage;  // the beam switches it while it fires
    PjtThrower throwers[kThrowers];
    HVCannon hv;
    BeamCannon beam;
    construct* target;  // the beam's lock target
};

RigBlock* Rig(construct* con) { return static_cast<RigBlock*>(con->itfcData); }

uintptr_t WeaponRig_itfc(construct* con, ItfcMethod method, uintptr_t) {
    switch (method) {
        case ItfcMethod::GETNAME:
            return reinterpret_cast<uintptr_t>("WeaponRig");
        case ItfcMethod::GETUNIT:
            return reinterpret_cast<uintptr_t>(&Rig(con)->share);
        case ItfcMethod::GETSTATE:
            return reinterpret_cast<uintptr_t>(&Rig(con)->state);
        case ItfcMethod::GETDAMAGE:
            return reinterpret_cast<uintptr_t>(&Rig(con)->damage);
        case ItfcMethod::TICK: {
            RigBlock* b = Rig(con);
            const int ticks = 1 << con->busyLevel;
            for (PjtThrower& w : b->throwers) PjtThrower_tick(&w, ticks);
            HVCannon_update(&b->hv, ticks);
            BeamCannon_update(&b->beam, b->target, 0, ticks);
            for (construct*& h : con->hits) h = nullptr;
            return 0;
        }
        default:
            return 0;
    }
}

const char* kRigRules =
    "WeaponRig_PjtThrower_0_pool \"ClusterGrenade\";\n"
    "WeaponRig_PjtThrower_0_speed 3000;\n"
    "WeaponRig_PjtThrower_0_ImpactPhysical 20;\nWeaponRig_PjtThrower_0_ImpactShield 10;\n"
    "WeaponRig_PjtThrower_0_ImpactStructure 10;\n"
    "WeaponRig_PjtThrower_1_pool \"Projectile\";\n"
    "WeaponRig_PjtThrower_1_speed 3000;\n"
    "WeaponRig_PjtThrower_1_ImpactPhysical 10;\nWeaponRig_PjtThrower_1_ImpactShield 8;\n"
    "WeaponRig_PjtThrower_1_ImpactStructure 6;\n"
    "WeaponRig_PjtThrower_2_pool \"AMCapsule\";\n"
    "WeaponRig_PjtThrower_2_speed 3000;\n"
    "WeaponRig_PjtThrower_2_ImpactPhysical 30;\nWeaponRig_PjtThrower_2_ImpactShield 20;\n"
    "WeaponRig_PjtThrower_2_ImpactStructure 10;\n"
    "WeaponRig_PjtThrower_3_pool \"PlasmaBolt\";\n"
    "WeaponRig_PjtThrower_3_speed 3000;\n"
    "WeaponRig_PjtThrower_3_ImpactPhysical 5;\nWeaponRig_PjtThrower_3_ImpactShield 9;\n"
    "WeaponRig_PjtThrower_3_ImpactStructure 7;\n"
    "WeaponRig_PjtThrower_4_pool \"BluePlasmaBolt\";\n"
    "WeaponRig_PjtThrower_4_speed 3000;\n"
    "WeaponRig_PjtThrower_4_ImpactPhysical 5;\nWeaponRig_PjtThrower_4_ImpactShield 11;\n"
    "WeaponRig_PjtThrower_4_ImpactStructure 3;\n"
    "WeaponRig_HVCannon_0_pool \"HVSegment\";\n"
    "WeaponRig_HVCannon_0_range 2000 100000 120000;\n"
    "WeaponRig_HVCannon_0_pace 6000;\n"
    "WeaponRig_HVCannon_0_ammo -1;\nWeaponRig_HVCannon_0_FireDelay 60;\n"
    "WeaponRig_HVCannon_0_ImpactPhysical 30;\nWeaponRig_HVCannon_0_ImpactShield 25;\n"
    "WeaponRig_HVCannon_0_ImpactStructure 30;\n"
    "WeaponRig_HVCannon_0_MuzzleNo 1;\nWeaponRig_HVCannon_0_muzzle_0 0 1500 3000;\n"
    "WeaponRig_HVCannon_0_MuzzlesCombined 1;\n"
    "WeaponRig_BeamCannon_0_pool \"RLaserSeg\" \"RSLaserSeg\";\n"
    "WeaponRig_BeamCannon_0_range 2000 80000 120000;\n"
    "WeaponRig_BeamCannon_0_pace 8000 16000;\n"
    "WeaponRig_BeamCannon_0_aperture 12;\n"
    "WeaponRig_BeamCannon_0_WarmUpDelay 30;\nWeaponRig_BeamCannon_0_FiringTime 50;\n"
    "WeaponRig_BeamCannon_0_PauseDelay 120;\nWeaponRig_BeamCannon_0_ammo -1;\n"
    "WeaponRig_BeamCannon_0_ImpactPhysical 5;\nWeaponRig_BeamCannon_0_ImpactShield 12;\n"
    "WeaponRig_BeamCannon_0_ImpactStructure 10;\n"
    "WeaponRig_BeamCannon_0_MuzzleNo 1;\nWeaponRig_BeamCannon_0_muzzle_0 0 1500 3000;\n"
    "WeaponRig_BeamCannon_0_MuzzlesCombined 1;\n";

// The rules every thrower of the rig shares.
std::string RigRules() {
    std::string text = kRigRules;
    for (int i = 0; i < kThrowers; ++i) {
        const std::string w = "WeaponRig_PjtThrower_" + std::to_string(i);
        text += w + "_range 0 100000 150000;\n" + w + "_ammo -1;\n" + w + "_FireDelay 20;\n" + w + "_MuzzleNo 1;\n" + w +
                "_muzzle_0 0 1500 3000;\n" + w + "_MuzzlesCombined 1;\n";
    }
    return text + "end\n";
}

int Active(SharedPoolId id) {
    ConstructPool* p = SharedPool(id);
    int n = 0;
    for (int i = 0; p && i < p->count; ++i) n += (p->constructs[i]->flags & kConActive) ? 1 : 0;
    return n;
}

int Differing(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    int n = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) n += a[i] != b[i];
    return n;
}

class WeaponKinds : public DemoLevel {
public:
    WeaponKinds() { width_ = 320, height_ = 240; }

    void SetUp() override {
        DemoLevel::SetUp();
        ASSERT_TRUE(datakit::WriteRulesText(DemoTree() + "/weaponrig.txt", RigRules()));
        ReadRules("weaponrig.txt");
        base_ = mkdemo::DemoIslandPlace("ema_base");
        // The G.A. jeep stands on the base's flat ground: a driver that gives it no input keeps it still.
        victim_ = UnitsOf("GA_Outpost")[0];
        for (construct* other : {UnitsOf("EMA_TaskForce")[0], UnitsOf("EMA_TaskForce")[1], UnitsOf("GA_Outpost")[1]})
            CallItfc(other, ItfcMethod::UNPLACE, reinterpret_cast<uintptr_t>(other->pos));
        Stand(victim_, base_.x + 40000, base_.z, -M_PI / 2);
        Drive(victim_);
        VehicleHead& head = Jeep()->head;
        head.state.shield = head.maxima.shield = 400;
        head.state.structure = head.maxima.structure = 5000;
        std::memset(head.recovery, 0, sizeof head.recovery);
        rig_ = MakeRig(base_.x - 40000, base_.z);
        // The launch scatter of grenades and capsules is the same in every run.
        ResetRandomGenerators();
        // The weapons' delays run out.
        Run(70, ControlInput{});
    }
    void TearDown() override {
        if (rig_) {
            RigBlock* b = Rig(rig_);
            for (PjtThrower& w : b->throwers) PjtThrower_free(&w);
            HVCannon_free(&b->hv);
            BeamCannon_free(&b->beam);
            ForgetUnitReferences(rig_);
            // The camera that watched the rig lets go of it before it is freed.
            if (SatCamera) CallItfc(SatCamera, ItfcMethod::ATTACH, 0);
            FreeConstruct(rig_);
        }
        DemoLevel::TearDown();
    }

    EMAJeepBlock* Jeep() const { return static_cast<EMAJeepBlock*>(victim_->itfcData); }
    int32_t Health() const { return Jeep()->head.state.shield + Jeep()->head.state.structure; }

    // The rig stands at (x, z) facing +x, an E.M.A. construct that takes part in the collision pass.
    construct* MakeRig(int32_t x, int32_t z) {
        Unit* entry = CreateUnit();
        entry->name = qzStrDup("WeaponRig", "unit name");
        entry->rulePrefix = qzStrDup("WeaponRig", "unit prefix");
        construct* con = CreateConstruct(0, 0);
        con->itfc = WeaponRig_itfc;
        con->unit = entry;
        con->clan = UnitsOf("EMA_TaskForce")[0]->clan;
        auto* b = static_cast<RigBlock*>(AllocItfcData(con, sizeof(RigBlock)));
        b->state = {100, 100, 0};
        con->pos[0] = x;
        con->pos[2] = z;
        con->pos[1] = GroundHeight(CurrentMatrix, con->pos, 0, 0, nullptr);
        const int32_t alongX[9] = {0, 0, -32768, 0, 32768, 0, 32768, 0, 0};
        std::memcpy(con->orient, alongX, sizeof alongX);
        con->sphere.radius = 3000;
        con->collisionClass = 2;
        for (int i = 0; i < kThrowers; ++i) PjtThrower_init(&b->throwers[i], con, con, i, 1.0f);
        HVCannon_init(&b->hv, con, con, 0, 1.0f);
        BeamCannon_init(&b->beam, con, con, 0, 1.0f);
        ActivateConstruct(con);
        MakeBuzy(con, 0);
        return con;
    }

    static void Stand(construct* unit, int32_t x, int32_t z, double heading) {
        unit->pos[0] = x;
        unit->pos[2] = z;
        unit->pos[1] = GroundHeight(CurrentMatrix, unit->pos, 0, 0, nullptr) + 2000;
        const int32_t s = int32_t(std::sin(heading) * 32767), c = int32_t(std::cos(heading) * 32767);
        const int32_t m[9] = {c, 0, -s, 0, 32767, 0, s, 0, c};
        std::memcpy(unit->orient, m, sizeof m);
        std::memcpy(static_cast<EMAJeepBlock*>(unit->itfcData)->head.unit.lastPos, unit->pos, sizeof unit->pos);
        CallItfc(unit, ItfcMethod::GROUNDCHANGED);
    }

    // Runs until the pools of the kind are idle again (at most limit ticks); the ticks run.
    int RunUntilIdle(std::initializer_list<SharedPoolId> pools, int limit) {
        for (int t = 1; t <= limit; ++t) {
            Step(ControlInput{});
            int busy = 0;
            for (SharedPoolId id : pools) busy += Active(id);
            if (busy == 0) return t;
        }
        return -1;
    }

    std::vector<uint32_t> Snapshot(const char* keep) const {
        for (int i = 0; i < 4; ++i) UpdateViewPortCamera(MainViewPort, 1);
        const int number = TakeSnapshot([] { RenderAllViews(); });
        char name[64];
        std::snprintf(name, sizeof name, "Snapshots/sd%08d.bmp", number);
        int w = 0, h = 0;
        std::vector<uint32_t> rgb;
        EXPECT_TRUE(ReadBmp24(DemoTree() + "/" + name, &w, &h, &rgb)) << name;
        const char* dir = std::getenv("KV_SNAPSHOT_DIR");
        const std::string kept = std::string(dir && *dir ? dir : (DemoTree() + "/Snapshots").c_str()) + "/" + keep + ".bmp";
        std::filesystem::copy_file(DemoTree() + "/" + name, kept, std::filesystem::copy_options::overwrite_existing);
        return rgb;
    }

    mkdemo::DemoPlace base_{};
    construct* victim_ = nullptr;
    construct* rig_ = nullptr;
};

// Each projectile kind flies at the jeep and strikes it; the jeep's shield and structure lose what the
// kind deals.
TEST_F(WeaponKinds, EachProjectileKindStrikesTheJeepWithItsOwnBlow) {
    RigBlock* rig = Rig(rig_);
    struct Case {
        const char* what;
        Thrower weapon;
    };
    const Case cases[] = {
        {"a projectile", kProjectile},
        {"a red plasma bolt", kRedBolt},
        {"a blue plasma bolt", kBlueBolt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int32_t before = Health();
        const PjtThrower& w = rig->throwers[c.weapon];
        ASSERT_EQ(PjtThrower_fire(&rig->throwers[c.weapon], nullptr, nullptr), 1);
        construct* shot = w.lastProjectile;
        ASSERT_NE(shot, nullptr);
        for (int t = 0; t < 200 && (shot->flags & kConActive); ++t) Step(ControlInput{});
        ASSERT_FALSE(shot->flags & kConActive) << "it struck";
        Run(6, ControlInput{});
        EXPECT_EQ(before - Health(), w.impact[1] + w.impact[2]) << "one blow of its shield and structure bytes";
    }
}

// The cluster grenade strikes the jeep and bursts into twenty bomblets above it; bomblets and their
// splashes hurt it further. The capsule strikes and its ring of sixteen shocks sweeps out over the jeep,
// hurting it on every tick it passes.
TEST_F(WeaponKinds, TheClusterBurstsOverTheJeepAndTheCapsulesRingSweepsOverIt) {
    RigBlock* rig = Rig(rig_);
    // The cluster grenade, flying straight (its weapon has no gravity).
    int32_t before = Health();
    PjtThrower& cluster = rig->throwers[kCluster];
    ASSERT_EQ(PjtThrower_fire(&cluster, nullptr, nullptr), 1);
    construct* canister = cluster.lastProjectile;
    ASSERT_NE(canister, nullptr);
    int bomblets = 0, splashes = 0, vapour = 0;
    for (int t = 0; t < 300 && (canister->flags & kConActive); ++t) {
        Step(ControlInput{});
        vapour = std::max(vapour, Active(SharedPoolId::Vapour));
    }
    ASSERT_FALSE(canister->flags & kConActive) << "it struck";
    EXPECT_GE(vapour, 5) << "its trail: a puff every second tick";
    for (int t = 0; t < 300; ++t) {
        Step(ControlInput{});
        bomblets = std::max(bomblets, Active(SharedPoolId::Grenade));
        splashes = std::max(splashes, Active(SharedPoolId::GrenadeSplash));
        if (t > 20 && Active(SharedPoolId::Grenade) == 0 && Active(SharedPoolId::GrenadeSplash) == 0) break;
    }
    EXPECT_EQ(bomblets, kClusterBomblets);
    EXPECT_GT(splashes, 0);
    const int32_t clusterBlow = cluster.impact[1] + cluster.impact[2];
    const int32_t clusterLoss = before - Health();
    EXPECT_GE(clusterLoss, clusterBlow) << "the canister's blow, then bomblets and splashes where they fall";

    // The capsule and its ring.
    before = Health();
    PjtThrower& capsule = rig->throwers[kCapsule];
    ASSERT_EQ(PjtThrower_fire(&capsule, nullptr, nullptr), 1);
    construct* pod = capsule.lastProjectile;
    for (int t = 0; t < 300 && (pod->flags & kConActive); ++t) Step(ControlInput{});
    ASSERT_FALSE(pod->flags & kConActive) << "it struck";
    EXPECT_EQ(Active(SharedPoolId::NuclearShock), 16);
    // The shocks sweeping outward catch up with the jeep again and again (each blow of 100 pushes it on
    // ahead of them); every blow costs it 31 per shock.
    Run(2, ControlInput{});
    int hurtTicks = 0;
    int32_t last = Health();
    const int32_t afterCapsule = Health();
    const int32_t capsuleBlow = capsule.impact[1] + capsule.impact[2];
    EXPECT_GE(before - afterCapsule, capsuleBlow);
    EXPECT_EQ((before - afterCapsule - capsuleBlow) % 31, 0) << "the capsule's own blow, then the shocks' over it";
    int ticks = 2;
    while (Active(SharedPoolId::NuclearShock) > 0 && ticks < 500) {
        Step(ControlInput{});
        ++ticks;
        if (Health() < last) {
            ++hurtTicks;
            EXPECT_EQ((last - Health()) % 31, 0) << "whole shock blows";
        }
        last = Health();
    }
    EXPECT_EQ(ticks, 401) << "a shock lives 401 ticks";
    EXPECT_GE(hurtTicks, 2) << "hurt again and again, not once";
}

// The high-velocity cannon's chain reaches through the jeep: one segment arms and strikes, the chain is
// cut behind it. The beam cannon warms up, fires for its firing time and deals its blow every 8 ticks.
TEST_F(WeaponKinds, TheHighVelocityChainStrikesOnceAndTheBeamEveryEighthTick) {
    RigBlock* rig = Rig(rig_);
    int32_t before = Health();
    ASSERT_EQ(HVCannon_fire(&rig->hv), 1);
    Step(ControlInput{});
    EXPECT_EQ(rig->hv.beamState, kHVLaid);
    EXPECT_EQ(rig->hv.segmentCount, 21) << "120000 in paces of 6000";
    Run(3, ControlInput{});
    EXPECT_EQ(rig->hv.beamState, kHVReady);
    // The segments behind the one that touched the jeep went back at once.
    const int inFlight = Active(SharedPoolId::HVSegment);
    EXPECT_GT(inFlight, 5);
    EXPECT_LT(inFlight, 21);
    Run(10, ControlInput{});
    // The armed segment strikes in the tick after its test; the jeep (ticked every second tick after the
    // rig) finds it in its slots from one or two collision passes.
    const int32_t blow = rig->hv.impact[1] + rig->hv.impact[2];
    const int32_t hvLoss = before - Health();
    EXPECT_EQ(hvLoss % blow, 0) << hvLoss;
    EXPECT_GE(hvLoss / blow, 1);
    EXPECT_LE(hvLoss / blow, 2);
    RunUntilIdle({SharedPoolId::HVSegment}, 300);

    // The beam.
    before = Health();
    rig->target = victim_;
    ASSERT_EQ(BeamCannon_fire(&rig->beam, victim_, 0), 1);
    int firing = 0, blows = 0, segments = 0;
    uint32_t firstFiring = 0;
    int32_t last = Health();
    for (int t = 0; t < 260; ++t) {
        Step(ControlInput{});
        if (rig->beam.beamState == kBeamFiring) {
            if (firing++ == 0) firstFiring = FrameCounter;
            segments = std::max(segments, Active(SharedPoolId::RLaserSeg) + Active(SharedPoolId::RSLaserSeg));
            EXPECT_EQ(Rig(rig_)->damage.shield, rig->beam.beamImpact.shield) << "the rig's blows are the beam's";
        }
        if (Health() < last) ++blows;
        last = Health();
    }
    EXPECT_EQ(rig->beam.beamState, kBeamIdle) << "warmed up, fired, paused";
    EXPECT_EQ(firing, 49) << "its firing time";
    EXPECT_GE(segments, 8);
    EXPECT_EQ(Rig(rig_)->damage.shield, 0) << "its own blows again";
    // A blow on each tick count that is a multiple of 8 while it fired; the jeep takes it on its next tick.
    int expected = 0;
    for (uint32_t f = firstFiring; f < firstFiring + 49; ++f) expected += f % 8 == 0;
    EXPECT_EQ(blows, expected);
    EXPECT_EQ(before - Health(), expected * (rig->beam.beamImpact.shield + rig->beam.beamImpact.structure));
}

// The beams, the bolts and the splashes in one picture: the beam cannon fires at the jeep, the
// high-velocity chain glows beside it, plasma bolts fly and their splashes lie on the ground.
TEST_F(WeaponKinds, ASnapshotShowsBeamsBoltsAndDecals) {
    RigBlock* rig = Rig(rig_);
    // Seen from the side: the two face each other along z, the camera looks along x.
    Stand(victim_, base_.x, base_.z + 24000, M_PI);
    rig_->pos[0] = base_.x;
    rig_->pos[2] = base_.z - 24000;
    const int32_t alongZ[9] = {32768, 0, 0, 0, 32768, 0, 0, 0, 32768};
    std::memcpy(rig_->orient, alongZ, sizeof alongZ);
    CallItfc(SatCamera, ItfcMethod::ATTACH, reinterpret_cast<uintptr_t>(rig_));
    CallItfc(SatCamera, ItfcMethod::ADDTARGET, reinterpret_cast<uintptr_t>(victim_));
    Run(10, ControlInput{});
    const std::vector<uint32_t> before = Snapshot("weapon_kinds_before");
    // Bolts at the ground between the two: turned down a little, they strike it and leave splashes.
    const int32_t sideways[3] = {-12000, 0, 12000};
    int shot = 0;
    for (Thrower t : {kRedBolt, kBlueBolt, kRedBolt}) {
        const int32_t x = sideways[shot++];
        const int32_t down[9] = {32768, 0, -x, 0, 32470, 4400, x, -4400, 32470 - 500};
        std::memcpy(rig_->orient, down, sizeof down);
        ASSERT_EQ(PjtThrower_fire(&rig->throwers[t], nullptr, nullptr), 1);
        std::memcpy(rig_->orient, alongZ, sizeof alongZ);
        Run(21, ControlInput{});
    }
    EXPECT_GT(Active(SharedPoolId::PlasmaSplash), 0) << "splashes on the ground";
    // The high-velocity chain, a little to the side of the jeep so that it glows all its length.
    const int32_t aside[9] = {32700, 0, -2000, 0, 32768, 0, 2000, 0, 32700};
    std::memcpy(rig_->orient, aside, sizeof aside);
    ASSERT_EQ(HVCannon_fire(&rig->hv), 1);
    Run(3, ControlInput{});
    std::memcpy(rig_->orient, alongZ, sizeof alongZ);
    // The beam at the jeep, and a bolt in flight.
    rig->target = victim_;
    ASSERT_EQ(BeamCannon_fire(&rig->beam, victim_, 0), 1);
    Run(34, ControlInput{});
    ASSERT_EQ(rig->beam.beamState, kBeamFiring);
    ASSERT_EQ(PjtThrower_fire(&rig->throwers[kBlueBolt], nullptr, nullptr), 1);
    Run(4, ControlInput{});
    EXPECT_GT(Active(SharedPoolId::BluePlasmaBolt), 0) << "a bolt in flight";
    EXPECT_GT(Active(SharedPoolId::HVSegment), 0) << "the chain";
    const std::vector<uint32_t> with = Snapshot("weapon_kinds");
    EXPECT_GT(Differing(with, before), 400);

    // The other decals: a test wave beside the beam and a track of marks toward the jeep.
    char path[512];
    std::snprintf(path, sizeof path, "%s%c%s", OBJROOT, kPathSeparator, "wavetest");
    auto* wave = reinterpret_cast<construct*>(FindItfc("Wave")(nullptr, ItfcMethod::CREATE, reinterpret_cast<uintptr_t>(path)));
    ASSERT_NE(wave, nullptr);
    wave->pos[0] = base_.x + 15000;
    wave->pos[2] = base_.z;
    wave->pos[1] = GroundHeight(CurrentMatrix, wave->pos, 0, 0, nullptr) + 3000;
    std::memcpy(wave->orient, alongZ, sizeof alongZ);
    MakeBuzy(wave, 0);
    ActivateConstruct(wave);
    CallItfc(wave, ItfcMethod::ATTACH, 0);
    std::vector<construct*> marks;
    construct* previous = nullptr;
    for (int n = 0; n < 12; ++n) {
        std::snprintf(path, sizeof path, "%s%c%s", OBJROOT, kPathSeparator, "weapons");
        auto* m = reinterpret_cast<construct*>(Trail_itfc(nullptr, ItfcMethod::CREATE, reinterpret_cast<uintptr_t>(path)));
        marks.push_back(m);
        m->pos[0] = base_.x - 12000;
        m->pos[2] = base_.z - 20000 + 2500 * n;
        m->pos[1] = GroundHeight(CurrentMatrix, m->pos, 0, 0, nullptr);
        std::memcpy(m->orient, alongZ, sizeof alongZ);
        CreateQZEvent(QZEventKind::Buzy2, m);
        ActivateConstruct(m);
        CallItfc(m, ItfcMethod::ATTACH, 200);
        CallItfc(m, ItfcMethod::SETPARAMS, reinterpret_cast<uintptr_t>(previous));
        previous = m;
    }
    Run(500, ControlInput{});
    EXPECT_EQ(marks.back()->opacity, 200) << "faded in and at rest";
    Snapshot("weapon_kinds_decals");
    CallItfc(wave, ItfcMethod::DESTROY, 0);
    for (construct* m : marks) CallItfc(m, ItfcMethod::DESTROY, 0);
    FlushQZEvents();
}

}  // namespace
}  // namespace kvtest
