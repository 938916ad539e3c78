// Construct drawing: the near-plane clipper, the object polygon routines, the transform with its
// frustum test and lights, the face collection and its order, the draw-time limits, billboards, the
// immediate routines and the texture-stage presets.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "ObjectScene.h"
#include "host/Gfx.h"
#include "platform/Dxgl.h"
#include "platform/Palette.h"
#include "platform/Texture.h"
#include "render/BBoardDraw.h"
#include "render/ConstructDraw.h"
#include "render/Deferred.h"
#include "render/Immediate.h"
#include "render/Light.h"
#include "render/ObjectPoly.h"
#include "render/PolyClip.h"
#include "render/RenderTables.h"
#include "render/Stamps.h"
#include "render/TexStages.h"
#include "render/Terrain.h"
#include "render/View.h"
#include "world/Terrain.h"
#include "ai/Clan.h"
#include "objects/Units.h"
#include "render/Viewport.h"
#include "world/ConstructPool.h"
#include "support/MemTrack.h"

namespace {

using kvtest::FaceSpec;

// The current view of a camera at the origin looking along +z, with a small software device; puts back
// what it changed.
class ViewFixture : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = {D3DDevice, BackBuffer, ZBufferSurface, SurfaceWidth, SurfaceHeight, ScreenHeightF, SunLight,
                  ViewStamp, MainPassFlag, ReflectPassFlag, ObjectRoutines, ObjectRoutinesB, DetailLevel, RenderMode, ZBufferBits};
        target_ = host::CreateSurface(kW, kH, host::PixelFormat::XRGB8888, host::SurfaceKind::RenderTarget, false);
        z_ = host::CreateSurface(kW, kH, host::PixelFormat::Z24, host::SurfaceKind::ZBuffer, false);
        host::AttachZBuffer(target_, z_);
        device_ = host::CreateDevice(host::DeviceKind::Software, target_);
        D3DDevice = device_;
        BackBuffer = target_;
        ZBufferSurface = z_;
        ZBufferBits = 24;
        SurfaceWidth = kW;
        SurfaceHeight = kH;
        ScreenHeightF = float(kH);
        using host::RenderState;
        host::SetRenderState(device_, RenderState::CullMode, host::GfxCullNone);
        host::SetRenderState(device_, RenderState::SrcBlend, uint32_t(host::BlendFactor::One));
        host::SetRenderState(device_, RenderState::DestBlend, uint32_t(host::BlendFactor::One));
        RenderMode = 5;
        DetailLevel = 3;
        InstallRenderRoutines(0);
        SunLight = nullptr;
        MainPassFlag = ReflectPassFlag = 0;
        ClearDeferredLists();
        ClearFlareList();
        SetView({0, 0, 0}, {{32768, 0, 0, 0, 32768, 0, 0, 0, 32768}});
        FogScale = 0;
        dxgl_SetDepthFog(0);
    }
    void TearDown() override {
        host::DeleteDevice(device_);
        host::DeleteSurface(target_);
        host::DeleteSurface(z_);
        D3DDevice = saved_.device;
        BackBuffer = saved_.back;
        ZBufferSurface = saved_.z;
        SurfaceWidth = saved_.w;
        SurfaceHeight = saved_.h;
        ScreenHeightF = saved_.hf;
        SunLight = saved_.sun;
        ViewStamp = saved_.stamp;
        MainPassFlag = saved_.main;
        ReflectPassFlag = saved_.reflect;
        ObjectRoutines = saved_.a;
        ObjectRoutinesB = saved_.b;
        DetailLevel = saved_.detail;
        RenderMode = saved_.mode;
        ZBufferBits = saved_.zbits;
        ClearDeferredLists();
        ClearFlareList();
        ViewTarget = nullptr;
        ViewOverlayFlag = 0;
    }
    // Focal length 80 on a 160 x 120 view.
    static void SetView(FixVec eye, FixMatrix m) {
        EyePos = eye;
        ViewMatrix = m;
        FocalX = FocalY = 80;
        ProjMatrix = m;
        for (int c = 0; c < 3; ++c) {
            ProjMatrix.m[c] = int32_t((int64_t(m.m[c]) * FocalX) >> 10);
            ProjMatrix.m[3 + c] = int32_t((int64_t(m.m[3 + c]) * FocalY) >> 10);
        }
        ViewCentreX = kW / 2, ViewCentreY = kH / 2;
        ViewCentreXF = float(ViewCentreX), ViewCentreYF = float(ViewCentreY);
        ViewWidth = kW, ViewHeight = kH;
        NearPlane = 500;
        ViewColour[0] = ViewColour[1] = ViewColour[2] = 255;
        AdvanceViewStamp();
    }
    void Clear() { host::Clear(device_, 0, nullptr, host::GfxClearTarget | host::GfxClearZBuffer, 0, 1.0f, 0); }
    uint32_t Pixel(int x, int y) {
        host::FinishDrawing(device_);
        return host::ReadPixelArgb(target_, x, y) & 0xFFFFFFu;
    }
    int LitPixels() {
        host::FinishDrawing(device_);
        int n = 0;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) n += (host::ReadPixelArgb(target_, x, y) & 0xFFFFFFu) != 0;
        return n;
    }
    // A point already in camera space (world units, z ahead) with its projection.
    static GeomPoint CamPoint(int32_t x, int32_t y, int32_t z) {
        GeomPoint p{};
        p.view[0] = x, p.view[1] = y, p.view[2] = z;
        FixVec v = {x * FocalX / 1024, y * FocalY / 1024, z};
        ScreenPointRhw s;
        ProjectToScreenRhw(&s, &v, ViewCentreXF, ViewCentreYF);
        p.screen[0] = s.x, p.screen[1] = s.y, p.screen[2] = s.depth, p.screen[3] = s.rhw;
        return p;
    }

    static constexpr int kW = 160, kH = 120;
    struct Saved {
        host::GfxDevice* device;
        host::GfxSurface *back, *z;
        int32_t w, h;
        float hf;
        DirLight* sun;
        uint16_t stamp;
        int32_t main, reflect;
        const ObjectRoutineSet *a, *b;
        int32_t detail, mode, zbits;
    } saved_{};
    host::GfxSurface *target_ = nullptr, *z_ = nullptr;
    host::GfxDevice* device_ = nullptr;
};

// A face record with room for n corners in a buffer the test owns.
struct FaceBuf {
    explicit FaceBuf(int n) : bytes(size_t(FaceBytes(n)) + 16, 0) {}
    GeomFace* face() { return reinterpret_cast<GeomFace*>(bytes.data()); }
    std::vector<uint8_t> bytes;
};

// ---- The clipper ---------------------------------------------------------------------------------

