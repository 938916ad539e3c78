// Interpolation of orientations and positions along key-frame paths (camera flights).
#include <cmath>

#include "platform/Dxgl.h"

void QuaternionSlerp(Quaternion* out, const Quaternion& a, const Quaternion& b, float t) {
    float cosom = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
    float sign = 1.0f;
    if (cosom < 0.0f) {
        cosom = -cosom;
        sign = -1.0f;
    }
    float wa = 1.0f - t, wb = t;
    if (1.0f - cosom > 1e-6f) {
        const float omega = std::acos(cosom);
        const float sinom = std::sin(omega);
        wa = std::sin((1.0f - t) * omega) / sinom;
        wb = std::sin(t * omega) / sinom;
    }
    wb *= sign;
    out->x = wa * a.x + wb * b.x;
    out->y = wa * a.y + wb * b.y;
    out->z = wa * a.z + wb * b.z;
    out->w = wa * a.w + wb * b.w;
}

void Vec3Hermite(float out[3], const float p1[3], const float t1[3], const float p2[3], const float t2[3], float s) {
    const float s2 = s * s, s3 = s2 * s;
    const float h1 = 2 * s3 - 3 * s2 + 1, h2 = s3 - 2 * s2 + s, h3 = -2 * s3 + 3 * s2, h4 = s3 - s2;
    for (int k = 0; k < 3; ++k) out[k] = h1 * p1[k] + h2 * t1[k] + h3 * p2[k] + h4 * t2[k];
}
