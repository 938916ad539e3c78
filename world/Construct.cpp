// Creating, freeing and copying constructs, their geometry slots, level of detail and sub-constructs.
#include "world/Construct.h"

#include <cstring>

#include "core/Fix3D.h"
#include "core/Memory.h"
#include "platform/Sound.h"
#include "render/Stamps.h"
#include "world/QZEvent.h"
#include "world/TickCounter.h"

namespace {

template <typename T>
T* CopyArray(const T* src, int count, const char* purpose) {
    if (!src || count < 1) return nullptr;
    T* out = static_cast<T*>(qzAlloc(static_cast<int>(sizeof(T)) * count, purpose));
    std::memcpy(out, src, sizeof(T) * static_cast<size_t>(count));
    return out;
}

// Moves a billboard chain by -d (quarter units); unset positions stay unset.
void ShiftBBoardChain(bboard* b, const int32_t d[3]) {
    for (; b; b = b->next) {
        if (b->pos[0] == kUnsetCoord) continue;
        for (int k = 0; k < 3; ++k) b->pos[k] -= d[k];
    }
}

void ShiftGeom(Geom* g, const int32_t d[3]) {
    for (int i = 0; i < g->pointCount; ++i)
        for (int k = 0; k < 3; ++k) g->points[i].pos[k] -= d[k];
    for (auto& corner : g->box.corners)
        for (int k = 0; k < 3; ++k) corner[k] -= d[k];
    for (int k = 0; k < 3; ++k) g->sphere.centre[k] -= d[k];
}

}  // namespace

construct* CreateConstruct(int subCapacity, uint32_t flags) {
    auto* con = static_cast<construct*>(qzAlloc(sizeof(construct), "construct"));
    std::memset(con, 0, sizeof *con);
    con->flags = flags;
    con->initialFlags = flags;
    con->drawStamps[0] = con->drawStamps[1] = static_cast<uint16_t>(ViewStamp - 1);
    con->orient[0] = con->orient[4] = con->orient[8] = 32768;
    con->sphere.stamp = static_cast<int32_t>(FrameCounter - 1);
    con->kind = 8;
    con->marker = 255;
    con->shade = 255;
    con->byte255 = 255;
    con->opacity = 255;
    con->shadowOpacity = 255;
    if (subCapacity >= 1) {
        con->subCapacity = subCapacity;
        con->subs = static_cast<construct**>(
            qzAlloc(static_cast<int>(sizeof(construct*)) * subCapacity, "SubConstruct list"));
        std::memset(con->subs, 0, sizeof(construct*) * static_cast<size_t>(subCapacity));
    }
    return con;
}

void FreeConstruct(construct* con) {
    if (!con) return;
    for (int i = 0; i < con->subCount; ++i) FreeConstruct(con->subs[i]);
    qzFree(con->subs);
    con->subs = nullptr;
    con->subCount = 0;
    UnMakeBuzy(con);
    DeactivateConstruct(con);
    // A queued event that still names this construct would run on freed memory: it is dropped.
    ForgetQZEventsOf(con);
    // A cut scene's segments hold their unit by reference: they forget a unit that is gone.
    if (con->cutTrack && ForgetCutSceneUnitHook) ForgetCutSceneUnitHook(con);
    qzFree(con->itfcData);
    qzFree(con->spheres);
    qzFree(con->spots);
    for (int i = 0; i < con->bboardCount; ++i) FreeBBoard(con->bboards[i]);
    qzFree(con->bboards);
    if (con->hf) {
        qzFree(con->hf->heights);
        qzFree(con->hf);
    }
    FreeLODGeoms(con->lod);
    FreeGeom(con->shadow);
    qzFree(con);
}

