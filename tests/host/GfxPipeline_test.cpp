// What a covered pixel becomes: depth compare and write, blend pairs, fog, texture-stage operations,
// addressing and filtering, texture formats; and the equality of the fast span shaders with the general
// one and of threaded drawing with drawing on one thread.
#include <gtest/gtest.h>

#include <cmath>

#include "GfxTestUtil.h"
#include "host/Gfx_local.h"

using namespace host;
using gfxtest::Draw;
using gfxtest::Target;
using gfxtest::V;

namespace {

std::vector<GfxVertex> Quad(float x0, float y0, float x1, float y1, uint32_t diffuse, float z = 0.5f,
                            uint32_t specular = 0xFF000000u, float u0 = 0, float v0 = 0, float u1 = 1,
                            float v1 = 1) {
    return {V(x0, y0, diffuse, z, u0, v0, specular), V(x1, y0, diffuse, z, u1, v0, specular),
            V(x1, y1, diffuse, z, u1, v1, specular), V(x0, y0, diffuse, z, u0, v0, specular),
            V(x1, y1, diffuse, z, u1, v1, specular), V(x0, y1, diffuse, z, u0, v1, specular)};
}

// A texture of w x h texels in the format, filled from 0xAARRGGBB values row by row.
GfxSurface* MakeTexture(int w, int h, const std::vector<uint32_t>& argb,
                        PixelFormat fmt = PixelFormat::ARGB8888) {
    GfxSurface* t = CreateSurface(w, h, fmt, SurfaceKind::Texture, false);
    GfxLock lock;
    EXPECT_EQ(LockSurface(t, nullptr, &lock), GfxOk);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* row = static_cast<uint8_t*>(lock.bits) + y * lock.pitch;
            uint32_t v = PackPixel(fmt, argb[static_cast<size_t>(y * w + x)]);
            switch (BytesPerPixel(fmt)) {
                case 1:
                    row[x] = static_cast<uint8_t>(v);
                    break;
                case 2:
                    reinterpret_cast<uint16_t*>(row)[x] = static_cast<uint16_t>(v);
                    break;
                default:
                    reinterpret_cast<uint32_t*>(row)[x] = v;
                    break;
            }
        }
    EXPECT_EQ(UnlockSurface(t), GfxOk);
    return t;
}

void Stage(GfxDevice* d, int s, TextureOp cop, uint32_t c1, uint32_t c2, TextureOp aop, uint32_t a1,
           uint32_t a2) {
    SetTextureStageState(d, s, StageState::ColorOp, static_cast<uint32_t>(cop));
    SetTextureStageState(d, s, StageState::ColorArg1, c1);
    SetTextureStageState(d, s, StageState::ColorArg2, c2);
    SetTextureStageState(d, s, StageState::AlphaOp, static_cast<uint32_t>(aop));
    SetTextureStageState(d, s, StageState::AlphaArg1, a1);
    SetTextureStageState(d, s, StageState::AlphaArg2, a2);
}

void Blend(GfxDevice* d, BlendFactor src, BlendFactor dst) {
    SetRenderState(d, RenderState::AlphaBlendEnable, 1);
    SetRenderState(d, RenderState::SrcBlend, static_cast<uint32_t>(src));
    SetRenderState(d, RenderState::DestBlend, static_cast<uint32_t>(dst));
}

TEST(GfxPipeline, DepthCompareAndWriteEnable) {
    struct Case {
        CompareFunc func;
        bool write;
        float stored, incoming;
        bool drawn;
    } cases[] = {
        {CompareFunc::LessEqual, true, 0.5f, 0.25f, true},
        {CompareFunc::LessEqual, true, 0.5f, 0.5f, true},
        {CompareFunc::LessEqual, true, 0.5f, 0.75f, false},
        {CompareFunc::Greater, false, 0.5f, 0.75f, true},
        {CompareFunc::Greater, false, 0.5f, 0.5f, false},
        {CompareFunc::Less, true, 0.5f, 0.5f, false},
        {CompareFunc::Equal, true, 0.5f, 0.5f, true},
        {CompareFunc::Always, true, 0.0f, 1.0f, true},
        {CompareFunc::Never, true, 1.0f, 0.0f, false},
        {CompareFunc::GreaterEqual, true, 0.5f, 0.5f, true},
        {CompareFunc::NotEqual, true, 0.5f, 0.5f, false},
        {CompareFunc::LessEqual, false, 0.5f, 0.25f, true},
    };
    for (PixelFormat zf : {PixelFormat::Z16, PixelFormat::Z24}) {
        for (const Case& c : cases) {
            Target t(4, 4, PixelFormat::XRGB8888, zf);
            SetRenderState(t.device, RenderState::ZEnable, 1);
            Clear(t.device, 0, nullptr, GfxClearZBuffer, 0, c.stored, 0);
            SetRenderState(t.device, RenderState::ZFunc, static_cast<uint32_t>(c.func));
            SetRenderState(t.device, RenderState::ZWriteEnable, c.write ? 1 : 0);
            Draw(t.device, PrimitiveType::TriangleList, Quad(0, 0, 4, 4, 0xFF102030, c.incoming));
            SCOPED_TRACE(testing::Message() << "func " << static_cast<int>(c.func) << " write " << c.write
                                            << " z" << (zf == PixelFormat::Z16 ? 16 : 24));
            EXPECT_EQ(t.Rgb(1, 2), c.drawn ? 0x102030u : 0u);
            float expectDepth = (c.drawn && c.write) ? c.incoming : c.stored;
            EXPECT_NEAR(ReadDepth(t.depth, 1, 2), expectDepth, 1.0 / 65536);
        }
    }
}

