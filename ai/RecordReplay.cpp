// Record/replay is not built yet: no run is ever in progress.
#include "ai/RecordReplay.h"

int32_t RecordReplayActive = 0;
int32_t RecordReplayRunning = 0;
construct* RecordedConstruct = nullptr;
int32_t RecordReplaySkip = 0;
int32_t CutSceneCount = 0;

void CreateCutScene(AUDef* au) { (void)au; }
void DrawRecordReplayPanel() {}
void RecordReplay_frame() {}
void SendTrackedInput(construct* con, ControlInput* record) { (void)con, (void)record; }
void ReceiveTrackedInput(construct* con, const ControlInput* record) { (void)con, (void)record; }
