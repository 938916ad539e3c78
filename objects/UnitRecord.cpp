// The unit record filled from the rules, freed, copied; velocity, target release, threat-list queries,
// ammunition and gauges, crosshairs, reference counts and the clearing of references to a unit that is
// gone.
#include "objects/UnitRecord.h"

#include <cstring>
#include <string>

#include "ai/UnitAI.h"
#include "core/Config.h"
#include "core/FixMath.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "objects/EffectTypes.h"
#include "objects/Itfc.h"
#include "objects/UnitRecord_local.h"
#include "objects/Units.h"
#include "platform/Bitmap.h"
#include "platform/Sound.h"
#include "platform/Texture.h"
#include "render/View.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/QZEvent.h"

namespace unitrec {

bool IsPlayerUnit(const construct* con) { return con && con == PlayerUnit; }

void PlayFX(FXSound which, const int32_t* point) {
    static const int32_t kZero[3] = {0, 0, 0};
    SoundDesc* desc = FX(which);
    if (!PlaySampleFor(desc, kSoundPositional, 0, 0)) return;
    int32_t at[3];
    if (point)
        dxgl_SetSoundPosition(desc, point, kZero, 0, 0);
    else if (SoundCameraPosition(at))
        dxgl_SetSoundPosition(desc, at, kZero, 0, 0);
}

void StopLockTargetSound() {
    SoundDesc* desc = FX(FXSound::LockTarget);
    if (desc->buffer && dxgl_IsSoundValid(desc->buffer) && dxgl_IsSoundPlaying(desc->buffer))
        dxgl_FreeSound(&desc->buffer);
}

int32_t LockToggleDelay() {
    uint32_t r = static_cast<uint32_t>(Random());
    return 50 + static_cast<int32_t>(r % 201);
}

}  // namespace unitrec

using namespace unitrec;

namespace {

const char* UnitName(const construct* con) { return con->unit && con->unit->name ? con->unit->name : ""; }

// A rule's value i, 0 when absent.
float Value(const Rule* r, int i) { return r && i < r->count && r->values ? r->values[i] : 0.0f; }

void TipFromRule(const construct* con, const char* key, float scale, int32_t out[3]) {
    const Rule* r = FindUnitRule(con->unit, "%s", key);
    for (int i = 0; i < 3; ++i) out[i] = TruncateToInt32(static_cast<double>(Value(r, i)) * scale);
}

int32_t WeaponSuit(const char* text) {
    if (text && std::strcmp(text, "ALL") == 0) return 0;
    if (text && std::strcmp(text, "GROUND") == 0) return 1;
    FatalError("Error(InitUnitShare): strange 'WeaponSuits'");
    return 0;
}

// Removes every entry of a threat list whose construct is gone; returns the new count.
int32_t DropThreats(ThreatEntry* list, int32_t count, const construct* gone) {
    if (!list) return 0;
    int32_t kept = 0;
    for (int32_t i = 0; i < count; ++i)
        if (list[i].con != gone) list[kept++] = list[i];
    return kept;
}

void ForgetInRecord(UnitShare* rec, const construct* gone) {
    if (rec->lockTarget == gone) {
        rec->lockTarget = nullptr;
        rec->lockCountdown = 150;
        rec->locked = 0;
    }
    if (rec->target == gone) {
        rec->target = nullptr;
        rec->targetCountdown = 0;
    }
    if (rec->recentHit == gone) {
        rec->recentHit = nullptr;
        rec->recentHitCountdown = 0;
    }
    if (rec->detect.con == gone) rec->detect.con = nullptr;
    rec->threatCount = DropThreats(rec->threats, rec->threatCount, gone);
    rec->prevThreatCount = DropThreats(rec->prevThreats, rec->prevThreatCount, gone);
    // The entry pointer follows the lock target into the compacted list.
    rec->lockEntry = nullptr;
    for (int32_t i = 0; rec->lockTarget && i < rec->threatCount; ++i)
        if (rec->threats[i].con == rec->lockTarget) rec->lockEntry = &rec->threats[i];
    for (AIUnitRecord& ai : rec->ai)
        if (ai.target && ai.target->con == gone) ai.target = nullptr;
}

}  // namespace

