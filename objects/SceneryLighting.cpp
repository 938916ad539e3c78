// The scenery light level with its fade, and the scenery height-field files ("HFLD").
#include "objects/SceneryLighting.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "core/Config.h"
#include "core/Memory.h"
#include "core/Package.h"
#include "objects/Itfc.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"

int32_t SceneryLightingLevel = 0;
int32_t SceneryLightingRate = 0;
int32_t LightStamp = 0;

namespace {

constexpr int32_t kMaxLightingLevel = 65280;
constexpr uint32_t kHFieldMagic = 0x444C4648;  // "HFLD"
constexpr int kHFieldHeaderSize = 32;

void SendSceneryBrightness() {
    if (ConstructPool* pool = FindConstructPool("scenery lighting"))
        for (int i = 0; i < pool->count; ++i)
            CallItfc(pool->constructs[i], ItfcMethod::SETBRIGHTNESS,
                     static_cast<uintptr_t>(SceneryLightingLevel >> 8));
    LightStamp = 1;
}

struct StreamClose {
    void operator()(FILE* f) const {
        if (f) qzpk_fclose(f);
    }
};

bool ReadBytes(FILE* f, void* out, size_t n) { return qzpk_fread(out, 1, n, f) == n; }

uint32_t U32(const uint8_t* b) {
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

}  // namespace

void UpdateSceneryLighting(int ticks) {
    const int32_t before = SceneryLightingLevel;
    int64_t level = int64_t(SceneryLightingLevel) + int64_t(SceneryLightingRate) * ticks;
    if (level < 0) {
        level = 0;
        SceneryLightingRate = 0;
    } else if (level > kMaxLightingLevel) {
        level = kMaxLightingLevel;
        SceneryLightingRate = 0;
    }
    SceneryLightingLevel = static_cast<int32_t>(level);
    if (SceneryLightingLevel != before) SendSceneryBrightness();
}

void SetSceneryLightingLevel(int level) {
    SceneryLightingLevel = level;
    SendSceneryBrightness();
}

hfield* CreateSceneryHField(const char* name, int /*unused*/) {
    const std::string path = std::string("app") + kPathSeparator + "hfields" + kPathSeparator + name;
    std::unique_ptr<FILE, StreamClose> f(qzpk_fopen(path.c_str(), "rb"));
    if (!f) FatalErrorF("Error(CreateSceneryHField): %s not found", path.c_str());
    uint8_t header[kHFieldHeaderSize];
    if (!ReadBytes(f.get(), header, 4) || U32(header) != kHFieldMagic)
        FatalErrorF("Error(CreateSceneryHField): %s not an hfield", path.c_str());
    if (!ReadBytes(f.get(), header + 4, kHFieldHeaderSize - 4))
        FatalErrorF("Error(CreateSceneryHField): %s not an hfield (the header is cut short)", path.c_str());
    const int32_t n = static_cast<int32_t>(U32(header + 4));
    // The grid must be one the game can hold and the file must carry all of its heights.
    if (n < 1 || n > kMaxSceneryHFieldSize)
        FatalErrorF("Error(CreateSceneryHField): %s not an hfield (grid size %d outside 1..%d)", path.c_str(), n,
                    kMaxSceneryHFieldSize);
    const size_t count = static_cast<size_t>(n) * static_cast<size_t>(n);
    std::unique_ptr<uint8_t[]> raw(new uint8_t[count * 4]);
    if (!ReadBytes(f.get(), raw.get(), count * 4))
        FatalErrorF("Error(CreateSceneryHField): %s not an hfield (%d x %d heights do not fit the file)",
                    path.c_str(), n, n);
    auto* hf = static_cast<hfield*>(qzAlloc(sizeof(hfield), "scenery hfield"));
    hf->n = n;
    hf->heights = static_cast<uint16_t*>(qzAlloc(static_cast<int>(count * sizeof(uint16_t)), "hfield heights"));
    for (size_t i = 0; i < count; ++i) {
        const uint32_t bits = U32(raw.get() + i * 4);
        float v;
        std::memcpy(&v, &bits, 4);
        const double scaled = static_cast<double>(v) * 21.5625;
        // Values beyond the 32-bit range (and NaN) are held at its ends; the 16-bit store wraps.
        int64_t whole = 0;
        if (scaled == scaled) whole = scaled >= 2147483647.0 ? 2147483647 : scaled <= -2147483648.0 ? INT32_MIN : static_cast<int64_t>(scaled);
        hf->heights[i] = static_cast<uint16_t>(whole);
    }
    return hf;
}

void FreeSceneryHField(hfield* hf) {
    if (!hf) return;
    qzFree(hf->heights);
    qzFree(hf);
}
