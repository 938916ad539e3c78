// Which pixels a primitive covers: pixel centres at integer coordinates, the top-left fill rule, shared
// edges drawn exactly once, scissoring to the viewport, lines and points.
#include <gtest/gtest.h>

#include <cmath>

#include "GfxTestUtil.h"

using namespace host;
using gfxtest::Draw;
using gfxtest::Target;
using gfxtest::V;

namespace {

// Adds 1 to every channel of every covered pixel, so a pixel's value counts how often it was drawn.
void CountingMode(GfxDevice* d) {
    SetRenderState(d, RenderState::AlphaBlendEnable, 1);
    SetRenderState(d, RenderState::SrcBlend, static_cast<uint32_t>(BlendFactor::One));
    SetRenderState(d, RenderState::DestBlend, static_cast<uint32_t>(BlendFactor::One));
}

std::vector<GfxVertex> Quad(float x0, float y0, float x1, float y1, uint32_t colour) {
    return {V(x0, y0, colour), V(x1, y0, colour), V(x1, y1, colour),
            V(x0, y0, colour), V(x1, y1, colour), V(x0, y1, colour)};
}

TEST(GfxCoverage, AxisAlignedQuadsCoverPixelsWhoseCentresLieInsideTopLeftInclusive) {
    struct Case {
        float x0, y0, x1, y1;
        int px0, py0, px1, py1;  // expected covered pixels, right/bottom exclusive
    } cases[] = {
        {1, 1, 4, 3, 1, 1, 4, 3},              // integer corners: left/top edges in, right/bottom out
        {0.5f, 0.5f, 2.5f, 2.5f, 1, 1, 3, 3},  // half-pixel corners: centres 1 and 2
        {0.49f, 0.51f, 2.51f, 2.49f, 1, 1, 3, 3},
        {0.4f, 0.6f, 0.9f, 3.2f, 0, 0, 0, 0},  // thin sliver between centres: nothing
        {2.0f, 2.0f, 2.0f, 5.0f, 0, 0, 0, 0},  // zero width
        {-3, -3, 2, 1, 0, 0, 2, 1},            // past the top-left corner of the target: scissored
        {6, 5, 12, 12, 6, 5, 8, 8},            // past the bottom-right corner
    };
    for (const Case& c : cases) {
        Target t(8, 8);
        CountingMode(t.device);
        ASSERT_EQ(Draw(t.device, PrimitiveType::TriangleList, Quad(c.x0, c.y0, c.x1, c.y1, 0x010101)), GfxOk);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                bool inside = x >= c.px0 && x < c.px1 && y >= c.py0 && y < c.py1;
                EXPECT_EQ(t.Rgb(x, y), inside ? 0x010101u : 0u)
                    << "quad " << c.x0 << "," << c.y0 << "-" << c.x1 << "," << c.y1 << " pixel " << x << ","
                    << y;
            }
    }
}

TEST(GfxCoverage, TrianglesSharingEdgesDrawEachPixelOnce) {
    // A fan of triangles around an off-grid centre, closing on itself, over a larger target: every pixel
    // inside the polygon is drawn exactly once whatever the slopes of the shared edges.
    Target t(40, 40);
    CountingMode(t.device);
    std::vector<GfxVertex> fan;
    const float cx = 19.37f, cy = 20.81f;
    fan.push_back(V(cx, cy, 0x010101));
    const int n = 23;
    for (int i = 0; i <= n; ++i) {
        double a = 2 * 3.14159265358979 * (i % n) / n;
        float r = 15.0f + 3.0f * static_cast<float>(std::sin(3 * a));
        fan.push_back(
            V(cx + r * static_cast<float>(std::cos(a)), cy + r * static_cast<float>(std::sin(a)), 0x010101));
    }
    ASSERT_EQ(Draw(t.device, PrimitiveType::TriangleFan, fan), GfxOk);
    int covered = 0;
    for (uint32_t p : t.Pixels()) {
        EXPECT_LE(p, 0x010101u);
        if (p) ++covered;
    }
    EXPECT_GT(covered, 500);
    // The centre region is solid: no hole along a shared edge.
    for (int y = 12; y < 30; ++y)
        for (int x = 12; x < 28; ++x) EXPECT_EQ(t.Rgb(x, y), 0x010101u) << x << "," << y;
}

TEST(GfxCoverage, StripAndFanCoverTheSameAsTheirList) {
    Target list(16, 16), strip(16, 16), fan(16, 16);
    for (Target* t : {&list, &strip, &fan}) CountingMode(t->device);
    GfxVertex a = V(1.2f, 2.7f, 0x010101), b = V(13.5f, 1.1f, 0x010101), c = V(2.2f, 14.6f, 0x010101),
              d = V(14.8f, 12.3f, 0x010101);
    Draw(list.device, PrimitiveType::TriangleList, {a, b, c, c, b, d});
    Draw(strip.device, PrimitiveType::TriangleStrip, {a, b, c, d});
    Draw(fan.device, PrimitiveType::TriangleFan, {a, b, d, c});
    EXPECT_EQ(strip.Pixels(), list.Pixels());
    EXPECT_EQ(fan.Pixels(), list.Pixels());
    for (uint32_t p : list.Pixels()) EXPECT_LE(p, 0x010101u);
}

