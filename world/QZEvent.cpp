// The deferred construct event queue, activation and the busy pools.
#include "world/QZEvent.h"

#include "core/Memory.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"

QZEvent QZEventQueue[kMaxQZEvents];
int QZEventCount = 0;
ConstructPool* BuzyPools[4] = {};
ConstructPool* VisiblePool = nullptr;
int32_t BuzyGuard = 0;

construct* CreateQZEvent(int32_t kind, construct* con) {
    if (QZEventCount >= kMaxQZEvents) FatalError("Error(CreateQZEvent): Too many qzevents");
    if (kind >= 0 && kind <= 3) con->flags |= kConEventPending;
    QZEventQueue[QZEventCount++] = QZEvent{kind, con};
    return con;
}

void FlushQZEvents() {
    // The count is read again after each event: events queued by an event run in the same flush.
    for (int i = 0; i < QZEventCount; ++i) {
        const QZEvent ev = QZEventQueue[i];
        if (!ev.con) continue;  // its construct was freed after it was queued
        switch (ev.kind) {
            case 0:
            case 1:
            case 2:
            case 3:
                if (ev.con->flags & kConBusy) UnMakeBuzy(ev.con);
                MakeBuzy(ev.con, ev.kind);
                ev.con->flags &= ~kConEventPending;
                break;
            case 4:
                UnMakeBuzy(ev.con);
                break;
            case 5:
                DeactivateConstruct(ev.con);
                break;
            case 6:
                FreeConstruct(ev.con);
                break;
            default:
                break;
        }
    }
    QZEventCount = 0;
}

void ClearQZEvents() {
    QZEventCount = 0;
}

void ForgetQZEventsOf(const construct* con) {
    for (int i = 0; i < QZEventCount; ++i)
        if (QZEventQueue[i].con == con) QZEventQueue[i].con = nullptr;
}

void ActivateConstruct(construct* con) {
    if (con->flags & kConActive) return;
    if (!VisiblePool) FatalError("Error(ActivateConstruct): no pool 'visible'");
    AppendToConstructPool(VisiblePool, con);
    con->flags |= kConActive;
}

void DeactivateConstruct(construct* con) {
    if (!(con->flags & kConActive)) return;
    if (VisiblePool) RemoveFromConstructPool(VisiblePool, con);
    con->flags &= ~kConActive;
}

void MakeBuzy(construct* con, int level) {
    if (BuzyGuard) FatalError("Error: MakeBuzy called");
    if (con->flags & kConBusy) return;
    if (level < 0 || level > 3 || !BuzyPools[level]) FatalErrorF("Error(MakeBuzy): no busy pool %d", level);
    AppendToConstructPool(BuzyPools[level], con);
    con->busyLevel = static_cast<uint8_t>(level);
    con->flags |= (kConBusyPool0 << level) | kConBusy;
}

void UnMakeBuzy(construct* con) {
    if (BuzyGuard) FatalError("Error: UnMakeBuzy called");
    for (int level = 0; level < 4; ++level) {
        const uint32_t bit = kConBusyPool0 << level;
        if (!(con->flags & bit)) continue;
        if (BuzyPools[level]) RemoveFromConstructPool(BuzyPools[level], con);
        con->flags &= ~bit;
        break;
    }
    con->flags &= ~kConBusy;
}
