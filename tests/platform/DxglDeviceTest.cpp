#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/Config.h"
#include "host/Gfx.h"
#include "host/Window.h"
#include "platform/Dxgl.h"
#include "render/RenderTables.h"
#include "support/DebugCapture.h"
#include "support/Fatal.h"

namespace {

// Opens the display with the given settings for one test and closes it afterwards; the settings and
// the process-wide flags are put back.
class DisplayTest : public testing::Test {
protected:
    void TearDown() override {
        dxgl_ShutdownD3D();
        fullscreen = saved_.fullscreen;
        xres = saved_.xres;
        yres = saved_.yres;
        colourdepth = saved_.colourdepth;
        zbuffer = saved_.zbuffer;
        gamma_brightness = saved_.gamma;
        PlainZ = 1;
    }

    int Open(int full, int depth, int z, int width = 64, int height = 48) {
        host::SetHeadless(true);
        fullscreen = full;
        colourdepth = depth;
        zbuffer = z;
        xres = width;
        yres = height;
        return dxgl_InitD3D();
    }

    // Draws a flat quad given in bottom-up caller coordinates, as the renderer's routines do.
    void FillBottomUp(float x0, float y0, float x1, float y1, uint32_t colour, float z = 0.5f) {
        // The game draws without culling (set when the display opens).
        ASSERT_EQ(host::SetRenderState(D3DDevice, host::RenderState::CullMode, host::GfxCullNone), 0);
        ScreenVertex v[4] = {};
        const float xs[4] = {x0, x1, x1, x0}, ys[4] = {y0, y0, y1, y1};
        for (int i = 0; i < 4; ++i) {
            v[i].x = xs[i];
            v[i].y = ScreenHeightF - ys[i];
            v[i].z = z;
            v[i].rhw = 1.0f;
            v[i].diffuse = colour;
            v[i].specular = 0xFF000000u;
        }
        ASSERT_EQ(host::DrawPrimitive(D3DDevice, host::PrimitiveType::TriangleFan, kScreenVertexFvf, v, 4),
                  0);
    }

    struct {
        int fullscreen = ::fullscreen, xres = ::xres, yres = ::yres, colourdepth = ::colourdepth,
            zbuffer = ::zbuffer;
        float gamma = gamma_brightness;
    } saved_;
};

}  // namespace

// A 16-bit display asks for a 16-bit z-buffer, a 32-bit one for 24 bits; a window takes the desktop's
// depth (32 without a display).
TEST_F(DisplayTest, DepthsFollowTheDisplay) {
    const struct {
        int full, depth;
        int displayBits, zBits;
        host::PixelFormat target;
    } cases[] = {
        {1, 16, 16, 16, host::PixelFormat::RGB565},
        {1, 32, 32, 24, host::PixelFormat::XRGB8888},
        {0, 16, 32, 24, host::PixelFormat::XRGB8888},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(Open(c.full, c.depth, 1), 1);
        EXPECT_EQ(DisplayBits, c.displayBits);
        EXPECT_EQ(ZBufferWanted, c.zBits);
        EXPECT_EQ(ZBufferBits, c.zBits);
        EXPECT_EQ(host::SurfaceFormat(BackBuffer), c.target);
        ASSERT_NE(ZBufferSurface, nullptr);
        EXPECT_EQ(host::SurfaceFormat(ZBufferSurface),
                  c.zBits == 16 ? host::PixelFormat::Z16 : host::PixelFormat::Z24);
        EXPECT_EQ(host::AttachedZBuffer(BackBuffer), ZBufferSurface);
        EXPECT_EQ(SurfaceWidth, 64);
        EXPECT_EQ(SurfaceHeight, 48);
        EXPECT_EQ(ScreenHeightF, 48.0f);
        EXPECT_EQ(AlphaBits, 8);  // the device offers 32-bit textures with alpha
        dxgl_ShutdownD3D();
        EXPECT_EQ(D3DDevice, nullptr);
        EXPECT_EQ(BackBuffer, nullptr);
        EXPECT_EQ(ZBufferSurface, nullptr);
        EXPECT_EQ(D3DDriverCount, 0);
    }
}

TEST_F(DisplayTest, OpeningAgainReplacesTheOpenDisplay) {
    ASSERT_EQ(Open(1, 16, 1), 1);
    const int devices = D3DDriverCount;
    ASSERT_EQ(Open(1, 32, 1, 20, 10), 1);
    EXPECT_EQ(D3DDriverCount, devices);
    EXPECT_EQ(host::SurfaceWidth(BackBuffer), 20);
    EXPECT_EQ(host::SurfaceFormat(BackBuffer), host::PixelFormat::XRGB8888);
}

