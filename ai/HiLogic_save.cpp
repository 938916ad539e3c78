// A clan's AI in saved games: the writer, the check of a saved form (every count bounded by the bytes
// left, every index by its list, the chains whole) and the reader, which checks before it builds.
//
// Form (32-bit little-endian words): the thread serial counter, the player flag, hostility and damage
// for each clan, the agents (count, then a unit reference each), the stand-by agents (count, then agent
// indices), the manual agent's index or -1, the threads (count, then each thread's saved form, which
// begins with its type number, serial, agent count and agent indices), and per agent the thread indices
// of its chain from the first to the last, closed by -1.
#include <cstdarg>
#include <cstring>
#include <set>

#include "ai/AIStream.h"
#include "ai/AIStubs.h"
#include "ai/AI_local.h"
#include "objects/Units.h"
#include "ai/AUDef.h"
#include "ai/HL_attack.h"
#include "ai/HL_camp.h"
#include "ai/HL_follow.h"
#include "ai/HL_goto.h"
#include "ai/HL_hide.h"
#include "ai/HL_manual.h"
#include "ai/HL_patrol.h"
#include "ai/HiLogic_local.h"
#include "core/Memory.h"
#include "core/Package.h"
#include "world/ConstructPool.h"

namespace {

constexpr uint32_t kUnitRefBytes = 40;  // present word, 32-byte action-unit name, index
constexpr uint32_t kThreadHeadBytes = 12;

void Put(FILE* file, uint32_t* counter, uint32_t v) {
    aistream::PutU32(file, v);
    *counter += 4;
}

// The class's part of a thread's saved form.
void CheckThreadBody(HL_SavedCheck& in, int32_t type, uint32_t n) {
    switch (type) {
        case kHLCamp:
        case kHLHold:
        case kHLHoldWhileHearing:
            return HL_camp::CheckSaved(in, n);
        case kHLGoto:
        case kHLSneakTo:
        case kHLChase:
        case kHLGotoReturn:
        case kHLSneakToReturn:
            return HL_goto::CheckSaved(in, n);
        case kHLAttack:
            return HL_attack::CheckSaved(in, n);
        case kHLPatrol:
            return HL_patrol::CheckSaved(in, n);
        case kHLFollow:
            return HL_follow::CheckSaved(in, n);
        case kHLHide:
            return HL_hide::CheckSaved(in, n);
        case kHLManual:
            return;
        default:
            return in.Fail("uk thread id '%d'", type);
    }
}

HL_thread* ImportThread(HL_clan* clan, int32_t type, FILE* stream) {
    switch (type) {
        case kHLCamp:
        case kHLHold:
        case kHLHoldWhileHearing:
            return new HL_camp(clan, type, stream);
        case kHLGoto:
        case kHLSneakTo:
        case kHLChase:
        case kHLGotoReturn:
        case kHLSneakToReturn:
            return new HL_goto(clan, type, stream);
        case kHLAttack:
            return new HL_attack(clan, type, stream);
        case kHLPatrol:
            return new HL_patrol(clan, type, stream);
        case kHLFollow:
            return new HL_follow(clan, type, stream);
        case kHLHide:
            return new HL_hide(clan, type, stream);
        case kHLManual:
            return new HL_manual(clan, type, stream);
        default:
            FatalErrorF("Error(HL_clan::import): uk thread id '%d'", type);
            return nullptr;
    }
}

// References checked against the running level's action units (what aistubs_ReadAIUnit will find).
bool RunningLevelRef(const char* auName, uint32_t index, std::string* why, void*) {
    const AUDef* au = NamedAUDef(auName);
    if (!au) return *why = std::string("au '") + auName + "' not present", false;
    if (!au->pool || !au->placed) return *why = std::string("au '") + auName + "' not moved", false;
    if (index >= uint32_t(au->pool->count))
        return *why = std::string("au '") + auName + "' has too few units", false;
    return true;
}

}  // namespace

// ---- The bounded reader of the check.

void HL_SavedCheck::Fail(const char* format, ...) {
    if (!ok()) return;
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    error_ = text;
}

