// Mission variables: a table of at most 64 named values. The expressions' table stays empty until the
// expressions are read from the mission script.
#include "ai/MissionDesc.h"

#include <cstring>

#include "core/Memory.h"

MDExpr* MDExprTable[kMaxMDExprs] = {};
int32_t MDExprCount = 0;
MDVar* MDVarTable[kMaxMDVars] = {};
int32_t MDVarCount = 0;

void FreeMDExpr(MDExpr* expr) {
    (void)expr;
}

MDVar* CreateMDVar(const char* name) {
    if (MDVarCount >= kMaxMDVars) FatalError("Error(CreateMDVar): too many md vars");
    if (std::strlen(name) >= sizeof(MDVar::name))
        FatalErrorF("Error(CreateMDVar): name '%.40s...' too long", name);
    MDVar* var = static_cast<MDVar*>(qzAlloc(sizeof(MDVar), "md var"));
    std::memset(var, 0, sizeof *var);
    std::strcpy(var->name, name);
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
        if (std::strcmp(MDVarTable[i]->name, name) == 0) return MDVarTable[i];
    return nullptr;
}
