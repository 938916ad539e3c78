// The element tests' world: a hand-made terrain of 8 x 8 tiles, the level's busy, visible and type pools,
// headless sound, and a folder of object files written with datakit (buildings with height fields of
// several widths, a building with a wreck and add-ons, gates, a lift, an energy gate, scenery). Entries
// of the units file are made by hand; rules are read from text the test gives.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/Config.h"
#include "core/FixMath.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "host/Fs.h"
#include "host/Window.h"
#include "objects/Elements.h"
#include "objects/Elements_local.h"
#include "objects/SceneryLighting.h"
#include "objects/Units.h"
#include "platform/Sound.h"
#include "render/Light.h"
#include "support/FPTables.h"
#include "support/Fatal.h"
#include "support/TempDir.h"
#include "tools/datakit/HField.h"
#include "tools/datakit/ObjectFile.h"
#include "tools/datakit/RulesText.h"
#include "tools/datakit/Wav.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/ObjFile.h"
#include "world/QZEvent.h"
#include "world/Statics.h"
#include "world/TerrainFixtures.h"
#include "world/TickCounter.h"
#include "world/WorldFixtures.h"

namespace kvtest {

using Rgb = std::array<uint8_t, 3>;

// A box of half sizes hx, hy, hz (file units) standing on its base, with an n x n height field of the given
// heights (file units; all `top` when none are given; n = 0: no height field).
inline datakit::ObjectFile ElementBox(float hx, float hy, float hz, int n, float top = 0, std::vector<float> heights = {}) {
    datakit::ObjectFile obj;
    datakit::AddBox(obj, 0, hy, 0, hx, hy, hz, Rgb{150, 150, 140});
    if (n > 0) {
        if (heights.empty()) heights.assign(size_t(n) * n, top);
        obj.HField(uint32_t(n), heights);
    }
    return obj;
}

// A moving part: a box of half sizes hx, hy, hz centred at (cx, cy, cz), turning about its anchor.
inline datakit::ObjectFile ElementPart(float ax, float ay, float az, float hx, float hy, float hz, float cx, float cy,
                                       float cz) {
    datakit::ObjectFile obj;
    datakit::AddBox(obj, cx, cy, cz, hx, hy, hz, Rgb{90, 90, 100});
    obj.Anchor(ax, ay, az);
    return obj;
}
inline datakit::ObjectFile ElementPart(float ax, float ay, float az, float hx, float hy, float hz) {
    return ElementPart(ax, ay, az, hx, hy, hz, ax, ay, az);
}

// The height field of a gate: the line of the doors raised across the passage, the rest flat. Rows of the
// field run along the object's z axis, columns along its x axis: swing doors close a line along x (the
// middle row), slide doors, which slide along z, a line along z (the middle column).
inline std::vector<float> GateField(bool alongZ = false) {
    std::vector<float> h(17 * 17, 0.0f);
    for (int k = 0; k < 17; ++k) h[alongZ ? size_t(k * 17 + 8) : size_t(8 * 17 + k)] = 20.0f;
    return h;
}

class ElementWorld : public LevelPools {
protected:
    void SetUp() override {
        LevelPools::SetUp();
        EnsureFPTables();
        RegisterElementTypes();
        previous_ = std::filesystem::current_path().string();
        host::SetHeadless(true);
        host::SetWorkingDirectory(dir_.path().c_str());
        use_directsound3d = 0;
        dxgl_SetStreamFormat(1, 22050, 16);
        dxgl_SetSoundFolder((dir_.path() + "/snd").c_str());
        dxgl_SetMasterVolume(1.0f, 1.0f);
        dxgl_EnableSound();
        dxgl_InitDS();
        for (const char* w : {"rigid.wav", "break.wav", "open.wav", "close.wav", "go.wav", "stop.wav", "engine.wav",
                              "swing.wav", "hum.wav"})
            ASSERT_TRUE(datakit::WriteWav(dir_ / ("snd/" + std::string(w)), 1, 22050, std::vector<int16_t>(4000, 500)));
        WriteObjects();
        host::FlushDirectoryCache();
        AddRules("FX_resistance_rigid 65536 0 0 \"rigid.wav\";\n"
                 "FX_resistance_break 65536 0 0 \"break.wav\";\n"
                 "FX_resistance_swing 65536 0 0 \"swing.wav\";\n"
                 "FX_resistance_bend 65536 0 0 \"swing.wav\";\n"
                 "FX_resistance_fall 65536 0 0 \"swing.wav\";\n"
                 "FX_resistance_slam 65536 0 0 \"swing.wav\";\n"
                 "EngineNoise_range 196608;\n"
                 "AimDivergence 3 2 1;\n");
        matrix_ = std::make_unique<HandMatrix>(8, 8);
        CurrentMatrix = matrix_->m;
        TopTileFieldPresent = 0;
        for (const char* name : {"radioactive", "target", "icon", "nav", "reload", "tobecaptured", "tmpcollision"})
            CreateConstructPool(32, name);
        CreateConstructPool(140, "scenery lighting");
        FrameCounter = 1000;
        savedDynamic_ = dynamic_lighting;
        dynamic_lighting = 1;
        ResetRandomGenerators();
    }
    void TearDown() override {
        for (construct* con : made_) {
            if (con->flags & kConstructPlaced) CallItfc(con, ItfcMethod::UNPLACE, 0);
            CallItfc(con, ItfcMethod::DESTROY, 0);
        }
        made_.clear();
        ResetCCADStaging();
        ClearQZEvents();
        while (ActiveLightCount > 0) RemoveActiveLight(ActiveLights[0]);
        CurrentMatrix = nullptr;
        matrix_.reset();
        ResetStatLinks();
        dxgl_ReleaseAllSounds();
        while (UnitCount > 0) FreeUnit(UnitTable[0]);
        FreeRules();
        dynamic_lighting = savedDynamic_;
        TopTileFieldPresent = 0;
        host::SetWorkingDirectory(previous_.c_str());
        host::FlushDirectoryCache();
        LevelPools::TearDown();
    }