TEST_F(DisplayTest, AModeThatCannotBeSetCreatesNothing) {
    EXPECT_EQ(Open(1, 24, 1), 0);
    EXPECT_EQ(D3DDevice, nullptr);
    EXPECT_EQ(BackBuffer, nullptr);
    EXPECT_EQ(D3DDriverCount, 0);
    // The frame loops see that nothing can be drawn; the rest does nothing rather than fail.
    EXPECT_EQ(dxgl_TestCooperativeLevel(), static_cast<HRESULT>(0x887600E1u));
    const int presents = host::PresentCount();
    dxgl_SwapBuffers();
    EXPECT_EQ(host::PresentCount(), presents);
    uint8_t rgb[3] = {1, 2, 3};
    dxgl_ReadBackBuffer(0, 0, rgb);
    EXPECT_EQ(rgb[0] + rgb[1] + rgb[2], 0);
    EXPECT_EQ(dxgl_ReadDepthBuffer(0, 0), 1.0f);
}

TEST_F(DisplayTest, PlainHardwareDeviceIsChosen) {
    ASSERT_EQ(Open(1, 16, 1), 1);
    D3DDriverCell* chosen = ChooseD3DDriver();
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(chosen->hardware, 1);
    EXPECT_EQ(chosen->tnl, 0);
    EXPECT_EQ(chosen->guidPtr, chosen->guid);
    EXPECT_EQ(dxgl_TestCooperativeLevel(), 0);
}

// A pixel given bottom-up lies on row height - 1 - y; each channel is widened from its mask.
TEST_F(DisplayTest, ReadBackIsBottomUpInBothDepths) {
    const struct {
        int depth;
        uint8_t r, g, b;  // what 0xFF84860C reads back as
    } cases[] = {{16, 0x80, 0x84, 0x08}, {32, 0x84, 0x86, 0x0C}};
    for (const auto& c : cases) {
        ASSERT_EQ(Open(1, c.depth, 1), 1);
        dxgl_ClearRenderTarget(0xFF000000u, 1);
        const host::GfxRect topLeft = {0, 0, 1, 1};
        ASSERT_EQ(host::ColourFill(BackBuffer, &topLeft, 0xFF84860Cu), 0);
        const host::GfxRect bottomRight = {63, 47, 64, 48};
        ASSERT_EQ(host::ColourFill(BackBuffer, &bottomRight, 0xFFFFFFFFu), 0);
        uint8_t rgb[3];
        dxgl_ReadBackBuffer(0, 47, rgb);
        EXPECT_EQ(rgb[0], c.r) << c.depth;
        EXPECT_EQ(rgb[1], c.g) << c.depth;
        EXPECT_EQ(rgb[2], c.b) << c.depth;
        dxgl_ReadBackBuffer(63, 0, rgb);
        EXPECT_EQ(rgb[0], c.depth == 16 ? 0xF8 : 0xFF) << c.depth;
        EXPECT_EQ(rgb[1], c.depth == 16 ? 0xFC : 0xFF) << c.depth;
        dxgl_ReadBackBuffer(0, 0, rgb);
        EXPECT_EQ(rgb[0] + rgb[1] + rgb[2], 0) << c.depth;
        dxgl_ShutdownD3D();
    }
}

TEST_F(DisplayTest, OutsideTheSurfaceReadsBlackAndFarDepth) {
    ASSERT_EQ(Open(1, 32, 1), 1);
    ASSERT_EQ(host::ColourFill(BackBuffer, nullptr, 0xFFFFFFFFu), 0);
    const struct { int x, y; } outside[] = {{-1, 0}, {0, -1}, {64, 0}, {0, 48}, {1000, 1000}};
    for (const auto& p : outside) {
        uint8_t rgb[3] = {9, 9, 9};
        dxgl_ReadBackBuffer(p.x, p.y, rgb);
        EXPECT_EQ(rgb[0] + rgb[1] + rgb[2], 0) << p.x << "," << p.y;
        EXPECT_EQ(dxgl_ReadDepthBuffer(p.x, p.y), 1.0f) << p.x << "," << p.y;
    }
}

