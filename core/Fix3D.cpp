// Fixed-point vectors and matrices: rotations, projection, lengths, normalisation, matrix products and
// edge clipping. The angle and orientation conversions are in Fix3D_angles.cpp.
//
// Products and sums are formed in 64 bits and shifted arithmetically (toward minus infinity), so a long
// vector gives its true rotated value instead of a wrapped one; the "Safe" variants keep their lower
// precision fallback for long vectors, which callers rely on for its scale.
#include "core/Fix3D.h"

#include <cmath>
#include <cstdint>

#include "core/FixMath.h"

float DepthScale = 0.0000005f;

namespace {

inline int32_t Narrow(int64_t v) {
    return static_cast<int32_t>(v);
}

inline int32_t Saturate(int64_t v) {
    return v > INT32_MAX ? INT32_MAX : (v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v));
}

inline int32_t Truncate(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(v);
}

inline bool OutsideShortRange(const FixVec& v) {
    auto out = [](int32_t c) { return c < -32768 || c > 32767; };
    return out(v.x) || out(v.y) || out(v.z);
}

// Row r of m (or column r, transposed) dotted with v, shifted right by shift.
inline int32_t RowDot(const FixMatrix* m, int r, const FixVec& v, int shift) {
    const int32_t* e = m->m + 3 * r;
    return Narrow((static_cast<int64_t>(e[0]) * v.x + static_cast<int64_t>(e[1]) * v.y +
                   static_cast<int64_t>(e[2]) * v.z) >>
                  shift);
}
inline int32_t ColumnDot(const FixMatrix* m, int c, const FixVec& v, int shift) {
    const int32_t* e = m->m + c;
    return Narrow((static_cast<int64_t>(e[0]) * v.x + static_cast<int64_t>(e[3]) * v.y +
                   static_cast<int64_t>(e[6]) * v.z) >>
                  shift);
}

inline void Rotate(FixVec* out, const FixMatrix* m, FixVec v, int shift) {
    out->x = RowDot(m, 0, v, shift);
    out->y = RowDot(m, 1, v, shift);
    out->z = RowDot(m, 2, v, shift);
}
inline void RotateT(FixVec* out, const FixMatrix* m, FixVec v, int shift) {
    out->x = ColumnDot(m, 0, v, shift);
    out->y = ColumnDot(m, 1, v, shift);
    out->z = ColumnDot(m, 2, v, shift);
}

inline FixVec ShiftedDown5(const FixVec& v) {
    return {v.x >> 5, v.y >> 5, v.z >> 5};
}

inline double RowDotF(const int32_t* e, int stride, const FixVec& v) {
    return (static_cast<double>(e[0]) * v.x + static_cast<double>(e[stride]) * v.y +
            static_cast<double>(e[2 * stride]) * v.z) *
           (1.0 / 32768.0);
}

// Largest r with r * r <= v, for v below 2^64 - 2^33 (r below 2^32 - 1): a double estimate corrected by
// integer checks (a 64-bit v is not exact in a double).
uint32_t Sqrt64(uint64_t v) {
    uint64_t r = static_cast<uint64_t>(std::sqrt(static_cast<double>(v)));
    if (r > 0xfffffffeu) r = 0xfffffffeu;
    while (r * r > v) --r;
    while ((r + 1) * (r + 1) <= v) ++r;
    return static_cast<uint32_t>(r);
}

// Squares of components below 2^31 in magnitude; three of them still fit 64 bits.
inline uint64_t Square(int64_t c) {
    uint64_t m = static_cast<uint64_t>(c < 0 ? -c : c);
    return m * m;
}

inline int32_t ClampedLength(uint64_t sumOfSquares) {
    uint32_t r = Sqrt64(sumOfSquares);
    return r > INT32_MAX ? INT32_MAX : static_cast<int32_t>(r);
}

// The projections divide by z; a point at or behind the eye is projected as if at z = 1.
inline int32_t ProjectionDepth(int32_t z) {
    return z < 1 ? 1 : z;
}

inline int16_t ToPixel(double v) {
    if (!(v > -32768.0)) return -32768;
    if (v >= 32767.0) return 32767;
    return static_cast<int16_t>(v);
}

inline int32_t Product15(int32_t a, int32_t b) {
    return Narrow((static_cast<int64_t>(a) * b) >> 15);
}

}  // namespace

void RotateVec(FixVec* out, const FixMatrix* m, const FixVec* v) {
    Rotate(out, m, *v, 15);
}
void RotateVecT(FixVec* out, const FixMatrix* m, const FixVec* v) {
    RotateT(out, m, *v, 15);
}
void RotateVec13(FixVec* out, const FixMatrix* m, const FixVec* v) {
    Rotate(out, m, *v, 13);
}
void RotateVecT13(FixVec* out, const FixMatrix* m, const FixVec* v) {
    RotateT(out, m, *v, 13);
}

