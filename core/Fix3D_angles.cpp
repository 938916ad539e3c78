// Orientations from angles and directions, and angles from an orientation.
//
// Below, sX and cX are the sine and cosine of angle X halved to 1.15, and every product of two 1.15 values
// is shifted right by 15 before it is used further.
#include <cstdint>

#include "core/Fix3D.h"
#include "core/FixMath.h"

namespace {

inline int32_t M(int32_t a, int32_t b) {
    return static_cast<int32_t>((static_cast<int64_t>(a) * b) >> 15);
}

inline int32_t Sin15(int32_t angle) {
    return FixSin(angle) >> 1;
}
inline int32_t Cos15(int32_t angle) {
    return FixCos(angle) >> 1;
}

inline int32_t Abs(int32_t v) {
    return v < 0 ? (v == INT32_MIN ? INT32_MAX : -v) : v;
}

// 2 v, saturated: doubles a 1.15 value into a 16.16 argument.
inline int32_t Twice(int32_t v) {
    int64_t d = 2 * static_cast<int64_t>(v);
    return d > INT32_MAX ? INT32_MAX : (d < INT32_MIN ? INT32_MIN : static_cast<int32_t>(d));
}

// The direction d = (sp, cp sy, cp cy) as the sines and cosines of its two angles: the pitch p out of
// the y-z plane and the yaw y about the x axis.
struct DirectionAngles {
    int32_t sp, cp, sy, cy;
};

DirectionAngles AnglesOfDirection(const FixVec* d) {
    int32_t p = FixAsin(Twice(d->x));
    DirectionAngles r;
    r.sp = Sin15(p);
    r.cp = Cos15(p);
    int32_t y = 0;
    if (r.cp != 0) {
        // sin y = d.y / cos p (the arc sine clamps a ratio a rounding step above 1.0). Dividing the arc
        // sine of d.y by cos p instead would tilt the axis of every direction off the coordinate planes.
        int32_t q = FixAsin(Twice(FixDiv(d->y, r.cp)));
        y = d->z > 0 ? q : kFixHalfTurn - q;
    }
    r.sy = Sin15(y);
    r.cy = Cos15(y);
    return r;
}

// One angle of AnglesFromMatrix from the pair (e, f) = c (-sin angle, cos angle); the result lies in
// 0..411773.
int32_t AngleFromPair(int32_t e, int32_t f, int32_t c) {
    int32_t r;
    if (Abs(e) < 23170)
        r = FixAsin(Twice(Abs(FixDiv(e, c))));
    else
        r = FixAcos(Twice(Abs(FixDiv(f, c))));
    if (e <= 0 && f < 0) r += kFixHalfTurn;
    if (e >= 1 && f < 0) r = kFixHalfTurn - r;
    if (e < 0 && f > 0) r = kFixFullTurn - r;
    if (r != 0) r = kFixFullTurn - r;
    return r;
}

}  // namespace

void MatrixFromYawPitch(FixMatrix* m, int32_t a, int32_t b) {
    int32_t sa = Sin15(a), ca = Cos15(a), sb = Sin15(b), cb = Cos15(b);
    *m = {{-sa, 0, ca, M(ca, cb), sb, M(sa, cb), -M(ca, sb), cb, -M(sa, sb)}};
}

void MatrixFromPitchYaw(FixMatrix* m, int32_t a, int32_t b) {
    int32_t sa = Sin15(a), ca = Cos15(a), sb = Sin15(b), cb = Cos15(b);
    *m = {{-M(sa, sb), cb, M(ca, sb), M(sa, cb), sb, -M(ca, cb), -ca, 0, -sa}};
}

void MatrixFromEuler(FixMatrix* m, const int32_t angles[3]) {
    int32_t s0 = Sin15(angles[0]), c0 = Cos15(angles[0]);
    int32_t s1 = Sin15(angles[1]), c1 = Cos15(angles[1]);
    int32_t s2 = Sin15(angles[2]), c2 = Cos15(angles[2]);
    int32_t s1c0 = M(s1, c0), s1s0 = M(s1, s0);
    *m = {{-s1, -M(s2, c1), M(c2, c1),                                   //
           M(c1, c0), M(c2, s0) - M(s1c0, s2), M(s1c0, c2) + M(s2, s0),  //
           -M(c1, s0), M(s1s0, s2) + M(c2, c0), M(s2, c0) - M(s1s0, c2)}};
}

void MatrixFromDirection(FixMatrix* m, const FixVec* d, int32_t angle) {
    DirectionAngles da = AnglesOfDirection(d);
    int32_t s = Sin15(angle);
    int32_t k = M(s, da.cp);
    int32_t kz = M(k, da.cy), ky = M(k, da.sy), kx = M(s, da.sp);
    *m = {{32768, -kz, ky, kz, 32768, -kx, -ky, kx, 32768}};
}

void MatrixFromDirection2(FixMatrix* m, const FixVec* d, int32_t angle) {
    DirectionAngles da = AnglesOfDirection(d);
    const int32_t sp = da.sp, cp = da.cp, sy = da.sy, cy = da.cy;
    int32_t P = M(cp, cp), Q = M(sp, sp);
    int32_t C = Cos15(angle), S = Sin15(angle), R = 32768 - C;
    int32_t u = M(M(sp, sy), R), w = M(S, cy);
    int32_t u2 = M(M(sp, cy), R), w2 = M(S, sy);
    int32_t T = P + M(Q, C);
    int32_t cc = M(cy, cy), ss = M(sy, sy);
    int32_t z = M(M(Q - 32768, C) + P, M(cy, sy));
    int32_t e = M(S, sp);
    m->m[0] = M(P, C) + Q;
    m->m[1] = M(u - w, cp);
    m->m[2] = M(w2 + u2, cp);
    m->m[3] = M(w + u, cp);
    m->m[4] = M(cc, C) + M(ss, T);
    m->m[5] = z - e;
    m->m[6] = M(u2 - w2, cp);
    m->m[7] = e + z;
    m->m[8] = M(cc, T) + M(ss, C);
}

void AnglesFromMatrix(int32_t angles[3], const FixMatrix* mat) {
    const int32_t* m = mat->m;
    int32_t pitch = FixAsin(Twice(m[7]));
    int32_t c = Cos15(pitch);
    angles[1] = pitch;
    if (Abs(c) < 1501) {
        // Within about 2.6 degrees of straight up or down bank and heading cannot be told apart: the
        // bank is taken as 0 and the whole turn read from m3 and m5.
        angles[0] = 0;
        int32_t r = FixAsin(Twice(Abs(m[3])));
        if (m[3] <= 0 && m[5] < 0) r += kFixHalfTurn;
        if (m[3] > 0 && m[5] < 0) r = kFixHalfTurn - r;
        if (m[3] < 0 && m[5] > 0) r = kFixFullTurn - r;
        if (m[7] > 0) r -= kFixHalfTurn;
        if (r < 0) r += kFixFullTurn;
        if (r != 0) r = kFixFullTurn - r;
        angles[2] = r;
        return;
    }
    angles[2] = AngleFromPair(m[0], m[2], c);
    angles[0] = AngleFromPair(m[1], m[4], c);
}
