#include "platform/Bitmap.h"

#include <cstring>
#include <vector>

#include "core/Memory.h"
#include "core/Package.h"
#include "host/Fs.h"
#include "host/Gfx.h"
#include "platform/BmpExport.h"
#include "platform/Dxgl.h"
#include "platform/TexImage.h"

namespace {

constexpr HRESULT kEFail = static_cast<HRESULT>(0x80004005u);

// Reads a whole file through the package; false when it is missing or unreadable.
bool ReadPackageFile(const char* path, std::vector<uint8_t>& out) {
    if (!path || !qzpk_exists(path)) return false;
    int32_t size = qzpk_filesize(path);
    if (size <= 0) return false;
    FILE* f = qzpk_fopen(path, "rb");
    if (!f) return false;
    out.resize(size_t(size));
    size_t got = qzpk_fread(out.data(), 1, out.size(), f);
    qzpk_fclose(f);
    return got == out.size();
}

host::PixelFormat PlainFormat() {
    // Off-screen surfaces take the back buffer's format, so blits copy without conversion.
    if (BackBuffer) return host::SurfaceFormat(BackBuffer);
    return DisplayBits == 16 ? host::PixelFormat::RGB565 : host::PixelFormat::XRGB8888;
}

HRESULT BltOnto(int32_t x, int32_t y, host::GfxSurface* surface, const BltRect* rect, bool keyed) {
    if (!BackBuffer || !surface) return kEFail;
    host::GfxRect r;
    if (rect) r = host::GfxRect{rect->left, rect->top, rect->right, rect->bottom};
    return host::BltFast(BackBuffer, x, SurfaceHeight - y, surface, rect ? &r : nullptr, keyed);
}

}  // namespace

HRESULT CopyBitmapToSurface(host::GfxSurface* surface, const TexImage* bitmap, int32_t x, int32_t y, int32_t width,
                            int32_t height) {
    if (!surface || !bitmap) return kEFail;
    if (!width) width = bitmap->width;
    if (!height) height = bitmap->height;
    host::GfxLock lock;
    HRESULT hr = host::LockSurface(surface, nullptr, &lock);
    if (hr != host::GfxOk) return hr;
    int bytes = host::BytesPerPixel(lock.format);
    for (int32_t r = 0; r < lock.height; ++r) {
        // Nearest sampling of the source region over the whole surface.
        int64_t sy = int64_t(y) + int64_t(r) * height / lock.height;
        uint8_t* row = static_cast<uint8_t*>(lock.bits) + size_t(r) * size_t(lock.pitch);
        for (int32_t c = 0; c < lock.width; ++c) {
            int64_t sx = int64_t(x) + int64_t(c) * width / lock.width;
            uint32_t argb = 0xff000000u;
            if (sx >= 0 && sy >= 0 && sx < bitmap->width && sy < bitmap->height)
                argb |= bitmap->colour[size_t(sy) * size_t(bitmap->width) + size_t(sx)];
            uint32_t p = host::PackPixel(lock.format, argb);
            memcpy(row + size_t(c) * size_t(bytes), &p, size_t(bytes));
        }
    }
    host::UnlockSurface(surface);
    return host::GfxOk;
}

host::GfxSurface* CreateSurfaceFromBitmap(const char* path, int32_t width, int32_t height) {
    // The file is decoded in memory, so bitmaps that live only in the package load like any other.
    std::vector<uint8_t> bytes;
    if (!ReadPackageFile(path, bytes)) return nullptr;
    TexImage bitmap;
    if (DecodeBmp(bytes.data(), bytes.size(), &bitmap)) return nullptr;
    int32_t w = width > 0 ? width : bitmap.width;
    int32_t h = height > 0 ? height : bitmap.height;
    host::GfxSurface* s = host::CreateSurface(w, h, PlainFormat(), host::SurfaceKind::OffscreenPlain, true);
    if (!s) return nullptr;
    if (CopyBitmapToSurface(s, &bitmap, 0, 0, 0, 0) != host::GfxOk) {
        host::DeleteSurface(s);
        return nullptr;
    }
    return s;
}

void SetBlackColourKey(host::GfxSurface* surface) {
    if (surface) host::SetColourKey(surface, 0, 0);
}

host::GfxSurface* dxgl_ReloadBitmap(const char* path) {
    host::GfxSurface* s = CreateSurfaceFromBitmap(path, 0, 0);
    SetBlackColourKey(s);
    return s;
}

host::GfxSurface* dxgl_GetBitmap(const char* path) {
    host::GfxSurface* s = dxgl_ReloadBitmap(path);
    if (!s) dxgl_Fatal("Error(dxgl_GetBitmap '%s'): failed", path ? path : "");
    return s;
}

host::GfxSurface* dxgl_GetBitmapSized(const char* path, int32_t width, int32_t height) {
    host::GfxSurface* s = CreateSurfaceFromBitmap(path, width, height);
    if (!s) dxgl_Fatal("Error(dxgl_GetBitmap '%s'): failed", path ? path : "");
    SetBlackColourKey(s);
    return s;
}

void dxgl_ReleaseSurface(host::GfxSurface* surface) { host::DeleteSurface(surface); }

void dxgl_GetSurfaceSize(host::GfxSurface* surface, int32_t* width, int32_t* height) {
    if (width) *width = surface ? host::SurfaceWidth(surface) : 0;
    if (height) *height = surface ? host::SurfaceHeight(surface) : 0;
}

HRESULT dxgl_BltKeyed(int32_t x, int32_t y, host::GfxSurface* surface, const BltRect* rect) {
    return BltOnto(x, y, surface, rect, true);
}

HRESULT dxgl_Blt(int32_t x, int32_t y, host::GfxSurface* surface, const BltRect* rect) {
    return BltOnto(x, y, surface, rect, false);
}

void dxgl_ExportSurface_bmp(host::GfxSurface* surface, const char* path) {
    host::GfxLock lock;
    HRESULT hr = surface ? host::LockSurface(surface, nullptr, &lock) : kEFail;
    if (hr != host::GfxOk) {
        ReportDDError(hr);
        return;
    }
    host::PixelFormatDesc d = host::DescribeFormat(lock.format);
    SurfacePixels px{static_cast<const uint8_t*>(lock.bits), lock.pitch, lock.width, lock.height, d.bitsPerPixel,
                     d.redMask, d.greenMask, d.blueMask};
    std::vector<uint8_t> file;
    bool ok = (d.bitsPerPixel == 16 || d.bitsPerPixel == 32) && d.hasRgb && EncodeBmp24(px, &file);
    host::UnlockSurface(surface);
    if (!ok) dxgl_Fatal("Error(dxgl_ExportSurface_bmp): wrong bit depth '%d'", d.bitsPerPixel);
    FILE* f = host::OpenFile(path, "wb");
    if (!f) dxgl_Fatal("Error(dxgl_ExportSurface_bmp): file wouldn't open");
    // A file that could not be written whole is not left behind as if it had been.
    bool written = fwrite(file.data(), 1, file.size(), f) == file.size();
    if (!written) host::DiscardFile(f);
    if (!written || host::CloseFile(f) != 0) dxgl_Fatal("Error(dxgl_ExportSurface_bmp): file wouldn't write");
}
