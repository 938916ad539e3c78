#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "core/Config.h"
#include "host/Fs.h"
#include "platform/Dxgl.h"
#include "platform/Palette.h"
#include "platform/Texture.h"
#include "render/Light.h"
#include "support/DebugCapture.h"
#include "support/Fatal.h"
#include "support/MemTrack.h"
#include "support/TempDir.h"
#include "tools/datakit/ObjectFile.h"
#include "tools/datakit/Texture.h"
#include "world/ObjFile.h"
#include "world/ObjFile_local.h"

namespace {

using datakit::kObjNone;
using datakit::ObjBBoard;
using datakit::ObjBspNode;
using datakit::ObjectFile;
using datakit::ObjFace;
using datakit::ObjPoint;

void ResetStaging() { ResetCCADStaging(); }

// Reads object bytes into a fresh Geom.
Geom* Read(const std::vector<uint8_t>& bytes, float scale = 4.0f, const char* name = "test") {
    Geom* g = CreateGeom("geom: test");
    ReadCCADObj(bytes.data(), bytes.size(), name, scale, g, 0);
    return g;
}

ObjPoint Pt(float x, float y, float z) {
    ObjPoint p;
    p.pos = {x, y, z};
    return p;
}

ObjFace Tri(uint32_t a, uint32_t b, uint32_t c, uint8_t type = 0) {
    ObjFace f;
    f.points = {a, b, c};
    f.type = type;
    return f;
}

// Moves into a temporary data tree for files the reader opens by path.
class DataTree {
public:
    DataTree() : old_(std::filesystem::current_path()) {
        host::SetWorkingDirectory(dir_.path().c_str());
        std::strcpy(oldRoot_, OBJROOT);
        std::strcpy(oldPalettes_, PALETTEROOT);
        std::strcpy(OBJROOT, "app\\objects");
        std::strcpy(PALETTEROOT, "Palettes");
    }
    ~DataTree() {
        while (PltCount > 0) DeletePlt(PltTable[0]);
        std::strcpy(OBJROOT, oldRoot_);
        std::strcpy(PALETTEROOT, oldPalettes_);
        host::SetWorkingDirectory(old_.c_str());
        host::FlushDirectoryCache();
    }
    std::string Path(const std::string& rel) const { return dir_ / rel; }
    void Write(const std::string& rel, const std::vector<uint8_t>& bytes) {
        dir_.Write(rel, std::string(bytes.begin(), bytes.end()));
        host::FlushDirectoryCache();
    }

private:
    kvtest::TempDir dir_;
    std::string old_;
    char oldRoot_[kRootSize];
    char oldPalettes_[kRootSize];
};

// Texture roots inside the data tree and the display figures the texture format choice reads.
class TextureRoots {
public:
    TextureRoots() {
        std::strcpy(tex_, TEXROOT);
        std::strcpy(anim_, TEXANIMROOT);
        std::strcpy(TEXROOT, "Textures");
        std::strcpy(TEXANIMROOT, "TexAnims");
        saved_[0] = DisplayBits;
        saved_[1] = AlphaBits;
        saved_[2] = texturebpp;
        DisplayBits = 32;
        AlphaBits = 8;
        texturebpp = 32;
    }
    ~TextureRoots() {
        while (TexCount) DeleteTex(TexTable[TexCount - 1]);
        while (TexAnimCount) DeleteTexAnim(TexAnimTable[TexAnimCount - 1]);
        std::strcpy(TEXROOT, tex_);
        std::strcpy(TEXANIMROOT, anim_);
        DisplayBits = saved_[0];
        AlphaBits = saved_[1];
        texturebpp = saved_[2];
    }

private:
    char tex_[kRootSize], anim_[kRootSize];
    int32_t saved_[3];
};

std::vector<uint8_t> TinyTexture(uint8_t shade) {
    std::vector<datakit::Rgb> pal(256, datakit::Rgb{shade, shade, shade});
    return datakit::EngineTexture(1, 1, std::vector<uint8_t>(4, 1), &pal);
}

TEST(ObjFile, EveryPartOfAFileReadsBack) {
    kvtest::FatalCatcher fatal;
    DataTree tree;
    TextureRoots roots;
    tree.Write("Textures/walls/brick", TinyTexture(90));
    kvtest::MemTrack track;
    ObjectFile obj;
    obj.points = {Pt(1.5f, -2.25f, 3), Pt(-4, 0, 0), Pt(4, 8, 0), Pt(0, 0, -4), Pt(2, 2, 2)};
    obj.points[0].skipped = {7, 8, 9};
    obj.points[0].normal = {0.5f, 0, -0.25f};
    obj.points[0].rgb = {10, 20, 30};

    // Billboard section: a named one with a direction, one chained behind it, a point-list billboard and a
    // face-list billboard.
    ObjBBoard named;
    named.a = 1;
    named.b = 2;
    named.name = "Light";
    named.size1 = 3;
    named.size2 = 0.5f;
    named.extra = 9;
    named.value1 = 0x105;  // stored in a byte
    named.value2 = 6;
    ObjBBoard chained;
    chained.chained = true;
    chained.a = 3;
    ObjBBoard points;
    points.list = {4, 0};
    ObjBBoard faceList;
    faceList.faceList = true;
    faceList.listValue = 1;
    faceList.list = {2, 0};
    obj.bboards = {named, chained, points, faceList};

    for (uint8_t type : {0, 1, 2, 3, 5, 6, 7, 8, 9}) obj.faces.push_back(Tri(0, 1, 2, type));
    obj.faces[0].uv = {{16384, -16384}, {0, 32767}, {-32768, 0}};
    obj.faces[0].normal = {0, 1, 0};
    obj.faces[0].rgb = {1, 2, 3};
    obj.faces[0].extra = 44;
    obj.faces[1].option = true;
    obj.faces[1].points = {3, 4, 0, 1};  // four vertices
    for (ObjFace& f : obj.faces)
        if (f.type >= 4 && f.type <= 7) f.texture = "walls.brick";
    obj.faces[8].points = {2, 3, 4};

    ObjBspNode root;
    root.front = std::make_unique<ObjBspNode>();
    root.front->leaf = true;
    root.front->faces = {0, 2};
    root.back = std::make_unique<ObjBspNode>();
    root.back->leaf = true;
    root.back->faces = {8};
    obj.Bsp(2, root);
    obj.Anchor(10, 20, -5);
    obj.Patches({{3, {4, 1}}, {0, {8, 0, 1}}});
    obj.Plane(0.5f, -0.5f, 0.25f, 12);
    obj.Sphere(2, 2.5f);
    obj.Spot(1, 4, 0);
    obj.Spot(1, 2, 7);
    obj.Spot(0, 5, 3);
    obj.Light(2, {1, 2, 3}, 11, "");
    obj.HField(2, {8, 16, 0, 80});
    ObjBBoard late;
    late.a = 0;
    late.size1 = 1;
    obj.ChunkBBoard(late);

    Geom* g = Read(obj.Bytes(), 8.0f);  // q = 2
    ASSERT_EQ(g->pointCount, 5);
    EXPECT_EQ(g->points[0].pos[0], 3);
    EXPECT_EQ(g->points[0].pos[1], -4) << "truncated toward zero";
    EXPECT_EQ(g->points[0].pos[2], 6);
    EXPECT_EQ(g->points[0].normal[0], 16384);
    EXPECT_EQ(g->points[0].normal[2], -8192);
    EXPECT_EQ(g->points[0].colour[1], 20);
    EXPECT_EQ(g->points[0].lit[2], 30);

    ASSERT_EQ(g->faceCount, 9);
    GeomFace* f0 = NthFace(g, 0);
    EXPECT_EQ(f0->vertexCount, 3);
    EXPECT_EQ(FaceVerts(f0)[1].point, &g->points[1]);
    EXPECT_FLOAT_EQ(FaceVerts(f0)[0].u, 0.5f);
    EXPECT_FLOAT_EQ(FaceVerts(f0)[0].v, -0.5f);
    EXPECT_FLOAT_EQ(FaceVerts(f0)[2].u, -1.0f);
    EXPECT_EQ(f0->normal[1], 32768);
    EXPECT_EQ(f0->colour[2], 3);
    EXPECT_EQ(f0->extra, 44);
    GeomFace* f1 = NthFace(g, 1);
    EXPECT_EQ(f1->vertexCount, 4);
    EXPECT_EQ(f1->type, 1);
    EXPECT_EQ(f1->flags, 1 | 2);
    EXPECT_EQ(NthFace(g, 4)->type, 5);
    EXPECT_EQ(NthFace(g, 4)->texture, NamedTex("walls\\brick"));
    EXPECT_EQ(NthFace(g, 6)->texture, NthFace(g, 4)->texture);
    EXPECT_EQ(NthFace(g, 0)->texture, nullptr);
    EXPECT_EQ(NthFace(g, 4)->flags, 1);
    EXPECT_EQ(NthFace(g, 2)->flags, 0);
    // Point 3 only belongs to the option face (and the type-9 face), point 4 to type 9 and the option face.
    EXPECT_EQ(g->points[3].flags & 0x80, 0x80);
    EXPECT_EQ(g->points[0].marker, 1) << "faces of type 3 and 7 mark their points";
    EXPECT_EQ(g->points[3].marker, 0);
    // Type 9 clears the per-vertex lighting mark of its points after all faces were read.
    EXPECT_EQ(g->points[2].flags & 0x40, 0);

    // Billboards: three staged from the section, one from the chunks; one chained behind the first.
    ASSERT_EQ(CCADBBoardCount, 4);
    bboard* b0 = CCADBBoards[0];
    EXPECT_STREQ(b0->name, "Light");
    EXPECT_EQ(b0->pos[0], -8);
    // From point 1 (-8, 0, 0) to point 2 (8, 16, 0): (16, 16, 0) normalised.
    EXPECT_EQ(b0->dir[0], 23170);
    EXPECT_EQ(b0->dir[1], 23170);
    EXPECT_EQ(b0->dir[2], 0);
    EXPECT_EQ(b0->size1, 24);
    EXPECT_EQ(b0->size2, 4);
    EXPECT_EQ(b0->options[0], 5);
    EXPECT_EQ(b0->options[1], 6);
    EXPECT_EQ(b0->options[2], 9);
    ASSERT_NE(b0->next, nullptr);
    EXPECT_EQ(b0->next->pos[2], -8);
    EXPECT_EQ(b0->next->dir[0], kUnsetCoord);
    bboard* b1 = CCADBBoards[1];
    EXPECT_EQ(b1->pos[0], kUnsetCoord);
    ASSERT_EQ(b1->vertexCount, 2);
    EXPECT_EQ(b1->vertices[0], &g->points[4]);
    EXPECT_EQ(b1->vertices[1], &g->points[0]);
    EXPECT_EQ(g->points[0].flags & 0x40, 0) << "billboard points lose the per-vertex lighting mark";
    bboard* b2 = CCADBBoards[2];
    EXPECT_EQ(b2->resolve, 0);
    EXPECT_EQ(b2->listValue, 1);
    ASSERT_EQ(b2->faceCount, 2);
    EXPECT_EQ(BBoardFace(b2, 0), NthFace(g, 2));
    EXPECT_EQ(BBoardFace(b2, 1), NthFace(g, 0));
    EXPECT_EQ(CCADBBoards[3]->pos[1], -4);

    // Chunks.
    ASSERT_EQ(g->brickCount, 2);
    EXPECT_EQ(g->bricks[0].faceCount, 2);
    EXPECT_EQ(g->bricks[0].faces[1], NthFace(g, 2));
    EXPECT_EQ(g->bricks[1].faces[0], NthFace(g, 8));
    EXPECT_NE(g->brickPtrs, nullptr);
    EXPECT_EQ(g->brickPtrCount, 0);
    EXPECT_EQ(g->anchor[0], 80);
    EXPECT_EQ(g->anchor[1], 160);
    EXPECT_EQ(g->anchor[2], -40);
    ASSERT_EQ(g->patchCount, 2);
    EXPECT_EQ(g->patches[0].pointCount, 2);
    EXPECT_EQ(g->patches[0].faceCount, 0);
    EXPECT_EQ(g->patches[0].points[0], &g->points[4]);
    EXPECT_EQ(g->patches[1].faceCount, 3);
    EXPECT_EQ(g->patches[1].faces[0], NthFace(g, 8));
    ASSERT_EQ(CCADPlaneCount, 1);
    EXPECT_EQ(CCADPlanes[0].a, 16384);
    EXPECT_EQ(CCADPlanes[0].b, -16384);
    EXPECT_EQ(CCADPlanes[0].c, 8192);
    EXPECT_EQ(CCADPlanes[0].d, 24);
    ASSERT_EQ(CCADSphereCount, 1);
    EXPECT_EQ(CCADSpheres[0].centre[1], 16);
    EXPECT_EQ(CCADSpheres[0].radius, 20);
    ASSERT_EQ(CCADSpotCount, 3);
    EXPECT_EQ(CCADSpots[0].kind, 4);
    EXPECT_EQ(CCADSpots[0].value, 1) << "an explosion spot's 0 becomes 1";
    EXPECT_EQ(CCADSpots[1].value, 1) << "other kinds always get 1";
    EXPECT_EQ(CCADSpots[2].value, 3);
    EXPECT_EQ(CCADSpots[0].offset[0], -32);
    ASSERT_EQ(CCADLightCount, 1);
    EXPECT_EQ(CCADLightFlag, 1);
    EXPECT_EQ(CCADLights[0]->objPos[1], 16);
    EXPECT_EQ(CCADLights[0]->colour[2], 48);
    EXPECT_EQ(CCADLights[0]->rangeShift, 11);
    ASSERT_EQ(CCADHFieldCount, 1);
    EXPECT_EQ(CCADHFields[0].n, 2);
    EXPECT_EQ(CCADHFields[0].heights[0], 2);
    EXPECT_EQ(CCADHFields[0].heights[1], 4);
    EXPECT_EQ(CCADHFields[0].heights[3], 20);

    // The billboard at point 1 (-8, 0, 0) is nearest to face 0's vertex 1, which brick 0 holds; the one at
    // point 0 also sits on face 0. The chunk billboard's position is point 0.
    EXPECT_EQ(g->bricks[0].board, CCADBBoards[3]);
    EXPECT_EQ(g->bricks[1].board, nullptr);

    // Bounds: x -8..8, y -4..16, z -8..6.
    EXPECT_EQ(g->box.corners[0][0], -8);
    EXPECT_EQ(g->box.corners[0][1], -4);
    EXPECT_EQ(g->box.corners[0][2], -8);
    EXPECT_EQ(g->box.corners[6][0], 8);
    EXPECT_EQ(g->box.corners[6][1], 16);
    EXPECT_EQ(g->box.corners[6][2], 6);
    EXPECT_EQ(g->sphere.centre[1], 6);
    EXPECT_EQ(g->sphere.centre[2], -1);
    EXPECT_GT(g->sphere.radius, 0);
    EXPECT_EQ(g->sphere.radius % 4, 0);

    ResetStaging();
    FreeGeom(g);
    DeleteTex(NamedTex("walls\\brick"));
    EXPECT_EQ(track.Live(), 0);
}

TEST(ObjFile, WithoutBillboardsTheFirstFaceIsReadAsAFace) {
    ObjectFile obj;
    obj.points = {Pt(0, 0, 0), Pt(1, 0, 0), Pt(0, 1, 0)};
    obj.faces = {Tri(2, 1, 0)};
    Geom* g = Read(obj.Bytes());
    ASSERT_EQ(g->faceCount, 1);
    EXPECT_EQ(FaceVerts(g->faces)[0].point, &g->points[2]);
    EXPECT_EQ(CCADBBoardCount, 0);
    EXPECT_EQ(g->brickCount, 0);
    EXPECT_EQ(g->brickPtrs, nullptr);
    FreeGeom(g);
}

TEST(ObjFile, AnEmptyFileGivesAnEmptyGeom) {
    ObjectFile obj;
    Geom* g = Read(obj.Bytes());
    EXPECT_EQ(g->pointCount, 0);
    EXPECT_EQ(g->faceCount, 0);
    EXPECT_EQ(g->sphere.radius, 0);
    EXPECT_EQ(CCADLightFlag, 0);
    FreeGeom(g);
}

TEST(ObjFile, TopLevelReadResetsTheStagingTables) {
    kvtest::MemTrack track;
    ObjectFile obj;
    obj.points = {Pt(0, 0, 0)};
    ObjBBoard b;
    b.a = 0;
    obj.bboards = {b};
    obj.Light(0, {1, 1, 1}, 8, "");
    obj.HField(1, {4});
    obj.Sphere(0, 1);
    Geom* g1 = Read(obj.Bytes());
    Geom* g2 = Read(obj.Bytes());
    EXPECT_EQ(CCADBBoardCount, 1);
    EXPECT_EQ(CCADLightCount, 1);
    EXPECT_EQ(CCADHFieldCount, 1);
    EXPECT_EQ(CCADSphereCount, 1);
    EXPECT_EQ(track.Live("bboard"), 1) << "the first read's billboard was freed";
    EXPECT_EQ(track.Live("point light"), 1);
    EXPECT_EQ(CCADLightFlag, 1);
    Geom* g3 = Read(ObjectFile().Bytes());
    EXPECT_EQ(CCADLightFlag, 0) << "a file without a light leaves no light behind";
    EXPECT_EQ(CCADLightCount, 0);
    ResetStaging();
    FreeGeom(g1);
    FreeGeom(g2);
    FreeGeom(g3);
    EXPECT_EQ(track.Live(), 0);
}

TEST(ObjFile, NestedBillboardObjectKeepsTheOuterStaging) {
    kvtest::FatalCatcher fatal;
    DataTree tree;
    ObjectFile lamp;
    lamp.points = {Pt(0, 0, 0), Pt(1, 1, 1)};
    lamp.faces = {Tri(0, 1, 0)};
    ObjBBoard inner;
    inner.a = 1;
    lamp.bboards = {inner};
    tree.Write("app/objects/billboards/lamp", lamp.Bytes());

    ObjectFile obj;
    obj.points = {Pt(0, 0, 0), Pt(2, 0, 0), Pt(0, 2, 0)};
    ObjBBoard first;
    first.faceList = true;
    first.list = {1};  // resolved against the outer faces, not the lamp's single face
    ObjBBoard withObject;
    withObject.a = 1;
    withObject.object = "lamp";
    obj.bboards = {first, withObject};
    obj.faces = {Tri(0, 1, 2), Tri(2, 1, 0)};
    obj.Sphere(0, 1);
    Geom* g = Read(obj.Bytes(), 4.0f);
    ASSERT_EQ(CCADBBoardCount, 3) << "outer, outer, and the lamp's own";
    EXPECT_EQ(BBoardFace(CCADBBoards[0], 0), NthFace(g, 1));
    bboard* withGeom = CCADBBoards[1];
    ASSERT_NE(withGeom->geom, nullptr);
    EXPECT_EQ(withGeom->geom->pointCount, 2);
    // The billboard object is read with the scale q x 16, four times the outer file's.
    EXPECT_EQ(withGeom->geom->points[1].pos[0], 4);
    EXPECT_EQ(CCADBBoards[2]->pos[0], 4);
    ResetStaging();
    FreeGeom(g);

    // A billboard object that names a missing file.
    ObjectFile broken;
    broken.points = {Pt(0, 0, 0)};
    ObjBBoard missing;
    missing.object = "nothing";
    missing.anim = "x";  // no list follows
    broken.bboards = {missing};
    Geom* g2 = CreateGeom("geom: test");
    const auto bytes = broken.Bytes();
    try {
        ReadCCADObj(bytes.data(), bytes.size(), "broken", 4.0f, g2, 0);
        ADD_FAILURE();
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "Can't open billboard obj file");
    }
    ResetStaging();
    FreeGeom(g2);
}

