// The renderer's view stamp: advanced once per drawn view; points, constructs and vertices keep the
// stamp of their last transform so that each is transformed once per view. New records take the stamp
// minus 1 so that their first view transforms them.
#pragma once

#include <cstdint>

extern uint16_t ViewStamp;
