// The campaign progress file "Campaigns\VORLE": both campaign lists read from it, two won missions
// recorded (the file rewritten on the disk twice, lastmap moving on), and the lists read again from the
// rewritten file.
#include <memory>

#include "core/Config.h"
#include "frontend/Campaigns.h"
#include "frontend/Frontend.h"
#include "fuzz/FuzzSupport.h"

namespace {

void ReadBothLists() {
    for (const char* side : {"Ema", "Ga"}) {
        auto names = std::make_unique<Listbox>();
        auto titles = std::make_unique<Listbox>();
        ReadCampaignMissions(names.get(), titles.get(), side);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    static bool once = [] {
        snprintf(CAMPAIGNROOT, kRootSize, "Campaigns");
        snprintf(SCRIPTROOT, kRootSize, "Scripts");
        snprintf(lastgame, sizeof lastgame, "VORLE");
        host::MakeDirectory("Campaigns");
        host::MakeDirectory("Scripts");
        const char ema[] = "EmaTut \"Basic Training\"\nEma01 \"Island Outpost\"\n";
        const char ga[] = "Ga01 \"Across the River\"\n";
        kvfuzz::WriteDiskFile("Scripts/EMA.cpn", reinterpret_cast<const uint8_t*>(ema), sizeof ema - 1);
        kvfuzz::WriteDiskFile("Scripts/GA.cpn", reinterpret_cast<const uint8_t*>(ga), sizeof ga - 1);
        return true;
    }();
    (void)once;
    // The game writes this file, so it lives on the disk.
    kvfuzz::WriteDiskFile("Campaigns/VORLE", data, size);
    // lastmap: the input's first word, so that the rewrite finds the entry it names.
    size_t skip = 0, n = 0;
    while (skip < size && skip < 64 && data[skip] <= ' ') ++skip;
    n = skip;
    while (n < size && n - skip < 200 && data[n] > ' ') ++n;
    snprintf(lastmap, sizeof lastmap, "%.*s", static_cast<int>(n - skip),
             reinterpret_cast<const char*>(data + skip));
    kvfuzz::Run([] {
        ReadBothLists();
        WriteCampaignProgress();
        WriteCampaignProgress();
        ReadBothLists();
    });
    return 0;
}
