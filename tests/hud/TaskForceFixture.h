// A task force made by hand for the task-force view's tests: the AI tests' three clans with E.M.A. the
// player's, units of their small test type in the E.M.A. pool, a task-force view without textures or
// icons, the comm menu of the eight entries, the pool "highlighted", a busy pool, and three camera
// constructs that record the methods they are sent.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "ai/AIFixtures.h"
#include "core/Config.h"
#include "core/Keys.h"
#include "hud/TFView.h"
#include "platform/ScreenVertex.h"
#include "support/InterfaceFiles.h"
#include "world/QZEvent.h"
#include "game/WorldTick.h"

namespace hudtest {

// A method a camera was sent, with its argument.
struct CameraCall {
    construct* camera;
    ItfcMethod method;
    uintptr_t arg;
};
inline std::vector<CameraCall> g_cameraCalls;
inline int32_t g_satMode = 0;

template <const char* Name>
uintptr_t Camera_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    if (method == ItfcMethod::GETNAME) return reinterpret_cast<uintptr_t>(Name);
    g_cameraCalls.push_back({con, method, arg});
    if (method == ItfcMethod::SETMODE) g_satMode = static_cast<int32_t>(arg);
    if (method == ItfcMethod::GETMODE) return static_cast<uintptr_t>(g_satMode);
    return 0;
}
inline constexpr char kSatName[] = "SatCamera";
inline constexpr char kStatName[] = "StatCamera";
inline constexpr char kWatchName[] = "WatchCamera";

// The AI message as the tests compare it: type, parameter, the units it names (as constructs).
struct Posted {
    int type;
    intptr_t param;
    construct* unit;
    construct* other;
    std::vector<construct*> units;
    bool hasPoint;
    int32_t point[3];
};

class TaskForceScene : public aitest::AIScene {
public:
    void TestBody() override {}
    using aitest::AIScene::DrainQueues;
    using aitest::AIScene::ema;
    using aitest::AIScene::FatalText;
    using aitest::AIScene::ga;
    using aitest::AIScene::Rules;
    using aitest::AIScene::Unit;

    TaskForceScene() {
        screenWas_[0] = ScreenWidth, screenWas_[1] = ScreenHeight;
        ScreenWidth = 640, ScreenHeight = 480;
        preferredWas_ = preferred_view;
        freeTorsoWas_ = free_torso_look;
        preferred_view = 0;
        SetPlayerClan(ema());
        highlighted_ = CreateConstructPool(90, "highlighted");
        busyWas_ = BuzyPools[0];
        busy_ = CreateConstructPool(64, "buzy0");
        BuzyPools[0] = busy_;
        view_ = static_cast<TFView*>(qzAlloc(sizeof(TFView), "tf view"));
        std::memset(view_, 0, sizeof *view_);
        view_->tfPanelWidth = 144;
        view_->archiveIndex = -1;
        PlayerTFView = view_;
        Rules(kvtest::CommEntryRules());
        menu_ = CreateCommMenu();
        PlayerCommMenu = menu_;
        if (!OwnPlayer) {
            OwnPlayer = CreatePlayer("tester");
            ownMade_ = true;
        }
        SatCamera = MakeCamera(Camera_itfc<kSatName>);
        StatCamera = MakeCamera(Camera_itfc<kStatName>);
        WatchCamera = MakeCamera(Camera_itfc<kWatchName>);
        g_cameraCalls.clear();
        g_satMode = 0;
        Fire1Armed = Fire2Armed = 0;
        DrainQueues();
    }
    ~TaskForceScene() override {
        PlayerTFView = nullptr;
        PlayerCommMenu = nullptr;
        while (view_->buttonCount > 0) DeleteTaskButton(view_, view_->buttons[0]);
        DeleteTFView(view_);
        DeleteCommMenu(menu_);
        for (construct** cam : {&SatCamera, &StatCamera, &WatchCamera}) {
            if ((*cam)->flags & kConBusy) UnMakeBuzy(*cam);
            FreeConstruct(*cam);
            *cam = nullptr;
        }
        BuzyPools[0] = busyWas_;
        DeleteConstructPool(busy_);
        DeleteConstructPool(highlighted_);
        if (ownMade_) {
            DeletePlayer(OwnPlayer);
            OwnPlayer = nullptr;
        }
        std::memset(KeyStates, 0, sizeof KeyStates);
        std::memset(PilotKeys, 0, sizeof PilotKeys);
        ScreenWidth = screenWas_[0], ScreenHeight = screenWas_[1];
        preferred_view = preferredWas_;
        free_torso_look = freeTorsoWas_;
        MainViewSource = nullptr;
        ReloadUnit = nullptr;
        ReloadUnitDistance = INT32_MAX;
        Fire1Armed = Fire2Armed = 0;
        g_cameraCalls.clear();
        DrainQueues();
    }

