// The task-force view and the comm menu: their creation with the textures, bitmaps and icons they hold,
// the groups' and the task buttons' tables, and the two per-call handlers the world tick runs.
#include "hud/TFView.h"

#include <cstdio>
#include <cstring>
#include <iterator>

#include "core/Config.h"
#include "core/Fix3D.h"
#include "core/Memory.h"
#include "core/Package.h"
#include "core/Rules.h"
#include "hud/Icons.h"
#include "hud/MapSurfaces.h"
#include "hud/MissionStatus.h"
#include "hud/TFView_local.h"
#include "objects/UnitRecord.h"
#include "platform/Bitmap.h"
#include "platform/ScreenVertex.h"
#include "platform/Texture.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Level.h"
#include "world/Player.h"
#include "world/TickCounter.h"

Tex* SpecialTextures[kSpecialTextureCount];
const char* const SpecialTextureNames[kSpecialTextureCount] = {
    "twister",       "horizon",     "compass",   "radio",     "reload",    "datascan",  "objectscan",
    "objectcapture", "unitcapture", "enterdata", "fragger00", "fragger01", "fragger02", "fragger03",
    "fragger04",     "fragger05",   "fragger06", "fragger07", "fragger08", "fragger09", "fragger10",
};
static_assert(std::size(SpecialTextureNames) == kSpecialTextureCount);

construct* MainViewSource = nullptr;

namespace {

constexpr int32_t kQuarterTurn = 102943;
constexpr int kGroupCapacity = 150;  // every member of a task force fits in one group
constexpr int kRecipientsCapacity = 150;

// "specials\<name>" as a new texture record, loaded.
Tex* SpecialTex(const char* name) {
    char path[64];
    snprintf(path, sizeof path, "specials%c%s", kPathSeparator, name);
    Tex* tex = CreateTex();
    LoadTex(tex, path, 0);
    return tex;
}

// The mission's map texture when the texture tree holds one, else the test scape's.
Tex* MapTexture() {
    char name[96], path[512];
    snprintf(name, sizeof name, "specials%c%s", kPathSeparator, MissionName);
    snprintf(path, sizeof path, "%s%c%s", TEXROOT, kPathSeparator, name);
    if (!qzpk_exists(path)) snprintf(name, sizeof name, "specials%cscape_test", kPathSeparator);
    Tex* tex = CreateTex();
    LoadTex(tex, name, 0);
    return tex;
}

host::GfxSurface* OverlayBitmap(const char* name) {
    char path[512];
    snprintf(path, sizeof path, "%s%c%s", BITMAPROOT, kPathSeparator, name);
    return dxgl_ReloadBitmap(path);
}

void LookUpIcons(QZIcon** set, int count, const char* const* names) {
    for (int i = 0; i < count; ++i) set[i] = NamedQZIcon("%s", names[i]);
}

void FreeTex(Tex*& tex) {
    DeleteTex(tex);
    tex = nullptr;
}

// A text copied into an entry's field, cut to fit.
void CopyCut(char* to, const char* from) {
    const size_t n = from ? strnlen(from, kCommMenuTextSize - 1) : 0;
    if (n) std::memcpy(to, from, n);
    to[n] = 0;
}

}  // namespace

TFView* CreateTFView() {
    // The icons first: a missing one ends the program before anything is made.
    static const char* const kA[] = {"00", "01", "02", "03", "04", "05", "06", "07"};
    static const char* const kB[] = {"08", "09", "10", "11", "12", "13", "14", "15"};
    static const char* const kC[] = {"16", "17", "18", "19", "20", "21", "22", "23", "24", "25"};
    static const char* const kD[] = {"30", "31", "32", "33", "34", "35"};
    static const char* const kE[] = {"40", "41", "42", "43", "44", "45", "50", "51"};
    static const char* const kF[] = {"50", "51"};
    TFView icons;
    static_assert(std::size(kA) == std::size(icons.iconsA) && std::size(kB) == std::size(icons.iconsB) &&
                  std::size(kC) == std::size(icons.iconsC) && std::size(kD) == std::size(icons.iconsD) &&
                  std::size(kE) == std::size(icons.iconsE) && std::size(kF) == std::size(icons.iconsF));
    LookUpIcons(icons.iconsA, 8, kA);
    LookUpIcons(icons.iconsB, 8, kB);
    LookUpIcons(icons.iconsC, 10, kC);
    LookUpIcons(icons.iconsD, 6, kD);
    LookUpIcons(icons.iconsE, 8, kE);
    LookUpIcons(icons.iconsF, 2, kF);

    auto* view = static_cast<TFView*>(qzAlloc(sizeof(TFView), "tf view"));
    std::memset(view, 0, sizeof *view);
    std::memcpy(view->iconsA, icons.iconsA, sizeof view->iconsA);
    std::memcpy(view->iconsB, icons.iconsB, sizeof view->iconsB);
    std::memcpy(view->iconsC, icons.iconsC, sizeof view->iconsC);
    std::memcpy(view->iconsD, icons.iconsD, sizeof view->iconsD);
    std::memcpy(view->iconsE, icons.iconsE, sizeof view->iconsE);
    std::memcpy(view->iconsF, icons.iconsF, sizeof view->iconsF);
    view->mapPanelSize = static_cast<int32_t>(static_cast<float>(ScreenWidth) * 0.26f);
    view->tfPanelWidth = 144;
    view->tfPanelTimer = 200;
    view->mapZoom = 11520;
    view->archiveIndex = -1;
    view->restoreViewKind = -1;
    view->lookYaw = 0;
    view->lookPitch = kQuarterTurn;
    FixMatrix m;
    MatrixFromYawPitch(&m, 0, kQuarterTurn);
    std::memcpy(view->lookMatrix, m.m, sizeof view->lookMatrix);
    std::memcpy(view->aimDir, &m.m[6], sizeof view->aimDir);
    view->markerTick = FrameCounter - 1;

    view->crosshair = OverlayBitmap("ov_xh");
    view->crosshairComb = OverlayBitmap("ov_xh_comb");
    view->mapTex = MapTexture();
    view->camPointerTex = SpecialTex("campointer");
    view->panelTex = SpecialTex("panel");
    for (int i = 0; i < kSpecialTextureCount; ++i) SpecialTextures[i] = SpecialTex(SpecialTextureNames[i]);
    return view;
}

