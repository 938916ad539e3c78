// The clan's debug print over the view: hostilities and damage, the threads with their agents, the
// agents with their chains of threads, and the threats.
#include "ai/HiLogic_local.h"
#include "render/ScreenText.h"

namespace {

const uint8_t kWhite[4] = {255, 255, 255, 255};
const uint8_t kLast[4] = {255, 128, 128, 255};  // an agent's current behaviour

const char* HostilityName(int32_t h) {
    switch (h) {
        case 0:
            return "NEUTRAL";
        case 1:
            return "ALLIED";
        case 2:
            return "HOSTILE";
        default:
            return "<uk>";
    }
}

constexpr int kFirstColumn = 17;
constexpr int kColumnStep = 10;

}  // namespace

void HL_clan::Dump() {
    auto entry = [](const std::vector<int32_t>& v, int i) { return size_t(i) < v.size() ? v[size_t(i)] : 0; };
    SetTextColor(kWhite);
    DrawTextGridf(1, 1, "clan #%d:", index);
    DrawTextGridf(1, 3, "hostility:   [0]%s  [1]%s  [2]%s", HostilityName(entry(hostility, 0)),
                  HostilityName(entry(hostility, 1)), HostilityName(entry(hostility, 2)));
    DrawTextGridf(1, 4, "damage from: [0]%d  [1]%d  [2]%d", entry(damage, 0), entry(damage, 1),
                  entry(damage, 2));
    DrawTextGridf(1, 6, "%d threads:", int(threads.size()));
    int row = 7;
    for (size_t i = 0; i < threads.size(); ++i, ++row) {
        const HL_thread* t = threads[i];
        DrawTextGridf(1, row, "thread %d (%s_%d)", int(i), t->TypeName(), t->serial);
        for (int k = 0; k < t->AgentCount(); ++k) {
            const HL_agent* agent = t->AgentAt(k);
            SetTextColor(t->LinkOf(agent) ? kWhite : kLast);
            DrawTextGridf(kFirstColumn + k * kColumnStep, row, "%s", agent->TypeName());
            SetTextColor(kWhite);
        }
    }
    ++row;
    DrawTextGridf(1, row++, "%d agents:", agents.count);
    for (int i = 0; i < agents.count; ++i, ++row) {
        const HL_agent* agent = AgentAt(i);
        DrawTextGridf(1, row, "agent %d (%s)", i, agent->TypeName());
        int column = kFirstColumn;
        size_t steps = 0;
        for (HL_thread* t = FirstThread(agent); t && steps <= threads.size(); t = t->LinkOf(agent), ++steps) {
            const bool last = !t->LinkOf(agent);
            SetTextColor(last ? kLast : kWhite);
            DrawTextGridf(column, row, "%s_%d", t->TypeName(), t->serial);
            SetTextColor(kWhite);
            column += kColumnStep;
            if (last) t->Describe(column, row);
        }
    }
    ++row;
    for (int i = 0; i < threats.count; ++i, ++row) {
        uintptr_t key = 0;
        PairList_GetAt(&threats, i, &key, nullptr);
        DrawTextGridf(1, row, "hostile %p", reinterpret_cast<void*>(key));
    }
}
