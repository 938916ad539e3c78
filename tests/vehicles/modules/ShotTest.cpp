// The road of a shot on the demo island: an AI unit holds its fire key, its TICK hands the bit to the
// projectile thrower, bullets from the shared pool fly, the collision pass puts them into the target's
// hit slots, the target's TICK takes the damage until its structure falls, and the bullets go back to
// their pool.
#include <gtest/gtest.h>

#include "objects/Projectile.h"
#include "support/Fatal.h"
#include "support/ShotScene.h"
#include "world/Collide.h"

namespace {

TEST(Shot, TheTargetsStructureFallsOnTheDemoIsland) {
    kvtest::FatalCatcher fatal;
    kvtest::ShotScene scene(KV_SOURCE_DIR);
    ASSERT_TRUE(scene.ok());
    const mkdemo::DemoPlace base = mkdemo::DemoIslandPlace("ema_base");
    const int32_t half = base.radius / 4;
    construct* gunner = scene.Place(base.x - half, base.z, 1, 0, 100, 0);
    construct* target = scene.Place(base.x + half, base.z, -1, 0, 100, 0);
    kvtest::ShotBlock(gunner)->trigger = 1;
    ConstructPool* bullets = SharedPool(SharedPoolId::Bullet);
    ASSERT_NE(bullets, nullptr);
    ASSERT_EQ(bullets->count, 20);
    EXPECT_EQ(bullets->constructs[0]->itfc, Bullet_itfc);

    int ticks = 0;
    while (kvtest::ShotBlock(target)->state.structure > 0 && ticks < 2000) {
        WorldTick(1, 0);
        ++ticks;
    }
    const kvtest::ShotUnitBlock* t = kvtest::ShotBlock(target);
    const kvtest::ShotUnitBlock* g = kvtest::ShotBlock(gunner);
    EXPECT_LE(t->state.structure, 0) << "after " << ticks << " ticks";
    EXPECT_GT(g->volleys, 0);
    // Ten points a hit (structure 6 and, without shield, the shield's 4): ten hits bring 100 down.
    EXPECT_EQ(t->hits, 10);
    EXPECT_EQ(g->hits, 0);  // a projectile never strikes the unit that fired it
    EXPECT_EQ(g->state.structure, 100);

    // The gun falls silent: every bullet ends its flight and is free again.
    kvtest::ShotBlock(gunner)->trigger = 0;
    for (int i = 0; i < 100; ++i) WorldTick(1, 0);
    int free = 0;
    for (int i = 0; i < bullets->count; ++i)
        if (!(bullets->constructs[i]->flags & (kConActive | kConBusy | kConEventPending))) ++free;
    EXPECT_EQ(free, 20);
    EXPECT_NE(NextFreeInConstructPool(bullets), nullptr);
}

}  // namespace
