// A test of effect and weapon types on the demo island (ShotScene): the constructs they are spawned at,
// taking a member from its shared pool as the spawners do, and ticking it until it leaves the active set.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "core/Config.h"
#include "objects/Projectile.h"
#include "support/Fatal.h"
#include "support/ShotScene.h"
#include "tools/mkdemo/Demo.h"
#include "game/Level_local.h"
#include "world/QZEvent.h"

namespace kvtest {

constexpr int32_t kFlat = 6400;  // the height of the island's flat sites (800 units of 8)

class PoolScene : public ::testing::Test {
protected:
    void SetUp() override {
        scene_ = std::make_unique<ShotScene>(KV_SOURCE_DIR);
        ASSERT_TRUE(scene_->ok());
        base_ = mkdemo::DemoIslandPlace("ema_base");
        CurrentLevel = LevelSettings{};
        dynamic_lighting = 1;
    }
    void TearDown() override {
        for (construct* c : spawners_) FreeConstruct(c);
        CurrentLevel = LevelSettings{};
        scene_.reset();
    }

    // A construct standing at a point, facing along +x (its rows: sideways -z, up y, forward x), that
    // effects are spawned at.
    construct* At(int32_t x, int32_t y, int32_t z) {
        construct* c = CreateConstruct(0, 0);
        c->pos[0] = x;
        c->pos[1] = y;
        c->pos[2] = z;
        const int32_t alongX[9] = {0, 0, -32768, 0, 32768, 0, 32768, 0, 0};
        std::memcpy(c->orient, alongX, sizeof alongX);
        spawners_.push_back(c);
        return c;
    }
    construct* AboveBase(int32_t height) { return At(base_.x, kFlat + height, base_.z); }
    // An effect taken as its spawners take it, busy from now on.
    static construct* Take(SharedPoolId id, construct* at) {
        construct* fx = SpawnEffect(at, id);
        EXPECT_NE(fx, nullptr) << SharedPoolDefs[static_cast<int>(id)].name;
        FlushQZEvents();
        return fx;
    }
    static bool Alive(const construct* c) { return (c->flags & kConActive) != 0; }
    // Ticks the construct until it leaves the active set; each(tick) runs after every tick. The number of
    // ticks it lived, or -1 when still alive after limit.
    static int Life(construct* c, int limit, const std::function<void(int)>& each = nullptr) {
        for (int tick = 1; tick <= limit; ++tick) {
            CallItfc(c, ItfcMethod::TICK, 0);
            if (each) each(tick);
            FlushQZEvents();
            if (!Alive(c)) return tick;
        }
        return -1;
    }

    std::unique_ptr<ShotScene> scene_;
    mkdemo::DemoPlace base_{};
    std::vector<construct*> spawners_;
    FatalCatcher fatal_;
};

}  // namespace kvtest
