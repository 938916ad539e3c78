// The high-level AI over the hand-made AI scene: units that join their clan's AI, one clan's step run
// with messages built in the test, the orders it gives (read, not applied), the messages its threads
// post and the radio calls its agents make.
#pragma once

#include <string>
#include <vector>

#include "AIFixtures.h"
#include "ai/HL_camp.h"
#include "ai/HiLogic_local.h"
#include "objects/Units.h"
#include "world/TerrainFixtures.h"

namespace aitest {

struct OrderSeen {
    int32_t code;
    AIUnitRecord* unit;
    AIUnitRecord* target;
    int32_t point[3];
    intptr_t param;
};

struct PostSeen {
    int clan;
    int32_t type;
    AIUnitRecord* unit;
    AIUnitRecord* other;
    intptr_t param;
    int32_t point[3];
};

struct CallSeen {
    std::string text, label, name;
    int number;
};

inline std::vector<PostSeen>& Posted() {
    static std::vector<PostSeen> list;
    return list;
}
inline std::vector<CallSeen>& Calls() {
    static std::vector<CallSeen> list;
    return list;
}

// A thread of a given type stacked over an agent's behaviour in place of the real class: it holds its
// agents and, once told a reason, lets the first go with it in its next step.
class PassingThread : public HL_thread {
public:
    PassingThread(int t, HL_clan* owner) {
        type = t;
        clan = owner;
        serial = NextHLThreadSerial();
    }
    void Update(int) override {
        if (releaseReason >= 0 && AgentCount() > 0) clan->ReleaseAgent(AgentAt(0), this, releaseReason);
    }
    int releaseReason = -1;
};

class HLScene : public AIScene {
protected:
    // On a flat plain of 16 x 16 tiles at height 0 (free ground for every access type), so that the goto
    // behaviours find their ways.
    HLScene() : terrain_(16, 16) {
        for (int32_t X = 0; X < 256; ++X)
            for (int32_t Z = 0; Z < 256; ++Z) terrain_.At(X, Z).height = 0;
        terrain_.m->flat[0].head.height = 0;
        CurrentMatrix = terrain_.m;
        Posted().clear();
        Calls().clear();
        HL_SetPostObserver([](int clan, const AIMessage* m) {
            Posted().push_back(
                {clan, m->type, m->unit, m->other, m->param, {m->point[0], m->point[1], m->point[2]}});
        });
        HL_SetCallObserver([](const char* text, const char* label, const char* name, int number) {
            Calls().push_back({text, label, name, number});
        });
        entry_.name = const_cast<char*>("EMAJeep");
        entry_.rulePrefix = entry_.name;
        entry_.gameName = const_cast<char*>("Jeep");
        entry_.klass = kKlassVehicle;
        Rules(
            "Call_attacked \"Under fire\";\nCall_destroyed \"Hit\";\nCall_killed \"Killed\";\n"
            "Call_ReadyToCloseIn \"<arg1> ready\";\nCall_OutOfAmmo \"<arg1> dry\";\n"
            "Call_FollowFailed \"Lost you\";\nCall_HideFailed \"No cover\";\nCall_SneakStopped \"Stopping\";\n");
    }
    ~HLScene() override {
        CurrentMatrix = nullptr;
        HL_SetPostObserver(nullptr);
        HL_SetCallObserver(nullptr);
        for (AUDef* au : aus_) {
            if (!au->pool) continue;
            au->pool->count = 0;
            au->placed = 0;
            DeleteConstructPool(au->pool);
            au->pool = nullptr;
        }
    }

    HL_clan* Logic(Clan* clan) { return HiLogic->GetClan(ClanIndex(clan)); }
    static AIUnitRecord* Rec(construct* con, Clan* view) { return AIRecordOf(con, ClanIndex(view)); }
    static AIUnitRecord* Own(construct* con) { return AIRecordOf(con, ClanIndex(con->clan)); }
    HL_agent* AgentOfUnit(construct* con) { return Logic(con->clan)->AgentOf(Own(con)); }

