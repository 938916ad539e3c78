// What the saved-game files share: the byte writer a save is composed in, the bounded reader a load
// checks the file with, and the records a load holds between checking the whole file and changing the
// running level.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "ai/DayEvents.h"
#include "game/SavedGame.h"

struct AUDef;
struct Clan;
struct ConstructPool;
struct construct;
struct matrix;
struct Unit;

namespace qzgm {

constexpr uint32_t kMagic = 0x4D475A51;  // "QZGM" read as a little-endian word
constexpr uint32_t kVersion = 118;
constexpr size_t kHeaderSize = 600;
constexpr int kReservedWords = 128;

enum ChunkType : uint32_t {
    kTileDefPool = 2,
    kSavedAU = 12,
    kSavedSharedPool = 13,
    kSavedDeadBodyPool = 14,
    kSavedWorldState = 15,
    kSavedClan = 16,
    kSavedTileField = 17,
    kSavedHLClan = 18,
};

// Why the last save failed or the last load was refused.
extern std::string Refusal;

// A save is composed in memory and written to disk in one checked step.
class Out {
public:
    void U32(uint32_t v);
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void F32(float v);
    void Raw(const void* p, size_t n);
    // A text in a zero-filled field; the text must fit with its terminator (callers check).
    void Text(const char* s, size_t field);
    void Zeros(size_t n);
    // Writes the chunk's type and a 0 size and returns where the size goes; End patches it.
    size_t Begin(uint32_t type);
    void End(size_t at);
    size_t Size() const { return bytes_.size(); }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    std::vector<uint8_t>& Bytes() { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

// Reads a saved game held in memory. The first fault is kept as the refusal text; after it every read
// gives zeros and moves nothing, so a check may run to its end and look at ok() once.
class In {
public:
    In(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    void Fail(const char* format, ...) __attribute__((format(printf, 2, 3)));
    size_t Pos() const { return pos_; }
    size_t Left() const { return ok() ? size_ - pos_ : 0; }
    uint32_t U32();
    int32_t I32() { return static_cast<int32_t>(U32()); }
    float F32();
    void Raw(void* out, size_t n);
    void Skip(size_t n);
    // A name field of n bytes that must hold its terminator; out gets n bytes.
    void Name(char* out, size_t n, const char* what);
    // A count of records of at least minBytes each that must fit in what is left.
    uint32_t Count(uint32_t minBytes, const char* what);
    // Limits reading to the next n bytes (a chunk's body); Leave checks that the body was read whole.
    void Enter(size_t n, const char* what);
    void Leave();

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    size_t outerSize_ = 0;
    const char* body_ = nullptr;
    std::string error_;
};

// ---- The saved construct record.

struct SavedBBoard {
    uint8_t colour[8];
    int32_t size1, size2;
    uint32_t option1, option2;
    uint32_t alpha, shade, fixedFrame, fixedColour;
    int32_t time, lastTime;
};

struct SavedSub {
    int32_t pos[3];
    int32_t orient[9];
    uint32_t typeWord;
    uint32_t shade;
    uint32_t byte0;
    std::vector<SavedBBoard> bboards;
};

struct SavedCon {
    int32_t pos[3];
    int32_t orient[9];
    uint32_t flags;
    uint32_t typeWord;
    uint32_t marker, shade, byte255, byte0, collisionClass;
    std::vector<uint8_t> itfcData;
    std::vector<SavedSub> subs;
    std::vector<SavedBBoard> bboards;
    std::vector<uint32_t> spots;  // two words per spot
    uint32_t toBeCaptured;
    uint32_t icon;
};

// Writes one record of the construct (its type's GETITFCDATA block included).
void WriteSavedCon(Out& out, construct* con);
// Reads one record's fields (no construct is touched).
void ParseSavedCon(In& in, SavedCon* rec);
// Refuses a record whose sub-construct, billboard or spot counts differ from the construct's.
void CheckSavedCon(In& in, const SavedCon& rec, construct* con);
// Puts a checked record into the construct: pose, bytes, type data, lists, busy level, activity, the two
// pool memberships and the kept flag bit.
void ReadCon(const SavedCon& rec, construct* con);

// ---- The chunks of a load, read and checked before anything changes.

struct UnitRef {  // a construct named by the action unit whose pool holds it and its index there
    char au[32];
    uint32_t index;
};

struct SavedWorldState {
    float secondsPerTick;
    int32_t missionWords[5];  // win countdown, lose countdown, two words, message countdown
    char missionMessage[64];
    int32_t waterLevel[4];
    int32_t waterMark[2];
    int32_t precipitation;
    float cloudSpeed, cloudValue;
    int32_t cloudAlpha, cloudWord, starAlpha, starWord, sceneryLighting, lightingWord;
    uint8_t waterColour[3], waterSpecularBias[3], caveFogColour[3], ambientLighting[4];
    int32_t windVector[3];
    float gameClock;
    int32_t sight[4];
    int32_t tfViewWord, restrictions, interfaceWord;
    char interfaceTexts[20][64];
    uint32_t hasPlayer;
    UnitRef player;
    int32_t objectiveStates[5][2];
    char objectiveTexts[5][2][64];
    int32_t cutSceneWords[2];
    std::vector<DayEvent> dayEvents[3];  // span, triggered, repeat
    std::vector<std::pair<std::string, int32_t>> variables;
    std::vector<std::string> ambientSources;
};

struct SavedTarget {
    uint32_t flag;
    UnitRef target;
};

struct SavedAUChunk {
    AUDef* au;
    uint32_t poolFlag;
    uint32_t placed;
    int32_t action[5];
    std::vector<SavedCon> units;
    std::vector<SavedTarget> targets;
};

struct SavedSharedPoolChunk {
    char name[64];
    std::vector<SavedCon> members;
};

struct SavedWreck {
    Unit* unit;
    SavedCon con;
};

struct SavedClanChunk {
    uint32_t index;
    uint32_t bytes[4];
    int32_t params[4];
    int32_t hostility[3];
};

struct SavedHLClanChunk {
    uint32_t index;
    std::vector<uint8_t> body;
};

struct SavedChunkRef {
    uint32_t type;
    size_t item;  // index into the list of its type
};

struct LoadPlan {
    std::vector<SavedChunkRef> order;
    std::vector<SavedWorldState> worldStates;
    std::vector<SavedAUChunk> aus;
    std::vector<SavedSharedPoolChunk> sharedPools;
    std::vector<std::vector<SavedWreck>> deadBodyPools;
    std::vector<SavedClanChunk> clans;
    std::vector<std::vector<uint8_t>> tileDefPools;  // chunk bodies
    std::vector<std::vector<std::vector<UnitRef>>> tileFields;  // lists in the writer's order
    std::vector<SavedHLClanChunk> hlClans;
};

// Reads every chunk behind the header and checks it against the running level. False (with the reason
// in in.error()) when the file is damaged or does not fit the level.
bool PlanLoad(In& in, LoadPlan* plan);
// Changes the running level to the plan; returns the construct the player drove, or null.
construct* ApplyLoad(const LoadPlan& plan);

// The chunk writers.
void WriteChunk_SavedWorldState(Out& out);
void WriteChunk_SavedAU(Out& out, AUDef* au);
void WriteChunk_SavedSharedPool(Out& out, const ConstructPool* pool);
void WriteChunk_SavedDeadBodyPool(Out& out, const ConstructPool* pool);
void WriteChunk_SavedClan(Out& out, const Clan* clan);
void WriteChunk_SavedTileField(Out& out, const matrix* m);
void WriteChunk_SavedHLClan(Out& out, int clanIndex);

// A temporary stream holding the bytes (for the readers that take a stream), rewound; null on failure.
// The caller closes it with fclose.
FILE* StreamOfBytes(const uint8_t* data, size_t size);
// Everything written to a temporary stream since it was opened.
bool BytesOfStream(FILE* f, std::vector<uint8_t>* out);

}  // namespace qzgm
