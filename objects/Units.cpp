// The units file and the entries' dispatcher UnitType_itfc.
#include "objects/Units.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "core/Config.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "core/Tokenizer.h"
#include "platform/DxError.h"
#include "platform/SoundFx.h"
#include "world/Construct.h"

Unit* UnitTable[kMaxUnits];
int UnitCount = 0;

namespace {

struct FlagName {
    const char* name;
    uint32_t value;
};

constexpr FlagName kKlassNames[] = {
    {"GLIDER", kKlassGlider},
    {"SHIP", kKlassShip},
    {"VEHICLE", kKlassVehicle},
    {"AIRPLANE", kKlassAirplane},
    {"STATIONARY", kKlassStationary},
    {"QUADBUILDING", kKlassQuadBuilding},
    {"LARGEBUILDING", kKlassLargeBuilding},
    {"GIANTBUILDING", kKlassGiantBuilding},
    {"LANTERN", kKlassLantern},
    {"SCENERY", kKlassScenery},
    {"NEUTRAL2", kKlassNeutral2},
    {"TARGET", kKlassTarget},
    {"LOWERED", kKlassLowered},
    {"RAISED", kKlassRaised},
    {"RADIOACTIVE", kKlassRadioactive},
    {"RELOAD", kKlassReload},
    {"SCENHF1", kKlassScenHF1},
    {"SCENHF2", kKlassScenHF2},
    {"SCENHF3", kKlassScenHF3},
    {"SCENHF4", kKlassScenHF4},
    {"ICON", kKlassIcon},
    {"NAV", kKlassNav},
    {"DARKENED", kKlassDarkened},
    {"RADAR", kKlassRadar},
    {"NOTARGETVIEW", kKlassNoTargetView},
};
static_assert(std::size(kKlassNames) == 25, "one name per klass bit");

constexpr FlagName kConstructFlagNames[] = {
    {"LARGE", 0x10000},
    {"GIANT", 0x10000000},
    {"ACCESSIBLE", 0x20000},
    {"SEETHROUGH", 0x800},
    {"FLOATING", 0x2000},
    {"ORIGINALHEIGHT", 0x4000000},
    {"DISTANT", 0x8000000},
    {"FORCECOLLISION", 0x20000000},
    {"SUPERFORCECOLLISION", 0x40000000},
    {"NORAILING", 0x1000},
    {"CORNERRAILING", 0x200000},
};
static_assert(std::size(kConstructFlagNames) == 11, "one name per construct flag the units file may set");

template <size_t N>
const FlagName* FindFlag(const FlagName (&table)[N], const char* name) {
    for (const FlagName& f : table)
        if (std::strcmp(f.name, name) == 0) return &f;
    return nullptr;
}

// The game name without its quotes. The tokenizer keeps a quoted string's quotes in the word; a string
// that the file ends before closing has only its opening quote, and a word of a single quote gives an
// empty name.
const char* UnquotedGameName(char* word, int length) {
    if (length < 1 || word[0] != '"') return word;
    if (length >= 2 && word[length - 1] == '"') word[length - 1] = 0;
    return word + 1;
}

// Reads a flag list after its "(" up to ")" with the given lookup into *bits.
void ReadFlagList(InputStream* s, uint32_t* bits, uint32_t (*lookup)(const char*), const char* strange) {
    char word[kTokenSize];
    for (;;) {
        int length = 0;
        char delim = 0;
        ReadToken(s, word, sizeof word, &length, &delim);
        if (length > 0) *bits |= lookup(word);
        if (delim == ')') return;
        if (delim == 0 || AtEndOfStream(s)) FatalError("Error(ReadUnitsFile): premature end of file");
        if (delim != ' ') FatalError(strange);
    }
}

void KeepItfcName(Unit* unit, const char* typeName) {
    const size_t n = std::min(std::strlen(typeName), sizeof unit->itfcName - 1);
    std::memcpy(unit->itfcName, typeName, n);
    unit->itfcName[n] = 0;
}

// The entry's type: the registered dispatcher of that name. A name the registry holds a slot for, whose
// type is not built yet, leaves the entry without a dispatcher until the type is registered; any other
// name is fatal.
void ResolveItfc(Unit* unit, const char* typeName) {
    unit->itfc = FindItfc(typeName);
    if (unit->itfc) {
        KeepItfcName(unit, typeName);
        return;
    }
    for (const char* slotName : ItfcSlotNames) {
        if (std::strcmp(slotName, typeName) != 0) continue;
        KeepItfcName(unit, typeName);
        DebugPrintf("units: type '%s' of '%s' is not built yet\n", typeName, unit->name);
        return;
    }
    NamedItfc(typeName);  // shows the notice and ends the program
}

// The entry's dispatcher, found again when its type was registered after the units file was read.
ItfcProc EntryItfc(Unit* unit) {
    if (!unit->itfc && unit->itfcName[0]) unit->itfc = FindItfc(unit->itfcName);
    return unit->itfc;
}

// The clone rule "<name>_is_clone_of": its first text becomes the entry's rule prefix.
void ResolveCloneRule(Unit* unit) {
    const Rule* rule = FindRulef("%s_is_clone_of", unit->name);
    if (!rule || !rule->info[0]) return;
    if (unit->rulePrefix && std::strcmp(unit->rulePrefix, rule->info[0]) == 0) return;
    qzFree(unit->rulePrefix);
    unit->rulePrefix = qzStrDup(rule->info[0], "rule prefix");
}

}  // namespace