uint32_t HL_SavedCheck::U32() {
    if (!ok()) return 0;
    if (size_ - pos_ < 4) return Fail("the clan's AI is cut short"), 0;
    const uint8_t* b = data_ + pos_;
    pos_ += 4;
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

void HL_SavedCheck::Skip(size_t n) {
    if (!ok()) return;
    if (size_ - pos_ < n) return Fail("the clan's AI is cut short");
    pos_ += n;
}

uint32_t HL_SavedCheck::Count(uint32_t minBytes, const char* what) {
    const uint32_t n = U32();
    if (ok() && uint64_t(n) * minBytes > Left())
        Fail("%u %s do not fit in the %zu bytes left", n, what, Left());
    return ok() ? n : 0;
}

uint32_t HL_SavedCheck::Index(uint32_t n, const char* what) {
    const uint32_t k = U32();
    if (ok() && k >= n) Fail("%s %u is out of range (%u)", what, k, n);
    return ok() ? k : 0;
}

uint32_t HL_SavedCheck::WayList(const char* what, bool allowNull) {
    const uint32_t present = U32();
    if (!ok()) return 0;
    if (present == 0) {
        if (!allowNull) Fail("%s has no way point list", what);
        return 0;
    }
    const uint32_t count = U32();
    const uint32_t capacity = U32();
    if (!ok()) return 0;
    if (uint64_t(count) * 12 > Left()) return Fail("%s: %u way points do not fit in the %zu bytes left", what, count, Left()), 0;
    if (capacity > 65536) return Fail("%s: a way point list of capacity %u", what, capacity), 0;
    Skip(size_t(count) * 12);
    return count < capacity ? count : capacity;
}

void HL_SavedCheck::Block(uint32_t n, uint32_t size, const char* what) {
    if (ok() && uint64_t(n) * size > Left()) return Fail("%s (%u x %u bytes) are cut short", what, n, size);
    Skip(size_t(n) * size);
}

void HL_SavedCheck::NameField(const char* what) {
    if (!ok()) return;
    if (Left() < 32) return Fail("the clan's AI is cut short");
    if (!std::memchr(data_ + pos_, 0, 32)) return Fail("%s: a name is not terminated", what);
    pos_ += 32;
}

void HL_SavedCheck::UnitRef(const char* what, bool allowNull, std::string* key) {
    const uint32_t present = U32();
    if (!ok()) return;
    if (present == 0) {
        if (!allowNull) Fail("%s names no unit", what);
        key->clear();
        return;
    }
    if (present != 1) return Fail("%s has a bad unit reference", what);
    if (Left() < 36) return Fail("the clan's AI is cut short");
    char name[32];
    std::memcpy(name, data_ + pos_, sizeof name);
    pos_ += sizeof name;
    if (!std::memchr(name, 0, sizeof name)) return Fail("%s: an action unit's name is not terminated", what);
    const uint32_t index = U32();
    std::string why;
    if (!(refCheck_ ? refCheck_ : RunningLevelRef)(name, index, &why, user_))
        return Fail("%s: %s", what, why.c_str());
    *key = std::string(name) + '#' + std::to_string(index);
}

std::string HL_CheckSavedClan(const uint8_t* data, size_t size, int clanCount, HL_UnitRefCheck refCheck,
                              void* user) {
    HL_SavedCheck in(data, size, refCheck, user);
    in.clanCount = clanCount;
    in.U32();                                          // serial counter
    in.U32();                                          // player flag
    for (int i = 0; i < 2 * clanCount; ++i) in.U32();  // hostility, damage
    const uint32_t a = in.Count(kUnitRefBytes, "agents");
    std::set<std::string> units;
    for (uint32_t i = 0; i < a && in.ok(); ++i) {
        std::string key;
        in.UnitRef("an agent", false, &key);
        // Two agents would drive one unit, and its record can point back at only one of them.
        if (in.ok() && !units.insert(key).second) in.Fail("agent %u drives a unit named before", i);
    }
    in.agentCount = a;
    const uint32_t s = in.Count(4, "stand-by agents");
    for (uint32_t i = 0; i < s && in.ok(); ++i) in.Index(a, "a stand-by agent");
    const int32_t manual = in.I32();
    if (in.ok() && manual != -1 && (manual < 0 || uint32_t(manual) >= a))
        in.Fail("manual agent %d is out of range (%u)", manual, a);
    const uint32_t t = in.Count(kThreadHeadBytes, "threads");
    // Which agents each thread holds, to hold the chains against.
    std::vector<std::vector<uint32_t>> held(t);
    for (uint32_t k = 0; k < t && in.ok(); ++k) {
        const int32_t type = in.I32();
        in.U32();  // serial
        const uint32_t n = in.Count(4, "thread agents");
        for (uint32_t i = 0; i < n && in.ok(); ++i) {
            const uint32_t agent = in.Index(a, "a thread's agent");
            for (uint32_t other : held[k])
                if (in.ok() && other == agent) in.Fail("thread %u holds agent %u twice", k, agent);
            held[k].push_back(agent);
        }
        if (in.ok()) CheckThreadBody(in, type, n);
    }
    // Each chain: thread indices, each holding the agent, none twice, at least the first; and every
    // thread that holds an agent stands in that agent's chain.
    std::vector<std::vector<bool>> chained(t);
    for (uint32_t k = 0; k < t; ++k) chained[k].assign(held[k].size(), false);
    for (uint32_t i = 0; i < a && in.ok(); ++i) {
        std::vector<uint32_t> chain;
        for (;;) {
            const int32_t k = in.I32();
            if (!in.ok() || k == -1) break;
            if (k < 0 || uint32_t(k) >= t)
                return in.Fail("agent %u: thread index %d is out of range (%u)", i, k, t), in.error();
            for (uint32_t c : chain)
                if (c == uint32_t(k))
                    return in.Fail("agent %u: thread %d stands twice in its chain", i, k), in.error();
            chain.push_back(uint32_t(k));
            bool holds = false;
            for (size_t j = 0; j < held[size_t(k)].size(); ++j)
                if (held[size_t(k)][j] == i) holds = true, chained[size_t(k)][j] = true;
            if (!holds) return in.Fail("agent %u: thread %d of its chain does not hold it", i, k), in.error();
        }
        if (in.ok() && chain.empty()) in.Fail("agent %u has no thread", i);
    }
    for (uint32_t k = 0; k < t && in.ok(); ++k)
        for (size_t j = 0; j < held[k].size(); ++j)
            if (!chained[k][j])
                return in.Fail("thread %u holds agent %u outside its chain", k, held[k][j]), in.error();
    if (in.ok() && in.Left() > 0) in.Fail("%zu bytes follow the clan's AI", in.Left());
    return in.error();
}

// ---- Writer and reader.

void HL_clan::Export(FILE* file, uint32_t* counter) {
    Put(file, counter, uint32_t(HLThreadSerial));
    Put(file, counter, uint32_t(playerFlag));
    for (int32_t h : hostility) Put(file, counter, uint32_t(h));
    for (int32_t d : damage) Put(file, counter, uint32_t(d));
    Put(file, counter, uint32_t(agents.count));
    for (int i = 0; i < agents.count; ++i) aistubs_WriteAIUnit(file, AgentAt(i)->unit, counter);
    Put(file, counter, uint32_t(standBy.size()));
    for (HL_agent* s : standBy) Put(file, counter, uint32_t(AgentIndex(s)));
    Put(file, counter, uint32_t(manual ? AgentIndex(manual) : -1));
    Put(file, counter, uint32_t(threads.size()));
    for (HL_thread* t : threads) t->Export(file, counter);
    for (int i = 0; i < agents.count; ++i) {
        const HL_agent* agent = AgentAt(i);
        size_t steps = 0;
        for (HL_thread* t = FirstThread(agent); t && steps <= threads.size(); t = t->LinkOf(agent), ++steps)
            Put(file, counter, uint32_t(ThreadIndex(t)));
        Put(file, counter, uint32_t(-1));
    }
}

void HL_clan::Import(FILE* stream) {
    static const char* const who = "HL_clan::import";
    // The whole form is checked before anything is built, so that a damaged one stops with its reason
    // instead of leaving a clan half made.
    const long start = qzpk_ftell(stream);
    const int64_t left = aistream::BytesLeft(stream);
    std::vector<uint8_t> bytes(size_t(left > 0 ? left : 0));
    if (!bytes.empty() && qzpk_fread(bytes.data(), 1, bytes.size(), stream) != bytes.size())
        return FatalErrorF("Error(%s): unexpected end of stream", who);
    qzpk_fseek(stream, start, SEEK_SET);
    const std::string why = HL_CheckSavedClan(bytes.data(), bytes.size(), count, nullptr, nullptr);
    if (!why.empty()) return FatalErrorF("Error(%s): clan %d: %s", who, index, why.c_str());

    Clear();
    HLThreadSerial = int32_t(aistream::GetU32(stream, who));
    playerFlag = int32_t(aistream::GetU32(stream, who));
    for (int32_t& h : hostility) h = int32_t(aistream::GetU32(stream, who));
    for (int32_t& d : damage) d = int32_t(aistream::GetU32(stream, who));
    const uint32_t a = aistream::GetU32(stream, who);
    for (uint32_t i = 0; i < a; ++i) {
        AIUnitRecord* rec = aistubs_ReadAIUnit(stream, index);
        auto* agent = new HL_agent(rec, UnitNameOf(rec->con));
        PairList_Append(&agents, reinterpret_cast<uintptr_t>(agent), 0);
    }
    const uint32_t s = aistream::GetU32(stream, who);
    for (uint32_t i = 0; i < s; ++i) standBy.push_back(AgentAt(int(aistream::GetU32(stream, who))));
    const int32_t m = int32_t(aistream::GetU32(stream, who));
    manual = m >= 0 ? AgentAt(m) : nullptr;
    const uint32_t t = aistream::GetU32(stream, who);
    for (uint32_t k = 0; k < t; ++k) {
        const int32_t type = int32_t(aistream::GetU32(stream, who));
        if (HL_thread* thread = ImportThread(this, type, stream)) threads.push_back(thread);
    }
    for (int i = 0; i < agents.count; ++i) {
        HL_agent* agent = AgentAt(i);
        HL_thread* current = nullptr;  // null: the clan's agents list
        for (;;) {
            const int32_t k = int32_t(aistream::GetU32(stream, who));
            if (k == -1) break;
            if (k < 0 || size_t(k) >= threads.size())
                return FatalErrorF(
                    "Error(HL_clan::import): clan %d, thread idx %d is too high (max is %d) (in file: %d)",
                    index, k, int(threads.size()), int(t));
            HL_thread* next = threads[size_t(k)];
            if (current)
                current->SetLink(agent, next);
            else
                PairList_SetValue(&agents, reinterpret_cast<uintptr_t>(agent),
                                  reinterpret_cast<uintptr_t>(next));
            current = next;
        }
    }
}
