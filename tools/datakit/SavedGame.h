// Saved games ("QZGM", version 118): the header, the chunk framing and the bodies of the chunks that
// tests and the fuzz seeds compose; and the split of a file into its chunks, for tests that change one
// field of a file the game wrote.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/datakit/Bytes.h"

namespace datakit {

struct SavedGameChunk {
    uint32_t type = 0;
    std::vector<uint8_t> body;
    std::optional<uint32_t> size;  // override of the size field
};

struct SavedGame {
    uint32_t magic = 0x4D475A51;  // "QZGM"
    uint32_t version = 118;
    std::string mission;
    std::array<uint32_t, 2> worldDate{};   // low, high
    std::array<uint32_t, 2> scriptDate{};
    std::vector<SavedGameChunk> chunks;

    std::vector<uint8_t> Bytes() const;
    // The byte offset of chunk n's header in Bytes().
    size_t ChunkOffset(size_t n) const;
};

// Splits a saved game into its header and chunks; false when the framing does not hold.
bool SplitSavedGame(const std::vector<uint8_t>& bytes, SavedGame* out);

// A billboard entry and a saved construct record.
struct SavedBBoardEntry {
    std::array<uint8_t, 8> colour{255, 255, 255, 255, 255, 255, 255, 255};
    int32_t size1 = 0, size2 = 0;
    uint32_t option1 = 0, option2 = 0;
    uint32_t alpha = 255, shade = 255, fixedFrame = 255, fixedColour = 0;
    int32_t time = 0, lastTime = 0;
};
struct SavedSubEntry {
    std::array<int32_t, 3> pos{};
    std::array<int32_t, 9> orient{32768, 0, 0, 0, 32768, 0, 0, 0, 32768};
    uint32_t typeWord = 0, shade = 255, byte0 = 0;
    std::vector<SavedBBoardEntry> bboards;
};
struct SavedConRecord {
    std::array<int32_t, 3> pos{};
    std::array<int32_t, 9> orient{32768, 0, 0, 0, 32768, 0, 0, 0, 32768};
    uint32_t flags = 0, typeWord = 0;
    uint32_t marker = 255, shade = 255, byte255 = 255, byte0 = 0, collisionClass = 0;
    std::vector<uint8_t> itfcData{0};
    std::vector<SavedSubEntry> subs;
    std::vector<SavedBBoardEntry> bboards;
    std::vector<std::array<uint32_t, 2>> spots;
    uint32_t toBeCaptured = 0, icon = 0;
};
void PutSavedCon(Bytes& b, const SavedConRecord& c);

// A unit named by its action unit and index (32-byte name, u32 index).
struct SavedUnitRef {
    std::string au;
    uint32_t index = 0;
};

// The world state with every word zero but those given.
struct SavedWorldStateBody {
    float secondsPerTick = 0.6f;
    float cloudSpeed = 0.0f;
    int32_t cloudAlpha = 0, starAlpha = 0;  // 0 .. 65280
    std::array<int32_t, 3> wind{};          // "wind_vector", three words
    std::array<int32_t, 4> waterLevel{};
    std::optional<SavedUnitRef> player;
    std::array<int32_t, 2> dayEventCursors{};  // the timed and the daily cursor
    std::array<std::vector<std::array<uint8_t, 352>>, 3> dayEvents;  // raw records
    std::vector<std::pair<std::string, float>> variables;
    std::vector<std::string> ambientSources;
};
std::vector<uint8_t> SavedWorldStateChunkBody(const SavedWorldStateBody& w);

struct SavedAUUnit {
    SavedConRecord con;
    std::optional<SavedUnitRef> target;
};
struct SavedAUBody {
    std::string name;
    uint32_t poolFlag = 1;
    uint32_t placed = 1;
    std::array<int32_t, 5> action{};
    std::vector<SavedAUUnit> units;
};
std::vector<uint8_t> SavedAUChunkBody(const SavedAUBody& a);

std::vector<uint8_t> SavedSharedPoolChunkBody(const std::string& pool, const std::vector<SavedConRecord>& members);
std::vector<uint8_t> SavedDeadBodyPoolChunkBody(const std::vector<std::pair<std::string, SavedConRecord>>& wrecks);

struct SavedClanBody {
    uint32_t index = 0;
    std::array<uint32_t, 4> bytes{};
    std::array<int32_t, 4> params{};
    std::array<int32_t, 3> hostility{};
};
std::vector<uint8_t> SavedClanChunkBody(const SavedClanBody& c);

// The tile lists in the writer's order, each a list of units.
std::vector<uint8_t> SavedTileFieldChunkBody(const std::vector<std::vector<SavedUnitRef>>& lists);
std::vector<uint8_t> SavedHLClanChunkBody(uint32_t clan, const std::vector<uint8_t>& state);

// A clan's high-level AI (the state of a SAVEDHLCLAN chunk behind the clan index), all words as given:
// an agent without a unit is written as the absent reference; a thread's body follows its head as raw
// words (a camp thread: three per agent, its camp points), then as raw bytes (see SavedHLBody).
struct SavedHLThread {
    int32_t type = 0;
    int32_t serial = 0;
    std::vector<uint32_t> agents;  // indices into the clan's agents
    std::vector<uint32_t> body;
    std::vector<uint8_t> raw;      // after the body's words
};

// The parts of a thread's body beyond plain words, in the order the caller adds them.
class SavedHLBody {
public:
    SavedHLBody& u32(uint32_t v) { return b_.u32(v), *this; }
    SavedHLBody& i32(int32_t v) { return b_.i32(v), *this; }
    SavedHLBody& u8(uint8_t v) { return b_.u8(v), *this; }
    // A unit reference: absent, or the action unit's 32-byte name and the unit's index.
    SavedHLBody& unit(const std::optional<SavedUnitRef>& ref);
    // A way point list's stream form: absent, or its count (the points' unless given), capacity and points.
    SavedHLBody& way(const std::optional<std::vector<std::array<int32_t, 3>>>& points, uint32_t capacity,
                     std::optional<uint32_t> count = std::nullopt);
    // A 32-byte name field (terminated unless told not to).
    SavedHLBody& name(std::string_view text, bool terminate = true);
    const std::vector<uint8_t>& bytes() const { return b_.data(); }

private:
    Bytes b_;
};
struct SavedHLClanState {
    uint32_t serialCounter = 0;
    uint32_t playerFlag = 0;
    std::vector<int32_t> hostility{0, 0, 0};
    std::vector<int32_t> damage{0, 0, 0};
    std::vector<std::optional<SavedUnitRef>> agents;
    std::vector<uint32_t> standBy;
    int32_t manual = -1;
    std::vector<SavedHLThread> threads;
    std::vector<std::vector<int32_t>> chains;  // per agent, thread indices; the closing -1 is added
    std::optional<uint32_t> agentCount, threadCount;  // overrides of the counts written
};
std::vector<uint8_t> SavedHLClanStateBytes(const SavedHLClanState& s);

}  // namespace datakit