// Quads drawn at caller coordinates land where the read-back finds them: a y of 0 is the bottom row.
TEST_F(DisplayTest, DrawnQuadsAndDepthsReadBackAtTheirCallerPositions) {
    for (int depth : {16, 32}) {
        ASSERT_EQ(Open(1, depth, 1), 1);
        ASSERT_EQ(dxgl_ClearRenderTarget(0xFF000000u, 1), 0);
        FillBottomUp(0, 0, 10, 10, 0xFFFFFFFFu, 0.25f);
        host::FinishDrawing(D3DDevice);
        uint8_t rgb[3];
        dxgl_ReadBackBuffer(0, 0, rgb);
        EXPECT_EQ(rgb[0], depth == 16 ? 0xF8 : 0xFF) << depth;
        dxgl_ReadBackBuffer(9, 9, rgb);
        EXPECT_EQ(rgb[1], depth == 16 ? 0xFC : 0xFF) << depth;
        dxgl_ReadBackBuffer(10, 10, rgb);
        EXPECT_EQ(rgb[1], 0) << depth;
        EXPECT_FLOAT_EQ(dxgl_ReadDepthBuffer(5, 0), 0.25f) << depth;
        EXPECT_NEAR(dxgl_ReadDepthBuffer(5, 10), 1.0f, 1.0 / 65536) << depth;
        // Clearing the z of the lower-left 5 x 5 corner leaves the rest of the quad's depth.
        ASSERT_EQ(dxgl_ClearZRect(0, 0, 5, 5), 0);
        EXPECT_NEAR(dxgl_ReadDepthBuffer(4, 4), 1.0f, 1.0 / 65536) << depth;
        EXPECT_FLOAT_EQ(dxgl_ReadDepthBuffer(5, 4), 0.25f) << depth;
        EXPECT_FLOAT_EQ(dxgl_ReadDepthBuffer(4, 5), 0.25f) << depth;
        dxgl_ShutdownD3D();
    }
}

// A 24-bit z word holds its depth in the top 24 bits, or in the low 24 bits beside a top stencil byte.
TEST_F(DisplayTest, TwentyFourBitDepthWordFollowsThePlainZFlag) {
    ASSERT_EQ(Open(1, 32, 1), 1);
    host::GfxLock lock;
    ASSERT_EQ(host::LockSurface(ZBufferSurface, nullptr, &lock), 0);
    const uint32_t word = 0x40000080u;  // top 24 bits: 0x400000 (0.25); low 24 bits: 0x000080
    memcpy(static_cast<uint8_t*>(lock.bits) + (47 - 3) * lock.pitch + 2 * 4, &word, 4);
    ASSERT_EQ(host::UnlockSurface(ZBufferSurface), 0);
    PlainZ = 1;
    EXPECT_FLOAT_EQ(dxgl_ReadDepthBuffer(2, 3), 0.25f);
    PlainZ = 0;
    EXPECT_FLOAT_EQ(dxgl_ReadDepthBuffer(2, 3), 128.0f / 16777216.0f);
}

TEST_F(DisplayTest, WithoutZBufferDepthReadsFarAndZClearsDoNothing) {
    ASSERT_EQ(Open(1, 16, 0), 1);
    EXPECT_EQ(ZBufferSurface, nullptr);
    EXPECT_EQ(host::AttachedZBuffer(BackBuffer), nullptr);
    EXPECT_EQ(dxgl_ClearZRect(0, 0, 10, 10), 0);
    EXPECT_EQ(dxgl_ClearRenderTarget(0xFF000000u, 1), 0);
    EXPECT_EQ(dxgl_ReadDepthBuffer(1, 1), 1.0f);
}

TEST_F(DisplayTest, ViewportReachesTheDevice) {
    ASSERT_EQ(Open(1, 16, 1, 640, 480), 1);
    const host::GfxViewport whole = host::GetViewport(D3DDevice);
    EXPECT_EQ(whole.width, 640);
    EXPECT_EQ(whole.height, 480);
    dxgl_SetViewport(100, 50, 20, 10);
    const host::GfxViewport vp = host::GetViewport(D3DDevice);
    EXPECT_EQ(vp.x, 20);
    EXPECT_EQ(vp.y, 430);
    EXPECT_EQ(vp.width, 80);
    EXPECT_EQ(vp.height, 40);
    EXPECT_EQ(vp.minZ, 0.0f);
    EXPECT_EQ(vp.maxZ, 1.0f);
    SetViewportRect(0, 0, 320, 240);  // the renderer's entry forwards unchanged
    EXPECT_EQ(host::GetViewport(D3DDevice).y, 240);
    EXPECT_EQ(ClipRect.xmax, 320);
}