TEST(GfxPipeline, DepthBeyondTheBufferRangeIsClampedOnEveryPath) {
    // Depth runs from -0.5 at the left edge to 1.5 at the right across an odd width: the ends are clamped
    // to the buffer's range, the middle is stored as it is, and the fast paths agree with the general one.
    for (PixelFormat zf : {PixelFormat::Z16, PixelFormat::Z24}) {
        std::vector<float> depths[2];
        std::vector<uint32_t> images[2];
        for (int general = 0; general < 2; ++general) {
            ForceGeneralShader(general == 1);
            Target t(39, 3, PixelFormat::XRGB8888, zf);
            SetRenderState(t.device, RenderState::ZEnable, 1);
            SetRenderState(t.device, RenderState::ZFunc, static_cast<uint32_t>(CompareFunc::LessEqual));
            SetRenderState(t.device, RenderState::ZWriteEnable, 1);
            std::vector<GfxVertex> q = {V(0, 0, 0xFF102030, -0.5f), V(39, 0, 0xFF102030, 1.5f),
                                        V(39, 3, 0xFF102030, 1.5f), V(0, 3, 0xFF102030, -0.5f)};
            Draw(t.device, PrimitiveType::TriangleFan, q);
            images[general] = t.Pixels();
            for (int x = 0; x < 39; ++x) depths[general].push_back(ReadDepth(t.depth, x, 1));
        }
        ForceGeneralShader(false);
        SCOPED_TRACE(zf == PixelFormat::Z16 ? "z16" : "z24");
        EXPECT_EQ(images[0], images[1]);
        EXPECT_EQ(depths[0], depths[1]);
        EXPECT_EQ(images[0][38], 0x102030u);  // clamped to the far end, still passes LESSEQUAL
        EXPECT_EQ(depths[0][0], 0.0f);
        EXPECT_NEAR(depths[0][38], 1.0f, 1.0 / 65536);
        EXPECT_NEAR(depths[0][19], -0.5 + 2.0 * 19 / 39, 1.0 / 4096);  // sampled at the pixel's column
    }
}

TEST(GfxPipeline, DepthOffIgnoresAndKeepsTheBuffer) {
    Target t(4, 4);
    Clear(t.device, 0, nullptr, GfxClearZBuffer, 0, 0.0f, 0);
    SetRenderState(t.device, RenderState::ZEnable, 0);
    Draw(t.device, PrimitiveType::TriangleList, Quad(0, 0, 4, 4, 0xFFFFFFFF, 0.75f));
    EXPECT_EQ(t.Rgb(2, 2), 0xFFFFFFu);
    EXPECT_EQ(ReadDepth(t.depth, 2, 2), 0.0f);
}

TEST(GfxPipeline, BlendPairs) {
    // Destination 0x604020; source colour and alpha from the diffuse colour.
    struct Case {
        BlendFactor src, dst;
        uint32_t source;
        uint32_t expected;
    } cases[] = {
        // ONE/ONE adds with saturation
        {BlendFactor::One, BlendFactor::One, 0x80303030, 0x907050},
        {BlendFactor::One, BlendFactor::One, 0x80C0C0C0, 0xFFFFE0},
        // SRCALPHA/INVSRCALPHA: alpha 0x80 = 128: s*128/255 + d*127/255, rounded
        // red: (0xFF*128 + 0x60*127) / 255 = (32640 + 12192) / 255 = 175.8 -> 176 = 0xB0
        // green: (0x00*128 + 0x40*127) / 255 = 8128 / 255 = 31.87 -> 32 = 0x20
        // blue: (0x80*128 + 0x20*127) / 255 = (16384 + 4064) / 255 = 80.19 -> 80 = 0x50
        {BlendFactor::SrcAlpha, BlendFactor::InvSrcAlpha, 0x80FF0080, 0xB02050},
        {BlendFactor::SrcAlpha, BlendFactor::InvSrcAlpha, 0xFF123456, 0x123456},
        {BlendFactor::SrcAlpha, BlendFactor::InvSrcAlpha, 0x00123456, 0x604020},
        // ONE/INVSRCALPHA: s + d*(255-a)/255; alpha 0x40: d * 191/255: 0x60 -> 71.9 -> 72, 0x40 -> 47.9 ->
        // 48,
        // 0x20 -> 23.97 -> 24; plus 0x10 each
        {BlendFactor::One, BlendFactor::InvSrcAlpha, 0x40101010, 0x584028},
        {BlendFactor::One, BlendFactor::Zero, 0x40101010, 0x101010},
        {BlendFactor::Zero, BlendFactor::One, 0x40101010, 0x604020},
        {BlendFactor::DestColor, BlendFactor::Zero, 0xFF808080, 0x302010},
    };
    for (const Case& c : cases) {
        Target t(4, 4);
        ColourFill(t.colour, nullptr, 0x604020);
        Blend(t.device, c.src, c.dst);
        Draw(t.device, PrimitiveType::TriangleList, Quad(0, 0, 4, 4, c.source));
        EXPECT_EQ(t.Rgb(2, 2), c.expected) << std::hex << "source " << c.source;
    }
    // A 16-bit target blends what it holds (0x604020 is held as 0x634121) and truncates the result:
    // 0x634121 + 0x303030 = 0x937151, held as 0x947152.
    Target t(4, 4, PixelFormat::RGB565);
    ColourFill(t.colour, nullptr, 0x604020);
    EXPECT_EQ(t.Rgb(0, 0), 0x634121u);
    Blend(t.device, BlendFactor::One, BlendFactor::One);
    Draw(t.device, PrimitiveType::TriangleList, Quad(0, 0, 4, 4, 0x80303030));
    EXPECT_EQ(t.Rgb(2, 2), 0x947152u);
}

