// Rules: named records of up to 50 values read from text files in one syntax,
//     name value value "info string" ... ;
// Numbers are kept as floats ('%' makes a percentage, the degree sign (byte 0xB0) an angle in 16.16
// radians, "0x" a hexadecimal integer), other words as up to four info strings. Names are kept in lower
// case and every lookup lower-cases the asked name.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "core/FixMath.h"  // TruncateToInt32, with which rule values are read as integers

constexpr int kRuleMaxValues = 50;
constexpr int kRuleInfoSlots = 4;
constexpr double kDegreesTo16_16Radians = 1143.8189954844445;

struct Rule {
    char* name;        // lower case, owned ("rule name")
    int32_t count;     // values, 0 to 50
    float* values;     // count values ("rule value"), null when count is 0
    char* info[kRuleInfoSlots];  // owned strings ("rule info"), null when absent, filled in order
    Rule* next;
};

// The global rules: "app/rules", the configuration, the mission script and the level's text files.
extern Rule* RuleList;

void ReadRules(const char* path);
// Called once per rule while a rules file is read, so that streamed sound keeps playing through a long
// file; the sound layer installs it when it starts. Null (the default) does nothing.
using RulesReadPump = void (*)();
void SetRulesReadPump(RulesReadPump pump);
// Reads one rules file into a list: new names are appended, names already there are filled anew in place.
void ReadRulesFile(Rule** list, const char* path);
void FreeRules();
void FreeRuleList(Rule** list);

// The rule of a printf-formatted name (at most 255 characters); fatal when absent.
Rule* NamedRulef(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same, null when absent.
Rule* FindRulef(const char* format, ...) __attribute__((format(printf, 1, 2)));
Rule* NamedRule(const char* name);
Rule* FindRule(const char* name);
// Looks a name up in any list (null when absent).
Rule* FindRuleIn(Rule* list, const char* name);

// The rule of a key for a units-file entry: "<name>_<key>", else "<prefix>_<key>"; the fatal form names
// the prefix. The units-file entry's lookups are built on these.
Rule* NamedUnitRuleFor(const char* unitName, const char* rulePrefix, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
Rule* FindUnitRuleFor(const char* unitName, const char* rulePrefix, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
Rule* NamedUnitRuleV(const char* unitName, const char* rulePrefix, const char* format, va_list args);
Rule* FindUnitRuleV(const char* unitName, const char* rulePrefix, const char* format, va_list args);

// True when one of the rule's info strings equals text exactly.
bool RuleHasInfo(const Rule* rule, const char* text);
// Replaces an info string of a rule (null clears it).
void SetRuleInfo(Rule* rule, int slot, const char* text);

// The user-interface texts published from rules, in the order LoadRuleTexts fills them.
enum class RuleText {
    DATASCAN_in_range_text, DATASCAN_perform_text, OBJECTSCAN_in_range_text, OBJECTSCAN_perform_text,
    OBJECTCAPTURE_in_range_text, OBJECTCAPTURE_perform_text, UNITCAPTURE_in_range_text,
    UNITCAPTURE_perform_text, ENTERDATA_in_range_text, ENTERDATA_perform_text, Ok_text, Cancel_text,
    Yes_text, No_text, Analyze_text, NotIdentified_text, MessageNo_text, MessageTime_text,
    NoMessages_text, PageTurn_text, Loading_text, Init_text, Leaving_text, Obj_primary, Obj_secondary,
    MissionStatus_text, UnitStatus_text, SingleKills_text, TotalKills_text, ShieldShort_text,
    StrengthShort_text, Unit_text,
    Count
};
// The text of a slot: the rule's first info string when LoadRuleTexts last ran, or null.
const char* GetRuleText(RuleText slot);

struct Objective {
    int32_t number;
    char text[64];
};
extern Objective PrimaryObjectives[5];
extern Objective SecondaryObjectives[5];

// Fills the text slots and the objectives ("primary1".."primary5", "secondary1".."secondary5").
void LoadRuleTexts();

// Apply "app/rules_unit.txt" and "app/rules_weapon.txt" to the unit and weapon rules.
void ReadRules_unit();
void ReadRules_weapon();
// The same from another file (tests).
void ReadRulesUnitFile(const char* path);
void ReadRulesWeaponFile(const char* path);
