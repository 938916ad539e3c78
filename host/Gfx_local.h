// What the graphics device's files share: the surface and device records, the compiled pixel pipeline and
// the rasterizer's entry points.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
// Hands every device's gathered primitives to the workers without waiting for them.
void SubmitAllDevices();
// Gathers a blit onto a device's target among the device's primitives (checked rectangles; the
// destination may reach past the target's edges): true when it was taken (drawn later, in its place), false
// when the caller must finish all drawing and blit at once (one thread, no device or two draw into the
// destination, or the source is drawn into).
bool QueueBlit(GfxSurface* dst, const GfxRect& to, const GfxSurface* src, const GfxRect& from, bool keyed);
// Gathers the conversion of a back buffer's rows for the window among the primitives of the device drawing
// into it, each band converting its rows once it has drawn them: false when there is no such device or
// drawing is immediate (the caller then converts the rows itself, after finishing all drawing).
bool QueuePresent(const GfxSurface* back, uint32_t* out, const uint8_t* lut);
// Forgets the surface wherever a device uses it (texture, target or z-buffer).
void DetachSurfaceFromDevices(GfxSurface* surface);
// Rebuilds a texture's widened copy from its pixels.
void RefreshTextureCopy(GfxSurface* surface);

// The colour of a stage argument or the result of a pipeline stage: four 8-bit channels.
struct Rgba {
    int r, g, b, a;
};

// Exact rounding of x / 255 for x >= 0.
inline int Div255(int x) {
    return static_cast<int>((static_cast<unsigned>(x) + 127u) / 255u);
}
inline int BlendDiv255(int x) {
    return Div255(x);
}

