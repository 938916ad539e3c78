// What the eight-pixel span shaders share (Gfx_wide.cpp, Gfx_program.cpp): 256-bit helpers for the
// interpolated values, colours in 16-bit halves, texture sampling and depth comparison. Everything here is
// compiled for AVX2 and called only where the processor has it.
//
// Layout: one pixel per 32-bit lane. The interpolated values are eight floats per channel, pixel k of the
// span taking value + step * k like SpanWalker. Colours are worked on as two vectors of 16-bit halves:
// "br" holds blue in the low half of each lane and red in the high one, "ga" green and alpha, so that a
// packed 0xAARRGGBB texel splits with one mask and one shift, every product of two 0..255 values (or a
// value and a 0..256 weight) fits its 16-bit half, and the halves pack back with one shift and one or.
#pragma once

#include <immintrin.h>

#include "host/Gfx_local.h"

#define KV_AVX2 __attribute__((target("avx2")))

namespace host::wide {

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
    __m256i mw, mh;         // width - 1, height - 1
    __m256i wrapU, wrapV;   // all ones where the axis wraps
    __m128i log2w;          // the shift that turns a row into an offset
    int lastColumn, shift;  // width - 1, log2 of the width
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
KV_AVX2 inline bool FetchRow(const WideTex& t, bool flatRows, __m256i live, __m256i x0, __m256i x1,
                             __m256i y0, __m256i y1, __m256i* t00, __m256i* t10, __m256i* t01, __m256i* t11) {
    const int bx = _mm256_cvtsi256_si32(x0);
    if (bx < 0 || bx + 8 > t.lastColumn) return false;
    const int by0 = _mm256_cvtsi256_si32(y0), by1 = _mm256_cvtsi256_si32(y1);
    const __m256i seven = _mm256_set1_epi32(7);
    const __m256i d = _mm256_sub_epi32(x0, _mm256_set1_epi32(bx));
    __m256i ok = _mm256_cmpeq_epi32(_mm256_max_epu32(d, seven), seven);
    if (!Wrapped)
        ok = _mm256_and_si256(ok, _mm256_cmpeq_epi32(x1, _mm256_add_epi32(x0, _mm256_set1_epi32(1))));
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

// Whether the depths of a span fit the 24-bit buffer's range: those of its ends do (depth x 2^32 steps
// linearly), so that every pixel's depth needs no clamping.
inline bool DepthInRange(const SpanSetup& a, int n) {
    const __int128 zLast = static_cast<__int128>(a.z) + static_cast<__int128>(a.dz) * (n - 1);
    return a.z >= 0 && (a.z >> 8) <= 0xFFFFFF && zLast >= 0 && (zLast >> 8) <= 0xFFFFFF;
}

// Depth x 2^32 of the first eight pixels, and its step from one group of eight to the next: with both
// ends of the span in the buffer's range every depth of it lies in 0..2^32 - 1, so 32-bit lanes stepping
// modulo 2^32 hold each exactly (lanes past the span's end hold anything).
KV_AVX2 inline void DepthLanes(const SpanSetup& a, __m256i* lanes, __m256i* step) {
    const uint32_t z0 = static_cast<uint32_t>(a.z), dz = static_cast<uint32_t>(a.dz);
    *lanes = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(z0)),
                              _mm256_mullo_epi32(_mm256_set1_epi32(static_cast<int>(dz)),
                                                 _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7)));
    *step = _mm256_set1_epi32(static_cast<int>(dz * 8u));
}

// 1 / q at the pixels k of a perspective span (1e20 where q is not above 1e-20, as SpanWalker takes it);
// 1 for affine spans.
template <bool Perspective>
KV_AVX2 inline __m256 InverseQ(__m256 q, __m256 qx, __m256 k) {
    if constexpr (!Perspective) return _mm256_set1_ps(1.0f);
    const __m256 qk = At(q, qx, k);
    return _mm256_blendv_ps(_mm256_set1_ps(1e20f), _mm256_div_ps(_mm256_set1_ps(1.0f), qk),
                            _mm256_cmp_ps(qk, _mm256_set1_ps(1e-20f), _CMP_GT_OQ));
}

// Writes a group's eight values where pass is set: a whole vector when all pass, over old (what the
// group's place held, loaded) when the group is full, lane by lane otherwise.
KV_AVX2 inline void StoreGroup(uint32_t* at, __m256i value, __m256i old, __m256i pass, bool full,
                               bool allPass) {
    if (allPass)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(at), value);
    else if (full)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(at), _mm256_blendv_epi8(old, value, pass));
    else
        _mm256_maskstore_epi32(reinterpret_cast<int*>(at), pass, value);
}

// Whether the processor runs the eight-pixel shaders (looked up once).
bool HasAvx2();

}  // namespace host::wide
