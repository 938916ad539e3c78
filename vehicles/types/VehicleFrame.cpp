// The steps that every vehicle type runs the same way (see VehicleFrame.h).
#include "vehicles/types/VehicleFrame.h"

#include <cstdio>
#include <cstring>

#include "ai/Clan.h"
#include "ai/RecordReplay.h"
#include "core/Config.h"
#include "core/Fix3D.h"
#include "core/FixMath.h"
#include "core/Memory.h"
#include "core/Package.h"
#include "core/Rules.h"
#include "objects/ConstructRes.h"
#include "objects/SharedPools.h"
#include "objects/UnitRecord.h"
#include "objects/UnitSaved.h"
#include "objects/UnitServices.h"
#include "objects/UnitTick.h"
#include "objects/Units.h"
#include "platform/DxError.h"
#include "vehicles/modules/SensorTip.h"
#include "vehicles/modules/UnitLighting.h"
#include "vehicles/modules/WeaponTurret.h"
#include "vehicles/modules/WheelDrive.h"
#include "vehicles/types/DeadBody.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Geom.h"
#include "world/Level.h"
#include "world/QZEvent.h"
#include "world/Terrain.h"
#include "world/TickCounter.h"

namespace {

float RuleValue(const Rule* r, int i) { return r && i < r->count ? r->values[i] : 0.0f; }

const char* UnitName(const construct* con) { return con->unit && con->unit->name ? con->unit->name : "?"; }

// "<directory>\deadbody": the wreck of the units of that directory.
void WreckPath(char* out, size_t size, const char* directory) {
    std::snprintf(out, size, "%s%cdeadbody", directory, kPathSeparator);
}

}  // namespace

int32_t* BBoardLevelWord(bboard* board) { return board ? &board->time : nullptr; }

int32_t* NamedBBoardLevel(const construct* con, const char* name) { return BBoardLevelWord(NamedBBoard(con, name)); }

construct* VehicleCreateConstruct(Unit* entry, ItfcProc itfc, int subSlots, uint32_t flags) {
    construct* con = CreateConstruct(subSlots, flags);
    con->unit = entry;
    con->itfc = itfc;
    return con;
}

void* VehicleAllocBlock(construct* con, int size, const char* directory) {
    auto* block = static_cast<char*>(AllocItfcData(con, size));
    std::snprintf(block + size - kVehicleDirectorySize, kVehicleDirectorySize, "%s", directory ? directory : "");
    return block;
}

const char* VehicleDirectory(const construct* con, int size) {
    return static_cast<const char*>(con->itfcData) + size - kVehicleDirectorySize;
}

void VehicleLoadBody(construct* con, float scale, const char* directory, const char* bodyName, bool shadow) {
    Geom* body = LoadGeom(scale, directory, bodyName, nullptr);
    AllocBSpheres(con);
    AllocBBoards(con, 0);
    AllocSpots(con);
    SetConstructGeoms(con, body, body, body, body);
    if (shadow) SetConstructShadowGeom(con, LoadGeom(scale, directory, "shad", nullptr));
}

construct* VehicleLoadPart(construct* body, float scale, const char* directory, const char* name, int followPhase) {
    Geom* g = LoadGeom(scale, directory, name, nullptr);
    construct* part = CreateConstruct(0, 2);
    AllocBBoards(part, followPhase);
    SetConstructGeoms(part, g, g, g, g);
    AppendSubConstruct(body, nullptr, nullptr, part, kPartJoint);
    return part;
}

construct* VehicleLoadPartOn(construct* body, construct* parent, float scale, const char* directory, const char* name,
                             int followPhase) {
    Geom* g = LoadGeom(scale, directory, name, nullptr);
    construct* part = CreateConstruct(0, 2);
    AllocBBoards(part, followPhase);
    SetConstructGeoms(part, g, g, g, g);
    const Geom* on = parent ? parent->lod[0] : nullptr;
    AppendSubConstruct(body, parent, on ? on->anchor : nullptr, part, kPartJoint);
    return part;
}

construct* VehicleLoadFreePart(float scale, const char* directory, const char* name) {
    Geom* g = LoadGeom(scale, directory, name, nullptr);
    construct* part = CreateConstruct(0, 2);
    AllocBBoards(part, 0);
    SetConstructGeoms(part, g, g, g, g);
    return part;
}

