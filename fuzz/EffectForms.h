// The stored effects of a saved game for the harness "effectsaved" and its seeds: an input is one byte
// choosing the type, then the type's saved form. A bare construct of each type stands in for a pooled
// one (its block zeroed, the point light it owns, no geometry).
#pragma once

#include <cstdint>
#include <cstring>
#include <iterator>

#include "objects/EffectBlocks.h"
#include "objects/EffectTypes.h"
#include "render/Light.h"
#include "world/Construct.h"

namespace kvfuzz {

struct EffectKind {
    ItfcProc itfc;
    int blockSize;
};

inline const EffectKind kStoredEffects[] = {
    {Explode1_itfc, sizeof(Explode1Block)}, {MExplode_itfc, sizeof(MExplodeBlock)},
    {Missile_itfc, sizeof(MissileBlock)},   {Rocket_itfc, sizeof(MissileBlock)},
    {MSmoke_itfc, sizeof(MSmokeBlock)},     {Smoky_itfc, sizeof(SmokyBlock)},
    {Fire1_itfc, sizeof(Fire1Block)},       {Dust_itfc, sizeof(DustBlock)},
    {Shrapnel_itfc, sizeof(ShardRecord)},   {FireTail_itfc, sizeof(FireTailBlock)},
};
constexpr int kStoredEffectCount = static_cast<int>(std::size(kStoredEffects));

inline construct* BareEffect(int kind) {
    const EffectKind& k = kStoredEffects[kind];
    construct* con = CreateConstruct(0, 0);
    con->itfc = k.itfc;
    AllocItfcData(con, k.blockSize);
    if (k.itfc == Missile_itfc || k.itfc == Rocket_itfc)
        static_cast<MissileBlock*>(con->itfcData)->light = CreatePointLight();
    if (k.itfc == Fire1_itfc) static_cast<Fire1Block*>(con->itfcData)->light = CreatePointLight();
    return con;
}

}  // namespace kvfuzz