    void AddRules(const std::string& text) {
        const std::string name = "rules" + std::to_string(rulesFiles_++);
        ASSERT_TRUE(datakit::WriteRulesText(dir_ / name, text + "end\n"));
        host::FlushDirectoryCache();
        ReadRules(name.c_str());
    }
    void Write(const std::string& rel, const datakit::ObjectFile& obj) {
        ASSERT_TRUE(datakit::WriteFile(dir_ / rel, obj.Bytes()));
    }

    // An entry of the units file: name (also its rule prefix) and object path.
    static Unit* Entry(const char* name, const char* path, uint32_t klass = 0, uint32_t extra = 0) {
        Unit* u = CreateUnit();
        u->name = qzStrDup(name, "unit name");
        u->rulePrefix = qzStrDup(name, "unit prefix");
        u->gameName = qzStrDup(name, "unit game name");
        u->path = qzStrDup(path, "unit path");
        u->klass = klass;
        u->extra = extra;
        return u;
    }
    // CREATE through the type's dispatcher with the entry; destroyed after the test.
    construct* Make(ItfcProc itfc, Unit* unit) {
        auto* con = reinterpret_cast<construct*>(
            itfc(reinterpret_cast<construct*>(unit), ItfcMethod::CREATE, reinterpret_cast<uintptr_t>(unit->path)));
        if (con) {
            con->unit = unit;
            made_.push_back(con);
        }
        return con;
    }
    // PLACE at the world point (x, z) with the entry's extra flags; the record as PLACE left it.
    static PlacementRecord Place(construct* con, int32_t x, int32_t z, int32_t heading = 0, int32_t strength = 100) {
        PlacementRecord p{x, 0, z, {0, 0}, heading, strength, con->unit ? int32_t(con->unit->extra) : 0};
        CallItfc(con, ItfcMethod::PLACE, reinterpret_cast<uintptr_t>(&p));
        FlushQZEvents();
        return p;
    }
    // UNPLACE and DESTROY now (no longer destroyed after the test).
    void Remove(construct* con) {
        CallItfc(con, ItfcMethod::UNPLACE, 0);
        FlushQZEvents();
        CallItfc(con, ItfcMethod::DESTROY, 0);
        std::erase(made_, con);
    }
    // n ticks of the construct's own, the tick counter advancing by its busy level's step each.
    static void Ticks(construct* con, int n) {
        for (int i = 0; i < n; ++i) {
            FrameCounter += 1u << con->busyLevel;
            CallItfc(con, ItfcMethod::TICK, 0);
            FlushQZEvents();
        }
    }
    // The terrain's sub-point at a world point.
    SubPoint& At(int32_t x, int32_t z) { return matrix_->At(x >> 12, z >> 12); }
    template <typename T>
    static T* Get(construct* con, ItfcMethod m) {
        return reinterpret_cast<T*>(CallItfc(con, m, 0));
    }
    static bool OnTiles(const construct* con) {
        for (const StatLink& l : StatLinks)
            if (l.stat == con) return true;
        return false;
    }

