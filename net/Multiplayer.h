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
// Set when the networked game cannot go on (the host cut this machine off, the network failed): the
// frame loop ends the level back at the multiplayer menu. Cleared when a session is hosted or joined.
extern int32_t NetworkGameEnded;
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
// Hosts the session of the level for at most players players (the host included; kept within the
// player table), or joins the game chosen on the join screen.
void HostSession(int32_t players);
void JoinSession();
void SendByeBye();
void CloseSession();
// Sides and vehicles of the round rules, as the messages ask for them.
void ChangeClan();
void ChangeAbstractClan(int32_t clan);
// Charges the price of the vehicle type to the cell's funds: 1 when charged, 0 when not.
int32_t CheckFunds(PlayerCell* cell, const char* unitType);
// The number of players with a side (flag 0x4) in the clan.
int32_t CountClanPlayers(int32_t clan);
// Sends a line typed on the chat line to every player (the chat line's callback).
void SendChatLine(const char* text, intptr_t user);
