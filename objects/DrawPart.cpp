// Drawing a unit's cockpit part over its inside view, with the part's warning lights set from the unit
// record.
#include <cstring>

#include "host/Gfx.h"
#include "objects/UnitServices.h"
#include "platform/Dxgl.h"
#include "objects/UnitShare.h"
#include "render/ConstructDraw.h"
#include "world/Construct.h"
#include "world/TickCounter.h"

void DrawPartAt(construct* part, const int32_t orient[9], const UnitShare* rec, int32_t* blink, int32_t* alarm) {
    if (!part || !rec) return;
    if (blink) *blink = PartBlinkValue(FrameCounter, rec->targetedBy);
    if (alarm) *alarm = PartAlarmValue(rec->missileCount);
    std::memcpy(part->pos, rec->insidePos, sizeof part->pos);
    std::memcpy(part->orient, orient, sizeof part->orient);
    if (TransformConstruct(part, 0, 0)) DrawConstruct(part, 0, 0);
    // The overlay drawn after the part is not fogged.
    if (D3DDevice) host::SetRenderState(D3DDevice, host::RenderState::FogEnable, 0);
}
