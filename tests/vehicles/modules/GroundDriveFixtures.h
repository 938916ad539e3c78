// A hand-made scene for the ground drives and the wreck physics: 8 x 8 tiles of terrain (flat, or
// rising along z), a hull construct with four contact corners at the bottom of its box, the units-file
// entries "tank" and "jeep" with their drive rules, a unit record and the AI scene's three clans.
#pragma once

#include <cmath>
#include <cstring>
#include <vector>

#include "ai/AIFixtures.h"
#include "core/Memory.h"
#include "objects/UnitShare.h"
#include "objects/Units.h"
#include "support/FPTables.h"
#include "world/Construct.h"
#include "world/Player.h"
#include "world/TerrainFixtures.h"

namespace drivetest {

constexpr int32_t kTiles = 8;
constexpr int32_t kSubPoints = kTiles * 16;  // sub-points per side (4096 world units apart)
constexpr int32_t kGround = 8000;            // the flat ground (world units)
// The slope: 64 units of 8 per sub-point along z, 512 / 4096 = 0.125.
constexpr int32_t kRisePerSubPoint = 64;
constexpr double kSlope = 0.125;
// The hull's box in quarter units: 4000 wide, 2000 high, 6400 long in world units; the contact corners
// lie 1000 below the position.
constexpr int32_t kHalfWidth = 500, kHalfHeight = 250, kHalfLength = 800;
constexpr int32_t kBelow = kHalfHeight * 4;

inline const char* const kDriveRules =
    "tank_TurnRate 200; tank_LockRecenterRate 0.02; tank_ThrottleInc 0.05 0.02;"
    "tank_SpeedConstraint -1500 3000; tank_AccessType LAND0; tank_ChainAnimScale 0.01;"
    "jeep_TurnRate 300; jeep_acceleration 60 120; jeep_MaxWheelLock 30000; jeep_WheelRecenterRate 500;"
    "jeep_TorqueFactor 30; jeep_SpeedConstraint -1500 3600; jeep_AccessType LAND0;";

class DriveScene : public aitest::AIScene {
protected:
    DriveScene() : terrain_(kTiles, kTiles) {
        kvtest::EnsureFPTables();
        savedMatrix_ = CurrentMatrix;
        CurrentMatrix = terrain_.m;
        Flat();
        Rules(kDriveRules);
        std::memset(&rec_, 0, sizeof rec_);
    }
    ~DriveScene() override {
        CurrentMatrix = savedMatrix_;
        for (construct* c : hulls_) FreeConstruct(c);
        for (::Unit* u : entries_) FreeUnit(u);
    }

    void Flat() {
        for (int32_t x = 0; x < kSubPoints; ++x)
            for (int32_t z = 0; z < kSubPoints; ++z) terrain_.At(x, z).height = int16_t(kGround / 8);
    }
    // Ground rising along z: kGround at z = 0, 0.125 per unit of z.
    void Slope() {
        for (int32_t x = 0; x < kSubPoints; ++x)
            for (int32_t z = 0; z < kSubPoints; ++z)
                terrain_.At(x, z).height = int16_t(kGround / 8 + kRisePerSubPoint * z);
    }
    static int32_t GroundAt(int32_t x, int32_t z) {
        int32_t p[3] = {x, 0, z};
        return InterpGroundHeight(CurrentMatrix, p, nullptr);
    }

    // A units-file entry of that name (its rules are "<name>_<key>").
    ::Unit* Entry(const char* name) {
        ::Unit* u = CreateUnit();
        u->name = qzStrDup(name, "unit name");
        u->rulePrefix = qzStrDup(name, "unit prefix");
        entries_.push_back(u);
        return u;
    }
    // A hull of the entry standing with its contact corners on the ground at (x, z), facing +z.
    construct* Hull(const char* name, int32_t x, int32_t z) {
        construct* con = CreateConstruct(0, 0);
        hulls_.push_back(con);
        con->unit = Entry(name);
        con->clan = ema();
        const int32_t x1 = -kHalfWidth, x2 = kHalfWidth, y1 = -kHalfHeight, y2 = kHalfHeight;
        const int32_t z1 = -kHalfLength, z2 = kHalfLength;
        const int32_t corners[8][3] = {{x1, y1, z1}, {x1, y2, z1}, {x2, y2, z1}, {x2, y1, z1},
                                       {x1, y1, z2}, {x1, y2, z2}, {x2, y2, z2}, {x2, y1, z2}};
        std::memcpy(con->box.corners, corners, sizeof corners);
        con->sampleCornerCount = 4;
        const uint8_t contact[4] = {0, 3, 4, 7};
        std::memcpy(con->sampleCorners, contact, sizeof contact);
        con->sphere.radius = 4000;
        std::memset(con->orient, 0, sizeof con->orient);
        con->orient[0] = con->orient[4] = con->orient[8] = 32768;
        con->pos[0] = x;
        con->pos[2] = z;
        con->pos[1] = GroundAt(x, z) + kBelow;
        return con;
    }

    // Heading of the hull's forward row in degrees (0 along +z, positive toward +x).
    static double Heading(const construct* con) {
        return std::atan2(double(con->orient[6]), double(con->orient[8])) * 180.0 / M_PI;
    }
    // Height of the forward row per unit of horizontal travel.
    static double Pitch(const construct* con) {
        return double(con->orient[7]) / std::hypot(double(con->orient[6]), double(con->orient[8]));
    }
    // The largest distance of a contact corner from the ground under it.
    static int32_t WorstCornerGap(const construct* con) {
        int32_t worst = 0;
        for (int i = 0; i < con->sampleCornerCount; ++i) {
            const int c = con->sampleCorners[i];
            int32_t local[3] = {con->box.corners[c][0], con->box.corners[c][1], con->box.corners[c][2]};
            int64_t w[3];
            for (int r = 0; r < 3; ++r)
                w[r] = con->pos[r] + ((int64_t(con->orient[r]) * local[0] + int64_t(con->orient[3 + r]) * local[1] +
                                        int64_t(con->orient[6 + r]) * local[2]) >> 13);
            const int32_t gap = int32_t(w[1]) - GroundAt(int32_t(w[0]), int32_t(w[2]));
            if (std::abs(gap) > std::abs(worst)) worst = gap;
        }
        return worst;
    }

    kvtest::HandMatrix terrain_;
    matrix* savedMatrix_ = nullptr;
    UnitShare rec_;
    int16_t steer_ = 0;
    std::vector<construct*> hulls_;
    std::vector<::Unit*> entries_;
};

// A phase of a control script: keys held, the chassis axis moving by axisRate per tick, for ticks ticks.
struct Phase {
    bool thrust1;
    bool thrust2;
    int32_t axisRate;
    int ticks;
};

}  // namespace drivetest
