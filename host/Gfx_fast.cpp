// Span shaders specialised for the state combinations the game draws most: one texture stage (or none)
// combining the texture with the diffuse colour, vertex fog, the usual blend pairs, z compare and write.
// Each computes exactly what the general shader computes for the same states, two pixels at a time with
// the four channels of both in the lanes of one vector.
#include <emmintrin.h>

#include <cstring>
#include <type_traits>

#include "host/Gfx_local.h"

namespace host {
namespace {

using ColourMode = FastColour;
using AlphaMode = FastAlpha;
using BlendMode = FastBlend;
using ZMode = FastZ;
using TexMode = FastTex;

// The channels live in 16-bit lanes: b, g, r, a of one pixel in lanes 0-3, of the pixel right of it in
// lanes 4-7. Every product below stays under 65536, so 16-bit multiplies are exact.

// Exact rounding of x / 255 lane by lane, for 0 <= x <= 65025.
inline __m128i Div255x(__m128i x) {
    x = _mm_add_epi16(x, _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), 8);
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
    __m128i mask;   // mw, mh, mw, mh: wraps u and v of a pixel pair
    __m128i log2w;  // the shift that multiplies a row number by the width (the fast paths need powers of two)
    explicit TexView(const PipelineStage& st)
        : texels(st.texels),
          w(st.texW),
          h(st.texH),
          mw(st.texW - 1),
          mh(st.texH - 1),
          wrapU(st.wrapU),
          wrapV(st.wrapV),
          mask(_mm_setr_epi32(mw, mh, mw, mh)),
          log2w(_mm_cvtsi32_si128(st.texW > 0 ? __builtin_ctz(static_cast<unsigned>(st.texW)) : 0)) {}
};

// From a in 32-bit lanes 0-1 and b in lanes 2-3 (each 0..255): a in 16-bit lanes 0-3, b in lanes 4-7.
inline __m128i Splat16x2(__m128i ab32) {
    __m128i v = _mm_packs_epi32(ab32, ab32);  // a a b b a a b b
    return _mm_unpacklo_epi32(v, v);          // a a a a b b b b
}

// The four texels around one sample point, and where the point lies between them.
struct Quad {
    uint32_t t00, t10, t01, t11;
};

template <TexMode Tex>
inline Quad Fetch(const TexView& st, int32_t u, int32_t v) {
    constexpr bool wrapped = Tex == TexMode::BilinearWrap;
    int iu = u >> 8, iv = v >> 8;
    const int mw = st.mw, mh = st.mh;
    int x0, x1, y0, y1;
    if (wrapped) {
        x0 = iu & mw, x1 = (iu + 1) & mw, y0 = iv & mh, y1 = (iv + 1) & mh;
    } else {
        x0 = Wrap(iu, st.w, mw, st.wrapU), x1 = Wrap(iu + 1, st.w, mw, st.wrapU);
        y0 = Wrap(iv, st.h, mh, st.wrapV), y1 = Wrap(iv + 1, st.h, mh, st.wrapV);
    }
    const uint32_t* r0 = st.texels + y0 * st.w;
    const uint32_t* r1 = st.texels + y1 * st.w;
    return {r0[x0], r0[x1], r1[x0], r1[x1]};
}

template <TexMode Tex>
inline uint32_t FetchPoint(const TexView& st, int32_t u, int32_t v) {
    constexpr bool wrapped = Tex == TexMode::PointWrap;
    int iu = u >> 8, iv = v >> 8;
    int x = wrapped ? iu & st.mw : Wrap(iu, st.w, st.mw, st.wrapU);
    int y = wrapped ? iv & st.mh : Wrap(iv, st.h, st.mh, st.wrapV);
    return st.texels[y * st.w + x];
}

// Mixes the four texels around the sample points of a pixel pair (t00 of A and B in one vector, and so on)
// with the fractions of u and v in uv (u and v of A, then of B, texels x 256). Each row is mixed across,
// then the two rows down, truncating each time, as BilinearBlend does: a * (256 - f) + b * f is at most
// 255 * 256, so 16-bit lanes hold it exactly.
inline __m128i Bilerp2(__m128i uv, __m128i t00, __m128i t10, __m128i t01, __m128i t11) {
    // Weights: fu of A in lanes 0-3 and of B in lanes 4-7, the same for fv.
    __m128i f = _mm_and_si128(uv, _mm_set1_epi32(0xFF));
    f = _mm_packs_epi32(f, f);  // fuA fvA fuB fvB (twice)
    f = _mm_unpacklo_epi16(f, f);
    const __m128i fu = _mm_shuffle_epi32(f, _MM_SHUFFLE(2, 2, 0, 0));
    const __m128i fv = _mm_shuffle_epi32(f, _MM_SHUFFLE(3, 3, 1, 1));
    const __m128i k256 = _mm_set1_epi16(256);
    const __m128i gu = _mm_sub_epi16(k256, fu), gv = _mm_sub_epi16(k256, fv);
    __m128i top = _mm_add_epi16(_mm_mullo_epi16(t00, gu), _mm_mullo_epi16(t10, fu));
    __m128i bot = _mm_add_epi16(_mm_mullo_epi16(t01, gu), _mm_mullo_epi16(t11, fu));
    top = _mm_srli_epi16(top, 8);
    bot = _mm_srli_epi16(bot, 8);
    return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(top, gv), _mm_mullo_epi16(bot, fv)), 8);
}

