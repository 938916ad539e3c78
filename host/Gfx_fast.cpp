// Span shaders specialised for the state combinations the game draws most: one texture stage (or none)
// combining the texture with the diffuse colour, vertex fog, the usual blend pairs, z compare and write.
// Each computes exactly what the general shader computes for the same states, with the four channels of
// a pixel in the lanes of one vector.
#include <emmintrin.h>

#include <cstring>

#include "host/Gfx_local.h"

namespace host {
namespace {

using ColourMode = FastColour;
using AlphaMode = FastAlpha;
enum class BlendMode { Off, SrcAlpha, Add, PremultipliedAlpha };  // off, SA/ISA, ONE/ONE, ONE/ISA
enum class ZMode { Off, Test, TestWrite };
enum class TexMode { None, Point, Bilinear, PointWrap, BilinearWrap };  // ...Wrap: both axes wrap

// The pixel's channels live in 16-bit lanes: b, g, r, a in lanes 0-3 (lanes 4-7 carry a second row of
// texels while filtering). Every product below stays under 65536, so 16-bit multiplies are exact.

// Exact rounding of x / 255 lane by lane, for 0 <= x <= 65025.
inline __m128i Div255x(__m128i x) {
    x = _mm_add_epi16(x, _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), 8);
}

inline __m128i Splat16(int v) {
    return _mm_shuffle_epi32(_mm_shufflelo_epi16(_mm_cvtsi32_si128(v), 0), 0);
}

inline __m128i Unpack1(uint32_t argb) {
    return _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(argb)), _mm_setzero_si128());
}
inline __m128i Unpack2(uint32_t lo, uint32_t hi) {
    __m128i v =
        _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(lo)), _mm_cvtsi32_si128(static_cast<int>(hi)));
    return _mm_unpacklo_epi8(v, _mm_setzero_si128());
}

inline int Wrap(int i, int size, int mask, bool wrap) {
    if (wrap) return i & mask;
    return i < 0 ? 0 : (i >= size ? size - 1 : i);
}

// A stage's texture as the loops read it, copied into locals so that stores to the target (which may
// alias anything) do not force it to be reloaded for every pixel.
struct TexView {
    const uint32_t* texels;
    int w, h, mw, mh;
    bool wrapU, wrapV;
    explicit TexView(const PipelineStage& st)
        : texels(st.texels),
          w(st.texW),
          h(st.texH),
          mw(st.texW - 1),
          mh(st.texH - 1),
          wrapU(st.wrapU),
          wrapV(st.wrapV) {}
};

template <TexMode Tex>
inline __m128i Sample(const TexView& st, int32_t u, int32_t v) {
    constexpr bool wrapped = Tex == TexMode::PointWrap || Tex == TexMode::BilinearWrap;
    int iu = u >> 8, iv = v >> 8;
    const int mw = st.mw, mh = st.mh;
    if (Tex == TexMode::Point || Tex == TexMode::PointWrap) {
        int x = wrapped ? iu & mw : Wrap(iu, st.w, mw, st.wrapU);
        int y = wrapped ? iv & mh : Wrap(iv, st.h, mh, st.wrapV);
        return Unpack1(st.texels[y * st.w + x]);
    }
    int fu = u & 0xFF, fv = v & 0xFF;
    int x0, x1, y0, y1;
    if (wrapped) {
        x0 = iu & mw, x1 = (iu + 1) & mw, y0 = iv & mh, y1 = (iv + 1) & mh;
    } else {
        x0 = Wrap(iu, st.w, mw, st.wrapU), x1 = Wrap(iu + 1, st.w, mw, st.wrapU);
        y0 = Wrap(iv, st.h, mh, st.wrapV), y1 = Wrap(iv + 1, st.h, mh, st.wrapV);
    }
    const uint32_t* r0 = st.texels + y0 * st.w;
    const uint32_t* r1 = st.texels + y1 * st.w;
    // Each row: left and right texels interleaved channel by channel, mixed with one multiply-add.
    const __m128i zero = _mm_setzero_si128();
    __m128i wu = _mm_shuffle_epi32(_mm_cvtsi32_si128((fu << 16) | (256 - fu)), 0);
    __m128i top = _mm_unpacklo_epi8(_mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(r0[x0])),
                                                      _mm_cvtsi32_si128(static_cast<int>(r0[x1]))),
                                    zero);
    __m128i bot = _mm_unpacklo_epi8(_mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(r1[x0])),
                                                      _mm_cvtsi32_si128(static_cast<int>(r1[x1]))),
                                    zero);
    top = _mm_srli_epi32(_mm_madd_epi16(top, wu), 8);
    bot = _mm_srli_epi32(_mm_madd_epi16(bot, wu), 8);
    // Then the two rows, interleaved the same way.
    __m128i wv = _mm_shuffle_epi32(_mm_cvtsi32_si128((fv << 16) | (256 - fv)), 0);
    __m128i col = _mm_unpacklo_epi16(_mm_packs_epi32(top, top), _mm_packs_epi32(bot, bot));
    __m128i res = _mm_srli_epi32(_mm_madd_epi16(col, wv), 8);
    return _mm_packs_epi32(res, res);
}

