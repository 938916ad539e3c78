// Writers of the configuration file "Vexa.cfg" and the paths file "app/paths".
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/datakit/RulesText.h"

namespace datakit {

// A configuration file: every key and the 50 bindings it carries, each with its default words; set()
// replaces the words of one line (text values are written quoted, so an empty text reads back empty).
class ConfigFile {
public:
    ConfigFile();
    ConfigFile& set(std::string_view key, std::initializer_list<RuleWord> words);
    ConfigFile& setText(std::string_view key, std::string_view text);
    // Drops a line (tests of a missing key).
    ConfigFile& remove(std::string_view key);
    std::string text() const;
    bool write(const std::string& path) const;
    // The 50 binding lines alone, as rule lines.
    std::string bindingRules() const;

private:
    struct Line {
        std::string key;
        std::string words;
        const char* section;
    };
    std::vector<Line> lines_;
};

// The bindings that the configuration does not carry (view modes, groups, units and the rest), as rule
// lines for "app/rules" or "default.qzk".
std::string OtherBindingRules();

// Every one of the 100 binding rules (those of a configuration and the others), ended with "end": the
// default bindings file "default.qzk".
std::string DefaultBindingsText(const ConfigFile& config);

// "app/paths": one root per line, "NAME:<TAB>folder" (folders without a trailing separator).
std::string PathsText(const std::vector<std::pair<std::string, std::string>>& roots);
bool WritePathsFile(const std::string& path, const std::vector<std::pair<std::string, std::string>>& roots);

}  // namespace datakit
