// Plain (non-texture) surfaces for the menus and the 2D overlays: bitmaps loaded from .bmp files with
// black as the transparent colour, blits onto the back buffer with or without that key, and the 24-bit
// bitmap export of a surface (snapshots).
#pragma once

#include <cstdint>

#include "platform/DxError.h"

namespace host {
struct GfxSurface;
}
struct TexImage;

// A source rectangle, rows counted from the top; right and bottom exclusive.
struct BltRect {
    int32_t left, top, right, bottom;
};

// Loads a bitmap at its own size into an off-screen surface keyed on black; fatal when it cannot.
host::GfxSurface* dxgl_GetBitmap(const char* path);
// The same, stretched to width x height while loading.
host::GfxSurface* dxgl_GetBitmapSized(const char* path, int32_t width, int32_t height);
// dxgl_GetBitmap without the fatal error: null when the bitmap cannot be had.
host::GfxSurface* dxgl_ReloadBitmap(const char* path);
void dxgl_ReleaseSurface(host::GfxSurface* surface);
void dxgl_GetSurfaceSize(host::GfxSurface* surface, int32_t* width, int32_t* height);
// Copies the surface (or rect of it) onto the back buffer with its top-left corner at column x and row
// SurfaceHeight - y; the keyed form skips the surface's colour-key pixels. Returns the platform result.
HRESULT dxgl_BltKeyed(int32_t x, int32_t y, host::GfxSurface* surface, const BltRect* rect);
HRESULT dxgl_Blt(int32_t x, int32_t y, host::GfxSurface* surface, const BltRect* rect);
// Sets the surface's source colour key to black (the range 0..0).
void SetBlackColourKey(host::GfxSurface* surface);

// Reads the bitmap file (through the package) and makes an off-screen surface of width x height (0 x 0:
// the bitmap's own size) holding it; null when the file is missing or not a bitmap this reader takes.
host::GfxSurface* CreateSurfaceFromBitmap(const char* path, int32_t width, int32_t height);
// Stretch-copies the region (x, y, width, height; 0 means the bitmap's own width or height) of a decoded
// bitmap onto the whole surface. E_FAIL when either is missing.
HRESULT CopyBitmapToSurface(host::GfxSurface* surface, const TexImage* bitmap, int32_t x, int32_t y, int32_t width,
                            int32_t height);

// Writes a 16- or 32-bit surface as a 24-bit bitmap file; fatal when it cannot.
void dxgl_ExportSurface_bmp(host::GfxSurface* surface, const char* path);
