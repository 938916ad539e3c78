// Viewports: the camera views on the screen, kept in one table with the main 3D view first among them.
// A viewport shows the eye of the construct it is attached to (its target), through its own terrain
// boards and sky cell or through the main view's; hits and explosions shake its camera.
#pragma once

#include <cstdint>

#include "core/Fix3D.h"

struct construct;
struct ScapeBoard;
struct SkyCell;

constexpr int kMaxViewPorts = 8;

enum : uint8_t { kReflectNone = 0, kReflectPartial = 1, kReflectFull = 2 };

struct ViewPort {
    int32_t left, top, right, bottom;  // screen rectangle
    uint8_t active;                    // 1 on the viewport last activated
    uint8_t cameraKind;                // state: 0 weapon, 1 rear, 2 tracker, 3 ground, 5 target, 255 detached
    uint8_t edgeEvents;
    uint8_t hidden;
    uint8_t sharesMainBoards;          // board, upper board and sky are the main view's, not ours to free
    uint8_t reflectionType;            // kReflect*
    uint8_t colour[4];                 // detail bytes: ambient colour red, green, blue (4, 4, 4, 0 when created)
    uint8_t insideView;                // the flag given with the last target: 1 inside (own eye), 0 outside;
                                       // inside, the target is not drawn and its overlay is (DRAWOVERLAY)
    uint8_t main;                      // 1 on the main 3D view
    int32_t focal[2];                  // focal length (pixels); both written by RenderView
    int32_t centreX, centreY;          // screen centre, the projection's parameters
    int32_t boardRadius, viewRadius;   // tile cells around the camera
    construct* follows;                // the target: the construct whose eye is shown, or null
    construct* overlayObject;          // a view in which it was not drawn gets the noise film; or null
    const int32_t* eyePos;             // inside the target: where the eye is (3 words, 16.16)
    const FixMatrix* eyeOrient;        // inside the target: the eye's orientation (1.15)
    FixVec cameraPos;                  // camera position of this frame, 16.16 world units
    FixMatrix view;                    // camera orientation of this frame, 1.15
    ScapeBoard* board;
    ScapeBoard* topBoard;
    SkyCell* sky;
    int32_t lod[4];                    // view-space depth above which a patch of level 0..3 is drawn whole
    int32_t morph[4];                  // the reflection pass's morph distances
    int32_t shadowRange;               // max shadow depth
    int32_t vertexStride;              // bytes per board vertex: 36, or 56 with FULL reflection
    int32_t fade;                      // 0 at creation; -15 when a viewport with a target is detached
    uint8_t shakeKind;                 // 0: yaw then pitch; 1: pitch then yaw
    float shakeAmplitude[2];
    int32_t shakeDuration;             // ticks, the full length of the current shake
    float shakeFrequency[2];           // phase step per tick, in turns
    float shakePhase[2];               // in turns
    int32_t shakeRemaining;            // ticks left; 0 when no shake runs
};

extern ViewPort* ViewPortTable[kMaxViewPorts];
extern int32_t ViewPortCount;
extern ViewPort* MainViewPort;

// Appends a viewport of the rectangle to the table; its focal length follows FieldOfView (degrees) and
// its LOD distances the rule "lod_high". A ninth viewport is fatal.
ViewPort* CreateViewPort(int32_t left, int32_t top, int32_t right, int32_t bottom);
// Detaches the viewport, removes it from the table (the last entry fills the gap) and frees it. A
// viewport not in the table is left alone.
void DestroyViewPort(ViewPort* vp);
// Opens the viewport on the terrain: shared takes the main view's boards and sky, else the viewport makes
// its own boards of 2 radius + 1 cells and its sky (a copy of the world's sky when none is given). The
// target is told to show itself in it through method (VIEWINSIDE or VIEWOUTSIDE).
void SetViewPortScape(ViewPort* vp, int shared, SkyCell* sky, int radius, construct* target, construct* overlay,
                      int method);
void SetViewPortScapeNoOverlay(ViewPort* vp, int shared, SkyCell* sky, int radius, construct* target, int method);
void SetViewPortBoards(ViewPort* vp, ScapeBoard* board, ScapeBoard* topBoard, SkyCell* sky, int shared);
// Replaces the near and the far LOD set from four values each (null keeps one); the first entry of each is
// raised to board radius x 66666.67. Returns that least first distance.
int32_t SetViewPortLOD(ViewPort* vp, const float* lod, const float* morph);
// Frees the viewport's own boards and sky and lets go of its target.
void DetachViewPort(ViewPort* vp);
// Attaches the viewport to a construct's eye (position and orientation inside the construct).
void SetViewPortTarget(ViewPort* vp, construct* target, const int32_t* eyePos, const FixMatrix* eyeOrient,
                       int inside);
// Rebuilds the viewport's own board for another reflection type, or for another radius.
void SetScapeDetail(ViewPort* vp, int reflectionType);
void SetViewRadius(ViewPort* vp, int radius);
// Makes the viewport the active one and sets the 2D clip rectangle to its screen rectangle.
void ActivateViewPort(ViewPort* vp);
// Moves the viewport's camera to its target's eye, with the camera shake.
void UpdateViewPortCamera(ViewPort* vp, int ticks);
// Stores a shake of the given length (ticks), kind, amplitudes and frequencies (turns per tick).
ViewPort* SetCameraShake(ViewPort* vp, int duration, int kind, float amplitude1, float amplitude2,
                         float frequency1, float frequency2);
// A shake of strength s: kind 0 or 1, amplitudes 0.15 s and 0.33 s; other kinds do nothing.
void StartCameraShake(ViewPort* vp, int kind, int duration, float strength);
// The main view's shake, the sound effects' hook (kind, duration, strength).
void ShakeMainViewPort(int kind, int duration, float strength);
// 0 "NONE", 1 "PARTIAL", 2 "FULL"; any other name is fatal.
int NamedReflectionType(const char* name);
// Sets a viewport's shadow depth and reflection type (with the vertex stride that goes with it).
void SetViewPortShadowDepth(ViewPort* vp, int depth);
void SetViewPortReflection(ViewPort* vp, int type);

// The construct the view loop last picked under the mouse pointer, or null (picking sets it).
extern construct* PickedConstruct;
