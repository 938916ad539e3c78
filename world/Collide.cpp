// The collision pass is not built yet: nothing collides.
#include "world/Collide.h"

void CollideUnits() {}