// Which outcomes of a comparison pass: bit 0 less, bit 1 equal, bit 2 greater.
unsigned CompareMask(CompareFunc f) {
    switch (f) {
        case CompareFunc::Never:
            return 0;
        case CompareFunc::Less:
            return 1;
        case CompareFunc::Equal:
            return 2;
        case CompareFunc::LessEqual:
            return 3;
        case CompareFunc::Greater:
            return 4;
        case CompareFunc::NotEqual:
            return 5;
        case CompareFunc::GreaterEqual:
            return 6;
        case CompareFunc::Always:
            return 7;
    }
    return 7;
}

inline bool ZPass(unsigned mask, uint32_t value, uint32_t stored) {
    unsigned outcome = static_cast<unsigned>(value >= stored) + static_cast<unsigned>(value > stored);
    return (mask >> outcome) & 1;
}

template <bool Perspective, TexMode Tex, BlendMode Blend, ZMode Z>
void FastSpan(const Pipeline& p, const SpanSetup& a, int x, int y, int n) {
    uint8_t* crow = p.colour + static_cast<ptrdiff_t>(y) * p.colourPitch;
    uint8_t* zrow = Z != ZMode::Off ? p.depth + static_cast<ptrdiff_t>(y) * p.depthPitch : nullptr;
    const TexView st(p.stage[0]);
    // The colour (lanes 0-2) and alpha (lane 3) are texture x diffuse, with either side forced to white
    // where only the other one is selected (x * 255 / 255 is x).
    const __m128i texWhite = _mm_setr_epi16(p.fastColour == ColourMode::SelectDiffuse ? 255 : 0,
                                            p.fastColour == ColourMode::SelectDiffuse ? 255 : 0,
                                            p.fastColour == ColourMode::SelectDiffuse ? 255 : 0,
                                            p.fastAlpha == AlphaMode::Diffuse ? 255 : 0, 0, 0, 0, 0);
    const __m128i difWhite = _mm_setr_epi16(p.fastColour == ColourMode::SelectTexture ? 255 : 0,
                                            p.fastColour == ColourMode::SelectTexture ? 255 : 0,
                                            p.fastColour == ColourMode::SelectTexture ? 255 : 0,
                                            p.fastAlpha == AlphaMode::Texture ? 255 : 0, 0, 0, 0, 0);
    const bool fog = p.fog, t565 = p.target565, z16 = p.depth16;
    const unsigned zf = CompareMask(p.zFunc);
    const __m128i fogc = _mm_setr_epi16(static_cast<short>(p.fogB), static_cast<short>(p.fogG),
                                        static_cast<short>(p.fogR), 0, 0, 0, 0, 0);
    const __m128i white = _mm_set1_epi16(255);
    SpanWalker<Perspective> w(a);
    for (int i = 0; i < n; ++i, w.Next(a)) {
        int px = x + i;
        uint32_t zval = 0;
        if (Z != ZMode::Off) {
            int64_t z = w.z;
            if (z16) {
                int64_t zc = z >> 16;
                zval = static_cast<uint32_t>(zc < 0 ? 0 : (zc > 0xFFFF ? 0xFFFF : zc));
                if (!ZPass(zf, zval, reinterpret_cast<uint16_t*>(zrow)[px])) continue;
            } else {
                int64_t zc = z >> 8;
                zval = static_cast<uint32_t>(zc < 0 ? 0 : (zc > 0xFFFFFF ? 0xFFFFFF : zc));
                if (!ZPass(zf, zval, reinterpret_cast<uint32_t*>(zrow)[px] >> 8)) continue;
            }
        }
        PixelIn in;
        w.Values(&in);
        __m128i ci;
        std::memcpy(&ci, &in.c, sizeof ci);
        __m128i c = _mm_packs_epi32(ci, ci);
        __m128i tex = white;
        if (Tex != TexMode::None) tex = Sample<Tex>(st, in.t[0], in.t[1]);
        __m128i out = Div255x(_mm_mullo_epi16(_mm_or_si128(tex, texWhite), _mm_or_si128(c, difWhite)));
        int sa = _mm_extract_epi16(out, 3);
        if (fog) {
            int f = in.s[3];
            out = Div255x(
                _mm_add_epi16(_mm_mullo_epi16(out, Splat16(f)), _mm_mullo_epi16(fogc, Splat16(255 - f))));
        }
        uint32_t* d32 = reinterpret_cast<uint32_t*>(crow) + px;
        uint16_t* d16 = reinterpret_cast<uint16_t*>(crow) + px;
        if (Blend != BlendMode::Off) {
            __m128i dst = Unpack1(t565 ? UnpackPixel(PixelFormat::RGB565, *d16) : *d32);
            switch (Blend) {
                case BlendMode::SrcAlpha:
                    out = Div255x(_mm_add_epi16(_mm_mullo_epi16(out, Splat16(sa)),
                                                _mm_mullo_epi16(dst, Splat16(255 - sa))));
                    break;
                case BlendMode::Add:
                    out = _mm_adds_epu16(out, dst);
                    break;
                case BlendMode::PremultipliedAlpha:
                    out = _mm_add_epi16(out, Div255x(_mm_mullo_epi16(dst, Splat16(255 - sa))));
                    break;
                case BlendMode::Off:
                    break;
            }
        }
        uint32_t bgra =
            static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(out, out)));  // saturates at 255
        if (t565)
            *d16 = static_cast<uint16_t>(PackPixel(PixelFormat::RGB565, bgra));
        else
            *d32 = bgra & 0xFFFFFF;
        if (Z == ZMode::TestWrite) {
            if (z16)
                reinterpret_cast<uint16_t*>(zrow)[px] = static_cast<uint16_t>(zval);
            else
                reinterpret_cast<uint32_t*>(zrow)[px] = zval << 8;
        }
    }
}