// Bilinear sampling of a pixel pair with both axes wrapping on a power-of-two texture: the eight texel
// indices are worked out together in one vector, then read one by one.
inline __m128i SampleWrap2(const TexView& st, __m128i uv) {
    const __m128i iuv = _mm_srai_epi32(uv, 8);
    const __m128i i0 = _mm_and_si128(iuv, st.mask);                                    // x0A y0A x0B y0B
    const __m128i i1 = _mm_and_si128(_mm_add_epi32(iuv, _mm_set1_epi32(1)), st.mask);  // x1A y1A x1B y1B
    const __m128i lo = _mm_unpacklo_epi32(i0, i1);                                     // x0A x1A y0A y1A
    const __m128i hi = _mm_unpackhi_epi32(i0, i1);                                     // x0B x1B y0B y1B
    const __m128i cols = _mm_unpacklo_epi64(lo, hi);                                   // x0A x1A x0B x1B
    const __m128i rows = _mm_sll_epi32(_mm_unpackhi_epi64(lo, hi), st.log2w);          // y0A y1A y0B y1B x w
    // Indices of the upper texels (left and right of A, then of B) and of the lower ones.
    const __m128i top = _mm_add_epi32(cols, _mm_shuffle_epi32(rows, _MM_SHUFFLE(2, 2, 0, 0)));
    const __m128i bot = _mm_add_epi32(cols, _mm_shuffle_epi32(rows, _MM_SHUFFLE(3, 3, 1, 1)));
    const uint64_t topA = static_cast<uint64_t>(_mm_cvtsi128_si64(top));
    const uint64_t topB = static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(top, top)));
    const uint64_t botA = static_cast<uint64_t>(_mm_cvtsi128_si64(bot));
    const uint64_t botB = static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(bot, bot)));
    const uint32_t* t = st.texels;
    auto lowIdx = [](uint64_t v) { return static_cast<uint32_t>(v); };
    auto highIdx = [](uint64_t v) { return static_cast<uint32_t>(v >> 32); };
    return Bilerp2(uv, Unpack2(t[lowIdx(topA)], t[lowIdx(topB)]), Unpack2(t[highIdx(topA)], t[highIdx(topB)]),
                   Unpack2(t[lowIdx(botA)], t[lowIdx(botB)]), Unpack2(t[highIdx(botA)], t[highIdx(botB)]));
}

