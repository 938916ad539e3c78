// The target marks on a 320 x 240 screen: the on-screen label's text, distance and strength bars, the
// analysing zoom and the spin, the edge arrow's side and place for targets off screen (which also resets
// the lock), and the navigation arrow's direction.
#include <gtest/gtest.h>

#include "HudFixture.h"
#include "ai/AIRecords.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "hud/MissionStatus.h"
#include "hud/TacticalMap.h"
#include "hud/TargetMarks.h"
#include "objects/Units.h"
#include "support/TempDir.h"
#include "tools/datakit/RulesText.h"
#include "world/TickCounter.h"

namespace kvtest {
namespace {

class TargetMarks : public HudScreen {
protected:
    TargetMarks() : HudScreen(320, 240) {
        EXPECT_TRUE(datakit::WriteRulesText(dir_ / "rules",
                                            "Analyze_text \"analysing\";\n"
                                            "NotIdentified_text \"unknown\";\nend\n"));
        ReadRules((dir_ / "rules").c_str());
        LoadRuleTexts();
        saved_ = {FrameCounter, CurrentNavPoint, TargetSpin, TargetZoom, TargetAnalysing};
        FrameCounter = 0;
        TargetSpin = 0, TargetZoom = 1, TargetAnalysing = 0;
        Eye(1024);
        player_ = Unit();
        target_ = Unit(0, 0, 100000);
        named_ = CreateUnit();
        named_->gameName = qzStrDup("Jeep", "unit game name");
        target_->unit = named_;
        entry_.con = target_;
        entry_.distance = 52000;  // 10 metres
        HudUnitBlock* t = Block(target_);
        t->state = {20, 40, 0};
        t->maxima = {60, 80, 0};
        Rec()->lockTarget = target_;
        Rec()->lockEntry = &entry_;
    }
    ~TargetMarks() override {
        target_->unit = nullptr;
        FreeUnit(named_);
        FreeRules();
        LoadRuleTexts();
        FrameCounter = saved_.tick;
        CurrentNavPoint = saved_.nav;
        TargetSpin = saved_.spin, TargetZoom = saved_.zoom, TargetAnalysing = saved_.analysing;
    }
    UnitShare* Rec() { return &Block(player_)->unit; }
    void Draw() {
        Texts().clear();
        Clear();
        DrawTargetMarks(player_);
    }

    TempDir dir_;
    struct {
        uint32_t tick;
        construct* nav;
        int32_t spin, zoom, analysing;
    } saved_;
    construct* player_;
    construct* target_;
    ::Unit* named_;
    ThreatEntry entry_{};
};

TEST_F(TargetMarks, AnOnScreenTargetShowsItsNameDistanceAndBars) {
    Draw();
    // Straight ahead at the screen's centre; the marker's half size is 15 pixels at a focal length of 1024.
    const DrawnText* label = Text("Jeep (10.0m)");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->x, 160);
    EXPECT_EQ(label->y, 105);
    EXPECT_EQ(label->style, 3);
    EXPECT_EQ(label->size, 10);
    EXPECT_EQ(label->colour, 0x00ff8080u);
    // The strength bar (40 of 80: 10 pixels solid over 20 blended) from y 93 down, the shield bar (20 of 60)
    // from y 85 down, both from x 130.
    EXPECT_EQ(Pixel(135, 90), 0x4080f0u);
    EXPECT_EQ(Pixel(145, 90), 0x204078u);
    EXPECT_EQ(Pixel(132, 82), 0x20c850u);
    EXPECT_EQ(Pixel(140, 82), 0x106428u);
    EXPECT_EQ(Pixel(160, 120), 0xff0000u) << "the red marker";
    EXPECT_EQ(TargetSpin, 3);

