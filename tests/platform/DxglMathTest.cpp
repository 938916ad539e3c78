#include <gtest/gtest.h>

#include <cmath>

#include "platform/Dxgl.h"

namespace {

// Restores the per-view fog factor after a test.
struct FogScaleGuard {
    int32_t saved = FogScale;
    ~FogScaleGuard() { FogScale = saved; }
};

}  // namespace

TEST(DepthFog, AlphaForDepths) {
    FogScaleGuard guard;
    const struct {
        int32_t scale, z;
        int alpha;
    } cases[] = {
        {128, 0, 255},         {128, 2047, 255},   // 128 * 2047 < 2^18
        {128, 2048, 254},                          // exactly one step
        {128, 520192, 1},      {128, 522240, 0},   // scale * z = 255 * 2^18
        {128, 524288, 0},                          // scale * z = 256 * 2^18: below zero before the clamp
        {128, -100000, 255},                       // behind the eye: clamped at no fog
        {1, 255 << 18, 0},     {0, 1 << 30, 255},  // a factor of 0 switches the fog off
        {128, 1 << 24, 0},  // the product passes 2^31: still full fog, not wrapped to none
        {4096, 0x7FFFFFFF, 0},
    };
    for (const auto& c : cases) {
        FogScale = c.scale;
        EXPECT_EQ(dxgl_DepthFogAlpha(c.z), c.alpha) << c.scale << " x " << c.z;
        dxgl_SetDepthFog(c.z);
        EXPECT_EQ(FogSpecular, static_cast<uint32_t>(c.alpha) << 24) << c.scale << " x " << c.z;
    }
}

TEST(Gamma, LinearRampAtOne) {
    uint16_t ramp[256];
    BuildGammaRamp(1.0f, ramp);
    EXPECT_EQ(ramp[0], 0);
    EXPECT_EQ(ramp[255], 65535);
    for (int i = 0; i < 256; ++i) EXPECT_NEAR(ramp[i], 257 * i, 1) << i;
}

TEST(Gamma, AboveOneDarkensTheMiddleBelowOneBrightens) {
    const struct {
        float gamma;
        int mid;  // truncate(pow(128/255, g) * 65535)
    } cases[] = {{2.0f, 16512}, {0.5f, 46431}, {1.5f, 23306}};
    for (const auto& c : cases) {
        uint16_t ramp[256];
        BuildGammaRamp(c.gamma, ramp);
        EXPECT_NEAR(ramp[128], c.mid, 1) << c.gamma;
        EXPECT_EQ(ramp[0], 0) << c.gamma;
        EXPECT_EQ(ramp[255], 65535) << c.gamma;
        for (int i = 1; i < 256; ++i) EXPECT_LE(ramp[i - 1], ramp[i]) << c.gamma << " at " << i;
    }
}

TEST(Gamma, NonsenseValuesStayInRange) {
    uint16_t ramp[256];
    BuildGammaRamp(-1.0f, ramp);  // above full scale everywhere but 0
    EXPECT_EQ(ramp[1], 65535);
    BuildGammaRamp(NAN, ramp);
    EXPECT_EQ(ramp[100], 0);
}

namespace {

constexpr int32_t kOne = 32768;

void ExpectSameOrientation(const FixMatrix& a, const FixMatrix& b, int tolerance, const char* what) {
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(a.m[i], b.m[i], tolerance) << what << " element " << i;
}

}  // namespace

TEST(Orientation, KnownQuaternions) {
    const float h = std::sqrt(0.5f);
    const struct {
        const char* what;
        FixMatrix m;
        Quaternion q;  // up to sign
    } cases[] = {
        {"identity", {{kOne, 0, 0, 0, kOne, 0, 0, 0, kOne}}, {0, 0, 0, 1}},
        // Row vectors: the x axis turns into the y axis by a quarter turn about z.
        {"quarter turn about z", {{0, kOne, 0, -kOne, 0, 0, 0, 0, kOne}}, {0, 0, h, h}},
        {"half turn about x", {{kOne, 0, 0, 0, -kOne, 0, 0, 0, -kOne}}, {1, 0, 0, 0}},
        {"half turn about y", {{-kOne, 0, 0, 0, kOne, 0, 0, 0, -kOne}}, {0, 1, 0, 0}},
        {"half turn about z", {{-kOne, 0, 0, 0, -kOne, 0, 0, 0, kOne}}, {0, 0, 1, 0}},
    };
    for (const auto& c : cases) {
        Quaternion q;
        FixedToD3DMatrix(&q, &c.m);
        const float sign = (q.x * c.q.x + q.y * c.q.y + q.z * c.q.z + q.w * c.q.w) < 0 ? -1.0f : 1.0f;
        EXPECT_NEAR(sign * q.x, c.q.x, 1e-4) << c.what;
        EXPECT_NEAR(sign * q.y, c.q.y, 1e-4) << c.what;
        EXPECT_NEAR(sign * q.z, c.q.z, 1e-4) << c.what;
        EXPECT_NEAR(sign * q.w, c.q.w, 1e-4) << c.what;
        FixMatrix back;
        D3DToFixedMatrix(&back, q);
        ExpectSameOrientation(back, c.m, 1, c.what);
    }
}

