// The application messages written and read field by field at their offsets. A reader takes a message
// only when its number and its size are exactly those of its kind.
#include "net/Messages.h"

#include <cstring>
#include <iterator>

#include "net/Wire_local.h"
#include "world/Player.h"

using namespace netwire_fields;

namespace {

const char* const kNames[] = {"SingleInput",    "Chat",          "WantPlayerData", "Playerdata",
                              "FundRaise",      "StartPositions", "Updatedata",    "(none)",
                              "ByeBye",         "GameStatus",    "WantAssign",     "AutoAssign",
                              "RefuseAssignment", "ClanAssignment", "WantChangeUnit", "UnitChange"};
static_assert(std::size(kNames) == static_cast<size_t>(ApplMessage::Count));

constexpr int kMaxEntries = kMaxPlayers;

size_t Head(ApplMessage number, uint8_t* out) {
    PutU32(out, static_cast<uint32_t>(number));
    return 4;
}

bool Is(const uint8_t* data, size_t size, ApplMessage number, size_t exact) {
    uint32_t n;
    return size == exact && ReadMessageNumber(data, size, &n) && n == static_cast<uint32_t>(number);
}

// Entries after the head: a whole number of them, at least one... or none, at most one per player.
bool Entries(const uint8_t* data, size_t size, ApplMessage number, size_t entrySize, int* count) {
    uint32_t n;
    if (!ReadMessageNumber(data, size, &n) || n != static_cast<uint32_t>(number)) return false;
    const size_t body = size - kEntriesHeadSize;
    if (body % entrySize != 0 || body / entrySize > static_cast<size_t>(kMaxEntries)) return false;
    *count = static_cast<int>(body / entrySize);
    return true;
}

}  // namespace

const char* ApplMessageName(uint32_t number) {
    return number < std::size(kNames) ? kNames[number] : "unknown";
}

size_t WriteSingleInput(const SingleInputMsg& m, uint8_t* out) {
    memset(out, 0, kSingleInputSize);
    Head(ApplMessage::SingleInput, out);
    PutI32(out + 4, m.tick);
    PutU32(out + 8, m.buttons);
    for (int i = 0; i < 3; ++i) PutI16(out + 12 + 2 * i, m.axes[i]);
    return kSingleInputSize;  // bytes 18 to 23 stay zero
}

size_t WriteChat(const char* text, uint8_t* out, size_t capacity) {
    const size_t n = text ? strlen(text) : 0;
    if (n > kChatTextMax || 4 + n + 1 > capacity) return 0;
    Head(ApplMessage::Chat, out);
    if (n) memcpy(out + 4, text, n);
    out[4 + n] = 0;
    return 4 + n + 1;
}

size_t WriteWantPlayerData(uint32_t player, uint8_t* out) {
    Head(ApplMessage::WantPlayerData, out);
    PutU32(out + 4, player);
    return kWantPlayerDataSize;
}

size_t WritePlayerdata(const PlayerdataMsg& m, uint8_t* out) {
    Head(ApplMessage::Playerdata, out);
    PutU32(out + 4, m.player);
    PutText(out + 8, m.name, sizeof m.name);
    PutText(out + 40, m.unitType, sizeof m.unitType);
    PutI32(out + 104, m.clan);
    PutU32(out + 108, m.flags);
    return kPlayerdataSize;
}

size_t WriteFundRaise(int32_t funds, uint8_t* out) {
    Head(ApplMessage::FundRaise, out);
    PutI32(out + 4, funds);
    return kFundRaiseSize;
}

size_t WriteStartPositions(const StartPositionEntry* entries, int count, uint8_t* out) {
    if (count < 0 || count > kMaxEntries) return 0;
    Head(ApplMessage::StartPositions, out);
    uint8_t* at = out + kEntriesHeadSize;
    for (int i = 0; i < count; ++i, at += kStartPositionEntrySize) {
        PutU32(at, entries[i].player);
        for (int k = 0; k < 6; ++k) PutI32(at + 4 + 4 * k, entries[i].position[k]);
    }
    return kEntriesHeadSize + kStartPositionEntrySize * static_cast<size_t>(count);
}

size_t WriteUpdatedata(const UpdateEntry* entries, int count, uint8_t* out) {
    if (count < 0 || count > kMaxEntries) return 0;
    Head(ApplMessage::Updatedata, out);
    uint8_t* at = out + kEntriesHeadSize;
    for (int i = 0; i < count; ++i, at += kUpdateEntrySize) {
        const UpdateEntry& e = entries[i];
        PutU32(at, e.player);
        for (int k = 0; k < 3; ++k) PutI32(at + 4 + 4 * k, e.pos[k]);
        for (int k = 0; k < 9; ++k) PutI32(at + 16 + 4 * k, e.orient[k]);
        PutI32(at + 52, e.pitch);
        PutI32(at + 56, e.yaw);
        for (int k = 0; k < 3; ++k) PutI32(at + 60 + 4 * k, e.state[k]);
    }
    return kEntriesHeadSize + kUpdateEntrySize * static_cast<size_t>(count);
}

size_t WriteNumberOnly(ApplMessage number, uint8_t* out) { return Head(number, out); }

size_t WriteGameStatus(uint32_t status, uint8_t* out) {
    Head(ApplMessage::GameStatus, out);
    PutU32(out + 4, status);
    return kGameStatusSize;
}

size_t WriteWantAssign(int32_t clan, uint8_t* out) {
    Head(ApplMessage::WantAssign, out);
    PutI32(out + 4, clan);
    return kWantAssignSize;
}

size_t WriteClanAssignment(uint32_t player, int32_t clan, uint8_t* out) {
    Head(ApplMessage::ClanAssignment, out);
    PutU32(out + 4, player);
    PutI32(out + 8, clan);
    return kClanAssignmentSize;
}

