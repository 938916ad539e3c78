// Surfaces: pixel formats, locks, colour-keyed and plain blits, clears, read-backs, the enumeration
// answers, video memory and the gamma ramp.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "GfxTestUtil.h"

using namespace host;

namespace {

struct SurfaceDeleter {
    void operator()(GfxSurface* s) const { DeleteSurface(s); }
};
using SurfacePtr = std::unique_ptr<GfxSurface, SurfaceDeleter>;

SurfacePtr Make(int w, int h, PixelFormat f, SurfaceKind k = SurfaceKind::OffscreenPlain) {
    return SurfacePtr(CreateSurface(w, h, f, k, false));
}

void Poke(GfxSurface* s, int x, int y, uint32_t raw) {
    GfxLock lock;
    ASSERT_EQ(LockSurface(s, nullptr, &lock), GfxOk);
    uint8_t* row = static_cast<uint8_t*>(lock.bits) + y * lock.pitch;
    switch (BytesPerPixel(lock.format)) {
        case 1:
            row[x] = static_cast<uint8_t>(raw);
            break;
        case 2:
            reinterpret_cast<uint16_t*>(row)[x] = static_cast<uint16_t>(raw);
            break;
        default:
            reinterpret_cast<uint32_t*>(row)[x] = raw;
            break;
    }
    ASSERT_EQ(UnlockSurface(s), GfxOk);
}

TEST(GfxSurface, PackAndUnpackPerFormat) {
    struct Case {
        PixelFormat format;
        uint32_t argb, packed, unpacked;
    } cases[] = {
        {PixelFormat::RGB565, 0xFF102030, 0x1106, 0xFF102031},  // 5/6/5 bits, widened by replication
        {PixelFormat::RGB565, 0x00FFFFFF, 0xFFFF, 0xFFFFFFFF},
        {PixelFormat::XRGB8888, 0x7F102030, 0x102030, 0xFF102030},
        {PixelFormat::ARGB8888, 0x7F102030, 0x7F102030, 0x7F102030},
        {PixelFormat::ARGB4444, 0x7F102030, 0x7123, 0x77112233},
        {PixelFormat::ARGB1555, 0x7F102030, 0x0886, 0x00102131},
        {PixelFormat::ARGB1555, 0x80102030, 0x8886, 0xFF102131},
        {PixelFormat::A8, 0x7F102030, 0x7F, 0x7FFFFFFF},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PackPixel(c.format, c.argb), c.packed) << static_cast<int>(c.format);
        EXPECT_EQ(UnpackPixel(c.format, c.packed), c.unpacked) << static_cast<int>(c.format);
        PixelFormatDesc d = DescribeFormat(c.format);
        EXPECT_EQ(FormatFromMasks(d.bitsPerPixel, d.alphaMask, d.redMask, d.greenMask, d.blueMask, false),
                  c.format);
    }
    EXPECT_EQ(FormatFromMasks(16, 0, 0x7C00, 0x03E0, 0x001F, false),
              PixelFormat::Unknown);  // 555 is not offered
    EXPECT_EQ(FormatFromMasks(32, 0, 0xFFFFFF00u, 0, 0, true), PixelFormat::Z24);
}

TEST(GfxSurface, CreateRefusesWhatCannotExist) {
    EXPECT_EQ(CreateSurface(0, 4, PixelFormat::RGB565, SurfaceKind::OffscreenPlain, false), nullptr);
    EXPECT_EQ(CreateSurface(4, -1, PixelFormat::RGB565, SurfaceKind::OffscreenPlain, false), nullptr);
    EXPECT_EQ(CreateSurface(4, 4, PixelFormat::ARGB4444, SurfaceKind::RenderTarget, false), nullptr);
    EXPECT_EQ(CreateSurface(4, 4, PixelFormat::RGB565, SurfaceKind::ZBuffer, false), nullptr);
    EXPECT_EQ(CreateSurface(4, 4, PixelFormat::Z16, SurfaceKind::Texture, false), nullptr);
    EXPECT_EQ(CreateSurface(100000, 4, PixelFormat::RGB565, SurfaceKind::OffscreenPlain, false), nullptr);
    DeleteSurface(nullptr);
}

TEST(GfxSurface, LockGivesPitchAndRectangleAndRefusesASecondLock) {
    SurfacePtr s = Make(10, 6, PixelFormat::RGB565);
    GfxLock all, part;
    ASSERT_EQ(LockSurface(s.get(), nullptr, &all), GfxOk);
    EXPECT_GE(all.pitch, 20);
    EXPECT_EQ(all.width, 10);
    EXPECT_EQ(LockSurface(s.get(), nullptr, &part), GfxErrSurfaceBusy);
    ASSERT_EQ(UnlockSurface(s.get()), GfxOk);
    EXPECT_EQ(UnlockSurface(s.get()), GfxErrNotLocked);
    GfxRect r{3, 2, 7, 5};
    ASSERT_EQ(LockSurface(s.get(), &r, &part), GfxOk);
    EXPECT_EQ(static_cast<uint8_t*>(part.bits) - static_cast<uint8_t*>(all.bits), 2 * all.pitch + 3 * 2);
    EXPECT_EQ(part.width, 4);
    EXPECT_EQ(part.height, 3);
    UnlockSurface(s.get());
    GfxRect outside{8, 0, 11, 2};
    EXPECT_EQ(LockSurface(s.get(), &outside, &part), GfxErrInvalidRect);
}

