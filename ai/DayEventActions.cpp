// What a due day event does: weather and sky, lights and scenery sounds, action units placed, removed,
// destroyed or handed over, a clan's success or failure, objectives, variables, texts and messages,
// the player's restrictions, and orders to a clan's AI posted as AI messages.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "ai/AIMessage.h"
#include "ai/AUDef.h"
#include "ai/Clan.h"
#include "ai/DayEvents.h"
#include "ai/MissionDesc.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "hud/MessageLog.h"
#include "hud/MissionStatus.h"
#include "hud/TFView.h"
#include "objects/Itfc.h"
#include "objects/SceneryLighting.h"
#include "objects/UnitServices.h"
#include "platform/SoundFx.h"
#include "render/Sky.h"
#include "render/Weather.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Level.h"
#include "world/SceneryFx.h"
#include "world/WorldTick.h"

namespace {

constexpr int32_t kNoticeTicks = 100;
constexpr int32_t kFadeRate = 100;

// The units of an action unit's pool at this moment: a unit's own tick may change the pool.
std::vector<construct*> UnitsOf(const AUDef* au) {
    std::vector<construct*> units;
    if (au && au->pool) units.assign(au->pool->constructs, au->pool->constructs + au->pool->count);
    return units;
}

AUDef* PlacedAU(const char* name) {
    AUDef* au = NamedAUDef(name);
    return au && au->pool && au->placed ? au : nullptr;
}

// After action units came or went: every clan's records of its action units and the task-force group.
void RefreshAUs() {
    for (int i = 0; i < ClanCount; ++i) {
        BuildAUWaypointLists(ClanTable[i]);
        UpdateTFSelection(PlayerTFView);
    }
}

void RefreshPlayerClan() {
    if (PlayerClan) BuildAUWaypointLists(PlayerClan);
    UpdateTFSelection(PlayerTFView);
}

MDVar* Variable(const char* name) {
    MDVar* var = NamedMDVar(name);
    return var ? var : CreateMDVar(name);
}

// A tile number as a 16.16 world coordinate.
int32_t Tiles(float t) { return TruncateToInt32(static_cast<double>(t) * 65536.0); }

void ActivateAU(const char* name) {
    AUDef* au = NamedAUDef(name);
    if (!au) return;
    if (!au->pool) AUDef_itfc(au, ItfcMethod::CREATE);
    if (!au->placed) AUDef_itfc(au, ItfcMethod::PLACE);
    RefreshAUs();
}

void DisactivateAU(const char* name) {
    AUDef* au = NamedAUDef(name);
    if (!au) return;
    for (construct* con : UnitsOf(au)) RemoveFromTypePools(con);
    if (au->placed) AUDef_itfc(au, ItfcMethod::UNPLACE);
    RefreshAUs();
}

// Every unit of the action unit still standing gets structure 0 and one tick with empty controls, in
// which it destroys itself. Units already destroyed or out of the world are left alone: a second death
// would leave a second wreck.
void DestroyAU(const char* name) {
    AUDef* au = PlacedAU(name);
    if (!au) return;
    for (construct* con : UnitsOf(au)) {
        if (!(con->flags & kConstructPlaced)) continue;
        auto* state = reinterpret_cast<StateRecord*>(CallItfc(con, ItfcMethod::GETSTATE));
        if (!state || state->structure < 1) continue;
        state->structure = 0;
        TickInput input{};
        ClearInput(&input.records[0]);
        ClearInput(&input.records[1]);
        CallItfc(con, ItfcMethod::TICK, reinterpret_cast<uintptr_t>(&input));
    }
}

void CaptureAU(const char* name) {
    AUDef* au = PlacedAU(name);
    if (!au || au->action != kActionUnitCapture) return;
    if (ConstructPool* captured = FindConstructPool("tobecaptured"))
        for (construct* con : UnitsOf(au)) RemoveFromConstructPool(captured, con);
    RefreshPlayerClan();
    au->action = kActionDone;
}

void DecaptureAU(const char* name) {
    AUDef* au = PlacedAU(name);
    if (!au) return;
    if (ConstructPool* captured = FindConstructPool("tobecaptured"))
        for (construct* con : UnitsOf(au))
            if (!IsInConstructPool(con, captured)) AppendToConstructPoolIfRoom(captured, con);
    RefreshPlayerClan();
    au->action = kActionNone;
}

void SwitchAU(const char* name, ItfcMethod method) {
    if (AUDef* au = PlacedAU(name))
        for (construct* con : UnitsOf(au)) CallItfc(con, method, 1);
}

// The word of an in-game text rule: the second for a primary objective, the third for a secondary one.
// The menu texts give these rules one word only; read over the in-game texts (the in-game menu reads
// them), they leave that word, which is shown instead.
const char* ObjectiveWord(const char* rule, bool primary) {
    const Rule* r = NamedRule(rule);
    const char* word = r->info[primary ? 1 : 2];
    if (!word) word = r->info[0];
    return word ? word : "";
}

void ChangeObjective(Objective* table, bool primary, const float* params) {
    const int n = TruncateToInt32(params[0]);
    if (n < 1 || n > 5) return;
    Objective& o = table[n - 1];
    if (o.number == -1) return;
    if (o.number == -2) {
        SetViewNotice(ObjectiveWord("Obj_added", primary), ViewNoticeTimer);
        PlayObjectiveSound(2);
    }
    o.number = TruncateToInt32(params[1]);
    if (o.number == -1) {
        SetViewNotice(ObjectiveWord("Obj_failed", primary), ViewNoticeTimer);
        PlayObjectiveSound(1);
    } else if (o.number == 1) {
        SetViewNotice(ObjectiveWord("Obj_accomplished", primary), ViewNoticeTimer);
        PlayObjectiveSound(0);
    }
    // Also when the text stayed as it was: the previous notice shows again.
    ViewNoticeTimer = kNoticeTicks;
}

// The bit of a restriction event; -1 for a number whose remainder is negative (no bit).
int RestrictionBit(float param) { return TruncateToInt32(param) % 32; }

// A panel that the restrictions no longer allow goes from both panel words.
void ClosePanels(int32_t* word) {
    if (!(PlayerRestrictions & 0x10)) {
        if (*word == 1) *word = 0;
        else if (*word == 3) *word = 2;
    }
    if (!(PlayerRestrictions & 0x20)) {
        if (*word == 2) *word = 0;
        else if (*word == 3) *word = 1;
    }
}

void Restrict(float param, bool allow) {
    const int bit = RestrictionBit(param);
    if (bit < 0) return;
    if (allow) {
        PlayerRestrictions |= 1u << bit;
        return;
    }
    PlayerRestrictions &= ~(1u << bit);
    ClosePanels(&CockpitPanels);
    ClosePanels(&PanelWord);
}

void EnterUnit(const char* name, float param) {
    AUDef* au = PlacedAU(name);
    const int n = TruncateToInt32(param);
    if (!au || n < 0 || n >= au->pool->count) return;
    construct* unit = au->pool->constructs[n];
    if (unit != PlayerUnit) EnterUnitView(PlayerTFView, unit, 1);
}

// The AI orders: a message built for the clan named by the first target and posted to its queue.
void Post(Clan* clan, AIMessage* msg) { PostAIMessage(clan, msg); }

// Messages that no behaviour of the clan logic acts on; said once on the debug print per kind.
void SayUnhandled(int kind, int type) {
    static bool said[kDayEventKinds];
    if (said[kind]) return;
    said[kind] = true;
    DebugPrintf("day event %s: message %d is posted, but nothing acts on it\n", DayEventTypeName(kind), type);
}

void AIUnitsOrder(const DayEvent* ev, int type, const int32_t* point) {
    Clan* clan = NamedClan(ev->attribute1);
    AUDef* au = PlacedAU(ev->attribute2);
    if (!au) return;
    Post(clan, NewUnitsMessageShort(clan, type, 0, au->pool, nullptr, point));
}

void AIAreaOrder(const DayEvent* ev, int type) {
    Clan* clan = NamedClan(ev->attribute1);
    const float* p = ev->values;
    const int32_t corner[3] = {Tiles(p[0]), 0, Tiles(p[1])};
    const int32_t extent[3] = {Tiles(p[2] - p[0]), 0, Tiles(p[3] - p[1])};
    Post(clan, NewAIMessage(clan, type, 0, nullptr, nullptr, corner, extent));
}

void AIPathOrder(const DayEvent* ev, int type, bool second) {
    Clan* clan = NamedClan(ev->attribute1);
    AUDef* au = NamedAUDef(ev->attribute2);
    if (!au || !au->pool) return;
    const PatrolRecord* table = second ? clan->patrols2 : clan->patrols;
    const int count = second ? clan->patrol2Count : clan->patrolCount;
    for (int i = 0; i < count && i < kMaxPatrols; ++i) {
        if (table[i].au != au) continue;
        Post(clan, NewPathMessage(clan, type, 0, &table[i]));
        return;
    }
}

void OrderClanAI(const DayEvent* ev) {
    const int kind = ev->type;
    switch (kind) {
        case kDEAICamp: AIUnitsOrder(ev, 352, nullptr); break;
        case kDEAIHoldPosition: AIUnitsOrder(ev, 353, nullptr); break;
        case kDEAIGoto:
        case kDEAISneakTo: {
            const int32_t point[3] = {Tiles(ev->values[0]), 0, Tiles(ev->values[1])};
            AIUnitsOrder(ev, kind == kDEAIGoto ? 350 : 351, point);
            break;
        }
        case kDEAIHide: AIUnitsOrder(ev, 355, nullptr); break;
        case kDEAIFollowMe: {
            Clan* clan = NamedClan(ev->attribute1);
            AUDef* au = PlacedAU(ev->attribute2);
            if (au && PlayerUnit) Post(clan, NewUnitsMessageShort(clan, 356, 0, au->pool, PlayerUnit, nullptr));
            break;
        }
        case kDEAIProtect:
            AIUnitsOrder(ev, 200, nullptr);
            SayUnhandled(kind, 200);
            break;
        case kDEAIReachArea: AIAreaOrder(ev, 203); SayUnhandled(kind, 203); break;
        case kDEAIGatherInArea: AIAreaOrder(ev, 204); SayUnhandled(kind, 204); break;
        case kDEAIProtectArea: AIAreaOrder(ev, 201); SayUnhandled(kind, 201); break;
        case kDEAIPatrolWay: AIPathOrder(ev, 205, false); break;
        case kDEAIPatrolWay2: AIPathOrder(ev, 205, true); break;
        case kDEAIEscapeWay:
            AIPathOrder(ev, 206, false);
            SayUnhandled(kind, 206);
            break;
        case kDEAIStandBy: AIUnitsOrder(ev, 366, nullptr); break;
        case kDEAIStandDown: AIUnitsOrder(ev, 367, nullptr); break;
        default: break;
    }
}

void LogEvent(const DayEvent* ev) {
    char text[256];
    const char* name = DayEventTypeName(ev->type);
    if (ev->type == kDEIncVar || ev->type == kDEDecVar)
        snprintf(text, sizeof text, "%s %s", name, ev->attribute1);
    else if (ev->type == kDESetVar)
        snprintf(text, sizeof text, "%s %s %d", name, ev->attribute1, TruncateToInt32(ev->values[0]));
    else
        snprintf(text, sizeof text, "%s", name);
    ShowMessage(text, "day event:");
}

}  // namespace

