// The view instruments: the flat cockpit read-outs over the main view while the player drives a unit
// (frag counter, shield gauge, unit symbol, drive gauge and speed, the altitude tape with its horizon, the
// two weapon groups with their ammunition, the radiation, reload and action icons, the turret indicator
// and the compass), the names of the weapon groups they show, and the clock arithmetic of the overlay.
#pragma once

#include <cstdint>

struct construct;

constexpr int kWeaponNameSize = 64;
// The names of weapon groups 0 and 1 as GetWeaponName set them; "NONE" for a group without a weapon
// (both before any unit was entered).
extern char WeaponNames[2][kWeaponNameSize];
// The radiation icon's blink counter: it shows for n frames and hides for n, n shrinking as the radiation
// source comes nearer. Kept across frames and levels.
extern int32_t RadiationBlink;

// Draws the instruments of the unit (the player's unit) over the whole screen.
void DrawViewInstruments(construct* unit);
// The weapon group names of the unit type's rule "WeaponName" (its first and second text; cut to 63
// characters, an absent second text giving an empty name); fatal when the type has no such rule.
void GetWeaponName(construct* unit);
// Whole minutes of a time in seconds, and the seconds within the minute, both truncated toward zero.
int32_t TimeMinutes(float seconds);
int32_t TimeSecondsPart(float seconds);
