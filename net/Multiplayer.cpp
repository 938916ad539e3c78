// The round rules of a networked game. They are not built yet: these do nothing.
#include "net/Multiplayer.h"

#include "world/Player.h"

uint32_t RoundStatus = 0;
double PhaseStartTime = 0;
int32_t StatusCountdown = 0;
int32_t MultiplayerPhase = 3;
uint32_t MPDeferredFlags = 0;
int32_t MPEndCounter[2] = {0, 0};
float winmsgtime = 0;  // buytime and roundtime are the multiplayer settings (net/Session.cpp)
int32_t NetworkGameEnded = 0;

void ProcessMPFlags() {}
void StartRound() {}
void BeginFightPhase() {}
void ChooseStartPositions() {}
void PlaceAtStartPositions() {}
void FundRaiseAll() {}
void UpdatePlayersAlive() {}
void CheckRoundEnd() {}
void SetMovieCamera() {}
void DrawFragsDeaths() {}
void DrawWelcomeScreen() {}
void DrawChooseSideMenu() {}
void DrawBuyMenu() {}
void AssignAUToPlayer(PlayerCell* cell) { (void)cell; }
void ChangeClan() {}
void ChangeAbstractClan(int32_t clan) { (void)clan; }
// Nothing is charged (and so nothing bought) until the price table exists.
int32_t CheckFunds(PlayerCell* cell, const char* unitType) {
    (void)cell, (void)unitType;
    return 0;
}

int32_t CountClanPlayers(int32_t clan) {
    int32_t n = 0;
    for (int i = 0; i < PlayerCount; ++i)
        if ((PlayerTable[i]->flags & 0x4) && PlayerTable[i]->clan == clan) ++n;
    return n;
}
