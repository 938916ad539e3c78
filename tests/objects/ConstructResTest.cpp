// Construct resources and effect spawning: geometry and staged resources by name from datakit files,
// the spots and the effects they take from the shared pools, launched parts and fragments, shard lists,
// placement relative to an owner and focus.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "core/Config.h"
#include "core/Memory.h"
#include "core/Package.h"
#include "host/Fs.h"
#include "objects/ObjectFixtures.h"
#include "support/Fatal.h"
#include "support/MemTrack.h"
#include "support/TempDir.h"
#include "tools/datakit/Bytes.h"
#include "tools/datakit/ObjectFile.h"
#include "world/ObjFile.h"

namespace {

using datakit::ObjectFile;
using kvtest::Piece_itfc;
using kvtest::Pieces;

class ConstructResTest : public kvtest::ObjectLevel {
protected:
    void SetUp() override {
        ObjectLevel::SetUp();
        old_ = std::filesystem::current_path();
        host::SetWorkingDirectory(dir_.path().c_str());
        ResetCCADStaging();
    }
    void TearDown() override {
        ResetCCADStaging();
        ObjectLevel::TearDown();
        host::SetWorkingDirectory(old_.c_str());
        host::FlushDirectoryCache();
    }
    void Write(const std::string& rel, const std::vector<uint8_t>& bytes) {
        dir_.Write(rel, std::string(bytes.begin(), bytes.end()));
        host::FlushDirectoryCache();
    }
    // An object with two billboards, two spheres, three spots and a height field.
    static ObjectFile Rich() {
        ObjectFile obj = datakit::BoxObject(1, 1, 1, {100, 100, 100});
        for (uint32_t p : {0u, 1u}) {
            datakit::ObjBBoard b;
            b.a = p;
            b.name = p ? "second" : "first";
            obj.bboards.push_back(b);
        }
        obj.Sphere(0, 1.0f);
        obj.Sphere(6, 0.5f);
        obj.Spot(1, 0, 0);
        obj.Spot(2, 5, 3);
        obj.Spot(3, 6, 0);
        obj.HField(2, {1, 2, 3, 4});
        return obj;
    }
    // A construct of the stand-in type with spots as given.
    static construct* WithSpots(std::initializer_list<SpotRecord> spots) {
        construct* con = reinterpret_cast<construct*>(Piece_itfc(nullptr, ItfcMethod::CREATE, 0));
        con->spotCount = static_cast<int32_t>(spots.size());
        con->spots = static_cast<SpotRecord*>(qzAlloc(static_cast<int>(sizeof(SpotRecord) * spots.size()), "spt"));
        int i = 0;
        for (const SpotRecord& s : spots) con->spots[i++] = s;
        return con;
    }
    static int ActiveIn(SharedPoolId id) {
        int n = 0;
        ConstructPool* pool = SharedPool(id);
        for (int i = 0; pool && i < pool->count; ++i) n += (pool->constructs[i]->flags & kConActive) != 0;
        return n;
    }
    kvtest::FatalCatcher fatal_;
    kvtest::TempDir dir_;

private:
    std::string old_;
};

TEST_F(ConstructResTest, GeometryByNameAndFromAStream) {
    kvtest::MemTrack track;
    Write("Objects/weapons/bullet", datakit::BoxObject(1, 2, 3, {9, 9, 9}).Bytes());
    Write("Objects/weapons/vapour1", datakit::BoxObject(1, 1, 1, {9, 9, 9}).Bytes());

    Geom* named = LoadGeom(4.0f, "Objects\\weapons", "bullet", nullptr);
    EXPECT_EQ(named->pointCount, 8);
    EXPECT_EQ(track.Live("geom: bullet"), 1);
    Geom* itself = LoadGeom(4.0f, "Objects\\weapons\\vapour1", "", nullptr);
    EXPECT_EQ(itself->pointCount, 8);

    // A stream: a length, the object, then whatever follows stays to be read.
    const std::vector<uint8_t> obj = datakit::BoxObject(1, 1, 1, {1, 2, 3}).Bytes();
    datakit::Bytes stream;
    stream.u32(static_cast<uint32_t>(obj.size()));
    stream.raw(obj.data(), obj.size());
    stream.u32(0xC0FFEEu);
    Write("stream.bin", stream.data());
    FILE* f = qzpk_fopen("stream.bin", "rb");
    ASSERT_NE(f, nullptr);
    Geom* streamed = LoadGeom(4.0f, "", "part", f);
    EXPECT_EQ(streamed->pointCount, 8);
    uint8_t tail[4] = {};
    EXPECT_EQ(qzpk_fread(tail, 1, 4, f), 4u);
    EXPECT_EQ(tail[0], 0xEE);
    qzpk_fclose(f);

    // A length beyond the stream's end and a missing file are fatal.
    datakit::Bytes cut;
    cut.u32(1000);
    cut.raw(obj.data(), 10);
    Write("cut.bin", cut.data());
    f = qzpk_fopen("cut.bin", "rb");
    try {
        LoadGeom(4.0f, "", "part", f);
        ADD_FAILURE() << "no fatal error";
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(LoadGeom): object of 1000 bytes runs past the end of the stream");
    }
    qzpk_fclose(f);
    try {
        LoadGeom(4.0f, "Objects\\weapons", "shell", nullptr);
        ADD_FAILURE() << "no fatal error";
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(LoadCCADObj): Can't open file.");
    }
    FreeGeom(named);
    FreeGeom(itself);
    FreeGeom(streamed);
    // The Geoms made before the fatal errors are the caller's; those of the failed loads are dropped
    // with the process in the game.
    EXPECT_EQ(track.Live("geom: bullet"), 0);
}

TEST_F(ConstructResTest, StagedResourcesAreTakenIntoTheConstruct) {
    Write("Objects/rich", Rich().Bytes());
    construct* con = CreateConstruct(0, 0);
    Geom* g = LoadGeom(4.0f, "Objects", "rich", nullptr);
    SetConstructGeoms(con, g, g, g, g);
    ASSERT_EQ(CCADBBoardCount, 2);
    AllocBBoards(con, 1, 1);
    AllocBSpheres(con);
    AllocSpots(con);
    AllocHField(con);

    ASSERT_EQ(con->bboardCount, 2);
    EXPECT_STREQ(con->bboards[1]->name, "second");
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(con->bboards[i]->followPhase, 1);
        EXPECT_EQ(con->bboards[i]->fixedColour, 1);
    }
    EXPECT_EQ(con->sphereCount, 2);
    ASSERT_EQ(con->spotCount, 3);
    EXPECT_EQ(con->spots[1].kind, 5);
    EXPECT_EQ(con->spots[1].value, 3);
    ASSERT_NE(con->hf, nullptr);
    EXPECT_EQ(con->hf->n, 2);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(con->hf->heights[i], CCADHFields[0].heights[i] * 4);
    // Taken kinds are empty; the height fields stay staged.
    EXPECT_EQ(CCADBBoardCount, 0);
    EXPECT_EQ(CCADSphereCount, 0);
    EXPECT_EQ(CCADSpotCount, 0);
    EXPECT_EQ(CCADHFieldCount, 1);

