// Palettes: the file format through datakit, names, the table and the uniform test.
#include <cstring>

#include "TexFixture.h"
#include "tools/datakit/Texture.h"

namespace {

using PaletteTest = textest::TexTest;

TEST_F(PaletteTest, PaletteFileRoundTripAndName) {
    std::vector<datakit::Rgb> colours(256);
    for (int i = 0; i < 256; ++i) colours[size_t(i)] = {uint8_t(i), uint8_t(i ^ 0xff), uint8_t(i * 7)};
    Put("pal/Dusk.plt", datakit::PaletteFile(colours));
    Plt* plt = CreatePlt();
    EXPECT_STREQ(plt->name, "anon");
    LoadPlt(plt, (tmp / "pal\\Dusk.plt").c_str());
    EXPECT_STREQ(plt->name, "Dusk.plt");
    for (int i : {0, 1, 128, 255}) {
        EXPECT_EQ(plt->entries[i].red, colours[size_t(i)].r);
        EXPECT_EQ(plt->entries[i].green, colours[size_t(i)].g);
        EXPECT_EQ(plt->entries[i].blue, colours[size_t(i)].b);
    }
    EXPECT_EQ(NamedPlt("Dusk.plt"), plt);
    EXPECT_EQ(NamedPlt("dusk.plt"), nullptr);
    EXPECT_EQ(IsUniformPlt(plt), 0);
}

TEST_F(PaletteTest, PaletteNamesAreCutAndBadFilesRefused) {
    std::string longName(40, 'p');
    Put("pal/" + longName, datakit::PaletteFile({}));
    auto shortFile = datakit::PaletteFile({});
    shortFile.pop_back();
    Put("pal/short", shortFile);
    Plt* plt = CreatePlt();
    LoadPlt(plt, (tmp / ("pal\\" + longName)).c_str());
    EXPECT_EQ(std::string(plt->name), longName.substr(0, 23));
    EXPECT_EQ(KV_FATAL_TEXT(LoadPlt(plt, (tmp / "pal\\none").c_str())), "Error(LoadPlt): Can't open palette file");
    std::string shortPath = tmp / "pal\\short";
    EXPECT_EQ(KV_FATAL_TEXT(LoadPlt(plt, shortPath.c_str())),
              "Error(LoadPlt): palette file " + shortPath + " is too short");
}

TEST_F(PaletteTest, PaletteTableAndUniformity) {
    Plt* a = CreatePlt();
    Plt* b = CreatePlt();
    strcpy(a->name, "same");
    strcpy(b->name, "same");
    EXPECT_EQ(NamedPlt("same"), a) << "the oldest of equal names wins";
    for (PltEntry& e : a->entries) e = PltEntry{10, 20, 30, 0};
    for (int i = 0; i < 256; ++i) a->entries[i].unused = uint8_t(i);
    EXPECT_EQ(IsUniformPlt(a), 1) << "the fourth bytes do not count";
    a->entries[255].blue = 31;
    EXPECT_EQ(IsUniformPlt(a), 0);
    DeletePlt(a);
    EXPECT_EQ(PltTable[0], b);
    DeletePlt(a);
    DeletePlt(nullptr);
    EXPECT_EQ(PltCount, 1);
    while (PltCount < kMaxPlts) CreatePlt();
    EXPECT_EQ(KV_FATAL_TEXT(CreatePlt()), "Error(CreatePlt): Too many Plts");
}

}  // namespace
