// Scenery and lanterns: the lantern's ramp and its parameter block from an action unit, the scenery light
// and its brightness, detail levels, the reactions of MultiScenery (swing, bend, fall, break), a missing
// scenery height field, and copies of a preloaded instance.
#include <cmath>
#include <string>

#include "ElementFixtures.h"
#include "ai/AUDef.h"
#include "ai/Clan.h"
#include "core/Fix3D.h"
#include "objects/SharedPools.h"
#include "tools/datakit/WorldFile.h"
#include "world/Terrain.h"

namespace kvtest {
namespace {

constexpr int32_t kTile = 65536;
constexpr uint32_t kSuperForce = 0x40000000;

class Scenery : public ElementWorld {
protected:
    static elements::MultiSceneryBlock* Data(construct* con) {
        return static_cast<elements::MultiSceneryBlock*>(con->itfcData);
    }
    // How far the tip (7000 up the part) stands above the ground under it.
    static int32_t TipClearance(const construct* con) {
        const FixVec tip{0, 7000, 0};
        FixVec w;
        RotateVecT(&w, reinterpret_cast<const FixMatrix*>(con->orient), &tip);
        const int32_t p[3] = {con->pos[0] + w.x, con->pos[1] + w.y, con->pos[2] + w.z};
        return p[1] - InterpGroundHeight(CurrentMatrix, p, nullptr);
    }
    // Ticks until it stops moving (at most limit ticks); the ticks it took.
    static int Settle(construct* con, int limit = 400) {
        int n = 0;
        while (Data(con)->moving && n < limit) {
            Ticks(con, 1);
            ++n;
        }
        return n;
    }
};

TEST_F(Scenery, ALanternRunsThroughItsRampIn256Ticks) {
    construct* lamp = Make(Lantern_itfc, Entry("Lamp", "none"));
    Place(lamp, 2 * kTile, 2 * kTile);
    auto* l = static_cast<elements::LanternBlock*>(lamp->itfcData);
    EXPECT_EQ(lamp->busyLevel, kLanternBusyLevel);
    EXPECT_TRUE(IsActiveLight(l->light));
    EXPECT_EQ(l->light->kind, 18);
    std::vector<int32_t> red;
    for (int i = 0; i < 257; ++i) {
        Ticks(lamp, 1);
        red.push_back(l->light->colour[0]);
        EXPECT_EQ(l->light->colour[1], red.back());
    }
    EXPECT_EQ(red[0], 2040) << "white";
    EXPECT_EQ(red[128], 8 * (255 - 128));
    EXPECT_EQ(red[255], 0) << "black after 256 ticks";
    EXPECT_EQ(red[256], 2040) << "and back to white";
    CallItfc(lamp, ItfcMethod::UNPLACE, 0);
    EXPECT_FALSE(IsActiveLight(l->light));
    EXPECT_EQ(CallItfc(lamp, ItfcMethod::GETUNIT), 0u);
}

// The parameter block comes from the action unit's entry; a block shorter than the record is read as if
// padded with zeros (never past its end).
TEST_F(Scenery, ALanternTakesItsParametersFromTheActionUnit) {
    Unit* lamp = Entry("Lamp", "none");
    lamp->itfc = Lantern_itfc;
    CreateClan("EMA");
    AbstractClanMap[0] = ClanTable[0];
    datakit::WorldAUDef def;
    def.name = "lights";
    datakit::WorldAUUnit full, cut;
    full.type = cut.type = "Lamp";
    full.place = {2 * kTile, 0, 2 * kTile, 0, 0, 0};
    cut.place = {3 * kTile, 0, 3 * kTile, 0, 0, 0};
    std::vector<uint8_t> params(kLanternParamsSize, 0);
    params[8] = 10;  // start
    params[9] = 3;   // light type
    params[10] = 2;  // step
    for (int i = 0; i < 256; ++i) params[size_t(kLanternRampOffset + 3 * i)] = uint8_t(i);
    full.data = params;
    cut.data = std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 7, 5, 4, 200};
    def.lists[0] = {full, cut};
    AUDef* au = CreateAUDef();
    const std::vector<uint8_t> body = datakit::AUDefBody(def);
    ReadAUDefBody(au, 7, body.data(), body.size(), "test");
    AUDef_itfc(au, ItfcMethod::CREATE);
    AUDef_itfc(au, ItfcMethod::PLACE);
    FlushQZEvents();
    ASSERT_EQ(au->pool->count, 2);
    construct* a = au->pool->constructs[0];
    construct* b = au->pool->constructs[1];
    auto* la = static_cast<elements::LanternBlock*>(a->itfcData);
    auto* lb = static_cast<elements::LanternBlock*>(b->itfcData);
    EXPECT_EQ(la->light->kind, 3);
    Ticks(a, 1);
    EXPECT_EQ(la->light->colour[0], 8 * 10) << "the ramp from the start index";
    Ticks(a, 1);
    EXPECT_EQ(la->light->colour[0], 8 * 12) << "two steps a tick";
    EXPECT_EQ(lb->start, 7);
    EXPECT_EQ(lb->light->kind, 5);
    EXPECT_EQ(lb->step, 4);
    EXPECT_EQ(lb->ramp[0][0], 200) << "the first colour the cut block holds";
    EXPECT_EQ(lb->ramp[0][1], 0) << "and zeros after its end";
    DeleteAUDef(au);
    while (ClanCount > 0) DeleteClan(ClanTable[0]);
    std::memset(AbstractClanMap, 0, sizeof AbstractClanMap);
}

TEST_F(Scenery, TheSceneryLightFollowsTheLightLevel) {
    Unit* crate = Entry("Crate", "scen/crate");
    construct* con = Make(Scenery_itfc, crate);
    auto* s = static_cast<elements::SceneryBlock*>(con->itfcData);
    ASSERT_NE(s->lit.light, nullptr) << "the object file's light";
    EXPECT_NE(con->lod[1], con->lod[0]) << "detail level 1 from the file with one degree sign";
    EXPECT_EQ(con->lod[2], con->lod[0]) << "no file with two: level 0's";
    Place(con, 2 * kTile + 100, 2 * kTile + 100);
    EXPECT_TRUE(con->flags & kConActive);
    EXPECT_TRUE(IsInConstructPool(con, FindConstructPool("scenery lighting")));
    EXPECT_FALSE(IsActiveLight(s->lit.light)) << "on only with the light level";
    EXPECT_EQ(con->pos[1], GroundHeight(CurrentMatrix, con->pos, 0, 1, nullptr));
    const struct {
        int level;
        bool on;
    } steps[] = {{255, true}, {16, true}, {15, false}, {200, true}};
    for (const auto& st : steps) {
        CallItfc(con, ItfcMethod::SETBRIGHTNESS, uintptr_t(st.level));
        EXPECT_EQ(IsActiveLight(s->lit.light) != 0, st.on) << st.level;
        EXPECT_EQ(s->lit.light->colour[0], 255 * st.level / 16) << st.level;
        EXPECT_EQ(s->lit.light->colour[2], 64 * st.level / 16) << st.level;
    }
    // Under a top tile field the light is on from the start and stays on.
    TopTileFieldPresent = 1;
    construct* cave = Make(Scenery_itfc, Entry("CaveCrate", "scen/crate"));
    Place(cave, 3 * kTile, 3 * kTile);
    auto* c = static_cast<elements::SceneryBlock*>(cave->itfcData);
    EXPECT_TRUE(IsActiveLight(c->lit.light));
    CallItfc(cave, ItfcMethod::SETBRIGHTNESS, 15);
    EXPECT_TRUE(IsActiveLight(c->lit.light));
    TopTileFieldPresent = 0;
    // Unplaced, its light goes out and it leaves the pool.
    CallItfc(con, ItfcMethod::UNPLACE, 0);
    EXPECT_FALSE(IsActiveLight(s->lit.light));
    EXPECT_FALSE(IsInConstructPool(con, FindConstructPool("scenery lighting")));
    EXPECT_FALSE(con->flags & kConActive);
    EXPECT_EQ(reinterpret_cast<const StateRecord*>(CallItfc(con, ItfcMethod::GETSTATE))->structure, 0);
}

TEST_F(Scenery, ATreeSwingsBackAndAHitWhileItMovesOnlyDamagesIt) {
    AddRules("Tree_resistance \"swing\" \"swing\";\n");
    construct* tree = Make(MultiScenery_itfc, Entry("Tree", "scen/tree"));
    Place(tree, 2 * kTile + 3000, 2 * kTile + 3000, 40000);
    elements::MultiSceneryBlock* t = Data(tree);
    int32_t standing[9];
    std::memcpy(standing, tree->orient, sizeof standing);
    EXPECT_EQ(t->footprintBits, 12u) << "both resistances stand";
    EXPECT_EQ(Get<DamageRecord>(tree, ItfcMethod::GETDAMAGE)->shield, 0) << "scenery deals no shield damage";
    Unit* jeep = Entry("Jeep", "none");
    Striker ram(jeep, DamageRecord{40, 0, 3});
    SoundCount sound(&t->resistance[0].sound);
    ram.Strike(tree, tree->pos[0] + 8000, tree->pos[1], tree->pos[2]);
    EXPECT_EQ(sound.Take(), 1);
    EXPECT_EQ(t->moving, 1);
    EXPECT_TRUE(elements::BusyOrPending(tree));
    Ticks(tree, 1);
    EXPECT_FLOAT_EQ(t->angle, 0.6f);
    EXPECT_NE(std::memcmp(standing, tree->orient, sizeof standing), 0) << "it leans";
    ram.Strike(tree, tree->pos[0] - 8000, tree->pos[1], tree->pos[2]);
    EXPECT_EQ(sound.Take(), 0) << "a tree that moves does not start again";
    EXPECT_FLOAT_EQ(t->angle, 0.6f);
    EXPECT_EQ(Get<StateRecord>(tree, ItfcMethod::GETSTATE)->structure, 1000000 - 6);
    const int ticks = Settle(tree);
    EXPECT_LT(ticks, 400) << "it comes to rest";
    EXPECT_LT(std::fabs(t->angle), 0.01f);
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(tree->orient[i], standing[i], 400) << i;
    EXPECT_FALSE(elements::BusyOrPending(tree)) << "it stops ticking";
}

TEST_F(Scenery, AMastBendsOnceInItsWindowAndStaysBent) {
    AddRules("Mast_resistance \"bend\" \"bend\";\n");
    construct* mast = Make(MultiScenery_itfc, Entry("Mast", "scen/tree"));
    Place(mast, 2 * kTile, 2 * kTile);
    elements::MultiSceneryBlock* m = Data(mast);
    Unit* jeep = Entry("Jeep", "none");
    Striker ram(jeep, DamageRecord{40, 0, 0});
    SoundCount sound(&m->resistance[0].sound);
    FrameCounter += 300;
    ram.Strike(mast, mast->pos[0], mast->pos[1], mast->pos[2] + 8000);
    EXPECT_EQ(sound.Take(), 1);
    Ticks(mast, 2);
    const float after2 = m->angle;
    ram.Strike(mast, mast->pos[0], mast->pos[1], mast->pos[2] + 8000);
    EXPECT_EQ(sound.Take(), 0) << "twice within 200 ticks: one sound";
    Settle(mast);
    EXPECT_GT(m->angle, after2) << "the first bend runs on, not started again";
    EXPECT_NEAR(m->angle, 1.0f / 0.6f, 0.01f) << "bent to kick / (1 - damping)";
    EXPECT_FALSE(m->moving);
}

TEST_F(Scenery, AFallingPoleComesToRestLyingOnTheGround) {
    AddRules("Pole_resistance \"fall\" \"fall\";\n");
    construct* pole = Make(MultiScenery_itfc, Entry("Pole", "scen/pole", kKlassScenHF1, kSuperForce));
    Place(pole, 3 * kTile + 2000, 3 * kTile + 2000);
    elements::MultiSceneryBlock* p = Data(pole);
    EXPECT_EQ(p->footprintBits, 0u) << "a fallen pole blocks nothing";
    EXPECT_TRUE(pole->flags & kSuperForce);
    EXPECT_GT(TipClearance(pole), 6900);
    Unit* jeep = Entry("Jeep", "none");
    Striker ram(jeep, DamageRecord{40, 0, 0});
    ram.Strike(pole, pole->pos[0] - 8000, pole->pos[1], pole->pos[2]);
    const int ticks = Settle(pole);
    EXPECT_LT(ticks, 400);
    EXPECT_FALSE(p->moving);
    const int32_t tip = TipClearance(pole);
    EXPECT_GE(tip, 1250) << "the tip rests on the ground, never below";
    EXPECT_LT(tip, 1600);
    EXPECT_GT(p->angle, 5.0f) << "lying";
    EXPECT_FALSE(pole->flags & kSuperForce);
    EXPECT_FALSE(elements::BusyOrPending(pole));
    EXPECT_TRUE(OnTiles(pole)) << "it lies where it fell";
}

TEST_F(Scenery, AFenceBreaksAndAWreckTakesItsPlace) {
    AddRules("Fence_resistance \"break\" \"break\";\nMast_resistance \"break\" \"break\";\nMast_addons \"deadbody\";\n");
    construct* fence = Make(MultiScenery_itfc, Entry("Fence", "scen/tree"));
    construct* mast = Make(MultiScenery_itfc, Entry("Mast", "scen/mast"));
    Place(fence, 2 * kTile, 2 * kTile);
    Place(mast, 4 * kTile, 2 * kTile);
    Geom* wreck = Data(mast)->wreck->lod[0];
    Unit* jeep = Entry("Jeep", "none");
    Striker ram(jeep, DamageRecord{40, 0, 0});
    for (construct* con : {fence, mast}) ram.Strike(con, con->pos[0] + 8000, con->pos[1], con->pos[2]);
    EXPECT_EQ(Data(fence)->alive, 0);
    EXPECT_EQ(Data(mast)->alive, 0);
    EXPECT_FALSE(OnTiles(fence)) << "without a wreck it gives its place back";
    EXPECT_TRUE(OnTiles(mast));
    EXPECT_EQ(mast->lod[0], wreck);
    // A projectile does not meet the resistance: it only damages.
    construct* other = Make(MultiScenery_itfc, Entry("Fence", "scen/tree"));
    Place(other, 6 * kTile, 2 * kTile);
    Striker bullet(nullptr, DamageRecord{40, 0, 5});
    bullet.Strike(other, other->pos[0], other->pos[1] + 3000, other->pos[2]);
    EXPECT_EQ(Data(other)->alive, 1);
    EXPECT_EQ(Get<StateRecord>(other, ItfcMethod::GETSTATE)->structure, 1000000 - 5);
    Remove(mast);
    for (const StatLink& l : StatLinks) EXPECT_NE(l.stat, mast);
}

TEST_F(Scenery, WithoutAHeightFieldSceneryIsRefused) {
    Unit* bare = Entry("Bare", "scen/pole");
    try {
        Make(MultiScenery_itfc, bare);
        ADD_FAILURE() << "no fatal error";
    } catch (const FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(MultiScenery_itfc, scen/pole): no scenery hfield defined");
    }
}

TEST_F(Scenery, APreloadedInstanceIsCopiedWithALightOfItsOwn) {
    datakit::ObjectFile lamp = ElementBox(3, 20, 3, 9, 1);
    lamp.Light(0, Rgb{200, 200, 100}, 9, "");
    Write("scen/lamp", lamp);
    host::FlushDirectoryCache();
    PreloadedPool = CreateConstructPool(kPreloadedCapacity, "preloaded");
    construct* first = Make(MultiScenery_itfc, Entry("Lamp", "scen/lamp"));
    AppendNamedToConstructPool(PreloadedPool, first, "scen/lamp");
    construct* copy = Make(MultiScenery_itfc, Entry("Lamp2", "scen/lamp"));
    EXPECT_NE(copy, first);
    EXPECT_EQ(copy->itfc, MultiScenery_itfc);
    EXPECT_STREQ(copy->unit->name, "Lamp2");
    PointLight* a = Data(first)->lit.light;
    PointLight* b = Data(copy)->lit.light;
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(a->colour[0], b->colour[0]);
    EXPECT_NE(copy->hf, first->hf);
    Place(copy, 2 * kTile, 2 * kTile);
    CallItfc(copy, ItfcMethod::SETBRIGHTNESS, 255);
    EXPECT_TRUE(IsActiveLight(b));
    EXPECT_FALSE(IsActiveLight(a));
    RemoveFromConstructPool(PreloadedPool, first);
    DeleteConstructPool(PreloadedPool);
    PreloadedPool = nullptr;
}

}  // namespace
}  // namespace kvtest
