// Player cells and the control-input record. The local player's cell (OwnPlayer) lives from start-up to
// exit; a networked game adds one cell per remote player. Units are driven through ControlInput records:
// the local player's are sampled from the devices through the key bindings.
#pragma once

#include <cstdint>

struct AUDef;      // the player's action unit
struct TeamEntry;  // the player's team record (networked game)
struct construct;

// The 20-byte control record: 64 key bits and six signed axes. Bit i is bit (i mod 8) of keys[i / 8].
struct ControlInput {
    uint8_t keys[8];
    int16_t axes[6];
};
static_assert(sizeof(ControlInput) == 20);

inline bool InputKeyDown(const ControlInput& in, int bit) {
    return (in.keys[bit >> 3] >> (bit & 7)) & 1;
}
inline void SetInputKey(ControlInput* in, int bit, bool down) {
    uint8_t mask = static_cast<uint8_t>(1u << (bit & 7));
    in->keys[bit >> 3] = static_cast<uint8_t>(down ? in->keys[bit >> 3] | mask : in->keys[bit >> 3] & ~mask);
}
// Newly pressed: set now and clear before; released: clear now and set before.
inline bool InputKeyPressed(const ControlInput& before, const ControlInput& now, int bit) {
    return InputKeyDown(now, bit) && !InputKeyDown(before, bit);
}
inline bool InputKeyReleased(const ControlInput& before, const ControlInput& now, int bit) {
    return !InputKeyDown(now, bit) && InputKeyDown(before, bit);
}

// Key bits with a meaning of their own in the pilot-mode records.
constexpr int kInputFire1 = 18;
constexpr int kInputFire2 = 19;

// One queued input of a remote player: the sender's tick, 11 used button bits, three axes.
struct RemoteInputEntry {
    int32_t tick;
    uint32_t buttons;
    int16_t axes[3];
};
constexpr int kRemoteInputQueueSize = 50;

constexpr int kMaxPlayers = 16;

struct PlayerCell {
    char name[32];       // NUL-terminated, at most 31 characters
    char unitType[64];   // "MovieCamera" at creation
    uint32_t networkId;  // the session's player identifier
    uint32_t flags;      // 0x1 at creation; 0x2, 0x4, 0x80, 0x100: networked-game states
    AUDef* actionUnit;   // null at creation
    int32_t funds;
    int32_t frags;
    uint8_t autoChoice;
    int32_t deaths;
    int32_t clan;      // clan index
    const char* text;  // never set
    int32_t startPosition[6];
    ControlInput unitBefore;  // pilot-mode pair: drives the player's unit
    ControlInput unitNow;
    ControlInput mapBefore;  // commando-mode pair: drives the tactical map
    ControlInput mapNow;
    TeamEntry* team;
    // The remote player's queued inputs, oldest last. The queue lives in the cell, so it stays with its
    // player when the table closes a gap.
    RemoteInputEntry remoteQueue[kRemoteInputQueueSize];
    int32_t remoteCount;
    // The tick of the last remote input taken into the unit pair (valid once inputApplied is 1): an input
    // older than it came late and is not queued.
    int32_t lastAppliedTick;
    uint8_t inputApplied;
};

// The player table, in creation order.
extern PlayerCell* PlayerTable[kMaxPlayers];
extern int32_t PlayerCount;
extern PlayerCell* OwnPlayer;
// The local player's name (the multiplayer settings set it).
extern char Playername[32];

// Appends a new cell; fatal "Error(CreatePlayer): Too many Players" when 16 exist.
PlayerCell* CreatePlayer(const char* name);
// Removes the cell from the table (later cells move down) and frees it; nothing when it is not there.
void DeletePlayer(PlayerCell* cell);
// The cell, or its table index, of a network identifier; fatal when no cell holds it.
PlayerCell* IDPlayer(uint32_t networkId);
int IDPlayerNo(uint32_t networkId);
// The same, or null and -1 when no cell holds it (identifiers that come from the network).
PlayerCell* FindIDPlayer(uint32_t networkId);
int FindIDPlayerNo(uint32_t networkId);
void SetPlayerAU(PlayerCell* cell, AUDef* actionUnit);

// Samples the unit pair from the pilot-mode keys and the turn bindings; keep copies the new record into
// the previous one as well.
void SampleInput(PlayerCell* cell, int ticks, int keep);
void SampleUnitInput(PlayerCell* cell, int ticks);
// Samples the map pair from the commando-mode keys and the mouse pointer.
void SampleInput2(PlayerCell* cell, int keep);
void SampleUnitInput2(PlayerCell* cell);

// Zeroes all 20 bytes; returns the record's axes.
int16_t* ClearInput(ControlInput* in);
void CopyInput(ControlInput* to, const ControlInput* from);

// Takes the oldest queued remote input into the cell's unit pair: the current record becomes the
// previous one, the buttons set or clear their key bits, the three axes are taken; its tick becomes the
// last applied. False when the queue is empty.
bool ReplayRemoteInput(PlayerCell* cell);

// Makes the construct (when given) the receiver of the cell's input (null: of no one's); with a cell,
// the cell's unit-pair axes are zeroed and the turn rates reset to 256.
void SetInputConstruct(construct* con, PlayerCell* cell);
// Hands the player's unit to the scenery cameras of the busy pools (the SatCamera attaches to it, or with
// Shift held adds it to its targets; the StatCamera attaches to it), takes OwnPlayer's input away from
// every other construct that had it, and makes the unit OwnPlayer's input receiver. Null only releases.
void SwitchCameraObjects(construct* unit);

// Where the mouse pointer stands (x, y, and z, its wheel position); set by the mouse pointer's module.
// Without a pointer the position reads as (0, 0, 0), where a new pointer starts.
using MousePointerReader = void (*)(int32_t* x, int32_t* y, int32_t* z);
extern MousePointerReader MousePointerPosition;
// Moves the mouse pointer (when there is one) to x, y; the game binds it to the pointer module's
// SetMousePtrPos (game/LayerHooks.cpp).
extern void (*SetMousePtrPosHook)(int32_t x, int32_t y);
