// The icon registry and the mouse pointer over an icon folder made with datakit.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "core/Config.h"
#include "game/Level_local.h"
#include "hud/Icons.h"
#include "hud/MousePtr.h"
#include "hud/TFView.h"
#include "render/RenderTables.h"
#include "support/Fatal.h"
#include "support/TempDir.h"
#include "support/TextDevice.h"
#include "tools/datakit/Texture.h"
#include "world/Construct.h"
#include "world/Level.h"
#include "world/Player.h"

namespace {

std::string Picture(int w, int h, uint32_t rgb) {
    std::vector<uint32_t> px(size_t(w) * h, rgb);
    auto bytes = datakit::Bmp24(w, h, px);
    return std::string(bytes.begin(), bytes.end());
}

class Pointer : public ::testing::Test {
protected:
    Pointer() {
        memcpy(rootWas_, ICONROOT, sizeof rootWas_);
        for (const char* name : MouseShapeNames) dir_.Write(std::string("Icons/") + name, Picture(4, 6, 0xffffff));
        dir_.Write("Icons/Flag", Picture(3, 3, 0x00ff00));
        dir_.Write("Icons/flag", Picture(5, 5, 0xff0000));
        snprintf(ICONROOT, sizeof ICONROOT, "%s/Icons", dir_.path().c_str());
    }
    ~Pointer() override {
        DeleteMousePtr();
        IconsFree();
        memcpy(ICONROOT, rootWas_, sizeof rootWas_);
    }
    kvtest::FatalCatcher fatal_;
    kvtest::TempDir dir_;
    char rootWas_[sizeof ICONROOT];
};

TEST_F(Pointer, IconsAreFoundByTheirExactName) {
    IconsInit();
    EXPECT_EQ(QZIconCount, 10);
    QZIcon* upper = NamedQZIcon("Flag");
    QZIcon* lower = NamedQZIcon("fl%s", "ag");
    ASSERT_NE(upper, lower);
    EXPECT_EQ(upper->width, 3);
    EXPECT_EQ(lower->width, 5);
    EXPECT_EQ(FindQZIcon("FLAG"), nullptr);
    EXPECT_THROW(NamedQZIcon("FLAG"), kvtest::FatalExit);
    // Deleting moves the last icon into the gap; freeing empties the table and every lookup fails.
    QZIcon* last = QZIcons[QZIconCount - 1];
    DeleteQZIcon(QZIcons[0]);
    EXPECT_EQ(QZIcons[0], last);
    IconsFree();
    EXPECT_EQ(QZIconCount, 0);
    try {
        NamedQZIcon("mouse0");
        FAIL();
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(NamedQZIcon): icon 'mouse0' missing");
    }
}

TEST_F(Pointer, TheTableHoldsTwoHundredIcons) {
    for (int i = 0; i < kMaxQZIcons; ++i) CreateQZIcon();
    EXPECT_STREQ(QZIcons[0]->name, "<unnamed>");
    try {
        CreateQZIcon();
        FAIL();
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(CreateQZIcon): Too many QZicons");
    }
}

TEST_F(Pointer, AMissingShapeIsFatalAndLeavesNoPointer) {
    IconsInit();
    DeleteQZIcon(NamedQZIcon("mouse_rot"));
    EXPECT_THROW(CreateMousePtr(), kvtest::FatalExit);
    EXPECT_EQ(MousePointer, nullptr);
}

TEST_F(Pointer, MovesTwiceTheCountsAndIsHeldInItsClipFromTheNextMove) {
    IconsInit();
    CreateMousePtr();
    // Unclipped: nothing holds it back, the wheel included.
    MoveMousePtr(INT32_MAX / 4, -100, 3);
    int32_t x, y, z;
    GetMousePtr(&x, &y, &z);
    EXPECT_EQ(x, INT32_MAX / 4 * 2);
    EXPECT_EQ(y, -200);
    EXPECT_EQ(z, 6);
    SetMousePtrClip(0, 0, 799, 599);
    EXPECT_EQ(GetMousePtrX(), INT32_MAX / 4 * 2) << "the clip waits for the next move";
    MoveMousePtr(0, 0, 1000);
    EXPECT_EQ(GetMousePtrX(), 799);
    EXPECT_EQ(GetMousePtrY(), 0);
    EXPECT_EQ(MousePointer->z, 2006) << "the wheel is not clipped";
    // Without tracking the picture stays where it was while the position moves on.
    ClearMousePtrFlag();
    MoveMousePtr(-100, 50, 0);
    EXPECT_EQ(GetMousePtrX(), 599);
    EXPECT_EQ(MousePointer->drawnX, 799);
    // A set position moves the picture only at the next tracked move.
    SetMousePtrFlag();
    SetMousePtrPos(10, 20);
    EXPECT_EQ(MousePointer->drawnX, 799);
    MoveMousePtr(0, 0, 0);
    EXPECT_EQ(MousePointer->drawnX, 10);
    EXPECT_EQ(MousePointer->drawnY, 20);
}

TEST_F(Pointer, ShapesFollowOneTable) {
    IconsInit();
    CreateMousePtr();
    EXPECT_EQ(MousePointer->currentIcon, NamedQZIcon("mouse0"));
    for (int i = 0; i < kMouseShapeCount; ++i) EXPECT_EQ(MousePointer->shapes[i], NamedQZIcon("%s", MouseShapeNames[i]));
    SetMousePtrShape(static_cast<int>(MouseShape::Rotate), -32, 32);
    EXPECT_EQ(GetMousePtrShape(), 6);
    EXPECT_EQ(MousePointer->currentIcon, NamedQZIcon("mouse_rot"));
    EXPECT_EQ(MousePointer->shapes[5], NamedQZIcon("mouse_zoom"));
    SetMousePtrShape(kMouseShapeCount, 0, 0);
    EXPECT_EQ(GetMousePtrShape(), 6) << "an index outside the table is ignored";
}

TEST_F(Pointer, TheInputSamplingAndTheInputReceiverUseThePointer) {
    IconsInit();
    CreateMousePtr();
    SetMousePtrPos(123, 45);
    ASSERT_NE(MousePointerPosition, nullptr);
    int32_t x = 0, y = 0, z = 0;
    MousePointerPosition(&x, &y, &z);
    EXPECT_EQ(x, 123);
    EXPECT_EQ(y, 45);
    PlayerCell cell{};
    SetInputConstruct(nullptr, &cell);
    EXPECT_EQ(GetMousePtrX(), 0);
    EXPECT_EQ(GetMousePtrY(), 0);
    DeleteMousePtr();
    EXPECT_EQ(MousePointerPosition, nullptr);
}

TEST_F(Pointer, IsDrawnWithItsTopLeftAtThePointerAndOnlyWhenShown) {
    kvtest::TextDevice dev(64, 48);
    IconsInit();
    CreateMousePtr();
    MoveMousePtr(10, 15, 0);  // (20, 30): row 48 - 30 = 18 from the top
    DrawMousePtr();
    EXPECT_TRUE(dev.Lit(20, 18));
    EXPECT_TRUE(dev.Lit(23, 23));
    EXPECT_FALSE(dev.Lit(24, 18));
    EXPECT_FALSE(dev.Lit(20, 17));
    dev.Clear();
    HideMousePtr();
    DrawMousePtr();
    EXPECT_FALSE(dev.Lit(20, 18));
}

// Leaving a menu over the level: on the tactical map the pointer is shown again where it was, held to the
// screen's edges; in a unit's view, or in a level that keeps the player in the cockpit, it stays hidden.
TEST_F(Pointer, AfterAMenuItIsAsTheLevelsViewHasIt) {
    kvtest::TextDevice dev(64, 48);
    IconsInit();
    CreateMousePtr();
    construct unit{};
    struct Case {
        construct* driven;
        int cockpitOnly;
        int shown;
    } cases[] = {{nullptr, 0, 1}, {&unit, 0, 0}, {nullptr, 1, 0}};
    for (const Case& c : cases) {
        // The menu's own pointer: shown, another shape, centred.
        ShowMousePtr();
        SetMousePtrShape(5, -32, 32);
        SetMousePtrPos(32, 24);
        PlayerUnit = c.driven;
        LevelCockpitOnly = c.cockpitOnly;
        PointerAfterMenu(20, 30);
        EXPECT_EQ(IsMousePtrShown(), c.shown) << c.cockpitOnly;
        if (c.driven) continue;
        EXPECT_EQ(GetMousePtrShape(), 0);
        EXPECT_EQ(GetMousePtrX(), 20);
        EXPECT_EQ(GetMousePtrY(), 30);
        MoveMousePtr(-1000, 1000, 0);
        EXPECT_EQ(GetMousePtrX(), -6);
        EXPECT_EQ(GetMousePtrY(), ScreenHeight + 6);
    }
    PlayerUnit = nullptr;
    LevelCockpitOnly = 0;
}

}  // namespace