    // A unit of the clan (a jeep of the units file's kind) that has joined its clan's AI.
    construct* Member(Clan* clan, int32_t x, int32_t z) {
        construct* con = Unit(clan, x, 0, z);
        con->unit = &entry_;
        for (int k = 0; k < 3; ++k) Rec(con, ClanTable[k])->class4 = int32_t(kKlassVehicle);
        Step(clan, {NewAIMessage(clan, kMsgUnitJoins, reinterpret_cast<intptr_t>("EMAJeep"), con, nullptr,
                                 nullptr, nullptr)});
        return con;
    }
    // Gives the unit a weapon with that range in every view (group 1, state 0, ammunition left).
    static void Arm(construct* con, int32_t range, int32_t nearLimit = 10000) {
        for (int k = 0; k < 3; ++k) {
            AIUnitRecord* r = AIRecordOf(con, k);
            r->weaponPresent[0] = 1;
            r->weapon[0][0] = 0;
            r->weapon[0][4] = uint32_t(nearLimit);
            r->weapon[0][5] = uint32_t(range / 2);
            r->weapon[0][6] = uint32_t(range);
            r->weapon[0][11] = 20;
        }
    }
    // Blocks the sub-points X0..X1, Z0..Z1 of the plain (inclusive) for the test units' access type 1.
    void BlockGround(int32_t X0, int32_t Z0, int32_t X1, int32_t Z1) {
        for (int32_t X = X0; X <= X1; ++X)
            for (int32_t Z = Z0; Z <= Z1; ++Z) terrain_.At(X, Z).access = 2;
    }
    // The orders of one unit, in order.
    static std::vector<OrderSeen> OrdersOf(const std::vector<OrderSeen>& orders, const AIUnitRecord* unit) {
        std::vector<OrderSeen> out;
        for (const OrderSeen& o : orders)
            if (o.unit == unit) out.push_back(o);
        return out;
    }
    // Moves a unit, its records and its sensor point.
    static void MoveTo(construct* con, int32_t x, int32_t z) {
        con->pos[0] = x;
        con->pos[2] = z;
        std::memcpy(Block(con)->share.insidePos, con->pos, 12);
        for (int k = 0; k < 3; ++k) std::memcpy(AIRecordOf(con, k)->pos, con->pos, 12);
    }
    // An AU "outpost" whose pool holds the units, placed, so that saved games can name them.
    AUDef* PlacedAU(const char* name, const std::vector<construct*>& units) {
        AUDef* au = CreateAUDef();
        std::snprintf(au->name, sizeof au->name, "%s", name);
        au->pool = CreateConstructPool(16, (std::string("audef ") + name + " pool").c_str());
        for (construct* c : units) AppendToConstructPool(au->pool, c);
        au->placed = 1;
        aus_.push_back(au);
        return au;
    }

