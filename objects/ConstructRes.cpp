// Geometry by name, the staged resources of the last object file taken into a construct, the spots'
// arming, the second look, placement relative to an owner and focus.
#include "objects/ConstructRes.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "core/Config.h"
#include "core/Fix3D.h"
#include "core/Memory.h"
#include "core/Package.h"
#include "world/Construct.h"
#include "world/Geom.h"
#include "world/ObjFile.h"
#include "world/ObjResources.h"
#include "world/QZEvent.h"
#include "world/TickCounter.h"

namespace {

// Bit 7 of the fourth flag byte: shown.
constexpr uint32_t kConShown = 0x80000000u;

uint32_t StreamU32(FILE* stream) {
    uint8_t b[4];
    if (qzpk_fread(b, 1, 4, stream) != 4) FatalError("Error(LoadGeom): object length missing from the stream");
    return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
           static_cast<uint32_t>(b[3]) << 24;
}

}  // namespace

Geom* LoadGeom(float scale, const char* directory, const char* name, FILE* stream) {
    char purpose[300];
    std::snprintf(purpose, sizeof purpose, "geom: %s", name ? name : "");
    // The object is read whole before the Geom is made: a length beyond the stream's end or a missing
    // file is refused with nothing made, and a stream is left just after the object.
    std::vector<uint8_t> bytes;
    char path[512];
    if (stream) {
        const uint32_t length = StreamU32(stream);
        if (length > (1u << 28)) FatalErrorF("Error(LoadGeom): object of %u bytes in the stream", length);
        bytes.resize(length);
        if (length && qzpk_fread(bytes.data(), 1, length, stream) != length)
            FatalErrorF("Error(LoadGeom): object of %u bytes runs past the end of the stream", length);
        std::snprintf(path, sizeof path, "%s", name && *name ? name : "stream");
    } else {
        if (!name || !*name)
            std::snprintf(path, sizeof path, "%s", directory);
        else
            std::snprintf(path, sizeof path, "%s%c%s", directory, kPathSeparator, name);
        if (!ReadObjectFileBytes(path, bytes)) {
            DebugPrintf("error on attempt to load object %s\n", path);
            FatalError("Error(LoadCCADObj): Can't open file.");
        }
    }
    Geom* g = CreateGeom(purpose);
    ReadCCADObj(bytes.data(), bytes.size(), path, scale, g, 0);
    return g;
}

void AllocBBoards(construct* con, int followPhase, int unlit) {
    if (CCADBBoardCount <= 0) return;
    con->bboards = static_cast<bboard**>(qzAlloc(static_cast<int>(sizeof(bboard*)) * CCADBBoardCount, "bboards"));
    con->bboardCount = CCADBBoardCount;
    for (int i = 0; i < CCADBBoardCount; ++i) {
        bboard* b = CCADBBoards[i];
        b->followPhase = static_cast<uint8_t>(followPhase);
        b->fixedColour = static_cast<uint8_t>(unlit);
        con->bboards[i] = b;
        CCADBBoards[i] = nullptr;
    }
    CCADBBoardCount = 0;
}

void AllocBSpheres(construct* con) {
    if (CCADSphereCount <= 0) return;
    con->spheres =
        static_cast<SphereRecord*>(qzAlloc(static_cast<int>(sizeof(SphereRecord)) * CCADSphereCount, "bsphere1"));
    std::memcpy(con->spheres, CCADSpheres, sizeof(SphereRecord) * static_cast<size_t>(CCADSphereCount));
    con->sphereCount = CCADSphereCount;
    CCADSphereCount = 0;
}

void AllocSpots(construct* con) {
    if (CCADSpotCount <= 0) return;
    con->spots = static_cast<SpotRecord*>(qzAlloc(static_cast<int>(sizeof(SpotRecord)) * CCADSpotCount, "spt"));
    std::memcpy(con->spots, CCADSpots, sizeof(SpotRecord) * static_cast<size_t>(CCADSpotCount));
    con->spotCount = CCADSpotCount;
    CCADSpotCount = 0;
}

void AllocHField(construct* con) {
    if (CCADHFieldCount <= 0) return;
    const CCADHField& staged = CCADHFields[0];
    auto* hf = static_cast<hfield*>(qzAlloc(sizeof(hfield), "hfield"));
    hf->n = staged.n;
    hf->heights = nullptr;
    const int cells = staged.n * staged.n;
    if (cells > 0 && staged.heights) {
        hf->heights = static_cast<uint16_t*>(qzAlloc(cells * 2, "hfield heights"));
        // Four times a staged height above 16383 does not fit the 16-bit height: it is held at the top
        // instead of wrapping to a low one.
        for (int i = 0; i < cells; ++i)
            hf->heights[i] = static_cast<uint16_t>(std::min<int32_t>(staged.heights[i] * 4, 65535));
    }
    if (con->hf) {
        qzFree(con->hf->heights);
        qzFree(con->hf);
    }
    con->hf = hf;
}