template <bool P, TexMode T, BlendMode B>
Pipeline::SpanFn PickZ(ZMode z) {
    switch (z) {
        case ZMode::Off:
            return FastSpan<P, T, B, ZMode::Off>;
        case ZMode::Test:
            return FastSpan<P, T, B, ZMode::Test>;
        case ZMode::TestWrite:
            return FastSpan<P, T, B, ZMode::TestWrite>;
    }
    return nullptr;
}

template <bool P, TexMode T>
Pipeline::SpanFn PickBlend(BlendMode b, ZMode z) {
    switch (b) {
        case BlendMode::Off:
            return PickZ<P, T, BlendMode::Off>(z);
        case BlendMode::SrcAlpha:
            return PickZ<P, T, BlendMode::SrcAlpha>(z);
        case BlendMode::Add:
            return PickZ<P, T, BlendMode::Add>(z);
        case BlendMode::PremultipliedAlpha:
            return PickZ<P, T, BlendMode::PremultipliedAlpha>(z);
    }
    return nullptr;
}

template <bool P>
Pipeline::SpanFn PickTex(TexMode t, BlendMode b, ZMode z) {
    switch (t) {
        case TexMode::None:
            return PickBlend<P, TexMode::None>(b, z);
        case TexMode::Point:
            return PickBlend<P, TexMode::Point>(b, z);
        case TexMode::Bilinear:
            return PickBlend<P, TexMode::Bilinear>(b, z);
        case TexMode::PointWrap:
            return PickBlend<P, TexMode::PointWrap>(b, z);
        case TexMode::BilinearWrap:
            return PickBlend<P, TexMode::BilinearWrap>(b, z);
    }
    return nullptr;
}

}  // namespace

