// Dispatcher helpers shared by every object type, and the registry searched by the units-file reader.
#include "objects/Itfc.h"

#include <cstdio>
#include <cstring>
#include <iterator>

#include "core/Memory.h"
#include "objects/Elements.h"
#include "objects/WeaponTypes.h"
#include "platform/DxError.h"
#include "world/Construct.h"

// Each type fills its slot when it is built; the order is the one the units-file reader walks. The
// building, scenery and lantern types stand in their slots from the start; the vehicle types register
// at start-up.
ItfcProc ItfcRegistry[kItfcSlotCount] = {
    nullptr,         nullptr,          nullptr, nullptr,         nullptr, MultiScenery_itfc, nullptr, nullptr,
    nullptr,         nullptr,          Scenery_itfc, BaseElem_itfc, LBaseElem_itfc, Lantern_itfc, nullptr,
    NRGGate_itfc,    nullptr,          nullptr, nullptr,         nullptr, nullptr,           FragElem_itfc,
    nullptr,         nullptr,          nullptr, nullptr,         GiantElem_itfc, nullptr,    nullptr, nullptr,
    nullptr,         nullptr,          LGateElem_itfc, nullptr,  nullptr, nullptr,           nullptr, nullptr,
    nullptr,         nullptr,          MultiElem_itfc, nullptr,  nullptr, nullptr,           nullptr, nullptr,
    LiftElem_itfc,   nullptr,
    // Beyond the units file's types: the movie camera finds the test wave here by its name.
    Wave_itfc,
};

const char* const ItfcSlotNames[kItfcNamedSlotCount] = {
    "WayPointer",    "StatCamera",    "SatCamera",   "EMAHarrier",  "EMAJeep",     "MultiScenery",
    "EMALinebacker", "CruiserCannon", "GAMedTank",   "GunBoat",     "Scenery",     "BaseElem",
    "LBaseElem",     "Lantern",       "TransHeli",   "NRGGate",     "MovieCamera", "GAAirBike",
    "GAJeep",        "EMAManticor",   "MERCHummer",  "FragElem",    "MERCHarrier", "GALgCopter",
    "GALauncher",    "EMALauncher",   "GiantElem",   "SpeedBoat",   "Car",         "Car4WD",
    "GAMech",        "EMAHover",      "LGateElem",   "EMAHeli",     "GAAmph",      "GADTank",
    "EMASnowMob",    "GAHaubitze",    "MERCTank",    "GAGrand",     "MultiElem",   "GAViper",
    "EMACoolJeep",   "EMATank",       "EMAHaubitze", "SearchLight", "LiftElem",    "Train",
};
static_assert(std::size(ItfcSlotNames) == kItfcNamedSlotCount);

uintptr_t CallItfc(construct* con, ItfcMethod method, uintptr_t arg) {
    return con->itfc(con, method, arg);
}

const char* ItfcName(ItfcProc itfc) {
    const char* name = reinterpret_cast<const char*>(itfc(nullptr, ItfcMethod::GETNAME, 0));
    return name ? name : "";
}

uintptr_t ItfcUnknownMethod(const char* typeName, ItfcMethod method) {
    DebugPrintf("%s: uk method %d\n", typeName, static_cast<int>(method));
    return 0;
}

void* AllocItfcData(construct* con, int size) {
    void* block = qzAlloc(size, "itfc data");
    std::memset(block, 0, static_cast<size_t>(size));
    con->itfcData = block;
    return block;
}

uintptr_t CopyItfcDataBlock(const void* block, int size, const char* typeName, uintptr_t sizeOut) {
    if (sizeOut) *reinterpret_cast<int32_t*>(sizeOut) = size;
    char purpose[256];
    std::snprintf(purpose, sizeof purpose, "%s data block", typeName);
    void* copy = qzAlloc(size, purpose);
    std::memcpy(copy, block, static_cast<size_t>(size));
    return reinterpret_cast<uintptr_t>(copy);
}

ItfcProc FindItfc(const char* name) {
    for (ItfcProc slot : ItfcRegistry) {
        if (!slot) continue;
        if (std::strcmp(ItfcName(slot), name) == 0) return slot;
    }
    return nullptr;
}

ItfcProc NamedItfc(const char* name) {
    ItfcProc found = FindItfc(name);
    if (found) return found;
    dxgl_Notify("itfc '%s' not found", name);
    FatalError("Error(NamedItfc): unknown itfc");
}
