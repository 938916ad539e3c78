#include "tools/mkdemo/Demo.h"

#include "tools/datakit/Bytes.h"

namespace mkdemo {

bool BuildDemo(const Context& ctx) {
    // The folders of the data tree's roots.
    for (const char* dir : {"app", "app/text", "Movies", "Snapshots"})
        if (!datakit::MakeDirs(ctx.Path(dir))) return false;
    if (!BuildCoreFiles(ctx)) return false;
    if (!BuildTextures(ctx)) return false;
    if (!BuildFPTables(ctx)) return false;
    if (!BuildObjects(ctx)) return false;
    if (!BuildWorlds(ctx)) return false;
    if (!BuildCutsceneMission(ctx)) return false;
    if (!BuildCockpitMission(ctx)) return false;
    if (!BuildMultiplayerMap(ctx)) return false;
    if (!BuildShowroomMission(ctx)) return false;
    if (!BuildSound(ctx)) return false;
    if (!BuildMessageFiles(ctx)) return false;
    if (!BuildMenuPictures(ctx)) return false;
    if (!BuildCampaigns(ctx)) return false;
    if (!BuildInterfacePictures(ctx)) return false;
    // The configuration names the first mission once its world file is in the tree.
    if (!BuildCoreFiles(ctx)) return false;
    // Last, so that the package holds every file written above.
    if (ctx.pack && !PackDemo(ctx)) return false;
    return true;
}

}  // namespace mkdemo