construct* VehicleLoadCockpit(construct* con) {
    const Rule* r = NamedUnitRule(con->unit, "CockpitModel");
    if (!r->info[0]) FatalErrorF("Error(%s_itfc): rule CockpitModel names no model", UnitName(con));
    Geom* g = LoadGeom(RuleValue(r, 0), r->info[0], "", nullptr);
    construct* cockpit = CreateConstruct(0, 2);
    AllocBBoards(cockpit, 0);
    SetConstructGeoms(cockpit, g, g, g, g);
    return cockpit;
}

void VehicleSetBox(construct* con, float scale) {
    const Rule* r = NamedUnitRule(con->unit, "bcube");
    int32_t c[6];
    for (int i = 0; i < 6; ++i) c[i] = TruncateToInt32(RuleValue(r, i) * scale * 0.25f);
    // Corners 0..7 from (x1, y1, z1) and (x2, y2, z2): the lower four are 0, 3, 4 and 7.
    const int32_t xs[8] = {c[0], c[0], c[3], c[3], c[0], c[0], c[3], c[3]};
    const int32_t ys[8] = {c[1], c[4], c[4], c[1], c[1], c[4], c[4], c[1]};
    const int32_t zs[8] = {c[2], c[2], c[2], c[2], c[5], c[5], c[5], c[5]};
    for (int i = 0; i < 8; ++i) {
        con->box.corners[i][0] = xs[i];
        con->box.corners[i][1] = ys[i];
        con->box.corners[i][2] = zs[i];
    }
    for (int k = 0; k < 3; ++k) con->sphere.centre[k] = (c[k] + c[k + 3]) >> 1;
    con->sphere.radius = TruncateToInt32(RuleValue(NamedUnitRule(con->unit, "BsphereRadius"), 0));
    con->sampleCornerCount = 4;
    const uint8_t probes[4] = {0, 3, 4, 7};
    std::memcpy(con->sampleCorners, probes, sizeof probes);
}

void VehiclePreloadWreck(construct* con, const char* directory) { PreloadDeadBody(con->unit, directory); }

float VehicleScale(const construct* con) { return RuleValue(NamedUnitRule(con->unit, "scale"), 0); }

float VehiclePlaceHead(construct* con, VehicleHead* head, const PlacementRecord* place) {
    VehicleCheckImpact(con);
    VehicleBeginPlace(con, 0);
    VehiclePlaceBody(con, place, true);
    const float scale = VehicleScale(con);
    AddToTypePools(con);
    InitUnitShare(con, &head->unit, scale);
    std::memset(head->look, 0, sizeof head->look);
    head->stealthMode = 0;
    head->dead = 0;
    VehicleReadCombatRules(con, head, place);
    VehicleFindWarnings(head);
    return scale;
}

void VehicleBeginPlace(construct* con, uintptr_t arg) {
    (void)arg;
    if (con->flags & kConstructPlaced)
        CallItfc(con, ItfcMethod::UNPLACE, reinterpret_cast<uintptr_t>(con->pos));
    con->flags |= kConstructPlaced;
}

void VehiclePlaceBody(construct* con, const PlacementRecord* place, bool onGround) {
    con->pos[0] = place->x;
    con->pos[1] = place->y;
    con->pos[2] = place->z;
    if (onGround && CurrentMatrix) con->pos[1] = GroundHeight(CurrentMatrix, con->pos, 0, 0, nullptr);
    const int32_t angles[3] = {kQuarterTurn, place->heading, 0};
    FixMatrix m;
    MatrixFromEuler(&m, angles);
    std::memcpy(con->orient, m.m, sizeof m.m);
    con->collisionClass = 255;
}

void VehicleCheckImpact(const construct* con) {
    // The push of every hit divides by the physical impact byte: a rule that gives no byte above 0
    // (0, a fraction, a negative value, or 256 and more, which a byte would wrap) is refused.
    const float physical = RuleValue(NamedUnitRule(con->unit, "impactphysical"), 0);
    const int32_t value = TruncateToInt32(physical);
    if (value < 1 || value > 255)
        FatalErrorF("Error(%s_itfc): unit '%s' has impactphysical %g; it must lie within 1..255",
                    ItfcName(con->itfc), UnitName(con), static_cast<double>(physical));
}

