// The way tree search: nodes that walk toward the end, children that follow an obstacle's outline on
// either side, the convex-hull short cuts that straighten a run of outline points, and the joining of the
// shortest branch into one way.
#include "ai/WayTree.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "ai/WayFinder.h"
#include "ai/WayPointList.h"
#include "core/Memory.h"
#include "world/Terrain.h"

namespace {

constexpr int32_t kCell = 4096;  // the outline walks from sub-point to sub-point
constexpr int32_t kWayCapacity = 1024;
constexpr int kMaxLevel = 63;  // a leaf's path holds at most 63 letters
// Guards against walks that never end: an outline that keeps circling without coming back to its
// remembered cell, and a push through blocked ground that never reaches free ground.
constexpr int kMaxOutlineCells = 1 << 20;
constexpr int kMaxThroughSteps = 1 << 16;

struct Search {
    int32_t budget;  // outline points that may still be collected
    int truncated;   // a branch ran out of budget
    int32_t result;  // what the last finished branch wrote
    double bestDistance;
    int32_t best[3];  // the collected point nearest to the end
};

int32_t Clamp32(int64_t v) {
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : int32_t(v);
}

// The x-z direction from one point to another at length 32768; null for one spot.
void Direction(const int32_t from[3], const int32_t to[3], int32_t d[3]) {
    const double x = double(to[0]) - double(from[0]);
    const double z = double(to[2]) - double(from[2]);
    const double l = std::sqrt(x * x + z * z);
    d[0] = d[1] = d[2] = 0;
    if (l <= 0) return;
    d[0] = int32_t(x * 32768.0 / l);
    d[2] = int32_t(z * 32768.0 / l);
}

bool SameSpot(const int32_t a[3], const int32_t b[3]) {
    return a[0] == b[0] && a[2] == b[2];
}

double DistanceXZ(const int32_t a[3], const int32_t b[3]) {
    const double x = double(b[0]) - double(a[0]);
    const double z = double(b[2]) - double(a[2]);
    return std::sqrt(x * x + z * z);
}

int32_t LengthXZ(const int32_t a[3], const int32_t b[3]) {
    return Clamp32(int64_t(DistanceXZ(a, b)));
}

// The selected access test on a copy of the point (the test sets the probe's height).
bool Blocked(const int32_t p[3]) {
    int32_t q[3] = {p[0], p[1], p[2]};
    return WayPointBlocked(q) != 0;
}

bool CellBlocked(int64_t x, int64_t z, int32_t y) {
    const int32_t p[3] = {Clamp32(x), y, Clamp32(z)};
    return Blocked(p);
}

// The side of the travel line (through the start along d) that a point lies on: above 0 on one side.
int64_t Side(const int32_t start[3], const int32_t d[3], int64_t x, int64_t z) {
    return (x - start[0]) * int64_t(d[2]) - (z - start[2]) * int64_t(d[0]);
}

int64_t Along(const int32_t d[3], int64_t x, int64_t z, const int32_t from[3]) {
    return int64_t(d[0]) * (x - from[0]) + int64_t(d[2]) * (z - from[2]);
}

// A point on a second surface: the surface flag 0x4000 where both surface rules give one height.
bool OnSecondSurface(const int32_t p[3]) {
    uint32_t flags = 0;
    const int32_t h = GroundHeight(CurrentMatrix, p, 0, 0, &flags);
    return (flags & kSubSecond) && h == GroundHeightTop(CurrentMatrix, p, 0, 0, nullptr);
}

// Whether a straight walk in 2048-unit steps from a to b meets blocked ground.
bool StraightBlocked(const int32_t a[3], const int32_t b[3]) {
    int32_t d[3];
    Direction(a, b, d);
    if (d[0] == 0 && d[2] == 0) return false;
    const int32_t step[2] = {d[0] >> 4, d[2] >> 4};
    int64_t x = a[0], z = a[2];
    for (;;) {
        x += step[0];
        z += step[1];
        if (CellBlocked(x, z, a[1])) return true;
        if (Along(d, b[0], b[2], a) < Along(d, x, z, a) || x != Clamp32(x) || z != Clamp32(z)) return false;
    }
}

void AppendPoints(wpl* dst, const wpl* src) {
    for (int i = 0; i < src->count; ++i) AddWayPoint(dst, src->points[i]);
}

// ---- The outline of an obstacle.

// The next blocked cell along the outline, whose check cell is free; false when there is none.
bool OutlineStep(int64_t* x, int64_t* z, int side, int32_t y) {
    const int64_t t = side == kWayRight ? kCell : -kCell;
    const int64_t cx = *x, cz = *z;
    const int64_t k = kCell;
    const int64_t candidates[8][4] = {
        {cx + k, cz, cx + k, cz - t}, {cx + k, cz + t, cx + k, cz}, {cx - k, cz, cx - k, cz + t},
        {cx - k, cz - t, cx - k, cz}, {cx, cz + k, cx + t, cz + k}, {cx - t, cz + k, cx, cz + k},
        {cx, cz - k, cx - t, cz - k}, {cx + t, cz - k, cx, cz - k},
    };
    for (const auto& c : candidates)
        if (CellBlocked(c[0], c[1], y) && !CellBlocked(c[2], c[3], y)) {
            *x = c[0];
            *z = c[1];
            return true;
        }
    return false;
}

// 8 when the cell lies wholly on the positive side of the travel line, 4 when wholly on the other (or on
// the line), 16 when the line passes through it.
int ClassifyCell(int64_t x, int64_t z, const int32_t start[3], const int32_t d[3]) {
    const int64_t corners[4][2] = {{x, z}, {x + kCell, z}, {x + kCell, z + kCell}, {x, z + kCell}};
    int positive = 0;
    for (const auto& c : corners)
        if (Side(start, d, c[0], c[1]) > 0) ++positive;
    return positive == 4 ? kWayRight : positive == 0 ? kWayLeft : kWayThrough;
}

// The collected points go into the way: straightened when there are four or more.
void FlushCollection(wpl* collection, wpl* hull, wpl* way) {
    if (collection->count >= 4 && TraceShortCuts(hull, collection))
        AppendPoints(way, hull);
    else
        AppendPoints(way, collection);
    collection->count = 0;
}

// Moves the start along d while it stands on blocked ground; the way becomes that one point.
bool GoThrough(const int32_t start[3], const int32_t d[3], wpl* way) {
    int64_t x = start[0], z = start[2];
    for (int i = 0; i < kMaxThroughSteps; ++i) {
        if (!CellBlocked(x, z, start[1])) {
            const int32_t p[3] = {Clamp32(x), start[1], Clamp32(z)};
            way->count = 0;
            AddWayPoint(way, p);
            return true;
        }
        x += d[0] >> 4;
        z += d[2] >> 4;
    }
    return false;
}

struct Lists {
    wpl* collection;
    wpl* hull;
    Lists()
        : collection(CreateWayPointList(kWayCapacity, "wpl(evade collection)")),
          hull(CreateWayPointList(kWayCapacity, "wpl(evade hull)")) {}
    ~Lists() {
        FreeWayPointList(collection);
        FreeWayPointList(hull);
    }
    Lists(const Lists&) = delete;
    Lists& operator=(const Lists&) = delete;
};

// Follows the obstacle under start on one side (kWayLeft or kWayRight) and extends the way around it.
bool EvadeObstacle(Search& s, const int32_t prev[3], const int32_t start[3], const int32_t end[3],
                   const int32_t d[3], wpl* way, int side, int32_t* kind) {
    Lists lists;
    wpl* collection = lists.collection;
    AppendPoints(collection, way);
    way->count = 0;
    *kind = side;
    int prevClass = kWayThrough;
    const int32_t y = start[1];
    int64_t x = start[0] & ~int64_t(kCell - 1), z = start[2] & ~int64_t(kCell - 1);
    if (!CellBlocked(x, z, y)) {
        DebugPrintf("Error in evadeobstacle\n");
        return false;
    }
    int64_t buffer[4][2];
    int buffered = 0;
    bool properPass = false;
    bool marked = false;  // the cell after the first one of class 4 or 8 is remembered
    int64_t mark[2] = {0, 0};
    for (int visited = 0; visited < kMaxOutlineCells; ++visited) {
        const int cls = ClassifyCell(x, z, start, d);
        const int64_t centre[2] = {x + kCell / 2, z + kCell / 2};
        buffer[buffered][0] = centre[0];
        buffer[buffered][1] = centre[1];
        ++buffered;
        if ((cls == kWayRight && prevClass == kWayLeft) || (cls == kWayLeft && prevClass == kWayRight)) {
            // The outline crosses the travel line.
            const bool behind =
                Along(d, centre[0], centre[1], prev) < 0 || Along(d, centre[0], centre[1], end) > 0;
            if (behind && cls != side)
                *kind = kWayThrough;
            else
                properPass = true;
            FlushCollection(collection, lists.hull, way);
            if (behind) return true;
        } else if (prevClass == kWayThrough && cls != kWayThrough && cls != side) {
            // The obstacle was met from its other side: go through it.
            return GoThrough(start, d, way);
        }
        const bool firstSide = cls != kWayThrough && prevClass == kWayThrough;
        if (cls != kWayThrough) prevClass = cls;
        if (buffered == 4) {
            buffered = 0;
            if (collection->count > 0 && properPass) {
                if (way->count == 0) AddWayPoint(way, collection->points[collection->count - 1]);
                return true;
            }
            const int64_t dx = buffer[3][0] - buffer[0][0], dz = buffer[3][1] - buffer[0][1];
            int64_t mx = (buffer[0][0] + buffer[3][0]) / 2, mz = (buffer[0][1] + buffer[3][1]) / 2;
            if (side == kWayRight) {
                mx += int64_t(1.5 * double(dz));
                mz -= int64_t(1.5 * double(dx));
            } else {
                mx -= int64_t(1.5 * double(dz));
                mz += int64_t(1.5 * double(dx));
            }
            const bool positive = Side(start, d, mx, mz) > 0;
            if ((cls == kWayRight && positive) || (cls == kWayLeft && !positive)) {
                const int32_t m[3] = {Clamp32(mx), y, Clamp32(mz)};
                if (!AddWayPoint(collection, m)) return false;
                if (--s.budget < 1) return false;
                const double dist = DistanceXZ(m, end);
                if (dist < s.bestDistance) {
                    s.bestDistance = dist;
                    std::memcpy(s.best, m, sizeof m);
                }
            }
        }
        if (!OutlineStep(&x, &z, side, y)) return false;
        if (firstSide) {
            marked = true;
            mark[0] = x;
            mark[1] = z;
        } else if (marked && x == mark[0] && z == mark[1]) {
            // Round the obstacle and back: a dead circle is gone through, a passed one has failed.
            if (properPass) return false;
            DebugPrintf("dead circle - go through\n");
            return GoThrough(start, d, way);
        }
    }
    return false;
}

// ---- The tree.

WayTreeNode* NewNode() {
    auto* node = static_cast<WayTreeNode*>(qzAlloc(int(sizeof(WayTreeNode)), "way tree node"));
    node->way = CreateWayPointList(kWayCapacity, "wpl(wayfinder a)");
    node->length = 0;
    node->kind = kWayKindNone;
    node->left = node->right = node->parent = nullptr;
    return node;
}

void AddLength(WayTreeNode* node, int32_t more) {
    node->length = Clamp32(int64_t(node->length) + more);
}

// One node of the search: mode 1 the root, kWayLeft or kWayRight an evasion of the obstacle at start.
WayTreeNode* BuildWayTree(Search& s, const int32_t prev[3], const int32_t start[3], const int32_t end[3],
                          int mode, int level, int32_t out[3]) {
    int32_t d[3];
    Direction(start, end, d);
    if (mode == 1) {
        if (Blocked(start)) {
            s.result = kWayStartInaccessible;
            return nullptr;
        }
        SetWaySearchMode(OnSecondSurface(start) || OnSecondSurface(end));
        if (Blocked(end)) {
            // Back from the end toward the start until free ground; the start itself is free.
            int32_t back[3];
            Direction(end, start, back);
            int64_t x = end[0], z = end[2];
            const int64_t total = int64_t(DistanceXZ(end, start));
            for (int64_t walked = 0; walked < total && CellBlocked(x, z, end[1]); walked += 2048) {
                x += back[0] >> 4;
                z += back[2] >> 4;
            }
            if (CellBlocked(x, z, end[1])) x = start[0], z = start[2];
            out[0] = Clamp32(x);
            out[1] = end[1];
            out[2] = Clamp32(z);
            CorrectEndPoint(out);
            s.result = kWayEndInaccessible;
            return nullptr;
        }
    }
    WayTreeNode* node = NewNode();
    if (mode == 1) AddWayPoint(node->way, start);
    int32_t cur[3] = {start[0], start[1], start[2]};
    // Start and end on one spot (in x and z): reached at once, instead of walking by a null step.
    if (SameSpot(cur, end)) {
        s.result = kWaySolved;
        return node;
    }
    if (mode != 1) {
        if (!EvadeObstacle(s, prev, start, end, d, node->way, mode, &node->kind) || node->way->count == 0) {
            if (s.budget < 1) s.truncated = 1;
            FreeWayTree(node);
            s.result = kWayImpossible;
            return nullptr;
        }
        node->length = WayPointListLength(node->way);
        std::memcpy(cur, node->way->points[node->way->count - 1], sizeof cur);
        if (SameSpot(cur, end)) {
            s.result = kWaySolved;
            return node;
        }
        Direction(cur, end, d);
    }
    const int32_t step[2] = {d[0] >> 4, d[2] >> 4};
    int64_t x = cur[0], z = cur[2];
    int32_t p[3] = {cur[0], cur[1], cur[2]};
    for (;;) {
        x += step[0];
        z += step[1];
        p[0] = Clamp32(x);
        p[2] = Clamp32(z);
        if (WayPointBlocked(p)) break;
        int32_t e[3];
        Direction(p, end, e);
        if (int64_t(e[0]) * d[0] + int64_t(e[2]) * d[2] < 0 || x != p[0] || z != p[2]) {
            AddWayPoint(node->way, end);
            AddLength(node, LengthXZ(cur, end));
            s.result = kWaySolved;
            return node;
        }
    }
    AddLength(node, LengthXZ(cur, p));
    WayTreeNode* left = nullptr;
    WayTreeNode* right = nullptr;
    // Past the deepest level a leaf's path can name, a branch ends.
    if (level < kMaxLevel) {
        if (mode == kWayLeft || level < 3) left = BuildWayTree(s, cur, p, end, kWayLeft, level + 1, out);
        if (mode == kWayRight || level < 3) right = BuildWayTree(s, cur, p, end, kWayRight, level + 1, out);
    }
    if (!left && !right) {
        FreeWayTree(node);
        return nullptr;
    }
    node->left = left;
    node->right = right;
    if (left) left->parent = node;
    if (right) right->parent = node;
    return node;
}

void CollectLeaves(const WayTreeNode* node, char* path, int depth, int64_t length, WayLeaf* leaves,
                   int* count) {
    length += node->length;
    if (!node->left && !node->right) {
        if (*count >= kMaxWayLeaves) return;
        WayLeaf& leaf = leaves[(*count)++];
        std::memcpy(leaf.path, path, size_t(depth));
        leaf.path[depth] = 0;
        leaf.length = Clamp32(length);
        return;
    }
    if (depth >= 63) return;
    if (node->left) {
        path[depth] = 'L';
        CollectLeaves(node->left, path, depth + 1, length, leaves, count);
    }
    if (node->right) {
        path[depth] = 'R';
        CollectLeaves(node->right, path, depth + 1, length, leaves, count);
    }
}

// A run of ways of one side: one way as it is, several joined and straightened together.
void CloseRun(std::vector<const wpl*>& run, wpl* out) {
    if (run.size() == 1) {
        AppendPoints(out, run[0]);
    } else if (run.size() > 1) {
        int total = 0;
        for (const wpl* w : run) total += w->count;
        wpl* joined = CreateWayPointList(total, "wpl(wayfinder run)");
        for (const wpl* w : run) AppendPoints(joined, w);
        wpl* hull = CreateWayPointList(kWayCapacity, "wpl(wayfinder run)");
        AppendPoints(out, TraceShortCuts(hull, joined) ? hull : joined);
        FreeWayPointList(hull);
        FreeWayPointList(joined);
    }
    run.clear();
}

}  // namespace

