// The projectile thrower: rules to record, volleys and salvos from a pool and the muzzles, ammunition,
// shell cases, flashes and patches, the copy and the status words, and the weapons that must never fire.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/Memory.h"
#include "core/Rules.h"
#include "host/Fs.h"
#include "objects/SharedPools.h"
#include "objects/UnitShare.h"
#include "objects/Units.h"
#include "support/Fatal.h"
#include "support/TempDir.h"
#include "tools/datakit/RulesText.h"
#include "vehicles/modules/PjtThrower.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/QZEvent.h"
#include "world/WorldFixtures.h"

namespace {

// What the stand-in projectiles were launched with, in order.
std::vector<LaunchRecord>& Launches() {
    static std::vector<LaunchRecord> log;
    return log;
}

uintptr_t Round_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    if (method == ItfcMethod::LAUNCH) {
        Launches().push_back(*reinterpret_cast<const LaunchRecord*>(arg));
        static_cast<int32_t*>(con->itfcData)[0] = static_cast<int32_t>(Launches().size());
    }
    return 0;
}

uintptr_t Unit_itfc(construct* con, ItfcMethod method, uintptr_t) {
    if (method == ItfcMethod::GETUNIT) return reinterpret_cast<uintptr_t>(con->itfcData);
    return 0;
}

class Thrower : public kvtest::LevelPools {
protected:
    void SetUp() override {
        LevelPools::SetUp();
        Launches().clear();
        rounds = CreateConstructPool(8, "TestRounds");
        for (int i = 0; i < 8; ++i) {
            construct* r = CreateConstruct(0, 0);
            r->itfc = Round_itfc;
            AllocItfcData(r, 16);
            AppendToConstructPool(rounds, r);
        }
        cases = CreateConstructPool(8, "ShellCase");
        SharedPools[static_cast<int>(SharedPoolId::ShellCase)] = cases;
        for (int i = 0; i < 8; ++i) {
            construct* c = CreateConstruct(0, 0);
            AllocItfcData(c, sizeof(ShellCaseRecord));
            AppendToConstructPool(cases, c);
        }
        entry = CreateUnit();
        entry->name = qzStrDup("Gunner", "unit name");
        entry->rulePrefix = qzStrDup("Gun", "unit name");
        unit = CreateConstruct(0, 0);
        unit->itfc = Unit_itfc;
        unit->unit = entry;
        AllocItfcData(unit, sizeof(UnitShare));
        const int32_t m[9] = {32768, 0, 0, 0, 32768, 0, 0, 0, 32768};
        std::memcpy(unit->orient, m, sizeof m);
        unit->pos[0] = 1000000;
        // The weapon part: its geometry has a patch 1 (the loaded round) and a flash billboard.
        part = CreateConstruct(0, 0);
        std::memcpy(part->orient, m, sizeof m);
        part->pos[0] = 1000000;
        part->pos[1] = 50000;
        Geom* g = kvtest::MakeGeom(4, 2);
        g->patchCount = 2;
        g->patches = static_cast<GeomPatch*>(qzAlloc(2 * sizeof(GeomPatch), "patch list"));
        std::memset(g->patches, 0, 2 * sizeof(GeomPatch));
        g->patches[1].faceCount = 1;
        g->patches[1].faces = static_cast<GeomFace**>(qzAlloc(sizeof(GeomFace*), "patch faces"));
        g->patches[1].faces[0] = g->faces;
        g->faces->type |= 0x80;  // hidden until the weapon shows it
        SetConstructGeoms(part, g, g, g, g);
        part->bboardCount = 1;
        part->bboards = static_cast<bboard**>(qzAlloc(sizeof(bboard*), "bboards"));
        part->bboards[0] = CreateBBoard();
        std::snprintf(part->bboards[0]->name, sizeof part->bboards[0]->name, "flash");
        part->bboards[0]->time = -1;
    }
    void TearDown() override {
        PjtThrower_free(&w);
        for (ConstructPool* pool : {rounds, cases}) {
            while (pool->count > 0) {
                construct* c = pool->constructs[0];
                RemoveFromConstructPool(pool, c);
                FreeConstruct(c);
            }
        }
        SharedPools[static_cast<int>(SharedPoolId::ShellCase)] = nullptr;
        FreeConstruct(unit);
        FreeConstruct(part);
        FreeUnit(entry);
        FreeRules();
        LevelPools::TearDown();
    }
    // The weapon's rules: the defaults below, with the given lines added or replacing them by key.
    void Rules(const std::string& extra, bool withDefaults = true) {
        std::string text = extra;
        auto add = [&](const char* key, const char* value) {
            if (text.find(std::string("Gun_PjtThrower_0_") + key + " ") == std::string::npos)
                text += std::string("Gun_PjtThrower_0_") + key + " " + value + ";\n";
        };
        if (withDefaults) {
            add("pool", "\"TestRounds\"");
            add("range", "100 200 300");
            add("speed", "4000");
            add("ammo", "-1");
            add("FireDelay", "10");
            add("ImpactPhysical", "1");
            add("ImpactShield", "2");
            add("ImpactStructure", "3");
            add("MuzzleNo", "2");
            add("muzzle_0", "-100.7 0 500 1 \"flash\"");
            add("muzzle_1", "100 0 500");
            add("MuzzlesCombined", "1");
        }
        text += "WeaponNoise_range 4242;\nend\n";
        static int n = 0;
        const std::string path = dir / ("rules" + std::to_string(n++));
        ASSERT_TRUE(datakit::WriteRulesText(path, text));
        host::FlushDirectoryCache();
        FreeRules();
        ReadRules(path.c_str());
    }
    void Init(float scale = 1.0f) { PjtThrower_init(&w, unit, part, 0, scale); }
    // Placed without salvos, a weapon is ready after its first tick (the salvo counter becomes 1 there)
    // once its fire delay has run out.
    void MakeReady() {
        PjtThrower_tick(&w, 1);
        w.fireDelayCounter = 0;
    }
    // Holds the fire key for the given ticks, one weapon tick each; returns the ticks that threw a volley.
    std::vector<int> Hold(int ticks) {
        std::vector<int> fired;
        for (int t = 0; t < ticks; ++t) {
            if (PjtThrower_fire(&w, nullptr, nullptr)) fired.push_back(t);
            PjtThrower_tick(&w, 1);
            // The rounds come back as their flights end.
            for (int i = 0; i < rounds->count; ++i) DeactivateConstruct(rounds->constructs[i]);
            FlushQZEvents();
            for (int i = 0; i < rounds->count; ++i) UnMakeBuzy(rounds->constructs[i]);
        }
        return fired;
    }

