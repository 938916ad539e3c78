// The world file of the mission "Fuzz" ("Maps\Fuzz"), alone (first byte even) or with a newer
// tile-definition chunk file "Chunks\Fuzz_TileDefPool" (first byte odd; the world file then leads with
// its length, 32 bits little-endian, and the chunk file is the rest). The sky's halo and moon objects
// lie beside it.
#include <algorithm>

#include "fuzz/FuzzSupport.h"
#include "platform/Dxgl.h"
#include "core/Config.h"
#include "platform/Texture.h"
#include "render/Sky.h"
#include "tools/datakit/Sky.h"
#include "world/Startup.h"
#include "world/Terrain.h"
#include "world/WorldFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    static bool once = [] {
        DisplayBits = 32;
        AlphaBits = 8;
        snprintf(MissionName, sizeof MissionName, "%s", "Fuzz");
        snprintf(OBJROOT, sizeof OBJROOT, "%s", "Objects");
        return true;
    }();
    (void)once;
    if (size < 1) return 0;
    const bool withChunks = data[0] & 1;
    const uint8_t* at = data + 1;
    size_t left = size - 1;
    size_t worldSize = left;
    if (withChunks) {
        if (left < 4) return 0;
        worldSize = std::min<size_t>(left - 4, size_t(at[0]) | size_t(at[1]) << 8 | size_t(at[2]) << 16 |
                                                   size_t(at[3]) << 24);
        at += 4;
        left -= 4;
    }
    // The geometries a sky chunk names ("sky.halo", "sky.moon") are there to be loaded.
    static const std::vector<uint8_t> halo = datakit::HaloObject().Bytes(), moon = datakit::MoonObject().Bytes();
    std::vector<datakit::PackEntry> files{{"Maps/Fuzz", std::vector<uint8_t>(at, at + worldSize), 1},
                                          {"Objects/sky/halo", halo, 3},
                                          {"Objects/sky/moon", moon, 4}};
    if (withChunks)
        files.push_back({"Chunks/Fuzz_TileDefPool", std::vector<uint8_t>(at + worldSize, at + left), 2});
    kvfuzz::MountFiles(files);
    kvfuzz::Run([] { LoadQZWD("Maps\\Fuzz"); });
    FreeMatrix(CurrentMatrix);
    CurrentMatrix = nullptr;
    TopTileFieldPresent = 0;
    FreeQZWDKeptChunks();
    FreeSkyCell(WorldSkyCell);
    WorldSkyCell = nullptr;
    while (TexCount) DeleteTex(TexTable[TexCount - 1]);
    ResetMatrixGlobals();
    qzpk_close();
    return 0;
}
