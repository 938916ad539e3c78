// What the two per-call input handlers (the tactical map's and the player view's) share: the key pair
// of a control record, the raw keys they read by code, the comm menu's key step, the unit-key selection
// and the extra view windows.
#pragma once

#include <cstdint>

#include "hud/TFView_local.h"
#include "world/Player.h"

struct ViewPort;

// Raw key codes read straight from the key states.
enum RawKey : int {
    kEscKey = 1,
    kTKey = 20,
    kReturnKey = 28,
    kSpaceKey = 57,
    kUpKey = 200,
    kPageUpKey = 201,
    kLeftKey = 203,
    kRightKey = 205,
    kDownKey = 208,
    kPageDownKey = 209,
    kLButtonKey = 256,
    kShiftKey = 276,
};
bool RawKeyDown(int code);

// The map's zoom, in both views.
constexpr int32_t kMinMapZoom = 2048;
constexpr int32_t kMaxMapZoom = 16256;

// The previous and the current record of a pair of control records.
struct KeyPair {
    const ControlInput& before;
    const ControlInput& now;
    bool Held(int bit) const { return bit >= 0 && InputKeyDown(now, bit); }
    bool HeldBefore(int bit) const { return bit >= 0 && InputKeyDown(before, bit); }
    bool Pressed(int bit) const { return bit >= 0 && InputKeyPressed(before, now, bit); }
    bool Released(int bit) const { return bit >= 0 && InputKeyReleased(before, now, bit); }
};

// The unit key of a number 0 .. 14 from the first unit key's bit; -1 (no key) from 15 on.
inline int UnitKeyBit(int firstBit, int number) {
    return number >= 0 && number < 15 ? firstBit + number : -1;
}

// The comm menu's entry keys (the unit key of each entry's index): a press arms the latch, holding
// highlights, the release carries the entry out. Returns true when an entry was carried out; otherwise
// the menu's time-out runs down by the ticks and closes the menu below 0.
bool CommMenuEntryKeys(TFView* view, CommMenu* menu, const KeyPair& keys, int firstUnitBit, int ticks);

// Unit-key selection of one member: the press (selection, focus), the release (the comm menu with the
// selected members as recipients, under restriction 0x08) and the long hold (the jump into the member's
// cockpit, when the member is input-driven). Returns true when the player entered the member.
struct SelectionKeys {
    int unitBit;      // the member's unit key, -1 none
    int allUnitsBit;  // the all-units key
    int addRecipientBit;
    bool jumpAllowed;  // the long hold may enter the unit
};
bool MemberSelectionKeys(TFView* view, CommMenu* menu, const KeyPair& keys, construct* member,
                         const SelectionKeys& bits);

// The three extra view windows: the viewports of the table other than the main one, in table order.
int ExtraWindows(ViewPort* out[3]);
// Detaches the last extra window that shows a construct; that window, or null.
ViewPort* DetachLastExtraWindow();

// The outside camera's heading along the construct it follows (mode 1), or along the stored aim
// direction when that construct has a turret (mode 2).
void OutsideCameraHeading(TFView* view);
// The tick counter at the last new press of a unit key.
extern uint32_t UnitKeyPressTick;
// Pointing mode (a move order's point picked on the large map): the pointer moved by the arrow keys,
// the order sent on the release of the pointer button or Enter, cancelled on the release of Space or
// Escape. Both handlers run it first and nothing else while the mode lasts.
void MapPointingStep(TFView* view, CommMenu* menu, int ticks);
