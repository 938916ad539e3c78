// The unit record's saved form.
#include "objects/UnitSaved.h"

#include <cstring>
#include <initializer_list>

#include "core/Memory.h"
#include "objects/UnitRecord.h"
#include "objects/UnitShare.h"
#include "world/Construct.h"

void SavedWords::U8(uint8_t* v) {
    if (pos < size) {
        if (out) out[pos] = *v;
        if (in) *v = in[pos];
    }
    pos += 1;
}

void SavedWords::U32(uint32_t* v) {
    if (pos + 4 > size) {
        pos += 4;
        return;
    }
    if (out)
        for (int k = 0; k < 4; ++k) out[pos + size_t(k)] = uint8_t(*v >> (8 * k));
    if (in) *v = uint32_t(in[pos]) | uint32_t(in[pos + 1]) << 8 | uint32_t(in[pos + 2]) << 16 | uint32_t(in[pos + 3]) << 24;
    pos += 4;
}

void SavedWords::F32(float* v) {
    uint32_t u;
    std::memcpy(&u, v, 4);
    U32(&u);
    if (in) std::memcpy(v, &u, 4);
}

namespace {

// One walk over the fields for both directions; the bytes of a field group are padded to whole words.
void Walk(SavedWords& w, UnitShare* r) {
    for (AIUnitRecord& a : r->ai) {
        w.I32s(a.pos, 3);
        w.I32s(a.orient, 9);
        w.I32(&a.speed);
        w.I32(&a.unitNumber);
        uint8_t bytes[8] = {uint8_t(a.callSign), a.captureCandidate, a.aimPointSet, a.stealthEngaged, a.stealthWanted,
                            a.standBy, 0, 0};
        for (uint8_t& b : bytes) w.U8(&b);
        a.callSign = char(bytes[0]);
        a.captureCandidate = bytes[1];
        a.aimPointSet = bytes[2];
        a.stealthEngaged = bytes[3];
        a.stealthWanted = bytes[4];
        a.standBy = bytes[5];
        w.I32(&a.shield);
        w.I32(&a.structure);
        for (auto& group : a.weapon) {
            for (int k = 8; k <= 12; ++k) w.U32(&group[k]);
            w.U32(&group[20]);
            w.U32(&group[21]);
        }
    }
    uint8_t bytes[8] = {r->aimPointSet, r->aimPointFlag, r->sideStepping, r->waiting, r->stateFlag, r->driveMode,
                        r->beamFlag, 0};
    for (uint8_t& b : bytes) w.U8(&b);
    r->aimPointSet = bytes[0];
    r->aimPointFlag = bytes[1];
    r->sideStepping = bytes[2];
    r->waiting = bytes[3];
    r->stateFlag = bytes[4];
    r->driveMode = bytes[5];
    r->beamFlag = bytes[6];
    w.I32s(r->aimPoint, 3);
    w.I32s(r->velocity, 3);
    w.I32s(r->lastPos, 3);
    w.I32(&r->giveWayCountdown);
    w.I32(&r->lockToggleDelay);
    w.I32(&r->lockCountdown);
    w.I32(&r->locked);
    w.I32s(r->area, 4);
    w.I32(&r->status);
    w.I32(&r->shadeRate);
    w.I32(&r->fadeRate);
    w.I32(&r->targetParam);
    w.I32(&r->noiseRange);
    w.F32(&r->aimDivergence);
    w.F32(&r->aimWobble);
    w.I32(&r->wobbleCountdown);
    w.I32(&r->alertCountdown);
    w.I32s(r->alertPoint, 3);
    w.I32(&r->hitFlag);
    w.I32(&r->killCount);
}

}  // namespace

void PutUnitSaved(uint8_t* out, const UnitShare* rec) {
    std::memset(out, 0, kUnitSavedSize);
    UnitShare copy = *rec;  // the walk reads through a mutable record
    SavedWords w{out, nullptr, 0, kUnitSavedSize};
    Walk(w, &copy);
    if (w.pos != kUnitSavedSize) FatalError("Error(PutUnitSaved): the saved form's size is not kUnitSavedSize");
}