void InitUnitShare(construct* con, UnitShare* rec, float scale) {
    const Unit* unit = con->unit;
    // 1. Scale, tips, the inside view position, sight type.
    rec->scale = scale;
    TipFromRule(con, "RearTip", scale, rec->rearTip);
    TipFromRule(con, "ViewTip", scale, rec->viewTip);
    std::memcpy(rec->insidePos, con->pos, sizeof rec->insidePos);
    rec->sightType = kSightRadar;
    rec->sightRange = 0;
    // 2. Sight.
    if (const Rule* sight = FindUnitRule(unit, "SightRange")) {
        const char* kind = sight->info[0];
        if (kind && std::strcmp(kind, "BEAMSIGHT") == 0) {
            rec->sightType = kSightBeam;
        } else if (kind && std::strcmp(kind, "EYESIGHT") == 0) {
            if (sight->count > 0)
                FatalErrorF("Error(InitUnitShare, %s): no individual eyesight range supported", UnitName(con));
            rec->sightType = kSightEye;
            rec->sightRange = TruncateToInt32(Value(FindRule("eyesight_range"), 0));
        } else if (kind && std::strcmp(kind, "RADAR") == 0) {
            rec->sightRange = TruncateToInt32(Value(sight, 0));
        } else {
            FatalErrorF("Error(InitUnitShare, %s): uk sight type", UnitName(con));
        }
    }
    // 3. Engine noise.
    const Rule* noise = FindUnitRule(unit, "EngineNoise_range");
    if (!noise) noise = NamedRulef("EngineNoise_range");
    rec->noiseRange = TruncateToInt32(Value(noise, 0));
    // 4. Aim divergence by skill; a skill beyond the rule's values takes the nearest one.
    rec->aimDivergence = 0.0f;
    if (!(PlayerClan && con->clan == PlayerClan)) {
        const Rule* div = FindUnitRule(unit, "AimDivergence");
        if (!div) div = NamedRulef("AimDivergence");
        if (div->count > 0) {
            int skill = skill_level < 0 ? 0 : skill_level >= div->count ? div->count - 1 : skill_level;
            rec->aimDivergence = div->values[skill] * kDegreesTo1616;
        }
    }
    rec->aimWobble = 0.0f;
    rec->wobbleCountdown = 0;
    // 5. Strength; 6. weapon suits.
    rec->strength = TruncateToInt32(Value(FindUnitRule(unit, "strength"), 0));
    rec->weaponSuits[0] = rec->weaponSuits[1] = 0;
    if (const Rule* suits = FindUnitRule(unit, "WeaponSuits")) {
        rec->weaponSuits[0] = WeaponSuit(suits->info[0]);
        rec->weaponSuits[1] = WeaponSuit(suits->info[1]);
    }
    // 7. Locking and targets.
    rec->lockTarget = nullptr;
    rec->lockEntry = nullptr;
    rec->lockToggleDelay = 0;
    rec->lockCapability[0] = rec->lockCapability[1] = 0;
    rec->lockCountdown = 150;
    rec->locked = 0;
    rec->targetedBy = rec->missileCount = 0;
    rec->aimPointSet = rec->aimPointFlag = 0;
    rec->status = 0;
    rec->target = nullptr;
    rec->targetParam = 0;
    // 8. Threat lists for a unit that sees.
    FreeUnitThreatLists(rec);  // a record placed again without its release gives its old lists back
    if (rec->sightType != 0 || rec->sightRange != 0) AllocUnitThreatLists(rec, kUnitThreatCapacity);
    // 9. Alert, velocity, the give-way bytes, action units.
    rec->alertCountdown = 0;
    std::memset(rec->velocity, 0, sizeof rec->velocity);
    std::memcpy(rec->lastPos, con->pos, sizeof rec->lastPos);
    rec->displayWord = 0;
    rec->hitFlag = 0;
    rec->crosshair = nullptr;
    rec->sideStepping = rec->waiting = 0;
    rec->actionAUCount = 0;
    qzFree(rec->actionAUs);
    rec->actionAUs = nullptr;
    // 10. Action units named by "ActionAU_0".."ActionAU_9".
    if (FindUnitRule(unit, "ActionAU_0")) {
        rec->actionAUs = static_cast<AUDef**>(qzAlloc(kMaxActionAUs * int(sizeof(AUDef*)), "ActionAU"));
        for (int i = 0; i < kMaxActionAUs; ++i) {
            const Rule* r = FindUnitRule(unit, "ActionAU_%d", i);
            if (!r) break;
            AUDef* au = r->info[0] ? NamedAUDef(r->info[0]) : nullptr;
            if (!au) FatalError("Error(InitUnitShare): Unknown name of action AU");
            rec->actionAUs[rec->actionAUCount++] = au;
        }
    }
    // 11. Flags, rates, AI records, the kill count, autopilot, the mission area.
    rec->stateFlag = rec->driveMode = 0;
    rec->beamFlag = rec->beamLit = rec->byte7 = 0;
    rec->shadeRate = rec->fadeRate = 0;
    std::memset(rec->ai, 0, sizeof rec->ai);
    std::memset(rec->beamPoint, 0, sizeof rec->beamPoint);
    std::memset(rec->inThreatList, 0, sizeof rec->inThreatList);
    rec->recentHitCountdown = 0;
    rec->recentHit = nullptr;
    rec->killCount = 0;
    rec->autopilot = 0;
    if (const Clan* clan = con->clan) {
        rec->area[0] = clan->area[0];  // minimum x
        rec->area[1] = clan->area[2];  // minimum z
        rec->area[2] = clan->area[1];  // maximum x
        rec->area[3] = clan->area[3];  // maximum z
    }
}

