// The unit record's services that the AI relies on: the per-clan AI records, targets and aim points,
// threat lists, detection and alert data, and the stealth flags with their AI messages.
#include "objects/UnitShare.h"
#include "objects/Units.h"

#include <cstring>

#include "ai/UnitAI.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "objects/Itfc.h"
#include "world/Construct.h"

namespace {

constexpr int32_t kAlertCountdown = 500;

bool InList(const ThreatEntry* list, int count, const construct* con) {
    for (int i = 0; i < count; ++i)
        if (list[i].con == con) return true;
    return false;
}

}  // namespace

UnitShare* GetUnitShare(construct* con) {
    if (!con || !con->itfc) return nullptr;
    return reinterpret_cast<UnitShare*>(CallItfc(con, ItfcMethod::GETUNIT));
}

void CreateUnitAIRecords(construct* con, int announce) {
    UnitShare* rec = GetUnitShare(con);
    if (!rec) return;
    for (int k = 0; k < 3; ++k) aistubs_CreateAIUnit(&rec->ai[k], con);
    if (announce && con->clan)
        PostUnitMessage(con->clan, kMsgUnitJoins, reinterpret_cast<intptr_t>(UnitNameOf(con)), con, nullptr);
}

UnitShare* GetUnitAIInfo(construct* con, UnitAIInfo* info, construct** target, construct** lockTarget) {
    UnitShare* rec = GetUnitShare(con);
    if (!rec) return nullptr;
    const bool stealth = rec->stateFlag && !(KlassOf(con) & kKlassAirplane);
    info->sightType = rec->sightType;
    info->sightRange = rec->sightRange;
    info->noiseRange = stealth ? 0 : rec->noiseRange;  // an aircraft's engine is heard whatever its flag
    info->sensorPoint = rec->insidePos;
    info->sensorOrient = rec->insideOrient;
    info->stealth = stealth ? 1 : 0;
    info->beamFlag = rec->beamFlag;
    info->beamLit = rec->beamLit;
    std::memcpy(info->beamPoint, rec->beamPoint, sizeof info->beamPoint);
    info->recentHit = rec->recentHitCountdown > 0 ? rec->recentHit : nullptr;
    if (target) *target = rec->target;
    if (lockTarget) *lockTarget = rec->lockTarget;
    return rec;
}

int32_t* GetUnitVelocity(construct* con) {
    UnitShare* rec = GetUnitShare(con);
    return rec ? rec->velocity : nullptr;
}

UnitShare* SetUnitTarget(construct* con, construct* target, int32_t param, int32_t countdown) {
    UnitShare* rec = GetUnitShare(con);
    if (!rec) return nullptr;
    if (target && target != rec->target) {
        rec->targetCountdown = countdown;
        rec->aimWobble = rec->aimDivergence;
    }
    rec->target = target;
    rec->targetParam = param;
    rec->detect.flags = kThreatNewTarget;
    rec->detect.con = nullptr;
    return rec;
}

construct* GetUnitTarget(construct* con) {
    UnitShare* rec = GetUnitShare(con);
    return rec ? rec->target : nullptr;
}

construct* GetUnitLockTarget(construct* con) {
    UnitShare* rec = GetUnitShare(con);
    return rec ? rec->lockTarget : nullptr;
}

void SetUnitAimPoint(construct* con, const int32_t* point, uint8_t flag) {
    UnitShare* rec = GetUnitShare(con);
    if (!rec) return;
    if (point) {
        std::memcpy(rec->aimPoint, point, sizeof rec->aimPoint);
        rec->aimPointSet = 1;
        rec->aimPointFlag = flag;
        return;
    }
    rec->aimPointSet = 0;
    Rule* replay = FindRule("recordreplay_active");
    if (!(replay && replay->count > 0 && replay->values[0] != 0.0f))
        PostUnitMessage(con->clan, kMsgAimPointDone, 0, con, nullptr);
}

void SetUnitDetectInfo(construct* con, const ThreatEntry* info) {
    if (UnitShare* rec = GetUnitShare(con)) rec->detect = *info;
}

