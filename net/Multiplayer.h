// The networked game as the frame loop, the world tick and the level build see it: the round status,
// the deferred actions of the network handler, and the session.
#pragma once

#include <cstdint>

struct PlayerCell;

// Whether a networked game runs and this machine hosts it: MultiplayerOn and IsHost (world/Level.h).
// Round status bits: 0x1 waiting, 0x2 buying, 0x4 fighting, 0x8 and 0x10 round end.
extern uint32_t RoundStatus;
extern double PhaseStartTime;      // hundredths of a second
extern int32_t StatusCountdown;    // seconds shown on the status line
extern int32_t MultiplayerPhase;   // the phase word: 0 buying, 3 fighting
extern uint32_t MPDeferredFlags;   // heavy actions asked for by the network handler
extern int32_t MPEndCounter[2];    // a networked level ends when either is 1
// The multiplayer settings.
extern float buytime;     // seconds
extern float roundtime;   // minutes
extern float winmsgtime;  // seconds

void ProcessMPFlags();
void StartRound();
void BeginFightPhase();
void ChooseStartPositions();
void SendStartPositions();
void PlaceAtStartPositions();
void FundRaiseAll();
void SendGameStatus(uint32_t status);
void UpdatePlayersAlive();
void CheckRoundEnd();
void SetMovieCamera();
void DrawFragsDeaths();
void DrawWelcomeScreen();
void DrawChooseSideMenu();
void DrawBuyMenu();
void SendSingleInput();
void SendUpdatedata();
void AssignAUToPlayer(PlayerCell* cell);
void HostSession(int provider);
void JoinSession();
void SendByeBye();
void CloseSession();
// Sends a line typed on the chat line to every player (the chat line's callback).
void SendChatLine(const char* text, intptr_t user);
