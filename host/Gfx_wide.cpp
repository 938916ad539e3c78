// Span shaders eight pixels wide, in 256-bit integer and float vectors, for processors that have them
// (AVX2, looked up once at start-up; the two-pixel shaders of Gfx_fast.cpp serve the others and the spans
// these leave to them). They cover the states of the two-pixel shaders on 32-bit targets with 24-bit depth
// or none, and compute exactly what the general shader computes (layout: Gfx_wide_local.h).
#include "host/Gfx_wide_local.h"

namespace host {
namespace {

using namespace wide;

template <bool Perspective, FastTex Tex, FastBlend Blend, FastZ Z>
KV_AVX2 void WideSpan(const Pipeline& p, const SpanSetup& a, int x, int y, int n) {
    // Spans of one or two pixels go two pixels at a time: there one pair costs less than a masked group
    // of eight (longer spans of small triangles are faster as one group).
    if (n < 3) {
        (Perspective ? p.spanPairPerspective : p.spanPairAffine)(p, a, x, y, n);
        return;
    }
    // The depths of the span lie between those of its ends; where an end falls outside the buffer's
    // range the two-pixel shader, which clamps pixel by pixel, draws the span.
    if constexpr (Z != FastZ::Off) {
        if (!DepthInRange(a, n)) {
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

    ZCompare zc{};
    __m256i zLanes = _mm256_setzero_si256(), zStep = zLanes;
    if constexpr (Z != FastZ::Off) {
        zc = MakeZCompare(p.zFunc);
        DepthLanes(a, &zLanes, &zStep);
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
        const __m256 w = InverseQ<Perspective>(q, qx, k);
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
        StoreGroup(colour + i, px, old, pass, full, allPass);
        if constexpr (Z == FastZ::TestWrite) StoreGroup(depth + i, _mm256_slli_epi32(zval, 8), zOld, pass, full, allPass);
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

}  // namespace

bool wide::HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

Pipeline::SpanFn WideSpanShader(bool perspective, FastTex tex, FastBlend blend, FastZ z) {
    if (!HasAvx2()) return nullptr;
    return perspective ? PickTex<true>(tex, blend, z) : PickTex<false>(tex, blend, z);
}

}  // namespace host
