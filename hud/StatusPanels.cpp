// The status map (the mission's objectives and the task force's state, or the multiplayer table) and the
// archive map (the archived message files, one per page). Sizes and heights scale with the screen width
// by k = width / 800.
#include <cstring>
#include <string>

#include "ai/Clan.h"
#include "core/Rules.h"
#include "hud/MapPanels.h"
#include "hud/MapPanels_local.h"
#include "hud/MessageLog.h"
#include "render/Overlay2D.h"
#include "hud/TFView.h"
#include "objects/Itfc.h"
#include "objects/UnitShare.h"
#include "objects/Units.h"
#include "platform/Font.h"
#include "platform/ScreenVertex.h"
#include "render/ScreenText.h"
#include "world/ConstructPool.h"
#include "world/Level.h"
#include "world/Player.h"
#include "world/WorldTick.h"

namespace {

const uint8_t kPanelBox[4] = {30, 30, 180, 100};
const uint8_t kArchiveBox[4] = {180, 30, 30, 100};
const uint8_t kBlue[4] = {64, 64, 240, 0};
const uint8_t kWhite[4] = {240, 240, 240, 0};
const uint8_t kFailedRed[4] = {240, 0, 0, 0};
const uint8_t kDoneGreen[4] = {0, 240, 0, 0};
const uint8_t kArchiveWhite[4] = {255, 255, 255, 128};

float K() {
    return static_cast<float>(ScreenWidth) * 0.00125f;
}
int32_t Scaled(float v) {
    return static_cast<int32_t>(v * K());
}

const char* Text(RuleText slot) {
    const char* t = GetRuleText(slot);
    return t ? t : "";
}

// The first text of a rule, or "" when the rule or its text is missing.
const char* RuleTextOf(const char* name) {
    const Rule* r = FindRule(name);
    return r && r->info[0] ? r->info[0] : "";
}

// The symbols over a page when the mission shows them (restriction bit 0x20).
void PageSymbols(TFView* view) {
    if (PlayerRestrictions & 0x20) DrawSymbolSets(view, FullScreenMapFrame(), false);
}

// The five objectives of a table: each one's name and its state's text, two rows per objective from
// nameY down by 40 (scaled); an unused objective ("NONE", or a state below -1) leaves its rows empty.
void Objectives(const Objective* table, float nameY) {
    for (int i = 0; i < 5; ++i) {
        const Objective& o = table[i];
        if (o.number < -1 || std::strcmp(o.text, "NONE") == 0) continue;
        SetTextColor(kWhite);
        DrawTextf(50, Scaled(nameY - 40.0f * i), "%s", o.text);
        const char* state = "Obj_not_accomplished";
        if (o.number == -1) {
            SetTextColor(kFailedRed);
            state = "Obj_failed";
        } else if (o.number != 0) {
            SetTextColor(kDoneGreen);
            state = "Obj_accomplished";
        }
        DrawTextf(50, Scaled(nameY - 15.0f - 40.0f * i), "%s", RuleTextOf(state));
    }
}

void UnitStatus() {
    SetTextColor(kBlue);
    SetTextFont(Scaled(20));
    DrawTextf3(ScreenWidth - Scaled(108), ScreenHeight - 45, "%s", Text(RuleText::UnitStatus_text));
    SetTextFont(Scaled(13));
    SetTextColor(kWhite);
    int32_t kills = 0;
    const ConstructPool* pool = PlayerClan ? PlayerClan->pool : nullptr;
    for (int i = 0; pool && i < pool->count; ++i) {
        construct* unit = pool->constructs[i];
        const UnitShare* rec = GetUnitShare(unit);
        const auto* state = reinterpret_cast<const StateRecord*>(CallItfc(unit, ItfcMethod::GETSTATE));
        const auto* maxima = reinterpret_cast<const MaximaRecord*>(CallItfc(unit, ItfcMethod::GETMAXIMA));
        const int32_t unitKills = rec ? rec->killCount : 0;
        kills += unitKills;
        const float y = 480.0f - 70.0f * i;
        const char* name = UnitGameNameOf(unit);
        DrawTextf(Scaled(635), Scaled(y), "%d %s", i + 1, name[0] ? name : UnitNameOf(unit));
        DrawTextf(Scaled(635), Scaled(y - 15), "%s: %d", Text(RuleText::SingleKills_text), unitKills);
        if (!state || !maxima) continue;
        DrawTextf(Scaled(635), Scaled(y - 30), "%s: %d(%d)", Text(RuleText::ShieldShort_text), state->shield,
                  maxima->shield);
        DrawTextf(Scaled(635), Scaled(y - 45), "%s: %d(%d)", Text(RuleText::StrengthShort_text),
                  state->structure, maxima->structure);
    }
    DrawTextf(Scaled(635), Scaled(510), "%s: %d", Text(RuleText::TotalKills_text), kills);
}

void MultiplayerStatus() {
    SetTextColor(kBlue);
    SetTextFont(Scaled(20));
    DrawTextf3(ScreenHeight / 2, ScreenHeight - 20, "Multiplayer Status");
    SetTextFont(Scaled(13));
    for (int i = 0; i < PlayerCount; ++i) {
        const PlayerCell* p = PlayerTable[i];
        if (!p) continue;
        SetTextColor(p == OwnPlayer ? kBlue : kWhite);
        const int32_t x = static_cast<int32_t>(static_cast<float>((i + 2) * ScreenWidth) * 0.1f);
        DrawTextf(x, static_cast<int32_t>(ScreenHeight * 0.55f), "%s", p->name);
        DrawTextf(x, static_cast<int32_t>(ScreenHeight * 0.5f), "Frags: %d", p->frags);
        DrawTextf(x, static_cast<int32_t>(ScreenHeight * 0.45f), "Deaths: %d", p->deaths);
    }
}

bool IsWordEnd(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || static_cast<unsigned char>(c) == 0xCD;
}

// The message's text in white, word by word from (x, y): a line end starts a new line at x 50, and a
// word that would pass the box's right margin starts one too.
void ArchiveBody(const std::string& body, int32_t x, int32_t y, int32_t step) {
    const int32_t margin = static_cast<int32_t>(ScreenWidth * 0.75f) - 25;
    const int32_t space = TextWidth(" ");
    SetTextColor(kArchiveWhite);
    size_t pos = 0;
    std::string word;
    while (pos < body.size()) {
        const char c = body[pos];
        if (c == '\n') {
            x = 50;
            y -= step;
            ++pos;
            continue;
        }
        if (IsWordEnd(c)) {
            ++pos;
            continue;
        }
        word.clear();
        while (pos < body.size() && !IsWordEnd(body[pos]) && word.size() < kScreenTextBufferSize - 1)
            word += body[pos++];
        while (pos < body.size() && !IsWordEnd(body[pos])) ++pos;  // past what a text line can hold
        const int32_t width = TextWidth(word.c_str());
        if (x > 50 && x + width > margin) {
            x = 50;
            y -= step;
        }
        DrawTextf(x, y, "%s", word.c_str());
        x += width + space;
    }
}

}  // namespace

