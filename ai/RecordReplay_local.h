// What the record/replay files share: the track of a construct and the keyframe.
#pragma once

#include "ai/RecordReplay.h"

namespace recordreplay {

// The track a construct's cut-track word points to, or null.
CutTrack* TrackOf(const construct* con);
// Sets the unit from the segment's keyframe: world state (when flagged), data block, place and status.
void ApplyKeyframe(TrackSeg* seg);
// Frees a segment with its data copy and input list.
void FreeTrackSeg(TrackSeg* seg);
// A new segment for the unit (no keyframe, an empty input list of 200 records).
TrackSeg* NewTrackSeg(construct* unit, int32_t start);

}  // namespace recordreplay