void FreeUnitShareData(construct* con, UnitShare* rec) {
    if (!rec) return;
    FreeUnitThreatLists(rec);
    qzFree(rec->actionAUs);
    rec->actionAUs = nullptr;
    rec->actionAUCount = 0;
    ReleaseUnitRef(rec->lockTarget);
    rec->lockTarget = nullptr;
    rec->lockEntry = nullptr;
    if (con) ForgetUnitReferences(con);
}

void CopyUnitState(UnitShare* dst, const UnitShare* src) {
    for (int k = 0; k < 3; ++k) CopyAIUnitRecord(&dst->ai[k], &src->ai[k]);
    dst->aimPointSet = src->aimPointSet;
    dst->aimPointFlag = src->aimPointFlag;
    std::memcpy(dst->aimPoint, src->aimPoint, sizeof dst->aimPoint);
    std::memcpy(dst->velocity, src->velocity, sizeof dst->velocity);
    std::memcpy(dst->lastPos, src->lastPos, sizeof dst->lastPos);
    dst->giveWayCountdown = src->giveWayCountdown;
    dst->sideStepping = src->sideStepping;
    dst->waiting = src->waiting;
    dst->lockToggleDelay = src->lockToggleDelay;
    dst->lockCountdown = src->lockCountdown;
    dst->locked = src->locked;
    dst->stateFlag = src->stateFlag;
    dst->driveMode = src->driveMode;
    std::memcpy(dst->area, src->area, sizeof dst->area);
    dst->status = src->status;
    dst->shadeRate = src->shadeRate;
    dst->fadeRate = src->fadeRate;
    dst->beamFlag = src->beamFlag;
    dst->targetParam = src->targetParam;
    dst->noiseRange = src->noiseRange;
    dst->aimDivergence = src->aimDivergence;
    dst->aimWobble = src->aimWobble;
    dst->wobbleCountdown = src->wobbleCountdown;
    dst->alertCountdown = src->alertCountdown;
    std::memcpy(dst->alertPoint, src->alertPoint, sizeof dst->alertPoint);
    dst->hitFlag = src->hitFlag;
    dst->killCount = src->killCount;
    // A copy starts without targets of its own.
    dst->lockTarget = nullptr;
    dst->lockEntry = nullptr;
    dst->targetedBy = dst->missileCount = 0;
    dst->prevThreatCount = 0;
    dst->recentHitCountdown = 0;
    dst->recentHit = nullptr;
    dst->target = nullptr;
    dst->targetCountdown = 0;
    // The owned parts (fragments, shards) rest again. A copy taken while the busy pools are walked (a
    // replayed keyframe restores its unit from inside that walk) defers it to the construct events.
    for (int i = 0; i < dst->owned.count; ++i)
        if (construct* c = dst->owned.list[i]) {
            if (BuzyGuard) {
                CreateQZEvent(QZEventKind::UnBuzy, c);
                CreateQZEvent(QZEventKind::Deactivate, c);
            } else {
                UnMakeBuzy(c);
                DeactivateConstruct(c);
            }
        }
}

