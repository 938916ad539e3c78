// A key-binding file ("default.qzk" or the bindings of "Vexa.cfg"): its rules are read, then every
// binding is taken from them by key name as start-up does.
#include "core/Keys.h"
#include "core/Rules.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    static bool once = (InitKeyNames(), true);
    (void)once;
    kvfuzz::Mount("default.qzk", data, size);
    kvfuzz::Run([] {
        ReadRules("default.qzk");
        ReadKeyBindings();
    });
    FreeRules();
    qzpk_close();
    return 0;
}