TEST(ObjFile, BillboardObjectsNestOnlySoDeep) {
    kvtest::FatalCatcher fatal;
    DataTree tree;
    ObjectFile self;
    self.points = {Pt(0, 0, 0)};
    ObjBBoard b;
    b.a = 0;
    b.object = "self";
    self.bboards = {b};
    tree.Write("app/objects/billboards/self", self.Bytes());
    Geom* g = CreateGeom("geom: test");
    const auto bytes = self.Bytes();
    try {
        ReadCCADObj(bytes.data(), bytes.size(), "self", 4.0f, g, 0);
        ADD_FAILURE();
    } catch (const kvtest::FatalExit& e) {
        EXPECT_NE(std::string(e.what()).find("nested deeper than"), std::string::npos) << e.what();
    }
    ResetStaging();
    FreeGeom(g);
}

TEST(ObjFile, LoadFromTheDataTree) {
    kvtest::FatalCatcher fatal;
    DataTree tree;
    tree.Write("app/objects/misc/dummy", datakit::BoxObject(1, 1, 1, {9, 9, 9}).Bytes());
    Geom* g = CreateUnnamedGeom();
    LoadCCADObj("app\\objects\\MISC\\dummy", 4.0f, g);
    EXPECT_EQ(g->pointCount, 8);
    EXPECT_EQ(g->faceCount, 6);
    EXPECT_EQ(g->box.corners[6][0], 1);
    FreeGeom(g);

    kvtest::DebugCapture debug;
    Geom* none = CreateUnnamedGeom();
    try {
        LoadCCADObj("app\\objects\\misc\\absent", 1.0f, none);
        ADD_FAILURE();
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(LoadCCADObj): Can't open file.");
    }
    EXPECT_EQ(debug.text(), "error on attempt to load object app\\objects\\misc\\absent\n");
    FreeGeom(none);
}

