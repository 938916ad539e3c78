// Viewports: the camera views on the screen, kept in one table with the main 3D view first among them.
#pragma once

#include <cstdint>

#include "core/Fix3D.h"

struct construct;
struct matrix;
struct ScapeBoard;
struct SkyCell;

constexpr int kMaxViewPorts = 8;

enum : uint8_t { kReflectNone = 0, kReflectPartial = 1, kReflectFull = 2 };

// A noise overlay drawn over a view; its stamp is compared with ViewStamp.
struct ViewNoise {
    uint16_t stamp;
};

struct ViewPort {
    int32_t left, top, right, bottom;  // screen rectangle
    uint8_t active;                    // in use
    uint8_t overlay;                   // DRAWOVERLAY in the main view
    uint8_t cameraKind;                // 0 weapon, 1 rear, 2 tracker, 3 ground, 5 target, 255 detached
    uint8_t edgeEvents;
    uint8_t hidden;
    uint8_t sharesMainBoards;          // uses the main viewport's boards
    uint8_t reflectionType;            // kReflect*
    uint8_t colour[4];                 // ambient colour red, green, blue (4, 4, 4 when created)
    int32_t focal[2];                  // focal length, both written by RenderView
    int32_t centreX, centreY;          // screen centre, the projection's parameters
    int32_t boardRadius, viewRadius;
    construct* follows;                // the construct the camera follows, or null
    ViewNoise* noise;
    FixVec cameraPos;                  // camera position of this frame, 16.16 world units
    FixMatrix view;                    // camera orientation of this frame, 1.15
    ScapeBoard* board;
    ScapeBoard* topBoard;
    SkyCell* sky;
    int32_t lod[4];                    // view-space depth above which a patch of level 0..3 is drawn whole
    int32_t morph[4];                  // the reflection pass's morph distances
    int32_t shadowRange;
};

extern ViewPort* ViewPortTable[kMaxViewPorts];
extern int32_t ViewPortCount;
extern ViewPort* MainViewPort;

// Makes the viewport the current one and sets the 2D clip rectangle to its screen rectangle.
void ActivateViewPort(ViewPort* vp);
// Frees the viewport's own boards and its sky cell and marks it detached.
void DetachViewPort(ViewPort* vp);

// Appends a viewport of the rectangle and field of view (degrees) to the table.
ViewPort* CreateViewPort(int32_t left, int32_t top, int32_t width, int32_t height, float fieldOfView);
// Detaches the viewport, removes it from the table (the last entry fills the gap) and frees it.
void DestroyViewPort(ViewPort* vp);
// Attaches the viewport to the terrain's scape boards and to the construct it follows, with no overlay.
void SetViewPortScapeNoOverlay(ViewPort* vp, int flag, matrix* terrain, int value, construct* follows, int detail);
// Replaces the LOD distance table and the reflection morph table from four values each (null keeps one).
void SetViewPortLOD(ViewPort* vp, const float* lod, const float* morph);
// Moves the viewport's camera after what it follows, with the camera shake.
void UpdateViewPortCamera(ViewPort* vp, int ticks);
// 0 "NONE", 1 "PARTIAL", 2 "FULL"; any other name is fatal.
int NamedReflectionType(const char* name);
// Sets a viewport's shadow depth and reflection type.
void SetViewPortShadowDepth(ViewPort* vp, int depth);
void SetViewPortReflection(ViewPort* vp, int type);
