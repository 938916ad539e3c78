// The message log and the chat line are not built yet: messages are written to the debug print only.
#include "hud/MessageLog.h"

#include "core/Memory.h"

int ChatInputActive = 0;

void ClearMessages() {}
void ClearMessageLog() {}
void ShowMessage(const char* text, const char* sender) {
  DebugPrintf("%s %s\n", sender ? sender : "", text ? text : "");
}
void PopMessage() {}
void PlayFxSound(const char* name, int n) { (void)name, (void)n; }
void BeginChatInput(void (*callback)(const char* text, intptr_t user), const char* prompt, intptr_t user) {
  (void)callback, (void)prompt, (void)user;
}
void ShowSystemMessage(const char* text) { DebugPrintf("system: %s\n", text ? text : ""); }
void UpdateMessageLog(int ticks) { (void)ticks; }
void DrawMessageLog() {}
void DrawChatInput() {}
void ChatInputKeys() {}
void EndChatInput() {}