// Bilinear mix of four 0xAARRGGBB texels (t00 at the sample's top-left, t10 right of it, t01 below it)
// with weights fu, fv in 1/256: each row mixed across, then the two rows mixed down, truncating each time.
inline uint32_t BilinearBlend(uint32_t t00, uint32_t t10, uint32_t t01, uint32_t t11, int fu, int fv) {
    uint32_t out = 0;
    for (int sh = 0; sh < 32; sh += 8) {
        int top =
            (static_cast<int>((t00 >> sh) & 0xFF) * (256 - fu) + static_cast<int>((t10 >> sh) & 0xFF) * fu) >>
            8;
        int bot =
            (static_cast<int>((t01 >> sh) & 0xFF) * (256 - fu) + static_cast<int>((t11 >> sh) & 0xFF) * fu) >>
            8;
        out |= static_cast<uint32_t>((top * (256 - fv) + bot * fv) >> 8) << sh;
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

// What the fast span shaders compute from the texture and the diffuse colour.
enum class FastColour : uint8_t { Modulate, SelectTexture, SelectDiffuse };
enum class FastAlpha : uint8_t { Modulate, Texture, Diffuse };
// The blend pairs, depth states and texture sampling the fast span shaders are specialised for.
enum class FastBlend : uint8_t { Off, SrcAlpha, Add, PremultipliedAlpha };  // off, SA/ISA, ONE/ONE, ONE/ISA
enum class FastZ : uint8_t { Off, Test, TestWrite };
enum class FastTex : uint8_t { None, Point, Bilinear, PointWrap, BilinearWrap };  // ...Wrap: both axes wrap

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
    using SpanFn = void (*)(const struct Pipeline& p, const struct SpanSetup& a, int x, int y, int n);
    SpanFn span = nullptr;
    // fast paths: the shaders for spans without and with perspective, and their colour and alpha
    SpanFn spanAffine = nullptr, spanPerspective = nullptr;
    // the two-pixel shaders for the same states, where eight-pixel ones are in use (for the spans those
    // leave to them)
    SpanFn spanPairAffine = nullptr, spanPairPerspective = nullptr;
    FastColour fastColour = FastColour::Modulate;
    FastAlpha fastAlpha = FastAlpha::Modulate;
    // while spans are counted: the shader that draws them and the index of the pipeline's counter
    SpanFn countedSpan = nullptr;
    uint32_t countIndex = 0;
};

using F4 = float __attribute__((vector_size(16)));
using I4 = int32_t __attribute__((vector_size(16)));

// The values of a run of pixels on one row: at its first pixel and their steps per pixel.
struct SpanSetup {
    F4 c, cx;             // diffuse b, g, r, a (0..255; times q when perspective)
    F4 s, sx;             // specular b, g, r, a (a is the fog factor)
    F4 t, tx;             // texel coordinates x 256: u and v of stage 0, u and v of stage 1
    float q = 1, qx = 0;  // rhw, when perspective
    bool perspective = false;
    int64_t z = 0, dz = 0;  // depth x 2^32
};

// The interpolated inputs of one pixel.
struct PixelIn {
    I4 c;  // diffuse b, g, r, a
    I4 s;  // specular b, g, r, a
    I4 t;  // u0, v0, u1, v1 in texels x 256
};

#if defined(__SSE2__)
inline F4 Min4(F4 a, F4 b) {
    return _mm_min_ps(a, b);
}
inline F4 Max4(F4 a, F4 b) {
    return _mm_max_ps(a, b);
}
#else
inline F4 Min4(F4 a, F4 b) {
    return a < b ? a : b;
}
inline F4 Max4(F4 a, F4 b) {
    return a > b ? a : b;
}
#endif

// Walks the pixels of a span. The values of pixel k are computed from the span's first pixel as
// value + step * k (one multiply and one add per lane, never accumulated from pixel to pixel), so that
// shaders working on several pixels at once compute each pixel exactly as this walker does.
template <bool Perspective>
struct SpanWalker {
    const SpanSetup& a;
    float k = 0;  // the pixel's index in the span
    int64_t z;    // depth steps exactly (integers)
    // clamping limits, kept here so that the loops keep them in registers
    const F4 lo = {0, 0, 0, 0}, hi = {255.5f, 255.5f, 255.5f, 255.5f}, half = {0.5f, 0.5f, 0.5f, 0.5f};
    const F4 tlo = {-1.0e9f, -1.0e9f, -1.0e9f, -1.0e9f}, thi = {1.0e9f, 1.0e9f, 1.0e9f, 1.0e9f};
    explicit SpanWalker(const SpanSetup& setup) : a(setup), z(setup.z) {}
    void Next() {
        k += 1.0f;
        z += a.dz;
    }
    void Values(PixelIn* out) const {
        F4 vc = a.c + a.cx * k, vs = a.s + a.sx * k, vt = a.t + a.tx * k;
        if (Perspective) {
            const float q = a.q + a.qx * k;
            float w = q > 1e-20f ? 1.0f / q : 1e20f;
            vc *= w;
            vs *= w;
            vt *= w;
        }
        vc = Min4(Max4(vc + half, lo), hi);
        vs = Min4(Max4(vs + half, lo), hi);
        vt = Min4(Max4(vt, tlo), thi);
        out->c = __builtin_convertvector(vc, I4);
        out->s = __builtin_convertvector(vs, I4);
        out->t = __builtin_convertvector(vt, I4);
    }
};

// Samples a stage's texture at texel coordinates x 256 (address mode and filter of the stage).
uint32_t SampleTexture(const PipelineStage& st, int32_t u, int32_t v);
bool GeneralShaderForced();

// The pipelines a device keeps (those of the primitives waiting to be drawn, and the one in force).
size_t CompiledPipelineCount(const GfxDevice* device);
// Chooses the span shader for a pipeline (the fast paths, or the general one).
void ChooseSpanShader(Pipeline* p);
// Forces the general span shader for every pipeline (tests compare it with the fast paths).
void ForceGeneralShader(bool on);
// Keeps the fast paths to their two-pixel shaders even where the processor runs the eight-pixel ones
// (tests compare both with the general shader).
void ForcePairSpans(bool on);
// The eight-pixel span shader for the states (null where the processor lacks 256-bit integer vectors or
// the states are not covered).
Pipeline::SpanFn WideSpanShader(bool perspective, FastTex tex, FastBlend blend, FastZ z);
// Span statistics: whether they are being counted, and the wrapping of a pipeline's shader that counts them.
bool SpansCounted();
void CountSpansOf(Pipeline* p);
// The eight-pixel stage-program shader for states the fast shaders do not cover (null where the processor
// lacks 256-bit integer vectors or the states are beyond it: 16-bit targets or depth, more than two
// stages, textures whose sides are not powers of two).
Pipeline::SpanFn ProgramSpanShader(const Pipeline& p);
// The general span shader.
void GeneralSpan(const Pipeline& p, const SpanSetup& a, int x, int y, int n);

// A vertex after vertex processing: position, and the values to interpolate.
struct SetupVertex {
    double x, y, z, q;  // position (pixels), depth, rhw
    float attr[12];  // diffuse b g r a, specular b g r a (0..255), u v of stage 0, u v of stage 1 (texels x
                     // 256)
};
constexpr int kAttrCount = 12;

// What a primitive of a batch is.
enum PrimitiveKind : uint8_t {
    kPrimNone = 0,         // nothing (a triangle culled at its set-up)
    kPrimPoint = 1,
    kPrimLine = 2,
    kPrimTriangle = 3,
    kPrimRawTriangle = 4,  // a triangle still to be set up (its vertices wait in the batch)
    kPrimClear = 5,        // a clear of a rectangle, drawn by its pipeline's target and z-buffer
    kPrimBlit = 6,         // a blit onto the target
    kPrimPresent = 7,      // the target's rows converted for the window
};

// A triangle, line, point, clear or blit set up once, then drawn in any band of rows: every row is
// computed from the set-up values alone, so a band gives the same pixels whichever thread draws it.
struct Primitive {
    uint8_t kind = kPrimNone;  // PrimitiveKind
    bool perspective = false;  // rhw differs between the vertices
    uint32_t pipeline = 0;     // index of the pipeline in the batch
    int rowTop = 0, rowBottom = 0;  // rows it may touch (bottom exclusive)
    union {
        struct {
            int64_t X[3], Y[3];   // fixed-point corners (1/256 pixel) sorted by row
            bool longLeft;        // the edge from the top to the bottom corner is the left one
            double ox, oy;        // plane origin (the first corner)
            F4 c[3], s[3], t[3];  // planes: value at the origin, step per column, step per row
            float q[3];
            double z[3];
        } tri;
        SetupVertex v[2];  // lines and points: the end points
        struct {
            int left, right;  // columns, right exclusive (the rows are rowTop .. rowBottom)
            uint32_t flags;   // GfxClearTarget, GfxClearZBuffer
            uint32_t colour;  // in the target's format
            uint32_t z16, z24;
        } clear;
        struct {
            const GfxSurface* src;
            GfxSurface* dst;
            GfxRect from, to;  // source and destination rectangles, checked (the destination may reach
                               // past the target's edges)
            bool keyed;        // the source's colour key applies: keyLow..keyHigh, taken when the blit
            uint32_t keyLow, keyHigh;  // was issued (it may change before the blit is drawn)
        } blit;
        struct {
            const GfxSurface* back;  // the surface presented
            uint32_t* out;           // its rows as 0xFFRRGGBB through the gamma tables
            const uint8_t* lut;      // gamma tables of red, green and blue, 256 entries each
        } present;
    };
    Primitive() {}
};

// Sets up a triangle (false when it is culled or covers nothing).
bool SetupTriangle(const Pipeline& p, const SetupVertex& a, const SetupVertex& b, const SetupVertex& c,
                   uint32_t cullMode, Primitive* out);
// The rows a triangle may touch within the scissor, top <= y < bottom, from its vertices as its set-up
// will snap them (a few rows more, never fewer), and the pixels of its bounding box within the scissor.
// False when it lies wholly above or below the scissor.
bool TriangleRows(const Pipeline& p, const SetupVertex& a, const SetupVertex& b, const SetupVertex& c, int* top,
                  int* bottom, double* boxPixels);
// Scan-converts one primitive, touching only rows y0 <= y < y1.
void RasterPrimitive(const Pipeline& p, const Primitive& prim, int y0, int y1);
// The rows y0 <= y < y1 of a blit primitive, and of a present primitive.
void BlitRows(const Primitive& prim, int y0, int y1);
void PresentRows(const Primitive& prim, int y0, int y1);

// ---- Batches for the worker threads (Gfx_batch.cpp) --------------------------------------------------

constexpr int kBandRows = 8;  // rows of the target per band
// A batch costing fewer pixels than this is drawn on the calling thread: waking the workers and waiting
// for them would cost more (an overlay's sprite, a few gauges, a small clear).
constexpr double kWorkerCost = 16384;

// A triangle gathered for the workers, set up by them in parallel before the bands are drawn.
struct RawTriangle {
    SetupVertex v[3];
    uint32_t cull;
    uint32_t prim;  // its primitive in the batch
};

// What a device gathers for the worker threads: the primitives in their order with the pipelines they
// name, the triangles still to be set up, and for each band of kBandRows rows of the target the
// primitives that may reach it, in order. The workers set up the triangles, then take the bands one at
// a time, each band drawing its primitives in order, so every pixel sees the same writes in the same
// order as on one thread.
struct Batch {
    std::vector<Pipeline> pipelines;
    std::vector<Primitive> prims;
    std::vector<RawTriangle> raw;
    std::vector<std::vector<uint32_t>> bins;  // per band: indices into prims
    int bands = 0;                            // bands of the target in use
    double cost = 0;                          // what the primitives cost to draw, in pixels of a span
};

// Starts gathering into an empty batch for a target of `rows` rows.
void StartBatch(Batch* batch, int rows);
// Adds a primitive that may touch the target's rows top <= y < bottom; cost in pixels of a span.
// Returns its index.
uint32_t AddToBatch(Batch* batch, const Primitive& prim, int top, int bottom, double cost);
// Draws a batch: on the calling thread when it costs little or there are no worker threads, else by
// the workers, the calling thread going on meanwhile. First waits for the batch the workers hold (one at
// a time, so batches are drawn in the order they were handed over). With wait, returns when every
// pixel of the batch is written. The batch is emptied once drawn.
void SubmitBatch(Batch* batch, bool wait);
// Waits until the workers have drawn the batch they hold, drawing with them meanwhile.
void WaitForWorkers();
// Whether the workers are still drawing a batch.
bool WorkersBusy();
// The threads that draw (the calling one included), from the setting.
int WantedThreads();
// How many batches were handed to the workers so far (the others were drawn on the calling thread).
uint64_t BatchesHandedToWorkers();

}  // namespace host
