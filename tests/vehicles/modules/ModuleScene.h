// A small scene for the lighting, sensor and turret tests: the fixed-point tables, rules read from text,
// one units-file entry "Tank" with a construct of its own at a known place, the level's pools, and a
// hand-made terrain whose height can be set flat.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "core/Memory.h"
#include "core/Rules.h"
#include "objects/Units.h"
#include "support/FPTables.h"
#include "support/TempDir.h"
#include "tools/datakit/RulesText.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/QZEvent.h"
#include "world/TerrainFixtures.h"

namespace modtest {

inline uintptr_t Tank_itfc(construct*, ItfcMethod method, uintptr_t) {
    if (method == ItfcMethod::GETNAME) return reinterpret_cast<uintptr_t>("TestTank");
    return 0;
}

class ModuleScene : public ::testing::Test {
protected:
    void SetUp() override {
        kvtest::EnsureFPTables();
        VisiblePool = CreateConstructPool(2048, "visible");
        const char* names[4] = {"buzy0", "buzy1", "buzy2", "buzy3"};
        for (int i = 0; i < 4; ++i) BuzyPools[i] = CreateConstructPool(256, names[i]);
        unit_ = CreateUnit();
        unit_->name = qzStrDup("Tank", "unit name");
        unit_->rulePrefix = qzStrDup("Tank", "unit prefix");
        unit_->gameName = qzStrDup("Tank", "unit game name");
        unit_->path = qzStrDup("Objects\\units\\tank", "unit path");
        con_ = CreateConstruct(0, 0);
        con_->itfc = Tank_itfc;
        con_->unit = unit_;
        SetIdentity(con_);
        con_->pos[0] = 8 * 65536;
        con_->pos[1] = 1000;
        con_->pos[2] = 8 * 65536;
    }
    void TearDown() override {
        ClearQZEvents();
        FreeConstruct(con_);
        FreeUnit(unit_);
        FreeRules();
        CurrentMatrix = nullptr;
        delete terrain_;
        terrain_ = nullptr;
        for (ConstructPool*& p : BuzyPools) {
            DeleteConstructPool(p);
            p = nullptr;
        }
        DeleteConstructPool(VisiblePool);
        VisiblePool = nullptr;
    }
    static void SetIdentity(construct* c) {
        std::memset(c->orient, 0, sizeof c->orient);
        c->orient[0] = c->orient[4] = c->orient[8] = 32768;
    }
    // Reads the text as rules (added to those already read).
    void Rules(const std::string& text) {
        static int n = 0;
        const std::string path = (std::filesystem::path(dir_.path()) / ("rules" + std::to_string(n++))).string();
        ASSERT_TRUE(datakit::WriteRulesText(path, text + "end\n"));
        ReadRules(path.c_str());
    }
    // A 16 x 16 tile terrain, flat at the height (world units) everywhere; it becomes the current matrix.
    kvtest::HandMatrix& FlatTerrain(int32_t height) {
        delete terrain_;
        terrain_ = new kvtest::HandMatrix(16, 16);
        for (int32_t X = 0; X < 256; ++X)
            for (int32_t Z = 0; Z < 256; ++Z) terrain_->At(X, Z).height = static_cast<int16_t>(height / 8);
        terrain_->m->flat[0].head.height = static_cast<int16_t>(height / 8);
        CurrentMatrix = terrain_->m;
        return *terrain_;
    }

    kvtest::TempDir dir_;
    Unit* unit_ = nullptr;
    construct* con_ = nullptr;
    kvtest::HandMatrix* terrain_ = nullptr;
};

}  // namespace modtest
