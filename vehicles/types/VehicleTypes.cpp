// The table of the vehicle types that exist (see VehicleTypes.h) and their registration.
#include "vehicles/types/VehicleTypes.h"

#include <cstring>
#include <iterator>

#include "objects/SharedPools.h"
#include "vehicles/types/DeadBody.h"
#include "vehicles/types/EMAHaubitze.h"
#include "vehicles/types/EMAJeep.h"
#include "vehicles/types/EMALinebacker.h"
#include "vehicles/types/EMASnowMob.h"
#include "vehicles/types/EMATank.h"
#include "vehicles/types/VehicleFrame.h"

namespace {

const VehicleTypeRow kRows[] = {
    {"EMAJeep", EMAJeep_itfc, EMAJeep_checkSaved, EMAJeep_form},
    {"EMATank", EMATank_itfc, EMATank_checkSaved, EMATank_form},
    {"EMAHaubitze", EMAHaubitze_itfc, EMAHaubitze_checkSaved, EMAHaubitze_form},
    {"EMALinebacker", EMALinebacker_itfc, EMALinebacker_checkSaved, EMALinebacker_form},
    {"EMASnowMob", EMASnowMob_itfc, EMASnowMob_checkSaved, EMASnowMob_form},
};

}  // namespace

const VehicleTypeRow* VehicleTypeRows(int* count) {
    if (count) *count = static_cast<int>(std::size(kRows));
    return kRows;
}

const VehicleTypeRow* FindVehicleType(const char* name) {
    for (const VehicleTypeRow& row : kRows)
        if (name && std::strcmp(row.name, name) == 0) return &row;
    return nullptr;
}

void RegisterVehicleTypes() {
    for (const VehicleTypeRow& t : kRows) {
        for (int i = 0; i < kItfcNamedSlotCount; ++i)
            if (std::strcmp(ItfcSlotNames[i], t.name) == 0) ItfcRegistry[i] = t.itfc;
        // The saved-game reader checks a stored unit of the type before it hands it to SETITFCDATA.
        SetSavedBlockCheck(t.itfc, t.check);
    }
    // The wreck is not in the registry; the saved game makes its wrecks through this slot.
    DeadBodyItfc = DeadBody_itfc;
}
