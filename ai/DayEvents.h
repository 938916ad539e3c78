// The mission's day events: the timed, daily, span, triggered and repeat events of the mission script,
// read when a level is built, checked once per tick against the game clock and the mission-description
// expressions, and carried out when due.
#pragma once

#include <cstdint>

struct MDExpr;

// The kinds of day event, by the names the script gives them.
enum : int32_t {
    kDERainStart, kDERainStop, kDESnowStart, kDESnowStop, kDECloudStart, kDECloudStop, kDEStarStart,
    kDEStarStop, kDESceneryLightingOn, kDESceneryLightingOff, kDEUnitLightingOn, kDEUnitLightingOff,
    kDESearchLightingOn, kDESearchLightingOff, kDEFxOn, kDEFxOff, kDEActivateAU, kDEDisactivateAU,
    kDEDestroyAU, kDECaptureAU, kDEDecaptureAU, kDEClanSuccess, kDEClanFailure, kDETextOut, kDEMsgOut,
    kDESwitchOn, kDESwitchOff, kDEPrimary, kDESecondary, kDEIncVar, kDEDecVar, kDESetVar, kDERestrict,
    kDEAllow, kDEAreaConstraint, kDEClansHostile, kDEClansNeutral, kDEEnterUnit, kDEAICamp,
    kDEAIHoldPosition, kDEAIGoto, kDEAISneakTo, kDEAIHide, kDEAIFollowMe, kDEAIProtect, kDEAIReachArea,
    kDEAIGatherInArea, kDEAIProtectArea, kDEAIPatrolWay, kDEAIPatrolWay2, kDEAIEscapeWay, kDEAIStandBy,
    kDEAIStandDown,
    kDayEventKinds
};

// A day event ("day event"). The saved game stores the fields up to the condition name.
struct DayEvent {
    int32_t type;         // the kind, kDERainStart .. kDEAIStandDown
    int32_t state;        // fired: executed (span and triggered events once; repeat events: the
                          // condition was true at the last check)
    int32_t delay;        // triggered events: the condition was found true and the delay runs
    float gameTime;       // timed: the game-clock second it is due; daily: the second of the day;
                          // span: the second drawn at creation; triggered: the delay left in ticks;
                          // repeat: -1
    float values[4];      // the rule's numbers after the time; 0 where it has fewer
    char attribute1[128];  // the first target word, "" when absent; longer words are cut
    char attribute2[128];  // the second target word
    char expression[64];  // the condition's name, "<none>" without one; longer names are cut
    MDExpr* condition;    // the trigger condition; null for timed, daily and span events
};

// The five lists, in the order timed, daily, span, triggered, repeat: fixed tables with a count.
constexpr int kDayEventLists = 5;
constexpr int kMaxDayEvents = 400;
enum : int { kTimedEvents, kDailyEvents, kSpanEvents, kTriggeredEvents, kRepeatEvents };
extern DayEvent* DayEventList[kDayEventLists][kMaxDayEvents];
extern int32_t DayEventCount[kDayEventLists];
// The index of the next timed event not yet carried out, and of the next daily event not yet carried
// out today (saved games and cut scenes keep and set them).
extern int32_t TimedEventCursor;
extern int32_t DailyEventCursor;

// Reads the five blocks "event_timed_%d", "event_dayly_%d", "event_span_%d", "event_triggered_%d" and
// "event_repeat_%d" from the rules; sets both cursors to 0 and forgets the scheduler's clock first.
void CreateDayEvents();
// Removes and frees every event of the five lists (the cursors are left).
void FreeDayEvents();
// A new event appended to the list: the condition (null or a name) is found or built from the script,
// the targets and names are copied, count numbers (at most four) become its values.
DayEvent* CreateDayEvent(int kind, const char* condition, const char* target1, const char* target2,
                         const float* numbers, int count, float time, DayEvent** list, int32_t* listCount);
// The same with the kind given by name.
DayEvent* CreateNamedDayEvent(const char* kindName, const char* condition, const char* target1,
                              const char* target2, const float* numbers, int count, float time,
                              DayEvent** list, int32_t* listCount);
// The kind of exactly that name (case counts); fatal "Error(NamedDayEventType): unknown day event '%s'".
int NamedDayEventType(const char* name);
// The name of a kind, "<unknown>" for any other value.
const char* DayEventTypeName(int kind);
// Takes the event out of its list (the last entry fills its place) and frees it.
void RemoveDayEvent(DayEvent* event, DayEvent** list, int32_t* listCount);
// One step per tick: carries out the events whose time or condition has come.
void DayEventScheduler();
// The scheduler forgets the clock of its previous step (a level build, a saved game read): the first
// step after it sees no change of day.
void ResetDayEventClock();
// Carries out one event.
void ExecuteDayEvent(DayEvent* event);
// 1 when the list holds an "ACTIVATEAU" event for the action unit of that name, else 0.
int FindActivateAUEvent(DayEvent** list, const char* name, int count);
// The first event of the list equal to the record in kind, values, targets, condition name and time (the
// time is not compared for span and triggered events), or null.
DayEvent* FindEquivalentDayEvent(DayEvent** list, const DayEvent* record, int count);