void ShowConstructList(int count, construct** list, int hide) {
    for (int i = 0; i < count; ++i) {
        if (!list[i]) continue;
        if (hide)
            list[i]->flags &= ~kConShown;
        else
            list[i]->flags |= kConShown;
    }
}

void SetCameraBounds(construct* con) {
    const int32_t lo[3] = {-1000, -1000, -1000};
    const int32_t hi[3] = {1000, 1000, 1000};
    BoxCornersToFaces(con->box.corners, lo, hi);
    std::memset(con->sphere.centre, 0, sizeof con->sphere.centre);
    con->sphere.radius = 1500;
    con->sphere.stamp = static_cast<int32_t>(FrameCounter - 1);
}

void ClearFaceVectors(Geom* g) {
    if (!g || !g->faces) return;
    GeomFace* f = g->faces;
    for (int i = 0; i < g->faceCount; ++i, f = NextFace(f)) std::memset(f->normal, 0, sizeof f->normal);
}

void ResetSpots(construct* con) {
    for (int i = 0; i < con->spotCount; ++i) con->spots[i].countdown = con->spots[i].value;
}

void ResetSpotsOfKind(construct* con, SpotKind kind) {
    for (int i = 0; i < con->spotCount; ++i)
        if (con->spots[i].kind == static_cast<int32_t>(kind)) con->spots[i].countdown = con->spots[i].value;
}

int HasActiveSpots(const construct* con) {
    for (int i = 0; i < con->spotCount; ++i) {
        const SpotRecord& s = con->spots[i];
        if (s.kind >= 0 && s.kind <= 3) return 1;
        if ((s.kind == 4 || s.kind == 5) && s.value > 1) return 1;
    }
    return 0;
}

void SwapConstructVisuals(construct* con, construct* other) {
    if (!con || !other) return;
    std::swap(con->subCount, other->subCount);
    std::swap(con->subCapacity, other->subCapacity);
    std::swap(con->subs, other->subs);
    SwapLODGeoms(con->lod, other->lod);
    SwapBBoardLists(con, other);
    SwapConstructPair1(con, other);
    SwapConstructPair2(con, other);
}

void PlacePointRelativeToOwner(const construct* owner, int32_t* position, const int32_t* offset) {
    FixVec at{owner->pos[0], owner->pos[1], owner->pos[2]};
    if (offset) {
        FixVec local{offset[0], offset[1], offset[2]};
        FixVec world{};
        RotateVecTSafe(&world, reinterpret_cast<const FixMatrix*>(owner->orient), &local);
        at.x += world.x;
        at.y += world.y;
        at.z += world.z;
    }
    position[0] = at.x;
    position[1] = at.y;
    position[2] = at.z;
}

void PlaceRelativeToOwner(const construct* owner, construct* con, const int32_t* offset) {
    PlacePointRelativeToOwner(owner, con->pos, offset);
    std::memcpy(con->orient, owner->orient, sizeof con->orient);
}

void FocusConstruct(construct* con) {
    if (BuzyGuard) FatalError("Error(FocusConstruct): Called from within itfc loop");
    if (con->focusCount == 0) {
        if (con->flags & kConBusy) {
            con->savedBusyLevel = con->busyLevel;
            CreateQZEvent(QZEventKind::Buzy0, con);
            FlushQZEvents();
        } else {
            con->savedBusyLevel = 255;
        }
    }
    // The count is a byte: past 255 nested focuses it stays at 255 rather than wrapping to unfocused.
    if (con->focusCount < 255) ++con->focusCount;
}

void UnFocusConstruct(construct* con) {
    if (BuzyGuard) FatalError("Error(UnFocusConstruct): Called from within itfc loop");
    // An unfocus without a focus leaves the count at 0 instead of wrapping it to 255.
    if (con->focusCount == 0) return;
    if (--con->focusCount != 0) return;
    if ((con->flags & kConBusy) && con->savedBusyLevel <= 3) {
        CreateQZEvent(static_cast<int32_t>(con->savedBusyLevel), con);
        FlushQZEvents();
    }
}

void AddVecClamped(const void*, int32_t value[3], const int32_t maximum[3], const int32_t step[3]) {
    for (int k = 0; k < 3; ++k) {
        value[k] += step[k];
        if (value[k] > maximum[k]) value[k] = maximum[k];
    }
}
