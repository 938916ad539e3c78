#include "tools/datakit/Campaign.h"

#include <cstdio>

#include "tools/datakit/Bytes.h"
#include "tools/datakit/RulesText.h"

namespace datakit {

std::string ProgressText(const std::vector<ProgressSection>& sections) {
    std::string out;
    for (const ProgressSection& s : sections) {
        out += s.header + "\n";
        for (const ProgressEntry& e : s.entries) out += e.mission + " " + e.mark + "\n";
        if (s.finale) out += "finale\n\n";
    }
    return ToWindows1252(out);
}

bool WriteProgressFile(const std::string& path, const std::vector<ProgressSection>& sections) {
    return WriteTextFile(path, ProgressText(sections));
}

std::string CampaignText(const std::vector<CampaignTitle>& titles) {
    std::string out;
    for (const CampaignTitle& t : titles)
        out += t.mission + " " + (t.quoted ? "\"" + t.title + "\"" : t.title) + "\n";
    return ToWindows1252(out);
}

bool WriteCampaignFile(const std::string& path, const std::vector<CampaignTitle>& titles) {
    return WriteTextFile(path, CampaignText(titles));
}

std::string TeamListText(const std::vector<TeamListEntry>& teams) {
    std::string out;
    for (const TeamListEntry& t : teams) {
        out += t.name + " " + t.logo + " " + t.red + " " + t.green + " " + t.blue;
        for (const std::string& w : t.extra) out += " " + w;
        out += " end\n";
    }
    return ToWindows1252(out);
}

bool WriteTeamList(const std::string& path, const std::vector<TeamListEntry>& teams) {
    return WriteTextFile(path, TeamListText(teams));
}

bool WriteBriefingText(const std::string& path, std::string_view utf8) {
    return WriteTextFile(path, ToWindows1252(utf8));
}

std::string CreditsText(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    return ToWindows1252(out);
}

std::string CreditsProblem(std::string_view text) {
    int lineNumber = 0, blockLines = 0;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(at, end - at);
        at = end + 1;
        ++lineNumber;
        char where[32];
        snprintf(where, sizeof where, "line %d: ", lineNumber);
        if (line.find('"') != std::string_view::npos || line.find('\\') != std::string_view::npos ||
            line.find("/*") != std::string_view::npos)
            return where + std::string("a double quote, backslash or comment the reader takes apart");
        if (line.size() > 63) return where + std::string("longer than 63 characters");
        if (line == "---CUT---" || line == "end") {
            blockLines = 0;
        } else if (line.substr(0, 9) == "---SLIDE:") {
            // The reader starts the block again after a slide line: the lines before it would be lost.
            if (blockLines > 0) return where + std::string("a slide line inside a block");
        } else if (++blockLines > 16) {
            return where + std::string("a block of more than 16 lines");
        }
    }
    return "";
}

bool WriteCreditsFile(const std::string& path, std::string_view utf8Source) {
    const std::string text = ToWindows1252(utf8Source);
    const std::string problem = CreditsProblem(text);
    if (!problem.empty()) {
        fprintf(stderr, "credits text %s: %s\n", path.c_str(), problem.c_str());
        return false;
    }
    return WriteTextFile(path, text);
}

}  // namespace datakit
