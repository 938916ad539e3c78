// A record/replay scene file "Cutscenes\Fuzz_f" loaded into a small level of the mission "Fuzz": the
// action unit "convoy" with two placed units of a type whose saved block is 8 bytes (checked: its first
// word must be below 1000). A file the load accepts replaces the scenes; it is then replayed from frame 0
// (every tracked unit fed its records, keyframes applied, the frame counter run to the end of the record,
// at most 20000 frames), and saved: loading the saved bytes must succeed and save the same bytes again.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ai/AUDef.h"
#include "ai/Clan.h"
#include "ai/RecordReplay.h"
#include "core/Config.h"
#include "fuzz/FuzzSupport.h"
#include "objects/UnitSaved.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Player.h"
#include "game/Startup.h"

namespace {

uint8_t g_block[8];

uintptr_t Fuzz_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    (void)con;
    if (method == ItfcMethod::GETNAME) return reinterpret_cast<uintptr_t>("Fuzz");
    if (method == ItfcMethod::GETITFCDATA) return CopyItfcDataBlock(g_block, sizeof g_block, "Fuzz", arg);
    if (method == ItfcMethod::SETITFCDATA) std::memcpy(g_block, reinterpret_cast<const void*>(arg), sizeof g_block);
    return 0;
}

const char* CheckFuzzBlock(const uint8_t* block, size_t size) {
    if (size != sizeof g_block) return "wrong size";
    uint32_t first;
    std::memcpy(&first, block, 4);
    return first < 1000 ? nullptr : "first word too large";
}

void BuildLevel() {
    snprintf(MissionName, sizeof MissionName, "%s", "Fuzz");
    snprintf(CUTSCENEROOT, sizeof CUTSCENEROOT, "%s", "Cutscenes");
    CreateClan("EMA");
    AUDef* au = CreateAUDef();
    snprintf(au->name, sizeof au->name, "%s", "convoy");
    au->pool = CreateConstructPool(2, "audef convoy pool");
    au->placed = 1;
    for (int i = 0; i < 2; ++i) {
        construct* con = CreateConstruct(1, 0x40000);
        con->itfc = Fuzz_itfc;
        AppendToConstructPool(au->pool, con);
    }
    SetSavedBlockCheck(Fuzz_itfc, CheckFuzzBlock);
    RecordReplayActive = 1;
    CreateCutScene(au);
}

void Replay() {
    const AUDef* au = NamedAUDef("convoy");
    RecordReplay_start(0);
    for (int frame = 0; frame < 20000 && RecordReplayRunning; ++frame) {
        for (int i = 0; i < au->pool->count; ++i) {
            ControlInput record;
            ClearInput(&record);
            SendTrackedInput(au->pool->constructs[i], &record);
        }
        RecordReplay_frame();
    }
    RecordReplay_stop();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    static bool once = [] {
        BuildLevel();
        return true;
    }();
    (void)once;
    kvfuzz::Mount("Cutscenes/Fuzz_f", data, size);
    kvfuzz::Run([&] {
        if (!LoadScene("f")) return;
        Replay();
        const std::vector<uint8_t> saved = SaveSceneBytes();
        if (LoadSceneBytes(saved.data(), saved.size()) != 1) std::abort();
        if (SaveSceneBytes() != saved) std::abort();
    });
    qzpk_close();
    return 0;
}
