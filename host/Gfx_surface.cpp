// Surfaces of the graphics device: pixel formats, creation, locks, colour keys, blits, read-backs, and
// the enumeration answers (device kinds, z-buffer and texture formats, display modes, video memory).
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "host/Gfx_local.h"

namespace host {
namespace {

constexpr uint64_t kVideoMemoryTotal = 256ull << 20;
uint64_t g_videoMemoryUsed = 0;

struct FormatRow {
    PixelFormat format;
    int bits;
    uint32_t a, r, g, b;
    bool rgb, alpha, z;
    int zBits;
};
constexpr FormatRow kFormats[] = {
    {PixelFormat::Unknown, 0, 0, 0, 0, 0, false, false, false, 0},
    {PixelFormat::RGB565, 16, 0, 0xF800, 0x07E0, 0x001F, true, false, false, 0},
    {PixelFormat::XRGB8888, 32, 0, 0xFF0000, 0xFF00, 0xFF, true, false, false, 0},
    {PixelFormat::ARGB8888, 32, 0xFF000000u, 0xFF0000, 0xFF00, 0xFF, true, true, false, 0},
    {PixelFormat::ARGB4444, 16, 0xF000, 0x0F00, 0x00F0, 0x000F, true, true, false, 0},
    {PixelFormat::ARGB1555, 16, 0x8000, 0x7C00, 0x03E0, 0x001F, true, true, false, 0},
    {PixelFormat::A8, 8, 0xFF, 0, 0, 0, false, true, false, 0},
    {PixelFormat::Z16, 16, 0, 0xFFFF, 0, 0, false, false, true, 16},
    {PixelFormat::Z24, 32, 0, 0xFFFFFF00u, 0, 0, false, false, true, 24},
};
static_assert(std::size(kFormats) == static_cast<size_t>(PixelFormat::Z24) + 1);

// Widens a channel of `bits` bits to 8 by repeating its bits.
uint32_t Widen(uint32_t v, int bits) {
    switch (bits) {
        case 1:
            return v ? 255 : 0;
        case 4:
            return v * 17;
        case 5:
            return (v << 3) | (v >> 2);
        case 6:
            return (v << 2) | (v >> 4);
        default:
            return v;
    }
}

bool ValidKind(PixelFormat f, SurfaceKind k) {
    switch (k) {
        case SurfaceKind::RenderTarget:
            return f == PixelFormat::RGB565 || f == PixelFormat::XRGB8888;
        case SurfaceKind::ZBuffer:
            return f == PixelFormat::Z16 || f == PixelFormat::Z24;
        case SurfaceKind::Texture:
        case SurfaceKind::OffscreenPlain:
            return f != PixelFormat::Unknown && f != PixelFormat::Z16 && f != PixelFormat::Z24;
    }
    return false;
}

uint32_t ReadRaw(const GfxSurface* s, int x, int y) {
    const uint8_t* row = s->pixels + static_cast<ptrdiff_t>(y) * s->pitch;
    switch (BytesPerPixel(s->format)) {
        case 1:
            return row[x];
        case 2:
            return reinterpret_cast<const uint16_t*>(row)[x];
        case 4:
            return reinterpret_cast<const uint32_t*>(row)[x];
        default:
            return 0;
    }
}

void WriteRaw(GfxSurface* s, int x, int y, uint32_t v) {
    uint8_t* row = s->pixels + static_cast<ptrdiff_t>(y) * s->pitch;
    switch (BytesPerPixel(s->format)) {
        case 1:
            row[x] = static_cast<uint8_t>(v);
            break;
        case 2:
            reinterpret_cast<uint16_t*>(row)[x] = static_cast<uint16_t>(v);
            break;
        case 4:
            reinterpret_cast<uint32_t*>(row)[x] = v;
            break;
        default:
            break;
    }
}

bool IsPow2(int v) {
    return v > 0 && (v & (v - 1)) == 0;
}
int Log2(int v) {
    int n = 0;
    while ((1 << n) < v) ++n;
    return n;
}

const DeviceInfo kDevices[] = {
    {DeviceKind::Software,
     {0x6B, 0x76, 0x67, 0x66, 0x78, 0x01, 0x00, 0x00, 0x52, 0x47, 0x42, 0x00, 0x00, 0x00, 0x00, 0x01},
     "Software rasterizer",
     "Software rasterizer (RGB)"},
    {DeviceKind::Hardware,
     {0x6B, 0x76, 0x67, 0x66, 0x78, 0x02, 0x00, 0x00, 0x48, 0x41, 0x4C, 0x00, 0x00, 0x00, 0x00, 0x02},
     "Accelerated rasterizer",
     "Accelerated rasterizer (worker threads)"},
    {DeviceKind::HardwareTnL,
     {0x6B, 0x76, 0x67, 0x66, 0x78, 0x03, 0x00, 0x00, 0x54, 0x4E, 0x4C, 0x00, 0x00, 0x00, 0x00, 0x03},
     "Accelerated rasterizer T&L",
     "Accelerated rasterizer with transform and lighting"},
};

const ZBufferFormat kZFormats[] = {
    {16, 16, 0, 0xFFFF, 0, PixelFormat::Z16},
    {32, 24, 0, 0xFFFFFF00u, 0, PixelFormat::Z24},
};

const DisplayMode kModes[] = {
    {640, 480, 16},   {640, 480, 32},   {800, 600, 16},   {800, 600, 32},   {1024, 768, 16},
    {1024, 768, 32},  {1280, 720, 16},  {1280, 720, 32},  {1280, 1024, 16}, {1280, 1024, 32},
    {1600, 1200, 16}, {1600, 1200, 32}, {1920, 1080, 16}, {1920, 1080, 32},
};

}  // namespace

PixelFormatDesc DescribeFormat(PixelFormat format) {
    const FormatRow& r = kFormats[static_cast<int>(format)];
    PixelFormatDesc d{};
    d.format = r.format;
    d.bitsPerPixel = r.bits;
    d.alphaMask = r.a;
    d.redMask = r.r;
    d.greenMask = r.g;
    d.blueMask = r.b;
    d.hasRgb = r.rgb;
    d.hasAlpha = r.alpha;
    d.isZBuffer = r.z;
    d.zBits = r.zBits;
    return d;
}

PixelFormat FormatFromMasks(int bitsPerPixel, uint32_t alphaMask, uint32_t redMask, uint32_t greenMask,
                            uint32_t blueMask, bool isZBuffer) {
    for (const FormatRow& r : kFormats) {
        if (r.format == PixelFormat::Unknown || r.z != isZBuffer || r.bits != bitsPerPixel) continue;
        if (r.a == alphaMask && r.r == redMask && r.g == greenMask && r.b == blueMask) return r.format;
    }
    return PixelFormat::Unknown;
}

int BytesPerPixel(PixelFormat format) {
    return kFormats[static_cast<int>(format)].bits / 8;
}

uint32_t PackPixel(PixelFormat format, uint32_t argb) {
    uint32_t a = argb >> 24, r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
    switch (format) {
        case PixelFormat::Unknown:
            return 0;
        case PixelFormat::RGB565:
            return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
        case PixelFormat::XRGB8888:
            return argb & 0xFFFFFF;
        case PixelFormat::ARGB8888:
            return argb;
        case PixelFormat::ARGB4444:
            return ((a >> 4) << 12) | ((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4);
        case PixelFormat::ARGB1555:
            return ((a >> 7) << 15) | ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
        case PixelFormat::A8:
            return a;
        case PixelFormat::Z16:
            return (argb & 0xFFFFFF) >> 8;
        case PixelFormat::Z24:
            return (argb & 0xFFFFFF) << 8;
    }
    return 0;
}

uint32_t UnpackPixel(PixelFormat format, uint32_t p) {
    uint32_t a = 255, r = 0, g = 0, b = 0;
    switch (format) {
        case PixelFormat::Unknown:
            return 0;
        case PixelFormat::RGB565:
            r = Widen((p >> 11) & 31, 5), g = Widen((p >> 5) & 63, 6), b = Widen(p & 31, 5);
            break;
        case PixelFormat::XRGB8888:
            return 0xFF000000u | (p & 0xFFFFFF);
        case PixelFormat::ARGB8888:
            return p;
        case PixelFormat::ARGB4444:
            a = Widen((p >> 12) & 15, 4), r = Widen((p >> 8) & 15, 4), g = Widen((p >> 4) & 15, 4),
            b = Widen(p & 15, 4);
            break;
        case PixelFormat::ARGB1555:
            a = Widen((p >> 15) & 1, 1), r = Widen((p >> 10) & 31, 5), g = Widen((p >> 5) & 31, 5),
            b = Widen(p & 31, 5);
            break;
        case PixelFormat::A8:
            return ((p & 0xFF) << 24) | 0xFFFFFF;
        case PixelFormat::Z16:
            return (p & 0xFFFF) << 8;
        case PixelFormat::Z24:
            return p >> 8;
    }
    return (a << 24) | (r << 16) | (g << 8) | b;
}

GfxSurface* CreateSurface(int width, int height, PixelFormat format, SurfaceKind kind, bool videoMemory) {
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384 || !ValidKind(format, kind))
        return nullptr;
    int bpp = BytesPerPixel(format);
    int pitch = (width * bpp + 15) & ~15;
    size_t bytes = static_cast<size_t>(pitch) * static_cast<size_t>(height);
    if (videoMemory && g_videoMemoryUsed + bytes > kVideoMemoryTotal) return nullptr;
    auto* s = new GfxSurface;
    s->pixels = static_cast<uint8_t*>(std::calloc(bytes + 64, 1));
    if (!s->pixels) {
        delete s;
        return nullptr;
    }
    s->width = width;
    s->height = height;
    s->pitch = pitch;
    s->format = format;
    s->kind = kind;
    s->videoMemory = videoMemory;
    if (videoMemory) g_videoMemoryUsed += bytes;
    s->pow2 = IsPow2(width) && IsPow2(height);
    s->log2w = Log2(width);
    s->log2h = Log2(height);
    if (kind == SurfaceKind::Texture) RefreshTextureCopy(s);
    return s;
}

void DeleteSurface(GfxSurface* s) {
    if (!s) return;
    FinishAllDevices();
    DetachSurfaceFromDevices(s);
    if (s->videoMemory) g_videoMemoryUsed -= static_cast<size_t>(s->pitch) * static_cast<size_t>(s->height);
    std::free(s->pixels);
    delete s;
}

int SurfaceWidth(const GfxSurface* s) {
    return s ? s->width : 0;
}
int SurfaceHeight(const GfxSurface* s) {
    return s ? s->height : 0;
}
PixelFormat SurfaceFormat(const GfxSurface* s) {
    return s ? s->format : PixelFormat::Unknown;
}
SurfaceKind SurfaceKindOf(const GfxSurface* s) {
    return s ? s->kind : SurfaceKind::OffscreenPlain;
}

GfxResult LockSurface(GfxSurface* s, const GfxRect* rect, GfxLock* out) {
    if (!s || !out) return GfxErrInvalidParams;
    if (s->locked) return GfxErrSurfaceBusy;
    GfxRect r = rect ? *rect : GfxRect{0, 0, s->width, s->height};
    if (r.left < 0 || r.top < 0 || r.right > s->width || r.bottom > s->height || r.left >= r.right ||
        r.top >= r.bottom)
        return GfxErrInvalidRect;
    FinishAllDevices();
    s->locked = true;
    out->bits = s->pixels + static_cast<ptrdiff_t>(r.top) * s->pitch + r.left * BytesPerPixel(s->format);
    out->pitch = s->pitch;
    out->width = r.right - r.left;
    out->height = r.bottom - r.top;
    out->format = s->format;
    return GfxOk;
}

GfxResult UnlockSurface(GfxSurface* s) {
    if (!s) return GfxErrInvalidParams;
    if (!s->locked) return GfxErrNotLocked;
    s->locked = false;
    if (s->kind == SurfaceKind::Texture) RefreshTextureCopy(s);
    return GfxOk;
}

void RefreshTextureCopy(GfxSurface* s) {
    s->argb.resize(static_cast<size_t>(s->width) * static_cast<size_t>(s->height));
    uint32_t* out = s->argb.data();
    for (int y = 0; y < s->height; ++y)
        for (int x = 0; x < s->width; ++x) *out++ = UnpackPixel(s->format, ReadRaw(s, x, y));
}

void SetColourKey(GfxSurface* s, uint32_t low, uint32_t high) {
    if (!s) return;
    s->keyed = true;
    s->keyLow = low;
    s->keyHigh = high;
}
void ClearColourKey(GfxSurface* s) {
    if (s) s->keyed = false;
}
bool HasColourKey(const GfxSurface* s) {
    return s && s->keyed;
}

GfxResult AttachZBuffer(GfxSurface* target, GfxSurface* z) {
    if (!target || target->kind != SurfaceKind::RenderTarget) return GfxErrInvalidParams;
    if (z && (z->kind != SurfaceKind::ZBuffer || z->width != target->width || z->height != target->height))
        return GfxErrInvalidParams;
    FinishAllDevices();
    target->zbuffer = z;
    return GfxOk;
}
GfxSurface* AttachedZBuffer(const GfxSurface* target) {
    return target ? target->zbuffer : nullptr;
}

void BlitRows(const Primitive& prim, int y0, int y1) {
    const GfxSurface* src = prim.blit.src;
    GfxSurface* dst = prim.blit.dst;
    const GfxRect& sr = prim.blit.from;
    const GfxRect& dr = prim.blit.to;
    const int sw = sr.right - sr.left, sh = sr.bottom - sr.top, dw = dr.right - dr.left, dh = dr.bottom - dr.top;
    const bool useKey = prim.blit.keyed;
    const uint32_t keyLow = prim.blit.keyLow, keyHigh = prim.blit.keyHigh;
    const bool sameFormat = src->format == dst->format;
    const int x0 = std::max(dr.left, 0), x1 = std::min(dr.right, dst->width);
    const bool copyRows = sameFormat && sw == dw && BytesPerPixel(dst->format) == 4;
    for (int y = std::max({dr.top, 0, y0}); y < std::min({dr.bottom, dst->height, y1}); ++y) {
        const int sy = sr.top + static_cast<int>(static_cast<int64_t>(y - dr.top) * sh / dh);
        if (copyRows) {
            // Unscaled between 32-bit surfaces: column x from the source column at the same offset.
            const uint32_t* in = reinterpret_cast<const uint32_t*>(src->pixels + static_cast<ptrdiff_t>(sy) * src->pitch) +
                                 sr.left;
            uint32_t* out = reinterpret_cast<uint32_t*>(dst->pixels + static_cast<ptrdiff_t>(y) * dst->pitch);
            if (!useKey) {
                std::memcpy(out + x0, in + (x0 - dr.left), static_cast<size_t>(x1 - x0) * 4);
                continue;
            }
            for (int x = x0; x < x1; ++x) {
                const uint32_t v = in[x - dr.left];
                if (v < keyLow || v > keyHigh) out[x] = v;
            }
            continue;
        }
        for (int x = x0; x < x1; ++x) {
            int sx = sr.left + static_cast<int>(static_cast<int64_t>(x - dr.left) * sw / dw);
            uint32_t v = ReadRaw(src, sx, sy);
            if (useKey && v >= keyLow && v <= keyHigh) continue;
            WriteRaw(dst, x, y, sameFormat ? v : PackPixel(dst->format, UnpackPixel(src->format, v)));
        }
    }
}

GfxResult Blt(GfxSurface* dst, const GfxRect* dstRect, GfxSurface* src, const GfxRect* srcRect, bool keyed) {
    if (!dst || !src || dst->format == PixelFormat::Z16 || dst->format == PixelFormat::Z24)
        return GfxErrInvalidParams;
    if (dst->locked || src->locked) return GfxErrSurfaceBusy;
    GfxRect sr = srcRect ? *srcRect : GfxRect{0, 0, src->width, src->height};
    GfxRect dr = dstRect ? *dstRect : GfxRect{0, 0, dst->width, dst->height};
    if (sr.left < 0 || sr.top < 0 || sr.right > src->width || sr.bottom > src->height ||
        sr.left >= sr.right || sr.top >= sr.bottom || dr.left >= dr.right || dr.top >= dr.bottom)
        return GfxErrInvalidRect;
    // Onto a device's render target the blit is drawn in its place among the device's primitives.
    if (dst->kind == SurfaceKind::RenderTarget && QueueBlit(dst, dr, src, sr, keyed)) return GfxOk;
    FinishAllDevices();
    Primitive prim;
    prim.kind = kPrimBlit;
    prim.blit = {src, dst, sr, dr, keyed && src->keyed, src->keyLow, src->keyHigh};
    BlitRows(prim, 0, dst->height);
    if (dst->kind == SurfaceKind::Texture) RefreshTextureCopy(dst);
    return GfxOk;
}

GfxResult BltFast(GfxSurface* dst, int x, int y, GfxSurface* src, const GfxRect* srcRect, bool keyed) {
    if (!dst || !src) return GfxErrInvalidParams;
    GfxRect sr = srcRect ? *srcRect : GfxRect{0, 0, src->width, src->height};
    GfxRect dr{x, y, x + (sr.right - sr.left), y + (sr.bottom - sr.top)};
    return Blt(dst, &dr, src, &sr, keyed);
}

GfxResult ColourFill(GfxSurface* dst, const GfxRect* rect, uint32_t argb) {
    if (!dst || dst->format == PixelFormat::Z16 || dst->format == PixelFormat::Z24)
        return GfxErrInvalidParams;
    if (dst->locked) return GfxErrSurfaceBusy;
    GfxRect r = rect ? *rect : GfxRect{0, 0, dst->width, dst->height};
    r.left = std::max(r.left, 0), r.top = std::max(r.top, 0);
    r.right = std::min(r.right, dst->width), r.bottom = std::min(r.bottom, dst->height);
    FinishAllDevices();
    uint32_t v = PackPixel(dst->format, argb);
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) WriteRaw(dst, x, y, v);
    if (dst->kind == SurfaceKind::Texture) RefreshTextureCopy(dst);
    return GfxOk;
}

