// Whole scenes compared with stored reference images (tests/host/data/scene_*.bmp, 24-bit): textured in
// perspective, fogged, blended, and overlapping in depth. Tolerance: every channel of every pixel within 2
// of the reference, so that a change of rounding passes and a change of what is drawn does not.
// Setting KV_UPDATE_SCENES=1 rewrites the references instead of comparing (look at them before keeping
// them).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "GfxTestUtil.h"
#include "support/Bmp24.h"
#include "tools/datakit/Bytes.h"
#include "tools/datakit/Texture.h"

using namespace host;
using gfxtest::Target;
using gfxtest::V;

namespace {

constexpr int kW = 96, kH = 72;

GfxSurface* PatternTexture() {
    GfxSurface* t = CreateSurface(16, 16, PixelFormat::ARGB8888, SurfaceKind::Texture, false);
    GfxLock lock;
    LockSurface(t, nullptr, &lock);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            bool check = ((x >> 2) ^ (y >> 2)) & 1;
            uint32_t c = check ? 0xFFE0C040u : 0xFF2040A0u;
            if (x == 0 || y == 0) c = 0xFFFFFFFFu;
            c = (c & 0xFF00FFFF) | static_cast<uint32_t>(x * 16) << 16;
            static_cast<uint32_t*>(lock.bits)[y * lock.pitch / 4 + x] = c;
        }
    UnlockSurface(t);
    return t;
}

void Draw(GfxDevice* d, PrimitiveType t, const std::vector<GfxVertex>& v) {
    gfxtest::Draw(d, t, v);
}

void SetModulate(GfxDevice* d) {
    SetTextureStageState(d, 0, StageState::ColorOp, static_cast<uint32_t>(TextureOp::Modulate));
    SetTextureStageState(d, 0, StageState::ColorArg1, GfxTaTexture);
    SetTextureStageState(d, 0, StageState::ColorArg2, GfxTaDiffuse);
    SetTextureStageState(d, 0, StageState::AlphaOp, static_cast<uint32_t>(TextureOp::Modulate));
    SetTextureStageState(d, 0, StageState::AlphaArg1, GfxTaTexture);
    SetTextureStageState(d, 0, StageState::AlphaArg2, GfxTaDiffuse);
}

void Bilinear(GfxDevice* d, bool on) {
    SetTextureStageState(d, 0, StageState::MagFilter, on ? GfxFilterLinear : GfxFilterPoint);
    SetTextureStageState(d, 0, StageState::MinFilter, on ? GfxFilterLinear : GfxFilterPoint);
}

// A floor receding toward the top, textured and repeated, and a point-sampled sprite over it.
void SceneTextured(Target& t, GfxSurface* tex) {
    GfxDevice* d = t.device;
    SetTexture(d, 0, tex);
    SetModulate(d);
    Bilinear(d, true);
    const float nearW = 1.0f, farW = 0.2f;
    Draw(d, PrimitiveType::TriangleFan,
         {V(36, 10, 0xFFFFFFFF, 0.9f, 0, 0, 0xFF000000u, farW),
          V(60, 10, 0xFFFFFFFF, 0.9f, 4, 0, 0xFF000000u, farW),
          V(96, 72, 0xFFFFC0C0, 0.1f, 4, 4, 0xFF000000u, nearW),
          V(0, 72, 0xFFC0C0FF, 0.1f, 0, 4, 0xFF000000u, nearW)});
    Bilinear(d, false);
    SetRenderState(d, RenderState::ZEnable, 0);
    Draw(d, PrimitiveType::TriangleFan,
         {V(4, 4, 0xFFFFFFFF, 0, 0, 0), V(20, 4, 0xFFFFFFFF, 0, 1, 0), V(20, 20, 0xFFFFFFFF, 0, 1, 1),
          V(4, 20, 0xFFFFFFFF, 0, 0, 1)});
}

// Walls at three distances, fogged toward a blue-grey by their vertices' fog factors.
void SceneFogged(Target& t, GfxSurface* tex) {
    GfxDevice* d = t.device;
    SetTexture(d, 0, tex);
    SetModulate(d);
    Bilinear(d, true);
    SetRenderState(d, RenderState::FogEnable, 1);
    SetRenderState(d, RenderState::FogColor, 0x8090A0);
    SetRenderState(d, RenderState::ZEnable, 1);
    struct Wall {
        float x0, y0, x1, y1, z;
        uint32_t fogNear, fogFar;
    } walls[] = {{2, 20, 50, 70, 0.3f, 0xFF, 0xC0},
                 {30, 8, 80, 50, 0.6f, 0xA0, 0x60},
                 {56, 2, 94, 30, 0.8f, 0x40, 0x00}};
    for (const Wall& w : walls) {
        uint32_t a = w.fogNear << 24, b = w.fogFar << 24;
        Draw(d, PrimitiveType::TriangleStrip,
             {V(w.x0, w.y0, 0xFFFFFFFF, w.z, 0, 0, a), V(w.x1, w.y0, 0xFFFFFFFF, w.z, 2, 0, b),
              V(w.x0, w.y1, 0xFFFFFFFF, w.z, 0, 2, a), V(w.x1, w.y1, 0xFFFFFFFF, w.z, 2, 2, b)});
    }
}

