// The eight-pixel stage-program span shader against the general shader: a table of stage programs, blend
// pairs, alpha tests, depth states and texture addressing, each drawn as the same overlapping random
// triangles (affine and perspective) by both, pixel for pixel and depth for depth; and the states it
// takes from the general shader (and those it leaves to it).
#include <gtest/gtest.h>

#include <string>

#include "GfxTestUtil.h"
#include "host/Gfx_local.h"

using namespace host;
using gfxtest::Target;

namespace {

struct StageSet {
    TextureOp cop;
    uint32_t c1, c2;
    TextureOp aop;
    uint32_t a1, a2;
    int texture;  // 0 none, 1 the 32 x 16 texture, 2 the 8 x 8 one
    bool bilinear;
    uint32_t addressU, addressV;
};

struct Case {
    const char* name;
    int stages;
    StageSet s[2];
    BlendFactor src, dst;  // One, Zero: no blending
    bool alphaTest;
    CompareFunc alphaFunc;
    bool specular, fog;
    bool depth;  // a 24-bit z-buffer
    CompareFunc zFunc;
    bool zWrite;
};

constexpr uint32_t W = GfxAddressWrap, C = GfxAddressClamp;
constexpr uint32_t Dif = GfxTaDiffuse, Cur = GfxTaCurrent, Tex = GfxTaTexture, Fac = GfxTaTFactor,
                   Spec = GfxTaSpecular, Inv = GfxTaComplement, Rep = GfxTaAlphaReplicate;
using Op = TextureOp;
using BF = BlendFactor;
using CF = CompareFunc;

// clang-format off
const Case kCases[] = {
    {"specular water",
     2,
     {{Op::Modulate, Tex, Spec, Op::SelectArg1, Dif, 0, 1, true, W, W},
      {Op::Add, Cur, Dif, Op::Modulate, Cur, Tex, 2, true, W, W}},
     BF::SrcAlpha, BF::InvSrcAlpha, false, CF::Always, false, false, true, CF::LessEqual, true},
    {"two-stage blend",
     2,
     {{Op::Modulate, Tex, Dif, Op::Modulate, Tex, Dif, 1, true, W, W},
      {Op::ModulateAlphaAddColor, Cur, Tex, Op::SelectArg1, Dif, 0, 2, true, W, W}},
     BF::One, BF::Zero, false, CF::Always, false, true, true, CF::LessEqual, true},
    {"modulate 2x and 4x, clamped point textures",
     2,
     {{Op::Modulate2x, Tex, Dif, Op::Modulate4x, Tex, Dif, 1, false, C, C},
      {Op::Modulate4x, Cur, Tex, Op::Modulate2x, Tex, Cur, 2, false, C, W}},
     BF::SrcAlpha, BF::InvSrcAlpha, false, CF::Always, false, false, true, CF::Less, false},
    {"add signed, subtract, texture factor",
     2,
     {{Op::AddSigned, Tex, Fac, Op::Subtract, Tex, Fac, 1, true, W, C},
      {Op::Subtract, Cur, Tex, Op::AddSigned, Cur, Dif, 2, true, C, W}},
     BF::One, BF::One, false, CF::Always, false, false, true, CF::Greater, true},
    {"blends by diffuse, texture and current alpha",
     2,
     {{Op::BlendDiffuseAlpha, Tex, Spec, Op::BlendTextureAlpha, Dif, Fac, 1, true, W, W},
      {Op::BlendCurrentAlpha, Tex, Dif, Op::BlendDiffuseAlpha, Cur, Tex, 2, false, W, W}},
     BF::SrcColor, BF::InvSrcColor, false, CF::Always, false, false, false, CF::Always, false},
    {"complemented and replicated arguments",
     2,
     {{Op::Modulate, Tex | Inv, Dif | Rep, Op::SelectArg2, Tex, Dif | Inv, 1, true, W, W},
      {Op::Add, Cur | Rep, Tex | Inv | Rep, Op::Modulate, Cur | Inv, Tex, 2, true, W, W}},
     BF::DestColor, BF::InvDestColor, false, CF::Always, false, true, true, CF::NotEqual, true},
    {"second stage without a texture",
     2,
     {{Op::Modulate, Tex, Dif, Op::Modulate, Tex, Dif, 1, true, W, W},
      {Op::Modulate, Cur, Tex, Op::SelectArg1, Cur, 0, 0, false, W, W}},
     BF::SrcAlpha, BF::One, false, CF::Always, true, true, true, CF::LessEqual, true},
    {"alpha test greater, one stage",
     1,
     {{Op::Modulate, Tex, Dif, Op::Modulate, Tex, Dif, 1, true, W, W}},
     BF::One, BF::Zero, true, CF::Greater, false, true, true, CF::LessEqual, true},
    {"alpha test less-equal with blending",
     1,
     {{Op::SelectArg1, Tex, 0, Op::SelectArg1, Tex, 0, 2, false, W, W}},
     BF::SrcAlpha, BF::InvSrcAlpha, true, CF::LessEqual, false, false, true, CF::GreaterEqual, false},
    {"specular add and fog",
     1,
     {{Op::Modulate, Tex, Dif, Op::SelectArg1, Dif, 0, 1, true, C, C}},
     BF::One, BF::Zero, false, CF::Always, true, true, true, CF::LessEqual, true},
    {"untextured specular add, saturating blend",
     0,
     {},
     BF::SrcAlphaSat, BF::InvSrcColor, false, CF::Always, true, false, true, CF::Always, true},
    {"destination alpha factors, equal depth",
     1,
     {{Op::Modulate, Tex, Spec, Op::Modulate, Tex, Spec, 2, true, W, W}},
     BF::InvDestAlpha, BF::SrcColor, false, CF::Always, false, true, true, CF::Equal, false},
    {"zero and one over no depth",
     1,
     {{Op::SelectArg2, Tex, Spec, Op::SelectArg1, Fac, 0, 1, false, W, C}},
     BF::InvSrcAlpha, BF::SrcAlpha, true, CF::NotEqual, false, false, false, CF::Always, false},
};
// clang-format on

// Two power-of-two textures of random texels, 32 x 16 and 8 x 8.
struct Textures {
    GfxSurface* t[3] = {nullptr, nullptr, nullptr};
    explicit Textures(uint32_t seed) {
        const int sizes[3][2] = {{0, 0}, {32, 16}, {8, 8}};
        for (int k = 1; k < 3; ++k) {
            t[k] =
                CreateSurface(sizes[k][0], sizes[k][1], PixelFormat::ARGB8888, SurfaceKind::Texture, false);
            GfxLock lock;
            EXPECT_EQ(LockSurface(t[k], nullptr, &lock), GfxOk);
            for (int y = 0; y < sizes[k][1]; ++y)
                for (int x = 0; x < sizes[k][0]; ++x) {
                    seed = seed * 1664525u + 1013904223u;
                    reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(lock.bits) + y * lock.pitch)[x] = seed;
                }
            EXPECT_EQ(UnlockSurface(t[k]), GfxOk);
        }
    }
    ~Textures() {
        for (GfxSurface* s : t)
            if (s) DeleteSurface(s);
    }
};

