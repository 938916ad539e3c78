// What a view defers until its scene is drawn: translucent and glowing faces, billboard sprites and the
// flares that are drawn only where the depth buffer shows them. The view renderer empties the lists per
// view and draws them after the scene.
#pragma once

#include <cstdint>

struct GeomFace;
struct bboard;

constexpr int kDeferredFaceLimit = 4000;
constexpr int kDeferredBBoardLimit = 300;
constexpr int kFlareLimit = 64;

// A deferred face with the opacity it is drawn with (255: the opaque routine set) and its face type.
struct DeferredFace {
    GeomFace* face;
    uint8_t opacity;
    uint8_t type;
};

extern DeferredFace DeferredFaces[kDeferredFaceLimit];
extern int32_t DeferredFaceCount;
extern int32_t DeferredFaceOverflow;
extern bboard* DeferredBBoards[kDeferredBBoardLimit];
extern int32_t DeferredBBoardCount;
extern int32_t DeferredBBoardOverflow;
extern bboard* FlareList[kFlareLimit];
extern int32_t FlareCount;

// Appends a face (with the current opacity); on a full list sets the overflow flag and drops it.
void DeferFace(GeomFace* face);
// Empties the face and billboard lists and their overflow flags / the flare list.
void ClearDeferredLists();
void ClearFlareList();
// Draws the deferred faces, each through the translucent set when its opacity is below 255, else the
// opaque set, then the deferred billboards.
void DrawDeferredLists();
// Draws the flare list where the depth buffer shows each flare.
void DrawFlareList();
