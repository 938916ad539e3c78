// The task-force selection: groups, slot numbers, button pictures, task buttons and highlighting.
#include "hud/TFSelection.h"

#include <cstdio>
#include <cstring>

#include "ai/AIMessage.h"
#include "ai/AUDef.h"
#include "ai/Clan.h"
#include "ai/RecordReplay.h"
#include "core/Config.h"
#include "hud/TFView_local.h"
#include "objects/UnitShare.h"
#include "platform/Bitmap.h"
#include "platform/ScreenVertex.h"
#include "platform/Texture.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Level.h"

namespace {

constexpr int32_t kMsgSelectionChanged = 357;
constexpr int kMembersCapacity = kClanPoolCapacity;
constexpr int kLastSlot = 254;  // slot numbers stop here: 255 means "no slot yet"
constexpr int kButtonHeight = 18;
constexpr int kButtonStep = 37;
constexpr int kGroupGap = 18;
constexpr char kSlotKeys[] = "1234567890QWERT";

// Task-button colours by group; the fifth group's is our own.
constexpr uint8_t kGroupColours[5][4] = {
    {0, 128, 64, 80}, {0, 32, 128, 80}, {128, 0, 64, 80}, {128, 128, 0, 80}, {0, 112, 128, 80}};

// The units the task force consists of now: the player clan's, or in record/replay those of the action
// unit of the scene chosen on the panel (none until one is chosen).
ConstructPool* CurrentMembers() {
    if (RecordReplayActive) return PanelScene && PanelScene->au ? PanelScene->au->pool : nullptr;
    return PlayerClan ? PlayerClan->pool : nullptr;
}

bool InAnyGroup(const TFView* view, const construct* con) {
    return FindTFGroupOfUnit(view, con) != nullptr;
}

void MoveAll(ConstructPool* from, ConstructPool* to) {
    while (from->count > 0) {
        construct* con = from->constructs[0];
        RemoveFromConstructPool(from, con);
        AppendToConstructPool(to, con);
    }
}

// Units sorted by slot byte, ascending; equal slots keep their order.
void SortBySlot(ConstructPool* group) {
    for (int i = 1; i < group->count; ++i) {
        construct* con = group->constructs[i];
        int j = i;
        for (; j > 0 && group->constructs[j - 1]->bytes2[0] > con->bytes2[0]; --j)
            group->constructs[j] = group->constructs[j - 1];
        group->constructs[j] = con;
    }
}

// The task-button picture of a unit name: the one the view holds for it, else "<bitmap root>\<name>_wf".
void* ButtonPicture(TFView* view, const char* name) {
    for (int i = 0; i < view->pictureCount; ++i)
        if (std::strcmp(view->pictures[i].name, name) == 0) return view->pictures[i].surface;
    char path[512];
    snprintf(path, sizeof path, "%s%c%s_wf", BITMAPROOT, kPathSeparator, name);
    host::GfxSurface* surface = LoadBitmapTexture(path);
    if (view->pictureCount < kTFButtonPictures) {
        TFButtonPicture& p = view->pictures[view->pictureCount++];
        snprintf(p.name, sizeof p.name, "%s", name);
        p.surface = surface;
    } else if (surface) {
        // No place to keep it for the next member of the name: this member goes without.
        dxgl_ReleaseSurface(surface);
        surface = nullptr;
    }
    return surface;
}

void GivePictures(TFView* view) {
    for (int i = 0; i < view->members->count; ++i) {
        construct* con = view->members->constructs[i];
        UnitShare* rec = GetUnitShare(con);
        if (!rec || rec->buttonPicture) continue;
        const char* name = reinterpret_cast<const char*>(CallItfc(con, ItfcMethod::GETNAME));
        rec->buttonPicture = ButtonPicture(view, name ? name : "");
        rec->buttonWord = 0;
    }
}

}  // namespace

void UpdateTFSelection(TFView* view) {
    if (!view) return;
    ConstructPool* members = CurrentMembers();
    if (view->groupCount == 0) CreateTFGroup(view);
    ConstructPool* const none = view->groups[0];

    // New members join group 0 without a slot number.
    for (int i = 0; members && i < members->count; ++i) {
        construct* con = members->constructs[i];
        if (InAnyGroup(view, con)) continue;
        con->bytes2[0] = kNoSlot;
        AppendToConstructPool(none, con);
    }
    // Units that are no longer members leave their groups (compared as pointers only: a unit gone with its
    // action unit may have been freed).
    for (int g = 0; g < view->groupCount; ++g) {
        ConstructPool* group = view->groups[g];
        for (int i = 0; i < group->count;) {
            construct* con = group->constructs[i];
            if (members && IsInConstructPool(con, members)) {
                ++i;
            } else {
                RemoveFromConstructPool(group, con);
                i = 0;
            }
        }
    }
    // A formed group of one is no group.
    for (int g = 1; g < view->groupCount; ++g)
        if (view->groups[g]->count == 1) MoveAll(view->groups[g], none);
    for (int g = 1; g < view->groupCount;) {
        if (view->groups[g]->count == 0) {
            DeleteTFGroup(view, view->groups[g]);
            g = 1;
        } else {
            ++g;
        }
    }
    while (view->groupCount > 5) {
        MoveAll(view->groups[5], view->groups[4]);
        DeleteTFGroup(view, view->groups[5]);
    }
    if (!RecordReplayActive)
        for (int g = 0; g < view->groupCount; ++g) SortBySlot(view->groups[g]);

    // The members pool in group order; a member without a slot gets the next number.
    if (!view->members) view->members = CreateConstructPool(kMembersCapacity, "tf members");
    view->members->count = 0;
    for (int g = 0; g < view->groupCount; ++g) {
        ConstructPool* group = view->groups[g];
        for (int i = 0; i < group->count; ++i) {
            construct* con = group->constructs[i];
            if (con->bytes2[0] == kNoSlot) {
                con->bytes2[0] =
                    static_cast<uint8_t>(view->nextSlot < kLastSlot ? view->nextSlot : kLastSlot);
                if (view->nextSlot <= kLastSlot) ++view->nextSlot;
            }
            AppendToConstructPoolIfRoom(view->members, con);
        }
    }
    // Recipients and the focus unit are members: a unit that left the task force leaves them too.
    if (PlayerCommMenu && PlayerCommMenu->recipients) {
        ConstructPool* recipients = PlayerCommMenu->recipients;
        for (int i = 0; i < recipients->count;) {
            if (IsInConstructPool(recipients->constructs[i], view->members))
                ++i;
            else
                RemoveFromConstructPool(recipients, recipients->constructs[i]);
        }
        if (PlayerCommMenu->focus && !IsInConstructPool(PlayerCommMenu->focus, view->members))
            PlayerCommMenu->focus = nullptr;
    }
    GivePictures(view);
    LayoutTaskButtons(view);
    if (PlayerClan)
        for (int g = 0; g < view->groupCount; ++g)
            PostAIMessage(PlayerClan, NewUnitsMessageShort(PlayerClan, kMsgSelectionChanged, g,
                                                           view->groups[g], nullptr, nullptr));
}

