// Billboards: creation, copies along the chain, freeing, face resolution and lookup by name.
#include <cstdio>
#include <cstring>

#include "core/Memory.h"
#include "objects/Units.h"
#include "world/Construct.h"
#include "world/Geom.h"
#include "world/ObjResources.h"

namespace {

// The units-file entry's name for messages.
const char* UnitNameOf(const Unit* unit) {
    return unit->name;
}

void ReleaseDummy(DummyTex* d) {
    if (!d) return;
    if (--d->refs > 0) return;
    ObjDeleteDummyTexture(d->tex);
    qzFree(d);
}

}  // namespace

DummyTex* CreateDummyTex(Tex* tex) {
    auto* d = static_cast<DummyTex*>(qzAlloc(sizeof(DummyTex), "dummy tex"));
    d->tex = tex;
    d->refs = 1;
    return d;
}

bboard* CreateBBoard() {
    auto* b = static_cast<bboard*>(qzAlloc(sizeof(bboard), "bboard"));
    std::memset(b, 0, sizeof *b);
    std::strcpy(b->name, "<noname>");
    b->pos[0] = kUnsetCoord;
    b->dir[0] = kUnsetCoord;
    std::memset(b->colour, 255, sizeof b->colour);
    b->alpha = b->shade = b->fixedFrame = 255;
    b->drawAlpha = 255;
    return b;
}

void FreeBBoard(bboard* b) {
    while (b) {
        bboard* next = b->next;
        FreeGeom(b->geom);
        qzFree(b->faces);
        qzFree(b->vertices);
        // Copies share the dummy texture: it is deleted with the last billboard that holds it.
        ReleaseDummy(b->dummy);
        qzFree(b);
        b = next;
    }
}

bboard* CopyBBoard(const Geom* src, const Geom* copy, const bboard* b) {
    if (!b) return nullptr;
    auto* c = static_cast<bboard*>(qzAlloc(sizeof(bboard), "bboard"));
    std::memcpy(c, b, sizeof *c);
    c->geom = CopyGeom(b->geom);
    if (c->dummy) ++c->dummy->refs;
    c->vertices = nullptr;
    c->faces = nullptr;
    if (b->vertexCount > 0 && b->vertices) {
        c->vertices = static_cast<GeomPoint**>(
            qzAlloc(static_cast<int>(sizeof(GeomPoint*)) * b->vertexCount, "vtx list"));
        for (int i = 0; i < b->vertexCount; ++i) {
            const int n = src ? PointIndex(src, b->vertices[i]) : -1;
            c->vertices[i] = n >= 0 && copy ? NthPoint(const_cast<Geom*>(copy), n) : nullptr;
        }
    }
    if (b->faceCount > 0 && b->faces) {
        c->faces =
            static_cast<uintptr_t*>(qzAlloc(static_cast<int>(sizeof(uintptr_t)) * b->faceCount, "face list"));
        for (int i = 0; i < b->faceCount; ++i) {
            if (b->resolve) {
                c->faces[i] = b->faces[i];  // still face numbers
                continue;
            }
            const int n = src ? FaceIndex(src, BBoardFace(b, i)) : -1;
            c->faces[i] =
                reinterpret_cast<uintptr_t>(n >= 0 && copy ? NthFace(const_cast<Geom*>(copy), n) : nullptr);
        }
    }
    c->next = CopyBBoard(src, copy, b->next);
    return c;
}

void ResolveBBoard(Geom* g, bboard* b) {
    for (int i = 0; i < b->faceCount; ++i) {
        const uintptr_t n = b->faces[i];
        if (n >= static_cast<uintptr_t>(g->faceCount)) FatalError("Error(ResolveBBoard): nonexisting face");
        b->faces[i] = reinterpret_cast<uintptr_t>(NthFace(g, static_cast<int>(n)));
    }
    b->resolve = 0;
}

bboard* FindBBoard(const construct* con, const char* name) {
    for (int i = 0; i < con->bboardCount; ++i)
        if (con->bboards[i] && std::strcmp(con->bboards[i]->name, name) == 0) return con->bboards[i];
    return nullptr;
}

bboard* NamedBBoard(const construct* con, const char* name) {
    bboard* b = FindBBoard(con, name);
    if (b) return b;
    const char* unitName = con->unit ? UnitNameOf(con->unit) : nullptr;
    if (unitName) FatalErrorF("Error(NamedBBoard): bboard named '%s' not present (%s)", name, unitName);
    FatalErrorF("Error(NamedBBoard): bboard named '%s' not present", name);
    return nullptr;
}
