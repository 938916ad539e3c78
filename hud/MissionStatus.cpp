// The notice line, the panel words and the countdowns to the level's end.
#include "hud/MissionStatus.h"

#include <cstdio>

#include "ai/Clan.h"
#include "world/Level.h"

char ViewNoticeText[64] = "";
int32_t ViewNoticeTimer = 0;
int32_t CockpitPanels = 3;
int32_t PanelWord = 3;

namespace {

int32_t Less(int32_t value, int ticks) { return value > ticks ? value - ticks : 0; }

}  // namespace

void SetViewNotice(const char* text, int32_t ticks) {
    snprintf(ViewNoticeText, sizeof ViewNoticeText, "%s", text ? text : "");
    ViewNoticeTimer = ticks;
}

void UpdateMissionCountdowns(int ticks) {
    if (ticks <= 0) return;
    ViewNoticeTimer = Less(ViewNoticeTimer, ticks);
    if (WinCountdown > 0) {
        WinCountdown = Less(WinCountdown, ticks);
        if (WinCountdown == 0) MissionWon = 1;
    }
    if (LoseCountdown > 0) {
        LoseCountdown = Less(LoseCountdown, ticks);
        if (LoseCountdown == 0) MissionLost = 1;
    }
}

void ResetMissionStatus() {
    ViewNoticeText[0] = 0;
    ViewNoticeTimer = 0;
    CockpitPanels = PanelWord = 3;
    // A level left while a countdown ran must not carry it into the next one, which would end at once.
    WinCountdown = LoseCountdown = 0;
}