TEST_F(DisplayTest, SwapPresentsAndResetsTheStatistics) {
    ASSERT_EQ(Open(1, 16, 1), 1);
    DrawCallCount = 5.0f;
    TriangleCount = 12.0f;
    const int presents = host::PresentCount();
    dxgl_SwapBuffers();
    dxgl_SwapBuffers();
    EXPECT_EQ(host::PresentCount(), presents + 2);
    EXPECT_EQ(DrawCallCount, 0.0f);
    EXPECT_EQ(TriangleCount, 0.0f);
}

// Only a full-screen display has a gamma control; the value is remembered either way.
TEST_F(DisplayTest, GammaRampIsSetInFullScreenOnly) {
    uint16_t r[256], g[256], b[256], expected[256];
    ASSERT_EQ(Open(1, 16, 1), 1);
    dxgl_SetGamma(2.0f);
    EXPECT_EQ(CurrentGamma, 2.0f);
    host::GetGammaRamp(r, g, b);
    BuildGammaRamp(2.0f, expected);
    EXPECT_EQ(memcmp(r, expected, sizeof r), 0);
    EXPECT_EQ(memcmp(b, expected, sizeof b), 0);
    dxgl_ShutdownD3D();

    gamma_brightness = 1.0f;
    ASSERT_EQ(Open(0, 16, 1), 1);
    dxgl_SetGamma(0.5f);
    EXPECT_EQ(CurrentGamma, 0.5f);
    host::GetGammaRamp(r, g, b);
    EXPECT_EQ(memcmp(r, expected, sizeof r), 0);  // the full-screen ramp stays
}

TEST_F(DisplayTest, PerspectiveFlagIsRememberedAndSet) {
    ASSERT_EQ(Open(1, 16, 1), 1);
    dxgl_SetPerspectiveTextures(0);
    EXPECT_EQ(PerspectiveTextures, 0);
    EXPECT_EQ(host::GetRenderState(D3DDevice, host::RenderState::TexturePerspective), 0u);
    dxgl_SetPerspectiveTextures(1);
    EXPECT_EQ(host::GetRenderState(D3DDevice, host::RenderState::TexturePerspective), 1u);
}

TEST_F(DisplayTest, VideoMemoryShrinksWithTheSurfaces) {
    uint32_t total = 0, before = 0, after = 0;
    EXPECT_EQ(dxgl_GetVideoMemory(&total, &before), 0);
    ASSERT_EQ(Open(1, 32, 1, 256, 256), 1);
    EXPECT_EQ(dxgl_GetVideoMemory(nullptr, &after), 0);
    EXPECT_GT(total, 0u);
    EXPECT_EQ(before - after, 2u * 256 * 256 * 4);  // back buffer and z-buffer
}

// ---- The driver list --------------------------------------------------------------------------------

namespace {

const uint8_t* GuidOf(host::DeviceKind kind) {
    const host::DeviceInfo* list = nullptr;
    const int count = host::EnumerateDevices(&list);
    for (int i = 0; i < count; ++i)
        if (list[i].kind == kind) return list[i].guid;
    return nullptr;
}

}  // namespace

// The last plain hardware device wins, else the last software one, else the first in the list.
TEST_F(DisplayTest, DeviceChoice) {
    using K = host::DeviceKind;
    const struct {
        std::vector<K> kinds;
        int chosen;  // index into kinds
    } cases[] = {
        {{K::HardwareTnL, K::Software}, 1},
        {{K::Software, K::Hardware, K::HardwareTnL}, 1},
        {{K::Hardware, K::Software, K::Hardware}, 2},
        {{K::Software, K::HardwareTnL, K::Software}, 2},
        {{K::HardwareTnL}, 0},
        {{K::HardwareTnL, K::HardwareTnL}, 0},
    };
    for (const auto& c : cases) {
        std::vector<D3DDriverCell*> made;
        for (K k : c.kinds) made.push_back(CreateD3DDriver(GuidOf(k), "dev", "desc"));
        EXPECT_EQ(ChooseD3DDriver(), made[c.chosen]) << c.kinds.size() << " devices";
        dxgl_ShutdownD3D();  // frees the list
    }
    EXPECT_EQ(ChooseD3DDriver(), nullptr);
}

