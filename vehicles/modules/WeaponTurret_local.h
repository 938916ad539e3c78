// What the weapon turret's files share.
#pragma once

#include <cstdint>

struct WeaponTurret;
struct ConstructPool;

namespace turret {

// The limits in use: the cockpit ones while selected and record/replay is off, else the normal ones.
const int32_t* YawLimits(const WeaponTurret* t);
const int32_t* PitchLimits(const WeaponTurret* t);
// The howitzer's pool of 50 trail markers ("trails %d"), and its removal.
ConstructPool* CreateMarkerPool();
void DeleteMarkerPool(ConstructPool* pool);

}  // namespace turret
