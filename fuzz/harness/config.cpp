// The configuration: the input is "Vexa.cfg", read as start-up reads it (its rules, then every setting),
// followed by the key bindings the file carries.
#include "core/Config.h"
#include "core/Keys.h"
#include "core/Rules.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    static bool once = (InitKeyNames(), true);
    (void)once;
    kvfuzz::Mount("Vexa.cfg", data, size);
    kvfuzz::Run([] { ReadConfigFile("Vexa.cfg"); });
    FreeRules();
    qzpk_close();
    return 0;
}