void ChooseSpanShader(Pipeline* p) {
    p->span = GeneralSpan;
    if (GeneralShaderForced() || p->alphaTest || p->specularAdd || p->stageCount > 1) return;
    const PipelineStage& st = p->stage[0];
    bool textured = p->stageCount == 1 && st.texels != nullptr;
    if (textured && !st.pow2) return;
    // The colour and alpha of the only stage, in terms of the texture and the diffuse colour (for stage
    // 0 the current colour is the diffuse colour).
    auto isTex = [](uint32_t a) { return a == GfxTaTexture; };
    auto isDif = [](uint32_t a) { return a == GfxTaDiffuse || a == GfxTaCurrent; };
    ColourMode cm;
    AlphaMode am;
    if (p->stageCount == 0) {
        cm = ColourMode::SelectDiffuse;
        am = AlphaMode::Diffuse;
    } else {
        TextureOp cop = static_cast<TextureOp>(st.colourOp), aop = static_cast<TextureOp>(st.alphaOp);
        uint32_t c1 = st.colourArg1, c2 = st.colourArg2, a1 = st.alphaArg1, a2 = st.alphaArg2;
        if (cop == TextureOp::Modulate && ((isTex(c1) && isDif(c2)) || (isDif(c1) && isTex(c2))))
            cm = ColourMode::Modulate;
        else if ((cop == TextureOp::SelectArg1 && isTex(c1)) || (cop == TextureOp::SelectArg2 && isTex(c2)))
            cm = ColourMode::SelectTexture;
        else if ((cop == TextureOp::SelectArg1 && isDif(c1)) || (cop == TextureOp::SelectArg2 && isDif(c2)))
            cm = ColourMode::SelectDiffuse;
        else
            return;
        if (aop == TextureOp::Modulate && ((isTex(a1) && isDif(a2)) || (isDif(a1) && isTex(a2))))
            am = AlphaMode::Modulate;
        else if ((aop == TextureOp::SelectArg1 && isTex(a1)) || (aop == TextureOp::SelectArg2 && isTex(a2)))
            am = AlphaMode::Texture;
        else if ((aop == TextureOp::SelectArg1 && isDif(a1)) || (aop == TextureOp::SelectArg2 && isDif(a2)) ||
                 aop == TextureOp::Disable)
            am = AlphaMode::Diffuse;
        else
            return;
    }
    BlendMode bm = BlendMode::Off;
    if (p->blend) {
        BlendFactor s = p->srcBlend, d = p->dstBlend;
        if (s == BlendFactor::SrcAlpha && d == BlendFactor::InvSrcAlpha)
            bm = BlendMode::SrcAlpha;
        else if (s == BlendFactor::One && d == BlendFactor::One)
            bm = BlendMode::Add;
        else if (s == BlendFactor::One && d == BlendFactor::InvSrcAlpha)
            bm = BlendMode::PremultipliedAlpha;
        else if (!(s == BlendFactor::One && d == BlendFactor::Zero))
            return;
    }
    ZMode zm = !p->depth ? ZMode::Off : (p->zWrite ? ZMode::TestWrite : ZMode::Test);
    TexMode tm = TexMode::None;
    if (textured && st.wrapU && st.wrapV)
        tm = st.bilinear ? TexMode::BilinearWrap : TexMode::PointWrap;
    else if (textured)
        tm = st.bilinear ? TexMode::Bilinear : TexMode::Point;
    p->fastColour = cm;
    p->fastAlpha = am;
    p->spanAffine = PickTex<false>(tm, bm, zm);
    p->spanPerspective = PickTex<true>(tm, bm, zm);
    p->span = [](const Pipeline& pl, const SpanSetup& s, int x, int y, int n) {
        (s.perspective ? pl.spanPerspective : pl.spanAffine)(pl, s, x, y, n);
    };
}

}  // namespace host
