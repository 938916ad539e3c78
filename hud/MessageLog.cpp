// The message log, the archive of message files and the chat line. The log holds at most 8 lines, the
// oldest first; a plain text is split over lines half the screen wide, a message file is typed in at 50
// characters a second (its lines wrapped at words) while its speech plays.
#include "hud/MessageLog.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/Config.h"
#include "core/Files.h"
#include "core/Keys.h"
#include "core/Memory.h"
#include "core/Package.h"
#include "render/Overlay2D.h"
#include "hud/TFView.h"
#include "platform/Font.h"
#include "platform/ScreenVertex.h"
#include "platform/SoundFx.h"
#include "render/ScreenText.h"
#include "render/Sky.h"
#include "render/Viewport.h"
#include "world/Construct.h"
#include "world/Level.h"

int ChatInputActive = 0;
MessageLine MessageLog[kMessageLogLines];
int32_t MessageLogCount = 0;
ArchivedMessage MessageArchive[kMessageArchiveSize];
int32_t MessageArchiveCount = 0;

namespace {

constexpr int32_t kLogTextSize = 11;
constexpr int kLineChars = 127;
constexpr int kSenderChars = 30;
constexpr size_t kMaxMessageFile = 1 << 20;  // bytes read of a message file; the rest is not typed

// Typing of a message file: -1 none, 0 announced (the header comes next), else the offset in the file.
long TypingPosition = -1;
double LastTypingStep = 0.0;

struct ChatLine {
    void (*callback)(const char*, intptr_t);
    intptr_t user;
    char prompt[128];
    char text[128];
    int32_t length;
    uint8_t down[kKeyCodeCount];
    int32_t cursorX;  // -1 until the prompt was measured
};
ChatLine Chat;

// The log's text size for the length of a scope.
class LogTextSize {
public:
    LogTextSize() : was_(GetTextFont()), fontWas_(FontSize) { SetTextFont(kLogTextSize); }
    ~LogTextSize() {
        TextFont = was_;
        FontSize = fontWas_;
    }

private:
    int32_t was_;
    int32_t fontWas_;
};

int32_t Width(const std::string& text) { return TextWidth(text.c_str()); }

// A new line at the bottom of the log (the oldest goes when the log is full).
MessageLine& NewLine(const char* sender, const uint8_t colour[3], const char* text) {
    if (MessageLogCount >= kMessageLogLines) PopMessage();
    MessageLine& line = MessageLog[MessageLogCount++];
    std::memset(&line, 0, sizeof line);
    snprintf(line.sender, sizeof line.sender, "%s", sender);
    line.senderWidth = TextWidth(line.sender);
    for (int i = 0; i < 3; ++i) line.colour[i] = colour[i];
    snprintf(line.text, sizeof line.text, "%s", text);
    line.timer = kMessageLineTicks;
    return line;
}

// A line that goes on with the message file's text: no sender, the file's colour.
MessageLine& ContinuationLine() {
    uint8_t colour[3] = {255, 255, 255};
    if (MessageLogCount > 0) std::memcpy(colour, MessageLog[MessageLogCount - 1].colour, 3);
    return NewLine("", colour, "");
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool IsDelimiter(char c) {
    return std::strchr(";,=[]{}()*", c) != nullptr;
}

// The message file's text as it lies in the mission's text folder; false when it cannot be read.
bool ReadMessageFile(const char* name, std::string* out) {
    char path[512];
    snprintf(path, sizeof path, "%s%c%s%c%s", TEXTROOT, kPathSeparator, MissionName, kPathSeparator, name);
    if (!qzpk_exists(path)) return false;
    FILE* f = qzpk_fopen(path, "rb");
    if (!f) return false;
    out->clear();
    char buffer[4096];
    size_t n;
    while (out->size() < kMaxMessageFile && (n = qzpk_fread(buffer, 1, sizeof buffer, f)) > 0)
        out->append(buffer, std::min(n, kMaxMessageFile - out->size()));
    qzpk_fclose(f);
    return true;
}

// The next word of the header from pos: blanks skipped, then up to a blank or a delimiter (consumed).
std::string HeaderWord(const std::string& text, size_t* pos) {
    while (*pos < text.size() && IsBlank(text[*pos])) ++*pos;
    std::string word;
    while (*pos < text.size() && !IsBlank(text[*pos]) && !IsDelimiter(text[*pos])) {
        if (word.size() < 255) word += text[*pos];
        ++*pos;
    }
    if (*pos < text.size() && IsDelimiter(text[*pos])) ++*pos;
    return word;
}

// The header of a message file's text: the colour and the sender line (without its line end); the
// position after that line.
size_t SplitHeader(const std::string& text, uint8_t colour[3], std::string* sender) {
    size_t pos = 0;
    // Each number is taken as a byte; a number beyond the range of a long stops at its limit.
    for (int i = 0; i < 3; ++i) colour[i] = static_cast<uint8_t>(std::strtol(HeaderWord(text, &pos).c_str(), nullptr, 10));
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    const size_t end = text.find('\n', pos);
    *sender = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    if (!sender->empty() && sender->back() == '\r') sender->pop_back();
    return end == std::string::npos ? text.size() : end + 1;
}

// The header of a message file: the colour and the sender line make the message's first line.
void TypeHeader(const std::string& text) {
    uint8_t colour[3];
    std::string sender;
    const size_t end = SplitHeader(text, colour, &sender);
    sender.resize(std::min(sender.size(), size_t(kSenderChars)));
    const std::string field = "[" + sender + "] ";
    NewLine(field.c_str(), colour, "");
    TypingPosition = long(end);
}

// Types one character of the text at the typing position into the log.
void TypeCharacter(const std::string& text) {
    // The lines may have aged out while the file was typed (a fast game ages them quicker than the
    // clock types): the text goes on in a new line.
    if (MessageLogCount == 0) ContinuationLine();
    const char c = text[size_t(TypingPosition)];
    if (c == '\n') {
        ContinuationLine();
    } else if (c != '\r') {
        int32_t word = 0;
        if (c != ' ') {
            // The word that starts with c runs up to a blank, a tab, a line end or the end of the file.
            size_t end = size_t(TypingPosition) + 1;
            while (end < text.size() && !IsBlank(text[end])) ++end;
            word = Width(text.substr(size_t(TypingPosition), end - size_t(TypingPosition)));
        }
        MessageLine* line = &MessageLog[MessageLogCount - 1];
        // A line that is full goes on in the next one, like a line too wide.
        if (ScreenWidth / 2 - 20 < line->senderWidth + TextWidth(line->text) + word ||
            std::strlen(line->text) >= size_t(kLineChars))
            line = &ContinuationLine();
        const size_t length = std::strlen(line->text);
        line->text[length] = c;
        line->text[length + 1] = 0;
    }
    ++TypingPosition;
    MessageLog[MessageLogCount - 1].timer = kMessageLineTicks;
    if (TypingPosition >= long(text.size())) TypingPosition = -1;
}

// Types on the message file named by the newest archive entry: the header first, then as many
// characters as the time since the last step allows (all of them when finishing).
void TypeMessageFile(bool finish) {
    if (TypingPosition < 0 || MessageArchiveCount <= 0) return;
    LogTextSize size;
    std::string text;
    if (!ReadMessageFile(MessageArchive[MessageArchiveCount - 1].name, &text)) {
        TypingPosition = -1;  // a missing file types nothing
        return;
    }
    if (TypingPosition == 0) {
        TypeHeader(text);
        if (TypingPosition >= long(text.size())) TypingPosition = -1;
        if (!finish) return;
    }
    // The file may have become shorter since the last step.
    if (TypingPosition >= long(text.size())) TypingPosition = -1;
    const double now = TimerNow();
    long budget = finish ? long(text.size()) : long((now - LastTypingStep) / 2.0);
    while (TypingPosition > 0 && budget-- > 0) {
        TypeCharacter(text);
        LastTypingStep = now;
    }
}

void ShowPlainText(const char* text, const char* sender) {
    LogTextSize size;
    char field[40];
    snprintf(field, sizeof field, "%.*s ", kSenderChars, sender ? sender : "");
    static const uint8_t kWhite[3] = {255, 255, 255};
    int32_t width = TextWidth(text);
    const char* p = text;
    do {
        std::string line;
        while (*p && int(line.size()) < kLineChars) {
            line += *p++;
            if (Width(line) > ScreenWidth / 2) break;
        }
        NewLine(field, kWhite, line.c_str());
        width -= Width(line);
        // The widths of the lines may add up to less than the text's: the text running out ends it too.
    } while (width >= 1 && *p);
}

void StartMessageFile(const char* name) {
    if (MessageArchiveCount >= kMessageArchiveSize) {
        std::memmove(&MessageArchive[0], &MessageArchive[1], sizeof MessageArchive[0] * (kMessageArchiveSize - 1));
        MessageArchiveCount = kMessageArchiveSize - 1;
    }
    ArchivedMessage& a = MessageArchive[MessageArchiveCount++];
    snprintf(a.name, sizeof a.name, "%s", name);
    a.clock[0] = GameDay;
    a.clock[1] = GameHour;
    a.clock[2] = GameMinute;
    a.clock[3] = GameSecond;
    if (msg_mode != 0) {
        TypingPosition = 0;
        LastTypingStep = TimerNow();
    }
    if (msg_mode == 2) {
        PlayIncomingMessageSound();
        return;
    }
    // The speech: the mission's wave file of the same name.
    std::string speech = std::string(MissionName) + kPathSeparator + name;
    speech.replace(speech.size() - 4, 4, ".wav");
    PlayMessageSound(speech.c_str());
}

}  // namespace

void ClearMessages() {
    for (MessageLine& line : MessageLog) line.text[0] = 0;
    MessageLogCount = 0;
    MessageArchiveCount = 0;
    TypingPosition = -1;
}

void ClearMessageLog() {
    TypingPosition = -1;
    MessageLogCount = 0;
}

namespace {

void Show(const char* text, const char* sender) {
    if (TypingPosition != -1) TypeMessageFile(true);
    if (!std::strstr(text, ".txt"))
        ShowPlainText(text, sender);
    else
        StartMessageFile(text);
}

}  // namespace

void (*MessageEcho)(const char* sender, const char* text) = nullptr;

void ShowMessage(const char* text, const char* sender) {
    if (!text) return;
    DebugPrintf("%s %s\n", sender ? sender : "", text);
    if (MessageEcho) MessageEcho(sender ? sender : "", text);
    Show(text, sender);
}

void ShowSystemMessage(const char* text) {
    if (!text) return;
    DebugPrintf("system: %s\n", text);
    if (MessageEcho) MessageEcho("system", text);
    Show(text, "system");
}

void PopMessage() {
    if (MessageLogCount <= 0) return;
    if (MessageLogCount > 1) std::memmove(&MessageLog[0], &MessageLog[1], sizeof MessageLog[0] * (MessageLogCount - 1));
    --MessageLogCount;
}

void UpdateMessageLog(int ticks) {
    if (MessageLogCount <= 0) return;
    MessageLog[0].timer -= ticks;
    if (MessageLog[0].timer >= 1) return;
    PopMessage();
    if (MessageLogCount > 0) MessageLog[0].timer = kMessageLineTicks;
}

void DrawMessageLog() {
    LogTextSize size;
    const int32_t lineHeight = kLogTextSize + 4;
    int32_t y = ScreenHeight - 5;
    if (TypingPosition != -1) TypeMessageFile(false);
    uint8_t text[4] = {128, 128, 128, 128};
    uint8_t box[4] = {208, 0, 0, 160};
    if (MessageLogCount == 1 && MessageLog[0].timer < 32) {
        const int32_t t = MessageLog[0].timer > 0 ? MessageLog[0].timer : 0;
        box[3] = static_cast<uint8_t>(t * 2);
        for (int i = 0; i < 3; ++i) text[i] = static_cast<uint8_t>(t * 4);
    }
    const bool menuClosed = !PlayerCommMenu || PlayerCommMenu->open == 0;
    int32_t left = 0, right = ScreenWidth / 2;
    if (menuClosed && ScreenWidth != 640) {
        left = ScreenWidth / 4;
        right = ScreenWidth * 3 / 4;
    }
    if (MessageLogCount > 0) {
        const int32_t bottom = ScreenHeight - lineHeight * MessageLogCount - 5;
        FillRectAlpha2D(box, left, ScreenHeight, right, bottom);
        DrawRect2D(box, left, ScreenHeight, right, bottom);
    }
    for (int i = 0; i < MessageLogCount; ++i) {
        const MessageLine& line = MessageLog[i];
        const uint8_t colour[4] = {line.colour[0], line.colour[1], line.colour[2], line.colour[3]};
        SetTextColor(colour);
        DrawTextf(left + 10, y, "%s", line.sender);
        SetTextColor(text);
        DrawTextf(left + 10 + line.senderWidth, y, "%s", line.text);
        y -= lineHeight;
    }
}

void PlayFxSound(const char* name, int n) {
    SoundDesc desc{};
    if (!name || !LookupSound(&desc, "%s_fx_%d", name, n % 3)) return;
    if (!PlaySampleFor(&desc, kSoundPositional, 0, 0)) return;
    construct* followed = MainViewPort ? MainViewPort->follows : nullptr;
    if (!followed) return;
    static const int32_t kStill[3] = {0, 0, 0};
    dxgl_SetSoundPosition(&desc, followed->pos, kStill, 0, 0);
}

void BeginChatInput(void (*callback)(const char* text, intptr_t user), const char* prompt, intptr_t user) {
    if (ChatInputActive) return;
    ChatInputActive = 1;
    snprintf(Chat.prompt, sizeof Chat.prompt, "%s", prompt ? prompt : "");
    Chat.callback = callback;
    Chat.user = user;
    std::memset(Chat.down, 0, sizeof Chat.down);
    Chat.text[0] = 0;
    Chat.length = 0;
    Chat.cursorX = -1;
}

void EndChatInput() { ChatInputActive = 0; }

const char* ChatInputText() { return Chat.text; }

void ChatInputKeys() {
    if (!ChatInputActive) return;
    constexpr int kBackspace = 14, kDelete = 211, kReturn = 28, kEnter = 156, kShift = 276;
    for (int key : {kBackspace, kDelete})
        if (KeyStateByte(key) && !Chat.down[key] && Chat.length > 0) Chat.text[--Chat.length] = 0;
    if (!KeyStateByte(kReturn) && !KeyStateByte(kEnter)) {
        const bool shift = KeyStateByte(kShift) != 0;
        for (int code = 0; code < kKeyCodeCount; ++code) {
            if (!KeyStateByte(code)) {
                Chat.down[code] = 0;
                continue;
            }
            const uint8_t c = shift ? InvKeyChar(code) : KeyChar(code);
            if (Chat.length < kLineChars && c && !Chat.down[code]) {
                Chat.text[Chat.length++] = static_cast<char>(c);
                Chat.text[Chat.length] = 0;
            }
            Chat.down[code] = 1;
        }
        return;
    }
    ChatInputActive = 0;
    if (Chat.callback) Chat.callback(Chat.text, Chat.user);
}

void DrawChatInput() {
    if (!ChatInputActive) return;
    char prompt[160];
    snprintf(prompt, sizeof prompt, "%s >", Chat.prompt);
    DrawTextf(0, 20, "%s", prompt);
    if (Chat.cursorX < 0) Chat.cursorX = TextWidth(prompt) + 20;
    const char cursor = (static_cast<int64_t>(TimerNow()) & 16) ? '_' : ' ';
    DrawTextf(Chat.cursorX - 8, 20, "%s%c", Chat.text, cursor);
}

bool ReadMessageFileParts(const char* name, uint8_t colour[3], std::string* sender, std::string* body) {
    std::string text;
    if (!name || !ReadMessageFile(name, &text)) return false;
    *body = text.substr(SplitHeader(text, colour, sender));
    return true;
}
