// Day events: the five blocks of the mission script read into five fixed lists when a level is built,
// and the scheduler that checks them once per tick against the game clock and their conditions. What
// each kind does is in DayEventActions.cpp.
#include "ai/DayEvents.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "ai/MissionDesc.h"
#include "core/FixMath.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "world/WorldTick.h"

DayEvent* DayEventList[kDayEventLists][kMaxDayEvents];
int32_t DayEventCount[kDayEventLists];
int32_t TimedEventCursor = 0;
int32_t DailyEventCursor = 0;

namespace {

constexpr const char* kKindNames[] = {
    "RAINSTART",       "RAINSTOP",          "SNOWSTART",       "SNOWSTOP",          "CLOUDSTART",
    "CLOUDSTOP",       "STARSTART",         "STARSTOP",        "SCENERYLIGHTINGON", "SCENERYLIGHTINGOFF",
    "UNITLIGHTINGON",  "UNITLIGHTINGOFF",   "SEARCHLIGHTINGON", "SEARCHLIGHTINGOFF", "FXON",
    "FXOFF",           "ACTIVATEAU",        "DISACTIVATEAU",   "DESTROYAU",         "CAPTUREAU",
    "DECAPTUREAU",     "CLANSUCCESS",       "CLANFAILURE",     "TEXTOUT",           "MSGOUT",
    "SWITCHON",        "SWITCHOFF",         "PRIMARY",         "SECONDARY",         "INCVAR",
    "DECVAR",          "SETVAR",            "RESTRICT",        "ALLOW",             "AREACONSTRAINT",
    "CLANSHOSTILE",    "CLANSNEUTRAL",      "ENTERUNIT",       "AI_CAMP",           "AI_HOLDPOSITION",
    "AI_GOTO",         "AI_SNEAKTO",        "AI_HIDE",         "AI_FOLLOWME",       "AI_PROTECT",
    "AI_REACHAREA",    "AI_GATHERINAREA",   "AI_PROTECTAREA",  "AI_PATROLWAY",      "AI_PATROLWAY2",
    "AI_ESCAPEWAY",    "AI_STANDBY",        "AI_STANDDOWN",
};
static_assert(std::size(kKindNames) == kDayEventKinds, "one name per day-event kind");

constexpr double kDay = 86400.0;

// The game clock of the scheduler's previous step.
float RememberedClock = 0.0f;

// How one block of the script is read.
struct Block {
    const char* key;       // rule name format with the index
    int list;
    int timeNumbers;       // numbers before the params: 3 timed, 2 daily, 6 span, 1 triggered, 0 repeat
    bool condition;        // the first word names the condition, the second the kind
    const char* noTime;    // too few numbers
    const char* outOfOrder;  // a time below the previous event's (null: no order)
    const char* tooMany;     // index 400 present (null: not tested)
};

constexpr Block kBlocks[] = {
    {"event_timed_%d", kTimedEvents, 3, false, "Error(CreateDayEvents): timed event without time specifier",
     "Error(CreateDayEvents): timed events non-sequential", "Error(CreateDayEvents): too many timed events"},
    {"event_dayly_%d", kDailyEvents, 2, false, "Error(CreateDayEvents): dayly event without time specifier",
     "Error(CreateDayEvents): dayly events non-sequential", "Error(CreateDayEvents): too many dayly events"},
    {"event_span_%d", kSpanEvents, 6, false, "Error(CreateDayEvents): span event without time specifier",
     nullptr, nullptr},
    {"event_triggered_%d", kTriggeredEvents, 1, true,
     "Error(CreateDayEvents): triggered event without delay time", nullptr,
     "Error(CreateDayEvents): too many triggered events"},
    {"event_repeat_%d", kRepeatEvents, 0, true, nullptr, nullptr, "Error(CreateDayEvents): too many repeat events"},
};

// Seconds of day, hour and minute, truncated toward zero to whole seconds.
float WholeSeconds(double day, double hour, double minute) {
    return static_cast<float>(std::trunc(day * kDay + hour * 3600.0 + minute * 60.0));
}

// The time an event of the block is due (its meaning depends on the list).
float EventTime(const Block& b, const Rule* r) {
    const float* v = r->values;
    switch (b.list) {
        case kTimedEvents: return WholeSeconds(v[0], v[1], v[2]);
        case kDailyEvents: return WholeSeconds(0.0, v[0], v[1]);
        case kSpanEvents: {
            const float start = WholeSeconds(v[0], v[1], v[2]);
            const float end = WholeSeconds(v[3], v[4], v[5]);
            if (end < start) FatalError("Error(CreateDayEvents): wrong time span");
            return std::trunc(RandomInRange(start, end));
        }
        case kTriggeredEvents: return v[0] * 100.0f;
        default: return -1.0f;
    }
}

void ReadBlock(const Block& b) {
    float previous = 0.0f;
    bool first = true;
    for (int index = 0; index < kMaxDayEvents; ++index) {
        const Rule* r = FindRulef(b.key, index);
        if (!r) continue;
        char name[64];
        snprintf(name, sizeof name, b.key, index);
        if (r->count < b.timeNumbers) FatalError(b.noTime);
        const float time = EventTime(b, r);
        if (b.outOfOrder && !first && time < previous) FatalError(b.outOfOrder);
        // A rule without its kind word (or, for triggered and repeat events, without its condition) names
        // no event: refused by its name, where reading on would take a word that is not there.
        const char* condition = b.condition ? r->info[0] : nullptr;
        const char* kind = r->info[b.condition ? 1 : 0];
        if (!kind) FatalErrorF("Error(CreateDayEvents): '%s' without event kind", name);
        const char* target1 = r->info[b.condition ? 2 : 1];
        const char* target2 = r->info[b.condition ? 3 : 2];
        const int params = r->count - b.timeNumbers;
        CreateNamedDayEvent(kind, condition, target1, target2, r->values + b.timeNumbers, params, time,
                            DayEventList[b.list], &DayEventCount[b.list]);
        previous = time;
        first = false;
    }
    if (b.tooMany && FindRulef(b.key, kMaxDayEvents)) FatalError(b.tooMany);
}

// The second of the day of a clock value, from its whole seconds.
double SecondOfDay(float clock) {
    const double t = std::trunc(static_cast<double>(clock));
    return std::isfinite(t) ? std::fmod(t, kDay) : 0.0;
}

}  // namespace