TEST_F(DisplayTest, DriverListHoldsSixtyFourAndCopiesTextsWithABound) {
    const std::string longName(300, 'n');
    D3DDriverCell* first = CreateD3DDriver(GuidOf(host::DeviceKind::Software), longName.c_str(), nullptr);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(strlen(first->name), 255u);
    EXPECT_STREQ(first->description, "");
    EXPECT_EQ(first->hardware, 0);
    for (int i = 1; i < 64; ++i)
        ASSERT_NE(CreateD3DDriver(GuidOf(host::DeviceKind::HardwareTnL), "t", "t"), nullptr);
    EXPECT_EQ(D3DDrivers[63]->tnl, 1);
    EXPECT_EQ(CreateD3DDriver(GuidOf(host::DeviceKind::Hardware), "h", "h"), nullptr);
    EXPECT_EQ(D3DDriverCount, 64);
}

TEST_F(DisplayTest, UnknownDeviceIsFatal) {
    kvtest::FatalCatcher catcher;
    const uint8_t unknown[16] = {1, 2, 3};
    try {
        CreateD3DDriver(unknown, "x", "y");
        FAIL();
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(CreateD3DDriver): Unknown device");
    }
    EXPECT_EQ(D3DDriverCount, 0);
}

// ---- Format choices ---------------------------------------------------------------------------------

TEST(ZBufferChoice, WantedDepthAmongTheOffered) {
    using host::PixelFormat;
    const host::ZBufferFormat z16 = {16, 16, 0, 0xFFFF, 0, PixelFormat::Z16};
    const host::ZBufferFormat z24 = {32, 24, 0, 0xFFFFFF00u, 0, PixelFormat::Z24};
    const host::ZBufferFormat z24b = {32, 24, 0, 0x00FFFFFFu, 0, PixelFormat::Unknown};
    const host::ZBufferFormat s8 = {32, 24, 8, 0x00FFFFFFu, 0xFF000000u, PixelFormat::Unknown};
    const host::ZBufferFormat s8low = {32, 24, 8, 0xFFFFFF00u, 0x000000FFu, PixelFormat::Unknown};
    const struct {
        std::vector<host::ZBufferFormat> offered;
        int wanted;
        int found;
        PixelFormat chosen;
        int plainZ;
    } cases[] = {
        {{z16, z24}, 16, 1, PixelFormat::Z16, 1},
        {{z16, z24}, 24, 1, PixelFormat::Z24, 1},
        {{z16}, 24, 0, PixelFormat::Unknown, 1},
        {{z24, z24b}, 24, 1, PixelFormat::Unknown, 1},  // the later match replaces the earlier
        {{s8}, 24, 0, PixelFormat::Unknown, 0},         // a stencil format is never taken
        {{z24, s8}, 24, 1, PixelFormat::Z24, 0},
        {{z24, s8low}, 24, 1, PixelFormat::Z24, 1},
    };
    for (const auto& c : cases) {
        PlainZ = 1;
        PixelFormat chosen = PixelFormat::Unknown;
        EXPECT_EQ(
            ChooseZBufferFormat(c.offered.data(), static_cast<int>(c.offered.size()), c.wanted, &chosen),
            c.found);
        EXPECT_EQ(chosen, c.chosen);
        EXPECT_EQ(PlainZ, c.plainZ);
    }
    PlainZ = 1;
}

TEST(AlphaBitsChoice, EightOnlyWithThirtyTwoBitAlphaColour) {
    using host::DescribeFormat;
    using host::PixelFormat;
    const struct {
        std::vector<host::PixelFormatDesc> offered;
        int bits;
    } cases[] = {
        {{DescribeFormat(PixelFormat::RGB565), DescribeFormat(PixelFormat::ARGB8888)}, 8},
        {{DescribeFormat(PixelFormat::ARGB4444), DescribeFormat(PixelFormat::XRGB8888)}, 4},
        {{DescribeFormat(PixelFormat::A8), DescribeFormat(PixelFormat::ARGB1555)}, 4},
        {{}, 4},
    };
    for (const auto& c : cases) {
        kvtest::DebugCapture log;
        EXPECT_EQ(ChooseAlphaBits(c.offered.data(), static_cast<int>(c.offered.size())), c.bits);
        EXPECT_EQ(log.text(),
                  c.bits == 8 ? "" : "warning(dxgl_InitD3D): system weakness - falling back to 4bpp alpha\n");
    }
}
