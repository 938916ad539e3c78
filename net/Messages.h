// The application messages of a networked game: what the machines of a session say to each other, byte
// for byte, and what a machine does with what it hears.
//
// Every message begins with its number, a 32-bit little-endian word; its fields follow at fixed offsets
// and it has exactly the size of its kind (Chat: the text and its terminator; StartPositions and
// Updatedata: whole entries, one per player at most). Each machine sends its own player's input to all;
// the host alone decides sides, purchases, funds, start positions and the round phase. A message that
// does not read, comes from a machine that may not send it, or names a player without a cell is dropped
// with a line in "MPLog.txt" and changes nothing.
#pragma once

#include <cstddef>
#include <cstdint>

struct PlayerCell;

enum class ApplMessage : uint32_t {
    SingleInput = 0,       // each machine -> all: its player's input of a frame
    Chat = 1,              // any -> all
    WantPlayerData = 2,    // any -> host: describe a player to me
    Playerdata = 3,        // host -> the asker
    FundRaise = 4,         // host -> one player: its new funds
    StartPositions = 5,    // host -> all
    Updatedata = 6,        // host -> all: the units' state
    Unused = 7,            // never sent; read as an unknown number
    ByeBye = 8,            // any -> host: leaving
    GameStatus = 9,        // host -> all: the round status
    WantAssign = 10,       // any -> host: a side, please
    AutoAssign = 11,       // any -> host: a side of the host's choosing
    RefuseAssignment = 12, // host -> the asker
    ClanAssignment = 13,   // host -> all: a player's side
    WantChangeUnit = 14,   // any -> host: a vehicle, please
    UnitChange = 15,       // host -> all: a player's vehicle
    Count
};
// "SingleInput", "Chat", ...; "unknown" past the table.
const char* ApplMessageName(uint32_t number);

// Sizes: a fixed size, or for Chat the smallest (an empty text), for StartPositions and Updatedata the
// head before the entries.
constexpr size_t kSingleInputSize = 24;
constexpr size_t kChatMinSize = 5;
constexpr size_t kWantPlayerDataSize = 8;
constexpr size_t kPlayerdataSize = 112;
constexpr size_t kFundRaiseSize = 8;
constexpr size_t kStartPositionEntrySize = 28;
constexpr size_t kUpdateEntrySize = 72;
constexpr size_t kEntriesHeadSize = 4;
constexpr size_t kByeByeSize = 4;
constexpr size_t kGameStatusSize = 8;
constexpr size_t kWantAssignSize = 8;
constexpr size_t kAutoAssignSize = 4;
constexpr size_t kRefuseAssignmentSize = 4;
constexpr size_t kClanAssignmentSize = 12;
constexpr size_t kWantChangeUnitSize = 36;
constexpr size_t kUnitChangeSize = 40;
constexpr size_t kUnitNameField = 32;  // the unit type name of WantChangeUnit and UnitChange
constexpr size_t kChatTextMax = 127;   // the chat line's longest text
// The largest message there is: the units' state of a full player table.
constexpr size_t kLargestApplMessage = kEntriesHeadSize + kUpdateEntrySize * 16;

// The bits a player's flags word may hold, and the round status word.
constexpr uint32_t kPlayerFlagBits = 0x3FF;
constexpr uint32_t kRoundStatusBits = 0x1F;
// The deferred actions the messages ask the frame loop for (MPDeferredFlags).
constexpr uint32_t kDeferChangeUnit = 0x2;
constexpr uint32_t kDeferPlaceAtStart = 0x4;
constexpr uint32_t kDeferBeginFight = 0x8;
// The pitch of a unit without a turret.
constexpr int32_t kNoTurret = INT32_MIN;

// The fields of the messages that carry more than a number or two.
struct SingleInputMsg {
    int32_t tick;      // the sender's tick counter
    uint32_t buttons;  // button bit n: key bit kSingleInputKeyBits[n] of the unit record
    int16_t axes[3];
};
// Key bit of the unit record for each button bit of SingleInput.
inline constexpr int kSingleInputKeyBits[11] = {14, 15, 16, 17, 21, 18, 19, 22, 23, 20, 24};

