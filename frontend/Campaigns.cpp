// Campaigns, team lists and the campaign progress file are not built yet: the lists stay empty and no
// file is written.
#include "frontend/Campaigns.h"

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