std::vector<std::vector<GeomPoint>> Emitted;
std::vector<GeomFace> EmittedHeaders;
void Record(GeomFace* f) {
    std::vector<GeomPoint> pts;
    for (int k = 0; k < f->vertexCount; ++k) {
        GeomPoint p = *FaceVerts(f)[k].point;
        p.sphere[0] = FaceVerts(f)[k].u;  // the corner's u and v ride along in the copy
        p.sphere[1] = FaceVerts(f)[k].v;
        pts.push_back(p);
    }
    Emitted.push_back(pts);
    EmittedHeaders.push_back(*f);
}

TEST_F(ViewFixture, ClipperCutsAtTheNearPlaneInterpolatingEveryAttribute) {
    struct Case {
        int32_t z[3];
        int corners;  // emitted, 0 for nothing
    } cases[] = {
        {{400, 1000, 1000}, 4},  // one corner in front: a quadrilateral
        {{400, 400, 1000}, 3},   // two in front: a triangle
        {{500, 500, 1000}, 3},   // exactly at the plane counts as in front
        {{400, 300, 200}, 0},    // wholly in front
        {{1000, 900, 800}, 3},   // wholly beyond: unchanged
    };
    for (const Case& c : cases) {
        GeomPoint pts[3];
        for (int i = 0; i < 3; ++i) {
            pts[i] = CamPoint(1000 * i, 500 * i, c.z[i]);
            for (int k = 0; k < 4; ++k) pts[i].lit[k] = uint8_t(40 + 100 * i), pts[i].lightSum[k] = uint8_t(200 - 90 * i);
            pts[i].sphere[0] = 0.2f * float(i), pts[i].sphere[1] = 1.0f - 0.2f * float(i);
        }
        FaceBuf buf(3);
        GeomFace* f = buf.face();
        f->vertexCount = 3;
        f->type = 6, f->flags = 0x2, f->alpha = 77, f->extra = 12, f->colour[0] = 9, f->lit[3] = 66;
        for (int i = 0; i < 3; ++i) FaceVerts(f)[i] = {&pts[i], float(i), 2.0f * float(i)};
        // Something stale in the shared record must not leak into the clipped face.
        TmpFace()->flags = 0xFF, TmpFace()->alpha = 1;
        Emitted.clear();
        EmittedHeaders.clear();
        ClipAndEmitPolygon(Record, f);
        if (c.corners == 0) {
            EXPECT_TRUE(Emitted.empty()) << c.z[0];
            continue;
        }
        ASSERT_EQ(Emitted.size(), 1u) << c.z[0];
        ASSERT_EQ(int(Emitted[0].size()), c.corners) << c.z[0];
        const GeomFace& h = EmittedHeaders[0];
        EXPECT_EQ(h.flags, 0x2);
        EXPECT_EQ(h.alpha, 77);
        EXPECT_EQ(h.extra, 12);
        EXPECT_EQ(h.type, 6);
        EXPECT_EQ(h.lit[3], 66);
        for (const GeomPoint& p : Emitted[0]) {
            EXPECT_GE(p.view[2], 500);
            if (p.view[2] != 500) continue;
            // A new corner on the edge from corner a to corner b: every attribute at the same fraction.
            const double t = p.view[0] / 1000.0;  // x runs 0, 1000, 2000 with the corner number
            if (t <= 0.0 || t >= 2.0) continue;
            EXPECT_NEAR(p.sphere[0], t, 0.01) << "u";
            EXPECT_NEAR(p.sphere[1], 2 * t, 0.02) << "v";
            EXPECT_NEAR(p.lit[0], 40 + 100 * t, 1.01);
            EXPECT_NEAR(p.lightSum[0], 200 - 90 * t, 1.01);
        }
    }
}

TEST_F(ViewFixture, ClipperHalfwayCornersTakeTheMeanAndTheSphereMapAndUnitRhwCarry) {
    GeomPoint a = CamPoint(0, 0, 0), b = CamPoint(2000, 0, 1000), c = CamPoint(0, 2000, 1000);
    a.screen[3] = 1.0f;
    a.sphere[0] = 0.0f, b.sphere[0] = 1.0f;
    FaceBuf buf(3);
    GeomFace* f = buf.face();
    f->vertexCount = 3;
    FaceVerts(f)[0] = {&a, 0.0f, 0.5f};
    FaceVerts(f)[1] = {&b, 1.0f, 0.5f};
    FaceVerts(f)[2] = {&c, 0.0f, 1.5f};
    Emitted.clear();
    ClipAndEmitPolygon(Record, f);
    ASSERT_EQ(Emitted.size(), 1u);
    ASSERT_EQ(Emitted[0].size(), 4u);
    // The cut of a-b lies halfway (z 0 to 1000 at 500): u and v are the means.
    const GeomPoint* mid = nullptr;
    for (const GeomPoint& p : Emitted[0])
        if (p.view[2] == 500 && p.view[0] == 1000) mid = &p;
    ASSERT_NE(mid, nullptr);
    EXPECT_FLOAT_EQ(mid->sphere[0], 0.5f);  // the corner's u (see Record)
    EXPECT_FLOAT_EQ(mid->sphere[1], 0.5f);
    // The corner before the cut drew with rhw 1.0: the new one keeps it in the plain variant only.
    const GeomPoint* fromC = nullptr;
    for (const GeomPoint& p : Emitted[0])
        if (p.view[2] == 500 && p.view[1] == 1000) fromC = &p;
    ASSERT_NE(fromC, nullptr);
    EXPECT_NE(fromC->screen[3], 1.0f) << "the corner before this cut (c) has its own rhw";
    Emitted.clear();
    ClipAndEmitPolygonLight(Record, f);
    ASSERT_EQ(Emitted.size(), 1u);
    for (const GeomPoint& p : Emitted[0])
        if (p.view[2] == 500 && p.view[0] == 1000) {
            EXPECT_NE(p.screen[3], 1.0f);
        }
}

TEST_F(ViewFixture, ClipperReadsAFaceBuiltInItsOwnOutputRecord) {
    // Billboard quads are built in the shared record the clipper writes to.
    GeomPoint pts[4] = {CamPoint(-1000, -1000, 300), CamPoint(1000, -1000, 1500), CamPoint(1000, 1000, 1500),
                        CamPoint(-1000, 1000, 1500)};
    GeomFace* f = TmpFace();
    std::memset(f, 0, sizeof *f);
    f->vertexCount = 4;
    f->alpha = 200;
    for (int i = 0; i < 4; ++i) FaceVerts(f)[i] = {&pts[i], float(i), 0.0f};
    Emitted.clear();
    ClipAndEmitPolygon(Record, f);
    ASSERT_EQ(Emitted.size(), 1u);
    ASSERT_EQ(Emitted[0].size(), 5u);
    for (const GeomPoint& p : Emitted[0]) EXPECT_GE(p.view[2], 500);
    EXPECT_EQ(EmittedHeaders.back().alpha, 200);
}

