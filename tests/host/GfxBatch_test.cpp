// Batches on worker threads: whatever the number of threads and however the primitives fall into batches
// (drawn on the calling thread or handed to the workers, handed over while a call is drawing, blits and
// clears among the triangles), every pixel and depth comes out as on one thread; a batch goes to the
// workers by what it costs, not by how many primitives it holds.
#include <gtest/gtest.h>

#include <memory>

#include "GfxTestUtil.h"
#include "host/Gfx_local.h"

using namespace host;
using gfxtest::Draw;
using gfxtest::Target;
using gfxtest::V;

namespace {

struct Rng {
    uint32_t s;
    uint32_t Next() {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return s;
    }
    float Unit() { return static_cast<float>(Next() & 0xFFFFFF) / 16777216.0f; }
};

// A 16 x 16 off-screen picture with black (its colour key) in a checker of 4 x 4 squares.
GfxSurface* MakeIcon() {
    GfxSurface* icon = CreateSurface(16, 16, PixelFormat::XRGB8888, SurfaceKind::OffscreenPlain, false);
    GfxLock lock;
    EXPECT_EQ(LockSurface(icon, nullptr, &lock), GfxOk);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(lock.bits) + y * lock.pitch)[x] =
                ((x / 4 + y / 4) & 1) ? 0 : 0x00C08040u + static_cast<uint32_t>(x * 8 + y);
    EXPECT_EQ(UnlockSurface(icon), GfxOk);
    SetColourKey(icon, 0, 0);
    return icon;
}

constexpr int kW = 331, kH = 157;  // rows not a whole number of bands

// Draws `count` primitives of mixed sizes and kinds, each by its own call (full-screen and mid-sized
// triangles, blended or not, small triangles, lines, points, clears of rectangles, keyed and plain blits
// of an icon, a changed viewport), then, when count is 500, a list of 300 small triangles in one call;
// returns the pixels and the depths.
std::vector<uint32_t> MixedBatch(int count) {
    Target t(kW, kH);
    GfxDevice* d = t.device;
    GfxSurface* icon = MakeIcon();
    SetRenderState(d, RenderState::ZEnable, 1);
    Rng rng{0x2545F491u};
    auto colour = [&](uint32_t alpha) { return alpha << 24 | (rng.Next() & 0xFFFFFF); };
    auto z = [&] { return 0.05f + rng.Unit() * 0.9f; };
    for (int i = 0; i < count; ++i) {
        const bool blend = rng.Next() & 1;
        SetRenderState(d, RenderState::AlphaBlendEnable, blend);
        SetRenderState(d, RenderState::SrcBlend, static_cast<uint32_t>(BlendFactor::SrcAlpha));
        SetRenderState(d, RenderState::DestBlend, static_cast<uint32_t>(BlendFactor::InvSrcAlpha));
        SetRenderState(d, RenderState::ZWriteEnable, blend ? 0 : 1);
        const float cx = rng.Unit() * kW, cy = rng.Unit() * kH;
        switch (i % 9) {
            case 0: {  // a triangle over the whole target and beyond
                const uint32_t c = colour(0x60);
                Draw(d, PrimitiveType::TriangleList,
                     {V(-20, -30, c, z()), V(2.5f * kW, -10, c, z()), V(-10, 2.5f * kH, colour(0xC0), z())});
                break;
            }
            case 1:
            case 2: {  // mid-sized
                const float r = 20 + rng.Unit() * 60;
                Draw(d, PrimitiveType::TriangleList,
                     {V(cx - r, cy - r, colour(0x90), z()), V(cx + r, cy, colour(0x40), z()),
                      V(cx, cy + r, colour(0xFF), z())});
                break;
            }
            case 3: {  // small
                Draw(d, PrimitiveType::TriangleList,
                     {V(cx, cy, colour(0xFF), z()), V(cx + 3, cy + 1, colour(0xFF), z()),
                      V(cx + 1, cy + 4, colour(0x80), z())});
                break;
            }
            case 4:  // a line and two points
                Draw(d, PrimitiveType::LineList, {V(cx, cy, colour(0xFF), z()), V(kW - cx, kH - cy, colour(0x80), z())});
                Draw(d, PrimitiveType::PointList, {V(cy, cx / 2, colour(0xFF), z()), V(cx, cy, colour(0xFF), z())});
                break;
            case 5: {  // a clear of a rectangle, colour or depth or both
                const GfxRect r{static_cast<int>(cx) - 30, static_cast<int>(cy) - 10, static_cast<int>(cx) + 25,
                                static_cast<int>(cy) + 40};
                const uint32_t what = 1 + rng.Next() % 3;
                Clear(d, 1, &r, what, colour(0xFF), rng.Unit(), 0);
                break;
            }
            case 6:
            case 7: {  // an icon, keyed or not, partly off the target at times
                const GfxRect to{static_cast<int>(cx) - 8, static_cast<int>(cy) - 8, static_cast<int>(cx) + 8,
                                 static_cast<int>(cy) + 8};
                EXPECT_EQ(Blt(t.colour, &to, icon, nullptr, i % 9 == 6), GfxOk);
                break;
            }
            default: {  // the viewport moves
                const GfxViewport vp{static_cast<int>(cx / 2), static_cast<int>(cy / 2), kW - static_cast<int>(cx / 2),
                                     kH - static_cast<int>(cy / 2), 0.0f, 1.0f};
                SetViewport(d, vp);
                break;
            }
        }
    }
    if (count == 500) {
        std::vector<GfxVertex> list;
        for (int k = 0; k < 300; ++k) {
            const float x = rng.Unit() * kW, y = rng.Unit() * kH, r = 2 + rng.Unit() * 12;
            list.insert(list.end(), {V(x, y, colour(0xFF), z()), V(x + r, y + 2, colour(0xFF), z()),
                                     V(x + 1, y + r, colour(0xFF), z())});
        }
        Draw(d, PrimitiveType::TriangleList, list);
    }
    std::vector<uint32_t> image = t.Pixels();
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) image.push_back(static_cast<uint32_t>(ReadDepth(t.depth, x, y) * 16777216.0f));
    DeleteSurface(icon);
    return image;
}