void DeleteTFView(TFView* view) {
    if (!view) return;
    while (view->groupCount > 0) DeleteTFGroup(view, view->groups[0]);
    DeleteConstructPool(view->members);
    // The level's teardown may have deleted every texture already: a record no longer in the texture
    // table is left alone by DeleteTex.
    for (int i = kSpecialTextureCount - 1; i >= 0; --i) FreeTex(SpecialTextures[i]);
    FreeTex(view->panelTex);
    FreeTex(view->camPointerTex);
    FreeTex(view->mapTex);
    for (host::GfxSurface* s : {view->crosshair, view->crosshairComb})
        if (s) dxgl_ReleaseSurface(s);
    for (host::GfxSurface*& s : view->pageSurface) {
        if (s) dxgl_ReleaseSurface(s);
        s = nullptr;
    }
    for (int i = 0; i < view->pictureCount; ++i)
        if (view->pictures[i].surface) dxgl_ReleaseSurface(view->pictures[i].surface);
    // The unit view ends with the level: the next level starts without a unit (its units are gone).
    if (PlayerUnit) FreeCrosshairs(PlayerUnit);
    PlayerUnit = nullptr;
    MainViewSource = nullptr;
    qzFree(view);
}

ConstructPool* CreateTFGroup(TFView* view) {
    if (!view || view->groupCount >= kMaxTFGroups) return nullptr;
    // The registry refuses a second pool of a name: each group's name carries the lowest number free.
    char name[64];
    for (int n = 0;; ++n) {
        snprintf(name, sizeof name, "tf group %d", n);
        if (!FindConstructPool(name)) break;
    }
    ConstructPool* group = CreateConstructPool(kGroupCapacity, name);
    view->groups[view->groupCount++] = group;
    return group;
}

void DeleteTFGroup(TFView* view, ConstructPool* group) {
    if (view)
        for (int i = 0; i < view->groupCount; ++i) {
            if (view->groups[i] != group) continue;
            view->groups[i] = view->groups[--view->groupCount];
            view->groups[view->groupCount] = nullptr;
            break;
        }
    DeleteConstructPool(group);
}

TaskButton* CreateTaskButton(TFView* view) {
    if (view->buttonCount >= kMaxTaskButtons) FatalError("Error(CreateTaskButton): Too many buttons");
    auto* button = static_cast<TaskButton*>(qzAlloc(sizeof(TaskButton), "tfbutton"));
    std::memset(button, 0, sizeof *button);
    view->buttons[view->buttonCount++] = button;
    return button;
}

void DeleteTaskButton(TFView* view, TaskButton* button) {
    if (view)
        for (int i = 0; i < view->buttonCount; ++i) {
            if (view->buttons[i] != button) continue;
            view->buttons[i] = view->buttons[--view->buttonCount];
            view->buttons[view->buttonCount] = nullptr;
            break;
        }
    qzFree(button);
}

CommMenu* CreateCommMenu() {
    // The entries' rules are looked up first: a missing one ends the program before anything is made.
    const Rule* rules[8];
    for (int n = 1; n <= 8; ++n) rules[n - 1] = NamedRulef("Comm_entry%d", n);
    auto* menu = static_cast<CommMenu*>(qzAlloc(sizeof(CommMenu), "comm menu"));
    std::memset(menu, 0, sizeof *menu);
    menu->recipients = CreateConstructPool(kRecipientsCapacity, "recipients");
    menu->highlighted = -1;
    for (int n = 1; n <= 8; ++n) {
        const Rule* rule = rules[n - 1];
        char text[kCommMenuTextSize], keyText[kCommMenuTextSize];
        snprintf(text, sizeof text, "%d %s", n, rule->info[0] ? rule->info[0] : "");
        snprintf(keyText, sizeof keyText, "%d %s", n, rule->info[1] ? rule->info[1] : "");
        CreateCommMenuEntry(menu, text, keyText, static_cast<uint32_t>(n - 1));
    }
    return menu;
}

void CreateCommMenuEntry(CommMenu* menu, const char* text, const char* keyText, uint32_t code) {
    if (menu->entryCount >= kMaxCommMenuEntries)
        FatalError("Error(CreateCommMenuEntry): too many com menu entries");
    CommMenuEntry& e = menu->entries[menu->entryCount++];
    CopyCut(e.text, text);
    CopyCut(e.keyText, keyText);
    e.code = code;
    e.screenY = 0;
}

void DeleteCommMenu(CommMenu* menu) {
    if (!menu) return;
    DeleteConstructPool(menu->recipients);
    qzFree(menu);
}

void OpenCommMenu(CommMenu* menu) {
    menu->open = 1;
    menu->highlighted = -1;
    menu->timeout = 600;
}

void CloseCommMenu(TFView* view, CommMenu* menu) {
    CloseCommMenuKeepFocus(view, menu);
    menu->focus = nullptr;
}

void CloseCommMenuKeepFocus(TFView* view, CommMenu* menu) {
    menu->open = 0;
    if (menu->recipients) menu->recipients->count = 0;
    if (view && view->members)
        for (int i = 0; i < view->members->count; ++i) view->members->constructs[i]->flags &= ~kConSelected;
}