// A small valid object that the malformed cases below break one way each.
ObjectFile Base() {
    ObjectFile obj;
    obj.points = {Pt(0, 0, 0), Pt(1, 0, 0), Pt(0, 1, 0), Pt(0, 0, 1)};
    obj.faces = {Tri(0, 1, 2), Tri(1, 2, 3)};
    return obj;
}

std::vector<uint8_t> Repeat(const std::function<void(ObjectFile&)>& add, int times) {
    ObjectFile obj = Base();
    for (int i = 0; i < times; ++i) add(obj);
    return obj.Bytes();
}

TEST(ObjFile, MalformedFilesAreRefused) {
    kvtest::FatalCatcher fatal;
    const std::string in = " in 'bad'";
    struct Case {
        const char* what;
        std::function<std::vector<uint8_t>()> make;
        std::string message;
    } cases[] = {
        {"header cut short",
         [] {
             return std::vector<uint8_t>{1, 0, 0};
         },
         "Error(ReadCCADObj): unexpected end of file at byte 0" + in},
        {"point count beyond the file",
         [] {
             ObjectFile o = Base();
             o.pointCount = 1000000;
             return o.Bytes();
         },
         "Error(ReadCCADObj): point count 1000000 does not fit the file" + in},
        {"point skip count beyond the file",
         [] {
             ObjectFile o = Base();
             o.points[1].skipped = {1};
             auto b = o.Bytes();
             b[8 + 32] = 0xFF;  // the second point's skip count
             b[8 + 32 + 3] = 0x7F;
             return b;
         },
         "Error(ReadCCADObj): skipped word count 2130706687 does not fit the file" + in},
        {"face count beyond the file",
         [] {
             ObjectFile o = Base();
             o.faceCount = 3000;
             return o.Bytes();
         },
         "Error(ReadCCADObj): face count 3000 does not fit the file" + in},
        {"vertex count held in a byte",
         [] {
             ObjectFile o = Base();
             o.faces[0].points.assign(256, 0);
             return o.Bytes();
         },
         "Error(ReadCCADObj): face 0 has 256 vertices (max is 255)" + in},
        {"vertex count beyond the file",
         [] {
             ObjectFile o = Base();
             o.faces[1].vertexCount = 200;
             return o.Bytes();
         },
         "Error(ReadCCADObj): unexpected end of file at byte 186" + in},
        {"face point index",
         [] {
             ObjectFile o = Base();
             o.faces[1].points[2] = 4;
             return o.Bytes();
         },
         "Error(ReadCCADObj): a face names point 4 of 4" + in},
        {"face type 4",
         [] {
             ObjectFile o = Base();
             o.faces[1].type = 4;
             return o.Bytes();
         },
         "Error(ReadCCADObj): face 1 has type 4, which cannot be drawn" + in},
        {"face type 10",
         [] {
             ObjectFile o = Base();
             o.faces[0].type = 10;
             return o.Bytes();
         },
         "Error(ReadCCADObj): face 0 has type 10, which cannot be drawn" + in},
        {"face type 15",
         [] {
             ObjectFile o = Base();
             o.faces[0].type = 15;
             return o.Bytes();
         },
         "Error(ReadCCADObj): face 0 has type 15, which cannot be drawn" + in},
        {"chained billboard first in the section",
         [] {
             ObjectFile o = Base();
             ObjBBoard b;
             b.chained = true;
             b.a = 0;
             o.bboards = {b};
             return o.Bytes();
         },
         "Error(ReadCCADObj): BILL with no billboard before it" + in},
        {"chained billboard first among the chunks",
         [] {
             ObjectFile o = Base();
             ObjBBoard b;
             b.chained = true;
             b.a = 0;
             o.ChunkBBoard(b);
             return o.Bytes();
         },
         "Error(ReadCCADObj): BILL with no billboard before it" + in},
        {"billboard point",
         [] {
             ObjectFile o = Base();
             ObjBBoard b;
             b.a = 9;
             o.bboards = {b};
             return o.Bytes();
         },
         "Error(ReadCCADObj): a billboard names point 9 of 4" + in},
        {"billboard direction point",
         [] {
             ObjectFile o = Base();
             ObjBBoard b;
             b.a = 1;
             b.b = 4;
             o.ChunkBBoard(b);
             return o.Bytes();
         },
         "Error(ReadCCADObj): a billboard's direction names point 4 of 4" + in},
        {"billboard vertex list",
         [] {
             ObjectFile o = Base();
             ObjBBoard b;
             b.list = {0, 1, 7};
             o.bboards = {b};
             return o.Bytes();
         },
         "Error(ReadCCADObj): a billboard names point 7 of 4" + in},
        {"billboard vertex count beyond the file",
         [] {
             ObjectFile o = Base();
             ObjBBoard b;
             b.list = {0};
             o.bboards = {b};
             auto bytes = o.Bytes();
             // The list count sits just before the single index at the billboard record's end.
             const size_t at = 8 + 4 * 32 + 4 + 8 + 8 + 24 + 1 + 24 + 24 + 8;
             bytes[at + 3] = 0x40;
             return bytes;
         },
         "Error(ReadCCADObj): billboard point count 1073741825 does not fit the file" + in},
        {"billboard face list",
         [] {
             ObjectFile o = Base();
             ObjBBoard b;
             b.faceList = true;
             b.list = {1, 2};
             o.bboards = {b};
             return o.Bytes();
         },
         "Error(ResolveBBoard): nonexisting face"},
        {"more BSP leaves than bricks",
         [] {
             ObjectFile o = Base();
             ObjBspNode root;
             root.leaf = true;
             root.faces = {0};
             root.front = std::make_unique<ObjBspNode>();
             root.front->leaf = true;
             root.front->faces = {1};
             o.Bsp(1, root);
             return o.Bytes();
         },
         "Error(ReadCCADObj): more BSP leaves than the 1 bricks declared" + in},
        {"BSP leaf face",
         [] {
             ObjectFile o = Base();
             ObjBspNode root;
             root.leaf = true;
             root.faces = {0, 2};
             o.Bsp(1, root);
             return o.Bytes();
         },
         "Error(ReadCCADObj): a BSP leaf names face 2 of 2" + in},
        {"brick count beyond the file",
         [] {
             ObjectFile o = Base();
             ObjBspNode root;
             o.Bsp(100, root);
             return o.Bytes();
         },
         "Error(ReadCCADObj): brick count 100 does not fit the file" + in},
        {"a second BSP",
         [] {
             ObjectFile o = Base();
             ObjBspNode root;
             o.Bsp(0, root);
             o.Bsp(0, root);
             return o.Bytes();
         },
         "Error(ReadCCADObj): a second BSPT chunk" + in},
        {"patch point",
         [] {
             ObjectFile o = Base();
             o.Patches({{3, {0, 5}}});
             return o.Bytes();
         },
         "Error(ReadCCADObj): a patch names point 5 of 4" + in},
        {"patch face",
         [] {
             ObjectFile o = Base();
             o.Patches({{1, {2}}});
             return o.Bytes();
         },
         "Error(ReadCCADObj): a patch names face 2 of 2" + in},
        {"sphere point", [] { return Repeat([](ObjectFile& o) { o.Sphere(4, 1); }, 1); },
         "Error(ReadCCADObj): a sphere names point 4 of 4" + in},
        {"spot point", [] { return Repeat([](ObjectFile& o) { o.Spot(99, 0, 0); }, 1); },
         "Error(ReadCCADObj): a spot names point 99 of 4" + in},
        {"light point",
         [] {
             return Repeat([](ObjectFile& o) { o.Light(kObjNone, {0, 0, 0}, 0, ""); }, 1);
         },
         "Error(ReadCCADObj): a light names point 4294967295 of 4" + in},
        {"spot cut short",
         [] {
             auto b = Repeat([](ObjectFile& o) { o.Spot(0, 0, 0); }, 1);
             b.resize(b.size() - 8);
             return b;
         },
         "Error(ReadCCADObj): unexpected end of file at byte 244" + in},
        {"height field beyond the file",
         [] {
             return Repeat([](ObjectFile& o) { o.HField(9, {1, 2, 3}); }, 1);
         },
         "Error(ReadCCADObj): height field of size 9 does not fit the file" + in},
        {"fifth height field", [] { return Repeat([](ObjectFile& o) { o.HField(1, {1}); }, 5); },
         "Error(ReadCCADObj): too many hfields (max is 4)"},
        {"17th spot", [] { return Repeat([](ObjectFile& o) { o.Spot(0, 1, 0); }, 17); },
         "Error(ReadCCADObj): too many spots (max is 16)"},
        {"151st sphere", [] { return Repeat([](ObjectFile& o) { o.Sphere(1, 1); }, 151); },
         "Error(ReadCCADObj): too many spheres (max is 150)"},
        {"201st light",
         [] {
             return Repeat([](ObjectFile& o) { o.Light(2, {1, 1, 1}, 4, ""); }, 201);
         },
         "Error(ReadCCADObj): too many lights (max is 200)"},
        {"fifth plane", [] { return Repeat([](ObjectFile& o) { o.Plane(0, 1, 0, 0); }, 5); },
         "Error(ReadCCADObj): too many planes (max is 4)"},
        {"33rd billboard",
         [] {
             ObjectFile o = Base();
             ObjBBoard b;
             b.a = 0;
             for (int i = 0; i < 20; ++i) o.bboards.push_back(b);
             for (int i = 0; i < 13; ++i) o.ChunkBBoard(b);
             return o.Bytes();
         },
         "Error(ReadCCADObj): too many bboards (max is 32)"},
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> bytes = c.make();
        Geom* g = CreateGeom("geom: bad");
        try {
            ReadCCADObj(bytes.data(), bytes.size(), "bad", 4.0f, g, 0);
            ADD_FAILURE() << c.what << ": read without error";
        } catch (const kvtest::FatalExit& e) {
            EXPECT_EQ(std::string(e.what()), c.message) << c.what;
        }
        ResetStaging();
        FreeGeom(g);
    }
}

