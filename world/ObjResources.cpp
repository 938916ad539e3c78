// File, texture, animation and palette access for object files: each name is found among the loaded
// ones, else created and loaded.
#include "world/ObjResources.h"

#include <cstdio>

#include "core/Package.h"
#include "platform/Palette.h"
#include "platform/Texture.h"

Tex* ObjFaceTexture(const char* name) {
    if (Tex* tex = NamedTex(name)) return tex;
    Tex* tex = CreateTex();
    LoadTex(tex, name, object_texture_shrink);
    return tex;
}

TexAnim* ObjTexAnim(const char* name) {
    if (TexAnim* anim = NamedTexAnim(name)) return anim;
    TexAnim* anim = CreateTexAnim();
    LoadTexAnim(anim, name);
    return anim;
}

Plt* ObjPalette(const char* name) {
    if (Plt* plt = NamedPlt(name)) return plt;
    char path[512];
    std::snprintf(path, sizeof path, "%s%c%s", PALETTEROOT, kPathSeparator, name);
    Plt* plt = CreatePlt();
    LoadPlt(plt, path);
    return plt;
}

Tex* ObjDummyTexture(TexAnim* anim, const char* animName) {
    if (!anim || anim->frameCount < 1 || !anim->frames) return nullptr;
    Tex* tex = CreateTex();
    std::snprintf(tex->name, sizeof tex->name, "dummies%c%s", kPathSeparator, animName);
    // The dummy shows the animation's frames; it owns none of them.
    tex->surface = anim->frames[0];
    tex->shared = 1;
    return tex;
}

void ObjDeleteDummyTexture(Tex* tex) {
    DeleteTex(tex);
}

bool ReadObjectFileBytes(const char* path, std::vector<uint8_t>& out) {
    FILE* f = qzpk_fopen(path, "rb");
    if (!f) return false;
    out.clear();
    uint8_t chunk[65536];
    for (size_t n; (n = qzpk_fread(chunk, 1, sizeof chunk, f)) > 0;) out.insert(out.end(), chunk, chunk + n);
    qzpk_fclose(f);
    return true;
}
