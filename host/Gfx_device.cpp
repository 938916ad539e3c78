// The device: render and texture-stage states, viewport, clears, primitive assembly and set-up. On one
// thread every primitive is drawn as it comes; on worker threads the primitives (and the clears and the
// blits onto the target) are gathered into batches that the workers draw in bands of rows
// (Gfx_batch.cpp).
#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/Gfx_local.h"

namespace host {

struct GfxDevice {
    DeviceKind kind = DeviceKind::Hardware;
    GfxSurface* target = nullptr;
    uint32_t rs[kRenderStateCount] = {};
    uint32_t ts[kStageCount][kStageStateCount] = {};
    GfxSurface* texture[kStageCount] = {};
    GfxViewport viewport{};
    bool dirty = true;  // states changed since the last pipeline was compiled
    // Two batches: one gathering, the other free or held by the workers. The gathering batch's pipelines
    // are the device's compiled pipelines, the last one in force (also on one thread, where no primitive
    // waits in the batch).
    Batch batches[2];
    int gathering = 0;
    Batch& Gathering() { return batches[gathering]; }
    std::vector<Pipeline>& Pipelines() { return Gathering().pipelines; }
};

namespace {

constexpr size_t kBatchLimit = 16384;  // primitives gathered before the workers must take them
// A batch is handed to the workers as soon as it holds a third of the target's pixels of drawing (and at
// least what is worth waking them for) while they are idle, so that they draw while the calling thread goes
// on gathering; fewer, larger batches cost fewer hand-overs and waits. (On a small target a third of its
// pixels would hand over every few primitives, each batch then drawn on the calling thread.)
constexpr double kEagerScreens = 1.0 / 3;
// What a primitive costs beyond its pixels (its set-up and its rows), in pixels of a span.
constexpr double kPrimitiveCost = 24;

std::vector<GfxDevice*> g_devices;

// Whether primitives are drawn as they come (one thread) rather than gathered. (Gathering on one thread
// too, so that a band's rows stay in the cache while all its primitives are drawn, measured no faster:
// the frame's spans are long and its cost is in shading them.)
bool Immediate() {
    return WantedThreads() <= 1;
}

// Hands the gathered batch to the workers (or draws it here when it is cheap); with wait, returns when
// it is drawn. Gathering goes on in the other batch, with the pipeline in force.
void Flush(GfxDevice* d, bool wait) {
    Batch& b = d->Gathering();
    if (b.prims.empty()) {
        if (wait) WaitForWorkers();
        return;
    }
    const Pipeline inForce = b.pipelines.back();
    SubmitBatch(&b, wait);
    d->gathering ^= 1;
    Batch& next = d->Gathering();  // free: drawn before this one was handed over
    next.pipelines.assign(1, inForce);
}

// Adds a primitive touching rows top <= y < bottom to the gathering batch.
void Gather(GfxDevice* d, const Primitive& prim, int top, int bottom, double cost) {
    Batch& b = d->Gathering();
    const GfxSurface* t = d->target;  // present: only a device with a target draws
    if (b.prims.empty()) StartBatch(&b, t->height);
    AddToBatch(&b, prim, top, bottom, cost + kPrimitiveCost);
    const double eager = std::max(kEagerScreens * t->width * t->height, kWorkerCost);
    if (b.prims.size() >= kBatchLimit || (WantedThreads() > 1 && b.cost >= eager && !WorkersBusy()))
        Flush(d, false);
}

// The rows a line or point may touch; false when it touches none.
bool FindRows(const Pipeline& p, Primitive* prim) {
    double a = prim->v[0].y, b = prim->kind == kPrimLine ? prim->v[1].y : a;
    if (!(a == a) || !(b == b)) return false;  // NaN
    double lo = std::clamp(std::min(a, b), -1.0e6, 1.0e6), hi = std::clamp(std::max(a, b), -1.0e6, 1.0e6);
    prim->rowTop = std::max(static_cast<int>(std::floor(lo)) - 1, p.clipY0);
    prim->rowBottom = std::min(static_cast<int>(std::ceil(hi)) + 2, p.clipY1);
    return prim->rowTop < prim->rowBottom;
}

void SetDefaults(GfxDevice* d) {
    std::memset(d->rs, 0, sizeof d->rs);
    std::memset(d->ts, 0, sizeof d->ts);
    auto rs = [d](RenderState s, uint32_t v) { d->rs[static_cast<uint32_t>(s)] = v; };
    rs(RenderState::TexturePerspective, 1);
    rs(RenderState::ZEnable, d->target->zbuffer ? GfxZbTrue : GfxZbFalse);
    rs(RenderState::FillMode, GfxFillSolid);
    rs(RenderState::ShadeMode, GfxShadeGouraud);
    rs(RenderState::ZWriteEnable, 1);
    rs(RenderState::LastPixel, 1);
    rs(RenderState::SrcBlend, static_cast<uint32_t>(BlendFactor::One));
    rs(RenderState::DestBlend, static_cast<uint32_t>(BlendFactor::Zero));
    rs(RenderState::CullMode, GfxCullCcw);
    rs(RenderState::ZFunc, static_cast<uint32_t>(CompareFunc::LessEqual));
    rs(RenderState::AlphaFunc, static_cast<uint32_t>(CompareFunc::Always));
    rs(RenderState::TextureFactor, 0xFFFFFFFFu);
    rs(RenderState::Clipping, 1);
    rs(RenderState::Lighting, 1);
    for (int s = 0; s < kStageCount; ++s) {
        auto ts = [d, s](StageState st, uint32_t v) { d->ts[s][static_cast<uint32_t>(st)] = v; };
        ts(StageState::ColorOp, static_cast<uint32_t>(s == 0 ? TextureOp::Modulate : TextureOp::Disable));
        ts(StageState::ColorArg1, GfxTaTexture);
        ts(StageState::ColorArg2, GfxTaCurrent);
        ts(StageState::AlphaOp, static_cast<uint32_t>(s == 0 ? TextureOp::SelectArg1 : TextureOp::Disable));
        ts(StageState::AlphaArg1, GfxTaTexture);
        ts(StageState::AlphaArg2, GfxTaCurrent);
        ts(StageState::TexCoordIndex, static_cast<uint32_t>(s));
        ts(StageState::Address, GfxAddressWrap);
        ts(StageState::AddressU, GfxAddressWrap);
        ts(StageState::AddressV, GfxAddressWrap);
        ts(StageState::MagFilter, GfxFilterPoint);
        ts(StageState::MinFilter, GfxFilterPoint);
        ts(StageState::MipFilter, GfxMipNone);
    }
    d->viewport = {0, 0, d->target->width, d->target->height, 0.0f, 1.0f};
    d->dirty = true;
}

bool KnownOp(uint32_t op) {
    switch (static_cast<TextureOp>(op)) {
        case TextureOp::Disable:
        case TextureOp::SelectArg1:
        case TextureOp::SelectArg2:
        case TextureOp::Modulate:
        case TextureOp::Modulate2x:
        case TextureOp::Modulate4x:
        case TextureOp::Add:
        case TextureOp::AddSigned:
        case TextureOp::Subtract:
        case TextureOp::BlendDiffuseAlpha:
        case TextureOp::BlendTextureAlpha:
        case TextureOp::BlendCurrentAlpha:
        case TextureOp::ModulateAlphaAddColor:
            return true;
    }
    return false;
}

bool KnownArg(uint32_t arg) {
    return (arg & ~0x3Fu) == 0 && (arg & GfxTaSelectMask) <= GfxTaSpecular;
}

bool KnownBlend(uint32_t f) {
    return f >= 1 && f <= 11;
}
bool KnownCompare(uint32_t f) {
    return f >= 1 && f <= 8;
}

// Compiles the states into the pipeline used by the next primitives.
const Pipeline& CurrentPipeline(GfxDevice* d) {
    // (a pipeline compiled before the span counting was switched on or off is compiled again)
    std::vector<Pipeline>& pipelines = d->Pipelines();
    if (!d->dirty && !pipelines.empty() && (pipelines.back().countedSpan != nullptr) == SpansCounted())
        return pipelines.back();
    Pipeline p;
    GfxSurface* t = d->target;
    auto rs = [d](RenderState s) { return d->rs[static_cast<uint32_t>(s)]; };
    p.colour = t->pixels;
    p.colourPitch = t->pitch;
    p.target565 = t->format == PixelFormat::RGB565;
    if (t->zbuffer && rs(RenderState::ZEnable) != GfxZbFalse) {
        p.depth = t->zbuffer->pixels;
        p.depthPitch = t->zbuffer->pitch;
        p.depth16 = t->zbuffer->format == PixelFormat::Z16;
        p.zTest = true;
        p.zWrite = rs(RenderState::ZWriteEnable) != 0;
        uint32_t f = rs(RenderState::ZFunc);
        p.zFunc = KnownCompare(f) ? static_cast<CompareFunc>(f) : CompareFunc::Always;
    }
    p.stageCount = 0;
    for (int s = 0; s < kStageCount; ++s) {
        const uint32_t* ts = d->ts[s];
        uint32_t cop = ts[static_cast<uint32_t>(StageState::ColorOp)];
        if (cop == static_cast<uint32_t>(TextureOp::Disable) || !KnownOp(cop)) break;
        PipelineStage& st = p.stage[s];
        st.enabled = true;
        st.colourOp = cop;
        st.colourArg1 = ts[static_cast<uint32_t>(StageState::ColorArg1)];
        st.colourArg2 = ts[static_cast<uint32_t>(StageState::ColorArg2)];
        st.alphaOp = ts[static_cast<uint32_t>(StageState::AlphaOp)];
        if (!KnownOp(st.alphaOp)) st.alphaOp = static_cast<uint32_t>(TextureOp::Disable);
        st.alphaArg1 = ts[static_cast<uint32_t>(StageState::AlphaArg1)];
        st.alphaArg2 = ts[static_cast<uint32_t>(StageState::AlphaArg2)];
        GfxSurface* tex = d->texture[s];
        if (tex && !tex->argb.empty()) {
            st.texture = tex;
            st.texels = tex->argb.data();
            st.texW = tex->width;
            st.texH = tex->height;
            st.pow2 = tex->pow2;
        }
        st.wrapU = ts[static_cast<uint32_t>(StageState::AddressU)] != GfxAddressClamp;
        st.wrapV = ts[static_cast<uint32_t>(StageState::AddressV)] != GfxAddressClamp;
        // Magnification and minification are not told apart (no mip maps): bilinear when either asks.
        st.bilinear = ts[static_cast<uint32_t>(StageState::MagFilter)] == GfxFilterLinear ||
                      ts[static_cast<uint32_t>(StageState::MinFilter)] == GfxFilterLinear;
        st.coordIndex = ts[static_cast<uint32_t>(StageState::TexCoordIndex)] & 1;
        p.stageCount = s + 1;
    }
    p.textureFactor = rs(RenderState::TextureFactor);
    p.alphaTest = rs(RenderState::AlphaTestEnable) != 0;
    uint32_t af = rs(RenderState::AlphaFunc);
    p.alphaFunc = KnownCompare(af) ? static_cast<CompareFunc>(af) : CompareFunc::Always;
    p.alphaRef = static_cast<int>(rs(RenderState::AlphaRef) & 0xFF);
    p.specularAdd = rs(RenderState::SpecularEnable) != 0;
    p.fog = rs(RenderState::FogEnable) != 0;
    uint32_t fc = rs(RenderState::FogColor);
    p.fogR = static_cast<int>((fc >> 16) & 0xFF);
    p.fogG = static_cast<int>((fc >> 8) & 0xFF);
    p.fogB = static_cast<int>(fc & 0xFF);
    p.blend = rs(RenderState::AlphaBlendEnable) != 0;
    uint32_t sb = rs(RenderState::SrcBlend), db = rs(RenderState::DestBlend);
    p.srcBlend = KnownBlend(sb) ? static_cast<BlendFactor>(sb) : BlendFactor::One;
    p.dstBlend = KnownBlend(db) ? static_cast<BlendFactor>(db) : BlendFactor::Zero;
    p.flat = rs(RenderState::ShadeMode) == GfxShadeFlat;
    p.clipX0 = d->viewport.x;
    p.clipY0 = d->viewport.y;
    p.clipX1 = d->viewport.x + d->viewport.width;
    p.clipY1 = d->viewport.y + d->viewport.height;
    ChooseSpanShader(&p);
    if (SpansCounted()) CountSpansOf(&p);
    // Primitives waiting in the batch name their pipelines by index; with none waiting (always so on one
    // thread, which draws every primitive at once) the earlier pipelines serve nothing any more.
    if (d->Gathering().prims.empty()) pipelines.clear();
    pipelines.push_back(p);
    d->dirty = false;
    return pipelines.back();
}

void ReadVertex(const Pipeline& p, const uint8_t* src, SetupVertex* out) {
    GfxVertex v;
    std::memcpy(&v, src, sizeof v);
    out->x = v.x;
    out->y = v.y;
    out->z = v.z;
    out->q = v.rhw;
    for (int i = 0; i < 4; ++i) {
        out->attr[i] = static_cast<float>((v.diffuse >> (8 * i)) & 0xFF);
        out->attr[4 + i] = static_cast<float>((v.specular >> (8 * i)) & 0xFF);
    }
    const float uv[2][2] = {{v.tu0, v.tv0}, {v.tu1, v.tv1}};
    for (int s = 0; s < 2; ++s) {
        const PipelineStage& st = p.stage[s];
        // Texel units x 256; bilinear samples are centred on the texels, half a texel in.
        double half = st.bilinear ? 128.0 : 0.0;
        double w = st.texels ? st.texW * 256.0 : 256.0, h = st.texels ? st.texH * 256.0 : 256.0;
        out->attr[8 + 2 * s] = static_cast<float>(static_cast<double>(uv[st.coordIndex][0]) * w - half);
        out->attr[9 + 2 * s] = static_cast<float>(static_cast<double>(uv[st.coordIndex][1]) * h - half);
    }
}

// A line or point: drawn at once on one thread, else gathered.
void Emit(GfxDevice* d, Primitive& prim) {
    const Pipeline& p = d->Pipelines().back();
    prim.pipeline = static_cast<uint32_t>(d->Pipelines().size() - 1);
    if (Immediate()) {
        RasterPrimitive(p, prim, p.clipY0, p.clipY1);
        return;
    }
    if (!FindRows(p, &prim)) return;
    const double length = prim.kind == kPrimLine ? std::fabs(prim.v[1].x - prim.v[0].x) +
                                                       static_cast<double>(prim.rowBottom - prim.rowTop)
                                                 : 1.0;
    Gather(d, prim, prim.rowTop, prim.rowBottom, std::min(length, 1.0e6));
}

void FlatColours(SetupVertex* v, const SetupVertex& first) {
    for (int i = 0; i < 8; ++i) v->attr[i] = first.attr[i];
}

void EmitTriangle(GfxDevice* d, const Pipeline& p, SetupVertex a, SetupVertex b, SetupVertex c) {
    uint32_t fill = d->rs[static_cast<uint32_t>(RenderState::FillMode)];
    uint32_t cull = d->rs[static_cast<uint32_t>(RenderState::CullMode)];
    if (p.flat) FlatColours(&b, a), FlatColours(&c, a);
    if (fill == GfxFillSolid || (fill != GfxFillPoint && fill != GfxFillWireframe)) {
        Primitive prim;
        if (!Immediate()) {
            // Set up later by the workers, in the bands its vertices reach; its cost is half the pixels of
            // its bounding box.
            int top = 0, bottom = 0;
            double box = 0;
            if (!TriangleRows(p, a, b, c, &top, &bottom, &box)) return;
            prim.kind = kPrimRawTriangle;
            prim.pipeline = static_cast<uint32_t>(d->Pipelines().size() - 1);
            Batch& batch = d->Gathering();
            batch.raw.push_back(RawTriangle{{a, b, c}, cull, static_cast<uint32_t>(batch.prims.size())});
            // (the batch may be handed over here: the triangle went with it)
            Gather(d, prim, top, bottom, box * 0.5);
            return;
        }
        if (!SetupTriangle(p, a, b, c, cull, &prim)) return;
        prim.pipeline = static_cast<uint32_t>(d->Pipelines().size() - 1);
        RasterPrimitive(p, prim, p.clipY0, p.clipY1);
        return;
    }
    // Culling applies to the outline and point forms too.
    double area = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
    if ((cull == GfxCullCw && area > 0) || (cull == GfxCullCcw && area < 0)) return;
    const SetupVertex* v[3] = {&a, &b, &c};
    Primitive prim;
    for (int i = 0; i < 3; ++i) {
        prim.kind = fill == GfxFillPoint ? kPrimPoint : kPrimLine;
        prim.v[0] = *v[i];
        prim.v[1] = *v[(i + 1) % 3];
        Emit(d, prim);
    }
}

}  // namespace

void FinishAllDevices() {
    for (GfxDevice* d : g_devices) Flush(d, false);
    WaitForWorkers();
}

void SubmitAllDevices() {
    for (GfxDevice* d : g_devices) Flush(d, false);
}

namespace {

// The one device drawing into the target, when a primitive reading `reads` (besides the target) can wait in
// its batch: null when drawing is immediate, when no device or two draw into the target (their order is
// not known here), or when a device draws into `reads` or its depth (it must be finished before it is read).
GfxDevice* QueueingDevice(const GfxSurface* target, const GfxSurface* reads) {
    if (Immediate()) return nullptr;
    GfxDevice* device = nullptr;
    for (GfxDevice* d : g_devices) {
        if (reads && (d->target == reads || (d->target && d->target->zbuffer == reads))) return nullptr;
        if (d->target == target) {
            if (device) return nullptr;
            device = d;
        }
    }
    return device;
}

void Queue(GfxDevice* d, Primitive& prim, int top, int bottom, double cost) {
    if (d->Pipelines().empty()) CurrentPipeline(d);
    prim.pipeline = static_cast<uint32_t>(d->Pipelines().size() - 1);
    Gather(d, prim, top, bottom, cost);
}

}  // namespace

bool QueueBlit(GfxSurface* dst, const GfxRect& to, const GfxSurface* src, const GfxRect& from, bool keyed) {
    GfxDevice* device = QueueingDevice(dst, src);
    if (!device) return false;
    Primitive prim;
    prim.kind = kPrimBlit;
    prim.blit = {src, dst, from, to, keyed && src->keyed, src->keyLow, src->keyHigh};
    const int top = std::max(to.top, 0), bottom = std::min(to.bottom, dst->height);
    const int left = std::max(to.left, 0), right = std::min(to.right, dst->width);
    if (top >= bottom || left >= right) return true;  // nothing of it lands on the target
    Queue(device, prim, top, bottom, static_cast<double>(bottom - top) * (right - left));
    return true;
}

bool QueuePresent(const GfxSurface* back, uint32_t* out, const uint8_t* lut) {
    GfxDevice* device = QueueingDevice(back, nullptr);
    if (!device) return false;
    Primitive prim;
    prim.kind = kPrimPresent;
    prim.present = {back, out, lut};
    // A row converted costs about an eighth of a row shaded.
    Queue(device, prim, 0, back->height, static_cast<double>(back->width) * back->height / 8);
    return true;
}

void DetachSurfaceFromDevices(GfxSurface* s) {
    for (GfxDevice* d : g_devices) {
        for (GfxSurface*& t : d->texture)
            if (t == s) t = nullptr, d->dirty = true;
        if (d->target == s) d->target = nullptr;
    }
    for (GfxDevice* d : g_devices)
        if (d->target && d->target->zbuffer == s) d->target->zbuffer = nullptr, d->dirty = true;
}

GfxDevice* CreateDevice(DeviceKind kind, GfxSurface* target) {
    if (!target || target->kind != SurfaceKind::RenderTarget) return nullptr;
    auto* d = new GfxDevice;
    d->kind = kind;
    d->target = target;
    SetDefaults(d);
    g_devices.push_back(d);
    return d;
}

void DeleteDevice(GfxDevice* d) {
    if (!d) return;
    Flush(d, true);
    g_devices.erase(std::remove(g_devices.begin(), g_devices.end(), d), g_devices.end());
    delete d;
}

size_t CompiledPipelineCount(const GfxDevice* d) {
    return d ? d->batches[d->gathering].pipelines.size() : 0;
}

GfxSurface* DeviceTarget(const GfxDevice* d) {
    return d ? d->target : nullptr;
}

GfxResult SetRenderState(GfxDevice* d, RenderState state, uint32_t value) {
    uint32_t i = static_cast<uint32_t>(state);
    if (!d || i >= kRenderStateCount) return GfxErrInvalidParams;
    if (d->rs[i] != value) d->rs[i] = value, d->dirty = true;
    return GfxOk;
}

uint32_t GetRenderState(const GfxDevice* d, RenderState state) {
    uint32_t i = static_cast<uint32_t>(state);
    return d && i < kRenderStateCount ? d->rs[i] : 0;
}

GfxResult SetTextureStageState(GfxDevice* d, int stage, StageState state, uint32_t value) {
    uint32_t i = static_cast<uint32_t>(state);
    if (!d || stage < 0 || stage >= kStageCount || i >= kStageStateCount) return GfxErrInvalidParams;
    if (state == StageState::Address) {
        d->ts[stage][static_cast<uint32_t>(StageState::AddressU)] = value;
        d->ts[stage][static_cast<uint32_t>(StageState::AddressV)] = value;
    }
    d->ts[stage][i] = value;
    d->dirty = true;
    return GfxOk;
}

uint32_t GetTextureStageState(const GfxDevice* d, int stage, StageState state) {
    uint32_t i = static_cast<uint32_t>(state);
    if (!d || stage < 0 || stage >= kStageCount || i >= kStageStateCount) return 0;
    return d->ts[stage][i];
}

GfxResult SetTexture(GfxDevice* d, int stage, GfxSurface* texture) {
    if (!d || stage < 0 || stage >= kStageCount) return GfxErrInvalidParams;
    if (texture && texture->kind != SurfaceKind::Texture) return GfxErrInvalidParams;
    if (d->texture[stage] != texture) d->texture[stage] = texture, d->dirty = true;
    return GfxOk;
}

GfxSurface* GetTexture(const GfxDevice* d, int stage) {
    return d && stage >= 0 && stage < kStageCount ? d->texture[stage] : nullptr;
}

GfxResult ValidateDevice(GfxDevice* d, uint32_t* passes) {
    if (passes) *passes = 1;
    if (!d) return GfxErrInvalidParams;
    for (int s = 0; s < kStageCount; ++s) {
        const uint32_t* ts = d->ts[s];
        uint32_t cop = ts[static_cast<uint32_t>(StageState::ColorOp)];
        if (!KnownOp(cop)) return GfxErrUnsupportedColourOp;
        if (cop == static_cast<uint32_t>(TextureOp::Disable)) break;
        if (!KnownArg(ts[static_cast<uint32_t>(StageState::ColorArg1)]) ||
            !KnownArg(ts[static_cast<uint32_t>(StageState::ColorArg2)]))
            return GfxErrUnsupportedColourArg;
        uint32_t aop = ts[static_cast<uint32_t>(StageState::AlphaOp)];
        if (!KnownOp(aop) || aop == static_cast<uint32_t>(TextureOp::ModulateAlphaAddColor))
            return GfxErrUnsupportedAlphaOp;
        if (!KnownArg(ts[static_cast<uint32_t>(StageState::AlphaArg1)]) ||
            !KnownArg(ts[static_cast<uint32_t>(StageState::AlphaArg2)]))
            return GfxErrUnsupportedAlphaArg;
    }
    if (!KnownBlend(d->rs[static_cast<uint32_t>(RenderState::SrcBlend)]) ||
        !KnownBlend(d->rs[static_cast<uint32_t>(RenderState::DestBlend)]))
        return GfxErrUnsupportedFactor;
    return GfxOk;
}

GfxResult SetViewport(GfxDevice* d, const GfxViewport& v) {
    if (!d || !d->target) return GfxErrInvalidParams;
    if (v.x < 0 || v.y < 0 || v.width < 0 || v.height < 0 || v.x + v.width > d->target->width ||
        v.y + v.height > d->target->height)
        return GfxErrInvalidParams;
    d->viewport = v;
    d->dirty = true;
    return GfxOk;
}

GfxViewport GetViewport(const GfxDevice* d) {
    return d ? d->viewport : GfxViewport{};
}

namespace {

// Clears a rectangle (already inside the viewport). On worker threads the clear joins the batch as a
// primitive of its own, drawn in its place among the others by the bands it covers; on one thread it is
// done at once.
void ClearRect(GfxDevice* d, const GfxRect& r, uint32_t flags, uint32_t c, uint32_t z16, uint32_t z24) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    // A pipeline that names the target and its z-buffer whatever the depth states are.
    Pipeline cp;
    GfxSurface* t = d->target;
    cp.colour = t->pixels;
    cp.colourPitch = t->pitch;
    cp.target565 = t->format == PixelFormat::RGB565;
    if (GfxSurface* zb = t->zbuffer) {
        cp.depth = zb->pixels;
        cp.depthPitch = zb->pitch;
        cp.depth16 = zb->format == PixelFormat::Z16;
    }
    Primitive prim;
    prim.kind = kPrimClear;
    prim.rowTop = r.top;
    prim.rowBottom = r.bottom;
    prim.clear = {r.left, r.right, flags, c, z16, z24};
    if (Immediate()) {
        RasterPrimitive(cp, prim, r.top, r.bottom);
        return;
    }
    d->Pipelines().push_back(cp);
    d->dirty = true;  // the next primitive compiles the states again
    prim.pipeline = static_cast<uint32_t>(d->Pipelines().size() - 1);
    // A clear writes memory without shading it: about a sixteenth of a span's pixel.
    Gather(d, prim, r.top, r.bottom, static_cast<double>(r.right - r.left) * (r.bottom - r.top) / 16);
}

}  // namespace

