// "credits.txt": the credits roll started on it and run for 120 frames of half a second each (every block
// read and drawn, slides loaded from the package's one picture "Textures\credits\s"), then stopped.
#include <vector>

#include "core/Config.h"
#include "frontend/Credits.h"
#include "fuzz/FuzzSupport.h"
#include "host/Clock.h"
#include "tools/datakit/Texture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    static const std::vector<uint8_t> slide = [] {
        snprintf(TEXTROOT, kRootSize, "app\\text");
        snprintf(TEXROOT, kRootSize, "Textures");
        host::UseVirtualClock(2.0);
        return datakit::Bmp24(8, 8, std::vector<uint32_t>(64, 0x808080u));
    }();
    kvfuzz::MountFiles({{"app\\text\\credits.txt", std::vector<uint8_t>(data, data + size), 0},
                        {"Textures\\credits\\s", slide, 0}});
    kvfuzz::Run([] {
        RunCredits(1);
        for (int frame = 0; frame < 120; ++frame) {
            host::AdvanceVirtualClockBy(50.0);
            RunCredits(0);
        }
    });
    RunCredits(-1);
    qzpk_close();
    return 0;
}
