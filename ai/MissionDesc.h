// The mission-description expressions and the mission variables: named float values that the mission's
// conditions test and the day events and the AI set (for example the damage one clan has done to another).
#pragma once

#include <cstdint>

struct MDExpr;

struct MDVar {
    char name[64];
    float value;  // 0 at creation
};

constexpr int kMaxMDExprs = 64;
constexpr int kMaxMDVars = 64;
extern MDExpr* MDExprTable[kMaxMDExprs];
extern int32_t MDExprCount;
extern MDVar* MDVarTable[kMaxMDVars];
extern int32_t MDVarCount;

// Frees one expression and removes it from its table (the expressions are made with the day events).
void FreeMDExpr(MDExpr* expr);

// A new variable of value 0; fatal "Error(CreateMDVar): too many md vars" when 64 exist. Names of 64
// characters or more are refused.
MDVar* CreateMDVar(const char* name);
// Removes a registered variable (the last entry fills the gap) and frees it.
void FreeMDVar(MDVar* var);
// The first variable of exactly that name, or null.
MDVar* NamedMDVar(const char* name);