void RotateVecSafe(FixVec* out, const FixMatrix* m, const FixVec* v) {
    if (OutsideShortRange(*v))
        Rotate(out, m, ShiftedDown5(*v), 10);
    else
        Rotate(out, m, *v, 15);
}

void RotateVecTSafe(FixVec* out, const FixMatrix* m, const FixVec* v) {
    if (OutsideShortRange(*v))
        RotateT(out, m, ShiftedDown5(*v), 10);
    else
        RotateT(out, m, *v, 15);
}

void RotateVecT13Safe(FixVec* out, const FixMatrix* m, const FixVec* v) {
    if (OutsideShortRange(*v))
        RotateT(out, m, ShiftedDown5(*v), 8);
    else
        RotateT(out, m, *v, 13);
}

void RotateVecF(FixVec* out, const FixMatrix* m, const FixVec* v) {
    FixVec in = *v;
    out->x = Truncate(RowDotF(m->m + 0, 1, in));
    out->y = Truncate(RowDotF(m->m + 3, 1, in));
    out->z = Truncate(RowDotF(m->m + 6, 1, in));
}

void RotateVecTF(FixVec* out, const FixMatrix* m, const FixVec* v) {
    FixVec in = *v;
    out->x = Truncate(RowDotF(m->m + 0, 3, in));
    out->y = Truncate(RowDotF(m->m + 1, 3, in));
    out->z = Truncate(RowDotF(m->m + 2, 3, in));
}

int32_t DotSafe(const FixVec* v, const FixVec* u) {
    FixVec a = *v;
    int shift = 15;
    if (OutsideShortRange(a)) {
        a = ShiftedDown5(a);
        shift = 10;
    }
    return Narrow((static_cast<int64_t>(a.x) * u->x + static_cast<int64_t>(a.y) * u->y +
                   static_cast<int64_t>(a.z) * u->z) >>
                  shift);
}

void ProjectToScreen16(ScreenPoint16* out, const FixVec* v, float cx, float cy) {
    int32_t z = ProjectionDepth(v->z);
    double f = 1024.0 / z;
    int16_t x = ToPixel(f * v->x + cx);
    int16_t y = ToPixel(f * v->y + cy);
    out->x = x;
    out->y = y;
    out->depth = static_cast<int16_t>(z < 16384 ? z : 32767);
}

void ProjectToScreen(ScreenPointF* out, const FixVec* v, float cx, float cy) {
    int32_t z = ProjectionDepth(v->z);
    float f = static_cast<float>(1024.0 / z);
    float x = f * static_cast<float>(v->x) + cx;
    float y = f * static_cast<float>(v->y) + cy;
    out->x = x;
    out->y = y;
    out->depth = DepthScale * static_cast<float>(z);
}

void ProjectToScreenRhw(ScreenPointRhw* out, const FixVec* v, float cx, float cy) {
    ScreenPointF p;
    ProjectToScreen(&p, v, cx, cy);
    out->x = p.x;
    out->y = p.y;
    out->depth = p.depth;
    out->rhw = 0.08f / p.depth;
}

namespace {
ProjectionEye g_eye{};
bool g_hasEye = false;
}  // namespace

void SetProjectionEye(const ProjectionEye* eye) {
    g_hasEye = eye != nullptr;
    g_eye = eye ? *eye : ProjectionEye{};
}

int ProjectWorldPoint(ScreenPointF* out, const FixVec* p) {
    // Differences of two world positions fit 32 bits for any world the game builds; the subtraction
    // wraps rather than overflow for anything else.
    auto diff = [](int32_t a, int32_t b) {
        return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
    };
    if (!g_hasEye) return 0;
    const FixVec& eye = *g_eye.position;
    FixVec v = {diff(p->x, eye.x), diff(p->y, eye.y), diff(p->z, eye.z)};
    RotateVecSafe(&v, g_eye.orientation, &v);
    if (g_eye.outsideFrustum(&v)) return 0;
    ProjectToScreen(out, &v, *g_eye.centreX, *g_eye.centreY);
    return 1;
}

int32_t Length3(const FixVec* v) {
    return ClampedLength(Square(v->x) + Square(v->y) + Square(v->z));
}

int32_t Length2(const FixVec* v) {
    return ClampedLength(Square(v->x) + Square(v->y));
}

int32_t Distance3(const FixVec* a, const FixVec* b) {
    int64_t dx = static_cast<int64_t>(b->x) - a->x, dy = static_cast<int64_t>(b->y) - a->y,
            dz = static_cast<int64_t>(b->z) - a->z;
    const int64_t limit = int64_t{1} << 31;  // a longer difference is longer than any int32 length
    if (dx <= -limit || dx >= limit || dy <= -limit || dy >= limit || dz <= -limit || dz >= limit)
        return INT32_MAX;
    return ClampedLength(Square(dx) + Square(dy) + Square(dz));
}

