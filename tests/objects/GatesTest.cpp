// Gates, lifts and energy gates: the doors and the passage they open (a single left or right door, two
// doors), closing, the sounds and the mode, the gate's leaving of the busy and type pools; the lift's
// platform and walkable surface, its stop and reversal; the energy gate's switching.
#include <cmath>
#include <string>

#include "ElementFixtures.h"
#include "world/Terrain.h"

namespace kvtest {
namespace {

constexpr int32_t kTile = 65536;
constexpr uint32_t kLarge = 0x10000;
constexpr uint32_t kKlassTargetBit = 0x800;

class Gates : public ElementWorld {
protected:
    void SetUp() override {
        ElementWorld::SetUp();
        AddRules("Gate_FX_open 65536 0 0 \"open.wav\";\nGate_FX_close 65536 0 0 \"close.wav\";\n");
    }
    // Whether the sub-point (i along x, j along z) of a gate's footprint blocks.
    bool Blocked(const construct* gate, int i, int j) {
        const int32_t x0 = gate->pos[0] & ~0xFFFF, z0 = gate->pos[2] & ~0xFFFF;
        return (At(x0 + i * 4096, z0 + j * 4096).flags & kSubBlocked) != 0;
    }
    static elements::GateBlock* Data(construct* gate) { return static_cast<elements::GateBlock*>(gate->itfcData); }
};

TEST_F(Gates, DoorsOpenTheirPassage) {
    const struct {
        const char* path;
        bool lowOpen, highOpen;  // the door line at its index 2 and 14 once open
        bool doorsTurn;
        bool alongZ;  // the door line runs along z (slide doors) rather than along x
    } cases[] = {
        {"bld/gate2", true, true, true, false},    // two swing doors open it whole
        {"bld/gatel", true, false, false, false},  // a single left door: its half
        {"bld/gater", false, true, false, false},  // a single right door: its half
        {"bld/slide2", true, true, false, true},   // two slide doors slide apart
    };
    int k = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        construct* gate = Make(LGateElem_itfc, Entry("Gate", c.path, 0, kLarge));
        Place(gate, (1 + 2 * k) * kTile, 2 * kTile);
        ++k;
        elements::GateBlock* g = Data(gate);
        // A point of the door line, k along it.
        auto line = [&](int k) { return c.alongZ ? Blocked(gate, k, 8) : Blocked(gate, 8, k); };
        EXPECT_TRUE(line(2));
        EXPECT_TRUE(line(14));
        EXPECT_FALSE(Blocked(gate, 3, 2)) << "only the door line blocks";
        construct* door = gate->subs[0];
        int32_t closedOrient[9];
        std::memcpy(closedOrient, door->orient, sizeof closedOrient);
        int32_t closedPos[3];
        std::memcpy(closedPos, door->pos, sizeof closedPos);
        SoundCount open(&g->openSound), close(&g->closeSound);
        CallItfc(gate, ItfcMethod::SETMODE, 1);
        EXPECT_EQ(open.Take(), 1) << "opening plays the opening sound";
        EXPECT_EQ(close.Take(), 0);
        EXPECT_EQ(CallItfc(gate, ItfcMethod::GETMODE), 1u);
        Ticks(gate, 19);
        EXPECT_TRUE(line(2)) << "not open before the doors are";
        Ticks(gate, 1);
        EXPECT_EQ(g->doorPos, 1.0f);
        EXPECT_EQ(line(2), !c.lowOpen);
        EXPECT_EQ(line(14), !c.highOpen);
        EXPECT_EQ(std::memcmp(closedOrient, door->orient, sizeof closedOrient) != 0, c.doorsTurn);
        if (std::string(c.path) == "bld/slide2") {
            EXPECT_NE(std::memcmp(closedPos, door->pos, sizeof closedPos), 0) << "slide doors slide";
        }
        // Closing closes the passage at once, before the doors have moved back.
        CallItfc(gate, ItfcMethod::CLEARMODE, 1);
        EXPECT_EQ(close.Take(), 1) << "closing plays the closing sound";
        EXPECT_EQ(CallItfc(gate, ItfcMethod::GETMODE), 0u) << "the mode says the gate was sent shut";
        Ticks(gate, 1);
        EXPECT_FLOAT_EQ(g->doorPos, 0.95f);
        EXPECT_TRUE(line(2));
        EXPECT_TRUE(line(14));
        Ticks(gate, 25);
        EXPECT_EQ(g->doorPos, 0.0f);
        EXPECT_EQ(std::memcmp(closedOrient, door->orient, sizeof closedOrient), 0);
    }
}

TEST_F(Gates, RoomForEveryDoorAndNoneIsFatal) {
    construct* gate = Make(LGateElem_itfc, Entry("Gate", "bld/gate4", 0, kLarge));
    EXPECT_EQ(gate->subCount, 4);
    for (construct* door : Data(gate)->doors) EXPECT_NE(door, nullptr);
    Unit* none = Entry("Bare", "bld/nodoor", 0, kLarge);
    try {
        Make(LGateElem_itfc, none);
        ADD_FAILURE() << "no fatal error";
    } catch (const FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(LGateElem_itfc): no door files found");
    }
}

// Unplaced, a gate leaves the busy pool and its type pools, so that nothing walks it once destroyed.
TEST_F(Gates, AnUnplacedGateLeavesItsPools) {
    construct* gate = Make(LGateElem_itfc, Entry("Gate", "bld/gate2", kKlassTargetBit, kLarge));
    Place(gate, 2 * kTile, 2 * kTile);
    EXPECT_TRUE(IsInConstructPool(gate, BuzyPools[kElementBusyLevel]));
    // A saved state taken over while it stands puts it into its type pools.
    int32_t size = 0;
    auto* form = reinterpret_cast<uint8_t*>(CallItfc(gate, ItfcMethod::GETITFCDATA, reinterpret_cast<uintptr_t>(&size)));
    CallItfc(gate, ItfcMethod::SETITFCDATA, reinterpret_cast<uintptr_t>(form));
    qzFree(form);
    EXPECT_TRUE(IsInConstructPool(gate, FindConstructPool("target")));
    CallItfc(gate, ItfcMethod::UNPLACE, 0);
    FlushQZEvents();
    EXPECT_FALSE(IsInConstructPool(gate, BuzyPools[kElementBusyLevel]));
    EXPECT_FALSE(IsInConstructPool(gate, FindConstructPool("target")));
    EXPECT_FALSE(OnTiles(gate));
}

class Lifts : public ElementWorld {
protected:
    void SetUp() override {
        ElementWorld::SetUp();
        AddRules("Lift_AscendHeight 12000;\nLift_HeightBias 300;\nLift_speed 0.1;\nLift_AccessibleHeight 100;\n"
                 "Lift_FX_go 65536 0 0 \"go.wav\";\nLift_FX_stop 65536 0 0 \"stop.wav\";\n"
                 "Lift_FX_engine 65536 0 0 \"engine.wav\";\n");
        lift = Make(LiftElem_itfc, Entry("Lift", "bld/lift"));
        Place(lift, 3 * kTile + 5000, 3 * kTile + 7000);
        data = static_cast<elements::LiftBlock*>(lift->itfcData);
    }
    // The walkable surface over the platform (the footprint's middle) and the platform's height.
    int32_t Surface() { return SecondSurfaceHeight(&At(lift->pos[0], lift->pos[2])); }
    int32_t Platform() const { return lift->subs[0]->pos[1] - lift->pos[1]; }

