// The task-force view is not built yet: none is made and the player never drives a unit. The two
// per-call handlers count the notice line and the countdowns to the level's end down.
#include "hud/TFView.h"

#include "hud/MissionStatus.h"

#include <iterator>

Tex* SpecialTextures[kSpecialTextureCount];
const char* const SpecialTextureNames[kSpecialTextureCount] = {
    "twister",     "horizon",     "compass",     "radio",       "reload",      "datascan",
    "objectscan",  "objectcapture", "unitcapture", "enterdata", "fragger00",   "fragger01",
    "fragger02",   "fragger03",   "fragger04",   "fragger05",   "fragger06",   "fragger07",
    "fragger08",   "fragger09",   "fragger10",
};
static_assert(std::size(SpecialTextureNames) == kSpecialTextureCount);

TFView* CreateTFView() { return nullptr; }
void DeleteTFView(TFView* view) { (void)view; }
void DeleteTaskButton(TFView* view, TaskButton* button) { (void)view, (void)button; }
CommMenu* CreateCommMenu() { return nullptr; }
void DeleteCommMenu(CommMenu* menu) { (void)menu; }
void TacticalMapFrame(TFView* view, PlayerCell* player, int ticks) {
    (void)view, (void)player;
    UpdateMissionCountdowns(ticks);
}
void PlayerViewInput(TFView* view, PlayerCell* player, int ticks) {
    (void)view, (void)player;
    UpdateMissionCountdowns(ticks);
}
int IsTFCommandBlocked(TFView* view, CommMenu* menu, uint32_t code) {
    (void)view, (void)menu, (void)code;
    return 0;
}
void LeaveUnitView(TFView* view) { (void)view; }
void EnterUnitView(TFView* view, construct* unit, int flag) { (void)view, (void)unit, (void)flag; }
void UpdateStandStillTimer(int ticks) { (void)ticks; }
