#include "platform/Palette.h"

#include <cstring>

#include "core/Files.h"
#include "core/Memory.h"
#include "core/Package.h"

Plt* PltTable[kMaxPlts];
int32_t PltCount = 0;

Plt* CreatePlt() {
    if (PltCount >= kMaxPlts) FatalError("Error(CreatePlt): Too many Plts");
    Plt* plt = static_cast<Plt*>(qzAlloc(int(sizeof(Plt)), "Plt"));
    memset(plt, 0, sizeof *plt);
    strcpy(plt->name, "anon");
    PltTable[PltCount++] = plt;
    return plt;
}

void DeletePlt(Plt* plt) {
    if (!plt) return;
    for (int i = 0; i < PltCount; ++i) {
        if (PltTable[i] != plt) continue;
        PltTable[i] = PltTable[--PltCount];
        PltTable[PltCount] = nullptr;
        qzFree(plt);
        return;
    }
}

bool ReadPltEntries(FILE* f, Plt* plt) {
    uint8_t raw[kPltFileSize];
    if (qzpk_fread(raw, 1, sizeof raw, f) != sizeof raw) return false;
    for (int i = 0; i < 256; ++i) {
        const uint8_t* e = raw + 6 * i + 3;
        plt->entries[i] = PltEntry{e[0], e[1], e[2], 0};
    }
    return true;
}

void LoadPlt(Plt* plt, const char* path) {
    FILE* f = qzpk_fopen(path, "rb");
    if (!f) FatalError("Error(LoadPlt): Can't open palette file");
    bool ok = ReadPltEntries(f, plt);
    qzpk_fclose(f);
    // A short file would leave part of the palette unread: refuse it rather than use stale colours.
    if (!ok) FatalErrorF("Error(LoadPlt): palette file %s is too short", path);
    char copy[256], name[256];
    snprintf(copy, sizeof copy, "%s", path);
    SplitPath(copy, name);
    // The file's name is cut to the 23 characters the name field holds.
    size_t n = strnlen(name, sizeof plt->name - 1);
    memcpy(plt->name, name, n);
    plt->name[n] = 0;
}

Plt* NamedPlt(const char* name) {
    if (!name) return nullptr;
    for (int i = 0; i < PltCount; ++i)
        if (!strcmp(PltTable[i]->name, name)) return PltTable[i];
    return nullptr;
}

int IsUniformPlt(const Plt* plt) {
    const PltEntry& first = plt->entries[0];
    for (const PltEntry& e : plt->entries)
        if (e.red != first.red || e.green != first.green || e.blue != first.blue) return 0;
    return 1;
}
