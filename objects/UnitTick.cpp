// The unit record's tick: shade and fade, aim wobble, target cycling and lock-on, countdowns and the
// mission-area autopilot.
#include "objects/UnitTick.h"

#include <cmath>
#include <cstdlib>

#include "ai/UnitAI.h"
#include "core/Keys.h"
#include "objects/UnitRecord.h"
#include "objects/UnitRecord_local.h"
#include "world/Construct.h"

using namespace unitrec;

namespace {

int32_t Clamp255(int32_t v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

bool Hostile(const construct* con, const construct* other) {
    return con->clan && other && other->clan && con->clan->hostility[other->clan->index] == kHostile;
}

ThreatEntry* FindEntry(UnitShare* rec, const construct* target) {
    for (int32_t i = 0; target && i < rec->threatCount; ++i)
        if (rec->threats[i].con == target) return &rec->threats[i];
    return nullptr;
}

void TakeLockTarget(construct* con, UnitShare* rec, construct* target) {
    ReleaseUnitRef(rec->lockTarget);
    rec->lockTarget = target;
    rec->lockEntry = FindEntry(rec, target);
    AddUnitRef(target);
    if (IsPlayerUnit(con)) PlayFX(FXSound::ToggleTarget, nullptr);
}

bool CanLockWithAmmo(construct* con, UnitShare* rec) {
    return (rec->lockCapability[0] && GetUnitAmmo(con, 0) > 0) ||
           (rec->lockCapability[1] && GetUnitAmmo(con, 1) > 0);
}

void Autopilot(construct* con, UnitShare* rec) {
    const int32_t x = con->pos[0], z = con->pos[2];
    const int32_t minX = rec->area[0], minZ = rec->area[1], maxX = rec->area[2], maxZ = rec->area[3];
    if (IsPlayerUnit(con) && !rec->autopilot) {
        int32_t dir[3] = {0, 0, 0};
        if (x > maxX)
            dir[0] = -32768;
        else if (x < minX)
            dir[0] = 32768;
        else if (z > maxZ)
            dir[2] = -32768;
        else if (z < minZ)
            dir[2] = 32768;
        if (dir[0] || dir[2]) {
            rec->autopilot = 1;
            for (int i = 0; i < 3; ++i) rec->autopilotDir[i] = dir[i];
            PlayFX(FXSound::AutoPilotOn, nullptr);
        }
    }
    if (!rec->autopilot) return;
    bool inside = false;
    if (rec->autopilotDir[0]) {
        const int32_t margin = static_cast<int32_t>((int64_t(rec->autopilotDir[0]) * kAutopilotMargin) >> 15);
        inside = minX + margin < x && x < maxX + margin;
    } else if (rec->autopilotDir[2]) {
        const int32_t margin = static_cast<int32_t>((int64_t(rec->autopilotDir[2]) * kAutopilotMargin) >> 15);
        inside = minZ + margin < z && z < maxZ + margin;
    }
    if (inside) {
        rec->autopilot = 0;
        if (IsPlayerUnit(con)) PlayFX(FXSound::AutoPilotOff, nullptr);
    }
}

}  // namespace

void CycleTarget(construct* con, UnitShare* rec, int backwards) {
    const int32_t count = rec->threatCount;
    if (count <= 0 || !rec->threats) return;
    int32_t start = 0;
    for (int32_t i = 0; rec->lockTarget && i < count; ++i)
        if (rec->threats[i].con == rec->lockTarget) {
            start = backwards ? i - 1 : i + 1;
            break;
        }
    const int32_t step = backwards ? -1 : 1;
    for (int32_t n = 0; n < count; ++n) {
        const int32_t i = ((start + n * step) % count + count) % count;
        construct* c = rec->threats[i].con;
        if (!Hostile(con, c)) continue;
        TakeLockTarget(con, rec, c);
        rec->lockToggleDelay = LockToggleDelay();
        rec->lockCountdown = kLockCountdown;
        rec->locked = 0;
        StopLockTargetSound();
        return;
    }
}

void SetLockTargetFromThreats(construct* con, UnitShare* rec, construct* other) {
    if (!rec || !other || !FindEntry(rec, other)) return;
    TakeLockTarget(con, rec, other);
}

void TickUnitShare(construct* con, UnitShare* rec, int tickShift, const ControlInput& previous,
                   const ControlInput& current) {
    const int32_t s = 1 << tickShift;
    // 1. Shade and fade.
    con->shade = static_cast<uint8_t>(Clamp255((rec->shadeRate << tickShift) + con->shade));
    con->byte255 = static_cast<uint8_t>(Clamp255(con->byte255 + (rec->fadeRate << tickShift)));
    rec->fadeRate = (con->flags & 0x8000) ? -4 : 4;
    // 2. Target countdown.
    rec->targetCountdown = rec->targetCountdown > s ? rec->targetCountdown - s : 0;
    // 3. Aim wobble while there is a target.
    if (rec->target) {
        rec->wobbleCountdown = rec->wobbleCountdown > s ? rec->wobbleCountdown - s : 0;
        if (rec->wobbleCountdown <= 0) {
            if (std::abs(static_cast<int32_t>(rec->aimWobble)) <= rec->aimDivergence * 0.125f)
                rec->aimWobble = -rec->aimWobble;
            else
                rec->aimWobble = rec->aimWobble * -0.9f;
            rec->wobbleCountdown = kWobbleTicks;
        }
    }
    // 4. Target keys, on their rising edges; the player's are ignored while shift is held.
    const bool shiftHeld = IsPlayerUnit(con) && KeyStateByte(kShiftKeyCode) != 0;
    if (!shiftHeld) {
        if (InputKeyPressed(previous, current, kInputNextTarget)) CycleTarget(con, rec, 0);
        if (InputKeyPressed(previous, current, kInputPreviousTarget)) CycleTarget(con, rec, 1);
    }
    // 5. The lock target must still be a threat.
    if (rec->lockTarget) {
        if (ThreatEntry* e = FindEntry(rec, rec->lockTarget)) {
            rec->lockEntry = e;
        } else {
            ReleaseUnitRef(rec->lockTarget);
            rec->lockTarget = nullptr;
            rec->lockEntry = nullptr;
            rec->lockCountdown = kLockCountdown;
            rec->locked = 0;
            CycleTarget(con, rec, 0);
        }
    } else if (rec->threatCount > 0) {
        CycleTarget(con, rec, 0);
    }
    // 6. Lock toggle delay.
    if (rec->lockToggleDelay != 0) {
        const int32_t step = 1 << con->busyLevel;
        rec->lockToggleDelay = rec->lockToggleDelay > step ? rec->lockToggleDelay - step : 0;
    }
    // 7. Lock-on while a group that can lock has ammunition.
    if (rec->lockTarget && !rec->locked && CanLockWithAmmo(con, rec)) {
        rec->lockCountdown = rec->lockCountdown >= 0 ? rec->lockCountdown - s : -1;
        if (rec->lockCountdown < 0) {
            rec->lockCountdown = 0;
            rec->locked = 1;
            if (IsPlayerUnit(con)) {
                PlayFX(FXSound::TargetLocked, nullptr);
                StopLockTargetSound();
            }
        }
    }
    // 8. The recent hitter's countdown and the alert countdown.
    rec->recentHitCountdown -= s;
    if (rec->recentHitCountdown <= 0) {
        rec->recentHitCountdown = 0;
        rec->recentHit = nullptr;
    }
    rec->alertCountdown = rec->alertCountdown > s ? rec->alertCountdown - s : 0;
    // 9, 10. The mission-area autopilot.
    Autopilot(con, rec);
}
