// The way tree search: a way from a start to an end around obstacles. Each node walks straight toward
// the end; where blocked ground stops it, up to two children follow the obstacle's outline on the left
// and on the right, and each continues toward the end from where it passed the obstacle. The finished
// branches are the tree's leaves; the shortest one, joined and straightened with convex hulls, is the
// way. The goto behaviours plan their way point lists with it, and the interactive way test shows it.
#pragma once

#include <cstdint>

struct wpl;

// Results of a search.
enum WayResult : int32_t {
    kWayImpossible = 0,
    kWayStartInaccessible = 1,
    kWayEndInaccessible = 2,
    kWayTruncated = 3,
    kWaySolved = 4,
    kWayResults = 5,
};
// "IMPOSSIBLE" ... "SOLVED"; "<none>" for anything else (the test's -1 before any search).
const char* WayResultName(int result);

// Kinds of a node's way.
enum : int32_t {
    kWayKindNone = -1,  // the root, and nodes before an evasion
    kWayLeft = 4,       // around an obstacle on the left
    kWayRight = 8,      // around it on the right
    kWayThrough = 16,   // passed through, or crossing the travel line behind the walk
};

struct WayTreeNode {
    wpl* way;        // capacity 1024, "wpl(wayfinder a)"
    int32_t length;  // in the x-z plane
    int32_t kind;    // kWayKindNone, kWayLeft, kWayRight or kWayThrough
    WayTreeNode* left;
    WayTreeNode* right;
    WayTreeNode* parent;
};

// A finished branch: its path from the root ('L' and 'R') and the sum of the node lengths along it.
struct WayLeaf {
    char path[64];
    int32_t length;
};
constexpr int kMaxWayLeaves = 16;

// Searches a way for the access type, collecting at most budget outline points over the whole search.
// Returns the tree (null when none was found) and the result in *result; out gets the start, or the
// corrected end point for kWayEndInaccessible. Without a terrain matrix: kWayImpossible and null.
WayTreeNode* TestWay(const int32_t start[3], const int32_t end[3], int accessType, int32_t budget,
                     int32_t* result, int32_t out[3]);
// Frees the children first, then each node's way and the node; null is ignored.
void FreeWayTree(WayTreeNode* tree);
// The finished branches, depth first with left before right, at most kMaxWayLeaves, sorted by length.
void CollectWayTreeLeaves(const WayTreeNode* tree, WayLeaf* leaves, int* count);
// Joins the ways of the nodes along the path into out: runs of one side are straightened together,
// then every point is corrected away from blocked ground.
void BuildWayFromPath(const WayTreeNode* tree, const char* path, wpl* out);
// Replaces out's points by the convex hull of in's points walked from in's first point to its last the
// shorter way round, with the hull's blocked edges put back as in's points between their ends. Returns 0,
// out unchanged, when the ends are not on the hull.
int TraceShortCuts(wpl* out, const wpl* in);

// ---- The interactive way test over the tactical map.

// The map point under the mouse pointer (x, z in 16.16). The tactical map installs the mapping of its
// view; without one the screen shows the whole terrain matrix, x to the right and z upward.
using WayTestMapping = void (*)(int32_t screenX, int32_t screenY, int32_t* x, int32_t* z);
using WayTestProjection = void (*)(int32_t x, int32_t z, int32_t* screenX, int32_t* screenY);
void SetWayTestMapping(WayTestMapping toMap, WayTestProjection toScreen);

// The per-frame step: prints the accessibility of the point under the mouse, adds test points on the
// left and right buttons, runs the search once two points stand, and resets on Backspace or the middle
// button.
void WayTestGrid(int accessType);
// Draws the test points, the result, the way and the tree over the view.
void WayTestReport();
// Frees the way test's tree and way and clears its points (the level's end).
void ResetWayTest();

// What the way test holds, for the tactical map and tests.
struct WayTestState {
    int32_t points[63][3];
    int32_t count;
    int32_t result;  // -1 before a search
    WayTreeNode* tree;
    wpl* way;            // "wpl(waytest)"
    uint8_t buttons[3];  // left, right, middle at the previous frame
};
extern WayTestState WayTest;
