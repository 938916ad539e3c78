// A small data tree that a level can be built from: the paths, the rules, a mission script "Test" with
// every rule the build reads, its world file, the dummy object, the water animations, the sphere map and the noise
// texture, the task-force view's files. The test enters the tree and opens a headless display of 32 x 24.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "core/Config.h"
#include "core/Rules.h"
#include "host/Fs.h"
#include "host/Window.h"
#include "hud/Icons.h"
#include "objects/Units.h"
#include "support/InterfaceFiles.h"
#include "support/TempDir.h"
#include "tools/datakit/Bytes.h"
#include "tools/datakit/ConfigFile.h"
#include "tools/datakit/ObjectFile.h"
#include "tools/datakit/RulesText.h"
#include "tools/datakit/Texture.h"
#include "tools/datakit/UnitsFile.h"
#include "tools/datakit/WorldFile.h"
#include "tools/mkdemo/Demo.h"
#include "game/Level.h"
#include "world/Player.h"
#include "game/Startup.h"

namespace kvtest {

// The mission script's rules, by name; a test changes or drops some before the tree is written.
inline std::map<std::string, std::string> TestScriptRules() {
    return {
        {"ourclan", "\"EMA\""},
        {"EMA_hostility", "\"HOSTILE\" \"GA\""},
        {"eyesight_range", "1310720"},
        {"eyesight_aperture", "60"},
        {"beamsight_range", "2621440"},
        {"beamsight_radius", "131072"},
        {"TargetAcquireDelay", "50"},
        {"AmbientLighting", "96 96 104"},
        {"WaterLevel", "5 6 7 8"},
        {"WaterMark", "32 32"},
        {"minutes_per_game_day", "24"},
        {"game_time", "10 30"},
        {"scenery_lighting", "65280"},
    };
}

class LevelTree {
public:
    explicit LevelTree(const std::map<std::string, std::string>& script = TestScriptRules(),
                       bool specificWater = false) {
        const std::vector<std::pair<std::string, std::string>> roots = {
            {"QZWDROOT:", "Maps"},       {"OBJROOT:", "Objects"},   {"TEXROOT:", "Textures"},
            {"TEXANIMROOT:", "TexAnims"}, {"SOUNDROOT:", "Sounds"}, {"BITMAPROOT:", "Bitmaps"},
            {"TEXTROOT:", "app\\text"},  {"SCRIPTROOT:", "Scripts"}, {"SAVEDGAMESROOT:", "SavedGames"},
            {"ICONROOT:", "Icons"},
            {"PALETTEROOT:", "Palettes"},
        };
        datakit::MakeDirs(dir_ / "app/text");
        datakit::WritePathsFile(dir_ / "app/paths", roots);
        datakit::ConfigFile().write(dir_ / "Vexa.cfg");
        // The viewports' level of detail comes from "lod_high"; the projectiles of the shared pools need
        // their rules.
        datakit::WriteRulesText(dir_ / "app/rules",
                                "perspective_textures 1;\nlod_high 300000 150000 90000 60000;\n"
                                "Bullet_scale 8192;\nBullet_BSphereRadius 2000;\n"
                                "Shell_scale 8192;\nShell_BSphereRadius 3000;\n"
                                "Missile_scale 4096;\nMissile_bsphereradius 2500;\nMissile_PreIgnitionDropSpeed 60;\n"
                                "Rocket_scale 4096;\nRocket_bsphereradius 2000;\nRocket_PreIgnitionDropSpeed 40;\n"
                                "ClusterGrenade_BSphereRadius 2000;\nAMCapsule_BSphereRadius 2500;\n"
                                "PlasmaBolt_scale 1000;\nPlasmaBolt_BSphereRadius 1500;\nHVSegment_scale 1000;\n"
                                "Sensor_scale 1000;\nSensor_pace 6000;\nSensor_BSphereRadius 1500;\nend\n");
        for (const char* rel : {"app/rules_unit.txt", "app/rules_weapon.txt"}) {
            std::ifstream in(std::string(KV_SOURCE_DIR) + "/data/" + rel, std::ios::binary);
            std::string text(std::istreambuf_iterator<char>(in), {});
            datakit::WriteRulesText(dir_ / rel, text);
        }
        datakit::WriteRulesText(dir_ / "app/text/Ingame.txt", CommEntryRules() + "end\n");
        // The units file the preloaded objects need (the firs by name).
        datakit::WriteUnitsText(dir_ / "app/units",
                                "e9fir1 Scenery \"Fir\" scenery\\e9fir1(SCENERY DARKENED)(SEETHROUGH);\n"
                                "e9fir2 Scenery \"Fir\" scenery\\e9fir2(SCENERY DARKENED)(SEETHROUGH);\n"
                                "e9fir3 Scenery \"Fir\" scenery\\e9fir3(SCENERY DARKENED)(SEETHROUGH);\n"
                                "e9fir4 Scenery \"Fir\" scenery\\e9fir4(SCENERY DARKENED)(SEETHROUGH);\n");
        std::string text;
        for (const auto& [name, value] : script) text += name + " " + value + ";\n";
        text += "end\n";
        datakit::MakeDirs(dir_ / "Scripts");
        datakit::WriteRulesText(dir_ / "Scripts/Test.txt", text);
        datakit::MakeDirs(dir_ / "Maps");
        datakit::WriteFile(dir_ / "Maps/Test", World().Bytes());
        datakit::MakeDirs(dir_ / "Objects/misc");
        datakit::WriteFile(dir_ / "Objects/misc/dummy",
                           datakit::BoxObject(0.5f, 0.5f, 0.5f, {128, 128, 128}).Bytes());
        // The four firs the level preloads.
        datakit::MakeDirs(dir_ / "Objects/scenery");
        for (int n = 1; n <= 4; ++n)
            datakit::WriteFile(dir_ / ("Objects/scenery/e9fir" + std::to_string(n)),
                               datakit::BoxObject(5.0f, 20.0f, 5.0f, {40, 120, 50}).Bytes());
        // The way-point marker's look.
        datakit::WriteFile(dir_ / "Objects/misc/camera",
                           datakit::BoxObject(0.5f, 0.5f, 0.5f, {255, 255, 0}).Bytes());
        // The projectiles the shared pools make.
        datakit::MakeDirs(dir_ / "Objects/weapons");
        for (const char* name : {"bullet", "shell"})
            datakit::WriteFile(dir_ / ("Objects/weapons/" + std::string(name)),
                               datakit::BoxObject(0.05f, 0.05f, 0.05f, {150, 150, 160}).Bytes());
        // The effects the shared pools make, with the texture animations of their billboards.
        mkdemo::Context fx;
        fx.out = dir_.path();
        mkdemo::BuildEffectObjects(fx);
        mkdemo::BuildWeaponKindObjects(fx);
        const std::vector<uint8_t> texture = Texture();
        datakit::WriteTexAnimFolder(dir_ / "TexAnims/water1", {texture, texture});
        datakit::WriteTexAnimFolder(dir_ / "TexAnims/waterspecular1", {texture});
        if (specificWater) datakit::WriteTexAnimFolder(dir_ / "TexAnims/Test_water", {texture, texture, texture});
        datakit::MakeDirs(dir_ / "Textures/flares");
        datakit::MakeDirs(dir_ / "Textures/specials");
        datakit::WriteFile(dir_ / "Textures/flares/sky", texture);
        // The six lens-flare textures the level loads.
        for (int n = 1; n <= 6; ++n) datakit::WriteFile(dir_ / ("Textures/flares/flare" + std::to_string(n)), texture);
        datakit::WriteFile(dir_ / "Textures/specials/noise", texture);
        WriteInterfaceFiles(dir_.path());
    }
    const TempDir& dir() const { return dir_; }