TEST(GfxPipeline, VertexFogMixesTowardTheFogColour) {
    struct Case {
        uint32_t fogFactor;  // specular alpha
        uint32_t colour, fog, expected;
    } cases[] = {
        {255, 0x204060, 0xFFFFFF, 0x204060},  // no fog
        {0, 0x204060, 0xC08040, 0xC08040},    // all fog
        // f = 0x80: c*128/255 + fog*127/255: red 0x20*128 + 0xC0*127 = 4096 + 24384 = 28480 / 255 = 111.7 ->
        // 112 green 0x40*128 + 0x80*127 = 8192 + 16256 = 24448 / 255 = 95.9 -> 96; blue 0x60*128 + 0x40*127
        // = 12288 + 8128 = 20416 / 255 = 80.06 -> 80
        {0x80, 0x204060, 0xC08040, 0x706050},
    };
    for (const Case& c : cases) {
        Target t(4, 4);
        SetRenderState(t.device, RenderState::FogEnable, 1);
        SetRenderState(t.device, RenderState::FogColor, c.fog);
        Draw(t.device, PrimitiveType::TriangleList,
             Quad(0, 0, 4, 4, 0xFF000000u | c.colour, 0.5f, c.fogFactor << 24));
        EXPECT_EQ(t.Rgb(1, 1), c.expected) << std::hex << c.fogFactor;
    }
    // Fog off: the factor is ignored.
    Target t(4, 4);
    SetRenderState(t.device, RenderState::FogColor, 0xFFFFFF);
    Draw(t.device, PrimitiveType::TriangleList, Quad(0, 0, 4, 4, 0xFF204060, 0.5f, 0));
    EXPECT_EQ(t.Rgb(1, 1), 0x204060u);
}

TEST(GfxPipeline, FogFactorIsInterpolatedAcrossThePrimitive) {
    Target t(9, 1);
    SetRenderState(t.device, RenderState::FogEnable, 1);
    SetRenderState(t.device, RenderState::FogColor, 0x000000);
    std::vector<GfxVertex> q = {
        V(0, 0, 0xFFFFFFFF, 0.5f, 0, 0, 0xFF000000u), V(8, 0, 0xFFFFFFFF, 0.5f, 0, 0, 0x00000000u),
        V(8, 1, 0xFFFFFFFF, 0.5f, 0, 0, 0x00000000u), V(0, 0, 0xFFFFFFFF, 0.5f, 0, 0, 0xFF000000u),
        V(8, 1, 0xFFFFFFFF, 0.5f, 0, 0, 0x00000000u), V(0, 1, 0xFFFFFFFF, 0.5f, 0, 0, 0xFF000000u)};
    Draw(t.device, PrimitiveType::TriangleList, q);
    // Pixel x has factor 255 * (8 - x) / 8 rounded; white fogged toward black keeps that value.
    for (int x = 0; x < 8; ++x) {
        int f = static_cast<int>(std::floor(255.0 * (8 - x) / 8 + 0.5));
        EXPECT_NEAR(static_cast<int>(t.Rgb(x, 0) & 0xFF), f, 1) << x;
    }
}

TEST(GfxPipeline, TextureStageOperations) {
    // A 1x1 texture 0x80C08040 (alpha 0x80), diffuse 0x40FF8020, specular 0x00102030.
    struct Case {
        const char* name;
        TextureOp cop;
        uint32_t c1, c2;
        TextureOp aop;
        uint32_t a1, a2;
        bool blendByAlpha;  // draw with SRCALPHA/INVSRCALPHA over black to expose the alpha
        uint32_t expected;
    } cases[] = {
        {"modulate", TextureOp::Modulate, GfxTaTexture, GfxTaDiffuse, TextureOp::SelectArg1, GfxTaTexture, 0,
         false,
         // c0*ff/255 = c0, 80*80/255 = 64.25 -> 0x40, 40*20/255 = 8.03 -> 8
         0xC04008},
        {"select texture", TextureOp::SelectArg1, GfxTaTexture, GfxTaDiffuse, TextureOp::SelectArg1,
         GfxTaTexture, 0, false, 0xC08040},
        {"select diffuse", TextureOp::SelectArg2, GfxTaTexture, GfxTaDiffuse, TextureOp::SelectArg1,
         GfxTaTexture, 0, false, 0xFF8020},
        {"add saturates", TextureOp::Add, GfxTaTexture, GfxTaDiffuse, TextureOp::SelectArg1, GfxTaTexture, 0,
         false, 0xFFFF60},
        {"specular argument", TextureOp::Modulate, GfxTaTexture, GfxTaSpecular, TextureOp::SelectArg1,
         GfxTaTexture, 0, false,
         // c0*10/255 = 12.05 -> 0x0C, 80*20/255 = 16.06 -> 0x10, 40*30/255 = 12.05 -> 0x0C
         0x0C100C},
        {"disable passes diffuse", TextureOp::Disable, GfxTaTexture, GfxTaDiffuse, TextureOp::Disable, 0, 0,
         false, 0xFF8020},
        // alpha through blending over black: colour * alpha / 255
        {"alpha modulate", TextureOp::SelectArg2, GfxTaTexture, GfxTaDiffuse, TextureOp::Modulate,
         GfxTaTexture, GfxTaDiffuse, true,
         // alpha 80*40/255 = 20.08 -> 0x20; ff*20/255 = 32 -> 0x20, 80*20/255 -> 0x10, 20*20/255 = 4.01 -> 4
         0x201004},
        {"alpha select diffuse", TextureOp::SelectArg2, GfxTaTexture, GfxTaDiffuse, TextureOp::SelectArg1,
         GfxTaDiffuse, 0, true,
         // alpha 0x40: ff*40/255 = 64 -> 0x40, 80*40/255 = 32.1 -> 0x20, 20*40/255 = 8.03 -> 8
         0x402008},
        {"complemented argument", TextureOp::SelectArg1, GfxTaTexture | GfxTaComplement, GfxTaDiffuse,
         TextureOp::SelectArg1, GfxTaTexture, 0, false, 0x3F7FBF},
    };
    for (const Case& c : cases) {
        Target t(2, 2);
        GfxSurface* tex = MakeTexture(1, 1, {0x80C08040});
        SetTexture(t.device, 0, tex);
        Stage(t.device, 0, c.cop, c.c1, c.c2, c.aop, c.a1, c.a2);
        if (c.blendByAlpha) Blend(t.device, BlendFactor::SrcAlpha, BlendFactor::InvSrcAlpha);
        Draw(t.device, PrimitiveType::TriangleList, Quad(0, 0, 2, 2, 0x40FF8020, 0.5f, 0x00102030));
        EXPECT_EQ(t.Rgb(0, 0), c.expected) << c.name;
        SetTexture(t.device, 0, nullptr);
        DeleteSurface(tex);
    }
}

