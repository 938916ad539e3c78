// The high-level AI's frame as far as the bridge needs it: the clans think over their queues and, until
// the clan logic exists, answer with no orders.
#include "ai/HiLogic.h"

#include "ai/Clan.h"
#include "core/Memory.h"

namespace {
HL_ThinkHook g_thinkHook = nullptr;
}

void HL_SetThinkHook(HL_ThinkHook hook) {
    g_thinkHook = hook;
}

HL_hilogic::HL_hilogic(int clanCount) : clanCount_(clanCount) {}
HL_hilogic::~HL_hilogic() = default;

AIOrder* HL_hilogic::Think(int clanIndex, int ticks, AIMessage* queue) {
    if (g_thinkHook) return g_thinkHook(clanIndex, ticks, queue);
    return nullptr;
}

int HL_hilogic::TargetsUnit(int clanIndex, const AIUnitRecord* rec) {
    (void)clanIndex;
    (void)rec;
    return 0;
}

void HL_hilogic::DumpClan(int clanNumber) { (void)clanNumber; }

void HL_hilogic::ExportClan(FILE* file, int clanIndex, uint32_t* size) {
    (void)file;
    (void)size;
    if (clanIndex < 0 || clanIndex >= ClanCount || clanIndex >= clanCount_)
        FatalErrorF("Error(HL_hilogic::ExportClan): clan %d does not exist", clanIndex);
}

void HL_hilogic::ImportClan(FILE* stream, int clanIndex) {
    (void)stream;
    if (clanIndex < 0 || clanIndex >= ClanCount || clanIndex >= clanCount_)
        FatalErrorF("Error(HL_hilogic::ImportClan): clan %d does not exist", clanIndex);
}
