// The mission's day events: timed, daily, span, triggered and repeated events of the mission script.
#pragma once

#include <cstdint>

// A day event. The saved game stores and restores the fields below; the day events add their own.
struct DayEvent {
    int32_t type;
    int32_t state;     // a state word of the event
    int32_t delay;
    float gameTime;
    float values[4];
    char attribute1[128];
    char attribute2[128];
    char expression[64];  // the event's mission-description expression
};

// The five lists, in the order timed, daily, span, triggered, repeat, with their counts.
constexpr int kDayEventLists = 5;
extern DayEvent** DayEventList[kDayEventLists];
extern int32_t DayEventCount[kDayEventLists];

// Makes the day events from the mission script's numbered event blocks, and frees them all.
void CreateDayEvents();
void FreeDayEvents();
// Fires every day event whose time or trigger has come; once per tick.
void DayEventScheduler();
// 1 when the list holds an "ACTIVATEAU" event for the action unit of that name, else 0.
int FindActivateAUEvent(DayEvent** list, const char* name, int count);
// The event of the list equal to the record in kind, parameters and names, or null. Not built yet: the
// lists are empty, so there is none.
DayEvent* FindEquivalentDayEvent(DayEvent** list, const DayEvent* record, int count);
