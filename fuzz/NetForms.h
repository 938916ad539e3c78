// What the network harnesses and their seeds agree on: the applications their peers are of, the nonce of
// the search that takes answers, and the scripts' record layout (fuzz/harness/netpacket.cpp).
#pragma once

#include <cstdint>
#include <vector>

namespace kvfuzz {

inline constexpr uint8_t kSearchApp[16] = {'f', 'u', 'z', 'z', '-', 's', 'e', 'a', 'r', 'c', 'h', 0, 1, 2, 3, 4};
inline constexpr uint32_t kSearchNonce = 0x5EA7C4;
inline constexpr uint8_t kPacketApp[16] = {'f', 'u', 'z', 'z', '-', 'p', 'a', 'c', 'k', 'e', 't', 0, 1, 2, 3, 4};

// One record of a packet script: target, channel (or a disconnection's reason), length, bytes.
inline void ScriptRecord(std::vector<uint8_t>* script, uint8_t target, uint8_t channel,
                         const std::vector<uint8_t>& bytes) {
    script->push_back(target);
    script->push_back(channel);
    script->push_back(static_cast<uint8_t>(bytes.size()));
    script->push_back(static_cast<uint8_t>(bytes.size() >> 8));
    script->insert(script->end(), bytes.begin(), bytes.end());
}

}  // namespace kvfuzz
