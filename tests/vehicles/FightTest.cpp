// Fights on the demo island, end to end: a jeep whose gun is loaded with rockets locks on a G.A. jeep
// and fires; the rocket homes and strikes, its burst hurts once, the jeep dies, explodes, burns and
// smokes, throws shards that settle and fragments that rest, sink and free themselves, and leaves its
// wreck. The jeeps raise dust while they drive. A snapshot with the camera on the fight shows the fire
// and the smoke.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "DemoLevel.h"
#include "core/Fix3D.h"
#include "objects/EffectBlocks.h"
#include "objects/EffectTypes.h"
#include "objects/Projectile.h"
#include "objects/SharedPools.h"
#include "objects/UnitShare.h"
#include "render/View.h"
#include "render/Viewport.h"
#include "support/Bmp24.h"
#include "tools/datakit/RulesText.h"
#include "vehicles/types/DeadBody.h"
#include "vehicles/types/EMAJeep.h"
#include "game/Level_local.h"
#include "render/Snapshot.h"
#include "world/Terrain.h"

namespace kvtest {
namespace {

EMAJeepBlock* Jeep(construct* con) { return static_cast<EMAJeepBlock*>(con->itfcData); }

int Active(SharedPoolId id) {
    ConstructPool* p = SharedPool(id);
    int n = 0;
    for (int i = 0; p && i < p->count; ++i) n += (p->constructs[i]->flags & kConActive) ? 1 : 0;
    return n;
}

class Fight : public DemoLevel {
public:
    Fight() { width_ = 320, height_ = 240; }
    // The level starts with the satellite camera framing the task force from far out; the fights are
    // watched from the camera's own distance close by.
    void SetUp() override {
        DemoLevel::SetUp();
        CallItfc(SatCamera, ItfcMethod::ATTACH, 0);
        CallItfc(SatCamera, ItfcMethod::PLACE, 0);
    }

