// Span shaders eight pixels wide, in 256-bit integer and float vectors, for processors that have them
// (AVX2, looked up once at start-up; the two-pixel shaders of Gfx_fast.cpp serve the others and the spans
// these leave to them). They cover the states of the two-pixel shaders on 32-bit targets with 24-bit depth
// or none, and compute exactly what the general shader computes.
//
// Layout: one pixel per 32-bit lane. The interpolated values are eight floats per channel, pixel k of the
// span taking value + step * k like SpanWalker. Colours are worked on as two vectors of 16-bit halves:
// "br" holds blue in the low half of each lane and red in the high one, "ga" green and alpha, so that a
// packed 0xAARRGGBB texel splits with one mask and one shift, every product of two 0..255 values (or a
// value and a 0..256 weight) fits its 16-bit half, and the halves pack back with one shift and one or.
#include <immintrin.h>

#include "host/Gfx_local.h"

// Everything here is compiled for AVX2 and called only where the processor has it.
#define KV_AVX2 __attribute__((target("avx2")))

namespace host {
namespace {

// Exact rounding of x / 255 in every 16-bit half, for 0 <= x <= 65025: (x + 128) * 257 >> 16, the same
// as ((x + 128) + ((x + 128) >> 8)) >> 8.
KV_AVX2 inline __m256i Div255(__m256i x) {
    return _mm256_mulhi_epu16(_mm256_add_epi16(x, _mm256_set1_epi16(128)), _mm256_set1_epi16(257));
}

// A 0..255 value of each lane in both 16-bit halves.
KV_AVX2 inline __m256i Both(__m256i v) {
    return _mm256_or_si256(v, _mm256_slli_epi32(v, 16));
}

// Value + step * k for the eight pixels k of the group.
KV_AVX2 inline __m256 At(__m256 value, __m256 step, __m256 k) {
    return _mm256_add_ps(value, _mm256_mul_ps(step, k));
}

// Value + step * k, times w (1 / q) when perspective.
template <bool Perspective>
KV_AVX2 inline __m256 Value(__m256 value, __m256 step, __m256 k, __m256 w) {
    const __m256 v = At(value, step, k);
    return Perspective ? _mm256_mul_ps(v, w) : v;
}

// A colour value rounded and clamped to 0..255, as SpanWalker rounds it.
KV_AVX2 inline __m256i Colour(__m256 v) {
    v = _mm256_min_ps(_mm256_max_ps(_mm256_add_ps(v, _mm256_set1_ps(0.5f)), _mm256_setzero_ps()),
                      _mm256_set1_ps(255.5f));
    return _mm256_cvttps_epi32(v);
}

// A texel coordinate (x 256) truncated and clamped to +-1e9, as SpanWalker does.
KV_AVX2 inline __m256i Coord(__m256 v) {
    v = _mm256_min_ps(_mm256_max_ps(v, _mm256_set1_ps(-1.0e9f)), _mm256_set1_ps(1.0e9f));
    return _mm256_cvttps_epi32(v);
}

// The two 16-bit-half vectors of eight packed 0xAARRGGBB colours.
struct Halves {
    __m256i br, ga;
};

KV_AVX2 inline Halves Split(__m256i argb) {
    const __m256i m = _mm256_set1_epi32(0x00FF00FF);
    return {_mm256_and_si256(argb, m), _mm256_and_si256(_mm256_srli_epi32(argb, 8), m)};
}

// One column or row index of a sample: wrapped (power-of-two size) or clamped to the texture.
KV_AVX2 inline __m256i Address(__m256i i, __m256i mask, __m256i wrap) {
    const __m256i wrapped = _mm256_and_si256(i, mask);
    const __m256i clamped = _mm256_min_epi32(_mm256_max_epi32(i, _mm256_setzero_si256()), mask);
    return _mm256_blendv_epi8(clamped, wrapped, wrap);
}

// The span's texture, and its sampling constants in vectors.
struct WideTex {
    const int* texels;
    __m256i mw, mh;          // width - 1, height - 1
    __m256i wrapU, wrapV;    // all ones where the axis wraps
    __m128i log2w;           // the shift that turns a row into an offset
    int lastColumn, shift;   // width - 1, log2 of the width
};

KV_AVX2 inline __m256i Gather(const WideTex& t, __m256i index) {
    return _mm256_i32gather_epi32(t.texels, index, 4);
}

// (a * wa + b * wb) >> 8 in every 16-bit half (weights 0..256 summing to 256).
KV_AVX2 inline __m256i Mix(__m256i a, __m256i wa, __m256i b, __m256i wb) {
    return _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(a, wa), _mm256_mullo_epi16(b, wb)), 8);
}

