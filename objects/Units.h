// The units file "app/units": every kind of object that a world file, an action unit or a player may name,
// with its dispatcher, the name shown to the player, its object directory and two flag lists. It is read
// once at start-up into a table of entries that lives until shutdown. Objects of an entry are created and
// placed through the entry's own dispatcher UnitType_itfc, which resolves the clone rule and adds the
// entry's flags before handing the call to the object type.
#pragma once

#include <cstdint>

#include "objects/Itfc.h"

struct construct;
struct Rule;
struct SoundDesc;

// One entry of the units file ("unit cell").
struct Unit {
    char* name;          // the entry's name (owned, "unit name")
    char* rulePrefix;    // second choice for unit rules; the name until a clone rule replaces it
    char* gameName;      // shown to the player (owned, "unit game name")
    uint32_t klass;      // OR of the klass names of the first list
    uint32_t extra;      // OR of the construct-flag names of the second list; handed to every PLACE
    char* path;          // object root, separator and the directory of the file (owned, "unit path")
    ItfcProc itfc;       // the object type's dispatcher; null while its type is not built yet
    char itfcName[32];   // the type name the file gives, kept to find a type registered later
};

constexpr int kMaxUnits = 1024;
extern Unit* UnitTable[kMaxUnits];
extern int UnitCount;

// Klass bits (NamedKlass).
enum : uint32_t {
    kKlassGlider = 0x1,
    kKlassShip = 0x2,
    kKlassVehicle = 0x4,
    kKlassAirplane = 0x8,
    kKlassStationary = 0x10,
    kKlassQuadBuilding = 0x20,
    kKlassLargeBuilding = 0x40,
    kKlassGiantBuilding = 0x80,
    kKlassLantern = 0x100,
    kKlassScenery = 0x200,
    kKlassNeutral2 = 0x400,
    kKlassTarget = 0x800,
    kKlassLowered = 0x1000,
    kKlassRaised = 0x2000,
    kKlassRadioactive = 0x4000,
    kKlassReload = 0x8000,
    kKlassScenHF1 = 0x10000,
    kKlassScenHF2 = 0x20000,
    kKlassScenHF3 = 0x40000,
    kKlassScenHF4 = 0x80000,
    kKlassIcon = 0x100000,
    kKlassNav = 0x200000,
    kKlassDarkened = 0x400000,
    kKlassRadar = 0x800000,
    kKlassNoTargetView = 0x1000000,
};

// The kind byte of constructs made from a DARKENED entry.
constexpr uint8_t kDarkenedConstructKind = 9;

// A new zeroed entry appended to the table; fatal at 1024 entries ("Error(CreateUnit): Too many Units").
Unit* CreateUnit();
// Removes the entry from the table (the last entry takes its place) and frees it with its texts; null is
// ignored.
void FreeUnit(Unit* unit);
// The entry of exactly that name, or null.
Unit* NamedUnit(const char* name);
// Reads a units file (called with "app/units") and appends its entries; every fault is fatal.
void ReadUnitsFile(const char* path);

// What a construct's units-file entry says of it: its klass flags (0 without an entry), its name and
// its game name ("" without an entry or without the text).
uint32_t KlassOf(const construct* con);
const char* UnitNameOf(const construct* con);
const char* UnitGameNameOf(const construct* con);

// The bit of a klass name / construct-flag name (exact case); an unknown name shows the notice
// "unknown flag '%s'" and is fatal.
uint32_t NamedKlass(const char* name);
uint32_t NamedConstructFlag(const char* name);

// The dispatcher of an entry. CREATE (construct not used) resolves the clone rule, creates the object
// through the entry's type with the entry's path, stores the entry in it and returns it (0 while the
// entry's type is not built yet); PLACE writes the extra flags into the PlacementRecord at arg and sends
// it on; UNPLACE, DESTROY and SETPARAMS are sent on unchanged. Everything else answers 0.
uintptr_t UnitType_itfc(Unit* unit, construct* con, ItfcMethod method, uintptr_t arg);

// Unit rules of an entry: "<name>_<key>", else "<rule prefix>_<key>". The named form is fatal when
// neither exists ("Error(NamedUnitRule): Rule '<prefix>_<key>' not found").
Rule* NamedUnitRule(const Unit* unit, const char* format, ...) __attribute__((format(printf, 2, 3)));
Rule* FindUnitRule(const Unit* unit, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Fills a sound descriptor from the entry's sound rule of the key (the global rules with a null entry);
// non-zero when the rule exists, else 0 with the descriptor zeroed.
int LookupRuleSound(const Unit* unit, SoundDesc* desc, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
