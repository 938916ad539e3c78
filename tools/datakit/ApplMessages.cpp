#include "tools/datakit/ApplMessages.h"

#include "tools/datakit/Bytes.h"

namespace datakit {

namespace {

Bytes Start(uint32_t number) {
    Bytes b;
    b.u32(number);
    return b;
}

}  // namespace

Message SingleInputMessage(int32_t tick, uint32_t buttons, int16_t axis0, int16_t axis1, int16_t axis2) {
    Bytes b = Start(0);
    b.i32(tick);
    b.u32(buttons);
    b.i16(axis0);
    b.i16(axis1);
    b.i16(axis2);
    for (int i = 0; i < 6; ++i) b.u8(0);
    return b.data();
}

Message ChatMessage(const std::string& text) {
    Bytes b = Start(1);
    b.text(text);
    b.u8(0);
    return b.data();
}

Message WordMessage(uint32_t number, uint32_t word) {
    Bytes b = Start(number);
    b.u32(word);
    return b.data();
}

Message NumberMessage(uint32_t number) { return Start(number).data(); }

Message PlayerdataMessage(uint32_t player, const std::string& name, const std::string& unitType, int32_t clan,
                          uint32_t flags) {
    Bytes b = Start(3);
    b.u32(player);
    b.fixedText(name, 32);
    b.fixedText(unitType, 64);
    b.i32(clan);
    b.u32(flags);
    return b.data();
}

Message StartPositionsMessage(const std::vector<StartPosition>& entries) {
    Bytes b = Start(5);
    for (const StartPosition& e : entries) {
        b.u32(e.player);
        for (int32_t w : e.words) b.i32(w);
    }
    return b.data();
}

Message UpdatedataMessage(const std::vector<UnitUpdate>& entries) {
    Bytes b = Start(6);
    for (const UnitUpdate& e : entries) {
        b.u32(e.player);
        for (int32_t w : e.pos) b.i32(w);
        for (int32_t w : e.orient) b.i32(w);
        b.i32(e.pitch);
        b.i32(e.yaw);
        for (int32_t w : e.state) b.i32(w);
    }
    return b.data();
}

Message ClanAssignmentMessage(uint32_t player, int32_t clan) {
    Bytes b = Start(13);
    b.u32(player);
    b.i32(clan);
    return b.data();
}

Message WantChangeUnitMessage(const std::string& unitType) {
    Bytes b = Start(14);
    b.fixedText(unitType, 32);
    return b.data();
}

Message UnitChangeMessage(uint32_t player, const std::string& unitType) {
    Bytes b = Start(15);
    b.u32(player);
    b.fixedText(unitType, 32);
    return b.data();
}

}  // namespace datakit
