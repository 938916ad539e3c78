// Constructs: the placed object instances of the world (buildings, scenery, cameras, units, projectiles,
// effects), with their flags, position, orientation, dispatcher, type data, sub-constructs, geometry in
// four levels of detail, billboards, spheres, spots, height field and hit slots.
#pragma once

#include <cstdint>

#include "core/Fix3D.h"
#include "objects/Itfc.h"
#include "world/Geom.h"

struct PlayerCell;
struct Unit;
struct Clan;

// Construct flag bits used by the world model.
enum : uint32_t {
    kConHittable = 0x1,        // an element that takes hits (kept out of unit collisions)
    kConActive = 0x4,          // member of "visible"
    kConBusy = 0x8,            // member of one of the four busy pools
    kConBusyPool0 = 0x10,      // 0x10 << level: member of "buzy<level>"
    kConEventPending = 0x100,  // a make-busy event is queued
    kConInputDriven = 0x40000,
    kConNoHitSlot = 0x2000000,
};

// A spot record ("spt"): kind, countdown, start value, offset and three words of the kind's own.
struct SpotRecord {
    int32_t kind;
    int32_t countdown;
    int32_t value;
    int32_t offset[3];
    int32_t words[3];
};
static_assert(sizeof(SpotRecord) == 36);

// A construct's height field: n x n heights, row by row.
struct hfield {
    int32_t n;
    uint16_t* heights;  // "hfield heights"
};

// The lights that reach a construct in the current view: the sun and up to six point lights, their
// directions in object space and their colours (point lights already scaled by their falloff).
constexpr int kConstructPointLights = 6;
struct ConstructLights {
    int32_t dirLight[3];  // 1.15
    int32_t dirColour[3];
    int32_t pointCount;
    struct {
        int32_t dir[3];  // 1.15
        int32_t colour[3];
    } points[kConstructPointLights];
};

struct construct {
    uint32_t flags;
    uint32_t initialFlags;      // a copy is created with these
    uint8_t sampleCornerCount;  // valid entries of sampleCorners
    uint8_t footprint;          // placed statics: 1 quarter tile, 4 whole tile
    uint8_t byte2;
    uint8_t collisionClass;  // 0 none, 255 every class, else not its own class
    uint32_t typeWord;
    uint8_t sampleCorners[8];  // box corner numbers used as collision sample points
    uint16_t drawStamps[2];    // renderer: normal and reflection pass stamps
    int32_t pos[3];            // 16.16 world units, y up
    int32_t orient[9];         // 1.15, row by row
    PlayerCell* playerCell;    // whose control records drive it, or null
    ItfcProc itfc;             // the type's dispatcher
    void* itfcData;            // the type data block (owned)
    Unit* unit;                // units-file entry, or null
    int32_t subCount;
    int32_t subCapacity;
    construct** subs;     // "SubConstruct list" (owned, with its members)
    BoxBlock box;         // from the level-0 Geom
    SphereRecord sphere;  // bounding sphere; radius 0 until geometry is set
    int32_t sphereCount;
    SphereRecord* spheres;  // "bsphere2"
    int32_t bboardCount;
    bboard** bboards;  // "bboards", each owned
    int32_t spotCount;
    SpotRecord* spots;        // "spt"
    hfield* hf;               // owned, or null
    int32_t distance;         // to the viewing camera (renderer); selects the level of detail
    Geom* lod[4];             // slots may share a Geom
    Geom* shadow;             // owned, or null
    construct* hits[4];       // collision partners
    int32_t hitPoints[4][3];  // contact point of each hit slot, world units
    construct* owner;         // the construct that launched a projectile or effect
    // Words of the object types and the renderer.
    int32_t effectPhase;
    uint8_t focusCount;
    uint8_t savedBusyLevel;
    uint8_t opacity;
    uint8_t drawScale;
    int32_t typeWords[8];
    uint8_t busyLevel;  // 0..3: the busy pool that holds it
    uint8_t bytes2[2];
    uint8_t kind;  // 8 at creation
    Clan* clan;
    uint8_t marker;   // 255 at creation
    uint8_t shade;    // 255 at creation
    uint8_t byte255;  // 255 at creation
    uint8_t byte0;
    void* cutTrack;  // record/replay track, or null
    // Renderer: the quarters of the board the construct is anchored in this view, counted down as they
    // are drawn, and 128 less one for each of those whose terrain was drawn.
    uint8_t anchorQuarters;
    uint8_t drawnQuarters;
    // Renderer: what construct drawing keeps of the current view and pass.
    uint8_t shadowOpacity;   // 255 at creation; the shadow is drawn with the lower of it and opacity
    int32_t middleDepth;     // mean camera z of box corners 0 and 6
    int32_t camBox[8][4];    // box corners in camera space: x, y, z and a scratch word
    FixMatrix camMatrix;     // orientation times the projection matrix
    FixVec camOrigin;        // position in camera space
    FixMatrix normalMatrix;  // orientation times the view matrix
    FixVec eyeObj;           // the eye in object units (quarter world units)
    ConstructLights lights;  // the lights that reach it, in object space
};

// A new construct with a sub-construct list of subCapacity entries (none below 1) and the given flags.
construct* CreateConstruct(int subCapacity, uint32_t flags);
// Frees the construct and everything it owns; null is ignored.
void FreeConstruct(construct* con);
// Called for a construct with a record/replay track as it is freed, so that the cut scenes forget it; the
// game binds it to the record/replay's ForgetCutSceneUnit (game/LayerHooks.cpp).
extern void (*ForgetCutSceneUnitHook)(construct* con);
// A deep copy for instancing; the type must answer COPYITFCDATA.
construct* CopyConstruct(const construct* con);
// Stores the four LOD Geoms; the first time also takes the level-0 Geom's sphere and box.
void SetConstructGeoms(construct* con, Geom* g0, Geom* g1, Geom* g2, Geom* g3);
void SetConstructShadowGeom(construct* con, Geom* g);
// The Geom for the construct's distance (131072 world units per level).
Geom* LODGeomForDistance(const construct* con);
// Attaches sub to parent and re-bases the sub's geometry on its anchor.
void AppendSubConstruct(construct* parent, construct* receiver, const int32_t* anchor, construct* sub,
                        int axisMask);

struct SoundDesc;
// Plays a descriptor as a positional sound at a construct's position, with zero velocity.
void PlayUnitSoundAt(const construct* c, SoundDesc* holder);
