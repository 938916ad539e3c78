// Scene files of record/replay: the cut scenes of a mission, each an action unit's name and one track
// per unit of segments (keyframe, data copy, control records).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace datakit {

struct SceneInput {
    std::array<uint8_t, 8> keys{};  // key bit i is bit (i mod 8) of keys[i / 8]
    std::array<int16_t, 6> axes{};
};

struct SceneSegment {
    int32_t start = 0, end = 0;
    int32_t worldState = 0;
    int32_t clock = 0;  // whole seconds
    int32_t timedCursor = 0, dailyCursor = 0;
    int32_t cloudLevel = 0, cloudRate = 0, starLevel = 0, starRate = 0, sceneryLevel = 0, sceneryRate = 0;
    int32_t status = 0;
    std::array<int32_t, 3> pos{};
    std::array<int32_t, 9> orient{};
    std::vector<uint8_t> data;  // the unit's saved block, or empty
    int32_t capacity = 0;       // 0: 200, doubled until the records fit
    std::vector<SceneInput> inputs;
};

struct SceneCut {
    std::string au;  // at most 63 characters
    std::vector<std::vector<SceneSegment>> tracks;  // one per unit of the action unit, in pool order
};

// The file's bytes: the magic "stuc", the scene count, the scenes.
std::vector<uint8_t> SceneFileBytes(const std::vector<SceneCut>& scenes);

}  // namespace datakit