TEST(GfxSurface, ReadBackIn565And8888) {
    struct Case {
        PixelFormat format;
        uint32_t raw;
        uint32_t expected;
    } cases[] = {
        {PixelFormat::RGB565, 0xF800, 0xFFFF0000},       {PixelFormat::RGB565, 0x07E0, 0xFF00FF00},
        {PixelFormat::RGB565, 0x001F, 0xFF0000FF},       {PixelFormat::RGB565, 0x8410, 0xFF848284},
        {PixelFormat::XRGB8888, 0x00123456, 0xFF123456},
    };
    for (const Case& c : cases) {
        gfxtest::Target t(5, 4, c.format);
        Poke(t.colour, 3, 1, c.raw);
        EXPECT_EQ(ReadPixelArgb(t.colour, 3, 1), c.expected) << std::hex << c.raw;
        EXPECT_EQ(ReadPixelArgb(t.colour, 5, 1), 0u);  // outside
        EXPECT_EQ(ReadPixelArgb(t.colour, -1, 1), 0u);
    }
}

TEST(GfxSurface, DepthReadBackAndClear) {
    for (PixelFormat zf : {PixelFormat::Z16, PixelFormat::Z24}) {
        gfxtest::Target t(4, 4, PixelFormat::XRGB8888, zf);
        GfxRect r{1, 1, 3, 2};
        Clear(t.device, 1, &r, GfxClearZBuffer, 0, 0.25f, 0);
        EXPECT_FLOAT_EQ(ReadDepth(t.depth, 1, 1), 0.25f);
        EXPECT_FLOAT_EQ(ReadDepth(t.depth, 3, 1),
                        zf == PixelFormat::Z16 ? 65535 / 65536.0f : 16777215 / 16777216.0f);
        EXPECT_FLOAT_EQ(ReadDepth(t.depth, 4, 0), 1.0f);  // outside
        GfxLock lock;
        ASSERT_EQ(LockSurface(t.depth, nullptr, &lock), GfxOk);
        uint32_t word = zf == PixelFormat::Z16 ? static_cast<uint16_t*>(lock.bits)[lock.pitch / 2 + 1]
                                               : static_cast<uint32_t*>(lock.bits)[lock.pitch / 4 + 1];
        UnlockSurface(t.depth);
        EXPECT_EQ(word, zf == PixelFormat::Z16 ? 0x4000u : 0x40000000u);  // 24-bit z in the top bits
    }
}

TEST(GfxSurface, KeyedBlitSkipsBlackAndPlainBlitCopiesIt) {
    // Source 3x2: black at (1,0) and (0,1); destination filled with 0x0000FF.
    struct Case {
        bool keyed;
        const GfxRect* rect;
        int x, y;
        std::vector<uint32_t> expected;  // destination 5x3, rows
    };
    GfxRect right{1, 0, 3, 2};
    const uint32_t B = 0x0000FF, K = 0x000000, R = 0xFF0000, G = 0x00FF00, W = 0xFFFFFF;
    Case cases[] = {
        {true, nullptr, 1, 1, {B, B, B, B, B, B, R, B, G, B, B, B, W, R, B}},
        {false, nullptr, 1, 1, {B, B, B, B, B, B, R, K, G, B, B, K, W, R, B}},
        {true, &right, 0, 0, {B, G, B, B, B, W, R, B, B, B, B, B, B, B, B}},
        {false, nullptr, 3, 2, {B, B, B, B, B, B, B, B, B, B, B, B, B, R, K}},  // clipped at the corner
        {true, nullptr, -2, -1, {R, B, B, B, B, B, B, B, B, B, B, B, B, B, B}},
    };
    for (PixelFormat fmt : {PixelFormat::XRGB8888, PixelFormat::RGB565}) {
        for (const Case& c : cases) {
            SurfacePtr src = Make(3, 2, fmt), dst = Make(5, 3, fmt);
            const uint32_t pix[6] = {R, K, G, K, W, R};
            for (int i = 0; i < 6; ++i) Poke(src.get(), i % 3, i / 3, PackPixel(fmt, pix[i]));
            SetColourKey(src.get(), 0, 0);
            ASSERT_EQ(ColourFill(dst.get(), nullptr, B), GfxOk);
            ASSERT_EQ(BltFast(dst.get(), c.x, c.y, src.get(), c.rect, c.keyed), GfxOk);
            std::vector<uint32_t> got;
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < 5; ++x) got.push_back(ReadPixelArgb(dst.get(), x, y) & 0xFFFFFF);
            EXPECT_EQ(got, c.expected) << "keyed " << c.keyed << " at " << c.x << "," << c.y;
        }
    }
}

