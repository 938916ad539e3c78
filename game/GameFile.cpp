// The saved-game commands (save, load, load with a change of mission, forced load) and the player's
// default task force.
#include <cstdio>
#include <cstring>

#include "ai/AUDef.h"
#include "ai/Clan.h"
#include "core/Config.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "frontend/Frontend.h"
#include "hud/MessageLog.h"
#include "objects/Units.h"
#include "platform/Music.h"
#include "platform/Sound.h"
#include "game/Level.h"
#include "game/SavedGame.h"
#include "game/Startup.h"

char GameFileName[256] = "";
int32_t SavedNoticeTicks = 0;
int32_t LoadedNoticeTicks = 0;
char GameFileQuestion[128] = "none";
char TFDefaultNames[10][32];
int32_t TFDefaultCount = 0;

namespace {

GameFileSaver SaveGameFile = SaveQZGM;
GameFileLoader LoadGameFile = LoadQZGM;

enum GameFileCommandCode { kLoad = 6, kSave = 7, kForcedLoad = 8, kLoadSameMission = 9 };

// A saved game that is damaged or does not fit the running level was refused; the level is unchanged.
void ShowRefusal() {
    char text[128];
    snprintf(text, sizeof text, "failed, damaged QZGM: %s", SavedGameRefusal());
    ShowSystemMessage(text);
}

bool NoName() { return GameFileName[0] == 0 || GameFileName[0] == '\n'; }

void Save(bool named) {
    // The restart point is written only by its own command; a save without a name of its own (the
    // quick-save key) never overwrites it, also when the last game handled was the restart point itself
    // ("Restart mission" loads it).
    if (NoName()) return;
    const bool restartPoint = strcmp(GameFileName, kMissionStartName) == 0;
    if (restartPoint && !named) return;
    if (!SaveGameFile(GameFileName)) {
        // The old file stays as it was; say why when the writer told.
        if (SaveGameFile == SaveQZGM && SavedGameRefusal()[0]) {
            char text[128];
            snprintf(text, sizeof text, "failed, %s", SavedGameRefusal());
            ShowSystemMessage(text);
        } else {
            ShowSystemMessage("failed to open");
        }
    } else {
        SavedNoticeTicks = 100;
        InGameMenuOpen = 0;
    }
    if (restartPoint) GameFileName[0] = 0;
}

void ForcedLoad() {
    char other[64] = "";
    switch (LoadGameFile(GameFileName, 1, other)) {
        case 0: LoadedNoticeTicks = 100; break;
        case 1: {
            char text[128];
            snprintf(text, sizeof text, "failed, change map to %s", other);
            ShowSystemMessage(text);
            break;
        }
        case 5: ShowSystemMessage("failed to open"); break;
        case 6: ShowSystemMessage("failed, not an QZGM"); break;
        case kQZGMRefused: ShowRefusal(); break;
        default: break;
    }
    InGameMenuOpen = 0;
}

// Tears the running level down (when there is one) and builds the saved game's mission, with its
// restart point and its music.
void SwitchMission(const char* mission) {
    if (MissionName[0]) {
        dxgl_DisableSound();
        TeardownLevel();
        dxgl_EnableSound();
        StopBgdMusic();
    }
    snprintf(MissionName, sizeof MissionName, "%s", mission);
    char path[512];
    snprintf(path, sizeof path, "%s%c%s.txt", SCRIPTROOT, kPathSeparator, MissionName);
    ReadTaskForceDefaults(path);
    ReadRules("app/rules");
    dxgl_DisableSound();
    InitLevel(0);
    dxgl_EnableSound();
    GameFileCommand(kMissionStartName, kSave);
    StartRuleMusic("soundtrack");
}

void Load(int command, bool mayRebuild) {
    if (NoName()) return;
    char other[64] = "";
    const int r = LoadGameFile(GameFileName, 0, other);
    switch (r) {
        case 0: LoadedNoticeTicks = 100; break;
        case 1: {
            if (command == kLoadSameMission) break;
            if (!mayRebuild) {
                // The rebuilt mission still is not the saved game's: report it rather than build again.
                char text[128];
                snprintf(text, sizeof text, "failed, change map to %s", other);
                ShowSystemMessage(text);
                break;
            }
            char name[256];
            snprintf(name, sizeof name, "%s", GameFileName);
            SwitchMission(other);
            snprintf(GameFileName, sizeof GameFileName, "%s", name);
            Load(command, false);
            break;
        }
        case 2: snprintf(GameFileQuestion, sizeof GameFileQuestion, "qzwd file too new. attempt anyway?"); break;
        case 3: snprintf(GameFileQuestion, sizeof GameFileQuestion, "script file too new. attempt anyway?"); break;
        case 4: snprintf(GameFileQuestion, sizeof GameFileQuestion, "QZGM version obsolete. attempt anyway?"); break;
        case 5: ShowSystemMessage("failed to open"); break;
        case 6: ShowSystemMessage("failed, not an QZGM"); break;
        case kQZGMRefused: ShowRefusal(); break;
        default: break;
    }
    InGameMenuOpen = 0;
}

// Replaces one clan's unit list of an action unit by the given unit types (no places, no data).
void ReplaceUnitList(AUUnitList* list, Unit* const* units, int count) {
    qzFree(list->units);
    qzFree(list->percentages);
    qzFree(list->places);
    for (int i = 0; i < list->count; ++i)
        if (list->data) qzFree(list->data[i]);
    qzFree(list->data);
    qzFree(list->dataSizes);
    *list = AUUnitList{};
    if (count <= 0) return;
    list->units = static_cast<Unit**>(qzAlloc(count * static_cast<int>(sizeof(Unit*)), "unit list"));
    list->percentages = static_cast<int32_t*>(qzAlloc(count * 4, "unit percentage"));
    list->places = static_cast<int32_t(*)[6]>(qzAlloc(count * 24, "unit coord"));
    list->data = static_cast<void**>(qzAlloc(count * static_cast<int>(sizeof(void*)), "unit data"));
    list->dataSizes = static_cast<int32_t*>(qzAlloc(count * 4, "unit data size"));
    for (int i = 0; i < count; ++i) {
        list->units[i] = units[i];
        list->percentages[i] = 100;
        memset(list->places[i], 0, sizeof list->places[i]);
        list->data[i] = nullptr;
        list->dataSizes[i] = 0;
    }
    list->count = count;
}

}  // namespace

