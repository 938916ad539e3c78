// The task-force selection: the groups of the task force, the members' slot numbers (their unit keys),
// the task buttons and their pictures, and the units the tactical map highlights.
#pragma once

#include <cstdint>

struct ConstructPool;
struct CommMenu;
struct QZIcon;
struct TFView;
struct construct;

// The slot byte of a member that has no slot number yet.
constexpr uint8_t kNoSlot = 255;

// Brings the groups, the members pool, the slot numbers, the button pictures and the task buttons up to
// date with the player clan's units (in record/replay with the replayed action unit's), and tells the
// clan's AI each group (357). Nothing without a view.
void UpdateTFSelection(TFView* view);
// Recreates the task buttons: one per member in group order down the right screen edge, as many as fit.
void LayoutTaskButtons(TFView* view);
// Forms a group of the recipients, or dissolves the formed group they are exactly; closes the menu.
void ToggleTFGroup(TFView* view, ConstructPool* recipients, CommMenu* menu);
// The first group (from group 0) whose units are exactly the pool's units, or null.
ConstructPool* FindExactTFGroup(const TFView* view, const ConstructPool* pool);
// The first group (from group 0) that holds the unit, or null.
ConstructPool* FindTFGroupOfUnit(const TFView* view, const construct* unit);
// Puts the group's units into the pool "highlighted" (flagged highlighted) while it has room; with clear
// the pool is emptied (and its units unflagged) first.
void HighlightTFGroup(TFView* view, int group, int clear);
// Empties the pool "highlighted" and clears the flag of each unit taken out.
void ClearHighlighted();

// The unit-key label of a slot ("1234567890QWERT"), 0 for a slot without a key.
char TFSlotKeyLabel(int slot);
// The member symbol of a slot; slots past the ten member symbols show the neutral unit symbol.
QZIcon* TFMemberSymbol(const TFView* view, int slot);