void VehicleReadCombatRules(construct* con, VehicleHead* head, const PlacementRecord* place) {
    VehicleCheckImpact(con);
    head->impact.physical =
        static_cast<uint8_t>(TruncateToInt32(RuleValue(NamedUnitRule(con->unit, "impactphysical"), 0)));
    head->impact.shield = static_cast<uint8_t>(TruncateToInt32(RuleValue(NamedUnitRule(con->unit, "impactshield"), 0)));
    head->impact.structure =
        static_cast<uint8_t>(TruncateToInt32(RuleValue(NamedUnitRule(con->unit, "impactstructure"), 0)));
    const float strength = static_cast<float>(place->strength);
    head->state.shield = TruncateToInt32(RuleValue(NamedUnitRule(con->unit, "shield"), 0) * strength * 0.01f);
    head->state.energy = TruncateToInt32(RuleValue(NamedUnitRule(con->unit, "energy"), 0) * strength * 0.01f);
    head->state.structure = TruncateToInt32(RuleValue(NamedUnitRule(con->unit, "structure"), 0));
    head->maxima = {head->state.shield, head->state.structure, head->state.energy};
    head->recovery[0] = 3;
    head->recovery[1] = 0;
    head->recovery[2] = 0;
}

void VehicleFindWarnings(VehicleHead* head) {
    head->missileWarning = NamedBBoardLevel(head->cockpit, "warn_missile");
    head->lockWarning = NamedBBoardLevel(head->cockpit, "warn_lock");
}

int VehicleBusyLevel(const construct* con) {
    (void)con;
    return RecordReplayActive || MultiplayerOn ? 0 : 1;
}

void VehicleMakeBusy(construct* con) {
    CreateQZEvent(VehicleBusyLevel(con), con);
    ActivateConstruct(con);
}

void VehicleEndUnplace(construct* con) {
    RemoveFromTypePools(con);
    CreateQZEvent(QZEventKind::UnBuzy, con);
    DeactivateConstruct(con);
    con->flags &= ~kConstructPlaced;
}

void VehicleDestroy(construct* con, VehicleHead* head) {
    if (con->flags & kConstructPlaced) FatalError("remove first");
    // A reload point stays in "reload" while only unplaced; freed, it must leave it.
    RemoveDestroyedFromTypePools(con);
    FreeConstruct(head->cockpit);
    head->cockpit = nullptr;
    DestroySubConstructs(&head->unit.owned);
    ForgetQZEventsOf(con);
    FreeConstruct(con);
}

int VehicleApplyHits(construct* con, VehicleHead* head, int pushShift) {
    UnitShare* rec = &head->unit;
    const int k = con->busyLevel;
    int jolts = 0;
    for (int slot = 0; slot < 4 && con->hits[slot]; ++slot) {
        construct* h = con->hits[slot];
        const int32_t* p = con->hitPoints[slot];
        static const DamageRecord kNoDamage{};
        const auto* d = reinterpret_cast<const DamageRecord*>(CallItfc(h, ItfcMethod::GETDAMAGE));
        if (!d) d = &kNoDamage;
        const auto* s = reinterpret_cast<const StateRecord*>(CallItfc(h, ItfcMethod::GETSTATE));
        SpawnPooledEffect(con, &head->state, s, p);

        // Pushed away from the hit point, horizontally, by the hitter's physical impact over the own one.
        const FixVec away{con->pos[0] - p[0], con->pos[1] - p[1], con->pos[2] - p[2]};
        FixVec dir{0, 0, 0};
        NormaliseF(&dir, &away);
        const int32_t q =
            head->impact.physical ? (static_cast<int32_t>(d->physical) * 256) / head->impact.physical : 0;
        con->pos[0] += static_cast<int32_t>((static_cast<int64_t>(q) * dir.x) >> pushShift);
        con->pos[2] += static_cast<int32_t>((static_cast<int64_t>(q) * dir.z) >> pushShift);
        if (d->physical > 5) ++jolts;

        if (!SameClan(h->clan, con->clan)) {
            if (!RecordReplayActive && q - 30 > 0) rec->status = (q - 30) >> k;
            const int32_t r = ApplyHitToUnit(con, slot, &head->state, d);
            const int32_t push[3] = {dir.x, dir.y, dir.z};
            if (r != 0) SpawnDebris(con, slot, &head->state, push, r, 0);
        } else if (UnitShare* other = GetUnitShare(h)) {
            GiveWayBetweenUnits(con, rec, h, other);
        }
        if (h->flags & kConHittable) CallItfc(h, ItfcMethod::HIT, reinterpret_cast<uintptr_t>(con));
        con->hits[slot] = nullptr;
    }
    return jolts;
}

