// The record/replay test mission "Cutscene": the demo island with the convoy "Cut_Convoy" (two E.M.A.
// jeeps where the satellite camera looks first) marked for a cut scene, its script, and a scene file
// "Cutscenes\Cutscene_demo" of the convoy driving a curve; and the movie camera's test wave "wavetest".
#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/datakit/Bytes.h"
#include "tools/datakit/ObjectFile.h"
#include "tools/datakit/RulesText.h"
#include "tools/datakit/SceneFile.h"
#include "tools/datakit/WorldFile.h"
#include "tools/mkdemo/Demo.h"

namespace mkdemo {

namespace {

// Where the satellite camera looks when the level starts (16.16 world units).
constexpr int32_t kFirstLookAt = 884736;
constexpr int kThrustKey = 14;
constexpr int kSceneFrames = 600;

void AddConvoy(datakit::WorldFile& w) {
    datakit::WorldAUDef convoy;
    convoy.name = "Cut_Convoy";
    convoy.abstractClan = 0;
    // Place records hold z, y, x, two spare words and the heading.
    convoy.lists[0] = {{"EMAJeep", 100, {kFirstLookAt - 6000, 0, kFirstLookAt - 2000, 0, 0, 0}, std::nullopt},
                       {"EMAJeep", 100, {kFirstLookAt + 6000, 0, kFirstLookAt - 2000, 0, 0, 0}, std::nullopt}};
    w.AUDef(convoy, 7);
}

// Each jeep drives slowly (its thrust key down every third frame) for the first two thirds of the
// scene, the first turning left, the second right; then they roll out.
datakit::SceneSegment Drive(int16_t steer) {
    datakit::SceneSegment seg;
    seg.start = 0;
    seg.end = kSceneFrames;
    for (int i = 0; i < kSceneFrames; ++i) {
        datakit::SceneInput in;
        if (i < kSceneFrames * 2 / 3 && i % 3 == 0) in.keys[kThrustKey / 8] = uint8_t(1u << (kThrustKey % 8));
        in.axes[0] = steer;
        seg.inputs.push_back(in);
    }
    return seg;
}

}  // namespace

bool BuildCutsceneMission(const Context& ctx) {
    if (!datakit::WriteFile(ctx.Path("Maps/Cutscene"), DemoIslandWorldWith(AddConvoy))) return false;
    std::ifstream in(ctx.source + "/Scripts/Cutscene.txt", std::ios::binary);
    if (!in) return false;
    const std::string script(std::istreambuf_iterator<char>(in), {});
    if (!datakit::WriteRulesText(ctx.Path("Scripts/Cutscene.txt"), script)) return false;
    datakit::SceneCut scene;
    scene.au = "Cut_Convoy";
    scene.tracks = {{Drive(30000)}, {Drive(-30000)}};
    if (!datakit::MakeDirs(ctx.Path("Cutscenes"))) return false;
    if (!datakit::WriteFile(ctx.Path("Cutscenes/Cutscene_demo"), datakit::SceneFileBytes({scene}))) return false;
    // The movie camera's test wave: a flat blue-white decal.
    return datakit::WriteFile(ctx.Path("Objects/wavetest"), datakit::BoxObject(1.5f, 0.05f, 1.5f, {160, 200, 255}).Bytes());
}

}  // namespace mkdemo
