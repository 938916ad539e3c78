// Viewports: the table of camera views, their boards and skies, their targets and the camera shake.
#include "render/Viewport.h"

#include <cmath>
#include <cstring>

#include "core/FixMath.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "objects/ConstructRes.h"
#include "objects/Itfc.h"
#include "render/RenderTables.h"
#include "render/ScapeBoard.h"
#include "render/Sky.h"
#include "world/Level.h"
#include "world/Terrain.h"

ViewPort* ViewPortTable[kMaxViewPorts];
int32_t ViewPortCount = 0;
ViewPort* MainViewPort = nullptr;

namespace {

int32_t StrideFor(int type) { return type == kReflectFull ? 56 : 36; }

int32_t TruncInt(double v) { return static_cast<int32_t>(v); }

// Viewports that borrowed `board` take the new boards and what goes with them.
void HandOnBoards(ScapeBoard* oldBoard, const ViewPort* from) {
    for (int i = 0; i < ViewPortCount; ++i) {
        ViewPort* v = ViewPortTable[i];
        if (!v || v == from || !v->sharesMainBoards || v->board != oldBoard) continue;
        v->board = from->board;
        v->topBoard = from->topBoard;
        v->boardRadius = from->boardRadius;
        v->reflectionType = from->reflectionType;
        v->vertexStride = from->vertexStride;
    }
}

ScapeBoard* MakeBoard(int radius, int layer, int type, construct* owner) {
    ScapeBoard* b = CreateScapeBoard(2 * radius + 1, 2 * radius + 1, radius, layer, type);
    if (b) b->followed = owner;
    return b;
}

}  // namespace

ViewPort* CreateViewPort(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (ViewPortCount >= kMaxViewPorts) FatalError("Error(CreateViewPort): Too many ViewPorts");
    auto* vp = static_cast<ViewPort*>(qzAlloc(sizeof(ViewPort), "viewport cell"));
    std::memset(vp, 0, sizeof *vp);
    vp->left = left;
    vp->top = top;
    vp->right = right;
    vp->bottom = bottom;
    vp->centreX = left + (right - left) / 2;
    vp->centreY = top + (bottom - top) / 2;
    vp->cameraKind = 255;
    const int fov = static_cast<int>(FieldOfView);
    vp->focal[0] = static_cast<int32_t>(static_cast<float>(right - left) /
                                        (2.0f * std::tan(static_cast<float>(fov) * 3.1415927f / 180.0f * 0.5f)));
    vp->focal[1] = vp->focal[0];
    SetCameraShake(vp, 0, 0, 0.0f, 0.0f, 0.0f, 0.0f);
    const Rule* lod = NamedRulef("%s", "lod_high");
    for (int i = 0; i < 4; ++i) {
        const int32_t d = i < lod->count ? TruncInt(lod->values[i]) : 0;
        vp->lod[i] = vp->morph[i] = d;
    }
    vp->shadowRange = 150000;
    vp->reflectionType = kReflectNone;
    vp->vertexStride = 36;
    vp->boardRadius = vp->viewRadius = 9;
    vp->colour[0] = vp->colour[1] = vp->colour[2] = 4;
    vp->colour[3] = 0;
    ViewPortTable[ViewPortCount++] = vp;
    return vp;
}

void DestroyViewPort(ViewPort* vp) {
    if (!vp) return;
    for (int i = 0; i < ViewPortCount; ++i) {
        if (ViewPortTable[i] != vp) continue;
        if (vp->follows) DetachViewPort(vp);
        else if (!vp->sharesMainBoards) {
            // Boards and a sky opened without a target are still the viewport's own.
            FreeScapeBoard(vp->board);
            FreeScapeBoard(vp->topBoard);
            FreeSkyCell(vp->sky);
        }
        if (MainViewPort == vp) MainViewPort = nullptr;
        qzFree(vp);
        ViewPortTable[i] = ViewPortTable[--ViewPortCount];
        ViewPortTable[ViewPortCount] = nullptr;
        return;
    }
}

void SetViewPortBoards(ViewPort* vp, ScapeBoard* board, ScapeBoard* topBoard, SkyCell* sky, int shared) {
    vp->board = board;
    vp->topBoard = topBoard;
    vp->sky = sky;
    vp->sharesMainBoards = shared ? 1 : 0;
}

