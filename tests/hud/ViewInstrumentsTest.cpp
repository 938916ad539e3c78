// The view instruments against a stand-in unit on an 800 x 600 screen: the frag counter and its frame,
// the drive gauge and the speed, the unit symbol's colour and blinking, the altitude read-out, the weapon
// groups' names, ammunition and colours, the turret indicator, the radiation icon's blinking; the weapon
// names from the unit rules and the clock arithmetic.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "HudFixture.h"
#include "ai/Clan.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "hud/TFView.h"
#include "hud/ViewInstruments.h"
#include "objects/Units.h"
#include "support/Fatal.h"
#include "support/TempDir.h"
#include "tools/datakit/RulesText.h"
#include "game/Level.h"
#include "world/Player.h"
#include "world/TickCounter.h"

namespace kvtest {
namespace {

constexpr uint32_t kGreen = 0x00ff80u, kYellow = 0xffe000u, kRed = 0xff0000u;

class ViewInstruments : public HudScreen {
protected:
    ViewInstruments() : HudScreen(800, 600) {
        std::memcpy(savedTextures_, SpecialTextures, sizeof savedTextures_);
        std::memcpy(savedNames_, WeaponNames, sizeof savedNames_);
        for (int i = 0; i < kSpecialTextureCount; ++i) SpecialTextures[i] = PlainTexture(0xffffffffu);
        // The frag frames told apart by their blue.
        for (int k = 0; k <= 10; ++k)
            SpecialTextures[kSpecialFragger00 + k] = PlainTexture(0xff000000u | (20u + 20u * k));
        symbol_ = PlainTexture(0xffffffffu);
        unit_ = Unit();
        HudUnitBlock* b = Block(unit_);
        b->state = {100, 200, 0};
        b->maxima = {100, 200, 0};
        b->driveMax = 3600;
        saved_ = {FrameCounter, NearestRadioactive, NearestRadioactiveDistance,
                  ReloadUnit,   ActionTargetAU,     MultiplayerOn,
                  OwnPlayer,    RadiationBlink};
        NearestRadioactive = nullptr;
        ReloadUnit = nullptr;
        ActionTargetAU = nullptr;
        MultiplayerOn = 0;
        FrameCounter = 0;
        RadiationBlink = 0;
        std::snprintf(WeaponNames[0], sizeof WeaponNames[0], "NONE");
        std::snprintf(WeaponNames[1], sizeof WeaponNames[1], "NONE");
    }
    ~ViewInstruments() override {
        std::memcpy(SpecialTextures, savedTextures_, sizeof savedTextures_);
        std::memcpy(WeaponNames, savedNames_, sizeof savedNames_);
        FrameCounter = saved_.tick;
        NearestRadioactive = saved_.radioactive;
        NearestRadioactiveDistance = saved_.radioactiveDistance;
        ReloadUnit = saved_.reload;
        ActionTargetAU = saved_.action;
        MultiplayerOn = saved_.mp;
        OwnPlayer = saved_.own;
        RadiationBlink = saved_.blink;
    }
    HudUnitBlock* B() { return Block(unit_); }
    void Draw() {
        Texts().clear();
        Clear();
        DrawViewInstruments(unit_);
    }

