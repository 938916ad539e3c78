// Line tracing against the terrain matrix and this tick's collision lists.
#include "ai/TraceLine.h"

#include <cstring>

#include "ai/AI_local.h"
#include "core/Fix3D.h"
#include "world/Collide.h"
#include "world/Construct.h"
#include "world/Terrain.h"

namespace {

constexpr int32_t kTraceStep = 4096;

// The terrain stops the line where a line of sight would be obstructed (the AI's one test).
bool TerrainStops(const int32_t p[3]) { return ai::PointObstructed(p) != 0; }

construct* ObjectAt(const construct* own, const int32_t p[3]) {
    if (!CurrentMatrix) return nullptr;
    for (CollideNode* n = QuarterCollisionList(CurrentMatrix, p[0], p[2]); n; n = n->next) {
        construct* c = n->con;
        if (!c || c == own || c->sphere.radius <= 0) continue;
        FixVec local{c->sphere.centre[0], c->sphere.centre[1], c->sphere.centre[2]};
        FixVec centre;
        RotateVecT13(&centre, reinterpret_cast<const FixMatrix*>(c->orient), &local);
        FixVec d{p[0] - (centre.x + c->pos[0]), p[1] - (centre.y + c->pos[1]), p[2] - (centre.z + c->pos[2])};
        if (Length3F(&d) < c->sphere.radius) return c;
    }
    return nullptr;
}

}  // namespace

construct* TraceLine(construct* own, const int32_t start[3], const int32_t dir[3], int32_t end[3], int32_t length,
                     int stopTerrain, int stopObjects) {
    int32_t p[3] = {start[0], start[1], start[2]};
    construct* met = nullptr;
    for (int32_t covered = 0; covered < length; covered += kTraceStep) {
        int32_t next[3] = {p[0] + (dir[0] >> 3), p[1] + (dir[1] >> 3), p[2] + (dir[2] >> 3)};
        if (stopTerrain && TerrainStops(next)) break;
        std::memcpy(p, next, sizeof p);
        if (stopObjects && (met = ObjectAt(own, p)) != nullptr) break;
    }
    std::memcpy(end, p, sizeof p);
    return met;
}
