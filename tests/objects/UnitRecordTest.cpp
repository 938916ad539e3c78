// The unit record filled from the rules, target cycling and locking, hits on a unit, giving way, and
// the clearing of references to a unit that is gone.
#include <cstring>
#include <string>
#include <vector>

#include "ai/AIFixtures.h"
#include "core/Config.h"
#include "objects/SharedPools.h"
#include "objects/UnitRecord.h"
#include "objects/UnitTick.h"
#include "objects/Units.h"
#include "platform/SoundFx.h"
#include "world/QZEvent.h"

namespace {

using aitest::AIScene;

// A unit type whose block is headed by the unit record; it reports weapon group 0 when armed.
struct TestBlock {
    UnitShare share;
    StateRecord state;
    int32_t armed;
    int32_t ammo;
    int32_t throttle;
};
TestBlock* TB(construct* c) { return static_cast<TestBlock*>(c->itfcData); }

uintptr_t Test_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    if (method == ItfcMethod::GETNAME) return reinterpret_cast<uintptr_t>("TestUnit");
    if (method == ItfcMethod::GETUNIT) return reinterpret_cast<uintptr_t>(&TB(con)->share);
    if (method == ItfcMethod::GETSTATE) return reinterpret_cast<uintptr_t>(&TB(con)->state);
    if (method == ItfcMethod::GETTHROTTLE) return *reinterpret_cast<int32_t*>(arg) = TB(con)->throttle, 1;
    if (method == ItfcMethod::UPDATEAIUNIT) {
        auto* r = reinterpret_cast<AIUnitRecord*>(arg);
        r->weaponPresent[0] = TB(con)->armed;
        r->weapon[0][kAIWeaponAmmoWord] = static_cast<uint32_t>(TB(con)->ammo);
        return 1;
    }
    return 0;
}

// A stand-in effect with a block large enough for any of the hit effects; counts ATTACH calls.
int g_attached = 0;
uintptr_t Effect_itfc(construct*, ItfcMethod method, uintptr_t) {
    if (method == ItfcMethod::ATTACH) ++g_attached;
    return 0;
}

// Shakes of the main view through the sound layer's hook.
std::vector<float> g_shakes;
bool CameraAt(int32_t p[3]) { return p[0] = p[1] = p[2] = 0, true; }
void Shake(int, int, float strength) { g_shakes.push_back(strength); }

// A unit with its stealth flag set makes no engine noise for the AI, unless it is an aircraft: the AI is
// told no stealth for aircraft, and hears their engines.
TEST(UnitAIInfo, StealthSilencesTheEngineExceptOfAircraft) {
    TestBlock block{};
    block.share.stateFlag = 1;
    block.share.noiseRange = 30000;
    Unit unit{};
    construct con{};
    con.itfc = Test_itfc;
    con.itfcData = &block;
    con.unit = &unit;
    const struct {
        uint32_t klass;
        int32_t stealth, noise;
    } cases[] = {{kKlassVehicle, 1, 0}, {kKlassAirplane, 0, 30000}};
    for (const auto& c : cases) {
        unit.klass = c.klass;
        UnitAIInfo info{};
        ASSERT_EQ(GetUnitAIInfo(&con, &info, nullptr, nullptr), &block.share);
        EXPECT_EQ(info.stealth, c.stealth) << c.klass;
        EXPECT_EQ(info.noiseRange, c.noise) << c.klass;
    }
}