void DrawObjectivesPanel(TFView* view) {
    if (!view) return;
    const int32_t before = GetTextFont();
    DrawPageSurface(view->pageSurface[kStatusMap]);
    PageSymbols(view);
    const int32_t W = ScreenWidth, H = ScreenHeight;
    FillRectAlpha2D(kPanelBox, 30, 30, static_cast<int32_t>(W * 0.75f) - 15, H - 30);
    FillRectAlpha2D(kPanelBox, static_cast<int32_t>(W * 0.75f) + 15, 30, W - 30, H - 30);
    if (MultiplayerOn) {
        MultiplayerStatus();
    } else {
        SetTextColor(kBlue);
        SetTextFont(Scaled(20));
        DrawTextf3(Scaled(300), H - 45, "%s", Text(RuleText::MissionStatus_text));
        SetTextFont(Scaled(15));
        DrawTextf(50, Scaled(520), "%s", Text(RuleText::Obj_primary));
        SetTextFont(Scaled(13));
        Objectives(PrimaryObjectives, 490.0f);
        SetTextColor(kBlue);
        SetTextFont(Scaled(15));
        DrawTextf(50, Scaled(270), "%s", Text(RuleText::Obj_secondary));
        SetTextFont(Scaled(13));
        Objectives(SecondaryObjectives, 240.0f);
        UnitStatus();
    }
    SetTextFont(before);
}

void DrawMapPanel(TFView* view) {
    if (!view) return;
    const int32_t before = GetTextFont();
    DrawPageSurface(view->pageSurface[kArchiveMap]);
    PageSymbols(view);
    const int32_t W = ScreenWidth, H = ScreenHeight;
    FillRectAlpha2D(kArchiveBox, 30, 30, static_cast<int32_t>(W * 0.75f) - 15, H - 30);
    SetTextColor(kArchiveWhite);
    SetTextFont(Scaled(13));
    const int32_t step = GetTextFont() + Scaled(4);
    int32_t y = H - 50;
    if (view->archiveIndex == -1) {
        if (MessageArchiveCount <= 0) {
            DrawTextf(50, y, "%s", Text(RuleText::NoMessages_text));
            SetTextFont(before);
            return;
        }
        view->archiveIndex = MessageArchiveCount - 1;
    }
    // An index outside the archive (it shrank since the page was turned) shows the newest message.
    if (view->archiveIndex < 0 || view->archiveIndex >= MessageArchiveCount)
        view->archiveIndex = MessageArchiveCount - 1;
    if (view->archiveIndex < 0) {
        SetTextFont(before);
        return;
    }
    const ArchivedMessage& m = MessageArchive[view->archiveIndex];
    DrawTextf(50, y, "%s #%d (%d)", Text(RuleText::MessageNo_text), view->archiveIndex + 1,
              MessageArchiveCount);
    DrawTextf2(static_cast<int32_t>(W * 0.75f) - 25, y, "%s", Text(RuleText::PageTurn_text));
    y -= step;
    DrawTextf(50, y, "%s %02d:%02d", Text(RuleText::MessageTime_text), m.clock[1], m.clock[2]);
    y -= 2 * step;
    uint8_t colour[3];
    std::string title, body;
    if (ReadMessageFileParts(m.name, colour, &title, &body)) {
        const uint8_t titleColour[4] = {colour[0], colour[1], colour[2], 128};
        title += ' ';
        SetTextColor(titleColour);
        DrawTextf(50, y, "%s", title.c_str());
        ArchiveBody(body, 50 + TextWidth(title.c_str()), y, step);
    }
    SetTextFont(before);
}
