// Palette files through LoadPlt.
#include "fuzz/FuzzSupport.h"
#include "platform/Palette.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    kvfuzz::Mount("palettes/p.plt", data, size);
    kvfuzz::Run([] {
        Plt* plt = CreatePlt();
        LoadPlt(plt, "palettes\\p.plt");
        IsUniformPlt(plt);
    });
    while (PltCount) DeletePlt(PltTable[PltCount - 1]);
    qzpk_close();
    return 0;
}
