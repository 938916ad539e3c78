// The two balance files: one compact line per unit ("app/rules_unit.txt") or per unit's weapons
// ("app/rules_weapon.txt") whose values are written into the detailed rules of RuleList.
#include <cstdio>
#include <cstring>

#include "core/Memory.h"
#include "core/Rules.h"

namespace {

// Writes value index of a rule of RuleList when the rule exists and already has a value there.
void Put(const char* name, int index, float value) {
    Rule* r = FindRule(name);
    if (r && r->count > index) r->values[index] = value;
}

// The private list is freed before the fatal exit so that nothing read is left behind.
[[noreturn]] void FailFreeing(Rule** list, const char* message) {
    char copy[256];
    snprintf(copy, sizeof copy, "%s", message);
    FreeRuleList(list);
    FatalError(copy);
}

void ApplyUnitLine(const Rule* line) {
    const char* n = line->name;
    const float* w = line->values;
    char name[256];
    snprintf(name, sizeof name, "%s_shield", n);
    Put(name, 0, w[0]);
    snprintf(name, sizeof name, "%s_structure", n);
    Put(name, 0, w[1]);
    snprintf(name, sizeof name, "%s_acceleration", n);
    Put(name, 0, w[3]);
    Put(name, 1, w[4]);
    snprintf(name, sizeof name, "%s_SpeedConstraint", n);
    Put(name, 0, w[5]);
    Put(name, 1, w[6]);
    snprintf(name, sizeof name, "%s_strength", n);
    Put(name, 0, w[7]);
    snprintf(name, sizeof name, "%s_SightRange", n);
    if (Rule* sight = FindRule(name)) {
        SetRuleInfo(sight, 0, line->info[1]);
        qzFree(sight->values);
        sight->values = nullptr;
        sight->count = 0;
        if (RuleHasInfo(line, "RADAR")) {
            sight->values = static_cast<float*>(qzAlloc(sizeof(float), "rule value"));
            sight->values[0] = w[8];
            sight->count = 1;
        }
    }
}

// One weapon mount's six values d0..d5 into whichever weapon kinds the unit has.
void ApplyMount(const char* n, int mount, const float* d) {
    char name[256], alt[256];
    // Projectile thrower.
    snprintf(name, sizeof name, "%s_PjtThrower_%d_SalvoDelay", n, mount);
    snprintf(alt, sizeof alt, "%s_PjtThrower_%d_FireDelay", n, mount);
    Put(FindRule(name) ? name : alt, 0, d[0]);
    snprintf(name, sizeof name, "%s_PjtThrower_%d_ammo", n, mount);
    Put(name, 0, d[1]);
    snprintf(name, sizeof name, "%s_PjtThrower_%d_range", n, mount);
    Put(name, 2, d[2]);
    snprintf(name, sizeof name, "%s_PjtThrower_%d_speed", n, mount);
    Put(name, 0, d[3]);
    snprintf(name, sizeof name, "%s_PjtThrower_%d_ImpactPhysical", n, mount);
    Put(name, 0, d[4]);
    snprintf(name, sizeof name, "%s_PjtThrower_%d_ImpactShield", n, mount);
    Put(name, 0, d[5]);
    // High-velocity cannon.
    snprintf(name, sizeof name, "%s_HVCannon_%d_SalvoDelay", n, mount);
    snprintf(alt, sizeof alt, "%s_HVCannon_%d_FireDelay", n, mount);
    Put(FindRule(name) ? name : alt, 0, d[0]);
    snprintf(name, sizeof name, "%s_HVCannon_%d_ammo", n, mount);
    Put(name, 0, d[1]);
    snprintf(name, sizeof name, "%s_HVCannon_%d_range", n, mount);
    Put(name, 2, d[2]);
    snprintf(name, sizeof name, "%s_HVCannon_%d_ImpactPhysical", n, mount);
    Put(name, 0, d[4]);
    snprintf(name, sizeof name, "%s_HVCannon_%d_ImpactShield", n, mount);
    Put(name, 0, d[5]);
    // Beam cannon.
    snprintf(name, sizeof name, "%s_BeamCannon_%d_PauseDelay", n, mount);
    Put(name, 0, d[0]);
    snprintf(name, sizeof name, "%s_BeamCannon_%d_ammo", n, mount);
    Put(name, 0, d[1]);
    snprintf(name, sizeof name, "%s_BeamCannon_%d_range", n, mount);
    Put(name, 2, d[2]);
    snprintf(name, sizeof name, "%s_BeamCannon_%d_ImpactPhysical", n, mount);
    Put(name, 0, d[4]);
    snprintf(name, sizeof name, "%s_BeamCannon_%d_ImpactShield", n, mount);
    Put(name, 0, d[5]);
}

}  // namespace

void ReadRulesUnitFile(const char* path) {
    Rule* list = nullptr;
    ReadRulesFile(&list, path);
    char msg[256];
    for (Rule* line = list; line; line = line->next) {
        if (!line->info[0] || !line->info[1] || line->info[2]) {
            snprintf(msg, sizeof msg, "Error(ReadRules_unit): rule %s has wrong number of strings", line->name);
            FailFreeing(&list, msg);
        }
        int wanted = RuleHasInfo(line, "RADAR") ? 9 : 8;
        if (line->count != wanted) {
            snprintf(msg, sizeof msg, "Error(ReadRules_unit): rule %s has %d values - wrong", line->name,
                     line->count);
            FailFreeing(&list, msg);
        }
        ApplyUnitLine(line);
    }
    FreeRuleList(&list);
}

void ReadRulesWeaponFile(const char* path) {
    Rule* list = nullptr;
    ReadRulesFile(&list, path);
    for (Rule* line = list; line; line = line->next) {
        if (line->count != 6 && line->count != 12) {
            char msg[256];
            snprintf(msg, sizeof msg, "Error(ReadRules_weapon): rule %s has %d values - wrong", line->name,
                     line->count);
            FailFreeing(&list, msg);
        }
        ApplyMount(line->name, 0, line->values);
        if (line->count == 12) ApplyMount(line->name, 1, line->values + 6);
    }
    FreeRuleList(&list);
}

void ReadRules_unit() { ReadRulesUnitFile("app/rules_unit.txt"); }
void ReadRules_weapon() { ReadRulesWeaponFile("app/rules_weapon.txt"); }