int NamedDayEventType(const char* name) {
    for (int i = 0; i < kDayEventKinds; ++i)
        if (std::strcmp(kKindNames[i], name) == 0) return i;
    FatalErrorF("Error(NamedDayEventType): unknown day event '%s'", name);
    return 0;
}

const char* DayEventTypeName(int kind) {
    return kind >= 0 && kind < kDayEventKinds ? kKindNames[kind] : "<unknown>";
}

DayEvent* CreateDayEvent(int kind, const char* condition, const char* target1, const char* target2,
                         const float* numbers, int count, float time, DayEvent** list, int32_t* listCount) {
    if (*listCount >= kMaxDayEvents) FatalError("Error(CreateDayEvent): Too many day events");
    MDExpr* expr = nullptr;
    if (condition) {
        expr = NamedMDExpr(condition);
        if (!expr) expr = CreateMDExpr(condition);
        if (!expr) FatalErrorF("Error(CreateDayEvent): trigger condition '%s' not present", condition);
    }
    auto* ev = static_cast<DayEvent*>(qzAlloc(sizeof(DayEvent), "day event"));
    std::memset(ev, 0, sizeof *ev);
    snprintf(ev->expression, sizeof ev->expression, "%s", condition ? condition : "<none>");
    ev->condition = expr;
    ev->type = kind;
    ev->gameTime = time;
    snprintf(ev->attribute1, sizeof ev->attribute1, "%s", target1 ? target1 : "");
    snprintf(ev->attribute2, sizeof ev->attribute2, "%s", target2 ? target2 : "");
    for (int i = 0; i < 4; ++i) ev->values[i] = i < count ? numbers[i] : 0.0f;
    list[(*listCount)++] = ev;
    return ev;
}

DayEvent* CreateNamedDayEvent(const char* kindName, const char* condition, const char* target1,
                              const char* target2, const float* numbers, int count, float time,
                              DayEvent** list, int32_t* listCount) {
    return CreateDayEvent(NamedDayEventType(kindName), condition, target1, target2, numbers, count, time, list,
                          listCount);
}

