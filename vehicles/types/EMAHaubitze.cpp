// EMAHaubitze: the howitzer (see EMAHaubitze.h), built on the vehicle frame: chain drive (whose AI turns
// the hull toward the target), weapon turret on the "gun" with the aiming markers, one projectile
// thrower and unit lighting.
#include "vehicles/types/EMAHaubitze.h"

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <type_traits>

#include "ai/AIRecords.h"
#include "core/Fix3D.h"
#include "objects/ConstructRes.h"
#include "objects/UnitRecord.h"
#include "objects/UnitServices.h"
#include "objects/UnitTick.h"
#include "objects/Units.h"
#include "platform/SoundFx.h"
#include "render/ConstructDraw.h"
#include "world/Construct.h"
#include "world/Level.h"

namespace {

constexpr const char* kName = "EMAHaubitze";
constexpr int kBlockSize = static_cast<int>(sizeof(EMAHaubitzeBlock));
static_assert(std::is_standard_layout_v<EMAHaubitzeBlock> && offsetof(EMAHaubitzeBlock, head) == 0);
// No sensor tip; the views leave the player view's inside flag alone.
constexpr VehicleKind kKind = {kName, offsetof(EMAHaubitzeBlock, turret), offsetof(EMAHaubitzeBlock, drive),
                               kNoModule, offsetof(EMAHaubitzeBlock, lighting), true};
// The parts, in slot order: the gun, then the chains front left, front right, rear left, rear right.
enum : int { kGun = 0, kChains = 1, kSlots = 5 };
constexpr const char* kChainNames[4] = {"flchain", "frchain", "blchain", "brchain"};
constexpr int32_t kShakeRange = 100000;

EMAHaubitzeBlock* Block(construct* con) { return static_cast<EMAHaubitzeBlock*>(con->itfcData); }

construct* Create(Unit* entry, const char* directory) {
    construct* con = VehicleCreateConstruct(entry, EMAHaubitze_itfc, kSlots, kGroundUnitFlags);
    const float scale = VehicleScale(con);
    auto* b = static_cast<EMAHaubitzeBlock*>(VehicleAllocBlock(con, kBlockSize, directory));
    VehicleLoadBody(con, scale, directory, "body", true);
    VehicleLoadPart(con, scale, directory, "gun", 0);
    for (const char* chain : kChainNames) VehicleLoadPart(con, scale, directory, chain, 1);
    b->cockpitGun = VehicleLoadFreePart(scale, directory, "cp_gun");
    b->head.cockpit = VehicleLoadCockpit(con);
    VehiclePreloadWreck(con, directory);
    VehicleSetBox(con, scale);
    ChainSupport_init(&b->support, con, kHaubitzeSupportInset);
    AllocShards(&b->head.unit.owned, directory, -1);
    return con;
}

void Unplace(construct* con) {
    if (!(con->flags & kConstructPlaced)) return;
    EMAHaubitzeBlock* b = Block(con);
    UnitLighting_free(&b->lighting);
    FreeUnitShareData(con, &b->head.unit);
    Turret_release(&b->turret);
    ChainDrive_release(&b->drive);
    PjtThrower_free(&b->weapon0);
    VehicleEndUnplace(con);
}

void Place(construct* con, const PlacementRecord* place) {
    EMAHaubitzeBlock* b = Block(con);
    VehicleHead* h = &b->head;
    construct* gun = con->subs[kGun];
    VehiclePlaceHead(con, h, place);
    WeaponTurret_init(&b->turret, 1, con, gun, gun);
    ChainDrive_init(&b->drive, con, 1, &h->state.energy, b->directory);
    for (int32_t& a : b->chainAngles) a = kQuarterTurn;
    b->recoil = TrackedRecoil(con);
    VehicleInitLighting(con, &b->lighting, false);
    PjtThrower_init(&b->weapon0, con, gun, 0, 1.0f);
    TrackedReadKeyMultipliers(con, b->keyMultipliers);
    CreateUnitAIRecords(con, RestoringGame ? 0 : 1);
    VehicleMakeBusy(con);
}

void PlaceParts(construct* con, EMAHaubitzeBlock* b, int k) {
    construct* gun = con->subs[kGun];
    VehiclePlacePart(con, gun, -kQuarterTurn, b->turret.pitch);
    TrackedRecoilPart(gun, b->weapon0.fireDelayCounter, b->recoil, 19 - k);
    for (int i = 0; i < 4; ++i) VehiclePlacePart(con, con->subs[kChains + i], kTurretYawInit, b->chainAngles[i]);
    VehicleSetViews(con, &b->head, con->orient);
}

void AliveStep(construct* con, TickInput* in, int k) {
    EMAHaubitzeBlock* b = Block(con);
    VehicleHead* h = &b->head;
    UnitShare* rec = &h->unit;
    const ControlInput& previous = in->records[0];
    ControlInput& current = in->records[1];
    VehicleRecover(h);
    // The gun follows the axes, the player's too; the player sees where the shell would fall.
    Turret_aim(&b->turret, current.axes[kAxisYaw], current.axes[kAxisPitch], &h->look[0], &h->look[1], rec, k);
    if (con == PlayerUnit) {
        const TurretShot shot = EMAHaubitze_shot(b);
        TurretImpact impact{};
        Turret_probeLine(&b->turret, &shot, &impact);
        rec->ballistic = static_cast<uint8_t>(impact.flag);
        std::memcpy(rec->impactPoint, impact.point, sizeof rec->impactPoint);
    } else {
        rec->ballistic = 0;
    }
    int16_t steer = static_cast<int16_t>(h->look[2]);
    ChainDrive_update(&b->drive, current.axes[kAxisSteer], &steer, rec, k, &current);
    h->look[2] = steer;
    TickUnitShare(con, rec, k, previous, current);
    // The chain parts' billboards follow their part's level: left chains by the left step, right by the right.
    for (int i = 0; i < 4; ++i) con->subs[kChains + i]->effectPhase += b->drive.trackStep[i & 1];
    if (rec->stateFlag == 0 && InputKeyDown(current, kKeyFire1) && PjtThrower_fire(&b->weapon0, nullptr, rec->velocity))
        CameraShakeByDistance(con->subs[kGun]->pos, 0, 40, 0.8f, kShakeRange);
    PjtThrower_tick(&b->weapon0, 1 << k);
    VehicleControlSteps(con, h, &b->turret, &b->drive.g, &b->lighting, nullptr, in, k);
    UpdateConstructVelocity(con, rec);
    ChainSupport_angles(&b->support, con, &b->drive, b->chainAngles);
    PlaceParts(con, b, k);
}

void Tick(construct* con, TickInput* in) {
    EMAHaubitzeBlock* b = Block(con);
    const int k = con->busyLevel;
    UpdateSpotEffects(con);
    for (int jolts = VehicleApplyHits(con, &b->head, 14); jolts > 0; --jolts) WheelDrive_jolt(&b->drive.g);
    VehicleCountdowns(&b->head, k);
    if (b->head.state.structure > 0)
        AliveStep(con, in, k);
    else
        VehicleDie(con, &b->head, b->directory, &b->turret, &b->drive.g, &b->lighting, nullptr);
}

void SteerAI(construct* con, ControlInput* in) {
    EMAHaubitzeBlock* b = Block(con);
    VehicleHead* h = &b->head;
    UnitShare* rec = &h->unit;
    const int k = con->busyLevel;
    const bool target = VehicleSteerBegin(con, h, in, nullptr);
    // The hull turns until the gun faces the target.
    const construct* gun = con->subs[kGun];
    const FixVec facing{gun->orient[6], gun->orient[7], gun->orient[8]};
    ChainDrive_steerAI(&b->drive, in, rec, k, &rec->detect, &facing);
    if (target) {
        // The shell is probed toward the target where the clan last saw it: the unit record's aim point
        // is its destination, not the target.
        const TurretShot shot = EMAHaubitze_shot(b);
        Turret_probeShotAt(&b->turret, &shot, in, k, rec->detect.pos);
        TrackedNextTargetKey(rec, in);
        const int64_t miss = int64_t{b->turret.impactDistance} - rec->detect.distance;
        if (VehicleMayFire(rec, 0, b->weapon0.ammo) && std::llabs(miss) < kHaubitzeRangeTolerance && b->drive.aligned)
            SetInputKey(in, kKeyFire1, true);
    } else {
        Turret_releaseEvents(&b->turret);
        VehicleSteerIdle(h, &b->turret, in, k);
    }
    VehicleSteerLights(con, &b->lighting, target, in);
}

void UpdateAIUnit(construct* con, AIUnitRecord* ai) {
    EMAHaubitzeBlock* b = Block(con);
    ChainDrive_status(&b->drive.g, ai);
    Turret_status(&b->turret, &ai->weapon[0][kTurretStatusWord]);
    ai->weaponPresent[0] = 1;
    PjtThrower_status(&b->weapon0, &ai->weapon[0][kWeaponStatusWord]);
}

void DrawOverlay(construct* con) {
    EMAHaubitzeBlock* b = Block(con);
    VehicleHead* h = &b->head;
    const construct* gun = con->subs[kGun];
    if (construct* cp = b->cockpitGun) {
        std::memcpy(cp->pos, gun->pos, sizeof cp->pos);
        std::memcpy(cp->orient, gun->orient, sizeof cp->orient);
        if (TransformConstruct(cp, 0, 0)) DrawConstruct(cp, 0, 0);
    }
    DrawPartAt(h->cockpit, con->orient, &h->unit, h->lockWarning, h->missileWarning);
}

const SavedModule kSavedModules[] = {
    {SavedModuleKind::Lighting, offsetof(EMAHaubitzeBlock, lighting)},
    {SavedModuleKind::Turret, offsetof(EMAHaubitzeBlock, turret)},
    {SavedModuleKind::ChainDrive, offsetof(EMAHaubitzeBlock, drive)},
    {SavedModuleKind::PjtThrower, offsetof(EMAHaubitzeBlock, weapon0)},
};
const VehicleForm kForm = {kName, sizeof(EMAHaubitzeBlock), 0, nullptr, nullptr, kSavedModules,
                           static_cast<int>(std::size(kSavedModules))};

}  // namespace