TEST(ObjFile, LimitsAreReachedExactly) {
    // Four height fields, 16 spots, 150 spheres, 200 lights, 4 planes and 32 billboards are still fine.
    ObjectFile o = Base();
    for (int i = 0; i < 4; ++i) o.HField(1, {1});
    for (int i = 0; i < 16; ++i) o.Spot(0, 1, 0);
    for (int i = 0; i < 150; ++i) o.Sphere(0, 1);
    for (int i = 0; i < 200; ++i) o.Light(0, {1, 1, 1}, 4, "");
    for (int i = 0; i < 4; ++i) o.Plane(0, 1, 0, 0);
    ObjBBoard b;
    b.a = 0;
    for (int i = 0; i < 32; ++i) o.ChunkBBoard(b);
    Geom* g = Read(o.Bytes());
    EXPECT_EQ(CCADHFieldCount, 4);
    EXPECT_EQ(CCADSpotCount, 16);
    EXPECT_EQ(CCADSphereCount, 150);
    EXPECT_EQ(CCADLightCount, 200);
    EXPECT_EQ(CCADPlaneCount, 4);
    EXPECT_EQ(CCADBBoardCount, 32);
    ResetStaging();
    FreeGeom(g);
}

TEST(ObjFile, BytesAfterTheChunksAreNotRead) {
    ObjectFile o = Base();
    o.Sphere(0, 1);
    o.Raw({'J', 'U', 'N', 'K', 1, 2, 3});
    Geom* g = Read(o.Bytes());
    EXPECT_EQ(CCADSphereCount, 1);
    ResetStaging();
    FreeGeom(g);
}

}  // namespace