void SetUnitAlertPoint(construct* con, const int32_t point[3]) {
    UnitShare* rec = GetUnitShare(con);
    if (!rec) return;
    std::memcpy(rec->alertPoint, point, sizeof rec->alertPoint);
    rec->alertCountdown = kAlertCountdown;
}

void SetUnitStateFlag(construct* con, UnitShare* rec, uint8_t value) {
    if (!rec || rec->stateFlag == value) return;
    rec->stateFlag = value;
    PostUnitMessage(con->clan, value ? kMsgStealthOn : kMsgStealthOff, 0, con, nullptr);
}

void SetUnitDriveMode(construct* con, uint8_t value) {
    if (UnitShare* rec = GetUnitShare(con)) rec->driveMode = value;
}

uint8_t GetUnitStateFlag(construct* con) {
    UnitShare* rec = GetUnitShare(con);
    return rec ? rec->stateFlag : 0;
}

uint8_t GetUnitDriveMode(construct* con) {
    UnitShare* rec = GetUnitShare(con);
    return rec ? rec->driveMode : 0;
}

void AllocUnitThreatLists(UnitShare* rec, int capacity) {
    FreeUnitThreatLists(rec);
    rec->threatCapacity = capacity;
    rec->threats = static_cast<ThreatEntry*>(qzAlloc(capacity * int(sizeof(ThreatEntry)), "threat list"));
    rec->prevThreats = static_cast<ThreatEntry*>(qzAlloc(capacity * int(sizeof(ThreatEntry)), "threat list0"));
    rec->threatCount = 0;
    rec->prevThreatCount = 0;
}

void FreeUnitThreatLists(UnitShare* rec) {
    qzFree(rec->threats);
    qzFree(rec->prevThreats);
    rec->threats = nullptr;
    rec->prevThreats = nullptr;
    rec->threatCapacity = rec->threatCount = rec->prevThreatCount = 0;
}

int AddThreat(construct* con, const ThreatEntry* entry) {
    UnitShare* rec = GetUnitShare(con);
    if (!rec || !rec->threats) return 0;
    Clan* own = con->clan;
    Clan* theirs = entry->con ? entry->con->clan : nullptr;
    if (own && theirs && own->hostility[theirs->index] == kHostile) {
        if (!InList(rec->prevThreats, rec->prevThreatCount, entry->con))
            PostUnitMessage(con->clan, kMsgHostileDetected, 0, con, entry->con);
        if (rec->prevThreatCount == 0) PostUnitMessage(con->clan, kMsgFirstHostile, 0, con, entry->con);
    }
    if (rec->threatCount >= rec->threatCapacity) {
        // Both lists grow together: the current list becomes the previous one at the next pass.
        int capacity = rec->threatCapacity * 2;
        auto* cur = static_cast<ThreatEntry*>(qzAlloc(capacity * int(sizeof(ThreatEntry)), "threat list"));
        auto* prev = static_cast<ThreatEntry*>(qzAlloc(capacity * int(sizeof(ThreatEntry)), "threat list0"));
        std::memcpy(cur, rec->threats, size_t(rec->threatCount) * sizeof(ThreatEntry));
        std::memcpy(prev, rec->prevThreats, size_t(rec->prevThreatCount) * sizeof(ThreatEntry));
        qzFree(rec->threats);
        qzFree(rec->prevThreats);
        rec->threats = cur;
        rec->prevThreats = prev;
        rec->threatCapacity = capacity;
    }
    rec->threats[rec->threatCount++] = *entry;
    return 1;
}

void SnapshotThreatList(construct* con) {
    UnitShare* rec = GetUnitShare(con);
    if (!rec || !rec->threats) return;
    std::memcpy(rec->prevThreats, rec->threats, size_t(rec->threatCount) * sizeof(ThreatEntry));
    rec->prevThreatCount = rec->threatCount;
    rec->threatCount = 0;
}

int GetThreatList(construct* con, ThreatEntry** out) {
    UnitShare* rec = GetUnitShare(con);
    if (!rec) {
        if (out) *out = nullptr;
        return 0;
    }
    if (out) *out = rec->threats;
    return rec->threatCount;
}
