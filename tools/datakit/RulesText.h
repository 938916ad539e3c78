// Writer of rules text: the syntax of "app/rules", the balance files, "default.qzk", the configuration
// and the menu and mission texts. The game reads these files as Windows-1252 text with line feeds; the
// writer takes UTF-8 and converts it (the degree sign becomes byte 0xB0).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace datakit {

// UTF-8 to Windows-1252; a character the code page lacks becomes '?'. Carriage returns are dropped.
std::string ToWindows1252(std::string_view utf8);

// One word of a rule line, already in the file's form.
struct RuleWord {
    std::string text;
};
RuleWord Num(double v);                 // a plain number, shortest form that reads back exactly as a float
RuleWord Deg(double degrees);           // an angle: the number followed by the degree sign
RuleWord Pct(double percent);           // a percentage: the number followed by '%'
RuleWord Hex(uint32_t v);               // "0x" and hexadecimal digits
RuleWord Info(std::string_view text);   // an info string, quoted (UTF-8 converted)
RuleWord Word(std::string_view text);   // a bare word as given (key and axis names)

// "name<TAB>word word ...;\n".
std::string RuleLine(std::string_view name, std::initializer_list<RuleWord> words);

// A rules file built line by line; text() ends it with "end".
class RulesFile {
public:
    RulesFile& comment(std::string_view utf8);
    RulesFile& blank();
    RulesFile& rule(std::string_view name, std::initializer_list<RuleWord> words);
    RulesFile& raw(std::string_view utf8);
    std::string text() const;
    bool write(const std::string& path) const;

private:
    std::string body_;
};

// Writes a rules text given as UTF-8 source (data/ files) in the game's encoding.
bool WriteRulesText(const std::string& path, std::string_view utf8Source);

}  // namespace datakit