void LayoutTaskButtons(TFView* view) {
    while (view->buttonCount > 0) DeleteTaskButton(view, view->buttons[0]);
    int32_t y = kButtonHeight;
    for (int g = 0; g < view->groupCount; ++g) {
        const ConstructPool* group = view->groups[g];
        const uint8_t* colour = kGroupColours[g < 5 ? g : 4];
        for (int i = 0; i < group->count; ++i) {
            // The column holds 40 buttons at most and ends at the screen's lower edge.
            const int32_t bottom = ScreenHeight - y - kButtonHeight;
            if (view->buttonCount >= kMaxTaskButtons || bottom < 0) return;
            TaskButton* b = CreateTaskButton(view);
            b->kind = 0;
            b->left = ScreenWidth - view->tfPanelWidth;
            b->top = ScreenHeight - y;
            b->right = ScreenWidth;
            b->bottom = bottom;
            std::memcpy(b->colour, colour, sizeof b->colour);
            b->unit = group->constructs[i];
            y += kButtonStep;
        }
        y += kGroupGap;
    }
}

void ToggleTFGroup(TFView* view, ConstructPool* recipients, CommMenu* menu) {
    ConstructPool* g = FindExactTFGroup(view, recipients);
    if (!g || g == view->groups[0]) {
        ConstructPool* formed = CreateTFGroup(view);
        if (!formed) {
            CloseCommMenu(view, menu);
            return;
        }
        for (int i = 0; recipients && i < recipients->count; ++i) {
            construct* con = recipients->constructs[i];
            for (int k = 0; k < view->groupCount; ++k)
                if (view->groups[k] != formed) RemoveFromConstructPool(view->groups[k], con);
            AppendToConstructPoolIfRoom(formed, con);
        }
    } else {
        MoveAll(g, view->groups[0]);
    }
    UpdateTFSelection(view);
    CloseCommMenu(view, menu);
}

ConstructPool* FindExactTFGroup(const TFView* view, const ConstructPool* pool) {
    if (!view || !pool) return nullptr;
    for (int g = 0; g < view->groupCount; ++g) {
        ConstructPool* group = view->groups[g];
        bool same = true;
        for (int i = 0; same && i < pool->count; ++i) same = IsInConstructPool(pool->constructs[i], group);
        for (int i = 0; same && i < group->count; ++i) same = IsInConstructPool(group->constructs[i], pool);
        if (same) return group;
    }
    return nullptr;
}

ConstructPool* FindTFGroupOfUnit(const TFView* view, const construct* unit) {
    if (!view) return nullptr;
    for (int g = 0; g < view->groupCount; ++g)
        if (IsInConstructPool(unit, view->groups[g])) return view->groups[g];
    return nullptr;
}

void ClearHighlighted() {
    ConstructPool* highlighted = FindConstructPool("highlighted");
    if (!highlighted) return;
    while (highlighted->count > 0) {
        construct* con = highlighted->constructs[highlighted->count - 1];
        con->flags &= ~kConHighlighted;
        RemoveFromConstructPool(highlighted, con);
    }
}

void HighlightTFGroup(TFView* view, int group, int clear) {
    if (clear) ClearHighlighted();
    ConstructPool* highlighted = FindConstructPool("highlighted");
    if (!view || !highlighted || group < 0 || group >= view->groupCount) return;
    const ConstructPool* units = view->groups[group];
    for (int i = 0; i < units->count && highlighted->count < highlighted->capacity; ++i) {
        construct* con = units->constructs[i];
        if (IsInConstructPool(con, highlighted)) continue;
        con->flags |= kConHighlighted;
        AppendToConstructPool(highlighted, con);
    }
}

char TFSlotKeyLabel(int slot) {
    return slot >= 0 && slot < 15 ? kSlotKeys[slot] : 0;
}

QZIcon* TFMemberSymbol(const TFView* view, int slot) {
    if (!view) return nullptr;
    if (slot >= 0 && slot < 10) return view->iconsC[slot];
    return view->iconsE[4];
}
