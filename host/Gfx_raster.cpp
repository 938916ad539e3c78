// Scan conversion: triangle set-up with the top-left fill rule on fixed-point corners, rows computed
// directly from the set-up (never stepped from a previous row, so bands of rows can be drawn apart), runs
// of pixels handed to the span shader; lines and points.
#include <algorithm>
#include <cmath>

#include "host/Gfx_local.h"

namespace host {
namespace {

constexpr int kSub = 256;  // sub-pixel steps per pixel
constexpr double kMaxCoord =
    2.0e6;  // screen coordinates are clamped to this range, keeping products in 64 bits

int64_t FloorDiv(int64_t a, int64_t b) {  // b > 0
    int64_t q = a / b;
    if ((a % b) != 0 && a < 0) --q;
    return q;
}
int64_t CeilDiv(int64_t a, int64_t b) {
    return -FloorDiv(-a, b);
}

int64_t Snap(double v) {
    if (!(v > -kMaxCoord)) v = -kMaxCoord;  // also catches NaN
    if (v > kMaxCoord) v = kMaxCoord;
    return static_cast<int64_t>(std::floor(v * kSub + 0.5));
}

// The first pixel column whose centre lies at or right of the edge a-b (a above b), row by row: the
// column is ceil(num / d) with num = Xa dy + (Y - Ya)(Xb - Xa) and d = 256 dy, exact in integers; from
// one row to the next the quotient and remainder step by constants, so a band starting anywhere gets the
// same columns.
struct EdgeWalker {
    int64_t q = 0, r = 0, d = 1, kq = 0, kr = 0;
    // Starts at row Y (fixed) of the edge a-b (a above b).
    void Init(int64_t Xa, int64_t Ya, int64_t Xb, int64_t Yb, int64_t Y) {
        int64_t dy = Yb - Ya;
        d = kSub * dy;
        int64_t num = Xa * dy + (Y - Ya) * (Xb - Xa);
        q = CeilDiv(num, d);
        r = q * d - num;  // 0 <= r < d
        int64_t k = kSub * (Xb - Xa);
        kq = FloorDiv(k, d);
        kr = k - kq * d;  // 0 <= kr < d
    }
    void Step() {
        q += kq;
        r -= kr;
        if (r < 0) ++q, r += d;
    }
    int Column() const { return static_cast<int>(q); }
};

// Depth x 2^32, rounded to nearest (halves away from zero); NaN and huge values are clamped.
int64_t ZFixed(double z) {
    double f = z * 4294967296.0;
    if (!(f > -1.0e18)) f = -1.0e18;
    if (f > 1.0e18) f = 1.0e18;
    return f >= 0 ? static_cast<int64_t>(f + 0.5) : -static_cast<int64_t>(0.5 - f);
}

F4 Vec(const float* a) {
    return F4{a[0], a[1], a[2], a[3]};
}

void RasterTriangle(const Pipeline& p, const Primitive& prim, int y0, int y1) {
    const auto& t = prim.tri;
    int top = static_cast<int>(CeilDiv(t.Y[0], kSub));
    int mid = static_cast<int>(CeilDiv(t.Y[1], kSub));
    int bottom = static_cast<int>(CeilDiv(t.Y[2], kSub));
    int ya = std::max({top, y0, p.clipY0});
    int yb = std::min({bottom, y1, p.clipY1});
    SpanSetup s;
    s.perspective = prim.perspective;
    s.cx = t.c[1], s.sx = t.s[1], s.tx = t.t[1], s.qx = t.q[1];
    if (ya >= yb) return;
    EdgeWalker longEdge, shortEdge;
    int64_t Y0 = static_cast<int64_t>(ya) * kSub;
    longEdge.Init(t.X[0], t.Y[0], t.X[2], t.Y[2], Y0);
    if (ya < mid)
        shortEdge.Init(t.X[0], t.Y[0], t.X[1], t.Y[1], Y0);
    else
        shortEdge.Init(t.X[1], t.Y[1], t.X[2], t.Y[2], Y0);
    for (int y = ya; y < yb; ++y) {
        if (y > ya) {
            longEdge.Step();
            if (y == mid)
                shortEdge.Init(t.X[1], t.Y[1], t.X[2], t.Y[2], static_cast<int64_t>(y) * kSub);
            else
                shortEdge.Step();
        }
        int longX = longEdge.Column();
        int shortX = shortEdge.Column();
        int xa = t.longLeft ? longX : shortX;
        int xb = t.longLeft ? shortX : longX;
        xa = std::max(xa, p.clipX0);
        xb = std::min(xb, p.clipX1);
        if (xa >= xb) continue;
        float dx = static_cast<float>(xa - t.ox), dy = static_cast<float>(y - t.oy);
        s.c = t.c[0] + t.c[1] * dx + t.c[2] * dy;
        s.s = t.s[0] + t.s[1] * dx + t.s[2] * dy;
        s.t = t.t[0] + t.t[1] * dx + t.t[2] * dy;
        s.q = t.q[0] + t.q[1] * dx + t.q[2] * dy;
        s.z = ZFixed(t.z[0] + t.z[1] * (xa - t.ox) + t.z[2] * (y - t.oy));
        s.dz = ZFixed(t.z[1]);
        p.span(p, s, xa, y, xb - xa);
    }
}

// One pixel with the values of a vertex.
void ShadePixel(const Pipeline& p, const SetupVertex& v, int x, int y) {
    if (x < p.clipX0 || x >= p.clipX1 || y < p.clipY0 || y >= p.clipY1) return;
    SpanSetup s;
    s.c = Vec(v.attr), s.s = Vec(v.attr + 4), s.t = Vec(v.attr + 8);
    s.cx = s.sx = s.tx = F4{0, 0, 0, 0};
    s.z = ZFixed(v.z);
    p.span(p, s, x, y, 1);
}

void RasterPoint(const Pipeline& p, const Primitive& prim, int y0, int y1) {
    const SetupVertex& v = prim.v[0];
    if (!(std::fabs(v.x) < kMaxCoord && std::fabs(v.y) < kMaxCoord)) return;
    int x = static_cast<int>(std::ceil(v.x - 0.5));
    int y = static_cast<int>(std::ceil(v.y - 0.5));
    if (y >= y0 && y < y1) ShadePixel(p, v, x, y);
}

// Lines step along their major axis one pixel per column (or row), both end pixels included; the values
// are interpolated perspective-correct along the line.
void RasterLine(const Pipeline& p, const Primitive& prim, int y0, int y1) {
    const SetupVertex& a = prim.v[0];
    const SetupVertex& b = prim.v[1];
    if (!(std::fabs(a.x) < kMaxCoord && std::fabs(a.y) < kMaxCoord && std::fabs(b.x) < kMaxCoord &&
          std::fabs(b.y) < kMaxCoord))
        return;
    double dx = b.x - a.x, dy = b.y - a.y;
    bool xMajor = std::fabs(dx) >= std::fabs(dy);
    double from = xMajor ? a.x : a.y, to = xMajor ? b.x : b.y;
    int i0 = static_cast<int>(std::floor(std::min(from, to) + 0.5));
    int i1 = static_cast<int>(std::floor(std::max(from, to) + 0.5));
    // Only the part inside the scissor is walked.
    i0 = std::max(i0, xMajor ? p.clipX0 : std::max(p.clipY0, y0));
    i1 = std::min(i1, xMajor ? p.clipX1 - 1 : std::min(p.clipY1, y1) - 1);
    double len = to - from;
    for (int i = i0; i <= i1; ++i) {
        double t = len != 0 ? (i - from) / len : 0.0;
        t = std::clamp(t, 0.0, 1.0);
        double other = xMajor ? a.y + dy * t : a.x + dx * t;
        int o = static_cast<int>(std::floor(other + 0.5));
        int x = xMajor ? i : o;
        int y = xMajor ? o : i;
        if (y < y0 || y >= y1) continue;
        double q = a.q + (b.q - a.q) * t;
        if (!(q > 1e-30)) q = 1e-30;
        SetupVertex v;
        for (int k = 0; k < kAttrCount; ++k)
            v.attr[k] = static_cast<float>((a.attr[k] * a.q + (b.attr[k] * b.q - a.attr[k] * a.q) * t) / q);
        v.z = a.z + (b.z - a.z) * t;
        ShadePixel(p, v, x, y);
    }
}

}  // namespace

bool SetupTriangle(const Pipeline& p, const SetupVertex& a, const SetupVertex& b, const SetupVertex& c,
                   uint32_t cullMode, Primitive* out) {
    const SetupVertex* v[3] = {&a, &b, &c};
    int64_t X[3], Y[3];
    for (int i = 0; i < 3; ++i) {
        X[i] = Snap(v[i]->x);
        Y[i] = Snap(v[i]->y);
    }
    int64_t area = (X[1] - X[0]) * (Y[2] - Y[0]) - (X[2] - X[0]) * (Y[1] - Y[0]);
    if (area == 0) return false;
    if (cullMode == GfxCullCw && area > 0) return false;
    if (cullMode == GfxCullCcw && area < 0) return false;
    int order[3] = {0, 1, 2};
    std::sort(order, order + 3, [&](int i, int j) { return Y[i] != Y[j] ? Y[i] < Y[j] : X[i] < X[j]; });
    Primitive& prim = *out;
    auto& t = prim.tri;
    prim.kind = 3;
    for (int i = 0; i < 3; ++i) {
        t.X[i] = X[order[i]];
        t.Y[i] = Y[order[i]];
    }
    // Cheap rejection of what lies wholly outside the scissor.
    int64_t minX = std::min({X[0], X[1], X[2]}), maxX = std::max({X[0], X[1], X[2]});
    if (CeilDiv(t.Y[2], kSub) <= p.clipY0 || CeilDiv(t.Y[0], kSub) >= p.clipY1) return false;
    if (CeilDiv(maxX, kSub) <= p.clipX0 || CeilDiv(minX, kSub) >= p.clipX1) return false;
    int64_t cross = (t.X[2] - t.X[0]) * (t.Y[1] - t.Y[0]) - (t.Y[2] - t.Y[0]) * (t.X[1] - t.X[0]);
    t.longLeft = cross < 0;

    // Plane equations on the snapped positions, relative to the first vertex.
    double px[3], py[3];
    for (int i = 0; i < 3; ++i) {
        px[i] = static_cast<double>(X[i]) / kSub;
        py[i] = static_cast<double>(Y[i]) / kSub;
    }
    t.ox = px[0];
    t.oy = py[0];
    double x1 = px[1] - px[0], y1 = py[1] - py[0], x2 = px[2] - px[0], y2 = py[2] - py[0];
    double det = x1 * y2 - x2 * y1;
    prim.perspective = !(a.q == b.q && a.q == c.q);
    auto plane = [&](double* pl, double v0, double v1, double v2) {
        double d1 = v1 - v0, d2 = v2 - v0;
        pl[0] = v0;
        pl[1] = (d1 * y2 - d2 * y1) / det;
        pl[2] = (d2 * x1 - d1 * x2) / det;
    };
    plane(t.z, a.z, b.z, c.z);
    double pl[3];
    double qa = prim.perspective ? a.q : 1.0, qb = prim.perspective ? b.q : 1.0,
           qc = prim.perspective ? c.q : 1.0;
    plane(pl, qa, qb, qc);
    for (int k = 0; k < 3; ++k) t.q[k] = static_cast<float>(pl[k]);
    F4* dest[3] = {t.c, t.s, t.t};
    for (int i = 0; i < kAttrCount; ++i) {
        plane(pl, a.attr[i] * qa, b.attr[i] * qb, c.attr[i] * qc);
        for (int k = 0; k < 3; ++k) dest[i / 4][k][i % 4] = static_cast<float>(pl[k]);
    }
    return true;
}

namespace {

// The rows y0 <= y < y1 of a clear's rectangle.
void ClearRows(const Pipeline& p, const Primitive& prim, int y0, int y1) {
    const int left = prim.clear.left, width = std::max(prim.clear.right - left, 0);
    for (int y = std::max(y0, prim.rowTop); y < std::min(y1, prim.rowBottom); ++y) {
        if (prim.clear.flags & GfxClearTarget) {
            uint8_t* row = p.colour + static_cast<ptrdiff_t>(y) * p.colourPitch;
            if (p.target565)
                std::fill_n(reinterpret_cast<uint16_t*>(row) + left, width, static_cast<uint16_t>(prim.clear.colour));
            else
                std::fill_n(reinterpret_cast<uint32_t*>(row) + left, width, prim.clear.colour);
        }
        if ((prim.clear.flags & GfxClearZBuffer) && p.depth) {
            uint8_t* row = p.depth + static_cast<ptrdiff_t>(y) * p.depthPitch;
            if (p.depth16)
                std::fill_n(reinterpret_cast<uint16_t*>(row) + left, width, static_cast<uint16_t>(prim.clear.z16));
            else
                std::fill_n(reinterpret_cast<uint32_t*>(row) + left, width, prim.clear.z24);
        }
    }
}

}  // namespace

void RasterPrimitive(const Pipeline& p, const Primitive& prim, int y0, int y1) {
    switch (prim.kind) {
        case kPrimPoint:
            RasterPoint(p, prim, y0, y1);
            break;
        case kPrimLine:
            RasterLine(p, prim, y0, y1);
            break;
        case kPrimTriangle:
            RasterTriangle(p, prim, y0, y1);
            break;
        case kPrimClear:
            ClearRows(p, prim, y0, y1);
            break;
        case kPrimBlit:
            BlitRows(prim, y0, y1);
            break;
        case kPrimPresent:
            PresentRows(prim, y0, y1);
            break;
        default:
            break;
    }
}

bool TriangleRows(const Pipeline& p, const SetupVertex& a, const SetupVertex& b, const SetupVertex& c, int* top,
                  int* bottom, double* boxPixels) {
    // The corners as SetupTriangle snaps them; its rows lie between the first row at or below the top
    // corner and the last one above the bottom corner.
    const int64_t ya = Snap(a.y), yb = Snap(b.y), yc = Snap(c.y);
    const int64_t xa = Snap(a.x), xb = Snap(b.x), xc = Snap(c.x);
    const int64_t lo = std::min({ya, yb, yc}), hi = std::max({ya, yb, yc});
    *top = std::max(static_cast<int>(FloorDiv(lo, kSub)), p.clipY0);
    *bottom = std::min(static_cast<int>(CeilDiv(hi, kSub)) + 1, p.clipY1);
    if (*top >= *bottom) return false;
    const double left = std::max(static_cast<double>(std::min({xa, xb, xc})) / kSub, static_cast<double>(p.clipX0));
    const double right = std::min(static_cast<double>(std::max({xa, xb, xc})) / kSub, static_cast<double>(p.clipX1));
    *boxPixels = std::max(right - left, 0.0) * (*bottom - *top);
    return true;
}

}  // namespace host
