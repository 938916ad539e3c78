// EMALinebacker: the twin-barrelled gun carrier (see EMALinebacker.h), built on the vehicle frame: chain
// drive, weapon turret on the "top" with the left barrel, a high-velocity cannon and a projectile thrower
// on the left barrel, unit lighting and the sensor tip.
#include "vehicles/types/EMALinebacker.h"

#include <cstring>
#include <iterator>
#include <type_traits>

#include "ai/AIRecords.h"
#include "hud/TFView.h"
#include "objects/ConstructRes.h"
#include "objects/UnitRecord.h"
#include "objects/UnitSaved.h"
#include "objects/UnitServices.h"
#include "objects/UnitTick.h"
#include "objects/Units.h"
#include "platform/SoundFx.h"
#include "render/ConstructDraw.h"
#include "world/Construct.h"
#include "world/Level.h"

namespace {

constexpr const char* kName = "EMALinebacker";
constexpr int kBlockSize = static_cast<int>(sizeof(EMALinebackerBlock));
static_assert(std::is_standard_layout_v<EMALinebackerBlock> && offsetof(EMALinebackerBlock, head) == 0);
constexpr VehicleKind kKind = {kName, offsetof(EMALinebackerBlock, turret), offsetof(EMALinebackerBlock, drive),
                               offsetof(EMALinebackerBlock, sensor), offsetof(EMALinebackerBlock, lighting)};
// The parts, in slot order: the top, its two barrels, the chains front left, front right, rear left,
// rear right.
enum : int { kTop = 0, kLeftBarrel = 1, kRightBarrel = 2, kChains = 3, kSlots = 7 };
constexpr const char* kChainNames[4] = {"flchain", "frchain", "blchain", "brchain"};
constexpr int32_t kShakeRange = 50000;

EMALinebackerBlock* Block(construct* con) { return static_cast<EMALinebackerBlock*>(con->itfcData); }

construct* Create(Unit* entry, const char* directory) {
    construct* con = VehicleCreateConstruct(entry, EMALinebacker_itfc, kSlots, kGroundUnitFlags);
    const float scale = VehicleScale(con);
    auto* b = static_cast<EMALinebackerBlock*>(VehicleAllocBlock(con, kBlockSize, directory));
    VehicleLoadBody(con, scale, directory, "base", true);
    construct* top = VehicleLoadPart(con, scale, directory, "top", 0);
    VehicleLoadPartOn(con, top, scale, directory, "lbarrel", 0);
    VehicleLoadPartOn(con, top, scale, directory, "rbarrel", 0);
    for (const char* chain : kChainNames) VehicleLoadPart(con, scale, directory, chain, 1);
    for (construct*& cp : b->cockpitBarrels) cp = VehicleLoadFreePart(scale, directory, "cp_barrel");
    b->head.cockpit = VehicleLoadCockpit(con);
    VehiclePreloadWreck(con, directory);
    VehicleSetBox(con, scale);
    ChainSupport_init(&b->support, con, kLinebackerSupportInset);
    AllocShards(&b->head.unit.owned, directory, -1);
    return con;
}

void Unplace(construct* con) {
    if (!(con->flags & kConstructPlaced)) return;
    EMALinebackerBlock* b = Block(con);
    UnitLighting_free(&b->lighting);
    FreeUnitShareData(con, &b->head.unit);
    Turret_release(&b->turret);
    ChainDrive_release(&b->drive);
    SensorTip_release(&b->sensor);
    HVCannon_free(&b->cannon);
    PjtThrower_free(&b->weapon1);
    VehicleEndUnplace(con);
}

void Place(construct* con, const PlacementRecord* place) {
    EMALinebackerBlock* b = Block(con);
    VehicleHead* h = &b->head;
    construct* top = con->subs[kTop];
    construct* left = con->subs[kLeftBarrel];
    VehiclePlaceHead(con, h, place);
    VehicleInitLighting(con, &b->lighting, false);
    SensorTip_init(&b->sensor, con, left, 1.0f);
    HVCannon_init(&b->cannon, con, left, 0, 1.0f);
    PjtThrower_init(&b->weapon1, con, left, 1, 1.0f);
    WeaponTurret_init(&b->turret, 0, con, top, left);
    b->acquireLight = NamedBBoardLevel(top, "acquire");
    b->recoil = TrackedRecoil(con);
    ChainDrive_init(&b->drive, con, 0, &h->state.energy, b->directory);
    for (int32_t& a : b->chainAngles) a = kQuarterTurn;
    TrackedReadKeyMultipliers(con, b->keyMultipliers);
    CreateUnitAIRecords(con, RestoringGame ? 0 : 1);
    VehicleMakeBusy(con);
}

void PlaceParts(construct* con, EMALinebackerBlock* b, int k) {
    construct* top = con->subs[kTop];
    VehiclePlacePart(con, top, b->turret.yaw, kQuarterTurn);
    for (int side = 0; side < 2; ++side)
        VehiclePlacePart(top, con->subs[kLeftBarrel + side], kTurretYawInit, b->turret.pitch);
    // The barrel that fired last recoils: the left one while the cannon's next muzzle is the right one's.
    construct* fired = con->subs[b->cannon.muzzles.cursor == 1 ? kLeftBarrel : kRightBarrel];
    TrackedRecoilPart(fired, b->cannon.fireDelayCounter, b->recoil, 18 - k);
    for (int i = 0; i < 4; ++i) VehiclePlacePart(con, con->subs[kChains + i], kTurretYawInit, b->chainAngles[i]);
    VehicleSetViews(con, &b->head, con->subs[kLeftBarrel]->orient, top);
}

void AliveStep(construct* con, TickInput* in, int k) {
    EMALinebackerBlock* b = Block(con);
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
    ChainDrive_update(&b->drive, current.axes[kAxisSteer], &steer, rec, k, &current);
    h->look[2] = steer;
    TickUnitShare(con, rec, k, previous, current);
    for (int i = 0; i < 4; ++i) con->subs[kChains + i]->effectPhase += b->drive.trackStep[i & 1];
    if (rec->stateFlag == 0) {
        if (InputKeyDown(current, kKeyFire1) && HVCannon_fire(&b->cannon))
            CameraShakeByDistance(con->subs[kLeftBarrel]->pos, 0, 30, 0.3f, kShakeRange);
        if (InputKeyDown(current, kKeyFire2)) PjtThrower_fire(&b->weapon1, nullptr, rec->velocity);
    }
    HVCannon_update(&b->cannon, 1 << k);
    PjtThrower_tick(&b->weapon1, 1 << k);
    VehicleControlSteps(con, h, &b->turret, &b->drive.g, &b->lighting, &b->sensor, in, k);
    UpdateConstructVelocity(con, rec);
    ChainSupport_angles(&b->support, con, &b->drive, b->chainAngles);
    PlaceParts(con, b, k);
    SensorTip_update(&b->sensor);
}

void Tick(construct* con, TickInput* in) {
    EMALinebackerBlock* b = Block(con);
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
    EMALinebackerBlock* b = Block(con);
    VehicleHead* h = &b->head;
    UnitShare* rec = &h->unit;
    const int k = con->busyLevel;
    const bool target = VehicleSteerBegin(con, h, in, b->acquireLight);
    ChainDrive_steerAI(&b->drive, in, rec, k, &rec->detect, nullptr);
    if (target) {
        Turret_aimAtUnit(&b->turret, in, rec, k);
        if (VehicleMayFire(rec, 0, b->cannon.ammo) && VehicleReadyToFire(&b->turret, rec, b->cannon.range))
            SetInputKey(in, kKeyFire1, true);
    } else {
        VehicleSteerIdle(h, &b->turret, in, k);
    }
    VehicleSteerLights(con, &b->lighting, target, in);
}

void UpdateAIUnit(construct* con, AIUnitRecord* ai) {
    EMALinebackerBlock* b = Block(con);
    ChainDrive_status(&b->drive.g, ai);
    for (int n = 0; n < 2; ++n) {
        Turret_status(&b->turret, &ai->weapon[n][kTurretStatusWord]);
        ai->weaponPresent[n] = 1;
    }
    HVCannon_status(&b->cannon, &ai->weapon[0][kWeaponStatusWord]);
    PjtThrower_status(&b->weapon1, &ai->weapon[1][kWeaponStatusWord]);
}

// Both barrels as the cockpit shows them, then the cockpit model turned with the left barrel.
void DrawOverlay(construct* con) {
    EMALinebackerBlock* b = Block(con);
    VehicleHead* h = &b->head;
    for (int side = 0; side < 2; ++side) {
        construct* cp = b->cockpitBarrels[side];
        const construct* barrel = con->subs[kLeftBarrel + side];
        if (!cp) continue;
        std::memcpy(cp->pos, barrel->pos, sizeof cp->pos);
        std::memcpy(cp->orient, barrel->orient, sizeof cp->orient);
        if (TransformConstruct(cp, 0, 0)) DrawConstruct(cp, 0, 0);
    }
    DrawPartAt(h->cockpit, con->subs[kLeftBarrel]->orient, &h->unit, h->lockWarning, h->missileWarning);
}

void WalkOwn(SavedWords& w, void* block) {
    auto* b = static_cast<EMALinebackerBlock*>(block);
    w.I32s(b->chainAngles, 4);
    w.I32s(b->keyMultipliers, kKeyMultiplierCount);
    w.I32(&b->recoil);
    for (int32_t* point : b->support.points) w.I32s(point, 3);
    w.I32s(b->support.ground, 4);
    w.I32s(b->support.corners, 4);
}
constexpr size_t kOwnWords = (4 + kKeyMultiplierCount + 1 + 12 + 4 + 4) * 4;

const char* CheckOwn(const void* block) {
    const auto* b = static_cast<const EMALinebackerBlock*>(block);
    // The recoil multiplies a tick count and a direction: a rule value far past any gun's is refused.
    if (b->recoil < -(1 << 16) || b->recoil > (1 << 16)) return "the barrels' recoil is out of range";
    return ChainSupport_check(&b->support);
}

const SavedModule kSavedModules[] = {
    {SavedModuleKind::Lighting, offsetof(EMALinebackerBlock, lighting)},
    {SavedModuleKind::Turret, offsetof(EMALinebackerBlock, turret)},
    {SavedModuleKind::ChainDrive, offsetof(EMALinebackerBlock, drive)},
    {SavedModuleKind::HVCannon, offsetof(EMALinebackerBlock, cannon)},
    {SavedModuleKind::PjtThrower, offsetof(EMALinebackerBlock, weapon1)},
};
const VehicleForm kForm = {kName, sizeof(EMALinebackerBlock), kOwnWords, WalkOwn, CheckOwn, kSavedModules,
                           static_cast<int>(std::size(kSavedModules))};

}  // namespace

const VehicleForm& EMALinebacker_form() { return kForm; }

const char* EMALinebacker_checkSaved(const uint8_t* block, size_t size) { return VehicleFormCheck(kForm, block, size); }

uintptr_t EMALinebacker_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
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
            if (!(con->flags & kConstructPlaced))
                for (construct*& cp : Block(con)->cockpitBarrels) {
                    FreeConstruct(cp);
                    cp = nullptr;
                }
            return VehicleFrame_itfc(kKind, con, method, arg);
        case ItfcMethod::DRAWOVERLAY:
            DrawOverlay(con);
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
