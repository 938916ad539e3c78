// Fixed-point 3D mathematics: vectors and orientations in integers, the camera projection, lengths and
// normalisation, matrix products, edge clipping at a depth plane and the conversions between angles and
// orientations.
//
// World positions are 16.16 (one tile is 65536); directions, unit vectors and orientation entries are
// 1.15 (32768 is 1.0); angles are 16.16 radians. Every function takes its output first, and the output
// may be the same record as an input.
#pragma once

#include <cstdint>

struct FixVec {
    int32_t x, y, z;
};

// A 3 x 3 orientation in row order m[0]..m[8], 1.15; the rows are the axes of the oriented frame.
struct FixMatrix {
    int32_t m[9];
};

// Screen point, short form: pixels and a 16-bit depth.
struct ScreenPoint16 {
    int16_t x, y;
    int16_t depth;
};

// Screen point, float form.
struct ScreenPointF {
    float x, y;
    float depth;  // depth scale x camera-space z
};

// Screen point with the reciprocal depth the rasterizer interpolates by.
struct ScreenPointRhw {
    float x, y;
    float depth;
    float rhw;  // 0.08 / depth
};

// A polygon corner in camera space with its colour word (four 8-bit channels).
struct ClipVertex {
    int32_t x, y, z;
    uint32_t colour;
};

struct TexCoord {
    float u, v;
};

// Turns camera-space z into the depth of the float projections (0.0000005 at start-up).
extern float DepthScale;

// out = m v, each sum shifted right by 15. Products and sums are formed in 64 bits.
void RotateVec(FixVec* out, const FixMatrix* m, const FixVec* v);
// out = transpose(m) v, shifted right by 15: the inverse rotation.
void RotateVecT(FixVec* out, const FixMatrix* m, const FixVec* v);
// As RotateVec with a shift of 13: the result is 4 times larger (quarter-unit geometry into world units).
void RotateVec13(FixVec* out, const FixMatrix* m, const FixVec* v);
void RotateVecT13(FixVec* out, const FixMatrix* m, const FixVec* v);
// As RotateVec; when a component lies outside -32768..32767 every component is shifted right by 5 and
// the sums by 10 (a lower-precision result for long vectors).
void RotateVecSafe(FixVec* out, const FixMatrix* m, const FixVec* v);
void RotateVecTSafe(FixVec* out, const FixMatrix* m, const FixVec* v);
// As RotateVecT13; the long-vector fallback shifts the components by 5 and the sums by 8.
void RotateVecT13Safe(FixVec* out, const FixMatrix* m, const FixVec* v);
// RotateVec and RotateVecT in double precision (x 2^-15), truncated toward zero.
void RotateVecF(FixVec* out, const FixMatrix* m, const FixVec* v);
void RotateVecTF(FixVec* out, const FixMatrix* m, const FixVec* v);
// v . u >> 15 for a unit vector u; when a component of v lies outside -32768..32767: (v >> 5) . u >> 10.
int32_t DotSafe(const FixVec* v, const FixVec* u);

// Perspective projection of a camera-space point (z ahead of the eye) about the screen centre (cx, cy).
// A z below 1 is projected as z = 1. The 16-bit form writes depth z (32767 from z = 16384 on) and
// truncated pixel positions (held to the 16-bit range).
void ProjectToScreen16(ScreenPoint16* out, const FixVec* v, float cx, float cy);
// Float form: x = (1024 / z) x + cx, y likewise, depth = DepthScale z.
void ProjectToScreen(ScreenPointF* out, const FixVec* v, float cx, float cy);
// As ProjectToScreen, with rhw = 0.08 / (DepthScale z).
void ProjectToScreenRhw(ScreenPointRhw* out, const FixVec* v, float cx, float cy);
// The eye that ProjectWorldPoint looks through: the renderer installs its current view's position,
// orientation, screen centre and frustum test (InstallProjectionEye) when it sets its render mode.
struct ProjectionEye {
    const FixVec* position;
    const FixMatrix* orientation;
    const float* centreX;
    const float* centreY;
    int (*outsideFrustum)(const FixVec* eyeSpacePoint);
};
// Null removes the eye: then no point is in view.
void SetProjectionEye(const ProjectionEye* eye);
// Projects a world point for the current eye. Returns 0 and leaves out untouched when no eye is installed
// or the point lies outside the view frustum, else 1.
int ProjectWorldPoint(ScreenPointF* out, const FixVec* p);

// Integer lengths: floor of the Euclidean length (exact for every int32 component).
int32_t Length3(const FixVec* v);
int32_t Length2(const FixVec* v);  // of (x, y)
int32_t Distance3(const FixVec* a, const FixVec* b);
// The same in double precision, truncated.
int32_t Length3F(const FixVec* v);
int32_t Distance3F(const FixVec* a, const FixVec* b);
// out = v scaled to length 32768, for a 1.15 vector; a vector whose squared length rounds to 0 leaves out
// unchanged.
void Normalise(FixVec* out, const FixVec* v);
// out = v * 32768 / |v| in double precision; returns |v| truncated, or 0 (out untouched) for a null vector.
int32_t NormaliseF(FixVec* out, const FixVec* v);

// out = b a: element (r, c) = sum over k of (b(r,k) a(k,c) >> 15).
void MulMatrix(FixMatrix* out, const FixMatrix* a, const FixMatrix* b);
// out = b transpose(a): element (r, c) = sum over k of (b(r,k) a(c,k) >> 15).
void MulMatrixT(FixMatrix* out, const FixMatrix* a, const FixMatrix* b);
// Removes from v its part along u (1.15).
void RemoveComponent(FixVec* v, const FixVec* u);
// The point where the edge a-b crosses z = zc, with texture coordinates and colour channels interpolated
// alike (colours truncated). An edge lying in a plane of constant z gives a.
void ClipEdgeAtZ(ClipVertex* out, TexCoord* outUv, const ClipVertex* a, const TexCoord* aUv,
                 const ClipVertex* b, const TexCoord* bUv, int32_t zc);

// Orientation from a yaw a and a pitch b: rows (-sa, 0, ca), (ca cb, sb, sa cb), (-ca sb, cb, -sa sb).
void MatrixFromYawPitch(FixMatrix* m, int32_t a, int32_t b);
// Rows (-sa sb, cb, ca sb), (sa cb, sb, -ca cb), (-ca, 0, -sa).
void MatrixFromPitchYaw(FixMatrix* m, int32_t a, int32_t b);
// Orientation from three angles; (quarter turn, heading, 0) gives the rows (-sin h, 0, cos h), (0, 1, 0),
// (-cos h, 0, -sin h).
void MatrixFromEuler(FixMatrix* m, const int32_t angles[3]);
// First-order rotation by angle about the unit direction d (good for small angles).
void MatrixFromDirection(FixMatrix* m, const FixVec* d, int32_t angle);
// Full rotation by angle about the unit direction d.
void MatrixFromDirection2(FixMatrix* m, const FixVec* d, int32_t angle);
// Bank, pitch and heading (16.16, bank and heading in 0..411773) of an orientation.
void AnglesFromMatrix(int32_t angles[3], const FixMatrix* m);
