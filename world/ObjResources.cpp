// File, texture, animation and palette access for object files. The texture table, texture animations
// and palettes are not built yet: until they are, names resolve to nothing and faces, billboards and
// lights are left without texture, animation or palette.
#include "world/ObjResources.h"

#include <cstdio>

#include "core/Package.h"

Tex* ObjFaceTexture(const char*) { return nullptr; }
TexAnim* ObjTexAnim(const char*) { return nullptr; }
Plt* ObjPalette(const char*) { return nullptr; }
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
