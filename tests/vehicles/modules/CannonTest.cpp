// The high-velocity cannon and the beam cannon on the demo island, with the segment pools made as a level
// makes them: the chain's length and its cut behind the first segment that touches something, the beam's
// states over a scripted target (in range, outside the aperture, lost, suppressed) with its blow every
// eighth tick, the saved forms, and weapons without muzzles or with delays of nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/Memory.h"
#include "core/Rules.h"
#include "objects/EffectBlocks.h"
#include "objects/WeaponTypes.h"
#include "support/Fatal.h"
#include "support/ShotScene.h"
#include "tools/datakit/RulesText.h"
#include "vehicles/modules/BeamCannon.h"
#include "vehicles/modules/HVCannon.h"
#include "vehicles/modules/ModuleSaved.h"

namespace {

using kvtest::ShotBlock;

struct GunnerBlock {
    StateRecord state;
    DamageRecord damage;  // the beam switches it while it fires
    HVCannon hv[2];
    BeamCannon beam[2];
    construct* target;
    int suppress;
};

GunnerBlock* Gunner(construct* con) { return static_cast<GunnerBlock*>(con->itfcData); }

// A stand-in unit carrying the cannons: its TICK runs their per-tick slots as a vehicle's does.
uintptr_t Gunner_itfc(construct* con, ItfcMethod method, uintptr_t) {
    switch (method) {
        case ItfcMethod::GETNAME: return reinterpret_cast<uintptr_t>("Gunner");
        case ItfcMethod::GETSTATE: return reinterpret_cast<uintptr_t>(&Gunner(con)->state);
        case ItfcMethod::GETDAMAGE: return reinterpret_cast<uintptr_t>(&Gunner(con)->damage);
        case ItfcMethod::TICK: {
            GunnerBlock* b = Gunner(con);
            HVCannon_update(&b->hv[0], 1);
            BeamCannon_update(&b->beam[0], b->target, b->suppress, 1);
            for (construct*& h : con->hits) h = nullptr;
            return 0;
        }
        default: return 0;
    }
}

const char* kGunnerRules =
    "Gunner_HVCannon_0_pool \"HVSegment\";\n"
    "Gunner_HVCannon_0_range 0 0 57000;\n"  // nine and a half paces
    "Gunner_HVCannon_0_pace 6000;\n"
    "Gunner_HVCannon_0_ammo 3;\nGunner_HVCannon_0_FireDelay 10;\n"
    "Gunner_HVCannon_0_ImpactPhysical 0;\nGunner_HVCannon_0_ImpactShield 5;\nGunner_HVCannon_0_ImpactStructure 9;\n"
    "Gunner_HVCannon_0_MuzzleNo 1;\nGunner_HVCannon_0_muzzle_0 0 0 0;\nGunner_HVCannon_0_MuzzlesCombined 1;\n"
    "Gunner_HVCannon_1_pool \"HVSegment\";\nGunner_HVCannon_1_range 0 0 1000;\nGunner_HVCannon_1_pace 100;\n"
    "Gunner_HVCannon_1_ammo -1;\nGunner_HVCannon_1_FireDelay 0;\n"
    "Gunner_HVCannon_1_ImpactPhysical 1;\nGunner_HVCannon_1_ImpactShield 1;\nGunner_HVCannon_1_ImpactStructure 1;\n"
    "Gunner_HVCannon_1_MuzzleNo 0;\nGunner_HVCannon_1_MuzzlesCombined 1;\n"
    "Gunner_BeamCannon_0_pool \"RLaserSeg\" \"RSLaserSeg\";\n"
    "Gunner_BeamCannon_0_range 0 0 60000;\n"
    "Gunner_BeamCannon_0_pace 8000 16000;\n"
    "Gunner_BeamCannon_0_aperture 10;\n"
    "Gunner_BeamCannon_0_WarmUpDelay 10;\nGunner_BeamCannon_0_FiringTime 40;\nGunner_BeamCannon_0_PauseDelay 30;\n"
    "Gunner_BeamCannon_0_ammo -1;\n"
    "Gunner_BeamCannon_0_ImpactPhysical 0;\nGunner_BeamCannon_0_ImpactShield 12;\n"
    "Gunner_BeamCannon_0_ImpactStructure 10;\n"
    "Gunner_BeamCannon_0_MuzzleNo 1;\nGunner_BeamCannon_0_muzzle_0 0 0 0;\nGunner_BeamCannon_0_MuzzlesCombined 1;\n"
    "Gunner_BeamCannon_1_pool \"BLaserSeg\" \"BSLaserSeg\";\nGunner_BeamCannon_1_range 0 0 1000;\n"
    "Gunner_BeamCannon_1_pace 8000 16000;\nGunner_BeamCannon_1_aperture 10;\n"
    "Gunner_BeamCannon_1_WarmUpDelay 0;\nGunner_BeamCannon_1_FiringTime 0;\nGunner_BeamCannon_1_PauseDelay 0;\n"
    "Gunner_BeamCannon_1_ammo -1;\nGunner_BeamCannon_1_ImpactPhysical 0;\nGunner_BeamCannon_1_ImpactShield 1;\n"
    "Gunner_BeamCannon_1_ImpactStructure 1;\nGunner_BeamCannon_1_MuzzleNo 0;\nGunner_BeamCannon_1_MuzzlesCombined 1;\n"
    "end\n";

class Cannons : public ::testing::Test {
protected:
    void SetUp() override {
        scene_ = std::make_unique<kvtest::ShotScene>(KV_SOURCE_DIR);
        ASSERT_TRUE(scene_->ok());
        ASSERT_TRUE(datakit::WriteRulesText("gunner.txt", kGunnerRules));
        ReadRules("gunner.txt");
        base_ = mkdemo::DemoIslandPlace("ema_base");
        entry_ = CreateUnit();
        entry_->name = qzStrDup("Gunner", "unit name");
        entry_->rulePrefix = qzStrDup("Gunner", "unit prefix");
        gunner_ = CreateConstruct(0, 0);
        gunner_->itfc = Gunner_itfc;
        gunner_->unit = entry_;
        AllocItfcData(gunner_, sizeof(GunnerBlock));
        gunner_->pos[0] = base_.x - 30000;
        gunner_->pos[2] = base_.z;
        gunner_->pos[1] = Ground(gunner_->pos[0], gunner_->pos[2]) + 3000;
        Face(0.0);
        GunnerBlock* b = Gunner(gunner_);
        b->state = {100, 100, 0};
        for (int i = 0; i < 2; ++i) {
            HVCannon_init(&b->hv[i], gunner_, gunner_, i, 1.0f);
            BeamCannon_init(&b->beam[i], gunner_, gunner_, i, 1.0f);
        }
        ActivateConstruct(gunner_);
        MakeBuzy(gunner_, 0);
    }
    void TearDown() override {
        GunnerBlock* b = Gunner(gunner_);
        for (int i = 0; i < 2; ++i) {
            HVCannon_free(&b->hv[i]);
            BeamCannon_free(&b->beam[i]);
        }
        BuzyGuard = 0;
        ClearQZEvents();
        FreeConstruct(gunner_);
        scene_.reset();
    }