// ---- Object polygon routines -----------------------------------------------------------------------

TEST_F(ViewFixture, FansBeyondTheVertexLimitAreSplitNotCut) {
    // A disc of 200 corners: every sector is drawn, the last ones included.
    constexpr int kN = 200;
    std::vector<GeomPoint> pts(kN);
    for (int i = 0; i < kN; ++i) {
        const double a = 2 * M_PI * i / kN;
        pts[size_t(i)] = CamPoint(int32_t(std::cos(a) * 9000), int32_t(std::sin(a) * 9000), 10000);
    }
    FaceBuf buf(kN);
    GeomFace* f = buf.face();
    f->vertexCount = kN;
    f->type = 0;
    f->colour[0] = f->colour[1] = f->colour[2] = 250;
    f->nearZ = 10000;
    for (int i = 0; i < kN; ++i) FaceVerts(f)[i] = {&pts[size_t(i)], 0, 0};
    Clear();
    DrawCallCount = TriangleCount = 0;
    DrawPolyFlat(f);
    EXPECT_FLOAT_EQ(DrawCallCount, 2.0f);
    EXPECT_FLOAT_EQ(TriangleCount, float(kN - 2));
    // Sample points just inside the rim all round (screen radius 9000 * 80 / 1024 / 10000 * 1024 = 72 px
    // is clipped by the view; take radius 40 px).
    for (int deg = 0; deg < 360; deg += 10) {
        const double a = deg * M_PI / 180;
        const int x = int(80 + std::cos(a) * 40), y = int(60 - std::sin(a) * 40);
        EXPECT_NE(Pixel(x, y), 0u) << deg;
    }
    DrawCallCount = TriangleCount = 0;
}

TEST_F(ViewFixture, DetailLevelsPickWireAndUntexturedRoutines) {
    GeomPoint pts[4] = {CamPoint(-3000, -3000, 4000), CamPoint(3000, -3000, 4000), CamPoint(3000, 3000, 4000),
                        CamPoint(-3000, 3000, 4000)};
    for (GeomPoint& p : pts) p.lightSum[0] = p.lightSum[1] = p.lightSum[2] = 255;
    FaceBuf buf(4);
    GeomFace* f = buf.face();
    f->vertexCount = 4;
    f->colour[0] = 200, f->colour[1] = 100, f->colour[2] = 50;
    f->nearZ = 4000;
    for (int i = 0; i < 4; ++i) FaceVerts(f)[i] = {&pts[i], float(i & 1), float(i >> 1)};
    // Detail 0: a white line strip through the four corners, not closed.
    DetailLevel = 0;
    InstallRenderRoutines(0);
    Clear();
    f->type = 2;
    ObjectRoutines->routine[2](f);
    EXPECT_EQ(LastPrimitiveType, kPrimLineStrip);
    EXPECT_EQ(LastVertexCount, 4);
    EXPECT_EQ(Pixel(80, 60), 0u) << "the outline is not filled";
    const int outline = LitPixels();
    EXPECT_GT(outline, 0);
    // Detail 1: type 6 draws exactly as type 2 (untextured Gouraud).
    DetailLevel = 1;
    InstallRenderRoutines(0);
    Clear();
    f->type = 2;
    ObjectRoutines->routine[2](f);
    host::FinishDrawing(device_);
    std::vector<uint32_t> gouraud;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) gouraud.push_back(Pixel(x, y));
    Clear();
    f->type = 6;
    ObjectRoutines->routine[6](f);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) ASSERT_EQ(Pixel(x, y), gouraud[size_t(y * kW + x)]);
    EXPECT_EQ(Pixel(80, 60), 0xC76331u) << "light sum 255 times the face colour, >> 8";
}

TEST_F(ViewFixture, TranslucentFaceBeforeTheNearPlaneIsClippedAndKeepsItsAlpha) {
    GeomPoint pts[3] = {CamPoint(-4000, -3000, 499), CamPoint(4000, -3000, 3000), CamPoint(0, 4000, 3000)};
    FaceBuf buf(3);
    GeomFace* f = buf.face();
    f->vertexCount = 3;
    f->type = 0;
    f->colour[0] = f->colour[1] = f->colour[2] = 254;
    f->alpha = 128;
    f->nearZ = 499;
    for (int i = 0; i < 3; ++i) FaceVerts(f)[i] = {&pts[i], 0, 0};
    Clear();
    DrawCallCount = 0;
    CurrentOpacity = 128;
    ObjectRoutinesB->routine[0](f);
    EXPECT_FLOAT_EQ(DrawCallCount, 1.0f);
    // Blended over black with alpha 128.
    const uint32_t p = Pixel(80, 50);
    EXPECT_NEAR(int(p & 0xFF), 127, 2);
    // A corner exactly at 500 is drawn without the clipper.
    pts[0] = CamPoint(-4000, -3000, 500);
    Emitted.clear();
    DrawCallCount = 0;
    ObjectRoutinesB->routine[0](f);
    EXPECT_FLOAT_EQ(DrawCallCount, 1.0f);
    CurrentOpacity = 255;
    DrawCallCount = 0;
}

TEST_F(ViewFixture, MainPassDefersGlowAndAlphaTexturedFacesUpToTheLimit) {
    GeomPoint pts[3] = {CamPoint(-3000, -3000, 3000), CamPoint(3000, -3000, 3000), CamPoint(0, 3000, 3000)};
    FaceBuf buf(3);
    GeomFace* f = buf.face();
    f->vertexCount = 3;
    f->type = 9;
    for (int i = 0; i < 3; ++i) FaceVerts(f)[i] = {&pts[i], 0, 0}, pts[i].lit[0] = 255;
    Clear();
    MainPassFlag = 1;
    DrawCallCount = 0;
    ObjectRoutines->routine[9](f);
    EXPECT_FLOAT_EQ(DrawCallCount, 0.0f) << "a glow face waits for the end of the scene";
    EXPECT_EQ(DeferredFaceCount, 1);
    for (int i = 1; i < kDeferredFaceLimit; ++i) ObjectRoutines->routine[9](f);
    EXPECT_EQ(DeferredFaceCount, kDeferredFaceLimit);
    EXPECT_EQ(DeferredFaceOverflow, 0);
    ObjectRoutines->routine[9](f);
    EXPECT_EQ(DeferredFaceCount, kDeferredFaceLimit);
    EXPECT_EQ(DeferredFaceOverflow, 1);
    EXPECT_FLOAT_EQ(DrawCallCount, 0.0f);
    MainPassFlag = 0;
    DeferredFaceCount = 1;
    DrawDeferredLists();
    EXPECT_FLOAT_EQ(DrawCallCount, 1.0f);
    EXPECT_EQ(Pixel(80, 60) >> 16, 255u);
    // An alpha-textured face is deferred by the textured routines; a plain textured one is not.
    Tex tex{};
    tex.surface = kvtest::CheckerSurface(16, 0xFFFFFFFF, 0x80FF0000, true);
    f->texture = &tex;
    f->type = 5;
    ClearDeferredLists();
    MainPassFlag = 1;
    tex.blackTransparent = 1;
    ObjectRoutines->routine[5](f);
    EXPECT_EQ(DeferredFaceCount, 1);
    tex.blackTransparent = 0;
    ObjectRoutines->routine[5](f);
    EXPECT_EQ(DeferredFaceCount, 1);
    MainPassFlag = 0;
    ClearDeferredLists();
    host::DeleteSurface(tex.surface);
    DrawCallCount = 0;
}

