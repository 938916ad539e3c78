// The slide show: slides advance one per press, Escape ends the show, a missing first slide shows
// nothing, and a slide that cannot be loaded ends the program.
#include <gtest/gtest.h>

#include <fstream>

#include "core/Config.h"
#include "host/Fs.h"
#include "host/Gfx.h"
#include "host/InputScript.h"
#include "host/Window.h"
#include "platform/Dxgl.h"
#include "support/Fatal.h"
#include "support/TempDir.h"
#include "tools/datakit/Bytes.h"
#include "tools/datakit/Texture.h"
#include "game/Startup.h"

namespace {

class SlideShowTest : public ::testing::Test {
protected:
    void SetUp() override {
        host::SetHeadless(true);
        xres = 32;
        yres = 24;
        colourdepth = 32;
        fullscreen = 1;
        snprintf(savedRoot_, sizeof savedRoot_, "%s", BITMAPROOT);
        snprintf(BITMAPROOT, sizeof BITMAPROOT, "%s/Bitmaps", tmp.path().c_str());
        const uint32_t colours[3] = {0xff0000, 0x00ff00, 0x0000ff};
        for (int i = 0; i < 3; ++i)
            datakit::WriteFile(tmp / ("Bitmaps/slide" + std::to_string(i + 1) + ".bmp"),
                               datakit::Bmp24(16, 12, std::vector<uint32_t>(16 * 12, colours[i])));
        host::FlushDirectoryCache();
        ASSERT_EQ(OpenDisplay(), 1);
    }
    void TearDown() override {
        CloseDevices();
        host::ClearInputScript();
        snprintf(BITMAPROOT, sizeof BITMAPROOT, "%s", savedRoot_);
        xres = saved_.xres;
        yres = saved_.yres;
        colourdepth = saved_.colourdepth;
        fullscreen = saved_.fullscreen;
    }
    // Loads a script of (frames from now, "down"/"up", key code) events.
    void Script(const std::vector<std::tuple<int, const char*, int>>& events) {
        int now = host::FramesPumped();
        std::ofstream out(tmp / "script.txt");
        for (auto& [frame, op, code] : events) out << now + frame << " " << op << " " << code << "\n";
        out.close();
        std::string error;
        ASSERT_TRUE(host::LoadInputScript((tmp / "script.txt").c_str(), &error)) << error;
    }
    uint32_t Shown() { return host::ReadPixelArgb(BackBuffer, 20, 10) & 0xffffff; }

    kvtest::TempDir tmp;
    kvtest::FatalCatcher fatal;
    char savedRoot_[kRootSize];
    struct {
        int xres = ::xres, yres = ::yres, colourdepth = ::colourdepth, fullscreen = ::fullscreen;
    } saved_;
};

TEST_F(SlideShowTest, EachPressAdvancesOneSlideUntilTheLast) {
    Script({{2, "down", 57}, {3, "up", 57}, {5, "down", 256}, {6, "up", 256}, {8, "down", 57}, {9, "up", 57}});
    int presents = host::PresentCount();
    EXPECT_EQ(SlideShow("slide"), 0);
    EXPECT_EQ(host::PresentCount(), presents + 3);
    EXPECT_EQ(Shown(), 0x0000ffu) << "the last slide stays on the screen";
}

TEST_F(SlideShowTest, HoldingTheKeyAdvancesOnlyOneSlideAndEscapeEndsTheShow) {
    // Space held from frame 2 to 10: slide 2 must wait for the release and a new press.
    Script({{2, "down", 57}, {10, "up", 57}, {14, "down", 1}});
    EXPECT_EQ(SlideShow("slide"), 1);
    EXPECT_EQ(Shown(), 0x00ff00u);
}

TEST_F(SlideShowTest, NoFirstSlideShowsNothing) {
    int presents = host::PresentCount();
    EXPECT_EQ(SlideShow("extro"), 0);
    EXPECT_EQ(host::PresentCount(), presents);
}

TEST_F(SlideShowTest, ABrokenSlideEndsTheProgram) {
    datakit::WriteFile(tmp / "Bitmaps/bad1.bmp", {'B', 'M', 0, 0});
    host::FlushDirectoryCache();
    std::string message;
    try {
        SlideShow("bad");
    } catch (const kvtest::FatalExit& e) {
        message = e.what();
    }
    EXPECT_EQ(message, "Error(BannerScreen): can't blit banner surface");
}

TEST_F(SlideShowTest, BannerFillsTheScreenAndReleasesItsSlot) {
    host::GfxSurface* slot = nullptr;
    BannerScreen(&slot, "slide1", 0, 0);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(host::SurfaceWidth(slot), 32) << "stretched to the screen";
    EXPECT_EQ(host::ReadPixelArgb(BackBuffer, 31, 23) & 0xffffff, 0xff0000u);
    host::GfxSurface* same = slot;
    BannerScreen(&slot, "slide2", 0, 0);
    EXPECT_EQ(slot, same) << "a filled slot is shown again, not reloaded";
    EXPECT_EQ(Shown(), 0xff0000u);
    BannerScreen(&slot, "slide2", -1, 0);
    EXPECT_EQ(slot, nullptr);
}

}  // namespace

namespace {

TEST_F(SlideShowTest, AHeadlessRunWithoutInputDoesNotWaitAtASlide) {
    host::ClearInputScript();
    EXPECT_EQ(SlideShow("slide"), 1);
    EXPECT_EQ(Shown(), 0xff0000u);
    // A key still held when the script has run out: the release can never come.
    Script({{2, "down", 57}});
    EXPECT_EQ(SlideShow("slide"), 1);
}

}  // namespace