Unit* CreateUnit() {
    if (UnitCount >= kMaxUnits) FatalError("Error(CreateUnit): Too many Units");
    auto* unit = static_cast<Unit*>(qzAlloc(sizeof(Unit), "unit cell"));
    std::memset(unit, 0, sizeof *unit);
    UnitTable[UnitCount++] = unit;
    return unit;
}

void FreeUnit(Unit* unit) {
    if (!unit) return;
    for (int i = 0; i < UnitCount; ++i) {
        if (UnitTable[i] != unit) continue;
        UnitTable[i] = UnitTable[--UnitCount];
        UnitTable[UnitCount] = nullptr;
        break;
    }
    qzFree(unit->name);
    qzFree(unit->gameName);
    qzFree(unit->path);
    qzFree(unit->rulePrefix);
    qzFree(unit);
}

Unit* NamedUnit(const char* name) {
    if (!name) return nullptr;
    for (int i = 0; i < UnitCount; ++i)
        if (std::strcmp(UnitTable[i]->name, name) == 0) return UnitTable[i];
    return nullptr;
}

uint32_t KlassOf(const construct* con) { return con && con->unit ? con->unit->klass : 0; }

const char* UnitNameOf(const construct* con) { return con && con->unit && con->unit->name ? con->unit->name : ""; }

const char* UnitGameNameOf(const construct* con) {
    return con && con->unit && con->unit->gameName ? con->unit->gameName : "";
}

uint32_t NamedKlass(const char* name) {
    if (const FlagName* f = FindFlag(kKlassNames, name)) return f->value;
    dxgl_Notify("unknown flag '%s'", name);
    FatalError("Error(NamedKlass): unknown klass");
}

uint32_t NamedConstructFlag(const char* name) {
    if (const FlagName* f = FindFlag(kConstructFlagNames, name)) return f->value;
    dxgl_Notify("unknown flag '%s'", name);
    FatalError("Error(NamedConstructFlag): unknown flag");
}

