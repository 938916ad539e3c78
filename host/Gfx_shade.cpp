// The general span shader: every state the device accepts, decided per pixel. The fast paths in
// Gfx_fast.cpp produce exactly the same pixels for the state combinations they cover.
#include <algorithm>

#include "host/Gfx_local.h"

namespace host {
namespace {

bool g_forceGeneral = false;

Rgba Unpack8888(uint32_t c) {
    return {static_cast<int>((c >> 16) & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>(c & 0xFF),
            static_cast<int>(c >> 24)};
}

// Inlined into the span loop: called for four arguments per stage and pixel.
[[gnu::always_inline]] inline Rgba ArgOf(uint32_t arg, const Rgba& diffuse, const Rgba& current,
                                         const Rgba& texture, const Rgba& specular, const Rgba& factor) {
    Rgba v;
    switch (arg & GfxTaSelectMask) {
        case GfxTaDiffuse:
            v = diffuse;
            break;
        case GfxTaCurrent:
            v = current;
            break;
        case GfxTaTexture:
            v = texture;
            break;
        case GfxTaTFactor:
            v = factor;
            break;
        case GfxTaSpecular:
            v = specular;
            break;
        default:
            v = current;
            break;
    }
    if (arg & GfxTaComplement) v = {255 - v.r, 255 - v.g, 255 - v.b, 255 - v.a};
    if (arg & GfxTaAlphaReplicate) v.r = v.g = v.b = v.a;
    return v;
}

int Clamp255(int v) {
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

// One channel of a texture operation; alphaSrc supplies the blend weights of the BLEND* operations.
[[gnu::always_inline]] inline int Combine(TextureOp op, int a1, int a2, int a1Alpha, int diffuseA,
                                          int textureA, int currentA, int current) {
    switch (op) {
        case TextureOp::Disable:
            return current;
        case TextureOp::SelectArg1:
            return a1;
        case TextureOp::SelectArg2:
            return a2;
        case TextureOp::Modulate:
            return Div255(a1 * a2);
        case TextureOp::Modulate2x:
            return std::min(2 * Div255(a1 * a2), 255);
        case TextureOp::Modulate4x:
            return std::min(4 * Div255(a1 * a2), 255);
        case TextureOp::Add:
            return std::min(a1 + a2, 255);
        case TextureOp::AddSigned:
            return Clamp255(a1 + a2 - 128);
        case TextureOp::Subtract:
            return std::max(a1 - a2, 0);
        case TextureOp::BlendDiffuseAlpha:
            return Div255(a1 * diffuseA + a2 * (255 - diffuseA));
        case TextureOp::BlendTextureAlpha:
            return Div255(a1 * textureA + a2 * (255 - textureA));
        case TextureOp::BlendCurrentAlpha:
            return Div255(a1 * currentA + a2 * (255 - currentA));
        case TextureOp::ModulateAlphaAddColor:
            return std::min(a1 + Div255(a1Alpha * a2), 255);
    }
    return current;
}

bool Compare(CompareFunc f, uint32_t value, uint32_t stored) {
    switch (f) {
        case CompareFunc::Never:
            return false;
        case CompareFunc::Less:
            return value < stored;
        case CompareFunc::Equal:
            return value == stored;
        case CompareFunc::LessEqual:
            return value <= stored;
        case CompareFunc::Greater:
            return value > stored;
        case CompareFunc::NotEqual:
            return value != stored;
        case CompareFunc::GreaterEqual:
            return value >= stored;
        case CompareFunc::Always:
            return true;
    }
    return true;
}

int BlendFactorOf(BlendFactor f, int src, int srcA, int dst) {
    switch (f) {
        case BlendFactor::Zero:
            return 0;
        case BlendFactor::One:
            return 255;
        case BlendFactor::SrcColor:
            return src;
        case BlendFactor::InvSrcColor:
            return 255 - src;
        case BlendFactor::SrcAlpha:
            return srcA;
        case BlendFactor::InvSrcAlpha:
            return 255 - srcA;
        case BlendFactor::DestAlpha:
            return 255;  // the targets carry no alpha: it reads as opaque
        case BlendFactor::InvDestAlpha:
            return 0;
        case BlendFactor::DestColor:
            return dst;
        case BlendFactor::InvDestColor:
            return 255 - dst;
        case BlendFactor::SrcAlphaSat:
            return 0;  // min(source alpha, 1 - opaque destination alpha)
    }
    return 255;
}

// The texel of a stage at u, v (texels x 256); inlined into the span loop.
[[gnu::always_inline]] inline uint32_t Sample(const PipelineStage& st, int32_t u, int32_t v) {
    auto address = [](int32_t i, int size, bool wrap, bool pow2) -> int {
        if (wrap) {
            if (pow2) return i & (size - 1);
            int m = i % size;
            return m < 0 ? m + size : m;
        }
        return i < 0 ? 0 : (i >= size ? size - 1 : i);
    };
    int32_t iu = u >> 8, iv = v >> 8;
    if (!st.bilinear) {
        int x = address(iu, st.texW, st.wrapU, st.pow2);
        int y = address(iv, st.texH, st.wrapV, st.pow2);
        return st.texels[y * st.texW + x];
    }
    int fu = u & 0xFF, fv = v & 0xFF;
    int x0 = address(iu, st.texW, st.wrapU, st.pow2), x1 = address(iu + 1, st.texW, st.wrapU, st.pow2);
    int y0 = address(iv, st.texH, st.wrapV, st.pow2), y1 = address(iv + 1, st.texH, st.wrapV, st.pow2);
    const uint32_t* r0 = st.texels + y0 * st.texW;
    const uint32_t* r1 = st.texels + y1 * st.texW;
    return BilinearBlend(r0[x0], r0[x1], r1[x0], r1[x1], fu, fv);
}

}  // namespace

uint32_t SampleTexture(const PipelineStage& st, int32_t u, int32_t v) {
    return Sample(st, u, v);
}

template <bool Perspective>
void GeneralSpanT(const Pipeline& p, const SpanSetup& a, int x, int y, int n) {
    uint8_t* crow = p.colour + static_cast<ptrdiff_t>(y) * p.colourPitch;
    uint8_t* zrow = p.depth ? p.depth + static_cast<ptrdiff_t>(y) * p.depthPitch : nullptr;
    const Rgba factor = Unpack8888(p.textureFactor);
    SpanWalker<Perspective> w(a);
    for (int i = 0; i < n; ++i, ++x, w.Next()) {
        int64_t z = w.z;
        // depth
        uint32_t zval = 0;
        if (zrow) {
            if (p.depth16) {
                zval = static_cast<uint32_t>(std::clamp<int64_t>(z >> 16, 0, 0xFFFF));
                uint16_t stored = reinterpret_cast<uint16_t*>(zrow)[x];
                if (p.zTest && !Compare(p.zFunc, zval, stored)) continue;
            } else {
                zval = static_cast<uint32_t>(std::clamp<int64_t>(z >> 8, 0, 0xFFFFFF));
                uint32_t stored = reinterpret_cast<uint32_t*>(zrow)[x] >> 8;
                if (p.zTest && !Compare(p.zFunc, zval, stored)) continue;
            }
        }
        PixelIn in;
        w.Values(&in);
        Rgba diffuse = {in.c[2], in.c[1], in.c[0], in.c[3]};
        Rgba specular = {in.s[2], in.s[1], in.s[0], in.s[3]};
        Rgba cur = diffuse;
        for (int t = 0; t < p.stageCount; ++t) {
            const Pipeline::Stage& st = p.stage[t];
            Rgba tex = {255, 255, 255, 255};
            if (st.texels) tex = Unpack8888(Sample(st, in.t[2 * t], in.t[2 * t + 1]));
            Rgba c1 = ArgOf(st.colourArg1, diffuse, cur, tex, specular, factor);
            Rgba c2 = ArgOf(st.colourArg2, diffuse, cur, tex, specular, factor);
            Rgba next;
            TextureOp cop = static_cast<TextureOp>(st.colourOp);
            next.r = Combine(cop, c1.r, c2.r, c1.a, diffuse.a, tex.a, cur.a, cur.r);
            next.g = Combine(cop, c1.g, c2.g, c1.a, diffuse.a, tex.a, cur.a, cur.g);
            next.b = Combine(cop, c1.b, c2.b, c1.a, diffuse.a, tex.a, cur.a, cur.b);
            Rgba a1 = ArgOf(st.alphaArg1, diffuse, cur, tex, specular, factor);
            Rgba a2 = ArgOf(st.alphaArg2, diffuse, cur, tex, specular, factor);
            TextureOp aop = static_cast<TextureOp>(st.alphaOp);
            next.a = Combine(aop, a1.a, a2.a, a1.a, diffuse.a, tex.a, cur.a, cur.a);
            cur = next;
        }
        if (p.alphaTest &&
            !Compare(p.alphaFunc, static_cast<uint32_t>(cur.a), static_cast<uint32_t>(p.alphaRef)))
            continue;
        if (p.specularAdd) {
            cur.r = std::min(cur.r + specular.r, 255);
            cur.g = std::min(cur.g + specular.g, 255);
            cur.b = std::min(cur.b + specular.b, 255);
        }
        if (p.fog) {
            int f = specular.a, g = 255 - f;
            cur.r = Div255(cur.r * f + p.fogR * g);
            cur.g = Div255(cur.g * f + p.fogG * g);
            cur.b = Div255(cur.b * f + p.fogB * g);
        }
        if (p.blend) {
            Rgba d;
            if (p.target565) {
                uint32_t px = reinterpret_cast<uint16_t*>(crow)[x];
                d = Unpack8888(UnpackPixel(PixelFormat::RGB565, px));
            } else {
                d = Unpack8888(reinterpret_cast<uint32_t*>(crow)[x]);
            }
            auto mix = [&](int sc, int dc) {
                int sf = BlendFactorOf(p.srcBlend, sc, cur.a, dc);
                int df = BlendFactorOf(p.dstBlend, sc, cur.a, dc);
                return std::min(BlendDiv255(sc * sf + dc * df), 255);
            };
            cur = {mix(cur.r, d.r), mix(cur.g, d.g), mix(cur.b, d.b), cur.a};
        }
        if (p.target565)
            reinterpret_cast<uint16_t*>(crow)[x] =
                static_cast<uint16_t>(((cur.r >> 3) << 11) | ((cur.g >> 2) << 5) | (cur.b >> 3));
        else
            reinterpret_cast<uint32_t*>(crow)[x] = (static_cast<uint32_t>(cur.r) << 16) |
                                                   (static_cast<uint32_t>(cur.g) << 8) |
                                                   static_cast<uint32_t>(cur.b);
        if (zrow && p.zWrite) {
            if (p.depth16)
                reinterpret_cast<uint16_t*>(zrow)[x] = static_cast<uint16_t>(zval);
            else
                reinterpret_cast<uint32_t*>(zrow)[x] = zval << 8;
        }
    }
}

void GeneralSpan(const Pipeline& p, const SpanSetup& a, int x, int y, int n) {
    if (a.perspective)
        GeneralSpanT<true>(p, a, x, y, n);
    else
        GeneralSpanT<false>(p, a, x, y, n);
}

void ForceGeneralShader(bool on) {
    g_forceGeneral = on;
}
bool GeneralShaderForced() {
    return g_forceGeneral;
}

}  // namespace host