// Samples the texture for a pair of pixels; uv holds u and v of A, then u and v of B (texels x 256).
template <TexMode Tex>
inline __m128i Sample2(const TexView& st, __m128i uv) {
    if constexpr (Tex == TexMode::BilinearWrap) return SampleWrap2(st, uv);
    int32_t uA = _mm_cvtsi128_si32(uv), vA = _mm_cvtsi128_si32(_mm_shuffle_epi32(uv, 1));
    int32_t uB = _mm_cvtsi128_si32(_mm_shuffle_epi32(uv, 2)),
            vB = _mm_cvtsi128_si32(_mm_shuffle_epi32(uv, 3));
    if (Tex == TexMode::Point || Tex == TexMode::PointWrap)
        return Unpack2(FetchPoint<Tex>(st, uA, vA), FetchPoint<Tex>(st, uB, vB));
    Quad a = Fetch<Tex>(st, uA, vA), b = Fetch<Tex>(st, uB, vB);
    return Bilerp2(uv, Unpack2(a.t00, b.t00), Unpack2(a.t10, b.t10), Unpack2(a.t01, b.t01),
                   Unpack2(a.t11, b.t11));
}

// Walks the values a fast span needs through the span: the diffuse colour, and u and v of stage 0 with
// the fog factor (the specular alpha) in one vector. Every lane takes exactly the float operations that
// SpanWalker applies to it (value + step * k for pixel k), so the pixels match the general shader's bit
// for bit.
template <bool Perspective>
struct FastWalker {
    F4 c, cx;
    F4 x, xx;  // u0, v0, fog, fog
    float q, qx;
    float k = 0;  // the pixel's index in the span
    int64_t z, dz;
    explicit FastWalker(const SpanSetup& a)
        : c(a.c),
          cx(a.cx),
          x(_mm_shuffle_ps(a.t, a.s, _MM_SHUFFLE(3, 3, 1, 0))),
          xx(_mm_shuffle_ps(a.tx, a.sx, _MM_SHUFFLE(3, 3, 1, 0))),
          q(a.q),
          qx(a.qx),
          z(a.z),
          dz(a.dz) {}
    void Next() {
        k += 1.0f;
        z += dz;
    }
    // The current pixel's diffuse colour (rounded, 0..255) and u, v, fog (u and v truncated and clamped
    // to +-1e9, the fog factor rounded to 0..255).
    void Values(__m128i* ci, __m128i* xi) const {
        const F4 lo = {0, 0, 0, 0}, hi = {255.5f, 255.5f, 255.5f, 255.5f}, half = {0.5f, 0.5f, 0.5f, 0.5f};
        const F4 xlo = {-1.0e9f, -1.0e9f, 0, 0}, xhi = {1.0e9f, 1.0e9f, 255.5f, 255.5f};
        const F4 xhalf = {0, 0, 0.5f, 0.5f};  // adding 0 leaves u and v as they are
        F4 vc = c + cx * k, vx = x + xx * k;
        if (Perspective) {
            const float qk = q + qx * k;
            float w = qk > 1e-20f ? 1.0f / qk : 1e20f;
            vc *= w;
            vx *= w;
        }
        vc = Min4(Max4(vc + half, lo), hi);
        vx = Min4(Max4(vx + xhalf, xlo), xhi);
        I4 ic = __builtin_convertvector(vc, I4), ix = __builtin_convertvector(vx, I4);
        std::memcpy(ci, &ic, sizeof *ci);
        std::memcpy(xi, &ix, sizeof *xi);
    }
};

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
    uint32_t* c32 = reinterpret_cast<uint32_t*>(crow);
    uint16_t* c16 = reinterpret_cast<uint16_t*>(crow);
    const TexView st(p.stage[0]);
    // The colour (lanes 0-2) and alpha (lane 3) are texture x diffuse, with either side forced to white
    // where only the other one is selected (x * 255 / 255 is x).
    const short tc = p.fastColour == ColourMode::SelectDiffuse ? 255 : 0;
    const short ta = p.fastAlpha == AlphaMode::Diffuse ? 255 : 0;
    const short dc = p.fastColour == ColourMode::SelectTexture ? 255 : 0;
    const short da = p.fastAlpha == AlphaMode::Texture ? 255 : 0;
    const __m128i texWhite = _mm_setr_epi16(tc, tc, tc, ta, tc, tc, tc, ta);
    const __m128i difWhite = _mm_setr_epi16(dc, dc, dc, da, dc, dc, dc, da);
    const bool fog = p.fog, t565 = p.target565, z16 = p.depth16;
    const unsigned zf = CompareMask(p.zFunc);
    const short fb = static_cast<short>(p.fogB), fg = static_cast<short>(p.fogG),
                fr = static_cast<short>(p.fogR);
    const __m128i fogc = _mm_setr_epi16(fb, fg, fr, 0, fb, fg, fr, 0);
    const __m128i white = _mm_set1_epi16(255);
    const __m128i rgbMask = _mm_set1_epi32(0xFFFFFF);
    // When the depth of the span's first and last pixels fits the buffer's range, so does every depth
    // between them (it steps linearly), and the per-pixel clamp is left out.
    const int zShift = z16 ? 16 : 8;
    const int64_t zMax = z16 ? 0xFFFF : 0xFFFFFF;
    const __int128 zLast = static_cast<__int128>(a.z) + static_cast<__int128>(a.dz) * (n - 1);
    const bool zInRange = (a.z >> zShift) >= 0 && (a.z >> zShift) <= zMax && (zLast >> zShift) >= 0 &&
                          (zLast >> zShift) <= zMax;
    // The depth test of one pixel; on a pass, *zval is the value to store.
    auto depthPass = [&](int64_t z, int px, uint32_t* zval) {
        if (Z == ZMode::Off) return true;
        int64_t zc = z >> zShift;
        if (!zInRange) zc = zc < 0 ? 0 : (zc > zMax ? zMax : zc);
        *zval = static_cast<uint32_t>(zc);
        if (z16) return ZPass(zf, *zval, reinterpret_cast<uint16_t*>(zrow)[px]);
        return ZPass(zf, *zval, reinterpret_cast<uint32_t*>(zrow)[px] >> 8);
    };
    auto depthWrite = [&](int px, uint32_t zval) {
        if (z16)
            reinterpret_cast<uint16_t*>(zrow)[px] = static_cast<uint16_t>(zval);
        else
            reinterpret_cast<uint32_t*>(zrow)[px] = zval << 8;
    };
    FastWalker<Perspective> w(a);
    // Shades pixel A at column pa and pixel B right of it; at the end of an odd span (hasB false) B stands
    // on A's column and is neither tested nor written.
    auto shadePair = [&](int pa, auto hasBTag) {
        constexpr bool hasB = decltype(hasBTag)::value;
        const int pb = hasB ? pa + 1 : pa;
        uint32_t zA = 0, zB = 0;
        const bool passA = depthPass(w.z, pa, &zA);
        const bool passB = hasB && depthPass(w.z + w.dz, pb, &zB);
        if (!passA && !passB) {
            w.Next();
            w.Next();
            return;
        }
        __m128i cA, xA, cB, xB;
        w.Values(&cA, &xA);
        w.Next();
        if (hasB)
            w.Values(&cB, &xB);
        else
            cB = cA, xB = xA;  // never written: spares a perspective divide
        w.Next();
        // Texture x diffuse for both pixels.
        __m128i c = _mm_packs_epi32(cA, cB);
        __m128i tex = white;
        if (Tex != TexMode::None) tex = Sample2<Tex>(st, _mm_unpacklo_epi64(xA, xB));
        __m128i out = Div255x(_mm_mullo_epi16(_mm_or_si128(tex, texWhite), _mm_or_si128(c, difWhite)));
        // The source alpha of each pixel in all four of its lanes, for blending (taken before fog).
        const __m128i sa = _mm_shufflehi_epi16(_mm_shufflelo_epi16(out, 0xFF), 0xFF);
        if (fog) {
            __m128i f = Splat16x2(_mm_unpackhi_epi64(xA, xB));
            out = Div255x(
                _mm_add_epi16(_mm_mullo_epi16(out, f), _mm_mullo_epi16(fogc, _mm_sub_epi16(white, f))));
        }
        if (Blend != BlendMode::Off) {
            __m128i dst = t565 ? Unpack2(UnpackPixel(PixelFormat::RGB565, c16[pa]),
                                         UnpackPixel(PixelFormat::RGB565, c16[pb]))
                               : Unpack2(c32[pa], c32[pb]);
            switch (Blend) {
                case BlendMode::SrcAlpha:
                    out = Div255x(_mm_add_epi16(_mm_mullo_epi16(out, sa),
                                                _mm_mullo_epi16(dst, _mm_sub_epi16(white, sa))));
                    break;
                case BlendMode::Add:
                    out = _mm_adds_epu16(out, dst);
                    break;
                case BlendMode::PremultipliedAlpha:
                    out = _mm_add_epi16(out, Div255x(_mm_mullo_epi16(dst, _mm_sub_epi16(white, sa))));
                    break;
                case BlendMode::Off:
                    break;
            }
        }
        // b, g, r of A then of B, saturated at 255, the unused top byte cleared.
        const __m128i bgra = _mm_and_si128(_mm_packus_epi16(out, out), rgbMask);
        if (t565) {
            if (passA)
                c16[pa] = static_cast<uint16_t>(PackPixel(PixelFormat::RGB565, _mm_cvtsi128_si32(bgra)));
            if (passB)
                c16[pb] = static_cast<uint16_t>(
                    PackPixel(PixelFormat::RGB565, _mm_cvtsi128_si32(_mm_srli_si128(bgra, 4))));
        } else if (passA && passB) {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(c32 + pa), bgra);
        } else if (passA) {
            c32[pa] = static_cast<uint32_t>(_mm_cvtsi128_si32(bgra));
        } else {
            c32[pb] = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(bgra, 4)));
        }
        if (Z == ZMode::TestWrite) {
            if (passA) depthWrite(pa, zA);
            if (passB) depthWrite(pb, zB);
        }
    };
    int i = 0;
    for (; i + 1 < n; i += 2) shadePair(x + i, std::true_type{});
    if (i < n) shadePair(x + i, std::false_type{});
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