void SetViewPortScape(ViewPort* vp, int shared, SkyCell* sky, int radius, construct* target, construct* overlay,
                      int method) {
    if (!vp) return;
    vp->overlayObject = overlay;
    if (shared) {
        const ViewPort* m = MainViewPort;
        if (m && m != vp) {
            SetViewPortBoards(vp, m->board, m->topBoard, m->sky, 1);
            vp->reflectionType = m->reflectionType;
            vp->boardRadius = m->boardRadius;
        }
        vp->sharesMainBoards = 1;
        vp->vertexStride = StrideFor(vp->reflectionType);
        if (target) CallItfc(target, static_cast<ItfcMethod>(method), reinterpret_cast<uintptr_t>(vp));
        return;
    }
    vp->boardRadius = radius;
    ScapeBoard* board = MakeBoard(radius, 0, vp->reflectionType, nullptr);
    ScapeBoard* top = TopTileFieldPresent ? MakeBoard(radius, 1, 0, nullptr) : nullptr;
    if (!sky) sky = RebuildSkyGeometry(WorldSkyCell);
    SetViewPortBoards(vp, board, top, sky, 0);
    CreateMeridians(sky, board, top);
    vp->vertexStride = StrideFor(vp->reflectionType);
    if (target) CallItfc(target, ItfcMethod::VIEWINSIDE, reinterpret_cast<uintptr_t>(vp));
    if (CurrentMatrix) {
        UpdateScapeBoard(board, CurrentMatrix);
        if (top) UpdateScapeBoard(top, CurrentMatrix);
    }
}

void SetViewPortScapeNoOverlay(ViewPort* vp, int shared, SkyCell* sky, int radius, construct* target, int method) {
    SetViewPortScape(vp, shared, sky, radius, target, nullptr, method);
}

int32_t SetViewPortLOD(ViewPort* vp, const float* lod, const float* morph) {
    for (int i = 0; i < 4; ++i) {
        if (lod) vp->lod[i] = TruncInt(lod[i]);
        if (morph) vp->morph[i] = TruncInt(morph[i]);
    }
    const int32_t m = TruncInt(vp->boardRadius * 66666.67);
    if (vp->lod[0] < m) vp->lod[0] = m;
    if (vp->morph[0] < m) vp->morph[0] = m;
    return m;
}

void DetachViewPort(ViewPort* vp) {
    if (!vp) return;
    if (!vp->sharesMainBoards) {
        FreeScapeBoard(vp->board);
        FreeScapeBoard(vp->topBoard);
        FreeSkyCell(vp->sky);
    }
    if (vp->follows) vp->fade = -15;
    // The boards are gone before the target is let go, so the target's release finds no board to own.
    vp->board = vp->topBoard = nullptr;
    vp->sky = nullptr;
    SetViewPortTarget(vp, nullptr, nullptr, nullptr, 0);
    vp->sharesMainBoards = 0;
    vp->cameraKind = 255;
}

void SetViewPortTarget(ViewPort* vp, construct* target, const int32_t* eyePos, const FixMatrix* eyeOrient,
                       int inside) {
    if (!vp) return;
    if (target != vp->follows) {
        construct* old = vp->follows;
        vp->follows = target;
        if (old) {
            UnFocusConstruct(old);
            CallItfc(old, ItfcMethod::VIEWRELEASE, reinterpret_cast<uintptr_t>(vp));
        }
        if (target) FocusConstruct(target);
    }
    vp->eyePos = eyePos;
    vp->eyeOrient = eyeOrient;
    vp->insideView = inside ? 1 : 0;
    if (!vp->sharesMainBoards) {
        if (vp->board) vp->board->followed = target;
        if (vp->topBoard) vp->topBoard->followed = target;
    }
    UpdateViewPortCamera(vp, 0);
}

void SetScapeDetail(ViewPort* vp, int type) {
    if (!vp || vp->sharesMainBoards || !vp->follows || !vp->board || vp->reflectionType == type) return;
    ScapeBoard* old = vp->board;
    vp->reflectionType = static_cast<uint8_t>(type);
    vp->board = MakeBoard(vp->boardRadius, 0, type, old->followed);
    FreeScapeBoard(old);
    vp->vertexStride = StrideFor(type);
    if (CurrentMatrix) UpdateScapeBoard(vp->board, CurrentMatrix);
    CreateMeridians(vp->sky, vp->board, nullptr);
    HandOnBoards(old, vp);
}