    // n new units of the player's clan, side by side.
    std::vector<construct*> Members(int n) {
        std::vector<construct*> out;
        for (int i = 0; i < n; ++i) out.push_back(Unit(ema(), int32_t(units_.size()) * 65536, 0, 0));
        return out;
    }
    void Drop(construct* con) { RemoveFromConstructPool(ema()->pool, con); }
    // The recipients set to the units.
    void Recipients(const std::vector<construct*>& units) {
        menu_->recipients->count = 0;
        for (construct* c : units) AppendToConstructPool(menu_->recipients, c);
    }
    void Form(const std::vector<construct*>& units) {
        Recipients(units);
        ToggleTFGroup(view_, menu_->recipients, menu_);
    }
    std::vector<std::vector<construct*>> Groups() const {
        std::vector<std::vector<construct*>> out;
        for (int g = 0; g < view_->groupCount; ++g)
            out.emplace_back(view_->groups[g]->constructs,
                             view_->groups[g]->constructs + view_->groups[g]->count);
        return out;
    }
    std::vector<construct*> Pool(const ConstructPool* p) const {
        return p ? std::vector<construct*>(p->constructs, p->constructs + p->count)
                 : std::vector<construct*>{};
    }
    // The messages waiting for a clan, taken from its queue.
    static std::vector<Posted> Take(int clan) {
        std::vector<Posted> out;
        for (AIMessage* m = AIQueues[clan].head; m; m = m->next) {
            Posted p{
                m->type, m->param, m->unit ? m->unit->con : nullptr,       m->other ? m->other->con : nullptr,
                {},      false,    {m->point[0], m->point[1], m->point[2]}};
            for (AIUnitRecord** u = m->units; u && *u; ++u) p.units.push_back((*u)->con);
            out.push_back(p);
        }
        DrainQueues();
        return out;
    }
    // The methods a camera was sent, in order.
    static std::vector<std::pair<ItfcMethod, uintptr_t>> CallsTo(construct* camera) {
        std::vector<std::pair<ItfcMethod, uintptr_t>> out;
        for (const CameraCall& c : g_cameraCalls)
            if (c.camera == camera) out.emplace_back(c.method, c.arg);
        return out;
    }

    TFView* view_ = nullptr;
    CommMenu* menu_ = nullptr;
    ConstructPool* highlighted_ = nullptr;

private:
    static construct* MakeCamera(ItfcProc itfc) {
        construct* c = CreateConstruct(1, 0);
        c->itfc = itfc;
        return c;
    }
    ConstructPool* busy_ = nullptr;
    ConstructPool* busyWas_ = nullptr;
    int32_t screenWas_[2] = {};
    int preferredWas_ = 0, freeTorsoWas_ = 0;
    bool ownMade_ = false;
};

inline uintptr_t Word(const void* p) {
    return reinterpret_cast<uintptr_t>(p);
}

// The messages of a type among those taken.
inline std::vector<Posted> OfType(const std::vector<Posted>& posted, int type) {
    std::vector<Posted> out;
    for (const Posted& p : posted)
        if (p.type == type) out.push_back(p);
    return out;
}

}  // namespace hudtest
