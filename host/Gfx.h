// The graphics device: a software rasterizer shaped like the Direct3D 7 immediate-mode device the game
// draws through, with DirectDraw-style surfaces, blits and a presenter into the SDL window.
//
// Conventions, as on the device the game was written for:
// - pixel centres lie at integer coordinates; triangles follow the top-left fill rule;
// - texel centres lie at (i + 0.5) / size, so point sampling maps a 2D quad at integer positions texel for
//   texel onto pixels (bilinear sampling of such a quad blends neighbouring texels half and half);
// - the screen vertex carries x, y (rows from the top), z (0 near .. 1 far), rhw, diffuse and specular
//   ARGB (specular alpha is the vertex fog factor) and two texture-coordinate pairs;
// - every call that can fail returns a result code: 0 for success, else one of the Gfx* codes below
//   (valued as the platform's documented result codes so the game's error names apply).
// Render-state, texture-stage-state and operation numbers are the documented Direct3D 7 values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host {

using GfxResult = int32_t;
constexpr GfxResult GfxOk = 0;
constexpr GfxResult GfxErrGeneric = static_cast<int32_t>(0x80004005u);        // E_FAIL
constexpr GfxResult GfxErrUnsupported = static_cast<int32_t>(0x80004001u);    // E_NOTIMPL
constexpr GfxResult GfxErrOutOfMemory = static_cast<int32_t>(0x8007000Eu);    // E_OUTOFMEMORY
constexpr GfxResult GfxErrInvalidParams = static_cast<int32_t>(0x80070057u);  // E_INVALIDARG
constexpr GfxResult GfxErrInvalidRect = static_cast<int32_t>(0x88760096u);    // invalid rectangle
constexpr GfxResult GfxErrNotLocked = static_cast<int32_t>(0x88760248u);      // surface not locked
constexpr GfxResult GfxErrSurfaceBusy = static_cast<int32_t>(0x887601AEu);    // surface already locked
constexpr GfxResult GfxErrUnsupportedColourOp = static_cast<int32_t>(0x88760819u);
constexpr GfxResult GfxErrUnsupportedColourArg = static_cast<int32_t>(0x8876081Au);
constexpr GfxResult GfxErrUnsupportedAlphaOp = static_cast<int32_t>(0x8876081Bu);
constexpr GfxResult GfxErrUnsupportedAlphaArg = static_cast<int32_t>(0x8876081Cu);
constexpr GfxResult GfxErrUnsupportedFactor = static_cast<int32_t>(0x8876081Fu);

// ---- Pixel formats and surfaces -------------------------------------------------------------------------

enum class PixelFormat : uint8_t {
    Unknown,
    RGB565,    // 16-bit colour (back buffer, opaque textures)
    XRGB8888,  // 32-bit colour, top byte unused (back buffer, opaque textures)
    ARGB8888,  // 32-bit texture with 8-bit alpha
    ARGB4444,  // 16-bit texture with 4-bit alpha
    ARGB1555,  // 16-bit texture with a 1-bit alpha (black-transparent textures)
    A8,        // 8-bit alpha-only texture (colour reads as white)
    Z16,       // 16-bit z-buffer, z = value / 65536
    Z24,       // 32-bit word per pixel holding a 24-bit z in its top 24 bits (mask 0xFFFFFF00)
};

// The pixel-format description the platform hands to enumeration callbacks and surface queries.
struct PixelFormatDesc {
    PixelFormat format;
    int bitsPerPixel;    // 8, 16 or 32
    uint32_t alphaMask;  // 0 when there is no alpha
    uint32_t redMask;    // also the z mask of the z formats
    uint32_t greenMask;
    uint32_t blueMask;
    bool hasRgb;    // colour channels present
    bool hasAlpha;  // alpha channel present (alpha pixels, or alpha only when !hasRgb)
    bool isZBuffer;
    int zBits;  // z depth of the z formats, else 0
};