    // Nothing staged gives no lists; a height four times over 16 bits is held at the top.
    construct* bare = CreateConstruct(0, 0);
    AllocBBoards(bare, 0);
    AllocBSpheres(bare);
    AllocSpots(bare);
    EXPECT_EQ(bare->bboards, nullptr);
    EXPECT_EQ(bare->spheres, nullptr);
    EXPECT_EQ(bare->spots, nullptr);
    CCADHFields[0].heights[0] = 20000;
    CCADHFields[0].heights[1] = 16383;
    AllocHField(bare);
    EXPECT_EQ(bare->hf->heights[0], 65535);
    EXPECT_EQ(bare->hf->heights[1], 65532);
    FreeConstruct(con);
    FreeConstruct(bare);
}

TEST_F(ConstructResTest, SpotsFireTheirEffectsFromTheSharedPools) {
    for (PoolType t : {PoolType::Smoky, PoolType::Explode1, PoolType::Shockwave, PoolType::Fire1, PoolType::Shrapnel})
        Register(t);
    CreateSharedPools();
    construct* con = WithSpots({
        {0, 2, 2, {0, 0, 0}, {}},    // black smoke, fires on the 2nd tick and every 100 after
        {1, 0, 0, {0, 0, 0}, {}},    // white smoke with start value 0: never
        {5, 1, 1, {4, 0, 0}, {}},    // explosion: once
        {3, 1, 1, {0, 0, 0}, {}},    // nothing here
    });
    con->pos[0] = 1000;

    UpdateSpotEffects(con);
    EXPECT_EQ(ActiveIn(SharedPoolId::Smoky), 0);
    EXPECT_EQ(ActiveIn(SharedPoolId::Explode1), 1);
    EXPECT_EQ(ActiveIn(SharedPoolId::Shockwave), 1);
    EXPECT_EQ(ActiveIn(SharedPoolId::Shrapnel), 5);
    EXPECT_EQ(ActiveIn(SharedPoolId::Fire1), 0) << "a kind 5 explosion makes no fire";
    const construct* blast = SharedPool(SharedPoolId::Explode1)->constructs[0];
    EXPECT_EQ(blast->pos[0], 1004) << "placed at the spot";
    EXPECT_EQ(static_cast<int32_t*>(SharedPool(SharedPoolId::Shockwave)->constructs[0]->itfcData)[0], 50);
    const auto* piece = static_cast<const ShardRecord*>(SharedPool(SharedPoolId::Shrapnel)->constructs[0]->itfcData);
    EXPECT_EQ(piece->timer, 65);
    EXPECT_GE(piece->velocity[1], 65536);

    UpdateSpotEffects(con);
    EXPECT_EQ(ActiveIn(SharedPoolId::Smoky), 1);
    EXPECT_EQ(con->spots[0].countdown, 100) << "smoke repeats";
    const auto* smoke = static_cast<const int32_t*>(SharedPool(SharedPoolId::Smoky)->constructs[0]->itfcData);
    EXPECT_EQ(smoke[1], 10000);
    EXPECT_EQ(ActiveIn(SharedPoolId::Explode1), 1) << "explosions fire once";
    for (int i = 0; i < 99; ++i) UpdateSpotEffects(con);
    EXPECT_EQ(ActiveIn(SharedPoolId::Smoky), 1);
    UpdateSpotEffects(con);
    EXPECT_EQ(ActiveIn(SharedPoolId::Smoky), 2);

    // Re-armed, the explosion fires again; with fire (kind 4) only when the construct allows it.
    EXPECT_EQ(HasActiveSpots(con), 1);
    con->spots[2].kind = 4;
    ResetSpotsOfKind(con, SpotKind::ExplosionWithFire);
    UpdateSpotEffects(con);
    EXPECT_EQ(ActiveIn(SharedPoolId::Fire1), 1);
    con->flags |= 0x4000;
    ResetSpots(con);
    EXPECT_EQ(con->spots[1].countdown, 0);
    UpdateSpotEffects(con);
    EXPECT_EQ(ActiveIn(SharedPoolId::Fire1), 1);
    EXPECT_EQ(ActiveIn(SharedPoolId::Explode1), 3);
    FreeConstruct(con);
}

