// Opening, presenting and closing the display; clears, read-backs and the device queries.
#include <cstring>

#include "core/Config.h"
#include "core/Memory.h"
#include "platform/Dxgl_local.h"

namespace {

bool g_fullScreen = false;  // the display was opened full screen (the gamma ramp applies)
bool g_sceneOpen = false;   // between BeginScene and EndScene
host::PixelFormat g_zFormat = host::PixelFormat::Unknown;

// Records the device kinds on offer; only the three known kinds are kept.
void EnumerateD3DDevices() {
    const host::DeviceInfo* list = nullptr;
    const int count = host::EnumerateDevices(&list);
    for (int i = 0; i < count; ++i) {
        int32_t hardware, tnl;
        host::DeviceKind kind;
        if (!KnownDeviceKind(list[i].guid, &hardware, &tnl, &kind)) continue;
        CreateD3DDriver(list[i].guid, list[i].name, list[i].description);
    }
}

void ResetStatistics() {
    DrawCallCount = 0.0f;
    TriangleCount = 0.0f;
}

// Reads a 16- or 32-bit pixel at column x of row `row` from a locked surface.
uint32_t ReadLocked(const host::GfxLock& lock, int x, int row, int bytes) {
    const uint8_t* p =
        static_cast<const uint8_t*>(lock.bits) + static_cast<ptrdiff_t>(row) * lock.pitch + x * bytes;
    uint32_t v = 0;
    memcpy(&v, p, bytes);  // little-endian: the low bytes of v
    return v;
}

// Widens the channel of the mask to 8 bits: (pixel & mask) >> shift, shifted left by 8 - width.
uint8_t Channel(uint32_t pixel, uint32_t mask) {
    if (mask == 0) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1u)) ++shift;
    int width = 0;
    while (shift + width < 32 && ((mask >> (shift + width)) & 1u)) ++width;
    uint32_t v = (pixel & mask) >> shift;
    return static_cast<uint8_t>(width >= 8 ? v >> (width - 8) : v << (8 - width));
}

}  // namespace

// ---- Format choices --------------------------------------------------------------------------------

int ChooseZBufferFormat(const host::ZBufferFormat* formats, int count, int wanted,
                        host::PixelFormat* chosen) {
    int found = 0;
    for (int i = 0; i < count; ++i) {
        const host::ZBufferFormat& f = formats[i];
        if (f.stencilBits == 0 && f.zBits == wanted) {
            *chosen = f.format;  // a later match replaces an earlier one
            found = 1;
        } else if (f.stencilBits == 8 && f.bitsPerPixel == 32 && f.stencilMask == 0xFF000000u) {
            PlainZ = 0;  // depth sits in the low 24 bits of such a buffer
        }
    }
    return found;
}

int ChooseAlphaBits(const host::PixelFormatDesc* formats, int count) {
    for (int i = 0; i < count; ++i)
        if (formats[i].hasRgb && formats[i].hasAlpha && formats[i].bitsPerPixel == 32) return 8;
    DebugPrintf("warning(dxgl_InitD3D): system weakness - falling back to 4bpp alpha\n");
    return 4;
}

// ---- Creation and shutdown -------------------------------------------------------------------------

