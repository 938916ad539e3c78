// The world file: both versions written by datakit and read back, the tile-definition chunk file, the
// owners' chunks kept, and a table of malformed files.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "ai/AUDef.h"
#include "core/Config.h"
#include "core/Memory.h"
#include "objects/Units.h"
#include "core/Package.h"
#include "host/Fs.h"
#include "platform/Texture.h"
#include "render/Sky.h"
#include "support/Fatal.h"
#include "support/MemTrack.h"
#include "support/TempDir.h"
#include "tools/datakit/Sky.h"
#include "tools/datakit/Texture.h"
#include "tools/datakit/WorldFile.h"
#include "game/Startup.h"
#include "world/Terrain.h"
#include "world/WorldFile.h"

namespace {

using datakit::WorldFile;
using datakit::WorldSubPoint;
using datakit::WorldTile;
using datakit::WorldTileLayer;

std::string Fatal(const std::function<void()>& f) {
    try {
        f();
    } catch (const kvtest::FatalExit& e) {
        return e.what();
    }
    return "";
}

// A temporary data tree as the working directory, the mission "Test", and the world state cleared before
// and after.
class WorldFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        old_ = std::filesystem::current_path().string();
        host::SetWorkingDirectory(dir_.path().c_str());
        std::snprintf(savedMission_, sizeof savedMission_, "%s", MissionName);
        std::snprintf(MissionName, sizeof MissionName, "Test");
        std::snprintf(savedObjRoot_, sizeof savedObjRoot_, "%s", OBJROOT);
        std::snprintf(OBJROOT, sizeof OBJROOT, "Objects");
        // The geometries a sky chunk loads.
        Put("Objects/sky/halo", datakit::HaloObject().Bytes());
        Put("Objects/sky/moon", datakit::MoonObject().Bytes());
        datakit::ObjectFile bare = datakit::MoonObject();
        bare.faces.clear();
        Put("Objects/sky/bare", bare.Bytes());
        Clear();
    }
    void TearDown() override {
        Clear();
        std::snprintf(MissionName, sizeof MissionName, "%s", savedMission_);
        std::snprintf(OBJROOT, sizeof OBJROOT, "%s", savedObjRoot_);
        host::SetWorkingDirectory(old_.c_str());
        host::FlushDirectoryCache();
    }
    static void Clear() {
        FreeMatrix(CurrentMatrix);
        CurrentMatrix = nullptr;
        TopTileFieldPresent = 0;
        offmatrixclone_idx = 0;
        filteraccessiblemap = 0;
        FreeQZWDKeptChunks();
        FreeSkyCell(WorldSkyCell);
        WorldSkyCell = nullptr;
        while (AUDefCount > 0) DeleteAUDef(AUDefTable[0]);
        while (TexCount) DeleteTex(TexTable[TexCount - 1]);
        ResetMatrixGlobals();
    }
    std::string Put(const std::string& rel, const std::vector<uint8_t>& bytes) {
        dir_.Write(rel, std::string(bytes.begin(), bytes.end()));
        host::FlushDirectoryCache();
        return rel;
    }
    // Sets a file's modification time relative to now.
    void Age(const std::string& rel, int seconds) {
        std::filesystem::last_write_time(dir_ / rel, std::filesystem::file_time_type::clock::now() +
                                                         std::chrono::seconds(seconds));
        host::FlushDirectoryCache();
    }

    kvtest::TempDir dir_;
    kvtest::FatalCatcher fatal_;

private:
    std::string old_;
    char savedMission_[64];
    char savedObjRoot_[kRootSize];
};

// n definitions whose sub-point i of definition d has height d x 1000 + i, flags 0x9000 and access 0xff.
std::vector<WorldSubPoint> Definitions(int n) {
    std::vector<WorldSubPoint> v(size_t(n) * 256);
    for (size_t i = 0; i < v.size(); ++i) v[i] = {int16_t((i / 256) * 1000 + i % 256), 0x9000, 0xff};
    return v;
}

