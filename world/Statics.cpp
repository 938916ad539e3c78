// Statics on tiles: the stat-link store and the corner heights of placed statics.
#include "world/Statics.h"

#include <cstring>

#include "core/Memory.h"
#include "world/Construct.h"

StatLink StatLinks[kMaxStatLinks];

StatLink* AllocStatLink() {
    for (StatLink& node : StatLinks)
        if (!node.stat) return &node;
    return nullptr;
}

int LinkStatFromSfc(StatLink** head, construct* stat) {
    if (!head) return 0;
    StatLink* node = AllocStatLink();
    if (!node) FatalError("Error(LinkStatFromSfc): too many stat links");
    StatLink** tail = head;
    for (; *tail; tail = &(*tail)->next)
        if ((*tail)->stat == stat) return 0;  // already listed: the node stays free
    node->stat = stat;
    node->next = nullptr;
    *tail = node;
    return 1;
}

void UnlinkStatFromSfc(StatLink** head, construct* stat) {
    if (!head) return;
    for (StatLink** at = head; *at; at = &(*at)->next)
        if ((*at)->stat == stat) {
            StatLink* node = *at;
            *at = node->next;
            node->stat = nullptr;
            node->next = nullptr;
            return;
        }
}

void ResetStatLinks() { std::memset(StatLinks, 0, sizeof StatLinks); }

int32_t MaxCornerHeight(const construct* con) {
    int32_t y = con->box.world[0][1];
    for (const auto& corner : con->box.world)
        if (corner[1] > y) y = corner[1];
    return static_cast<int32_t>((static_cast<int64_t>(y) * 1020) >> 10);
}

int32_t MinCornerHeight(const construct* con) {
    int32_t y = con->box.world[0][1];
    for (const auto& corner : con->box.world)
        if (corner[1] < y) y = corner[1];
    return static_cast<int32_t>((static_cast<int64_t>(y) * 1020) >> 10);
}
