// EMAJeep: the four-wheeled jeep (see EMAJeep.h), built on the vehicle frame: wheel drive, weapon turret
// on the "top" part, one projectile thrower, unit lighting and the sensor tip.
#include "vehicles/types/EMAJeep.h"

#include <cstddef>
#include <cstring>
#include <type_traits>

#include "ai/AIRecords.h"
#include "ai/Clan.h"
#include "ai/RecordReplay.h"
#include "core/Fix3D.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "hud/TFView.h"
#include "objects/ConstructRes.h"
#include "objects/UnitRecord.h"
#include "objects/UnitServices.h"
#include "objects/UnitTick.h"
#include "objects/Units.h"
#include "world/Construct.h"
#include "world/Geom.h"
#include "world/Level.h"
#include "world/TickCounter.h"

namespace {

constexpr const char* kName = "EMAJeep";
constexpr int kBlockSize = static_cast<int>(sizeof(EMAJeepBlock));
// Where the frame finds the standard modules.
static_assert(std::is_standard_layout_v<EMAJeepBlock> && offsetof(EMAJeepBlock, head) == 0);
constexpr VehicleKind kKind = {kName, offsetof(EMAJeepBlock, turret), offsetof(EMAJeepBlock, drive),
                               offsetof(EMAJeepBlock, sensor), offsetof(EMAJeepBlock, lighting)};

EMAJeepBlock* Block(construct* con) { return static_cast<EMAJeepBlock*>(con->itfcData); }

float Scale(const construct* con) {
    const Rule* r = NamedUnitRule(con->unit, "scale");
    return r->count > 0 ? r->values[0] : 0.0f;
}

construct* Create(Unit* entry, const char* directory) {
    construct* con = VehicleCreateConstruct(entry, EMAJeep_itfc, 3, kGroundUnitFlags);
    const float scale = Scale(con);
    auto* b = static_cast<EMAJeepBlock*>(VehicleAllocBlock(con, kBlockSize, directory));
    VehicleLoadBody(con, scale, directory, "base", true);
    VehicleLoadPart(con, scale, directory, "top", 0);
    VehicleLoadPart(con, scale, directory, "frwheel", 1);
    VehicleLoadPart(con, scale, directory, "flwheel", 1);
    b->head.cockpit = VehicleLoadCockpit(con);
    VehiclePreloadWreck(con, directory);
    VehicleSetBox(con, scale);
    AllocShards(&b->head.unit.owned, directory, -1);
    return con;
}

void Unplace(construct* con) {
    if (!(con->flags & kConstructPlaced)) return;
    EMAJeepBlock* b = Block(con);
    FreeUnitShareData(con, &b->head.unit);
    UnitLighting_free(&b->lighting);
    SensorTip_release(&b->sensor);
    Turret_release(&b->turret);
    WheelDrive_release(&b->drive);
    PjtThrower_free(&b->weapon0);
    VehicleEndUnplace(con);
}

void Place(construct* con, const PlacementRecord* place) {
    VehicleCheckImpact(con);
    VehicleBeginPlace(con, 0);
    EMAJeepBlock* b = Block(con);
    VehicleHead* h = &b->head;
    construct* top = con->subs[0];
    VehiclePlaceBody(con, place, true);
    const float scale = Scale(con);
    AddToTypePools(con);
    InitUnitShare(con, &h->unit, scale);
    WeaponTurret_init(&b->turret, 0, con, top, top);
    WheelDrive_init(&b->drive, con, 0, NamedBBoardLevel(con, "rearlight"), NamedBBoardLevel(con, "rearhalo1"),
                    NamedBBoardLevel(con, "rearhalo2"), nullptr, nullptr, nullptr, &h->state.energy);
    std::memset(h->look, 0, sizeof h->look);
    h->stealthMode = 0;
    h->dead = 0;
    VehicleReadCombatRules(con, h, place);
    VehicleFindWarnings(h);
    PjtThrower_init(&b->weapon0, con, top, 0, 1.0f);
    // The lights shine from between the two front halos (billboard positions are quarter units).
    const bboard* halo2 = NamedBBoard(con, "fronthalo2");
    const bboard* halo1 = NamedBBoard(con, "fronthalo1");
    int32_t origin[3];
    for (int i = 0; i < 3; ++i) origin[i] = 2 * (halo2->pos[i] + halo1->pos[i]);
    const UnitLightBoard boards[kUnitLightBoards] = {
        {NamedBBoardLevel(con, "torch"), 255},     {NamedBBoardLevel(con, "fronthalo1"), 255},
        {NamedBBoardLevel(con, "fronthalo2"), 255}, {NamedBBoardLevel(con, "rearlight"), 255},
        {NamedBBoardLevel(con, "rearhalo1"), 128},  {NamedBBoardLevel(con, "rearhalo2"), 128},
        {nullptr, 255},                             {nullptr, 255},
    };
    UnitLighting_init(&b->lighting, con, con, origin, boards);
    SensorTip_init(&b->sensor, con, top, 1.0f);
    CreateUnitAIRecords(con, RestoringGame ? 0 : 1);
    VehicleMakeBusy(con);
}

void PlaceParts(construct* con) {
    EMAJeepBlock* b = Block(con);
    construct* top = con->subs[0];
    for (int i = 1; i <= 2; ++i)
        VehiclePlacePart(con, con->subs[i], b->drive.wheelLock - kQuarterTurn, kQuarterTurn);
    VehiclePlacePart(con, top, b->turret.yaw, b->turret.pitch);
    VehicleSetViews(con, &b->head, top->orient);
}

void AliveStep(construct* con, TickInput* in, int k) {
    EMAJeepBlock* b = Block(con);
    VehicleHead* h = &b->head;
    UnitShare* rec = &h->unit;
    const ControlInput& previous = in->records[0];
    ControlInput& current = in->records[1];
    VehicleRecover(h);
    if (con == PlayerUnit)
        Turret_playerAim(&b->turret, PlayerTFView, &b->sensor, previous, current, &h->look[0], &h->look[1], rec, k);
    else
        Turret_aim(&b->turret, current.axes[kAxisYaw], current.axes[kAxisPitch], &h->look[0], &h->look[1], rec, k);
    int16_t steer = static_cast<int16_t>(h->look[2]);
    WheelDrive_update(&b->drive, current.axes[kAxisSteer], &steer, rec, k, &current);
    h->look[2] = steer;
    TickUnitShare(con, rec, k, previous, current);
    // The wheels roll: the tyre-track board and both wheels' billboards follow the wheel angle.
    const int32_t roll = b->drive.wheelAngle >> 3;
    *NamedBBoardLevel(con, "rearchain") = roll;
    con->subs[1]->effectPhase = roll;
    con->subs[2]->effectPhase = roll;
    if (InputKeyDown(current, kKeyCenterTorso)) b->turret.recenterYaw = b->turret.recenterPitch = 1;
    if (InputKeyDown(current, kKeySelfDestruct) && RecordReplayActive) h->state.structure = 0;
    if (VehicleStealthToggle(con, h, in, b->drive.g.soundState))
        WheelDrive_setMode(&b->drive.g, static_cast<int>(h->stealthMode));
    const uint8_t engineOff = b->drive.g.engineOff ? 1 : 0;
    if (rec->stateFlag != engineOff) {
        SetUnitStateFlag(con, rec, engineOff);
        UnitLighting_switch(&b->lighting, static_cast<int32_t>(h->stealthMode));
        if (engineOff == 0 && con == PlayerUnit) SensorTip_activate(&b->sensor);
        if (engineOff == 1) SensorTip_clear(&b->sensor);
    }
    UnitLighting_update(&b->lighting, current, previous, rec, k);
    if (rec->stateFlag == 0 && InputKeyDown(current, kKeyFire1)) PjtThrower_fire(&b->weapon0, nullptr, rec->velocity);
    PjtThrower_tick(&b->weapon0, 1 << k);
    UpdateConstructVelocity(con, rec);
    PlaceParts(con);
    SensorTip_update(&b->sensor);
}

void Die(construct* con) {
    EMAJeepBlock* b = Block(con);
    if (b->head.dead) return;
    b->head.dead = 1;
    VehicleDieDebris(con, &b->head);
    VehicleLeaveWreck(con, b->directory);
    UnitLighting_off(&b->lighting);
    Turret_stopSound(&b->turret);
    WheelDrive_stopSound(&b->drive.g);
    SensorTip_clear(&b->sensor);
}

void Tick(construct* con, TickInput* in) {
    EMAJeepBlock* b = Block(con);
    const int k = con->busyLevel;
    UpdateSpotEffects(con);
    for (int jolts = VehicleApplyHits(con, &b->head); jolts > 0; --jolts) WheelDrive_jolt(&b->drive.g);
    VehicleCountdowns(&b->head, k);
    if (b->head.state.structure > 0)
        AliveStep(con, in, k);
    else
        Die(con);
}

void SteerAI(construct* con, ControlInput* in) {
    EMAJeepBlock* b = Block(con);
    VehicleHead* h = &b->head;
    UnitShare* rec = &h->unit;
    const int k = con->busyLevel;
    ClearInput(in);
    in->axes[kAxisYaw] = static_cast<int16_t>(h->look[0]);
    in->axes[kAxisPitch] = static_cast<int16_t>(h->look[1]);
    in->axes[kAxisSteer] = static_cast<int16_t>(h->look[2]);
    if (rec->driveMode != h->stealthMode && (FrameCounter & 32)) SetInputKey(in, kKeyStealth, true);
    ReleaseUnitTarget(con, rec, nullptr);
    WheelDrive_steerAI(&b->drive, in, rec, k, &rec->detect);
    const bool target = rec->target && !(rec->detect.flags & 0x20);
    if (target) {
        const bool mayFire = (rec->targetParam & 1) && b->weapon0.ammo != 0;
        Turret_aimAtUnit(&b->turret, in, rec, k);
        if (mayFire && b->turret.onTarget && rec->targetCountdown == 0 && ObjectInBand(&rec->detect, b->weapon0.range))
            SetInputKey(in, kKeyFire1, true);
    } else if (rec->alertCountdown > 0) {
        int32_t yaw = in->axes[kAxisYaw], pitch = in->axes[kAxisPitch];
        Turret_trackPoint(&b->turret, &yaw, &pitch, k, nullptr, rec->alertPoint, 5000, 1, 0.0f);
        in->axes[kAxisYaw] = static_cast<int16_t>(yaw);
        in->axes[kAxisPitch] = static_cast<int16_t>(pitch);
    } else if ((FrameCounter & 511) == 0 && rec->status == 0) {
        SetInputKey(in, kKeyCenterTorso, true);
    }
    if ((FrameCounter & 127) == 0) {
        const bool wanted = con->clan && con->clan->unitLighting && !target;
        const bool lit = b->lighting.ramp > 0;
        if (wanted != lit) SetInputKey(in, kKeyLight, true);
    }
}

void UpdateAIUnit(construct* con, AIUnitRecord* ai) {
    EMAJeepBlock* b = Block(con);
    ChainDrive_status(&b->drive.g, ai);
    Turret_status(&b->turret, &ai->weapon[0][kTurretStatusWord]);
    ai->weaponPresent[0] = 1;
    PjtThrower_status(&b->weapon0, &ai->weapon[0][kWeaponStatusWord]);
}

// GETITFCDATA: the head's saved form, then each module's.
uintptr_t SavedBlock(construct* con, uintptr_t sizeOut) {
    const EMAJeepBlock* b = Block(con);
    uint8_t* out = VehicleSavedBlock(&b->head, kName, kEMAJeepSavedSize, sizeOut);
    UnitLighting_putSaved(&b->lighting, out + kEMAJeepSavedLighting);
    Turret_putSaved(&b->turret, out + kEMAJeepSavedTurret);
    WheelDrive_putSaved(&b->drive, out + kEMAJeepSavedDrive);
    PjtThrower_putSaved(&b->weapon0, out + kEMAJeepSavedWeapon0);
    return reinterpret_cast<uintptr_t>(out);
}

// SETITFCDATA: the unit record and the head, then each module through its own copy step from a record
// that holds the saved state (and the own pointers, sounds and lights).
void RestoreSaved(construct* con, const uint8_t* in) {
    if (const char* why = EMAJeep_checkSaved(in, kEMAJeepSavedSize))
        FatalErrorF("Error(EMAJeep_itfc): the saved state is damaged: %s", why);
    EMAJeepBlock* b = Block(con);
    VehicleRestoreSaved(&b->head, in);
    // An unplaced jeep has released its sounds and lights: whatever the form says, none is started
    // for it (they would never be stopped).
    const bool placed = (con->flags & kConstructPlaced) != 0;
    UnitLighting lighting = b->lighting;
    UnitLighting_getSaved(&lighting, in + kEMAJeepSavedLighting);
    if (!placed) lighting.on = 0;
    UnitLighting_draw(&b->lighting, &lighting);
    WeaponTurret turret = b->turret;
    Turret_getSaved(&turret, in + kEMAJeepSavedTurret);
    if (!placed) turret.soundWanted = 0;
    Turret_copy(&b->turret, &turret);
    WheelDrive drive = b->drive;
    WheelDrive_getSaved(&drive, in + kEMAJeepSavedDrive);
    if (!placed) drive.g.engine.soundOn = 0;
    WheelDrive_copy(&b->drive, &drive);
    PjtThrower weapon = b->weapon0;
    PjtThrower_getSaved(&weapon, in + kEMAJeepSavedWeapon0);
    PjtThrower_copy(&b->weapon0, &weapon);
}

}  // namespace