    // The round launched n-th (from 1), or null.
    construct* Round(int n) {
        for (int i = 0; i < rounds->count; ++i)
            if (static_cast<int32_t*>(rounds->constructs[i]->itfcData)[0] == n) return rounds->constructs[i];
        return nullptr;
    }
    // The active shell cases that are not in the list.
    std::vector<construct*> NewCases(const std::vector<construct*>& seen) {
        std::vector<construct*> out;
        for (int i = 0; i < cases->count; ++i) {
            construct* c = cases->constructs[i];
            if ((c->flags & kConActive) && std::find(seen.begin(), seen.end(), c) == seen.end()) out.push_back(c);
        }
        return out;
    }

    kvtest::FatalCatcher fatal;
    kvtest::TempDir dir;
    ConstructPool* rounds = nullptr;
    ConstructPool* cases = nullptr;
    Unit* entry = nullptr;
    construct* unit = nullptr;
    construct* part = nullptr;
    PjtThrower w{};
};

TEST_F(Thrower, InitReadsTheRules) {
    Rules("Gun_PjtThrower_0_TurnRate 5;\nGun_PjtThrower_0_ShellCaseEject 10.9 20 30 -2.5;\n"
          "Gun_PjtThrower_0_SalvoShots 3;\nGun_PjtThrower_0_SalvoDelay 100;\nGun_PjtThrower_0_PitchBias 2;\n");
    Init(2.0f);
    EXPECT_EQ(w.active, 1);
    EXPECT_EQ(w.pool, rounds);
    EXPECT_EQ(w.range[2], 300);
    EXPECT_EQ(w.noiseRange, 4242);  // the global rule stands in
    EXPECT_EQ(w.speed, 4000);
    EXPECT_EQ(w.turnRate, 5);
    EXPECT_EQ(static_cast<UnitShare*>(unit->itfcData)->lockCapability[0], 1);
    EXPECT_EQ(w.impact[2], 3);
    EXPECT_EQ(w.fireDelayCounter, 10);
    ASSERT_EQ(w.muzzleCount, 2);
    EXPECT_EQ(w.muzzles[0].offset[0], -200);  // truncated, then scaled
    EXPECT_EQ(w.muzzles[0].offset[2], 1000);
    EXPECT_EQ(w.muzzles[0].patch, 1);
    EXPECT_EQ(part->lod[0]->faces->type & 0x80, 0);  // the loaded round is shown
    EXPECT_EQ(w.muzzles[0].flashLevel, &part->bboards[0]->time);
    EXPECT_EQ(w.muzzles[1].patch, -1);
    EXPECT_EQ(w.muzzles[1].flashLevel, nullptr);
    EXPECT_EQ(w.shellCaseOffset[0], 21);
    EXPECT_EQ(w.shellCaseSide, -2);
    EXPECT_EQ(w.salvoShots, 3);
    EXPECT_EQ(w.salvoCounter, 3);
    EXPECT_EQ(w.salvoDelayCounter, 100);
    EXPECT_EQ(w.pitchBias, 2287);
}