namespace {

TEST(ObjFile, ExtremeValuesSaturate) {
    ObjectFile o;
    o.points = {Pt(1e30f, -1e30f, std::nanf("")), Pt(-1e30f, 1e30f, 0)};
    ObjBBoard b;
    b.a = 0;
    b.b = 1;
    b.size1 = 1e38f;
    o.bboards = {b};
    o.Spot(0, 4, 2);
    o.Sphere(1, -1e38f);
    o.Anchor(1e38f, 0, 0);
    o.HField(1, {-1e38f});
    Geom* g = Read(o.Bytes());
    EXPECT_EQ(g->points[0].pos[0], INT32_MAX);
    EXPECT_EQ(g->points[0].pos[1], INT32_MIN);
    EXPECT_EQ(g->points[0].pos[2], 0) << "not a number reads as 0";
    EXPECT_EQ(CCADSpots[0].offset[0], INT32_MAX);
    EXPECT_EQ(CCADSpheres[0].radius, INT32_MIN);
    EXPECT_EQ(CCADBBoards[0]->size1, INT32_MAX);
    EXPECT_LT(CCADBBoards[0]->dir[0], 0);
    EXPECT_GT(CCADBBoards[0]->dir[1], 0);
    EXPECT_EQ(g->anchor[0], INT32_MAX);
    ResetStaging();
    FreeGeom(g);
}

}  // namespace