// Describes one format; Unknown gives an all-zero description.
PixelFormatDesc DescribeFormat(PixelFormat format);
// The format with these masks and bit count (z formats: redMask is the z mask), or Unknown.
PixelFormat FormatFromMasks(int bitsPerPixel, uint32_t alphaMask, uint32_t redMask, uint32_t greenMask,
                            uint32_t blueMask, bool isZBuffer);
// Bytes per pixel of a format (0 for Unknown).
int BytesPerPixel(PixelFormat format);
// Packs 0xAARRGGBB into a pixel of the format (channels truncated to their widths); z formats take the
// low 24 bits as a z value of 24 bits.
uint32_t PackPixel(PixelFormat format, uint32_t argb);
// Unpacks a pixel into 0xAARRGGBB, widening each channel by bit replication; formats without alpha give
// alpha 0xFF, A8 gives white with the alpha.
uint32_t UnpackPixel(PixelFormat format, uint32_t pixel);

enum class SurfaceKind : uint8_t {
    RenderTarget,  // a back buffer the device renders into (RGB565 or XRGB8888)
    ZBuffer,       // Z16 or Z24
    Texture,       // any colour or alpha format
    OffscreenPlain,
};

struct GfxSurface;  // opaque; made by CreateSurface, released by DeleteSurface

struct GfxRect {
    int left, top, right, bottom;  // right and bottom exclusive, rows counted from the top
};

// Creates a surface of width x height in the format, contents zero. Null for a bad size or format (a
// render target must be RGB565 or XRGB8888, a z-buffer Z16 or Z24). videoMemory counts it against the
// video memory figures.
GfxSurface* CreateSurface(int width, int height, PixelFormat format, SurfaceKind kind, bool videoMemory);
// Releases the surface (null is accepted). Detaches it from a device that uses it as target or texture.
void DeleteSurface(GfxSurface* surface);
int SurfaceWidth(const GfxSurface* surface);
int SurfaceHeight(const GfxSurface* surface);
PixelFormat SurfaceFormat(const GfxSurface* surface);
SurfaceKind SurfaceKindOf(const GfxSurface* surface);

struct GfxLock {
    void* bits;  // first byte of the locked rectangle's top row
    int pitch;   // bytes from one row to the next
    int width, height;
    PixelFormat format;
};
// Locks the whole surface (rect null) or a rectangle for direct access; waits until pending drawing into
// the surface is done. A second lock before Unlock fails with GfxErrSurfaceBusy.
GfxResult LockSurface(GfxSurface* surface, const GfxRect* rect, GfxLock* out);
GfxResult UnlockSurface(GfxSurface* surface);

// Source colour key for keyed blits: a pixel whose raw value lies in low..high is not copied.
void SetColourKey(GfxSurface* surface, uint32_t low, uint32_t high);
void ClearColourKey(GfxSurface* surface);
bool HasColourKey(const GfxSurface* surface);

// Attaches a z-buffer to a render target (null detaches). Sizes must match.
GfxResult AttachZBuffer(GfxSurface* target, GfxSurface* zbuffer);
GfxSurface* AttachedZBuffer(const GfxSurface* target);

// Copies src (the srcRect part, or all of it when null) onto dst with the top-left corner at (x, y),
// converting between formats. With keyed set, source pixels matching the source colour key are skipped.
// The copy is clipped to both surfaces; a source rectangle outside the source is GfxErrInvalidRect.
GfxResult BltFast(GfxSurface* dst, int x, int y, GfxSurface* src, const GfxRect* srcRect, bool keyed);
// Copies srcRect of src (null: all) onto dstRect of dst (null: all), stretching with nearest sampling.
GfxResult Blt(GfxSurface* dst, const GfxRect* dstRect, GfxSurface* src, const GfxRect* srcRect, bool keyed);
// Fills a rectangle (null: all) of a colour surface with 0xAARRGGBB converted to its format.
GfxResult ColourFill(GfxSurface* dst, const GfxRect* rect, uint32_t argb);

