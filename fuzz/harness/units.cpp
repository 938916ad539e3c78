// The units file "app/units": every entry read, then every entry freed.
#include "core/Config.h"
#include "fuzz/FuzzSupport.h"
#include "objects/Units.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    static bool once = (snprintf(OBJROOT, kRootSize, "%s", "app\\objects"), true);
    (void)once;
    kvfuzz::Mount("app/units", data, size);
    kvfuzz::Run([] { ReadUnitsFile("app/units"); });
    while (UnitCount > 0) FreeUnit(UnitTable[0]);
    qzpk_close();
    return 0;
}