void VehicleCountdowns(VehicleHead* head, int k) {
    UnitShare* rec = &head->unit;
    // Both run down to 0 and stay there; computed so that no value can step past the end of its range.
    rec->status = rec->status > 0 ? rec->status - 1 : 0;
    const int32_t step = 1 << k;
    rec->giveWayCountdown = rec->giveWayCountdown > step ? rec->giveWayCountdown - step : 0;
}

void VehicleRecover(VehicleHead* head) {
    if ((FrameCounter & 127) != 0) return;
    AddVecClamped(nullptr, &head->state.shield, &head->maxima.shield, head->recovery);
}

bool VehicleStealthToggle(construct* con, VehicleHead* head, const TickInput* in, int throttleHeld) {
    const bool pressed =
        InputKeyDown(in->records[1], kKeyStealth) && !InputKeyDown(in->records[0], kKeyStealth);
    if (!pressed && !(head->stealthMode && throttleHeld)) return false;
    head->stealthMode = head->stealthMode ? 0 : 1;
    SetUnitDriveMode(con, static_cast<uint8_t>(head->stealthMode));
    return true;
}

void VehicleDieDebris(construct* con, VehicleHead* head) {
    UnitShare* rec = &head->unit;
    if (rec->lockTarget) {
        ReleaseUnitRef(rec->lockTarget);
        rec->lockTarget = nullptr;
        rec->lockEntry = nullptr;
    }
    const float spin[3] = {static_cast<float>(Random() >> 21), static_cast<float>(Random() >> 21),
                           static_cast<float>(Random() >> 21)};
    // The owned pieces fly mostly upward; the fragments with the rule's third value sideways and its
    // fourth upward.
    const float up[3] = {1.0f, 16.0f, 1.0f};
    LaunchParts(con, rec->owned.count, rec->owned.list, up, spin);
    if (const Rule* frags = FindUnitRule(con->unit, "frags")) {
        const float factor[3] = {RuleValue(frags, 2), RuleValue(frags, 3), RuleValue(frags, 2)};
        SpawnFrags(con, frags->info[0], TruncateToInt32(RuleValue(frags, 0)), TruncateToInt32(RuleValue(frags, 1)),
                   factor, spin);
    }
    NotifyUnitDestroyed(con, rec);
    CreateQZEvent(QZEventKind::UnBuzy, con);
    DeactivateConstruct(con);
}

void VehicleLeaveWreck(construct* con, const char* directory) {
    char path[300];
    WreckPath(path, sizeof path, directory);
    if (!qzpk_exists(path)) {
        // No wreck for this directory: the unit itself burns where it stands.
        ResetSpots(con);
        UpdateSpotEffects(con);
        return;
    }
    // With the file but a full dead-body pool, nothing is left.
    LeaveDeadBody(con, directory);
}

void VehiclePlacePart(const construct* body, construct* part, int32_t yaw, int32_t pitch, int32_t raise) {
    const FixMatrix* bodyM = reinterpret_cast<const FixMatrix*>(body->orient);
    FixMatrix turn;
    MatrixFromYawPitch(&turn, yaw, pitch);
    // The part turns in the body's frame: each of its rows is the turn's row carried by the body. (The
    // other order turned the body in the part's frame, which rolls a pitched turret on a body that faces
    // anywhere but straight ahead, and with it the cockpit's view.)
    FixMatrix m;
    MulMatrix(&m, bodyM, &turn);
    std::memcpy(part->orient, m.m, sizeof m.m);
    // The offset from the parent that the attachment set (the anchor, less the parent's anchor for a part
    // on a part); the anchor itself for a part never attached.
    const Geom* g = part->lod[0];
    const int32_t* at = !g ? nullptr : (g->parentOffset[0] != kOffsetUnset ? g->parentOffset : g->anchor);
    const FixVec anchor{at ? at[0] : 0, (at ? at[1] : 0) + raise, at ? at[2] : 0};
    FixVec offset;
    RotateVecT(&offset, bodyM, &anchor);
    part->pos[0] = body->pos[0] + offset.x;
    part->pos[1] = body->pos[1] + offset.y;
    part->pos[2] = body->pos[2] + offset.z;
}

