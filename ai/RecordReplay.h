// Record/replay of cut scenes: units driven from recorded tracks, and the panel that runs it.
#pragma once

#include <cstdint>

struct AUDef;
struct construct;
struct ControlInput;

// Record/replay is on for the level (the level rule "recordreplay_active").
extern int32_t RecordReplayActive;
// A recording or replay run is in progress; its recorded construct; the skip switch.
extern int32_t RecordReplayRunning;
extern construct* RecordedConstruct;
extern int32_t RecordReplaySkip;
// The level's cut scenes.
extern int32_t CutSceneCount;

// Creates the cut scene of an action unit (one track per unit).
void CreateCutScene(AUDef* au);
// Draws the record/replay panel.
void DrawRecordReplayPanel();
// The per-tick step: advances the run's frame counter and stops at the end of the record.
void RecordReplay_frame();
// Fills a replayed unit's record from its track; stores the recorded unit's record in its track.
void SendTrackedInput(construct* con, ControlInput* record);
void ReceiveTrackedInput(construct* con, const ControlInput* record);
