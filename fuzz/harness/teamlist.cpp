// The team list "App\teams\teamlist": the team screen's list filled from it, then every listed team's
// entry found (its logo name into the logo box, its colour into the sliders and the local player's team).
#include <memory>

#include "frontend/Campaigns.h"
#include "frontend/Frontend.h"
#include "fuzz/FuzzSupport.h"
#include "world/Player.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    static bool once = [] {
        if (!OwnPlayer) OwnPlayer = CreatePlayer("fuzz");
        return true;
    }();
    (void)once;
    kvfuzz::Mount("App\\teams\\teamlist", data, size);
    auto list = std::make_unique<Listbox>();
    kvfuzz::Run([&] {
        ReadTeamList(list.get());
        Textbox logo{};
        Slider sliders[3]{};
        for (int i = 0; i < list->count; ++i)
            FindTeamEntry(list->items[i], &logo, &sliders[0], &sliders[1], &sliders[2]);
        FindTeamEntry("nobody", &logo, &sliders[0], &sliders[1], &sliders[2]);
    });
    qzpk_close();
    return 0;
}
