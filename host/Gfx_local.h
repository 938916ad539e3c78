// What the graphics device's files share: the surface and device records, the compiled pixel pipeline and
// the rasterizer's entry points.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/Gfx.h"

namespace host {

struct GfxSurface {
    int width = 0, height = 0;
    int pitch = 0;  // bytes per row
    PixelFormat format = PixelFormat::Unknown;
    SurfaceKind kind = SurfaceKind::OffscreenPlain;
    bool videoMemory = false;
    bool locked = false;
    bool lockWritable = false;
    bool keyed = false;
    uint32_t keyLow = 0, keyHigh = 0;
    uint8_t* pixels = nullptr;
    GfxSurface* zbuffer = nullptr;  // attached z-buffer (render targets)
    // Textures: the texels widened to 0xAARRGGBB, rebuilt at every unlock, so the samplers read one format.
    std::vector<uint32_t> argb;
    bool pow2 = false;  // width and height are powers of two
    int log2w = 0, log2h = 0;
};

// Every device that exists, so that a lock or a blit of any surface can first wait for pending drawing.
void FinishAllDevices();
// Forgets the surface wherever a device uses it (texture, target or z-buffer).
void DetachSurfaceFromDevices(GfxSurface* surface);
// Rebuilds a texture's widened copy from its pixels.
void RefreshTextureCopy(GfxSurface* surface);

// The colour of a stage argument or the result of a pipeline stage: four 8-bit channels.
struct Rgba {
    int r, g, b, a;
};

// Exact rounding of x / 255 for x >= 0.
inline int Div255(int x) { return static_cast<int>((static_cast<unsigned>(x) + 127u) / 255u); }
inline int BlendDiv255(int x) { return Div255(x); }

// Bilinear mix of four 0xAARRGGBB texels (t00 at the sample's top-left) with weights fu, fv in 1/256.
inline uint32_t BilinearBlend(uint32_t t00, uint32_t t10, uint32_t t01, uint32_t t11, int fu, int fv) {
    unsigned w00 = static_cast<unsigned>((256 - fu) * (256 - fv)), w10 = static_cast<unsigned>(fu * (256 - fv));
    unsigned w01 = static_cast<unsigned>((256 - fu) * fv), w11 = static_cast<unsigned>(fu * fv);
    uint32_t out = 0;
    for (int sh = 0; sh < 32; sh += 8) {
        unsigned c = ((t00 >> sh) & 0xFF) * w00 + ((t10 >> sh) & 0xFF) * w10 + ((t01 >> sh) & 0xFF) * w01 +
                     ((t11 >> sh) & 0xFF) * w11;
        out |= (c >> 16) << sh;
    }
    return out;
}

// One texture stage of a compiled pipeline.
struct PipelineStage {
    bool enabled = false;  // colour op is not DISABLE
    uint32_t colourOp = 0, colourArg1 = 0, colourArg2 = 0;
    uint32_t alphaOp = 0, alphaArg1 = 0, alphaArg2 = 0;
    const GfxSurface* texture = nullptr;  // null: reads opaque white
    const uint32_t* texels = nullptr;
    int texW = 0, texH = 0;
    bool pow2 = false;
    bool wrapU = true, wrapV = true;  // else clamp
    bool bilinear = false;
    int coordIndex = 0;  // which vertex coordinate pair
};

// One pixel pipeline compiled from the device states at a draw call.
struct Pipeline {
    // target
    uint8_t* colour = nullptr;
    int colourPitch = 0;
    bool target565 = false;
    uint8_t* depth = nullptr;
    int depthPitch = 0;
    bool depth16 = false;
    bool zTest = false;
    bool zWrite = false;
    CompareFunc zFunc = CompareFunc::LessEqual;
    // texture stages
    using Stage = PipelineStage;
    Stage stage[kStageCount];
    int stageCount = 0;  // stages up to the first disabled one
    uint32_t textureFactor = 0;
    // per-pixel states
    bool alphaTest = false;
    CompareFunc alphaFunc = CompareFunc::Always;
    int alphaRef = 0;
    bool specularAdd = false;
    bool fog = false;
    int fogR = 0, fogG = 0, fogB = 0;
    bool blend = false;
    BlendFactor srcBlend = BlendFactor::One, dstBlend = BlendFactor::Zero;
    bool flat = false;  // flat shading: the first vertex's colours for the whole primitive
    // scissor (viewport), rows from the top, right/bottom exclusive
    int clipX0 = 0, clipY0 = 0, clipX1 = 0, clipY1 = 0;
    // span shader chosen for these states
    using SpanFn = void (*)(const struct Pipeline& p, const struct SpanAttrs& a, int x, int y, int n);
    SpanFn span = nullptr;
};

// Interpolated values at the first pixel of a run and their per-pixel steps, all fixed point.
struct SpanAttrs {
    int64_t z, dz;                 // depth x 2^32
    int32_t c[4], dc[4];           // diffuse b, g, r, a x 2^16
    int32_t s[4], ds[4];           // specular b, g, r, a (a is the fog factor) x 2^16
    int64_t u[2], du[2];           // texel column x 2^16 per stage (bilinear: shifted by half a texel)
    int64_t v[2], dv[2];           // texel row x 2^16 per stage
};

// Samples a stage's texture at texel coordinates x 2^16 (address mode and filter of the stage).
uint32_t SampleTexture(const PipelineStage& st, int64_t u, int64_t v);
bool GeneralShaderForced();

// Chooses the span shader for a pipeline (the fast paths, or the general one).
void ChooseSpanShader(Pipeline* p);
// Forces the general span shader for every pipeline (tests compare it with the fast paths).
void ForceGeneralShader(bool on);
// The general span shader.
void GeneralSpan(const Pipeline& p, const SpanAttrs& a, int x, int y, int n);

// A vertex after vertex processing: snapped position, and the values to interpolate.
struct SetupVertex {
    double x, y, z, q;  // position (pixels), depth, rhw
    double attr[12];    // diffuse b g r a, specular b g r a (0..255), u v of stage 0, u v of stage 1 (texels)
};
constexpr int kAttrCount = 12;

// A triangle, line or point set up once, then scan-converted in any band of rows: every row is computed
// from the set-up values alone, so a band gives the same pixels whichever thread draws it.
struct Primitive {
    uint8_t kind = 0;        // 1 point, 2 line, 3 triangle
    bool perspective = false;  // rhw differs between the vertices
    uint32_t pipeline = 0;   // index of the pipeline in the batch
    // triangles: fixed-point corners (1/256 pixel) sorted by row, and which side the long edge is on
    int64_t X[3], Y[3];
    bool longLeft = false;
    // plane equations a(x, y) = a0 + dadx (x - ox) + dady (y - oy): z, q, then the attributes (times q
    // when perspective)
    double ox = 0, oy = 0;
    double plane[2 + kAttrCount][3];
    // lines and points: the end points
    SetupVertex v[2];
};

// Sets up a triangle (false when it is culled or covers nothing).
bool SetupTriangle(const Pipeline& p, const SetupVertex& a, const SetupVertex& b, const SetupVertex& c,
                   uint32_t cullMode, Primitive* out);
// Scan-converts one primitive, touching only rows y0 <= y < y1.
void RasterPrimitive(const Pipeline& p, const Primitive& prim, int y0, int y1);

}  // namespace host