    TempDir dir_;
    FatalCatcher fatal_;
    std::unique_ptr<HandMatrix> matrix_;

private:
    void WriteObjects() {
        // Buildings: 90 file units are close to a quarter tile at scale 171.6.
        Write("bld/base9", ElementBox(90, 10, 90, 9, 20));
        Write("bld/base17", ElementBox(180, 10, 180, 17, 20));
        Write("bld/base5", ElementBox(50, 10, 50, 5, 20));
        Write("bld/nohf", ElementBox(90, 10, 90, 0));
        Write("bld/multi/body", ElementBox(90, 10, 90, 9, 20));
        Write("bld/multi/deadbody", ElementBox(80, 3, 80, 9, 6));
        Write("bld/multi/rotor", ElementPart(0, 30, 0, 30, 1, 3));
        Write("bld/multi/wheel", ElementPart(40, 0, 0, 2, 20, 20));
        Write("bld/multi/swing", ElementPart(0, 10, 60, 3, 3, 60));
        Write("bld/multi17/body", ElementBox(180, 10, 180, 17, 20));
        Write("bld/multi9/body", ElementBox(90, 10, 90, 9, 20));
        Write("bld/frag/body", ElementBox(90, 10, 90, 9, 20));
        Write("bld/frag17/body", ElementBox(180, 10, 180, 17, 20));
        // Gates: the passage runs along x through a whole tile; the doors close it across.
        // Swing doors hang on hinges at the ends of their line (x = -190 left, +190 right).
        Write("bld/gate2/body", ElementBox(190, 20, 10, 17, 0, GateField()));
        Write("bld/gate2/lswing", ElementPart(-190, 0, 0, 95, 20, 3, -95, 20, 0));
        Write("bld/gate2/rswing", ElementPart(190, 0, 0, 95, 20, 3, 95, 20, 0));
        Write("bld/gatel/body", ElementBox(190, 20, 10, 17, 0, GateField()));
        Write("bld/gatel/lswing", ElementPart(-190, 0, 0, 190, 20, 3, 0, 20, 0));
        Write("bld/gater/body", ElementBox(190, 20, 10, 17, 0, GateField()));
        Write("bld/gater/rswing", ElementPart(190, 0, 0, 190, 20, 3, 0, 20, 0));
        Write("bld/gate4/body", ElementBox(190, 20, 10, 17, 0, GateField()));
        for (const char* door : {"lswing", "rswing", "lslide", "rslide"})
            Write(std::string("bld/gate4/") + door, ElementPart(0, 20, 95, 3, 20, 95));
        Write("bld/slide2/body", ElementBox(10, 20, 190, 17, 0, GateField(true)));
        Write("bld/slide2/lslide", ElementPart(0, 20, 95, 3, 20, 95));
        Write("bld/slide2/rslide", ElementPart(0, 20, -95, 3, 20, 95));
        Write("bld/nodoor/body", ElementBox(190, 20, 10, 17, 0, GateField()));
        // The lift: walls round a low platform (height-field values 1 inside, 40 at the border).
        std::vector<float> lift(9 * 9, 1.0f);
        for (int r = 0; r < 9; ++r)
            for (int c = 0; c < 9; ++c)
                if (r == 0 || c == 0 || r == 8 || c == 8) lift[size_t(r * 9 + c)] = 40.0f;
        Write("bld/lift/body", ElementBox(24, 20, 24, 9, 0, lift));
        Write("bld/lift/upslide", ElementPart(0, 0, 0, 20, 1, 20));
        Write("bld/nrg/nrggate", ElementBox(5, 20, 60, 0));
        Write("bld/nrg/nrggateo", ElementBox(5, 2, 60, 0));
        // Scenery.
        datakit::ObjectFile crate = ElementBox(4, 4, 4, 0);
        crate.Light(0, Rgb{255, 128, 64}, 9, "");
        Write("scen/crate", crate);
        Write("scen/crate\xB0", ElementBox(4, 4, 4, 0));
        Write("scen/tree", ElementBox(3, 20, 3, 9, 0, std::vector<float>(81, 1.0f)));
        Write("scen/pole", ElementBox(1, 20.4f, 1, 0));
        Write("scen/mast/body", ElementBox(1, 20, 1, 9, 0, std::vector<float>(81, 1.0f)));
        Write("scen/mast/deadbody", ElementBox(1, 2, 1, 0));
        datakit::HFieldFile hf;
        hf.n = 9;
        hf.heights.assign(81, 1.0f);
        ASSERT_TRUE(datakit::WriteHField(dir_ / "app/hfields/scenhf1", hf));
    }

