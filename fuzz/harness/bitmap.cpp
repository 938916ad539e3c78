// BMP files: as an off-screen bitmap surface, and as a bitmap texture with the same bytes as its alpha
// map when the first byte says so.
#include "fuzz/FuzzSupport.h"
#include "host/Gfx.h"
#include "platform/Bitmap.h"
#include "platform/Dxgl.h"
#include "platform/Texture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    static bool once = [] {
        DisplayBits = 32;
        AlphaBits = 8;
        return true;
    }();
    (void)once;
    kvfuzz::MountFiles({{"bmp/pic.bmp", std::vector<uint8_t>(data, data + size), 0},
                        {"bmp/tex.bmp", std::vector<uint8_t>(data, data + size), 0},
                        {"bmp/tex.bmp_", std::vector<uint8_t>(data, data + size), 0}});
    kvfuzz::Run([] {
        host::GfxSurface* s = dxgl_GetBitmap("bmp\\pic.bmp");
        dxgl_ReleaseSurface(s);
    });
    kvfuzz::Run([] { host::DeleteSurface(LoadBitmapTexture("bmp\\tex.bmp")); });
    qzpk_close();
    return 0;
}
