// Action-unit definitions: the body of a world file's action-unit chunk, read from a package stream as the
// level build reads it, then freed.
#include "ai/AUDef.h"
#include "core/Package.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    kvfuzz::Mount("app/worlds/au", data, size);
    FILE* f = qzpk_fopen("app/worlds/au", "rb");
    if (!f) std::abort();
    AUDef* au = CreateAUDef();
    // The chunk size counts the chunk's 8-byte header.
    kvfuzz::Run([&] { ReadAUDef(au, 7, int(size) + 8, f); });
    DeleteAUDef(au);
    qzpk_fclose(f);
    qzpk_close();
    return 0;
}
