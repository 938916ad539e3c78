// Writer of the units file "app/units": one entry a line,
//     name dispatcher "game name" directory(KLASS KLASS)(CONSTRUCTFLAG);
// closed by "end". Texts are taken as UTF-8 and written in the game's code page.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace datakit {

struct UnitEntry {
    std::string name;       // the entry's name (and first rule prefix)
    std::string itfc;       // the object type's dispatcher name
    std::string gameName;   // shown to the player; written in double quotes
    std::string directory;  // below the object root
    std::vector<std::string> klass;  // klass names
    std::vector<std::string> flags;  // construct-flag names
    std::string comment;             // written as a comment line before the entry when not empty
};

// The text of a units file with the entries in order, ended by "end".
std::string UnitsFileText(const std::vector<UnitEntry>& entries);
// One entry's line (without the comment).
std::string UnitsFileLine(const UnitEntry& entry);
bool WriteUnitsFile(const std::string& path, const std::vector<UnitEntry>& entries);
// Writes a units file given as UTF-8 source text (data/app/units) in the game's code page, with "end"
// appended when the text has no line of its own holding it.
bool WriteUnitsText(const std::string& path, std::string_view utf8Source);

}  // namespace datakit
