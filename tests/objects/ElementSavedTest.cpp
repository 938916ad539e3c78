// The element types' saved forms: a state handed from one instance to another through GETITFCDATA and
// SETITFCDATA (a destroyed building turns into its wreck, a half-open gate stands half open), damaged
// forms refused by the check and by SETITFCDATA, and the look a stored state gives.
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "ElementFixtures.h"
#include "objects/UnitSaved.h"

namespace kvtest {
namespace {

constexpr int32_t kTile = 65536;
constexpr uint32_t kLarge = 0x10000;
// Offsets in the forms: the alive byte follows the unit record and the damage, state and maxima records.
constexpr size_t kAlive = kUnitSavedSize + 28;

class ElementSaved : public ElementWorld {
protected:
    static std::vector<uint8_t> Form(construct* con) {
        int32_t size = 0;
        auto* block = reinterpret_cast<uint8_t*>(CallItfc(con, ItfcMethod::GETITFCDATA, reinterpret_cast<uintptr_t>(&size)));
        std::vector<uint8_t> out(block, block + size);
        qzFree(block);
        return out;
    }
    static void TakeOver(construct* con, const std::vector<uint8_t>& form) {
        CallItfc(con, ItfcMethod::SETITFCDATA, reinterpret_cast<uintptr_t>(form.data()));
        FlushQZEvents();
    }
    static void PutU32(std::vector<uint8_t>& f, size_t at, uint32_t v) {
        for (int k = 0; k < 4; ++k) f[at + size_t(k)] = uint8_t(v >> (8 * k));
    }
    static void PutF32(std::vector<uint8_t>& f, size_t at, float v) {
        uint32_t u;
        std::memcpy(&u, &v, 4);
        PutU32(f, at, u);
    }
};

TEST_F(ElementSaved, ADestroyedBuildingStaysDestroyedAndAHalfOpenGateHalfOpen) {
    AddRules("Depot_addons \"deadbody\" \"rotor\";\nDepot_TurnRate 500;\n");
    construct* a = Make(MultiElem_itfc, Entry("Depot", "bld/multi"));
    construct* b = Make(MultiElem_itfc, Entry("Depot", "bld/multi"));
    Place(a, 2 * kTile, 2 * kTile);
    Place(b, 4 * kTile, 2 * kTile);
    Ticks(a, 4);
    Striker shell(nullptr, DamageRecord{0, 200, 255});
    Get<StateRecord>(a, ItfcMethod::GETSTATE)->structure = 10;
    shell.Strike(a, a->pos[0], a->pos[1] + 9000, a->pos[2]);
    ASSERT_EQ(a->subCount, 0) << "the wreck has no rotor";
    const std::vector<uint8_t> dead = Form(a);
    ASSERT_EQ(dead.size(), ElementSavedForms[int(ElementForm::MultiElem)].size);
    auto* bb = static_cast<elements::BuildingBlock*>(b->itfcData);
    Geom* wreckLook = bb->wreck->lod[0];
    Geom* bodyLook = b->lod[0];
    const std::vector<uint8_t> standing = Form(b);
    // The look the stored state gives the standing building is its wreck's: a saved construct record (no
    // sub-constructs) is compared with that one.
    EXPECT_EQ(SavedLook(b, dead.data(), dead.size()), bb->wreck);
    EXPECT_EQ(SavedLook(b, standing.data(), standing.size()), b);
    TakeOver(b, dead);
    EXPECT_EQ(bb->alive, 0);
    EXPECT_EQ(b->subCount, 0);
    EXPECT_EQ(b->lod[0], wreckLook);
    EXPECT_EQ(bb->addonAngle, static_cast<elements::BuildingBlock*>(a->itfcData)->addonAngle);
    EXPECT_EQ(Form(b), dead) << "the same state writes the same form";
    // And back: the standing state gives it its own look again.
    TakeOver(b, standing);
    EXPECT_EQ(bb->alive, 1);
    EXPECT_EQ(b->subCount, 1);
    EXPECT_EQ(b->lod[0], bodyLook);

    AddRules("Gate_FX_open 65536 0 0 \"open.wav\";\n");
    construct* g1 = Make(LGateElem_itfc, Entry("Gate", "bld/gate2", 0, kLarge));
    construct* g2 = Make(LGateElem_itfc, Entry("Gate", "bld/gate2", 0, kLarge));
    Place(g1, 2 * kTile, 5 * kTile);
    Place(g2, 5 * kTile, 5 * kTile);
    CallItfc(g1, ItfcMethod::SETMODE, 1);
    Ticks(g1, 10);
    TakeOver(g2, Form(g1));
    auto* gb = static_cast<elements::GateBlock*>(g2->itfcData);
    EXPECT_FLOAT_EQ(gb->doorPos, 0.5f);
    EXPECT_FLOAT_EQ(gb->doorSpeed, 0.05f);
    EXPECT_EQ(CallItfc(g2, ItfcMethod::GETMODE), 1u);
    EXPECT_EQ(std::memcmp(g2->subs[0]->orient, g1->subs[0]->orient, sizeof g1->orient), 0) << "the doors half open";
}

TEST_F(ElementSaved, EveryTypesStateGoesFromOneInstanceToAnother) {
    AddRules("Lift_AscendHeight 12000;\nLift_HeightBias 300;\nLift_speed 0.1;\nLift_AccessibleHeight 100;\n"
             "Energy_impactphysical 80;\nEnergy_impactshield 20;\nEnergy_impactstructure 5;\n"
             "Energy_shield 0;\nEnergy_structure 1000;\nEnergy_energy 0;\nTree_resistance \"swing\" \"swing\";\n");
    const struct {
        ItfcProc itfc;
        const char* name;
        const char* path;
        uint32_t klass;
        // Changes the first instance's state.
        void (*change)(construct*);
    } cases[] = {
        {BaseElem_itfc, "Bunker", "bld/base9", 0,
         [](construct* c) { Get<StateRecord>(c, ItfcMethod::GETSTATE)->structure = 77; }},
        {LiftElem_itfc, "Lift", "bld/lift", 0,
         [](construct* c) {
             CallItfc(c, ItfcMethod::SETMODE, 1);
             Ticks(c, 3);
         }},
        {NRGGate_itfc, "Energy", "bld/nrg", 0, [](construct* c) { CallItfc(c, ItfcMethod::CLEARMODE, 1); }},
        {Scenery_itfc, "Crate", "scen/crate", 0, [](construct* c) { CallItfc(c, ItfcMethod::SETMODE, 6); }},
        {MultiScenery_itfc, "Tree", "scen/tree", 0,
         [](construct* c) {
             Unit* jeep = NamedUnit("Jeep");
             Striker ram(jeep, DamageRecord{1, 0, 2});
             ram.Strike(c, c->pos[0] + 5000, c->pos[1], c->pos[2]);
             Ticks(c, 2);
         }},
        {Lantern_itfc, "Lamp", "none", 0, [](construct* c) { Ticks(c, 37); }},
    };
    Entry("Jeep", "none");
    int k = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        construct* a = Make(c.itfc, Entry(c.name, c.path, c.klass));
        construct* b = Make(c.itfc, Entry(c.name, c.path, c.klass));
        Place(a, (1 + k) * kTile + 9000, 2 * kTile + 9000);
        Place(b, (1 + k) * kTile + 9000, 5 * kTile + 9000);
        ++k;
        c.change(a);
        const std::vector<uint8_t> form = Form(a);
        EXPECT_NE(Form(b), form);
        TakeOver(b, form);
        EXPECT_EQ(Form(b), form);
        std::vector<uint8_t> again(form.size());
        ElementForm f{};
        for (int i = 0; i < kElementFormCount; ++i)
            if (ElementSavedForms[i].itfc == c.itfc) f = ElementForm(i);
        RewriteElementSaved(f, form.data(), again.data());
        EXPECT_EQ(again, form);
    }
}

TEST_F(ElementSaved, DamagedFormsAreRefused) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        ElementForm form;
        size_t at;    // where the damage lies; SIZE_MAX: the form is cut short
        bool isFloat;
        float value;  // written as a float or as a 32-bit word
        const char* why;
    } cases[] = {
        {ElementForm::MultiElem, kAlive, false, 2, "the alive flag is neither 0 nor 1"},
        {ElementForm::BaseElem, SIZE_MAX, false, 0, "the saved state has the wrong size"},
        {ElementForm::LGateElem, kAlive + 4, true, 1.5f, "the position lies outside 0..1"},
        {ElementForm::LGateElem, kAlive + 4, true, nan, "the position lies outside 0..1"},
        {ElementForm::LGateElem, kAlive + 8, true, 3.0f, "the speed is not a number of at most 1"},
        {ElementForm::LiftElem, kAlive + 4, true, -0.5f, "the position lies outside 0..1"},
        {ElementForm::LiftElem, kAlive + 8, true, nan, "the speed is not a number of at most 1"},
        {ElementForm::MultiScenery, kAlive + 8, false, 40000, "the standing orientation is no 1.15 matrix"},
        {ElementForm::MultiScenery, kAlive + 44, false, 3, "the moving flag is neither 0 nor 1"},
        {ElementForm::MultiScenery, kAlive + 48, false, 2, "the moving resistance is neither -1, 0 nor 1"},
        {ElementForm::MultiScenery, kAlive + 56, true, nan, "the swing angle or speed is out of range"},
        {ElementForm::MultiScenery, kAlive + 60, true, 1e9f, "the swing angle or speed is out of range"},
        {ElementForm::MultiScenery, kAlive + 64, false, 70000, "the swing axis is no 1.15 vector"},
        {ElementForm::Lantern, SIZE_MAX, false, 0, "the saved state has the wrong size"},
    };
    for (const Case& c : cases) {
        const ElementSavedForm& f = ElementSavedForms[int(c.form)];
        SCOPED_TRACE(std::string(f.type) + " at " + std::to_string(c.at));
        std::vector<uint8_t> form(f.size, 0);
        EXPECT_EQ(f.check(form.data(), form.size()), nullptr) << "a zeroed form is sound";
        if (c.at == SIZE_MAX) {
            form.pop_back();
        } else if (c.isFloat) {
            PutF32(form, c.at, c.value);
        } else {
            PutU32(form, c.at, uint32_t(c.value));
        }
        const char* why = f.check(form.data(), form.size());
        ASSERT_NE(why, nullptr);
        EXPECT_STREQ(why, c.why);
        EXPECT_STREQ(CheckSavedBlock(f.itfc, form.data(), form.size()), c.why) << "installed for the saved-game reader";
    }
    // SETITFCDATA never takes a damaged form over.
    construct* gate = Make(LGateElem_itfc, Entry("Gate", "bld/gate2", 0, kLarge));
    std::vector<uint8_t> form = Form(gate);
    PutF32(form, kAlive + 4, 2.0f);
    try {
        TakeOver(gate, form);
        ADD_FAILURE() << "no fatal error";
    } catch (const FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(LGateElem_itfc): the saved state is damaged: the position lies outside 0..1");
    }
}

}  // namespace
}  // namespace kvtest
