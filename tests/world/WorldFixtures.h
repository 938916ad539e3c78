// Shared fixtures of the world model tests: a small object type, hand-made geometry and the level's
// busy pools.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "core/Memory.h"
#include "objects/Itfc.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/QZEvent.h"

namespace kvtest {

// A type whose data block is four words; it copies its block and counts its ticks in word 0.
inline uintptr_t TestBox_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    auto* data = con ? static_cast<int32_t*>(con->itfcData) : nullptr;
    if (method == ItfcMethod::CREATE) {
        construct* c = CreateConstruct(4, 0);
        c->itfc = TestBox_itfc;
        AllocItfcData(c, 16);
        return reinterpret_cast<uintptr_t>(c);
    }
    if (method == ItfcMethod::GETNAME) return reinterpret_cast<uintptr_t>("TestBox");
    if (method == ItfcMethod::TICK) {
        ++data[0];
        return 0;
    }
    if (method == ItfcMethod::GETITFCDATA || method == ItfcMethod::COPYITFCDATA)
        return CopyItfcDataBlock(data, 16, "TestBox", arg);
    return ItfcUnknownMethod("TestBox", method);
}

// A type that cannot copy its data.
inline uintptr_t NoCopy_itfc(construct*, ItfcMethod method, uintptr_t) {
    if (method == ItfcMethod::GETNAME) return reinterpret_cast<uintptr_t>("NoCopy");
    return 0;
}

inline construct* NewTestBox() {
    return reinterpret_cast<construct*>(TestBox_itfc(nullptr, ItfcMethod::CREATE, 0));
}

// A Geom of `points` points at (i, 2i, 3i) and `faces` triangles over consecutive points.
inline Geom* MakeGeom(int points, int faces, const char* purpose = "test geom") {
    Geom* g = CreateGeom(purpose);
    g->pointCount = points;
    g->points =
        static_cast<GeomPoint*>(qzAlloc(static_cast<int>(sizeof(GeomPoint)) * points, "geom pt list"));
    std::memset(g->points, 0, sizeof(GeomPoint) * static_cast<size_t>(points));
    for (int i = 0; i < points; ++i) {
        g->points[i].pos[0] = i;
        g->points[i].pos[1] = 2 * i;
        g->points[i].pos[2] = 3 * i;
    }
    g->faceCount = faces;
    if (faces > 0) {
        g->faces = static_cast<GeomFace*>(qzAlloc(FaceBytes(3) * faces, "geom face list"));
        std::memset(g->faces, 0, static_cast<size_t>(FaceBytes(3) * faces));
        GeomFace* f = g->faces;
        for (int i = 0; i < faces; ++i, f = NextFace(f)) {
            f->vertexCount = 3;
            f->type = static_cast<uint8_t>(i % 4);
            for (int k = 0; k < 3; ++k) FaceVerts(f)[k].point = &g->points[(i + k) % points];
        }
    }
    return g;
}

// The level's "visible" and busy pools, deleted with everything else registered afterwards.
class LevelPools : public ::testing::Test {
protected:
    void SetUp() override {
        VisiblePool = CreateConstructPool(2048, "visible");
        const char* names[4] = {"buzy0", "buzy1", "buzy2", "buzy3"};
        const int caps[4] = {1024, 256, 256, 256};
        for (int i = 0; i < 4; ++i) BuzyPools[i] = CreateConstructPool(caps[i], names[i]);
    }
    void TearDown() override {
        BuzyGuard = 0;
        ClearQZEvents();
        while (ConstructPoolCount > 0) DeleteConstructPool(ConstructPoolTable[0]);
        VisiblePool = nullptr;
        for (auto& p : BuzyPools) p = nullptr;
    }
};

}  // namespace kvtest