// A layer of tilesX x tilesZ tiles, tile k naming definition k % defs (and, textured, texture k % 2 in
// quarter 0).
WorldTileLayer Layer(int32_t tilesX, int32_t tilesZ, uint32_t defs, bool textured = false) {
    WorldTileLayer l;
    l.width = tilesZ;
    l.height = tilesX;
    for (int32_t k = 0; k < tilesX * tilesZ; ++k) {
        WorldTile t;
        t.def = uint32_t(k) % defs;
        if (textured) t.tex = {uint16_t(k % 2), 0xFFFF, 0xFFFF, 0xFFFF};
        l.tiles.push_back(t);
    }
    return l;
}

std::vector<uint8_t> SmallTexture(uint8_t shade) {
    std::vector<uint8_t> idx(16, shade);
    return datakit::EngineTexture(2, 2, idx);
}

std::vector<datakit::WorldTexture> TwoTextures() {
    return {{"grass", SmallTexture(100)}, {"{water", SmallTexture(50)}};
}

datakit::WorldSky Sky() {
    datakit::WorldSky s = datakit::DaySky("sky.halo", "sky.moon", 5);
    s.tilt = 1234;
    return s;
}

TEST_F(WorldFileTest, Version102IsReadBackChunkByChunk) {
    kvtest::MemTrack track;
    WorldFile w(102);
    w.TileClone({20, 0x8000 | 0x2000 | 0x1000 | 0x0123, 0x33, {1, 2, 3}});
    w.TileField(Layer(2, 3, 2, true));  // non-square: two tiles along x, three along z
    w.TileDefPool(Definitions(2));
    w.Textures(TwoTextures());
    w.Sky(Sky());
    Unit* jeep = CreateUnit();  // the action unit names it; its type is not needed to read the definition
    jeep->name = qzStrDup("EMAJeep", "unit name");
    datakit::WorldAUDef au;
    au.name = "EMA_Group";
    au.lists[0].push_back({"EMAJeep", 100, {1, 2, 3, 4, 5, 6}, std::vector<uint8_t>{9, 9}});
    w.AUDef(au, 7);
    w.UnitData(0, 0, 0, {1, 2, 3});
    for (uint32_t skipped : {6u, 9u, 10u, 12u, 19u, 0xFFFFFFF0u}) w.Raw(skipped, {1, 2, 3, 4});
    Put("Maps/Test", w.Bytes());
    LoadQZWD("Maps\\Test");

    matrix* m = CurrentMatrix;
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->width, 3);
    EXPECT_EQ(m->height, 2);
    // The file's clone and the closing white flat tile.
    ASSERT_EQ(m->flatCount, 2);
    EXPECT_EQ(offmatrixclone_idx, 0);
    EXPECT_EQ(m->flat[0].head.height, 20);
    EXPECT_EQ(m->flat[0].head.flags, 0x8000 | 0x1000 | 0x0123);
    EXPECT_EQ(m->flat[0].head.access, 0x33);
    EXPECT_EQ(m->flat[0].noise[2], 3);
    EXPECT_EQ(m->flat[1].head.height, 1);
    EXPECT_EQ(m->flat[1].head.flags, 0x8fff);
    EXPECT_EQ(m->flat[1].head.access, 0xff);
    // Definition 1 of 8-byte entries (offset 2048) lies at byte 1536 of the 6-byte sub-points.
    EXPECT_EQ(m->tileField[1].def, 1536);
    EXPECT_EQ(m->tileDefPoolSize, 2 * 256 * 6);
    // The world file's own definitions lose flag 0x1000 and access bits 0xfc.
    EXPECT_EQ(m->tileDefPool[256 + 7].height, 1007);
    EXPECT_EQ(m->tileDefPool[256 + 7].flags, 0x8000);
    EXPECT_EQ(m->tileDefPool[256 + 7].access, 0x03);
    EXPECT_EQ(m->tileField[5].tex[0], 1);
    EXPECT_EQ(m->tileField[5].tex[1], kNoTexture);
    // Textures land at slots 0 and 1; a '{' makes black transparent.
    ASSERT_EQ(TexCount, 2);
    EXPECT_STREQ(TexTable[0]->name, "grass");
    EXPECT_STREQ(TexTable[1]->name, "{water");
    EXPECT_EQ(TexTable[1]->blackTransparent, 1);
    EXPECT_NE(TexTable[0]->surface, nullptr);
    // The sky, the action unit and its unit data are kept for their owners, in file order.
    ASSERT_EQ(QZWDKeptChunkCount, 3);
    const QZWDChunk* sky = FindQZWDChunk(kChunkSky, 0);
    ASSERT_NE(sky, nullptr);
    EXPECT_EQ(sky->bodySize, 132 + 40 * 7);
    EXPECT_EQ(std::vector<uint8_t>(sky->body, sky->body + sky->bodySize), datakit::SkyBody(Sky()));
    const QZWDChunk* def = FindQZWDChunk(kChunkAUDef7, 0);
    ASSERT_NE(def, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(def->body, def->body + def->bodySize), datakit::AUDefBody(au));
    EXPECT_NE(FindQZWDChunk(kChunkUnitData, 0), nullptr);
    // The action unit is read, and the unit-data chunk has replaced its unit's data block.
    ASSERT_EQ(AUDefCount, 1);
    const AUDef* read = AUDefTable[0];
    EXPECT_STREQ(read->name, "EMA_Group");
    EXPECT_EQ(read->readerWord, 7);
    ASSERT_EQ(read->lists[0].count, 1);
    EXPECT_EQ(read->lists[0].units[0], jeep);
    EXPECT_EQ(read->lists[0].places[0][5], 6);
    EXPECT_EQ(read->lists[0].dataSizes[0], 3);
    EXPECT_EQ(static_cast<const uint8_t*>(read->lists[0].data[0])[2], 3);
    // A position on the map reads the definition through the loaded matrix.
    const int32_t pos[3] = {65536 + 3 * 4096, 0, 2 * 65536 + 4096};
    EXPECT_EQ(GroundHeight(m, pos, 0, 0, nullptr), (1000 * ((1 * 3 + 2) % 2) + 16 + 3) * 8);

    Clear();
    FreeUnit(jeep);
    EXPECT_EQ(track.Live(), 0);
}