namespace {

TEST(ObjFile, PalettesAreFoundOrLoadedOnce) {
    kvtest::FatalCatcher fatal;
    DataTree tree;
    std::vector<datakit::Rgb> colours(256, datakit::Rgb{10, 20, 30});
    tree.Write("Palettes/fire", datakit::PaletteFile(colours));
    ObjectFile o = Base();
    ObjBBoard b;
    b.a = 0;
    b.palette = "fire";
    o.bboards = {b};
    o.Light(1, {1, 2, 3}, 8, "fire");
    o.Light(2, {1, 2, 3}, 8, "");
    Geom* g = Read(o.Bytes());
    ASSERT_EQ(PltCount, 1) << "one palette for both names";
    EXPECT_EQ(CCADBBoards[0]->palette, PltTable[0]);
    EXPECT_EQ(CCADLights[0]->palette, PltTable[0]);
    EXPECT_EQ(CCADLights[1]->palette, nullptr);
    EXPECT_EQ(PltTable[0]->entries[5].green, 20);
    ResetStaging();
    FreeGeom(g);

    ObjectFile missing = Base();
    missing.Light(0, {0, 0, 0}, 8, "absent");
    Geom* g2 = CreateGeom("geom: test");
    const auto bytes = missing.Bytes();
    EXPECT_THROW(ReadCCADObj(bytes.data(), bytes.size(), "m", 4.0f, g2, 0), kvtest::FatalExit);
    ResetStaging();
    FreeGeom(g2);
}

}  // namespace