    // Without a name: the unknown text and no bars.
    named_->gameName[0] = 0;
    Draw();
    EXPECT_NE(Text("unknown"), nullptr);
    EXPECT_EQ(Pixel(135, 90), 0u);
}

TEST_F(TargetMarks, AnalysingZoomsTheBracketsInOverTwentyNineFrames) {
    Rec()->analysing = 1;
    FrameCounter = 0x10;
    Draw();
    EXPECT_NE(Text("analysing"), nullptr);
    EXPECT_EQ(TargetZoom, 29) << "drawn at 30 the first frame";
    for (int i = 0; i < 28; ++i) Draw();
    EXPECT_EQ(TargetZoom, 1);
    Draw();
    EXPECT_EQ(TargetZoom, 1);
    FrameCounter = 0;
    Draw();
    EXPECT_EQ(Text("analysing"), nullptr) << "the text blinks";
    // The spin wraps below 360.
    EXPECT_EQ(TargetSpin, 31 * 3);
    TargetSpin = 357;
    Draw();
    EXPECT_EQ(TargetSpin, 0);
}

TEST_F(TargetMarks, AnOffScreenTargetGetsAnEdgeArrowAndLosesTheLock) {
    struct Case {
        int32_t x, y, z;
        int arrowX, arrowY;  // a pixel of the arrow
        int style;           // the label's alignment
        int labelX, labelY;
    } cases[] = {
        {0, 0, -100000, 20, 120, 1, 130, 134},          // straight behind, not right of the centre: left
        {1000, 0, -100000, 300, 120, 2, 197, 134},      // behind, right of the centre: right
        {200000, 0, 100000, 300, 120, 2, 290, 134},     // ahead, far right
        {0, -200000, 100000, 160, 20, 3, 160, 58},      // ahead, below: the bottom edge
        {0, 200000, 100000, 160, 220, 3, 160, 210},     // ahead, above: the top edge
        {-200000, 90000, 100000, 20, 193, 1, 30, 207},  // ahead, left and high: y held to H - 47
    };
    for (const Case& c : cases) {
        target_->pos[0] = c.x, target_->pos[1] = c.y, target_->pos[2] = c.z;
        Rec()->lockCountdown = 3, Rec()->locked = 1;
        Draw();
        EXPECT_EQ(Pixel(c.arrowX, c.arrowY), 0xff8080u) << c.x << " " << c.y << " " << c.z;
        const DrawnText* label = Text("Jeep (10.0m)");
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->style, c.style) << c.x << " " << c.y << " " << c.z;
        EXPECT_EQ(label->x, c.labelX) << c.x << " " << c.y << " " << c.z;
        EXPECT_EQ(label->y, c.labelY) << c.x << " " << c.y << " " << c.z;
        EXPECT_EQ(Rec()->lockCountdown, 150);
        EXPECT_EQ(Rec()->locked, 0);
    }
}

TEST_F(TargetMarks, TheNavigationArrowPointsAtTheNavigationPoint) {
    CurrentNavPoint = nullptr;
    const float calls = DrawCallCount;
    DrawNavArrow(player_);
    EXPECT_EQ(DrawCallCount, calls) << "no navigation point, no arrow";

    construct* nav = Unit(0, 0, 500000);
    CurrentNavPoint = nav;
    DrawNavArrow(player_);
    // Ahead: the head points up from the bottom centre, the shaft below it.
    EXPECT_EQ(Pixel(160, 35), 0x0000ffu);
    EXPECT_EQ(Pixel(160, 60), 0u);
    struct Case {
        int32_t x, z;
        int headX;
    } sides[] = {{500000, 1000, 235}, {-500000, 1000, 85}, {1000, -500000, 235}, {0, -500000, 85}};
    for (const Case& c : sides) {
        Clear();
        nav->pos[0] = c.x, nav->pos[2] = c.z;
        DrawNavArrow(player_);
        EXPECT_EQ(Pixel(c.headX, 10), 0x0000ffu) << c.x << " " << c.z;
        EXPECT_EQ(Pixel(160, 35), 0u) << c.x << " " << c.z;
    }
}

}  // namespace
}  // namespace kvtest