    Tex* savedTextures_[kSpecialTextureCount];
    char savedNames_[2][kWeaponNameSize];
    struct {
        uint32_t tick;
        construct* radioactive;
        int32_t radioactiveDistance;
        construct* reload;
        AUDef* action;
        int mp;
        PlayerCell* own;
        int32_t blink;
    } saved_;
    Tex* symbol_;
    construct* unit_;
    const int32_t cx = 400, cy = 300;
};

TEST_F(ViewInstruments, TheFragCounterShowsTheCountAndItsFrame) {
    struct Case {
        int32_t width, frags;
        bool number;
        int frame;  // -1 none
    } cases[] = {
        {640, 3, false, -1}, {800, 0, true, -1}, {800, 1, true, 0}, {800, 12, true, 10}, {800, 11, true, 10}};
    for (const Case& c : cases) {
        ScreenWidth = c.width;
        B()->unit.killCount = c.frags;
        Draw();
        const DrawnText* t = Text(std::to_string(c.frags));
        ASSERT_EQ(t != nullptr, c.number) << c.width << " " << c.frags;
        if (t) {
            EXPECT_EQ(t->x, 105);
            EXPECT_EQ(t->y, 25);
            EXPECT_EQ(t->style, 3);
            EXPECT_EQ(t->colour, 0xff008040u) << "the colour the panel's outline left";
        }
        // The panel's fill (0, 64, 32) with the frame added over it (its blue times the green's 128).
        const uint32_t p = Pixel(83, 20);
        if (c.width == 640) {
            EXPECT_EQ(p, 0u);
        } else {
            const int blue = int(p & 0xff) - 32;
            const int expect = c.frame < 0 ? 0 : (20 + 20 * c.frame) * 128 / 255;
            EXPECT_NEAR(blue, expect, 2) << c.frags;
        }
    }
    // In a networked game the own player's frags count.
    PlayerCell own{};
    own.frags = 4;
    OwnPlayer = &own;
    MultiplayerOn = 1;
    ScreenWidth = 800;
    Draw();
    EXPECT_NE(Text("4"), nullptr);
}

TEST_F(ViewInstruments, TheDriveGaugeFillsItsSlotAndShowsTheSpeed) {
    B()->unit.velocity[0] = 300, B()->unit.velocity[1] = 9999, B()->unit.velocity[2] = 400;  // 500 >> 2 = 125
    struct Case {
        int32_t drive;
        uint32_t bar, rest;  // at (cx - 150, 15) and (cx - 108, 49), above the compass
        const char* speed;
    } cases[] = {
        {3600, kGreen, kGreen, "41 mph"},         // full: the bar reaches the slot's top, no dark rest
        {1800, kGreen, 0x004020u, "41 mph"},      // half: the rest of the slot dark green
        {-1800, 0x800000u, 0x004020u, "-41 mph"}  // reversing: dark red, a negative speed
    };
    for (const Case& c : cases) {
        B()->drive = c.drive;
        Draw();
        EXPECT_EQ(Pixel(cx - 150, 15), c.bar) << c.drive;
        EXPECT_EQ(Pixel(cx - 108, 49), c.rest) << c.drive;
        const DrawnText* t = Text(c.speed);
        ASSERT_NE(t, nullptr) << c.speed;
        EXPECT_EQ(t->x, cx - 175);
        EXPECT_EQ(t->style, 2);
        EXPECT_EQ(t->colour, 0x8000ff80u);
    }
}

TEST_F(ViewInstruments, TheUnitSymbolTakesTheStructureColourAndBlinksWhenLow) {
    struct Case {
        int32_t structure;
        uint32_t tick;
        bool picture;
        uint32_t colour;
    } cases[] = {{200, 0, true, kGreen}, {80, 0, true, kGreen},  {79, 0, true, kYellow},
                 {40, 0, true, kYellow}, {39, 0, true, kRed},    {21, 0, true, kRed},
                 {20, 0, true, 0},       {20, 0x20, true, kRed}, {200, 0, false, 0}};
    for (const Case& c : cases) {
        B()->state.structure = c.structure;
        B()->unit.buttonPicture = c.picture ? symbol_->surface : nullptr;
        FrameCounter = c.tick;
        Draw();
        EXPECT_EQ(Pixel(cx, 95), c.colour) << c.structure << " tick " << c.tick;
    }
    // The shadow flag darkens the lower edge.
    B()->state.structure = 200;
    B()->unit.buttonPicture = symbol_->surface;
    B()->unit.symbolShadow = 1;
    Draw();
    EXPECT_LT(Pixel(cx, 48) >> 8 & 0xff, Pixel(cx, 105) >> 8 & 0xff);
}

TEST_F(ViewInstruments, TheAltitudeShowsInTensOnlyForUnitsThatFly) {
    B()->altitude = 5 << 12;
    Draw();
    EXPECT_EQ(Text("50"), nullptr);
    unit_->flags |= 0x4000;
    Draw();
    const DrawnText* t = Text("50");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->x, cx + 92);
    EXPECT_EQ(t->y, cy + 4);
    EXPECT_EQ(t->colour, 0x8000ff80u);
    B()->altitude = 2 << 12;
    Draw();
    ASSERT_NE(Text("20"), nullptr);
    EXPECT_EQ(Text("20")->colour, 0x80800000u) << "below 30: dark red";
}

TEST_F(ViewInstruments, WeaponGroupsShowNameAmmunitionAndState) {
    std::snprintf(WeaponNames[0], sizeof WeaponNames[0], "MG");
    struct Case {
        int32_t ammo;
        float gauge;
        const char* shown;
        uint32_t colour;
    } cases[] = {{-1, 0.0f, "~", 0x8000ff80u},
                 {25, 0.0f, "25", 0x8000ff80u},
                 {25, 3.0f, "25", 0x80ffe000u},
                 {0, 3.0f, "0", 0x80ff0000u}};
    for (const Case& c : cases) {
        B()->ammo[0] = c.ammo;
        AIUnitRecord& ai = B()->unit.ai[0];
        ai.weaponPresent[0] = 1;
        std::memcpy(&ai.weapon[0][kAIWeaponGaugeWord], &c.gauge, sizeof c.gauge);
        Draw();
        const DrawnText* name = Text("MG");
        const DrawnText* ammo = Text(c.shown, cx - 145);
        ASSERT_NE(name, nullptr);
        ASSERT_NE(ammo, nullptr) << c.shown;
        EXPECT_EQ(name->x, cx - 140);
        EXPECT_EQ(name->y, 70);
        EXPECT_EQ(ammo->x, cx - 145);
        EXPECT_EQ(ammo->style, 2);
        EXPECT_EQ(name->colour, c.colour) << c.shown;
        EXPECT_EQ(ammo->colour, c.colour) << c.shown;
    }
    // A group named "NONE" shows neither name nor ammunition.
    B()->ammo[1] = 7;
    Draw();
    EXPECT_EQ(Text("7"), nullptr);
}

TEST_F(ViewInstruments, ATurretIndicatorOnlyForUnitsWithATurret) {
    Draw();
    const float without = DrawCallCount;
    Draw();
    const float perFrame = DrawCallCount - without;
    B()->turretYaw = 0;
    const float before = DrawCallCount;
    Draw();
    EXPECT_EQ(DrawCallCount - before, perFrame + 1.0f);
}

TEST_F(ViewInstruments, TheRadiationIconBlinksFasterNearerTheSource) {
    NearestRadioactive = unit_;
    NearestRadioactiveDistance = 3 << 14;  // on 3 frames, off 3
    const bool expected[] = {true, true, false, false, false, true, true, true, false};
    for (bool on : expected) {
        Draw();
        EXPECT_EQ(Pixel(36, 56), on ? kYellow : 0u) << RadiationBlink;
    }
    // From 500000 on the icon stays off while the counter runs on.
    NearestRadioactiveDistance = 500000;
    RadiationBlink = 0;
    for (int i = 0; i < 40; ++i) {
        Draw();
        EXPECT_EQ(Pixel(36, 56), 0u);
    }
    EXPECT_NE(RadiationBlink, -40);
}

class WeaponNameRule : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string longName(100, 'x');
        ASSERT_TRUE(datakit::WriteRulesText(dir_ / "rules",
                                            "Two_WeaponName \"Gun\" \"Rockets\";\n"
                                            "One_WeaponName \"Gun\";\n"
                                            "Long_WeaponName \"" +
                                                longName + "\" \"B\";\nend\n"));
        ReadRules((dir_ / "rules").c_str());
    }
    void TearDown() override {
        for (construct* c : cons_) FreeConstruct(c);
        for (::Unit* u : units_) FreeUnit(u);
        FreeRules();
    }
    construct* UnitNamed(const char* name) {
        ::Unit* u = CreateUnit();
        u->name = qzStrDup(name, "unit name");
        u->rulePrefix = qzStrDup(name, "unit prefix");
        units_.push_back(u);
        construct* c = CreateConstruct(0, 0);
        c->unit = u;
        cons_.push_back(c);
        return c;
    }
    TempDir dir_;
    FatalCatcher fatal_;
    std::vector<::Unit*> units_;
    std::vector<construct*> cons_;
};