void ReadUnitsFile(const char* path) {
    // The stream is closed however the reading ends, also when a fatal error unwinds (tests).
    struct Stream {
        FILE* file = nullptr;
        InputStream s{};
        ~Stream() { CloseInputStream(file, &s); }
    } stream;
    OpenInputStream(path, &stream.file, &stream.s);
    InputStream& s = stream.s;
    char word[kTokenSize];
    int length = 0;
    char delim = 0;
    while (!AtEndOfStream(&s)) {
        ReadToken(&s, word, sizeof word, &length, &delim);
        // Blanks or comments after the last entry end the file as "end" does.
        if (length == 0 && delim == 0) break;
        if (std::strcmp(word, "end") == 0) break;
        Unit* unit = CreateUnit();
        unit->name = qzStrDup(word, "unit name");
        unit->rulePrefix = qzStrDup(word, "unit prefix");

        ReadToken(&s, word, sizeof word, &length, &delim);
        ResolveItfc(unit, word);

        ReadToken(&s, word, sizeof word, &length, &delim);
        unit->gameName = qzStrDup(UnquotedGameName(word, length), "unit game name");

        ReadToken(&s, word, sizeof word, &length, &delim);
        const int pathSize = static_cast<int>(std::strlen(OBJROOT) + std::strlen(word)) + 2;
        unit->path = static_cast<char*>(qzAlloc(pathSize, "unit path"));
        std::snprintf(unit->path, static_cast<size_t>(pathSize), "%s%c%s", OBJROOT, kPathSeparator, word);
        if (delim != '(') FatalError("Error(ReadUnitsFile): expected a '('");
        ReadFlagList(&s, &unit->klass, NamedKlass, "Error(ReadUnitsFile): strange klass flag list");

        ReadToken(&s, word, sizeof word, &length, &delim);
        if (length != 0 || delim != '(') FatalError("Error(ReadUnitsFile): expected a '('");
        ReadFlagList(&s, &unit->extra, NamedConstructFlag, "Error(ReadUnitsFile): strange extra flag list");

        ReadToken(&s, word, sizeof word, &length, &delim);
        if (delim != ';') FatalError("Error(ReadUnitsFile): expected a ';'");
    }
}

uintptr_t UnitType_itfc(Unit* unit, construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE: {
            ResolveCloneRule(unit);
            ItfcProc itfc = EntryItfc(unit);
            if (!itfc) {
                DebugPrintf("UnitType_itfc: type '%s' of '%s' is not built yet\n", unit->itfcName, unit->name);
                return 0;
            }
            auto* made = reinterpret_cast<construct*>(
                itfc(reinterpret_cast<construct*>(unit), ItfcMethod::CREATE, reinterpret_cast<uintptr_t>(unit->path)));
            if (!made) return 0;
            made->unit = unit;
            if (unit->klass & kKlassDarkened) made->kind = kDarkenedConstructKind;
            return reinterpret_cast<uintptr_t>(made);
        }
        case ItfcMethod::PLACE:
            if (arg) reinterpret_cast<PlacementRecord*>(arg)->extraFlags = static_cast<int32_t>(unit->extra);
            CallItfc(con, ItfcMethod::PLACE, arg);
            return 0;
        case ItfcMethod::UNPLACE:
        case ItfcMethod::DESTROY:
        case ItfcMethod::SETPARAMS:
            CallItfc(con, method, arg);
            return 0;
        default:
            return 0;
    }
}

Rule* NamedUnitRule(const Unit* unit, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    Rule* r = NamedUnitRuleV(unit ? unit->name : nullptr, unit ? unit->rulePrefix : nullptr, format, ap);
    va_end(ap);
    return r;
}

Rule* FindUnitRule(const Unit* unit, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    Rule* r = FindUnitRuleV(unit ? unit->name : nullptr, unit ? unit->rulePrefix : nullptr, format, ap);
    va_end(ap);
    return r;
}

int LookupRuleSound(const Unit* unit, SoundDesc* desc, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    const int found =
        LookupRuleSoundV(unit ? unit->name : nullptr, unit ? unit->rulePrefix : nullptr, desc, format, ap);
    va_end(ap);
    return found;
}