const char* EMAJeep_checkSaved(const uint8_t* block, size_t size) {
    if (!block || size != kEMAJeepSavedSize) return "the saved state has the wrong size";
    if (const char* why = VehicleCheckSaved(block)) return why;
    if (const char* why = UnitLighting_checkSaved(block + kEMAJeepSavedLighting)) return why;
    if (const char* why = Turret_checkSaved(block + kEMAJeepSavedTurret)) return why;
    if (const char* why = WheelDrive_checkSaved(block + kEMAJeepSavedDrive)) return why;
    return PjtThrower_checkSaved(block + kEMAJeepSavedWeapon0);
}

uintptr_t EMAJeep_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(
                Create(reinterpret_cast<Unit*>(con), reinterpret_cast<const char*>(arg)));
        case ItfcMethod::TICK:
            Tick(con, reinterpret_cast<TickInput*>(arg));
            return 0;
        case ItfcMethod::PLACE:
            Place(con, reinterpret_cast<const PlacementRecord*>(arg));
            return 0;
        case ItfcMethod::UNPLACE:
            Unplace(con);
            return 0;
        case ItfcMethod::STEERAI:
            SteerAI(con, reinterpret_cast<ControlInput*>(arg));
            return 0;
        case ItfcMethod::GETGAUGES: {
            const WheelDrive& d = Block(con)->drive;
            *reinterpret_cast<int32_t*>(arg) = d.g.speedConstraint[1];
            return static_cast<uintptr_t>(static_cast<uint32_t>(d.speed));
        }
        case ItfcMethod::GETACCESSTYPE:
            return static_cast<uintptr_t>(static_cast<uint32_t>(Block(con)->drive.accessType));
        case ItfcMethod::GETITFCDATA:
            return SavedBlock(con, arg);
        case ItfcMethod::SETITFCDATA:
            RestoreSaved(con, reinterpret_cast<const uint8_t*>(arg));
            return 0;
        case ItfcMethod::GETTHROTTLE:
            *reinterpret_cast<int32_t*>(arg) = Block(con)->drive.aiSpeed;
            return 0;
        case ItfcMethod::UPDATEAIUNIT:
            UpdateAIUnit(con, reinterpret_cast<AIUnitRecord*>(arg));
            return 1;
        default:
            return VehicleFrame_itfc(kKind, con, method, arg);
    }
}
