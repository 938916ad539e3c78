// The weapons' stored forms for the harness "weaponsaved" and its seeds: an input is one byte choosing
// the kind, then its saved form. Kinds 0 to 6 are the stored projectiles and beam pieces (a bare construct
// of the type stands in for a pooled one: its block zeroed, the light it owns, no geometry); kinds 7 and 8
// are the high-velocity and beam cannons' module forms.
#pragma once

#include <cstdint>
#include <cstring>
#include <iterator>

#include "objects/EffectBlocks.h"
#include "objects/WeaponTypes.h"
#include "render/Light.h"
#include "world/Construct.h"

namespace kvfuzz {

struct WeaponKind {
    ItfcProc itfc;
    int blockSize;
};

inline const WeaponKind kStoredWeapons[] = {
    {ClusterGrenade_itfc, sizeof(GrenadeFlightBlock)}, {Projectile_itfc, sizeof(GrenadeFlightBlock)},
    {Grenade_itfc, sizeof(GrenadeBlock)},              {AMCapsule_itfc, sizeof(AMCapsuleBlock)},
    {NuclearShock_itfc, sizeof(NuclearShockBlock)},    {HVSegment_itfc, sizeof(HVSegmentBlock)},
    {PlasmaBolt_itfc, sizeof(PlasmaBoltBlock)},
};
constexpr int kStoredWeaponCount = static_cast<int>(std::size(kStoredWeapons));
// The two cannon forms follow the stored kinds.
constexpr int kHVCannonKind = kStoredWeaponCount;
constexpr int kBeamCannonKind = kStoredWeaponCount + 1;
constexpr int kWeaponKindCount = kStoredWeaponCount + 2;

inline construct* BareWeapon(int kind) {
    const WeaponKind& k = kStoredWeapons[kind];
    construct* con = CreateConstruct(0, 0);
    con->itfc = k.itfc;
    AllocItfcData(con, k.blockSize);
    if (k.itfc == AMCapsule_itfc) static_cast<AMCapsuleBlock*>(con->itfcData)->light = CreatePointLight();
    if (k.itfc == PlasmaBolt_itfc) static_cast<PlasmaBoltBlock*>(con->itfcData)->light = CreatePointLight();
    return con;
}

}  // namespace kvfuzz