    std::vector<construct*> made_;
    std::string previous_;
    int rulesFiles_ = 0;
    int savedDynamic_ = 1;
};

// A striker: a unit (with an entry) or a projectile (without) that deals its damage record.
struct Striker {
    Striker(Unit* unit, DamageRecord damage, int32_t accessType = 0) : damage(damage), accessType(accessType) {
        con = CreateConstruct(0, 0);
        con->itfc = Itfc;
        con->unit = unit;
        con->itfcData = nullptr;
        Table()[con] = this;
    }
    ~Striker() {
        Table().erase(con);
        FreeConstruct(con);
    }
    Striker(const Striker&) = delete;
    Striker& operator=(const Striker&) = delete;

    static std::map<construct*, Striker*>& Table() {
        static std::map<construct*, Striker*> t;
        return t;
    }
    static uintptr_t Itfc(construct* con, ItfcMethod method, uintptr_t) {
        Striker* s = Table()[con];
        switch (method) {
            case ItfcMethod::GETNAME: return reinterpret_cast<uintptr_t>("Striker");
            case ItfcMethod::GETDAMAGE: return reinterpret_cast<uintptr_t>(&s->damage);
            case ItfcMethod::GETACCESSTYPE: return static_cast<uintptr_t>(s->accessType);
            default: return 0;
        }
    }
    // HIT on the element from the given world point.
    void Strike(construct* element, int32_t x, int32_t y, int32_t z) {
        con->pos[0] = x;
        con->pos[1] = y;
        con->pos[2] = z;
        CallItfc(element, ItfcMethod::HIT, reinterpret_cast<uintptr_t>(con));
        FlushQZEvents();
    }

    construct* con;
    DamageRecord damage;
    int32_t accessType;
};

// Counts the sounds a descriptor started: its serial changes with each.
struct SoundCount {
    explicit SoundCount(const SoundDesc* d) : desc(d), last(d->serial) {}
    int Take() {
        const int n = desc->serial != last ? 1 : 0;
        last = desc->serial;
        return n;
    }
    const SoundDesc* desc;
    uint32_t last;
};

}  // namespace kvtest