void UpdateConstructVelocity(construct* con, UnitShare* rec) {
    const int shift = con->busyLevel;
    for (int i = 0; i < 3; ++i) {
        rec->velocity[i] = (con->pos[i] - rec->lastPos[i]) >> shift;
        rec->lastPos[i] = con->pos[i];
    }
}

void ReleaseUnitTarget(construct* con, UnitShare* rec, uint8_t* result) {
    if (result) *result = 0;
    if (!rec || !rec->target) return;
    construct* target = rec->target;
    const bool kept = con->clan && ThreatListHolds(target, con->clan) && (target->flags & 0x8);
    if (!kept) {
        SetUnitAimPoint(con, nullptr, 0);
        PostUnitMessage(con->clan, kMsgTargetReleased, 0, con, target);
        rec->target = nullptr;
        rec->detect.con = nullptr;
    }
    if (result) *result = 255;
}

int ThreatListHasClan(construct*, UnitShare* rec, const Clan* clan) {
    if (!rec || !clan) return 0;
    for (int32_t i = 0; i < rec->threatCount; ++i)
        if (rec->threats[i].con && rec->threats[i].con->clan == clan) return 1;
    return 0;
}

int32_t GetUnitAmmo(construct* con, int group) {
    if (!con || group < 0 || group > 1) return 0;
    AIUnitRecord scratch{};
    if (CallItfc(con, ItfcMethod::UPDATEAIUNIT, reinterpret_cast<uintptr_t>(&scratch)) != 1) return 0;
    if (!scratch.weaponPresent[group]) return 0;
    return static_cast<int32_t>(scratch.weapon[group][kAIWeaponAmmoWord]);
}

int32_t GetUnitWeaponGauge(construct* con, int group) {
    UnitShare* rec = GetUnitShare(con);
    if (!rec || group < 0 || group > 1) return 0;
    const int own = con->clan ? ClanIndex(con->clan) : 0;
    if (own < 0 || own > 2) return 0;
    const AIUnitRecord& ai = rec->ai[own];
    if (!ai.weaponPresent[group]) return 0;
    float gauge;
    std::memcpy(&gauge, &ai.weapon[group][kAIWeaponGaugeWord], sizeof gauge);
    return static_cast<int32_t>(gauge);
}

void DrawAimPointLine(construct* con) {
    UnitShare* rec = GetUnitShare(con);
    if (rec && rec->aimPointSet) DrawSegment3D(con->pos, rec->aimPoint);
}

