// The way pointer: the pulsing marker the tactical map shows where an order sends a unit. The level makes
// one of it from the objects' "misc" folder and keeps it busy from its placement on; whoever shows it
// writes its position and activates it, and deactivates it to hide it. It pulses through its effect
// phase, which its billboards follow.
#include "objects/WayPointer.h"

#include <cstring>

#include "core/Memory.h"
#include "objects/ConstructRes.h"
#include "world/Construct.h"
#include "world/QZEvent.h"
#include "world/TickCounter.h"

namespace {

constexpr float kMarkerScale = 50.0f;

construct* Create(const char* directory) {
    construct* con = CreateConstruct(0, 0);
    con->itfc = WayPointer_itfc;
    AllocItfcData(con, 1);
    con->collisionClass = 0;
    con->sampleCornerCount = 4;
    const uint8_t probes[4] = {0, 3, 4, 7};
    std::memcpy(con->sampleCorners, probes, sizeof probes);
    Geom* g = LoadGeom(kMarkerScale, directory ? directory : "", "camera", nullptr);
    AllocBBoards(con, 1);
    SetConstructGeoms(con, g, g, g, g);
    return con;
}

}  // namespace

int32_t WayPointerPhase(uint32_t tick) {
    const int32_t u = static_cast<int32_t>(tick % 128) * 2;
    return u >= 128 ? (u - 128) + 32 : 159 - u;
}

uintptr_t WayPointer_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE: return reinterpret_cast<uintptr_t>(Create(reinterpret_cast<const char*>(arg)));
        case ItfcMethod::TICK:
            con->effectPhase = WayPointerPhase(FrameCounter);
            return 0;
        case ItfcMethod::PLACE:
            if (con->flags & kConstructPlaced) WayPointer_itfc(con, ItfcMethod::UNPLACE, reinterpret_cast<uintptr_t>(con->pos));
            con->flags |= kConstructPlaced;
            con->collisionClass = 0;
            CreateQZEvent(0, con);
            ActivateConstruct(con);
            return 0;
        case ItfcMethod::UNPLACE:
            if (!(con->flags & kConstructPlaced)) return 0;
            CreateQZEvent(4, con);
            DeactivateConstruct(con);
            con->flags &= ~kConstructPlaced;
            return 0;
        case ItfcMethod::GETNAME: return reinterpret_cast<uintptr_t>("WayPointer");
        case ItfcMethod::GETPOS:
            if (arg) std::memcpy(reinterpret_cast<int32_t*>(arg), con->pos, sizeof con->pos);
            return 0;
        case ItfcMethod::DESTROY:
            if (con->flags & kConstructPlaced) FatalError("remove first");
            FreeConstruct(con);
            return 0;
        default: return ItfcUnknownMethod("WayPointer", method);
    }
}
