// The on-screen message log and the chat line.
#pragma once

#include <cstdint>

// 1 while the chat line holds the keyboard.
extern int ChatInputActive;

void ClearMessages();
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
void DrawMessageLog();
void DrawChatInput();
// Reads typed keys into the chat line; ends chat input.
void ChatInputKeys();
void EndChatInput();
