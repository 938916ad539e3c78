// Campaigns, team lists and the campaign progress file are not built yet: the lists stay empty and no
// file is written. The team table and the local player's team record are kept here.
#include "frontend/Campaigns.h"

#include <cstring>

#include "core/Memory.h"
#include "frontend/Frontend.h"
#include "platform/Bitmap.h"
#include "world/Player.h"

void ReadCampaignMissions(Listbox* fileNames, Listbox* displayNames, const char* sidePrefix) {
    (void)fileNames;
    (void)displayNames;
    (void)sidePrefix;
}

void ReadCampaignFile(const char* missionName, char* displayName, int size) {
    (void)missionName;
    if (displayName && size > 0) displayName[0] = 0;
}

void ReadTeamList(Listbox* list) { (void)list; }

void FindTeamEntry(const char* team, Textbox* logo, Slider* red, Slider* green, Slider* blue) {
    (void)team;
    (void)logo;
    (void)red;
    (void)green;
    (void)blue;
}

void WriteCampaignProgress() {}

// The team table holds the team records (the local player's among them); the level's saved-game switch
// reads the task-force defaults of the other mission's script through ReadTeamFlags.
TeamEntry* TeamTable[kMaxTeams];
int32_t TeamCount = 0;

int ReadTeamFlags(const char* path) {
    (void)path;
    return 0;
}

void DeleteTeam(TeamEntry* team) {
    if (TeamCount <= 0) FatalError("Error(DeleteTeam): No more teams to delete");
    int at = 0;
    while (at < TeamCount && TeamTable[at] != team) ++at;
    // A record the table does not hold is not ours to free.
    if (at == TeamCount) return;
    if (team->logo) dxgl_ReleaseSurface(team->logo);
    if (OwnPlayer && OwnPlayer->team == team) OwnPlayer->team = nullptr;
    qzFree(team);
    for (int i = at + 1; i < TeamCount; ++i) TeamTable[i - 1] = TeamTable[i];
    TeamTable[--TeamCount] = nullptr;
}

TeamEntry* OwnTeam() {
    if (!OwnPlayer) return nullptr;
    if (OwnPlayer->team) return OwnPlayer->team;
    if (TeamCount >= kMaxTeams) return nullptr;
    auto* team = static_cast<TeamEntry*>(qzAlloc(sizeof(TeamEntry), "team entry"));
    memset(team, 0, sizeof *team);
    // The alpha of the task buttons' own colours.
    team->colour[3] = 80;
    TeamTable[TeamCount++] = team;
    OwnPlayer->team = team;
    return team;
}
