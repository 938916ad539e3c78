// Day events are not built yet: the lists stay empty.
#include "ai/DayEvents.h"

DayEvent** DayEventList[kDayEventLists];
int32_t DayEventCount[kDayEventLists];

void CreateDayEvents() {}
void FreeDayEvents() {}
void DayEventScheduler() {}
int FindActivateAUEvent(DayEvent** list, const char* name, int count) {
    (void)list, (void)name, (void)count;
    return 0;
}
DayEvent* FindEquivalentDayEvent(DayEvent** list, const DayEvent* record, int count) {
    (void)list, (void)record, (void)count;
    return nullptr;
}