class UnitRecordTest : public AIScene {
protected:
    UnitRecordTest() {
        VisiblePool = CreateConstructPool(2048, "visible");
        const char* names[4] = {"buzy0", "buzy1", "buzy2", "buzy3"};
        for (int i = 0; i < 4; ++i) BuzyPools[i] = CreateConstructPool(256, names[i]);
        SetSoundViewHooks(CameraAt, Shake);
        g_shakes.clear();
        g_attached = 0;
        savedSkill_ = skill_level;
    }
    ~UnitRecordTest() override {
        ClearQZEvents();
        for (construct* c : made_) {
            FreeUnitThreatLists(&TB(c)->share);
            qzFree(TB(c)->share.actionAUs);
            FreeConstruct(c);
        }
        for (ConstructPool*& p : SharedPools) {
            if (!p) continue;
            for (int i = 0; i < p->count; ++i) FreeConstruct(p->constructs[i]);
            DeleteConstructPool(p);
            p = nullptr;
        }
        DeleteConstructPool(VisiblePool);
        VisiblePool = nullptr;
        for (ConstructPool*& p : BuzyPools) DeleteConstructPool(p), p = nullptr;
        for (::Unit* u : entries_) FreeUnit(u);
        SetSoundViewHooks(nullptr, nullptr);
        skill_level = savedSkill_;
    }
    ::Unit* Entry(const char* name, uint32_t klass = kKlassVehicle) {
        ::Unit* u = CreateUnit();
        u->name = static_cast<char*>(qzAlloc(int(std::strlen(name)) + 1, "unit name"));
        std::strcpy(u->name, name);
        u->rulePrefix = static_cast<char*>(qzAlloc(int(std::strlen(name)) + 1, "unit name"));
        std::strcpy(u->rulePrefix, name);
        u->klass = klass;
        entries_.push_back(u);
        return u;
    }
    construct* Make(Clan* clan, int32_t x = 0, int32_t z = 0, ::Unit* entry = nullptr) {
        construct* c = CreateConstruct(1, 0);
        c->itfc = Test_itfc;
        auto* b = static_cast<TestBlock*>(AllocItfcData(c, sizeof(TestBlock)));
        b->state = {0, 100, 0};
        c->clan = clan;
        c->unit = entry ? entry : Entry("Scout");
        c->pos[0] = x;
        c->pos[2] = z;
        c->orient[0] = c->orient[4] = c->orient[8] = 32768;
        AllocUnitThreatLists(&b->share, 150);
        b->share.lockCountdown = kLockCountdown;
        made_.push_back(c);
        return c;
    }
    static void Threat(construct* unit, construct* other) {
        ThreatEntry e{};
        e.con = other;
        TB(unit)->share.threats[TB(unit)->share.threatCount++] = e;
    }
    // A shared pool of n stand-in effects.
    static void EffectPool(SharedPoolId id, const char* name, int n) {
        ConstructPool* p = CreateConstructPool(n, name);
        for (int i = 0; i < n; ++i) {
            construct* c = CreateConstruct(0, 0);
            c->itfc = Effect_itfc;
            AllocItfcData(c, 128);
            AppendToConstructPool(p, c);
        }
        SharedPools[static_cast<int>(id)] = p;
    }
    static int Active(SharedPoolId id) {
        int n = 0;
        ConstructPool* p = SharedPool(id);
        for (int i = 0; p && i < p->count; ++i) n += (p->constructs[i]->flags & kConActive) ? 1 : 0;
        return n;
    }

    std::vector<construct*> made_;
    std::vector<::Unit*> entries_;
    int savedSkill_ = 0;
};