TEST(GfxCoverage, CullModesDropOneWinding) {
    struct Case {
        uint32_t cull;
        bool clockwiseDrawn, counterDrawn;
    } cases[] = {{GfxCullNone, true, true}, {GfxCullCw, false, true}, {GfxCullCcw, true, false}};
    for (const Case& c : cases) {
        Target t(8, 8);
        SetRenderState(t.device, RenderState::CullMode, c.cull);
        // On screen (rows down) this triangle turns clockwise.
        Draw(t.device, PrimitiveType::TriangleList, {V(0, 0), V(4, 0), V(0, 4)});
        Draw(t.device, PrimitiveType::TriangleList, {V(4, 4), V(4, 8), V(8, 4)});
        EXPECT_EQ(t.Rgb(1, 1) != 0, c.clockwiseDrawn) << c.cull;
        EXPECT_EQ(t.Rgb(5, 5) != 0, c.counterDrawn) << c.cull;
    }
}

TEST(GfxCoverage, ViewportScissorsTrianglesAndClears) {
    Target t(10, 10);
    GfxViewport vp{2, 3, 5, 4, 0, 1};
    ASSERT_EQ(SetViewport(t.device, vp), GfxOk);
    Draw(t.device, PrimitiveType::TriangleList, Quad(-5, -5, 20, 20, 0xFFFFFFFF));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            bool inside = x >= 2 && x < 7 && y >= 3 && y < 7;
            EXPECT_EQ(t.Rgb(x, y), inside ? 0xFFFFFFu : 0u) << x << "," << y;
        }
    Clear(t.device, 0, nullptr, GfxClearTarget, 0x00123456, 1.0f, 0);
    EXPECT_EQ(t.Rgb(2, 3), 0x123456u);
    EXPECT_EQ(t.Rgb(1, 3), 0u);
    GfxViewport bad{5, 5, 6, 6, 0, 1};
    EXPECT_NE(SetViewport(t.device, bad), GfxOk);
}

TEST(GfxCoverage, LinesIncludeBothEndsAndPointsRoundToTheNearestCentre) {
    Target t(8, 8);
    CountingMode(t.device);
    Draw(t.device, PrimitiveType::LineList, {V(1, 1, 0x010101), V(5, 1, 0x010101)});
    for (int x = 0; x < 8; ++x) EXPECT_EQ(t.Rgb(x, 1), (x >= 1 && x <= 5) ? 0x010101u : 0u) << x;
    Draw(t.device, PrimitiveType::LineStrip, {V(6, 2, 0x010101), V(6, 6, 0x010101), V(2, 6, 0x010101)});
    for (int y = 2; y <= 6; ++y)
        EXPECT_EQ(t.Rgb(6, y), y == 6 ? 0x020202u : 0x010101u) << y;  // shared corner twice
    Draw(t.device, PrimitiveType::PointList, {V(3.4f, 3.6f, 0x010101), V(0.5f, 7.49f, 0x010101)});
    EXPECT_EQ(t.Rgb(3, 4), 0x010101u);
    EXPECT_EQ(t.Rgb(0, 7), 0x010101u);
}

TEST(GfxCoverage, BadCallsAreRefusedAndDrawNothing) {
    Target t(4, 4);
    std::vector<GfxVertex> v = Quad(0, 0, 4, 4, 0xFFFFFFFF);
    EXPECT_NE(DrawPrimitive(t.device, PrimitiveType::TriangleList, 0x144, v.data(), 6), GfxOk);
    EXPECT_NE(DrawPrimitive(t.device, static_cast<PrimitiveType>(9), kGfxVertexFormat, v.data(), 6), GfxOk);
    EXPECT_NE(DrawPrimitive(t.device, PrimitiveType::TriangleList, kGfxVertexFormat, nullptr, 6), GfxOk);
    // NaN and huge coordinates neither crash nor draw outside the target.
    float nan = std::nanf("");
    EXPECT_EQ(Draw(t.device, PrimitiveType::TriangleList, {V(nan, 0), V(3, nan), V(0, 3)}), GfxOk);
    EXPECT_EQ(Draw(t.device, PrimitiveType::TriangleList, {V(-1e30f, -1e30f), V(1e30f, 0), V(0, 1e30f)}),
              GfxOk);
    EXPECT_EQ(DrawPrimitive(t.device, PrimitiveType::TriangleList, kGfxVertexFormat, v.data(), 0), GfxOk);
}

}  // namespace