TEST_F(ViewFixture, RoutinesLeaveTheRestingStates) {
    GeomPoint pts[3] = {CamPoint(-3000, -3000, 3000), CamPoint(3000, -3000, 3000), CamPoint(0, 3000, 3000)};
    FaceBuf buf(3);
    GeomFace* f = buf.face();
    f->vertexCount = 3;
    for (int i = 0; i < 3; ++i) FaceVerts(f)[i] = {&pts[i], 0, 0};
    Tex tex{};
    tex.surface = kvtest::CheckerSurface(16, 0xFFFFFFFF, 0xFF000000);
    f->texture = &tex;
    using host::RenderState;
    host::SetRenderState(device_, RenderState::FogEnable, 1);
    host::SetRenderState(device_, RenderState::ZEnable, 1);
    host::SetRenderState(device_, RenderState::ZWriteEnable, 1);
    for (const ObjectRoutineSet* set : {ObjectRoutines, ObjectRoutinesB})
        for (int type = 0; type < kObjectFaceTypes; ++type) {
            if (!set->routine[type]) continue;
            for (uint8_t extra : {uint8_t(0), uint8_t(9), uint8_t(12)})
                for (uint8_t flags : {uint8_t(0), uint8_t(2)}) {
                    f->type = uint8_t(type), f->extra = extra, f->flags = flags;
                    set->routine[type](f);
                    SCOPED_TRACE(::testing::Message() << "type " << type << " extra " << int(extra));
                    EXPECT_EQ(host::GetRenderState(device_, RenderState::AlphaBlendEnable), 0u);
                    EXPECT_EQ(host::GetRenderState(device_, RenderState::SrcBlend), uint32_t(host::BlendFactor::One));
                    EXPECT_EQ(host::GetRenderState(device_, RenderState::DestBlend), uint32_t(host::BlendFactor::One));
                    EXPECT_EQ(host::GetRenderState(device_, RenderState::FogEnable), 1u);
                    EXPECT_EQ(host::GetRenderState(device_, RenderState::ZEnable), 1u);
                    EXPECT_EQ(host::GetRenderState(device_, RenderState::ZWriteEnable), 1u);
                    EXPECT_EQ(host::GetTexture(device_, 0), nullptr);
                    EXPECT_EQ(host::GetTextureStageState(device_, 1, host::StageState::ColorOp),
                              uint32_t(host::TextureOp::Disable));
                }
        }
    host::DeleteSurface(tex.surface);
}

// ---- Sorting, collection and limits -----------------------------------------------------------------

TEST(ConstructDraw, SortsFacesAndBillboardsBackToFront) {
    std::mt19937 rng(5);
    for (int n : {1, 2, 3, 17, 400}) {
        std::vector<FaceBuf> bufs;
        for (int i = 0; i < n; ++i) bufs.emplace_back(0);
        std::vector<GeomFace*> faces;
        for (FaceBuf& b : bufs) {
            b.face()->nearZ = int32_t(rng() % 5000);
            b.face()->farZ = b.face()->nearZ + int32_t(rng() % 3000);
            faces.push_back(b.face());
        }
        SortFacesByDepth(faces.data(), 0, n - 1);
        for (int i = 1; i < n; ++i)
            EXPECT_GE(faces[size_t(i - 1)]->nearZ + faces[size_t(i - 1)]->farZ, faces[size_t(i)]->nearZ + faces[size_t(i)]->farZ);
        std::vector<bboard> boards(static_cast<size_t>(n));
        std::vector<bboard*> list;
        for (bboard& b : boards) {
            b.camPos[2] = int32_t(rng() % 100) - 50;
            list.push_back(&b);
        }
        SortBBoardsByDepth(list.data(), 0, n - 1);
        for (int i = 1; i < n; ++i) EXPECT_GE(list[size_t(i - 1)]->camPos[2], list[size_t(i)]->camPos[2]);
    }
}

// A routine set that records which faces it was handed, in order.
std::vector<std::pair<char, GeomFace*>> Drawn;
void RecordOpaque(GeomFace* f) { Drawn.push_back({'A', f}); }
void RecordTranslucent(GeomFace* f) { Drawn.push_back({'B', f}); }
ObjectRoutineSet RecordingSet(ObjectPolyRoutine r) {
    ObjectRoutineSet s{};
    for (int i = 0; i < kObjectFaceTypes; ++i) s.routine[i] = i == 4 ? nullptr : r;
    return s;
}

TEST_F(ViewFixture, ConstructsAreCulledLitCollectedAndDrawnBackToFront) {
    kvtest::MemTrack mem;
    const ObjectRoutineSet a = RecordingSet(RecordOpaque), b = RecordingSet(RecordTranslucent);
    ObjectRoutines = &a;
    ObjectRoutinesB = &b;
    // A box 2 x 2 x 2 thousand world units, seen from the front, the left and above.
    Geom* g = kvtest::MakeBox(250, 250, 250, 1, {200, 100, 50});
    construct* c = kvtest::MakeObject(g, 3000, -2500, 6000);
    ASSERT_EQ(TransformConstruct(c, 0, 0), 1);
    Drawn.clear();
    DrawConstruct(c, 0, 0);
    ASSERT_EQ(Drawn.size(), 3u) << "three faces face the eye";
    int count = 0;
    GeomFace* const* list = LastFaceList(&count);
    ASSERT_EQ(count, 3);
    for (int i = 1; i < count; ++i) EXPECT_GE(list[i - 1]->nearZ + list[i - 1]->farZ, list[i]->nearZ + list[i]->farZ);
    for (size_t i = 0; i < Drawn.size(); ++i) EXPECT_EQ(Drawn[i].second, list[i]) << "drawn in the sorted order";
    // Opacity picks the routine set; 0 draws nothing.
    struct {
        uint8_t opacity;
        size_t drawn;
        char set;
    } opacities[] = {{0, 0, ' '}, {255, 3, 'A'}, {128, 3, 'B'}, {1, 3, 'B'}};
    for (auto o : opacities) {
        c->opacity = o.opacity;
        Drawn.clear();
        AdvanceViewStamp();
        TransformConstruct(c, 0, 0);
        DrawConstruct(c, 0, 0);
        ASSERT_EQ(Drawn.size(), o.drawn) << int(o.opacity);
        for (auto& d : Drawn) EXPECT_EQ(d.first, o.set);
        for (auto& d : Drawn) EXPECT_EQ(d.second->alpha, o.opacity);
    }
    c->opacity = 255;
    // The followed construct is not drawn while the view shows its overlay.
    ViewTarget = c;
    ViewOverlayFlag = 1;
    EXPECT_EQ(TransformConstruct(c, 0, 0), 0);
    EXPECT_EQ(c->flags & 0x400, 0u);
    ViewOverlayFlag = 0;
    EXPECT_EQ(TransformConstruct(c, 0, 0), 1);
    ViewTarget = nullptr;
    FreeConstruct(c);
}