const char* WayResultName(int result) {
    static const char* const kNames[] = {"IMPOSSIBLE", "STARTPOINTINACCESSIBLE", "ENDPOINTINACCESSIBLE",
                                         "TRUNCATED", "SOLVED"};
    static_assert(std::size(kNames) == kWayResults);
    return result >= 0 && result < kWayResults ? kNames[result] : "<none>";
}

WayTreeNode* TestWay(const int32_t start[3], const int32_t end[3], int accessType, int32_t budget,
                     int32_t* result, int32_t out[3]) {
    if (!CurrentMatrix) {
        *result = kWayImpossible;
        return nullptr;
    }
    SelectAccessTest(accessType);
    std::memcpy(out, start, 12);
    Search s{};
    s.budget = budget;
    s.result = kWayImpossible;
    s.bestDistance = DistanceXZ(start, end);
    std::memcpy(s.best, start, sizeof s.best);
    WayTreeNode* tree = BuildWayTree(s, start, start, end, 1, 0, out);
    *result = s.truncated ? kWayTruncated : s.result;
    SetWaySearchMode(0);
    return tree;
}

void FreeWayTree(WayTreeNode* tree) {
    if (!tree) return;
    FreeWayTree(tree->left);
    FreeWayTree(tree->right);
    FreeWayPointList(tree->way);
    qzFree(tree);
}

