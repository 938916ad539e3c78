// Span statistics for the benchmarks: while counting is on, each compiled pipeline's span shader is
// wrapped by one that adds the span to the counts of the pipeline's states before drawing it.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <deque>
#include <mutex>

#include "host/Gfx_local.h"

namespace host {
namespace {

struct Counter {
    std::string states;
    const char* shader;
    std::atomic<uint64_t> spans{0}, pixels{0};
};

bool g_counting = false;
std::mutex g_mutex;
std::deque<Counter> g_counters;  // a deque keeps the counters where they are while it grows

const char* OpName(uint32_t op) {
    switch (static_cast<TextureOp>(op)) {
        case TextureOp::Disable:
            return "off";
        case TextureOp::SelectArg1:
            return "arg1";
        case TextureOp::SelectArg2:
            return "arg2";
        case TextureOp::Modulate:
            return "mul";
        case TextureOp::Modulate2x:
            return "mul2x";
        case TextureOp::Modulate4x:
            return "mul4x";
        case TextureOp::Add:
            return "add";
        case TextureOp::AddSigned:
            return "addsigned";
        case TextureOp::Subtract:
            return "sub";
        case TextureOp::BlendDiffuseAlpha:
            return "blenddiffusealpha";
        case TextureOp::BlendTextureAlpha:
            return "blendtexturealpha";
        case TextureOp::BlendCurrentAlpha:
            return "blendcurrentalpha";
        case TextureOp::ModulateAlphaAddColor:
            return "mulalphaadd";
    }
    return "?";
}

std::string ArgName(uint32_t arg) {
    static const char* const names[] = {"dif", "cur", "tex", "tfac", "spec"};
    const uint32_t sel = arg & GfxTaSelectMask;
    std::string s = sel < 5 ? names[sel] : "?";
    if (arg & GfxTaComplement) s = "1-" + s;
    if (arg & GfxTaAlphaReplicate) s += ".a";
    return s;
}

std::string Operation(uint32_t op, uint32_t a1, uint32_t a2) {
    switch (static_cast<TextureOp>(op)) {
        case TextureOp::Disable:
            return "off";
        case TextureOp::SelectArg1:
            return ArgName(a1);
        case TextureOp::SelectArg2:
            return ArgName(a2);
        default:
            return std::string(OpName(op)) + "(" + ArgName(a1) + "," + ArgName(a2) + ")";
    }
}

const char* BlendName(BlendFactor f) {
    static const char* const names[] = {"?",    "0",  "1",    "sc", "1-sc", "sa",
                                        "1-sa", "da", "1-da", "dc", "1-dc", "sasat"};
    const auto i = static_cast<uint32_t>(f);
    return i < 12 ? names[i] : "?";
}

// The pipeline's states in words, e.g. "s0 mul(tex,dif)/mul(tex,dif) bilinear wrap 64x64 | blend sa,1-sa".
std::string Describe(const Pipeline& p) {
    std::string s;
    for (int t = 0; t < p.stageCount; ++t) {
        const PipelineStage& st = p.stage[t];
        char size[40] = "";
        if (st.texels) std::snprintf(size, sizeof size, " %dx%d", st.texW, st.texH);
        s += (t ? " | s" : "s") + std::to_string(t) + " " +
             Operation(st.colourOp, st.colourArg1, st.colourArg2) + "/" +
             Operation(st.alphaOp, st.alphaArg1, st.alphaArg2);
        if (st.texels)
            s += std::string(st.bilinear ? " bilinear" : " point") + (st.wrapU ? " wrap" : " clamp") +
                 (st.wrapV == st.wrapU ? "" : (st.wrapV ? "/wrap" : "/clamp")) + size;
    }
    if (p.stageCount == 0) s = "diffuse";
    if (p.blend) s += std::string(" | blend ") + BlendName(p.srcBlend) + "," + BlendName(p.dstBlend);
    if (p.alphaTest) s += " | alpha test";
    if (p.specularAdd) s += " | specular";
    if (p.fog) s += " | fog";
    if (p.depth) s += p.zWrite ? " | z write" : " | z test";
    if (p.target565) s += " | 565";
    return s;
}

void CountingSpan(const Pipeline& p, const SpanSetup& a, int x, int y, int n) {
    Counter& c = g_counters[p.countIndex];
    c.spans.fetch_add(1, std::memory_order_relaxed);
    c.pixels.fetch_add(static_cast<uint64_t>(n), std::memory_order_relaxed);
    p.countedSpan(p, a, x, y, n);
}

}  // namespace

void CountSpans(bool on) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_counting = on;
    if (on) g_counters.clear();
}

bool SpansCounted() {
    return g_counting;
}

void CountSpansOf(Pipeline* p) {
    const std::string states = Describe(*p);
    const char* shader = p->span == GeneralSpan ? "general" : "fast";
    std::lock_guard<std::mutex> lock(g_mutex);
    size_t i = 0;
    while (i < g_counters.size() && (g_counters[i].states != states || g_counters[i].shader != shader)) ++i;
    if (i == g_counters.size()) {
        g_counters.emplace_back();
        g_counters.back().states = states;
        g_counters.back().shader = shader;
    }
    p->countIndex = static_cast<uint32_t>(i);
    p->countedSpan = p->span;
    p->span = CountingSpan;
}

std::vector<GfxSpanCount> TakeSpanCounts() {
    std::lock_guard<std::mutex> lock(g_mutex);
    std::vector<GfxSpanCount> out;
    for (Counter& c : g_counters) {
        out.push_back({c.states, c.shader, c.spans.load(), c.pixels.load()});
        c.spans = 0;
        c.pixels = 0;
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const GfxSpanCount& a, const GfxSpanCount& b) { return a.pixels > b.pixels; });
    return out;
}

}  // namespace host
