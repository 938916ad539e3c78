// Construct drawing is not built yet: no construct is transformed (none counts as visible) or drawn.
#include "render/ConstructDraw.h"

int32_t TransformConstruct(construct*, int32_t, int32_t) { return 0; }
void DrawConstruct(construct*, int32_t, int32_t) {}
void CollectShadowFaces(construct*) {}
