#include "tools/datakit/HField.h"

#include "tools/datakit/Bytes.h"

namespace datakit {

std::vector<uint8_t> HFieldBytes(const HFieldFile& file) {
    Bytes b;
    if (file.rawMagic)
        b.u32(*file.rawMagic);
    else
        b.text("HFLD");
    b.i32(file.rawN ? *file.rawN : file.n);
    for (float v : file.low) b.f32(v);
    for (float v : file.high) b.f32(v);
    for (float h : file.heights) b.f32(h);
    return b.data();
}

bool WriteHField(const std::string& path, const HFieldFile& file) { return WriteFile(path, HFieldBytes(file)); }

}  // namespace datakit
