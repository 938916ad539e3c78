// Object polygon routines. Each routine defers what must wait for the end of the scene, sends a face
// with a corner before the near plane through the clipper (which calls it back with the clipped face),
// sets its render states, fills the fan of screen vertices from the face's projected vertices and puts
// the states back to their resting values: blend factors ONE and ONE, blending off, fog on, the z states
// as they were, no texture on stage 0 and stage 1 disabled.
#include "render/ObjectPoly.h"

#include "platform/Texture.h"
#include "render/BBoardDraw.h"
#include "render/ConstructDraw.h"
#include "render/Deferred.h"
#include "render/PolyClip.h"
#include "render/Render_local.h"
#include "render/TexStages.h"
#include "render/View.h"
#include "world/Geom.h"

using namespace render_local;
using host::BlendFactor;
using host::RenderState;
using host::StageState;
using host::TextureOp;

DeferredFace DeferredFaces[kDeferredFaceLimit];
int32_t DeferredFaceCount = 0;
int32_t DeferredFaceOverflow = 0;

namespace {

constexpr int kFanLimit = kScratchVertexCount - 1;  // vertices one draw call takes
ScreenVertex FanVertices[256];

enum class Colour : uint8_t {
    Face,        // the face colour
    LitFace,     // the lit face colour
    Gouraud,     // light sum times face colour
    Vertex,      // the vertex lit colour
    Shadow,      // black, alpha from the point's own red
    Glow,        // the vertex lit colour, alpha 255
};

struct Style {
    Colour colour;
    bool alpha;        // alpha (or, for glows, the colour) taken from the face's opacity
    bool ownAlpha;     // the lit alpha of the face or the vertex instead of 255
    bool vertexFog;    // fog per vertex (else once for the face's nearest z)
    bool vertexRhw;    // the vertex's reciprocal depth (else 1.0)
    bool sphere;       // second coordinate pair from the sphere map (else the corner's again)
    bool specularSum;  // the light sum in the specular colour bytes
};

inline uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return (a & 0xFF) << 24 | (r & 0xFF) << 16 | (g & 0xFF) << 8 | (b & 0xFF);
}

// 0: drawable; 1: a corner lies before the near plane; -1: the face has no usable corners.
int FaceState(const GeomFace* f) {
    const int n = f->vertexCount;
    if (n < 1) return -1;
    const FaceVertex* v = FaceVerts(f);
    int clip = 0;
    for (int k = 0; k < n; ++k) {
        if (!v[k].point) return -1;
        if (v[k].point->view[2] < NearPlane) clip = 1;
    }
    return clip;
}

int FillFan(const GeomFace* f, const Style& s) {
    const uint32_t op = f->alpha;
    uint32_t faceColour = 0;
    if (s.colour == Colour::Face)
        faceColour = Argb(s.alpha ? op : 255, f->colour[0], f->colour[1], f->colour[2]);
    else if (s.colour == Colour::LitFace)
        faceColour = Argb(s.alpha ? op : s.ownAlpha ? f->lit[3] : 255, f->lit[0], f->lit[1], f->lit[2]);
    if (!s.vertexFog) dxgl_SetDepthFog(f->nearZ);
    const FaceVertex* v = FaceVerts(f);
    const int n = f->vertexCount;
    for (int k = 0; k < n; ++k) {
        const GeomPoint* p = v[k].point;
        if (s.vertexFog) dxgl_SetDepthFog(p->view[2]);
        ScreenVertex& cv = CurrentVertex;
        cv.x = p->screen[0];
        cv.y = ScreenHeightF - p->screen[1];
        cv.z = p->screen[2];
        cv.rhw = s.vertexRhw ? p->screen[3] : 1.0f;
        switch (s.colour) {
            case Colour::Face:
            case Colour::LitFace: cv.diffuse = faceColour; break;
            case Colour::Gouraud:
                cv.diffuse = Argb(s.alpha ? op : s.ownAlpha ? p->lit[3] : 255, (p->lightSum[0] * f->colour[0]) >> 8,
                                  (p->lightSum[1] * f->colour[1]) >> 8, (p->lightSum[2] * f->colour[2]) >> 8);
                break;
            case Colour::Vertex: cv.diffuse = Argb(s.alpha ? op : p->lit[3], p->lit[0], p->lit[1], p->lit[2]); break;
            case Colour::Shadow: cv.diffuse = Argb((p->colour[0] * 2u * op) >> 8, 0, 0, 0); break;
            case Colour::Glow:
                if (s.alpha)
                    cv.diffuse = Argb(255, (p->lit[0] * op) >> 8, (p->lit[1] * op) >> 8, (p->lit[2] * op) >> 8);
                else cv.diffuse = Argb(255, p->lit[0], p->lit[1], p->lit[2]);
                break;
        }
        cv.specular = FogSpecular;
        if (s.specularSum) cv.specular |= Rgb(p->lightSum[0], p->lightSum[1], p->lightSum[2]);
        cv.tu0 = v[k].u;
        cv.tv0 = v[k].v;
        cv.tu1 = s.sphere ? p->sphere[0] : v[k].u;
        cv.tv1 = s.sphere ? p->sphere[1] : v[k].v;
        FanVertices[k] = cv;
    }
    return n;
}

