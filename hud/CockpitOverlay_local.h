// What the cockpit overlay's files share: its colours and the panels drawn from the task-force view.
#pragma once

#include <cstdint>

struct CommMenu;
struct TFView;

namespace cockpit_local {

extern const uint8_t kHudGreen[4];
extern const uint8_t kFrameGreen[4];
extern const uint8_t kBlockedGrey[4];
extern const uint8_t kMenuBlue[4];
extern const uint8_t kWhite[4];
extern const uint8_t kAlertRed[4];
extern const uint8_t kWarningYellow[4];

// The task-force panel: a button per member with its key, name, status icon, kill insignia and shield
// gauge, sliding in from the right while the panel timer runs down.
void DrawTaskForcePanel(TFView* view);
// The frames of the extra view windows, swinging open and shut about the left screen edge.
void DrawViewFrames(TFView* view);
// The comm menu beside the first task button: the recipients, then the entries.
void DrawCommMenu(TFView* view, CommMenu* menu);

}  // namespace cockpit_local
