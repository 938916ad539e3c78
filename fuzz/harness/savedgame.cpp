// A saved game "SavedGames\f" checked against the demo level (everything a load does before it changes the
// level, the file's dates aside: the load is forced). A saved game the check accepts is loaded into the
// level, which then runs a few ticks; the next input starts from the level's restart point again. The
// seeds (fuzz/seeds) are saved games of the same level.
#include "fuzz/FuzzLevel.h"
#include "fuzz/FuzzSupport.h"
#include "game/SavedGame.h"
#include "game/WorldTick.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    kvfuzz::DemoLevel();
    static bool dirty = false;
    kvfuzz::Mount("SavedGames/f", data, size);
    char other[64];
    kvfuzz::Run([&] {
        if (dirty) kvfuzz::ResetDemoLevel();
        dirty = false;
        if (CheckQZGM("f", 1, other) != kQZGMLoaded) return;
        dirty = true;
        if (LoadQZGM("f", 1, other) != kQZGMLoaded) std::abort();  // checked: it must load
        for (int tick = 0; tick < 4; ++tick) WorldTick(1, 1);
    });
    qzpk_close();
    return 0;
}