void SetViewRadius(ViewPort* vp, int radius) {
    if (!vp || !vp->follows || vp->sharesMainBoards || !vp->board || vp->boardRadius == radius) return;
    ScapeBoard* old = vp->board;
    ScapeBoard* oldTop = vp->topBoard;
    vp->boardRadius = radius;
    vp->board = MakeBoard(radius, 0, vp->reflectionType, old->followed);
    vp->topBoard = oldTop ? MakeBoard(radius, 1, 0, oldTop->followed) : nullptr;
    FreeScapeBoard(old);
    FreeScapeBoard(oldTop);
    if (CurrentMatrix) {
        UpdateScapeBoard(vp->board, CurrentMatrix);
        if (vp->topBoard) UpdateScapeBoard(vp->topBoard, CurrentMatrix);
    }
    CreateMeridians(vp->sky, vp->board, vp->topBoard);
    HandOnBoards(old, vp);
}

void ActivateViewPort(ViewPort* vp) {
    if (!vp) return;
    SetViewportRect(vp->left, vp->top, vp->right, vp->bottom);
    for (int i = 0; i < ViewPortCount; ++i)
        if (ViewPortTable[i]) ViewPortTable[i]->active = 0;
    vp->active = 1;
}

void UpdateViewPortCamera(ViewPort* vp, int ticks) {
    if (!vp || !vp->follows) return;
    if (vp->eyePos) vp->cameraPos = {vp->eyePos[0], vp->eyePos[1], vp->eyePos[2]};
    if (vp->shakeRemaining <= 0 || vp->shakeDuration <= 0) {
        if (vp->eyeOrient) vp->view = *vp->eyeOrient;
        return;
    }
    const float f = static_cast<float>(vp->shakeRemaining) / static_cast<float>(vp->shakeDuration);
    const float a1 = static_cast<float>(FixSin(static_cast<int32_t>(vp->shakePhase[0] * 411774.0f))) *
                     vp->shakeAmplitude[0] * f;
    const float a2 = static_cast<float>(FixSin(static_cast<int32_t>(vp->shakePhase[1] * 411774.0f))) *
                     vp->shakeAmplitude[1] * f;
    vp->shakePhase[0] += vp->shakeFrequency[0];
    vp->shakePhase[1] += vp->shakeFrequency[1];
    FixMatrix shake;
    const int32_t yaw = static_cast<int32_t>(a1 / 8.0f) - 102943;
    const int32_t pitch = static_cast<int32_t>(a2 / 8.0f) + 102943;
    if (vp->shakeKind == 0) MatrixFromYawPitch(&shake, yaw, pitch);
    else MatrixFromPitchYaw(&shake, yaw, pitch);
    if (vp->eyeOrient) MulMatrix(&vp->view, vp->eyeOrient, &shake);
    vp->shakeRemaining -= ticks;
    if (vp->shakeRemaining <= 0) vp->shakeRemaining = 0;
}

ViewPort* SetCameraShake(ViewPort* vp, int duration, int kind, float amplitude1, float amplitude2,
                         float frequency1, float frequency2) {
    vp->shakeDuration = vp->shakeRemaining = duration;
    vp->shakeKind = static_cast<uint8_t>(kind);
    vp->shakeAmplitude[0] = amplitude1;
    vp->shakeAmplitude[1] = amplitude2;
    vp->shakeFrequency[0] = frequency1;
    vp->shakeFrequency[1] = frequency2;
    vp->shakePhase[0] = vp->shakePhase[1] = 0.0f;
    return vp;
}

void StartCameraShake(ViewPort* vp, int kind, int duration, float strength) {
    if (!vp || (kind != 0 && kind != 1)) return;
    SetCameraShake(vp, duration, kind, strength * 0.15f, strength * 0.33f, 0.31f, 0.2f);
}

void ShakeMainViewPort(int kind, int duration, float strength) { StartCameraShake(MainViewPort, kind, duration, strength); }

void SetViewPortShadowDepth(ViewPort* vp, int depth) {
    if (vp) vp->shadowRange = depth;
}

void SetViewPortReflection(ViewPort* vp, int type) {
    if (!vp) return;
    vp->reflectionType = static_cast<uint8_t>(type);
    vp->vertexStride = StrideFor(type);
}

int NamedReflectionType(const char* name) {
    if (name && strcmp(name, "NONE") == 0) return 0;
    if (name && strcmp(name, "PARTIAL") == 0) return 1;
    if (name && strcmp(name, "FULL") == 0) return 2;
    FatalErrorF("Error(NamedReflectionType): unknown type '%s'", name ? name : "");
    return 0;
}

construct* PickedConstruct = nullptr;
