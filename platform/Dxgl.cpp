// Device state, the gamma ramp, the depth fog and the orientation conversions.
#include <cmath>
#include <cstring>
#include <utility>

#include "core/Memory.h"
#include "platform/Dxgl_local.h"

D3DDriverCell* D3DDrivers[kMaxD3DDrivers];
int32_t D3DDriverCount = 0;
DisplayModeCell* DisplayModes[kMaxD3DDrivers];
int32_t DisplayModeCount = 0;

host::GfxSurface* BackBuffer = nullptr;
host::GfxSurface* ZBufferSurface = nullptr;
host::GfxDevice* D3DDevice = nullptr;

int32_t SurfaceWidth = 0;
int32_t SurfaceHeight = 0;
float ScreenHeightF = 0.0f;
int32_t DisplayBits = 16;
int32_t ZBufferBits = 0;
int32_t ZBufferWanted = 0;
int32_t ZBufferFound = 0;
int32_t PlainZ = 1;
int32_t AlphaBits = 4;
float CurrentGamma = 1.0f;
int32_t PerspectiveTextures = 1;
ClipRectangle ClipRect = {0, 0, 0, 0};
ViewportRect DeviceViewport = {0, 0, 0, 0};

int32_t FogScale = 128;
uint32_t FogSpecular = 0xFF000000u;

float DrawCallCount = 0.0f;
float TriangleCount = 0.0f;

// ---- Viewport --------------------------------------------------------------------------------------

namespace {

int Clamp(int v, int hi) {
    return v < 0 ? 0 : (v > hi ? hi : v);
}

}  // namespace

void dxgl_SetViewport(int x0, int y0, int x1, int y1) {
    x0 = Clamp(x0, SurfaceWidth);
    x1 = Clamp(x1, SurfaceWidth);
    y0 = Clamp(y0, SurfaceHeight);
    y1 = Clamp(y1, SurfaceHeight);
    if (x1 < x0) std::swap(x0, x1);
    if (y1 < y0) std::swap(y0, y1);
    ClipRect = {x0, x1, y0, y1};
    // Callers count y from the bottom; the device counts rows from the top.
    DeviceViewport = {x0, SurfaceHeight - y1, x1 - x0, y1 - y0};
    if (D3DDevice) {
        const host::GfxViewport vp = {
            DeviceViewport.left, DeviceViewport.top, DeviceViewport.width, DeviceViewport.height, 0.0f, 1.0f};
        ReportDDError(host::SetViewport(D3DDevice, vp));
    }
}

// ---- Gamma -----------------------------------------------------------------------------------------

void BuildGammaRamp(float gamma, uint16_t ramp[256]) {
    for (int i = 0; i < 256; ++i) {
        double v = std::pow(i / 255.0, static_cast<double>(gamma)) * 65535.0;
        // A negative or non-finite gamma must not turn into an out-of-range integer conversion.
        if (!(v >= 0.0)) v = 0.0;
        if (v > 65535.0) v = 65535.0;
        ramp[i] = static_cast<uint16_t>(v);
    }
}

// ---- Depth fog -------------------------------------------------------------------------------------

int dxgl_DepthFogAlpha(int32_t z) {
    // The product is taken in 64 bits: a 32-bit product wraps for far depths and would clear their fog.
    int64_t alpha = 255 - ((static_cast<int64_t>(FogScale) * z) >> 18);
    if (alpha < 0) alpha = 0;
    if (alpha > 255) alpha = 255;
    return static_cast<int>(alpha);
}

void dxgl_SetDepthFog(int32_t z) {
    FogSpecular = static_cast<uint32_t>(dxgl_DepthFogAlpha(z)) << 24;
}

// ---- Orientation conversions -----------------------------------------------------------------------

void MatrixFromQuaternion(Matrix4* out, const Quaternion& q) {
    const float x = q.x, y = q.y, z = q.z, w = q.w;
    float(*m)[4] = out->m;
    m[0][0] = 1.0f - 2.0f * (y * y + z * z);
    m[0][1] = 2.0f * (x * y + z * w);
    m[0][2] = 2.0f * (x * z - y * w);
    m[1][0] = 2.0f * (x * y - z * w);
    m[1][1] = 1.0f - 2.0f * (x * x + z * z);
    m[1][2] = 2.0f * (y * z + x * w);
    m[2][0] = 2.0f * (x * z + y * w);
    m[2][1] = 2.0f * (y * z - x * w);
    m[2][2] = 1.0f - 2.0f * (x * x + y * y);
    m[0][3] = m[1][3] = m[2][3] = 0.0f;
    m[3][0] = m[3][1] = m[3][2] = 0.0f;
    m[3][3] = 1.0f;
}

void QuaternionFromMatrix(Quaternion* out, const Matrix4& matrix) {
    const float(*m)[4] = matrix.m;
    const float trace = m[0][0] + m[1][1] + m[2][2];
    // The largest of w, x, y, z is found first so that the divisor stays well away from zero.
    if (trace > 0.0f) {
        float s = std::sqrt(trace + 1.0f) * 2.0f;  // 4w
        out->w = 0.25f * s;
        out->x = (m[1][2] - m[2][1]) / s;
        out->y = (m[2][0] - m[0][2]) / s;
        out->z = (m[0][1] - m[1][0]) / s;
    } else if (m[0][0] >= m[1][1] && m[0][0] >= m[2][2]) {
        float s = std::sqrt(std::fmax(0.0f, 1.0f + m[0][0] - m[1][1] - m[2][2])) * 2.0f;  // 4x
        if (s == 0.0f) s = 1.0f;
        out->x = 0.25f * s;
        out->y = (m[0][1] + m[1][0]) / s;
        out->z = (m[0][2] + m[2][0]) / s;
        out->w = (m[1][2] - m[2][1]) / s;
    } else if (m[1][1] >= m[2][2]) {
        float s = std::sqrt(std::fmax(0.0f, 1.0f + m[1][1] - m[0][0] - m[2][2])) * 2.0f;  // 4y
        if (s == 0.0f) s = 1.0f;
        out->x = (m[0][1] + m[1][0]) / s;
        out->y = 0.25f * s;
        out->z = (m[1][2] + m[2][1]) / s;
        out->w = (m[2][0] - m[0][2]) / s;
    } else {
        float s = std::sqrt(std::fmax(0.0f, 1.0f + m[2][2] - m[0][0] - m[1][1])) * 2.0f;  // 4z
        if (s == 0.0f) s = 1.0f;
        out->x = (m[0][2] + m[2][0]) / s;
        out->y = (m[1][2] + m[2][1]) / s;
        out->z = 0.25f * s;
        out->w = (m[0][1] - m[1][0]) / s;
    }
}

void FixedToD3DMatrix(Quaternion* out, const FixMatrix* matrix) {
    Matrix4 m{};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) m.m[r][c] = static_cast<float>(matrix->m[r * 3 + c]) / 32768.0f;
    m.m[3][3] = 1.0f;
    QuaternionFromMatrix(out, m);
}

void D3DToFixedMatrix(FixMatrix* matrix, const Quaternion& q) {
    Matrix4 m;
    MatrixFromQuaternion(&m, q);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) matrix->m[r * 3 + c] = static_cast<int32_t>(m.m[r][c] * 32768.0f);
}
