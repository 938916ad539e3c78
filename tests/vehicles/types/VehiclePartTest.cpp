// A vehicle's moving part (the jeep's turret top, which carries the cockpit's eye) turns in its body's
// frame: pitching the turret turns it about the body's own sideways row, whichever way the body faces.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/Fix3D.h"
#include "support/FPTables.h"
#include "vehicles/types/VehicleFrame.h"
#include "world/Construct.h"

namespace {

constexpr int32_t kQuarter = 102943;  // a quarter turn, 16.16 radians

TEST(VehiclePart, APitchedTurretKeepsItsSidewaysRowLevelWhicheverWayTheBodyFaces) {
    kvtest::EnsureFPTables();
    const struct {
        const char* name;
        int32_t heading;  // body yaw
        double pitch;     // turret pitch from level, radians
    } cases[] = {
        {"body straight ahead, turret up", -kQuarter, 0.35},
        {"body turned a quarter, turret up", 0, 0.35},
        {"body turned a radian, turret down", 65536, -0.17},
        {"body turned back, turret up", kQuarter, 0.5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        construct body{}, top{};
        FixMatrix m;
        MatrixFromYawPitch(&m, c.heading, kQuarter);
        std::memcpy(body.orient, m.m, sizeof m.m);
        VehiclePlacePart(&body, &top, -kQuarter, kQuarter + static_cast<int32_t>(c.pitch * 65536.0));
        // The sideways row is the body's: the turret pitches about it and does not roll.
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(top.orient[i], body.orient[i], 40) << "sideways " << i;
        // The forward row leaves the level by the pitch.
        EXPECT_NEAR(std::abs(top.orient[7]), std::abs(std::sin(c.pitch)) * 32768.0, 40.0);
    }
}

}  // namespace
