// The water surface as the view draws it: water that reaches before the near plane is cut there, not
// left out; transparent water shows what lies behind it on every polygon, the dark water under a
// reflection adds nothing, and specular water adds its glint.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "TerrainScene.h"
#include "render/Terrain.h"
#include "render/View.h"
#include "render/Viewport.h"

namespace {

constexpr int kWidth = 64, kHeight = 48;

// A scene over open sea, looking down at it from 1500 world units above the water (level 300).
class SeaScene : public kvtest::TerrainScene {
public:
    SeaScene() : TerrainScene(kWidth, kHeight, 9) {
        kvtest::SinkBoard(board());
        LevelWaterColour[0] = 40, LevelWaterColour[1] = 90, LevelWaterColour[2] = 160;
        SetCamera({4 * 65536 + 20000, 300 * 8 + 1500, 65536 + 6000}, kvtest::PitchedDown(0.35));
    }
    ~SeaScene() {
        LevelWaterColour[0] = LevelWaterColour[1] = LevelWaterColour[2] = 0;
        LevelWaterSpecularBias[0] = LevelWaterSpecularBias[1] = LevelWaterSpecularBias[2] = 0;
        LevelWaterTransparent = 0;
        LevelSpecularWater = 0;
    }
    // The lower half of the picture, drawn over a cleared target of the given colour.
    std::vector<uint32_t> LowerHalf(uint32_t background) {
        host::Clear(device(), 0, nullptr, host::GfxClearTarget | host::GfxClearZBuffer, background, 1.0f, 0);
        AdvanceViewStamp();
        RenderView(viewport(), 0);
        host::FinishDrawing(device());
        const std::vector<uint32_t> all = Pixels();
        return std::vector<uint32_t>(all.begin() + (kHeight / 2) * kWidth, all.end());
    }
};

int Sum(uint32_t rgb) { return int(rgb >> 16 & 0xFF) + int(rgb >> 8 & 0xFF) + int(rgb & 0xFF); }

TEST(WaterView, WaterReachingBeforeTheNearPlaneIsCutThereNotLeftOut) {
    // The patch the camera stands over has corners behind the eye; all that lies beyond the near plane
    // is water, down to the lowest row of the picture.
    SeaScene scene;
    const std::vector<uint32_t> sea = scene.LowerHalf(0xFF000000u);
    int background = 0;
    for (uint32_t p : sea) background += p == 0;
    EXPECT_EQ(background, 0);
}

TEST(WaterView, TransparentWaterShowsWhatLiesBehindOnEveryPolygon) {
    struct Case {
        const char* name;
        int32_t transparent, specular;
        uint8_t reflection;
        bool showsBehind;  // the picture depends on what was there before the water
    } cases[] = {
        {"opaque", 0, 0, kReflectNone, false},
        {"transparent", 1, 0, kReflectNone, true},
        // The dark water drawn before the reflection is black added to what is there: it changes
        // nothing, so the transparent water looks as without the reflection.
        {"transparent over a reflection", 1, 0, kReflectPartial, true},
        {"transparent and specular", 1, 1, kReflectNone, true},
    };
    SeaScene scene;
    scene.viewport()->boardRadius = 1;  // dense fog: far water lets much of the background through
    scene.viewport()->reflectionType = kReflectNone;
    LevelWaterTransparent = 1;
    const std::vector<uint32_t> plainOnBlack = scene.LowerHalf(0xFF000000u);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LevelWaterTransparent = c.transparent;
        LevelSpecularWater = c.specular;
        LevelWaterSpecularBias[0] = LevelWaterSpecularBias[1] = LevelWaterSpecularBias[2] = 20;
        scene.viewport()->reflectionType = c.reflection;
        const std::vector<uint32_t> black = scene.LowerHalf(0xFF000000u);
        const std::vector<uint32_t> white = scene.LowerHalf(0xFFFFFFFFu);
        int differing = 0;
        for (size_t i = 0; i < black.size(); ++i) differing += black[i] != white[i];
        if (c.showsBehind) EXPECT_EQ(differing, int(black.size()));
        else EXPECT_EQ(differing, 0);
        if (!c.transparent) continue;
        int brighter = 0, darker = 0;
        for (size_t i = 0; i < black.size(); ++i) {
            brighter += Sum(black[i]) > Sum(plainOnBlack[i]);
            darker += Sum(black[i]) < Sum(plainOnBlack[i]);
        }
        if (c.specular) {
            // The glint (at least the bias) is added to the water colour everywhere.
            EXPECT_EQ(brighter, int(black.size()));
        } else {
            EXPECT_EQ(brighter + darker, 0) << "the same as the transparent water without a reflection";
        }
    }
}

}  // namespace