struct PlayerdataMsg {
    uint32_t player;
    char name[32];
    char unitType[64];
    int32_t clan;
    uint32_t flags;
};

struct StartPositionEntry {
    uint32_t player;
    int32_t position[6];  // the action unit's placement words
};

struct UpdateEntry {
    uint32_t player;
    int32_t pos[3];     // 16.16 world units
    int32_t orient[9];  // 1.15
    int32_t pitch;      // 16.16 radians; kNoTurret: the unit has none
    int32_t yaw;
    int32_t state[3];   // shield, structure, energy
};

// Writers: each fills out (at least the message's size) and returns the size written; 0 when the
// arguments cannot make a message (a text too long, more entries than players).
size_t WriteSingleInput(const SingleInputMsg& m, uint8_t* out);
size_t WriteChat(const char* text, uint8_t* out, size_t capacity);
size_t WriteWantPlayerData(uint32_t player, uint8_t* out);
size_t WritePlayerdata(const PlayerdataMsg& m, uint8_t* out);
size_t WriteFundRaise(int32_t funds, uint8_t* out);
size_t WriteStartPositions(const StartPositionEntry* entries, int count, uint8_t* out);
size_t WriteUpdatedata(const UpdateEntry* entries, int count, uint8_t* out);
size_t WriteNumberOnly(ApplMessage number, uint8_t* out);  // ByeBye, AutoAssign, RefuseAssignment
size_t WriteGameStatus(uint32_t status, uint8_t* out);
size_t WriteWantAssign(int32_t clan, uint8_t* out);
size_t WriteClanAssignment(uint32_t player, int32_t clan, uint8_t* out);
size_t WriteWantChangeUnit(const char* unitType, uint8_t* out);
size_t WriteUnitChange(uint32_t player, const char* unitType, uint8_t* out);

// Readers: true when the bytes are exactly a message of that kind (number and size); texts come out
// terminated within their fields. A reader of entries gives their count (at most 16).
bool ReadMessageNumber(const uint8_t* data, size_t size, uint32_t* number);
bool ReadSingleInputMsg(const uint8_t* data, size_t size, SingleInputMsg* out);
bool ReadChatMsg(const uint8_t* data, size_t size, const char** text);
bool ReadPlayerWord(const uint8_t* data, size_t size, ApplMessage number, uint32_t* word);  // 2, 4, 9, 10
bool ReadPlayerdataMsg(const uint8_t* data, size_t size, PlayerdataMsg* out);
bool ReadStartPositionsMsg(const uint8_t* data, size_t size, StartPositionEntry* out, int* count);
bool ReadUpdatedataMsg(const uint8_t* data, size_t size, UpdateEntry* out, int* count);
bool ReadClanAssignmentMsg(const uint8_t* data, size_t size, uint32_t* player, int32_t* clan);
bool ReadUnitChangeMsg(const uint8_t* data, size_t size, uint32_t* player, char unitType[kUnitNameField]);
bool ReadWantChangeUnitMsg(const uint8_t* data, size_t size, char unitType[kUnitNameField]);

// The receiver: the message from the player sender (a message from this machine's own player, the copy
// of one sent to all, is not handed here). Returns 1.
int32_t HandleApplMessage(const uint8_t* data, size_t size, uint32_t sender);

// Puts a received input into the cell's queue: the queue stays ordered from the newest tick (index 0) to
// the oldest; a new input goes before the first entry of its tick or older, and a full queue drops its
// oldest entry first.
void QueueRemoteInput(PlayerCell* cell, const SingleInputMsg& input);

// The senders that Multiplayer.h does not declare.
void SendChat(const char* text);
void SendWantPlayerData(uint32_t player);
void SendPlayerdata(uint32_t described, uint32_t addressed);
void SendFundRaise(uint32_t player, int32_t funds);
void SendWantAssign(int32_t clan);
void SendAutoAssign();
void SendRefuseAssignment(uint32_t addressed);
void SendClanAssignment(uint32_t player, int32_t clan);
void SendWantChangeUnit(const char* unitType);
void SendUnitChange(uint32_t player, const char* unitType);
