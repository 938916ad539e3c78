// The graphics device: opens, presents and closes the display; clears and reads back the back buffer and
// the z-buffer; the gamma ramp, the depth fog, and the conversions between fixed-point orientations and
// quaternions. Every other module draws through the device and the surfaces kept here.
//
// Screen coordinates handed in by callers count y from the bottom of the surface: a caller's y lies on
// surface row SurfaceHeight - y (for a pixel: row SurfaceHeight - 1 - y).
#pragma once

#include <cstdint>

#include "core/Fix3D.h"
#include "platform/DxError.h"

namespace host {
struct GfxSurface;
struct GfxDevice;
struct ZBufferFormat;
struct PixelFormatDesc;
enum class PixelFormat : uint8_t;
}  // namespace host

// ---- Device state ----------------------------------------------------------------------------------

// One recorded device kind (tracked allocation "D3DDriverCell").
struct D3DDriverCell {
    const uint8_t* guidPtr;  // points at guid: the value handed to device creation
    uint8_t guid[16];        // device identifier
    char name[256];
    char description[256];
    int32_t hardware;  // 0 the software rasterizer, 1 the hardware devices
    int32_t tnl;       // 1 only for the hardware device with transform and lighting
};

// A display mode (list kept for shutdown; nothing fills it).
struct DisplayModeCell {
    int32_t width, height, bitsPerPixel;
};

constexpr int kMaxD3DDrivers = 64;
extern D3DDriverCell* D3DDrivers[kMaxD3DDrivers];
extern int32_t D3DDriverCount;
extern DisplayModeCell* DisplayModes[kMaxD3DDrivers];
extern int32_t DisplayModeCount;

extern host::GfxSurface* BackBuffer;      // the render target
extern host::GfxSurface* ZBufferSurface;  // null when the z-buffer is off
extern host::GfxDevice* D3DDevice;        // null while the display is closed

extern int32_t SurfaceWidth;   // pixels
extern int32_t SurfaceHeight;  // pixels
extern float ScreenHeightF;    // SurfaceHeight as a float
extern int32_t DisplayBits;    // 16 or 32: colourdepth in full screen, the desktop's depth in a window
extern int32_t ZBufferBits;    // bit depth of the z-buffer in use
extern int32_t ZBufferWanted;  // 16 on a 16-bit display, else 24
extern int32_t ZBufferFound;   // a z-buffer format of the wanted depth was offered
extern int32_t PlainZ;         // 1 unless a 32-bit z format with an 8-bit stencil on top was offered
extern int32_t AlphaBits;      // 8 or 4 alpha bits for textures with an alpha channel
extern float CurrentGamma;
extern int32_t PerspectiveTextures;  // the texture-perspective flag

// The 2D clip rectangle: the last viewport, in bottom-up screen coordinates.
struct ClipRectangle {
    int32_t xmin, xmax, ymin, ymax;
};
extern ClipRectangle ClipRect;
// The device viewport of the last dxgl_SetViewport, in surface pixels (rows from the top).
struct ViewportRect {
    int32_t left, top, width, height;
};
extern ViewportRect DeviceViewport;

// Depth fog: the factor RenderView sets per view, and the specular colour whose top byte is the fog
// alpha of the last depth handed to dxgl_SetDepthFog (the lower 24 bits are 0).
extern int32_t FogScale;
extern uint32_t FogSpecular;

// Per-frame drawing statistics, reset by every present.
extern float DrawCallCount;
extern float TriangleCount;

// ---- Device lifetime and presenting ----------------------------------------------------------------

// Creates the device, surfaces and z-buffer from the configuration. 1, or 0 when the full-screen display
// mode cannot be set (then nothing is created). Every other failure is fatal.
int dxgl_InitD3D();
// Releases everything; absent parts are skipped, so it may be called at any time.
void dxgl_ShutdownD3D();
// Ends the scene, presents the back buffer, begins the next scene and resets the statistics.
void dxgl_SwapBuffers();

// ---- Viewport, clears and read-backs (bottom-up coordinates) ---------------------------------------

