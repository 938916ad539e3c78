// File, texture, animation and palette access for object files. The texture table and texture
// animations are not built yet: until they are, texture and animation names resolve to nothing and faces
// and billboards are left without them.
#include "world/ObjResources.h"

#include <cstdio>

#include "core/Package.h"
#include "platform/Palette.h"

Tex* ObjFaceTexture(const char*) { return nullptr; }
TexAnim* ObjTexAnim(const char*) { return nullptr; }

Plt* ObjPalette(const char* name) {
    if (Plt* plt = NamedPlt(name)) return plt;
    char path[512];
    std::snprintf(path, sizeof path, "%s%c%s", PALETTEROOT, kPathSeparator, name);
    Plt* plt = CreatePlt();
    LoadPlt(plt, path);
    return plt;
}

Tex* ObjDummyTexture(TexAnim*, const char*) { return nullptr; }
void ObjDeleteDummyTexture(Tex*) {}

bool ReadObjectFileBytes(const char* path, std::vector<uint8_t>& out) {
    FILE* f = qzpk_fopen(path, "rb");
    if (!f) return false;
    out.clear();
    uint8_t chunk[65536];
    for (size_t n; (n = qzpk_fread(chunk, 1, sizeof chunk, f)) > 0;) out.insert(out.end(), chunk, chunk + n);
    qzpk_fclose(f);
    return true;
}
