// Construct drawing: the per-view transform with the frustum test and the lights, the face collectors
// that light and project the vertices of the faces that face the eye, the back-to-front sort, the
// draw-list routines, the shadows laid on the ground and the projection of a bounding sphere.
#include "render/ConstructDraw.h"

#include <climits>
#include <cstring>

#include "core/FixMath.h"
#include "render/BBoardDraw.h"
#include "render/Light.h"
#include "render/RenderTables.h"
#include "render/Stamps.h"
#include "render/Terrain.h"
#include "render/View.h"
#include "render/Viewport.h"
#include "ai/Clan.h"
#include "hud/TFView.h"
#include "objects/Units.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Level.h"
#include "world/Geom.h"
#include "world/Terrain.h"

uint8_t CurrentOpacity = 255;
uint8_t ViewReflectionTint = 0;
ConstructPool* VisibleUnitsPool = nullptr;

namespace {

GeomFace* FaceList[kFaceListLimit];
int FaceCount = 0;
bboard* BBoardList[kBBoardListLimit];
int BBoardCount = 0;

constexpr uint32_t kConLit = 0x2;
constexpr uint32_t kConSubVisible = 0x200;
constexpr uint32_t kConInView = 0x400;
constexpr uint32_t kConShadowSlope = 0x4000;
constexpr uint32_t kConShadowTouched = 0x8000;

FixMatrix OrientOf(const construct* con) {
    FixMatrix m;
    std::memcpy(m.m, con->orient, sizeof m.m);
    return m;
}

// Brings eight local box corners (quarter units) into camera space and stores the middle depth.
void BoxToCamera(construct* con, const int32_t corners[8][3]) {
    for (int i = 0; i < 8; ++i) {
        FixVec local = {corners[i][0], corners[i][1], corners[i][2]}, c;
        RotateVec13(&c, &con->camMatrix, &local);
        con->camBox[i][0] = c.x + con->camOrigin.x;
        con->camBox[i][1] = c.y + con->camOrigin.y;
        con->camBox[i][2] = c.z + con->camOrigin.z;
        con->camBox[i][3] = 0;
    }
    con->middleDepth = static_cast<int32_t>((int64_t(con->camBox[0][2]) + con->camBox[6][2]) / 2);
    con->distance = con->middleDepth;
}

// The lights of a lit construct in object space: the sun and up to six point lights in reach.
void GatherLights(construct* con, const FixMatrix& orient) {
    ConstructLights& l = con->lights;
    if (SunLight) {
        FixVec d = {SunLight->dir[0], SunLight->dir[1], SunLight->dir[2]}, o;
        RotateVec(&o, &orient, &d);
        l.dirLight[0] = o.x, l.dirLight[1] = o.y, l.dirLight[2] = o.z;
        for (int c = 0; c < 3; ++c) l.dirColour[c] = SunLight->colour[c];
    } else {
        for (int c = 0; c < 3; ++c) l.dirLight[c] = l.dirColour[c] = 0;
    }
    l.pointCount = 0;
    for (int i = 0; i < ActiveLightCount && l.pointCount < kConstructPointLights; ++i) {
        const PointLight* p = ActiveLights[i];
        if (!p) continue;
        const int shift = p->rangeShift > 30 ? 30 : p->rangeShift;
        FixVec v = {p->pos[0] - con->pos[0], p->pos[1] - con->pos[1], p->pos[2] - con->pos[2]}, n = {0, 0, 0};
        const int32_t length = NormaliseF(&n, &v);
        const int32_t range = int32_t(1) << shift;
        if (length >= range) continue;
        FixVec o;
        RotateVec(&o, &orient, &n);
        auto& e = l.points[l.pointCount++];
        e.dir[0] = o.x, e.dir[1] = o.y, e.dir[2] = o.z;
        for (int c = 0; c < 3; ++c)
            e.colour[c] = static_cast<int32_t>((int64_t(p->colour[c]) * (range - length)) >> shift);
    }
}

// Adds the lights of the construct on a normal (1.15) to the sums, each light weighted by
// ((light . normal) >> 8) where that is positive.
void AddLights(const construct* con, const int32_t n[3], bool useDir, int32_t sum[3]) {
    const ConstructLights& l = con->lights;
    auto dot = [&](const int32_t d[3]) {
        int64_t s = ((int64_t(d[0]) * n[0]) >> 15) + ((int64_t(d[1]) * n[1]) >> 15) + ((int64_t(d[2]) * n[2]) >> 15);
        return static_cast<int32_t>(s >> 8);
    };
    if (useDir) {
        const int32_t d = dot(l.dirLight);
        if (d > 0)
            for (int c = 0; c < 3; ++c) sum[c] += l.dirColour[c] * d;
    }
    const int count = l.pointCount < 0 ? 0 : l.pointCount > kConstructPointLights ? kConstructPointLights : l.pointCount;
    for (int i = 0; i < count; ++i) {
        const int32_t d = dot(l.points[i].dir);
        if (d > 0)
            for (int c = 0; c < 3; ++c) sum[c] += l.points[i].colour[c] * d;
    }
}

inline uint8_t Cap255(int64_t v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

struct CollectorKind {
    int pass;     // stamp slot: 0 normal, 1 reflection
    bool useDir;  // the directional light counts
    bool tinted;  // blue start raised by the sky's reflection tint
};

// Transforms, lights and projects one point for the pass.
void TransformPoint(const construct* con, GeomPoint* p, const CollectorKind& kind, const int32_t start[3]) {
    FixVec local = {p->pos[0], p->pos[1], p->pos[2]}, c;
    RotateVec13(&c, &con->camMatrix, &local);
    FixVec cam = {c.x + con->camOrigin.x, c.y + con->camOrigin.y, c.z + con->camOrigin.z};
    p->view[0] = cam.x, p->view[1] = cam.y, p->view[2] = cam.z;
    ScreenPointRhw s;
    ProjectToScreenRhw(&s, &cam, ViewCentreXF, ViewCentreYF);
    p->screen[0] = s.x, p->screen[1] = s.y, p->screen[2] = s.depth, p->screen[3] = s.rhw;
    if (p->flags & 0x40) {
        int32_t sum[3] = {start[0], start[1], start[2]};
        AddLights(con, p->normal, kind.useDir, sum);
        for (int k = 0; k < 3; ++k) p->lightSum[k] = sum[k] >= 0x10000 ? 255 : Cap255(sum[k] >> 8);
        p->lit[3] = p->lightSum[1];
        if (p->marker)
            for (int k = 0; k < 3; ++k) p->lit[k] = Cap255((int64_t(p->colour[k]) * sum[k]) >> 16);
    }
    if (p->flags & 0x80) {
        FixVec n = {p->normal[0], p->normal[1], p->normal[2]}, r;
        RotateVec(&r, &con->normalMatrix, &n);
        p->sphere[0] = static_cast<float>(r.x) * (1.0f / 32768.0f) + 0.5f;
        p->sphere[1] = static_cast<float>(r.y) * (1.0f / 32768.0f) + 0.5f;
    }
    p->stamps[kind.pass] = ViewStamp;
}

void CollectFaces(construct* con, GeomFace** list, int* count, const CollectorKind& kind) {
    Geom* g = LODGeomForDistance(con);
    if (!g || !g->faces) return;
    int32_t start[3] = {ViewColour[0] * 256, ViewColour[1] * 256, ViewColour[2] * 256};
    if (kind.tinted) start[2] = (ViewColour[2] * 2 + (ViewReflectionTint & ~1)) * 128;
    const FixVec eye = con->eyeObj;
    GeomFace* f = g->faces;
    for (int i = 0; i < g->faceCount; ++i, f = NextFace(f)) {
        if (f->type & 0x80) continue;
        const int n = f->vertexCount;
        FaceVertex* v = FaceVerts(f);
        if (n < 1 || !v[0].point) continue;
        const GeomPoint* p0 = v[0].point;
        const int64_t facing = (int64_t(p0->pos[0]) - eye.x) * f->normal[0] + (int64_t(p0->pos[1]) - eye.y) * f->normal[1] +
                               (int64_t(p0->pos[2]) - eye.z) * f->normal[2];
        if (facing >= 1) continue;
        int32_t nearZ = INT32_MAX, farZ = INT32_MIN;
        bool complete = true;
        for (int k = 0; k < n; ++k) {
            GeomPoint* p = v[k].point;
            if (!p) {
                complete = false;
                break;
            }
            if (p->stamps[kind.pass] != ViewStamp) TransformPoint(con, p, kind, start);
            if (p->view[2] < nearZ) nearZ = p->view[2];
            if (p->view[2] > farZ) farZ = p->view[2];
        }
        if (!complete) continue;
        f->nearZ = nearZ;
        f->farZ = farZ;
        if (f->flags & 0x1) {
            int32_t sum[3] = {start[0], start[1], start[2]};
            AddLights(con, f->normal, kind.useDir, sum);
            for (int k = 0; k < 3; ++k) f->lit[k] = Cap255((int64_t(f->colour[k]) * sum[k]) >> 16);
            f->lit[3] = f->lit[1];
        }
        if (*count >= kFaceListLimit) return;  // the caller's limit keeps this from happening
        list[(*count)++] = f;
    }
}

const ObjectRoutineSet* RoutineSetFor(bool opaque) { return opaque ? ObjectRoutines : ObjectRoutinesB; }

void DrawFaceWith(const ObjectRoutineSet* set, GeomFace* f) {
    const int type = f->type & 0x7F;
    if (!set || type >= kObjectFaceTypes || !set->routine[type]) return;
    f->alpha = CurrentOpacity;
    set->routine[type](f);
}

void DrawFaceList(const ObjectRoutineSet* set, GeomFace** faces, int faceCount, bboard** boards, int boardCount) {
    int next = 0;
    for (int b = 0; b < boardCount; ++b) {
        const int32_t z = boards[b]->camPos[2];
        while (next < faceCount && faces[next]->farZ > z) DrawFaceWith(set, faces[next++]);
        DrawBBoard(boards[b]);
    }
    while (next < faceCount) DrawFaceWith(set, faces[next++]);
}

template <typename T, typename Key>
void SortDescending(T** list, int first, int last, Key key) {
    while (first < last) {
        const int64_t pivot = key(list[(first + last) >> 1]);
        int i = first, j = last;
        while (i <= j) {
            while (key(list[i]) > pivot) ++i;
            while (key(list[j]) < pivot) --j;
            if (i <= j) {
                if (i != j) {
                    T* t = list[i];
                    list[i] = list[j];
                    list[j] = t;
                }
                ++i;
                --j;
            }
        }
        if (first < j) SortDescending(list, first, j, key);
        first = i;
    }
}

}  // namespace

int BoxOutsideFrustum(int32_t corners[8][4]) {
    const int64_t halfW = ViewWidth / 2, halfH = ViewHeight / 2;
    auto all = [&](auto outside) {
        for (int i = 0; i < 8; ++i)
            if (!outside(corners[i])) return false;
        return true;
    };
    if (all([](const int32_t* c) { return c[2] <= NearPlane; })) return 1;
    auto sideX = [&](int sign) {
        return all([&](int32_t* c) {
            c[3] = static_cast<int32_t>(int64_t(c[2]) * halfW);
            return (int64_t(c[0]) * sign) * 1024 > int64_t(c[2]) * halfW;
        });
    };
    auto sideY = [&](int sign) {
        return all([&](int32_t* c) {
            c[3] = static_cast<int32_t>(int64_t(c[2]) * halfH);
            return (int64_t(c[1]) * sign) * 1024 > int64_t(c[2]) * halfH;
        });
    };
    if (sideX(1) || sideX(-1) || sideY(1) || sideY(-1)) return 1;
    return 0;
}

int32_t TransformConstruct(construct* con, int32_t reflect, int32_t nested) {
    if (!con) return 0;
    FixMatrix orient = OrientOf(con);
    FixVec pos = {con->pos[0], con->pos[1], con->pos[2]};
    if (!reflect) {
        con->drawStamps[0] = ViewStamp;
        if (con == ViewTarget && ViewOverlayFlag) {
            con->flags &= ~kConInView;
            return 0;
        }
    } else {
        con->drawStamps[1] = ViewStamp;
        orient.m[1] = -orient.m[1], orient.m[4] = -orient.m[4], orient.m[7] = -orient.m[7];
        int32_t level = WaterLevelAt(pos.x, pos.z);
        if (level == kNoWaterLevel) level = 0;
        pos.y = static_cast<int32_t>(int64_t(level) * 16 - pos.y);
    }
    FixMatrix scaled = orient;
    if (con->drawScale)
        for (int32_t& e : scaled.m) e = static_cast<int32_t>((int64_t(e) * con->drawScale) >> 8);
    MulMatrixT(&con->camMatrix, &scaled, &ProjMatrix);
    MulMatrixT(&con->normalMatrix, &scaled, &ViewMatrix);
    FixVec rel = {pos.x - EyePos.x, pos.y - EyePos.y, pos.z - EyePos.z};
    RotateVecF(&con->camOrigin, &ProjMatrix, &rel);

    if (con->subCount > 0 && !nested) {
        BoxToCamera(con, con->box.corners);
        if (BoxOutsideFrustum(con->camBox)) {
            con->flags &= ~kConInView;
            return 0;
        }
        con->flags |= kConInView;
        if (TransformConstruct(con, reflect, 1)) con->flags |= kConSubVisible;
        else con->flags &= ~kConSubVisible;
        for (int i = 0; i < con->subCount; ++i) {
            construct* sub = con->subs ? con->subs[i] : nullptr;
            if (!sub) continue;
            sub->distance = con->distance;
            if (TransformConstruct(sub, reflect, 1)) sub->flags |= kConSubVisible;
            else sub->flags &= ~kConSubVisible;
        }
        return 1;
    }
    Geom* g = con->lod[0];
    if (!g) return 1;
    if (!nested) {
        BoxToCamera(con, g->box.corners);
        if (BoxOutsideFrustum(con->camBox)) {
            con->flags &= ~kConInView;
            return 0;
        }
        con->flags |= kConInView;
    }
    FixVec eyeRel = {EyePos.x - pos.x, EyePos.y - pos.y, EyePos.z - pos.z}, e;
    RotateVecF(&e, &orient, &eyeRel);
    con->eyeObj = {e.x >> 2, e.y >> 2, e.z >> 2};
    if (con->flags & kConLit) GatherLights(con, OrientOf(con));
    return 1;
}

void CollectGeomFaces(construct* con, GeomFace** list, int* count) { CollectFaces(con, list, count, {0, true, false}); }
void CollectGeomFacesNoDirLight(construct* con, GeomFace** list, int* count) {
    CollectFaces(con, list, count, {0, false, false});
}
void CollectGeomFacesReflected(construct* con, GeomFace** list, int* count) {
    CollectFaces(con, list, count, {1, true, false});
}
void CollectGeomFacesReflectedTinted(construct* con, GeomFace** list, int* count) {
    CollectFaces(con, list, count, {1, true, true});
}

void DrawFaceListOpaque(GeomFace** faces, int faceCount, bboard** boards, int boardCount) {
    DrawFaceList(RoutineSetFor(true), faces, faceCount, boards, boardCount);
}
void DrawFaceListTranslucent(GeomFace** faces, int faceCount, bboard** boards, int boardCount) {
    DrawFaceList(RoutineSetFor(false), faces, faceCount, boards, boardCount);
}

void SortFacesByDepth(GeomFace** list, int first, int last) {
    SortDescending(list, first, last, [](const GeomFace* f) { return int64_t(f->nearZ) + f->farZ; });
}
void SortBBoardsByDepth(bboard** list, int first, int last) {
    SortDescending(list, first, last, [](const bboard* b) { return int64_t(b->camPos[2]); });
}

void DrawConstruct(construct* con, int32_t reflect, int32_t skipSubs) {
    if (!con) return;
    Geom* g = LODGeomForDistance(con);
    if (con->opacity == 0) return;
    CurrentOpacity = con->opacity;
    const bool opaque = con->opacity == 255;
    FaceCollector collect;
    if (opaque) {
        if (reflect) collect = CollectGeomFacesReflectedTinted;
        else collect = TopTileFieldPresent ? CollectGeomFacesNoDirLight : CollectGeomFaces;
    } else {
        collect = reflect ? CollectGeomFacesReflected : CollectGeomFaces;
    }
    FaceCount = 0;
    BBoardCount = 0;
    if ((con->flags & kConSubVisible) || con->subCount == 0) {
        if (g && g->faceCount < kFaceListLimit) collect(con, FaceList, &FaceCount);
        if (con->bboardCount > 0 && con->bboardCount + BBoardCount < kBBoardListLimit)
            CollectBBoards(con, BBoardList, &BBoardCount);
    }
    if (!skipSubs)
        for (int i = 0; i < con->subCount; ++i) {
            construct* sub = con->subs ? con->subs[i] : nullptr;
            if (!sub || !(sub->flags & kConSubVisible)) continue;
            Geom* sg = LODGeomForDistance(sub);
            if (sg && sg->faceCount + FaceCount < kFaceListLimit) collect(sub, FaceList, &FaceCount);
            if (sub->bboardCount > 0 && sub->bboardCount + BBoardCount < kBBoardListLimit)
                CollectBBoards(sub, BBoardList, &BBoardCount);
        }
    if (FaceCount > 1) SortFacesByDepth(FaceList, 0, FaceCount - 1);
    if (BBoardCount > 1) SortBBoardsByDepth(BBoardList, 0, BBoardCount - 1);
    if (opaque) DrawFaceListOpaque(FaceList, FaceCount, BBoardList, BBoardCount);
    else DrawFaceListTranslucent(FaceList, FaceCount, BBoardList, BBoardCount);
    // The tactical map lists the units it can see in the main view.
    if (!skipSubs && VisibleUnitsPool && CurrentViewPort && CurrentViewPort == MainViewPort && !PlayerUnit && con->unit &&
        !(PlayerTFView && con == PlayerTFView->current) && !(con->unit->klass & 0x2E0))
        AppendToConstructPoolIfRoom(VisibleUnitsPool, con);
}

GeomFace* const* LastFaceList(int* count) {
    *count = FaceCount;
    return FaceList;
}

int ProjectShadowFaces(construct* con, GeomFace** list, int* count) {
    Geom* g = con ? con->shadow : nullptr;
    if (!g || !g->faces) return 0;
    matrix* m = CurrentMatrix;
    const FixMatrix orient = OrientOf(con);
    int result = 0;
    GeomFace* f = g->faces;
    for (int i = 0; i < g->faceCount; ++i, f = NextFace(f)) {
        FaceVertex* v = FaceVerts(f);
        uint32_t combined = 0;
        int32_t nearZ = INT32_MAX, farZ = INT32_MIN;
        bool complete = f->vertexCount > 0;
        for (int k = 0; k < f->vertexCount && complete; ++k) {
            GeomPoint* p = v[k].point;
            if (!p) {
                complete = false;
                break;
            }
            if (p->stamps[0] != ViewStamp) {
                FixVec local = {p->pos[0], p->pos[1], p->pos[2]}, w;
                RotateVecT13(&w, &orient, &local);
                int32_t world[3] = {w.x + con->pos[0], w.y + con->pos[1], w.z + con->pos[2]};
                uint32_t cls = 0;
                int32_t height = m ? InterpGroundHeight(m, world, &cls) : 0;
                if (m && (cls & 0x2000) && (con->flags & kConShadowSlope)) {
                    int32_t top = 0;
                    height = InterpGroundHeights(m, world, &top, 0, 0);
                }
                const int32_t level = WaterLevelAt(world[0], world[2]);
                if (level != kNoWaterLevel && height < level * 8) height = level * 8;
                world[1] = height;
                p->normal[1] = static_cast<int32_t>(cls);
                FixVec rel = {world[0] - EyePos.x, world[1] - EyePos.y, world[2] - EyePos.z}, cam;
                RotateVecF(&cam, &ProjMatrix, &rel);
                p->view[0] = cam.x, p->view[1] = cam.y, p->view[2] = cam.z;
                ScreenPointRhw s;
                ProjectToScreenRhw(&s, &cam, ViewCentreXF, ViewCentreYF);
                p->screen[0] = s.x, p->screen[1] = s.y, p->screen[2] = s.depth, p->screen[3] = s.rhw;
                p->stamps[0] = ViewStamp;
            }
            combined |= static_cast<uint32_t>(p->normal[1]);
            if (p->view[2] < nearZ) nearZ = p->view[2];
            if (p->view[2] > farZ) farZ = p->view[2];
        }
        if (!complete) continue;
        if ((combined & 0x2000) && (con->flags & kConShadowSlope)) result = 1;
        if (combined == 3) continue;
        f->nearZ = nearZ;
        f->farZ = farZ;
        if (*count < kFaceListLimit) list[(*count)++] = f;
    }
    return result;
}

void CollectShadowFaces(construct* con) {
    if (!con) return;
    FaceCount = 0;
    if (ProjectShadowFaces(con, FaceList, &FaceCount)) con->flags |= kConShadowTouched;
    else con->flags &= ~kConShadowTouched;
    CurrentOpacity = con->shadowOpacity <= con->opacity ? con->shadowOpacity : con->opacity;
    const ObjectRoutineSet* set = RoutineSetFor(con->opacity == 255);
    ObjectPolyRoutine shadow = set ? set->routine[8] : nullptr;
    if (!shadow) return;
    for (int i = 0; i < FaceCount; ++i) {
        FaceList[i]->alpha = CurrentOpacity;
        shadow(FaceList[i]);
    }
}

int32_t ProjectConstruct(construct* con, const SphereRecord* sphere, int16_t out[3]) {
    FixMatrix view = ViewMatrix;
    int32_t focal = FocalX;
    FixVec camera = EyePos;
    float cx = ViewCentreXF, cy = ViewCentreYF;
    if (MainViewPort) {
        view = MainViewPort->view;
        focal = MainViewPort->focal[0];
        camera = MainViewPort->cameraPos;
        cx = static_cast<float>(MainViewPort->centreX);
        cy = static_cast<float>(MainViewPort->centreY);
    }
    for (int i = 0; i < 6; ++i) view.m[i] = static_cast<int32_t>((int64_t(view.m[i]) * focal) >> 10);
    FixMatrix m;
    const FixMatrix orient = OrientOf(con);
    MulMatrixT(&m, &orient, &view);
    FixVec centre = {sphere->centre[0], sphere->centre[1], sphere->centre[2]}, c, o;
    RotateVec13(&c, &m, &centre);
    FixVec rel = {con->pos[0] - camera.x, con->pos[1] - camera.y, con->pos[2] - camera.z};
    RotateVecF(&o, &view, &rel);
    FixVec p = {c.x + o.x, c.y + o.y, c.z + o.z};
    ScreenPoint16 s;
    ProjectToScreen16(&s, &p, cx, cy);
    const int32_t scaled = static_cast<int32_t>((int64_t(focal) * sphere->radius) >> 10);
    int32_t size;
    if (p.z < 32768) size = FixDiv(scaled, p.z < 1 ? 1 : p.z) >> 5;
    else size = FixDiv(scaled, p.z >> 3) >> 8;
    out[0] = s.x;
    out[1] = s.y;
    out[2] = static_cast<int16_t>(size);
    return static_cast<int16_t>(size);
}
