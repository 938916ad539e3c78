// The game's own mouse pointer over the menus and the in-game views: one record with the pointer
// position (x, y and the wheel z; screen pixels, y up from the bottom edge), a clip rectangle, the
// position the picture is drawn at, and eight shapes from the icon registry.
#pragma once

#include <cstdint>

struct QZIcon;

// Pointer shapes by index, each the icon of that name. The tactical map's drags use 5 for zooming and
// 6 for rotating.
enum class MouseShape : int32_t {
    Normal = 0,     // "mouse0"
    Left = 1,       // "mouse_left"
    Right = 2,      // "mouse_right"
    Up = 3,         // "mouse_up"
    Down = 4,       // "mouse_down"
    Zoom = 5,       // "mouse_zoom"
    Rotate = 6,     // "mouse_rot"
    Offensive = 7,  // "mouse_offensive"
    Count = 8
};
constexpr int kMouseShapeCount = static_cast<int>(MouseShape::Count);
extern const char* const MouseShapeNames[kMouseShapeCount];

struct MousePtr {
    int32_t x, y;
    int32_t z;  // accumulated wheel value
    uint8_t shown;
    uint8_t tracking;  // the drawn position follows the pointer position
    int32_t clipXMin, clipXMax, clipYMin, clipYMax;
    int32_t drawnX, drawnY;
    int32_t shape;
    QZIcon* currentIcon;
    QZIcon* shapes[kMouseShapeCount];
    int32_t offsetX, offsetY;  // added to the drawn position when drawing
};

extern MousePtr* MousePointer;

// Makes the record at (0, 0, 0), shown, tracking, unclipped, shape 0; a missing shape icon is fatal.
void CreateMousePtr();
void DeleteMousePtr();
// Moves by twice the mouse counts, then holds x and y in the clip rectangle (z is not held).
void MoveMousePtr(int32_t dx, int32_t dy, int32_t dz);
void GetMousePtr(int32_t* x, int32_t* y, int32_t* z);
int32_t GetMousePtrX();
int32_t GetMousePtrY();
// Sets the position; the drawn position waits for the next move.
void SetMousePtrPos(int32_t x, int32_t y);
void SetMousePtrX(int32_t x);
void SetMousePtrY(int32_t y);
// The clip rectangle; the position is held in it from the next move on.
void SetMousePtrClip(int32_t x0, int32_t y0, int32_t x1, int32_t y1);
// Picks a shape and the offset added to the drawn position; an index outside the table is ignored.
void SetMousePtrShape(int32_t index, int32_t offsetX, int32_t offsetY);
int32_t GetMousePtrShape();
void SetMousePtrFlag();
void ClearMousePtrFlag();
void ShowMousePtr();
void HideMousePtr();
int IsMousePtrShown();
// Draws the current shape (when shown) over the whole display surface.
void DrawMousePtr();

// What the frame loops do after a display restore and around the menus: the pointer clipped to the
// screen and put in its centre.
void CenterMousePtr();
// Deletes the pointer, frees and reloads the icons and makes the pointer again (hidden again when it
// was hidden).
void ReloadIconsAndMousePtr();
