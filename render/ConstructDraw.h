// What view rendering calls of construct drawing: the per-view transform that says whether a construct
// can be seen, the drawing itself and the shadow faces. The construct drawing module fills them in.
#pragma once

#include <cstdint>

struct construct;

// Transforms a construct for the current view and pass; 1 when it may be visible, else 0.
int32_t TransformConstruct(construct* con, int32_t reflect, int32_t flags);
void DrawConstruct(construct* con, int32_t reflect, int32_t flags);
void CollectShadowFaces(construct* con);
