// EMAJeep: the four-wheeled jeep (see EMAJeep.h), built on the vehicle frame: wheel drive, weapon turret
// on the "top" part, one projectile thrower, unit lighting and the sensor tip.
#include "vehicles/types/EMAJeep.h"

#include <cstddef>
#include <cstring>
#include <iterator>
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

construct* Create(Unit* entry, const char* directory) {
    construct* con = VehicleCreateConstruct(entry, EMAJeep_itfc, 3, kGroundUnitFlags);
    const float scale = VehicleScale(con);
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
    EMAJeepBlock* b = Block(con);
    VehicleHead* h = &b->head;
    construct* top = con->subs[0];
    VehiclePlaceHead(con, h, place);
    WeaponTurret_init(&b->turret, 0, con, top, top);
    WheelDrive_init(&b->drive, con, 0, NamedBBoardLevel(con, "rearlight"), NamedBBoardLevel(con, "rearhalo1"),
                    NamedBBoardLevel(con, "rearhalo2"), nullptr, nullptr, nullptr, &h->state.energy);
    PjtThrower_init(&b->weapon0, con, top, 0, 1.0f);
    VehicleInitLighting(con, &b->lighting, true);
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
    VehicleControlSteps(con, h, &b->turret, &b->drive.g, &b->lighting, &b->sensor, in, k);
    if (rec->stateFlag == 0 && InputKeyDown(current, kKeyFire1)) PjtThrower_fire(&b->weapon0, nullptr, rec->velocity);
    PjtThrower_tick(&b->weapon0, 1 << k);
    UpdateConstructVelocity(con, rec);
    PlaceParts(con);
    SensorTip_update(&b->sensor);
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
        VehicleDie(con, &b->head, b->directory, &b->turret, &b->drive.g, &b->lighting, &b->sensor);
}

void SteerAI(construct* con, ControlInput* in) {
    EMAJeepBlock* b = Block(con);
    VehicleHead* h = &b->head;
    UnitShare* rec = &h->unit;
    const int k = con->busyLevel;
    const bool target = VehicleSteerBegin(con, h, in, nullptr);
    WheelDrive_steerAI(&b->drive, in, rec, k, &rec->detect);
    if (target) {
        Turret_aimAtUnit(&b->turret, in, rec, k);
        if (VehicleMayFire(rec, 0, b->weapon0.ammo) && VehicleReadyToFire(&b->turret, rec, b->weapon0.range))
            SetInputKey(in, kKeyFire1, true);
    } else {
        VehicleSteerIdle(h, &b->turret, in, k);
    }
    VehicleSteerLights(con, &b->lighting, target, in);
}

void UpdateAIUnit(construct* con, AIUnitRecord* ai) {
    EMAJeepBlock* b = Block(con);
    ChainDrive_status(&b->drive.g, ai);
    Turret_status(&b->turret, &ai->weapon[0][kTurretStatusWord]);
    ai->weaponPresent[0] = 1;
    PjtThrower_status(&b->weapon0, &ai->weapon[0][kWeaponStatusWord]);
}

// The saved form: the head, then the lighting, the turret, the wheel drive and the gun, in the order the
// copy takes them.
const SavedModule kSavedModules[] = {
    {SavedModuleKind::Lighting, offsetof(EMAJeepBlock, lighting)},
    {SavedModuleKind::Turret, offsetof(EMAJeepBlock, turret)},
    {SavedModuleKind::WheelDrive, offsetof(EMAJeepBlock, drive)},
    {SavedModuleKind::PjtThrower, offsetof(EMAJeepBlock, weapon0)},
};
const VehicleForm kForm = {kName, sizeof(EMAJeepBlock), 0, nullptr, nullptr, kSavedModules,
                           static_cast<int>(std::size(kSavedModules))};

}  // namespace

const VehicleForm& EMAJeep_form() { return kForm; }

const char* EMAJeep_checkSaved(const uint8_t* block, size_t size) { return VehicleFormCheck(kForm, block, size); }

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
            return reinterpret_cast<uintptr_t>(VehicleFormPut(kForm, con->itfcData, arg));
        case ItfcMethod::SETITFCDATA:
            VehicleFormTake(kForm, con, reinterpret_cast<const uint8_t*>(arg));
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