TEST_F(WorldFileTest, Version101RecordsRebaseTexturesAndConvertBlockedFlags) {
    // Twelve textures in the table before the file's textures record: its numbers count from there.
    for (int i = 0; i < 12; ++i) CreateTex();
    WorldFile w(101);
    w.TileClone({5, 0x8000 | 0x1000, 0, {4, 5, 6}});
    WorldTileLayer l = Layer(1, 2, 2);
    l.tiles[0].tex = {3, 0xFFFF, 0, 1};
    l.tiles[1].rawOffset = 1024;  // 4-byte entries: definition 1
    w.TileField(l);
    w.TileDefPool(Definitions(2));
    std::vector<datakit::WorldTexture> texes;
    for (int i = 0; i < 4; ++i) texes.push_back({"t" + std::to_string(i), SmallTexture(uint8_t(i * 10))});
    w.Textures(texes);
    w.Raw(12, {0, 0, 0, 0});  // a saved-game type in a version-101 file is skipped
    Put("Maps/Old", w.Bytes());
    LoadQZWD("Maps\\Old");

    matrix* m = CurrentMatrix;
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(TexCount, 16);
    EXPECT_EQ(m->tileField[0].tex[0], 15);
    EXPECT_EQ(m->tileField[0].tex[1], kNoTexture);
    EXPECT_EQ(m->tileField[0].tex[2], 12);
    EXPECT_EQ(m->tileField[1].def, 1536);
    // Flags 0x9000 become 0x8000 with access 15; the clone likewise; no closing flat tile in 101.
    EXPECT_EQ(m->tileDefPool[3].flags, 0x8000);
    EXPECT_EQ(m->tileDefPool[3].access, 15);
    EXPECT_EQ(m->flatCount, 1);
    EXPECT_EQ(m->flat[0].head.access, 15);
    EXPECT_EQ(m->flat[0].noise[0], 4);
}

