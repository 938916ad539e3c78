// Mission-description expressions and variables: each a table of at most 64, removal moving the last
// entry into the gap. Expressions are read from the mission script's rules "<name>_<letter>_<index>"
// when a day event first names them; their conditions look at the action units, the variables and the
// units' threat lists.
#include "ai/MissionDesc.h"

#include <cstdio>
#include <cstring>
#include <iterator>

#include "ai/AI_local.h"
#include "ai/AIStubs.h"
#include "ai/AUDef.h"
#include "ai/Clan.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "objects/Itfc.h"
#include "objects/UnitShare.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"

MDExpr* MDExprTable[kMaxMDExprs] = {};
int32_t MDExprCount = 0;
MDVar* MDVarTable[kMaxMDVars] = {};
int32_t MDVarCount = 0;

namespace {

constexpr const char* kMDTypeNames[] = {
    "ACTIVATED",     "CAPTURED",    "REACHEDAREA",    "GATHEREDINAREA", "DESTROYED",    "INTACT",
    "VAREQUAL",      "VARGREATER",  "VARLESS",        "UNITLOST",       "GOTHOSTILES",  "GOTNOHOSTILES",
    "GOTTHREATS",    "GOTNOTHREATS", "INVICINITY",    "COLLIDING",      "UNITENTERED",  "GOTNOATTACKERS",
};
static_assert(std::size(kMDTypeNames) == kMDTypeCount, "one name per condition type");

bool IsVariableType(int type) { return type == kMDVarEqual || type == kMDVarGreater || type == kMDVarLess; }

// A name as its 64-character field keeps it: longer names are cut to 63 characters, so that a lookup
// with the long name finds what was stored under it.
bool SameStoredName(const char* stored, const char* name) {
    char cut[64];
    snprintf(cut, sizeof cut, "%s", name);
    return std::strcmp(stored, cut) == 0;
}

// An action unit is in the world when it has its units and they are placed.
bool InWorld(const AUDef* au) { return au && au->pool && au->placed; }

int32_t UnitCount(const AUDef* au) { return au->pool->count; }
construct* UnitAt(const AUDef* au, int i) { return au->pool->constructs[i]; }

// The structure word of a unit; false for a unit that keeps no state.
bool Structure(construct* con, int32_t* structure) { return ai::StructureOf(con, structure); }

bool InRect(const construct* con, const int32_t v[4]) {
    return v[0] < con->pos[0] && con->pos[0] < v[2] && v[1] < con->pos[2] && con->pos[2] < v[3];
}

bool HoldsHostile(construct* con) {
    UnitShare* rec = GetUnitShare(con);
    if (!rec || !con->clan) return false;
    for (int i = 0; i < rec->threatCount; ++i) {
        const construct* other = rec->threats[i].con;
        if (!other || !other->clan) continue;
        const int index = ClanIndex(other->clan);
        if (index >= 0 && index < kMaxClans && con->clan->hostility[index] == kHostile) return true;
    }
    return false;
}

int32_t ThreatCount(construct* con) {
    UnitShare* rec = GetUnitShare(con);
    return rec ? rec->threatCount : 0;
}

// Whether two units are closer than the threshold. The distance is worked out in doubles: a sum of
// squares in 32 bits would overflow for units more than half a tile apart.
bool Near(const construct* a, const construct* b, float threshold) {
    const int32_t d[3] = {b->pos[0] - a->pos[0], b->pos[1] - a->pos[1], b->pos[2] - a->pos[2]};
    return static_cast<float>(ai::Length3(d)) < threshold;
}

bool HitBy(const construct* victim, const AUDef* au) {
    for (const construct* hit : victim->hits) {
        if (!hit) break;
        if (IsInConstructPool(hit, au->pool)) return true;
    }
    return false;
}

// The AU types, for an action unit in the world. "some" tests ask whether any unit passes, "every" tests
// whether all do (true for an empty pool).
bool EvalAUCond(const MDCond* c) {
    const AUDef* au = c->au;
    const int n = UnitCount(au);
    switch (c->type) {
        case kMDCaptured: {
            ConstructPool* captured = FindConstructPool("tobecaptured");
            for (int i = 0; captured && i < n; ++i)
                if (IsInConstructPool(UnitAt(au, i), captured)) return false;
            return true;
        }
        case kMDReachedArea:
            for (int i = 0; i < n; ++i)
                if (InRect(UnitAt(au, i), c->values)) return true;
            return false;
        case kMDGatheredInArea:
            for (int i = 0; i < n; ++i)
                if (!InRect(UnitAt(au, i), c->values)) return false;
            return true;
        case kMDDestroyed:
            for (int i = 0; i < n; ++i) {
                int32_t s;
                if (Structure(UnitAt(au, i), &s) && s > 0) return false;
            }
            return true;
        case kMDIntact:
            for (int i = 0; i < n; ++i) {
                int32_t s;
                if (Structure(UnitAt(au, i), &s) && s < 1) return false;
            }
            return true;
        case kMDUnitLost:
            for (int i = 0; i < n; ++i) {
                int32_t s;
                if (Structure(UnitAt(au, i), &s) && s < 1) return true;
            }
            return false;
        case kMDGotHostiles:
        case kMDGotNoHostiles: {
            bool any = false;
            for (int i = 0; i < n && !any; ++i) any = HoldsHostile(UnitAt(au, i));
            return c->type == kMDGotHostiles ? any : !any;
        }
        case kMDGotThreats:
        case kMDGotNoThreats: {
            bool any = false;
            for (int i = 0; i < n && !any; ++i) any = ThreatCount(UnitAt(au, i)) > 0;
            return c->type == kMDGotThreats ? any : !any;
        }
        case kMDInVicinity: {
            if (!InWorld(c->au2)) return false;
            for (int i = 0; i < n; ++i)
                for (int k = 0; k < UnitCount(c->au2); ++k)
                    if (Near(UnitAt(au, i), UnitAt(c->au2, k), c->threshold)) return true;
            return false;
        }
        case kMDColliding: {
            if (!InWorld(c->au2)) return false;
            for (int k = 0; k < UnitCount(c->au2); ++k)
                if (HitBy(UnitAt(c->au2, k), au)) return true;
            return false;
        }
        case kMDUnitEntered: return PlayerUnit && IsInConstructPool(PlayerUnit, au->pool);
        case kMDGotNoAttackers:
            for (int i = 0; i < n; ++i)
                if (aistubs_KnownToOtherClan(UnitAt(au, i))) return false;
            return true;
        default: return false;
    }
}

}  // namespace