bool g_forcePairs = false;

}  // namespace

void ForcePairSpans(bool on) {
    g_forcePairs = on;
}

namespace {

// The fast shaders for the states where they cover them; false where they do not.
bool ChooseFastShader(Pipeline* p) {
    if (p->alphaTest || p->specularAdd || p->stageCount > 1) return false;
    const PipelineStage& st = p->stage[0];
    bool textured = p->stageCount == 1 && st.texels != nullptr;
    if (textured && !st.pow2) return false;
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
            return false;
        if (aop == TextureOp::Modulate && ((isTex(a1) && isDif(a2)) || (isDif(a1) && isTex(a2))))
            am = AlphaMode::Modulate;
        else if ((aop == TextureOp::SelectArg1 && isTex(a1)) || (aop == TextureOp::SelectArg2 && isTex(a2)))
            am = AlphaMode::Texture;
        else if ((aop == TextureOp::SelectArg1 && isDif(a1)) || (aop == TextureOp::SelectArg2 && isDif(a2)) ||
                 aop == TextureOp::Disable)
            am = AlphaMode::Diffuse;
        else
            return false;
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
            return false;
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
    // Eight pixels at a time where the processor can (32-bit colour; 24-bit depth or none).
    if (!g_forcePairs && !p->target565 && !(p->depth && p->depth16)) {
        Pipeline::SpanFn wideAffine = WideSpanShader(false, tm, bm, zm);
        Pipeline::SpanFn widePerspective = WideSpanShader(true, tm, bm, zm);
        if (wideAffine && widePerspective) {
            p->spanPairAffine = p->spanAffine;
            p->spanPairPerspective = p->spanPerspective;
            p->spanAffine = wideAffine;
            p->spanPerspective = widePerspective;
        }
    }
    p->span = [](const Pipeline& pl, const SpanSetup& s, int x, int y, int n) {
        (s.perspective ? pl.spanPerspective : pl.spanAffine)(pl, s, x, y, n);
    };
    return true;
}

}  // namespace

void ChooseSpanShader(Pipeline* p) {
    p->span = GeneralSpan;
    if (GeneralShaderForced() || ChooseFastShader(p)) return;
    // The states the fast shaders leave: the eight-pixel stage programs where they cover them.
    if (Pipeline::SpanFn program = ProgramSpanShader(*p)) p->span = program;
}

}  // namespace host
