// The on-screen message log and the chat line.
#pragma once

// 1 while the chat line holds the keyboard.
extern int ChatInputActive;

void ClearMessages();
void ClearMessageLog();
// Shows a message with the sender "system".
void ShowSystemMessage(const char* text);
// Counts down the display time of the oldest message.
void UpdateMessageLog(int ticks);
void DrawMessageLog();
void DrawChatInput();
// Reads typed keys into the chat line; ends chat input.
void ChatInputKeys();
void EndChatInput();