void ExecuteDayEvent(DayEvent* ev) {
    if (LevelShowDayEvents) LogEvent(ev);
    const char* t1 = ev->attribute1;
    switch (ev->type) {
        case kDERainStart: StartPrecipitation(1); break;
        case kDERainStop:
        case kDESnowStop: StartPrecipitation(0); break;
        case kDESnowStart: StartPrecipitation(2); break;
        case kDECloudStart: CloudCoverRate = kFadeRate; break;
        case kDECloudStop: CloudCoverRate = -kFadeRate; break;
        case kDEStarStart: SkyFadeRate = kFadeRate; break;
        case kDEStarStop: SkyFadeRate = -kFadeRate; break;
        case kDESceneryLightingOn: SceneryLightingRate = kFadeRate; break;
        case kDESceneryLightingOff: SceneryLightingRate = -kFadeRate; break;
        case kDEUnitLightingOn: NamedClan(t1)->unitLighting = 1; break;
        case kDEUnitLightingOff: NamedClan(t1)->unitLighting = 0; break;
        case kDESearchLightingOn: NamedClan(t1)->searchLight = 1; break;
        case kDESearchLightingOff: NamedClan(t1)->searchLight = 0; break;
        case kDEFxOn:
            if (!NamedSceneryFx(t1)) CreateSceneryFx(t1);
            break;
        case kDEFxOff:
            if (SceneryFx* fx = NamedSceneryFx(t1)) DeleteSceneryFx(fx);
            break;
        case kDEActivateAU: ActivateAU(t1); break;
        case kDEDisactivateAU: DisactivateAU(t1); break;
        case kDEDestroyAU: DestroyAU(t1); break;
        case kDECaptureAU: CaptureAU(t1); break;
        case kDEDecaptureAU: DecaptureAU(t1); break;
        case kDEClanSuccess:
            NamedClan(t1)->successMark = 1;
            PlayMissionEndSound(0);
            break;
        case kDEClanFailure:
            NamedClan(t1)->failureMark = 1;
            PlayMissionEndSound(1);
            break;
        case kDETextOut: {
            const Rule* r = NamedRule(t1);
            SetViewNotice(r->info[0] ? r->info[0] : "", kNoticeTicks);
            break;
        }
        case kDEMsgOut: ShowMessage(t1, ""); break;
        case kDESwitchOn: SwitchAU(t1, ItfcMethod::SETMODE); break;
        case kDESwitchOff: SwitchAU(t1, ItfcMethod::CLEARMODE); break;
        case kDEPrimary: ChangeObjective(PrimaryObjectives, true, ev->values); break;
        case kDESecondary: ChangeObjective(SecondaryObjectives, false, ev->values); break;
        case kDEIncVar: Variable(t1)->value += 1.0f; break;
        case kDEDecVar: Variable(t1)->value -= 1.0f; break;
        case kDESetVar: Variable(t1)->value = ev->values[0]; break;
        case kDERestrict: Restrict(ev->values[0], false); break;
        case kDEAllow: Restrict(ev->values[0], true); break;
        case kDEAreaConstraint:
            SetClanUnitParams(NamedClan(t1), ev->values[0], ev->values[1], ev->values[2], ev->values[3]);
            break;
        case kDEClansHostile: SetClanHostility(NamedClan(t1), NamedClan(ev->attribute2), kHostile); break;
        case kDEClansNeutral: SetClanHostility(NamedClan(t1), NamedClan(ev->attribute2), kNeutral); break;
        case kDEEnterUnit: EnterUnit(t1, ev->values[0]); break;
        default:
            if (ev->type >= kDEAICamp && ev->type <= kDEAIStandDown) OrderClanAI(ev);
            break;
    }
}
