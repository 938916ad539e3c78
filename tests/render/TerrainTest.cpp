// Terrain drawing: the geomorph, the view-volume tests, vertex lighting, scape boards, the traversal,
// the stamps, crack-free patches and a reference picture of a hand-made board.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "core/Memory.h"
#include "render/CellRoutines.h"
#include "render/Light.h"
#include "render/ScapeBoard.h"
#include "render/Stamps.h"
#include "render/Terrain.h"
#include "render/View.h"
#include "render/Viewport.h"
#include "host/Fs.h"
#include "support/Fatal.h"
#include "support/TempDir.h"
#include "tools/datakit/WorldFile.h"
#include "game/Startup.h"
#include "world/WorldFile.h"
#include "world/Construct.h"
#include "world/Geom.h"
#include "world/Terrain.h"
#include "TerrainScene.h"
#include "ReferencePicture.h"
#include "tools/datakit/Bytes.h"
#include "tools/datakit/Texture.h"

namespace {

using kvtest::CompareWithReference;

BoardVertex MakeVertex(int16_t h, uint8_t r, uint8_t g, uint8_t b) {
    BoardVertex v{};
    v.height = h;
    v.lit[0] = v.colour[0] = r;
    v.lit[1] = v.colour[1] = g;
    v.lit[2] = v.colour[2] = b;
    return v;
}

TEST(TerrainVertex, MorphBlendsBetweenTheParentsMidpointAndTheVertex) {
    BoardVertex a = MakeVertex(100, 0, 100, 200), b = MakeVertex(300, 100, 100, 0);
    struct Case {
        int level;
        int32_t dist;
        int coarse;
        int32_t height;  // from 1000
        uint8_t red;     // from 255
    } cases[] = {
        {1, 32767, 1, 200, 50},              // just below the band: exactly the midpoint
        {1, -5, 1, 200, 50},                 // negative: the midpoint
        {1, 32768, 0, 200, 50},              // at the band: factor 0, the midpoint too
        {1, 65535, 0, 200 + (800 * 255 >> 8), 50 + (205 * 255 >> 8)},  // near twice the band
        {4, 4096 + 16 * 128, 0, 200 + (800 * 128 >> 8), 50 + (205 * 128 >> 8)},
    };
    for (const Case& c : cases) {
        BoardVertex v = MakeVertex(1000, 255, 255, 255);
        int32_t h = 1000;
        uint8_t col[3] = {255, 255, 255};
        EXPECT_EQ(MorphVertex(&h, col, &v, c.dist, c.level, &a, &b), c.coarse) << c.dist;
        EXPECT_EQ(h, c.height) << c.dist;
        EXPECT_EQ(col[0], c.red) << c.dist;
        EXPECT_TRUE(v.flags & kVertexMorphed);
        // The in-place form blends the drawn colour the same way.
        BoardVertex w = MakeVertex(1000, 255, 255, 255);
        h = 1000;
        EXPECT_EQ(MorphVertex2(&h, &w, c.dist, c.level, &a, &b), c.coarse);
        EXPECT_EQ(w.colour[0], c.red);
    }
}

struct ViewGuard {
    FixMatrix proj = ProjMatrix;
    int32_t w = ViewWidth, h = ViewHeight;
    ~ViewGuard() {
        ProjMatrix = proj;
        ViewWidth = w;
        ViewHeight = h;
    }
};

TEST(TerrainVertex, PatchClipRejectsBehindTheNearPlaneAndBesideTheView) {
    ViewGuard guard;
    ProjMatrix = {{32768, 0, 0, 0, 32768, 0, 0, 0, 32768}};
    ViewWidth = 1024;
    ViewHeight = 1024;
    struct Case {
        const char* name;
        int32_t x, y, z;
        int level;
        int visible;
    } cases[] = {
        {"ahead", -1000, -500, 100000, 0, 1},
        {"behind the near plane though wide", -10000000, 0, -200000, 0, 0},
        {"at the near plane", -1000, 0, 500 - 131072, 0, 0},
        {"far right", 5000000, 0, 100000, 0, 0},
        {"far left", -5000000, 0, 100000, 0, 0},
        {"above", 0, 5000000, 100000, 0, 0},
        {"a small patch straddling the left edge", -54000, 0, 100000, 3, 1},
        {"a small patch just beyond the left edge", -70000, 0, 100000, 3, 0},
    };
    for (const Case& c : cases) {
        TerrainCornerRef o{nullptr, c.x, c.y, c.z, 0, 0};
        EXPECT_EQ(ClipTerrainPatch(c.level, &o, 0, 100), c.visible) << c.name;
        EXPECT_EQ(ClipWaterPatch(c.level, &o, 0), c.visible) << c.name;
    }
}

TEST(TerrainVertex, LandLightingStartsFromTheViewColourOrTheShoreColour) {
    uint8_t savedColour[4];
    std::memcpy(savedColour, ViewColour, 4);
    DirLight* savedSun = SunLight;
    SunLight = nullptr;
    PatchLights.count = 0;
    ViewColour[0] = 30, ViewColour[1] = 40, ViewColour[2] = 50;
    struct {
        int16_t height;
        uint8_t r, g, b;
    } cases[] = {{0, 4, 4, 54}, {1, 4, 4, 54}, {2, 30, 40, 50}, {-5, 30, 40, 50}};
    for (auto c : cases) {
        BoardVertex v = MakeVertex(c.height, 0, 0, 0);
        TerrainCornerRef r{&v, 0, 0, 0, 0, 0};
        LightPatchVertex(&r);
        EXPECT_EQ(v.lit[0], c.r);
        EXPECT_EQ(v.lit[2], c.b);
        EXPECT_EQ(v.cellStamp, CellStamp);
    }
    // The sun adds base x colour x (dir . normal) >> 16, per channel, saturating.
    const int32_t dir[3] = {0, 32768, 0}, colour[3] = {1024, 2048, 100000};
    DirLight* sun = CreateDirLight(0, 0, 0);
    SetDirLight(sun, dir, colour);
    SunLight = sun;
    BoardVertex v = MakeVertex(50, 0, 0, 0);
    v.normal[1] = 127;
    v.baseRed = v.baseGreen = v.baseBlue = 100;
    TerrainCornerRef r{&v, 0, 0, 0, 0, 0};
    LightPatchVertex(&r);
    int d = (32768 * 127) >> 16;
    EXPECT_EQ(v.lit[0], 30 + ((100 * 1024 * d) >> 16));
    EXPECT_EQ(v.lit[1], 40 + ((100 * 2048 * d) >> 16));
    EXPECT_EQ(v.lit[2], 255);
    FreeDirLight(sun);
    SunLight = savedSun;
    std::memcpy(ViewColour, savedColour, 4);
}

TEST(TerrainVertex, LightListsStaticLightsCountTwicePointLights) {
    uint8_t savedAmbient[3] = {LightAmbient[0], LightAmbient[1], LightAmbient[2]};
    LightAmbient[0] = LightAmbient[1] = LightAmbient[2] = 4;
    BoardVertex v = MakeVertex(0, 0, 0, 0);
    v.normal[1] = 127;
    v.baseRed = v.baseGreen = v.baseBlue = 128;
    TerrainCornerRef r{&v, 0, 0, 0, 0, 0};
    CellLight lights[1] = {{0, 0, 0, nullptr, 8}};
    const int32_t colour[3] = {256, 256, 256};
    lights[0].colour = colour;
    PatchLightList list{};
    CurCell.patchLights = &list;
    CurCell.lists[0] = {0, lights};
    // No lights: the ambient colour.
    LightVertexFromLists(&r, 0);
    EXPECT_EQ(v.colour[0], 4);
    // A static light of intensity 0 adds nothing; of intensity 64 adds (128 x 64 x 256) >> 15 = 64.
    CurCell.lists[0] = {1, lights};
    v.lit[0] = 0;
    LightVertexFromLists(&r, 0);
    EXPECT_EQ(v.colour[0], 4);
    v.lit[0] = 64;
    LightVertexFromLists(&r, 0);
    EXPECT_EQ(v.colour[0], 4 + 64);
    // A point light straight above at distance 256 - 64 of range 256 gives intensity
    // ((127 x 32768) >> 16) x 64 >> 8 = 15, adding (128 x 256 x 15) >> 16 = 7: half a static light's share.
    CurCell.lists[0] = {0, lights};
    list.count = 1;
    list.light[0] = {8, {0, 192, 0}, {256, 256, 256}};
    LightVertexFromLists(&r, 0);
    EXPECT_EQ(v.colour[0], 4 + ((128 * 256 * (((127 * 32768) >> 16) * 64 >> 8)) >> 16));
    // At the range or behind the surface: nothing.
    list.light[0].pos[1] = 256;
    LightVertexFromLists(&r, 0);
    EXPECT_EQ(v.colour[0], 4);
    list.light[0].pos[1] = -100;
    LightVertexFromLists(&r, 0);
    EXPECT_EQ(v.colour[0], 4);
    // A bright light saturates each channel by itself.
    list.light[0] = {12, {0, 100, 0}, {100000, 0, 256}};
    LightVertexFromLists(&r, 0);
    EXPECT_EQ(v.colour[0], 255);
    EXPECT_EQ(v.colour[1], 4);
    EXPECT_LT(v.colour[2], 255);
    CurCell.patchLights = nullptr;
    CurCell.lists[0] = {0, nullptr};
    LightAmbient[0] = savedAmbient[0], LightAmbient[1] = savedAmbient[1], LightAmbient[2] = savedAmbient[2];
}

// ---- Scape boards --------------------------------------------------------------------------------

TEST(ScapeBoard, SizeAndPaddingLimits) {
    kvtest::FatalCatcher fatal;
    struct {
        int width, padding;
        const char* error;  // null: accepted
    } cases[] = {
        {65, 2, "Error(CreateScapeBoard): Board size too large."},
        {64, 2, nullptr},
        {5, 2, nullptr},
        {5, 3, "Error(CreateScapeBoard): Camera padding too large."},
        {4, 2, "Error(CreateScapeBoard): Camera padding too large."},
        {4, 1, nullptr},
    };
    for (auto c : cases) {
        if (c.error) {
            try {
                CreateScapeBoard(c.width, c.width, c.padding, 0, 0);
                ADD_FAILURE() << c.width << " " << c.padding;
            } catch (const kvtest::FatalExit& e) {
                EXPECT_STREQ(e.what(), c.error);
            }
        } else {
            ScapeBoard* b = CreateScapeBoard(c.width, c.width, c.padding, 0, 2);
            EXPECT_EQ(b->vertexStride, 56);
            EXPECT_EQ(BoardCell(b, c.width, c.width)->level, 0);
            EXPECT_EQ(BoardCell(b, 0, 0)->level, 4);
            FreeScapeBoard(b);
        }
    }
    ScapeBoard* b = CreateScapeBoard(3, 3, 1, 0, 0);
    try {
        SetBoardTile(b, 3, 0, BoardCell(b, 0, 0), nullptr);
        ADD_FAILURE();
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(SetBoardTile): Tile location out of range");
    }
    FreeScapeBoard(b);
}

TEST(ScapeBoard, FlatTilesHolesAndEdgeCopies) {
    ScapeBoard* b = CreateScapeBoard(3, 3, 1, 0, 0);
    FlatTile hole{{-1, 0, 0, 0}, {0, 0, 0}, 0};
    FlatTile one{{1, 0x8321, 0, 0}, {0, 0, 0}, 0};
    FlatTile high{{40, 0x8321, 0, 0}, {0, 0, 0}, 0};
    SetBoardTile(b, 0, 0, BoardCell(b, 0, 0), &hole);
    SetBoardTile(b, 1, 0, BoardCell(b, 1, 0), &one);
    SetBoardTile(b, 2, 2, BoardCell(b, 2, 2), &high);
    EXPECT_EQ(BoardCell(b, 0, 0)->hole, 1);
    EXPECT_EQ(BoardCell(b, 0, 0)->vertices[17].height, -1);
    EXPECT_EQ(BoardCell(b, 1, 0)->vertices[5].height, 0);  // a flat height of 1 is 0
    const BoardVertex& v = BoardCell(b, 1, 0)->vertices[5];
    EXPECT_EQ(v.baseRed & 0xF0, 0x10);
    EXPECT_EQ(v.baseGreen & 0xF0, 0x20);
    EXPECT_EQ(v.baseBlue & 0xF0, 0x30);
    EXPECT_EQ(v.normal[1], 127);
    // The last cell's right column, bottom row and last vertex feed the edge cells.
    EXPECT_EQ(BoardCell(b, 3, 2)->vertices[7].height, 40);
    EXPECT_EQ(BoardCell(b, 2, 3)->vertices[7].height, 40);
    EXPECT_EQ(BoardCell(b, 3, 3)->vertices[0].height, 40);
    FreeScapeBoard(b);
}

TEST(ScapeBoard, BoundsSampleTheSeamsAndCountWater) {
    kvtest::TerrainScene scene(32, 24, 5);
    ScapeBoard* b = scene.board();
    TileCell* cell = BoardCell(b, 1, 1);
    int lo = 0x7fff, hi = -0x8000;
    for (int j = 0; j <= 16; ++j)
        for (int i = 0; i <= 16; ++i) {
            int h = kvtest::HillHeight(16 + i, 16 + j);
            h = h < 300 ? 300 : h;
            lo = std::min(lo, h);
            hi = std::max(hi, h);
        }
    EXPECT_EQ(cell->bounds->lowest, lo);
    EXPECT_EQ(cell->bounds->highest, hi);
    for (int k = 0; k < 16; ++k) {
        const CellBounds& bk = cell->blocks[k];
        EXPECT_GE(bk.lowest, cell->bounds->lowest);
        EXPECT_LE(bk.highest, cell->bounds->highest);
        EXPECT_NE(bk.flags, 0);
    }
}

// ---- Traversal and stamps ------------------------------------------------------------------------

std::vector<std::pair<int, int>> Visited;
void RecordCell(ScapeBoard*, ScapeBoard*, int32_t column, int32_t row, int32_t) { Visited.push_back({column, row}); }

TEST(TraverseBoard, EveryCellOnceBackToFrontCameraLast) {
    FixVec savedEye = EyePos;
    FixMatrix savedView = ViewMatrix;
    ScapeBoard* b = CreateScapeBoard(5, 5, 2, 0, 0);
    EyePos = {2 * 65536 + 100, 0, 1 * 65536 + 100};
    struct Case {
        FixMatrix m;
        bool byRows;
    } cases[] = {
        {{{32768, 0, 0, 0, 32768, 0, 0, 0, 32768}}, true},       // right axis along x: rows outer
        {{{0, 0, 32768, 0, 32768, 0, -32768, 0, 0}}, false},     // right axis along z: columns outer
        {{{23170, 0, 23170, 0, 32768, 0, -23170, 0, 23170}}, false},  // exactly diagonal: by columns
    };
    for (const Case& c : cases) {
        ViewMatrix = c.m;
        Visited.clear();
        TraverseBoard(b, nullptr, 0, RecordCell);
        ASSERT_EQ(Visited.size(), 25u);
        std::set<std::pair<int, int>> unique(Visited.begin(), Visited.end());
        EXPECT_EQ(unique.size(), 25u);
        EXPECT_EQ(Visited.back(), std::make_pair(2, 1));
        // The first cell is the far corner from the camera; rows (or columns) change last.
        EXPECT_EQ(Visited.front(), std::make_pair(4, 4));
        if (c.byRows) EXPECT_EQ(Visited[1], std::make_pair(3, 4));
        else EXPECT_EQ(Visited[1], std::make_pair(4, 3));
    }
    FreeScapeBoard(b);
    EyePos = savedEye;
    ViewMatrix = savedView;
}

// Two views with boards of their own, the second activated last: a wrap clears the stored stamps of both
// views' boards and sky points, whichever was activated.
TEST(Stamps, ViewStampWrapClearsStoredStampsAndCellStampAdvancesBy200Ticks) {
    kvtest::TerrainScene scene(32, 24, 3);
    ViewPort* vp = scene.viewport();
    vp->sharesMainBoards = 0;
    ScapeBoard* otherBoard = CreateScapeBoard(3, 3, 1, 0, 0);
    SkyVertex skyPoints[2] = {};
    SkyCell sky{};
    sky.vertices = skyPoints;
    sky.vertexCount = 2;
    ViewPort other{};
    other.board = otherBoard;
    other.sky = &sky;
    vp->sky = &sky;
    ViewPortTable[0] = vp;
    ViewPortTable[1] = &other;
    ViewPortCount = 2;
    ActivateViewPort(&other);
    ASSERT_EQ(vp->active, 0);
    BoardVertex& v = BoardCell(scene.board(), 1, 1)->vertices[3];
    BoardVertex& w = BoardCell(otherBoard, 2, 0)->vertices[7];
    for (BoardVertex* x : {&v, &w}) x->landStamp = x->waterStamp = x->mirrorStamp = 65535;
    skyPoints[1].stamp = 65535;
    ViewStamp = 65535;
    AdvanceViewStamp();
    EXPECT_EQ(ViewStamp, 1);
    for (BoardVertex* x : {&v, &w}) {
        EXPECT_EQ(x->landStamp, 0);
        EXPECT_EQ(x->waterStamp, 0);
        EXPECT_EQ(x->mirrorStamp, 0);
    }
    EXPECT_EQ(skyPoints[1].stamp, 0);
    vp->sky = nullptr;
    // CellStamp: forced first, then only after more than 200 ticks; a wrap clears the stored copies.
    CellStampForce = 1;
    CellStamp = 5;
    AdvanceCellStamp(1000);
    EXPECT_EQ(CellStamp, 6);
    EXPECT_EQ(CellStampForce, 0);
    AdvanceCellStamp(1200);
    EXPECT_EQ(CellStamp, 6);
    AdvanceCellStamp(1201);
    EXPECT_EQ(CellStamp, 7);
    CellStamp = 255;
    v.cellStamp = w.cellStamp = 255;
    CellStampForce = 1;
    AdvanceCellStamp(1300);
    EXPECT_EQ(CellStamp, 1);
    EXPECT_EQ(v.cellStamp, 0);
    EXPECT_EQ(w.cellStamp, 0);
    ViewPortTable[0] = ViewPortTable[1] = nullptr;
    ViewPortCount = 0;
    FreeScapeBoard(otherBoard);
}

// ---- Patches -------------------------------------------------------------------------------------

struct EmittedCorner {
    int gx, gz;     // grid point over the whole board
    float sx, sy;   // screen position it was drawn at
};
std::vector<std::vector<EmittedCorner>> Emitted;
std::map<const TileCell*, std::pair<int, int>> CellPlace;

void CaptureCell(TerrainCornerRef* a, TerrainCornerRef* b, TerrainCornerRef* c, TerrainCornerRef* d) {
    auto place = CellPlace.at(CurCell.cell);
    std::vector<EmittedCorner> poly;
    for (TerrainCornerRef* r : {a, b, c, d}) {
        if (!r) continue;
        poly.push_back({place.first * 16 + r->u, place.second * 16 + r->v, r->vertex->screen.x, r->vertex->screen.y});
    }
    Emitted.push_back(poly);
    DrawLandCell(a, b, c, d);
}

std::vector<std::vector<EmittedCorner>> Emitted2;

// The second surface of a two-surface pass (placed by the primary cell at the same column and row).
void CaptureCell2(TerrainCornerRef* a, TerrainCornerRef* b, TerrainCornerRef* c, TerrainCornerRef* d) {
    auto place = CellPlace.at(CurCell.cell);
    std::vector<EmittedCorner> poly;
    for (TerrainCornerRef* r : {a, b, c, d}) {
        if (!r) continue;
        poly.push_back({place.first * 16 + r->u, place.second * 16 + r->v, r->vertex->screen.x, r->vertex->screen.y});
    }
    Emitted2.push_back(poly);
    DrawLandCell(a, b, c, d);
}

// T-junctions among the drawn polygons: a drawn grid point that lies inside another polygon's edge,
// where patches of different depth would open a crack. The first one found is reported.
int CountTJunctions(const std::vector<std::vector<EmittedCorner>>& polys) {
    std::set<std::pair<int, int>> drawn;
    for (auto& poly : polys)
        for (auto& p : poly) drawn.insert({p.gx, p.gz});
    int junctions = 0;
    for (auto& poly : polys)
        for (size_t i = 0; i < poly.size(); ++i) {
            const EmittedCorner &p = poly[i], &q = poly[(i + 1) % poly.size()];
            int dx = q.gx - p.gx, dz = q.gz - p.gz;
            int n = std::max(std::abs(dx), std::abs(dz));
            for (int k = 1; k < n; ++k)
                if (drawn.count({p.gx + dx / n * k, p.gz + dz / n * k}) && ++junctions == 1)
                    ADD_FAILURE() << "grid point " << p.gx + dx / n * k << "," << p.gz + dz / n * k
                                  << " is drawn inside the edge from " << p.gx << "," << p.gz << " to " << q.gx
                                  << "," << q.gz;
        }
    return junctions;
}

int Triangles(const std::vector<std::vector<EmittedCorner>>& polys) {
    int n = 0;
    for (auto& poly : polys) n += poly.size() == 3;
    return n;
}

TEST(TerrainPatches, SplitsMorphsAndLeavesNoCracks) {
    kvtest::TerrainScene scene(160, 120, 9);
    ScapeBoard* b = scene.board();
    CellPlace.clear();
    for (int r = 0; r < b->height; ++r)
        for (int c = 0; c < b->width; ++c) CellPlace[BoardCell(b, c, r)] = {c, r};
    scene.Draw();  // sets the current view
    Emitted.clear();
    AdvanceViewStamp();
    SetBoardEyeTransform(b, nullptr);
    LandCellRoutine = CaptureCell;
    TraverseBoard(b, nullptr, 0, DrawCellMain);
    LandCellRoutine = DrawLandCell;
    // Patches of several sizes were drawn, from whole cells down to single grid steps.
    std::set<int> sizes;
    std::map<std::pair<int, int>, std::pair<float, float>> at;  // screen position per grid point
    for (auto& poly : Emitted) {
        int span = 0;
        for (auto& p : poly) {
            span = std::max(span, std::abs(p.gx - poly[0].gx));
            auto key = std::make_pair(p.gx, p.gz);
            auto it = at.find(key);
            if (it == at.end()) at[key] = {p.sx, p.sy};
            else {  // a shared vertex is drawn at one place by every patch
                EXPECT_NEAR(it->second.first, p.sx, 0.01f);
                EXPECT_NEAR(it->second.second, p.sy, 0.01f);
            }
        }
        sizes.insert(span);
    }
    EXPECT_TRUE(sizes.count(16)) << "whole cells";
    EXPECT_TRUE(sizes.count(1)) << "single steps";
    // Coarse midpoints were left out by fans of triangles around patch centres, so no drawn vertex lies
    // inside another polygon's edge (a T-junction, where a crack would open).
    EXPECT_GT(Triangles(Emitted), 0);
    EXPECT_EQ(CountTJunctions(Emitted), 0);
}

// With a TopTileField both surfaces of a cell are drawn at once: the cell's own level-0 split geomorphs
// its centre and edge midpoints and closes cracks toward coarser cells with a fan, in each surface.
TEST(TerrainPatches, TwoSurfaceCellsMorphAndFanWithoutCracks) {
    kvtest::TerrainScene scene(160, 120, 9);
    ScapeBoard* b = scene.board();
    ScapeBoard* top = CreateScapeBoard(b->width, b->height, b->width / 2, 0, 0);
    kvtest::FillHillBoard(top);
    for (int r = 0; r < top->height; ++r)
        for (int c = 0; c < top->width; ++c)
            for (int k = 0; k < kCellVertices; ++k) BoardCell(top, c, r)->vertices[k].height += 2500;
    for (int r = 0; r < top->height; ++r)
        for (int c = 0; c < top->width; ++c) ComputeCellBounds(top, c, r);
    CellPlace.clear();
    for (int r = 0; r < b->height; ++r)
        for (int c = 0; c < b->width; ++c) CellPlace[BoardCell(b, c, r)] = {c, r};
    scene.Draw();  // sets the current view
    Emitted.clear();
    Emitted2.clear();
    AdvanceViewStamp();
    TopTileFieldPresent = 1;
    SetBoardEyeTransform(b, top);
    LandCellRoutine = CaptureCell;
    MarkedCellRoutine = CaptureCell2;
    TraverseBoard(b, top, 0, DrawCellVariant3);
    LandCellRoutine = DrawLandCell;
    MarkedCellRoutine = nullptr;
    TopTileFieldPresent = 0;
    for (const auto* polys : {&Emitted, &Emitted2}) {
        SCOPED_TRACE(polys == &Emitted ? "primary" : "secondary");
        EXPECT_GT(polys->size(), 20u);
        EXPECT_GT(Triangles(*polys), 0);
        EXPECT_EQ(CountTJunctions(*polys), 0);
    }
    // The cells' own edge midpoints were blended in from the corners.
    int morphed = 0;
    for (ScapeBoard* board : {b, top})
        for (int r = 0; r < board->height; ++r)
            for (int c = 0; c < board->width; ++c)
                morphed += (BoardCell(board, c, r)->vertices[8].flags & kVertexMorphed) != 0;
    EXPECT_GT(morphed, 0);
    FreeScapeBoard(top);
}

// The reflected land pass draws the terrain mirrored in the water plane (h' = 2 x water level - h) only
// with FULL reflection; PARTIAL reflects constructs alone, and flat cells are never reflected.
TEST(TerrainPatches, ReflectedLandIsMirroredAndOnlyFullReflectionDrawsIt) {
    kvtest::TerrainScene scene(160, 120, 9);
    ScapeBoard* b = scene.board();
    CellPlace.clear();
    for (int r = 0; r < b->height; ++r)
        for (int c = 0; c < b->width; ++c) CellPlace[BoardCell(b, c, r)] = {c, r};
    scene.Draw();
    auto reflect = [&](int32_t reflection) {
        Emitted.clear();
        AdvanceViewStamp();
        SetBoardEyeTransform(b, nullptr);
        LandCellRoutine = CaptureCell;
        TraverseBoard(b, nullptr, reflection, DrawCellVariant2);
        LandCellRoutine = DrawLandCell;
        return Emitted.size();
    };
    EXPECT_EQ(reflect(kReflectPartial), 0u);
    EXPECT_GT(reflect(kReflectFull), 0u);
    // A corner prepared by the pass stands at its mirrored height.
    int checked = 0;
    for (int r = 0; r + 1 < b->height; ++r)
        for (int c = 0; c + 1 < b->width; ++c) {
            TileCell* cell = BoardCell(b, c, r);
            BoardVertex& v = cell->vertices[0];
            if (v.mirrorStamp != ViewStamp || v.mirror.depth <= 0.0f) continue;
            ScreenPointF expected{};
            ProjectCornerVertex(&cell->corner, 2 * cell->waterLevel - v.height, &expected);
            EXPECT_FLOAT_EQ(v.mirror.x, expected.x);
            EXPECT_FLOAT_EQ(v.mirror.y, expected.y);
            ++checked;
        }
    EXPECT_GT(checked, 0);
    for (int r = 0; r < b->height; ++r)
        for (int c = 0; c < b->width; ++c) BoardCell(b, c, r)->flat = 1;
    EXPECT_EQ(reflect(kReflectFull), 0u);
}

// ---- Reference picture ---------------------------------------------------------------------------

TEST(TerrainView, HillsAndLakeMatchTheirReferencePictures) {
    kvtest::TerrainScene scene(160, 120, 9);
    LevelWaterColour[0] = 40, LevelWaterColour[1] = 90, LevelWaterColour[2] = 160;
    scene.Draw();
    CompareWithReference("terrain_hills", 160, 120, scene.Pixels());
    // From the other side, looking back over the board, lower down.
    FixMatrix back = kvtest::PitchedDown(0.2);
    for (int i = 0; i < 9; ++i)
        if (i % 3 != 1) back.m[i] = -back.m[i];  // heading turned half round: x and z axes reversed
    scene.SetCamera({5 * 65536, 6000 * 8, 8 * 65536 + 30000}, back);
    scene.Draw();
    CompareWithReference("terrain_hills_back", 160, 120, scene.Pixels());
    LevelWaterColour[0] = LevelWaterColour[1] = LevelWaterColour[2] = 0;
}

}  // namespace

