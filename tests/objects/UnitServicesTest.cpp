// Resistance and access types, type pools, scenery lighting, cockpit warning values and the scenery
// height-field files.
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/Fs.h"
#include "objects/SceneryLighting.h"
#include "objects/UnitShare.h"
#include "objects/UnitServices.h"
#include "objects/Units.h"
#include "support/Fatal.h"
#include "support/MemTrack.h"
#include "support/TempDir.h"
#include "support/TextDevice.h"
#include "tools/datakit/HField.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/WorldFixtures.h"

namespace {

template <typename Fn>
std::string FatalText(Fn fn) {
    try {
        fn();
    } catch (const kvtest::FatalExit& e) {
        return e.what();
    }
    return "";
}

TEST(ResistanceTest, TableOfTypes) {
    struct Case {
        const char* name;
        ResistanceType type;
        std::vector<float> p;  // the parameters the type sets
        int upright, moving;
    } cases[] = {
        {"rigid", ResistanceType::Rigid, {0}, 1, 0},
        {"swing", ResistanceType::Swing, {0.6f, 0.13f, 0.6f, 1.0f, 0}, 1, 1},
        {"bend", ResistanceType::Bend, {1.0f, 0, 0.4f, 1.0f, 0}, 1, 1},
        {"fall", ResistanceType::Fall, {0.6f, 0.13f, 0.6f, 1.0f, 0.22f}, 0, 1},
        {"slam", ResistanceType::Slam, {1.7f, 0.08f, 0.9f, 1.0f, 0.2f}, 0, 1},
        {"break", ResistanceType::Break, {0}, 0, 0},
    };
    int owner = 0;
    for (const Case& c : cases) {
        ResistanceRecord r;
        for (float& v : r.p) v = -9;
        NamedResistance(&r, c.name, &owner);
        EXPECT_EQ(r.type, c.type) << c.name;
        EXPECT_EQ(r.owner, &owner);
        for (size_t i = 0; i < 5; ++i) EXPECT_FLOAT_EQ(r.p[i], i < c.p.size() ? c.p[i] : -9.0f) << c.name << i;
        EXPECT_EQ(IsResistanceUpright(&r), c.upright) << c.name;
        EXPECT_EQ(IsResistanceMoving(&r), c.moving) << c.name;
    }
    kvtest::FatalCatcher fatal;
    ResistanceRecord r{};
    EXPECT_EQ(FatalText([&] { NamedResistance(&r, "Rigid", nullptr); }),
              "Error(NamedResistance): uk resistance type");
}

TEST(AccessTypeTest, NamesAndMasks) {
    const struct {
        const char* name;
        int32_t type;
        uint32_t mask;
    } cases[] = {{"LAND0", 0, 2}, {"LAND1", 1, 2}, {"AMPHI", 2, 1}, {"SEA", 3, 0}, {"AIR", 4, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(static_cast<int32_t>(NamedAccessType(c.name)), c.type) << c.name;
        EXPECT_EQ(GetBlockedMask(c.type), c.mask) << c.name;
    }
    kvtest::FatalCatcher fatal;
    EXPECT_EQ(FatalText([] { NamedAccessType("land0"); }), "Error(NamedAccessType): unknown access type 'land0'");
    EXPECT_EQ(FatalText([] { GetBlockedMask(5); }), "Error(GetBlockedMask): unknown AccessType");
    EXPECT_EQ(FatalText([] { GetBlockedMask(-1); }), "Error(GetBlockedMask): unknown AccessType");
}

TEST(PartWarningTest, BlinkWaveAndAlarm) {
    const struct {
        uint32_t tick;
        int32_t value;
    } cases[] = {{0, 248}, {31, 0}, {32, 0}, {63, 248}, {64, 248}, {40, 64}};
    for (const auto& c : cases) EXPECT_EQ(PartBlinkValue(c.tick, 1), c.value) << c.tick;
    EXPECT_EQ(PartBlinkValue(0, 0), 0);
    EXPECT_EQ(PartAlarmValue(0), 0);
    EXPECT_EQ(PartAlarmValue(2), 255);
}

// The cockpit part is placed at the unit's inside view and drawn; afterwards fog is off for the overlay.
TEST(PartWarningTest, DrawPartAtPlacesThePartAndLeavesFogOff) {
    kvtest::TextDevice device;
    host::SetRenderState(D3DDevice, host::RenderState::FogEnable, 1);
    construct* part = CreateConstruct(0, 0);
    UnitShare rec{};
    rec.insidePos[0] = 100, rec.insidePos[1] = 200, rec.insidePos[2] = 300;
    rec.targetedBy = 1;
    rec.missileCount = 2;
    const int32_t orient[9] = {0, 0, 32768, 0, 32768, 0, -32768, 0, 0};
    int32_t blink = -1, alarm = -1;
    DrawPartAt(part, orient, &rec, &blink, &alarm);
    EXPECT_EQ(part->pos[2], 300);
    EXPECT_EQ(part->orient[2], 32768);
    EXPECT_EQ(alarm, 255);
    EXPECT_GE(blink, 0);
    EXPECT_EQ(host::GetRenderState(D3DDevice, host::RenderState::FogEnable), 0u);
    FreeConstruct(part);
}

// The level's type pools and constructs of units-file entries with given klasses.
class TypePoolTest : public kvtest::LevelPools {
protected:
    void SetUp() override {
        LevelPools::SetUp();
        for (const char* n : {"radioactive", "reload", "target", "icon", "nav"}) CreateConstructPool(32, n);
    }
    void TearDown() override {
        for (construct* c : made_) FreeConstruct(c);
        for (Unit* u : units_) {
            u->name = nullptr;
            FreeUnit(u);
        }
        LevelPools::TearDown();
    }
    construct* Make(uint32_t klass) {
        Unit* u = CreateUnit();
        u->klass = klass;
        units_.push_back(u);
        construct* c = CreateConstruct(0, 0);
        c->unit = u;
        made_.push_back(c);
        return c;
    }
    static bool In(construct* c, const char* pool) { return IsInConstructPool(c, FindConstructPool(pool)) != 0; }

    std::vector<construct*> made_;
    std::vector<Unit*> units_;
};

TEST_F(TypePoolTest, KlassSelectsPoolsAndReloadStaysUntilDestroyed) {
    construct* depot = Make(kKlassReload | kKlassTarget | kKlassRadioactive | kKlassIcon);
    AddToTypePools(depot);
    AddToTypePools(depot);  // a second add does not duplicate
    EXPECT_EQ(FindConstructPool("target")->count, 1);
    for (const char* p : {"radioactive", "reload", "target", "icon"}) EXPECT_TRUE(In(depot, p)) << p;
    EXPECT_FALSE(In(depot, "nav"));
    RemoveFromTypePools(depot);
    for (const char* p : {"radioactive", "target", "icon"}) EXPECT_FALSE(In(depot, p)) << p;
    EXPECT_TRUE(In(depot, "reload"));
    // Freed: no unit may be serviced by it any more.
    RemoveDestroyedFromTypePools(depot);
    EXPECT_FALSE(In(depot, "reload"));
}

TEST_F(TypePoolTest, NavigationConstructIsTheFirstNavAndIsReplacedWhenItLeaves) {
    construct* a = Make(kKlassNav);
    construct* b = Make(kKlassNav);
    EXPECT_EQ(GetNavConstruct(), nullptr);
    AddToTypePools(a);
    AddToTypePools(b);
    EXPECT_EQ(GetNavConstruct(), a);
    RemoveFromTypePools(a);
    EXPECT_EQ(GetNavConstruct(), b);
    RemoveFromTypePools(b);
    EXPECT_EQ(GetNavConstruct(), nullptr);
    AddToTypePools(a);
    EXPECT_EQ(GetNavConstruct(), a);
    // A level's pools deleted: the remembered construct is forgotten with them.
    DeleteConstructPool(FindConstructPool("nav"));
    EXPECT_EQ(GetNavConstruct(), nullptr);
}

// Scenery lighting: a stand-in scenery type that records SETBRIGHTNESS.
std::vector<uintptr_t> g_brightness;
uintptr_t Lamp_itfc(construct*, ItfcMethod method, uintptr_t arg) {
    if (method == ItfcMethod::SETBRIGHTNESS) g_brightness.push_back(arg);
    return 0;
}

class SceneryLightingTest : public kvtest::LevelPools {
protected:
    void SetUp() override {
        LevelPools::SetUp();
        ConstructPool* pool = CreateConstructPool(140, "scenery lighting");
        lamp_ = CreateConstruct(0, 0);
        lamp_->itfc = Lamp_itfc;
        AppendToConstructPool(pool, lamp_);
        g_brightness.clear();
        LightStamp = 0;
    }
    void TearDown() override {
        FreeConstruct(lamp_);
        SceneryLightingLevel = SceneryLightingRate = 0;
        LevelPools::TearDown();
    }
    construct* lamp_ = nullptr;
};

TEST_F(SceneryLightingTest, FadeStopsAtTheEndsAndTellsTheSceneryOnlyOnChange) {
    SetSceneryLightingLevel(65000);
    EXPECT_EQ(g_brightness, std::vector<uintptr_t>{65000 >> 8});
    EXPECT_EQ(LightStamp, 1);
    SceneryLightingRate = 256;
    UpdateSceneryLighting(1);
    EXPECT_EQ(SceneryLightingLevel, 65256);
    EXPECT_EQ(SceneryLightingRate, 256);
    UpdateSceneryLighting(1);
    EXPECT_EQ(SceneryLightingLevel, 65280);
    EXPECT_EQ(SceneryLightingRate, 0);
    ASSERT_EQ(g_brightness.size(), 3u);
    EXPECT_EQ(g_brightness.back(), 255u);
    LightStamp = 0;
    SceneryLightingRate = 256;  // already at the top: no change, nothing sent
    UpdateSceneryLighting(4);
    EXPECT_EQ(g_brightness.size(), 3u);
    EXPECT_EQ(LightStamp, 0);
    EXPECT_EQ(SceneryLightingRate, 0);
    SceneryLightingRate = -30000;
    UpdateSceneryLighting(3);
    EXPECT_EQ(SceneryLightingLevel, 0);
    EXPECT_EQ(SceneryLightingRate, 0);
    EXPECT_EQ(g_brightness.back(), 0u);
}

// "HFLD" files in a temporary data tree.
class SceneryHFieldTest : public ::testing::Test {
protected:
    SceneryHFieldTest() : old_(std::filesystem::current_path()) { host::SetWorkingDirectory(dir_.path().c_str()); }
    ~SceneryHFieldTest() override {
        host::SetWorkingDirectory(old_.c_str());
        host::FlushDirectoryCache();
    }
    void Put(const std::string& name, const std::vector<uint8_t>& bytes) {
        dir_.Write("app/hfields/" + name, std::string(bytes.begin(), bytes.end()));
        host::FlushDirectoryCache();
    }
    kvtest::TempDir dir_;
    std::string old_;
    kvtest::FatalCatcher fatal_;
};

TEST_F(SceneryHFieldTest, ReadsHeightsScaledInto16Bits) {
    datakit::HFieldFile f;
    f.n = 2;
    f.heights = {0.0f, 1.0f, -1.0f, 100.5f};
    f.low[0] = 123;  // the vectors are not read
    Put("mound", datakit::HFieldBytes(f));
    kvtest::MemTrack mem;
    hfield* hf = CreateSceneryHField("mound", 0);
    ASSERT_NE(hf, nullptr);
    EXPECT_EQ(hf->n, 2);
    EXPECT_EQ(hf->heights[0], 0);
    EXPECT_EQ(hf->heights[1], 21);
    EXPECT_EQ(hf->heights[2], 65515);  // the integer part of -21.5625, kept in 16 bits
    EXPECT_EQ(hf->heights[3], 2167);   // 100.5 x 21.5625 = 2167.03
    FreeSceneryHField(hf);
    FreeSceneryHField(nullptr);
}

TEST_F(SceneryHFieldTest, MalformedFilesAreRefused) {
    const std::string path = std::string("app\\hfields\\");
    datakit::HFieldFile good;
    good.n = 3;
    good.heights.assign(9, 1.0f);
    auto bytes = [&](auto edit) {
        datakit::HFieldFile f = good;
        edit(f);
        return datakit::HFieldBytes(f);
    };
    std::vector<uint8_t> cut = datakit::HFieldBytes(good);
    cut.resize(cut.size() - 1);
    std::vector<uint8_t> header = datakit::HFieldBytes(good);
    header.resize(20);
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        std::string error;
    } cases[] = {
        {"magic", bytes([](auto& f) { f.rawMagic = 0x44464C48; }), "Error(CreateSceneryHField): " + path + "magic not an hfield"},
        {"empty", {}, "Error(CreateSceneryHField): " + path + "empty not an hfield"},
        {"header", header, "Error(CreateSceneryHField): " + path + "header not an hfield (the header is cut short)"},
        {"short", cut, "Error(CreateSceneryHField): " + path + "short not an hfield (3 x 3 heights do not fit the file)"},
        {"bign", bytes([](auto& f) { f.rawN = 4; }), "Error(CreateSceneryHField): " + path + "bign not an hfield (4 x 4 heights do not fit the file)"},
        {"zero", bytes([](auto& f) { f.rawN = 0; }), "Error(CreateSceneryHField): " + path + "zero not an hfield (grid size 0 outside 1..1024)"},
        {"negative", bytes([](auto& f) { f.rawN = -3; }), "Error(CreateSceneryHField): " + path + "negative not an hfield (grid size -3 outside 1..1024)"},
        {"huge", bytes([](auto& f) { f.rawN = 65536; }), "Error(CreateSceneryHField): " + path + "huge not an hfield (grid size 65536 outside 1..1024)"},
    };
    for (const auto& c : cases) {
        Put(c.name, c.bytes);
        kvtest::MemTrack mem;
        EXPECT_EQ(FatalText([&] { CreateSceneryHField(c.name, 0); }), c.error) << c.name;
        EXPECT_EQ(mem.Live(), 0) << c.name;  // nothing allocated before the file is known good
    }
    EXPECT_EQ(FatalText([] { CreateSceneryHField("absent", 0); }),
              "Error(CreateSceneryHField): " + path + "absent not found");
}

}  // namespace