construct* CopyConstruct(const construct* src) {
    // The type data is asked for first, so that a type that cannot copy leaves nothing half-built.
    uintptr_t data = src->itfc ? src->itfc(const_cast<construct*>(src), ItfcMethod::COPYITFCDATA, 0) : 0;
    if (!data)
        FatalErrorF("Error(CopyConstruct): itfc '%s' does not support COPYITFCDATA",
                    src->itfc ? ItfcName(src->itfc) : "");
    construct* con = CreateConstruct(0, src->initialFlags);
    // LOD slots that share a Geom in the source share one copy.
    for (int i = 0; i < 4; ++i) {
        int same = -1;
        for (int j = 0; j < i && same < 0; ++j)
            if (src->lod[j] == src->lod[i]) same = j;
        con->lod[i] = same >= 0 ? con->lod[same] : CopyGeom(src->lod[i]);
    }
    con->itfc = src->itfc;
    con->itfcData = reinterpret_cast<void*>(data);
    if (src->shadow) con->shadow = CopyGeom(src->shadow);

    con->sphereCount = src->sphereCount;
    con->spheres = CopyArray(src->spheres, src->sphereCount, "bsphere2");
    con->spotCount = src->spotCount;
    con->spots = CopyArray(src->spots, src->spotCount, "spt");
    if (src->bboardCount > 0 && src->bboards) {
        con->bboardCount = src->bboardCount;
        con->bboards =
            static_cast<bboard**>(qzAlloc(static_cast<int>(sizeof(bboard*)) * src->bboardCount, "bboards"));
        for (int i = 0; i < src->bboardCount; ++i)
            con->bboards[i] = CopyBBoard(src->lod[0], con->lod[0], src->bboards[i]);
    }
    if (src->hf) {
        con->hf = static_cast<hfield*>(qzAlloc(sizeof(hfield), "hfield"));
        con->hf->n = src->hf->n;
        con->hf->heights = CopyArray(src->hf->heights, src->hf->n * src->hf->n, "hfield heights");
    }
    con->sampleCornerCount = src->sampleCornerCount;
    std::memcpy(con->sampleCorners, src->sampleCorners, sizeof con->sampleCorners);
    con->box = src->box;
    con->sphere = src->sphere;
    con->typeWord = src->typeWord;
    con->collisionClass = src->collisionClass;
    return con;
}

void SetConstructGeoms(construct* con, Geom* g0, Geom* g1, Geom* g2, Geom* g3) {
    con->lod[0] = g0;
    con->lod[1] = g1;
    con->lod[2] = g2;
    con->lod[3] = g3;
    if (con->sphere.radius == 0 && g0) {
        con->sphere = g0->sphere;
        con->box = g0->box;
    }
}

void SetConstructShadowGeom(construct* con, Geom* g) {
    con->shadow = g;
}

Geom* LODGeomForDistance(const construct* con) {
    int level = con->distance >> 17;
    if (level < 0) level = 0;
    if (level > 3) level = 3;
    return con->lod[level];
}

void AppendSubConstruct(construct* parent, construct* receiver, const int32_t* anchor, construct* sub,
                        int axisMask) {
    if (parent->subCount >= parent->subCapacity) FatalError("Error(AppendSubConstruct): Too many subs");
    parent->subs[parent->subCount++] = sub;
    Geom* g = sub->lod[0];
    if (!g) return;
    for (int k = 0; k < 3; ++k) sub->pos[k] = parent->pos[k] + g->anchor[k];
    // Shared geometry already re-based by an earlier copy is not moved again.
    if (g->parentOffset[0] != kOffsetUnset) return;

    const int32_t d[3] = {g->anchor[0] >> 2, g->anchor[1] >> 2, g->anchor[2] >> 2};
    for (int i = 0; i < sub->bboardCount; ++i) ShiftBBoardChain(sub->bboards[i], d);
    for (int i = 0; i < 4; ++i) {
        bool seen = false;
        for (int j = 0; j < i; ++j) seen = seen || sub->lod[j] == sub->lod[i];
        if (sub->lod[i] && !seen) ShiftGeom(sub->lod[i], d);
    }

    if (!anchor) {
        for (int k = 0; k < 3; ++k) g->parentOffset[k] = g->anchor[k];
        return;
    }
    for (int k = 0; k < 3; ++k) g->parentOffset[k] = g->anchor[k] - anchor[k];
    const FixVec selected{(axisMask & 1) ? g->parentOffset[0] : 0, (axisMask & 2) ? g->parentOffset[1] : 0,
                          (axisMask & 4) ? g->parentOffset[2] : 0};
    if (receiver && receiver->lod[0]) receiver->lod[0]->attachRadius = Length3(&selected);
}

void PlayUnitSoundAt(const construct* c, SoundDesc* holder) {
    static const int32_t kStill[3] = {0, 0, 0};
    if (!c || !PlaySampleFor(holder, kSoundPositional, 0, 0)) return;
    dxgl_SetSoundPosition(holder, c->pos, kStill, 0, 0);
}