// ---- Boards over a terrain matrix ----------------------------------------------------------------

namespace {

// A matrix of n x n tiles, each its own definition whose sub-points all hold the tile's code
// 1000 + 20 x tile x + tile z; tile (0, 0) is flat tile 1 (height 50). Edge mode MIRROR.
matrix* CodedMatrix(int n) {
    matrix* m = CreateMatrix();
    m->width = m->height = n;
    m->tileField = static_cast<TileFieldEntry*>(qzAlloc(int(sizeof(TileFieldEntry)) * n * n, "matrix tile field"));
    std::memset(static_cast<void*>(m->tileField), 0, sizeof(TileFieldEntry) * size_t(n * n));
    m->tileDefPoolSize = n * n * kTileSubPoints * kSubPointBytes;
    m->tileDefPool = static_cast<SubPoint*>(qzAlloc(m->tileDefPoolSize, "tile def pool"));
    for (int x = 0; x < n; ++x)
        for (int z = 0; z < n; ++z) {
            TileFieldEntry& e = m->tileField[x * n + z];
            int def = x * n + z;
            e.def = def * kTileSubPoints * kSubPointBytes;
            for (auto& t : e.tex) t = kNoTexture;
            for (int k = 0; k < kTileSubPoints; ++k)
                m->tileDefPool[def * kTileSubPoints + k] = {static_cast<int16_t>(1000 + 20 * x + z), 0x8000 | 0x0F0, 0, 0};
        }
    m->flat[0] = {{50, 0x8321, 0, 0}, {0, 0, 0}, 0};
    m->flatCount = 1;
    m->tileField[0].def = -1;
    for (int32_t& mode : MatrixAddressModes) mode = kAddressMirror;
    return m;
}

int CodeOf(const ScapeBoard* b, int column, int row) { return BoardCell(b, column, row)->vertices[17].height; }

}  // namespace