TEST_F(WorldFileTest, TileDefinitionsFromTheChunkFileWhenItIsNewer) {
    WorldFile w(102);
    w.TileField(Layer(1, 1, 1));
    w.TileDefPool(Definitions(1));
    Put("Maps/Test", w.Bytes());
    std::vector<WorldSubPoint> newer(256, WorldSubPoint{77, 0x9000, 0xff});
    Put("chunks/Test_TileDefPool", datakit::TileDefPoolChunkFile(newer));

    // Older than the world file: ignored, the world file's definitions lose 0x1000 and 0xfc.
    Age("chunks/Test_TileDefPool", -3600);
    LoadQZWD("Maps\\Test");
    EXPECT_EQ(CurrentMatrix->tileDefPool[0].height, 0);
    EXPECT_EQ(CurrentMatrix->tileDefPool[0].flags, 0x8000);
    EXPECT_EQ(CurrentMatrix->tileDefPool[0].access, 0x03);
    Clear();

    // Newer: it replaces them and keeps all of their bits.
    Age("chunks/Test_TileDefPool", 3600);
    LoadQZWD("Maps\\Test");
    EXPECT_EQ(CurrentMatrix->tileDefPool[0].height, 77);
    EXPECT_EQ(CurrentMatrix->tileDefPool[0].flags, 0x9000);
    EXPECT_EQ(CurrentMatrix->tileDefPool[0].access, 0xff);
    EXPECT_EQ(CurrentMatrix->accessKind, 5);
    Clear();

    // A world file without definitions takes them from the chunk file, and fails without one.
    WorldFile bare(102);
    bare.TileField(Layer(1, 1, 1));
    Put("Maps/Bare", bare.Bytes());
    std::snprintf(MissionName, sizeof MissionName, "Bare");
    EXPECT_EQ(Fatal([] { LoadQZWD("Maps\\Bare"); }), "Error(LoadQZWD): failed to postload TileDefPool");
    Clear();
    Put("Chunks/Bare_TileDefPool", datakit::TileDefPoolChunkFile(newer));
    LoadQZWD("Maps\\Bare");
    EXPECT_EQ(CurrentMatrix->tileDefPool[255].height, 77);
}

TEST_F(WorldFileTest, TileDefPoolChunkFileRoundTrip) {
    WorldFile w(102);
    w.TileField(Layer(1, 1, 1));
    std::vector<WorldSubPoint> defs = Definitions(1);
    defs[9] = {-300, 0xC00A, 0x81};
    w.TileDefPool(defs);
    Put("Maps/Test", w.Bytes());
    LoadQZWD("Maps\\Test");
    CurrentMatrix->tileDefPool[9].flags = 0xD00A;  // a bit the world file's read cleared, set again
    WriteTileDefPoolFile(CurrentMatrix);
    host::FlushDirectoryCache();
    const std::string written = dir_.Read("chunks/Test_TileDefPool");
    ASSERT_EQ(written.size(), 4u + 12u + 256u * 8u);
    EXPECT_EQ(written.substr(0, 4), "CHNK");
    Clear();
    Age("chunks/Test_TileDefPool", 3600);
    LoadQZWD("Maps\\Test");
    EXPECT_EQ(CurrentMatrix->tileDefPool[9].height, -300);
    EXPECT_EQ(CurrentMatrix->tileDefPool[9].flags, 0xD00A);
    EXPECT_EQ(CurrentMatrix->tileDefPool[9].access, 0x01);
}

