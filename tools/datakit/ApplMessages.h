// The application messages of a networked game as another machine sends them: each a 32-bit number, then
// its fields at their offsets, little-endian (texts in fixed fields padded with zeros). The tests, the
// hostile peer (tools/netpeer) and the fuzz seeds build their messages here, apart from the game's own
// writers.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace datakit {

using Message = std::vector<uint8_t>;

// 0: the sender's tick, its button bits and three axes (bytes 18 to 23 zero).
Message SingleInputMessage(int32_t tick, uint32_t buttons, int16_t axis0, int16_t axis1, int16_t axis2);
// 1: the text and its terminator.
Message ChatMessage(const std::string& text);
// 2 WantPlayerData, 4 FundRaise, 9 GameStatus, 10 WantAssign: the number and one word.
Message WordMessage(uint32_t number, uint32_t word);
// 8 ByeBye, 11 AutoAssign, 12 RefuseAssignment (or any number alone).
Message NumberMessage(uint32_t number);
// 3: a player's identifier, name (32), unit type (64), clan and flags.
Message PlayerdataMessage(uint32_t player, const std::string& name, const std::string& unitType, int32_t clan,
                          uint32_t flags);
// 5: per player its identifier and six placement words.
struct StartPosition {
    uint32_t player;
    std::array<int32_t, 6> words;
};
Message StartPositionsMessage(const std::vector<StartPosition>& entries);
// 6: per player its identifier, position, orientation, turret pitch and yaw, and three state words.
struct UnitUpdate {
    uint32_t player;
    std::array<int32_t, 3> pos;
    std::array<int32_t, 9> orient;
    int32_t pitch, yaw;
    std::array<int32_t, 3> state;
};
Message UpdatedataMessage(const std::vector<UnitUpdate>& entries);
// 13: a player and its clan.
Message ClanAssignmentMessage(uint32_t player, int32_t clan);
// 14: a unit type name (32).
Message WantChangeUnitMessage(const std::string& unitType);
// 15: a player and a unit type name (32).
Message UnitChangeMessage(uint32_t player, const std::string& unitType);

}  // namespace datakit