size_t WriteWantChangeUnit(const char* unitType, uint8_t* out) {
    Head(ApplMessage::WantChangeUnit, out);
    PutText(out + 4, unitType, kUnitNameField);
    return kWantChangeUnitSize;
}

size_t WriteUnitChange(uint32_t player, const char* unitType, uint8_t* out) {
    Head(ApplMessage::UnitChange, out);
    PutU32(out + 4, player);
    PutText(out + 8, unitType, kUnitNameField);
    return kUnitChangeSize;
}

bool ReadMessageNumber(const uint8_t* data, size_t size, uint32_t* number) {
    if (!data || size < 4) return false;
    *number = GetU32(data);
    return true;
}

bool ReadSingleInputMsg(const uint8_t* data, size_t size, SingleInputMsg* out) {
    if (!Is(data, size, ApplMessage::SingleInput, kSingleInputSize)) return false;
    out->tick = GetI32(data + 4);
    out->buttons = GetU32(data + 8);
    for (int i = 0; i < 3; ++i) out->axes[i] = GetI16(data + 12 + 2 * i);
    return true;
}

bool ReadChatMsg(const uint8_t* data, size_t size, const char** text) {
    uint32_t n;
    if (!ReadMessageNumber(data, size, &n) || n != static_cast<uint32_t>(ApplMessage::Chat)) return false;
    // The text and its terminator fill the message exactly: the first zero is the last byte.
    if (size < kChatMinSize || size - kChatMinSize > kChatTextMax) return false;
    const char* t = reinterpret_cast<const char*>(data + 4);
    if (strnlen(t, size - 4) != size - kChatMinSize) return false;
    *text = t;
    return true;
}

bool ReadPlayerWord(const uint8_t* data, size_t size, ApplMessage number, uint32_t* word) {
    if (!Is(data, size, number, 8)) return false;
    *word = GetU32(data + 4);
    return true;
}

bool ReadPlayerdataMsg(const uint8_t* data, size_t size, PlayerdataMsg* out) {
    if (!Is(data, size, ApplMessage::Playerdata, kPlayerdataSize)) return false;
    out->player = GetU32(data + 4);
    GetText(data + 8, out->name, sizeof out->name);
    GetText(data + 40, out->unitType, sizeof out->unitType);
    out->clan = GetI32(data + 104);
    out->flags = GetU32(data + 108);
    return true;
}

bool ReadStartPositionsMsg(const uint8_t* data, size_t size, StartPositionEntry* out, int* count) {
    if (!Entries(data, size, ApplMessage::StartPositions, kStartPositionEntrySize, count)) return false;
    const uint8_t* at = data + kEntriesHeadSize;
    for (int i = 0; i < *count; ++i, at += kStartPositionEntrySize) {
        out[i].player = GetU32(at);
        for (int k = 0; k < 6; ++k) out[i].position[k] = GetI32(at + 4 + 4 * k);
    }
    return true;
}

bool ReadUpdatedataMsg(const uint8_t* data, size_t size, UpdateEntry* out, int* count) {
    if (!Entries(data, size, ApplMessage::Updatedata, kUpdateEntrySize, count)) return false;
    const uint8_t* at = data + kEntriesHeadSize;
    for (int i = 0; i < *count; ++i, at += kUpdateEntrySize) {
        UpdateEntry& e = out[i];
        e.player = GetU32(at);
        for (int k = 0; k < 3; ++k) e.pos[k] = GetI32(at + 4 + 4 * k);
        for (int k = 0; k < 9; ++k) e.orient[k] = GetI32(at + 16 + 4 * k);
        e.pitch = GetI32(at + 52);
        e.yaw = GetI32(at + 56);
        for (int k = 0; k < 3; ++k) e.state[k] = GetI32(at + 60 + 4 * k);
    }
    return true;
}

bool ReadClanAssignmentMsg(const uint8_t* data, size_t size, uint32_t* player, int32_t* clan) {
    if (!Is(data, size, ApplMessage::ClanAssignment, kClanAssignmentSize)) return false;
    *player = GetU32(data + 4);
    *clan = GetI32(data + 8);
    return true;
}

bool ReadUnitChangeMsg(const uint8_t* data, size_t size, uint32_t* player, char unitType[kUnitNameField]) {
    if (!Is(data, size, ApplMessage::UnitChange, kUnitChangeSize)) return false;
    *player = GetU32(data + 4);
    GetText(data + 8, unitType, kUnitNameField);
    return true;
}

bool ReadWantChangeUnitMsg(const uint8_t* data, size_t size, char unitType[kUnitNameField]) {
    if (!Is(data, size, ApplMessage::WantChangeUnit, kWantChangeUnitSize)) return false;
    GetText(data + 4, unitType, kUnitNameField);
    return true;
}

void QueueRemoteInput(PlayerCell* cell, const SingleInputMsg& input) {
    if (!cell) return;
    int count = cell->remoteCount;
    if (count < 0) count = 0;
    // A full queue gives up its oldest input (the smallest tick, the last entry) for the new one.
    if (count > kRemoteInputQueueSize - 1) count = kRemoteInputQueueSize - 1;
    int at = 0;
    while (at < count && cell->remoteQueue[at].tick > input.tick) ++at;
    for (int i = count; i > at; --i) cell->remoteQueue[i] = cell->remoteQueue[i - 1];
    RemoteInputEntry& e = cell->remoteQueue[at];
    e.tick = input.tick;
    e.buttons = input.buttons;
    for (int i = 0; i < 3; ++i) e.axes[i] = input.axes[i];
    cell->remoteCount = count + 1;
}