TEST_F(WorldFileTest, LoadBlockReadsAWholeFileIntoItsBuffer) {
    Put("block.bin", {1, 2, 3, 4, 5});
    uint8_t buffer[8] = {};
    EXPECT_EQ(LoadBlock(buffer, sizeof buffer, "block.bin"), 5);
    EXPECT_EQ(buffer[4], 5);
    EXPECT_EQ(Fatal([&] { LoadBlock(buffer, 4, "block.bin"); }),
              "Error(LoadBlock): File block.bin of 5 bytes does not fit its buffer of 4");
    EXPECT_EQ(Fatal([&] { LoadBlock(buffer, 8, "missing.bin"); }), "Error(LoadBlock): File missing.bin not found.");
}

// A good version-102 file to spoil.
WorldFile Base() {
    WorldFile w(102);
    w.TileField(Layer(2, 2, 2, true));
    w.TileDefPool(Definitions(2));
    w.Textures(TwoTextures());
    return w;
}

TEST_F(WorldFileTest, MalformedFilesAreRefused) {
    const std::string in = " in 'Maps\\Bad'";
    struct Case {
        const char* what;
        std::function<std::vector<uint8_t>()> make;
        std::string message;
    } cases[] = {
        {"not a world file", [] { return std::vector<uint8_t>{'Q', 'Z', 'W'}; },
         "Error(LoadQZWD): This is not an QZWD file."},
        {"unknown version",
         [] {
             WorldFile w = Base();
             w.version = 103;
             return w.Bytes();
         },
         "Error(LoadQZWD): unknown QZWD file format"},
        {"size below the header",
         [] {
             WorldFile w = Base();
             w.Raw(9, {}, 7);
             return w.Bytes();
         },
         "Error(ReadChunk_102): chunk type 9 has size 7, less than its header" + in},
        {"body past the end of the file",
         [] {
             WorldFile w = Base();
             w.Raw(1, {1, 0, 0, 0}, 1000);
             return w.Bytes();
         },
         "Error(ReadChunk_102): chunk type 1 of 1000 bytes runs past the end of the file" + in},
        {"skipped chunk past the end of the file",
         [] {
             WorldFile w = Base();
             w.Raw(6, {}, 0x7FFFFFFF);
             return w.Bytes();
         },
         "Error(ReadChunk_102): chunk type 6 of 2147483647 bytes runs past the end of the file" + in},
        {"tile clone cut short",
         [] {
             WorldFile w = Base();
             w.Raw(0, {1, 0, 0, 0x80, 0, 0, 0, 0});
             return w.Bytes();
         },
         "Error(ReadChunk_102): chunk type 0: the tile clone needs 12 bytes, the chunk holds 8 more" + in},
        {"sixteen tile clones",
         [] {
             WorldFile w = Base();
             for (int i = 0; i < 16; ++i) w.TileClone({0, 0x8000, 0, {}});
             return w.Bytes();
         },
         "Error(ReadChunk_102): more than 15 tile clones (the matrix holds 16 flat tiles)" + in},
        {"empty TileField",
         [] {
             WorldFile w(102);
             w.TileField(WorldTileLayer{0, 3, {}});
             return w.Bytes();
         },
         "Error(ReadChunk_102): TileField of 0 x 3 tiles" + in},
        {"tile records past the chunk",
         [] {
             WorldFile w(102);
             WorldTileLayer l = Layer(2, 2, 1);
             l.width = 200;
             w.TileField(l);
             return w.Bytes();
         },
         "Error(ReadChunk_102): chunk type 1: the tile records needs 4800 bytes, the chunk holds 48 more" + in},
        {"second TileField",
         [] {
             WorldFile w = Base();
             w.TileField(Layer(2, 2, 2));
             return w.Bytes();
         },
         "Error(ReadChunk_102): Redundant matrix TileField found"},
        {"TopTileField of another size",
         [] {
             WorldFile w = Base();
             w.TopTileField(Layer(2, 3, 2));
             return w.Bytes();
         },
         "Error(ReadChunk_102): TopTileField of 3 x 2 tiles does not match the other layer's 2 x 2" + in},
        {"TileDefPool without its access kind",
         [] {
             WorldFile w = Base();
             w.Raw(2, {5, 0});
             return w.Bytes();
         },
         "Error(ReadChunk_102): chunk type 2: the TileDefPool's access kind needs 4 bytes, the chunk holds 2 more" +
             in},
        {"definition offset beyond the pool",
         [] {
             WorldFile w(102);
             WorldTileLayer l = Layer(1, 2, 1);
             l.tiles[1].def = 2;
             w.TileField(l);
             w.TileDefPool(Definitions(2));
             return w.Bytes();
         },
         "Error(LoadQZWD): TileField tile 1 names a definition at sub-point 512, the TileDefPool holds 512" + in},
        {"definition offset beyond any pool",
         [] {
             WorldFile w(102);
             WorldTileLayer l = Layer(1, 1, 1);
             l.tiles[0].rawOffset = 0xFFFFFFF8u;
             w.TileField(l);
             return w.Bytes();
         },
         "Error(ReadChunk_102): tile 0 names a definition beyond any TileDefPool" + in},
        {"partial last definition",
         [] {
             WorldFile w(102);
             w.TileField(Layer(1, 2, 2));
             auto defs = Definitions(2);
             defs.resize(300);
             w.TileDefPool(defs);
             return w.Bytes();
         },
         "Error(LoadQZWD): TileField tile 1 names a definition at sub-point 256, the TileDefPool holds 300" + in},
        {"texture number beyond the table",
         [] {
             WorldFile w = Base();
             w.chunks.erase(w.chunks.begin() + 2);
             w.Textures({{"only", SmallTexture(1)}});
             return w.Bytes();
         },
         "Error(LoadQZWD): TileField tile 1 names texture 1 of 1" + in},
        {"texture entry past the chunk",
         [] {
             WorldFile w = Base();
             datakit::Bytes b;
             b.u32(5000);
             b.fixedText("big", 24);
             b.raw(SmallTexture(1).data(), 20);
             w.Raw(4, b.data());
             return w.Bytes();
         },
         "Error(ReadChunk_102): texture 'big' of 5000 bytes runs past the chunk's end" + in},
        {"texture name cut by the chunk",
         [] {
             WorldFile w = Base();
             w.Raw(4, {1, 0, 0, 0, 'a', 'b'});
             return w.Bytes();
         },
         "Error(ReadChunk_102): chunk type 4: a texture's name needs 24 bytes, the chunk holds 2 more" + in},
        {"second sky",
         [] {
             WorldFile w = Base();
             w.Sky(Sky());
             w.Sky(Sky());
             return w.Bytes();
         },
         "Error(ReadChunk_102): Redundant sky found"},
        {"sky of two laterals: the drawing's 45-degree lateral would not exist",
         [] {
             WorldFile w = Base();
             datakit::WorldSky sky = Sky();
             sky.laterals.resize(2);
             w.Sky(sky);
             return w.Bytes();
         },
         "Error(BuildSky): Maps\\Bad: the sky has 2 laterals, the sky drawing needs 7"},
        {"sky of a huge lateral count",
         [] {
             WorldFile w = Base();
             auto body = datakit::SkyBody(Sky());
             body[36] = 0xff, body[37] = 0xff, body[38] = 0xff, body[39] = 0x7f;
             w.Raw(5, body);
             return w.Bytes();
         },
         "Error(BuildSky): Maps\\Bad: the sky has 2147483647 laterals, the sky drawing needs 7"},
        {"sky chunk cut inside its laterals",
         [] {
             WorldFile w = Base();
             auto body = datakit::SkyBody(Sky());
             body.resize(100);
             w.Raw(5, body);
             return w.Bytes();
         },
         "Error(BuildSky): Maps\\Bad: the sky chunk ends inside its laterals (100 bytes)"},
        {"sky chunk without its tilt",
         [] {
             WorldFile w = Base();
             auto body = datakit::SkyBody(Sky());
             body.resize(body.size() - 2);
             w.Raw(5, body);
             return w.Bytes();
         },
         "Error(BuildSky): Maps\\Bad: the sky chunk ends inside its tilt (410 bytes)"},
        {"sky of a broken star count",
         [] {
             WorldFile w = Base();
             datakit::WorldSky sky = Sky();
             sky.starCount = 0x40000000;
             w.Sky(sky);
             return w.Bytes();
         },
         "Error(BuildSky): Maps\\Bad: 1073741824 stars in the sky chunk"},
        {"sky key angle beyond two turns",
         [] {
             WorldFile w = Base();
             datakit::WorldSky sky = Sky();
             sky.keyAngles[8] = 2147483000;
             w.Sky(sky);
             return w.Bytes();
         },
         "Error(BuildSky): Maps\\Bad: key angle 2147483000 lies beyond two turns"},
        {"sky tilt beyond a turn",
         [] {
             WorldFile w = Base();
             datakit::WorldSky sky = Sky();
             sky.tilt = INT32_MIN;
             w.Sky(sky);
             return w.Bytes();
         },
         "Error(BuildSky): Maps\\Bad: tilt -2147483648 lies beyond a turn"},
        {"moon of four points and no face",
         [] {
             WorldFile w = Base();
             datakit::WorldSky sky = Sky();
             sky.moon = "sky.bare";
             w.Sky(sky);
             return w.Bytes();
         },
         "Error(BuildSky): Maps\\Bad: the moon geometry needs four vertices and a face (it has 4 and 0)"},
        {"missing flare geometry",
         [] {
             WorldFile w = Base();
             datakit::WorldSky sky = Sky();
             sky.flare = "sky.none";
             w.Sky(sky);
             return w.Bytes();
         },
         "Can't open flare geom file"},
        {"missing moon geometry",
         [] {
             WorldFile w = Base();
             datakit::WorldSky sky = Sky();
             sky.moon = "sky.none";
             w.Sky(sky);
             return w.Bytes();
         },
         "Can't open moon geom file"},
        {"unit data without its indexes",
         [] {
             WorldFile w = Base();
             w.Raw(11, {0, 0, 0, 0});
             return w.Bytes();
         },
         "Error(ReadChunk_102): chunk type 11: the unit data's indexes needs 12 bytes, the chunk holds 4 more" + in},
        {"version-101 editor access kind",
         [] {
             WorldFile w(101);
             w.TileDefPool(Definitions(1), 4);
             return w.Bytes();
         },
         "Error(ReadQZWD_101): accessible map from QZEditor in release version"},
        {"version-101 second TileDefPool",
         [] {
             WorldFile w(101);
             w.TileDefPool(Definitions(1));
             w.TileDefPool(Definitions(1));
             return w.Bytes();
         },
         "Error(ReadQZWD_101): Redundant matrix TileDefPool found"},
    };
    for (const Case& c : cases) {
        Put("Maps/Bad", c.make());
        EXPECT_EQ(Fatal([] { LoadQZWD("Maps\\Bad"); }), c.message) << c.what;
        Clear();
    }
    EXPECT_EQ(Fatal([] { LoadQZWD("Maps\\Missing"); }), "Error(LoadQZWD): QZWD file wouldn't open");
}

TEST_F(WorldFileTest, EndsInsideAHeaderStopTheRead) {
    WorldFile w = Base();
    auto bytes = w.Bytes();
    bytes.insert(bytes.end(), {1, 0, 0});
    Put("Maps/Test", bytes);
    LoadQZWD("Maps\\Test");
    ASSERT_NE(CurrentMatrix, nullptr);
    EXPECT_EQ(CurrentMatrix->width, 2);
}

}  // namespace