TEST_F(Thrower, FaultyRulesAreFatal) {
    struct Case {
        const char* what;
        std::string rules;
        bool defaults;
        const char* message;
    };
    const Case cases[] = {
        {"no pool rule", "Gun_PjtThrower_0_range 1 2 3;\n", false,
         "Error(NamedUnitRule): Rule 'Gun_PjtThrower_0_pool' not found"},
        {"unknown pool", "Gun_PjtThrower_0_pool \"Nowhere\";\n", true, "no such construct pool 'Nowhere'"},
        {"salvo without delay", "Gun_PjtThrower_0_SalvoShots 2;\n", true,
         "Error(NamedUnitRule): Rule 'Gun_PjtThrower_0_SalvoDelay' not found"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rules(c.rules, c.defaults);
        try {
            Init();
            FAIL() << "no fatal error";
        } catch (const kvtest::FatalExit& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
        PjtThrower_free(&w);
    }
}

TEST_F(Thrower, VolleysTakeTheMuzzlesInTurn) {
    Rules("");
    Init();
    const std::vector<int> fired = Hold(25);
    EXPECT_EQ(fired, (std::vector<int>{10, 20}));  // the delay runs from placement
    ASSERT_EQ(Launches().size(), 2u);
    EXPECT_EQ(Launches()[0].firstOfVolley, 1);
    EXPECT_EQ(Launches()[0].range, 300);
    EXPECT_EQ(Launches()[0].speed, 4000);
    EXPECT_EQ(Launches()[0].impact[1], 2);
    EXPECT_EQ(Launches()[0].weaponPart, part);
    // The rounds left from each muzzle in turn, owned by the unit, queued busy and active.
    construct* first = Round(1);
    construct* second = Round(2);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->pos[0], 1000000 - 100);
    EXPECT_EQ(second->pos[0], 1000000 + 100);
    EXPECT_EQ(first->owner, unit);
    EXPECT_EQ(part->bboards[0]->time, 100 - 5 * 15);  // flashed by muzzle 0, fading 5 a tick
    EXPECT_EQ(part->lod[0]->faces->type & 0x80, 0x80); // muzzle 0's round has left
    EXPECT_EQ(w.muzzleCursor, 0);
}

TEST_F(Thrower, CombinedMuzzlesThrowTogetherAndOnlyTheFirstIsFirst) {
    Rules("Gun_PjtThrower_0_MuzzlesCombined 2;\nGun_PjtThrower_0_ammo 3;\nGun_PjtThrower_0_FireDelay 0;\n");
    Init();
    EXPECT_EQ(PjtThrower_fire(&w, unit, nullptr), 0);  // not before its first tick
    MakeReady();
    EXPECT_EQ(PjtThrower_fire(&w, unit, nullptr), 1);
    ASSERT_EQ(Launches().size(), 2u);
    EXPECT_EQ(Launches()[0].firstOfVolley, 1);
    EXPECT_EQ(Launches()[1].firstOfVolley, 0);
    EXPECT_EQ(Launches()[1].lockTarget, unit);
    EXPECT_EQ(w.ammo, 1);
    // Readiness is judged once per volley: the last round starts a whole volley.
    EXPECT_EQ(PjtThrower_fire(&w, nullptr, nullptr), 1);
    EXPECT_EQ(Launches().size(), 4u);
    EXPECT_EQ(w.ammo, 0);
    EXPECT_EQ(PjtThrower_fire(&w, nullptr, nullptr), 0);
}

TEST_F(Thrower, AmmunitionCounts) {
    struct Case {
        const char* ammo;
        int volleys;  // of 6 tries
    };
    const Case cases[] = {{"-1", 6}, {"0", 0}, {"4", 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ammo);
        Rules(std::string("Gun_PjtThrower_0_ammo ") + c.ammo + ";\nGun_PjtThrower_0_FireDelay 0;\n");
        Init();
        MakeReady();
        Launches().clear();
        int volleys = 0;
        for (int i = 0; i < 6; ++i) volleys += PjtThrower_fire(&w, nullptr, nullptr);
        EXPECT_EQ(volleys, c.volleys);
        PjtThrower_free(&w);
        for (int i = 0; i < rounds->count; ++i) DeactivateConstruct(rounds->constructs[i]);
        ClearQZEvents();
        for (int i = 0; i < rounds->count; ++i) rounds->constructs[i]->flags &= ~kConEventPending;
    }
}

TEST_F(Thrower, SalvosPauseForTheSalvoDelay) {
    Rules("Gun_PjtThrower_0_SalvoShots 3;\nGun_PjtThrower_0_SalvoDelay 100;\n");
    Init();
    const std::vector<int> fired = Hold(300);
    // The first salvo ends after one volley (the salvo delay had not run out once), then three volleys
    // ten ticks apart, then a hundred ticks without one.
    ASSERT_GE(fired.size(), 5u);
    EXPECT_EQ(fired[0], 10);
    EXPECT_EQ(fired[1], 110);
    EXPECT_EQ(fired[2], 120);
    EXPECT_EQ(fired[3], 130);
    EXPECT_EQ(fired[4], 230);
    uint32_t status[kWeaponStatusWords] = {};
    PjtThrower_status(&w, status);
    float rate;
    std::memcpy(&rate, &status[3], sizeof rate);
    EXPECT_FLOAT_EQ(rate, 3 * 100.0f / (10 * 3 + 100));
}

TEST_F(Thrower, WeaponsThatMustNotFireOrDivide) {
    struct Case {
        const char* what;
        const char* rules;
        int fires;   // 1 when the first fire throws
        float rate;  // volleys per second reported
    };
    const Case cases[] = {
        // No muzzle: nothing to take the round robin modulo; never ready.
        {"no muzzles", "Gun_PjtThrower_0_MuzzleNo 0;\n", 0, 10.0f},
        {"negative muzzle count", "Gun_PjtThrower_0_MuzzleNo -3;\n", 0, 10.0f},
        // A delay of 0 fires every tick: one hundred volleys a second, no division by zero.
        {"fire delay 0", "Gun_PjtThrower_0_FireDelay 0;\n", 1, 100.0f},
        {"salvo delays adding up to 0", "Gun_PjtThrower_0_FireDelay 0;\nGun_PjtThrower_0_SalvoShots 2;\n"
                                        "Gun_PjtThrower_0_SalvoDelay 0;\n", 1, 200.0f},
        {"salvo delays below 0", "Gun_PjtThrower_0_FireDelay 0;\nGun_PjtThrower_0_SalvoShots 2;\n"
                                 "Gun_PjtThrower_0_SalvoDelay -5;\n", 1, 200.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rules(c.rules);
        Init();
        MakeReady();
        EXPECT_EQ(PjtThrower_fire(&w, nullptr, nullptr), c.fires);
        EXPECT_FLOAT_EQ(PjtThrower_volleysPerSecond(&w), c.rate);
        PjtThrower_free(&w);
    }
    // A tick of 0 ticks still counts one, so the delays always run out.
    Rules("");
    Init();
    PjtThrower_tick(&w, 0);
    EXPECT_EQ(w.fireDelayCounter, 9);
}

TEST_F(Thrower, AnEmptyPoolStillCountsAsAVolley) {
    Rules("Gun_PjtThrower_0_ammo 5;\nGun_PjtThrower_0_ShellCaseEject 10 20 30 1;\n");
    Init();
    for (int i = 0; i < rounds->count; ++i) ActivateConstruct(rounds->constructs[i]);
    MakeReady();
    EXPECT_EQ(PjtThrower_fire(&w, nullptr, nullptr), 1);
    EXPECT_TRUE(Launches().empty());
    EXPECT_EQ(w.ammo, 5);
    EXPECT_EQ(w.fireDelayCounter, 10);
    EXPECT_EQ(w.lastProjectile, nullptr);
    EXPECT_EQ(w.muzzleCursor, 0);
    EXPECT_EQ(NewCases({}).size(), 1u);  // the case still leaves
    // Muzzles combined 0: nothing thrown, still a volley.
    Rules("Gun_PjtThrower_0_MuzzlesCombined 0;\n");
    PjtThrower_free(&w);
    Init();
    MakeReady();
    EXPECT_EQ(PjtThrower_fire(&w, nullptr, nullptr), 1);
    EXPECT_EQ(w.fireDelayCounter, 10);
}

TEST_F(Thrower, TheFirstOfTwoMuzzlesEjectsItsCaseMirrored) {
    Rules("Gun_PjtThrower_0_ShellCaseEject 700 20 30 3;\nGun_PjtThrower_0_FireDelay 0;\n");
    Init();
    MakeReady();
    PjtThrower_fire(&w, nullptr, nullptr);  // muzzle 0: the cursor now stands at 1
    const std::vector<construct*> first = NewCases({});
    PjtThrower_fire(&w, nullptr, nullptr);  // muzzle 1
    const std::vector<construct*> second = NewCases(first);
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(second.size(), 1u);
    construct* c0 = first[0];
    construct* c1 = second[0];
    EXPECT_EQ(c0->pos[0], part->pos[0] - 700);
    EXPECT_EQ(c1->pos[0], part->pos[0] + 700);
    const auto* r0 = static_cast<const ShellCaseRecord*>(c0->itfcData);
    const auto* r1 = static_cast<const ShellCaseRecord*>(c1->itfcData);
    EXPECT_EQ(r0->mark, 250);
    EXPECT_EQ(r0->velocity[0], -3 * 32768 * 20);
    EXPECT_EQ(r1->velocity[0], 3 * 32768 * 20);
    EXPECT_EQ(r1->velocity[1], 32768 * 20);
    EXPECT_EQ(c0->effectPhase, 255);
}

TEST_F(Thrower, CopyTakesTheStateAndRestartsTheMuzzles) {
    Rules("Gun_PjtThrower_0_ammo 9;\n");
    Init();
    PjtThrower src = w;
    src.ammo = 4;
    src.fireDelayCounter = 7;
    src.muzzleCursor = 1;
    src.speed = 1234;
    src.muzzles = nullptr;
    w.muzzleCursor = 1;
    PjtThrower_copy(&w, &src);
    EXPECT_EQ(w.ammo, 4);
    EXPECT_EQ(w.fireDelayCounter, 7);
    EXPECT_EQ(w.speed, 1234);
    EXPECT_EQ(w.muzzleCursor, 0);
    EXPECT_NE(w.muzzles, nullptr);  // its own muzzles stay
}

TEST_F(Thrower, StatusWordsByKind) {
    struct Case {
        const char* what;
        const char* rules;
        uint32_t words[8];  // words 0..7; word 3 is checked as a float separately
    };
    const Case cases[] = {
        {"straight", "", {0, 2, 0, 0, 100, 200, 300, 4000}},
        {"ballistic", "Gun_PjtThrower_0_gravity 15;\nGun_PjtThrower_0_ammo 20;\n", {1, 2, 1, 0, 4000, 15, 0, 0}},
        {"guided", "Gun_PjtThrower_0_TurnRate 1;\nGun_PjtThrower_0_gravity 15;\n", {2, 2, 0, 0, 4000, 100, 200, 300}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rules(c.rules);
        Init();
        uint32_t status[kWeaponStatusWords] = {};
        PjtThrower_status(&w, status);
        for (int i = 0; i < 8; ++i)
            if (i != 3) {
                EXPECT_EQ(status[i], c.words[i]) << "word " << i;
            }
        float rate, counter;
        std::memcpy(&rate, &status[3], sizeof rate);
        std::memcpy(&counter, &status[12], sizeof counter);
        EXPECT_FLOAT_EQ(rate, 10.0f);
        EXPECT_EQ(status[10], 32768u);  // the weapon part's forward axis
        EXPECT_EQ(static_cast<int32_t>(status[11]), w.ammo);
        EXPECT_FLOAT_EQ(counter, 10.0f);
        PjtThrower_free(&w);
    }
}

}  // namespace