    // The main view through the frame loop's snapshot step, read back from the file it wrote (and kept
    // as <name>.bmp in the tree's snapshot folder for a look).
    std::vector<uint32_t> Snapshot(const char* keep) const {
        for (int i = 0; i < 4; ++i) UpdateViewPortCamera(MainViewPort, 1);
        const int number = TakeSnapshot([] { RenderAllViews(); });
        char name[64];
        std::snprintf(name, sizeof name, "Snapshots/sd%08d.bmp", number);
        int w = 0, h = 0;
        std::vector<uint32_t> rgb;
        EXPECT_TRUE(ReadBmp24(DemoTree() + "/" + name, &w, &h, &rgb)) << name;
        // KV_SNAPSHOT_DIR keeps the picture for a look after the run (the tree goes with the program).
        const char* dir = std::getenv("KV_SNAPSHOT_DIR");
        const std::string kept = std::string(dir && *dir ? dir : (DemoTree() + "/Snapshots").c_str()) + "/" + keep + ".bmp";
        std::filesystem::copy_file(DemoTree() + "/" + name, kept, std::filesystem::copy_options::overwrite_existing);
        return rgb;
    }
    // The camera on the fight: attached to one unit, framing the other as well.
    static void Watch(construct* a, construct* b) {
        CallItfc(SatCamera, ItfcMethod::ATTACH, reinterpret_cast<uintptr_t>(a));
        if (b) CallItfc(SatCamera, ItfcMethod::ADDTARGET, reinterpret_cast<uintptr_t>(b));
    }
    // Places a unit at a point of the ground, facing along (dx, dz).
    static void Stand(construct* unit, int32_t x, int32_t z, double heading) {
        unit->pos[0] = x;
        unit->pos[2] = z;
        unit->pos[1] = GroundHeight(CurrentMatrix, unit->pos, 0, 0, nullptr) + 2000;
        const int32_t s = int32_t(std::sin(heading) * 32767), c = int32_t(std::cos(heading) * 32767);
        const int32_t m[9] = {c, 0, -s, 0, 32767, 0, s, 0, c};
        std::memcpy(unit->orient, m, sizeof m);
        std::memcpy(Jeep(unit)->head.unit.lastPos, unit->pos, sizeof unit->pos);
        CallItfc(unit, ItfcMethod::GROUNDCHANGED);
    }
};

// Pixels of a picture that look like fire (bright, red above green above blue) or like smoke (grey, not
// the sky's blue).
int FirePixels(const std::vector<uint32_t>& rgb) {
    int n = 0;
    for (uint32_t p : rgb) {
        const int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
        n += (r > 180 && r > g + 40 && g > b + 20) ? 1 : 0;
    }
    return n;
}

int Differing(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    int n = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) n += a[i] != b[i];
    return n;
}

TEST_F(Fight, ARocketHomesStrikesOnceWithItsBurstAndTheJeepBurnsDiesAndThrowsShards) {
    construct* shooter = UnitsOf("EMA_TaskForce")[0];
    construct* victim = UnitsOf("GA_Outpost")[0];
    EMAJeepBlock* s = Jeep(shooter);
    EMAJeepBlock* v = Jeep(victim);
    // The two on the E.M.A. base's flat ground, 120000 apart, the shooter facing the victim.
    const mkdemo::DemoPlace base = mkdemo::DemoIslandPlace("ema_base");
    Stand(shooter, base.x - 60000, base.z, M_PI / 2);
    Stand(victim, base.x + 60000, base.z + 20000, -M_PI / 2);
    // The others stay out of it.
    for (construct* other : {UnitsOf("EMA_TaskForce")[1], UnitsOf("GA_Outpost")[1]})
        CallItfc(other, ItfcMethod::UNPLACE, reinterpret_cast<uintptr_t>(other->pos));
    Drive(shooter);
    // The victim stands still under the same empty records (its clan's AI would send it on patrol).
    Drive(victim);
    s->head.state.structure = s->head.maxima.structure = 5000;
    // The shooter's gun throws rockets: its pool rule names "Rocket" and it turns toward its target.
    ASSERT_TRUE(datakit::WriteRulesText(DemoTree() + "/rocketgun.txt",
                                        "EMAJeep_PjtThrower_0_pool \"Rocket\";\n"
                                        "EMAJeep_PjtThrower_0_range 2000 150000 400000;\n"
                                        "EMAJeep_PjtThrower_0_speed 3000;\n"
                                        "EMAJeep_PjtThrower_0_acceleration 200;\n"
                                        "EMAJeep_PjtThrower_0_TurnRate 2000;\n"
                                        "EMAJeep_PjtThrower_0_ImpactStructure 60;\n"
                                        "EMAJeep_PjtThrower_0_ImpactShield 15;\n"
                                        "EMAJeep_PjtThrower_0_FireDelay 60;\nend\n"));
    ReadRules("rocketgun.txt");
    PjtThrower_free(&s->weapon0);
    PjtThrower_init(&s->weapon0, shooter, shooter->subs[0], 0, 1.0f);
    ASSERT_EQ(s->weapon0.pool, SharedPool(SharedPoolId::Rocket));
    Watch(shooter, victim);

    // It locks on the victim (set here as the unit record's lock-on would leave it).
    UnitShare* rec = &s->head.unit;
    Run(80, ControlInput{});
    rec->lockTarget = victim;
    rec->locked = 1;
    // The first rocket: it marks the victim as chased, homes and strikes; its burst hurts once.
    const int32_t shield = v->head.state.shield, structure = v->head.state.structure;
    ASSERT_EQ(PjtThrower_fire(&s->weapon0, victim, rec->velocity), 1);
    construct* rocket = s->weapon0.lastProjectile;
    ASSERT_NE(rocket, nullptr);
    Step(ControlInput{});
    EXPECT_EQ(v->head.unit.missileCount, 1);
    double before = 1e18;
    int flight = 0;
    while ((rocket->flags & kConActive) && flight < 400) {
        const double d = std::hypot(double(victim->pos[0]) - rocket->pos[0], double(victim->pos[2]) - rocket->pos[2]);
        EXPECT_LE(d, before + 4000) << "it closes in, tick " << flight;
        before = d;
        Step(ControlInput{});
        ++flight;
        // A look at the rocket in flight with its smoke trail.
        if (flight == 25) {
            Watch(rocket, nullptr);
            Snapshot("fight_rocket_flight");
            Watch(shooter, victim);
        }
    }
    ASSERT_FALSE(rocket->flags & kConActive) << "it struck";
    EXPECT_EQ(v->head.unit.missileCount, 0);
    EXPECT_EQ(Active(SharedPoolId::MExplode), 1);
    Run(40, ControlInput{});
    // The rocket's 15 and the burst's 15 off the shield, once each; 60 off the structure.
    EXPECT_EQ(v->head.state.shield, shield - 30);
    EXPECT_EQ(v->head.state.structure, structure - 60);

    // The second kills it: it explodes, catches fire and smokes as a wreck, and throws its pieces.
    const int wrecks = DeadBodyPool->count;
    for (int i = 0; i < 300 && !v->head.dead; ++i) {
        if (PjtThrower_ready(&s->weapon0)) PjtThrower_fire(&s->weapon0, victim, rec->velocity);
        Step(ControlInput{});
    }
    ASSERT_EQ(v->head.dead, 1u);
    ASSERT_EQ(DeadBodyPool->count, wrecks + 1);
    construct* wreck = DeadBodyPool->constructs[DeadBodyPool->count - 1];
    EXPECT_EQ(FragPool->count, 4) << "the rule's four fragments";
    std::vector<construct*> owned(v->head.unit.owned.list, v->head.unit.owned.list + v->head.unit.owned.count);
    EXPECT_EQ(owned.size(), 3u);
    // A look at the blast: the fireball and the shock ring over the wreck.
    CallItfc(SatCamera, ItfcMethod::ATTACH, reinterpret_cast<uintptr_t>(wreck));
    Run(12, ControlInput{});
    EXPECT_GT(Active(SharedPoolId::Shockwave), 0);
    Snapshot("fight_rocket_blast");
    Run(108, ControlInput{});
    EXPECT_GT(Active(SharedPoolId::Explode1), 0);
    EXPECT_GT(Active(SharedPoolId::Fire1), 0);
    EXPECT_GT(Active(SharedPoolId::Smoky), 0);

    // The snapshot after the fight: fire and smoke over the wreck. Without the effects the view differs.
    CallItfc(SatCamera, ItfcMethod::ATTACH, reinterpret_cast<uintptr_t>(wreck));
    for (int i = 0; i < 40; ++i) {
        Step(ControlInput{});
        UpdateViewPortCamera(MainViewPort, 1);
    }
    const std::vector<uint32_t> with = Snapshot("fight_rocket");
    std::vector<construct*> hidden;
    for (SharedPoolId id : {SharedPoolId::Explode1, SharedPoolId::Fire1, SharedPoolId::Smoky, SharedPoolId::Shockwave,
                            SharedPoolId::Shrapnel, SharedPoolId::Firetail, SharedPoolId::MExplode}) {
        ConstructPool* p = SharedPool(id);
        for (int i = 0; i < p->count; ++i)
            if (p->constructs[i]->flags & kConActive) {
                DeactivateConstruct(p->constructs[i]);
                hidden.push_back(p->constructs[i]);
            }
    }
    const std::vector<uint32_t> without = Snapshot("fight_rocket_without_effects");
    for (construct* c : hidden) ActivateConstruct(c);
    EXPECT_GT(FirePixels(with), 50);
    EXPECT_GT(Differing(with, without), 1500);

    // The pieces: the owned ones settle for good; the fragments rest, sink and are freed.
    int rest = 0;
    while (FragPool->count > 0 && rest < 4000) {
        Step(ControlInput{});
        ++rest;
    }
    EXPECT_EQ(FragPool->count, 0) << "after " << rest << " ticks";
    for (construct* piece : owned) {
        EXPECT_TRUE(piece->flags & kConSettled);
        EXPECT_TRUE(piece->flags & kConActive);
        EXPECT_NEAR(piece->pos[1], GroundHeight(CurrentMatrix, piece->pos, 0, 0, nullptr), 4000);
    }
    EXPECT_EQ(DeadBodyPool->constructs[DeadBodyPool->count - 1], wreck) << "the wreck stays";
}

// A jeep drives at a G.A. jeep firing its gun: dust rises behind it, the gun ejects its cases, its
// bullets flash on the other's shield and splash on the ground. A snapshot with the camera on the two shows it.
TEST_F(Fight, BulletsFlashOnAShieldAndSplashAndTheJeepRaisesDust) {
    construct* shooter = UnitsOf("EMA_TaskForce")[0];
    construct* victim = UnitsOf("GA_Outpost")[0];
    const mkdemo::DemoPlace base = mkdemo::DemoIslandPlace("ema_base");
    Stand(shooter, base.x - 70000, base.z, M_PI / 2);
    Stand(victim, base.x + 20000, base.z, -M_PI / 2);
    for (construct* other : {UnitsOf("EMA_TaskForce")[1], UnitsOf("GA_Outpost")[1]})
        CallItfc(other, ItfcMethod::UNPLACE, reinterpret_cast<uintptr_t>(other->pos));
    Drive(shooter);
    Watch(victim, shooter);
    Run(20, ControlInput{});
    int flashes = 0, splashes = 0, dust = 0, cases = 0;
    for (int t = 0; t < 90; ++t) {
        Step(Keys({kKeyThrust1, kKeyFire1}));
        flashes = std::max(flashes, Active(SharedPoolId::ShieldHit));
        splashes = std::max(splashes, Active(SharedPoolId::BulletSplash));
        dust = std::max(dust, Active(SharedPoolId::Dust));
        cases = std::max(cases, Active(SharedPoolId::ShellCase));
    }
    EXPECT_GT(flashes, 0) << "bullets on the shield";
    EXPECT_GT(splashes, 0);
    EXPECT_GT(dust, 0);
    EXPECT_GT(cases, 0) << "the gun ejects its cases";
    const std::vector<uint32_t> with = Snapshot("fight_bullets");
    std::vector<construct*> hidden;
    for (SharedPoolId id : {SharedPoolId::ShieldHit, SharedPoolId::BulletSplash, SharedPoolId::HitSpark,
                            SharedPoolId::Dust, SharedPoolId::Fragment}) {
        ConstructPool* p = SharedPool(id);
        for (int i = 0; i < p->count; ++i)
            if (p->constructs[i]->flags & kConActive) {
                DeactivateConstruct(p->constructs[i]);
                hidden.push_back(p->constructs[i]);
            }
    }
    const std::vector<uint32_t> without = Snapshot("fight_bullets_without_effects");
    for (construct* c : hidden) ActivateConstruct(c);
    EXPECT_GT(Differing(with, without), 300);
}

// Driving jeeps raise dust behind their rear wheels only while the level's "DustEmission" is on.
TEST_F(DemoLevel, DrivingJeepsRaiseDustOnlyWithDustEmission) {
    construct* jeep = UnitsOf("EMA_TaskForce")[0];
    Drive(jeep);
    Run(40, ControlInput{});
    ASSERT_EQ(CurrentLevel.dustEmission, 1.0f) << "the demo mission's rule";
    CurrentLevel.dustEmission = 0;
    Run(60, Keys({kKeyThrust1}));
    EXPECT_EQ(Active(SharedPoolId::Dust), 0);
    CurrentLevel.dustEmission = 1;
    Run(60, Keys({kKeyThrust1}));
    // Two wheels every sixth update of the drive (the jeep is ticked every second tick).
    EXPECT_GE(Active(SharedPoolId::Dust), 8);
    ConstructPool* dust = SharedPool(SharedPoolId::Dust);
    for (int i = 0; i < dust->count; ++i) {
        construct* puff = dust->constructs[i];
        if (!(puff->flags & kConActive)) continue;
        EXPECT_EQ(std::memcmp(PjtFirstBBoard(puff)->colour, CurrentLevel.dustColour, 3), 0);
        EXPECT_EQ(static_cast<const DustBlock*>(puff->itfcData)->growth, CurrentLevel.dustScale) << "a small emitter";
        break;
    }
}

}  // namespace
}  // namespace kvtest
