// The key configuration screen (204): the key names shown, the rows of actions, and the capture of a new
// key or axis for an action.
#pragma once

void InitKeyDisplayNames();
// Creates the screen's rows of actions (labels and frames) after its fixed widgets.
void BuildKeyScreen();
// The number of a mouse or joystick axis that moved since the last call, or -1.
int DetectAxis();
// 1 once a new key or axis has been taken for the action being rebound, else 0.
int CaptureKey();
// The action row (frame index) whose key is rebound next.
extern int RebindAction;