TEST_F(UnitRecordTest, RecordIsFilledFromTheRulesAtPlacement) {
    Rules("EngineNoise_range 30000;\nAimDivergence 1 2 4;\nScout_SightRange RADAR 50000;\n"
          "Scout_RearTip 1 2 3;\nScout_ViewTip 0 4 -2;\nScout_WeaponSuits ALL GROUND;\nScout_strength 7;\n");
    ema()->area[0] = -100, ema()->area[1] = 100, ema()->area[2] = -200, ema()->area[3] = 200;
    SetClanHostility(ema(), ga(), kHostile);
    construct* c = Make(ema(), 5, 6);
    UnitShare& r = TB(c)->share;
    FreeUnitThreatLists(&r);
    struct {
        int skill;
        float degrees;
    } skills[] = {{0, 1}, {2, 4}, {9, 4}, {-3, 1}};  // out-of-range skills take the nearest value
    for (const auto& s : skills) {
        skill_level = s.skill;
        InitUnitShare(c, &r, 2.0f);
        EXPECT_FLOAT_EQ(r.aimDivergence, s.degrees * kDegreesTo1616) << s.skill;
        FreeUnitShareData(c, &r);
    }
    InitUnitShare(c, &r, 2.0f);
    EXPECT_EQ(r.rearTip[0], 2);
    EXPECT_EQ(r.rearTip[2], 6);
    EXPECT_EQ(r.viewTip[1], 8);
    EXPECT_EQ(r.viewTip[2], -4);
    EXPECT_EQ(r.sightType, kSightRadar);
    EXPECT_EQ(r.sightRange, 50000);
    EXPECT_EQ(r.noiseRange, 30000);
    EXPECT_EQ(r.strength, 7);
    EXPECT_EQ(r.weaponSuits[0], 0);
    EXPECT_EQ(r.weaponSuits[1], 1);
    EXPECT_EQ(r.threatCapacity, 150);
    ASSERT_NE(r.threats, nullptr);
    EXPECT_EQ(r.lockCountdown, 150);
    EXPECT_EQ(r.lastPos[0], 5);
    EXPECT_EQ(r.insidePos[2], 6);
    EXPECT_EQ(r.area[0], -100);  // minimum x, minimum z, maximum x, maximum z
    EXPECT_EQ(r.area[1], -200);
    EXPECT_EQ(r.area[2], 100);
    EXPECT_EQ(r.area[3], 200);
    FreeUnitShareData(c, &r);
    EXPECT_EQ(r.threats, nullptr);
    // The player's clan never diverges; a unit without sight keeps no threat list.
    SetPlayerClan(ema());
    construct* blind = Make(ema(), 0, 0, Entry("Blind"));
    FreeUnitThreatLists(&TB(blind)->share);
    InitUnitShare(blind, &TB(blind)->share, 1.0f);
    EXPECT_EQ(TB(blind)->share.aimDivergence, 0.0f);
    EXPECT_EQ(TB(blind)->share.threats, nullptr);
    ThreatEntry e{};
    EXPECT_EQ(AddThreat(blind, &e), 0);
}

TEST_F(UnitRecordTest, FaultsOfTheRulesAreFatal) {
    Rules("EngineNoise_range 30000;\nAimDivergence 1;\n"
          "Eye_SightRange EYESIGHT 5;\nOdd_SightRange SONAR 5;\nSuit_WeaponSuits ALL AIR;\n"
          "Beam_SightRange BEAMSIGHT;\nAU_ActionAU_0 NoSuchGroup;\n");
    const struct {
        const char* entry;
        std::string error;
    } cases[] = {
        {"Eye", "Error(InitUnitShare, Eye): no individual eyesight range supported"},
        {"Odd", "Error(InitUnitShare, Odd): uk sight type"},
        {"Suit", "Error(InitUnitShare): strange 'WeaponSuits'"},
        {"AU", "Error(InitUnitShare): Unknown name of action AU"},
        {"Beam", ""},
    };
    for (const auto& c : cases) {
        construct* u = Make(ga(), 0, 0, Entry(c.entry));
        FreeUnitThreatLists(&TB(u)->share);
        EXPECT_EQ(FatalText([&] { InitUnitShare(u, &TB(u)->share, 1.0f); }), c.error) << c.entry;
    }
    UnitShare& beam = TB(made_.back())->share;
    EXPECT_EQ(beam.sightType, kSightBeam);
    EXPECT_EQ(beam.sightRange, 0);
    EXPECT_NE(beam.threats, nullptr);  // beam sight keeps threat lists though its range is 0
}