    construct* lift = nullptr;
    elements::LiftBlock* data = nullptr;
};

TEST_F(Lifts, ThePlatformCarriesTheWalkableSurface) {
    EXPECT_FALSE(lift->flags & kConBusy) << "a lift at rest does not tick";
    EXPECT_NEAR(Surface(), lift->pos[1] + 300, 136);
    EXPECT_TRUE(At(lift->pos[0] - 4 * 4096, lift->pos[2]).flags & kSubBlocked) << "the walls block";
    SoundCount go(&data->go), stop(&data->stop);
    CallItfc(lift, ItfcMethod::SETMODE, 1);
    FlushQZEvents();
    EXPECT_EQ(go.Take(), 1);
    EXPECT_TRUE(lift->flags & kConBusy);
    EXPECT_EQ(lift->busyLevel, LiftBusyLevel());
    for (int step = 1; step <= 9; ++step) {
        Ticks(lift, 1);
        const int32_t rise = int32_t(12000 * double(data->liftPos));
        EXPECT_NEAR(Platform(), rise, 1) << step;
        EXPECT_NEAR(Surface(), lift->pos[1] + 300 + rise, 136) << step;
        EXPECT_EQ(stop.Take(), 0);
    }
    Ticks(lift, 1);
    EXPECT_EQ(data->liftPos, 1.0f);
    EXPECT_EQ(Platform(), 12000);
    EXPECT_NEAR(Surface(), lift->pos[1] + 300 + 12000, 136) << "the surface follows onto the last step";
    EXPECT_EQ(stop.Take(), 1);
    EXPECT_FALSE(lift->flags & kConBusy) << "it stops ticking at the top";
    EXPECT_EQ(CallItfc(lift, ItfcMethod::GETMODE), 1u);
}

TEST_F(Lifts, SwitchedUpAndDownItReversesWhereItStands) {
    SoundCount stop(&data->stop);
    CallItfc(lift, ItfcMethod::SETMODE, 1);
    Ticks(lift, 3);
    CallItfc(lift, ItfcMethod::CLEARMODE, 1);
    EXPECT_EQ(CallItfc(lift, ItfcMethod::GETMODE), 0u);
    Ticks(lift, 1);
    EXPECT_NEAR(data->liftPos, 0.2f, 1e-5f);
    Ticks(lift, 2);
    EXPECT_NEAR(data->liftPos, 0.0f, 1e-5f);
    Ticks(lift, 1);
    EXPECT_EQ(data->liftPos, 0.0f);
    EXPECT_EQ(stop.Take(), 1);
    EXPECT_FALSE(lift->flags & kConBusy);
    EXPECT_NEAR(Surface(), lift->pos[1] + 300, 136);
}

class EnergyGates : public ElementWorld {
protected:
    void SetUp() override {
        ElementWorld::SetUp();
        AddRules("Energy_impactphysical 80;\nEnergy_impactshield 20;\nEnergy_impactstructure 5;\n"
                 "Energy_shield 0;\nEnergy_structure 1000;\nEnergy_energy 0;\nEnergy_FX_hum 65536 0 0 \"hum.wav\";\n");
        gate = Make(NRGGate_itfc, Entry("Energy", "bld/nrg"));
        on = gate->lod[0];
        Place(gate, 2 * kTile, 2 * kTile, 12345);
    }
    construct* gate = nullptr;
    Geom* on = nullptr;
};

TEST_F(EnergyGates, SwitchingSwapsBarrierLookAndCollision) {
    EXPECT_EQ(gate->collisionClass, 255);
    EXPECT_EQ(CallItfc(gate, ItfcMethod::GETMODE), 1u);
    EXPECT_EQ(gate->busyLevel, 1);
    EXPECT_TRUE(gate->flags & kConActive);
    EXPECT_EQ(Get<DamageRecord>(gate, ItfcMethod::GETDAMAGE)->shield, 20);
    EXPECT_EQ(Get<StateRecord>(gate, ItfcMethod::GETSTATE)->structure, 1000);
    EXPECT_EQ(CallItfc(gate, ItfcMethod::GETUNIT), 0u) << "no unit record to hand out";
    Ticks(gate, 1);
    auto* g = static_cast<elements::NRGGateBlock*>(gate->itfcData);
    EXPECT_NE(dxgl_DescSound(&g->hum), nullptr) << "it hums while on";
    CallItfc(gate, ItfcMethod::SETMODE, 1);
    EXPECT_EQ(gate->lod[0], on) << "switching on what is on changes nothing";
    CallItfc(gate, ItfcMethod::CLEARMODE, 1);
    EXPECT_NE(gate->lod[0], on);
    EXPECT_EQ(gate->collisionClass, 0);
    EXPECT_EQ(CallItfc(gate, ItfcMethod::GETMODE), 0u);
    Ticks(gate, 1);
    EXPECT_EQ(dxgl_DescSound(&g->hum), nullptr);
    // The off state saved, the barrier switched on again, the saved state taken back: off again.
    int32_t size = 0;
    auto* off = reinterpret_cast<uint8_t*>(CallItfc(gate, ItfcMethod::GETITFCDATA, reinterpret_cast<uintptr_t>(&size)));
    CallItfc(gate, ItfcMethod::SETMODE, 1);
    EXPECT_EQ(gate->lod[0], on);
    EXPECT_EQ(gate->collisionClass, 255);
    CallItfc(gate, ItfcMethod::SETITFCDATA, reinterpret_cast<uintptr_t>(off));
    qzFree(off);
    EXPECT_NE(gate->lod[0], on);
    EXPECT_EQ(gate->collisionClass, 0);
    // Placed again, it is on with its barrier's look.
    Place(gate, 2 * kTile, 3 * kTile);
    EXPECT_EQ(gate->lod[0], on);
    EXPECT_EQ(gate->collisionClass, 255);
}

}  // namespace
}  // namespace kvtest