// Reads one pixel as 0xAARRGGBB (see UnpackPixel); outside the surface gives 0.
uint32_t ReadPixelArgb(GfxSurface* surface, int x, int y);
// Reads the depth at one pixel of a z-buffer, 0.0 near to 1.0 far; outside gives 1.0.
float ReadDepth(GfxSurface* surface, int x, int y);

// ---- Device enumeration ----------------------------------------------------------------------------------

enum class DeviceKind : uint8_t {
    Software,     // the software (RGB) rasterizer
    Hardware,     // the hardware-style device
    HardwareTnL,  // the hardware-style device with transform and lighting
};

struct DeviceInfo {
    DeviceKind kind;
    uint8_t guid[16];  // identifies the kind; stable across runs
    const char* name;
    const char* description;
};
// The device kinds on offer, in enumeration order; returns the count.
int EnumerateDevices(const DeviceInfo** list);

struct ZBufferFormat {
    int bitsPerPixel;  // 16 or 32
    int zBits;         // 16 or 24
    int stencilBits;   // 0 for the plain formats
    uint32_t zMask;
    uint32_t stencilMask;
    PixelFormat format;  // Z16 or Z24 (stencil formats are not offered)
};
// The z-buffer formats a device kind offers; returns the count.
int EnumerateZBufferFormats(DeviceKind kind, const ZBufferFormat** list);
// The texture formats a device offers; returns the count.
int EnumerateTextureFormats(const PixelFormatDesc** list);

struct DisplayMode {
    int width, height, bitsPerPixel;
};
// Display modes for full screen (drawn scaled into a desktop-sized window); returns the count.
int EnumerateDisplayModes(const DisplayMode** list);
// Total and free video memory in bytes; surfaces created with videoMemory count against it.
void VideoMemory(uint64_t* total, uint64_t* free);

// ---- Device states ---------------------------------------------------------------------------------------

enum class RenderState : uint32_t {
    Antialias = 2,
    TexturePerspective = 4,
    ZEnable = 7,
    FillMode = 8,
    ShadeMode = 9,
    ZWriteEnable = 14,
    AlphaTestEnable = 15,
    LastPixel = 16,
    SrcBlend = 19,
    DestBlend = 20,
    CullMode = 22,
    ZFunc = 23,
    AlphaRef = 24,
    AlphaFunc = 25,
    DitherEnable = 26,
    AlphaBlendEnable = 27,
    FogEnable = 28,
    SpecularEnable = 29,
    ZVisible = 30,
    StippledAlpha = 33,
    FogColor = 34,
    FogTableMode = 35,
    FogStart = 36,
    FogEnd = 37,
    FogDensity = 38,
    EdgeAntialias = 40,
    ColorKeyEnable = 41,
    ZBias = 47,
    RangeFogEnable = 48,
    StencilEnable = 52,
    TextureFactor = 60,
    Clipping = 136,
    Lighting = 137,
    Ambient = 139,
    FogVertexMode = 140,
    ColorVertex = 141,
};
constexpr int kRenderStateCount = 256;  // states are stored by number below this

// Values of the states above.
enum : uint32_t {
    GfxZbFalse = 0,
    GfxZbTrue = 1,
    GfxFillPoint = 1,
    GfxFillWireframe = 2,
    GfxFillSolid = 3,
    GfxShadeFlat = 1,
    GfxShadeGouraud = 2,
    GfxCullNone = 1,
    GfxCullCw = 2,
    GfxCullCcw = 3,
};

enum class BlendFactor : uint32_t {
    Zero = 1,
    One = 2,
    SrcColor = 3,
    InvSrcColor = 4,
    SrcAlpha = 5,
    InvSrcAlpha = 6,
    DestAlpha = 7,
    InvDestAlpha = 8,
    DestColor = 9,
    InvDestColor = 10,
    SrcAlphaSat = 11,
};

enum class CompareFunc : uint32_t {
    Never = 1,
    Less = 2,
    Equal = 3,
    LessEqual = 4,
    Greater = 5,
    NotEqual = 6,
    GreaterEqual = 7,
    Always = 8,
};

