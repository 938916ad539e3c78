#include "core/Rules.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "core/Memory.h"
#include "core/Tokenizer.h"

Rule* RuleList = nullptr;
Objective PrimaryObjectives[5];
Objective SecondaryObjectives[5];

namespace {

RulesReadPump g_readPump = nullptr;

constexpr unsigned char kDegreeSign = 0xB0;

constexpr const char* kRuleTextNames[] = {
    "DATASCAN_in_range_text", "DATASCAN_perform_text", "OBJECTSCAN_in_range_text", "OBJECTSCAN_perform_text",
    "OBJECTCAPTURE_in_range_text", "OBJECTCAPTURE_perform_text", "UNITCAPTURE_in_range_text",
    "UNITCAPTURE_perform_text", "ENTERDATA_in_range_text", "ENTERDATA_perform_text", "Ok_text", "Cancel_text",
    "Yes_text", "No_text", "Analyze_text", "NotIdentified_text", "MessageNo_text", "MessageTime_text",
    "NoMessages_text", "PageTurn_text", "Loading_text", "Init_text", "Leaving_text", "Obj_primary",
    "Obj_secondary", "MissionStatus_text", "UnitStatus_text", "SingleKills_text", "TotalKills_text",
    "ShieldShort_text", "StrengthShort_text", "Unit_text"};
static_assert(std::size(kRuleTextNames) == static_cast<size_t>(RuleText::Count));

// The published texts are copies, so a slot never points into a rule that was freed or read again.
char g_ruleTextStore[static_cast<int>(RuleText::Count)][256];
bool g_ruleTextSet[static_cast<int>(RuleText::Count)];

void LowerInPlace(char* s) {
    for (; *s; ++s)
        if (*s >= 'A' && *s <= 'Z') *s = static_cast<char>(*s + 32);
}

void FormatName(char* out, const char* format, va_list args) {
    vsnprintf(out, 256, format, args);
    LowerInPlace(out);
}

void ClearRuleContents(Rule* r) {
    qzFree(r->values);
    r->values = nullptr;
    r->count = 0;
    for (char*& info : r->info) {
        qzFree(info);
        info = nullptr;
    }
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The leading decimal number of a word (sign, digits, point, digits, exponent); 0 when there is none.
double LeadingDecimal(const char* w) {
    const char* p = w;
    char span[kTokenSize];
    size_t n = 0;
    auto take = [&](void) { span[n++] = *p++; };
    if (*p == '+' || *p == '-') take();
    while (IsDigit(*p) && n < sizeof span - 8) take();
    if (*p == '.' && n < sizeof span - 8) {
        take();
        while (IsDigit(*p) && n < sizeof span - 8) take();
    }
    if ((*p == 'e' || *p == 'E') && n < sizeof span - 8) {
        const char* q = p + 1;
        if (*q == '+' || *q == '-') ++q;
        if (IsDigit(*q)) {
            take();
            if (*p == '+' || *p == '-') take();
            while (IsDigit(*p) && n < sizeof span - 2) take();
        }
    }
    span[n] = 0;
    return strtod(span, nullptr);
}

// "%x": hexadecimal digits after an optional "0x", as a 32-bit int.
int32_t HexValue(const char* w) {
    const char* p = w;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) p += 2;
    uint32_t v = 0;
    for (;; ++p) {
        int d;
        if (IsDigit(*p)) d = *p - '0';
        else if (*p >= 'a' && *p <= 'f') d = *p - 'a' + 10;
        else if (*p >= 'A' && *p <= 'F') d = *p - 'A' + 10;
        else break;
        v = (v << 4) | static_cast<uint32_t>(d);
    }
    return static_cast<int32_t>(v);
}

float NumberValue(const char* w) {
    double v = static_cast<float>(LeadingDecimal(w));
    if (strchr(w, '%')) v = static_cast<float>(v * 0.01);
    if (strchr(w, static_cast<char>(kDegreeSign))) v = static_cast<float>(v * kDegreesTo16_16Radians);
    if (w[0] == '0' && w[1] == 'x') v = static_cast<float>(HexValue(w));
    return static_cast<float>(v);
}

Rule* AppendRule(Rule** list, const char* name) {
    auto* r = static_cast<Rule*>(qzAlloc(sizeof(Rule), "rule"));
    memset(r, 0, sizeof(Rule));
    r->name = qzStrDup(name, "rule name");
    Rule** tail = list;
    while (*tail) tail = &(*tail)->next;
    *tail = r;
    return r;
}

}  // namespace

Rule* FindRuleIn(Rule* list, const char* name) {
    if (!name) return nullptr;
    char lower[256];
    snprintf(lower, sizeof lower, "%s", name);
    LowerInPlace(lower);
    for (Rule* r = list; r; r = r->next)
        if (strcmp(r->name, lower) == 0) return r;
    return nullptr;
}

void SetRulesReadPump(RulesReadPump pump) { g_readPump = pump; }