// Samples the texture at eight points (texel coordinates x 256): the texels, split in halves.
KV_AVX2 inline __m256i Load(const int* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// The four texels around each of eight sample points where the points share their two texel rows and
// their left columns lie within eight of the first one's (a span magnifying the texture, or drawn at about
// one texel per pixel, on one row of texels): four row loads picked from by lane, instead of gathers. False
// where the points do not fit.
// Wrapping both axes, a left column at most the next-to-last one has its right neighbour next to it, so
// only clamped textures check that; a span whose v does not change (flatRows) is on one pair of rows.
template <bool Wrapped>
KV_AVX2 inline bool FetchRow(const WideTex& t, bool flatRows, __m256i live, __m256i x0, __m256i x1, __m256i y0,
                             __m256i y1, __m256i* t00, __m256i* t10, __m256i* t01, __m256i* t11) {
    const int bx = _mm256_cvtsi256_si32(x0);
    if (bx < 0 || bx + 8 > t.lastColumn) return false;
    const int by0 = _mm256_cvtsi256_si32(y0), by1 = _mm256_cvtsi256_si32(y1);
    const __m256i seven = _mm256_set1_epi32(7);
    const __m256i d = _mm256_sub_epi32(x0, _mm256_set1_epi32(bx));
    __m256i ok = _mm256_cmpeq_epi32(_mm256_max_epu32(d, seven), seven);
    if (!Wrapped) ok = _mm256_and_si256(ok, _mm256_cmpeq_epi32(x1, _mm256_add_epi32(x0, _mm256_set1_epi32(1))));
    if (!flatRows)
        ok = _mm256_and_si256(ok, _mm256_and_si256(_mm256_cmpeq_epi32(y0, _mm256_set1_epi32(by0)),
                                                   _mm256_cmpeq_epi32(y1, _mm256_set1_epi32(by1))));
    ok = _mm256_or_si256(ok, _mm256_xor_si256(live, _mm256_set1_epi32(-1)));  // lanes past the span: any
    if (_mm256_movemask_epi8(ok) != -1) return false;
    const int* r0 = t.texels + (static_cast<ptrdiff_t>(by0) << t.shift) + bx;
    const int* r1 = t.texels + (static_cast<ptrdiff_t>(by1) << t.shift) + bx;
    *t00 = _mm256_permutevar8x32_epi32(Load(r0), d);
    *t10 = _mm256_permutevar8x32_epi32(Load(r0 + 1), d);
    *t01 = _mm256_permutevar8x32_epi32(Load(r1), d);
    *t11 = _mm256_permutevar8x32_epi32(Load(r1 + 1), d);
    return true;
}

template <FastTex Tex>
KV_AVX2 inline Halves Sample(const WideTex& t, bool flatRows, __m256i live, __m256i u, __m256i v) {
    const __m256i iu = _mm256_srai_epi32(u, 8), iv = _mm256_srai_epi32(v, 8);
    constexpr bool bothWrap = Tex == FastTex::PointWrap || Tex == FastTex::BilinearWrap;
    if constexpr (Tex == FastTex::Point || Tex == FastTex::PointWrap) {
        const __m256i x = bothWrap ? _mm256_and_si256(iu, t.mw) : Address(iu, t.mw, t.wrapU);
        const __m256i y = bothWrap ? _mm256_and_si256(iv, t.mh) : Address(iv, t.mh, t.wrapV);
        return Split(Gather(t, _mm256_add_epi32(_mm256_sll_epi32(y, t.log2w), x)));
    } else {
        const __m256i one = _mm256_set1_epi32(1);
        const __m256i iu1 = _mm256_add_epi32(iu, one), iv1 = _mm256_add_epi32(iv, one);
        __m256i x0, x1, y0, y1;
        if constexpr (bothWrap) {
            x0 = _mm256_and_si256(iu, t.mw), x1 = _mm256_and_si256(iu1, t.mw);
            y0 = _mm256_and_si256(iv, t.mh), y1 = _mm256_and_si256(iv1, t.mh);
        } else {
            x0 = Address(iu, t.mw, t.wrapU), x1 = Address(iu1, t.mw, t.wrapU);
            y0 = Address(iv, t.mh, t.wrapV), y1 = Address(iv1, t.mh, t.wrapV);
        }
        __m256i p00, p10, p01, p11;
        if (!FetchRow<bothWrap>(t, flatRows, live, x0, x1, y0, y1, &p00, &p10, &p01, &p11)) {
            const __m256i r0 = _mm256_sll_epi32(y0, t.log2w), r1 = _mm256_sll_epi32(y1, t.log2w);
            p00 = Gather(t, _mm256_add_epi32(r0, x0));
            p10 = Gather(t, _mm256_add_epi32(r0, x1));
            p01 = Gather(t, _mm256_add_epi32(r1, x0));
            p11 = Gather(t, _mm256_add_epi32(r1, x1));
        }
        const Halves t00 = Split(p00), t10 = Split(p10), t01 = Split(p01), t11 = Split(p11);
        // Weights in 1/256, each row mixed across and the rows mixed down, truncating each time, as
        // BilinearBlend does; a * (256 - f) + b * f is at most 255 * 256 and fits a 16-bit half.
        const __m256i low = _mm256_set1_epi32(0xFF), k256 = _mm256_set1_epi16(256);
        const __m256i fu = Both(_mm256_and_si256(u, low)), fv = Both(_mm256_and_si256(v, low));
        const __m256i gu = _mm256_sub_epi16(k256, fu), gv = _mm256_sub_epi16(k256, fv);
        Halves out;
        out.br = Mix(Mix(t00.br, gu, t10.br, fu), gv, Mix(t01.br, gu, t11.br, fu), fv);
        out.ga = Mix(Mix(t00.ga, gu, t10.ga, fu), gv, Mix(t01.ga, gu, t11.ga, fu), fv);
        return out;
    }
}

// Which outcomes of a depth comparison pass, as all-ones or all-zero vectors.
struct ZCompare {
    __m256i less, equal, greater;
};

KV_AVX2 inline ZCompare MakeZCompare(CompareFunc f) {
    bool l = false, e = false, g = false;
    switch (f) {
        case CompareFunc::Never:
            break;
        case CompareFunc::Less:
            l = true;
            break;
        case CompareFunc::Equal:
            e = true;
            break;
        case CompareFunc::LessEqual:
            l = e = true;
            break;
        case CompareFunc::Greater:
            g = true;
            break;
        case CompareFunc::NotEqual:
            l = g = true;
            break;
        case CompareFunc::GreaterEqual:
            e = g = true;
            break;
        case CompareFunc::Always:
            l = e = g = true;
            break;
    }
    return {_mm256_set1_epi32(l ? -1 : 0), _mm256_set1_epi32(e ? -1 : 0), _mm256_set1_epi32(g ? -1 : 0)};
}

template <bool Perspective, FastTex Tex, FastBlend Blend, FastZ Z>
KV_AVX2 void WideSpan(const Pipeline& p, const SpanSetup& a, int x, int y, int n) {
    // Spans shorter than a vector (small triangles) go as fast two pixels at a time.
    if (n < 8) {
        (Perspective ? p.spanPairPerspective : p.spanPairAffine)(p, a, x, y, n);
        return;
    }
    // The depths of the span lie between those of its ends; where an end falls outside the buffer's
    // range the two-pixel shader, which clamps pixel by pixel, draws the span.
    if constexpr (Z != FastZ::Off) {
        const __int128 zLast = static_cast<__int128>(a.z) + static_cast<__int128>(a.dz) * (n - 1);
        if (a.z < 0 || (a.z >> 8) > 0xFFFFFF || zLast < 0 || (zLast >> 8) > 0xFFFFFF) {
            (Perspective ? p.spanPairPerspective : p.spanPairAffine)(p, a, x, y, n);
            return;
        }
    }
    uint32_t* colour = reinterpret_cast<uint32_t*>(p.colour + static_cast<ptrdiff_t>(y) * p.colourPitch) + x;
    uint32_t* depth = nullptr;
    if constexpr (Z != FastZ::Off)
        depth = reinterpret_cast<uint32_t*>(p.depth + static_cast<ptrdiff_t>(y) * p.depthPitch) + x;

    // Interpolation: value and step per pixel of each channel.
    const __m256 cb = _mm256_set1_ps(a.c[0]), cg = _mm256_set1_ps(a.c[1]), cr = _mm256_set1_ps(a.c[2]),
                 ca = _mm256_set1_ps(a.c[3]);
    const __m256 cbx = _mm256_set1_ps(a.cx[0]), cgx = _mm256_set1_ps(a.cx[1]), crx = _mm256_set1_ps(a.cx[2]),
                 cax = _mm256_set1_ps(a.cx[3]);
    const __m256 tu = _mm256_set1_ps(a.t[0]), tv = _mm256_set1_ps(a.t[1]);
    const __m256 tux = _mm256_set1_ps(a.tx[0]), tvx = _mm256_set1_ps(a.tx[1]);
    const __m256 fo = _mm256_set1_ps(a.s[3]), fox = _mm256_set1_ps(a.sx[3]);
    const __m256 q = _mm256_set1_ps(a.q), qx = _mm256_set1_ps(a.qx);
    const __m256 lane = _mm256_setr_ps(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i laneIndex = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);

    // Texture x diffuse, with either side forced to white where only the other is selected.
    const int tc = p.fastColour == FastColour::SelectDiffuse ? 255 : 0;
    const int ta = p.fastAlpha == FastAlpha::Diffuse ? 255 : 0;
    const int dc = p.fastColour == FastColour::SelectTexture ? 255 : 0;
    const int da = p.fastAlpha == FastAlpha::Texture ? 255 : 0;
    const __m256i texWhiteBr = _mm256_set1_epi32(tc | tc << 16), texWhiteGa = _mm256_set1_epi32(tc | ta << 16);
    const __m256i difWhiteBr = _mm256_set1_epi32(dc | dc << 16), difWhiteGa = _mm256_set1_epi32(dc | da << 16);
    const bool fog = p.fog;
    const __m256i fogBr = _mm256_set1_epi32(p.fogB | p.fogR << 16), fogGa = _mm256_set1_epi32(p.fogG);
    const __m256i white = _mm256_set1_epi16(255);

    WideTex tex{};
    if constexpr (Tex != FastTex::None) {
        const PipelineStage& st = p.stage[0];
        tex.texels = reinterpret_cast<const int*>(st.texels);
        tex.mw = _mm256_set1_epi32(st.texW - 1);
        tex.mh = _mm256_set1_epi32(st.texH - 1);
        tex.wrapU = _mm256_set1_epi32(st.wrapU ? -1 : 0);
        tex.wrapV = _mm256_set1_epi32(st.wrapV ? -1 : 0);
        tex.shift = st.texW > 0 ? __builtin_ctz(static_cast<unsigned>(st.texW)) : 0;
        tex.log2w = _mm_cvtsi32_si128(tex.shift);
        tex.lastColumn = st.texW - 1;
    }

    // Depth x 2^32: with both ends of the span in the buffer's range every depth of it lies in 0..2^32 - 1,
    // so 32-bit lanes stepping modulo 2^32 hold each exactly (lanes past the span's end hold anything).
    ZCompare zc{};
    __m256i zLanes = _mm256_setzero_si256(), zStep = zLanes;
    if constexpr (Z != FastZ::Off) {
        zc = MakeZCompare(p.zFunc);
        const uint32_t z0 = static_cast<uint32_t>(a.z), dz = static_cast<uint32_t>(a.dz);
        zLanes = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(z0)),
                                  _mm256_mullo_epi32(_mm256_set1_epi32(static_cast<int>(dz)), laneIndex));
        zStep = _mm256_set1_epi32(static_cast<int>(dz * 8u));
    }
    const bool lessEqual = p.zFunc == CompareFunc::LessEqual;

    // Values constant over an affine span (flat or unlit faces, texture rows along the span) are
    // computed once; where the diffuse side of a product is white the multiply is left out.
    const bool flatDiffuse = !Perspective && a.cx[0] == 0 && a.cx[1] == 0 && a.cx[2] == 0 && a.cx[3] == 0;
    __m256i dBrFlat = _mm256_setzero_si256(), dGaFlat = dBrFlat;
    if (flatDiffuse) {
        dBrFlat = _mm256_or_si256(_mm256_or_si256(Colour(cb), _mm256_slli_epi32(Colour(cr), 16)), difWhiteBr);
        dGaFlat = _mm256_or_si256(_mm256_or_si256(Colour(cg), _mm256_slli_epi32(Colour(ca), 16)), difWhiteGa);
    }
    const bool whiteBr = flatDiffuse && _mm256_cvtsi256_si32(dBrFlat) == 0x00FF00FF;
    const bool whiteGa = flatDiffuse && _mm256_cvtsi256_si32(dGaFlat) == 0x00FF00FF;
    const bool flatV = !Perspective && a.tx[1] == 0;
    const __m256i vFlat = Coord(tv);

    for (int i = 0; i < n; i += 8) {
        const int left = n - i;
        const bool full = left >= 8;
        const __m256i live = full ? _mm256_set1_epi32(-1) : _mm256_cmpgt_epi32(_mm256_set1_epi32(left), laneIndex);
        __m256i pass = live;
        __m256i zval = _mm256_setzero_si256(), zOld = zval;
        if constexpr (Z != FastZ::Off) {
            // The depth values (24 bits) of the eight pixels.
            zval = _mm256_srli_epi32(zLanes, 8);
            zLanes = _mm256_add_epi32(zLanes, zStep);
            zOld = full ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(depth + i))
                        : _mm256_maskload_epi32(reinterpret_cast<const int*>(depth + i), live);
            const __m256i stored = _mm256_srli_epi32(zOld, 8);
            const __m256i gt = _mm256_cmpgt_epi32(zval, stored);
            if (lessEqual) {
                pass = _mm256_andnot_si256(gt, pass);
            } else {
                const __m256i lt = _mm256_cmpgt_epi32(stored, zval), eq = _mm256_cmpeq_epi32(zval, stored);
                const __m256i ok = _mm256_or_si256(
                    _mm256_or_si256(_mm256_and_si256(lt, zc.less), _mm256_and_si256(eq, zc.equal)),
                    _mm256_and_si256(gt, zc.greater));
                pass = _mm256_and_si256(pass, ok);
            }
            if (_mm256_testz_si256(pass, pass)) continue;
        }

        const __m256 k = _mm256_add_ps(lane, _mm256_set1_ps(static_cast<float>(i)));
        __m256 w = _mm256_set1_ps(1.0f);
        if constexpr (Perspective) {
            const __m256 qk = At(q, qx, k);
            w = _mm256_blendv_ps(_mm256_set1_ps(1e20f), _mm256_div_ps(_mm256_set1_ps(1.0f), qk),
                                 _mm256_cmp_ps(qk, _mm256_set1_ps(1e-20f), _CMP_GT_OQ));
        }
        __m256i dBr = dBrFlat, dGa = dGaFlat;
        if (!flatDiffuse) {
            dBr = _mm256_or_si256(
                _mm256_or_si256(Colour(Value<Perspective>(cb, cbx, k, w)), _mm256_slli_epi32(Colour(Value<Perspective>(cr, crx, k, w)), 16)),
                difWhiteBr);
            dGa = _mm256_or_si256(
                _mm256_or_si256(Colour(Value<Perspective>(cg, cgx, k, w)), _mm256_slli_epi32(Colour(Value<Perspective>(ca, cax, k, w)), 16)),
                difWhiteGa);
        }
        Halves t{white, white};
        if constexpr (Tex != FastTex::None)
            t = Sample<Tex>(tex, flatV, live, Coord(Value<Perspective>(tu, tux, k, w)), flatV ? vFlat : Coord(Value<Perspective>(tv, tvx, k, w)));
        // Texture x diffuse; a white diffuse side leaves the texture as it is (x * 255 / 255 is x).
        __m256i br = _mm256_or_si256(t.br, texWhiteBr), ga = _mm256_or_si256(t.ga, texWhiteGa);
        if (!whiteBr) br = Div255(_mm256_mullo_epi16(br, dBr));
        if (!whiteGa) ga = Div255(_mm256_mullo_epi16(ga, dGa));
        // The source alpha in both halves, for blending (taken before fog).
        const __m256i sa = Both(_mm256_srli_epi32(ga, 16));
        if (fog) {
            const __m256i f = Both(Colour(Value<Perspective>(fo, fox, k, w))), g = _mm256_sub_epi16(white, f);
            br = Div255(_mm256_add_epi16(_mm256_mullo_epi16(br, f), _mm256_mullo_epi16(fogBr, g)));
            ga = Div255(_mm256_add_epi16(_mm256_mullo_epi16(ga, f), _mm256_mullo_epi16(fogGa, g)));
        }
        __m256i old = _mm256_setzero_si256();
        const bool allPass = full && _mm256_movemask_epi8(pass) == -1;
        if (Blend != FastBlend::Off || (full && !allPass))
            old = full ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(colour + i))
                       : _mm256_maskload_epi32(reinterpret_cast<const int*>(colour + i), live);
        if constexpr (Blend != FastBlend::Off) {
            const Halves d = Split(old);
            switch (Blend) {
                case FastBlend::SrcAlpha: {
                    const __m256i inv = _mm256_sub_epi16(white, sa);
                    br = Div255(_mm256_add_epi16(_mm256_mullo_epi16(br, sa), _mm256_mullo_epi16(d.br, inv)));
                    ga = Div255(_mm256_add_epi16(_mm256_mullo_epi16(ga, sa), _mm256_mullo_epi16(d.ga, inv)));
                    break;
                }
                case FastBlend::Add:
                    br = _mm256_min_epu16(_mm256_add_epi16(br, d.br), white);
                    ga = _mm256_min_epu16(_mm256_add_epi16(ga, d.ga), white);
                    break;
                case FastBlend::PremultipliedAlpha: {
                    const __m256i inv = _mm256_sub_epi16(white, sa);
                    br = _mm256_min_epu16(_mm256_add_epi16(br, Div255(_mm256_mullo_epi16(d.br, inv))), white);
                    ga = _mm256_min_epu16(_mm256_add_epi16(ga, Div255(_mm256_mullo_epi16(d.ga, inv))), white);
                    break;
                }
                case FastBlend::Off:
                    break;
            }
        }
        // b | g << 8 | r << 16, the unused top byte cleared.
        const __m256i px = _mm256_or_si256(br, _mm256_slli_epi32(_mm256_and_si256(ga, _mm256_set1_epi32(0xFF)), 8));
        if (allPass) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(colour + i), px);
        } else if (full) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(colour + i), _mm256_blendv_epi8(old, px, pass));
        } else {
            _mm256_maskstore_epi32(reinterpret_cast<int*>(colour + i), pass, px);
        }
        if constexpr (Z == FastZ::TestWrite) {
            const __m256i zw = _mm256_slli_epi32(zval, 8);
            if (allPass)
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(depth + i), zw);
            else if (full)
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(depth + i), _mm256_blendv_epi8(zOld, zw, pass));
            else
                _mm256_maskstore_epi32(reinterpret_cast<int*>(depth + i), pass, zw);
        }
    }
}

