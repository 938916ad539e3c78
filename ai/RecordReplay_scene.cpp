// Scene files: the cut scenes of a mission in the file "<CUTSCENEROOT>\<mission>_<name>", little-endian:
// the magic "stuc", the scene count, then per scene the action unit's 64-byte name and one track per unit
// of the action unit (segment count, then the segments: keyframe, data copy, input capacity and count,
// the control records).
//
// A load reads and checks the whole file before it touches the level: every size against the bytes
// left, each name terminated and naming a placed action unit, at most 32 scenes and 64 segments a track,
// input counts within their capacity, data copies of the unit's own block size that the unit's type
// accepts, keyframe values within their ranges. Only a file that passes replaces the scenes.
#include <cstdio>
#include <cstring>
#include <vector>

#include "ai/AUDef.h"
#include "ai/DayEvents.h"
#include "ai/RecordReplay.h"
#include "ai/RecordReplay_local.h"
#include "core/Config.h"
#include "core/FixMath.h"
#include "core/Memory.h"
#include "core/Package.h"
#include "host/Fs.h"
#include "objects/Itfc.h"
#include "objects/UnitSaved.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Player.h"
#include "world/Level.h"

namespace {

constexpr uint32_t kSceneMagic = 0x63757473;  // "stuc" on disk
constexpr size_t kNameBytes = 64;
constexpr size_t kSegmentHead = 104;  // start frame .. data length
constexpr int32_t kSkyMaximum = 65280;
constexpr size_t kMaxSceneFile = size_t(1) << 30;

struct StagedSeg {
    TrackSeg head;  // the fixed fields (no lists)
    std::vector<uint8_t> data;
    int32_t capacity = 0;
    std::vector<ControlInput> inputs;
};

struct StagedScene {
    AUDef* au = nullptr;
    std::vector<std::vector<StagedSeg>> tracks;
};

struct In {
    const uint8_t* p;
    size_t size;
    size_t pos = 0;
    bool ok = true;

    size_t Left() const { return size - pos; }
    bool Need(size_t n) {
        if (!ok || n > Left()) ok = false;
        return ok;
    }
    uint32_t U32() {
        if (!Need(4)) return 0;
        const uint8_t* b = p + pos;
        pos += 4;
        return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    int16_t I16() {
        if (!Need(2)) return 0;
        const uint8_t* b = p + pos;
        pos += 2;
        return static_cast<int16_t>(uint16_t(b[0] | b[1] << 8));
    }
};

struct Out {
    std::vector<uint8_t> bytes;
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(v >> (8 * i)));
    }
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void I16(int16_t v) {
        bytes.push_back(uint8_t(uint16_t(v)));
        bytes.push_back(uint8_t(uint16_t(v) >> 8));
    }
};

// The byte size of the unit's data block as its GETITFCDATA reports it (0 when it gives none).
int32_t BlockSizeOf(construct* unit) {
    int32_t size = 0;
    void* copy = reinterpret_cast<void*>(CallItfc(unit, ItfcMethod::GETITFCDATA, reinterpret_cast<uintptr_t>(&size)));
    if (!copy) return 0;
    qzFree(copy);
    return static_cast<int32_t>(size);
}

bool InRange(int32_t v, int32_t low, int32_t high) { return v >= low && v <= high; }

