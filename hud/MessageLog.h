// The on-screen message log and the chat line.
//
// The log shows the last lines of mission messages, AI reports, chat and system notices in a translucent
// box at the top of the main view; a line stays about five seconds after the one before it went. A
// message is a plain text with a sender, or the name of a message file of the mission (a colour, a
// sender line and a text) that is typed into the log while its recorded speech plays; the last 20
// message files are archived. The chat line is a one-line text input near the bottom of the screen.
#pragma once

#include <cstdint>
#include <string>

// 1 while the chat line holds the keyboard.
extern int ChatInputActive;

constexpr int kMessageLogLines = 8;
constexpr int kMessageArchiveSize = 20;
constexpr int32_t kMessageLineTicks = 500;

// One line of the log.
struct MessageLine {
    char text[128];
    char sender[32];       // formatted: "%s " for plain texts, "[%s] " for message files, "" for more lines
    int32_t senderWidth;   // pixels at the log's text size
    uint8_t colour[4];     // R, G, B of the sender; the fourth byte 0
    int32_t timer;         // ticks; only the oldest line's runs
};
extern MessageLine MessageLog[kMessageLogLines];
extern int32_t MessageLogCount;

// One archived message file: its name and the game clock (day, hour, minute, second) when it came.
struct ArchivedMessage {
    char name[64];
    int32_t clock[4];
};
extern ArchivedMessage MessageArchive[kMessageArchiveSize];
extern int32_t MessageArchiveCount;

// Called with every message shown (its sender and text) when set: a headless run writes them out, so that
// what a player would read can be checked.
extern void (*MessageEcho)(const char* sender, const char* text);

// Empties every line, drops them all, empties the archive and stops typing (a level is built).
void ClearMessages();
// Stops typing and drops every line (a level is torn down, a saved game is read).
void ClearMessageLog();
// Shows a text (or, when it names a ".txt" file, a typed message file with its speech) under a sender label.
void ShowMessage(const char* text, const char* sender);
// Drops the oldest entry of the log.
void PopMessage();
// Plays the sound rule "<name>_fx_<n mod 3>" when it exists.
void PlayFxSound(const char* name, int n);
// Opens the text-input line with a prompt when it is closed; Enter hands the text and the user value to the callback.
void BeginChatInput(void (*callback)(const char* text, intptr_t user), const char* prompt, intptr_t user);
// Shows a message with the sender "system".
void ShowSystemMessage(const char* text);
// Counts down the display time of the oldest message.
void UpdateMessageLog(int ticks);
// Types on a message file and draws the log (once per frame over the main view).
void DrawMessageLog();
// Draws the chat line while it is open.
void DrawChatInput();
// Reads typed keys into the chat line while it is open; closes it.
void ChatInputKeys();
void EndChatInput();
// The chat line's text while it is open.
const char* ChatInputText();
// A message file of the mission split into its colour (the first three numbers), its sender line and the
// text after that line (read up to 1 MiB); false when it cannot be read.
bool ReadMessageFileParts(const char* name, uint8_t colour[3], std::string* sender, std::string* body);