void DrawFace(const GeomFace* f, const Style& s) {
    const int n = FillFan(f, s);
    DrawFanSplit(kPrimTriangleFan, FanVertices, n);
}

// Defers the face while the main pass runs (the shared face records are drawn at once); true when it
// was taken (or dropped on a full list).
bool Deferred(GeomFace* f) {
    if (!MainPassFlag || IsTmpFace(f)) return false;
    DeferFace(f);
    return true;
}

bool IsAlphaTexture(const GeomFace* f) { return f->texture && f->texture->blackTransparent; }
host::GfxSurface* SurfaceOf(const Tex* t) { return t ? t->surface : nullptr; }

// Render states a member changes, and what it saved to put them back. A member puts back only what it
// changed: the water passes draw through the vertex-colour member with their own blending and texture.
struct States {
    bool textured = false;
    bool blended = false;     // blend factors or alpha blending
    bool stageAlpha = false;  // stage 0's alpha operation
    bool fogOff = false;
    bool zWriteOff = false;
    bool zTestOff = false;
    uint32_t zWrite = 1, zTest = 1;
};

void ZWriteOff(States& st) {
    st.zWrite = GetRS(RenderState::ZWriteEnable);
    SetRS(RenderState::ZWriteEnable, 0);
    st.zWriteOff = true;
}
void ZTestOff(States& st) {
    st.zTest = GetRS(RenderState::ZEnable);
    SetRS(RenderState::ZEnable, 0);
    st.zTestOff = true;
}
void FogOff(States& st) {
    SetRS(RenderState::FogEnable, 0);
    st.fogOff = true;
}
void StandardBlend(States& st) {
    SetRS(RenderState::SrcBlend, Blend(BlendFactor::SrcAlpha));
    SetRS(RenderState::DestBlend, Blend(BlendFactor::InvSrcAlpha));
    SetRS(RenderState::AlphaBlendEnable, 1);
    st.blended = true;
}
// Blending on with the resting factors (ONE, ONE): additive.
void AdditiveBlend(States& st) {
    SetRS(RenderState::AlphaBlendEnable, 1);
    st.blended = true;
}
void StageAlpha(States& st, uint32_t op, uint32_t arg1, uint32_t arg2 = host::GfxTaDiffuse) {
    st.stageAlpha = true;
    SetTSS(0, StageState::AlphaOp, op);
    SetTSS(0, StageState::AlphaArg1, arg1);
    SetTSS(0, StageState::AlphaArg2, arg2);
}
void Texture(States& st, const GeomFace* f) {
    SetTex(0, SurfaceOf(f->texture));
    st.textured = true;
}