    // A world of 4 x 6 tiles, all of one gently sloping tile definition.
    static datakit::WorldFile World() {
        datakit::WorldFile world;
        datakit::WorldTileLayer layer;
        layer.width = 4;
        layer.height = 6;
        layer.tiles.resize(24);
        world.TileField(layer);
        std::vector<datakit::WorldSubPoint> points(256);
        for (int i = 0; i < 256; ++i) points[size_t(i)].height = static_cast<int16_t>(10 + i % 16);
        world.TileDefPool(points);
        return world;
    }

    // Removes a file or folder of the tree.
    void Remove(const std::string& rel) const {
        std::error_code ec;
        std::filesystem::remove_all(dir_ / rel, ec);
    }

private:
    static std::vector<uint8_t> Texture() {
        std::vector<uint8_t> idx(16 * 16);
        for (size_t i = 0; i < idx.size(); ++i) idx[i] = static_cast<uint8_t>(i);
        return datakit::EngineTexture(4, 4, idx);
    }
    TempDir dir_;
};

// Enters a level tree with a headless display open, the rules and configuration read as the menus have
// them, the local player made, and the mission "Test" chosen; leaves it all as it was.
class LevelEnvironment {
public:
    explicit LevelEnvironment(const LevelTree& tree) {
        previous_ = std::filesystem::current_path().string();
        host::SetHeadless(true);
        host::SetWorkingDirectory(tree.dir().path().c_str());
        host::FlushDirectoryCache();
        xres = 32;
        yres = 24;
        fullscreen = 1;
        ReadConfigFile("Vexa.cfg");
        xres = 32;
        yres = 24;
        ReadPathsFile("app/paths");
        OpenDisplay();
        IconsInit();
        ReadUnitsFile("app/units");
        ResetRules();
        if (!OwnPlayer) OwnPlayer = CreatePlayer("tester");
        snprintf(MissionName, sizeof MissionName, "Test");
    }
    ~LevelEnvironment() {
        IconsFree();
        CloseDevices();
        while (UnitCount > 0) FreeUnit(UnitTable[0]);
        FreeRules();
        while (PlayerCount > 0) DeletePlayer(PlayerTable[0]);
        OwnPlayer = nullptr;
        MissionName[0] = 0;
        host::SetWorkingDirectory(previous_.c_str());
        host::FlushDirectoryCache();
    }
    // The rules as the teardown leaves them: "app/rules", the in-game texts, the configuration.
    static void ResetRules() {
        FreeRules();
        ReadRules("app/rules");
        ReadRules("app\\text\\Ingame.txt");
        LoadRuleTexts();
        ReadConfigFile("Vexa.cfg");
        xres = 32;
        yres = 24;
    }

private:
    std::string previous_;
};

}  // namespace kvtest