    static int32_t Ground(int32_t x, int32_t z) {
        const int32_t p[3] = {x, 0, z};
        return InterpGroundHeight(CurrentMatrix, p, nullptr);
    }
    // Turns the gunner to face along x turned by yaw (radians) about the up axis, pitched down by pitch.
    void Face(double yaw, double pitch = 0.0) {
        const double fx = std::cos(yaw) * std::cos(pitch), fy = -std::sin(pitch), fz = std::sin(yaw) * std::cos(pitch);
        const double ux = std::cos(yaw) * std::sin(pitch), uy = std::cos(pitch), uz = std::sin(yaw) * std::sin(pitch);
        const double sx = uy * fz - uz * fy, sy = uz * fx - ux * fz, sz = ux * fy - uy * fx;
        const double m[9] = {sx, sy, sz, ux, uy, uz, fx, fy, fz};
        for (int i = 0; i < 9; ++i) gunner_->orient[i] = int32_t(std::lround(m[i] * 32767));
    }
    static int Active(SharedPoolId id) {
        ConstructPool* p = SharedPool(id);
        int n = 0;
        for (int i = 0; p && i < p->count; ++i) n += (p->constructs[i]->flags & kConActive) ? 1 : 0;
        return n;
    }
    void Run(int ticks) {
        for (int i = 0; i < ticks; ++i) WorldTick(1, 0);
    }

