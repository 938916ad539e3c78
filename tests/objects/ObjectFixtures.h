// Shared fixtures of the object-type tests: a stand-in projectile or effect type that records what it is
// asked, and the level's pools.
#pragma once

#include <string>
#include <vector>

#include "objects/ConstructRes.h"
#include "objects/Itfc.h"
#include "objects/SharedPools.h"
#include "world/Construct.h"
#include "world/WorldFixtures.h"

namespace kvtest {

// What reached the stand-in type.
struct PieceLog {
    std::vector<std::string> created;  // CREATE arguments, in order
    std::vector<construct*> entries;   // CREATE's construct arguments (units-file entries or null)
    int clones = 0;                    // CREATEs answered with a preloaded copy
    std::vector<std::string> calls;    // UNPLACE and DESTROY, in order
};
inline PieceLog& Pieces() {
    static PieceLog log;
    return log;
}

// A piece whose data block is a ShardRecord; CREATE clones a preloaded instance first, as the projectile
// and effect types do.
inline uintptr_t Piece_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    if (method == ItfcMethod::GETNAME) return reinterpret_cast<uintptr_t>("Piece");
    if (method == ItfcMethod::CREATE) {
        const char* path = reinterpret_cast<const char*>(arg);
        Pieces().created.push_back(path ? path : "");
        Pieces().entries.push_back(con);
        if (construct* copy = ClonePreloaded(Piece_itfc, path)) {
            ++Pieces().clones;
            return reinterpret_cast<uintptr_t>(copy);
        }
        construct* made = CreateConstruct(0, 0);
        made->itfc = Piece_itfc;
        AllocItfcData(made, sizeof(ShardRecord));
        return reinterpret_cast<uintptr_t>(made);
    }
    if (method == ItfcMethod::COPYITFCDATA || method == ItfcMethod::GETITFCDATA)
        return CopyItfcDataBlock(con->itfcData, sizeof(ShardRecord), "Piece", arg);
    if (method == ItfcMethod::UNPLACE) {
        Pieces().calls.push_back("UNPLACE");
        return 0;
    }
    if (method == ItfcMethod::DESTROY) {
        Pieces().calls.push_back("DESTROY");
        FreeConstruct(con);
        return 0;
    }
    return ItfcUnknownMethod("Piece", method);
}

// The level's busy and visible pools, the stand-in type in no slot, and everything reset afterwards.
class ObjectLevel : public LevelPools {
protected:
    void SetUp() override {
        LevelPools::SetUp();
        Pieces() = PieceLog{};
        std::memcpy(savedTypes_, PoolTypeItfcs, sizeof savedTypes_);
        // The pool machinery is tested with the stand-in type alone: the built types leave their slots.
        std::memset(PoolTypeItfcs, 0, sizeof PoolTypeItfcs);
    }
    void TearDown() override {
        DeleteSharedPools();
        FreePreloaded();
        DeleteDeadBodyPool();
        std::memcpy(PoolTypeItfcs, savedTypes_, sizeof savedTypes_);
        LevelPools::TearDown();
    }
    static void Register(PoolType t) { PoolTypeItfcs[static_cast<int>(t)] = Piece_itfc; }

private:
    ItfcProc savedTypes_[kPoolTypeCount];
};

}  // namespace kvtest
