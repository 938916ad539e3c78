// The saved form of a vehicle type's data block, told once for every type by a VehicleForm: the vehicle
// head's form (VehicleSavedBlock), then the type's own words (what its SETITFCDATA copies besides the head
// and the modules), then each module's form (vehicles/modules/ModuleSaved.h) in the order SETITFCDATA
// copies the modules. Little-endian, fixed size, no pointer. A type declares its form as a table:
//
//     const SavedModule kModules[] = {{SavedModuleKind::Lighting, offsetof(EMATankBlock, lighting)}, ...};
//     const VehicleForm kForm = {"EMATank", sizeof(EMATankBlock), kOwnWords, WalkOwn, CheckOwn, kModules, 5};
//
// and answers GETITFCDATA with VehicleFormPut, SETITFCDATA with VehicleFormTake and installs
// VehicleFormCheck (through a function of its own) for the saved-game reader.
#pragma once

#include <cstddef>
#include <cstdint>

struct construct;
struct SavedWords;

// The modules a saved form may hold.
enum class SavedModuleKind : int { Lighting, Turret, WheelDrive, ChainDrive, PjtThrower, HVCannon, BeamCannon, Count };

struct SavedModule {
    SavedModuleKind kind;
    ptrdiff_t at;  // offsetof the module's record in the type's block
};

struct VehicleForm {
    const char* name;       // the type's name: "<name> data block", "Error(<name>_itfc)"
    size_t blockSize;       // sizeof the type's block
    size_t ownSize;         // bytes of the type's own words (0: none)
    // Reads (w.in) or writes (w.out) the own words of a block, at w.pos; null without own words.
    void (*walkOwn)(SavedWords& w, void* block);
    // Null when the own words read into a block may be taken over, else why not; null: all may.
    const char* (*checkOwn)(const void* block);
    const SavedModule* modules;  // in the order SETITFCDATA copies them
    int moduleCount;
};

// Bytes of a module's form.
size_t SavedModuleSize(SavedModuleKind kind);
// Bytes of the whole form, and where the own words and module i start in it.
size_t VehicleFormSize(const VehicleForm& f);
size_t VehicleFormOwnAt(const VehicleForm& f);
size_t VehicleFormModuleAt(const VehicleForm& f, int i);

// GETITFCDATA: a tracked block ("<name> data block") holding the form of the block; its size goes
// through sizeOut when that is not 0.
uint8_t* VehicleFormPut(const VehicleForm& f, const void* block, uintptr_t sizeOut);
// Null when a form of size bytes may be taken over, else why not (the head, the own words, each module).
const char* VehicleFormCheck(const VehicleForm& f, const uint8_t* in, size_t size);
// Reads a checked form into a block's records (head, own words, the fields of each module's form) without
// calling the modules' copy steps: what a tool or a harness uses to read a form back.
void VehicleFormRead(const VehicleForm& f, void* block, const uint8_t* in);
// SETITFCDATA: checks the form (a damaged one is fatal, "Error(<name>_itfc): the saved state is damaged:
// <why>"), takes the head and the own words over and hands each module a copy of its own record holding
// the form through the module's copy step, so that sounds and lights are reconciled. An unplaced unit has
// released its sounds and lights: none is started for it, whatever the form says.
void VehicleFormTake(const VehicleForm& f, construct* con, const uint8_t* in);
