// The overlay primitives on a small software device: the areas they cover, their colours, the text colour
// they leave, and the render states they give back.
#include <gtest/gtest.h>

#include "host/Gfx.h"
#include "render/Overlay2D.h"
#include "platform/Dxgl.h"
#include "render/RenderTables.h"
#include "support/TextDevice.h"

namespace {

using host::RenderState;

class Overlay : public ::testing::Test {
protected:
    Overlay() : heightWas_(ScreenHeightF) {
        ScreenHeightF = 120.0f;
        // The translucent shapes leave the z-buffer state to the caller; this device has no z-buffer.
        host::SetRenderState(dev_.device(), RenderState::ZEnable, 0);
        // As the game sets it up: no culling, the shapes come in either winding.
        host::SetRenderState(dev_.device(), RenderState::CullMode, host::GfxCullNone);
    }
    ~Overlay() override { ScreenHeightF = heightWas_; }
    uint32_t Pixel(int x, int row) {
        host::FinishDrawing(dev_.device());
        return host::ReadPixelArgb(dev_.target(), x, row) & 0xffffffu;
    }
    uint32_t State(RenderState s) { return host::GetRenderState(dev_.device(), s); }

    kvtest::TextDevice dev_{160, 120};
    float heightWas_;
};

const uint8_t kOrange[4] = {200, 100, 50, 255};

TEST_F(Overlay, OpaqueAndTranslucentFillsCoverDifferentAreas) {
    host::SetRenderState(dev_.device(), RenderState::ZEnable, 1);
    FillRect2D(kOrange, 10, 10, 30, 20);
    // y 10..20 from the bottom are rows 100..109 of a 120-row surface; x 10..29.
    EXPECT_EQ(Pixel(20, 105), 0xc86432u);
    EXPECT_EQ(Pixel(20, 100), 0xc86432u);
    EXPECT_EQ(Pixel(30, 105), 0u);
    EXPECT_EQ(State(RenderState::ZEnable), 1u) << "the z-buffer state comes back";

    dev_.Clear();
    host::SetRenderState(dev_.device(), RenderState::ZEnable, 0);
    FillRectAlpha2D(kOrange, 10, 10, 30, 20);
    // Half brightness, reaching x1 + 1 but stopping at y1 - 1.
    EXPECT_EQ(Pixel(20, 105), 0x643219u);
    EXPECT_EQ(Pixel(30, 105), 0x643219u);
    EXPECT_EQ(Pixel(20, 100), 0u);
    EXPECT_EQ(CurrentColour, 0xff643219u) << "the halved colour is left as the text colour";
}

TEST_F(Overlay, BlendStatesAreTouchedOnlyForTranslucentColours) {
    host::SetRenderState(dev_.device(), RenderState::SrcBlend, static_cast<uint32_t>(host::BlendFactor::SrcColor));
    FillRectAlpha2D(kOrange, 0, 0, 10, 10);
    FillShadedRect2D(kOrange, nullptr, 0, 0, 10, 10);
    DrawBevelPanel2D(kOrange, 20, 60, 60, 20);
    EXPECT_EQ(State(RenderState::SrcBlend), static_cast<uint32_t>(host::BlendFactor::SrcColor));

    const uint8_t half[4] = {200, 100, 50, 128};
    host::SetRenderState(dev_.device(), RenderState::AlphaBlendEnable, 1);
    FillRectAlpha2D(half, 0, 0, 10, 10);
    EXPECT_EQ(State(RenderState::SrcBlend), static_cast<uint32_t>(host::BlendFactor::One));
    EXPECT_EQ(State(RenderState::DestBlend), static_cast<uint32_t>(host::BlendFactor::One));
    EXPECT_EQ(State(RenderState::AlphaBlendEnable), 0u);
}

TEST_F(Overlay, ShadedRectangleRampsAndLeavesItsLeftColour) {
    FillShadedRect2D(kOrange, nullptr, 0, 0, 99, 40);
    // Left end at c1, right end at c1 halved: the left quarter is brighter than the right.
    const uint32_t left = Pixel(1, 100), right = Pixel(98, 100);
    EXPECT_GT(left >> 16 & 0xff, right >> 16 & 0xff);
    EXPECT_NEAR(double(left >> 16 & 0xff), 200.0, 4.0);
    EXPECT_NEAR(double(right >> 16 & 0xff), 100.0, 4.0);
    EXPECT_EQ(CurrentColour, 0xc0c86432u);
}

TEST_F(Overlay, OutlinesAndPanelCountTheirDrawCalls) {
    const float calls = DrawCallCount, tris = TriangleCount;
    DrawRect2D(kOrange, 20, 20, 60, 60);
    DrawLine2D(kOrange, 5, 5, 5, 5);
    EXPECT_EQ(DrawCallCount - calls, 2.0f);
    EXPECT_EQ(TriangleCount - tris, 0.0f);
    DrawBevelPanel2D(kOrange, 80, 60, 140, 20);
    EXPECT_EQ(DrawCallCount - calls, 4.0f);
    EXPECT_EQ(TriangleCount - tris, 4.0f);
    // The outline closes: its left edge (x 20) is lit halfway up; its inside stays dark.
    EXPECT_NE(Pixel(20, 80), 0u);
    EXPECT_EQ(Pixel(40, 80), 0u);
    // The panel is filled but its top-left corner is cut.
    EXPECT_NE(Pixel(110, 80), 0u);
    EXPECT_EQ(Pixel(81, 61), 0u);
    EXPECT_EQ(CurrentColour, 0xffc86432u);
}

}  // namespace