TEST(ScapeBoard, ScrollsWithTheCameraRefillingOnlyWhatEnters) {
    matrix* m = CodedMatrix(12);
    construct* cam = CreateConstruct(1, 0);
    ScapeBoard* b = CreateScapeBoard(5, 5, 2, 0, 0);
    b->followed = cam;
    cam->pos[0] = 5 * 65536 + 100;
    cam->pos[2] = 6 * 65536 + 100;
    UpdateScapeBoard(b, m);
    EXPECT_EQ(b->originColumn, 3);
    EXPECT_EQ(b->originRow, 4);
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 5; ++c) EXPECT_EQ(CodeOf(b, c, r), 1000 + 20 * (3 + c) + (4 + r));
    EXPECT_EQ(BoardCell(b, 0, 0)->vertices[0].baseGreen, 0xF0);
    auto mark = [&] {
        for (int r = 0; r < 5; ++r)
            for (int c = 0; c < 5; ++c) BoardCell(b, c, r)->vertices[17].landStamp = 12345;
    };
    auto refilled = [&] {
        int n = 0;
        for (int r = 0; r < 5; ++r)
            for (int c = 0; c < 5; ++c) n += BoardCell(b, c, r)->vertices[17].landStamp != 12345;
        return n;
    };
    struct Step {
        int dx, dz;         // tiles the camera moves
        int originColumn, originRow;
        int refilled;
    } steps[] = {{1, 0, 4, 4, 5}, {0, -1, 4, 3, 5}, {-1, 1, 3, 4, 9}, {0, 0, 3, 4, 0}, {7, 0, 10, 4, 25}};
    for (const Step& s : steps) {
        mark();
        cam->pos[0] += s.dx * 65536;
        cam->pos[2] += s.dz * 65536;
        ScrollScapeBoard(b, m);
        EXPECT_EQ(b->originColumn, s.originColumn);
        EXPECT_EQ(b->originRow, s.originRow);
        EXPECT_EQ(refilled(), s.refilled) << s.dx << "," << s.dz;
        for (int r = 0; r < 5; ++r)
            for (int c = 0; c < 5; ++c) {
                int tx = b->originColumn + c, tz = b->originRow + r;
                int mx = tx >= 12 ? 23 - tx : tx, mz = tz >= 12 ? 23 - tz : tz;  // mirrored beyond the end
                if (mx == 0 && mz == 0) continue;
                EXPECT_EQ(CodeOf(b, c, r), 1000 + 20 * mx + mz) << c << "," << r;
            }
        // The edge cells hold the last inner column and row.
        EXPECT_EQ(BoardCell(b, 5, 2)->vertices[2].height, BoardCell(b, 4, 2)->vertices[2 * 16 + 15].height);
        EXPECT_EQ(BoardCell(b, 2, 5)->vertices[3].height, BoardCell(b, 2, 4)->vertices[240 + 3].height);
    }
    // The flat tile at (0, 0) and a hole.
    cam->pos[0] = 2 * 65536;
    cam->pos[2] = 2 * 65536;
    UpdateScapeBoard(b, m);
    EXPECT_EQ(BoardCell(b, 0, 0)->vertices[5].height, 50);
    EXPECT_EQ(BoardCell(b, 0, 0)->flat, 1);
    m->flat[0].head.height = -1;
    RefreshBoardRegion(b, m, 0, 0, 100, 100);
    EXPECT_EQ(BoardCell(b, 0, 0)->hole, 1);
    FreeScapeBoard(b);
    FreeConstruct(cam);
    FreeMatrix(m);
    ResetMatrixGlobals();
}