TEST(GfxPipeline, TwoStageSetupsOfTheRenderer) {
    GfxSurface* first = MakeTexture(1, 1, {0x80204060});
    GfxSurface* second = MakeTexture(1, 1, {0xFF808080});
    // Modulate-alpha-add-colour on stage 1: current + current alpha x texture.
    {
        Target t(2, 2);
        SetTexture(t.device, 0, first);
        SetTexture(t.device, 1, second);
        Stage(t.device, 0, TextureOp::Modulate, GfxTaTexture, GfxTaDiffuse, TextureOp::SelectArg1,
              GfxTaTexture, 0);
        Stage(t.device, 1, TextureOp::ModulateAlphaAddColor, GfxTaCurrent, GfxTaTexture,
              TextureOp::SelectArg1, GfxTaDiffuse, 0);
        EXPECT_EQ(ValidateDevice(t.device, nullptr), GfxOk);
        Draw(t.device, PrimitiveType::TriangleList, Quad(0, 0, 2, 2, 0xFFFFFFFF));
        // stage 0: 0x204060 alpha 0x80; stage 1: + 0x80*0x80/255 = 64.25 -> 0x40 per channel
        EXPECT_EQ(t.Rgb(1, 1), 0x6080A0u);
    }
    // Specular water: texture x specular, then + diffuse.
    {
        Target t(2, 2);
        SetTexture(t.device, 0, second);
        SetTexture(t.device, 1, first);
        Stage(t.device, 0, TextureOp::Modulate, GfxTaTexture, GfxTaSpecular, TextureOp::SelectArg1,
              GfxTaDiffuse, 0);
        Stage(t.device, 1, TextureOp::Add, GfxTaCurrent, GfxTaDiffuse, TextureOp::Modulate, GfxTaCurrent,
              GfxTaTexture);
        Draw(t.device, PrimitiveType::TriangleList, Quad(0, 0, 2, 2, 0xFF101010, 0.5f, 0xFF204080));
        // 0x80 * (0x20, 0x40, 0x80) / 255 = (16.06, 32.1, 64.25) -> (0x10, 0x20, 0x40), + 0x10
        EXPECT_EQ(t.Rgb(1, 1), 0x203050u);
    }
    // An operation the device does not know fails validation.
    {
        Target t(2, 2);
        SetTextureStageState(t.device, 1, StageState::ColorOp, 24);
        EXPECT_EQ(ValidateDevice(t.device, nullptr), GfxErrUnsupportedColourOp);
    }
    DeleteSurface(first);
    DeleteSurface(second);
}

TEST(GfxPipeline, StageWithoutTextureReadsOpaqueWhite) {
    Target t(2, 2);
    Stage(t.device, 0, TextureOp::Modulate, GfxTaTexture, GfxTaDiffuse, TextureOp::Modulate, GfxTaTexture,
          GfxTaDiffuse);
    Blend(t.device, BlendFactor::SrcAlpha, BlendFactor::InvSrcAlpha);
    Draw(t.device, PrimitiveType::TriangleList, Quad(0, 0, 2, 2, 0xFF336699));
    EXPECT_EQ(t.Rgb(0, 1), 0x336699u);
}

// Point sampling across a row of eight pixels whose u runs from -1 to 3 over a 2-texel texture: each
// pixel centre falls in one texel.
TEST(GfxPipeline, WrapRepeatsAndClampStretchesTheEdgeTexels) {
    struct Case {
        uint32_t address;
        std::vector<uint32_t> expected;
    } cases[] = {
        {GfxAddressWrap, {0x0000FF, 0xFF0000, 0x0000FF, 0xFF0000, 0x0000FF, 0xFF0000, 0x0000FF, 0xFF0000}},
        {GfxAddressClamp, {0x0000FF, 0x0000FF, 0x0000FF, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000}},
    };
    GfxSurface* tex = MakeTexture(2, 1, {0xFF0000FF, 0xFFFF0000});
    for (const Case& c : cases) {
        Target t(8, 1);
        SetTexture(t.device, 0, tex);
        Stage(t.device, 0, TextureOp::SelectArg1, GfxTaTexture, GfxTaDiffuse, TextureOp::SelectArg1,
              GfxTaTexture, 0);
        SetTextureStageState(t.device, 0, StageState::Address, c.address);
        // u = -1 + x * 0.5 at pixel x: texel coordinate -2 + x
        Draw(t.device, PrimitiveType::TriangleList,
             Quad(0, 0, 8, 1, 0xFFFFFFFF, 0.5f, 0xFF000000u, -1, 0, 3, 1));
        std::vector<uint32_t> row;
        for (int x = 0; x < 8; ++x) row.push_back(t.Rgb(x, 0));
        EXPECT_EQ(row, c.expected) << c.address;
    }
    DeleteSurface(tex);
}

