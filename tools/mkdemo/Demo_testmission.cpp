// The missions on the demo island that the campaigns do not list: the cockpit-only test mission
// "EmaCockpit" and the multiplayer map "Multi01" (the host screen lists the world files whose names
// begin with "Multi").
#include <fstream>
#include <iterator>
#include <string>

#include "tools/datakit/Bytes.h"
#include "tools/datakit/RulesText.h"
#include "tools/mkdemo/Demo.h"

namespace mkdemo {
namespace {

// The island under the mission's name, and its script from data/.
bool IslandMission(const Context& ctx, const std::string& name) {
    if (!datakit::WriteFile(ctx.Path("Maps/" + name), DemoIslandWorld())) return false;
    std::ifstream in(ctx.source + "/Scripts/" + name + ".txt", std::ios::binary);
    if (!in) return false;
    const std::string script(std::istreambuf_iterator<char>(in), {});
    return datakit::WriteRulesText(ctx.Path("Scripts/" + name + ".txt"), script);
}

}  // namespace

bool BuildCockpitMission(const Context& ctx) { return IslandMission(ctx, "EmaCockpit"); }

bool BuildMultiplayerMap(const Context& ctx) { return IslandMission(ctx, "Multi01"); }

}  // namespace mkdemo
