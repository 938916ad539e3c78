// The current view's state.
#include "render/View.h"

FixVec EyePos;
FixMatrix ViewMatrix = {{32768, 0, 0, 0, 32768, 0, 0, 0, 32768}};
int32_t ViewCentreX, ViewCentreY;
float ViewCentreXF, ViewCentreYF;
int32_t ViewWidth, ViewHeight;
int32_t NearPlane = 500;

int PointOutsideFrustum(const FixVec* p) {
    if (p->z < NearPlane) return 1;
    // x / z against the half width over a focal length of 1024, without dividing; formed in 64 bits so
    // far points cannot wrap into view.
    int64_t x = static_cast<int64_t>(p->x) * 1024, y = static_cast<int64_t>(p->y) * 1024;
    int64_t halfW = static_cast<int64_t>(ViewWidth / 2) * p->z;
    int64_t halfH = static_cast<int64_t>(ViewHeight / 2) * p->z;
    if (x > halfW || -x > halfW) return 1;
    if (y > halfH || -y > halfH) return 1;
    return 0;
}

void DrawSegment3D(const int32_t* /*from*/, const int32_t* /*to*/) {}

// View drawing and the scape boards are not built yet: nothing is drawn.
void RenderAllViews() {}
void UpdateAllScapeBoards() {}