enum class StageState : uint32_t {
    ColorOp = 1,
    ColorArg1 = 2,
    ColorArg2 = 3,
    AlphaOp = 4,
    AlphaArg1 = 5,
    AlphaArg2 = 6,
    TexCoordIndex = 11,
    Address = 12,
    AddressU = 13,
    AddressV = 14,
    BorderColor = 15,
    MagFilter = 16,
    MinFilter = 17,
    MipFilter = 18,
};
constexpr int kStageStateCount = 32;  // stage states are stored by number below this
constexpr int kStageCount = 2;        // texture stages the device offers

enum class TextureOp : uint32_t {
    Disable = 1,
    SelectArg1 = 2,
    SelectArg2 = 3,
    Modulate = 4,
    Modulate2x = 5,
    Modulate4x = 6,
    Add = 7,
    AddSigned = 8,
    Subtract = 10,
    BlendDiffuseAlpha = 12,
    BlendTextureAlpha = 13,
    BlendCurrentAlpha = 16,
    ModulateAlphaAddColor = 18,
};

// Texture arguments: a selector in the low four bits plus modifier flags.
enum : uint32_t {
    GfxTaDiffuse = 0,
    GfxTaCurrent = 1,
    GfxTaTexture = 2,
    GfxTaTFactor = 3,
    GfxTaSpecular = 4,
    GfxTaSelectMask = 0x0F,
    GfxTaComplement = 0x10,
    GfxTaAlphaReplicate = 0x20,
};

enum : uint32_t {
    GfxAddressWrap = 1,
    GfxAddressMirror = 2,
    GfxAddressClamp = 3,
    GfxAddressBorder = 4,
    GfxFilterPoint = 1,  // MagFilter / MinFilter
    GfxFilterLinear = 2,
    GfxMipNone = 1,
};

// ---- The device ------------------------------------------------------------------------------------------

struct GfxDevice;  // opaque; one per render target

// Creates a device of the kind rendering into target (a RenderTarget surface) and its attached z-buffer.
// The states start at the platform's defaults: z on when a z-buffer is attached, z write on, LESSEQUAL,
// blend ONE/ZERO and off, fog off, cull counter-clockwise, stage 0 MODULATE(TEXTURE, CURRENT) and
// SELECTARG1(TEXTURE), stage 1 disabled, wrap addressing, point filtering.
GfxDevice* CreateDevice(DeviceKind kind, GfxSurface* target);
void DeleteDevice(GfxDevice* device);  // null accepted
GfxSurface* DeviceTarget(const GfxDevice* device);

GfxResult SetRenderState(GfxDevice* device, RenderState state, uint32_t value);
uint32_t GetRenderState(const GfxDevice* device, RenderState state);
GfxResult SetTextureStageState(GfxDevice* device, int stage, StageState state, uint32_t value);
uint32_t GetTextureStageState(const GfxDevice* device, int stage, StageState state);
// Binds a texture surface to a stage (null: none; the stage then reads opaque white).
GfxResult SetTexture(GfxDevice* device, int stage, GfxSurface* texture);
GfxSurface* GetTexture(const GfxDevice* device, int stage);
// Whether the current states can be drawn in one pass (GfxOk, or the code of the first unsupported
// operation or argument); passes receives 1.
GfxResult ValidateDevice(GfxDevice* device, uint32_t* passes);

struct GfxViewport {
    int x, y, width, height;  // pixels, rows from the top
    float minZ, maxZ;
};
// Drawing and clears are scissored to the viewport. It must lie inside the render target.
GfxResult SetViewport(GfxDevice* device, const GfxViewport& viewport);
GfxViewport GetViewport(const GfxDevice* device);

enum : uint32_t { GfxClearTarget = 1, GfxClearZBuffer = 2, GfxClearStencil = 4 };
// Clears the rectangles (all of the viewport when count is 0), each intersected with the viewport:
// the target to colour (0xAARRGGBB) and/or the z-buffer to z (0..1).
GfxResult Clear(GfxDevice* device, int count, const GfxRect* rects, uint32_t flags, uint32_t colour, float z,
                uint32_t stencil);