int NamedMDType(const char* text) {
    for (int i = 0; i < kMDTypeCount; ++i)
        if (std::strcmp(kMDTypeNames[i], text) == 0) return i + 1;
    FatalErrorF("Error(NamedMDType): unknown mission description type '%s'", text);
    return 0;
}

const char* MDTypeName(int type) {
    return type >= 1 && type <= kMDTypeCount ? kMDTypeNames[type - 1] : "<unknown>";
}

MDCond* CreateMDCond(MDCond** list, const char* typeName, const char* name1, const char* name2,
                     const float* values, int count) {
    const int type = NamedMDType(typeName);
    // The names are looked up before the cell is made: a missing action unit stops the program.
    AUDef* au = nullptr;
    MDVar* variable = nullptr;
    if (name1) {
        if (IsVariableType(type)) {
            variable = NamedMDVar(name1);
            if (!variable) variable = CreateMDVar(name1);
        } else {
            au = NamedAUDef(name1);
            if (!au) FatalErrorF("Error(CreateMDCond): AUDef '%s' is not present", name1);
        }
    }
    auto* c = static_cast<MDCond*>(qzAlloc(sizeof(MDCond), "MDCond cell"));
    std::memset(c, 0, sizeof *c);
    c->type = type;
    c->au = au;
    c->variable = variable;
    if (name2) c->au2 = NamedAUDef(name2);
    if (count > 0) c->threshold = values[0];
    for (int i = 0; i < 4 && i < count; ++i) c->values[i] = TruncateToInt32(values[i]);
    MDCond** at = list;
    while (*at) at = &(*at)->next;
    *at = c;
    return c;
}