TEST(GfxPipeline, PointSampledQuadAtIntegerPositionsMapsTexelsToPixels) {
    std::vector<uint32_t> texels;
    for (int i = 0; i < 16; ++i) texels.push_back(0xFF000000u | static_cast<uint32_t>(i * 0x0F0A05));
    GfxSurface* tex = MakeTexture(4, 4, texels);
    Target t(8, 8);
    SetTexture(t.device, 0, tex);
    Stage(t.device, 0, TextureOp::SelectArg1, GfxTaTexture, GfxTaDiffuse, TextureOp::SelectArg1, GfxTaTexture,
          0);
    Draw(t.device, PrimitiveType::TriangleFan,
         {V(2, 3, 0xFFFFFFFF, 0.5f, 0, 0), V(6, 3, 0xFFFFFFFF, 0.5f, 1, 0), V(6, 7, 0xFFFFFFFF, 0.5f, 1, 1),
          V(2, 7, 0xFFFFFFFF, 0.5f, 0, 1)});
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(t.Rgb(2 + x, 3 + y), texels[y * 4 + x] & 0xFFFFFF) << x << "," << y;
    EXPECT_EQ(t.Rgb(1, 3), 0u);
    EXPECT_EQ(t.Rgb(6, 3), 0u);
    DeleteSurface(tex);
}

TEST(GfxPipeline, BilinearFilteringMixesTheNearestTexels) {
    // Texels 0x00 and 0xFF side by side; texel centres at u = 0.25 and 0.75 of the texture.
    GfxSurface* tex = MakeTexture(2, 1, {0xFF000000, 0xFFFFFFFF});
    struct Case {
        float u;  // at the pixel
        int expected;
    } cases[] = {{0.25f, 0x00}, {0.75f, 0xFF}, {0.5f, 0x7F}, {0.375f, 0x3F}};
    for (const Case& c : cases) {
        Target t(1, 1);
        SetTexture(t.device, 0, tex);
        Stage(t.device, 0, TextureOp::SelectArg1, GfxTaTexture, GfxTaDiffuse, TextureOp::SelectArg1,
              GfxTaTexture, 0);
        SetTextureStageState(t.device, 0, StageState::MagFilter, GfxFilterLinear);
        SetTextureStageState(t.device, 0, StageState::MinFilter, GfxFilterLinear);
        SetTextureStageState(t.device, 0, StageState::Address, GfxAddressClamp);
        Draw(t.device, PrimitiveType::TriangleList,
             Quad(-1, -1, 2, 2, 0xFFFFFFFF, 0.5f, 0xFF000000u, c.u, 0, c.u, 1));
        EXPECT_EQ(static_cast<int>(t.Rgb(0, 0) & 0xFF), c.expected) << c.u;
    }
    DeleteSurface(tex);
}

TEST(GfxPipeline, TextureFormatsReadAsTheirWidenedColours) {
    struct Case {
        PixelFormat format;
        uint32_t written;  // 0xAARRGGBB packed into the format
        uint32_t sampled;  // what the stage reads
    } cases[] = {
        {PixelFormat::ARGB8888, 0x80123456, 0x80123456}, {PixelFormat::XRGB8888, 0x00123456, 0xFF123456},
        {PixelFormat::RGB565, 0xFFFF8040, 0xFFFF8242},   {PixelFormat::ARGB4444, 0x80F0A050, 0x88FFAA55},
        {PixelFormat::ARGB1555, 0x80F88040, 0xFFFF8442}, {PixelFormat::ARGB1555, 0x7FF88040, 0x00FF8442},
        {PixelFormat::A8, 0x80123456, 0x80FFFFFF},
    };
    for (const Case& c : cases) {
        Target t(1, 1);
        GfxSurface* tex = MakeTexture(1, 1, {c.written}, c.format);
        SetTexture(t.device, 0, tex);
        // colour straight from the texture, then alpha through blending over white
        Stage(t.device, 0, TextureOp::SelectArg1, GfxTaTexture, GfxTaDiffuse, TextureOp::SelectArg1,
              GfxTaTexture, 0);
        Draw(t.device, PrimitiveType::TriangleList, Quad(-1, -1, 2, 2, 0xFFFFFFFF));
        EXPECT_EQ(t.Rgb(0, 0), c.sampled & 0xFFFFFF) << static_cast<int>(c.format);
        ColourFill(t.colour, nullptr, 0);
        Stage(t.device, 0, TextureOp::SelectArg2, GfxTaTexture, GfxTaDiffuse, TextureOp::SelectArg1,
              GfxTaTexture, 0);
        Blend(t.device, BlendFactor::SrcAlpha, BlendFactor::Zero);
        Draw(t.device, PrimitiveType::TriangleList, Quad(-1, -1, 2, 2, 0xFFFFFFFF));
        EXPECT_EQ(t.Rgb(0, 0) & 0xFF, c.sampled >> 24) << static_cast<int>(c.format);
        SetTexture(t.device, 0, nullptr);
        DeleteSurface(tex);
    }
}