TEST_F(UnitRecordTest, TargetsCycleOverHostileThreatsAndLockWhileAmmunitionLasts) {
    SetClanHostility(ema(), ga(), kHostile);
    construct* me = Make(ema());
    construct* friendUnit = Make(ema());
    construct* h1 = Make(ga());
    construct* h2 = Make(ga());
    Threat(me, friendUnit);
    Threat(me, h1);
    Threat(me, h2);
    UnitShare& r = TB(me)->share;
    CycleTarget(me, &r, 0);
    EXPECT_EQ(r.lockTarget, h1);
    EXPECT_EQ(TB(h1)->share.targetedBy, 1);
    CycleTarget(me, &r, 0);
    EXPECT_EQ(r.lockTarget, h2);
    EXPECT_EQ(TB(h1)->share.targetedBy, 0);
    CycleTarget(me, &r, 0);  // wraps past the friend
    EXPECT_EQ(r.lockTarget, h1);
    CycleTarget(me, &r, 1);
    EXPECT_EQ(r.lockTarget, h2);
    EXPECT_GE(r.lockToggleDelay, 50);
    EXPECT_LE(r.lockToggleDelay, 250);

    // Lock-on runs only while a group that can lock has ammunition.
    ControlInput none{};
    r.lockCapability[0] = 1;
    for (int i = 0; i < 200; ++i) TickUnitShare(me, &r, 0, none, none);
    EXPECT_EQ(r.locked, 0);
    EXPECT_EQ(r.lockCountdown, 150);
    TB(me)->ammo = 3;
    TB(me)->armed = 1;
    for (int i = 0; i < 150; ++i) TickUnitShare(me, &r, 0, none, none);
    EXPECT_EQ(r.locked, 0);
    TickUnitShare(me, &r, 0, none, none);
    EXPECT_EQ(r.locked, 1);

    // The key's rising edge cycles (once, not while held); a lock target gone from the list is dropped.
    ControlInput pressed{};
    SetInputKey(&pressed, kInputNextTarget, true);
    TickUnitShare(me, &r, 0, none, pressed);
    EXPECT_EQ(r.lockTarget, h1);
    EXPECT_EQ(r.locked, 0);
    TickUnitShare(me, &r, 0, pressed, pressed);
    EXPECT_EQ(r.lockTarget, h1);
    r.threatCount = 2;  // h2 stays out, h1 leaves: the entries are friend, h1 -> keep only friend and h2
    r.threats[1].con = h2;
    TickUnitShare(me, &r, 0, none, none);
    EXPECT_EQ(r.lockTarget, h2);
    EXPECT_EQ(TB(h1)->share.targetedBy, 0);
    EXPECT_EQ(TB(h2)->share.targetedBy, 1);
}

TEST_F(UnitRecordTest, TableOfHits) {
    SetClanHostility(ema(), ga(), kHostile);
    SetClanHostility(ga(), ema(), kHostile);
    SetClanHostility(ga(), arab(), kAllied);
    SetClanHostility(arab(), ga(), kAllied);
    EffectPool(SharedPoolId::ShieldHit, "ShieldHit", 12);
    EffectPool(SharedPoolId::Fragment, "Fragment", 40);
    const struct {
        const char* name;
        int32_t shield;
        DamageRecord damage;
        int attackerClan;  // -1: no slot
        bool playerVictim;
        int32_t shieldAfter, structureDamage, effects;
        std::vector<int> victimMsgs, attackerMsgs;
        bool recorded;
        bool shake;
    } cases[] = {
        {"shield holds", 50, {0, 10, 0}, 0, false, 40, 0, 10, {kMsgAttacked}, {kMsgAttacked}, true, false},
        {"shield breaks", 10, {0, 40, 5}, 0, false, 0, 35, 12, {kMsgAttacked}, {kMsgAttacked}, true, false},
        {"no shield", 0, {0, 7, 3}, 0, false, 0, 10, 0, {kMsgAttacked}, {kMsgAttacked}, true, false},
        {"allied attacker", 20, {0, 5, 0}, 2, false, 15, 0, 5, {kMsgAttacked}, {kMsgAttacked}, false, false},
        {"player struck", 0, {0, 4, 2}, 0, true, 0, 6, 0, {kMsgAttacked}, {kMsgAttacked}, true, true},
        {"without slot", 20, {0, 5, 0}, -1, false, 15, 0, 5, {}, {}, false, false},
    };
    for (const auto& c : cases) {
        DrainQueues();
        g_shakes.clear();
        for (int i = 0; i < SharedPool(SharedPoolId::ShieldHit)->count; ++i)
            DeactivateConstruct(SharedPool(SharedPoolId::ShieldHit)->constructs[i]);
        ClearQZEvents();
        for (int i = 0; i < SharedPool(SharedPoolId::ShieldHit)->count; ++i)
            SharedPool(SharedPoolId::ShieldHit)->constructs[i]->flags = 0;
        construct* victim = Make(ga());
        PlayerUnit = c.playerVictim ? victim : nullptr;
        TB(victim)->state.shield = c.shield;
        construct* attacker = c.attackerClan >= 0 ? Make(ClanTable[c.attackerClan]) : nullptr;
        construct* shell = CreateConstruct(0, 0);
        shell->owner = attacker;
        int slot = -1;
        if (attacker) {
            victim->hits[0] = shell;
            slot = 0;
        }
        const int32_t s = ApplyHitToUnit(victim, slot, &TB(victim)->state, &c.damage);
        EXPECT_EQ(TB(victim)->state.shield, c.shieldAfter) << c.name;
        EXPECT_EQ(s, c.structureDamage) << c.name;
        EXPECT_EQ(Active(SharedPoolId::ShieldHit), c.effects) << c.name;
        EXPECT_EQ(TB(victim)->share.hitFlag, 1) << c.name;
        EXPECT_EQ(Queued(1), c.victimMsgs) << c.name;
        if (attacker) {
            EXPECT_EQ(Queued(c.attackerClan), c.attackerMsgs) << c.name;
        }
        // The hit is recorded in the hitter's record (it names the unit it hit), never the other way.
        const bool recorded = attacker && TB(attacker)->share.recentHit == victim &&
                              TB(attacker)->share.recentHitCountdown == kMutualTargetTicks;
        EXPECT_EQ(recorded, c.recorded) << c.name;
        EXPECT_EQ(TB(victim)->share.recentHit, nullptr) << c.name;
        EXPECT_EQ(!g_shakes.empty(), c.shake) << c.name;
        if (c.shake) {
            EXPECT_FLOAT_EQ(g_shakes[0], 4 * 0.2f) << c.name;
        }
        victim->hits[0] = nullptr;
        FreeConstruct(shell);
        PlayerUnit = nullptr;
    }
}

