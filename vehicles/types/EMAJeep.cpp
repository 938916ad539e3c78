// EMAJeep: the four-wheeled jeep (see EMAJeep.h), built on the vehicle frame.
#include "vehicles/types/EMAJeep.h"

#include <cstring>

#include "ai/AIRecords.h"
#include "ai/Clan.h"
#include "ai/RecordReplay.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "objects/ConstructRes.h"
#include "objects/UnitRecord.h"
#include "objects/UnitServices.h"
#include "objects/UnitTick.h"
#include "objects/Units.h"
#include "world/Construct.h"
#include "world/Level.h"
#include "world/TickCounter.h"

namespace {

constexpr const char* kName = "EMAJeep";
constexpr int kBlockSize = static_cast<int>(sizeof(EMAJeepBlock));
// The turret's angles that point it straight ahead and level.
constexpr int32_t kTurretAhead = 308830;

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
    VehicleEndUnplace(con);
}

void Place(construct* con, const PlacementRecord* place) {
    VehicleCheckImpact(con);
    VehicleBeginPlace(con, 0);
    EMAJeepBlock* b = Block(con);
    VehiclePlaceBody(con, place, true);
    const float scale = Scale(con);
    AddToTypePools(con);
    InitUnitShare(con, &b->head.unit, scale);
    std::memset(b->head.look, 0, sizeof b->head.look);
    b->head.stealthMode = 0;
    b->head.dead = 0;
    VehicleReadCombatRules(con, &b->head, place);
    VehicleFindWarnings(&b->head);
    CreateUnitAIRecords(con, RestoringGame ? 0 : 1);
    VehicleMakeBusy(con);
}

void PlaceParts(construct* con) {
    construct* top = con->subs[0];
    for (int i = 1; i <= 2; ++i) VehiclePlacePart(con, con->subs[i], -kQuarterTurn, kQuarterTurn);
    VehiclePlacePart(con, top, kTurretAhead, kQuarterTurn);
    VehicleSetViews(con, &Block(con)->head, top->orient);
}

void AliveStep(construct* con, const TickInput* in, int k) {
    EMAJeepBlock* b = Block(con);
    VehicleHead* h = &b->head;
    UnitShare* rec = &h->unit;
    const ControlInput& previous = in->records[0];
    const ControlInput& current = in->records[1];
    VehicleRecover(h);
    TickUnitShare(con, rec, k, previous, current);
    if (InputKeyDown(current, kKeySelfDestruct) && RecordReplayActive) h->state.structure = 0;
    VehicleStealthToggle(con, h, in, 0);
    UpdateConstructVelocity(con, rec);
    PlaceParts(con);
}

void Die(construct* con) {
    EMAJeepBlock* b = Block(con);
    if (b->head.dead) return;
    b->head.dead = 1;
    VehicleDieDebris(con, &b->head);
    VehicleLeaveWreck(con, b->directory);
}

void Tick(construct* con, const TickInput* in) {
    EMAJeepBlock* b = Block(con);
    const int k = con->busyLevel;
    UpdateSpotEffects(con);
    VehicleApplyHits(con, &b->head);
    VehicleCountdowns(&b->head, k);
    if (b->head.state.structure > 0)
        AliveStep(con, in, k);
    else
        Die(con);
}

}  // namespace