namespace {

TEST(ObjFile, FaceTexturesAndTheSharedDummyTextureOfAnAnimatedBillboard) {
    kvtest::FatalCatcher fatal;
    DataTree tree;
    TextureRoots roots;
    tree.Write("Textures/walls/brick", TinyTexture(90));
    ASSERT_TRUE(datakit::WriteTexAnimFolder(tree.Path("TexAnims/glow"), {TinyTexture(10), TinyTexture(200)}));
    host::FlushDirectoryCache();

    ObjectFile o = Base();
    o.faces[0].type = 5;
    o.faces[0].texture = "walls.brick";
    o.faces[1].type = 6;
    o.faces[1].texture = "walls.brick";
    ObjBBoard animated;
    animated.anim = "glow";
    o.bboards = {animated};
    Geom* g = Read(o.Bytes());

    Tex* brick = NthFace(g, 0)->texture;
    ASSERT_NE(brick, nullptr);
    EXPECT_STREQ(brick->name, "walls\\brick") << "'.' stands for the folder separator";
    EXPECT_EQ(NthFace(g, 1)->texture, brick) << "a loaded texture is found again";
    bboard* b = CCADBBoards[0];
    ASSERT_NE(b->anim, nullptr);
    EXPECT_EQ(b->anim, NamedTexAnim("glow"));
    ASSERT_NE(b->dummy, nullptr);
    EXPECT_STREQ(b->dummy->tex->name, "dummies\\glow");
    EXPECT_EQ(b->dummy->tex->surface, b->anim->frames[0]);
    EXPECT_EQ(TexCount, 2);

    // Copies share the dummy texture; it leaves the texture table once, with the last of them.
    bboard* c1 = CopyBBoard(g, g, b);
    bboard* c2 = CopyBBoard(g, g, c1);
    ResetStaging();
    FreeBBoard(c1);
    EXPECT_EQ(TexCount, 2);
    FreeBBoard(c2);
    EXPECT_EQ(TexCount, 1);
    EXPECT_EQ(TexTable[0], brick);
    FreeGeom(g);
}

}  // namespace

namespace {

// Every block the reader sizes from a count in the file goes through one check: a product of element
// size and count past the allocator's 32-bit limit is refused instead of wrapping to a tiny block (a
// count of 2^28 eight-byte pointers once gave a 1-byte block that the list was then written into).
TEST(ObjFile, BlockSizesPastTheLimitAreRefused) {
    kvtest::FatalCatcher fatal;
    objfile::Reader r{};
    r.name = "big";
    const struct {
        size_t elem;
        uint64_t count;
        bool fits;
    } cases[] = {{8, 0x10000000u, false},
                 {2, uint64_t(0x10000) * 0x10000, false},
                 {sizeof(GeomPoint), 0xFFFFFFFFu, false},
                 {8, 16, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        try {
            void* block = objfile::AllocBlock(r, c.elem, c.count, "vtx list");
            EXPECT_TRUE(c.fits);
            qzFree(block);
        } catch (const kvtest::FatalExit& e) {
            EXPECT_FALSE(c.fits);
            EXPECT_EQ(std::string(e.what()),
                      "Error(ReadCCADObj): vtx list of " + std::to_string(c.count) + " entries is too large in 'big'");
        }
    }
}

}  // namespace