void Restore(const States& st) {
    if (st.blended) {
        SetRS(RenderState::SrcBlend, Blend(BlendFactor::One));
        SetRS(RenderState::DestBlend, Blend(BlendFactor::One));
        SetRS(RenderState::AlphaBlendEnable, 0);
    }
    if (st.stageAlpha) {
        SetTSS(0, StageState::AlphaOp, Op(TextureOp::SelectArg1));
        SetTSS(0, StageState::AlphaArg1, host::GfxTaTexture);
    }
    if (st.textured) {
        SetTSS(1, StageState::ColorOp, Op(TextureOp::Disable));
        SetTex(1, nullptr);
        SetTex(0, nullptr);
    }
    if (st.fogOff) SetRS(RenderState::FogEnable, 1);
    if (st.zWriteOff) SetRS(RenderState::ZWriteEnable, st.zWrite);
    if (st.zTestOff) SetRS(RenderState::ZEnable, st.zTest);
}

// The frame shared by the members: clipping, then the member's states, the fan and the restore.
template <typename Setup>
void Run(GeomFace* f, ObjectPolyRoutine self, bool lightClip, const Style& s, Setup setup) {
    const int state = FaceState(f);
    if (state < 0) return;
    if (state > 0) {
        if (lightClip) ClipAndEmitPolygonLight(self, f);
        else ClipAndEmitPolygon(self, f);
        return;
    }
    States st;
    if (!setup(st)) return;
    DrawFace(f, s);
    Restore(st);
}

constexpr Style kFlat{Colour::Face, false, false, false, false, false, false};
constexpr Style kFlatAlpha{Colour::Face, true, false, false, false, false, false};
constexpr Style kFlatLit{Colour::LitFace, false, false, false, false, false, false};
constexpr Style kFlatLitAlpha{Colour::LitFace, true, false, false, false, false, false};
constexpr Style kGouraud{Colour::Gouraud, false, false, true, false, false, false};
constexpr Style kGouraudAlpha{Colour::Gouraud, true, false, true, false, false, false};
constexpr Style kVertexColour{Colour::Vertex, false, true, true, true, false, true};
constexpr Style kVertexColourAlpha{Colour::Vertex, true, false, true, true, false, true};
constexpr Style kTexFlatLit{Colour::LitFace, false, true, false, true, true, false};
constexpr Style kTexFlatLitAlpha{Colour::LitFace, true, false, false, true, true, false};
constexpr Style kTexGouraud{Colour::Gouraud, false, true, true, true, true, false};
constexpr Style kTexGouraudAlpha{Colour::Gouraud, true, false, true, true, true, false};
constexpr Style kTexVertexColour{Colour::Vertex, false, true, true, true, false, false};
constexpr Style kTexVertexColourAlpha{Colour::Vertex, true, false, true, true, false, false};
constexpr Style kShadow{Colour::Shadow, true, false, false, false, false, false};
constexpr Style kGlow{Colour::Glow, false, false, false, false, false, false};
constexpr Style kGlowAlpha{Colour::Glow, true, false, false, false, false, false};

// The translucent members: stage 0 alpha from the diffuse colour, standard blending.
bool AlphaDiffuse(States& st) {
    StageAlpha(st, Op(TextureOp::SelectArg1), host::GfxTaDiffuse);
    StandardBlend(st);
    return true;
}

void DrawGlowWith(GeomFace* f, ObjectPolyRoutine self, const Style& s) {
    if (Deferred(f)) return;
    Run(f, self, false, s, [f](States& st) {
        AdditiveBlend(st);
        FogOff(st);
        if (f->extra == 9) ZTestOff(st);
        else ZWriteOff(st);
        return true;
    });
}

}  // namespace

void DrawFanSplit(int32_t primitive, const ScreenVertex* v, int count) {
    if (count <= 0) return;
    const bool fan = primitive == kPrimTriangleFan;
    auto counted = [&](int n) {
        if (fan && n >= 3) TriangleCount += static_cast<float>(n - 2);
    };
    if (count <= kFanLimit) {
        EmitPrimitive(primitive, v, count);
        counted(count);
        return;
    }
    // Longer lists go in pieces: a fan's pieces all start at its first vertex, a strip's each at the
    // previous piece's last vertex.
    EmitPrimitive(primitive, v, kFanLimit);
    counted(kFanLimit);
    int next = kFanLimit;
    while (next < count) {
        int n = 0;
        if (fan) ScratchVertices[n++] = v[0];
        ScratchVertices[n++] = v[next - 1];
        while (n < kFanLimit && next < count) ScratchVertices[n++] = v[next++];
        EmitPrimitive(primitive, ScratchVertices, n);
        counted(n);
    }
}