uint32_t ReadPixelArgb(GfxSurface* s, int x, int y) {
    if (!s || x < 0 || y < 0 || x >= s->width || y >= s->height) return 0;
    FinishAllDevices();
    return UnpackPixel(s->format, ReadRaw(s, x, y));
}

float ReadDepth(GfxSurface* s, int x, int y) {
    if (!s || x < 0 || y < 0 || x >= s->width || y >= s->height) return 1.0f;
    FinishAllDevices();
    uint32_t v = ReadRaw(s, x, y);
    if (s->format == PixelFormat::Z16) return static_cast<float>(v / 65536.0);
    if (s->format == PixelFormat::Z24) return static_cast<float>((v >> 8) / 16777216.0);
    return 1.0f;
}

int EnumerateDevices(const DeviceInfo** list) {
    if (list) *list = kDevices;
    return static_cast<int>(std::size(kDevices));
}

int EnumerateZBufferFormats(DeviceKind, const ZBufferFormat** list) {
    if (list) *list = kZFormats;
    return static_cast<int>(std::size(kZFormats));
}

int EnumerateTextureFormats(const PixelFormatDesc** list) {
    static const PixelFormatDesc formats[] = {
        DescribeFormat(PixelFormat::ARGB8888), DescribeFormat(PixelFormat::ARGB4444),
        DescribeFormat(PixelFormat::ARGB1555), DescribeFormat(PixelFormat::RGB565),
        DescribeFormat(PixelFormat::XRGB8888), DescribeFormat(PixelFormat::A8),
    };
    if (list) *list = formats;
    return static_cast<int>(std::size(formats));
}

int EnumerateDisplayModes(const DisplayMode** list) {
    if (list) *list = kModes;
    return static_cast<int>(std::size(kModes));
}

void VideoMemory(uint64_t* total, uint64_t* free) {
    if (total) *total = kVideoMemoryTotal;
    if (free) *free = kVideoMemoryTotal - g_videoMemoryUsed;
}

}  // namespace host
