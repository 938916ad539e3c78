// What the task-force view's files share.
#pragma once

#include <cstdint>

#include "hud/TFView.h"

// The dispatcher call on a construct that may be missing (a camera the level could not make): 0 then.
inline uintptr_t CallIfAny(construct* con, ItfcMethod method, uintptr_t arg = 0) {
    return con ? CallItfc(con, method, arg) : 0;
}

// CloseCommMenu without letting go of the focus unit.
void CloseCommMenuKeepFocus(TFView* view, CommMenu* menu);
// The outside camera's hand-back: when the SatCamera that the main view looks through has ended its
// flight (mode 6), the view the player prefers takes over.
void HandBackOutsideCamera(PlayerCell* player);
