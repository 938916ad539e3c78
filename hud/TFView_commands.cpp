// The task-force commands of the comm menu and the comm orders they post to the player clan's AI.
#include <cstdint>

#include "ai/AIMessage.h"
#include "ai/Clan.h"
#include "core/Memory.h"
#include "hud/MapSurfaces.h"
#include "hud/MessageLog.h"
#include "hud/TFView_local.h"
#include "objects/UnitShare.h"
#include "render/Viewport.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"

namespace {

// AI messages of the comm orders.
enum : int32_t {
    kMsgMoveTo = 350,
    kMsgSneakTo = 351,
    kMsgHold = 353,
    kMsgHide = 354,
    kMsgFollow = 356,
    kMsgAttack = 358,
};

bool HasRecipients(const ConstructPool* recipients) {
    return recipients && recipients->count > 0;
}

void PostToPlayerClan(int type, ConstructPool* units, construct* unit, construct* other,
                      const int32_t* point) {
    if (!PlayerClan) return;
    PostAIMessage(PlayerClan, NewUnitsMessage(PlayerClan, type, 0, units, unit, other, point));
}

}  // namespace

void SendSimpleCommOrder(ConstructPool* recipients, int code) {
    if (!HasRecipients(recipients)) return;
    switch (code) {
        case 4:
            PostToPlayerClan(kMsgFollow, recipients, PlayerUnit, nullptr, nullptr);
            return;
        case 6:
            PostToPlayerClan(kMsgHold, recipients, nullptr, nullptr, nullptr);
            return;
        case 7:
            PostToPlayerClan(kMsgHide, recipients, nullptr, nullptr, nullptr);
            return;
        case 10:
            ShowMessage("NOT IMPLEMENTED", "");
            return;
        default:
            FatalError("Error(SendSimpleCommOrder): not implemented");
    }
}

void SendOrderToGroup(ConstructPool* recipients, const int32_t point[3], int kind) {
    if (!HasRecipients(recipients)) return;
    PostToPlayerClan(kind ? kMsgMoveTo : kMsgSneakTo, recipients, nullptr, nullptr, point);
}

bool RecipientsShareGroupWithPlayer(TFView* view, CommMenu* menu) {
    if (!PlayerUnit || !view) return false;
    const ConstructPool* own = nullptr;
    for (int g = 1; g < view->groupCount && !own; ++g)
        if (IsInConstructPool(PlayerUnit, view->groups[g])) own = view->groups[g];
    if (!own || !menu->recipients) return false;
    for (int i = 0; i < menu->recipients->count; ++i)
        if (IsInConstructPool(menu->recipients->constructs[i], own)) return true;
    return false;
}

int IsTFCommandBlocked(TFView* view, CommMenu* menu, uint32_t code) {
    const int count = menu->recipients ? menu->recipients->count : 0;
    switch (code) {
        case kTFTakeControl: {
            if (count < 2) return 0;
            // Several recipients only when they are exactly one formed group.
            const ConstructPool* g = FindExactTFGroup(view, menu->recipients);
            return !g || g == view->groups[0];
        }
        case kTFWatch:
            return count > 1;
        case kTFMove:
        case kTFSneak:
        case kTFHold:
        case kTFHide:
            return RecipientsShareGroupWithPlayer(view, menu);
        case kTFFollow:
            return !PlayerUnit || RecipientsShareGroupWithPlayer(view, menu);
        case kTFAttack:
            return !PlayerUnit || !GetUnitLockTarget(PlayerUnit);
        default:
            return 1;
    }
}

void ExecuteTFCommand(TFView* view, CommMenu* menu, int entry) {
    if (!view || !menu || entry < 0 || entry >= menu->entryCount) return;
    const uint32_t code = menu->entries[entry].code;
    if (IsTFCommandBlocked(view, menu, code)) {
        CloseCommMenu(view, menu);
        return;
    }
    ConstructPool* recipients = menu->recipients;
    switch (code) {
        case kTFTakeControl: {
            construct* unit = menu->focus;
            // Without a focus unit there is nothing to take: the menu only closes.
            if (!unit) {
                CloseCommMenu(view, menu);
                return;
            }
            if (!(unit->flags & kConInputDriven)) return;
            EnterUnitView(view, unit, 1);
            CloseCommMenuKeepFocus(view, menu);
            view->leaveLatch = 1;
            return;
        }
        case kTFWatch:
            if (recipients->count > 0)
                OpenWatchView(recipients->constructs[0], ItfcMethod::VIEWINSIDE, 4, MainViewPort);
            CloseCommMenuKeepFocus(view, menu);
            return;
        case kTFMove:
        case kTFSneak:
            view->orderKind = code == kTFMove ? 1 : 0;
            if (!view->panels[kLargeMap]) OpenLargeMap(view);
            BeginMapPointing(view);
            return;
        case kTFFollow:
            SendSimpleCommOrder(recipients, 4);
            break;
        case kTFAttack:
            if (construct* target = PlayerUnit ? GetUnitLockTarget(PlayerUnit) : nullptr)
                PostToPlayerClan(kMsgAttack, recipients, nullptr, target, nullptr);
            break;
        case kTFHold:
            SendSimpleCommOrder(recipients, 6);
            break;
        case kTFHide:
            SendSimpleCommOrder(recipients, 7);
            break;
        default:
            break;
    }
    CloseCommMenu(view, menu);
}
