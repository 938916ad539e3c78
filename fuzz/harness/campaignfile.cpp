// The side campaign files "EMA.cpn" and "GA.cpn" (the input is both): the titles of missions looked up in
// them, among them the input's own first words, and the campaign lists that take their titles from them.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/Config.h"
#include "frontend/Campaigns.h"
#include "frontend/Frontend.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    static bool once = [] {
        snprintf(CAMPAIGNROOT, kRootSize, "Campaigns");
        snprintf(SCRIPTROOT, kRootSize, "Scripts");
        return true;
    }();
    (void)once;
    // The names to look up: fixed ones, and up to four words of the input (a title follows its name).
    std::vector<std::string> names = {"Ema01", "EmaTut", "Ga01", "", "\"", std::string(63, 'E')};
    std::string progress = "Ema_missions:\n";
    for (size_t at = 0, found = 0; at < size && found < 4; ++found) {
        while (at < size && data[at] <= ' ') ++at;
        size_t end = at;
        while (end < size && data[end] > ' ' && end - at < 200) ++end;
        if (end == at) break;
        names.emplace_back(reinterpret_cast<const char*>(data + at), end - at);
        progress += names.back() + " 1\n";
        at = end;
    }
    progress += "finale\n\nGa_missions:\nGa01 1\n" + names.back() + " 0\nfinale\n\nBonus_missions:\nfinale\n";
    const std::vector<uint8_t> file(data, data + size);
    kvfuzz::MountFiles({{"Scripts\\EMA.cpn", file, 0},
                        {"Scripts\\GA.cpn", file, 0},
                        {"Campaigns\\VORLE", std::vector<uint8_t>(progress.begin(), progress.end()), 0}});
    kvfuzz::Run([&] {
        for (const std::string& name : names) {
            char title[64];
            ReadCampaignFile(name.c_str(), title, sizeof title);
            char small[5];
            ReadCampaignFile(name.c_str(), small, sizeof small);
        }
        for (const char* side : {"Ema", "Ga"}) {
            auto list = std::make_unique<Listbox>();
            auto titles = std::make_unique<Listbox>();
            ReadCampaignMissions(list.get(), titles.get(), side);
        }
    });
    qzpk_close();
    return 0;
}