// No-ops kept for the shape of a frame: a scene is open between them.
GfxResult BeginScene(GfxDevice* device);
GfxResult EndScene(GfxDevice* device);

enum class PrimitiveType : uint32_t {
    PointList = 1,
    LineList = 2,
    LineStrip = 3,
    TriangleList = 4,
    TriangleStrip = 5,
    TriangleFan = 6,
};

// The one vertex format: pre-transformed and lit, 40 bytes.
struct GfxVertex {
    float x, y;         // screen pixels, rows from the top
    float z;            // 0 near .. 1 far
    float rhw;          // reciprocal of the homogeneous w, for perspective-correct interpolation
    uint32_t diffuse;   // 0xAARRGGBB
    uint32_t specular;  // 0xAARRGGBB; alpha is the fog factor (255 clear .. 0 full fog colour)
    float tu0, tv0;
    float tu1, tv1;
};
static_assert(sizeof(GfxVertex) == 40);
constexpr uint32_t kGfxVertexFormat = 0x2C4;  // xyz+rhw, diffuse, specular, two coordinate pairs

// Draws count vertices of the vertex format (only kGfxVertexFormat is accepted) read from memory as
// consecutive 40-byte records. Culling, fill mode and the states in force apply.
GfxResult DrawPrimitive(GfxDevice* device, PrimitiveType type, uint32_t vertexFormat, const void* vertices,
                        int count);

// Waits until every pixel of the drawing issued so far is written (locks, blits and read-backs do this
// themselves).
void FinishDrawing(GfxDevice* device);
// Hands the drawing issued so far to the rasterizer's worker threads without waiting for it, so that they
// draw while the caller does other work (on one thread it is drawn already).
void SubmitDrawing(GfxDevice* device);

// Threads of the rasterizer (1: draw on the calling thread; 0, the default: one per core; n: the calling
// thread and n - 1 workers). Every pixel is the same whatever the count. Waits for pending drawing, then
// applies to every device.
void SetRasterThreads(int threads);
int RasterThreads();

// ---- Span statistics (benchmarks) ------------------------------------------------------------------------

// What one pixel pipeline drew while spans were counted: its states in words, whether a specialised span
// shader ("fast") or the general one drew it, and the spans and pixels it was asked to draw (pixels that
// fail the depth test included).
struct GfxSpanCount {
    std::string states;
    const char* shader;
    uint64_t spans, pixels;
};
// Counts every span drawn by the pipelines compiled from now on (off by default; costs an indirect call
// per span while on). Turning it on clears the counts.
void CountSpans(bool on);
// The counts so far, most pixels first, and clears them.
std::vector<GfxSpanCount> TakeSpanCounts();

// ---- Presenting ------------------------------------------------------------------------------------------

// The colour depth of the desktop for a windowed display: 16 or 32 (32 when headless).
int DesktopBitsPerPixel();
// Full-screen display mode: accepted for 16 or 32 bits and a positive size (the back buffer is drawn
// scaled into the desktop-sized window). False otherwise.
bool SetDisplayMode(int width, int height, int bitsPerPixel);

// Gamma ramp applied when presenting: 256 entries of 0..65535 per channel (red, green, blue).
void SetGammaRamp(const uint16_t red[256], const uint16_t green[256], const uint16_t blue[256]);
void GetGammaRamp(uint16_t red[256], uint16_t green[256], uint16_t blue[256]);

// Shows the surface in the main window, scaled to the window with its aspect kept, through the gamma
// ramp. Waits for pending drawing first; when there is no window (headless) it shows nothing and only
// hands pending drawing to the worker threads.
GfxResult Present(GfxSurface* backBuffer);
// Releases the presenter's window resources (renderer and streaming texture).
void ClosePresenter();
// Number of Present calls so far (headless runs count them too).
int PresentCount();

}  // namespace host