// Turns about tilted axes through every branch of the conversion (small and large turns, turns near a
// half turn about each axis) come back within a few 1.15 units.
TEST(Orientation, RoundTripThroughQuaternion) {
    const struct {
        float ax, ay, az, angle;
    } cases[] = {
        {1, 2, 3, 0.3f},       {-1, 0.5f, 0.2f, 2.5f}, {1, 0.1f, 0.1f, 3.1f},
        {0.1f, 1, 0.2f, 3.1f}, {0.2f, 0.1f, -1, 3.1f}, {0, 0, 1, -1.0f},
    };
    for (const auto& c : cases) {
        const float n = std::sqrt(c.ax * c.ax + c.ay * c.ay + c.az * c.az);
        const float s = std::sin(c.angle / 2) / n;
        const Quaternion q0 = {c.ax * s, c.ay * s, c.az * s, std::cos(c.angle / 2)};
        FixMatrix m;
        D3DToFixedMatrix(&m, q0);
        Quaternion q;
        FixedToD3DMatrix(&q, &m);
        FixMatrix back;
        D3DToFixedMatrix(&back, q);
        ExpectSameOrientation(back, m, 3, "round trip");
        EXPECT_NEAR(std::fabs(q.x * q0.x + q.y * q0.y + q.z * q0.z + q.w * q0.w), 1.0f, 1e-3);
    }
}

TEST(Orientation, FixedElementsAreTruncatedTowardZero) {
    const Quaternion q = {0, 0, std::sin(0.1f), std::cos(0.1f)};
    FixMatrix fixed;
    D3DToFixedMatrix(&fixed, q);
    const int32_t* m = fixed.m;
    Matrix4 f;
    MatrixFromQuaternion(&f, q);
    EXPECT_EQ(m[1], static_cast<int32_t>(f.m[0][1] * 32768.0f));
    EXPECT_LT(m[3], 0);
    EXPECT_EQ(m[3], -m[1]);  // truncation toward zero is the same on both sides of zero
    EXPECT_EQ(m[0], static_cast<int32_t>(f.m[0][0] * 32768.0f));
}

namespace {

struct SurfaceSizeGuard {
    int32_t w = SurfaceWidth, h = SurfaceHeight;
    SurfaceSizeGuard(int32_t width, int32_t height) {
        SurfaceWidth = width;
        SurfaceHeight = height;
    }
    ~SurfaceSizeGuard() {
        SurfaceWidth = w;
        SurfaceHeight = h;
    }
};

}  // namespace

// Bottom-up corners in any order become a clamped, ordered clip rectangle and a top-down viewport.
TEST(Viewport, BottomUpCornersToDeviceViewport) {
    SurfaceSizeGuard size(640, 480);
    const struct {
        int x0, y0, x1, y1;
        ClipRectangle clip;  // xmin, xmax, ymin, ymax
        ViewportRect vp;     // left, top, width, height
    } cases[] = {
        {100, 50, 20, 10, {20, 100, 10, 50}, {20, 430, 80, 40}},
        {0, 0, 640, 480, {0, 640, 0, 480}, {0, 0, 640, 480}},
        {-5, -7, 700, 500, {0, 640, 0, 480}, {0, 0, 640, 480}},
        {0, 0, 320, 240, {0, 320, 0, 240}, {0, 240, 320, 240}},  // the lower-left quarter
        {10, 470, 10, 480, {10, 10, 470, 480}, {10, 0, 0, 10}},
    };
    for (const auto& c : cases) {
        dxgl_SetViewport(c.x0, c.y0, c.x1, c.y1);
        EXPECT_EQ(ClipRect.xmin, c.clip.xmin) << c.x0;
        EXPECT_EQ(ClipRect.xmax, c.clip.xmax) << c.x0;
        EXPECT_EQ(ClipRect.ymin, c.clip.ymin) << c.x0;
        EXPECT_EQ(ClipRect.ymax, c.clip.ymax) << c.x0;
        EXPECT_EQ(DeviceViewport.left, c.vp.left) << c.x0;
        EXPECT_EQ(DeviceViewport.top, c.vp.top) << c.x0;
        EXPECT_EQ(DeviceViewport.width, c.vp.width) << c.x0;
        EXPECT_EQ(DeviceViewport.height, c.vp.height) << c.x0;
    }
}