int dxgl_InitD3D() {
    // Opening over an open display would leak its surfaces and record every device twice.
    if (D3DDevice || BackBuffer || D3DDriverCount) dxgl_ShutdownD3D();
    if (fullscreen) {
        // The one soft failure: a display mode that cannot be set creates nothing.
        if (!host::SetDisplayMode(xres, yres, colourdepth)) return 0;
        g_fullScreen = true;
        DisplayBits = colourdepth;
    } else {
        DisplayBits = host::DesktopBitsPerPixel();
    }
    SurfaceWidth = xres;
    SurfaceHeight = yres;
    ScreenHeightF = static_cast<float>(SurfaceHeight);

    const host::PixelFormat targetFormat =
        DisplayBits == 16 ? host::PixelFormat::RGB565 : host::PixelFormat::XRGB8888;
    BackBuffer =
        host::CreateSurface(SurfaceWidth, SurfaceHeight, targetFormat, host::SurfaceKind::RenderTarget, true);
    if (!BackBuffer) ReportDDError(kDDErrOutOfVideoMemory);

    EnumerateD3DDevices();
    if (D3DDriverCount == 0) {
        dxgl_Fatal("Error(dxgl_InitD3D): No Direct3D devices found");
        return 0;
    }
    D3DDriverCell* driver = ChooseD3DDriver();
    int32_t hardware, tnl;
    host::DeviceKind kind = host::DeviceKind::Software;
    KnownDeviceKind(driver->guid, &hardware, &tnl, &kind);
    DebugPrintf("dxgl_InitD3D: using \"%s\" (%s)\n", driver->name, driver->description);

    if (zbuffer) {
        ZBufferWanted = DisplayBits == 16 ? 16 : 24;
        const host::ZBufferFormat* formats = nullptr;
        const int count = host::EnumerateZBufferFormats(kind, &formats);
        ZBufferFound = ChooseZBufferFormat(formats, count, ZBufferWanted, &g_zFormat);
        if (!ZBufferFound) {
            dxgl_Fatal("Error(dxgl_InitD3D): ZBuffer depth %d not supported on this system", ZBufferWanted);
            return 0;
        }
        ZBufferBits = ZBufferWanted;
        // The hardware switch is always on: the z-buffer lives in video memory whichever device is used.
        ZBufferSurface =
            host::CreateSurface(SurfaceWidth, SurfaceHeight, g_zFormat, host::SurfaceKind::ZBuffer, true);
        if (!ZBufferSurface) {
            dxgl_Fatal("Error(dxgl_InitD3D): Create ZBuffer failed");
            return 0;
        }
        if (host::AttachZBuffer(BackBuffer, ZBufferSurface) != host::GfxOk) {
            dxgl_Fatal("Error(dxgl_InitD3D): Attach ZBuffer failed");
            return 0;
        }
    }

    D3DDevice = host::CreateDevice(kind, BackBuffer);
    if (!D3DDevice) ReportDDError(kDDErrGeneric);
    dxgl_SetViewport(0, 0, SurfaceWidth, SurfaceHeight);

    const host::PixelFormatDesc* textureFormats = nullptr;
    const int textureCount = host::EnumerateTextureFormats(&textureFormats);
    AlphaBits = ChooseAlphaBits(textureFormats, textureCount);

    dxgl_SetGamma(gamma_brightness);
    ReportDDError(host::BeginScene(D3DDevice));
    g_sceneOpen = true;
    ResetStatistics();
    return 1;
}

void dxgl_ShutdownD3D() {
    if (D3DDevice && g_sceneOpen) host::EndScene(D3DDevice);
    g_sceneOpen = false;
    FreeDriverLists();
    // Each pointer is cleared before its release, so a failure raised while closing finds nothing twice.
    host::GfxDevice* device = D3DDevice;
    D3DDevice = nullptr;
    host::DeleteDevice(device);
    host::GfxSurface* z = ZBufferSurface;
    ZBufferSurface = nullptr;
    host::DeleteSurface(z);
    host::GfxSurface* back = BackBuffer;
    BackBuffer = nullptr;
    host::DeleteSurface(back);
    host::ClosePresenter();
    g_fullScreen = false;
    ZBufferFound = 0;
    g_zFormat = host::PixelFormat::Unknown;
}

void dxgl_SwapBuffers() {
    if (!D3DDevice) return;  // no display (the mode could not be set): nothing to present
    ReportDDError(host::EndScene(D3DDevice));
    g_sceneOpen = false;
    if (host::Present(BackBuffer) != host::GfxOk)
        dxgl_Fatal(g_fullScreen ? "Error(dxgl_SwapBuffers): Failed to flip"
                                : "Error(dxgl_SwapBuffers): Failed to blit");
    ReportDDError(host::BeginScene(D3DDevice));
    g_sceneOpen = true;
    ResetStatistics();
}

// ---- Clears and read-backs -------------------------------------------------------------------------

HRESULT dxgl_ClearRenderTarget(uint32_t colour, int withZ) {
    if (!D3DDevice) return 0;  // no display: nothing to clear
    uint32_t flags = host::GfxClearTarget;
    if (withZ && ZBufferSurface) flags |= host::GfxClearZBuffer;
    return ReportDDError(host::Clear(D3DDevice, 0, nullptr, flags, colour, 1.0f, 0));
}

