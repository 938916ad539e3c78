// Construct drawing: once per view and pass a construct is brought into camera space, tested against
// the view frustum and given the lights that reach it; its faces that face the eye are then lit,
// projected, sorted back to front together with its billboards and handed to the object polygon
// routine of their face type. Also the construct shadows on the ground and the projection of a
// construct's bounding sphere for the interface.
#pragma once

#include <cstdint>

struct construct;
struct GeomFace;
struct bboard;
struct SphereRecord;
struct ConstructPool;

// Draw-time limits: faces and billboards of one construct (with its sub-constructs).
constexpr int kFaceListLimit = 3000;
constexpr int kBBoardListLimit = 32;

// The opacity of what is being drawn (255 opaque, 1..254 translucent); the alpha routines read it.
extern uint8_t CurrentOpacity;
// The units drawn in the main view while the player drives no unit, for the tactical map (which makes
// the pool; null until then). The view renderer empties it every frame.
extern ConstructPool* VisibleUnitsPool;
// The reflection tint byte of the current view's sky (blue added to reflected opaque constructs); 0
// while the sky provides none.
extern uint8_t ViewReflectionTint;

// Transforms a construct for the current view and pass (reflect: the water reflection pass; nested:
// called for the construct's own geometry or a sub-construct, without the frustum test). 1 when it may
// be visible, else 0.
int32_t TransformConstruct(construct* con, int32_t reflect, int32_t nested);
// 1 when all eight camera-space corners (x, y, z, scratch) lie outside one plane of the view frustum.
int BoxOutsideFrustum(int32_t corners[8][4]);
// Draws a transformed construct (and, unless skipSubs, its visible sub-constructs).
void DrawConstruct(construct* con, int32_t reflect, int32_t skipSubs);
// Draws the construct's shadow geometry laid on the ground.
void CollectShadowFaces(construct* con);
// Lays the shadow faces on the ground and appends those to draw; 1 when a corner followed a slope.
int ProjectShadowFaces(construct* con, GeomFace** list, int* count);
// Sorts back to front: faces by nearest plus farthest z, billboards by camera z (larger first).
void SortFacesByDepth(GeomFace** list, int first, int last);
void SortBBoardsByDepth(bboard** list, int first, int last);
// Projects the construct's bounding sphere in the main view: out = screen x, y and size; returns the
// size.
int32_t ProjectConstruct(construct* con, const SphereRecord* sphere, int16_t out[3]);

// The face collectors (append the construct's visible faces of its current LOD geom to the list) and
// the draw-list routines (draw the sorted faces and billboards, merged back to front).
using FaceCollector = void (*)(construct* con, GeomFace** list, int* count);
void CollectGeomFaces(construct* con, GeomFace** list, int* count);
void CollectGeomFacesNoDirLight(construct* con, GeomFace** list, int* count);
void CollectGeomFacesReflected(construct* con, GeomFace** list, int* count);
void CollectGeomFacesReflectedTinted(construct* con, GeomFace** list, int* count);
void DrawFaceListOpaque(GeomFace** faces, int faceCount, bboard** boards, int boardCount);
void DrawFaceListTranslucent(GeomFace** faces, int faceCount, bboard** boards, int boardCount);

// The face list and billboard list of the construct drawn last (read by tests and the benchmark).
GeomFace* const* LastFaceList(int* count);