void VehicleSetViews(const construct* body, VehicleHead* head, const int32_t eyeOrient[9],
                     const construct* eyeCarrier) {
    UnitShare* rec = &head->unit;
    const construct* carrier = eyeCarrier ? eyeCarrier : body;
    const FixMatrix* bodyM = reinterpret_cast<const FixMatrix*>(body->orient);
    FixVec tip{rec->viewTip[0], rec->viewTip[1], rec->viewTip[2]};
    FixVec off;
    RotateVecT(&off, reinterpret_cast<const FixMatrix*>(carrier->orient), &tip);
    rec->insidePos[0] = carrier->pos[0] + off.x;
    rec->insidePos[1] = carrier->pos[1] + off.y;
    rec->insidePos[2] = carrier->pos[2] + off.z;
    std::memcpy(rec->insideOrient, eyeOrient, sizeof rec->insideOrient);
    tip = {rec->rearTip[0], rec->rearTip[1], rec->rearTip[2]};
    RotateVecT(&off, bodyM, &tip);
    rec->outsidePos[0] = body->pos[0] + off.x;
    rec->outsidePos[1] = body->pos[1] + off.y;
    rec->outsidePos[2] = body->pos[2] + off.z;
    // Turned half a turn about the vertical: the first and third rows negated.
    for (int i = 0; i < 9; ++i) rec->outsideOrient[i] = (i / 3 == 1) ? body->orient[i] : -body->orient[i];
}

void VehicleControlSteps(construct* con, VehicleHead* head, WeaponTurret* turret, GroundDriveBlock* drive,
                         UnitLighting* lighting, SensorTip* sensor, TickInput* in, int k) {
    (void)k;
    UnitShare* rec = &head->unit;
    const ControlInput& previous = in->records[0];
    const ControlInput& current = in->records[1];
    if (InputKeyDown(current, kKeyCenterTorso)) turret->recenterYaw = turret->recenterPitch = 1;
    if (InputKeyDown(current, kKeySelfDestruct) && RecordReplayActive) head->state.structure = 0;
    if (VehicleStealthToggle(con, head, in, drive->soundState)) WheelDrive_setMode(drive, static_cast<int>(head->stealthMode));
    const uint8_t engineOff = drive->engineOff ? 1 : 0;
    if (rec->stateFlag != engineOff) {
        SetUnitStateFlag(con, rec, engineOff);
        UnitLighting_switch(lighting, static_cast<int32_t>(head->stealthMode));
        if (sensor && engineOff == 0 && con == PlayerUnit) SensorTip_activate(sensor);
        if (sensor && engineOff == 1) SensorTip_clear(sensor);
    }
    UnitLighting_update(lighting, current, previous, rec, k);
}

void VehicleInitLighting(construct* con, UnitLighting* lighting, bool rearLights) {
    // Billboard positions are quarter units: twice the sum is the point between the halos.
    const bboard* halo2 = NamedBBoard(con, "fronthalo2");
    const bboard* halo1 = NamedBBoard(con, "fronthalo1");
    int32_t origin[3];
    for (int i = 0; i < 3; ++i) origin[i] = 2 * (halo2->pos[i] + halo1->pos[i]);
    UnitLightBoard boards[kUnitLightBoards] = {
        {NamedBBoardLevel(con, "torch"), 255}, {NamedBBoardLevel(con, "fronthalo1"), 255},
        {NamedBBoardLevel(con, "fronthalo2"), 255},
    };
    for (int i = 3; i < kUnitLightBoards; ++i) boards[i] = {nullptr, 255};
    if (rearLights) {
        boards[3] = {NamedBBoardLevel(con, "rearlight"), 255};
        boards[4] = {NamedBBoardLevel(con, "rearhalo1"), 128};
        boards[5] = {NamedBBoardLevel(con, "rearhalo2"), 128};
    }
    UnitLighting_init(lighting, con, con, origin, boards);
}

void VehicleDie(construct* con, VehicleHead* head, const char* directory, WeaponTurret* turret,
                GroundDriveBlock* drive, UnitLighting* lighting, SensorTip* sensor) {
    if (head->dead) return;
    head->dead = 1;
    VehicleDieDebris(con, head);
    VehicleLeaveWreck(con, directory);
    if (lighting) UnitLighting_off(lighting);
    if (turret) Turret_stopSound(turret);
    if (drive) WheelDrive_stopSound(drive);
    if (sensor) SensorTip_clear(sensor);
}

bool VehicleSteerBegin(construct* con, VehicleHead* head, ControlInput* in, int32_t* acquire) {
    UnitShare* rec = &head->unit;
    ClearInput(in);
    in->axes[kAxisYaw] = static_cast<int16_t>(head->look[0]);
    in->axes[kAxisPitch] = static_cast<int16_t>(head->look[1]);
    in->axes[kAxisSteer] = static_cast<int16_t>(head->look[2]);
    if (rec->driveMode != head->stealthMode && (FrameCounter & 32)) SetInputKey(in, kKeyStealth, true);
    // The target light is a level word: it takes the byte the release answers.
    uint8_t lit = 0;
    ReleaseUnitTarget(con, rec, acquire ? &lit : nullptr);
    if (acquire) *acquire = lit;
    return rec->target && !(rec->detect.flags & 0x20);
}

