// The clans' status pass of every 32nd tick: the countdowns from a mission's success or failure to the
// level's end, the action unit within the player's reach and the nearest objects of his instruments.
#include <cstring>

#include "ai/AI_local.h"
#include "ai/AUDef.h"
#include "ai/Clan.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Level.h"

int32_t WinCountdown = 0;
int32_t LoseCountdown = 0;
AUDef* ActionTargetAU = nullptr;
construct* NearestRadioactive = nullptr;
int32_t NearestRadioactiveDistance = INT32_MAX;
construct* ReloadUnit = nullptr;
int32_t ReloadUnitDistance = INT32_MAX;
construct* PlayerUnit = nullptr;

namespace {

int32_t DistanceBetween(const construct* a, const construct* b) {
    const int32_t d[3] = {b->pos[0] - a->pos[0], b->pos[1] - a->pos[1], b->pos[2] - a->pos[2]};
    return ai::Length3(d);
}

}  // namespace

void UpdateClanStatus(Clan* clan) {
    const bool players = clan == PlayerClan;
    if (players) {
        const bool idle = WinCountdown == 0 && LoseCountdown == 0 && !MissionWon && !MissionLost;
        if (clan->successMark && idle) WinCountdown = kStatusCountdown;
        // Checked again, so that a failure never starts beside a success that has just started.
        const bool stillIdle = WinCountdown == 0 && LoseCountdown == 0 && !MissionWon && !MissionLost;
        if (clan->failureMark && stillIdle) LoseCountdown = kStatusCountdown;
    }

    ActionTargetAU = nullptr;
    if (PlayerUnit) {
        for (int i = 0; i < AUDefCount; ++i) {
            AUDef* au = AUDefTable[i];
            if (!au->placed || au->action == kActionNone || au->action == kActionDone) continue;
            if (!au->pool || au->pool->count <= 0) continue;
            for (int k = 0; k < au->pool->count; ++k)
                if (DistanceBetween(PlayerUnit, au->pool->constructs[k]) < au->actionValues[0]) ActionTargetAU = au;
        }
    }

    NearestRadioactive = nullptr;
    NearestRadioactiveDistance = INT32_MAX;
    ConstructPool* radioactive = FindConstructPool("radioactive");
    if (PlayerUnit && radioactive) {
        for (int k = 0; k < radioactive->count; ++k) {
            int32_t d = DistanceBetween(PlayerUnit, radioactive->constructs[k]);
            if (d < NearestRadioactiveDistance) {
                NearestRadioactiveDistance = d;
                NearestRadioactive = radioactive->constructs[k];
            }
        }
    }

    if (players) {
        ReloadUnit = nullptr;
        ReloadUnitDistance = INT32_MAX;
        ConstructPool* reload = FindConstructPool("reload");
        if (reload) {
            for (int i = 0; i < clan->pool->count; ++i)
                for (int k = 0; k < reload->count; ++k) {
                    int32_t d = DistanceBetween(clan->pool->constructs[i], reload->constructs[k]);
                    if (d < ReloadUnitDistance) {
                        ReloadUnitDistance = d;
                        ReloadUnit = clan->pool->constructs[i];
                    }
                }
        }
    }
}
