// The interactive way test of the tactical map: the user sets a start and an end point with the mouse,
// the way tree search runs once for the selected unit's access type, and the overlay shows the points,
// the result, the way and the tree. Backspace or the middle mouse button starts again.
#include <algorithm>
#include <cmath>

#include "ai/AIStubs.h"
#include "ai/WayPointList.h"
#include "ai/WayTree.h"
#include "core/Keys.h"
#include "hud/MousePtr.h"
#include "render/Overlay2D.h"
#include "platform/Dxgl.h"
#include "render/ScreenText.h"
#include "world/Terrain.h"

WayTestState WayTest = {{}, 0, -1, nullptr, nullptr, {0, 0, 0}};

namespace {

constexpr int kMaxTestPoints = 63;
constexpr int32_t kTestBudget = 6400;
constexpr int kLeftButton = 256, kRightButton = 257, kMiddleButton = 258, kBackspace = 14;

WayTestMapping g_toMap = nullptr;
WayTestProjection g_toScreen = nullptr;

// World units per pixel when the screen shows the whole matrix.
double WholeMatrixScale() {
    if (!CurrentMatrix || SurfaceWidth <= 0 || SurfaceHeight <= 0) return 65536.0;
    const double sx = double(MatrixTilesX(CurrentMatrix)) * 65536.0 / SurfaceWidth;
    const double sz = double(MatrixTilesZ(CurrentMatrix)) * 65536.0 / SurfaceHeight;
    return std::max(std::max(sx, sz), 1.0);
}

void ToMap(int32_t sx, int32_t sy, int32_t* x, int32_t* z) {
    if (g_toMap) return g_toMap(sx, sy, x, z);
    const double s = WholeMatrixScale();
    *x = int32_t(std::clamp(sx * s, -2147483648.0, 2147483647.0));
    *z = int32_t(std::clamp(sy * s, -2147483648.0, 2147483647.0));
}

void ToScreen(int32_t x, int32_t z, int32_t* sx, int32_t* sy) {
    if (g_toScreen) return g_toScreen(x, z, sx, sy);
    const double s = WholeMatrixScale();
    *sx = int32_t(std::lround(x / s));
    *sy = int32_t(std::lround(z / s));
}

const uint8_t kWhite[3] = {255, 255, 255};
const uint8_t kDarkGrey[3] = {64, 64, 64};

void Ring(int32_t x, int32_t y, int32_t r) {
    constexpr int kSides = 12;
    for (int i = 0; i < kSides; ++i) {
        const double a0 = 2 * M_PI * i / kSides, a1 = 2 * M_PI * (i + 1) / kSides;
        DrawLine2D(kWhite, x + int32_t(std::lround(r * std::cos(a0))),
                   y + int32_t(std::lround(r * std::sin(a0))), x + int32_t(std::lround(r * std::cos(a1))),
                   y + int32_t(std::lround(r * std::sin(a1))));
    }
}

// The tree as a diagram: each node a small box, each child below it at half its parent's offset.
void DrawTree(const WayTreeNode* node, int32_t x, int32_t y, int32_t offset) {
    FillRect2D(kWhite, x - 2, y + 2, x + 2, y - 2);
    const WayTreeNode* children[2] = {node->left, node->right};
    for (int k = 0; k < 2; ++k) {
        if (!children[k]) continue;
        const int32_t cx = k == 0 ? x - offset : x + offset, cy = y - 24;
        DrawLine2D(kDarkGrey, x, y, cx, cy);
        DrawTree(children[k], cx, cy, std::max(offset / 2, 1));
    }
}

}  // namespace

void SetWayTestMapping(WayTestMapping toMap, WayTestProjection toScreen) {
    g_toMap = toMap;
    g_toScreen = toScreen;
}

void ResetWayTest() {
    FreeWayPointList(WayTest.way);
    FreeWayTree(WayTest.tree);
    WayTest.way = nullptr;
    WayTest.tree = nullptr;
    WayTest.result = -1;
    WayTest.count = 0;
}

void WayTestGrid(int accessType) {
    int32_t mx = 0, my = 0, mz = 0;
    GetMousePtr(&mx, &my, &mz);
    int32_t point[3] = {0, 2147483647, 0};
    ToMap(mx, my, &point[0], &point[2]);
    const AIVertex* v = aistubs_vertex_at(point, accessType);
    DrawTextf(130, 130, v->accessible ? "%d  %d accessible" : "%d  %d blocked", point[0], point[2]);

    const uint8_t buttons[3] = {KeyStateByte(kLeftButton), KeyStateByte(kRightButton),
                                KeyStateByte(kMiddleButton)};
    for (int b = 0; b < 2; ++b)
        if (buttons[b] && !WayTest.buttons[b] && WayTest.count < kMaxTestPoints) {
            int32_t* p = WayTest.points[WayTest.count++];
            p[0] = point[0];
            p[1] = b == 0 ? 2147483647 : int32_t(-2147483647 - 1);
            p[2] = point[2];
        }
    if (!KeyStateByte(kBackspace) && !buttons[2]) {
        if (WayTest.count == 2 && !WayTest.way && WayTest.result == -1) {
            int32_t out[3];
            WayTest.tree =
                TestWay(WayTest.points[0], WayTest.points[1], accessType, kTestBudget, &WayTest.result, out);
            if (WayTest.tree) {
                WayLeaf leaves[kMaxWayLeaves];
                int n = 0;
                CollectWayTreeLeaves(WayTest.tree, leaves, &n);
                if (n > 0) {
                    WayTest.way = CreateWayPointList(1024, "wpl(waytest)");
                    BuildWayFromPath(WayTest.tree, leaves[0].path, WayTest.way);
                }
            }
        }
    } else {
        ResetWayTest();
    }
    for (int b = 0; b < 3; ++b) WayTest.buttons[b] = buttons[b];
}

void WayTestReport() {
    for (int i = 0; i < WayTest.count; ++i) {
        int32_t sx, sy;
        ToScreen(WayTest.points[i][0], WayTest.points[i][2], &sx, &sy);
        FillRect2D(kWhite, sx - 1, sy + 1, sx + 1, sy - 1);
        Ring(sx, sy, 6);
    }
    const int32_t y = SurfaceHeight / 2;
    static const uint8_t kWhiteText[4] = {255, 255, 255, 255};
    SetTextColor(kWhiteText);
    DrawTextf(4, y, "%s", WayResultName(WayTest.result));
    if (WayTest.way) {
        DrawTextf(4, y - 14, "way point list, %d points", WayTest.way->count);
        int32_t px = 0, py = 0;
        for (int i = 0; i < WayTest.way->count; ++i) {
            int32_t sx, sy;
            ToScreen(WayTest.way->points[i][0], WayTest.way->points[i][2], &sx, &sy);
            if (i > 0) DrawLine2D(kDarkGrey, px, py, sx, sy);
            px = sx;
            py = sy;
        }
        for (int i = 0; i < WayTest.way->count; ++i) {
            int32_t sx, sy;
            ToScreen(WayTest.way->points[i][0], WayTest.way->points[i][2], &sx, &sy);
            FillRect2D(kWhite, sx - 1, sy + 1, sx + 1, sy - 1);
        }
    }
    if (WayTest.tree)
        DrawTree(WayTest.tree, SurfaceWidth / 2, SurfaceHeight - 20, std::max(SurfaceWidth / 4, 1));
}
