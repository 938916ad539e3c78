// Object geometry files through LoadCCADObj (nested objects, palettes and textures they name are looked
// up in the same package, where they are missing).
#include "core/Config.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Dxgl.h"
#include "platform/Palette.h"
#include "platform/Texture.h"
#include "world/Geom.h"
#include "world/ObjFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    static bool once = [] {
        DisplayBits = 32;
        AlphaBits = 8;
        texturebpp = 32;
        snprintf(OBJROOT, kRootSize, "%s", "app\\objects");
        snprintf(PALETTEROOT, kRootSize, "%s", "Palettes");
        snprintf(TEXROOT, kRootSize, "%s", "tex");
        return true;
    }();
    (void)once;
    kvfuzz::Mount("app/objects/misc/thing", data, size);
    Geom* g = CreateUnnamedGeom();
    kvfuzz::Run([&] { LoadCCADObj("app\\objects\\misc\\thing", 4.0f, g); });
    FreeGeom(g);
    ResetCCADStaging();
    while (PltCount) DeletePlt(PltTable[PltCount - 1]);
    while (TexCount) DeleteTex(TexTable[TexCount - 1]);
    qzpk_close();
    return 0;
}