void DrawPolyWire(ObjectFace* f) {
    const int state = FaceState(f);
    if (state < 0) return;
    if (state > 0) {
        ClipAndEmitPolygon(DrawPolyWire, f);
        return;
    }
    dxgl_SetDepthFog(f->nearZ);
    const FaceVertex* v = FaceVerts(f);
    for (int k = 0; k < f->vertexCount; ++k) {
        const GeomPoint* p = v[k].point;
        ScreenVertex& cv = CurrentVertex;
        cv = {p->screen[0], ScreenHeightF - p->screen[1], p->screen[2], 1.0f, 0xFFFFFFFFu, FogSpecular,
              v[k].u, v[k].v, v[k].u, v[k].v};
        FanVertices[k] = cv;
    }
    DrawFanSplit(kPrimLineStrip, FanVertices, f->vertexCount);
}

void DrawPolyFlat(ObjectFace* f) {
    Run(f, DrawPolyFlat, false, kFlat, [](States&) { return true; });
}
void DrawPolyFlatAlpha(ObjectFace* f) {
    Run(f, DrawPolyFlatAlpha, false, kFlatAlpha, [](States& st) {
        AlphaDiffuse(st);
        ZWriteOff(st);
        return true;
    });
}
void DrawPolyFlatLit(ObjectFace* f) {
    Run(f, DrawPolyFlatLit, false, kFlatLit, [](States&) { return true; });
}
void DrawPolyFlatLitAlpha(ObjectFace* f) {
    Run(f, DrawPolyFlatLitAlpha, false, kFlatLitAlpha, [](States& st) {
        AlphaDiffuse(st);
        ZWriteOff(st);
        return true;
    });
}
void DrawPolyGouraud(ObjectFace* f) {
    Run(f, DrawPolyGouraud, true, kGouraud, [](States&) { return true; });
}
void DrawPolyGouraudAlpha(ObjectFace* f) { Run(f, DrawPolyGouraudAlpha, true, kGouraudAlpha, AlphaDiffuse); }
void DrawPolyVertexColour(ObjectFace* f) {
    Run(f, DrawPolyVertexColour, false, kVertexColour, [](States&) { return true; });
}
void DrawPolyVertexColourAlpha(ObjectFace* f) {
    Run(f, DrawPolyVertexColourAlpha, false, kVertexColourAlpha, AlphaDiffuse);
}

void DrawPolyTexFlatLit(ObjectFace* f) {
    const bool alphaTex = IsAlphaTexture(f), sprite = f->extra == 12;
    if ((alphaTex || sprite) && Deferred(f)) return;
    Run(f, DrawPolyTexFlatLit, false, kTexFlatLit, [&](States& st) {
        Texture(st, f);
        if (alphaTex) {
            StageAlpha(st, Op(TextureOp::SelectArg1), host::GfxTaTexture);
            StandardBlend(st);
            ZWriteOff(st);
        } else if (sprite) {
            AdditiveBlend(st);
            FogOff(st);
            ZWriteOff(st);
        } else if (f->flags & 0x2) {
            SetTwoStageBlend(f->texture, SecondStageTexture);
        }
        return true;
    });
}

void DrawPolyTexFlatLitAlpha(ObjectFace* f) {
    const bool alphaTex = IsAlphaTexture(f);
    f->lit[3] = CurrentOpacity;
    if (alphaTex && Deferred(f)) return;
    if (!alphaTex && (f->extra == 12 || (f->flags & 0x2))) return;
    Run(f, DrawPolyTexFlatLitAlpha, false, kTexFlatLitAlpha, [&](States& st) {
        Texture(st, f);
        if (alphaTex) {
            StageAlpha(st, Op(TextureOp::Modulate), host::GfxTaDiffuse, host::GfxTaTexture);
            ZWriteOff(st);
        } else {
            StageAlpha(st, Op(TextureOp::SelectArg1), host::GfxTaDiffuse);
        }
        StandardBlend(st);
        return true;
    });
}