TEST_F(UnitRecordTest, StructureToZeroThrowsDebrisAndCreditsTheKill) {
    SetClanHostility(ema(), ga(), kHostile);
    EffectPool(SharedPoolId::Fragment, "Fragment", 40);
    for (bool armed : {true, false}) {
        DrainQueues();
        construct* victim = Make(ga());
        TB(victim)->armed = armed;
        TB(victim)->state.structure = 20;
        construct* killer = Make(ema());
        construct* shell = CreateConstruct(0, 0);
        shell->owner = killer;
        victim->hits[1] = shell;
        const int32_t push[3] = {0, 0, 0};
        SpawnDebris(victim, 1, &TB(victim)->state, push, 12, 1);
        EXPECT_EQ(TB(victim)->state.structure, 8);
        EXPECT_EQ(Active(SharedPoolId::Fragment), 3);  // 12 >> 2
        EXPECT_TRUE(Queued(0).empty());
        SpawnDebris(victim, 1, &TB(victim)->state, push, 12, 1);
        EXPECT_EQ(TB(victim)->state.structure, -4);
        EXPECT_EQ(TB(killer)->share.killCount, armed ? 1 : 0);
        EXPECT_EQ(Queued(0), std::vector<int>{kMsgStructureDamage});
        // A further hit on the wreck credits nothing more.
        SpawnDebris(victim, 1, &TB(victim)->state, push, 4, 1);
        EXPECT_EQ(TB(killer)->share.killCount, armed ? 1 : 0);
        victim->hits[1] = nullptr;
        FreeConstruct(shell);
        for (int i = 0; i < SharedPool(SharedPoolId::Fragment)->count; ++i) {
            DeactivateConstruct(SharedPool(SharedPoolId::Fragment)->constructs[i]);
            SharedPool(SharedPoolId::Fragment)->constructs[i]->flags = 0;
        }
        ClearQZEvents();
    }
}

