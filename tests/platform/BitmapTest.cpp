// Bitmaps as off-screen surfaces, blits onto the back buffer with and without the black key, and the
// 24-bit export read back by an independent check of its bytes.
#include <cstring>
#include <fstream>

#include "TexFixture.h"
#include "platform/Bitmap.h"
#include "tools/datakit/Package.h"
#include "tools/datakit/Texture.h"

namespace {

using textest::TexTest;

class BitmapTest : public TexTest {
protected:
    void SetUp() override {
        TexTest::SetUp();
        saved_ = {SurfaceWidth, SurfaceHeight};
        back_ = host::CreateSurface(32, 24, host::PixelFormat::XRGB8888, host::SurfaceKind::RenderTarget, false);
        BackBuffer = back_;
        SurfaceWidth = 32;
        SurfaceHeight = 24;
        host::ColourFill(back_, nullptr, 0xff405060);
    }
    void TearDown() override {
        // A fatal exit closes the display, which releases the back buffer itself.
        if (BackBuffer == back_) host::DeleteSurface(back_);
        BackBuffer = nullptr;
        SurfaceWidth = saved_.w;
        SurfaceHeight = saved_.h;
        TexTest::TearDown();
    }
    uint32_t Back(int x, int y) { return host::ReadPixelArgb(back_, x, y) & 0xffffff; }
    host::GfxSurface* back_ = nullptr;
    struct {
        int32_t w, h;
    } saved_{};
};

// A 3 x 2 picture: black in its top-left corner.
std::vector<uint32_t> Picture() { return {0x000000, 0x112233, 0x445566, 0x778899, 0xaabbcc, 0xddeeff}; }

TEST_F(BitmapTest, LoadedBitmapsKeepTheirPixelsAndAreKeyedOnBlack) {
    std::string path = Put("bmp/pic.bmp", datakit::Bmp24(3, 2, Picture()));
    host::GfxSurface* s = dxgl_GetBitmap(path.c_str());
    int32_t w = 0, h = 0;
    dxgl_GetSurfaceSize(s, &w, &h);
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 2);
    EXPECT_TRUE(host::HasColourKey(s));
    EXPECT_EQ(host::ReadPixelArgb(s, 2, 1) & 0xffffff, 0xddeeffu);
    dxgl_ReleaseSurface(s);
    // 8-bit, top-down and stretched to 6 x 4.
    std::string p8 = Put("bmp/p8.bmp", datakit::Bmp8(2, 2, {1, 2, 3, 4}, {{0, 0, 0}, {9, 9, 9}, {8, 8, 8}, {7, 7, 7}, {6, 6, 6}}, true));
    s = dxgl_GetBitmapSized(p8.c_str(), 6, 4);
    dxgl_GetSurfaceSize(s, &w, &h);
    EXPECT_EQ(w, 6);
    EXPECT_EQ(h, 4);
    EXPECT_EQ(host::ReadPixelArgb(s, 2, 1) & 0xffffff, 0x090909u);
    EXPECT_EQ(host::ReadPixelArgb(s, 3, 1) & 0xffffff, 0x080808u);
    EXPECT_EQ(host::ReadPixelArgb(s, 5, 3) & 0xffffff, 0x060606u);
    dxgl_ReleaseSurface(s);
}

TEST_F(BitmapTest, MissingOrBrokenBitmaps) {
    std::string missing = tmp / "bmp/none.bmp";
    EXPECT_EQ(dxgl_ReloadBitmap(missing.c_str()), nullptr);
    EXPECT_EQ(KV_FATAL_TEXT(dxgl_GetBitmap(missing.c_str())), "Error(dxgl_GetBitmap '" + missing + "'): failed");
    auto cut = datakit::Bmp24(3, 2, Picture());
    cut.resize(cut.size() - 2);
    std::string broken = Put("bmp/cut.bmp", cut);
    EXPECT_EQ(dxgl_ReloadBitmap(broken.c_str()), nullptr);
    EXPECT_EQ(KV_FATAL_TEXT(dxgl_GetBitmapSized(broken.c_str(), 4, 4)), "Error(dxgl_GetBitmap '" + broken + "'): failed");
}

TEST_F(BitmapTest, BitmapsThatLiveOnlyInThePackageLoad) {
    ASSERT_TRUE(datakit::WritePackage(tmp / "p.qzp", {{"bitmaps/slide1.bmp", datakit::Bmp24(3, 2, Picture()), 0}}));
    host::FlushDirectoryCache();
    ASSERT_GT(qzpk_init((tmp / "p.qzp").c_str()), 0);
    host::GfxSurface* s = dxgl_GetBitmap("Bitmaps\\Slide1.bmp");
    EXPECT_EQ(host::ReadPixelArgb(s, 1, 0) & 0xffffff, 0x112233u);
    dxgl_ReleaseSurface(s);
}

