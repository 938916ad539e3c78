// What the object types share to build their constructs and to throw effects into the world: loading a
// geometry by name, taking what the last object file read staged (billboards, bounding spheres, spots, a
// height field) into a construct, the spots that emit smoke, explosions and fire, switching between two
// looks, launching parts and fragments, shard lists, placing relative to an owner, and focus.
#pragma once

#include <cstdint>
#include <cstdio>

#include "objects/EffectBlocks.h"

struct construct;
struct Geom;
struct SoundDesc;

// The spot kinds of an object file.
enum class SpotKind : int32_t {
    BlackSmoke = 0,
    WhiteSmoke = 1,
    Reserved2 = 2,
    Reserved3 = 3,
    ExplosionWithFire = 4,
    Explosion = 5,
    Fire = 6,
};

// The fragments a unit or building owns (the unit record's owned-construct list): destroyed with it.
struct OwnedConstructs {
    int32_t count;
    construct** list;  // "shard list"
};

// Creates a Geom ("geom: <name>") and reads an object file into it, scaled. With a stream: a 32-bit
// length and that many bytes of object are read, leaving the stream just after them. Without: the file
// is the directory itself when name is empty, else "<directory>\<name>". A missing file is fatal.
Geom* LoadGeom(float scale, const char* directory, const char* name, FILE* stream);

// Take the staged billboards ("bboards"), bounding spheres ("bsphere1") or spots ("spt") into the
// construct; nothing staged leaves the construct without a list. The billboards get the follow-phase and
// unlit flags given.
void AllocBBoards(construct* con, int followPhase, int unlit = 0);
void AllocBSpheres(construct* con);
void AllocSpots(construct* con);
// Makes the construct's height field from the first staged one, heights times 4; the staged height
// fields stay staged.
void AllocHField(construct* con);

// Shows (hide 0) or hides (non-zero) each construct of a list: bit 7 of its fourth flag byte.
void ShowConstructList(int count, construct** list, int hide);
// A camera's box of -1000..1000 on each axis and its bounding sphere of radius 1500 at the origin.
void SetCameraBounds(construct* con);
// Clears words 3 to 5 of every face of a geometry (the face normal).
void ClearFaceVectors(Geom* g);

// Spots: re-arm every spot / the spots of one kind (countdown = start value); 1 when a smoke spot or an
// explosion spot with a start value above 1 is present.
void ResetSpots(construct* con);
void ResetSpotsOfKind(construct* con, SpotKind kind);
int HasActiveSpots(const construct* con);
// Runs the spots of a unit or building for one tick: smoke, explosions and fire from the shared pools.
void UpdateSpotEffects(construct* con);

// Exchanges the sub-construct lists, geometries, billboards, bounding spheres and spots of two
// constructs; nothing happens when other is null.
void SwapConstructVisuals(construct* con, construct* other);

// Throws the parts of a list that are neither busy nor waiting for an event: each is made busy, placed
// at the owner with its anchor as offset and given velocity = the anchor's direction times the factor of
// each axis (each component at most 100000) and the spin.
void LaunchParts(construct* owner, int count, construct** parts, const float factor[3], const float spin[3]);
// Throws count fragments of a destroyed unit, made from the fragment files "app\objects\<name>\frag<n>"
// (1 to available) into the pool "frag" while it has room, launched as LaunchParts launches (factor per
// axis). Fewer than one file available spawns nothing.
void SpawnFrags(construct* owner, const char* name, int count, int available, const float factor[3],
                const float spin[3]);
// Fills an owned list with Shard constructs made from "<directory>\frag1".."frag<count>"; count -1 takes
// every fragment file up to the first missing one.
void AllocShards(OwnedConstructs* owned, const char* directory, int count);
// Throws the shards of a bursting building with its sound.
void BurstIntoShards(construct* building, int count, construct** shards, SoundDesc* sound);
// DESTROYs every construct of the owned list and frees the list.
void DestroySubConstructs(OwnedConstructs* owned);

// Places a construct / a record's position at the owner, offset by the given local offset turned into
// the world (none: at the owner's position); a construct also takes the owner's orientation.
void PlaceRelativeToOwner(const construct* owner, construct* con, const int32_t* offset);
void PlacePointRelativeToOwner(const construct* owner, int32_t* position, const int32_t* offset);

// A construct that a camera looks at ticks at busy level 0 while focused; focus counts nest. Both are
// fatal while the busy pools are being updated.
void FocusConstruct(construct* con);
void UnFocusConstruct(construct* con);

// value += step per component, each then held at or below its maximum.
void AddVecClamped(const void* unused, int32_t value[3], const int32_t maximum[3], const int32_t step[3]);
