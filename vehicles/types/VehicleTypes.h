// The vehicle types that exist, one row each: the dispatcher, the check of its saved form and the form
// itself. RegisterVehicleTypes fills the registry from the rows; the saved-form harness and the tests
// walk them, so a new type is one new row here.
#pragma once

#include "objects/Itfc.h"
#include "objects/UnitSaved.h"

struct VehicleForm;

struct VehicleTypeRow {
    const char* name;                // the dispatcher's name: its registry slot
    ItfcProc itfc;
    SavedBlockCheck check;           // installed for the saved-game reader
    const VehicleForm& (*form)();    // the saved form of its data block
};

// The rows, in the order they were added; count receives their number.
const VehicleTypeRow* VehicleTypeRows(int* count);
// The row of a dispatcher's name, or null.
const VehicleTypeRow* FindVehicleType(const char* name);