TEST_F(ConstructResTest, ActiveSpotsByKindAndStartValue) {
    struct Case {
        int32_t kind, value, active;
    } cases[] = {{0, 0, 1}, {1, 5, 1}, {2, 0, 1}, {3, 0, 1}, {4, 1, 0}, {4, 2, 1},
                 {5, 1, 0}, {5, 9, 1}, {6, 100, 0}, {7, 100, 0}};
    for (const Case& c : cases) {
        construct* con = WithSpots({{c.kind, 0, c.value, {0, 0, 0}, {}}});
        EXPECT_EQ(HasActiveSpots(con), c.active) << "kind " << c.kind << " value " << c.value;
        FreeConstruct(con);
    }
}

TEST_F(ConstructResTest, LaunchedPartsFlyAlongTheirAnchorsWithAnUpperSpeedLimit) {
    construct* owner = CreateConstruct(0, 0);
    owner->pos[1] = 500000;
    // Turned a quarter about y: the owner's local x is the world's -z.
    int32_t turn[9] = {0, 0, 32768, 0, 32768, 0, -32768, 0, 0};
    std::memcpy(owner->orient, turn, sizeof turn);
    construct* parts[3];
    for (int i = 0; i < 3; ++i) {
        parts[i] = reinterpret_cast<construct*>(Piece_itfc(nullptr, ItfcMethod::CREATE, 0));
        parts[i]->lod[0] = kvtest::MakeGeom(1, 0);
    }
    parts[0]->lod[0]->anchor[0] = 1000;
    parts[1]->lod[0]->anchor[0] = -1000;
    parts[2]->flags |= kConBusy;  // busy parts are left alone
    const float spin[3] = {1.5f, 2.5f, 3.5f};
    const float factor[3] = {200.0f, 200.0f, 200.0f};
    LaunchParts(owner, 3, parts, factor, spin);

    const auto* a = static_cast<ShardRecord*>(parts[0]->itfcData);
    const auto* b = static_cast<ShardRecord*>(parts[1]->itfcData);
    int32_t world[3];
    PlacePointRelativeToOwner(owner, world, parts[0]->lod[0]->anchor);
    EXPECT_EQ(parts[0]->pos[0], world[0]);
    EXPECT_EQ(parts[0]->pos[2], world[2]);
    EXPECT_EQ(parts[0]->pos[1], 500000);
    // One direction is held at +100000, the other passes below -100000 unchanged.
    const int32_t va = a->velocity[0] + a->velocity[2], vb = b->velocity[0] + b->velocity[2];
    EXPECT_EQ(std::max(va, vb), 100000);
    EXPECT_EQ(std::min(va, vb), -200000);
    EXPECT_EQ(a->spin[2], 3.5f);
    EXPECT_EQ(a->timer, 65);
    EXPECT_EQ(QZEventCount, 2);
    EXPECT_NE(parts[0]->flags & kConActive, 0u);
    EXPECT_EQ(parts[2]->flags & kConActive, 0u);
    // Far anchors: the upper limit holds, and far below it the speed stays within the word.
    ClearQZEvents();
    for (construct* p : parts) {
        DeactivateConstruct(p);
        p->flags &= ~(kConBusy | kConEventPending);
    }
    parts[0]->lod[0]->anchor[0] = 2000000000;
    parts[1]->lod[0]->anchor[0] = -2000000000;
    LaunchParts(owner, 2, parts, factor, spin);
    const int32_t fa = a->velocity[0] + a->velocity[2], fb = b->velocity[0] + b->velocity[2];
    EXPECT_EQ(std::max(fa, fb), 100000);
    EXPECT_EQ(std::min(fa, fb), INT32_MIN);
    ClearQZEvents();
    for (construct* p : parts) {
        DeactivateConstruct(p);
        p->flags &= ~kConBusy;
        FreeConstruct(p);
    }
    FreeConstruct(owner);
}

