// The saved construct record: a construct's pose, flags and bytes, its type's data block, its
// sub-constructs, billboards and spots, and its membership of the pools "tobecaptured" and "icon".
#include <algorithm>
#include <cstring>

#include "core/Memory.h"
#include "objects/UnitSaved.h"
#include "objects/UnitShare.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Geom.h"
#include "world/QZEvent.h"
#include "game/SavedGame_local.h"

namespace qzgm {
namespace {

constexpr uint32_t kKeptFlag = 0x40000000u;  // the only flag bit a load takes over whole
constexpr size_t kBBoardBytes = 48;
constexpr size_t kSubMinBytes = 64;  // a sub-construct entry without billboards

void WriteBBoard(Out& out, const bboard* b) {
    out.Raw(b->colour, sizeof b->colour);
    out.I32(b->size1);
    out.I32(b->size2);
    out.U32(b->options[0]);
    out.U32(b->options[1]);
    out.U32(b->alpha);
    out.U32(b->shade);
    out.U32(b->fixedFrame);
    out.U32(b->fixedColour);
    out.I32(b->time);
    out.I32(b->lastTime);
}

void WriteBBoards(Out& out, const construct* con) {
    out.I32(con->bboardCount);
    for (int i = 0; i < con->bboardCount; ++i) WriteBBoard(out, con->bboards[i]);
}

void ParseBBoards(In& in, std::vector<SavedBBoard>* list) {
    const uint32_t n = in.Count(kBBoardBytes, "billboards");
    list->resize(n);
    for (SavedBBoard& b : *list) {
        in.Raw(b.colour, sizeof b.colour);
        b.size1 = in.I32();
        b.size2 = in.I32();
        b.option1 = in.U32();
        b.option2 = in.U32();
        b.alpha = in.U32();
        b.shade = in.U32();
        b.fixedFrame = in.U32();
        b.fixedColour = in.U32();
        b.time = in.I32();
        b.lastTime = in.I32();
    }
}

void PutBBoards(const std::vector<SavedBBoard>& list, construct* con) {
    for (size_t i = 0; i < list.size(); ++i) {
        const SavedBBoard& s = list[i];
        bboard* b = con->bboards[i];
        std::memcpy(b->colour, s.colour, sizeof b->colour);
        b->size1 = s.size1;
        b->size2 = s.size2;
        b->options[0] = uint8_t(s.option1);
        b->options[1] = uint8_t(s.option2);
        b->alpha = uint8_t(s.alpha);
        b->shade = uint8_t(s.shade);
        b->fixedFrame = uint8_t(s.fixedFrame);
        b->fixedColour = uint8_t(s.fixedColour);
        b->time = s.time;
        b->lastTime = s.lastTime;
    }
}

void WritePose(Out& out, const construct* con) {
    for (int32_t v : con->pos) out.I32(v);
    for (int32_t v : con->orient) out.I32(v);
}

// The size of the block the construct's type hands out now; a type's block has one size per
// construct, and SETITFCDATA trusts it, so a stored block of another size is never handed over.
int32_t ItfcDataSize(construct* con) {
    if (!con->itfc) return 0;
    int32_t size = 0;
    void* block = reinterpret_cast<void*>(CallItfc(con, ItfcMethod::GETITFCDATA, reinterpret_cast<uintptr_t>(&size)));
    qzFree(block);
    return block && size > 0 ? size : 0;
}

void PoolMembership(ConstructPool* pool, construct* con, uint32_t member) {
    if (!pool) return;
    RemoveFromConstructPool(pool, con);
    // A forged file may claim more members than the pool holds: the surplus is left out.
    if (member) AppendToConstructPoolIfRoom(pool, con);
}

}  // namespace

void WriteSavedCon(Out& out, construct* con) {
    WritePose(out, con);
    out.U32(con->flags);
    out.U32(con->typeWord);
    out.U32(con->marker);
    out.U32(con->shade);
    out.U32(con->byte255);
    out.U32(con->byte0);
    out.U32(con->collisionClass);
    int32_t size = 0;
    void* block = con->itfc ? reinterpret_cast<void*>(CallItfc(con, ItfcMethod::GETITFCDATA,
                                                               reinterpret_cast<uintptr_t>(&size)))
                            : nullptr;
    if (!block || size < 0) size = 0;
    out.I32(size);
    out.Raw(block, size_t(size));
    qzFree(block);
    out.I32(con->subCount);
    for (int i = 0; i < con->subCount; ++i) {
        const construct* sub = con->subs[i];
        WritePose(out, sub);
        out.U32(sub->typeWord);
        out.U32(sub->shade);
        out.U32(sub->byte0);
        WriteBBoards(out, sub);
    }
    WriteBBoards(out, con);
    out.I32(con->spotCount);
    for (int i = 0; i < con->spotCount; ++i) {
        out.I32(con->spots[i].countdown);
        out.I32(con->spots[i].value);
    }
    ConstructPool* captured = FindConstructPool("tobecaptured");
    ConstructPool* icon = FindConstructPool("icon");
    out.U32(captured && IsInConstructPool(con, captured) ? 1 : 0);
    out.U32(icon && IsInConstructPool(con, icon) ? 1 : 0);
}

void ParseSavedCon(In& in, SavedCon* rec) {
    for (int32_t& v : rec->pos) v = in.I32();
    for (int32_t& v : rec->orient) v = in.I32();
    rec->flags = in.U32();
    rec->typeWord = in.U32();
    rec->marker = in.U32();
    rec->shade = in.U32();
    rec->byte255 = in.U32();
    rec->byte0 = in.U32();
    rec->collisionClass = in.U32();
    const uint32_t size = in.Count(1, "type data bytes");
    rec->itfcData.resize(size);
    in.Raw(rec->itfcData.data(), size);
    rec->subs.resize(in.Count(kSubMinBytes, "sub-constructs"));
    for (SavedSub& s : rec->subs) {
        for (int32_t& v : s.pos) v = in.I32();
        for (int32_t& v : s.orient) v = in.I32();
        s.typeWord = in.U32();
        s.shade = in.U32();
        s.byte0 = in.U32();
        ParseBBoards(in, &s.bboards);
    }
    ParseBBoards(in, &rec->bboards);
    rec->spots.resize(size_t(in.Count(8, "spots")) * 2);
    for (uint32_t& w : rec->spots) w = in.U32();
    rec->toBeCaptured = in.U32();
    rec->icon = in.U32();
}

void CheckSavedCon(In& in, const SavedCon& rec, construct* con) {
    if (!in.ok()) return;
    // Everything a construct does starts from its position: one more than 16384 tiles from the origin
    // would overflow there.
    // The same for its sub-constructs; and an orientation is 1.15 fixed point, each entry near -1 .. 1
    // (a turned matrix's rounding takes an entry a little past 1, so up to 2 passes), or its products with
    // positions would overflow.
    auto far = [](const int32_t* p) { return std::any_of(p, p + 3, [](int32_t v) { return v < -(1 << 30) || v > (1 << 30); }); };
    auto bent = [](const int32_t* m) { return std::any_of(m, m + 9, [](int32_t v) { return v < -65536 || v > 65536; }); };
    if (far(rec.pos)) return in.Fail("unit stands far outside the map");
    if (bent(rec.orient)) return in.Fail("unit has an orientation beyond 1.15");
    for (const SavedSub& sub : rec.subs) {
        if (far(sub.pos)) return in.Fail("sub con stands far outside the map");
        if (bent(sub.orient)) return in.Fail("sub con has an orientation beyond 1.15");
    }
    const int32_t size = ItfcDataSize(con);
    // A type whose look follows its state (a destroyed building shows its wreck) will have the look of
    // the stored state: the record is compared with that one.
    const bool blockFits = rec.itfcData.size() == size_t(size) &&
                           !CheckSavedBlock(con->itfc, rec.itfcData.data(), rec.itfcData.size());
    const construct* look = blockFits ? SavedLook(con, rec.itfcData.data(), rec.itfcData.size()) : con;
    if (rec.subs.size() != size_t(look->subCount)) return in.Fail("unit has wrong no of subs");
    for (size_t i = 0; i < rec.subs.size(); ++i)
        if (rec.subs[i].bboards.size() != size_t(look->subs[i]->bboardCount))
            return in.Fail("sub con has wrong no of bboards");
    if (rec.bboards.size() != size_t(look->bboardCount)) return in.Fail("unit has wrong no of bboards");
    if (rec.spots.size() / 2 != size_t(look->spotCount)) return in.Fail("unit has wrong no of spots");
    if (rec.itfcData.size() != size_t(size))
        return in.Fail("unit has type data of %zu bytes, its type keeps %d", rec.itfcData.size(), size);
    if (const char* why = CheckSavedBlock(con->itfc, rec.itfcData.data(), rec.itfcData.size()))
        in.Fail("unit has damaged type data: %s", why);
}

void ReadCon(const SavedCon& rec, construct* con) {
    std::memcpy(con->pos, rec.pos, sizeof con->pos);
    std::memcpy(con->orient, rec.orient, sizeof con->orient);
    con->typeWord = rec.typeWord;
    con->marker = uint8_t(rec.marker);
    con->shade = uint8_t(rec.shade);
    con->byte255 = uint8_t(rec.byte255);
    con->byte0 = uint8_t(rec.byte0);
    con->collisionClass = uint8_t(rec.collisionClass);
    if (rec.itfcData.size() != size_t(ItfcDataSize(con))) FatalError("Error(ReadCon): unit has wrong size of type data");
    if (!rec.itfcData.empty()) {
        const int size = static_cast<int>(rec.itfcData.size());
        void* block = qzAlloc(size, "itfc data");
        std::memcpy(block, rec.itfcData.data(), rec.itfcData.size());
        CallItfc(con, ItfcMethod::SETITFCDATA, reinterpret_cast<uintptr_t>(block));
        qzFree(block);
    }
    if (rec.subs.size() != size_t(con->subCount)) FatalError("Error(ReadCon): unit has wrong no of subs");
    for (size_t i = 0; i < rec.subs.size(); ++i) {
        const SavedSub& s = rec.subs[i];
        construct* sub = con->subs[i];
        std::memcpy(sub->pos, s.pos, sizeof sub->pos);
        std::memcpy(sub->orient, s.orient, sizeof sub->orient);
        sub->typeWord = s.typeWord;
        sub->shade = uint8_t(s.shade);
        sub->byte0 = uint8_t(s.byte0);
        if (s.bboards.size() != size_t(sub->bboardCount))
            FatalError("Error(ReadChunk_102, SAVEDAU): sub con has wrong no of bboards");
        PutBBoards(s.bboards, sub);
    }
    if (rec.bboards.size() != size_t(con->bboardCount))
        FatalError("Error(ReadChunk_102, SAVEDAU): unit has wrong no of bboards");
    PutBBoards(rec.bboards, con);
    if (rec.spots.size() / 2 != size_t(con->spotCount)) FatalError("Error(ReadCon): unit has wrong no of spots");
    for (int i = 0; i < con->spotCount; ++i) {
        con->spots[i].countdown = int32_t(rec.spots[size_t(i) * 2]);
        con->spots[i].value = int32_t(rec.spots[size_t(i) * 2 + 1]);
    }
    UnMakeBuzy(con);
    static const int kLevels[4][2] = {{0x80, 3}, {0x40, 2}, {0x20, 1}, {0x10, 0}};
    for (const auto& [bit, level] : kLevels)
        if (rec.flags & uint32_t(bit)) MakeBuzy(con, level);
    DeactivateConstruct(con);
    if (rec.flags & kConActive) ActivateConstruct(con);
    PoolMembership(FindConstructPool("tobecaptured"), con, rec.toBeCaptured);
    PoolMembership(FindConstructPool("icon"), con, rec.icon);
    con->flags = (con->flags & ~kKeptFlag) | (rec.flags & kKeptFlag);
    SnapshotThreatList(con);
}

}  // namespace qzgm
