// The world file of the mission "Fuzz" ("Maps\Fuzz"), alone (first byte even) or with a newer
// tile-definition chunk file "Chunks\Fuzz_TileDefPool" (first byte odd; the world file then leads with
// its length, 32 bits little-endian, and the chunk file is the rest), mounted over the demo tree. The
// mission's level is built from it (with the demo's units file, its action units activated by the
// mission's script, the sun set by the clock), runs a few ticks and is torn down again.
#include <algorithm>

#include "fuzz/FuzzLevel.h"
#include "fuzz/FuzzSupport.h"
#include "game/Level.h"
#include "game/WorldTick.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    kvfuzz::OpenDemoGame();
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
    std::vector<datakit::PackEntry> files{{"Maps/Fuzz", std::vector<uint8_t>(at, at + worldSize), 1}};
    if (withChunks)
        files.push_back({"Chunks/Fuzz_TileDefPool", std::vector<uint8_t>(at + worldSize, at + left), 2});
    kvfuzz::MountFiles(files);
    if (kvfuzz::BuildDemoLevel()) {
        kvfuzz::Run([] {
            for (int tick = 0; tick < 4; ++tick) WorldTick(1, 1);
        });
        kvfuzz::TeardownDemoLevel();
    }
    qzpk_close();
    return 0;
}