void RemoveDayEvent(DayEvent* event, DayEvent** list, int32_t* listCount) {
    for (int i = 0; i < *listCount; ++i) {
        if (list[i] != event) continue;
        list[i] = list[--*listCount];
        list[*listCount] = nullptr;
        qzFree(event);
        return;
    }
}

void CreateDayEvents() {
    TimedEventCursor = DailyEventCursor = 0;
    ResetDayEventClock();
    for (const Block& b : kBlocks) ReadBlock(b);
}

void FreeDayEvents() {
    for (int list = 0; list < kDayEventLists; ++list)
        while (DayEventCount[list] > 0) RemoveDayEvent(DayEventList[list][0], DayEventList[list], &DayEventCount[list]);
}

void ResetDayEventClock() { RememberedClock = 0.0f; }

void DayEventScheduler() {
    const float clock = GameClockSeconds;
    // The cursors may have been set from outside (a saved game, a cut scene): one below 0 starts over.
    if (TimedEventCursor < 0) TimedEventCursor = 0;
    if (DailyEventCursor < 0) DailyEventCursor = 0;
    DayEvent** timed = DayEventList[kTimedEvents];
    while (TimedEventCursor < DayEventCount[kTimedEvents] && timed[TimedEventCursor]->gameTime <= clock) {
        ExecuteDayEvent(timed[TimedEventCursor]);
        ++TimedEventCursor;
    }
    DayEvent** daily = DayEventList[kDailyEvents];
    const double ofDay = std::fmod(static_cast<double>(clock), kDay);
    while (DailyEventCursor < DayEventCount[kDailyEvents] && ofDay >= daily[DailyEventCursor]->gameTime) {
        ExecuteDayEvent(daily[DailyEventCursor]);
        ++DailyEventCursor;
    }
    for (int i = 0; i < DayEventCount[kSpanEvents]; ++i) {
        DayEvent* ev = DayEventList[kSpanEvents][i];
        if (ev->state || ev->gameTime > clock) continue;
        ev->state = 1;
        ExecuteDayEvent(ev);
    }
    for (int i = 0; i < DayEventCount[kTriggeredEvents]; ++i) {
        DayEvent* ev = DayEventList[kTriggeredEvents][i];
        if (ev->state) continue;
        if (!ev->delay) {
            if (EvalMDExpr(ev->condition)) ev->delay = 1;
            continue;
        }
        if (ev->gameTime <= 0.0f) {
            ev->state = 1;
            ExecuteDayEvent(ev);
        } else {
            ev->gameTime -= 1.0f;
        }
    }
    for (int i = 0; i < DayEventCount[kRepeatEvents]; ++i) {
        DayEvent* ev = DayEventList[kRepeatEvents][i];
        if (!EvalMDExpr(ev->condition)) {
            ev->state = 0;
        } else if (!ev->state) {
            ev->state = 1;
            ExecuteDayEvent(ev);
        }
    }
    if (SecondOfDay(clock) < SecondOfDay(RememberedClock)) DailyEventCursor = 0;
    RememberedClock = clock;
}

int FindActivateAUEvent(DayEvent** list, const char* name, int count) {
    for (int i = 0; i < count; ++i)
        if (list[i]->type == kDEActivateAU && std::strcmp(list[i]->attribute1, name) == 0) return 1;
    return 0;
}

DayEvent* FindEquivalentDayEvent(DayEvent** list, const DayEvent* record, int count) {
    const bool timeCounts = list != DayEventList[kSpanEvents] && list != DayEventList[kTriggeredEvents];
    for (int i = 0; i < count; ++i) {
        const DayEvent* ev = list[i];
        if (ev->type != record->type) continue;
        bool same = true;
        for (int k = 0; k < 4; ++k) same = same && ev->values[k] == record->values[k];
        if (!same || std::strcmp(ev->attribute1, record->attribute1) != 0 ||
            std::strcmp(ev->attribute2, record->attribute2) != 0 || std::strcmp(ev->expression, record->expression) != 0)
            continue;
        if (timeCounts && ev->gameTime != record->gameTime) continue;
        return list[i];
    }
    return nullptr;
}
