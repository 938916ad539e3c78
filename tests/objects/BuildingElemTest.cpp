// The building elements: kinds and placements (heading steps, structure, footprint), refused object
// files, strikes through the resistances, destruction with and without a wreck, the add-ons, and giving
// back the ground.
#include <cmath>
#include <string>

#include "ElementFixtures.h"
#include "ai/AIRecords.h"
#include "world/Terrain.h"

namespace kvtest {
namespace {

constexpr int32_t kTile = 65536;
constexpr uint32_t kLarge = 0x10000;

class BuildingElem : public ElementWorld {};

template <typename Fn>
std::string FatalText(Fn fn) {
    try {
        fn();
    } catch (const FatalExit& e) {
        return e.what();
    }
    return "";
}

TEST_F(BuildingElem, KindsAndPlacements) {
    AddRules("Depot_resistance \"rigid\" \"break\";\n"
             "Armed_impactphysical 50;\nArmed_impactshield 1;\nArmed_impactstructure 3;\n"
             "Armed_shield 100;\nArmed_energy 40;\nArmed_structure 500;\n");
    struct Case {
        const char* what;
        ItfcProc itfc;
        const char* name;
        const char* path;
        uint32_t extra;
        int32_t heading, strength;
        int32_t wantHeading, wantStructure, wantShield;
        uint8_t wantFootprint;       // 1: a quarter tile (9 x 9), 4: a whole tile (17 x 17)
        uint16_t wantFlagBits;       // on the sub-points under the building
        uint8_t wantAccessBits;
    } cases[] = {
        {"heading -1 is the third quarter turn", BaseElem_itfc, "Bunker", "bld/base9", 0, -1, 100, 308829, 1000000, 0, 1, 4096, 0},
        {"a full turn is none", BaseElem_itfc, "Bunker", "bld/base9", 0, 411774, 99, 0, 59, 0, 1, 4096, 0},
        {"strength 1", BaseElem_itfc, "Bunker", "bld/base9", 0, 102944, 1, 102943, 0, 0, 1, 4096, 0},
        {"a large bunker on a whole tile", LBaseElem_itfc, "LBunker", "bld/base17", kLarge, 205886 + 5, 100, 205886, 1000000, 0, 4, 4096, 0},
        {"a giant building fitted to the terrain", GiantElem_itfc, "Tower", "bld/base17", 0, 102943, 100, 102943, 1000000, 0, 1, 4096, 0},
        {"a fragment building", FragElem_itfc, "Hut", "bld/frag", 0, 0, 100, 0, 80, 0, 1, 4096, 0},
        {"rigid both ways", MultiElem_itfc, "Plain", "bld/multi9", 0, 0, 100, 0, 1000000, 0, 1, 4096, 0},
        {"breaks for vehicles", MultiElem_itfc, "Depot", "bld/multi9", 0, 0, 100, 0, 1000000, 0, 1, 0, 4},
        {"impact rules", MultiElem_itfc, "Armed", "bld/multi17", kLarge, 0, 50, 0, 500, 50, 4, 4096, 0},
    };
    int k = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        construct* con = Make(c.itfc, Entry(c.name, c.path, 0, c.extra));
        ASSERT_NE(con, nullptr);
        const int32_t x = (1 + 2 * (k % 3)) * kTile + 20000, z = (1 + 2 * (k / 3)) * kTile + 20000;
        ++k;
        const PlacementRecord p = Place(con, x, z, c.heading, c.strength);
        EXPECT_EQ(p.heading, c.wantHeading);
        EXPECT_EQ(p.y, INT32_MIN) << "the height is found from the ground";
        EXPECT_EQ(p.spare[1], 102943);
        const auto* state = Get<StateRecord>(con, ItfcMethod::GETSTATE);
        EXPECT_EQ(state->structure, c.wantStructure);
        EXPECT_EQ(state->shield, c.wantShield);
        EXPECT_EQ(Get<MaximaRecord>(con, ItfcMethod::GETMAXIMA)->structure, c.wantStructure);
        EXPECT_EQ(con->footprint, c.wantFootprint);
        EXPECT_EQ(Get<void>(con, ItfcMethod::GETUNIT), con->itfcData);
        EXPECT_TRUE(OnTiles(con));
        const SubPoint& sp = At(con->pos[0], con->pos[2]);
        EXPECT_EQ(sp.flags & 4096, c.wantFlagBits);
        EXPECT_EQ(sp.access & 4, c.wantAccessBits);
        // Standing on the footprint's highest ground (the building's own raised second surface).
        EXPECT_GT(con->pos[1], 0);
    }
}

TEST_F(BuildingElem, ObjectFilesTheTypesRefuse) {
    AddRules("Rotor_addons \"rotor\";\n");
    struct Case {
        ItfcProc itfc;
        const char* path;
        uint32_t extra;
        const char* name;
        std::string want;
    } cases[] = {
        {BaseElem_itfc, "bld/base17", 0, "B", "Error(BaseElem_itfc, bld/base17): HField must have width 9!"},
        {BaseElem_itfc, "bld/nohf", 0, "B", "Error(BaseElem_itfc, bld/nohf): want one HField!"},
        {LBaseElem_itfc, "bld/base9", kLarge, "B", "Error(LBaseElem_itfc, bld/base9): HField must have width 17!"},
        {MultiElem_itfc, "bld/multi9", kLarge, "B", "Error(MultiElem_itfc, bld/multi9): HField must have width 17!"},
        {MultiElem_itfc, "bld/multi17", 0, "B", "Error(MultiElem_itfc, bld/multi17): HField must have width 9!"},
        {MultiElem_itfc, "bld/base9", 0, "Rotor", "Error(MultiElem_itfc, bld/base9): missing addon"},
        {FragElem_itfc, "bld/frag17", 0, "B", "Error(FragElem_itfc bld/frag17): HField must have width 9!"},
        {GiantElem_itfc, "bld/nohf", 0, "B", "Error(GiantElem_itfc, bld/nohf): want one HField!"},
    };
    for (const Case& c : cases) {
        Unit* u = Entry(c.name, c.path, 0, c.extra);
        EXPECT_EQ(FatalText([&] { Make(c.itfc, u); }), c.want);
        FreeUnit(u);
    }
    // A giant building takes a height field of any width.
    EXPECT_NE(Make(GiantElem_itfc, Entry("Odd", "bld/base5")), nullptr);
}

TEST_F(BuildingElem, ResistancesABuildingCannotHave) {
    AddRules("Bent_resistance \"swing\" \"rigid\";\nOdd_resistance \"break\" \"rigid\";\nWho_resistance \"rigid\" \"bouncy\";\n");
    const struct {
        const char* name;
        std::string want;
    } cases[] = {
        {"Bent", "Error(MultiElem_itfc, 'bld/multi9'): I cannot bend"},
        {"Odd", "Error(MultiElem_itfc, 'bld/multi9'): inconsistent resistance"},
        {"Who", "Error(NamedResistance): uk resistance type"},
    };
    for (const auto& c : cases) {
        construct* con = Make(MultiElem_itfc, Entry(c.name, "bld/multi9"));
        EXPECT_EQ(FatalText([&] { Place(con, 2 * kTile, 2 * kTile); }), c.want);
        EXPECT_FALSE(con->flags & kConstructPlaced) << c.name << ": the refused building stays unplaced";
        EXPECT_FALSE(OnTiles(con));
    }
}

// A unit with shield damage below 2 meets the resistance of its access type; projectiles and units with
// shield damage of 2 or more damage the building as any other.
TEST_F(BuildingElem, StrikesThroughTheResistances) {
    AddRules("Depot_resistance \"rigid\" \"break\";\n");
    Unit* jeep = Entry("Jeep", "none");
    construct* depot = Make(MultiElem_itfc, Entry("Depot", "bld/multi9"));
    Place(depot, 2 * kTile, 2 * kTile);
    auto* b = static_cast<elements::BuildingBlock*>(depot->itfcData);
    const int32_t placed = int32_t(FrameCounter);
    SoundCount rigid(&b->resistance[0].sound);
    // Rigid for a wheeled unit (access type 0): a strike every 100 ticks sounds on the first one that
    // comes more than 200 ticks after placement and the one before it; each strike renews the window.
    Striker wheels(jeep, DamageRecord{40, 1, 5}, 0);
    const struct {
        int32_t at;
        int sounds;
    } strikes[] = {{100, 0}, {200, 0}, {300, 0}, {550, 1}, {650, 0}, {760, 0}};
    for (const auto& s : strikes) {
        FrameCounter = uint32_t(placed + s.at);
        wheels.Strike(depot, depot->pos[0] + 5000, depot->pos[1], depot->pos[2]);
        EXPECT_EQ(rigid.Take(), s.sounds) << "strike at +" << s.at;
    }
    // Only the structure byte hurts: 6 strikes of 5.
    EXPECT_EQ(Get<StateRecord>(depot, ItfcMethod::GETSTATE)->structure, 1000000 - 30);
    // A projectile (no entry) with the same record: no resistance, the same damage.
    Striker bullet(nullptr, DamageRecord{40, 1, 5}, 1);
    bullet.Strike(depot, depot->pos[0], depot->pos[1] + 9000, depot->pos[2]);
    EXPECT_EQ(Get<StateRecord>(depot, ItfcMethod::GETSTATE)->structure, 1000000 - 35);
    // A unit whose shield damage is 2 or more: shield and structure bytes, no resistance.
    Striker heavy(jeep, DamageRecord{40, 3, 5}, 1);
    heavy.Strike(depot, depot->pos[0] - 5000, depot->pos[1], depot->pos[2]);
    EXPECT_EQ(Get<StateRecord>(depot, ItfcMethod::GETSTATE)->structure, 1000000 - 43);
    EXPECT_EQ(b->alive, 1);
    // A tracked unit (access type 1) meets the breaking resistance: down at the first strike.
    Striker tracks(jeep, DamageRecord{40, 1, 5}, 1);
    tracks.Strike(depot, depot->pos[0], depot->pos[1], depot->pos[2] + 5000);
    EXPECT_EQ(b->alive, 0);
    EXPECT_LT(Get<StateRecord>(depot, ItfcMethod::GETSTATE)->structure, 0);
    EXPECT_EQ(depot->hits[0], nullptr) << "the hit slot is read and cleared";
}

TEST_F(BuildingElem, DestructionWithAndWithoutAWreck) {
    AddRules("Depot_addons \"deadbody\";\n");
    construct* depot = Make(MultiElem_itfc, Entry("Depot", "bld/multi"));
    construct* plain = Make(MultiElem_itfc, Entry("Plain", "bld/multi9"));
    construct* bunker = Make(BaseElem_itfc, Entry("Bunker", "bld/base9"));
    Place(depot, 2 * kTile, 2 * kTile);
    Place(plain, 4 * kTile, 2 * kTile);
    Place(bunker, 6 * kTile, 2 * kTile);
    auto* b = static_cast<elements::BuildingBlock*>(depot->itfcData);
    Geom* bodyLook = depot->lod[0];
    Geom* wreckLook = b->wreck->lod[0];
    Striker shell(nullptr, DamageRecord{0, 200, 255});
    for (construct* con : {depot, plain, bunker}) {
        Get<StateRecord>(con, ItfcMethod::GETSTATE)->structure = 100;
        shell.Strike(con, con->pos[0], con->pos[1] + 10000, con->pos[2]);
        EXPECT_EQ(static_cast<elements::BuildingBlock*>(con->itfcData)->alive, 0);
    }
    // The wreck takes the building's place and keeps standing on its tiles.
    EXPECT_EQ(depot->lod[0], wreckLook);
    EXPECT_EQ(b->wreck->lod[0], bodyLook);
    EXPECT_TRUE(OnTiles(depot));
    // Without a wreck the ground comes back: off the tiles, the blocking bits cleared.
    for (construct* con : {plain, bunker}) {
        EXPECT_FALSE(OnTiles(con));
        EXPECT_EQ(At(con->pos[0], con->pos[2]).flags & 4096, 0);
    }
    // Unplaced, the wreck leaves its tiles too, and nothing is left linked to the freed buildings.
    for (construct* con : {depot, plain, bunker}) Remove(con);
    for (const StatLink& l : StatLinks) EXPECT_EQ(l.stat, nullptr);
}

TEST_F(BuildingElem, RotorsTurnAndASwingWaitsForItsSwitch) {
    AddRules("Mill_addons \"rotor\" \"wheel\";\nMill_TurnRate 1000;\n"
             "Bar_addons \"swing\";\nBar_TurnMax 2000;\nBar_FX_go 65536 0 0 \"go.wav\";\n"
             "Bar_FX_stop 65536 0 0 \"stop.wav\";\nBar_FX_engine 65536 0 0 \"engine.wav\";\n");
    construct* mill = Make(MultiElem_itfc, Entry("Mill", "bld/multi"));
    construct* bar = Make(MultiElem_itfc, Entry("Bar", "bld/multi"));
    ASSERT_EQ(mill->subCount, 2) << "room for both add-ons";
    Place(mill, 2 * kTile, 2 * kTile);
    Place(bar, 4 * kTile, 2 * kTile);
    EXPECT_NE(mill->flags & kConBusy, 0u) << "an element with add-ons ticks";
    EXPECT_EQ(mill->busyLevel, kElementBusyLevel);
    auto* m = static_cast<elements::BuildingBlock*>(mill->itfcData);
    auto* s = static_cast<elements::BuildingBlock*>(bar->itfcData);
    Ticks(mill, 3);
    EXPECT_EQ(m->addonAngle, 3000);
    // The rotor stands on its anchor above the building, turned by the angle of the tick before.
    EXPECT_EQ(mill->subs[0]->pos[1] - mill->pos[1], m->rotor->lod[0]->anchor[1]);
    Ticks(mill, 410);
    EXPECT_GE(m->addonAngle, 0);
    EXPECT_LE(m->addonAngle, 411774) << "the angle wraps";

    Ticks(bar, 5);
    EXPECT_EQ(s->addonAngle, 0) << "a swing waits for SETMODE 1";
    SoundCount go(&s->go), stop(&s->stop);
    CallItfc(bar, ItfcMethod::SETMODE, 1);
    EXPECT_EQ(go.Take(), 1);
    EXPECT_NE(dxgl_DescSound(&s->engine), nullptr) << "the engine loops while it swings";
    Ticks(bar, 5);
    EXPECT_EQ(s->addonAngle, 1750);
    Ticks(bar, 1);
    EXPECT_EQ(s->addonAngle, 2000) << "held at the maximum";
    EXPECT_EQ(s->turnRate, 0);
    EXPECT_EQ(stop.Take(), 1);
    EXPECT_EQ(dxgl_DescSound(&s->engine), nullptr);
    EXPECT_EQ(CallItfc(bar, ItfcMethod::GETMODE), 1u);
}

TEST_F(BuildingElem, UnplaceAndDestroyAskForTheRightState) {
    construct* bunker = Make(BaseElem_itfc, Entry("Bunker", "bld/base9"));
    EXPECT_EQ(FatalText([&] { CallItfc(bunker, ItfcMethod::UNPLACE, 0); }), "Error(BaseElem_itfc): not moved");
    Place(bunker, 2 * kTile, 2 * kTile);
    EXPECT_EQ(FatalText([&] { CallItfc(bunker, ItfcMethod::DESTROY, 0); }), "remove first");
    auto links = [&] {
        int n = 0;
        for (const StatLink& l : StatLinks) n += l.stat == bunker;
        return n;
    };
    const int once = links();
    EXPECT_GT(once, 0);
    // Placing again unplaces first: it stands on its new tiles only, and its old ground is given back.
    const int32_t oldX = bunker->pos[0], oldZ = bunker->pos[2];
    Place(bunker, 3 * kTile, 3 * kTile);
    EXPECT_EQ(links(), once);
    EXPECT_EQ(At(oldX, oldZ).flags & 4096, 0);
    EXPECT_EQ(CallItfc(bunker, ItfcMethod::GETACCESSTYPE), 0u) << "only MultiElem and FragElem answer it";
    AIUnitRecord ai{};
    ai.weaponPresent[0] = ai.weaponPresent[1] = 1;
    EXPECT_EQ(CallItfc(bunker, ItfcMethod::UPDATEAIUNIT, reinterpret_cast<uintptr_t>(&ai)), 1u);
    EXPECT_EQ(ai.weaponPresent[0] + ai.weaponPresent[1], 0);
}

}  // namespace
}  // namespace kvtest
