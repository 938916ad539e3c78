// Campaigns, team lists and the campaign progress file are not built yet: the lists stay empty and no
// file is written.
#include "frontend/Campaigns.h"
#include "frontend/Frontend.h"

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

// The team table is filled by the team list screen; the level's saved-game switch reads the task-force
// defaults of the other mission's script through ReadTeamFlags.
TeamEntry* TeamTable[kMaxTeams];
int32_t TeamCount = 0;

int ReadTeamFlags(const char* path) {
    (void)path;
    return 0;
}
void DeleteTeam(TeamEntry* team) { (void)team; }