MDExpr* CreateMDExpr(const char* name) {
    if (MDExprCount >= kMaxMDExprs) FatalError("Error(CreateMDExpr): Too many md exprs");
    auto* expr = static_cast<MDExpr*>(qzAlloc(sizeof(MDExpr), "md expr"));
    std::memset(expr, 0, sizeof *expr);
    snprintf(expr->name, sizeof expr->name, "%s", name);
    MDExprTable[MDExprCount++] = expr;
    bool any = false;
    for (int letter = 0; letter < kMDTermLists; ++letter) {
        const char l = static_cast<char>('A' + letter);
        if (!FindRulef("%s_%c_%d", name, l, 0)) continue;
        for (int i = 0; i < kMDCondsPerList; ++i) {
            const Rule* r = FindRulef("%s_%c_%d", name, l, i);
            if (!r) continue;
            // A rule without a type word names no condition type at all.
            CreateMDCond(&expr->terms[letter], r->info[0] ? r->info[0] : "", r->info[1], r->info[2], r->values,
                         r->count);
            any = true;
        }
        if (FindRulef("%s_%c_%d", name, l, kMDCondsPerList))
            FatalErrorF("Error(CreateMDExpr): too many conds in MDExpr '%s'", name);
    }
    if (!any) FatalErrorF("Error(CreateMDExpr): expression '%s' is empty", name);
    return expr;
}

void FreeMDExpr(MDExpr* expr) {
    for (int i = 0; i < MDExprCount; ++i) {
        if (MDExprTable[i] != expr) continue;
        for (MDCond*& head : expr->terms) {
            while (head) {
                MDCond* next = head->next;
                qzFree(head);
                head = next;
            }
        }
        MDExprTable[i] = MDExprTable[--MDExprCount];
        MDExprTable[MDExprCount] = nullptr;
        qzFree(expr);
        return;
    }
}

MDExpr* NamedMDExpr(const char* name) {
    for (int i = 0; i < MDExprCount; ++i)
        if (SameStoredName(MDExprTable[i]->name, name)) return MDExprTable[i];
    return nullptr;
}

int EvalMDCond(const MDCond* c) {
    if (IsVariableType(c->type)) {
        if (!c->variable) return 0;
        const float v = c->variable->value;
        if (c->type == kMDVarEqual) return v == c->threshold;
        if (c->type == kMDVarGreater) return v > c->threshold;
        return v < c->threshold;
    }
    if (!InWorld(c->au)) return 0;
    if (c->type == kMDActivated) return c->au->action == kActionDone;
    return EvalAUCond(c) ? 1 : 0;
}

int EvalMDExpr(const MDExpr* expr) {
    if (!expr) return 0;
    for (const MDCond* head : expr->terms) {
        if (!head) continue;
        const MDCond* c = head;
        while (c && EvalMDCond(c)) c = c->next;
        if (!c) return 1;
    }
    return 0;
}

MDVar* CreateMDVar(const char* name) {
    if (MDVarCount >= kMaxMDVars) FatalError("Error(CreateMDVar): too many md vars");
    MDVar* var = static_cast<MDVar*>(qzAlloc(sizeof(MDVar), "md var"));
    std::memset(var, 0, sizeof *var);
    snprintf(var->name, sizeof var->name, "%s", name);
    MDVarTable[MDVarCount++] = var;
    return var;
}

void FreeMDVar(MDVar* var) {
    for (int i = 0; i < MDVarCount; ++i) {
        if (MDVarTable[i] != var) continue;
        MDVarTable[i] = MDVarTable[--MDVarCount];
        MDVarTable[MDVarCount] = nullptr;
        qzFree(var);
        return;
    }
}

MDVar* NamedMDVar(const char* name) {
    for (int i = 0; i < MDVarCount; ++i)
        if (SameStoredName(MDVarTable[i]->name, name)) return MDVarTable[i];
    return nullptr;
}