void VehicleSteerIdle(VehicleHead* head, WeaponTurret* turret, ControlInput* in, int k) {
    UnitShare* rec = &head->unit;
    if (rec->alertCountdown > 0) {
        int32_t yaw = in->axes[kAxisYaw], pitch = in->axes[kAxisPitch];
        Turret_trackPoint(turret, &yaw, &pitch, k, nullptr, rec->alertPoint, 5000, 1, 0.0f);
        in->axes[kAxisYaw] = static_cast<int16_t>(yaw);
        in->axes[kAxisPitch] = static_cast<int16_t>(pitch);
    } else if ((FrameCounter & 511) == 0 && rec->status == 0) {
        SetInputKey(in, kKeyCenterTorso, true);
    }
}

void VehicleSteerLights(const construct* con, const UnitLighting* lighting, bool target, ControlInput* in) {
    if ((FrameCounter & 127) != 0) return;
    const bool wanted = con->clan && con->clan->unitLighting && !target;
    const bool lit = lighting->ramp > 0;
    if (wanted != lit) SetInputKey(in, kKeyLight, true);
}

bool VehicleMayFire(const UnitShare* rec, int group, int32_t ammo) {
    return ((rec->targetParam >> group) & 1) != 0 && ammo != 0;
}

bool VehicleReadyToFire(const WeaponTurret* turret, UnitShare* rec, const int32_t range[3]) {
    return turret->onTarget && rec->targetCountdown == 0 && ObjectInBand(&rec->detect, range);
}

uintptr_t VehicleUnknownMethod(const char* typeName, ItfcMethod method) {
    return ItfcUnknownMethod(typeName, method);
}

namespace {

void WalkSavedHead(SavedWords& w, VehicleHead* h) {
    w.I32s(h->look, 3);
    uint8_t impact[4] = {h->impact.physical, h->impact.shield, h->impact.structure, 0};
    for (uint8_t& b : impact) w.U8(&b);
    h->impact = DamageRecord{impact[0], impact[1], impact[2]};
    w.I32(&h->state.shield);
    w.I32(&h->state.structure);
    w.I32(&h->state.energy);
    w.I32(&h->maxima.shield);
    w.I32(&h->maxima.structure);
    w.I32(&h->maxima.energy);
    w.I32s(h->recovery, 3);
    w.U32(&h->stealthMode);
    w.U32(&h->dead);
}

}  // namespace

uint8_t* VehicleSavedBlock(const VehicleHead* head, const char* typeName, size_t size, uintptr_t sizeOut) {
    if (size < kVehicleSavedSize) FatalErrorF("Error(VehicleSavedBlock): %s's saved form is too small", typeName);
    char purpose[256];
    std::snprintf(purpose, sizeof purpose, "%s data block", typeName);
    auto* block = static_cast<uint8_t*>(qzAlloc(static_cast<int>(size), purpose));
    std::memset(block, 0, size);
    PutUnitSaved(block, &head->unit);
    VehicleHead copy = *head;
    SavedWords w{block, nullptr, kUnitSavedSize, kVehicleSavedSize};
    WalkSavedHead(w, &copy);
    if (w.pos != kVehicleSavedSize) FatalError("Error(VehicleSavedBlock): the saved form's size is not kVehicleSavedSize");
    if (sizeOut) *reinterpret_cast<int32_t*>(sizeOut) = static_cast<int32_t>(size);
    return block;
}

void VehicleRestoreSaved(VehicleHead* head, const void* block) {
    const auto* in = static_cast<const uint8_t*>(block);
    GetUnitSaved(&head->unit, in);
    SavedWords w{nullptr, in, kUnitSavedSize, kVehicleSavedSize};
    WalkSavedHead(w, head);
}

const char* VehicleCheckSaved(const uint8_t* block) {
    if (const char* why = CheckUnitSaved(block)) return why;
    VehicleHead head{};
    SavedWords w{nullptr, block, kUnitSavedSize, kVehicleSavedSize};
    WalkSavedHead(w, &head);
    if (head.stealthMode > 1) return "the stealth wish is neither 0 nor 1";
    if (head.dead > 1) return "the death flag is neither 0 nor 1";
    return nullptr;
}