template <bool P, FastTex T, FastBlend B>
Pipeline::SpanFn PickZ(FastZ z) {
    switch (z) {
        case FastZ::Off:
            return WideSpan<P, T, B, FastZ::Off>;
        case FastZ::Test:
            return WideSpan<P, T, B, FastZ::Test>;
        case FastZ::TestWrite:
            return WideSpan<P, T, B, FastZ::TestWrite>;
    }
    return nullptr;
}

template <bool P, FastTex T>
Pipeline::SpanFn PickBlend(FastBlend b, FastZ z) {
    switch (b) {
        case FastBlend::Off:
            return PickZ<P, T, FastBlend::Off>(z);
        case FastBlend::SrcAlpha:
            return PickZ<P, T, FastBlend::SrcAlpha>(z);
        case FastBlend::Add:
            return PickZ<P, T, FastBlend::Add>(z);
        case FastBlend::PremultipliedAlpha:
            return PickZ<P, T, FastBlend::PremultipliedAlpha>(z);
    }
    return nullptr;
}

template <bool P>
Pipeline::SpanFn PickTex(FastTex t, FastBlend b, FastZ z) {
    switch (t) {
        case FastTex::None:
            return PickBlend<P, FastTex::None>(b, z);
        case FastTex::Point:
            return PickBlend<P, FastTex::Point>(b, z);
        case FastTex::Bilinear:
            return PickBlend<P, FastTex::Bilinear>(b, z);
        case FastTex::PointWrap:
            return PickBlend<P, FastTex::PointWrap>(b, z);
        case FastTex::BilinearWrap:
            return PickBlend<P, FastTex::BilinearWrap>(b, z);
    }
    return nullptr;
}

bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

}  // namespace

Pipeline::SpanFn WideSpanShader(bool perspective, FastTex tex, FastBlend blend, FastZ z) {
    if (!HasAvx2()) return nullptr;
    return perspective ? PickTex<true>(tex, blend, z) : PickTex<false>(tex, blend, z);
}

}  // namespace host