// Each axis has its own factor: a dying unit throws its pieces sixteen times harder upward than sideways.
TEST_F(ConstructResTest, LaunchVelocityTakesTheFactorOfEachAxis) {
    Register(PoolType::Shard);
    CreateSharedPools();
    construct* owner = CreateConstruct(0, 0);  // unturned: the anchor's direction is the world's
    const float spin[3] = {0, 0, 0};
    struct Case {
        const char* what;
        float factor[3];
        int32_t want[3];
    } cases[] = {
        {"(1, 16, 1)", {1, 16, 1}, {1200, 16000, -600}},
        {"(2, 3, 2)", {2, 3, 2}, {2400, 3000, -1200}},
        {"upward limit", {1, 200, 1}, {1200, 100000, -600}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        construct* part = reinterpret_cast<construct*>(Piece_itfc(nullptr, ItfcMethod::CREATE, 0));
        part->lod[0] = kvtest::MakeGeom(1, 0);
        const int32_t anchor[3] = {1200, 1000, -600};
        std::memcpy(part->lod[0]->anchor, anchor, sizeof anchor);
        LaunchParts(owner, 1, &part, c.factor, spin);
        const auto* rec = static_cast<const ShardRecord*>(part->itfcData);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(rec->velocity[k], c.want[k]) << "axis " << k;
        ClearQZEvents();
        DeactivateConstruct(part);
        FreeConstruct(part);
    }
    // The fragments of SpawnFrags alike, each made with that anchor.
    PoolTypeItfcs[static_cast<int>(PoolType::Shard)] = [](construct* con, ItfcMethod method, uintptr_t arg) -> uintptr_t {
        if (method != ItfcMethod::CREATE) return Piece_itfc(con, method, arg);
        auto* made = reinterpret_cast<construct*>(Piece_itfc(con, method, arg));
        made->lod[0] = kvtest::MakeGeom(1, 0);
        const int32_t at[3] = {1200, 1000, -600};
        std::memcpy(made->lod[0]->anchor, at, sizeof at);
        return reinterpret_cast<uintptr_t>(made);
    };
    const float frags[3] = {2, 3, 2};
    SpawnFrags(owner, "ema/tank", 1, 1, frags, spin);
    ASSERT_EQ(FragPool->count, 1);
    const auto* rec = static_cast<const ShardRecord*>(FragPool->constructs[0]->itfcData);
    EXPECT_EQ(rec->velocity[0], 2400);
    EXPECT_EQ(rec->velocity[1], 3000);
    EXPECT_EQ(rec->velocity[2], -1200);
    EXPECT_EQ(rec->lifetime, 1000);
    ClearQZEvents();
    DeactivateConstruct(FragPool->constructs[0]);
    FreeConstruct(owner);
}

TEST_F(ConstructResTest, FragmentsOfADestroyedUnitGoIntoTheFragPool) {
    Register(PoolType::Shard);
    CreateSharedPools();
    construct* owner = CreateConstruct(0, 0);
    const float spin[3] = {0, 0, 0};
    const float one[3] = {1.0f, 1.0f, 1.0f};

    struct Case {
        const char* what;
        int count, available;
        size_t made;
    } cases[] = {
        {"no fragment file", 3, 0, 0},
        {"one file: every piece from it", 4, 1, 4},
        {"nothing asked", 0, 3, 0},
        {"three files", 6, 3, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Pieces().created.clear();
        SpawnFrags(owner, "ema/tank", c.count, c.available, one, spin);
        ASSERT_EQ(Pieces().created.size(), c.made);
        for (const std::string& path : Pieces().created) {
            EXPECT_EQ(path.rfind("app\\objects\\ema\\tank\\frag", 0), 0u) << path;
            const int n = std::stoi(path.substr(path.size() - 1));
            EXPECT_GE(n, 1);
            EXPECT_LE(n, std::max(c.available, 1));
        }
    }
    EXPECT_EQ(FragPool->count, 10);
    const auto* first = static_cast<const ShardRecord*>(FragPool->constructs[0]->itfcData);
    EXPECT_EQ(first->lifetime, 1000);
    // A full pool takes no more.
    while (FragPool->count < FragPool->capacity)
        AppendToConstructPool(FragPool, reinterpret_cast<construct*>(Piece_itfc(nullptr, ItfcMethod::CREATE, 0)));
    Pieces().created.clear();
    SpawnFrags(owner, "ema/tank", 3, 3, one, spin);
    EXPECT_TRUE(Pieces().created.empty());
    ClearQZEvents();
    for (int i = 0; i < FragPool->count; ++i) DeactivateConstruct(FragPool->constructs[i]);
    FreeConstruct(owner);
}

TEST_F(ConstructResTest, ShardListsAndBursting) {
    Register(PoolType::Shard);
    for (int n = 1; n <= 3; ++n) Write("Objects/hut/frag" + std::to_string(n), {1});
    OwnedConstructs owned{};
    AllocShards(&owned, "Objects\\hut", -1);
    ASSERT_EQ(owned.count, 3);
    EXPECT_EQ(Pieces().created.back(), "Objects\\hut\\frag3");
    AllocShards(&owned, "Objects\\none", -1);
    EXPECT_EQ(owned.count, 0);
    EXPECT_EQ(owned.list, nullptr);
    EXPECT_EQ(std::count(Pieces().calls.begin(), Pieces().calls.end(), "DESTROY"), 3) << "the old list is emptied";

    AllocShards(&owned, "Objects\\hut", 2);
    ASSERT_EQ(owned.count, 2);
    construct* hut = CreateConstruct(0, 0);
    owned.list[1]->flags |= kConEventPending;
    BurstIntoShards(hut, owned.count, owned.list, nullptr);
    EXPECT_NE(owned.list[0]->flags & kConActive, 0u);
    EXPECT_EQ(owned.list[1]->flags & kConActive, 0u) << "a pending shard is left alone";
    const auto* rec = static_cast<const ShardRecord*>(owned.list[0]->itfcData);
    EXPECT_GE(rec->velocity[1], 0);
    EXPECT_EQ(rec->timer, 65);
    EXPECT_EQ(rec->lifetime, 0);
    ClearQZEvents();
    DeactivateConstruct(owned.list[0]);
    owned.list[1]->flags &= ~kConEventPending;
    DestroySubConstructs(&owned);
    EXPECT_EQ(owned.count, 0);
    FreeConstruct(hut);
}

TEST_F(ConstructResTest, FocusNestsAndRestoresTheBusyLevel) {
    construct* con = CreateConstruct(0, 0);
    MakeBuzy(con, 2);
    FocusConstruct(con);
    EXPECT_EQ(con->busyLevel, 0);
    FocusConstruct(con);
    UnFocusConstruct(con);
    EXPECT_EQ(con->busyLevel, 0) << "focused twice, unfocused once";
    UnFocusConstruct(con);
    EXPECT_EQ(con->busyLevel, 2);
    UnFocusConstruct(con);
    EXPECT_EQ(con->focusCount, 0) << "no wrap below zero";

    BuzyGuard = 1;
    try {
        FocusConstruct(con);
        ADD_FAILURE() << "no fatal error";
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(FocusConstruct): Called from within itfc loop");
    }
    try {
        UnFocusConstruct(con);
        ADD_FAILURE() << "no fatal error";
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(UnFocusConstruct): Called from within itfc loop");
    }
    BuzyGuard = 0;
    UnMakeBuzy(con);
    FocusConstruct(con);
    EXPECT_EQ(con->savedBusyLevel, 255) << "not busy";
    UnFocusConstruct(con);
    EXPECT_EQ(con->flags & kConBusy, 0u);
    FreeConstruct(con);
}

TEST_F(ConstructResTest, SmallOperations) {
    int32_t value[3] = {10, -50, 0};
    const int32_t maximum[3] = {12, -60, 100};
    const int32_t step[3] = {5, -5, 7};
    AddVecClamped(nullptr, value, maximum, step);
    EXPECT_EQ(value[0], 12);
    EXPECT_EQ(value[1], -60);
    EXPECT_EQ(value[2], 7);

    construct* a = CreateConstruct(2, 0);
    construct* b = CreateConstruct(0, 0);
    a->lod[0] = kvtest::MakeGeom(3, 2);
    a->spotCount = 1;
    a->spots = static_cast<SpotRecord*>(qzAlloc(sizeof(SpotRecord), "spt"));
    Geom* ga = a->lod[0];
    SwapConstructVisuals(a, b);
    EXPECT_EQ(b->lod[0], ga);
    EXPECT_EQ(b->subCapacity, 2);
    EXPECT_EQ(b->spotCount, 1);
    EXPECT_EQ(a->spots, nullptr);
    SwapConstructVisuals(a, nullptr);

    ClearFaceVectors(ga);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(ga->faces[0].normal[i], 0);

    construct* list[2] = {a, b};
    ShowConstructList(2, list, 0);
    EXPECT_NE(a->flags & 0x80000000u, 0u);
    ShowConstructList(2, list, 1);
    EXPECT_EQ(b->flags & 0x80000000u, 0u);

    SetCameraBounds(a);
    EXPECT_EQ(a->sphere.radius, 1500);
    EXPECT_EQ(a->box.corners[0][0] * a->box.corners[0][0], 1000 * 1000);
    FreeConstruct(a);
    FreeConstruct(b);
}

}  // namespace