// An island of 8 x 8 tiles written as a world file by datakit and read by the game, drawn from a fixed
// camera over the sea. Sand near the water, grass, rock on the top; the sea is the clone tile outside.
TEST(TerrainView, DatakitIslandMatchesItsReferencePicture) {
    kvtest::TempDir dir;
    std::string old = std::filesystem::current_path().string();
    host::SetWorkingDirectory(dir.path().c_str());
    char savedMission[64];
    std::snprintf(savedMission, sizeof savedMission, "%s", MissionName);
    std::snprintf(MissionName, sizeof MissionName, "Isle");
    ResetMatrixGlobals();
    datakit::WorldFile w(102);
    w.TileClone({-30, 0x8000 | 0x2000 | 0x0321, 0, {0, 0, 0}});
    const int n = 8;
    datakit::WorldTileLayer layer;
    layer.width = layer.height = n;
    std::vector<datakit::WorldSubPoint> points;
    for (int x = 0; x < n; ++x)
        for (int z = 0; z < n; ++z) {
            datakit::WorldTile t;
            t.def = static_cast<uint32_t>(x * n + z);
            layer.tiles.push_back(t);
            for (int k = 0; k < 256; ++k) {
                double gx = x * 16 + (k & 15), gz = z * 16 + (k >> 4), c = n * 8.0;
                double d = std::sqrt((gx - c) * (gx - c) + (gz - c) * (gz - c)) / (n * 8.0);
                double h = 3200.0 * (1.0 - d * 1.25) + 300.0 * std::sin(gx * 0.4) * std::cos(gz * 0.3);
                int16_t height = static_cast<int16_t>(h < -400 ? -400 : h);
                uint16_t colour = height < 150 ? 0xACE : height > 2300 ? 0x999 : 0x3A4;  // sand, rock, grass
                points.push_back({height, static_cast<uint16_t>(0x8000 | colour), 0});
            }
        }
    w.TileField(layer);
    w.TileDefPool(points);
    const std::vector<uint8_t> bytes = w.Bytes();
    dir.Write("Maps/Isle", std::string(bytes.begin(), bytes.end()));
    host::FlushDirectoryCache();
    LoadQZWD("Maps\\Isle");
    ASSERT_NE(CurrentMatrix, nullptr);
    {
        kvtest::TerrainScene scene(160, 120, 9);
        LevelWaterColour[0] = 40, LevelWaterColour[1] = 90, LevelWaterColour[2] = 160;
        construct* cam = CreateConstruct(1, 0);
        cam->pos[0] = 4 * 65536;
        cam->pos[2] = 2 * 65536;
        ScapeBoard* b = CreateScapeBoard(17, 17, 8, 0, 0);
        b->followed = cam;
        UpdateScapeBoard(b, CurrentMatrix);
        scene.UseBoard(b);
        scene.viewport()->boardRadius = 8;
        scene.SetCamera({4 * 65536, 4200 * 8, -65536}, kvtest::PitchedDown(0.25));
        scene.Draw();
        CompareWithReference("terrain_island_world", 160, 120, scene.Pixels());
        FreeConstruct(cam);
        LevelWaterColour[0] = LevelWaterColour[1] = LevelWaterColour[2] = 0;
    }
    FreeMatrix(CurrentMatrix);
    CurrentMatrix = nullptr;
    FreeQZWDKeptChunks();
    ResetMatrixGlobals();
    std::snprintf(MissionName, sizeof MissionName, "%s", savedMission);
    host::SetWorkingDirectory(old.c_str());
    host::FlushDirectoryCache();
}