TEST_F(UnitRecordTest, GivingWayInTheThreeSituations) {
    // Forward is +z. a at the origin; b 100000 ahead of it.
    const struct {
        const char* name;
        int32_t throttleA, throttleB;
        int32_t bForward;  // b's forward axis z (b faces a when -1)
        int countdown;
        int sideStepA, waitA, sideStepB, waitB;
        bool aimA, aimB;
    } cases[] = {
        {"head on", 10, 10, -1, 0, 0, 0, 0, 0, false, false},
        {"one ahead", 10, 10, 1, 120, 0, 1, 0, 0, false, false},  // the one behind waits
        {"a stands", 0, 10, -1, 120, 1, 0, 0, 1, true, false},
        {"both stand", 0, 0, 1, 0, 0, 0, 0, 0, false, false},
    };
    for (const auto& c : cases) {
        construct* a = Make(ema(), 0, 0);
        construct* b = Make(ema(), 3000, 100000);
        b->orient[8] = 32768 * c.bForward;
        b->orient[0] = 32768 * c.bForward;
        TB(a)->throttle = c.throttleA;
        TB(b)->throttle = c.throttleB;
        UnitShare& ra = TB(a)->share;
        UnitShare& rb = TB(b)->share;
        GiveWayBetweenUnits(a, &ra, b, &rb);
        EXPECT_EQ(ra.giveWayCountdown, c.countdown) << c.name;
        EXPECT_EQ(rb.giveWayCountdown, c.countdown) << c.name;
        EXPECT_EQ(ra.sideStepping, c.sideStepA) << c.name;
        EXPECT_EQ(ra.waiting, c.waitA) << c.name;
        EXPECT_EQ(rb.sideStepping, c.sideStepB) << c.name;
        EXPECT_EQ(rb.waiting, c.waitB) << c.name;
        EXPECT_EQ(ra.aimPointSet != 0, c.aimA) << c.name;
        EXPECT_EQ(rb.aimPointSet != 0, c.aimB) << c.name;
        if (c.aimA) {
            // b lies ahead and to the positive side: back 20000 and 13000 to the negative side.
            EXPECT_EQ(ra.aimPoint[2], -20000) << c.name;
            EXPECT_EQ(ra.aimPoint[0], -13000) << c.name;
            EXPECT_EQ(ra.aimPoint[1], 0) << c.name;
        }
        if (c.countdown) {  // the rule waits until the countdown has run out
            ra.sideStepping = 7;
            GiveWayBetweenUnits(a, &ra, b, &rb);
            EXPECT_EQ(ra.sideStepping, 7) << c.name;
        }
    }
}

TEST_F(UnitRecordTest, AUnitThatLeavesIsNeverReadThroughAStalePointer) {
    SetClanHostility(ema(), ga(), kHostile);
    construct* me = Make(ema());
    construct* gone = Make(ga());
    construct* other = Make(ga());
    Threat(me, gone);
    Threat(me, other);
    UnitShare& r = TB(me)->share;
    CycleTarget(me, &r, 0);
    ASSERT_EQ(r.lockTarget, gone);
    SetUnitTarget(me, gone, 0, 10);
    SetUnitTargetPair(me, gone, 300);
    // A shell it fired is still in flight and sits in my hit slot.
    ConstructPool* shells = CreateConstructPool(4, "shells");
    construct* shell = CreateConstruct(0, 0);
    shell->owner = gone;
    AppendToConstructPool(shells, shell);
    AppendToConstructPool(VisiblePool, me);
    me->hits[0] = shell;
    ReloadUnit = gone;
    // My clan knows both as threats: the one that leaves is taken out and the clan's AI is told.
    for (construct* t : {gone, other}) {
        ThreatEntry e{};
        e.con = t;
        InsertThreat(ema(), &e);
    }
    DrainQueues();
    FreeUnitShareData(gone, &TB(gone)->share);
    ASSERT_EQ(ema()->threatCount, 1);
    EXPECT_EQ(ema()->threats[0].con, other);
    EXPECT_EQ(Queued(0), (std::vector<int>{kMsgThreatLeft}));
    EXPECT_EQ(TB(gone)->share.inThreatList[0], 0);
    EXPECT_EQ(r.lockTarget, nullptr);
    EXPECT_EQ(r.target, nullptr);
    EXPECT_EQ(r.recentHit, nullptr);
    ASSERT_EQ(r.threatCount, 1);
    EXPECT_EQ(r.threats[0].con, other);
    EXPECT_EQ(shell->owner, nullptr);
    EXPECT_EQ(ReloadUnit, nullptr);
    // The shell's hit now has no attacker: no messages, no credit.
    DrainQueues();
    DamageRecord d{0, 5, 5};
    ApplyHitToUnit(me, 0, &TB(me)->state, &d);
    EXPECT_TRUE(Queued(0).empty());
    // A unit that leaves a hit slot closes the gap: the hits behind it (and their points) move down.
    other->hits[0] = me;
    other->hits[1] = shell;
    other->hits[2] = me;
    other->hitPoints[1][0] = 11;
    other->hitPoints[2][0] = 22;
    other->hits[3] = nullptr;
    AppendToConstructPool(VisiblePool, other);
    ForgetUnitReferences(shell);
    EXPECT_EQ(other->hits[0], me);
    EXPECT_EQ(other->hits[1], me);
    EXPECT_EQ(other->hitPoints[1][0], 22);
    EXPECT_EQ(other->hits[2], nullptr);
    RemoveFromConstructPool(VisiblePool, other);
    std::memset(other->hits, 0, sizeof other->hits);
    me->hits[0] = nullptr;
    RemoveFromConstructPool(VisiblePool, me);
    FreeConstruct(shell);
    DeleteConstructPool(shells);
}

