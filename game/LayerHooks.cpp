// The calls that a lower floor makes up into a higher one, bound to the functions that answer them. Each
// hook is declared by the floor that calls it, which includes nothing of the floor that answers; the game,
// standing on every floor, binds them here. The bindings are the hooks' initial values, so they are in
// place from the program's start, for the game, the tools and the tests alike (a test may replace one).
// The hooks that only a running game needs (the fatal path closing the devices, the configuration's sound
// settings) are installed by InstallLayerHooks at start-up instead.
#include <cstdint>
#include <cstdio>

#include "ai/AUDef.h"
#include "ai/RecordReplay.h"
#include "frontend/Frontend.h"
#include "game/CutScenes.h"
#include "game/Level.h"
#include "game/Startup.h"
#include "game/WorldTick.h"
#include "hud/MousePtr.h"
#include "render/ScapeBoard.h"
#include "render/Sky.h"
#include "world/Construct.h"
#include "world/Player.h"
#include "world/Statics.h"
#include "world/WorldFile.h"

namespace {

// The world file's sky chunk: the level's one sky, built from the chunk's body.
int HasSky() { return WorldSkyCell ? 1 : 0; }
void ReadSky(const uint8_t* body, size_t size, const char* file) {
    WorldSkyCell = CreateSkyCell();
    BuildSkyFromChunk(body, size, file, WorldSkyCell);
}
// The world file's action unit chunks: a new action unit read from the stream.
void ReadWorldAUDef(int readerWord, int chunkSize, FILE* stream) {
    AUDef* def = CreateAUDef();
    ReadAUDef(def, readerWord, chunkSize, stream);
}

void RecordReplayMessage(const char* text) { CutSceneMessage("%s", text); }

}  // namespace

// world/
void (*ForgetCutSceneUnitHook)(construct* con) = ForgetCutSceneUnit;
void (*RefreshBoardTilesHook)(int32_t x0, int32_t z0, int32_t x1, int32_t z1) = RefreshBoardTiles;
void (*SetMousePtrPosHook)(int32_t x, int32_t y) = SetMousePtrPos;
WorldChunkReaders WorldChunkOwners = {HasSky, ReadSky, ReadWorldAUDef, StoreAUUnitData};
void (*GameFileCommandHook)(const char* name, int command) = GameFileCommand;

// frontend/
MenuGameCalls MenuGame = {OpenDisplay, CloseDevices, PumpMessages, StartRuleMusic, ReadQZGMHeader};

// ai/
RecordReplayGameCalls RecordReplayGame = {WorldTick, TakeCutSceneWorldState, SetCutSceneWorldState,
                                          RecordReplayMessage};