bool ReadSegment(In& in, construct* unit, int32_t blockSize, StagedSeg* out) {
    if (!in.Need(kSegmentHead)) return false;
    TrackSeg& s = out->head;
    std::memset(&s, 0, sizeof s);
    s.unit = unit;
    s.start = in.I32();
    s.end = in.I32();
    s.worldState = in.I32();
    s.clock = static_cast<float>(in.I32());
    s.timedCursor = in.I32();
    s.dailyCursor = in.I32();
    s.cloudLevel = in.I32();
    s.cloudRate = in.I32();
    s.starLevel = in.I32();
    s.starRate = in.I32();
    s.sceneryLevel = in.I32();
    s.sceneryRate = in.I32();
    s.status = in.I32();
    for (int32_t& v : s.pos) v = in.I32();
    for (int32_t& v : s.orient) v = in.I32();
    s.dataLength = in.I32();
    if (s.start < 0 || s.end < s.start) return false;
    if (s.worldState != 0 && s.worldState != 1) return false;
    if (s.worldState &&
        (s.clock < 0.0f || !InRange(s.timedCursor, 0, DayEventCount[kTimedEvents]) || !InRange(s.dailyCursor, 0, DayEventCount[kDailyEvents]) ||
         !InRange(s.cloudLevel, 0, kSkyMaximum) || !InRange(s.cloudRate, -kSkyMaximum, kSkyMaximum) ||
         !InRange(s.starLevel, 0, kSkyMaximum) || !InRange(s.starRate, -kSkyMaximum, kSkyMaximum) ||
         !InRange(s.sceneryLevel, 0, kSkyMaximum) || !InRange(s.sceneryRate, -kSkyMaximum, kSkyMaximum)))
        return false;
    // No copy (a segment never recorded), or exactly the unit's own block.
    if (s.dataLength != 0 && s.dataLength != blockSize) return false;
    if (s.dataLength > 0) {
        if (!in.Need(size_t(s.dataLength))) return false;
        out->data.assign(in.p + in.pos, in.p + in.pos + s.dataLength);
        in.pos += size_t(s.dataLength);
        if (CheckSavedBlock(unit->itfc, out->data.data(), out->data.size())) return false;
    }
    out->capacity = in.I32();
    const int32_t count = in.I32();
    if (!in.ok) return false;
    // The list doubles from its capacity when it is full: a capacity of 0 could never grow. A list never
    // holds more than twice its records (or the 200 it starts with).
    if (count < 0 || out->capacity < 1 || count > out->capacity) return false;
    if (out->capacity > kInputListStart && int64_t(out->capacity) > 2 * int64_t(count)) return false;
    // A replay reads one record per frame of the segment.
    if (int64_t(s.end) - s.start > count) return false;
    if (!in.Need(size_t(count) * 20)) return false;
    out->inputs.resize(size_t(count));
    for (ControlInput& rec : out->inputs) {
        std::memcpy(rec.keys, in.p + in.pos, 8);
        in.pos += 8;
        for (int16_t& a : rec.axes) a = in.I16();
    }
    return in.ok;
}

bool ReadScenes(In& in, std::vector<StagedScene>* scenes) {
    if (in.U32() != kSceneMagic) return false;
    const uint32_t count = in.U32();
    if (!in.ok || count > uint32_t(kMaxCutScenes)) return false;
    scenes->resize(count);
    for (StagedScene& scene : *scenes) {
        if (!in.Need(kNameBytes)) return false;
        char name[kNameBytes];
        std::memcpy(name, in.p + in.pos, kNameBytes);
        in.pos += kNameBytes;
        if (!std::memchr(name, 0, kNameBytes)) return false;
        scene.au = NamedAUDef(name);
        if (!scene.au || !scene.au->placed || !scene.au->pool) return false;
        const ConstructPool* pool = scene.au->pool;
        scene.tracks.resize(size_t(pool->count));
        for (int t = 0; t < pool->count; ++t) {
            construct* unit = pool->constructs[t];
            const uint32_t segs = in.U32();
            if (!in.ok || segs > uint32_t(kMaxTrackSegs) || uint64_t(segs) * 112 > in.Left()) return false;
            const int32_t blockSize = segs ? BlockSizeOf(unit) : 0;
            scene.tracks[size_t(t)].resize(segs);
            for (StagedSeg& seg : scene.tracks[size_t(t)])
                if (!ReadSegment(in, unit, blockSize, &seg)) return false;
        }
    }
    return in.ok;
}