const char* CheckUnitSaved(const uint8_t* in) {
    UnitShare r{};
    SavedWords w{nullptr, in, 0, kUnitSavedSize};
    Walk(w, &r);
    // Places and areas are compared with and subtracted from positions: more than 16384 tiles from the
    // origin they would overflow.
    constexpr int32_t kFar = 1 << 30;
    auto near = [](const int32_t* v, int n) {
        for (int i = 0; i < n; ++i)
            if (v[i] < -kFar || v[i] > kFar) return false;
        return true;
    };
    if (!near(r.aimPoint, 3)) return "the aim point lies far outside the map";
    if (!near(r.lastPos, 3)) return "the last position lies far outside the map";
    if (!near(r.alertPoint, 3)) return "the alert point lies far outside the map";
    if (!near(r.area, 4)) return "the mission area lies far outside the map";
    // The countdowns run down to 0 and the kill count only grows: none is below 0 or at its end.
    const struct {
        int32_t value;
        const char* why;
    } counts[] = {{r.status, "the status word is negative"},
                  {r.giveWayCountdown, "the give-way countdown is negative"},
                  {r.lockToggleDelay, "the lock toggle delay is negative"},
                  {r.lockCountdown, "the lock countdown is negative"},
                  {r.wobbleCountdown, "the wobble countdown is negative"},
                  {r.alertCountdown, "the alert countdown is negative"},
                  {r.killCount, "the kill count is negative"}};
    for (const auto& c : counts)
        if (c.value < 0) return c.why;
    if (r.killCount == INT32_MAX) return "the kill count is at its end";
    // The aim's divergence and wobble are angles: a value that is no number, or beyond a few turns, would
    // not convert back to whole radians.
    for (float f : {r.aimDivergence, r.aimWobble})
        if (!(f >= -4.0f * 411774.0f && f <= 4.0f * 411774.0f)) return "the aim divergence or wobble is no angle";
    return nullptr;
}

void GetUnitSaved(UnitShare* rec, const uint8_t* in) {
    UnitShare src = *rec;
    SavedWords w{nullptr, in, 0, kUnitSavedSize};
    Walk(w, &src);
    // The missile count is the number of rockets chasing the unit now; each rocket gives and takes its
    // own reference (also when a load restores it), so a restore of the unit keeps the count.
    const int32_t missiles = rec->missileCount;
    CopyUnitState(rec, &src);
    rec->missileCount = missiles;
}

namespace {

struct SavedBlockCheckEntry {
    ItfcProc itfc;
    SavedBlockCheck check;
};
// One entry per type that installs a check (the vehicle types and the stored effects).
SavedBlockCheckEntry g_checks[96];

struct SavedBlockUnitsEntry {
    ItfcProc itfc;
    SavedBlockUnits list;
};
SavedBlockUnitsEntry g_units[16];

}  // namespace

void SetSavedBlockCheck(ItfcProc itfc, SavedBlockCheck check) {
    if (!itfc) return;
    SavedBlockCheckEntry* slot = nullptr;
    for (SavedBlockCheckEntry& e : g_checks) {
        if (e.itfc == itfc) {
            e.check = check;
            if (!check) e.itfc = nullptr;
            return;
        }
        if (!e.itfc && !slot) slot = &e;
    }
    if (!check) return;
    if (!slot) FatalError("Error(SetSavedBlockCheck): too many checks");
    *slot = {itfc, check};
}

const char* CheckSavedBlock(ItfcProc itfc, const uint8_t* block, size_t size) {
    if (!itfc) return nullptr;
    for (const SavedBlockCheckEntry& e : g_checks)
        if (e.itfc == itfc) return e.check(block, size);
    return nullptr;
}

void SetSavedBlockUnits(ItfcProc itfc, SavedBlockUnits list) {
    if (!itfc) return;
    SavedBlockUnitsEntry* slot = nullptr;
    for (SavedBlockUnitsEntry& e : g_units) {
        if (e.itfc == itfc) {
            e.list = list;
            if (!list) e.itfc = nullptr;
            return;
        }
        if (!e.itfc && !slot) slot = &e;
    }
    if (!list) return;
    if (!slot) FatalError("Error(SetSavedBlockUnits): too many listers");
    *slot = {itfc, list};
}

int SavedBlockUnitNames(ItfcProc itfc, const uint8_t* block, size_t size, SavedUnitName* out, int max) {
    if (!itfc || !out || max < 1) return 0;
    for (const SavedBlockUnitsEntry& e : g_units)
        if (e.itfc == itfc) {
            const int n = e.list(block, size, out, max);
            return n < 0 ? 0 : (n > max ? max : n);
        }
    return 0;
}

namespace {

struct SavedLookEntry {
    ItfcProc itfc;
    SavedLookFn look;
};
SavedLookEntry g_looks[16];

}  // namespace

void SetSavedLook(ItfcProc itfc, SavedLookFn look) {
    if (!itfc) return;
    SavedLookEntry* slot = nullptr;
    for (SavedLookEntry& e : g_looks) {
        if (e.itfc == itfc) {
            e.look = look;
            if (!look) e.itfc = nullptr;
            return;
        }
        if (!e.itfc && !slot) slot = &e;
    }
    if (!look) return;
    if (!slot) FatalError("Error(SetSavedLook): too many looks");
    *slot = {itfc, look};
}

const construct* SavedLook(construct* con, const uint8_t* block, size_t size) {
    if (!con || !con->itfc) return con;
    for (const SavedLookEntry& e : g_looks)
        if (e.itfc == con->itfc && e.look) return e.look(con, block, size);
    return con;
}
