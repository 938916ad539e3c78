// The overlay services on a software screen: the screen sprite's square, the brightness colours, the
// world-point sprites and circles sized by distance and skipped at or behind the near plane, the two
// gauges' bars and colours at their thresholds, the view tint and the noise film's drifting offsets.
#include <gtest/gtest.h>

#include "HudFixture.h"
#include "core/Fix3D.h"
#include "hud/UnitMarks.h"
#include "render/Viewport.h"
#include "game/Level.h"

namespace kvtest {
namespace {

class OverlayServices : public HudScreen {
protected:
    OverlayServices() : HudScreen(320, 240) {
        savedNoise_ = NoiseTex;
        white_ = PlainTexture(0xffffffffu);
    }
    ~OverlayServices() override { NoiseTex = savedNoise_; }

    Tex* savedNoise_;
    Tex* white_;
};

TEST_F(OverlayServices, TheScreenSpriteSpans139PixelsBetweenItsVertexColumns) {
    const uint8_t white[3] = {255, 255, 255};
    DrawSprite2D(white_->surface, 160, 120, white);
    // Columns x - 70 .. x + 68 and rows y - 70 .. y + 68 are covered; x + 69 is the right edge.
    EXPECT_NE(Pixel(90, 120), 0u);
    EXPECT_EQ(Pixel(89, 120), 0u);
    EXPECT_NE(Pixel(228, 120), 0u);
    EXPECT_EQ(Pixel(229, 120), 0u);
    EXPECT_NE(Pixel(160, 50), 0u);
    EXPECT_EQ(Pixel(160, 49), 0u);
    EXPECT_EQ(CurrentColour, 0xffffffffu) << "the sprite's colour is left as the text colour";
    EXPECT_EQ(host::GetRenderState(Device(), host::RenderState::AlphaBlendEnable), 0u) << "blending was off";
}

TEST_F(OverlayServices, BrightnessGivesTheInstrumentGreen) {
    struct Case {
        int32_t brightness;
        uint8_t g, b;
    } cases[] = {{256, 255, 128}, {0, 0, 0}, {128, 127, 64}, {255, 254, 127}};
    for (const Case& c : cases) {
        uint8_t rgb[3] = {9, 9, 9};
        BrightnessColour(c.brightness, rgb);
        EXPECT_EQ(rgb[0], 0) << c.brightness;
        EXPECT_EQ(rgb[1], c.g) << c.brightness;
        EXPECT_EQ(rgb[2], c.b) << c.brightness;
    }
    // The screen crosshair draws in it.
    DrawCrosshair2D(white_->surface, 160, 120, 256);
    EXPECT_EQ(Pixel(160, 120), 0x00ff80u);
}

TEST_F(OverlayServices, WorldPointSpritesShrinkWithDistanceAndSkipPointsAtOrBehindTheNearPlane) {
    Eye(512);
    const uint8_t white[4] = {255, 255, 255, 0};
    // Half size 18000 world units: at a focal length of 512, 92 pixels at 100000 and 46 at 200000.
    const int32_t nearPoint[3] = {0, 0, 100000}, farPoint[3] = {0, 0, 200000};
    DrawSpriteAt(white_->surface, nearPoint, white);
    EXPECT_NE(Pixel(160 + 88, 120), 0u);
    EXPECT_EQ(Pixel(160 + 96, 120), 0u);
    Clear();
    DrawSpriteAt(white_->surface, farPoint, white);
    EXPECT_NE(Pixel(160 + 42, 120), 0u);
    EXPECT_EQ(Pixel(160 + 50, 120), 0u);

    // A circle of 10000 world units at 100000: 51 pixels at this focal length, its inside left dark.
    Clear();
    DrawMarkerCircleAt(nearPoint, 10000, 256);
    bool ring = false;
    for (int dx = -2; dx <= 2; ++dx) ring = ring || Pixel(160 + 51 + dx, 120) != 0;
    EXPECT_TRUE(ring);
    EXPECT_EQ(Pixel(160, 120), 0u);

    const int32_t behind[][3] = {{0, 0, -100000}, {0, 0, 500}, {0, 0, 400}, {0, 0, 0}, {5000, 0, 300}};
    for (const auto& p : behind) {
        const float calls = DrawCallCount;
        DrawSpriteAt(white_->surface, p, white);
        DrawMarkerCircleAt(p, 10000, 256);
        EXPECT_EQ(DrawCallCount, calls) << p[0] << " " << p[2];
    }
}

TEST_F(OverlayServices, GaugesCountTheirBarsAndColourThemAtTheThresholds) {
    const uint32_t green = 0x00ff80u, yellow = 0xffe000u, red = 0xff0000u, barEmpty = 0x004020u;
    struct Case {
        int32_t value, maximum;
        int full, empty;
        uint32_t colour;
    } bars[] = {
        {40, 64, 2, 2, green}, {39, 64, 2, 2, yellow}, {20, 64, 1, 3, yellow}, {19, 64, 1, 3, red},
        {15, 64, 0, 4, red},   {64, 15, 4, 0, green},  {100, 32, 6, 0, green},
    };
    for (const Case& c : bars) {
        Clear();
        const float calls = DrawCallCount;
        DrawBarGauge(100, 100, c.value, c.maximum);
        EXPECT_EQ(DrawCallCount - calls, float(c.full + c.empty)) << c.value << "/" << c.maximum;
        // Bar k covers x 100 + 10k .. 107 + 10k, y 90 .. 99.
        for (int k = 0; k < c.full + c.empty; ++k)
            EXPECT_EQ(Pixel(104 + 10 * k, 95), k < c.full ? c.colour : barEmpty) << c.value << " bar " << k;
    }
    // The slanted stack goes by the ratio: exactly 0.4 is green, exactly 0.2 yellow, below red.
    const uint32_t slantEmpty = 0x008040u;
    struct Slant {
        int32_t value, maximum;
        uint32_t colour;
    } slants[] = {{40, 100, green}, {39, 100, yellow}, {20, 100, yellow}, {19, 100, red}, {16, 0, red}};
    for (const Slant& s : slants) {
        Clear();
        DrawSlantGauge(200, 10, s.value, s.maximum);
        // Bar 0 spans x 170 .. 200 at y 10 .. 13 (leaning left as it rises).
        EXPECT_EQ(Pixel(185, 11), s.colour) << s.value << "/" << s.maximum;
    }
    Clear();
    DrawSlantGauge(200, 10, 16, 64);
    EXPECT_EQ(Pixel(180, 16), slantEmpty) << "the second bar is empty";
}

TEST_F(OverlayServices, TheTintAddsGreenOverTheViewRectangleOnly) {
    ViewPort vp{};
    vp.left = 20, vp.top = 30, vp.right = 120, vp.bottom = 90;  // x 20..120, y 30..90 from the bottom
    DrawViewTint(&vp);
    EXPECT_EQ(Pixel(60, 60), 0x004020u);
    EXPECT_EQ(Pixel(130, 60), 0u);
    EXPECT_EQ(Pixel(60, 95), 0u);
    EXPECT_EQ(host::GetRenderState(Device(), host::RenderState::AlphaBlendEnable), 0u);
}

TEST_F(OverlayServices, TheNoiseOffsetsDriftAndWrapPastOne) {
    NoiseTex = white_;
    ViewPort vp{};
    vp.right = 100, vp.bottom = 100;
    struct Case {
        float u, v;          // before the step
        float nextU, nextV;  // after it
    } cases[] = {
        {0.0f, 0.0f, 0.27f, 0.21f},
        {0.8f, 0.9f, 0.07f, 0.11f},  // past 1.0: back by 1.0
        {0.73f, 0.79f, 1.0f, 1.0f},  // exactly 1.0 stays
        {1.0f, 1.0f, 0.27f, 0.21f},  // and wraps at the next step
    };
    for (const Case& c : cases) {
        NoiseScrollU = c.u, NoiseScrollV = c.v;
        DrawViewNoise(&vp);
        EXPECT_NEAR(NoiseScrollU, c.nextU, 1e-6f) << c.u;
        EXPECT_NEAR(NoiseScrollV, c.nextV, 1e-6f) << c.v;
    }
    // The film: the texture at (96, 96, 96), the z-buffer state given back.
    host::SetRenderState(Device(), host::RenderState::ZEnable, 1);
    DrawViewNoise(&vp);
    EXPECT_EQ(Pixel(50, 50), 0x606060u);
    EXPECT_EQ(host::GetRenderState(Device(), host::RenderState::ZEnable), 1u);
    NoiseScrollU = NoiseScrollV = 0.0f;
}

}  // namespace
}  // namespace kvtest