// Replaces every cut scene by the staged ones.
void InstallScenes(std::vector<StagedScene>& scenes) {
    FreeAllCutScenes();
    for (StagedScene& staged : scenes) {
        CutScene* scene = CreateCutScene(staged.au);
        for (int t = 0; t < scene->trackCount && size_t(t) < staged.tracks.size(); ++t) {
            construct* unit = staged.au->pool->constructs[t];
            for (StagedSeg& from : staged.tracks[size_t(t)]) {
                TrackSeg* seg = CreateTrackSeg(scene, unit);
                ControlInput* list = seg->inputs;
                *seg = from.head;
                seg->unit = unit;
                seg->data = nullptr;
                if (seg->dataLength > 0) {
                    seg->data = static_cast<uint8_t*>(qzAlloc(seg->dataLength, "itfc data"));
                    std::memcpy(seg->data, from.data.data(), from.data.size());
                }
                qzFree(list);
                seg->inputCapacity = from.capacity;
                seg->inputCount = static_cast<int32_t>(from.inputs.size());
                seg->inputs = static_cast<ControlInput*>(qzAlloc(from.capacity * int(sizeof(ControlInput)), "input list"));
                std::memset(seg->inputs, 0, size_t(from.capacity) * sizeof(ControlInput));
                if (!from.inputs.empty())
                    std::memcpy(seg->inputs, from.inputs.data(), from.inputs.size() * sizeof(ControlInput));
            }
        }
    }
}

void ScenePath(const char* name, char* out, size_t size) {
    std::snprintf(out, size, "%s%c%s_%s", CUTSCENEROOT, kPathSeparator, MissionName, name);
}

}  // namespace

int LoadSceneBytes(const uint8_t* data, size_t size) {
    In in{data, size};
    std::vector<StagedScene> scenes;
    if (!data || !ReadScenes(in, &scenes)) return 0;
    InstallScenes(scenes);
    return 1;
}

std::vector<uint8_t> SaveSceneBytes() {
    Out out;
    out.U32(kSceneMagic);
    out.U32(static_cast<uint32_t>(CutSceneCount));
    for (int i = 0; i < CutSceneCount; ++i) {
        const CutScene* scene = CutSceneTable[i];
        // The name, zero-padded after its terminator.
        uint8_t name[kNameBytes] = {};
        std::strncpy(reinterpret_cast<char*>(name), scene->au->name, kNameBytes - 1);
        out.bytes.insert(out.bytes.end(), name, name + kNameBytes);
        for (int t = 0; t < scene->trackCount; ++t) {
            const CutTrack& track = scene->tracks[t];
            out.U32(static_cast<uint32_t>(track.segCount));
            for (int k = 0; k < track.segCount; ++k) {
                const TrackSeg& s = *track.segs[k];
                for (int32_t v : {s.start, s.end, s.worldState, TruncateToInt32(s.clock), s.timedCursor, s.dailyCursor,
                                  s.cloudLevel, s.cloudRate, s.starLevel, s.starRate, s.sceneryLevel, s.sceneryRate,
                                  s.status})
                    out.I32(v);
                for (int32_t v : s.pos) out.I32(v);
                for (int32_t v : s.orient) out.I32(v);
                const int32_t length = s.data ? s.dataLength : 0;
                out.I32(length);
                if (length > 0) out.bytes.insert(out.bytes.end(), s.data, s.data + length);
                out.I32(s.inputCapacity);
                out.I32(s.inputCount);
                for (int r = 0; r < s.inputCount; ++r) {
                    out.bytes.insert(out.bytes.end(), s.inputs[r].keys, s.inputs[r].keys + 8);
                    for (int16_t a : s.inputs[r].axes) out.I16(a);
                }
            }
        }
    }
    return out.bytes;
}

int LoadScene(const char* name) {
    if (!name) return 0;
    char path[512];
    ScenePath(name, path, sizeof path);
    FILE* f = qzpk_fopen(path, "rb");
    if (!f) return 0;
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    size_t n;
    while ((n = qzpk_fread(buffer, 1, sizeof buffer, f)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + n);
        if (bytes.size() > kMaxSceneFile) break;
    }
    qzpk_fclose(f);
    if (bytes.size() > kMaxSceneFile) return 0;
    return LoadSceneBytes(bytes.data(), bytes.size());
}

int SaveScene(const char* name) {
    if (!name || !name[0]) return 0;
    char path[512];
    ScenePath(name, path, sizeof path);
    const std::vector<uint8_t> bytes = SaveSceneBytes();
    FILE* f = qzpk_fopen(path, "wb");
    if (!f) return 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
        host::DiscardFile(f);
        return 0;
    }
    return qzpk_fclose(f) == 0 ? 1 : 0;
}
