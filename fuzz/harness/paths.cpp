// The paths file "app/paths": one root per line.
#include "core/Config.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    kvfuzz::Mount("app/paths", data, size);
    kvfuzz::Run([] { ReadPathsFile("app/paths"); });
    qzpk_close();
    return 0;
}
