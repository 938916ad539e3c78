// View rendering's services around the frame: clearing the constructs' stored stamps on a ViewStamp
// wrap, and the caption of a secondary view.
#include <cstdio>

#include "objects/Units.h"
#include "render/ScreenText.h"
#include "render/View.h"
#include "render/Viewport.h"
#include "render/View_local.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Geom.h"
#include "world/TickCounter.h"

namespace {

void ClearGeomStamps(Geom* g) {
    if (!g) return;
    for (int i = 0; i < g->pointCount; ++i) g->points[i].stamps[0] = g->points[i].stamps[1] = 0;
}

void ClearConstructStamps(construct* c) {
    c->drawStamps[0] = c->drawStamps[1] = 0;
    for (Geom* g : c->lod) ClearGeomStamps(g);
    ClearGeomStamps(c->shadow);
    for (int i = 0; i < c->bboardCount && c->bboards; ++i)
        for (bboard* b = c->bboards[i]; b; b = b->next) ClearGeomStamps(b->geom);
}

}  // namespace

void ClearListStamps(void* list) { ClearGeomStamps(static_cast<Geom*>(list)); }

void ResetConstructStamps() {
    for (int p = 0; p < ConstructPoolCount; ++p) {
        ConstructPool* pool = ConstructPoolTable[p];
        if (!pool || !pool->constructs) continue;
        for (int i = 0; i < pool->count; ++i) {
            construct* c = pool->constructs[i];
            if (!c) continue;
            ClearConstructStamps(c);
            for (int s = 0; s < c->subCount; ++s)
                if (c->subs[s]) ClearConstructStamps(c->subs[s]);
        }
    }
}

int32_t ViewTickCounter() { return static_cast<int32_t>(FrameCounter); }

void DrawViewCaption(ViewPort* vp) {
    char text[kScreenTextBufferSize];
    text[0] = 0;
    if (!vp->sharesMainBoards) {
        snprintf(text, sizeof text, "remote view: %s", UnitDisplayName(vp->follows));
    } else {
        switch (vp->cameraKind) {
            case 0: snprintf(text, sizeof text, "local weapon view"); break;
            case 1: snprintf(text, sizeof text, "local rear view"); break;
            case 2: snprintf(text, sizeof text, "local tracker camera"); break;
            case 3: snprintf(text, sizeof text, "local ground camera"); break;
            case 5: snprintf(text, sizeof text, "target view"); break;
            default: return;  // no caption for other kinds
        }
    }
    static const uint8_t kCaption[4] = {0, 255, 128, 128};
    SetTextColor(kCaption);
    SetTextFont(10);
    DrawTextf(vp->left, vp->top + 10, "%s", text);
    SetTextFont(13);
}

// The units-file display name of a construct's unit ("" for a construct without one).
const char* UnitDisplayName(const construct* c) {
    return c && c->unit && c->unit->gameName ? c->unit->gameName : "";
}
