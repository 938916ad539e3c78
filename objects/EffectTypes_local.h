// What the effect types' files share.
#pragma once

// The checks and the unit lister of the missiles' and rockets' saved forms (objects/Missiles.cpp).
void RegisterMissileSavedChecks();
