// The cockpit-only test mission "EmaCockpit" on the demo island.
#include <fstream>
#include <iterator>
#include <string>

#include "tools/datakit/Bytes.h"
#include "tools/datakit/RulesText.h"
#include "tools/mkdemo/Demo.h"

namespace mkdemo {

bool BuildCockpitMission(const Context& ctx) {
    if (!datakit::WriteFile(ctx.Path("Maps/EmaCockpit"), DemoIslandWorld())) return false;
    std::ifstream in(ctx.source + "/Scripts/EmaCockpit.txt", std::ios::binary);
    if (!in) return false;
    const std::string script(std::istreambuf_iterator<char>(in), {});
    return datakit::WriteRulesText(ctx.Path("Scripts/EmaCockpit.txt"), script);
}

}  // namespace mkdemo
