// The mission-description expressions and the mission variables. An expression is a named condition of
// the mission script over the action units, the variables and the units' threat lists: 26 term lists
// (letters A to Z), each an AND of conditions, the lists ORed. The variables are named float values that
// the conditions test and the day events and the AI set (for example the damage one clan has done to
// another).
#pragma once

#include <cstdint>

struct AUDef;
struct MDVar;

// Condition types, by the names the script gives them.
enum : int32_t {
    kMDActivated = 1, kMDCaptured, kMDReachedArea, kMDGatheredInArea, kMDDestroyed, kMDIntact,
    kMDVarEqual, kMDVarGreater, kMDVarLess, kMDUnitLost, kMDGotHostiles, kMDGotNoHostiles, kMDGotThreats,
    kMDGotNoThreats, kMDInVicinity, kMDColliding, kMDUnitEntered, kMDGotNoAttackers,
    kMDTypeCount = kMDGotNoAttackers,
};

// One condition of a term list ("MDCond cell").
struct MDCond {
    int32_t type;       // kMDActivated .. kMDGotNoAttackers
    AUDef* au;          // the condition's action unit; null for the variable types
    int32_t values[4];  // the rule's numbers truncated toward zero; 0 where the rule has fewer
    MDVar* variable;    // VAREQUAL, VARGREATER, VARLESS
    float threshold;    // the rule's first number; 0 without one
    AUDef* au2;         // the second action unit (the rule's third word), or null
    MDCond* next;
};

constexpr int kMDTermLists = 26;
constexpr int kMDCondsPerList = 32;

// A named expression ("md expr").
struct MDExpr {
    char name[64];                 // names of 64 characters or more are cut to 63
    MDCond* terms[kMDTermLists];   // letter A first; null for an empty list
};

struct MDVar {
    char name[64];  // names of 64 characters or more are cut to 63
    float value;    // 0 at creation
};

constexpr int kMaxMDExprs = 64;
constexpr int kMaxMDVars = 64;
extern MDExpr* MDExprTable[kMaxMDExprs];
extern int32_t MDExprCount;
extern MDVar* MDVarTable[kMaxMDVars];
extern int32_t MDVarCount;

// A new expression built from the script's rules "<name>_<letter>_<index>" (indexes 0 to 31 of each
// letter whose index 0 exists); fatal when 64 exist, when a letter has an index 32 and when no
// condition is found.
MDExpr* CreateMDExpr(const char* name);
// Frees a registered expression with its conditions (the last entry fills its place); others are left.
void FreeMDExpr(MDExpr* expr);
// The first expression of that name (compared as it is stored), or null.
MDExpr* NamedMDExpr(const char* name);
// 1 when some non-empty term list has all its conditions true, else 0.
int EvalMDExpr(const MDExpr* expr);
// Appends a condition to the list: typeName is looked up fatally; name1 is the action unit (fatal when
// absent) or, for the variable types, the variable (made when absent); name2 the second action unit (null
// when absent). Either name may be null.
MDCond* CreateMDCond(MDCond** list, const char* typeName, const char* name1, const char* name2,
                     const float* values, int count);
// The type of exactly that name; fatal "Error(NamedMDType): unknown mission description type '%s'".
int NamedMDType(const char* text);
// The name of a type, "<unknown>" for any other number.
const char* MDTypeName(int type);
// 1 or 0 by the condition's type.
int EvalMDCond(const MDCond* cond);

// A new variable of value 0; fatal "Error(CreateMDVar): too many md vars" when 64 exist.
MDVar* CreateMDVar(const char* name);
// Removes a registered variable (the last entry fills the gap) and frees it.
void FreeMDVar(MDVar* var);
// The first variable of that name (compared as it is stored), or null.
MDVar* NamedMDVar(const char* name);