void SetGameFileHandlers(GameFileSaver save, GameFileLoader load) {
    SaveGameFile = save ? save : SaveQZGM;
    LoadGameFile = load ? load : LoadQZGM;
}

void GameFileCommand(const char* name, int command) {
    if (name) snprintf(GameFileName, sizeof GameFileName, "%s", name);
    switch (command) {
        case kSave: Save(name != nullptr); break;
        case kForcedLoad: ForcedLoad(); break;
        case kLoad:
        case kLoadSameMission: Load(command, true); break;
        default: break;
    }
}

void RedefineTF() {
    TFDefaultCount = 0;
    for (int n = 1; n <= 10; ++n) {
        const Rule* r = FindRulef("tf_default_%d", n);
        if (!r || !r->info[0]) continue;
        snprintf(TFDefaultNames[n - 1], sizeof TFDefaultNames[n - 1], "%s", r->info[0]);
        ++TFDefaultCount;
    }
    AUDef* au = NamedAUDef("friendposition1");
    if (!au) return;
    if (au->abstractClan < 0 || au->abstractClan > 3 || !AbstractClanMap[au->abstractClan])
        FatalError("Error(RedefineTF): This AU's abstract clan is not mapped");
    const int clan = ClanIndex(AbstractClanMap[au->abstractClan]);
    Unit* units[10];
    int count = 0;
    for (int i = 0; i < TFDefaultCount; ++i)
        if (Unit* unit = NamedUnit(TFDefaultNames[i])) units[count++] = unit;
    ReplaceUnitList(&au->lists[clan], units, count);
    if (!au->pool) AUDef_itfc(au, ItfcMethod::CREATE);
    if (!au->placed) AUDef_itfc(au, ItfcMethod::PLACE);
}