void SetStates(GfxDevice* d, const Case& c, const Textures& tex) {
    for (int s = 0; s < 2; ++s) {
        if (s >= c.stages) {
            SetTextureStageState(d, s, StageState::ColorOp, static_cast<uint32_t>(Op::Disable));
            SetTextureStageState(d, s, StageState::AlphaOp, static_cast<uint32_t>(Op::Disable));
            SetTexture(d, s, nullptr);
            continue;
        }
        const StageSet& st = c.s[s];
        SetTextureStageState(d, s, StageState::ColorOp, static_cast<uint32_t>(st.cop));
        SetTextureStageState(d, s, StageState::ColorArg1, st.c1);
        SetTextureStageState(d, s, StageState::ColorArg2, st.c2);
        SetTextureStageState(d, s, StageState::AlphaOp, static_cast<uint32_t>(st.aop));
        SetTextureStageState(d, s, StageState::AlphaArg1, st.a1);
        SetTextureStageState(d, s, StageState::AlphaArg2, st.a2);
        SetTextureStageState(d, s, StageState::TexCoordIndex, static_cast<uint32_t>(s));
        const uint32_t filter = st.bilinear ? GfxFilterLinear : GfxFilterPoint;
        SetTextureStageState(d, s, StageState::MagFilter, filter);
        SetTextureStageState(d, s, StageState::MinFilter, filter);
        SetTextureStageState(d, s, StageState::AddressU, st.addressU);
        SetTextureStageState(d, s, StageState::AddressV, st.addressV);
        SetTexture(d, s, st.texture ? tex.t[st.texture] : nullptr);
    }
    if (c.stages == 0) {
        SetTextureStageState(d, 0, StageState::ColorOp, static_cast<uint32_t>(Op::Disable));
        SetTextureStageState(d, 0, StageState::AlphaOp, static_cast<uint32_t>(Op::Disable));
    }
    const bool blend = !(c.src == BF::One && c.dst == BF::Zero);
    SetRenderState(d, RenderState::AlphaBlendEnable, blend ? 1 : 0);
    SetRenderState(d, RenderState::SrcBlend, static_cast<uint32_t>(c.src));
    SetRenderState(d, RenderState::DestBlend, static_cast<uint32_t>(c.dst));
    SetRenderState(d, RenderState::AlphaTestEnable, c.alphaTest ? 1 : 0);
    SetRenderState(d, RenderState::AlphaFunc, static_cast<uint32_t>(c.alphaFunc));
    SetRenderState(d, RenderState::AlphaRef, 0x70);
    SetRenderState(d, RenderState::SpecularEnable, c.specular ? 1 : 0);
    SetRenderState(d, RenderState::FogEnable, c.fog ? 1 : 0);
    SetRenderState(d, RenderState::FogColor, 0x4080C0);
    SetRenderState(d, RenderState::TextureFactor, 0x9060A0C0);
    SetRenderState(d, RenderState::ZEnable, c.depth ? 1 : 0);
    SetRenderState(d, RenderState::ZFunc, static_cast<uint32_t>(c.zFunc));
    SetRenderState(d, RenderState::ZWriteEnable, c.zWrite ? 1 : 0);
}