TEST(GfxPipeline, PerspectiveCorrectTexturing) {
    // A wall receding to the right: rhw 1 on the left edge, 0.25 on the right; u runs 0..1 in the texture's
    // own space, so at screen fraction s the texture coordinate is (s * 0.25) / ((1 - s) + s * 0.25).
    std::vector<uint32_t> texels;
    for (int i = 0; i < 64; ++i) texels.push_back(0xFF000000u | static_cast<uint32_t>(i * 4));
    GfxSurface* tex = MakeTexture(64, 1, texels);
    Target t(64, 1);
    SetTexture(t.device, 0, tex);
    Stage(t.device, 0, TextureOp::SelectArg1, GfxTaTexture, GfxTaDiffuse, TextureOp::SelectArg1, GfxTaTexture,
          0);
    std::vector<GfxVertex> q = {V(0, -1, 0xFFFFFFFF, 0.5f, 0, 0, 0xFF000000u, 1.0f),
                                V(64, -1, 0xFFFFFFFF, 0.5f, 1, 0, 0xFF000000u, 0.25f),
                                V(64, 2, 0xFFFFFFFF, 0.5f, 1, 1, 0xFF000000u, 0.25f),
                                V(0, 2, 0xFFFFFFFF, 0.5f, 0, 1, 0xFF000000u, 1.0f)};
    Draw(t.device, PrimitiveType::TriangleFan, q);
    for (int x : {8, 32, 48, 60}) {
        double s = x / 64.0;
        double u = (s * 0.25) / ((1 - s) + s * 0.25);
        int texel = static_cast<int>(std::floor(u * 64));
        EXPECT_NEAR(static_cast<int>(t.Rgb(x, 0) & 0xFF) / 4, texel, 1) << x;
    }
    DeleteSurface(tex);
}

// A scene of overlapping triangles with random colours, depths, fog, texture coordinates and rhw under a
// list of state set-ups; returns the image.
std::vector<uint32_t> RandomScene(int setup, PixelFormat fmt, PixelFormat zfmt) {
    Target t(67, 53, fmt, zfmt);
    uint32_t seed = 0x9E3779B9u + static_cast<uint32_t>(setup);
    auto rnd = [&] {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        return seed;
    };
    auto frand = [&] { return (rnd() & 0xFFFFFF) / 16777216.0f; };
    std::vector<uint32_t> texels;
    for (int i = 0; i < 32 * 16; ++i) texels.push_back(rnd() | 0x10000000u);
    GfxSurface* tex = MakeTexture(32, 16, texels);
    GfxDevice* d = t.device;
    SetTexture(d, 0, tex);
    SetRenderState(d, RenderState::ZEnable, 1);
    SetRenderState(d, RenderState::FogEnable, setup & 1);
    SetRenderState(d, RenderState::FogColor, 0x4080C0);
    SetTextureStageState(d, 0, StageState::MagFilter, (setup & 2) ? GfxFilterLinear : GfxFilterPoint);
    SetTextureStageState(d, 0, StageState::MinFilter, (setup & 2) ? GfxFilterLinear : GfxFilterPoint);
    SetTextureStageState(d, 0, StageState::Address, (setup & 4) ? GfxAddressClamp : GfxAddressWrap);
    const BlendFactor pairs[][2] = {{BlendFactor::One, BlendFactor::Zero},
                                    {BlendFactor::SrcAlpha, BlendFactor::InvSrcAlpha},
                                    {BlendFactor::One, BlendFactor::One},
                                    {BlendFactor::One, BlendFactor::InvSrcAlpha}};
    const auto& pair = pairs[(setup >> 3) & 3];
    Blend(d, pair[0], pair[1]);
    SetRenderState(d, RenderState::AlphaBlendEnable, ((setup >> 3) & 3) ? 1 : 0);
    SetRenderState(d, RenderState::ZWriteEnable, (setup & 32) ? 0 : 1);
    SetRenderState(d, RenderState::ZFunc,
                   static_cast<uint32_t>((setup & 64) ? CompareFunc::Greater : CompareFunc::LessEqual));
    if (setup & 64) Clear(d, 0, nullptr, GfxClearZBuffer, 0, 0.0f, 0);
    switch ((setup >> 7) & 3) {
        case 0:
            Stage(d, 0, TextureOp::Modulate, GfxTaTexture, GfxTaDiffuse, TextureOp::Modulate, GfxTaTexture,
                  GfxTaDiffuse);
            break;
        case 1:
            Stage(d, 0, TextureOp::SelectArg1, GfxTaTexture, GfxTaDiffuse, TextureOp::SelectArg1,
                  GfxTaTexture, 0);
            break;
        case 2:
            Stage(d, 0, TextureOp::SelectArg1, GfxTaDiffuse, 0, TextureOp::SelectArg1, GfxTaDiffuse, 0);
            break;
        default:
            SetTexture(d, 0, nullptr);
            break;
    }
    std::vector<GfxVertex> v;
    for (int i = 0; i < 60; ++i) {
        float cx = frand() * 80 - 6, cy = frand() * 66 - 6;
        float size = 2 + frand() * 30;
        for (int k = 0; k < 3; ++k) {
            float z = frand();
            float rhw = (setup & 256) ? 1.0f : 1.0f / (1.0f + 3.0f * z);
            v.push_back(V(cx + (frand() - 0.5f) * size, cy + (frand() - 0.5f) * size, rnd(), z,
                          frand() * 3 - 1, frand() * 3 - 1, rnd(), rhw));
        }
    }
    Draw(d, PrimitiveType::TriangleList, v);
    std::vector<uint32_t> image = t.Pixels();
    SetTexture(d, 0, nullptr);
    DeleteSurface(tex);
    return image;
}