GfxResult Clear(GfxDevice* d, int count, const GfxRect* rects, uint32_t flags, uint32_t colour, float z,
                uint32_t) {
    if (!d || !d->target || count < 0 || (count > 0 && !rects)) return GfxErrInvalidParams;
    GfxSurface* zb = d->target->zbuffer;
    if ((flags & GfxClearZBuffer) && !zb) return GfxErrInvalidParams;
    const GfxViewport& vp = d->viewport;
    GfxRect whole{vp.x, vp.y, vp.x + vp.width, vp.y + vp.height};
    double zc = std::clamp(static_cast<double>(z), 0.0, 1.0);
    uint32_t z16 = static_cast<uint32_t>(std::min(std::floor(zc * 65536.0), 65535.0));
    uint32_t z24 = static_cast<uint32_t>(std::min(std::floor(zc * 16777216.0), 16777215.0)) << 8;
    uint32_t c = PackPixel(d->target->format, colour);
    for (int i = 0; i < std::max(count, 1); ++i) {
        GfxRect r = count ? rects[i] : whole;
        r.left = std::max(r.left, whole.left), r.top = std::max(r.top, whole.top);
        r.right = std::min(r.right, whole.right), r.bottom = std::min(r.bottom, whole.bottom);
        ClearRect(d, r, flags, c, z16, z24);
    }
    return GfxOk;
}

