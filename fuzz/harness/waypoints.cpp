// Way point lists in their saved-game form, read from a package stream as a saved game is read.
#include "ai/WayPointList.h"
#include "core/Package.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    kvfuzz::Mount("save/wpl", data, size);
    FILE* f = qzpk_fopen("save/wpl", "rb");
    if (!f) std::abort();
    // Several lists follow each other in a saved game.
    kvfuzz::Run([&] {
        for (int i = 0; i < 4; ++i) FreeWayPointList(ReadWayPointList(f));
    });
    qzpk_fclose(f);
    qzpk_close();
    return 0;
}