struct Picture {
    std::vector<uint32_t> colour;
    std::vector<float> depth;
    std::vector<GfxSpanCount> spans;
};

// Sixty overlapping triangles of random colours, depths, fog factors and two independent texture
// coordinate pairs, over a target cleared to a colour and a depth of 0.6 (the equal-depth case draws a
// layer at that depth first); rhw varies between the corners where perspective.
Picture DrawCase(const Case& c, bool perspective, bool general) {
    Target t(67, 53, PixelFormat::XRGB8888, c.depth ? PixelFormat::Z24 : PixelFormat::Unknown);
    Textures tex(0x2545F491u);
    GfxDevice* d = t.device;
    ForceGeneralShader(general);
    Clear(d, 0, nullptr, GfxClearTarget | GfxClearZBuffer, 0xFF336699u, 0.6f, 0);
    uint32_t seed = 0x9E3779B9u;
    auto rnd = [&] {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        return seed;
    };
    auto frand = [&] { return (rnd() & 0xFFFFFF) / 16777216.0f; };
    SetStates(d, c, tex);
    CountSpans(true);
    std::vector<GfxVertex> v;
    for (int i = 0; i < 60; ++i) {
        const float cx = frand() * 80 - 6, cy = frand() * 66 - 6, size = 2 + frand() * 40;
        const bool level = c.zFunc == CF::Equal && i < 20;  // at the cleared depth: EQUAL passes there
        for (int k = 0; k < 3; ++k) {
            const float z = level ? 0.6f : frand();
            const float rhw = perspective ? 1.0f / (1.0f + 3.0f * z) : 1.0f;
            v.push_back(GfxVertex{cx + (frand() - 0.5f) * size, cy + (frand() - 0.5f) * size, z, rhw, rnd(),
                                  rnd(), frand() * 3 - 1, frand() * 3 - 1, frand() * 5 - 2, frand() * 2 - 1});
        }
    }
    DrawPrimitive(d, PrimitiveType::TriangleList, kGfxVertexFormat, v.data(), static_cast<int>(v.size()));
    FinishDrawing(d);
    Picture out;
    out.spans = TakeSpanCounts();
    CountSpans(false);
    ForceGeneralShader(false);
    out.colour = t.Pixels();
    if (c.depth)
        for (int y = 0; y < 53; ++y)
            for (int x = 0; x < 67; ++x) out.depth.push_back(ReadDepth(t.depth, x, y));
    for (int s = 0; s < 2; ++s) SetTexture(d, s, nullptr);
    return out;
}

