// Span shaders eight pixels wide for the states the fast paths leave to the general shader: up to two
// texture stages with any operation and argument, alpha test, specular add, fog, any pair of blend factors
// and any depth comparison, on 32-bit targets with 24-bit depth or none and power-of-two textures (the
// game's transparent specular water, two textures blended over the ground, is the most frequent). The
// stage program is read from the pipeline for each group of eight pixels (the same branches for the whole
// span), and every step computes exactly what the general shader computes for each pixel.
#include "host/Gfx_wide_local.h"

namespace host {
namespace {

using namespace wide;

constexpr int kProgramStages = 2;

// A colour of eight pixels in 16-bit halves (layout: Gfx_wide_local.h), every half 0..255.
using Col = Halves;

KV_AVX2 inline __m256i Min255(__m256i v) {
    return _mm256_min_epu16(v, _mm256_set1_epi16(255));
}

// The alpha of each pixel in both halves.
KV_AVX2 inline __m256i AlphaOf(const Col& c) {
    return Both(_mm256_srli_epi32(c.ga, 16));
}

// A 0xAARRGGBB constant in halves.
KV_AVX2 inline Col Constant(uint32_t argb) {
    const int b = argb & 0xFF, g = (argb >> 8) & 0xFF, r = (argb >> 16) & 0xFF, a = argb >> 24;
    return {_mm256_set1_epi32(b | r << 16), _mm256_set1_epi32(g | a << 16)};
}

// The values a stage reads, for one group of pixels.
struct StageInputs {
    Col diffuse, current, texture, specular, factor;
};

// A stage argument: the selected colour, complemented, its alpha replicated.
KV_AVX2 inline Col Arg(uint32_t arg, const StageInputs& in) {
    Col v;
    switch (arg & GfxTaSelectMask) {
        case GfxTaDiffuse:
            v = in.diffuse;
            break;
        case GfxTaTexture:
            v = in.texture;
            break;
        case GfxTaTFactor:
            v = in.factor;
            break;
        case GfxTaSpecular:
            v = in.specular;
            break;
        default:
            v = in.current;
            break;
    }
    if (arg & GfxTaComplement) {
        const __m256i white = _mm256_set1_epi32(0x00FF00FF);
        v = {_mm256_xor_si256(v.br, white), _mm256_xor_si256(v.ga, white)};
    }
    if (arg & GfxTaAlphaReplicate) v.br = v.ga = AlphaOf(v);
    return v;
}

// a1 * w + a2 * (255 - w), divided by 255.
KV_AVX2 inline __m256i Lerp(__m256i a1, __m256i a2, __m256i w) {
    const __m256i inv = _mm256_sub_epi16(_mm256_set1_epi16(255), w);
    return Div255(_mm256_add_epi16(_mm256_mullo_epi16(a1, w), _mm256_mullo_epi16(a2, inv)));
}

// One texture operation on one vector of halves: a1 and a2 the arguments, a1Alpha the first argument's
// alpha in both halves, the blend weights of the BLEND* operations, current what DISABLE keeps.
KV_AVX2 inline __m256i Combine(TextureOp op, __m256i a1, __m256i a2, __m256i a1Alpha, __m256i diffuseA,
                               __m256i textureA, __m256i currentA, __m256i current) {
    switch (op) {
        case TextureOp::Disable:
            return current;
        case TextureOp::SelectArg1:
            return a1;
        case TextureOp::SelectArg2:
            return a2;
        case TextureOp::Modulate:
            return Div255(_mm256_mullo_epi16(a1, a2));
        case TextureOp::Modulate2x:
            return Min255(_mm256_slli_epi16(Div255(_mm256_mullo_epi16(a1, a2)), 1));
        case TextureOp::Modulate4x:
            return Min255(_mm256_slli_epi16(Div255(_mm256_mullo_epi16(a1, a2)), 2));
        case TextureOp::Add:
            return Min255(_mm256_add_epi16(a1, a2));
        case TextureOp::AddSigned:
            return Min255(_mm256_subs_epu16(_mm256_add_epi16(a1, a2), _mm256_set1_epi16(128)));
        case TextureOp::Subtract:
            return _mm256_subs_epu16(a1, a2);
        case TextureOp::BlendDiffuseAlpha:
            return Lerp(a1, a2, diffuseA);
        case TextureOp::BlendTextureAlpha:
            return Lerp(a1, a2, textureA);
        case TextureOp::BlendCurrentAlpha:
            return Lerp(a1, a2, currentA);
        case TextureOp::ModulateAlphaAddColor:
            return Min255(_mm256_add_epi16(a1, Div255(_mm256_mullo_epi16(a1Alpha, a2))));
    }
    return current;
}

// A blend factor for the source colour s (with alpha sa in both halves) over the target colour d.
KV_AVX2 inline __m256i Factor(BlendFactor f, __m256i s, __m256i sa, __m256i d) {
    const __m256i white = _mm256_set1_epi16(255);
    switch (f) {
        case BlendFactor::Zero:
        case BlendFactor::InvDestAlpha:
        case BlendFactor::SrcAlphaSat:
            return _mm256_setzero_si256();  // the targets carry no alpha: it reads as opaque
        case BlendFactor::One:
        case BlendFactor::DestAlpha:
            return white;
        case BlendFactor::SrcColor:
            return s;
        case BlendFactor::InvSrcColor:
            return _mm256_sub_epi16(white, s);
        case BlendFactor::SrcAlpha:
            return sa;
        case BlendFactor::InvSrcAlpha:
            return _mm256_sub_epi16(white, sa);
        case BlendFactor::DestColor:
            return d;
        case BlendFactor::InvDestColor:
            return _mm256_sub_epi16(white, d);
    }
    return white;
}

// min(s * sf + d * df, 255) / 255 rounded: a sum past 65025 gives 255 whatever it is, so it saturates there.
KV_AVX2 inline __m256i BlendHalf(BlendFactor sf, BlendFactor df, __m256i s, __m256i sa, __m256i d) {
    const __m256i sum = _mm256_adds_epu16(_mm256_mullo_epi16(s, Factor(sf, s, sa, d)),
                                          _mm256_mullo_epi16(d, Factor(df, s, sa, d)));
    return Div255(_mm256_min_epu16(sum, _mm256_set1_epi16(static_cast<short>(65025))));
}

// Which values of a comparison pass (value against reference), in 32-bit lanes.
KV_AVX2 inline __m256i Passes(const ZCompare& c, __m256i value, __m256i reference) {
    const __m256i gt = _mm256_cmpgt_epi32(value, reference), lt = _mm256_cmpgt_epi32(reference, value),
                  eq = _mm256_cmpeq_epi32(value, reference);
    return _mm256_or_si256(_mm256_or_si256(_mm256_and_si256(lt, c.less), _mm256_and_si256(eq, c.equal)),
                           _mm256_and_si256(gt, c.greater));
}

// The transparent specular water, the most frequent program of the game's frame, has a shader of its own
// in which its operations, arguments, texture modes and blend pair are constants, so that they fold into
// straight code: stage 0 the specular texture times the specular colour, with the diffuse alpha; stage 1
// that plus the diffuse colour, with the alpha times the water texture's; blended by source alpha.
struct WaterStage {
    TextureOp cop;
    uint32_t c1, c2;
    TextureOp aop;
    uint32_t a1, a2;
};
constexpr WaterStage kWater[2] = {
    {TextureOp::Modulate, GfxTaTexture, GfxTaSpecular, TextureOp::SelectArg1, GfxTaDiffuse, GfxTaDiffuse},
    {TextureOp::Add, GfxTaCurrent, GfxTaDiffuse, TextureOp::Modulate, GfxTaCurrent, GfxTaTexture},
};

bool IsWater(const Pipeline& p) {
    if (p.stageCount != 2 || !p.blend || p.srcBlend != BlendFactor::SrcAlpha ||
        p.dstBlend != BlendFactor::InvSrcAlpha || p.alphaTest || p.specularAdd)
        return false;
    for (int k = 0; k < 2; ++k) {
        const PipelineStage& st = p.stage[k];
        const WaterStage& w = kWater[k];
        if (!st.texels || !st.bilinear || !st.wrapU || !st.wrapV) return false;
        if (static_cast<TextureOp>(st.colourOp) != w.cop || st.colourArg1 != w.c1 || st.colourArg2 != w.c2 ||
            static_cast<TextureOp>(st.alphaOp) != w.aop || st.alphaArg1 != w.a1)
            return false;
        // SELECTARG1 reads no second argument.
        if (w.aop != TextureOp::SelectArg1 && st.alphaArg2 != w.a2) return false;
    }
    return true;
}

// A stage's texture as the shader samples it.
struct StageTex {
    WideTex tex{};
    FastTex mode = FastTex::None;
    bool flatRows = false;  // v does not change along the span
};

template <bool Perspective, bool Water>
KV_AVX2 void ProgramSpanT(const Pipeline& p, const SpanSetup& a, int x, int y, int n) {
    // The depths of the span lie between those of its ends; where an end falls outside the buffer's range
    // the general shader, which clamps pixel by pixel, draws the span.
    const bool hasDepth = p.depth != nullptr;
    if (hasDepth && !DepthInRange(a, n)) {
        GeneralSpan(p, a, x, y, n);
        return;
    }
    uint32_t* colour = reinterpret_cast<uint32_t*>(p.colour + static_cast<ptrdiff_t>(y) * p.colourPitch) + x;
    uint32_t* depth =
        hasDepth ? reinterpret_cast<uint32_t*>(p.depth + static_cast<ptrdiff_t>(y) * p.depthPitch) + x
                 : nullptr;

    const __m256 lane = _mm256_setr_ps(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i laneIndex = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    __m256 c[4], cx[4], s[4], sx[4], t[4], tx[4];
    for (int i = 0; i < 4; ++i) {
        c[i] = _mm256_set1_ps(a.c[i]), cx[i] = _mm256_set1_ps(a.cx[i]);
        s[i] = _mm256_set1_ps(a.s[i]), sx[i] = _mm256_set1_ps(a.sx[i]);
        t[i] = _mm256_set1_ps(a.t[i]), tx[i] = _mm256_set1_ps(a.tx[i]);
    }
    const __m256 q = _mm256_set1_ps(a.q), qx = _mm256_set1_ps(a.qx);

    const int stages = Water ? 2 : p.stageCount;
    StageTex tex[kProgramStages];
    for (int k = 0; k < stages; ++k) {
        const PipelineStage& st = p.stage[k];
        if (!st.texels) continue;
        WideTex& w = tex[k].tex;
        w.texels = reinterpret_cast<const int*>(st.texels);
        w.mw = _mm256_set1_epi32(st.texW - 1);
        w.mh = _mm256_set1_epi32(st.texH - 1);
        w.wrapU = _mm256_set1_epi32(st.wrapU ? -1 : 0);
        w.wrapV = _mm256_set1_epi32(st.wrapV ? -1 : 0);
        w.shift = __builtin_ctz(static_cast<unsigned>(st.texW));
        w.log2w = _mm_cvtsi32_si128(w.shift);
        w.lastColumn = st.texW - 1;
        const bool wraps = st.wrapU && st.wrapV;
        tex[k].mode = st.bilinear ? (wraps ? FastTex::BilinearWrap : FastTex::Bilinear)
                                  : (wraps ? FastTex::PointWrap : FastTex::Point);
        tex[k].flatRows = !Perspective && a.tx[2 * k + 1] == 0;
    }

    // The specular colour is read by stage arguments, specular add and fog (its alpha is the fog factor).
    bool needSpecular = Water || p.specularAdd || p.fog;
    for (int k = 0; k < stages; ++k)
        for (uint32_t arg :
             {p.stage[k].colourArg1, p.stage[k].colourArg2, p.stage[k].alphaArg1, p.stage[k].alphaArg2})
            needSpecular |= (arg & GfxTaSelectMask) == GfxTaSpecular;
    const Col factor = Constant(p.textureFactor);
    const Col white = {_mm256_set1_epi32(0x00FF00FF), _mm256_set1_epi32(0x00FF00FF)};
    const Col fogColour = Constant(static_cast<uint32_t>(p.fogB | p.fogG << 8 | p.fogR << 16));
    const __m256i low = _mm256_set1_epi32(0xFFFF), high = _mm256_set1_epi32(static_cast<int>(0xFFFF0000u));
    const ZCompare alphaCompare = MakeZCompare(p.alphaFunc);
    const bool blend = Water || p.blend;
    const BlendFactor srcBlend = Water ? BlendFactor::SrcAlpha : p.srcBlend;
    const BlendFactor dstBlend = Water ? BlendFactor::InvSrcAlpha : p.dstBlend;
    const __m256i alphaRef = _mm256_set1_epi32(p.alphaRef);

    ZCompare zc{};
    __m256i zLanes = _mm256_setzero_si256(), zStep = zLanes;
    if (hasDepth) {
        zc = MakeZCompare(p.zFunc);
        DepthLanes(a, &zLanes, &zStep);
    }

    for (int i = 0; i < n; i += 8) {
        const int left = n - i;
        const bool full = left >= 8;
        const __m256i live =
            full ? _mm256_set1_epi32(-1) : _mm256_cmpgt_epi32(_mm256_set1_epi32(left), laneIndex);
        __m256i pass = live;
        __m256i zval = _mm256_setzero_si256(), zOld = zval;
        if (hasDepth) {
            zval = _mm256_srli_epi32(zLanes, 8);
            zLanes = _mm256_add_epi32(zLanes, zStep);
            zOld = full ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(depth + i))
                        : _mm256_maskload_epi32(reinterpret_cast<const int*>(depth + i), live);
            pass = _mm256_and_si256(pass, Passes(zc, zval, _mm256_srli_epi32(zOld, 8)));
            if (_mm256_testz_si256(pass, pass)) continue;
        }

        const __m256 k = _mm256_add_ps(lane, _mm256_set1_ps(static_cast<float>(i)));
        const __m256 w = InverseQ<Perspective>(q, qx, k);
        StageInputs in;
        in.diffuse = {_mm256_or_si256(Colour(Value<Perspective>(c[0], cx[0], k, w)),
                                      _mm256_slli_epi32(Colour(Value<Perspective>(c[2], cx[2], k, w)), 16)),
                      _mm256_or_si256(Colour(Value<Perspective>(c[1], cx[1], k, w)),
                                      _mm256_slli_epi32(Colour(Value<Perspective>(c[3], cx[3], k, w)), 16))};
        in.specular = white;
        if (needSpecular)
            in.specular = {
                _mm256_or_si256(Colour(Value<Perspective>(s[0], sx[0], k, w)),
                                _mm256_slli_epi32(Colour(Value<Perspective>(s[2], sx[2], k, w)), 16)),
                _mm256_or_si256(Colour(Value<Perspective>(s[1], sx[1], k, w)),
                                _mm256_slli_epi32(Colour(Value<Perspective>(s[3], sx[3], k, w)), 16))};
        in.factor = factor;
        in.current = in.diffuse;
        const __m256i diffuseA = AlphaOf(in.diffuse);

#pragma GCC unroll 2
        for (int st = 0; st < stages; ++st) {
            const PipelineStage& ps = p.stage[st];
            const StageTex& sampler = tex[st];
            in.texture = white;
            const FastTex mode = Water ? FastTex::BilinearWrap : sampler.mode;
            if (mode != FastTex::None) {
                const __m256i u = Coord(Value<Perspective>(t[2 * st], tx[2 * st], k, w));
                const __m256i v = Coord(Value<Perspective>(t[2 * st + 1], tx[2 * st + 1], k, w));
                switch (mode) {
                    case FastTex::BilinearWrap:
                        in.texture = Sample<FastTex::BilinearWrap>(sampler.tex, sampler.flatRows, live, u, v);
                        break;
                    case FastTex::Bilinear:
                        in.texture = Sample<FastTex::Bilinear>(sampler.tex, sampler.flatRows, live, u, v);
                        break;
                    case FastTex::PointWrap:
                        in.texture = Sample<FastTex::PointWrap>(sampler.tex, sampler.flatRows, live, u, v);
                        break;
                    default:
                        in.texture = Sample<FastTex::Point>(sampler.tex, sampler.flatRows, live, u, v);
                        break;
                }
            }
            const __m256i textureA = AlphaOf(in.texture), currentA = AlphaOf(in.current);
            const TextureOp cop = Water ? kWater[st].cop : static_cast<TextureOp>(ps.colourOp);
            const TextureOp aop = Water ? kWater[st].aop : static_cast<TextureOp>(ps.alphaOp);
            const Col c1 = Arg(Water ? kWater[st].c1 : ps.colourArg1, in);
            const Col c2 = Arg(Water ? kWater[st].c2 : ps.colourArg2, in);
            const __m256i c1A = AlphaOf(c1);
            Col next;
            next.br = Combine(cop, c1.br, c2.br, c1A, diffuseA, textureA, currentA, in.current.br);
            next.ga = Combine(cop, c1.ga, c2.ga, c1A, diffuseA, textureA, currentA, in.current.ga);
            const Col a1 = Arg(Water ? kWater[st].a1 : ps.alphaArg1, in);
            const Col a2 = Arg(Water ? kWater[st].a2 : ps.alphaArg2, in);
            const __m256i alpha =
                Combine(aop, a1.ga, a2.ga, AlphaOf(a1), diffuseA, textureA, currentA, in.current.ga);
            next.ga = _mm256_or_si256(_mm256_and_si256(next.ga, low), _mm256_and_si256(alpha, high));
            in.current = next;
        }
        Col out = in.current;
        if (!Water && p.alphaTest) {
            pass = _mm256_and_si256(pass, Passes(alphaCompare, _mm256_srli_epi32(out.ga, 16), alphaRef));
            if (_mm256_testz_si256(pass, pass)) continue;
        }
        if (!Water && p.specularAdd) {
            out.br = Min255(_mm256_add_epi16(out.br, in.specular.br));
            out.ga = Min255(_mm256_add_epi16(out.ga, _mm256_and_si256(in.specular.ga, low)));
        }
        if (p.fog) {
            // Fog mixes the colour with the fog colour; the alpha stays.
            const __m256i f = AlphaOf(in.specular), g = _mm256_sub_epi16(_mm256_set1_epi16(255), f);
            const __m256i alpha = _mm256_and_si256(out.ga, high);
            out.br =
                Div255(_mm256_add_epi16(_mm256_mullo_epi16(out.br, f), _mm256_mullo_epi16(fogColour.br, g)));
            out.ga =
                Div255(_mm256_add_epi16(_mm256_mullo_epi16(out.ga, f), _mm256_mullo_epi16(fogColour.ga, g)));
            out.ga = _mm256_or_si256(_mm256_and_si256(out.ga, low), alpha);
        }
        __m256i old = _mm256_setzero_si256();
        const bool allPass = full && _mm256_movemask_epi8(pass) == -1;
        if (blend || (full && !allPass))
            old = full ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(colour + i))
                       : _mm256_maskload_epi32(reinterpret_cast<const int*>(colour + i), live);
        if (blend) {
            const Halves d = Split(old);
            const __m256i sa = AlphaOf(out);
            out.br = BlendHalf(srcBlend, dstBlend, out.br, sa, d.br);
            out.ga = BlendHalf(srcBlend, dstBlend, out.ga, sa, d.ga);
        }
        // b | g << 8 | r << 16, the unused top byte cleared.
        const __m256i px =
            _mm256_or_si256(out.br, _mm256_slli_epi32(_mm256_and_si256(out.ga, _mm256_set1_epi32(0xFF)), 8));
        StoreGroup(colour + i, px, old, pass, full, allPass);
        if (hasDepth && p.zWrite)
            StoreGroup(depth + i, _mm256_slli_epi32(zval, 8), zOld, pass, full, allPass);
    }
}

void ProgramSpan(const Pipeline& p, const SpanSetup& a, int x, int y, int n) {
    if (a.perspective)
        ProgramSpanT<true, false>(p, a, x, y, n);
    else
        ProgramSpanT<false, false>(p, a, x, y, n);
}

void WaterSpan(const Pipeline& p, const SpanSetup& a, int x, int y, int n) {
    if (a.perspective)
        ProgramSpanT<true, true>(p, a, x, y, n);
    else
        ProgramSpanT<false, true>(p, a, x, y, n);
}

}  // namespace

Pipeline::SpanFn ProgramSpanShader(const Pipeline& p) {
    if (!HasAvx2() || p.target565 || (p.depth && p.depth16) || p.stageCount > kProgramStages) return nullptr;
    for (int k = 0; k < p.stageCount; ++k) {
        const PipelineStage& st = p.stage[k];
        if (st.texels && (!st.pow2 || st.texW <= 0 || st.texH <= 0)) return nullptr;
    }
    return IsWater(p) ? WaterSpan : ProgramSpan;
}

}  // namespace host