uintptr_t EMAJeep_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(
                Create(reinterpret_cast<Unit*>(con), reinterpret_cast<const char*>(arg)));
        case ItfcMethod::TICK:
            Tick(con, reinterpret_cast<const TickInput*>(arg));
            return 0;
        case ItfcMethod::PLACE:
            Place(con, reinterpret_cast<const PlacementRecord*>(arg));
            return 0;
        case ItfcMethod::UNPLACE:
            Unplace(con);
            return 0;
        case ItfcMethod::GETNAME:
            return reinterpret_cast<uintptr_t>(kName);
        case ItfcMethod::GETDAMAGE:
            return reinterpret_cast<uintptr_t>(&Block(con)->head.impact);
        case ItfcMethod::GETSTATE:
            return reinterpret_cast<uintptr_t>(&Block(con)->head.state);
        case ItfcMethod::GETMAXIMA:
            return reinterpret_cast<uintptr_t>(&Block(con)->head.maxima);
        case ItfcMethod::GETPOS:
            std::memcpy(reinterpret_cast<int32_t*>(arg), con->pos, sizeof con->pos);
            return 0;
        case ItfcMethod::DESTROY:
            VehicleDestroy(con, &Block(con)->head);
            return 0;
        case ItfcMethod::SETLOOK: {
            const auto* look = reinterpret_cast<const ControlInput*>(arg);
            VehicleHead* h = &Block(con)->head;
            h->look[0] = look->axes[kAxisYaw];
            h->look[1] = look->axes[kAxisPitch];
            h->look[2] = look->axes[kAxisSteer];
            return 0;
        }
        case ItfcMethod::GETUNIT:
            return reinterpret_cast<uintptr_t>(con->itfcData);
        case ItfcMethod::GETGAUGES2:
            return 0;
        case ItfcMethod::GETITFCDATA:
            return VehicleSavedBlock(&Block(con)->head, kName, arg);
        case ItfcMethod::SETITFCDATA:
            VehicleRestoreSaved(&Block(con)->head, reinterpret_cast<const void*>(arg));
            return 0;
        case ItfcMethod::UPDATEAIUNIT: {
            auto* ai = reinterpret_cast<AIUnitRecord*>(arg);
            ai->weaponPresent[0] = 1;
            return 1;
        }
        case ItfcMethod::DRAWOVERLAY: {
            EMAJeepBlock* b = Block(con);
            DrawPartAt(b->head.cockpit, con->orient, &b->head.unit, b->head.lockWarning, b->head.missileWarning);
            return 0;
        }
        case ItfcMethod::GETTURRETPOS:
            return reinterpret_cast<uintptr_t>(con->subs[0]->pos);
        case ItfcMethod::GETTURRETMATRIX:
            return reinterpret_cast<uintptr_t>(con->subs[0]->orient);
        case ItfcMethod::STEERAI:
        case ItfcMethod::VIEWINSIDE:
        case ItfcMethod::VIEWOUTSIDE:
        case ItfcMethod::GETGAUGES:
        case ItfcMethod::GETTURRETYAW:
        case ItfcMethod::GETTURRETPITCH:
        case ItfcMethod::GETACCESSTYPE:
        case ItfcMethod::PLAYERENTER:
        case ItfcMethod::PLAYERLEAVE:
        case ItfcMethod::VIEWRELEASE:
        case ItfcMethod::GETTHROTTLE:
        case ItfcMethod::SETTURRETYAW:
        case ItfcMethod::SETTURRETPITCH:
        case ItfcMethod::DRAWVIEWMARKS:
        case ItfcMethod::DRAWOWNMARKS:
        case ItfcMethod::GROUNDCHANGED:
        case ItfcMethod::GETDRIVEFLAG:
        case ItfcMethod::MANUALCONTROL:
            return 0;
        case ItfcMethod::ATTACH:
        case ItfcMethod::HIT:
        case ItfcMethod::SETPARAMS:
        case ItfcMethod::ADDTARGET:
        case ItfcMethod::REMOVETARGET:
        case ItfcMethod::FRAMETARGETS:
        case ItfcMethod::GETLOOKAT:
        case ItfcMethod::EXPORTDRIVE:
        case ItfcMethod::SETBRIGHTNESS:
        case ItfcMethod::SETMODE:
        case ItfcMethod::CLEARMODE:
        case ItfcMethod::GETMODE:
        case ItfcMethod::COPYITFCDATA:
        case ItfcMethod::CARHIT:
        case ItfcMethod::CYCLEMODE:
        case ItfcMethod::LAUNCH:
        case ItfcMethod::FOLLOWTOGGLE:
        case ItfcMethod::FOLLOWUNIT:
        case ItfcMethod::SETWATCHVALUE:
            break;
    }
    return VehicleUnknownMethod(kName, method);
}
