// Action units: definitions read from the world file's chunk body (good and malformed), and their units
// created, placed, removed and destroyed through the units file.
#include <cstdio>
#include <functional>

#include "AIFixtures.h"
#include "core/Config.h"
#include "objects/Units.h"
#include "support/MemTrack.h"
#include "tools/datakit/WorldFile.h"
#include "tools/datakit/UnitsFile.h"

namespace aitest {
namespace {

constexpr int kJeepSlot = 4;  // the registry slot of "EMAJeep"

class ActionUnits : public AIScene {
protected:
    ActionUnits() {
        std::memcpy(savedSlots_, ItfcRegistry, sizeof savedSlots_);
        ItfcRegistry[kJeepSlot] = Fake_itfc;
        g_destroyed = 0;
        std::vector<datakit::UnitEntry> entries = {
            {"Jeep", "EMAJeep", "Jeep", "jeep", {"VEHICLE"}, {}, ""},
            {"Hut", "Train", "Hut", "hut", {"SCENERY"}, {}, ""},  // a type not built here
        };
        EXPECT_TRUE(datakit::WriteUnitsFile(dir_ / "units", entries));
        host::FlushDirectoryCache();
        ReadUnitsFile((dir_ / "units").c_str());
    }
    ~ActionUnits() override {
        while (AUDefCount > 0) DeleteAUDef(AUDefTable[0]);
        while (UnitCount > 0) FreeUnit(UnitTable[0]);
        std::memcpy(ItfcRegistry, savedSlots_, sizeof savedSlots_);
    }
    static datakit::WorldAUUnit Entry(const char* type, int32_t x, int32_t z, int32_t percentage = 100) {
        datakit::WorldAUUnit e;
        e.type = type;
        e.percentage = percentage;
        e.place = {x, 0, z, 0, 0, 4096};
        return e;
    }
    static AUDef* Read(const std::vector<uint8_t>& body) {
        AUDef* au = CreateAUDef();
        ReadAUDefBody(au, 7, body.data(), body.size(), "Maps\\Test");
        return au;
    }
    // The outpost: GA's list (level clan 1) holds two jeeps (the second with data and not placed) and a
    // hut; EMA's list one jeep.
    static datakit::WorldAUDef Outpost() {
        datakit::WorldAUDef def;
        def.name = "outpost";
        def.abstractClan = 1;
        def.headerWord = 42;
        def.lists[0] = {Entry("Jeep", 1, 2)};
        def.lists[1] = {Entry("Jeep", 10 * 65536, 20 * 65536), Entry("Hut", 0, 0), Entry("Jeep", 5, 6, 0)};
        def.lists[1][2].data = std::vector<uint8_t>{1, 2, 3};
        return def;
    }

private:
    ItfcProc savedSlots_[kItfcSlotCount];
};

TEST_F(ActionUnits, ADefinitionIsReadWithItsListsAndDataBlocks) {
    AUDef* au = Read(datakit::AUDefBody(Outpost()));
    EXPECT_STREQ(au->name, "outpost");
    EXPECT_EQ(au->abstractClan, 1);
    EXPECT_EQ(au->headerWord, 42);
    EXPECT_EQ(au->readerWord, 7);
    EXPECT_EQ(au->lists[0].count, 1);
    EXPECT_EQ(au->lists[2].count, 0);
    EXPECT_EQ(au->lists[2].units, nullptr);
    const AUUnitList& l = au->lists[1];
    ASSERT_EQ(l.count, 3);
    EXPECT_EQ(l.units[0], NamedUnit("Jeep"));
    EXPECT_EQ(l.units[1], NamedUnit("Hut"));
    EXPECT_EQ(l.places[0][2], 20 * 65536);
    EXPECT_EQ(l.data[0], nullptr);  // no "DATA": the next entry's name followed
    EXPECT_EQ(l.percentages[2], 0);
    ASSERT_NE(l.data[2], nullptr);
    EXPECT_EQ(l.dataSizes[2], 3);
    EXPECT_EQ(static_cast<uint8_t*>(l.data[2])[2], 3);
    EXPECT_EQ(NamedAUDef("outpost"), au);
    EXPECT_EQ(NamedAUDef("Outpost"), nullptr);
}

TEST_F(ActionUnits, ReadingFromTheStreamLeavesItAtTheEndOfTheChunk) {
    std::vector<uint8_t> body = datakit::AUDefBody(Outpost());
    std::string path = dir_ / "chunk.bin";
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(body.data(), 1, body.size(), f);
    const uint32_t next = 0xC0FFEE;
    std::fwrite(&next, 4, 1, f);
    std::fclose(f);
    f = std::fopen(path.c_str(), "rb");
    AUDef* au = CreateAUDef();
    ReadAUDef(au, 8, int(body.size()) + 8, f);
    uint32_t after = 0;
    EXPECT_EQ(std::fread(&after, 4, 1, f), 1u);
    std::fclose(f);
    EXPECT_EQ(after, next);
    EXPECT_EQ(au->readerWord, 8);
    EXPECT_EQ(au->chunkSize, int(body.size()) + 8);
    EXPECT_EQ(au->lists[1].count, 3);
}

TEST_F(ActionUnits, MalformedDefinitionsAreRefused) {
    kvtest::MemTrack mem;
    auto entryBody = [](const std::function<void(datakit::WorldAUDef&)>& edit) {
        datakit::WorldAUDef def;
        def.name = "bad";
        def.lists[0] = {Entry("Jeep", 0, 0)};
        edit(def);
        return datakit::AUDefBody(def);
    };
    std::vector<uint8_t> unterminated = entryBody([](auto&) {});
    std::memset(unterminated.data() + 44, 'J', 32);  // the entry's type name without its terminator
    std::vector<uint8_t> bigData = entryBody([](auto& d) { d.lists[0][0].data = std::vector<uint8_t>{9}; });
    bigData[bigData.size() - 13] = 0xFF;  // "DATA" size 255 with nine bytes left
    std::vector<uint8_t> bigCount = entryBody([](auto&) {});
    bigCount[40] = 0xFF;  // list 0 count 255
    std::vector<uint8_t> unnamed = entryBody([](auto&) {});
    unnamed.resize(20);
    struct Case {
        const char* name;
        std::vector<uint8_t> body;
        const char* message;
    } cases[] = {
        {"type name without terminator", unterminated,
         "Error(ReadAUDef): a name without its terminator in action unit 'bad' of 'Maps\\Test'"},
        {"data beyond the chunk", bigData,
         "Error(ReadAUDef): a unit data block larger than the chunk in action unit 'bad' of 'Maps\\Test'"},
        {"count beyond the chunk", bigCount,
         "Error(ReadAUDef): a unit count larger than the chunk in action unit 'bad' of 'Maps\\Test'"},
        {"header cut short", unnamed, "Error(ReadAUDef): a header past the end of the chunk in action unit '?' of 'Maps\\Test'"},
        {"unknown unit", entryBody([](auto& d) { d.lists[0][0].type = "Nope"; }), "Error: unit 'Nope' not found"},
        {"place near the 32-bit limit", entryBody([](auto& d) { d.lists[0][0].place[0] = 2147480000; }),
         "Error(ReadAUDef): a place far outside the map in action unit 'bad' of 'Maps\\Test'"},
        {"place far below", entryBody([](auto& d) { d.lists[0][0].place[1] = -2147483647 - 1; }),
         "Error(ReadAUDef): a place far outside the map in action unit 'bad' of 'Maps\\Test'"},
        {"abstract clan 3", entryBody([](auto& d) { d.abstractClan = 3; }),
         "Error(ReadAUDef): an abstract clan other than 0, 1 or 2 in action unit 'bad' of 'Maps\\Test'"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FatalText([&] { Read(c.body); }), c.message) << c.name;
        while (AUDefCount > 0) DeleteAUDef(AUDefTable[0]);
    }
    EXPECT_EQ(mem.Live(), 0);
}

TEST_F(ActionUnits, UnitsAreCreatedPlacedRemovedAndDestroyed) {
    Rules("outpost_Action UNITCAPTURE 5 6 7;");
    ConstructPool* captured = CreateConstructPool(32, "tobecaptured");
    AUDef* au = Read(datakit::AUDefBody(Outpost()));
    EXPECT_EQ(FatalText([&] { AUDef_itfc(au, ItfcMethod::CREATE); }), "Error(AUDef): This AU's abstract clan is not mapped");
    AbstractClanMap[1] = ga();
    SetPlayerClan(ga());
    AUDef_itfc(au, ItfcMethod::CREATE);
    ASSERT_NE(au->pool, nullptr);
    EXPECT_STREQ(au->pool->name, "audef outpost pool");
    ASSERT_EQ(au->pool->count, 2);  // the hut's type is not built: it made no unit
    construct* first = au->pool->constructs[0];
    construct* second = au->pool->constructs[1];
    EXPECT_EQ(first->clan, ga());
    EXPECT_EQ(Block(second)->params, 1);
    EXPECT_EQ(au->action, kActionUnitCapture);
    EXPECT_EQ(au->actionValues[3], 6);

    AUDef_itfc(au, ItfcMethod::PLACE);
    AUDef_itfc(au, ItfcMethod::PLACE);  // placed already: nothing happens
    EXPECT_EQ(au->placed, 1);
    EXPECT_EQ(Block(first)->placed, 1);
    EXPECT_EQ(Block(first)->lastPlace.x, 20 * 65536);  // x and z exchanged
    EXPECT_EQ(Block(first)->lastPlace.z, 10 * 65536);
    EXPECT_EQ(Block(first)->lastPlace.heading, 4096);
    EXPECT_EQ(Block(first)->lastPlace.strength, 100);
    EXPECT_EQ(Block(second)->placed, 0);  // percentage 0
    EXPECT_EQ(first->bytes2[1], 255);     // the player's clan takes its units' control
    EXPECT_EQ(captured->count, 2);
    EXPECT_EQ(FindAUOfUnit(second, nullptr), au);
    int index = -1;
    EXPECT_EQ(AUDef_FindUnitSlot(au, second, &index), au->lists[1].places[2]);
    EXPECT_EQ(index, 2);

    AUDef_itfc(au, ItfcMethod::UNPLACE);
    EXPECT_EQ(au->placed, 0);
    EXPECT_EQ(Block(second)->unplaced, 1);  // unplaced though it was never placed
    AUDef_itfc(au, ItfcMethod::UNPLACE);
    EXPECT_EQ(Block(first)->unplaced, 1);

    AUDef_itfc(au, ItfcMethod::DESTROY);
    EXPECT_EQ(au->pool, nullptr);
    EXPECT_EQ(au->action, kActionNone);
    EXPECT_EQ(g_destroyed, 2);
    EXPECT_EQ(captured->count, 0);
    EXPECT_EQ(FindConstructPool("audef outpost pool"), nullptr);
    DeleteConstructPool(captured);
}

TEST_F(ActionUnits, DeleteTakesPlacedUnitsOutAndFreesEverything) {
    kvtest::MemTrack mem;
    AbstractClanMap[1] = ga();
    AUDef* au = Read(datakit::AUDefBody(Outpost()));
    AUDef_itfc(au, ItfcMethod::CREATE);
    AUDef_itfc(au, ItfcMethod::PLACE);
    DeleteAUDef(au);
    DeleteAUDef(nullptr);
    EXPECT_EQ(AUDefCount, 0);
    EXPECT_EQ(g_destroyed, 2);
    EXPECT_EQ(mem.Live(), 0);
}

TEST_F(ActionUnits, TheTableHolds99) {
    for (int i = 0; i < 99; ++i) CreateAUDef();
    EXPECT_EQ(FatalText([] { CreateAUDef(); }), "Error(CreateAUDef): Too many AUDefs");
    std::strcpy(AUDefTable[3]->name, "twin");
    std::strcpy(AUDefTable[5]->name, "twin");
    EXPECT_EQ(NamedAUDef("twin"), AUDefTable[3]);
}

}  // namespace
}  // namespace aitest
