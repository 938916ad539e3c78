// Campaigns and team lists: the missions a side's campaign offers (from the progress file "VORLE" and the
// side's campaign file), the display names of missions, the teams of the team list, and the default
// task force of a mission script. The team table and the local player's team record are kept here.
#include "frontend/Campaigns.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "core/Config.h"
#include "core/Memory.h"
#include "frontend/Campaigns_local.h"
#include "frontend/Frontend.h"
#include "platform/Bitmap.h"
#include "world/Level.h"
#include "world/Player.h"

bool WordFile::Is(const char* text) const {
    return strcmp(word, text) == 0;
}

bool WordFile::SkipTo(const char* text) {
    while (!Ended())
        if (strcmp(Next(), text) == 0) return true;
    return false;
}

int32_t DecimalWord(const char* word) {
    if (!word) return 0;
    errno = 0;
    const long long v = strtoll(word, nullptr, 10);
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

void CopyField(char* to, size_t size, const char* text) {
    if (!to || size == 0) return;
    const size_t n = text ? strnlen(text, size - 1) : 0;
    if (n) memcpy(to, text, n);
    to[n] = 0;
}

namespace {

// The team list, relative to the data folder.
void TeamListPath(char* path, size_t size) {
    snprintf(path, size, "App%cteams%cteamlist", kPathSeparator, kPathSeparator);
}

}  // namespace

void ReadCampaignMissions(Listbox* fileNames, Listbox* displayNames, const char* sidePrefix) {
    char path[512], header[kTokenSize];
    snprintf(path, sizeof path, "%s%cVORLE", CAMPAIGNROOT, kPathSeparator);
    snprintf(header, sizeof header, "%.200s_missions:", sidePrefix ? sidePrefix : "");
    WordFile f(path);
    if (!f.SkipTo(header)) return;
    // The missions won so far and the first one not won: the next to play.
    while (!f.Ended()) {
        if (strcmp(f.Next(), "finale") == 0) break;
        char name[kWidgetTextSize], title[kWidgetTextSize];
        CopyField(name, sizeof name, f.word);
        ReadCampaignFile(name, title, sizeof title);
        AddListItem(fileNames, name);
        AddListItem(displayNames, title);
        if (strcmp(f.Next(), "1") != 0 || f.Ended()) break;
    }
}

void ReadCampaignFile(const char* missionName, char* displayName, int size) {
    if (!displayName || size <= 0) return;
    // A mission the campaign file does not list is shown under its own name.
    CopyField(displayName, static_cast<size_t>(size), missionName);
    // A saved game without a mission name has nothing to look up.
    if (!missionName || !missionName[0]) return;
    char path[512];
    snprintf(path, sizeof path, "%s%c%s", SCRIPTROOT, kPathSeparator,
             strstr(missionName, "Ema") ? "EMA.cpn" : "GA.cpn");
    WordFile f(path);
    if (!f.SkipTo(missionName) || f.Ended()) return;
    // The title is the next word without its first and last characters, its double quotes; a word of
    // fewer than two characters leaves an empty title rather than reaching outside the word.
    const char* title = f.Next();
    const size_t n = strlen(title);
    const size_t inner = n >= 2 ? n - 2 : 0;
    const size_t keep = inner < static_cast<size_t>(size) - 1 ? inner : static_cast<size_t>(size) - 1;
    if (keep) memcpy(displayName, title + 1, keep);
    displayName[keep] = 0;
}

void ReadTeamList(Listbox* list) {
    char path[64];
    TeamListPath(path, sizeof path);
    WordFile f(path);
    f.Next();
    while (!f.Ended()) {
        AddListItem(list, f.word);
        if (!f.Is("end")) f.SkipTo("end");
        f.Next();
    }
}

void FindTeamEntry(const char* team, Textbox* logo, Slider* red, Slider* green, Slider* blue) {
    char path[64];
    TeamListPath(path, sizeof path);
    WordFile f(path);
    f.Next();
    while (!f.Ended()) {
        if (team && f.Is(team)) break;
        if (!f.Is("end")) f.SkipTo("end");
        f.Next();
    }
    if (f.Ended()) return;
    // The entry: the logo name, then red, green and blue.
    f.Next();
    if (logo) {
        CopyField(logo->edit, sizeof logo->edit, f.word);
        CopyField(logo->saved, sizeof logo->saved, f.word);
    }
    Slider* sliders[3] = {red, green, blue};
    TeamEntry* own = OwnTeam();
    for (int i = 0; i < 3 && !f.Ended(); ++i) {
        const int32_t value = DecimalWord(f.Next());
        if (sliders[i]) sliders[i]->value = value;
        if (own) own->colour[i] = static_cast<uint8_t>(value & 0xff);
    }
}

int ReadTaskForceDefaults(const char* path) {
    WordFile f(path);
    TFDefaultCount = 0;
    while (!f.Ended()) {
        f.Next();
        for (int n = 1; n <= 10; ++n) {
            char key[32];
            snprintf(key, sizeof key, "tf_default_%d", n);
            if (!f.Is(key) || f.Ended()) continue;
            f.Next();  // the number word is not kept
            // The name read replaces the key: the later keys of this pass are compared with it.
            f.Next();
            CopyField(TFDefaultNames[n - 1], sizeof TFDefaultNames[n - 1], f.word);
            // Repeated keys count again, but never past the table's ten slots.
            if (TFDefaultCount < 10) ++TFDefaultCount;
        }
        if (f.Is("end")) break;
    }
    return TFDefaultCount;
}

// The team table holds the team records (the local player's among them).
TeamEntry* TeamTable[kMaxTeams];
int32_t TeamCount = 0;

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