GfxResult BeginScene(GfxDevice* d) {
    return d ? GfxOk : GfxErrInvalidParams;
}
GfxResult EndScene(GfxDevice* d) {
    return d ? GfxOk : GfxErrInvalidParams;
}

GfxResult DrawPrimitive(GfxDevice* d, PrimitiveType type, uint32_t vertexFormat, const void* vertices,
                        int count) {
    if (!d || !d->target || vertexFormat != kGfxVertexFormat || count < 0 || (count > 0 && !vertices))
        return GfxErrInvalidParams;
    if (d->target->locked) return GfxErrSurfaceBusy;
    if (count == 0) return GfxOk;
    const Pipeline p = CurrentPipeline(d);
    const uint8_t* src = static_cast<const uint8_t*>(vertices);
    auto vertex = [&](int i, SetupVertex* out) {
        ReadVertex(p, src + static_cast<size_t>(i) * sizeof(GfxVertex), out);
    };
    SetupVertex a, b, c;
    if (static_cast<uint32_t>(type) < 1 || static_cast<uint32_t>(type) > 6) return GfxErrInvalidParams;
    switch (type) {
        case PrimitiveType::PointList:
            for (int i = 0; i < count; ++i) {
                Primitive prim;
                prim.kind = kPrimPoint;
                vertex(i, &prim.v[0]);
                Emit(d, prim);
            }
            break;
        case PrimitiveType::LineList:
        case PrimitiveType::LineStrip: {
            bool strip = type == PrimitiveType::LineStrip;
            for (int i = 0; i + 1 < count; i += strip ? 1 : 2) {
                Primitive prim;
                prim.kind = kPrimLine;
                vertex(i, &prim.v[0]);
                vertex(i + 1, &prim.v[1]);
                if (p.flat) FlatColours(&prim.v[1], prim.v[0]);
                Emit(d, prim);
            }
            break;
        }
        case PrimitiveType::TriangleList:
            for (int i = 0; i + 2 < count; i += 3) {
                vertex(i, &a), vertex(i + 1, &b), vertex(i + 2, &c);
                EmitTriangle(d, p, a, b, c);
            }
            break;
        case PrimitiveType::TriangleStrip:
            for (int i = 0; i + 2 < count; ++i) {
                vertex(i, &a), vertex(i + 1, &b), vertex(i + 2, &c);
                // Every second triangle of a strip is wound the other way round; swap to keep culling right.
                if (i & 1)
                    EmitTriangle(d, p, a, c, b);
                else
                    EmitTriangle(d, p, a, b, c);
            }
            break;
        case PrimitiveType::TriangleFan:
            vertex(0, &a);
            for (int i = 1; i + 1 < count; ++i) {
                vertex(i, &b), vertex(i + 1, &c);
                EmitTriangle(d, p, a, b, c);
            }
            break;
    }
    return GfxOk;
}

void FinishDrawing(GfxDevice* d) {
    if (d) Flush(d, true);
}

void SubmitDrawing(GfxDevice* d) {
    if (d) Flush(d, false);
}

}  // namespace host