HRESULT dxgl_ClearZRect(int x0, int y0, int x1, int y1) {
    if (!D3DDevice || !ZBufferSurface) return 0;  // nothing to clear
    const host::GfxRect rect = {x0, SurfaceHeight - y1, x1, SurfaceHeight - y0};
    return host::Clear(D3DDevice, 1, &rect, host::GfxClearZBuffer, 0, 1.0f, 0);
}

void dxgl_ReadBackBuffer(int x, int y, uint8_t rgb[3]) {
    rgb[0] = rgb[1] = rgb[2] = 0;
    if (!BackBuffer || x < 0 || y < 0 || x >= SurfaceWidth || y >= SurfaceHeight) return;
    const host::PixelFormatDesc desc = host::DescribeFormat(host::SurfaceFormat(BackBuffer));
    if (desc.bitsPerPixel != 16 && desc.bitsPerPixel != 32) {
        dxgl_Fatal("Error(dxgl_ReadBackBuffer): uk pixel format");
        return;
    }
    host::GfxLock lock;
    ReportDDError(host::LockSurface(BackBuffer, nullptr, &lock));
    const uint32_t pixel = ReadLocked(lock, x, SurfaceHeight - 1 - y, desc.bitsPerPixel / 8);
    ReportDDError(host::UnlockSurface(BackBuffer));
    rgb[0] = Channel(pixel, desc.redMask);
    rgb[1] = Channel(pixel, desc.greenMask);
    rgb[2] = Channel(pixel, desc.blueMask);
}

float dxgl_ReadDepthBuffer(int x, int y) {
    if (!ZBufferSurface || x < 0 || y < 0 || x >= SurfaceWidth || y >= SurfaceHeight) return 1.0f;
    if (ZBufferBits != 16 && ZBufferBits != 24) {
        dxgl_Fatal("Error(dxgl_ReadDepthBuffer): uk zbuffer format");
        return 1.0f;
    }
    host::GfxLock lock;
    ReportDDError(host::LockSurface(ZBufferSurface, nullptr, &lock));
    const int row = SurfaceHeight - 1 - y;
    float depth;
    if (ZBufferBits == 16) {
        depth = static_cast<float>(ReadLocked(lock, x, row, 2) / 65536.0);
    } else {
        const uint32_t word = ReadLocked(lock, x, row, 4);
        const uint32_t z = PlainZ ? word >> 8 : word & 0xFFFFFFu;
        depth = static_cast<float>(z / 16777216.0);
    }
    ReportDDError(host::UnlockSurface(ZBufferSurface));
    return depth;
}

// ---- Queries and states ----------------------------------------------------------------------------

HRESULT dxgl_GetVideoMemory(uint32_t* total, uint32_t* free) {
    uint64_t t = 0, f = 0;
    host::VideoMemory(&t, &f);
    if (total) *total = t > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(t);
    if (free) *free = f > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(f);
    return 0;
}

HRESULT dxgl_ValidateDevice() {
    if (!D3DDevice) return kDDErrNoExclusiveMode;
    uint32_t passes = 0;
    return host::ValidateDevice(D3DDevice, &passes);
}

void dxgl_EvictManagedTextures() {
    // Managed textures live in memory the device reads directly: there is nothing to evict.
}

HRESULT dxgl_RestoreAllSurfaces() {
    return 0;  // the surfaces are never lost
}

HRESULT dxgl_TestCooperativeLevel() {
    // Without a device (the display mode could not be set) the frame loop skips drawing.
    return D3DDevice ? 0 : kDDErrNoExclusiveMode;
}

void dxgl_SetPerspectiveTextures(int on) {
    PerspectiveTextures = on;
    if (D3DDevice)
        ReportDDError(host::SetRenderState(D3DDevice, host::RenderState::TexturePerspective, on ? 1u : 0u));
}

void dxgl_SetGamma(float gamma) {
    uint16_t ramp[256];
    BuildGammaRamp(gamma, ramp);
    // Only a full-screen display has a gamma control.
    if (g_fullScreen) host::SetGammaRamp(ramp, ramp, ramp);
    CurrentGamma = gamma;
}
