#include "tools/datakit/SavedGame.h"

#include <cstring>

namespace datakit {

namespace {

uint32_t U32At(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

void Pose(Bytes& b, const std::array<int32_t, 3>& pos, const std::array<int32_t, 9>& orient) {
    for (int32_t v : pos) b.i32(v);
    for (int32_t v : orient) b.i32(v);
}

void BBoards(Bytes& b, const std::vector<SavedBBoardEntry>& list) {
    b.u32(static_cast<uint32_t>(list.size()));
    for (const SavedBBoardEntry& e : list) {
        b.raw(e.colour.data(), e.colour.size());
        b.i32(e.size1);
        b.i32(e.size2);
        for (uint32_t v : {e.option1, e.option2, e.alpha, e.shade, e.fixedFrame, e.fixedColour}) b.u32(v);
        b.i32(e.time);
        b.i32(e.lastTime);
    }
}

void Ref(Bytes& b, const SavedUnitRef& r) {
    b.fixedText(r.au, 32);
    b.u32(r.index);
}

}  // namespace

std::vector<uint8_t> SavedGame::Bytes() const {
    datakit::Bytes b;
    b.u32(magic);
    b.u32(version);
    b.fixedText(mission, 64);
    for (uint32_t v : worldDate) b.u32(v);
    for (uint32_t v : scriptDate) b.u32(v);
    for (int i = 0; i < 128; ++i) b.u32(0);
    for (const SavedGameChunk& c : chunks) {
        b.u32(c.type);
        b.u32(c.size ? *c.size : static_cast<uint32_t>(c.body.size() + 8));
        b.raw(c.body.data(), c.body.size());
    }
    return b.data();
}

size_t SavedGame::ChunkOffset(size_t n) const {
    size_t at = 600;
    for (size_t i = 0; i < n && i < chunks.size(); ++i) at += 8 + chunks[i].body.size();
    return at;
}

bool SplitSavedGame(const std::vector<uint8_t>& bytes, SavedGame* out) {
    if (bytes.size() < 600) return false;
    *out = SavedGame{};
    out->magic = U32At(bytes, 0);
    out->version = U32At(bytes, 4);
    const char* name = reinterpret_cast<const char*>(bytes.data() + 8);
    out->mission.assign(name, strnlen(name, 64));
    out->worldDate = {U32At(bytes, 72), U32At(bytes, 76)};
    out->scriptDate = {U32At(bytes, 80), U32At(bytes, 84)};
    size_t at = 600;
    while (at < bytes.size()) {
        if (bytes.size() - at < 8) return false;
        const uint32_t type = U32At(bytes, at);
        const uint32_t size = U32At(bytes, at + 4);
        if (size < 8 || size - 8 > bytes.size() - at - 8) return false;
        out->chunks.push_back({type, std::vector<uint8_t>(bytes.begin() + long(at + 8), bytes.begin() + long(at + size)), {}});
        at += size;
    }
    return true;
}

void PutSavedCon(Bytes& b, const SavedConRecord& c) {
    Pose(b, c.pos, c.orient);
    for (uint32_t v : {c.flags, c.typeWord, c.marker, c.shade, c.byte255, c.byte0, c.collisionClass}) b.u32(v);
    b.u32(static_cast<uint32_t>(c.itfcData.size()));
    b.raw(c.itfcData.data(), c.itfcData.size());
    b.u32(static_cast<uint32_t>(c.subs.size()));
    for (const SavedSubEntry& s : c.subs) {
        Pose(b, s.pos, s.orient);
        b.u32(s.typeWord);
        b.u32(s.shade);
        b.u32(s.byte0);
        BBoards(b, s.bboards);
    }
    BBoards(b, c.bboards);
    b.u32(static_cast<uint32_t>(c.spots.size()));
    for (const auto& s : c.spots) {
        b.u32(s[0]);
        b.u32(s[1]);
    }
    b.u32(c.toBeCaptured);
    b.u32(c.icon);
}

std::vector<uint8_t> SavedWorldStateChunkBody(const SavedWorldStateBody& w) {
    Bytes b;
    b.f32(w.secondsPerTick);
    for (int i = 0; i < 5; ++i) b.u32(0);  // mission-state words
    b.fixedText("", 64);
    for (int32_t v : w.waterLevel) b.u32(static_cast<uint32_t>(v));
    for (int i = 0; i < 2; ++i) b.u32(0);  // the water split point
    b.u32(0);                              // precipitation
    b.f32(w.cloudSpeed);
    b.f32(0.0f);  // a second cloud value
    b.u32(static_cast<uint32_t>(w.cloudAlpha));
    b.u32(0);
    b.u32(static_cast<uint32_t>(w.starAlpha));
    for (int i = 0; i < 3; ++i) b.u32(0);  // a star word, the scenery lighting and its word
    for (int i = 0; i < 13; ++i) b.u8(0);  // colours
    for (int32_t v : w.wind) b.u32(static_cast<uint32_t>(v));
    b.f32(0.0f);                           // game clock
    for (int i = 0; i < 4; ++i) b.u32(0);  // sight
    for (int i = 0; i < 3; ++i) b.u32(0);  // interface words
    for (int i = 0; i < 20; ++i) b.fixedText("", 64);
    if (w.player) {
        b.u32(1);
        Ref(b, *w.player);
    } else {
        b.u32(0);
    }
    for (int i = 0; i < 10; ++i) {
        b.u32(0);
        b.fixedText("", 64);
    }
    b.u32(static_cast<uint32_t>(w.dayEventCursors[0]));
    b.u32(static_cast<uint32_t>(w.dayEventCursors[1]));
    for (const auto& list : w.dayEvents) {
        b.u32(static_cast<uint32_t>(list.size()));
        for (const auto& rec : list) b.raw(rec.data(), rec.size());
    }
    b.u32(static_cast<uint32_t>(w.variables.size()));
    for (const auto& [name, value] : w.variables) {
        b.fixedText(name, 64);
        b.f32(value);
    }
    b.u32(static_cast<uint32_t>(w.ambientSources.size()));
    for (const std::string& name : w.ambientSources) b.fixedText(name, 128);
    for (int i = 0; i < 128; ++i) b.u32(0);
    return b.data();
}

std::vector<uint8_t> SavedAUChunkBody(const SavedAUBody& a) {
    Bytes b;
    b.fixedText(a.name, 32);
    b.u32(a.poolFlag);
    b.u32(a.placed);
    for (int32_t v : a.action) b.i32(v);
    if (a.placed) {
        b.u32(static_cast<uint32_t>(a.units.size()));
        for (const SavedAUUnit& u : a.units) {
            PutSavedCon(b, u.con);
            if (u.target) {
                b.u32(1);
                Ref(b, *u.target);
            } else {
                b.u32(0);
            }
        }
    }
    return b.data();
}

std::vector<uint8_t> SavedSharedPoolChunkBody(const std::string& pool, const std::vector<SavedConRecord>& members) {
    Bytes b;
    b.fixedText(pool, 64);
    b.u32(static_cast<uint32_t>(members.size()));
    for (const SavedConRecord& c : members) PutSavedCon(b, c);
    return b.data();
}

std::vector<uint8_t> SavedDeadBodyPoolChunkBody(const std::vector<std::pair<std::string, SavedConRecord>>& wrecks) {
    Bytes b;
    b.u32(static_cast<uint32_t>(wrecks.size()));
    for (const auto& [unit, con] : wrecks) {
        b.fixedText(unit, 64);
        PutSavedCon(b, con);
    }
    return b.data();
}

std::vector<uint8_t> SavedClanChunkBody(const SavedClanBody& c) {
    Bytes b;
    b.u32(c.index);
    for (uint32_t v : c.bytes) b.u32(v);
    for (int32_t v : c.params) b.i32(v);
    for (int32_t v : c.hostility) b.i32(v);
    return b.data();
}

std::vector<uint8_t> SavedTileFieldChunkBody(const std::vector<std::vector<SavedUnitRef>>& lists) {
    Bytes b;
    for (const auto& list : lists) {
        for (const SavedUnitRef& r : list) Ref(b, r);
        b.u32(0);
    }
    return b.data();
}

std::vector<uint8_t> SavedHLClanChunkBody(uint32_t clan, const std::vector<uint8_t>& state) {
    Bytes b;
    b.u32(clan);
    b.raw(state.data(), state.size());
    return b.data();
}

SavedHLBody& SavedHLBody::unit(const std::optional<SavedUnitRef>& ref) {
    b_.u32(ref ? 1 : 0);
    if (ref) {
        b_.fixedText(ref->au, 32);
        b_.u32(ref->index);
    }
    return *this;
}

SavedHLBody& SavedHLBody::way(const std::optional<std::vector<std::array<int32_t, 3>>>& points, uint32_t capacity,
                              std::optional<uint32_t> count) {
    b_.u32(points ? 1 : 0);
    if (!points) return *this;
    b_.u32(count.value_or(static_cast<uint32_t>(points->size())));
    b_.u32(capacity);
    for (const auto& p : *points)
        for (int32_t v : p) b_.i32(v);
    return *this;
}

SavedHLBody& SavedHLBody::name(std::string_view text, bool terminate) {
    b_.fixedText(text, 32, terminate);
    return *this;
}

std::vector<uint8_t> SavedHLClanStateBytes(const SavedHLClanState& s) {
    Bytes b;
    b.u32(s.serialCounter);
    b.u32(s.playerFlag);
    for (int32_t h : s.hostility) b.i32(h);
    for (int32_t d : s.damage) b.i32(d);
    b.u32(s.agentCount.value_or(static_cast<uint32_t>(s.agents.size())));
    for (const auto& ref : s.agents) {
        b.u32(ref ? 1 : 0);
        if (!ref) continue;
        b.fixedText(ref->au, 32);
        b.u32(ref->index);
    }
    b.u32(static_cast<uint32_t>(s.standBy.size()));
    for (uint32_t i : s.standBy) b.u32(i);
    b.i32(s.manual);
    b.u32(s.threadCount.value_or(static_cast<uint32_t>(s.threads.size())));
    for (const SavedHLThread& t : s.threads) {
        b.i32(t.type);
        b.i32(t.serial);
        b.u32(static_cast<uint32_t>(t.agents.size()));
        for (uint32_t a : t.agents) b.u32(a);
        for (uint32_t w : t.body) b.u32(w);
        b.raw(t.raw.data(), t.raw.size());
    }
    for (const auto& chain : s.chains) {
        for (int32_t k : chain) b.i32(k);
        b.i32(-1);
    }
    return b.data();
}

}  // namespace datakit
