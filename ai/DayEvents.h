// The mission's day events: timed, daily, span, triggered and repeated events of the mission script.
#pragma once

#include <cstdint>

struct DayEvent;

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
