#include "tools/datakit/UnitsFile.h"

#include "tools/datakit/Bytes.h"
#include "tools/datakit/RulesText.h"

namespace datakit {

namespace {

std::string List(const std::vector<std::string>& names) {
    std::string out = "(";
    for (size_t i = 0; i < names.size(); ++i) out += (i ? " " : "") + names[i];
    return out + ")";
}

}  // namespace

std::string UnitsFileLine(const UnitEntry& e) {
    return e.name + "\t" + e.itfc + "\t\"" + e.gameName + "\"\t" + e.directory + List(e.klass) + List(e.flags) +
           ";\n";
}

std::string UnitsFileText(const std::vector<UnitEntry>& entries) {
    std::string text;
    for (const UnitEntry& e : entries) {
        if (!e.comment.empty()) text += "/* " + e.comment + " */\n";
        text += UnitsFileLine(e);
    }
    return ToWindows1252(text + "end\n");
}

bool WriteUnitsFile(const std::string& path, const std::vector<UnitEntry>& entries) {
    const std::string text = UnitsFileText(entries);
    return WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

bool WriteUnitsText(const std::string& path, std::string_view utf8Source) {
    std::string text(utf8Source);
    bool ended = false;
    size_t start = 0;
    while (start < text.size() && !ended) {
        size_t stop = text.find('\n', start);
        if (stop == std::string::npos) stop = text.size();
        std::string_view line(text.data() + start, stop - start);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) line.remove_suffix(1);
        ended = line == "end";
        start = stop + 1;
    }
    if (!ended) text += (text.empty() || text.back() == '\n' ? "" : "\n") + std::string("end\n");
    const std::string bytes = ToWindows1252(text);
    return WriteFile(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

}  // namespace datakit
