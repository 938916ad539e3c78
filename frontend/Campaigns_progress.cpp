// The campaign progress file's rewrite after a won mission: the won mission's entry is marked and lastmap
// moves on to the entry after it, so that the campaign screens list one more mission and select it.
#include <cstdio>
#include <cstring>
#include <string>

#include "core/Config.h"
#include "frontend/Campaigns_local.h"
#include "frontend/Frontend.h"
#include "host/Dialog.h"
#include "host/Fs.h"

int32_t CampaignProgressDue = 0;
char CampaignProgressMission[64] = "";

namespace {

void Line(std::string* out, const char* text) {
    out->append(text);
    out->push_back('\n');
}

// The new file's text from the old one's words: three sections, each its header, one entry per line with
// its mark as an integer, "finale" and an empty line. The first entry equal to won is marked 1; next
// receives the entry after it (mark-next is kept across sections). Answers whether won was found.
bool Rewrite(WordFile* f, std::string* out, const char* won, char* next, size_t nextSize) {
    Line(out, f->Next());
    bool markNext = false;
    bool found = false;
    for (int section = 0; section < 3; ++section) {
        while (!f->Ended()) {
            char mission[kTokenSize];
            CopyField(mission, sizeof mission, f->Next());
            if (strcmp(mission, "finale") == 0) break;
            if (!found && strcmp(mission, won) == 0) {
                out->append(mission).append(" 1\n");
                f->Next();  // the old mark
                markNext = found = true;
                continue;
            }
            char entry[kTokenSize + 16];
            snprintf(entry, sizeof entry, "%s %d", mission, DecimalWord(f->Next()));
            Line(out, entry);
            if (markNext) {
                CopyField(next, nextSize, mission);
                markNext = false;
            }
        }
        out->append("finale\n\n");
        // The next section's header; an ended file gives it empty, so the file always has three.
        if (section < 2) Line(out, f->Next());
    }
    return found;
}

void ReportFailure(const char* path) {
    char text[600];
    snprintf(text, sizeof text, "The campaign progress could not be saved: %s could not be written.", path);
    host::ShowMessageBox(text, "Karvonel", host::DialogKind::Notice);
}

}  // namespace

namespace {

// Marks `won` in the progress file (CAMPAIGNROOT\lastgame) and moves lastmap on to the entry after it;
// a mission the file does not list leaves lastmap as it was, and so does a file that cannot be written.
void WriteProgressOf(const char* won) {
    char path[kRootSize + kConfigTextSize + 2];
    snprintf(path, sizeof path, "%s%c%s", CAMPAIGNROOT, kPathSeparator, lastgame);
    // Without a name there is no file to rewrite (the folder itself would be taken for it).
    if (!lastgame[0]) {
        ReportFailure(path);
        return;
    }
    std::string text;
    char wonName[kConfigTextSize];
    CopyField(wonName, sizeof wonName, won);
    char next[kConfigTextSize];
    CopyField(next, sizeof next, wonName);  // the last entry of all is followed by none: it stays
    bool found;
    {
        WordFile f(path);
        found = Rewrite(&f, &text, wonName, next, sizeof next);
    }
    // The file is replaced whole, or not at all: a failed write keeps the old file and leaves no
    // temporary one, and lastmap moves on only once the new file is in place.
    FILE* out = host::OpenFile(path, "w");
    if (!out) {
        ReportFailure(path);
        return;
    }
    if (fwrite(text.data(), 1, text.size(), out) != text.size()) {
        host::DiscardFile(out);
        ReportFailure(path);
        return;
    }
    if (host::CloseFile(out) != 0) {
        ReportFailure(path);
        return;
    }
    if (found) CopyField(lastmap, sizeof lastmap, next);
}

}  // namespace

void WriteCampaignProgress() { WriteProgressOf(lastmap); }

void RecordCampaignProgress() {
    if (!CampaignProgressDue) return;
    CampaignProgressDue = 0;
    // The mission that was played is the one won, whatever lastmap says: a saved game of another
    // mission may have been loaded, and a tutorial left from its menu never was lastmap.
    WriteProgressOf(CampaignProgressMission);
}