    std::unique_ptr<kvtest::ShotScene> scene_;
    kvtest::FatalCatcher fatal_;
    mkdemo::DemoPlace base_{};
    Unit* entry_ = nullptr;
    construct* gunner_ = nullptr;
};

// A range of nine and a half paces lays ten segments, one at each whole pace from the muzzle; while the
// chain is laid and tested the cannon does not fire again.
TEST_F(Cannons, TheChainHoldsOneSegmentAtEachPaceUpToTheRange) {
    HVCannon& hv = Gunner(gunner_)->hv[0];
    Run(12);
    ASSERT_EQ(HVCannon_fire(&hv), 1);
    EXPECT_EQ(hv.ammo, 2);
    EXPECT_EQ(hv.beamState, kHVFired);
    EXPECT_EQ(HVCannon_fire(&hv), 0) << "fired: refused";
    WorldTick(1, 0);
    ASSERT_EQ(hv.beamState, kHVLaid);
    ASSERT_EQ(hv.segmentCount, 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(hv.segments[i]->pos[0], gunner_->pos[0] + i * ((int64_t(gunner_->orient[6]) * 6000) >> 15)) << i;
        EXPECT_EQ(hv.segments[i]->effectPhase, kHVSegmentLaidPhase) << i;
        EXPECT_EQ(hv.segments[i]->owner, gunner_);
    }
    EXPECT_EQ(HVCannon_fire(&hv), 0) << "laid: refused";
    Run(2);
    EXPECT_EQ(hv.beamState, kHVReady);
    // Nothing in the way: every segment was tested and none armed; they run out 126 ticks later.
    EXPECT_EQ(Active(SharedPoolId::HVSegment), 10);
    Run(130);
    EXPECT_EQ(Active(SharedPoolId::HVSegment), 0);
}

// Pointed down at the ground so that the third segment lies under it: that one arms and strikes the
// ground, the seven behind it go back to their pool in the same update, the two before it stay.
TEST_F(Cannons, TheChainIsCutBehindTheFirstSegmentThatTouches) {
    HVCannon& hv = Gunner(gunner_)->hv[0];
    gunner_->pos[1] = Ground(gunner_->pos[0], gunner_->pos[2]) + 10000;
    Face(0.0, std::asin(0.9));
    Run(12);
    ASSERT_EQ(HVCannon_fire(&hv), 1);
    WorldTick(1, 0);
    ASSERT_EQ(hv.segmentCount, 10);
    Run(2);
    EXPECT_EQ(hv.beamState, kHVReady);
    EXPECT_EQ(Active(SharedPoolId::HVSegment), 2) << "the two before it; the third struck on its next tick";
    const auto* third = static_cast<const HVSegmentBlock*>(hv.segments[2]->itfcData);
    EXPECT_EQ(third->armed, 1);
    for (int i = 3; i < 10; ++i) EXPECT_FALSE(hv.segments[i]->flags & kConActive) << i;
    EXPECT_EQ(Active(SharedPoolId::ShellSplash), 1) << "its splash on the ground";
}

// The beam over a target standing in range: it warms up, fires for its firing time with a blow every
// eighth tick, then pauses; a copy of its saved form taken while it fires goes on firing.
TEST_F(Cannons, TheBeamFiresAtATargetInRangeWithABlowEveryEighthTick) {
    GunnerBlock* g = Gunner(gunner_);
    BeamCannon& beam = g->beam[0];
    construct* target = scene_->Place(gunner_->pos[0] + 40000, gunner_->pos[2], -1, 0, 5000, 0);
    target->pos[1] = gunner_->pos[1];
    g->target = target;
    ASSERT_EQ(BeamCannon_fire(&beam, target, 0), 1);
    EXPECT_EQ(BeamCannon_fire(&beam, target, 0), 0) << "warming: nothing";
    std::vector<int32_t> states;
    int firing = 0, expectedBlows = 0;
    for (int t = 0; t < 60; ++t) {
        WorldTick(1, 0);
        states.push_back(beam.beamState);
        if (beam.beamState == kBeamFiring) {
            ++firing;
            expectedBlows += FrameCounter % 8 == 0;
            EXPECT_EQ(g->damage.shield, 12) << "the gunner's blows are the beam's";
            EXPECT_EQ(gunner_->owner, gunner_);
        }
    }
    EXPECT_EQ(states[0], kBeamWarming);
    EXPECT_EQ(states[11], kBeamFiring) << "ten ticks of warm-up, then armed and started in one update";
    EXPECT_EQ(firing, 39);
    EXPECT_EQ(beam.beamState, kBeamPausing);
    EXPECT_EQ(g->damage.shield, 0) << "its own blows again";
    EXPECT_EQ(gunner_->owner, nullptr);
    EXPECT_EQ(ShotBlock(target)->hits, expectedBlows);
    EXPECT_EQ(ShotBlock(target)->state.structure, 5000 - 22 * expectedBlows);
    EXPECT_GT(expectedBlows, 3);
    Run(40);
    EXPECT_EQ(beam.beamState, kBeamIdle);

    // Again, and a copy of the saved form taken while it fires.
    ASSERT_EQ(BeamCannon_fire(&beam, target, 0), 1);
    Run(15);
    ASSERT_EQ(beam.beamState, kBeamFiring);
    std::vector<uint8_t> form(kBeamCannonSavedSize);
    BeamCannon_putSaved(&beam, form.data());
    EXPECT_EQ(BeamCannon_checkSaved(form.data()), nullptr);
    BeamCannon scratch = g->beam[1];
    BeamCannon_getSaved(&scratch, form.data());
    BeamCannon_copy(&g->beam[1], &scratch);
    EXPECT_EQ(g->beam[1].beamState, kBeamFiring);
    EXPECT_EQ(g->beam[1].firingCounter, beam.firingCounter);
    std::vector<uint8_t> again(kBeamCannonSavedSize);
    BeamCannon_putSaved(&g->beam[1], again.data());
    EXPECT_EQ(again, form);
}

// The states over a scripted target: outside the aperture, lost, suppressed, just within and just beyond
// the range.
TEST_F(Cannons, TheBeamsStatesOverAScriptedTarget) {
    GunnerBlock* g = Gunner(gunner_);
    BeamCannon& beam = g->beam[0];
    construct* target = scene_->Place(gunner_->pos[0] + 40000, gunner_->pos[2], -1, 0, 5000, 0);
    target->pos[1] = gunner_->pos[1];
    auto warm = [&](construct* t) {
        g->target = t;
        EXPECT_EQ(BeamCannon_fire(&beam, t, 0), 1);
        Run(10);
    };
    struct Case {
        const char* what;
        std::function<void()> arrange;
        int32_t after;  // the state one update after the warm-up
    };
    const Case cases[] = {
        {"outside the aperture the armed beam drops to idle", [&] { Face(0.5); }, kBeamIdle},
        {"a lost target drops it to idle", [&] { g->target = nullptr; }, kBeamIdle},
        {"suppressed, it drops to idle", [&] { g->suppress = 1; }, kBeamIdle},
        {"a target at exactly its reach is taken", [&] { target->pos[0] = gunner_->pos[0] + 60000; }, kBeamFiring},
        {"one unit beyond its reach is not", [&] { target->pos[0] = gunner_->pos[0] + 60001; }, kBeamIdle},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Face(0.0);
        target->pos[0] = gunner_->pos[0] + 40000;
        g->suppress = 0;
        beam.beamState = kBeamIdle;
        warm(target);
        ASSERT_EQ(beam.beamState, kBeamWarming);
        WorldTick(1, 0);
        ASSERT_EQ(beam.beamState, kBeamArmed);
        c.arrange();
        WorldTick(1, 0);
        EXPECT_EQ(beam.beamState, c.after);
        if (beam.beamState == kBeamFiring) {
            // Losing the target while it fires: the pause.
            g->target = nullptr;
            WorldTick(1, 0);
            EXPECT_EQ(beam.beamState, kBeamPausing);
            EXPECT_EQ(g->damage.shield, 0);
            Run(31);
        }
    }
    // Armed without a target, the trigger re-arms with a short warm-up.
    Face(0.0);
    target->pos[0] = gunner_->pos[0] + 40000;
    warm(target);
    WorldTick(1, 0);
    ASSERT_EQ(beam.beamState, kBeamArmed);
    g->target = nullptr;
    beam.beamState = kBeamArmed;
    EXPECT_EQ(BeamCannon_fire(&beam, nullptr, 0), 0);
    EXPECT_EQ(beam.beamState, kBeamWarming);
    EXPECT_EQ(beam.warmUpCounter, 1);
}

// Weapons without muzzles never fire (their cursor would be taken modulo zero), and delays that add up to
// nothing give a finite rate in the status.
TEST_F(Cannons, WithoutMuzzlesTheyNeverFireAndDelaysOfNothingReportAFiniteRate) {
    GunnerBlock* g = Gunner(gunner_);
    Run(3);
    EXPECT_EQ(HVCannon_fire(&g->hv[1]), 0);
    EXPECT_EQ(BeamCannon_fire(&g->beam[1], gunner_, 0), 0);
    uint32_t words[kWeaponStatusWords] = {};
    float rate;
    HVCannon_status(&g->hv[1], words);
    std::memcpy(&rate, &words[3], sizeof rate);
    EXPECT_EQ(rate, 100.0f) << "a fire delay of 0 fires every tick";
    EXPECT_EQ(words[7], 0x7fffffffu);
    BeamCannon_status(&g->beam[1], words);
    std::memcpy(&rate, &words[3], sizeof rate);
    EXPECT_TRUE(std::isfinite(rate));
    EXPECT_EQ(words[0], 3u);
    HVCannon_status(&g->hv[0], words);
    std::memcpy(&rate, &words[3], sizeof rate);
    EXPECT_EQ(rate, 10.0f);
    EXPECT_EQ(words[6], 57000u);
}

// The cannons' saved forms: read and written to the same bytes; forms neither cannon writes are refused.
TEST_F(Cannons, SavedFormsRoundTripAndDamagedOnesAreRefused) {
    GunnerBlock* g = Gunner(gunner_);
    std::vector<uint8_t> hv(kHVCannonSavedSize), beam(kBeamCannonSavedSize);
    HVCannon_putSaved(&g->hv[0], hv.data());
    BeamCannon_putSaved(&g->beam[0], beam.data());
    EXPECT_EQ(HVCannon_checkSaved(hv.data()), nullptr);
    EXPECT_EQ(BeamCannon_checkSaved(beam.data()), nullptr);
    auto word = [](std::vector<uint8_t> f, size_t at, int32_t v) {
        for (int k = 0; k < 4; ++k) f[at + size_t(k)] = uint8_t(uint32_t(v) >> (8 * k));
        return f;
    };
    const struct {
        const char* what;
        std::vector<uint8_t> form;
        bool beam;
    } bad[] = {
        {"more ammunition than it takes", word(hv, 0, 4), false},
        {"a fire delay count beyond the delay", word(hv, 8, 11), false},
        {"a chain of 33", word(hv, 40, 33), false},
        {"an unknown cannon state", word(hv, kHVCannonSavedBeamState, 3), false},
        {"a negative muzzle cursor", word(hv, 20, -1), false},
        {"an unknown beam state", word(beam, kBeamCannonSavedState, 5), true},
        {"an aperture flag of 2", word(beam, 16, 2), true},
        {"a warm-up count beyond its delay", word(beam, 56, 11), true},
        // Found by the weaponsaved harness: firing with its count already run down, it counted on below
        // the bounds.
        {"firing with its count run down", word(word(beam, kBeamCannonSavedState, kBeamFiring), 8, -8), true},
        {"pausing with its count run out", word(word(beam, kBeamCannonSavedState, kBeamPausing), 48, 0), true},
    };
    for (const auto& c : bad) {
        SCOPED_TRACE(c.what);
        EXPECT_NE(c.beam ? BeamCannon_checkSaved(c.form.data()) : HVCannon_checkSaved(c.form.data()), nullptr);
    }
    // A beam restored while it fires, its pause delay far below zero (found by the weaponsaved harness):
    // it pauses and goes idle, and the form it hands out then is still one a load accepts.
    {
        construct* target = scene_->Place(gunner_->pos[0] + 40000, gunner_->pos[2], -1, 0, 5000, 0);
        target->pos[1] = gunner_->pos[1];
        g->target = target;
        BeamCannon firing = g->beam[0];
        firing.beamState = kBeamFiring;
        firing.firingCounter = 20;
        firing.pauseDelay = -16777096;
        firing.pauseCounter = 0;
        firing.warmUpCounter = -2;
        std::vector<uint8_t> form(kBeamCannonSavedSize);
        BeamCannon_putSaved(&firing, form.data());
        ASSERT_EQ(BeamCannon_checkSaved(form.data()), nullptr);
        BeamCannon scratchBeam = g->beam[0];
        BeamCannon_getSaved(&scratchBeam, form.data());
        BeamCannon_copy(&g->beam[0], &scratchBeam);
        Run(40);
        EXPECT_EQ(g->beam[0].beamState, kBeamIdle);
        BeamCannon_putSaved(&g->beam[0], form.data());
        const char* why = BeamCannon_checkSaved(form.data());
        EXPECT_EQ(why, nullptr) << why << " pause " << g->beam[0].pauseCounter << " warm " << g->beam[0].warmUpCounter
                                << " fire " << g->beam[0].firingCounter;
        g->target = nullptr;
    }
    // A cannon restored with a cursor beyond its muzzles starts again at the first.
    HVCannon scratch = g->hv[0];
    HVCannon_getSaved(&scratch, word(hv, 20, 7).data());
    HVCannon_copy(&g->hv[0], &scratch);
    Run(12);
    ASSERT_EQ(HVCannon_fire(&g->hv[0]), 1);
    EXPECT_EQ(g->hv[0].muzzles.firing, &g->hv[0].muzzles.muzzles[0]);
}

// Paces from a saved form that never advance (found by the weaponsaved harness, which spent seconds
// walking a far pace of 5 over the distance a negative near pace had piled up): a pace of 0 or less lays
// nothing, and a walk whose pool has nothing free takes its remaining steps at once.
TEST_F(Cannons, APaceThatNeverAdvancesLaysNothingAndAnEmptyPoolEndsTheWalk) {
    GunnerBlock* g = Gunner(gunner_);
    BeamCannon& beam = g->beam[0];
    construct* target = scene_->Place(gunner_->pos[0] + 40000, gunner_->pos[2], -1, 0, 5000, 0);
    target->pos[1] = gunner_->pos[1];
    g->target = target;
    beam.nearPace = -1526595520;
    beam.farPace = 5;
    beam.beamState = kBeamArmed;
    WorldTick(1, 0);
    ASSERT_EQ(beam.beamState, kBeamFiring);
    EXPECT_EQ(beam.segmentCount, 6) << "the six far pieces of its pool, and no near ones";
    EXPECT_EQ(Active(SharedPoolId::RLaserSeg), 0);
    EXPECT_EQ(Active(SharedPoolId::RSLaserSeg), 6);
}

}  // namespace
