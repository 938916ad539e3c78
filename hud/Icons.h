// The icon registry: small pictures (the mouse pointer shapes, the task-force view's icons) loaded from
// every file of the icon folder, found by name. Icons live from start-up to shutdown and are loaded again
// after the display was restored.
#pragma once

#include <cstdint>

namespace host {
struct GfxSurface;
}

constexpr int kMaxQZIcons = 200;
constexpr int kQZIconNameSize = 64;

struct QZIcon {
    int32_t width;
    int32_t height;
    char name[kQZIconNameSize];  // the icon's file name; "<unnamed>" until loaded
    host::GfxSurface* surface;   // off-screen picture, black transparent
};

extern QZIcon* QZIcons[kMaxQZIcons];
extern int32_t QZIconCount;

// Loads every file of ICONROOT as an icon, named by its file name.
void IconsInit();
// Deletes every icon.
void IconsFree();
// A new empty icon appended to the table; fatal "Error(CreateQZIcon): Too many QZicons" past 200.
QZIcon* CreateQZIcon();
// Removes the icon from the table (the last entry takes its place) and frees it with its surface.
void DeleteQZIcon(QZIcon* icon);
// Loads ICONROOT\name into the icon and names it (at most 63 characters).
void LoadQZIcon(QZIcon* icon, const char* name);
// The first icon whose name equals the formatted name (case counts), or null.
QZIcon* FindQZIcon(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same; fatal "Error(NamedQZIcon): icon '%s' missing" when there is none.
QZIcon* NamedQZIcon(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Draws the icon's picture (black transparent) with its bottom-left corner at (x, y), y up from the
// bottom edge.
void DrawQZIcon(const QZIcon* icon, int32_t x, int32_t y);
