#include "hud/MousePtr.h"

#include <climits>

#include "core/Memory.h"
#include "host/Gfx.h"
#include "hud/Icons.h"
#include "platform/Bitmap.h"
#include "platform/Dxgl.h"
#include "render/RenderTables.h"
#include "world/Player.h"

const char* const MouseShapeNames[kMouseShapeCount] = {"mouse0",    "mouse_left", "mouse_right", "mouse_up",
                                                       "mouse_down", "mouse_zoom", "mouse_rot",  "mouse_offensive"};
static_assert(static_cast<int>(MouseShape::Zoom) == 5 && static_cast<int>(MouseShape::Rotate) == 6);

MousePtr* MousePointer = nullptr;

namespace {

// The pointer's position for the player's input sampling; (0, 0, 0) without a pointer.
void ReadPointer(int32_t* x, int32_t* y, int32_t* z) { GetMousePtr(x, y, z); }

}  // namespace

void CreateMousePtr() {
    // The shapes are looked up first, so a missing icon leaves no half-made pointer behind.
    QZIcon* shapes[kMouseShapeCount];
    for (int i = 0; i < kMouseShapeCount; ++i) shapes[i] = NamedQZIcon("%s", MouseShapeNames[i]);
    auto* m = static_cast<MousePtr*>(qzAlloc(sizeof(MousePtr), "mouse ptr"));
    *m = MousePtr{};
    for (int i = 0; i < kMouseShapeCount; ++i) m->shapes[i] = shapes[i];
    m->shown = 1;
    m->tracking = 1;
    m->clipXMin = INT32_MIN;
    m->clipYMin = INT32_MIN;
    m->clipXMax = INT32_MAX;
    m->clipYMax = INT32_MAX;
    MousePointer = m;
    m->shape = 0;
    m->currentIcon = m->shapes[0];
    MousePointerPosition = ReadPointer;
}

void DeleteMousePtr() {
    if (!MousePointer) return;
    qzFree(MousePointer);
    MousePointer = nullptr;
    MousePointerPosition = nullptr;
}

void MoveMousePtr(int32_t dx, int32_t dy, int32_t dz) {
    MousePtr* m = MousePointer;
    if (!m) return;
    // Wrapping arithmetic: a huge move must not overflow (the clip then holds the result).
    const auto add2 = [](int32_t v, int32_t d) {
        int64_t r = int64_t(v) + 2 * int64_t(d);
        return static_cast<int32_t>(r < INT32_MIN ? INT32_MIN : r > INT32_MAX ? INT32_MAX : r);
    };
    m->x = add2(m->x, dx);
    m->y = add2(m->y, dy);
    m->z = add2(m->z, dz);
    if (m->x > m->clipXMax) m->x = m->clipXMax;
    if (m->x < m->clipXMin) m->x = m->clipXMin;
    if (m->y > m->clipYMax) m->y = m->clipYMax;
    if (m->y < m->clipYMin) m->y = m->clipYMin;
    if (m->tracking) {
        m->drawnX = m->x;
        m->drawnY = m->y;
    }
}

void GetMousePtr(int32_t* x, int32_t* y, int32_t* z) {
    const MousePtr* m = MousePointer;
    if (x) *x = m ? m->x : 0;
    if (y) *y = m ? m->y : 0;
    if (z) *z = m ? m->z : 0;
}
int32_t GetMousePtrX() { return MousePointer ? MousePointer->x : 0; }
int32_t GetMousePtrY() { return MousePointer ? MousePointer->y : 0; }

void SetMousePtrPos(int32_t x, int32_t y) {
    if (!MousePointer) return;
    MousePointer->x = x;
    MousePointer->y = y;
}
void SetMousePtrX(int32_t x) {
    if (MousePointer) MousePointer->x = x;
}
void SetMousePtrY(int32_t y) {
    if (MousePointer) MousePointer->y = y;
}

void SetMousePtrClip(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    MousePtr* m = MousePointer;
    if (!m) return;
    m->clipXMin = x0;
    m->clipXMax = x1;
    m->clipYMin = y0;
    m->clipYMax = y1;
}

void SetMousePtrShape(int32_t index, int32_t offsetX, int32_t offsetY) {
    MousePtr* m = MousePointer;
    if (!m || index < 0 || index >= kMouseShapeCount) return;
    m->shape = index;
    m->currentIcon = m->shapes[index];
    m->offsetX = offsetX;
    m->offsetY = offsetY;
}
int32_t GetMousePtrShape() { return MousePointer ? MousePointer->shape : 0; }

void SetMousePtrFlag() {
    if (MousePointer) MousePointer->tracking = 1;
}
void ClearMousePtrFlag() {
    if (MousePointer) MousePointer->tracking = 0;
}
void ShowMousePtr() {
    if (MousePointer) MousePointer->shown = 1;
}
void HideMousePtr() {
    if (MousePointer) MousePointer->shown = 0;
}
int IsMousePtrShown() { return MousePointer ? MousePointer->shown : 0; }

void DrawMousePtr() {
    const MousePtr* m = MousePointer;
    if (!m || !m->shown || !m->currentIcon) return;
    dxgl_SetViewport(0, 0, SurfaceWidth, SurfaceHeight);
    DrawQZIcon(m->currentIcon, m->drawnX + m->offsetX, m->drawnY + m->offsetY - m->currentIcon->height);
}

void CenterMousePtr() {
    SetMousePtrClip(0, 0, ScreenWidth, ScreenHeight);
    SetMousePtrPos(ScreenWidth / 2, ScreenHeight / 2);
}

void ReloadIconsAndMousePtr() {
    const int wasShown = MousePointer ? MousePointer->shown : 1;
    DeleteMousePtr();
    IconsFree();
    IconsInit();
    CreateMousePtr();
    if (!wasShown) HideMousePtr();
}
