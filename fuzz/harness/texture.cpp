// Engine textures and alpha maps (and bitmaps in their place) through LoadTex, and the frames of a
// texture animation through LoadTexAnim. The first byte picks the case (bits 0-1), a black-keyed name
// (bit 3) and the mip shift (bits 6-7); the rest is cut into files, each but the last led by its length
// (16 bits, little-endian), an animation frame followed by one byte saying whether an alpha map follows.
#include <algorithm>
#include <cstring>

#include "core/Config.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Dxgl.h"
#include "platform/Texture.h"

namespace {

struct Input {
    const uint8_t* at;
    const uint8_t* end;
    size_t remaining_bytes() const { return size_t(end - at); }
    uint8_t Byte() { return at < end ? *at++ : 0; }
    bool ConsumeBool() { return Byte() & 1; }
};

std::vector<uint8_t> Take(Input& in, bool last) {
    size_t n = in.remaining_bytes();
    if (!last) {
        size_t len = in.Byte();
        len |= size_t(in.Byte()) << 8;
        n = std::min(len, in.remaining_bytes());
    }
    std::vector<uint8_t> out(in.at, in.at + n);
    in.at += n;
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    static bool once = [] {
        DisplayBits = 32;
        AlphaBits = 8;
        texturebpp = 32;
        snprintf(TEXROOT, kRootSize, "%s", "tex");
        snprintf(TEXANIMROOT, kRootSize, "%s", "anims");
        return true;
    }();
    (void)once;
    Input in{data, data + size};
    const uint8_t pick = in.Byte();
    const int mip = pick >> 6;
    const bool black = pick & 8;
    const char* name = black ? "wall{" : "wall";
    std::vector<datakit::PackEntry> files;
    const std::string base = std::string("tex/set/") + name;
    switch (pick & 3) {
        case 0:  // a colour image alone
            files.push_back({base, Take(in, true), 0});
            break;
        case 1:  // an alpha map alone, named by its own name
            files.push_back({base + "_", Take(in, true), 0});
            break;
        case 2:  // colour and alpha map
            files.push_back({base, Take(in, false), 0});
            files.push_back({base + "_", Take(in, true), 0});
            break;
        default:  // an animation of up to three frames, each with an alpha map or none
            for (int f = 0; f < 3 && in.remaining_bytes(); ++f) {
                char frame[64];
                snprintf(frame, sizeof frame, "anims/%s/%02d", name, f);
                files.push_back({frame, Take(in, false), 0});
                if (in.ConsumeBool()) files.push_back({std::string(frame) + "_", Take(in, false), 0});
            }
            break;
    }
    kvfuzz::MountFiles(files);
    kvfuzz::Run([&] {
        if ((pick & 3) == 3) {
            TexAnim* anim = CreateTexAnim();
            LoadTexAnim(anim, name);
        } else {
            Tex* tex = CreateTex();
            LoadTex(tex, (pick & 3) == 1 ? (std::string(name) + "_").c_str() : name, mip);
        }
    });
    while (TexCount) DeleteTex(TexTable[TexCount - 1]);
    while (TexAnimCount) DeleteTexAnim(TexAnimTable[TexAnimCount - 1]);
    qzpk_close();
    return 0;
}
