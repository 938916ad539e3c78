// The message log and the chat line are not built yet: messages are written to the debug print only.
#include "hud/MessageLog.h"

#include "core/Memory.h"

int ChatInputActive = 0;

void ClearMessages() {}
void ClearMessageLog() {}
void ShowSystemMessage(const char* text) { DebugPrintf("system: %s\n", text ? text : ""); }
void UpdateMessageLog(int ticks) { (void)ticks; }
void DrawMessageLog() {}
void DrawChatInput() {}
void ChatInputKeys() {}
void EndChatInput() {}