void CollectWayTreeLeaves(const WayTreeNode* tree, WayLeaf* leaves, int* count) {
    *count = 0;
    if (!tree) return;
    char path[64] = {};
    CollectLeaves(tree, path, 0, 0, leaves, count);
    std::stable_sort(leaves, leaves + *count,
                     [](const WayLeaf& a, const WayLeaf& b) { return a.length < b.length; });
}

void BuildWayFromPath(const WayTreeNode* tree, const char* path, wpl* out) {
    if (!tree) return;
    std::vector<const wpl*> run{tree->way};
    int32_t runKind = tree->kind;
    const WayTreeNode* node = tree;
    for (const char* c = path; *c; ++c) {
        node = *c == 'R' ? node->right : node->left;
        if (!node) break;
        if (node->kind == kWayThrough || node->kind != runKind) CloseRun(run, out);
        if (node->kind == kWayThrough) {
            AppendPoints(out, node->way);
        } else {
            if (run.empty()) runKind = node->kind;
            run.push_back(node->way);
        }
    }
    CloseRun(run, out);
    for (int i = 0; i < out->count; ++i) CorrectEndPoint(out->points[i]);
}

int TraceShortCuts(wpl* out, const wpl* in) {
    const int n = in->count;
    if (n < 1) return 0;
    // The convex hull by the monotone chains of the points sorted by z, then x.
    std::vector<int> order(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) order[size_t(i)] = i;
    auto pt = [in](int i) { return in->points[i]; };
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return pt(a)[2] != pt(b)[2] ? pt(a)[2] < pt(b)[2] : pt(a)[0] < pt(b)[0];
    });
    auto cross = [&](int o, int a, int b) {
        return (int64_t(pt(a)[2]) - pt(o)[2]) * (int64_t(pt(b)[0]) - pt(o)[0]) -
               (int64_t(pt(a)[0]) - pt(o)[0]) * (int64_t(pt(b)[2]) - pt(o)[2]);
    };
    std::vector<int> hull;
    for (int pass = 0; pass < 2; ++pass) {
        const size_t floor = hull.size();
        for (size_t k = 0; k < order.size(); ++k) {
            const int i = pass == 0 ? order[k] : order[order.size() - 1 - k];
            while (hull.size() >= floor + 2 && cross(hull[hull.size() - 2], hull.back(), i) <= 0)
                hull.pop_back();
            hull.push_back(i);
        }
        hull.pop_back();
    }
    if (hull.size() < 3) {
        DebugPrintf("hull has only %d pts!\n", int(hull.size()));
        return 0;
    }
    // The hull's corners at the first and the last point of in (by place).
    auto find = [&](int i) {
        for (size_t k = 0; k < hull.size(); ++k)
            if (SameSpot(pt(hull[k]), pt(i))) return int(k);
        return -1;
    };
    const int from = find(0), to = find(n - 1);
    if (from < 0 || to < 0) {
        DebugPrintf("failed to sort convex hull (1)!\n");
        return 0;
    }
    const int h = int(hull.size());
    double forward = 0, backward = 0;
    for (int k = from; k != to; k = (k + 1) % h)
        forward += DistanceXZ(pt(hull[size_t(k)]), pt(hull[size_t((k + 1) % h)]));
    for (int k = from; k != to; k = (k + h - 1) % h)
        backward += DistanceXZ(pt(hull[size_t(k)]), pt(hull[size_t((k + h - 1) % h)]));
    const int stepDir = forward <= backward ? 1 : h - 1;
    std::vector<int> walk{0};
    for (int k = from; k != to;) {
        k = (k + stepDir) % h;
        walk.push_back(k == to ? n - 1 : hull[size_t(k)]);
    }
    // Hull edges over blocked ground go back to the points of in between their ends.
    std::vector<int> points{walk[0]};
    for (size_t k = 1; k < walk.size(); ++k) {
        const int a = walk[k - 1], b = walk[k];
        if (StraightBlocked(pt(a), pt(b))) {
            if (a < b)
                for (int i = a + 1; i < b; ++i) points.push_back(i);
            else
                for (int i = a - 1; i > b; --i) points.push_back(i);
        }
        points.push_back(b);
    }
    if (int(points.size()) > out->capacity) {
        DebugPrintf("error in trace short-cuts\n");
        return 0;
    }
    out->count = 0;
    for (int i : points) AddWayPoint(out, pt(i));
    return 1;
}
