#include "tools/datakit/RulesText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/datakit/Bytes.h"

namespace datakit {

namespace {

// Windows-1252 bytes 0x80-0x9F and the characters they stand for.
constexpr uint32_t kHighTable[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                     0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char FromCodePoint(uint32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
    for (int i = 0; i < 32; ++i)
        if (kHighTable[i] == cp) return static_cast<char>(0x80 + i);
    return '?';
}

std::string Shortest(double v) {
    char buf[64];
    bool found = false;
    // Plain decimals where they can say it; an exponent only for very small or very large numbers.
    for (int decimals = 0; decimals <= 9 && !found; ++decimals) {
        snprintf(buf, sizeof buf, "%.*f", decimals, v);
        found = static_cast<float>(strtod(buf, nullptr)) == static_cast<float>(v) && strlen(buf) < 24;
    }
    if (!found) snprintf(buf, sizeof buf, "%.9g", v);
    // A number word must begin with a digit or a sign: ".5" would read as text.
    std::string s = buf;
    if (s[0] == '.') s = "0" + s;
    return s;
}

}  // namespace

std::string ToWindows1252(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        uint32_t cp;
        size_t len;
        if (c < 0x80) { cp = c; len = 1; }
        else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; len = 2; }
        else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; len = 3; }
        else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; len = 4; }
        else { out += '?'; ++i; continue; }
        if (i + len > s.size()) { out += '?'; break; }
        for (size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        i += len;
        if (cp == '\r') continue;
        out += FromCodePoint(cp);
    }
    return out;
}

RuleWord Num(double v) { return {Shortest(v)}; }
RuleWord Deg(double degrees) { return {Shortest(degrees) + "\xB0"}; }
RuleWord Pct(double percent) { return {Shortest(percent) + "%"}; }
RuleWord Hex(uint32_t v) {
    char buf[16];
    snprintf(buf, sizeof buf, "0x%X", v);
    return {buf};
}
RuleWord Info(std::string_view text) { return {"\"" + ToWindows1252(text) + "\""}; }
RuleWord Word(std::string_view text) { return {ToWindows1252(text)}; }

std::string RuleLine(std::string_view name, std::initializer_list<RuleWord> words) {
    std::string line(name);
    line += '\t';
    bool first = true;
    for (const auto& w : words) {
        if (!first) line += ' ';
        line += w.text;
        first = false;
    }
    line += ";\n";
    return line;
}

RulesFile& RulesFile::comment(std::string_view utf8) {
    body_ += "/* " + ToWindows1252(utf8) + " */\n";
    return *this;
}
RulesFile& RulesFile::blank() {
    body_ += "\n";
    return *this;
}
RulesFile& RulesFile::rule(std::string_view name, std::initializer_list<RuleWord> words) {
    body_ += RuleLine(name, words);
    return *this;
}
RulesFile& RulesFile::raw(std::string_view utf8) {
    body_ += ToWindows1252(utf8);
    return *this;
}
std::string RulesFile::text() const { return body_ + "\nend\n"; }
bool RulesFile::write(const std::string& path) const { return WriteTextFile(path, text()); }

bool WriteRulesText(const std::string& path, std::string_view utf8Source) {
    return WriteTextFile(path, ToWindows1252(utf8Source));
}

}  // namespace datakit
