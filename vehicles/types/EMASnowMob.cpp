// EMASnowMob: the snow vehicle (see EMASnowMob.h), built on the vehicle frame: chain drive, weapon turret on
// the "top" with the "gun", a beam cannon on the gun, unit lighting and the sensor tip.
#include "vehicles/types/EMASnowMob.h"

#include <cstring>
#include <iterator>
#include <type_traits>

#include "ai/AIRecords.h"
#include "objects/ConstructRes.h"
#include "objects/UnitRecord.h"
#include "objects/UnitSaved.h"
#include "objects/UnitServices.h"
#include "objects/UnitTick.h"
#include "objects/Units.h"
#include "world/Construct.h"
#include "world/Level.h"

namespace {

constexpr const char* kName = "EMASnowMob";
constexpr int kBlockSize = static_cast<int>(sizeof(EMASnowMobBlock));
static_assert(std::is_standard_layout_v<EMASnowMobBlock> && offsetof(EMASnowMobBlock, head) == 0);
constexpr VehicleKind kKind = {kName, offsetof(EMASnowMobBlock, turret), offsetof(EMASnowMobBlock, drive),
                               offsetof(EMASnowMobBlock, sensor), offsetof(EMASnowMobBlock, lighting)};
enum : int { kTop = 0, kGun = 1, kSlots = 2 };

EMASnowMobBlock* Block(construct* con) { return static_cast<EMASnowMobBlock*>(con->itfcData); }

construct* Create(Unit* entry, const char* directory) {
    construct* con = VehicleCreateConstruct(entry, EMASnowMob_itfc, kSlots, kGroundUnitFlags);
    const float scale = VehicleScale(con);
    auto* b = static_cast<EMASnowMobBlock*>(VehicleAllocBlock(con, kBlockSize, directory));
    VehicleLoadBody(con, scale, directory, "body", true);
    construct* top = VehicleLoadPart(con, scale, directory, "top", 0);
    VehicleLoadPartOn(con, top, scale, directory, "gun", 0);
    b->head.cockpit = VehicleLoadCockpit(con);
    VehiclePreloadWreck(con, directory);
    VehicleSetBox(con, scale);
    AllocShards(&b->head.unit.owned, directory, -1);
    return con;
}

void Unplace(construct* con) {
    if (!(con->flags & kConstructPlaced)) return;
    EMASnowMobBlock* b = Block(con);
    UnitLighting_free(&b->lighting);
    SensorTip_release(&b->sensor);
    FreeUnitShareData(con, &b->head.unit);
    Turret_release(&b->turret);
    ChainDrive_release(&b->drive);
    BeamCannon_free(&b->cannon);
    VehicleEndUnplace(con);
}

void Place(construct* con, const PlacementRecord* place) {
    EMASnowMobBlock* b = Block(con);
    VehicleHead* h = &b->head;
    construct* top = con->subs[kTop];
    construct* gun = con->subs[kGun];
    VehiclePlaceHead(con, h, place);
    VehicleInitLighting(con, &b->lighting, false);
    SensorTip_init(&b->sensor, con, gun, 1.0f);
    WeaponTurret_init(&b->turret, 0, con, top, gun);
    b->recoil = TrackedRecoil(con);
    BeamCannon_init(&b->cannon, con, gun, 0, 1.0f);
    ChainDrive_init(&b->drive, con, 0, &h->state.energy, b->directory);
    TrackedReadKeyMultipliers(con, b->keyMultipliers);
    CreateUnitAIRecords(con, RestoringGame ? 0 : 1);
    VehicleMakeBusy(con);
}

void PlaceParts(construct* con, EMASnowMobBlock* b) {
    construct* top = con->subs[kTop];
    construct* gun = con->subs[kGun];
    VehiclePlacePart(con, top, b->turret.yaw, kQuarterTurn);
    // The gun turns about the top's own point.
    VehiclePlacePart(top, gun, kTurretYawInit, b->turret.pitch);
    std::memcpy(gun->pos, top->pos, sizeof gun->pos);
    VehicleSetViews(con, &b->head, con->orient);
}

void AliveStep(construct* con, TickInput* in, int k) {
    EMASnowMobBlock* b = Block(con);
    VehicleHead* h = &b->head;
    UnitShare* rec = &h->unit;
    const ControlInput& previous = in->records[0];
    ControlInput& current = in->records[1];
    VehicleRecover(h);
    // The turret follows the axes, the player's too.
    Turret_aim(&b->turret, current.axes[kAxisYaw], current.axes[kAxisPitch], &h->look[0], &h->look[1], rec, k);
    int16_t steer = static_cast<int16_t>(h->look[2]);
    ChainDrive_update(&b->drive, current.axes[kAxisSteer], &steer, rec, k, &current);
    h->look[2] = steer;
    TickUnitShare(con, rec, k, previous, current);
    *NamedBBoardLevel(con, "leftchain") -= b->drive.trackStep[0];
    *NamedBBoardLevel(con, "rightchain") -= b->drive.trackStep[1];
    // The player may hold the beam back (bit 0 of the detection flags); the beam aims every tick.
    const int suppress = con == PlayerUnit && (rec->detect.flags & 1) ? 1 : 0;
    if (rec->stateFlag == 0 && InputKeyDown(current, kKeyFire1)) BeamCannon_fire(&b->cannon, rec->lockTarget, suppress);
    BeamCannon_update(&b->cannon, rec->lockTarget, suppress, 1 << k);
    VehicleControlSteps(con, h, &b->turret, &b->drive.g, &b->lighting, &b->sensor, in, k);
    UpdateConstructVelocity(con, rec);
    PlaceParts(con, b);
    SensorTip_update(&b->sensor);
}

void Tick(construct* con, TickInput* in) {
    EMASnowMobBlock* b = Block(con);
    const int k = con->busyLevel;
    UpdateSpotEffects(con);
    for (int jolts = VehicleApplyHits(con, &b->head, 14); jolts > 0; --jolts) WheelDrive_jolt(&b->drive.g);
    VehicleCountdowns(&b->head, k);
    if (b->head.state.structure > 0)
        AliveStep(con, in, k);
    else
        VehicleDie(con, &b->head, b->directory, &b->turret, &b->drive.g, &b->lighting, &b->sensor);
}

void SteerAI(construct* con, ControlInput* in) {
    EMASnowMobBlock* b = Block(con);
    VehicleHead* h = &b->head;
    UnitShare* rec = &h->unit;
    const int k = con->busyLevel;
    const bool target = VehicleSteerBegin(con, h, in, nullptr);
    ChainDrive_steerAI(&b->drive, in, rec, k, &rec->detect, nullptr);
    if (target) {
        Turret_aimAtUnit(&b->turret, in, rec, k);
        TrackedNextTargetKey(rec, in);
        if (VehicleMayFire(rec, 0, b->cannon.ammo) && VehicleReadyToFire(&b->turret, rec, b->cannon.range))
            SetInputKey(in, kKeyFire1, true);
    } else {
        VehicleSteerIdle(h, &b->turret, in, k);
    }
    VehicleSteerLights(con, &b->lighting, target, in);
}

void UpdateAIUnit(construct* con, AIUnitRecord* ai) {
    EMASnowMobBlock* b = Block(con);
    ChainDrive_status(&b->drive.g, ai);
    Turret_status(&b->turret, &ai->weapon[0][kTurretStatusWord]);
    ai->weaponPresent[0] = 1;
    BeamCannon_status(&b->cannon, &ai->weapon[0][kWeaponStatusWord]);
}

void WalkOwn(SavedWords& w, void* block) {
    auto* b = static_cast<EMASnowMobBlock*>(block);
    w.I32s(b->keyMultipliers, kKeyMultiplierCount);
    w.I32(&b->recoil);
}
constexpr size_t kOwnWords = (kKeyMultiplierCount + 1) * 4;

const SavedModule kSavedModules[] = {
    {SavedModuleKind::Lighting, offsetof(EMASnowMobBlock, lighting)},
    {SavedModuleKind::Turret, offsetof(EMASnowMobBlock, turret)},
    {SavedModuleKind::ChainDrive, offsetof(EMASnowMobBlock, drive)},
    {SavedModuleKind::BeamCannon, offsetof(EMASnowMobBlock, cannon)},
};
const VehicleForm kForm = {kName, sizeof(EMASnowMobBlock), kOwnWords, WalkOwn, nullptr, kSavedModules,
                           static_cast<int>(std::size(kSavedModules))};

}  // namespace