TEST_F(WeaponNameRule, NamesAreCutToTheirBufferAndAMissingSecondNameIsEmpty) {
    struct Case {
        const char* unit;
        std::string first, second;
    } cases[] = {{"Two", "Gun", "Rockets"}, {"One", "Gun", ""}, {"Long", std::string(63, 'x'), "B"}};
    for (const Case& c : cases) {
        GetWeaponName(UnitNamed(c.unit));
        EXPECT_EQ(std::string(WeaponNames[0]), c.first) << c.unit;
        EXPECT_EQ(std::string(WeaponNames[1]), c.second) << c.unit;
    }
    try {
        GetWeaponName(UnitNamed("Unarmed"));
        FAIL() << "a unit type without the rule is fatal";
    } catch (const FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(NamedUnitRule): Rule 'Unarmed_WeaponName' not found");
    }
}

TEST(ClockArithmetic, MinutesAndSecondsTruncateTowardZero) {
    struct Case {
        float seconds;
        int32_t minutes, part;
    } cases[] = {{0.0f, 0, 0},  {59.9f, 0, 59},    {60.0f, 1, 0},
                 {61.5f, 1, 1}, {3599.0f, 59, 59}, {-61.0f, -1, -1}};
    for (const Case& c : cases) {
        EXPECT_EQ(TimeMinutes(c.seconds), c.minutes) << c.seconds;
        EXPECT_EQ(TimeSecondsPart(c.seconds), c.part) << c.seconds;
    }
}

}  // namespace
}  // namespace kvtest