void* LoadCrosshairs(construct* con) {
    UnitShare* rec = GetUnitShare(con);
    if (!rec) return nullptr;
    if (rec->crosshair) FatalError("Error: xhairs bitmap not released");
    const char* type = reinterpret_cast<const char*>(CallItfc(con, ItfcMethod::GETNAME));
    const std::string path = std::string(BITMAPROOT) + kPathSeparator + (type ? type : "") + "_xh";
    rec->crosshair = LoadBitmapTexture(path.c_str());
    return rec->crosshair;
}

void FreeCrosshairs(construct* con) {
    UnitShare* rec = GetUnitShare(con);
    if (!rec || !rec->crosshair) return;
    dxgl_ReleaseSurface(static_cast<host::GfxSurface*>(rec->crosshair));
    rec->crosshair = nullptr;
}

void AddUnitRef(construct* con) {
    UnitShare* rec = GetUnitShare(con);
    if (!rec) return;
    if (rec->targetedBy++ == 0 && IsPlayerUnit(con)) PlayFX(FXSound::FocusWarn, nullptr);
}

void ReleaseUnitRef(construct* con) {
    UnitShare* rec = GetUnitShare(con);
    if (rec && rec->targetedBy > 0) --rec->targetedBy;
}

void AddMissileRef(construct* con) {
    UnitShare* rec = GetUnitShare(con);
    if (!rec) return;
    if (rec->missileCount++ == 0 && IsPlayerUnit(con)) PlayFX(FXSound::MissileWarn, nullptr);
}

void ReleaseMissileRef(construct* con) {
    UnitShare* rec = GetUnitShare(con);
    if (rec && rec->missileCount > 0) --rec->missileCount;
}

namespace {

// Takes the construct out of the hit slots, the later slots (with their contact points) moving down: the
// tick reads the slots up to the first empty one, so a gap would hide the hits behind it.
void DropHitsOf(construct* c, const construct* gone) {
    int kept = 0;
    for (int s = 0; s < 4; ++s) {
        if (c->hits[s] == gone) continue;
        if (kept != s) {
            c->hits[kept] = c->hits[s];
            std::memcpy(c->hitPoints[kept], c->hitPoints[s], sizeof c->hitPoints[kept]);
        }
        ++kept;
    }
    for (; kept < 4; ++kept) c->hits[kept] = nullptr;
}

}  // namespace

void ForgetUnitReferences(construct* gone) {
    if (!gone) return;
    for (int p = 0; p < ConstructPoolCount; ++p) {
        ConstructPool* pool = ConstructPoolTable[p];
        for (int i = 0; i < pool->count; ++i) {
            construct* c = pool->constructs[i];
            if (!c || c == gone) continue;
            if (c->owner == gone) c->owner = nullptr;
            DropHitsOf(c, gone);
            // Units and buildings (constructs of a units-file entry) carry a record; scenery and
            // lanterns never do and are not asked.
            if (c->unit && c->itfc && !(c->unit->klass & (kKlassScenery | kKlassLantern)))
                if (UnitShare* rec = GetUnitShare(c)) ForgetInRecord(rec, gone);
        }
    }
    for (int k = 0; k < ClanCount; ++k)
        if (Clan* clan = ClanTable[k]) {
            const int32_t before = clan->threatCount;
            clan->threatCount = DropThreats(clan->threats, clan->threatCount, gone);
            // The clan's AI keeps a threat until it is told that the threat left, as when an entry runs
            // out: without the message it would go on engaging the dead unit.
            if (clan->threatCount != before) {
                PostUnitMessage(clan, kMsgThreatLeft, 0, gone, nullptr);
                if (UnitShare* rec = GetUnitShare(gone)) rec->inThreatList[k] = 0;
            }
        }
    if (ReloadUnit == gone) ReloadUnit = nullptr;
    if (NearestRadioactive == gone) NearestRadioactive = nullptr;
    // Shield flashes on it end, rockets homing on it fly on straight.
    ForgetEffectReferences(gone);
}