TEST_F(ViewFixture, TheMainViewListsTheUnitsItDrawsForTheTacticalMap) {
    kvtest::MemTrack mem;
    ConstructPool* pool = CreateConstructPool(8, "visible units test");
    ConstructPool* savedPool = VisibleUnitsPool;
    ViewPort* savedMain = MainViewPort;
    ViewPort* savedCurrent = CurrentViewPort;
    construct* savedPlayer = PlayerUnit;
    ViewPort vp{};
    VisibleUnitsPool = pool;
    MainViewPort = CurrentViewPort = &vp;
    PlayerUnit = nullptr;
    Unit unit{};
    construct* c = kvtest::MakeObject(kvtest::MakeBox(250, 250, 250, 1, {1, 1, 1}), 0, 0, 6000);
    struct {
        uint32_t klass;
        bool skipSubs, mainView, listed;
    } cases[] = {{0x4, false, true, true}, {0x20, false, true, false}, {0x200, false, true, false},
                 {0x4, true, true, false}, {0x4, false, false, false}};
    for (auto k : cases) {
        pool->count = 0;
        unit.klass = k.klass;
        c->unit = &unit;
        CurrentViewPort = k.mainView ? &vp : nullptr;
        TransformConstruct(c, 0, 0);
        DrawConstruct(c, 0, k.skipSubs ? 1 : 0);
        EXPECT_EQ(pool->count, k.listed ? 1 : 0) << std::hex << k.klass;
    }
    c->unit = nullptr;
    FreeConstruct(c);
    VisibleUnitsPool = savedPool;
    MainViewPort = savedMain;
    CurrentViewPort = savedCurrent;
    PlayerUnit = savedPlayer;
    DeleteConstructPool(pool);
}

TEST_F(ViewFixture, BoundingSpheresProjectToAPointAndASize) {
    kvtest::MemTrack mem;
    ViewPort* savedMain = MainViewPort;
    MainViewPort = nullptr;  // the current view stands in for the main view
    construct* c = kvtest::MakeObject(kvtest::MakeBox(10, 10, 10, 1, {1, 1, 1}), 4000, 0, 10000);
    SphereRecord s{};
    s.radius = 2000;
    s.centre[1] = 500;  // 2000 world units up
    int16_t out[3];
    const int32_t size = ProjectConstruct(c, &s, out);
    // x: 4000 * 80 / 10000 = 32 right of the centre; y: 2000 * 80 / 10000 = 16 up; size 2000 * 80 / 10000.
    EXPECT_NEAR(out[0], 80 + 32, 1);
    EXPECT_NEAR(out[1], 60 + 16, 1);
    EXPECT_NEAR(size, 16, 1);
    EXPECT_EQ(out[2], size);
    c->pos[2] = 100000;  // beyond 32768 the other division form gives the same scale
    EXPECT_NEAR(ProjectConstruct(c, &s, out), 2000 * 80 / 100000, 1);
    FreeConstruct(c);
    MainViewPort = savedMain;
}

TEST_F(ViewFixture, BoxesAtOrBeforeTheNearPlaneAreCulled) {
    kvtest::MemTrack mem;
    Geom* g = kvtest::MakeBox(10, 10, 10, 1, {200, 100, 50});
    construct* c = kvtest::MakeObject(g, 0, 0, 0);
    // The geom's box is flat at the construct's depth: corners at z 500 are before the plane.
    for (auto& corner : g->box.corners) corner[2] = 0;
    for (int32_t z : {500, 501}) {
        c->pos[2] = z;
        AdvanceViewStamp();
        EXPECT_EQ(TransformConstruct(c, 0, 0), z > 500 ? 1 : 0) << z;
    }
    // One corner beyond is enough.
    c->pos[2] = 500;
    g->box.corners[6][2] = 1;  // 4 world units deeper
    EXPECT_EQ(TransformConstruct(c, 0, 0), 1);
    // Beside the view on the left: every corner beyond the left plane.
    c->pos[0] = -200000, c->pos[2] = 10000;
    EXPECT_EQ(TransformConstruct(c, 0, 0), 0);
    FreeConstruct(c);
}

TEST_F(ViewFixture, AtMostSixPointLightsReachAConstruct) {
    kvtest::MemTrack mem;
    Geom* g = kvtest::MakeBox(100, 100, 100, 2, {200, 200, 200});
    construct* c = kvtest::MakeObject(g, 0, 0, 5000);
    const int savedCount = ActiveLightCount;
    PointLight* lights[7];
    for (int i = 0; i < 7; ++i) {
        lights[i] = CreatePointLight();
        lights[i]->rangeShift = 14;  // 16384 units
        lights[i]->pos[0] = 0, lights[i]->pos[1] = 1000 * (i + 1), lights[i]->pos[2] = 5000;
        lights[i]->colour[0] = lights[i]->colour[1] = lights[i]->colour[2] = 100 * (i + 1);
        AddActiveLight(lights[i], 1);
    }
    TransformConstruct(c, 0, 0);
    EXPECT_EQ(c->lights.pointCount, 6);
    // Nearer lights are brighter: (range - length) >> shift of its colour.
    EXPECT_EQ(c->lights.points[0].colour[0], (100 * (16384 - 1000)) >> 14);
    EXPECT_EQ(c->lights.points[0].dir[1], 32768) << "straight up in object space";
    // Out of range: left out.
    lights[0]->pos[1] = 20000;
    TransformConstruct(c, 0, 0);
    EXPECT_EQ(c->lights.pointCount, 6);
    EXPECT_EQ(c->lights.points[0].colour[0], (200 * (16384 - 2000)) >> 14);
    for (PointLight* l : lights) FreePointLight(l);
    EXPECT_EQ(ActiveLightCount, savedCount);
    FreeConstruct(c);
}