    // One step of the clan's AI over the messages (freed afterwards); the orders it gave, not applied.
    std::vector<OrderSeen> Step(Clan* clan, std::vector<AIMessage*> messages, int ticks = 1) {
        for (size_t i = 0; i + 1 < messages.size(); ++i) messages[i]->next = messages[i + 1];
        AIOrder* orders = HiLogic->Think(ClanIndex(clan), ticks, messages.empty() ? nullptr : messages[0]);
        for (AIMessage* m : messages) FreeAIMessage(m);
        std::vector<OrderSeen> seen;
        while (orders) {
            AIOrder* next = orders->next;
            seen.push_back({orders->code,
                            orders->agent,
                            orders->target,
                            {orders->point[0], orders->point[1], orders->point[2]},
                            orders->param});
            qzFree(orders);
            orders = next;
        }
        return seen;
    }
    // A passing thread of the type stacked over the unit's behaviour.
    PassingThread* Stack(construct* unit, int type) {
        auto* t = new PassingThread(type, Logic(unit->clan));
        Logic(unit->clan)->StartThread(t, {AgentOfUnit(unit)});
        return t;
    }
    // The unit's current behaviour (the last thread of its agent's chain).
    HL_thread* Current(construct* unit) { return Logic(unit->clan)->LastThread(AgentOfUnit(unit)); }
    // The types of the unit's chain, "CAMP>GOTO>".
    std::string Chain(construct* unit) {
        std::string s;
        const HL_agent* a = AgentOfUnit(unit);
        for (HL_thread* t = Logic(unit->clan)->FirstThread(a); t; t = t->LinkOf(a)) s += std::string(t->TypeName()) + ">";
        return s;
    }
    // A group order with a point (350, 351, 363 ...) for the units.
    static AIMessage* GroupTo(Clan* to, int type, const std::vector<construct*>& units, int32_t x, int32_t z,
                              intptr_t param = 0) {
        AIMessage* m = Group(to, type, units, param);
        m->point[0] = x;
        m->point[1] = 0;
        m->point[2] = z;
        return m;
    }
    // Ends every thread of the clan but the agents' CAMP threads (outside a step: its orders are dropped).
    void BackToCamp(Clan* clan) {
        HL_clan* c = Logic(clan);
        for (HL_thread* t : c->threads)
            if (t->type != kHLCamp) c->EndThread(t);
        c->DeleteIdleThreads();
    }
    static AIMessage* Msg(Clan* to, int type, construct* unit, construct* other = nullptr, intptr_t param = 0,
                          const int32_t* point = nullptr) {
        return NewAIMessage(to, type, param, unit, other, point, nullptr);
    }
    // A message whose unit array holds the units.
    static AIMessage* Group(Clan* to, int type, const std::vector<construct*>& units, intptr_t param = 0) {
        AIMessage* m = NewAIMessage(to, type, param, nullptr, nullptr, nullptr, nullptr);
        auto** list =
            static_cast<AIUnitRecord**>(qzAlloc(int((units.size() + 1) * sizeof(void*)), "ai msg units"));
        for (size_t i = 0; i < units.size(); ++i) list[i] = AIRecordOf(units[i], ClanIndex(to));
        list[units.size()] = nullptr;
        m->units = list;
        return m;
    }
    // The posted messages of a type, in order.
    static std::vector<PostSeen> PostedOf(int type) {
        std::vector<PostSeen> out;
        for (const PostSeen& p : Posted())
            if (p.type == type) out.push_back(p);
        return out;
    }

    // The clan's threads as "TYPE_serial[agents]" with agent numbers by the clan's list, '*' marking an
    // agent for which the thread is the last of its chain; then the chains and the stand-by list.
    std::string Picture(Clan* clan) {
        HL_clan* c = Logic(clan);
        std::string s;
        for (HL_thread* t : c->threads) {
            s += std::string(t->TypeName()) + "_" + std::to_string(t->serial) + "[";
            for (int i = 0; i < t->AgentCount(); ++i) {
                s += (i ? "," : "") + std::to_string(c->AgentIndex(t->AgentAt(i)));
                if (!t->LinkOf(t->AgentAt(i))) s += "*";
            }
            s += "] ";
        }
        s += "|";
        for (int i = 0; i < c->agents.count; ++i) {
            s += " " + std::to_string(i) + ":";
            const HL_agent* a = c->AgentAt(i);
            for (HL_thread* t = c->FirstThread(a); t; t = t->LinkOf(a)) s += std::string(t->TypeName()) + ">";
        }
        if (!c->standBy.empty()) {
            s += " | standby";
            for (HL_agent* a : c->standBy) s += " " + std::to_string(c->AgentIndex(a));
        }
        if (c->manual) s += " | manual " + std::to_string(c->AgentIndex(c->manual));
        return s;
    }

    kvtest::HandMatrix terrain_;
    ::Unit entry_{};
    std::vector<AUDef*> aus_;
};

}  // namespace aitest