TEST(GfxBatch, EveryBatchDrawsTheSamePixelsOnEveryThreadCount) {
    for (int count : {1, 63, 64, 500}) {
        SetRasterThreads(1);
        const std::vector<uint32_t> one = MixedBatch(count);
        int drawn = 0;
        for (int i = 0; i < kW * kH; ++i) drawn += one[static_cast<size_t>(i)] != 0;
        EXPECT_GT(drawn, count == 1 ? 1000 : 10000) << count << " primitives";
        for (int threads : {3, 8}) {
            SetRasterThreads(threads);
            const uint64_t before = BatchesHandedToWorkers();
            EXPECT_EQ(MixedBatch(count), one) << count << " primitives, " << threads << " threads";
            // The full-screen triangle makes every batch worth the workers.
            EXPECT_GT(BatchesHandedToWorkers(), before) << count << " primitives, " << threads << " threads";
        }
    }
    SetRasterThreads(0);
}

TEST(GfxBatch, ABatchGoesToTheWorkersByWhatItCosts) {
    SetRasterThreads(8);
    Target t(800, 600);
    GfxDevice* d = t.device;
    std::unique_ptr<GfxSurface, void (*)(GfxSurface*)> icon(MakeIcon(), [](GfxSurface* s) { DeleteSurface(s); });
    FinishDrawing(d);
    // A few gauges' worth of small triangles: drawn here.
    uint64_t before = BatchesHandedToWorkers();
    for (int i = 0; i < 20; ++i)
        Draw(d, PrimitiveType::TriangleList, {V(10.0f * i, 5, 0xFFFF0000), V(10.0f * i + 8, 5), V(10.0f * i, 13)});
    FinishDrawing(d);
    EXPECT_EQ(BatchesHandedToWorkers(), before);
    EXPECT_EQ(t.Rgb(11, 7) >> 16, 0xFFu);
    // One triangle over the whole target: the workers draw it.
    before = BatchesHandedToWorkers();
    Draw(d, PrimitiveType::TriangleList, {V(0, 0, 0xFF00FF00), V(1600, 0, 0xFF00FF00), V(0, 1200, 0xFF00FF00)});
    FinishDrawing(d);
    EXPECT_EQ(BatchesHandedToWorkers(), before + 1);
    EXPECT_EQ(t.Rgb(799, 599), 0x00FF00u);
    // An overlay's 210 icons between small shapes, as a map panel draws its symbols: they stay among the
    // triangles, and the workers are woken at most once for all of them.
    before = BatchesHandedToWorkers();
    for (int i = 0; i < 210; ++i) {
        const GfxRect to{(i % 30) * 24, (i / 30) * 24, (i % 30) * 24 + 16, (i / 30) * 24 + 16};
        ASSERT_EQ(Blt(t.colour, &to, icon.get(), nullptr, true), GfxOk);
        Draw(d, PrimitiveType::TriangleList,
             {V(to.left + 2.0f, to.top + 2.0f, 0xFF0000FF), V(to.left + 6.0f, to.top + 2.0f, 0xFF0000FF),
              V(to.left + 2.0f, to.top + 6.0f, 0xFF0000FF)});
    }
    FinishDrawing(d);
    EXPECT_LE(BatchesHandedToWorkers(), before + 1);
    EXPECT_EQ(t.Rgb(24 + 3, 3), 0x0000FFu);  // the triangle over the icon
    EXPECT_EQ(t.Rgb(24 + 9, 1), 0xC08040u + 9 * 8 + 1);  // the icon
    EXPECT_EQ(t.Rgb(24 + 5, 1), 0x00FF00u);  // the icon's black is keyed out
    SetRasterThreads(0);
}

