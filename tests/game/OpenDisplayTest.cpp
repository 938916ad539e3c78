#include <gtest/gtest.h>

#include "core/Config.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "frontend/Frontend.h"
#include "host/Gfx.h"
#include "host/Window.h"
#include "platform/DxError.h"
#include "platform/Dxgl.h"
#include "support/Fatal.h"
#include "support/TempDir.h"
#include "tools/datakit/RulesText.h"
#include "game/Startup.h"

namespace {

class OpenDisplayTest : public testing::Test {
protected:
    void SetUp() override {
        host::SetHeadless(true);
        xres = 32;
        yres = 24;
        colourdepth = 16;
        fullscreen = 1;
    }
    void TearDown() override {
        CloseDevices();
        xres = saved_.xres;
        yres = saved_.yres;
        colourdepth = saved_.colourdepth;
        zbuffer = saved_.zbuffer;
        fullscreen = saved_.fullscreen;
    }
    struct {
        int xres = ::xres, yres = ::yres, colourdepth = ::colourdepth, zbuffer = ::zbuffer,
            fullscreen = ::fullscreen;
    } saved_;
};

uint32_t State(host::RenderState s) {
    return host::GetRenderState(D3DDevice, s);
}
uint32_t Stage(int stage, host::StageState s) {
    return host::GetTextureStageState(D3DDevice, stage, s);
}

}  // namespace

TEST_F(OpenDisplayTest, OpensClearsPresentsAndSetsTheInitialStates) {
    using host::RenderState;
    using host::StageState;
    for (int z : {1, 0}) {
        zbuffer = z;
        const int presents = host::PresentCount();
        ASSERT_EQ(OpenDisplay(), 1);
        ASSERT_NE(D3DDevice, nullptr);
        EXPECT_EQ(host::PresentCount(), presents + 1);
        EXPECT_EQ(host::ReadPixelArgb(BackBuffer, 5, 5), 0xFF000000u);
        EXPECT_EQ(State(RenderState::ZEnable), static_cast<uint32_t>(z));
        EXPECT_EQ(State(RenderState::ZWriteEnable), static_cast<uint32_t>(z));
        EXPECT_EQ(State(RenderState::SpecularEnable), 0u);
        EXPECT_EQ(State(RenderState::CullMode), 1u);
        EXPECT_EQ(State(RenderState::DitherEnable), 1u);
        EXPECT_EQ(State(RenderState::SrcBlend), 2u);
        EXPECT_EQ(State(RenderState::DestBlend), 2u);
        for (int stage = 0; stage < 2; ++stage) {
            EXPECT_EQ(Stage(stage, StageState::MagFilter), 2u) << stage;
            EXPECT_EQ(Stage(stage, StageState::MinFilter), 2u) << stage;
            EXPECT_EQ(Stage(stage, StageState::TexCoordIndex), static_cast<uint32_t>(stage));
        }
        CloseDevices();
        EXPECT_EQ(D3DDevice, nullptr);
        EXPECT_EQ(BackBuffer, nullptr);
    }
}

TEST_F(OpenDisplayTest, MenuFramesClearAndPresent) {
    ASSERT_EQ(OpenDisplay(), 1);
    ASSERT_EQ(host::ColourFill(BackBuffer, nullptr, 0xFFFFFFFFu), 0);
    const int presents = host::PresentCount();
    EXPECT_EQ(MenuFrame(), 0);
    EXPECT_EQ(MenuFrame(), 0);
    EXPECT_EQ(host::PresentCount(), presents + 2);
    uint8_t rgb[3] = {1, 1, 1};
    dxgl_ReadBackBuffer(31, 23, rgb);
    EXPECT_EQ(rgb[0] + rgb[1] + rgb[2], 0);
}

TEST_F(OpenDisplayTest, WithoutADisplayModeNothingIsDrawn) {
    colourdepth = 8;
    const int presents = host::PresentCount();
    EXPECT_EQ(OpenDisplay(), 0);
    EXPECT_EQ(D3DDevice, nullptr);
    EXPECT_EQ(MenuFrame(), 0);
    EXPECT_EQ(host::PresentCount(), presents);
}

// The graphics fatal exit closes the devices before its box.
// The graphics layer's fatal exit reaches the program's device shutdown only through the hook that the
// start-up installs.
TEST_F(OpenDisplayTest, DxFatalReleasesTheDevicesThroughTheInstalledHook) {
    kvtest::FatalCatcher catcher;
    SetCloseDevicesHook(nullptr);
    ASSERT_EQ(OpenDisplay(), 1);
    EXPECT_THROW(dxgl_Fatal("Error(dxgl_SwapBuffers): Failed to flip"), kvtest::FatalExit);
    EXPECT_NE(D3DDevice, nullptr);
    CloseDevices();

    InstallLayerHooks();
    ASSERT_EQ(OpenDisplay(), 1);
    EXPECT_THROW(dxgl_Fatal("Error(dxgl_SwapBuffers): Failed to flip"), kvtest::FatalExit);
    EXPECT_EQ(D3DDevice, nullptr);
    EXPECT_EQ(BackBuffer, nullptr);
    EXPECT_EQ(D3DDriverCount, 0);
    SetCloseDevicesHook(nullptr);
    SetConfigSoundLink(nullptr);
}

// The rule "perspective_textures" switches perspective-correct texturing; without it the device keeps
// its default.
TEST_F(OpenDisplayTest, PerspectiveTexturesFollowTheRule) {
    const struct {
        const char* rules;
        uint32_t state;
    } cases[] = {{"", 1}, {"perspective_textures 0;\n", 0}, {"perspective_textures 1.7;\n", 1}};
    for (const auto& c : cases) {
        kvtest::TempDir tmp;
        ASSERT_TRUE(datakit::WriteRulesText(tmp / "rules", c.rules));
        ReadRules((tmp / "rules").c_str());
        ASSERT_EQ(OpenDisplay(), 1);
        EXPECT_EQ(State(host::RenderState::TexturePerspective), c.state) << c.rules;
        EXPECT_EQ(PerspectiveTextures, static_cast<int32_t>(c.state)) << c.rules;
        CloseDevices();
        FreeRules();
    }
}
