// What the demo's vehicle folders share: the writer of their objects, billboards, the wreck and the
// fragment pieces. The jeep is built in Demo_vehicles.cpp, the tracked types in Demo_tracked.cpp.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "tools/datakit/ObjectFile.h"
#include "tools/mkdemo/Demo.h"

namespace mkdemo {

// Writes an object file below "Objects/".
bool WriteVehicleObject(const Context& ctx, const std::string& rel, const datakit::ObjectFile& obj);
// A named billboard at a new point of the object.
void VehicleBoard(datakit::ObjectFile& obj, const char* name, float x, float y, float z, float size);
// What is left of a vehicle of half sizes hx, hy, hz: a flattened, blackened hull that explodes and
// catches fire when it is left (an explosion spot with fire) and smokes (a smoke spot).
datakit::ObjectFile VehicleWreck(float hx, float hy, float hz);
// The three pieces a dying vehicle throws, "frag1" to "frag3" in its folder and, as its fragment set, in
// "app/objects/<dir>" (file units at the shard's scale, spread sideways by spread).
bool WriteVehicleFragments(const Context& ctx, const std::string& dir, std::array<uint8_t, 3> hull, float spread);
// Objects/ema/tank, haubitze, linebacker and snowmob, and the tread texture their chains scroll.
bool BuildTrackedVehicles(const Context& ctx);

}  // namespace mkdemo