TEST(GfxBatch, ABlitWaitingInABatchReadsItsSourceAsItWasWhenIssued) {
    // The source is changed (through a lock) after the blit was issued and before the batch is drawn: the
    // lock waits for the drawing, so the blit copies what the source held when it was issued. Its colour
    // key changes without a lock: a keyed blit keys out what the key was when it was issued.
    for (int threads : {1, 3}) {
        SetRasterThreads(threads);
        Target t(64, 64);
        std::unique_ptr<GfxSurface, void (*)(GfxSurface*)> icon(MakeIcon(), [](GfxSurface* s) { DeleteSurface(s); });
        // Enough drawing before the blit that it waits in the batch.
        for (int i = 0; i < 40; ++i)
            Draw(t.device, PrimitiveType::TriangleList, {V(0, 0, 0xFF102030), V(128, 0, 0xFF102030), V(0, 128, 0xFF102030)});
        const GfxRect to{8, 8, 24, 24}, keyedTo{32, 8, 48, 24};
        ASSERT_EQ(Blt(t.colour, &to, icon.get(), nullptr, false), GfxOk);
        ASSERT_EQ(Blt(t.colour, &keyedTo, icon.get(), nullptr, true), GfxOk);
        SetColourKey(icon.get(), 0xC08040u, 0xC08040u);
        GfxLock lock;
        ASSERT_EQ(LockSurface(icon.get(), nullptr, &lock), GfxOk);
        for (int y = 0; y < 16; ++y) std::fill_n(reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(lock.bits) + y * lock.pitch), 16, 0xFFFFFFu);
        ASSERT_EQ(UnlockSurface(icon.get()), GfxOk);
        EXPECT_EQ(t.Rgb(8, 8), 0xC08040u) << threads << " threads";
        EXPECT_EQ(t.Rgb(8 + 4, 8), 0x000000u) << threads << " threads";  // a black square of the old icon
        EXPECT_EQ(t.Rgb(32, 8), 0xC08040u) << threads << " threads";  // not keyed out: the key was black
        EXPECT_EQ(t.Rgb(32 + 4, 8), 0x102030u) << threads << " threads";  // black keyed out
        EXPECT_EQ(t.Rgb(40, 40), 0x102030u) << threads << " threads";
    }
    SetRasterThreads(0);
}

}  // namespace
