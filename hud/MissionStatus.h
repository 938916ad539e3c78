// What the player's view and the tactical map show of the mission's course besides the log: the notice
// line that day events and the views put up, the two panel words that day events may restrict, and the
// countdown from a won or lost mission to the level's end.
#pragma once

#include <cstdint>

// The notice line: its text (cut to 63 characters) and the ticks it stays up.
extern char ViewNoticeText[64];
extern int32_t ViewNoticeTimer;
// Which panels the cockpit overlay (CockpitPanels) and the tactical map (PanelWord) show: bit 0 the
// task-force panel, bit 1 the map panel. 3 when a level is built.
extern int32_t CockpitPanels;
extern int32_t PanelWord;

// Puts a text up on the notice line for the given ticks.
void SetViewNotice(const char* text, int32_t ticks);
// Counts the notice line, the success countdown and the failure countdown down by the ticks, none below
// 0; a countdown that reaches 0 marks the mission won or lost. The player's view and the tactical map
// run it once per world-tick call.
void UpdateMissionCountdowns(int ticks);
// The state of a level that has just been built: no notice, both panels shown, no countdown running.
void ResetMissionStatus();
