// The texture table, the file lookup of LoadTex, the bitmap textures and texture animations, through
// files written by datakit.
#include <cstring>
#include <filesystem>

#include "TexFixture.h"
#include "support/MemTrack.h"
#include "platform/Font.h"
#include "platform/Texture.h"
#include "tools/datakit/Font.h"
#include "tools/datakit/Package.h"
#include "tools/datakit/Texture.h"

namespace {

using datakit::Rgb;

// The texture roots point into the temporary folder; every texture and animation is deleted afterwards.
class TextureTable : public textest::TexTest {
protected:
    void SetUp() override {
        textest::TexTest::SetUp();
        snprintf(savedTexRoot_, sizeof savedTexRoot_, "%s", TEXROOT);
        snprintf(savedAnimRoot_, sizeof savedAnimRoot_, "%s", TEXANIMROOT);
        snprintf(TEXROOT, sizeof TEXROOT, "%s/tex", tmp.path().c_str());
        snprintf(TEXANIMROOT, sizeof TEXANIMROOT, "%s/anims", tmp.path().c_str());
    }
    void TearDown() override {
        while (TexCount) DeleteTex(TexTable[TexCount - 1]);
        while (TexAnimCount) DeleteTexAnim(TexAnimTable[TexAnimCount - 1]);
        snprintf(TEXROOT, sizeof TEXROOT, "%s", savedTexRoot_);
        snprintf(TEXANIMROOT, sizeof TEXANIMROOT, "%s", savedAnimRoot_);
        textest::TexTest::TearDown();
    }

private:
    char savedTexRoot_[kRootSize];
    char savedAnimRoot_[kRootSize];
};

std::vector<Rgb> Palette() {
    std::vector<Rgb> pal(256);
    for (int i = 0; i < 256; ++i) pal[size_t(i)] = Rgb{uint8_t(i), uint8_t(i * 2), uint8_t(255 - i)};
    pal[0] = Rgb{0, 0, 0};
    return pal;
}

// A 4 x 2 engine texture: index r * 4 + c, index 0 black.
std::vector<uint8_t> SmallTexture() {
    std::vector<uint8_t> idx(8);
    for (int i = 0; i < 8; ++i) idx[size_t(i)] = uint8_t(i);
    auto pal = Palette();
    return datakit::EngineTexture(2, 1, idx, &pal);
}

uint32_t Argb(host::GfxSurface* s, int x, int y) { return host::ReadPixelArgb(s, x, y); }

TEST_F(TextureTable, LoadTexLooksInTheSubFoldersAndConvertsByDepth) {
    Put("tex/aaa/other", SmallTexture());
    Put("tex/terrain/grass", SmallTexture());
    Tex* tex = CreateTex();
    LoadTex(tex, "grass", 0);
    ASSERT_NE(tex->surface, nullptr);
    EXPECT_STREQ(tex->name, "grass");
    EXPECT_EQ(tex->data, nullptr);
    EXPECT_EQ(tex->blackTransparent, 0);
    EXPECT_EQ(host::SurfaceFormat(tex->surface), host::PixelFormat::XRGB8888);
    EXPECT_EQ(host::SurfaceWidth(tex->surface), 4);
    EXPECT_EQ(host::SurfaceHeight(tex->surface), 2);
    EXPECT_EQ(Argb(tex->surface, 3, 1) & 0xffffff, 0x070e00u | (255 - 7));
    // A name with a separator is taken under the root as it stands.
    Tex* again = CreateTex();
    texturebpp = 16;
    LoadTex(again, "terrain\\grass", 1);
    EXPECT_EQ(host::SurfaceFormat(again->surface), host::PixelFormat::RGB565);
    EXPECT_EQ(host::SurfaceWidth(again->surface), 2);
    EXPECT_EQ(host::SurfaceHeight(again->surface), 1);
}

TEST_F(TextureTable, AlphaMapsAndBracesMakeTexturesTransparent) {
    Put("tex/t/leaf", SmallTexture());
    Put("tex/t/leaf_", datakit::EngineAlphaMap(1, 1, {0, 85, 170, 255}));  // half the colour's size
    Put("tex/t/{fence", SmallTexture());
    struct Case {
        const char* name;
        int alphaBits, texturebpp, display;
        host::PixelFormat want;
    } cases[] = {
        {"leaf", 8, 32, 32, host::PixelFormat::ARGB8888},
        {"leaf", 4, 16, 16, host::PixelFormat::ARGB4444},
        {"{fence", 8, 16, 32, host::PixelFormat::ARGB1555},
        {"{fence", 8, 32, 16, host::PixelFormat::ARGB1555},
        {"{fence", 8, 32, 32, host::PixelFormat::ARGB8888},
    };
    for (const Case& c : cases) {
        AlphaBits = c.alphaBits;
        texturebpp = c.texturebpp;
        DisplayBits = c.display;
        Tex* tex = CreateTex();
        LoadTex(tex, c.name, 0);
        EXPECT_EQ(tex->blackTransparent, 1) << c.name;
        EXPECT_EQ(host::SurfaceFormat(tex->surface), c.want) << c.name << " " << c.alphaBits;
        if (c.name[0] == 'l') {
            // Colour column 3 of row 1 reads alpha column 1 of row 0 of the 2 x 2 alpha map.
            EXPECT_EQ(Argb(tex->surface, 3, 0) >> 28, 85u >> 4);
            EXPECT_EQ(Argb(tex->surface, 0, 1) >> 28, 170u >> 4);
        } else {
            EXPECT_EQ(Argb(tex->surface, 0, 0) >> 24, 0u) << "black is transparent";
            EXPECT_EQ(Argb(tex->surface, 1, 0) >> 24, 0xffu);
        }
    }
}

TEST_F(TextureTable, OpaqueTexturesOnASixteenBitDisplayTakeTheBackBuffersFormat) {
    Put("tex/t/plain", SmallTexture());
    host::GfxSurface* back = host::CreateSurface(8, 8, host::PixelFormat::XRGB8888, host::SurfaceKind::RenderTarget, false);
    BackBuffer = back;
    DisplayBits = 16;
    texturebpp = 16;
    Tex* tex = CreateTex();
    LoadTex(tex, "plain", 0);
    EXPECT_EQ(host::SurfaceFormat(tex->surface), host::PixelFormat::XRGB8888);
    DeleteTex(tex);
    BackBuffer = nullptr;
    host::DeleteSurface(back);
}

TEST_F(TextureTable, BitmapTexturesWithAlphaMaps) {
    std::vector<uint32_t> rgb(4 * 4);
    for (int i = 0; i < 16; ++i) rgb[size_t(i)] = uint32_t(i) * 0x100f01u;
    std::vector<uint8_t> alpha(4 * 4);
    for (int i = 0; i < 16; ++i) alpha[size_t(i)] = uint8_t(i * 16);
    Put("tex/b/pic", datakit::Bmp24(4, 4, rgb));
    Put("tex/b/pic_", datakit::BmpAlphaMap(4, 4, alpha));
    Tex* tex = CreateTex();
    LoadTex(tex, "pic", 0);
    EXPECT_EQ(host::SurfaceFormat(tex->surface), host::PixelFormat::ARGB8888);
    EXPECT_EQ(Argb(tex->surface, 2, 3), uint32_t(14 * 16) << 24 | (14u * 0x100f01u));
    // An alpha-map name gives an alpha-only texture.
    Tex* only = CreateTex();
    LoadTex(only, "pic_", 0);
    EXPECT_EQ(host::SurfaceFormat(only->surface), host::PixelFormat::A8);
    EXPECT_EQ(Argb(only->surface, 1, 2) >> 24, 9u * 16);
}

TEST_F(TextureTable, BadTextureFilesEndWithTheirMessages) {
    std::vector<uint8_t> shortTex = SmallTexture();
    shortTex.resize(shortTex.size() - 1);
    Put("tex/x/short", shortTex);
    Put("tex/x/wide", datakit::Bmp24(100, 64, std::vector<uint32_t>(6400)));
    auto bmp32 = datakit::Bmp24(4, 4, std::vector<uint32_t>(16));
    bmp32[28] = 32;
    Put("tex/x/deep", bmp32);
    auto rle = datakit::Bmp8(4, 4, std::vector<uint8_t>(16), {});
    rle[30] = 1;
    Put("tex/x/rle", rle);
    Put("tex/x/col", datakit::Bmp24(4, 4, std::vector<uint32_t>(16)));
    Put("tex/x/col_", datakit::Bmp24(4, 4, std::vector<uint32_t>(16)));
    Put("tex/x/mip", SmallTexture());
    struct Case {
        const char* name;
        int mip;
        const char* want;
    } cases[] = {
        {"nope", 0, "Error(LoadTex): Texture file nope (\\textures\\nope) not found"},
        {"short", 0, "Error(LoadCCADTexture): texture short: sizes do not fit the file"},
        {"wide", 0, "Error(dxgl_LoadBMPTexture): source has the wrong size"},
        {"deep", 0, "Error(dxgl_LoadBMPTexture): unsupported bpp format"},
        {"rle", 0, "Error(dxgl_LoadBMPTexture): compressed bitmap (rle)"},
        {"col", 0, "Error(dxgl_LoadBMPTexture): unsupported bpp format, alpha map"},
        {"mip", 2, "Error(LoadCCADTexture): texture mip: mip shift larger than the image"},
    };
    for (const Case& c : cases) {
        Tex* tex = CreateTex();
        EXPECT_EQ(KV_FATAL_TEXT(LoadTex(tex, c.name, c.mip)), c.want) << c.name;
        EXPECT_EQ(tex->surface, nullptr);
    }
}

TEST_F(TextureTable, LongNamesAreCutToTheirField) {
    std::string longName(40, 'n');
    Put("tex/l/" + longName, SmallTexture());
    Tex* tex = CreateTex();
    LoadTex(tex, longName.c_str(), 0);
    EXPECT_EQ(std::string(tex->name), longName.substr(0, 23));
    EXPECT_EQ(std::string(CurrentTexName), longName.substr(0, 23));
}

TEST_F(TextureTable, TableOrderAndLimits) {
    Tex* a = CreateTex();
    Tex* b = CreateTex();
    Tex* c = CreateTex();
    strcpy(a->name, "water");
    strcpy(c->name, "water");
    EXPECT_EQ(NamedTex("water"), c) << "the newest of equal names wins";
    EXPECT_EQ(NamedTex("Water"), nullptr);
    Tex* d = CreateTexAt(1);
    EXPECT_EQ(TexTable[1], d);
    EXPECT_EQ(TexTable[3], b) << "the record that stood there moves to the end";
    DeleteTex(a);
    EXPECT_EQ(TexTable[0], b) << "the last record fills the gap";
    EXPECT_EQ(TexCount, 3);
    DeleteTex(a);  // no longer in the table: ignored
    DeleteTex(nullptr);
    EXPECT_EQ(TexCount, 3);
    while (TexCount < kMaxTex) CreateTex();
    EXPECT_EQ(KV_FATAL_TEXT(CreateTex()), "Error(CreateTex): Too many textures");
    EXPECT_EQ(KV_FATAL_TEXT(CreateTexAt(0)), "Error(CreateTex): Too many textures");
    EXPECT_EQ(TexCount, kMaxTex);
}

TEST_F(TextureTable, SharedRecordsLeaveTheirSurface) {
    TexPixels px;
    px.width = px.height = 1;
    px.words = {0};
    Tex* tex = CreateTex();
    tex->surface = host::CreateSurface(2, 2, host::PixelFormat::ARGB8888, host::SurfaceKind::Texture, false);
    host::GfxSurface* kept = tex->surface;
    tex->shared = 1;
    DeleteTex(tex);
    EXPECT_EQ(host::SurfaceWidth(kept), 2);
    host::DeleteSurface(kept);
}

TEST_F(TextureTable, AnimationFramesWithAndWithoutAlphaMaps) {
    std::vector<std::vector<uint8_t>> frames(6, SmallTexture()), alphas(6);
    alphas[2] = datakit::EngineAlphaMap(2, 1, std::vector<uint8_t>(8, 0x80));
    ASSERT_TRUE(datakit::WriteTexAnimFolder(tmp / "anims/water", frames, alphas));
    ASSERT_TRUE(datakit::WriteTexAnimFolder(tmp / "anims/{sparks", frames));
    host::FlushDirectoryCache();
    TexAnim* water = CreateTexAnim();
    LoadTexAnim(water, "water");
    ASSERT_EQ(water->frameCount, 6);
    EXPECT_STREQ(water->name, "water");
    for (int f = 0; f < 6; ++f)
        EXPECT_EQ(host::SurfaceFormat(water->frames[f]),
                  f == 2 ? host::PixelFormat::ARGB8888 : host::PixelFormat::XRGB8888)
            << f;
    EXPECT_EQ(Argb(water->frames[2], 1, 1) >> 24, 0x80u);
    TexAnim* sparks = CreateTexAnim();
    LoadTexAnim(sparks, "{sparks");
    EXPECT_EQ(sparks->frameCount, 6);
    EXPECT_EQ(Argb(sparks->frames[0], 0, 0) >> 24, 0u) << "black is transparent in '{' animations";
    EXPECT_EQ(Argb(sparks->frames[0], 1, 0) >> 24, 0xffu);

    TexAnim* second = CreateTexAnim();
    strcpy(second->name, "water");
    EXPECT_EQ(NamedTexAnim("water"), water) << "the oldest of equal names wins";
    DeleteTexAnim(water);
    EXPECT_EQ(NamedTexAnim("water"), second);
}

// Loading a record again releases the frames of its earlier load; a texture that borrows a frame (as
// the dummy texture of an animated billboard does) loses it with the animation, in either teardown order.
TEST_F(TextureTable, AnimationReloadAndBorrowedFrames) {
    std::vector<std::vector<uint8_t>> frames(3, SmallTexture());
    ASSERT_TRUE(datakit::WriteTexAnimFolder(tmp / "anims/water", frames));
    ASSERT_TRUE(datakit::WriteTexAnimFolder(tmp / "anims/fire", std::vector<std::vector<uint8_t>>(2, SmallTexture())));
    host::FlushDirectoryCache();
    kvtest::MemTrack track;
    TexAnim* a = CreateTexAnim();
    LoadTexAnim(a, "water");
    const int live = track.Live();
    LoadTexAnim(a, "water");
    EXPECT_EQ(track.Live(), live) << "the first load's frame list is freed";
    LoadTexAnim(a, "fire");
    EXPECT_EQ(a->frameCount, 2);
    EXPECT_EQ(track.Live("TexAnim frames"), 1);

    for (bool animFirst : {true, false}) {
        SCOPED_TRACE(animFirst);
        TexAnim* anim = CreateTexAnim();
        LoadTexAnim(anim, "water");
        Tex* dummy = CreateTex();
        dummy->surface = anim->frames[0];
        dummy->shared = 1;
        if (animFirst) {
            DeleteTexAnim(anim);
            EXPECT_EQ(dummy->surface, nullptr);
            DeleteTex(dummy);
        } else {
            DeleteTex(dummy);
            EXPECT_EQ(host::SurfaceWidth(anim->frames[0]), 4);
            DeleteTexAnim(anim);
        }
    }
    DeleteTexAnim(a);
    EXPECT_EQ(track.Live(), 0);
}

TEST_F(TextureTable, AnimationFailures) {
    std::vector<std::vector<uint8_t>> frames(128, datakit::EngineAlphaMap(0, 0, {7}));
    ASSERT_TRUE(datakit::WriteTexAnimFolder(tmp / "anims/long", frames));
    frames.pop_back();
    ASSERT_TRUE(datakit::WriteTexAnimFolder(tmp / "anims/full", frames));
    Put("anims/gap/01", SmallTexture());
    host::FlushDirectoryCache();
    TexAnim* a = CreateTexAnim();
    EXPECT_EQ(KV_FATAL_TEXT(LoadTexAnim(a, "long")), "Error(LoadTexAnim): too many frames");
    EXPECT_EQ(KV_FATAL_TEXT(LoadTexAnim(a, "gap")), "failed to load tex anim 'gap'\n");
    EXPECT_EQ(KV_FATAL_TEXT(LoadTexAnim(a, "missing")), "failed to load tex anim 'missing'\n");
    TexAnim* full = CreateTexAnim();
    LoadTexAnim(full, "full");
    EXPECT_EQ(full->frameCount, 127);
    while (TexAnimCount < kMaxTexAnims) CreateTexAnim();
    EXPECT_EQ(KV_FATAL_TEXT(CreateTexAnim()), "Error(CreateTexAnim): Too many TexAnims");
}

TEST_F(TextureTable, BitmapTexturesForFontsAndIcons) {
    datakit::FontAtlas atlas = datakit::RenderFontAtlas();
    ASSERT_TRUE(datakit::WriteFont(tmp / "App/Font", atlas));
    Put("icons/$key", datakit::Bmp24(2, 2, {0, 0xffffff, 0x000100, 0}));
    host::FlushDirectoryCache();
    host::GfxSurface* font = LoadBitmapTexture((tmp / "App\\Font\\Font").c_str());
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(host::SurfaceFormat(font), host::PixelFormat::ARGB8888);
    int x = ('A' & 15) * 16, y = ('A' >> 4) * 16;
    uint32_t inked = 0;
    for (int r = 0; r < 16; ++r)
        for (int c = 0; c < 16; ++c) {
            uint32_t p = Argb(font, x + c, y + r);
            EXPECT_EQ(p >> 24, atlas.coverage[size_t(y + r) * 256 + size_t(x + c)]);
            inked += (p >> 24) != 0;
        }
    EXPECT_GT(inked, 10u);
    host::DeleteSurface(font);
    host::GfxSurface* key = LoadBitmapTexture((tmp / "icons/$key").c_str());
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(Argb(key, 0, 0) >> 24, 0u);
    EXPECT_EQ(Argb(key, 0, 1) >> 24, 0xffu) << "nearly black is not black";
    host::DeleteSurface(key);
    EXPECT_EQ(LoadBitmapTexture((tmp / "icons/none").c_str()), nullptr);
}

TEST_F(TextureTable, TexturesThatLiveOnlyInThePackage) {
    std::vector<datakit::PackEntry> entries = {{"ptex/terrain/sand", SmallTexture(), 0},
                                               {"ptex/ui/logo", datakit::Bmp24(2, 2, {1, 2, 3, 4}), 0}};
    ASSERT_TRUE(datakit::WritePackage(tmp / "p.qzp", entries));
    host::FlushDirectoryCache();
    ASSERT_GT(qzpk_init((tmp / "p.qzp").c_str()), 0);
    snprintf(TEXROOT, sizeof TEXROOT, "ptex");
    Tex* tex = CreateTex();
    LoadTex(tex, "sand", 0);
    EXPECT_EQ(host::SurfaceWidth(tex->surface), 4);
    host::GfxSurface* logo = LoadBitmapTexture("PTEX\\UI\\LOGO");
    ASSERT_NE(logo, nullptr);
    EXPECT_EQ(Argb(logo, 0, 1) & 0xffffff, 3u);
    host::DeleteSurface(logo);
}

TEST_F(TextureTable, RawMapImage) {
    const uint32_t px[6] = {0x11223344, 0x55667788, 0x99aabbcc, 0xddeeff00, 0x01020304, 0x05060708};
    host::GfxSurface* s = CreateSurface_raw888(px, 3, 2);
    EXPECT_EQ(host::SurfaceFormat(s), host::PixelFormat::ARGB8888);
    EXPECT_EQ(Argb(s, 2, 0), 0x99aabbccu);
    EXPECT_EQ(Argb(s, 0, 1), 0xddeeff00u);
    host::DeleteSurface(s);
    EXPECT_EQ(KV_FATAL_TEXT(CreateSurface_raw888(px, 0, 2)), "Error(CreateSurface_raw888): CreateSurface failed");
}

}  // namespace

namespace {

TEST_F(TextureTable, TheFontLoadsFromTheDataTree) {
    datakit::FontAtlas atlas = datakit::RenderFontAtlas();
    ASSERT_TRUE(datakit::WriteFont(tmp / "app/Font", atlas));
    std::filesystem::path old = std::filesystem::current_path();
    ASSERT_TRUE(host::SetWorkingDirectory(tmp.path().c_str()));
    host::FlushDirectoryCache();
    int32_t savedWidths[kFontCodes];
    memcpy(savedWidths, FontWidths, sizeof savedWidths);
    LoadFont();
    LoadFont();  // a second load releases the first texture
    std::filesystem::current_path(old);
    ASSERT_NE(FontTexture, nullptr);
    EXPECT_EQ(host::SurfaceWidth(FontTexture), 256);
    for (int c : {int(' '), int('A'), int('W'), 0xe9}) EXPECT_EQ(FontWidths[c], atlas.widths[size_t(c)]) << c;
    FreeFont();
    EXPECT_EQ(FontTexture, nullptr);
    memcpy(FontWidths, savedWidths, sizeof savedWidths);
}

}  // namespace