TEST(CollectBoardConstructs, TheEntryStoreIsNeverOverrun) {
    ScapeBoard* b = CreateScapeBoard(5, 5, 2, 0, 0);
    GeomPoint pts[2]{};
    pts[1].pos[0] = pts[1].pos[2] = 8000;  // 32000 world units from the first, in the same tile
    Geom g{};
    g.pointCount = 2;
    g.points = pts;
    std::vector<construct*> cons;
    CollectCount = 0;
    ConstructOverflow = 0;
    int linked = 0;
    for (int i = 0; i < 600; ++i) {
        construct* c = CreateConstruct(1, 0);
        c->pos[0] = 2 * 65536 + 100;
        c->pos[2] = 3 * 65536 + 100;
        c->lod[0] = &g;
        c->sampleCornerCount = 2;
        c->sampleCorners[0] = 0;
        c->sampleCorners[1] = 1;
        linked += AnchorConstruct(b, c);
        cons.push_back(c);
    }
    EXPECT_EQ(CollectCount, kConstructEntryStore);
    EXPECT_EQ(linked, kConstructEntryStore);
    EXPECT_EQ(ConstructOverflow, 1);
    int listed = 0;
    for (int q = 0; q < 4; ++q)
        for (ConstructEntry* e = BoardCell(b, 2, 3)->quarters[q].entries; e; e = e->next) ++listed;
    EXPECT_EQ(listed, kConstructEntryStore);
    EXPECT_EQ(BoardCell(b, 2, 3)->hasConstructs, 1);
    EXPECT_EQ(cons.back()->anchorQuarters, 0);
    // A construct is finished when its last quarter is: the counters count down and start again.
    construct* c = cons.front();
    EXPECT_EQ(c->anchorQuarters, 2);
    ScheduleConstructDraw(c, 0, 1);
    EXPECT_EQ(c->anchorQuarters, 1);
    EXPECT_EQ(c->drawnQuarters, 127);
    ScheduleConstructDraw(c, 0, 0);
    EXPECT_EQ(c->anchorQuarters, 2);
    ScheduleConstructDraw(nullptr, 0, 1);
    for (construct* k : cons) {
        k->lod[0] = nullptr;  // the geom is the test's own
        FreeConstruct(k);
    }
    FreeScapeBoard(b);
    CollectCount = 0;
    ConstructOverflow = 0;
}