TEST(GfxProgramSpan, EveryStageProgramEqualsTheGeneralShader) {
    const bool wide = __builtin_cpu_supports("avx2");
    for (int threads : {1, 3}) {
        SetRasterThreads(threads);
        for (const Case& c : kCases) {
            for (bool perspective : {false, true}) {
                SCOPED_TRACE(std::string(c.name) + (perspective ? ", perspective" : ", affine") + ", " +
                             std::to_string(threads) + " threads");
                const Picture program = DrawCase(c, perspective, false);
                const Picture general = DrawCase(c, perspective, true);
                ASSERT_FALSE(program.spans.empty());
                // Where the processor runs the eight-pixel shaders, these states draw with them.
                if (wide) {
                    EXPECT_STREQ(program.spans[0].shader, "fast");
                }
                EXPECT_STREQ(general.spans[0].shader, "general");
                EXPECT_EQ(program.colour, general.colour);
                EXPECT_EQ(program.depth, general.depth);
                int changed = 0;
                for (uint32_t p : program.colour) changed += p != 0x336699u;
                EXPECT_GT(changed, 100);  // the triangles draw a good part of the target
            }
        }
    }
    SetRasterThreads(0);
}

TEST(GfxProgramSpan, StatesBeyondItStayWithTheGeneralShader) {
    Textures tex(7);
    GfxSurface* odd = CreateSurface(12, 8, PixelFormat::ARGB8888, SurfaceKind::Texture, false);
    const Case& water = kCases[0];
    struct Beyond {
        const char* name;
        PixelFormat colour, depth;
        bool oddTexture;
    } beyond[] = {
        {"16-bit target", PixelFormat::RGB565, PixelFormat::Z24, false},
        {"16-bit depth", PixelFormat::XRGB8888, PixelFormat::Z16, false},
        {"texture width not a power of two", PixelFormat::XRGB8888, PixelFormat::Z24, true},
    };
    for (const Beyond& b : beyond) {
        SCOPED_TRACE(b.name);
        Target t(16, 16, b.colour, b.depth);
        SetStates(t.device, water, tex);
        if (b.oddTexture) SetTexture(t.device, 1, odd);
        CountSpans(true);
        std::vector<GfxVertex> v = {gfxtest::V(0, 0), gfxtest::V(16, 0), gfxtest::V(0, 16)};
        gfxtest::Draw(t.device, PrimitiveType::TriangleList, v);
        FinishDrawing(t.device);
        const std::vector<GfxSpanCount> spans = TakeSpanCounts();
        CountSpans(false);
        ASSERT_EQ(spans.size(), 1u);
        EXPECT_STREQ(spans[0].shader, "general");
        EXPECT_GT(spans[0].pixels, 100u);
        SetTexture(t.device, 0, nullptr);
        SetTexture(t.device, 1, nullptr);
    }
    DeleteSurface(odd);
}

}  // namespace