void DrawPolyTexGouraud(ObjectFace* f) {
    const bool alphaTex = IsAlphaTexture(f);
    if (alphaTex && Deferred(f)) return;
    Run(f, DrawPolyTexGouraud, true, kTexGouraud, [&](States& st) {
        Texture(st, f);
        if (alphaTex) {
            StageAlpha(st, Op(TextureOp::SelectArg1), host::GfxTaTexture);
            StandardBlend(st);
            ZWriteOff(st);
        } else if (f->flags & 0x2) {
            SetTwoStageBlend(f->texture, SecondStageTexture);
        }
        return true;
    });
}

void DrawPolyTexGouraudAlpha(ObjectFace* f) {
    const bool alphaTex = IsAlphaTexture(f);
    f->lit[3] = CurrentOpacity;
    if (alphaTex && Deferred(f)) return;
    if (!alphaTex && (f->flags & 0x2)) return;
    Run(f, DrawPolyTexGouraudAlpha, true, kTexGouraudAlpha, [&](States& st) {
        Texture(st, f);
        if (alphaTex) {
            StageAlpha(st, Op(TextureOp::Modulate), host::GfxTaDiffuse, host::GfxTaTexture);
            ZWriteOff(st);
        } else {
            StageAlpha(st, Op(TextureOp::SelectArg1), host::GfxTaDiffuse);
        }
        StandardBlend(st);
        return true;
    });
}

void DrawPolyTexVertexColour(ObjectFace* f) {
    Run(f, DrawPolyTexVertexColour, false, kTexVertexColour, [f](States& st) {
        Texture(st, f);
        return true;
    });
}

void DrawPolyTexVertexColourAlpha(ObjectFace* f) {
    Run(f, DrawPolyTexVertexColourAlpha, false, kTexVertexColourAlpha, [f](States& st) {
        Texture(st, f);
        AlphaDiffuse(st);
        return true;
    });
}

void DrawPolyShadow(ObjectFace* f) {
    Run(f, DrawPolyShadow, false, kShadow, [](States& st) {
        SetRS(RenderState::DestBlend, Blend(BlendFactor::InvSrcAlpha));
        SetRS(RenderState::AlphaBlendEnable, 1);
        st.blended = true;
        StageAlpha(st, Op(TextureOp::SelectArg1), host::GfxTaDiffuse);
        ZTestOff(st);
        FogOff(st);
        return true;
    });
}

void DrawPolyGlow(ObjectFace* f) { DrawGlowWith(f, DrawPolyGlow, kGlow); }
void DrawPolyGlowAlpha(ObjectFace* f) { DrawGlowWith(f, DrawPolyGlowAlpha, kGlowAlpha); }

// ---- The deferred face list -------------------------------------------------------------------------

void DeferFace(GeomFace* f) {
    if (DeferredFaceCount >= kDeferredFaceLimit) {
        DeferredFaceOverflow = 1;
        return;
    }
    DeferredFaces[DeferredFaceCount++] = {f, CurrentOpacity, static_cast<uint8_t>(f->type & 0x7F)};
}

void ClearDeferredLists() {
    DeferredFaceCount = 0;
    DeferredFaceOverflow = 0;
    DeferredBBoardCount = 0;
    DeferredBBoardOverflow = 0;
}

void DrawDeferredLists() {
    const uint8_t opacity = CurrentOpacity;
    for (int i = 0; i < DeferredFaceCount; ++i) {
        DeferredFace& d = DeferredFaces[i];
        const ObjectRoutineSet* set = d.opacity < 255 ? ObjectRoutinesB : ObjectRoutines;
        if (!set || d.type >= kObjectFaceTypes || !set->routine[d.type]) continue;
        CurrentOpacity = d.opacity;
        d.face->alpha = d.opacity;
        set->routine[d.type](d.face);
    }
    CurrentOpacity = opacity;
    for (int i = 0; i < DeferredBBoardCount; ++i) DrawBBoard(DeferredBBoards[i]);
}