TEST_F(ViewFixture, FaceAndBillboardLimitsDropWholeConstructs) {
    kvtest::MemTrack mem;
    const ObjectRoutineSet a = RecordingSet(RecordOpaque);
    ObjectRoutines = &a;
    for (int faces : {2999, 3000}) {
        std::vector<GeomPoint> pts = {kvtest::Point(-100, -100, 0), kvtest::Point(100, -100, 0), kvtest::Point(0, 100, 0)};
        std::vector<FaceSpec> specs(static_cast<size_t>(faces));
        for (FaceSpec& s : specs) s.points = {0, 1, 2}, s.type = 0;
        Geom* g = kvtest::MakeGeom(pts, specs);
        construct* c = kvtest::MakeObject(g, 0, 0, 3000);
        TransformConstruct(c, 0, 0);
        Drawn.clear();
        DrawConstruct(c, 0, 0);
        EXPECT_EQ(Drawn.size(), faces < 3000 ? size_t(faces) : 0u) << faces;
        FreeConstruct(c);
    }
    // Billboards: a construct with 31 collects them, one with 32 does not.
    for (int n : {31, 32}) {
        Geom* g = kvtest::MakeBox(10, 10, 10, 1, {1, 1, 1});
        construct* c = kvtest::MakeObject(g, 0, 0, 3000);
        c->bboardCount = n;
        c->bboards = static_cast<bboard**>(qzAlloc(int(sizeof(bboard*)) * n, "bboards"));
        for (int i = 0; i < n; ++i) c->bboards[i] = CreateBBoard();
        TransformConstruct(c, 0, 0);
        DrawConstruct(c, 0, 0);
        EXPECT_EQ(c->bboards[0]->lastTime, 0);
        EXPECT_EQ(c->bboards[0]->camPos[2] != 0, false) << "no position: not placed";
        c->bboards[0]->pos[0] = c->bboards[0]->pos[1] = c->bboards[0]->pos[2] = 0;
        c->bboards[0]->camPos[2] = -1;
        TransformConstruct(c, 0, 0);
        DrawConstruct(c, 0, 0);
        EXPECT_EQ(c->bboards[0]->camPos[2] == 3000, n < 32) << n;
        FreeConstruct(c);
    }
}

TEST_F(ViewFixture, ShadowsLieOnTheGroundWithTheLowerOpacity) {
    kvtest::MemTrack mem;
    const ObjectRoutineSet a = RecordingSet(RecordOpaque), b = RecordingSet(RecordTranslucent);
    ObjectRoutines = &a;
    ObjectRoutinesB = &b;
    // Camera 20000 units up looking straight down; no terrain: the ground is at 0 (or the water).
    SetView({0, 20000, 0}, {{32768, 0, 0, 0, 0, 32767, 0, -32767, 0}});
    construct* c = kvtest::MakeObject(kvtest::MakeBox(100, 100, 100, 1, {1, 1, 1}), 0, 8000, 0);
    SetConstructShadowGeom(c, kvtest::MakeGeom({kvtest::Point(-500, 0, -500), kvtest::Point(500, 0, -500),
                                                kvtest::Point(500, 0, 500), kvtest::Point(-500, 0, 500)},
                                               {FaceSpec{{0, 1, 2, 3}, 8, {200, 0, 0}, {0, 32767, 0}, nullptr, 0, false, {}}}));
    struct {
        uint8_t opacity, shadow, alpha;
        char set;
    } cases[] = {{255, 100, 100, 'A'}, {120, 200, 120, 'B'}, {120, 60, 60, 'B'}};
    for (auto k : cases) {
        c->opacity = k.opacity;
        c->shadowOpacity = k.shadow;
        AdvanceViewStamp();
        Drawn.clear();
        CollectShadowFaces(c);
        ASSERT_EQ(Drawn.size(), 1u);
        EXPECT_EQ(Drawn[0].first, k.set);
        EXPECT_EQ(Drawn[0].second->alpha, k.alpha);
        // Laid on the ground: 20000 units below the eye, whatever the construct's height.
        EXPECT_NEAR(FaceVerts(Drawn[0].second)[0].point->view[2], 20000 - std::max(0, WaterLevelAt(0, 0) * 8), 2)
            << "raised to the water";
    }
    FreeConstruct(c);
}

// ---- Billboards --------------------------------------------------------------------------------------

struct AnimFixture {
    AnimFixture(int frames, uint32_t argb) {
        anim.frameCount = frames;
        surfaces.resize(size_t(frames));
        for (int i = 0; i < frames; ++i) surfaces[size_t(i)] = kvtest::CheckerSurface(16, argb, argb);
        anim.frames = surfaces.data();
    }
    ~AnimFixture() {
        for (host::GfxSurface* s : surfaces) host::DeleteSurface(s);
    }
    TexAnim anim{};
    std::vector<host::GfxSurface*> surfaces;
};

TEST_F(ViewFixture, BillboardPointListsSkipDarkFrameColours) {
    kvtest::MemTrack mem;
    Plt plt{};
    construct* c = kvtest::MakeObject(kvtest::MakeBox(10, 10, 10, 1, {1, 1, 1}), 0, 0, 0);
    bboard* b = CreateBBoard();
    b->pos[0] = b->pos[1] = 0, b->pos[2] = 1000;  // 4000 world units ahead
    b->palette = &plt;
    b->options[1] = 1;  // period
    b->geom = kvtest::MakeGeom({kvtest::Point(-2000, 0, -2000), kvtest::Point(2000, 0, -2000), kvtest::Point(0, 0, 2000)},
                               {FaceSpec{{0, 1, 2}, 3, {200, 200, 200}, {0, 32767, 0}, nullptr, 0, false, {}}});
    c->bboardCount = 1;
    c->bboards = static_cast<bboard**>(qzAlloc(int(sizeof(bboard*)), "bboards"));
    c->bboards[0] = b;
    for (auto rgb : {std::array<uint8_t, 3>{4, 4, 4}, std::array<uint8_t, 3>{4, 4, 5}}) {
        plt.entries[0] = {rgb[0], rgb[1], rgb[2], 0};
        Clear();
        DrawCallCount = 0;
        TransformConstruct(c, 0, 0);
        bboard* list[kBBoardListLimit];
        int n = 0;
        CollectBBoards(c, list, &n);
        ASSERT_EQ(n, 1);
        DrawBBoard(b);
        EXPECT_EQ(DrawCallCount, rgb[2] == 5 ? 1.0f : 0.0f) << int(rgb[2]);
    }
    DrawCallCount = 0;
    FreeConstruct(c);
}