TurretShot EMAHaubitze_shot(const EMAHaubitzeBlock* b) {
    const PjtThrower& w = b->weapon0;
    TurretShot shot{};
    if (w.muzzleCount > 0 && w.muzzles) std::memcpy(shot.muzzle, w.muzzles[0].offset, sizeof shot.muzzle);
    shot.speed = w.speed;
    shot.gravity = w.gravity;
    return shot;
}

const VehicleForm& EMAHaubitze_form() { return kForm; }

const char* EMAHaubitze_checkSaved(const uint8_t* block, size_t size) { return VehicleFormCheck(kForm, block, size); }

uintptr_t EMAHaubitze_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
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
        case ItfcMethod::DESTROY:
            if (!(con->flags & kConstructPlaced)) {
                FreeConstruct(Block(con)->cockpitGun);
                Block(con)->cockpitGun = nullptr;
            }
            return VehicleFrame_itfc(kKind, con, method, arg);
        case ItfcMethod::DRAWOVERLAY:
            DrawOverlay(con);
            return 0;
        case ItfcMethod::PLAYERENTER:
            // The markers of an earlier aim go before the player's own line shows.
            Turret_releaseEvents(&Block(con)->turret);
            return VehicleFrame_itfc(kKind, con, method, arg);
        // Without a sensor beam there is nothing to clear or mark.
        case ItfcMethod::PLAYERLEAVE:
        case ItfcMethod::DRAWVIEWMARKS:
        case ItfcMethod::DRAWOWNMARKS:
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
