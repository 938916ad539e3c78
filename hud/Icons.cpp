#include "hud/Icons.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/Config.h"
#include "core/Memory.h"
#include "core/Package.h"
#include "platform/Bitmap.h"

QZIcon* QZIcons[kMaxQZIcons];
int32_t QZIconCount = 0;

namespace {

void CopyName(char* to, const char* from) {
    size_t n = from ? strnlen(from, kQZIconNameSize - 1) : 0;
    if (n) memcpy(to, from, n);
    to[n] = 0;
}

QZIcon* FindByName(const char* name) {
    for (int i = 0; i < QZIconCount; ++i)
        if (strcmp(QZIcons[i]->name, name) == 0) return QZIcons[i];
    return nullptr;
}

}  // namespace

void IconsInit() {
    char name[256];
    int cursor = 0;
    while (qzpk_findfiles(ICONROOT, &cursor, name, sizeof name) > 0 && cursor != -1) {
        QZIcon* icon = CreateQZIcon();
        LoadQZIcon(icon, name);
    }
}

void IconsFree() {
    while (QZIconCount > 0) DeleteQZIcon(QZIcons[0]);
}

QZIcon* CreateQZIcon() {
    if (QZIconCount >= kMaxQZIcons) FatalError("Error(CreateQZIcon): Too many QZicons");
    auto* icon = static_cast<QZIcon*>(qzAlloc(sizeof(QZIcon), "QZIcon Cell"));
    icon->width = 0;
    icon->height = 0;
    CopyName(icon->name, "<unnamed>");
    icon->surface = nullptr;
    QZIcons[QZIconCount++] = icon;
    return icon;
}

void DeleteQZIcon(QZIcon* icon) {
    if (!icon) return;
    for (int i = 0; i < QZIconCount; ++i) {
        if (QZIcons[i] != icon) continue;
        QZIcons[i] = QZIcons[--QZIconCount];
        QZIcons[QZIconCount] = nullptr;
        break;
    }
    if (icon->surface) dxgl_ReleaseSurface(icon->surface);
    qzFree(icon);
}

void LoadQZIcon(QZIcon* icon, const char* name) {
    char path[512];
    snprintf(path, sizeof path, "%s%c%s", ICONROOT, kPathSeparator, name ? name : "");
    if (icon->surface) dxgl_ReleaseSurface(icon->surface);
    icon->surface = dxgl_GetBitmap(path);
    dxgl_GetSurfaceSize(icon->surface, &icon->width, &icon->height);
    CopyName(icon->name, name);
}

QZIcon* FindQZIcon(const char* format, ...) {
    char name[256];
    va_list args;
    va_start(args, format);
    name[0] = 0;
    if (format) vsnprintf(name, sizeof name, format, args);
    va_end(args);
    return FindByName(name);
}

QZIcon* NamedQZIcon(const char* format, ...) {
    char name[256];
    va_list args;
    va_start(args, format);
    name[0] = 0;
    if (format) vsnprintf(name, sizeof name, format, args);
    va_end(args);
    QZIcon* icon = FindByName(name);
    if (!icon) FatalErrorF("Error(NamedQZIcon): icon '%s' missing", name);
    return icon;
}

void DrawQZIcon(const QZIcon* icon, int32_t x, int32_t y) {
    if (!icon || !icon->surface) return;
    // The blit takes the top-left corner.
    dxgl_BltKeyed(x, y + icon->height, icon->surface, nullptr);
}