TEST_F(ViewFixture, ScrolledBillboardCoordinatesStayWithinEight) {
    kvtest::MemTrack mem;
    Geom* g = kvtest::MakeGeom({kvtest::Point(0, 0, 0), kvtest::Point(1, 0, 0), kvtest::Point(0, 1, 0)},
                               {FaceSpec{{0, 1, 2}, 1, {1, 1, 1}, {0, 0, -32768}, nullptr, 0, false, {{8.0f, 1}, {7.0f, 1}, {4.0f, 1}}}});
    construct* c = kvtest::MakeObject(g, 0, 0, 3000);
    bboard* b = CreateBBoard();
    b->faceCount = 1;
    b->faces = static_cast<uintptr_t*>(qzAlloc(int(sizeof(uintptr_t)), "bboard face list"));
    b->faces[0] = reinterpret_cast<uintptr_t>(g->faces);
    b->listValue = 0;
    c->bboardCount = 1;
    c->bboards = static_cast<bboard**>(qzAlloc(int(sizeof(bboard*)), "bboards"));
    c->bboards[0] = b;
    TransformConstruct(c, 0, 0);
    // Half a unit forward: 8.0 becomes 8.5, so all come down by 8.
    b->lastTime = 16384, b->time = 0;
    bboard* list[kBBoardListLimit];
    int n = 0;
    CollectBBoards(c, list, &n);
    EXPECT_FLOAT_EQ(FaceVerts(g->faces)[0].u, 0.5f);
    EXPECT_FLOAT_EQ(FaceVerts(g->faces)[1].u, -0.5f);
    EXPECT_FLOAT_EQ(FaceVerts(g->faces)[2].u, -3.5f);
    EXPECT_EQ(b->lastTime, 0);
    // Back by 0.6: the first now falls to -0.1 and all go up by 8.
    b->lastTime = 0, b->time = 19661;
    n = 0;
    CollectBBoards(c, list, &n);
    EXPECT_NEAR(FaceVerts(g->faces)[0].u, 7.9f, 1e-4);
    EXPECT_NEAR(FaceVerts(g->faces)[2].u, 3.9f, 1e-4);
    FreeConstruct(c);
}

TEST_F(ViewFixture, FlaresAreQueuedOutsideTheReflectionAndDrawnWhereTheDepthShowsThem) {
    kvtest::MemTrack mem;
    AnimFixture anim(1, 0xFFFFFFFF);
    Plt plt{};
    for (auto& e : plt.entries) e = {255, 255, 255, 0};
    construct* c = kvtest::MakeObject(kvtest::MakeBox(10, 10, 10, 1, {1, 1, 1}), 0, 0, 0);
    bboard* b = CreateBBoard();
    b->pos[0] = b->pos[1] = 0, b->pos[2] = 2000;  // 8000 units ahead, at the screen centre
    b->anim = &anim.anim;
    b->palette = &plt;
    b->size1 = 2000;
    b->time = 10;
    b->options[2] = 4;  // additive, no depth test
    c->bboardCount = 1;
    c->bboards = static_cast<bboard**>(qzAlloc(int(sizeof(bboard*)), "bboards"));
    c->bboards[0] = b;
    TransformConstruct(c, 0, 0);
    bboard* list[kBBoardListLimit];
    int n = 0;
    CollectBBoards(c, list, &n);
    ReflectPassFlag = 1;
    DrawBBoard(b);
    EXPECT_EQ(FlareCount, 0) << "no flares in the reflection";
    ReflectPassFlag = 0;
    for (int i = 0; i < kFlareLimit + 5; ++i) DrawBBoard(b);
    EXPECT_EQ(FlareCount, kFlareLimit);
    ClearFlareList();
    // Depth: a nearer surface hides the flare; a far one does not.
    for (float depth : {0.0f, 1.0f}) {
        Clear();
        host::Clear(device_, 0, nullptr, host::GfxClearZBuffer, 0, depth, 0);
        DrawCallCount = 0;
        DrawDeferredFlare(b);
        EXPECT_EQ(DrawCallCount, depth == 1.0f ? 1.0f : 0.0f) << depth;
        if (depth == 1.0f) {
            EXPECT_NE(Pixel(80, 60), 0u);
        }
    }
    DrawCallCount = 0;
    FreeConstruct(c);
}

TEST_F(ViewFixture, SpritesDeferInTheMainPassAndShowTheirFixedFrame) {
    kvtest::MemTrack mem;
    AnimFixture red(1, 0xFFFF0000), green(1, 0xFF00FF00);
    TexAnim anim{};
    host::GfxSurface* frames[5] = {red.surfaces[0], red.surfaces[0], red.surfaces[0], green.surfaces[0], red.surfaces[0]};
    anim.frameCount = 5;
    anim.frames = frames;
    construct* c = kvtest::MakeObject(kvtest::MakeBox(10, 10, 10, 1, {1, 1, 1}), 0, 0, 0);
    bboard* b = CreateBBoard();
    b->pos[0] = b->pos[1] = 0, b->pos[2] = 2000;
    b->anim = &anim;
    b->size1 = 3000;
    b->options[1] = 1;
    b->options[2] = 7;  // opaque
    b->fixedFrame = 3;
    b->time = 123456;
    c->bboardCount = 1;
    c->bboards = static_cast<bboard**>(qzAlloc(int(sizeof(bboard*)), "bboards"));
    c->bboards[0] = b;
    TransformConstruct(c, 0, 0);
    bboard* list[kBBoardListLimit];
    int n = 0;
    CollectBBoards(c, list, &n);
    MainPassFlag = 1;
    for (int i = 0; i < kDeferredBBoardLimit; ++i) DrawBBoard(b);
    EXPECT_EQ(DeferredBBoardCount, kDeferredBBoardLimit);
    EXPECT_EQ(DeferredBBoardOverflow, 0);
    DrawBBoard(b);
    EXPECT_EQ(DeferredBBoardOverflow, 1);
    MainPassFlag = 0;
    ClearDeferredLists();
    Clear();
    DrawBBoard(b);
    EXPECT_EQ(Pixel(80, 60), 0x00FF00u) << "frame 3 whatever the time";
    FreeConstruct(c);
}

// ---- Immediate routines and presets -----------------------------------------------------------------

TEST_F(ViewFixture, SectorEndsForEveryWidthAndCirclesKeepTheirZState) {
    const float centre[3] = {80, 60, 0};
    const int32_t dir[3] = {0, 0, -32768};
    const uint8_t white[4] = {255, 255, 255, 255};
    for (int32_t width : {-8, 0, 1, 2, 3}) {
        DrawCallCount = 0;
        DrawSector2D(centre, 30, dir, width, white, white);
        EXPECT_EQ(DrawCallCount, 0.0f) << width;
    }
    DrawSector2D(centre, 30, dir, 4, white, white);
    EXPECT_EQ(LastVertexCount, 6) << "centre and five rim points";
    DrawSector2D(centre, 30, dir, 60000, white, white);
    EXPECT_EQ(LastVertexCount, 6);
    DrawGlowDisc(centre, 30, white, white);
    EXPECT_EQ(LastVertexCount, 16);
    host::SetRenderState(device_, host::RenderState::ZEnable, 1);
    DrawCircle2D(centre, 30, white, 1, 1);
    EXPECT_EQ(LastVertexCount, 29);
    EXPECT_EQ(host::GetRenderState(device_, host::RenderState::ZEnable), 1u);
    EXPECT_EQ(host::GetRenderState(device_, host::RenderState::AlphaBlendEnable), 0u);
    DrawCallCount = 0;
}