std::vector<GfxVertex> Disc(float cx, float cy, float r, uint32_t centre, uint32_t rim) {
    std::vector<GfxVertex> v = {V(cx, cy, centre)};
    for (int i = 0; i <= 16; ++i) {
        double a = 2 * 3.14159265358979 * (i % 16) / 16;
        v.push_back(
            V(cx + r * static_cast<float>(std::cos(a)), cy + r * static_cast<float>(std::sin(a)), rim));
    }
    return v;
}

// A shaded background with translucent, additive and premultiplied discs over it.
void SceneBlended(Target& t) {
    GfxDevice* d = t.device;
    Draw(d, PrimitiveType::TriangleStrip,
         {V(0, 0, 0xFF203040), V(96, 0, 0xFF402010), V(0, 72, 0xFF104020), V(96, 72, 0xFF303030)});
    SetRenderState(d, RenderState::AlphaBlendEnable, 1);
    SetRenderState(d, RenderState::SrcBlend, static_cast<uint32_t>(BlendFactor::SrcAlpha));
    SetRenderState(d, RenderState::DestBlend, static_cast<uint32_t>(BlendFactor::InvSrcAlpha));
    Draw(d, PrimitiveType::TriangleFan, Disc(30, 30, 24, 0xC0FF4040, 0x20FF4040));
    Draw(d, PrimitiveType::TriangleFan, Disc(52, 36, 24, 0x8040FF40, 0x8040FF40));
    SetRenderState(d, RenderState::SrcBlend, static_cast<uint32_t>(BlendFactor::One));
    SetRenderState(d, RenderState::DestBlend, static_cast<uint32_t>(BlendFactor::One));
    Draw(d, PrimitiveType::TriangleFan, Disc(64, 50, 20, 0xFF4060C0, 0xFF000000));
    SetRenderState(d, RenderState::DestBlend, static_cast<uint32_t>(BlendFactor::InvSrcAlpha));
    Draw(d, PrimitiveType::TriangleFan, Disc(24, 56, 14, 0x80808080, 0x00000000));
}

// Two triangles passing through each other, a third behind both, lines and points on top.
void SceneOverlapping(Target& t) {
    GfxDevice* d = t.device;
    SetRenderState(d, RenderState::ZEnable, 1);
    Draw(d, PrimitiveType::TriangleList,
         {V(4, 8, 0xFFE04020, 0.1f), V(90, 30, 0xFFE04020, 0.9f), V(10, 66, 0xFFE04020, 0.1f),
          V(92, 6, 0xFF20A0E0, 0.2f), V(88, 68, 0xFF20A0E0, 0.2f), V(6, 36, 0xFF40E040, 0.8f),
          V(20, 2, 0xFFFFFF00, 0.95f), V(80, 2, 0xFFFFFF00, 0.95f), V(50, 70, 0xFFFF00FF, 0.95f)});
    Draw(d, PrimitiveType::LineStrip,
         {V(2, 70, 0xFFFFFFFF, 0.0f), V(48, 40, 0xFF000000, 0.0f), V(94, 70, 0xFFFFFFFF, 0.0f)});
    Draw(d, PrimitiveType::PointList,
         {V(48, 4, 0xFFFFFFFF, 0.0f), V(50, 4, 0xFFFFFFFF, 0.0f), V(52, 4, 0xFFFFFFFF, 0.0f)});
}

void Compare(const std::string& name, const std::vector<uint32_t>& pixels) {
    std::string path = std::string(KV_SOURCE_DIR) + "/tests/host/data/scene_" + name + ".bmp";
    const char* update = std::getenv("KV_UPDATE_SCENES");
    if (update && std::string(update) == "1") {
        ASSERT_TRUE(datakit::WriteFile(path, datakit::Bmp24(kW, kH, pixels)));
        return;
    }
    int refW = 0, refH = 0;
    std::vector<uint32_t> ref;
    ASSERT_TRUE(kvtest::ReadBmp24(path, &refW, &refH, &ref)) << path;
    ASSERT_EQ(refW, kW);
    ASSERT_EQ(refH, kH);
    int bad = 0;
    for (size_t i = 0; i < pixels.size(); ++i)
        for (int sh = 0; sh < 24; sh += 8) {
            int a = static_cast<int>((pixels[i] >> sh) & 0xFF),
                b = static_cast<int>((ref[i] >> sh) & 0xFF);
            if (std::abs(a - b) > 2 && bad++ < 5)
                ADD_FAILURE() << name << " pixel " << i % kW << "," << i / kW << std::hex << " got "
                              << pixels[i] << " reference " << ref[i];
        }
    EXPECT_EQ(bad, 0) << name;
}

TEST(GfxScenes, MatchTheirReferenceImages) {
    for (PixelFormat zf : {PixelFormat::Z24, PixelFormat::Z16}) {
        GfxSurface* tex = PatternTexture();
        {
            Target t(kW, kH, PixelFormat::XRGB8888, zf);
            SceneTextured(t, tex);
            Compare("textured", t.Pixels());
        }
        {
            Target t(kW, kH, PixelFormat::XRGB8888, zf);
            SceneFogged(t, tex);
            Compare("fogged", t.Pixels());
        }
        {
            Target t(kW, kH, PixelFormat::XRGB8888, zf);
            SceneBlended(t);
            Compare("blended", t.Pixels());
        }
        {
            Target t(kW, kH, PixelFormat::XRGB8888, zf);
            SceneOverlapping(t);
            Compare("overlapping", t.Pixels());
        }
        DeleteSurface(tex);
    }
}

}  // namespace