TEST(GfxSurface, BlitConvertsFormatsAndRefusesBadSourceRectangles) {
    SurfacePtr src = Make(2, 1, PixelFormat::XRGB8888), dst = Make(2, 1, PixelFormat::RGB565);
    Poke(src.get(), 0, 0, 0x00FF8040);
    Poke(src.get(), 1, 0, 0x00000000);
    SetColourKey(src.get(), 0, 0);
    ASSERT_EQ(BltFast(dst.get(), 0, 0, src.get(), nullptr, true), GfxOk);
    EXPECT_EQ(ReadPixelArgb(dst.get(), 0, 0), 0xFFFF8242u);
    GfxRect bad{1, 0, 3, 1};
    EXPECT_EQ(BltFast(dst.get(), 0, 0, src.get(), &bad, false), GfxErrInvalidRect);
    // Stretching doubles each source pixel.
    SurfacePtr wide = Make(4, 1, PixelFormat::XRGB8888);
    ASSERT_EQ(Blt(wide.get(), nullptr, src.get(), nullptr, false), GfxOk);
    EXPECT_EQ(ReadPixelArgb(wide.get(), 1, 0), 0xFFFF8040u);
    EXPECT_EQ(ReadPixelArgb(wide.get(), 2, 0), 0xFF000000u);
}

TEST(GfxSurface, EnumerationOffersWhatTheDeviceSetUpNeeds) {
    const DeviceInfo* devices = nullptr;
    int n = EnumerateDevices(&devices);
    ASSERT_GE(n, 2);
    bool software = false, hardware = false;
    for (int i = 0; i < n; ++i) {
        software |= devices[i].kind == DeviceKind::Software;
        hardware |= devices[i].kind == DeviceKind::Hardware;
        for (int j = 0; j < i; ++j) EXPECT_NE(std::memcmp(devices[i].guid, devices[j].guid, 16), 0);
    }
    EXPECT_TRUE(software && hardware);
    const ZBufferFormat* z = nullptr;
    int nz = EnumerateZBufferFormats(DeviceKind::Hardware, &z);
    bool z16 = false, z24 = false;
    for (int i = 0; i < nz; ++i) {
        z16 |= z[i].zBits == 16 && z[i].bitsPerPixel == 16 && z[i].stencilBits == 0;
        z24 |= z[i].zBits == 24 && z[i].bitsPerPixel == 32 && z[i].stencilBits == 0;
    }
    EXPECT_TRUE(z16 && z24);
    const PixelFormatDesc* tf = nullptr;
    int nt = EnumerateTextureFormats(&tf);
    bool alpha32 = false;
    for (int i = 0; i < nt; ++i) alpha32 |= tf[i].hasRgb && tf[i].hasAlpha && tf[i].bitsPerPixel == 32;
    EXPECT_TRUE(alpha32);
}

TEST(GfxSurface, VideoMemoryCountsVideoSurfaces) {
    uint64_t total = 0, before = 0, during = 0, after = 0;
    VideoMemory(&total, &before);
    GfxSurface* s = CreateSurface(64, 64, PixelFormat::XRGB8888, SurfaceKind::OffscreenPlain, true);
    VideoMemory(nullptr, &during);
    DeleteSurface(s);
    VideoMemory(nullptr, &after);
    EXPECT_GT(total, 0u);
    EXPECT_EQ(before - during, 64u * 64u * 4u);
    EXPECT_EQ(after, before);
}

TEST(GfxSurface, GammaRampRoundTripsAndHeadlessPresentDrawsNothing) {
    uint16_t r[256], g[256], b[256];
    for (int i = 0; i < 256; ++i)
        r[i] = static_cast<uint16_t>(i * 100), g[i] = static_cast<uint16_t>(i), b[i] = 7;
    SetGammaRamp(r, g, b);
    uint16_t r2[256], g2[256], b2[256];
    GetGammaRamp(r2, g2, b2);
    EXPECT_EQ(std::memcmp(r, r2, sizeof r), 0);
    EXPECT_EQ(std::memcmp(g, g2, sizeof g), 0);
    EXPECT_EQ(std::memcmp(b, b2, sizeof b), 0);
    gfxtest::Target t(4, 4);
    int before = PresentCount();
    EXPECT_EQ(Present(t.colour), GfxOk);
    EXPECT_EQ(PresentCount(), before + 1);
    EXPECT_EQ(Present(nullptr), GfxErrInvalidParams);
}

TEST(GfxSurface, DeletingABoundTextureUnbindsIt) {
    gfxtest::Target t(2, 2);
    GfxSurface* tex = CreateSurface(2, 2, PixelFormat::ARGB8888, SurfaceKind::Texture, false);
    SetTexture(t.device, 0, tex);
    DeleteSurface(tex);
    EXPECT_EQ(GetTexture(t.device, 0), nullptr);
    EXPECT_EQ(gfxtest::Draw(t.device, PrimitiveType::TriangleList,
                            {gfxtest::V(0, 0), gfxtest::V(2, 0), gfxtest::V(0, 2)}),
              GfxOk);
    EXPECT_EQ(t.Rgb(0, 0), 0xFFFFFFu);
}

}  // namespace
