// Viewports: the camera views on the screen, kept in one table with the main 3D view first among them.
#pragma once

#include <cstdint>

#include "core/Fix3D.h"

struct construct;
struct matrix;

struct ViewPort {
    int32_t left, top, right, bottom;  // screen rectangle
    uint8_t active;                    // non-zero while the viewport is in use
    uint8_t overlay;                   // DRAWOVERLAY in the main view
    uint8_t cameraKind;                // 255 when detached
    uint8_t edgeEvents;
    construct* follows;  // the construct the camera follows, or null
    FixVec cameraPos;    // 16.16 world units
    FixMatrix view;      // 1.15
};

constexpr int kMaxViewPorts = 8;
extern ViewPort* ViewPortTable[kMaxViewPorts];
extern int32_t ViewPortCount;
// The main 3D view, made while a level is built; null between levels.
extern ViewPort* MainViewPort;

// Appends a viewport of the rectangle and field of view (degrees) to the table.
ViewPort* CreateViewPort(int32_t left, int32_t top, int32_t width, int32_t height, float fieldOfView);
// Detaches the viewport, removes it from the table (the last entry fills the gap) and frees it.
void DestroyViewPort(ViewPort* vp);
// Attaches the viewport to the terrain's scape boards and to the construct it follows, with no overlay.
void SetViewPortScapeNoOverlay(ViewPort* vp, int flag, matrix* terrain, int value, construct* follows, int detail);
// Replaces the LOD distance table and the reflection morph table from four values each (null keeps one).
void SetViewPortLOD(ViewPort* vp, const float* lod, const float* morph);
// Frees the viewport's own boards and sky cell and leaves it following nothing.
void DetachViewPort(ViewPort* vp);
// Makes the viewport the current one.
void ActivateViewPort(ViewPort* vp);
// Moves the viewport's camera after what it follows, with the camera shake.
void UpdateViewPortCamera(ViewPort* vp, int ticks);
// 0 "NONE", 1 "PARTIAL", 2 "FULL"; any other name is fatal.
int NamedReflectionType(const char* name);
// Sets a viewport's shadow depth and reflection type.
void SetViewPortShadowDepth(ViewPort* vp, int depth);
void SetViewPortReflection(ViewPort* vp, int type);