TEST_F(ViewFixture, SpriteOfAnUnknownModeIsOpaqueWhiteAndChangesNoState) {
    host::GfxSurface* t = kvtest::CheckerSurface(16, 0xFFFFFFFF, 0xFFFFFFFF);
    using host::RenderState;
    const RenderState states[] = {RenderState::AlphaBlendEnable, RenderState::FogEnable, RenderState::ZEnable,
                                  RenderState::ZWriteEnable, RenderState::SrcBlend, RenderState::DestBlend};
    std::vector<uint32_t> before;
    for (RenderState s : states) before.push_back(host::GetRenderState(device_, s));
    Clear();
    const float centre[4] = {80, 60, 0.5f, 1.0f};
    const uint8_t dim[4] = {10, 10, 10, 10};
    DrawSprite(t, 7, centre, 0, 10.0f, dim, 3);
    for (size_t i = 0; i < std::size(states); ++i) EXPECT_EQ(host::GetRenderState(device_, states[i]), before[i]);
    EXPECT_EQ(Pixel(80, 60), 0xFFFFFFu);
    EXPECT_EQ(host::GetTexture(device_, 0), nullptr);
    host::DeleteSurface(t);
}

TEST_F(ViewFixture, PolygonEmittersClipOnlyWhatCrossesTheNearPlane) {
    GeomPoint pts[3] = {CamPoint(-3000, -3000, 3000), CamPoint(3000, -3000, 3000), CamPoint(0, 3000, 3000)};
    for (GeomPoint& p : pts) p.lit[0] = 255;
    FaceBuf buf(3);
    GeomFace* f = buf.face();
    f->vertexCount = 3;
    for (int i = 0; i < 3; ++i) FaceVerts(f)[i] = {&pts[i], 0, 0};
    Clear();
    DrawCallCount = 0;
    EmitSegmentPolygon(f);
    EXPECT_EQ(DrawCallCount, 1.0f);
    EXPECT_EQ(LastVertexCount, 3);
    pts[2] = CamPoint(0, 3000, 100);
    pts[2].lit[0] = 255;
    EmitSegmentPolygon(f);
    EXPECT_EQ(DrawCallCount, 2.0f);
    EXPECT_EQ(LastVertexCount, 4) << "the clipped triangle";
    EXPECT_NE(Pixel(80, 62), 0u);
    DrawCallCount = 0;
}

TEST_F(ViewFixture, SegmentsAreRibbonsAcrossTheirLongerAxis) {
    // Mostly along z: the ribbon is 3000 units wide along x; mostly along x: along z.
    SetView({0, 10000, 0}, {{32768, 0, 0, 0, 0, 32767, 0, -32767, 0}});  // looking straight down
    const int32_t a[3] = {0, 0, -5000}, alongZ[3] = {1000, 0, 5000}, alongX[3] = {6000, 0, -4000};
    Clear();
    DrawCallCount = 0;
    DrawSegment3D(a, alongZ);
    EXPECT_EQ(DrawCallCount, 1.0f);
    EXPECT_EQ(TmpFace2()->vertexCount, 4);
    const GeomPoint* p0 = FaceVerts(TmpFace2())[0].point;
    const GeomPoint* p1 = FaceVerts(TmpFace2())[1].point;
    EXPECT_NEAR(p1->view[0] - p0->view[0], 3000 * FocalX / 1024, 2) << "offset along x";
    EXPECT_NEAR(p1->view[1] - p0->view[1], 0, 2);
    EXPECT_EQ(p0->lit[2], 64);
    EXPECT_EQ(p1->lit[2], 32);
    DrawSegment3D(a, alongX);
    p0 = FaceVerts(TmpFace2())[0].point;
    p1 = FaceVerts(TmpFace2())[1].point;
    EXPECT_NEAR(p1->view[0] - p0->view[0], 0, 2);
    EXPECT_NEAR(std::abs(p1->view[1] - p0->view[1]), 3000 * FocalY / 1024, 2) << "offset along z";
    EXPECT_NE(LitPixels(), 0);
    DrawCallCount = 0;
}

TEST_F(ViewFixture, TextureStagePresets) {
    Tex a{}, b{};
    a.surface = kvtest::CheckerSurface(8, 0xFFFFFFFF, 0xFF000000);
    b.surface = kvtest::CheckerSurface(8, 0xFF00FF00, 0xFF000000);
    using host::StageState;
    using host::TextureOp;
    ResetTextureStages();
    EXPECT_EQ(host::GetTexture(device_, 0), nullptr);
    EXPECT_EQ(host::GetTextureStageState(device_, 1, StageState::ColorOp), uint32_t(TextureOp::Disable));
    EXPECT_EQ(host::GetTextureStageState(device_, 1, StageState::AlphaOp), uint32_t(TextureOp::Disable));
    EXPECT_EQ(host::GetTextureStageState(device_, 0, StageState::ColorOp), uint32_t(TextureOp::Modulate));
    // On a device that cannot draw the blend the operation is DISABLE, but both textures are bound.
    const uint32_t savedOp = TwoStageBlendOp;
    TwoStageBlendOp = uint32_t(TextureOp::Disable);
    SetTwoStageBlend(&a, &b);
    EXPECT_EQ(host::GetTexture(device_, 0), a.surface);
    EXPECT_EQ(host::GetTexture(device_, 1), b.surface);
    EXPECT_EQ(host::GetTextureStageState(device_, 1, StageState::ColorOp), uint32_t(TextureOp::Disable));
    TwoStageBlendOp = savedOp;
    SetTwoStageBlend(&a, &b);
    EXPECT_EQ(host::GetTextureStageState(device_, 1, StageState::ColorOp), uint32_t(TextureOp::ModulateAlphaAddColor));
    SetWaterSpecularStages(&a, &b);
    EXPECT_EQ(host::GetTexture(device_, 0), b.surface);
    EXPECT_EQ(host::GetTexture(device_, 1), a.surface);
    EXPECT_EQ(host::GetTextureStageState(device_, 1, StageState::ColorOp), uint32_t(TextureOp::Add));
    EXPECT_EQ(host::GetTextureStageState(device_, 0, StageState::ColorArg2), uint32_t(host::GfxTaSpecular));
    ResetTextureStages();
    host::SetTexture(device_, 1, nullptr);
    host::DeleteSurface(a.surface);
    host::DeleteSurface(b.surface);
}

}  // namespace
