// EMATank: the battle tank (see EMATank.h), built on the vehicle frame: chain drive, weapon turret on the
// "top" with the "gun", two projectile throwers (the main gun and the rocket pod), unit lighting and the
// sensor tip.
#include "vehicles/types/EMATank.h"

#include <cstring>
#include <iterator>
#include <type_traits>

#include "ai/AIRecords.h"
#include "core/Fix3D.h"
#include "core/Rules.h"
#include "hud/TFView.h"
#include "objects/ConstructRes.h"
#include "objects/UnitRecord.h"
#include "objects/EffectBlocks.h"
#include "objects/Projectile.h"
#include "objects/SharedPools.h"
#include "objects/UnitSaved.h"
#include "objects/UnitServices.h"
#include "objects/UnitTick.h"
#include "objects/Units.h"
#include "platform/SoundFx.h"
#include "render/ConstructDraw.h"
#include "world/Construct.h"
#include "world/Level.h"

namespace {

constexpr const char* kName = "EMATank";
constexpr int kBlockSize = static_cast<int>(sizeof(EMATankBlock));
static_assert(std::is_standard_layout_v<EMATankBlock> && offsetof(EMATankBlock, head) == 0);
constexpr VehicleKind kKind = {kName, offsetof(EMATankBlock, turret), offsetof(EMATankBlock, drive),
                               offsetof(EMATankBlock, sensor), offsetof(EMATankBlock, lighting)};
// The parts, in slot order.
enum : int { kTop = 0, kGun = 1, kRadar = 2, kRockets = 3, kSlots = 4 };
// The main gun's shot: the flare it throws ahead, and the shake of the view.
constexpr int32_t kFlareRange = 18000;
constexpr int32_t kFlareSpeed = 600;
constexpr int32_t kShakeRange = 100000;
// The gun's smoke: a grey puff growing from 5000 by 30 a tick for 128 ticks.
constexpr int32_t kPuffSize = 5000;
constexpr int32_t kPuffGrowth = 30;
constexpr int32_t kPuffLife = 128;
constexpr uint8_t kPuffGrey = 80;

EMATankBlock* Block(construct* con) { return static_cast<EMATankBlock*>(con->itfcData); }

construct* Create(Unit* entry, const char* directory) {
    construct* con = VehicleCreateConstruct(entry, EMATank_itfc, kSlots, kGroundUnitFlags);
    const float scale = VehicleScale(con);
    auto* b = static_cast<EMATankBlock*>(VehicleAllocBlock(con, kBlockSize, directory));
    VehicleLoadBody(con, scale, directory, "body", true);
    construct* top = VehicleLoadPart(con, scale, directory, "top", 0);
    VehicleLoadPartOn(con, top, scale, directory, "gun", 0);
    VehicleLoadPartOn(con, top, scale, directory, "radar", 0);
    VehicleLoadPartOn(con, top, scale, directory, "rockets", 0);
    b->cockpitGun = VehicleLoadFreePart(scale, directory, "cp_gun");
    b->head.cockpit = VehicleLoadCockpit(con);
    VehiclePreloadWreck(con, directory);
    VehicleSetBox(con, scale);
    AllocShards(&b->head.unit.owned, directory, -1);
    return con;
}

void Unplace(construct* con) {
    if (!(con->flags & kConstructPlaced)) return;
    EMATankBlock* b = Block(con);
    UnitLighting_free(&b->lighting);
    FreeUnitShareData(con, &b->head.unit);
    Turret_release(&b->turret);
    SensorTip_release(&b->sensor);
    ChainDrive_release(&b->drive);
    PjtThrower_free(&b->weapon0);
    PjtThrower_free(&b->weapon1);
    VehicleEndUnplace(con);
}

void Place(construct* con, const PlacementRecord* place) {
    EMATankBlock* b = Block(con);
    VehicleHead* h = &b->head;
    construct* top = con->subs[kTop];
    construct* gun = con->subs[kGun];
    const float scale = VehiclePlaceHead(con, h, place);
    WeaponTurret_init(&b->turret, 0, con, top, gun);
    ChainDrive_init(&b->drive, con, 0, &h->state.energy, b->directory);
    b->radarAngle = 0;
    b->rocketElevation = b->rocketRate = 0;
    b->smokePuffs = b->puffCountdown = 0;
    std::memset(b->muzzleOffset, 0, sizeof b->muzzleOffset);
    b->acquireLight = NamedBBoardLevel(top, "acquire");
    b->recoil = TrackedRecoil(con);
    VehicleInitLighting(con, &b->lighting, true);
    SensorTip_init(&b->sensor, con, gun, 1.0f);
    PjtThrower_init(&b->weapon0, con, gun, 0, scale);
    PjtThrower_init(&b->weapon1, con, con->subs[kRockets], 1, scale);
    const Unit* u = con->unit;
    LookupSound(&b->rocketSound, "%s_FX_rockets_elevate", u->rulePrefix ? u->rulePrefix : u->name);
    TrackedReadKeyMultipliers(con, b->keyMultipliers);
    CreateUnitAIRecords(con, RestoringGame ? 0 : 1);
    VehicleMakeBusy(con);
}

// The main gun fired: the view shakes, a flare flies from the muzzle just used, and the smoke starts.
void MainGunShot(construct* con, EMATankBlock* b) {
    construct* gun = con->subs[kGun];
    const PjtThrower& w = b->weapon0;
    CameraShakeByDistance(gun->pos, 0, 40, 0.8f, kShakeRange);
    const int32_t* offset = w.muzzleCount > 0 && w.muzzles
                                ? w.muzzles[(w.muzzleCursor + w.muzzleCount - 1) % w.muzzleCount].offset
                                : b->muzzleOffset;
    std::memmove(b->muzzleOffset, offset, sizeof b->muzzleOffset);
    // The flare is taken busy from its pool, so that it ticks and returns (taken idle, it stood where it
    // was launched for good, and after 24 shots the pool had none left).
    if (construct* flare = SpawnEffect(gun, SharedPoolId::ShellFlare)) {
        PlaceRelativeToOwner(gun, flare, b->muzzleOffset);
        flare->owner = con;
        LaunchRecord launch{};
        launch.range = kFlareRange;
        launch.speed = kFlareSpeed;
        launch.weaponPart = con;
        CallItfc(flare, ItfcMethod::LAUNCH, reinterpret_cast<uintptr_t>(&launch));
    }
    b->smokePuffs = kTankSmokePuffs;
    b->puffCountdown = 0;
}

void Weapons(construct* con, EMATankBlock* b, const ControlInput& current, int k) {
    UnitShare* rec = &b->head.unit;
    if (rec->stateFlag == 0) {
        if (InputKeyDown(current, kKeyFire1) && PjtThrower_fire(&b->weapon0, nullptr, rec->velocity))
            MainGunShot(con, b);
        if (InputKeyDown(current, kKeyFire2) && rec->locked) PjtThrower_fire(&b->weapon1, rec->lockTarget, rec->velocity);
    }
    PjtThrower_tick(&b->weapon0, 1 << k);
    PjtThrower_tick(&b->weapon1, 1 << k);
}

// A puff of the gun's smoke every 16 ticks while puffs are left.
void Smoke(construct* con, EMATankBlock* b, int k) {
    if (b->smokePuffs <= 0) return;
    b->puffCountdown -= 1 << k;
    if (b->puffCountdown >= 0) return;
    b->puffCountdown = kTankPuffInterval;
    --b->smokePuffs;
    construct* gun = con->subs[kGun];
    construct* puff = SpawnEffect(gun, SharedPoolId::Dust);
    if (!puff) return;
    PlaceRelativeToOwner(gun, puff, b->muzzleOffset);
    if (bboard* bb = PjtFirstBBoard(puff)) {
        bb->size1 = kPuffSize;
        std::memset(bb->colour, kPuffGrey, 3);
    }
    auto* d = static_cast<DustBlock*>(puff->itfcData);
    d->growth = kPuffGrowth;
    d->life = kPuffLife;
    for (int c = 0; c < 3; ++c) d->velocity[c] = gun->orient[6 + c] >> 1;
}

// The rocket pod rises while a lock is complete and sinks without one; its motor sounds once per change
// of direction.
void RocketPod(construct* con, EMATankBlock* b, int k) {
    const UnitShare* rec = &b->head.unit;
    const bool locked = rec->lockTarget && rec->locked;
    int32_t want = b->rocketRate;
    if (locked && b->rocketElevation < 255 && b->rocketRate != kTankRocketRate) want = kTankRocketRate;
    if (!locked && b->rocketElevation > 0 && b->rocketRate != -kTankRocketRate) want = -kTankRocketRate;
    if (want != b->rocketRate) {
        b->rocketRate = want;
        PlayUnitSoundAt(con->subs[kRockets], &b->rocketSound);
    }
    b->rocketElevation += b->rocketRate * (1 << k);
    if (b->rocketElevation >= 255 || b->rocketElevation <= 0) {
        b->rocketElevation = b->rocketElevation >= 255 ? 255 : 0;
        b->rocketRate = 0;
    }
}

void PlaceParts(construct* con, EMATankBlock* b, int k) {
    construct* top = con->subs[kTop];
    construct* gun = con->subs[kGun];
    VehiclePlacePart(con, top, b->turret.yaw, kQuarterTurn);
    VehiclePlacePart(top, gun, -kQuarterTurn, b->turret.pitch);
    TrackedRecoilPart(gun, b->weapon0.fireDelayCounter, b->recoil, 19 - k);
    VehiclePlacePart(top, con->subs[kRadar], b->radarAngle, kQuarterTurn);
    VehiclePlacePart(top, con->subs[kRockets], -kQuarterTurn, kQuarterTurn, (b->rocketElevation + 50) * 6);
    VehicleSetViews(con, &b->head, gun->orient, top);
}

void AliveStep(construct* con, TickInput* in, int k) {
    EMATankBlock* b = Block(con);
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
    // The chains run: the body's first two billboards are the left and the right chain.
    if (con->bboardCount >= 2) {
        con->bboards[0]->time -= b->drive.trackStep[0];
        con->bboards[1]->time -= b->drive.trackStep[1];
    }
    Weapons(con, b, current, k);
    Smoke(con, b, k);
    RocketPod(con, b, k);
    b->radarAngle += kTankRadarStep << k;
    VehicleControlSteps(con, h, &b->turret, &b->drive.g, &b->lighting, &b->sensor, in, k);
    UpdateConstructVelocity(con, rec);
    PlaceParts(con, b, k);
    SensorTip_update(&b->sensor);
}

void Tick(construct* con, TickInput* in) {
    EMATankBlock* b = Block(con);
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
    EMATankBlock* b = Block(con);
    VehicleHead* h = &b->head;
    UnitShare* rec = &h->unit;
    const int k = con->busyLevel;
    const bool target = VehicleSteerBegin(con, h, in, b->acquireLight);
    ChainDrive_steerAI(&b->drive, in, rec, k, &rec->detect, nullptr);
    if (target) {
        Turret_aimAtUnit(&b->turret, in, rec, k);
        if (VehicleMayFire(rec, 0, b->weapon0.ammo) && VehicleReadyToFire(&b->turret, rec, b->weapon0.range))
            SetInputKey(in, kKeyFire1, true);
        // The rockets only at the target itself, one salvo in the air at a time.
        if (VehicleMayFire(rec, 1, b->weapon1.ammo) && rec->lockTarget == rec->target && !b->weapon1.lastProjectile &&
            VehicleReadyToFire(&b->turret, rec, b->weapon1.range))
            SetInputKey(in, kKeyFire2, true);
        TrackedNextTargetKey(rec, in);
    } else {
        VehicleSteerIdle(h, &b->turret, in, k);
    }
    VehicleSteerLights(con, &b->lighting, target, in);
}

void UpdateAIUnit(construct* con, AIUnitRecord* ai) {
    EMATankBlock* b = Block(con);
    ChainDrive_status(&b->drive.g, ai);
    const PjtThrower* weapons[2] = {&b->weapon0, &b->weapon1};
    for (int n = 0; n < 2; ++n) {
        Turret_status(&b->turret, &ai->weapon[n][kTurretStatusWord]);
        ai->weaponPresent[n] = 1;
        PjtThrower_status(weapons[n], &ai->weapon[n][kWeaponStatusWord]);
    }
}

// The gun as the cockpit shows it, then the cockpit model turned with the top.
void DrawOverlay(construct* con) {
    EMATankBlock* b = Block(con);
    VehicleHead* h = &b->head;
    const construct* gun = con->subs[kGun];
    if (construct* cp = b->cockpitGun) {
        std::memcpy(cp->pos, gun->pos, sizeof cp->pos);
        std::memcpy(cp->orient, gun->orient, sizeof cp->orient);
        if (TransformConstruct(cp, 0, 0)) DrawConstruct(cp, 0, 0);
    }
    DrawPartAt(h->cockpit, con->subs[kTop]->orient, &h->unit, h->lockWarning, h->missileWarning);
}

// The saved form's own words.
void WalkOwn(SavedWords& w, void* block) {
    auto* b = static_cast<EMATankBlock*>(block);
    w.I32s(b->keyMultipliers, kKeyMultiplierCount);
    w.I32(&b->rocketElevation);
    w.I32(&b->rocketRate);
    w.I32(&b->smokePuffs);
    w.I32(&b->puffCountdown);
    w.I32s(b->muzzleOffset, 3);
}
constexpr size_t kOwnWords = (kKeyMultiplierCount + 7) * 4;

const char* CheckOwn(const void* block) {
    const auto* b = static_cast<const EMATankBlock*>(block);
    if (b->rocketElevation < 0 || b->rocketElevation > 255) return "the rocket pod's elevation is outside 0..255";
    if (b->rocketRate != 0 && b->rocketRate != kTankRocketRate && b->rocketRate != -kTankRocketRate)
        return "the rocket pod's rate is not -10, 0 or 10";
    if (b->smokePuffs < 0 || b->smokePuffs > kTankSmokePuffs) return "the gun's smoke puffs are outside 0..4";
    // The countdown runs from 16 down past 0 by at most a busy level's eight ticks.
    if (b->puffCountdown < -8 || b->puffCountdown > kTankPuffInterval) return "the smoke's countdown is out of range";
    for (int32_t v : b->muzzleOffset)
        if (v < -(1 << 20) || v > (1 << 20)) return "the gun's muzzle lies far off the gun";
    return nullptr;
}

const SavedModule kSavedModules[] = {
    {SavedModuleKind::Lighting, offsetof(EMATankBlock, lighting)},
    {SavedModuleKind::Turret, offsetof(EMATankBlock, turret)},
    {SavedModuleKind::ChainDrive, offsetof(EMATankBlock, drive)},
    {SavedModuleKind::PjtThrower, offsetof(EMATankBlock, weapon0)},
    {SavedModuleKind::PjtThrower, offsetof(EMATankBlock, weapon1)},
};
const VehicleForm kForm = {kName, sizeof(EMATankBlock), kOwnWords, WalkOwn, CheckOwn, kSavedModules,
                           static_cast<int>(std::size(kSavedModules))};

}  // namespace

const VehicleForm& EMATank_form() { return kForm; }

const char* EMATank_checkSaved(const uint8_t* block, size_t size) { return VehicleFormCheck(kForm, block, size); }

uintptr_t EMATank_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
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
            // The free cockpit gun goes first; a placed tank is refused by the frame.
            if (!(con->flags & kConstructPlaced)) {
                FreeConstruct(Block(con)->cockpitGun);
                Block(con)->cockpitGun = nullptr;
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