void ReadRulesFile(Rule** list, const char* path) {
    FILE* file = nullptr;
    InputStream s;
    OpenInputStream(path, &file, &s);
    char word[kTokenSize];
    char delim = 0;
    float numbers[kRuleMaxValues];
    while (!AtEndOfStream(&s)) {
        // Streamed sound keeps playing while a long file is read.
        if (g_readPump) g_readPump();
        int len = ReadToken(&s, word, sizeof word, nullptr, &delim);
        // Blanks after the last rule are not a rule of an empty name.
        if (len == 0 && AtEndOfStream(&s)) break;
        LowerInPlace(word);
        if (strcmp(word, "end") == 0) break;
        Rule* r = FindRuleIn(*list, word);
        if (r) ClearRuleContents(r);
        else r = AppendRule(list, word);

        int count = 0, words = 0, infos = 0;
        // The delimiter after the name is not looked at: the values follow even after a ';'.
        while (words < kRuleMaxValues && !AtEndOfStream(&s)) {
            ReadToken(&s, word, sizeof word, nullptr, &delim);
            ++words;
            if (IsDigit(word[0]) || word[0] == '-' || word[0] == '+') {
                numbers[count++] = NumberValue(word);
            } else if (infos < kRuleInfoSlots) {
                size_t n = strlen(word);
                if (n >= 2 && word[0] == '"' && word[n - 1] == '"') {
                    word[n - 1] = 0;
                    r->info[infos++] = qzStrDup(word + 1, "rule info");
                } else {
                    r->info[infos++] = qzStrDup(word, "rule info");
                }
            }
            if (delim == ';') break;
        }
        if (count > 0) {
            r->values = static_cast<float*>(qzAlloc(count * static_cast<int>(sizeof(float)), "rule value"));
            memcpy(r->values, numbers, count * sizeof(float));
        }
        r->count = count;
    }
    CloseInputStream(file, &s);
}

void ReadRules(const char* path) { ReadRulesFile(&RuleList, path); }

void FreeRuleList(Rule** list) {
    Rule* r = *list;
    while (r) {
        Rule* next = r->next;
        ClearRuleContents(r);
        qzFree(r->name);
        qzFree(r);
        r = next;
    }
    *list = nullptr;
}

void FreeRules() { FreeRuleList(&RuleList); }

Rule* FindRule(const char* name) { return FindRuleIn(RuleList, name); }

Rule* NamedRule(const char* name) {
    Rule* r = FindRule(name);
    if (!r) {
        char lower[256];
        snprintf(lower, sizeof lower, "%s", name ? name : "");
        LowerInPlace(lower);
        FatalErrorF("Error(NamedRule): Rule '%s' not found", lower);
    }
    return r;
}

Rule* NamedRulef(const char* format, ...) {
    char name[256];
    va_list ap;
    va_start(ap, format);
    FormatName(name, format, ap);
    va_end(ap);
    return NamedRule(name);
}

Rule* FindRulef(const char* format, ...) {
    char name[256];
    va_list ap;
    va_start(ap, format);
    FormatName(name, format, ap);
    va_end(ap);
    return FindRule(name);
}

Rule* FindUnitRuleV(const char* unitName, const char* rulePrefix, const char* format, va_list args) {
    char key[256];
    vsnprintf(key, sizeof key, format, args);
    Rule* r = FindRulef("%s_%s", unitName ? unitName : "", key);
    if (!r) r = FindRulef("%s_%s", rulePrefix ? rulePrefix : "", key);
    return r;
}

Rule* NamedUnitRuleV(const char* unitName, const char* rulePrefix, const char* format, va_list args) {
    char key[256];
    vsnprintf(key, sizeof key, format, args);
    Rule* r = FindRulef("%s_%s", unitName ? unitName : "", key);
    if (!r) r = FindRulef("%s_%s", rulePrefix ? rulePrefix : "", key);
    if (!r) FatalErrorF("Error(NamedUnitRule): Rule '%s_%s' not found", rulePrefix ? rulePrefix : "", key);
    return r;
}

Rule* NamedUnitRuleFor(const char* unitName, const char* rulePrefix, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    Rule* r = NamedUnitRuleV(unitName, rulePrefix, format, ap);
    va_end(ap);
    return r;
}

Rule* FindUnitRuleFor(const char* unitName, const char* rulePrefix, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    Rule* r = FindUnitRuleV(unitName, rulePrefix, format, ap);
    va_end(ap);
    return r;
}

bool RuleHasInfo(const Rule* rule, const char* text) {
    if (!rule || !text) return false;
    for (const char* info : rule->info)
        if (info && strcmp(info, text) == 0) return true;
    return false;
}

void SetRuleInfo(Rule* rule, int slot, const char* text) {
    if (!rule || slot < 0 || slot >= kRuleInfoSlots) return;
    qzFree(rule->info[slot]);
    rule->info[slot] = text ? qzStrDup(text, "rule info") : nullptr;
}

const char* GetRuleText(RuleText slot) {
    int i = static_cast<int>(slot);
    if (i < 0 || i >= static_cast<int>(RuleText::Count) || !g_ruleTextSet[i]) return nullptr;
    return g_ruleTextStore[i];
}

void LoadRuleTexts() {
    for (size_t i = 0; i < std::size(kRuleTextNames); ++i) {
        Rule* r = FindRule(kRuleTextNames[i]);
        g_ruleTextSet[i] = r && r->info[0];
        if (g_ruleTextSet[i]) snprintf(g_ruleTextStore[i], sizeof g_ruleTextStore[i], "%s", r->info[0]);
    }
    for (int k = 1; k <= 5; ++k) {
        struct {
            const char* format;
            Objective* slot;
        } kinds[] = {{"primary%d", &PrimaryObjectives[k - 1]}, {"secondary%d", &SecondaryObjectives[k - 1]}};
        for (auto& kind : kinds) {
            Rule* r = FindRulef(kind.format, k);
            if (!r) continue;
            kind.slot->number = r->count > 0 ? TruncateToInt32(r->values[0]) : 0;
            snprintf(kind.slot->text, sizeof kind.slot->text, "%s", r->info[0] ? r->info[0] : "");
        }
    }
}
