// The task-force selection of the in-game interface.
#pragma once

struct ConstructPool;
struct TFView;

// Brings the current task-force group up to date after a unit is gone. Not built yet: does nothing.
void UpdateTFSelection(TFView* view);
// The first group (from group 0) whose units are exactly the pool's units, or null. Not built yet: finds
// none.
ConstructPool* FindExactTFGroup(const TFView* view, const ConstructPool* pool);
