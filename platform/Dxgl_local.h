// What the graphics device's files share.
#pragma once

#include "host/Gfx.h"
#include "platform/Dxgl.h"

// Whether the identifier is one of the three device kinds that are recorded; gives their flags.
bool KnownDeviceKind(const uint8_t* guid, int32_t* hardware, int32_t* tnl, host::DeviceKind* kind);
// Frees the display-mode list and the driver list.
void FreeDriverLists();