TEST_F(BitmapTest, KeyedAndPlainBlitsCountRowsFromTheBottom) {
    std::string path = Put("bmp/pic.bmp", datakit::Bmp24(3, 2, Picture()));
    host::GfxSurface* s = dxgl_GetBitmap(path.c_str());
    // Caller's y = 24 puts the top-left corner on row 0.
    EXPECT_EQ(dxgl_BltKeyed(4, 24, s, nullptr), 0);
    EXPECT_EQ(Back(4, 0), 0x405060u) << "black is skipped by the keyed blit";
    EXPECT_EQ(Back(5, 0), 0x112233u);
    EXPECT_EQ(Back(6, 1), 0xddeeffu);
    EXPECT_EQ(dxgl_Blt(10, 10, s, nullptr), 0);
    EXPECT_EQ(Back(10, 14), 0x000000u) << "the plain blit copies black too";
    EXPECT_EQ(Back(12, 15), 0xddeeffu);
    BltRect r{1, 1, 3, 2};  // the bottom row's right two pixels
    EXPECT_EQ(dxgl_Blt(20, 4, s, &r), 0);
    EXPECT_EQ(Back(20, 20), 0xaabbccu);
    EXPECT_EQ(Back(21, 20), 0xddeeffu);
    EXPECT_EQ(Back(22, 20), 0x405060u);
    EXPECT_NE(dxgl_Blt(0, 0, nullptr, nullptr), 0);
    dxgl_ReleaseSurface(s);
}

// Checks a 24-bit bitmap byte by byte as its format defines it, independently of the game's reader:
// the header fields at their offsets and each row (bottom first) padded to 4 bytes.
void CheckExport(const std::string& bytes, int w, int h, uint32_t (*pixel)(int x, int y)) {
    auto u32 = [&](size_t at) {
        return uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8 |
               uint32_t(uint8_t(bytes[at + 2])) << 16 | uint32_t(uint8_t(bytes[at + 3])) << 24;
    };
    size_t stride = (size_t(w) * 3 + 3) / 4 * 4;
    ASSERT_EQ(bytes.size(), 54 + stride * size_t(h));
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    EXPECT_EQ(u32(2), bytes.size());
    EXPECT_EQ(u32(10), 54u);
    EXPECT_EQ(u32(14), 40u);
    EXPECT_EQ(u32(18), uint32_t(w));
    EXPECT_EQ(u32(22), uint32_t(h));
    EXPECT_EQ(u32(26), 1u | 24u << 16);
    EXPECT_EQ(u32(30), 0u);
    EXPECT_EQ(u32(34), stride * size_t(h));
    for (int fr = 0; fr < h; ++fr)
        for (int x = 0; x < w; ++x) {
            size_t at = 54 + size_t(fr) * stride + size_t(x) * 3;
            uint32_t bgr = uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8 |
                           uint32_t(uint8_t(bytes[at + 2])) << 16;
            ASSERT_EQ(bgr, pixel(x, h - 1 - fr)) << x << "," << h - 1 - fr;
        }
}

TEST_F(BitmapTest, ExportedSurfacesOfBothDepths) {
    for (host::PixelFormat f : {host::PixelFormat::XRGB8888, host::PixelFormat::RGB565}) {
        for (int w : {5, 6, 8}) {
            host::GfxSurface* s = host::CreateSurface(w, 3, f, host::SurfaceKind::OffscreenPlain, false);
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < w; ++x) {
                    host::GfxRect r{x, y, x + 1, y + 1};
                    host::ColourFill(s, &r, 0xff000000u | uint32_t(x * 32) << 16 | uint32_t(y * 100) << 8 | 0xf8);
                }
            std::string path = tmp / "snap.bmp";
            dxgl_ExportSurface_bmp(s, path.c_str());
            CheckExport(tmp.Read("snap.bmp"), w, 3, [](int x, int y) {
                // Both depths keep these values: multiples of 8 (and of 4 for green).
                return uint32_t(x * 32) << 16 | uint32_t(y * 100) << 8 | 0xf8;
            });
            host::DeleteSurface(s);
        }
    }
}

TEST_F(BitmapTest, ExportSizesAndFailures) {
    host::GfxSurface* big = host::CreateSurface(640, 480, host::PixelFormat::RGB565, host::SurfaceKind::RenderTarget, false);
    dxgl_ExportSurface_bmp(big, (tmp / "big.bmp").c_str());
    EXPECT_EQ(tmp.Read("big.bmp").size(), 921654u);
    EXPECT_EQ(KV_FATAL_TEXT(dxgl_ExportSurface_bmp(big, (tmp / "no/such/folder/x.bmp").c_str())),
              "Error(dxgl_ExportSurface_bmp): file wouldn't open");
    host::DeleteSurface(big);
    host::GfxSurface* a8 = host::CreateSurface(4, 4, host::PixelFormat::A8, host::SurfaceKind::Texture, false);
    EXPECT_EQ(KV_FATAL_TEXT(dxgl_ExportSurface_bmp(a8, (tmp / "a8.bmp").c_str())),
              "Error(dxgl_ExportSurface_bmp): wrong bit depth '8'");
    host::DeleteSurface(a8);
}

}  // namespace