TEST(GfxPipeline, FastSpanShadersEqualTheGeneralShader) {
    // The two-pixel shaders, and the eight-pixel ones where the processor runs them.
    for (bool pairs : {true, false}) {
        ForcePairSpans(pairs);
        for (int setup = 0; setup < 512; setup += 7) {
            for (auto [fmt, zfmt] : {std::pair{PixelFormat::XRGB8888, PixelFormat::Z24},
                                     std::pair{PixelFormat::RGB565, PixelFormat::Z16},
                                     std::pair{PixelFormat::XRGB8888, PixelFormat::Unknown}}) {
                std::vector<uint32_t> fast = RandomScene(setup, fmt, zfmt);
                ForceGeneralShader(true);
                std::vector<uint32_t> general = RandomScene(setup, fmt, zfmt);
                ForceGeneralShader(false);
                ASSERT_EQ(fast, general) << "setup " << setup << (pairs ? " pairs" : " wide");
                int lit = 0;
                for (uint32_t p : fast) lit += p != 0;
                EXPECT_GT(lit, 100) << "setup " << setup;
            }
        }
    }
    ForcePairSpans(false);
}

TEST(GfxPipeline, FastSpanShadersTakeConstantColourChannelsAsTheGeneralShaderDoes) {
    // Triangles whose vertices share some diffuse channels and differ in the others (a layer fading in
    // alpha alone, a face lit flat with a varying fog), for every mask of varying channels, textured
    // and blended: the fast shaders compute the colour of a face lit flat once per span, the others pixel
    // by pixel, and must give the same pixels as the general shader either way.
    auto scene = [](int varying, int texture) {
        Target t(64, 48);
        GfxDevice* d = t.device;
        std::vector<uint32_t> texels;
        for (int i = 0; i < 16 * 16; ++i) texels.push_back(0x80000000u | static_cast<uint32_t>(i * 0x010307));
        GfxSurface* tex = MakeTexture(16, 16, texels);
        SetTexture(d, 0, texture ? tex : nullptr);
        SetTextureStageState(d, 0, StageState::MagFilter, GfxFilterLinear);
        Stage(d, 0, TextureOp::Modulate, GfxTaTexture, GfxTaDiffuse, TextureOp::Modulate, GfxTaTexture, GfxTaDiffuse);
        Blend(d, BlendFactor::SrcAlpha, BlendFactor::InvSrcAlpha);
        SetRenderState(d, RenderState::FogEnable, texture);
        SetRenderState(d, RenderState::FogColor, 0x306090);
        Draw(d, PrimitiveType::TriangleList, Quad(0, 0, 64, 48, 0xFF405060));
        uint32_t seed = 0x1234567u + static_cast<uint32_t>(varying);
        auto rnd = [&] {
            seed ^= seed << 13, seed ^= seed >> 17, seed ^= seed << 5;
            return seed;
        };
        std::vector<GfxVertex> v;
        for (int i = 0; i < 12; ++i) {
            const uint32_t base = rnd();
            const float cx = (rnd() % 64) * 1.0f, cy = (rnd() % 48) * 1.0f;
            for (int k = 0; k < 3; ++k) {
                uint32_t c = base;
                for (int ch = 0; ch < 4; ++ch)
                    if (varying & (1 << ch)) c = (c & ~(0xFFu << (8 * ch))) | (rnd() & (0xFFu << (8 * ch)));
                const float x = cx + (k == 1 ? 40.0f : k == 2 ? -15.0f : 0.0f), y = cy + (k == 2 ? 30.0f : -5.0f);
                v.push_back(V(x, y, c, 0.5f, x / 20, y / 20, (rnd() & 0xFF000000u) | 0x00FFFFFF));
            }
        }
        Draw(d, PrimitiveType::TriangleList, v);
        std::vector<uint32_t> image = t.Pixels();
        SetTexture(d, 0, nullptr);
        DeleteSurface(tex);
        return image;
    };
    for (bool pairs : {true, false}) {
        ForcePairSpans(pairs);
        for (int texture : {0, 1}) {
            for (int varying = 0; varying < 16; ++varying) {
                const std::vector<uint32_t> fast = scene(varying, texture);
                ForceGeneralShader(true);
                const std::vector<uint32_t> general = scene(varying, texture);
                ForceGeneralShader(false);
                ASSERT_EQ(fast, general) << "varying channels " << varying << (texture ? " textured" : "")
                                         << (pairs ? " pairs" : " wide");
            }
        }
    }
    ForcePairSpans(false);
}

TEST(GfxPipeline, FastSpanShadersEqualTheGeneralShaderOnTexturesMagnifiedAtAnyAngle) {
    // A bilinear texture stretched over the target at about one texel per pixel or less, turned by every
    // angle in steps of 15 degrees, wrapped and clamped: the spans cross the texture's rows and columns
    // both ways, so the eight-pixel shaders fetch their texels from rows or gather them; every way must
    // give the general shader's pixels.
    auto scene = [](int degrees, double scale, bool clamp) {
        Target t(72, 40);
        GfxDevice* d = t.device;
        std::vector<uint32_t> texels;
        for (int i = 0; i < 32 * 32; ++i) texels.push_back(0xFF000000u | static_cast<uint32_t>(i * 0x3A5F1Bu));
        GfxSurface* tex = MakeTexture(32, 32, texels);
        SetTexture(d, 0, tex);
        SetTextureStageState(d, 0, StageState::MagFilter, GfxFilterLinear);
        SetTextureStageState(d, 0, StageState::Address, clamp ? GfxAddressClamp : GfxAddressWrap);
        Stage(d, 0, TextureOp::Modulate, GfxTaTexture, GfxTaDiffuse, TextureOp::SelectArg1, GfxTaTexture, 0);
        const double a = degrees * 3.14159265358979 / 180, c = std::cos(a) * scale / 32, s = std::sin(a) * scale / 32;
        auto corner = [&](float x, float y) {
            const float u = static_cast<float>(0.4 + c * x - s * y), v = static_cast<float>(0.3 + s * x + c * y);
            return V(x, y, 0xFFE0F0FF, 0.5f, u, v);
        };
        Draw(d, PrimitiveType::TriangleList,
             {corner(0, 0), corner(72, 0), corner(72, 40), corner(0, 0), corner(72, 40), corner(0, 40)});
        std::vector<uint32_t> image = t.Pixels();
        SetTexture(d, 0, nullptr);
        DeleteSurface(tex);
        return image;
    };
    for (bool clamp : {false, true}) {
        for (double scale : {0.3, 0.7, 1.0}) {
            for (int degrees = 0; degrees < 360; degrees += 15) {
                const std::vector<uint32_t> fast = scene(degrees, scale, clamp);
                ForceGeneralShader(true);
                const std::vector<uint32_t> general = scene(degrees, scale, clamp);
                ForceGeneralShader(false);
                ASSERT_EQ(fast, general) << degrees << " degrees, " << scale << " texels per pixel"
                                         << (clamp ? ", clamped" : ", wrapped");
            }
        }
    }
}

