// A mission script through the readers of the expressions and the day events, then what the accepted
// events drive: the scheduler over a clock that runs through more than a day, carrying out every event
// that falls due (weather, sky, lights, sounds, action units, clans, objectives, variables, notices,
// messages, restrictions and AI orders) against the three clans and two action units without units.
#include <cstdio>

#include "ai/AIStubs.h"
#include "ai/AUDef.h"
#include "ai/Clan.h"
#include "ai/DayEvents.h"
#include "ai/MissionDesc.h"
#include "core/Config.h"
#include "core/Rules.h"
#include "fuzz/FuzzSupport.h"
#include "hud/MessageLog.h"
#include "hud/MissionStatus.h"
#include "objects/SceneryLighting.h"
#include "platform/ScreenVertex.h"
#include "render/Sky.h"
#include "render/Weather.h"
#include "world/ConstructPool.h"
#include "game/Level.h"
#include "world/SceneryFx.h"
#include "game/Startup.h"
#include "game/WorldTick.h"

namespace {

void BuildScene() {
    CreateClan("EMA");
    CreateClan("GA");
    CreateClan("ARAB");
    for (int i = 0; i < 3; ++i) AbstractClanMap[i] = ClanTable[i];
    SetPlayerClan(ClanTable[0]);
    aistubs_Init();
    CreateConstructPool(32, "tobecaptured");
    const char* names[] = {"EMA_TaskForce", "GA_Outpost"};
    for (int i = 0; i < 2; ++i) {
        AUDef* au = CreateAUDef();
        snprintf(au->name, sizeof au->name, "%s", names[i]);
        au->abstractClan = i;
    }
}

void FreeScene() {
    FreeDayEvents();
    while (MDExprCount > 0) FreeMDExpr(MDExprTable[0]);
    while (MDVarCount > 0) FreeMDVar(MDVarTable[0]);
    while (AUDefCount > 0) DeleteAUDef(AUDefTable[0]);
    aistubs_Shutdown();
    while (ClanCount > 0) DeleteClan(ClanTable[0]);
    PlayerClan = nullptr;
    for (Clan*& c : AbstractClanMap) c = nullptr;
    DeleteConstructPool(FindConstructPool("tobecaptured"));
    while (SceneryFxCount > 0) DeleteSceneryFx(SceneryFxTable[0]);
    StopPrecipitation();
    ClearMessages();
    ResetMissionStatus();
    for (Objective& o : PrimaryObjectives) o = Objective{};
    for (Objective& o : SecondaryObjectives) o = Objective{};
    PlayerRestrictions = 0xffffffffu;
    CloudCoverRate = SkyFadeRate = SceneryLightingRate = 0;
    FreeRules();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    kvfuzz::Mount("Scripts/Fuzz.txt", data, size);
    ScreenWidth = 640;
    snprintf(MissionName, sizeof MissionName, "Fuzz");
    LevelShowDayEvents = 1;
    BuildScene();
    kvfuzz::Run([] {
        ReadRules("Scripts\\Fuzz.txt");
        CreateDayEvents();
        // A game day passes in 96 steps of a quarter of an hour; then some more.
        for (int step = 0; step < 120; ++step) {
            GameClockSeconds = float(step) * 900.0f;
            DayEventScheduler();
        }
    });
    FreeScene();
    qzpk_close();
    return 0;
}