TEST_F(UnitRecordTest, AutopilotBringsThePlayerBack16000InsideAndWobbleFlipsAndShrinks) {
    construct* me = Make(ema(), 0, 0);
    UnitShare& r = TB(me)->share;
    r.area[0] = -100000, r.area[1] = -100000, r.area[2] = 100000, r.area[3] = 100000;
    ControlInput none{};
    TickUnitShare(me, &r, 0, none, none);
    EXPECT_EQ(r.autopilot, 0);  // not the player's unit
    me->pos[0] = 100001;
    TickUnitShare(me, &r, 0, none, none);
    EXPECT_EQ(r.autopilot, 0);
    PlayerUnit = me;
    TickUnitShare(me, &r, 0, none, none);
    EXPECT_EQ(r.autopilot, 1);
    EXPECT_EQ(r.autopilotDir[0], -32768);
    for (int32_t x : {99000, 84000}) {
        me->pos[0] = x;
        TickUnitShare(me, &r, 0, none, none);
        EXPECT_EQ(r.autopilot, 1) << x;
    }
    me->pos[0] = 83999;
    TickUnitShare(me, &r, 0, none, none);
    EXPECT_EQ(r.autopilot, 0);
    PlayerUnit = nullptr;

    // The wobble flips every 110 ticks and shrinks by 0.9 only while above an eighth of the divergence.
    construct* foe = Make(ga());
    r.target = foe;
    r.aimDivergence = 800;
    r.aimWobble = 800;
    r.wobbleCountdown = 110;
    const float expected[] = {-720, 648, -583.2f, 524.88f};
    for (float e : expected) {
        for (int i = 0; i < 55; ++i) TickUnitShare(me, &r, 1, none, none);  // 55 TICKs of 2 ticks
        EXPECT_NEAR(r.aimWobble, e, 0.01f);
    }
    r.aimWobble = 100;  // at most an eighth: only the sign changes
    r.wobbleCountdown = 1;
    TickUnitShare(me, &r, 0, none, none);
    EXPECT_FLOAT_EQ(r.aimWobble, -100);
}

TEST_F(UnitRecordTest, CopiedStateNeverCarriesTargets) {
    construct* a = Make(ema());
    construct* b = Make(ema());
    construct* foe = Make(ga());
    UnitShare& ra = TB(a)->share;
    ra.lockTarget = foe;
    ra.target = foe;
    ra.targetedBy = 2;
    ra.killCount = 3;
    ra.aimPoint[0] = 77;
    ra.giveWayCountdown = 40;
    CopyUnitState(&TB(b)->share, &ra);
    const UnitShare& rb = TB(b)->share;
    EXPECT_EQ(rb.lockTarget, nullptr);
    EXPECT_EQ(rb.target, nullptr);
    EXPECT_EQ(rb.targetedBy, 0);
    EXPECT_EQ(rb.killCount, 3);
    EXPECT_EQ(rb.aimPoint[0], 77);
    EXPECT_EQ(rb.giveWayCountdown, 40);
}

}  // namespace
