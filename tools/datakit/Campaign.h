// Writers of the front end's small text files: the campaign progress file, the side campaign files
// "EMA.cpn" and "GA.cpn", the team list, the briefing texts and "credits.txt". All are word or line files
// in the game's encoding (Windows-1252, line feeds); the writers take UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace datakit {

// The campaign progress file: sections of a header word ("Ema_missions:"), entries of a mission and its
// mark ("1" won, anything else not yet), and "finale". Laid out as the game writes it: one line per
// header and entry, "finale" on its own line and an empty line after it.
struct ProgressEntry {
    std::string mission;
    std::string mark;  // written as given ("1", "0", or a malformed word for tests)
};
struct ProgressSection {
    std::string header;
    std::vector<ProgressEntry> entries;
    bool finale = true;  // false leaves the section without its "finale" (a cut file)
};
std::string ProgressText(const std::vector<ProgressSection>& sections);
bool WriteProgressFile(const std::string& path, const std::vector<ProgressSection>& sections);

// A side's campaign file: each mission name followed by its title, one pair a line. A quoted title is
// written in double quotes (it must hold neither a quote nor a backslash); an unquoted one is written as
// the word given.
struct CampaignTitle {
    std::string mission;
    std::string title;
    bool quoted = true;
};
std::string CampaignText(const std::vector<CampaignTitle>& titles);
bool WriteCampaignFile(const std::string& path, const std::vector<CampaignTitle>& titles);

// The team list: one entry a line, the team name, its logo's file name, red, green and blue (words, so
// tests can write malformed ones), any further words, and "end".
struct TeamListEntry {
    std::string name;
    std::string logo;
    std::string red, green, blue;
    std::vector<std::string> extra;
};
std::string TeamListText(const std::vector<TeamListEntry>& teams);
bool WriteTeamList(const std::string& path, const std::vector<TeamListEntry>& teams);

// A briefing text: words wrapped in the briefing box, a line feed starting a new line; "end" closes it.
bool WriteBriefingText(const std::string& path, std::string_view utf8);

// "credits.txt": lines, each a text line of the current block, "---CUT---" (ends the block), "end"
// (ends it and starts the file over) or "---SLIDE:<picture>" (a picture under Textures\credits).
std::string CreditsText(const std::vector<std::string>& lines);
// What the game cannot show of a credits text: a line of more than 63 characters, a block of more than
// 16 lines, a slide line after the first text line of a block (the reader drops the lines before it), or
// a character the reader takes apart (a double quote, a backslash, "/*"). Empty when fine.
std::string CreditsProblem(std::string_view text);
// Writes a credits text given as UTF-8 source; refuses (false) one with a problem, naming it on stderr.
bool WriteCreditsFile(const std::string& path, std::string_view utf8Source);

}  // namespace datakit
