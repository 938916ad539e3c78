// A hand-made mission for the expression and day-event tests: the three clans mapped to the abstract
// clans 0, 1 and 2 (EMA the player's), action units read from world-file chunk bodies whose units are of
// a small test type (the AI tests' type, counting its ticks and mode switches), the pool "tobecaptured",
// and the mission script given as rules text.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "AIFixtures.h"
#include "ai/DayEvents.h"
#include "hud/MessageLog.h"
#include "hud/MissionStatus.h"
#include "objects/Units.h"
#include "platform/ScreenVertex.h"
#include "tools/datakit/UnitsFile.h"
#include "tools/datakit/WorldFile.h"
#include "game/WorldTick.h"

namespace aitest {

// What the test type saw of a unit.
struct MissionCalls {
    int ticks = 0;
    uint32_t modeSet = 0;      // arguments of SETMODE, ORed
    uint32_t modeCleared = 0;  // arguments of CLEARMODE, ORed
};
inline std::map<const construct*, MissionCalls> g_calls;

inline uintptr_t Mission_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE: {
            construct* made = NewFakeConstruct();
            made->itfc = Mission_itfc;
            g_calls[made] = {};
            return reinterpret_cast<uintptr_t>(made);
        }
        case ItfcMethod::TICK: ++g_calls[con].ticks; return 0;
        case ItfcMethod::SETMODE: g_calls[con].modeSet |= uint32_t(arg); return 0;
        case ItfcMethod::CLEARMODE: g_calls[con].modeCleared |= uint32_t(arg); return 0;
        case ItfcMethod::DESTROY: g_calls.erase(con); return Fake_itfc(con, method, arg);
        default: return Fake_itfc(con, method, arg);
    }
}

class MissionScene : public AIScene {
protected:
    static constexpr int kJeepSlot = 4;  // the registry slot of "EMAJeep"

    MissionScene() : screenWidthWas_(ScreenWidth) {
        ScreenWidth = 640;  // the message log's lines are half the screen wide
        std::memcpy(savedSlots_, ItfcRegistry, sizeof savedSlots_);
        ItfcRegistry[kJeepSlot] = Mission_itfc;
        EXPECT_TRUE(datakit::WriteUnitsFile(dir_ / "units", {{"Jeep", "EMAJeep", "Jeep", "jeep", {"VEHICLE"}, {}, ""}}));
        host::FlushDirectoryCache();
        ReadUnitsFile((dir_ / "units").c_str());
        AbstractClanMap[0] = ema();
        AbstractClanMap[1] = ga();
        AbstractClanMap[2] = arab();
        SetPlayerClan(ema());
        captured_ = CreateConstructPool(32, "tobecaptured");
        DrainQueues();
        ClearMessages();
        GameClockSeconds = 0.0f;
    }
    ~MissionScene() override {
        FreeDayEvents();
        TimedEventCursor = DailyEventCursor = 0;
        while (MDExprCount > 0) FreeMDExpr(MDExprTable[0]);
        while (AUDefCount > 0) DeleteAUDef(AUDefTable[0]);
        DeleteConstructPool(captured_);
        while (UnitCount > 0) FreeUnit(UnitTable[0]);
        std::memcpy(ItfcRegistry, savedSlots_, sizeof savedSlots_);
        g_calls.clear();
        ClearMessages();
        ResetMissionStatus();
        PlayerRestrictions = 0xffffffffu;
        GameClockSeconds = 0.0f;
        ScreenWidth = screenWidthWas_;
    }

    // An action unit of the abstract clan with units of the test type at (x, z) in tiles; created and
    // placed unless told otherwise.
    AUDef* MakeAU(const char* name, int abstractClan, const std::vector<std::pair<float, float>>& at,
                  bool place = true) {
        datakit::WorldAUDef def;
        def.name = name;
        def.abstractClan = abstractClan;
        for (const auto& [x, z] : at) {
            datakit::WorldAUUnit e;
            e.type = "Jeep";
            // The place record holds z before x.
            e.place = {int32_t(z * 65536), 0, int32_t(x * 65536), 0, 0, 0};
            def.lists[size_t(abstractClan)].push_back(e);
        }
        const std::vector<uint8_t> body = datakit::AUDefBody(def);
        AUDef* au = CreateAUDef();
        ReadAUDefBody(au, 7, body.data(), body.size(), "Maps\\Test");
        if (place) {
            AUDef_itfc(au, ItfcMethod::CREATE);
            AUDef_itfc(au, ItfcMethod::PLACE);
        }
        return au;
    }
    static construct* UnitOf(const AUDef* au, int i) { return au->pool->constructs[i]; }
    static void SetStructure(construct* con, int32_t s) { Block(con)->state.structure = s; }

    // The variable's value (0 when it does not exist).
    static float Var(const char* name) {
        const MDVar* v = NamedMDVar(name);
        return v ? v->value : 0.0f;
    }
    // One scheduler step at the given game clock (seconds).
    static void StepAt(float clock) {
        GameClockSeconds = clock;
        DayEventScheduler();
    }

    ConstructPool* captured_ = nullptr;

private:
    int32_t screenWidthWas_;
    ItfcProc savedSlots_[kItfcSlotCount];
};

}  // namespace aitest
