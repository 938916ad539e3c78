// The world's side of record/replay: the world state a keyframe takes and sets (clock, sky, day-event
// cursors, scenery lighting), its messages, and the record/replay panel that the frame loop draws over
// the main view in a record/replay level.
#pragma once

#include <cstdint>

#include "ai/RecordReplay.h"

struct TrackSeg;

// Stores the clock, the day-event cursors, the sky's cloud and star levels and rates and the scenery
// lighting into the segment; sets them from it.
void TakeCutSceneWorldState(TrackSeg* seg);
void SetCutSceneWorldState(const TrackSeg* seg);
// A message in the message log with an empty sender, after the 27 blanks that every record/replay
// message begins with.
void CutSceneMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The panel, once per frame before the world tick: its display and keys.
void DrawRecordReplayPanel();
// The text-input line's answer to one of the panel's prompts (mode 1 truncate, 2 load, 3 save, 4 start
// time, 5 export folder).
void RecordReplayCommand(const char* text, intptr_t mode);
// The panel's selection and export state and the run's counters back to a new level's (the folder and
// the tick step stay).
void ResetRecordReplayPanel();
// A frame as minutes, seconds and hundredths.
void SplitFrameTime(int32_t frame, int32_t out[3]);
// "mmsshh" as a frame: minutes x 6000 + seconds x 100 + hundredths; 0 for a text under 6 characters.
int32_t ParseFrameTime(const char* text);

// The panel's state, read by tests.
struct TrackSeg;
extern TrackSeg* PanelSegment;
extern char ExportFolder[128];
extern int32_t ExportNumber;
