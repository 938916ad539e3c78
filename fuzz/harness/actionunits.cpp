// Action-unit definitions: the body of a world file's action-unit chunk, read from a package stream as the
// level build reads it, with the demo's units file to name the units by. A definition the reader accepts
// is created and placed in the running level (its units made through their own types and put at their
// places) and the level runs a few ticks; then the action unit is deleted and the next input starts from
// the level's restart point.
#include "ai/AUDef.h"
#include "core/Package.h"
#include "fuzz/FuzzLevel.h"
#include "fuzz/FuzzSupport.h"
#include "world/QZEvent.h"
#include "game/WorldTick.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    kvfuzz::DemoLevel();
    static bool dirty = false;
    if (dirty) kvfuzz::ResetDemoLevel();
    dirty = false;
    kvfuzz::Mount("app/worlds/au", data, size);
    FILE* f = qzpk_fopen("app/worlds/au", "rb");
    if (!f) std::abort();
    AUDef* au = CreateAUDef();
    // The chunk size counts the chunk's 8-byte header.
    const bool read = kvfuzz::Run([&] { ReadAUDef(au, 7, int(size) + 8, f); });
    qzpk_fclose(f);
    if (read) {
        dirty = true;
        kvfuzz::Run([&] {
            AUDef_itfc(au, ItfcMethod::CREATE);
            AUDef_itfc(au, ItfcMethod::PLACE);
            FlushQZEvents();
            for (int tick = 0; tick < 4; ++tick) WorldTick(1, 1);
            AUDef_itfc(au, ItfcMethod::UNPLACE);
            FlushQZEvents();
        });
    }
    kvfuzz::Run([&] { DeleteAUDef(au); });
    qzpk_close();
    return 0;
}
