// The test mission "Showroom" on the demo island: the player's task force holds one unit of every vehicle
// type that exists, at the E.M.A. base; the G.A. group holds the same types at the G.A. outpost across the
// island, out of sight; a wreck burns beside the task force. The script activates both sides, puts them
// on hold and destroys the wreck's jeep. Besides, the world holds the action units the end-to-end runs
// activate in copies of the script: one unit of each type alone on a test lane at the base
// ("Test_<type>"), and two target dummies ahead of it ("Test_DummyA" of the G.A., "Test_DummyB" of the
// third clan).
//
// A new vehicle type is one more row of kShowroomTypes.
#include <array>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>

#include "tools/datakit/Bytes.h"
#include "tools/datakit/RulesText.h"
#include "tools/datakit/WorldFile.h"
#include "tools/mkdemo/Demo.h"

namespace mkdemo {

namespace {

// The vehicle types the showroom shows, in the task force's order.
constexpr const char* kShowroomTypes[] = {"EMAJeep", "EMATank", "EMAHaubitze", "EMALinebacker", "EMASnowMob"};

// Headings: the task force and the test lane face +x (into the island), the G.A. group -x.
constexpr int32_t kFacingPlusX = 205887;
constexpr int32_t kFacingMinusX = 0;

// A place record (z, y, x, two spare words, heading) at tile coordinates.
std::array<int32_t, 6> Place(double x, double z, int32_t heading) {
    return {int32_t(std::lround(z * 65536)), 0, int32_t(std::lround(x * 65536)), 0, 0, heading};
}

datakit::WorldAUDef Group(const char* name, int32_t clan) {
    datakit::WorldAUDef def;
    def.name = name;
    def.abstractClan = clan;
    return def;
}

void AddShowroomUnits(datakit::WorldFile& w) {
    // The task force in a row across the base (tile x 19, z from 45.5 a tile apart); the G.A. group in a
    // row across the outpost.
    datakit::WorldAUDef ema = Group("Showroom_EMA", 0);
    datakit::WorldAUDef ga = Group("Showroom_GA", 1);
    double z = 0;
    for (const char* type : kShowroomTypes) {
        ema.lists[0].push_back({type, 100, Place(19.0, 45.5 + z, kFacingPlusX), std::nullopt});
        ga.lists[1].push_back({type, 100, Place(51.0, 17.0 + z, kFacingMinusX), std::nullopt});
        z += 1.0;
    }
    w.AUDef(ema, 7);
    w.AUDef(ga, 7);
    // The wreck: a jeep the script destroys at the start.
    datakit::WorldAUDef wreck = Group("Showroom_Wreck", 0);
    wreck.lists[0].push_back({"EMAJeep", 100, Place(15.0, 46.0, kFacingPlusX), std::nullopt});
    w.AUDef(wreck, 7);
    // The test lane along tile z 49.5: each type at its start (x 14), the dummies ahead of it.
    for (const char* type : kShowroomTypes) {
        const std::string name = std::string("Test_") + type;
        datakit::WorldAUDef test = Group(name.c_str(), 0);
        test.lists[0].push_back({type, 100, Place(14.0, 49.5, kFacingPlusX), std::nullopt});
        w.AUDef(test, 7);
    }
    datakit::WorldAUDef dummyA = Group("Test_DummyA", 1);
    dummyA.lists[1].push_back({"ShowroomDummy", 100, Place(14.8, 49.5, kFacingMinusX), std::nullopt});
    w.AUDef(dummyA, 7);
    datakit::WorldAUDef dummyB = Group("Test_DummyB", 2);
    dummyB.lists[2].push_back({"ShowroomDummy", 100, Place(15.2, 49.5, kFacingMinusX), std::nullopt});
    w.AUDef(dummyB, 7);
}

}  // namespace

bool BuildShowroomMission(const Context& ctx) {
    if (!datakit::WriteFile(ctx.Path("Maps/Showroom"), DemoIslandWorldWith(AddShowroomUnits))) return false;
    std::ifstream in(ctx.source + "/Scripts/Showroom.txt", std::ios::binary);
    if (!in) return false;
    const std::string script(std::istreambuf_iterator<char>(in), {});
    return datakit::WriteRulesText(ctx.Path("Scripts/Showroom.txt"), script);
}

}  // namespace mkdemo
