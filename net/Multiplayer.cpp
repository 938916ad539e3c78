// The networked game is not built yet: no session is ever on, and these do nothing.
#include "net/Multiplayer.h"

uint32_t RoundStatus = 0;
double PhaseStartTime = 0;
int32_t StatusCountdown = 0;
int32_t MultiplayerPhase = 3;
uint32_t MPDeferredFlags = 0;
int32_t MPEndCounter[2] = {0, 0};
float winmsgtime = 0;  // buytime and roundtime are the multiplayer settings (net/Session.cpp)

void ProcessMPFlags() {}
void StartRound() {}
void BeginFightPhase() {}
void ChooseStartPositions() {}
void SendStartPositions() {}
void PlaceAtStartPositions() {}
void FundRaiseAll() {}
void SendGameStatus(uint32_t status) { (void)status; }
void UpdatePlayersAlive() {}
void CheckRoundEnd() {}
void SetMovieCamera() {}
void DrawFragsDeaths() {}
void DrawWelcomeScreen() {}
void DrawChooseSideMenu() {}
void DrawBuyMenu() {}
void SendSingleInput() {}
void SendUpdatedata() {}
void AssignAUToPlayer(PlayerCell* cell) { (void)cell; }
void HostSession(int provider) { (void)provider; }
void JoinSession() {}
void SendByeBye() {}
void CloseSession() {}
void SendChatLine(const char* text, intptr_t user) { (void)text, (void)user; }