// Clamps, orders and remembers the rectangle, and sets it as the device viewport (depth 0..1).
void dxgl_SetViewport(int x0, int y0, int x1, int y1);
// Clears the current viewport of the render target to the colour (0xAARRGGBB), and the z-buffer to 1.0
// as well when withZ is set and a z-buffer exists.
HRESULT dxgl_ClearRenderTarget(uint32_t colour, int withZ);
// Clears the z-buffer in the rectangle to 1.0.
HRESULT dxgl_ClearZRect(int x0, int y0, int x1, int y1);
// One back-buffer pixel as 8-bit red, green, blue; black outside the surface.
void dxgl_ReadBackBuffer(int x, int y, uint8_t rgb[3]);
// Depth at one pixel, 0.0 near .. 1.0 far; 1.0 outside the surface.
float dxgl_ReadDepthBuffer(int x, int y);

// ---- Device queries and states ---------------------------------------------------------------------

HRESULT dxgl_GetVideoMemory(uint32_t* total, uint32_t* free);
HRESULT dxgl_ValidateDevice();
void dxgl_EvictManagedTextures();
HRESULT dxgl_RestoreAllSurfaces();
// 0 while the display is available.
HRESULT dxgl_TestCooperativeLevel();
// Remembers the flag and sets the texture-perspective state.
void dxgl_SetPerspectiveTextures(int on);
// Builds the gamma ramp for g, sets it where a gamma control exists (full screen) and remembers g.
void dxgl_SetGamma(float gamma);
// The ramp dxgl_SetGamma builds: truncate(pow(i / 255, g) * 65535).
void BuildGammaRamp(float gamma, uint16_t ramp[256]);

// Fog alpha for depth z: 255 - ((FogScale * z) >> 18), clamped to 0..255.
int dxgl_DepthFogAlpha(int32_t z);
// Stores the fog alpha of depth z in the top byte of FogSpecular.
void dxgl_SetDepthFog(int32_t z);

// The z-buffer format of the wanted depth among those offered (a later match replaces an earlier one);
// 1 when found. A 32-bit format with an 8-bit stencil on top clears PlainZ.
int ChooseZBufferFormat(const host::ZBufferFormat* formats, int count, int wanted, host::PixelFormat* chosen);
// 8 when a 32-bit colour format with alpha is offered, else 4 (with a warning on the debug print).
int ChooseAlphaBits(const host::PixelFormatDesc* formats, int count);

// ---- Orientation conversions -----------------------------------------------------------------------

struct Quaternion {
    float x, y, z, w;
};
// 4 x 4 float matrix, row vectors (v' = v M), element m[row][column].
struct Matrix4 {
    float m[4][4];
};
// The rotation matrix of a unit quaternion.
void MatrixFromQuaternion(Matrix4* out, const Quaternion& q);
// The unit quaternion of a rotation matrix (upper 3 x 3).
void QuaternionFromMatrix(Quaternion* out, const Matrix4& m);
// Fixed-point orientation (nine 1.15 elements, row order) to quaternion.
void FixedToD3DMatrix(Quaternion* out, const FixMatrix* matrix);
// Quaternion to fixed-point orientation (elements times 32768, truncated toward zero).
void D3DToFixedMatrix(FixMatrix* matrix, const Quaternion& q);
// Spherical interpolation from a to b at t (0..1) along the shorter arc.
void QuaternionSlerp(Quaternion* out, const Quaternion& a, const Quaternion& b, float t);
// The cubic Hermite curve from p1 (tangent t1) to p2 (tangent t2) at s (0..1).
void Vec3Hermite(float out[3], const float p1[3], const float t1[3], const float p2[3], const float t2[3], float s);

// ---- Driver list -----------------------------------------------------------------------------------

// Records a device (identifier, name, description); null once 64 are recorded. An identifier of none of
// the three known kinds is fatal.
D3DDriverCell* CreateD3DDriver(const uint8_t* guid, const char* name, const char* description);
void FreeD3DDriver(D3DDriverCell* driver);
void FreeDisplayMode(DisplayModeCell* mode);
// The driver that device creation uses: the last plain hardware device, else the last software one,
// else the first recorded. Null for an empty list.
D3DDriverCell* ChooseD3DDriver();