const VehicleForm& EMASnowMob_form() { return kForm; }

const char* EMASnowMob_checkSaved(const uint8_t* block, size_t size) { return VehicleFormCheck(kForm, block, size); }

uintptr_t EMASnowMob_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
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
        case ItfcMethod::GETGAUGES:
            return TrackedGauges(&Block(con)->drive, arg);
        case ItfcMethod::GETACCESSTYPE:
            return static_cast<uintptr_t>(static_cast<uint32_t>(Block(con)->drive.accessType));
        case ItfcMethod::EXPORTDRIVE:
            TrackedExportDrive(Block(con)->keyMultipliers);
            return 0;
        case ItfcMethod::GETITFCDATA:
            return reinterpret_cast<uintptr_t>(VehicleFormPut(kForm, con->itfcData, arg));
        case ItfcMethod::SETITFCDATA:
            VehicleFormTake(kForm, con, reinterpret_cast<const uint8_t*>(arg));
            return 0;
        case ItfcMethod::GETTHROTTLE:
            TrackedThrottle(&Block(con)->drive, arg);
            return 0;
        case ItfcMethod::UPDATEAIUNIT:
            UpdateAIUnit(con, reinterpret_cast<AIUnitRecord*>(arg));
            return 1;
        default:
            return VehicleFrame_itfc(kKind, con, method, arg);
    }
}
