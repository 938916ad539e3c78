// Scenery height-field files through CreateSceneryHField.
#include "fuzz/FuzzSupport.h"
#include "objects/SceneryLighting.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    kvfuzz::Mount("app/hfields/h", data, size);
    kvfuzz::Run([] { FreeSceneryHField(CreateSceneryHField("h", 0)); });
    qzpk_close();
    return 0;
}
