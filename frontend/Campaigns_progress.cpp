// The campaign progress file's rewrite after a won mission: the entry of lastmap is marked won and lastmap
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

namespace {

void Line(std::string* out, const char* text) {
    out->append(text);
    out->push_back('\n');
}

// The new file's text from the old one's words: three sections, each its header, one entry per line with
// its mark as an integer, "finale" and an empty line. next starts as lastmap and ends as the mission
// after the first entry equal to it (unchanged when there is none, or when it was the very last entry).
void Rewrite(WordFile* f, std::string* out, char* next, size_t nextSize) {
    Line(out, f->Next());
    bool markNext = false;
    for (int section = 0; section < 3; ++section) {
        while (!f->Ended()) {
            char mission[kTokenSize];
            CopyField(mission, sizeof mission, f->Next());
            if (strcmp(mission, "finale") == 0) break;
            if (!markNext && strcmp(mission, next) == 0) {
                out->append(mission).append(" 1\n");
                f->Next();  // the old mark
                markNext = true;
                continue;
            }
            char entry[kTokenSize + 16];
            snprintf(entry, sizeof entry, "%s %d", mission, DecimalWord(f->Next()));
            Line(out, entry);
            if (markNext) {
                // The mission after the won one (mark-next is kept across sections).
                CopyField(next, nextSize, mission);
                markNext = false;
            }
        }
        out->append("finale\n\n");
        // The next section's header; an ended file gives it empty, so the file always has three.
        if (section < 2) Line(out, f->Next());
    }
}

void ReportFailure(const char* path) {
    char text[600];
    snprintf(text, sizeof text, "The campaign progress could not be saved: %s could not be written.", path);
    host::ShowMessageBox(text, "Karvonel", host::DialogKind::Notice);
}

}  // namespace

void WriteCampaignProgress() {
    char path[kRootSize + kConfigTextSize + 2];
    snprintf(path, sizeof path, "%s%c%s", CAMPAIGNROOT, kPathSeparator, lastgame);
    // Without a name there is no file to rewrite (the folder itself would be taken for it).
    if (!lastgame[0]) {
        ReportFailure(path);
        return;
    }
    std::string text;
    char next[kConfigTextSize];
    CopyField(next, sizeof next, lastmap);
    {
        WordFile f(path);
        Rewrite(&f, &text, next, sizeof next);
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
    CopyField(lastmap, sizeof lastmap, next);
}

void RecordCampaignProgress() {
    if (!CampaignProgressDue) return;
    CampaignProgressDue = 0;
    WriteCampaignProgress();
}
