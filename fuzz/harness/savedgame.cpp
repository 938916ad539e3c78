// A saved game "SavedGames\f" checked against a small level of the mission "Fuzz" (everything a load does
// before it changes the level): one clan, the action unit "convoy" with two units of a type whose saved
// block is 8 bytes and which carry one spot each, the shared pools "Bullet" and "Rocket" with one member
// each (the rocket's form names its target by action unit), a matrix of
// 2 x 2 tiles over one tile definition, no wreck pool. The seeds (fuzz/seeds) describe the same level.
#include <cstring>

#include "ai/AUDef.h"
#include "ai/Clan.h"
#include "core/Config.h"
#include "fuzz/EffectForms.h"
#include "fuzz/FuzzSupport.h"
#include "objects/SharedPools.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/SavedGame.h"
#include "world/Startup.h"
#include "world/Terrain.h"

namespace {

int32_t g_saved[2];

uintptr_t Fuzz_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    (void)con;
    if (method == ItfcMethod::GETNAME) return reinterpret_cast<uintptr_t>("Fuzz");
    if (method == ItfcMethod::GETITFCDATA) return CopyItfcDataBlock(g_saved, sizeof g_saved, "Fuzz", arg);
    return 0;
}

construct* FuzzUnit() {
    construct* con = CreateConstruct(1, 0);
    con->itfc = Fuzz_itfc;
    con->spotCount = 1;
    con->spots = static_cast<SpotRecord*>(qzAlloc(sizeof(SpotRecord), "spt"));
    std::memset(con->spots, 0, sizeof(SpotRecord));
    return con;
}

void BuildLevel() {
    snprintf(MissionName, sizeof MissionName, "%s", "Fuzz");
    snprintf(SAVEDGAMESROOT, sizeof SAVEDGAMESROOT, "%s", "SavedGames");
    snprintf(QZWDROOT, sizeof QZWDROOT, "%s", "Maps");
    snprintf(SCRIPTROOT, sizeof SCRIPTROOT, "%s", "Scripts");
    CreateClan("EMA");
    AUDef* au = CreateAUDef();
    snprintf(au->name, sizeof au->name, "%s", "convoy");
    au->pool = CreateConstructPool(2, "audef convoy pool");
    au->placed = 1;
    AppendToConstructPool(au->pool, FuzzUnit());
    AppendToConstructPool(au->pool, FuzzUnit());
    ConstructPool* bullets = CreateConstructPool(4, "Bullet");
    AppendToConstructPool(bullets, FuzzUnit());
    SharedPools[static_cast<int>(SharedPoolId::Bullet)] = bullets;
    // A rocket, whose saved form names its target by action unit (checked against "convoy").
    ConstructPool* rockets = CreateConstructPool(1, "Rocket");
    AppendToConstructPool(rockets, kvfuzz::BareEffect(3));
    SharedPools[static_cast<int>(SharedPoolId::Rocket)] = rockets;
    RegisterEffectSavedChecks();
    matrix* m = CreateMatrix();
    m->width = m->height = 2;
    m->tileField = static_cast<TileFieldEntry*>(qzAlloc(4 * sizeof(TileFieldEntry), "matrix tile field"));
    std::memset(m->tileField, 0, 4 * sizeof(TileFieldEntry));
    m->tileDefPoolSize = kTileSubPoints * kSubPointBytes;
    m->tileDefPool = static_cast<SubPoint*>(qzAlloc(m->tileDefPoolSize, "tile def pool"));
    std::memset(m->tileDefPool, 0, size_t(m->tileDefPoolSize));
    CurrentMatrix = m;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    static bool once = [] {
        BuildLevel();
        return true;
    }();
    (void)once;
    kvfuzz::Mount("SavedGames/f", data, size);
    char other[64];
    kvfuzz::Run([&] { CheckQZGM("f", 0, other); });
    qzpk_close();
    return 0;
}
