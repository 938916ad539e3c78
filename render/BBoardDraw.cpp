// Billboard drawing: colouring billboards from their construct's lights, bringing them into camera
// space, their colour and texture-scroll animations, and the forms they are drawn in.
#include "render/BBoardDraw.h"

#include <bit>
#include <climits>
#include <cstring>

#include "core/Fix3D.h"
#include "core/FixMath.h"
#include "platform/Dxgl.h"
#include "platform/Palette.h"
#include "platform/Texture.h"
#include "render/ConstructDraw.h"
#include "render/Deferred.h"
#include "render/Immediate.h"
#include "render/Light.h"
#include "render/PolyClip.h"
#include "render/RenderTables.h"
#include "render/Terrain.h"
#include "render/View.h"
#include "world/Construct.h"
#include "world/Geom.h"
#include "world/Terrain.h"

bboard* DeferredBBoards[kDeferredBBoardLimit];
int32_t DeferredBBoardCount = 0;
int32_t DeferredBBoardOverflow = 0;
bboard* FlareList[kFlareLimit];
int32_t FlareCount = 0;

namespace {

// The renderer's words of a billboard: 0-2 camera-space direction, 3-5 screen x, y, depth, 6 rhw.
float WordF(const bboard* b, int i) {
    float f;
    std::memcpy(&f, &b->words[i], sizeof f);
    return f;
}
void SetWordF(bboard* b, int i, float f) { std::memcpy(&b->words[i], &f, sizeof f); }

bool HasPos(const bboard* b) { return b->pos[0] != kUnsetCoord; }
bool HasDir(const bboard* b) { return b->dir[0] != kUnsetCoord; }
uint8_t* Lit(bboard* b) { return b->colour + 4; }
int32_t Start(const bboard* b) { return b->options[0]; }
int32_t Period(const bboard* b) { return b->options[1]; }
int32_t BlendMode(const bboard* b) { return static_cast<int8_t>(b->options[2]); }

int32_t AnimFrame(const bboard* b) { return FixDiv(b->time - Start(b), Period(b)); }

// The palette entry of an animation frame (limited to 0 .. 0x7F8000 first).
const PltEntry* FrameEntry(const bboard* b, int32_t frame) {
    if (!b->palette) return nullptr;
    if (frame < 0) frame = 0;
    if (frame > 0x7F8000) frame = 0x7F8000;
    return &b->palette->entries[frame >> 15];
}
bool Dark(const PltEntry* e, int limit) { return e && e->red <= limit && e->green <= limit && e->blue <= limit; }

inline uint8_t Cap255(int64_t v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// Colour and camera-space placement of one billboard (step 1 and 2 of the collection).
void Place(construct* con, bboard* b) {
    uint8_t* lit = Lit(b);
    if (b->anim && b->palette) {
        lit[0] = lit[1] = lit[2] = lit[3] = 255;
    } else if (HasPos(b)) {
        if (b->fixedColour) {
            for (int c = 0; c < 3; ++c) lit[c] = b->colour[c];
        } else {
            int32_t sum[3] = {ViewColour[0], ViewColour[1], ViewColour[2]};
            const ConstructLights& l = con->lights;
            for (int c = 0; c < 3; ++c) {
                // The sun's colour itself: only constructs lit by the scene gather their lights, and a
                // billboard of any other (smoke, dust, splashes) would get no sunlight at all.
                if (!TopTileFieldPresent && SunLight) sum[c] += SunLight->colour[c];
                for (int i = 0; i < l.pointCount && i < kConstructPointLights; ++i) sum[c] += l.points[i].colour[c];
                lit[c] = Cap255((int64_t(b->colour[c]) * sum[c]) >> 8);
            }
        }
        lit[3] = b->alpha;
    }
    if (HasPos(b)) {
        FixVec local = {b->pos[0], b->pos[1], b->pos[2]}, c;
        RotateVec13(&c, &con->camMatrix, &local);
        FixVec cam = {c.x + con->camOrigin.x, c.y + con->camOrigin.y, c.z + con->camOrigin.z};
        b->camPos[0] = cam.x, b->camPos[1] = cam.y, b->camPos[2] = cam.z;
        ScreenPointRhw s;
        ProjectToScreenRhw(&s, &cam, ViewCentreXF, ViewCentreYF);
        SetWordF(b, 3, s.x), SetWordF(b, 4, s.y), SetWordF(b, 5, s.depth), SetWordF(b, 6, s.rhw);
    }
    if (HasDir(b)) {
        FixVec d = {b->dir[0], b->dir[1], b->dir[2]}, r;
        RotateVec(&r, &con->camMatrix, &d);
        b->words[0] = r.x, b->words[1] = r.y, b->words[2] = r.z;
    }
}

// Colour-animated points take the palette colour of the frame, shaded.
void AnimateColours(bboard* b) {
    if (!b->palette || !b->vertices) return;
    const PltEntry* e = FrameEntry(b, AnimFrame(b));
    const uint8_t rgb[3] = {e->red, e->green, e->blue};
    for (int i = 0; i < b->vertexCount; ++i) {
        GeomPoint* p = b->vertices[i];
        if (!p) continue;
        for (int c = 0; c < 3; ++c) p->lit[c] = Cap255((int64_t(p->colour[c]) * rgb[c] * b->shade) >> 16);
    }
}

// Scrolled faces move their u (list value 0) or v by the time passed since the last frame, kept in
// 0 .. 8.
void ScrollFaces(bboard* b) {
    if (b->resolve || !b->faces || b->faceCount < 1) return;
    const float delta = static_cast<float>(b->lastTime - b->time) * (1.0f / 32768.0f);
    const bool scrollU = b->listValue == 0;
    float shift = 0.0f;
    for (int i = 0; i < b->faceCount; ++i) {
        GeomFace* f = BBoardFace(b, i);
        if (!f) continue;
        FaceVertex* v = FaceVerts(f);
        for (int k = 0; k < f->vertexCount; ++k) {
            float& t = scrollU ? v[k].u : v[k].v;
            t += delta;
            if (shift == 0.0f) {
                if (t > 8.0f) shift = -8.0f;
                else if (t < 0.0f) shift = 8.0f;
            }
        }
    }
    if (shift == 0.0f) return;
    for (int i = 0; i < b->faceCount; ++i) {
        GeomFace* f = BBoardFace(b, i);
        if (!f) continue;
        FaceVertex* v = FaceVerts(f);
        for (int k = 0; k < f->vertexCount; ++k) (scrollU ? v[k].u : v[k].v) += shift;
    }
}

// Places the billboard's point list: every point at the billboard, spread over the screen by scale
// (the form without a direction), coloured by the frame colour.
void ColourPoint(GeomPoint* p, const PltEntry* e) {
    const uint8_t rgb[3] = {e ? e->red : uint8_t(255), e ? e->green : uint8_t(255), e ? e->blue : uint8_t(255)};
    for (int c = 0; c < 3; ++c) p->lit[c] = static_cast<uint8_t>((p->colour[c] * rgb[c]) >> 8);
}

void DrawPointFaces(bboard* b) {
    Geom* g = b->geom;
    if (!g || !g->faces || !ObjectRoutines) return;
    GeomFace* f = g->faces;
    for (int i = 0; i < g->faceCount; ++i, f = NextFace(f)) {
        const int type = f->type & 0x7F;
        if (type >= kObjectFaceTypes || !ObjectRoutines->routine[type]) continue;
        int32_t nearZ = INT32_MAX, farZ = INT32_MIN;
        const FaceVertex* v = FaceVerts(f);
        for (int k = 0; k < f->vertexCount; ++k)
            if (v[k].point) {
                if (v[k].point->view[2] < nearZ) nearZ = v[k].point->view[2];
                if (v[k].point->view[2] > farZ) farZ = v[k].point->view[2];
            }
        f->nearZ = nearZ, f->farZ = farZ;
        f->alpha = CurrentOpacity;
        ObjectRoutines->routine[type](f);
    }
}

// The screen x of the camera-space point (x, 0, z), without the screen centre: a length on screen.
float ProjectX(int64_t x, int32_t z) {
    FixVec p = {static_cast<int32_t>(x), 0, z};
    ScreenPointF s;
    ProjectToScreen(&s, &p, 0.0f, 0.0f);
    return s.x;
}
// The screen size of twice a world size at depth z.
float ScreenSize(int32_t worldSize, int32_t z) { return ProjectX((int64_t(worldSize) * 2 * FocalX) >> 10, z); }

// The direction form's basis: view (the billboard's direction from the eye), axis and across.
struct Basis {
    FixVec view, axis, across;
    int32_t facing;  // |view . axis|
};
Basis MakeBasis(const bboard* b) {
    Basis k{};
    FixVec cam = {b->camPos[0], b->camPos[1], b->camPos[2]};
    NormaliseF(&k.view, &cam);
    k.axis = {b->words[0], b->words[1], b->words[2]};
    FixVec x = {static_cast<int32_t>((int64_t(k.view.y) * k.axis.z - int64_t(k.view.z) * k.axis.y) >> 15),
                static_cast<int32_t>((int64_t(k.view.z) * k.axis.x - int64_t(k.view.x) * k.axis.z) >> 15),
                static_cast<int32_t>((int64_t(k.view.x) * k.axis.y - int64_t(k.view.y) * k.axis.x) >> 15)};
    FixVec n = {0, 0, 0};
    NormaliseF(&n, &x);
    k.across = {static_cast<int32_t>((int64_t(n.x) * FocalX) >> 10), static_cast<int32_t>((int64_t(n.y) * FocalX) >> 10),
                static_cast<int32_t>((int64_t(n.z) * FocalX) >> 10)};
    int64_t d = (int64_t(k.view.x) * k.axis.x + int64_t(k.view.y) * k.axis.y + int64_t(k.view.z) * k.axis.z) >> 15;
    k.facing = static_cast<int32_t>(d < 0 ? -d : d);
    return k;
}

FixVec Along(const Basis& k, int64_t across, int64_t along, const int32_t cam[3]) {
    return {static_cast<int32_t>((across * k.across.x + along * k.axis.x) >> 15) + cam[0],
            static_cast<int32_t>((across * k.across.y + along * k.axis.y) >> 15) + cam[1],
            static_cast<int32_t>((across * k.across.z + along * k.axis.z) >> 15) + cam[2]};
}

void Project(GeomPoint* p, const FixVec& cam) {
    p->view[0] = cam.x, p->view[1] = cam.y, p->view[2] = cam.z;
    ScreenPointRhw s;
    ProjectToScreenRhw(&s, &cam, ViewCentreXF, ViewCentreYF);
    p->screen[0] = s.x, p->screen[1] = s.y, p->screen[2] = s.depth, p->screen[3] = s.rhw;
}

GeomPoint QuadPoints[4];
Tex QuadTexture;

void DrawQuad(bboard* b, const Basis& k, host::GfxSurface* frameSurface) {
    GeomFace* f = TmpFace();
    std::memset(f, 0, sizeof *f);
    const int64_t s1 = b->size1, s2 = b->size2;
    const int64_t corners[4][2] = {{-s2, 0}, {s2, 0}, {s2, 2 * s1}, {-s2, 2 * s1}};
    const float hi = std::bit_cast<float>(0x3F7851ECu), lo = std::bit_cast<float>(0x3CF5C28Fu);  // 0.97, 0.03
    const float uv[4][2] = {{hi, lo}, {hi, hi}, {lo, hi}, {lo, lo}};
    FaceVertex* fv = FaceVerts(f);
    int32_t nearZ = INT32_MAX, farZ = INT32_MIN;
    for (int i = 0; i < 4; ++i) {
        GeomPoint* p = &QuadPoints[i];
        std::memset(p, 0, sizeof *p);
        Project(p, Along(k, corners[i][0], corners[i][1], b->camPos));
        p->lit[0] = p->lit[1] = p->lit[2] = p->lit[3] = 255;
        fv[i] = {p, uv[i][0], uv[i][1]};
        if (p->view[2] < nearZ) nearZ = p->view[2];
        if (p->view[2] > farZ) farZ = p->view[2];
    }
    f->vertexCount = 4;
    f->extra = 12;
    f->type = 5;
    f->lit[0] = f->lit[1] = f->lit[2] = f->lit[3] = 255;
    f->alpha = 255;
    f->nearZ = nearZ, f->farZ = farZ;
    QuadTexture.surface = frameSurface;
    f->texture = &QuadTexture;
    DrawFaceBlended(f, BlendMode(b), b->colour, Lit(b), b->drawAlpha);
}

}  // namespace

const int32_t* BBoardCamDir(const bboard* b) { return b->words; }
void BBoardScreen(const bboard* b, float out[4]) {
    for (int i = 0; i < 4; ++i) out[i] = WordF(b, 3 + i);
}

void CollectBBoards(construct* con, bboard** list, int* count) {
    if (!con || !con->bboards) return;
    for (int i = 0; i < con->bboardCount; ++i) {
        bboard* b = con->bboards[i];
        if (!b) continue;
        Place(con, b);
        if (b->followPhase) b->time = con->effectPhase;
        if (*count < kBBoardListLimit) list[(*count)++] = b;
        AnimateColours(b);
        ScrollFaces(b);
        for (bboard* n = b->next; n; n = n->next) {
            Place(con, n);
            n->time = b->time;
        }
        b->lastTime = b->time;
    }
}

void DrawBBoard(bboard* b) {
    if (!b) return;
    int32_t frame = AnimFrame(b);
    const int32_t camZ = b->camPos[2];
    float screen[4];
    BBoardScreen(b, screen);
    if (!HasDir(b) && b->dummy) {
        if (b->fixedFrame < 255) frame = int32_t(b->fixedFrame) << 16;
        if (b->anim && b->dummy->tex && frame >= 0 && (frame >> 16) < b->anim->frameCount && b->anim->frames)
            b->dummy->tex->surface = b->anim->frames[frame >> 16];
        return;
    }
    if (!HasDir(b) && b->geom) {
        if (camZ <= NearPlane) return;
        const float scale = ProjectX(int64_t(4) * FocalX, camZ);
        const PltEntry* e = FrameEntry(b, frame);
        if (Dark(e, 4)) return;
        Geom* g = b->geom;
        for (int i = 0; i < g->pointCount; ++i) {
            GeomPoint* p = &g->points[i];
            p->view[0] = b->camPos[0], p->view[1] = b->camPos[1], p->view[2] = camZ;
            p->screen[0] = screen[0] + static_cast<float>(static_cast<int32_t>(p->pos[0] * scale) >> 12);
            p->screen[1] = screen[1] + static_cast<float>(static_cast<int32_t>(p->pos[2] * scale) >> 12);
            p->screen[2] = screen[2];
            p->screen[3] = screen[3];
            ColourPoint(p, e);
        }
        DrawPointFaces(b);
        return;
    }
    if (HasDir(b) && b->geom) {
        const Basis k = MakeBasis(b);
        if (b->next && k.facing > 28672) {
            DrawBBoard(b->next);
            return;
        }
        const PltEntry* e = FrameEntry(b, frame);
        if (Dark(e, 4)) return;
        Geom* g = b->geom;
        for (int i = 0; i < g->pointCount; ++i) {
            GeomPoint* p = &g->points[i];
            Project(p, Along(k, p->pos[0], p->pos[2], b->camPos));
            ColourPoint(p, e);
        }
        DrawPointFaces(b);
        return;
    }
    if (!b->anim) return;
    if (b->palette && !ReflectPassFlag) {
        if (camZ > NearPlane && (!HasDir(b) || b->words[2] < 0) && FlareCount < kFlareLimit) FlareList[FlareCount++] = b;
        return;
    }
    if (b->palette) return;  // no flares in the reflection
    if (MainPassFlag) {
        if (!HasDir(b) && camZ <= NearPlane) return;
        if (DeferredBBoardCount >= kDeferredBBoardLimit) {
            DeferredBBoardOverflow = 1;
            return;
        }
        DeferredBBoards[DeferredBBoardCount++] = b;
        return;
    }
    if (b->fixedFrame < 255) frame = int32_t(b->fixedFrame) << 16;
    if (frame < 0 || (frame >> 16) >= b->anim->frameCount || !b->anim->frames) return;
    host::GfxSurface* surface = b->anim->frames[frame >> 16];
    if (!HasDir(b)) {
        if (camZ <= NearPlane) return;
        const float size = ScreenSize(b->size1, camZ);
        DrawSprite(surface, BlendMode(b), screen, camZ, size * 0.5f, Lit(b), b->drawAlpha);
        return;
    }
    const Basis k = MakeBasis(b);
    if (b->next) {
        b->drawAlpha = 255 - (k.facing >> 7);
        b->next->drawAlpha = static_cast<int32_t>((int64_t(k.facing) * k.facing) >> 22);
        DrawBBoard(b->next);
    }
    DrawQuad(b, k, surface);
}

void DrawDeferredFlare(bboard* b) {
    if (!b || !b->anim) return;
    float screen[4];
    BBoardScreen(b, screen);
    const float stored = dxgl_ReadDepthBuffer(static_cast<int>(screen[0]), static_cast<int>(screen[1]));
    if (screen[2] - 0.0005f > stored || b->time <= 0) return;
    int32_t entry;
    if (!HasDir(b)) {
        entry = b->time < 255 ? b->time : 255;
    } else {
        int64_t f = -(int64_t(b->words[2]) * b->time);
        if (f > 0x7F8000) f = 0x7F8000;
        if (f < 0) f = 0;
        entry = static_cast<int32_t>(f >> 15);
    }
    if (!b->palette || b->anim->frameCount < 1 || !b->anim->frames) return;
    const PltEntry& e = b->palette->entries[entry];
    if (e.red < 5 && e.green < 5 && e.blue < 5) return;
    const float size = ScreenSize(b->size1, b->camPos[2]);
    const uint8_t* lit = b->colour + 4;
    const uint8_t rgb[3] = {e.red, e.green, e.blue};
    uint8_t colour[4];
    for (int c = 0; c < 3; ++c) colour[c] = static_cast<uint8_t>((uint32_t(lit[c]) * rgb[c] * b->shade) >> 16);
    colour[3] = lit[3];
    DrawSprite(b->anim->frames[0], BlendMode(b), screen, b->camPos[2], size * 0.5f, colour, 255);
}

void ClearFlareList() { FlareCount = 0; }

void DrawFlareList() {
    for (int i = 0; i < FlareCount; ++i) DrawDeferredFlare(FlareList[i]);
}