int32_t Length3F(const FixVec* v) {
    double x = v->x, y = v->y, z = v->z;
    return Truncate(std::sqrt(x * x + y * y + z * z));
}

int32_t Distance3F(const FixVec* a, const FixVec* b) {
    double x = static_cast<double>(b->x) - a->x, y = static_cast<double>(b->y) - a->y,
           z = static_cast<double>(b->z) - a->z;
    return Truncate(std::sqrt(x * x + y * y + z * z));
}

void Normalise(FixVec* out, const FixVec* v) {
    FixVec in = *v;
    int64_t s = (static_cast<int64_t>(in.x) * in.x >> 15) + (static_cast<int64_t>(in.y) * in.y >> 15) +
                (static_cast<int64_t>(in.z) * in.z >> 15);
    if (s == 0) return;
    // Bring s into 8192..32768, where FixInvSqrt works, by powers of 4; each halves or doubles the root.
    // (Vectors of length 2.0 and more need more than one step down.)
    int down = 0, up = 0;
    while (s > 32768) {
        s >>= 2;
        ++down;
    }
    while (s < 8192) {
        s *= 4;
        ++up;
    }
    int64_t r = FixInvSqrt(static_cast<int32_t>(s), nullptr);
    r >>= down;
    r <<= up;
    out->x = Narrow((in.x * r) >> 15);
    out->y = Narrow((in.y * r) >> 15);
    out->z = Narrow((in.z * r) >> 15);
}

int32_t NormaliseF(FixVec* out, const FixVec* v) {
    double x = v->x, y = v->y, z = v->z;
    double len = std::sqrt(x * x + y * y + z * z);
    if (len == 0.0) return 0;
    out->x = Truncate(x * 32768.0 / len);
    out->y = Truncate(y * 32768.0 / len);
    out->z = Truncate(z * 32768.0 / len);
    return Truncate(len);
}

void MulMatrix(FixMatrix* out, const FixMatrix* a, const FixMatrix* b) {
    // Formed in a local so that out may also be an input.
    FixMatrix r;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            int64_t sum = 0;
            for (int k = 0; k < 3; ++k) sum += Product15(b->m[3 * row + k], a->m[3 * k + col]);
            r.m[3 * row + col] = Narrow(sum);
        }
    *out = r;
}

void MulMatrixT(FixMatrix* out, const FixMatrix* a, const FixMatrix* b) {
    FixMatrix r;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            int64_t sum = 0;
            for (int k = 0; k < 3; ++k) sum += Product15(b->m[3 * row + k], a->m[3 * col + k]);
            r.m[3 * row + col] = Narrow(sum);
        }
    *out = r;
}

void RemoveComponent(FixVec* v, const FixVec* u) {
    int64_t along = int64_t{Product15(v->x, u->x)} + Product15(v->y, u->y) + Product15(v->z, u->z);
    int64_t norm = int64_t{Product15(u->x, u->x)} + Product15(u->y, u->y) + Product15(u->z, u->z);
    int32_t t = -FixDiv(Saturate(along), Saturate(norm));
    v->x = Narrow(int64_t{v->x} + Product15(u->x, t));
    v->y = Narrow(int64_t{v->y} + Product15(u->y, t));
    v->z = Narrow(int64_t{v->z} + Product15(u->z, t));
}

void ClipEdgeAtZ(ClipVertex* out, TexCoord* outUv, const ClipVertex* a, const TexCoord* aUv,
                 const ClipVertex* b, const TexCoord* bUv, int32_t zc) {
    ClipVertex pa = *a, pb = *b;
    TexCoord ta = *aUv, tb = *bUv;
    double dz = static_cast<double>(pb.z) - pa.z;
    double t = dz != 0.0 ? (static_cast<double>(zc) - pa.z) / dz : 0.0;
    auto lerp = [t](double from, double to) { return (to - from) * t + from; };
    out->x = Truncate(lerp(pa.x, pb.x));
    out->y = Truncate(lerp(pa.y, pb.y));
    out->z = zc;
    outUv->u = static_cast<float>(lerp(ta.u, tb.u));
    outUv->v = static_cast<float>(lerp(ta.v, tb.v));
    uint32_t colour = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        int32_t c = Truncate(lerp((pa.colour >> shift) & 0xff, (pb.colour >> shift) & 0xff));
        c = c < 0 ? 0 : (c > 255 ? 255 : c);
        colour |= static_cast<uint32_t>(c) << shift;
    }
    out->colour = colour;
}