TEST(GfxPipeline, ClearsBetweenDrawsKeepTheirPlaceOnEveryThreadCount) {
    // Triangles, then clears of rectangles (colour, depth, both; one reaching past the viewport), then
    // triangles again: on worker threads a clear joins the batch and must land between the draws as on one
    // thread, its depth deciding the second draw's test.
    auto scene = [] {
        Target t(61, 47);
        GfxDevice* d = t.device;
        SetRenderState(d, RenderState::ZEnable, 1);
        SetRenderState(d, RenderState::ZWriteEnable, 1);
        SetRenderState(d, RenderState::ZFunc, static_cast<uint32_t>(CompareFunc::LessEqual));
        Draw(d, PrimitiveType::TriangleList, Quad(0, 0, 61, 47, 0xFF204060, 0.3f));
        const GfxRect colourOnly{5, 3, 30, 20}, depthOnly{20, 10, 50, 40}, both{40, 30, 90, 90};
        Clear(d, 1, &colourOnly, GfxClearTarget, 0xFFFF0000u, 1.0f, 0);
        Clear(d, 1, &depthOnly, GfxClearZBuffer, 0, 0.9f, 0);
        GfxViewport vp{3, 2, 55, 40, 0.0f, 1.0f};
        SetViewport(d, vp);
        Clear(d, 1, &both, GfxClearTarget | GfxClearZBuffer, 0xFF00FF00u, 0.5f, 0);
        Draw(d, PrimitiveType::TriangleList, Quad(0, 0, 61, 47, 0xFF0000FF, 0.6f));
        std::vector<uint32_t> image = t.Pixels();
        for (int y = 0; y < 47; y += 3)
            for (int x = 0; x < 61; x += 3) image.push_back(static_cast<uint32_t>(ReadDepth(t.depth, x, y) * 1e6f));
        return image;
    };
    SetRasterThreads(1);
    const std::vector<uint32_t> one = scene();
    // The second quad (z 0.6) shows only where a clear left the depth at 0.9, inside the viewport.
    EXPECT_EQ(one[15 * 61 + 25], 0x0000FFu);  // depth cleared to 0.9, then drawn over
    EXPECT_EQ(one[5 * 61 + 10], 0xFF0000u);   // colour cleared, depth 0.3 kept: not drawn over
    EXPECT_EQ(one[35 * 61 + 45], 0x00FF00u);  // both cleared (depth 0.5 < 0.6): not drawn over
    EXPECT_EQ(one[45 * 61 + 59], 0x204060u);  // outside the viewport: the first quad
    for (int threads : {2, 5}) {
        SetRasterThreads(threads);
        EXPECT_EQ(scene(), one) << threads << " threads";
    }
    SetRasterThreads(0);
}

TEST(GfxPipeline, ADeviceKeepsOnlyThePipelinesItsWaitingPrimitivesNeed) {
    // Every state change compiles a pipeline at the next draw. On one thread each primitive is drawn at
    // once, so the device keeps only the pipeline in force however many draws a run makes; on worker
    // threads the batch keeps those of its primitives until it is drawn.
    for (int threads : {1, 3}) {
        SetRasterThreads(threads);
        Target t(16, 16);
        for (int i = 0; i < 500; ++i) {
            SetRenderState(t.device, RenderState::FogEnable, i & 1);
            Draw(t.device, PrimitiveType::TriangleList, {V(0, 0), V(16, 0), V(0, 16)});
        }
        if (threads == 1) {
            EXPECT_EQ(CompiledPipelineCount(t.device), 1u);
        } else {
            EXPECT_GT(CompiledPipelineCount(t.device), 1u);  // the batch is not drawn yet
        }
        FinishDrawing(t.device);
        EXPECT_EQ(CompiledPipelineCount(t.device), 1u) << threads << " threads";
        EXPECT_EQ(t.Rgb(2, 2), 0xFFFFFFu);
    }
    SetRasterThreads(0);
}

TEST(GfxPipeline, ThreadedDrawingEqualsOneThread) {
    for (int setup : {0, 3, 11, 19, 27, 35, 99, 200, 300}) {
        SetRasterThreads(1);
        std::vector<uint32_t> one = RandomScene(setup, PixelFormat::XRGB8888, PixelFormat::Z24);
        for (int threads : {3, 8}) {
            SetRasterThreads(threads);
            EXPECT_EQ(RandomScene(setup, PixelFormat::XRGB8888, PixelFormat::Z24), one)
                << "setup " << setup << " threads " << threads;
        }
    }
    SetRasterThreads(0);  // back to the default, one per core
}

}  // namespace
