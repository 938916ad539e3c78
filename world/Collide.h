// Unit collisions: the busy constructs that touch each other or a static get each other in their hit slots.
#pragma once

// Runs the collision pass of one tick.
void CollideUnits();
