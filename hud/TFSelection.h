// The task-force selection of the in-game interface.
#pragma once

struct TFView;

// Brings the current task-force group up to date after a unit is gone. Not built yet: does nothing.
void UpdateTFSelection(TFView* view);
