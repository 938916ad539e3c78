#include "tools/datakit/SceneFile.h"

#include <cstring>

namespace datakit {

namespace {

void U32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
void I32(std::vector<uint8_t>& out, int32_t v) { U32(out, uint32_t(v)); }

}  // namespace

std::vector<uint8_t> SceneFileBytes(const std::vector<SceneCut>& scenes) {
    std::vector<uint8_t> out;
    U32(out, 0x63757473);
    U32(out, uint32_t(scenes.size()));
    for (const SceneCut& scene : scenes) {
        uint8_t name[64] = {};
        std::memcpy(name, scene.au.data(), scene.au.size() < 63 ? scene.au.size() : 63);
        out.insert(out.end(), name, name + 64);
        for (const auto& track : scene.tracks) {
            U32(out, uint32_t(track.size()));
            for (const SceneSegment& s : track) {
                for (int32_t v : {s.start, s.end, s.worldState, s.clock, s.timedCursor, s.dailyCursor, s.cloudLevel,
                                  s.cloudRate, s.starLevel, s.starRate, s.sceneryLevel, s.sceneryRate, s.status})
                    I32(out, v);
                for (int32_t v : s.pos) I32(out, v);
                for (int32_t v : s.orient) I32(out, v);
                I32(out, int32_t(s.data.size()));
                out.insert(out.end(), s.data.begin(), s.data.end());
                int32_t capacity = s.capacity;
                if (capacity == 0) {
                    capacity = 200;
                    while (size_t(capacity) < s.inputs.size()) capacity *= 2;
                }
                I32(out, capacity);
                I32(out, int32_t(s.inputs.size()));
                for (const SceneInput& in : s.inputs) {
                    out.insert(out.end(), in.keys.begin(), in.keys.end());
                    for (int16_t a : in.axes) {
                        out.push_back(uint8_t(uint16_t(a)));
                        out.push_back(uint8_t(uint16_t(a) >> 8));
                    }
                }
            }
        }
    }
    return out;
}

}  // namespace datakit
