// The demo data tree's build steps, one per part of the game data.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace datakit {
class WorldFile;
}

namespace mkdemo {

struct Context {
    std::string out;     // the tree's root folder
    std::string source;  // data/: the text sources
    bool pack = false;   // also pack the tree into "Vexa.qzp"
    std::string Path(const std::string& rel) const { return out + "/" + rel; }
};

// The font, the textures, the texture animations and the palettes.
bool BuildTextures(const Context& ctx);
// A ground texture of the demo ("grass", "rock", "sand", "snow", "concrete"): the engine texture that
// Textures/terrain holds under that name.
std::vector<uint8_t> GroundTexture(const std::string& name);

// Maps/: the demo island "Ema01" (64 x 64 tiles) with its textures, sky and action units.
constexpr int kDemoIslandTiles = 64;
std::vector<uint8_t> DemoIslandWorld();
// The island with the G.A. group at the camp on the road instead of the outpost (the tutorial's targets).
std::vector<uint8_t> DemoIslandWorldWithTargetsAtCamp();
// The same island with other action units.
std::vector<uint8_t> DemoIslandWorldWith(const std::function<void(datakit::WorldFile&)>& actionUnits);
// A place of the island in world units (16.16 x and z of its centre, radius): "ema_base", "ga_outpost",
// "camp" (the flat sites), "lake", "ford" (the river's shallows, crossed by the road), "hill" (the snowy
// top). Heights (units of 8 world units): the sites are flat at 800, 900 and 700; the water lies at 4.
struct DemoPlace {
    int32_t x, z, radius;
};
DemoPlace DemoIslandPlace(const std::string& name);
bool BuildWorlds(const Context& ctx);
// The island seen from above as the game's maps show it (x falling from left to right, z rising from top
// to bottom), size x size pixels of 0xRRGGBB, row by row from the top; the sea is never black.
std::vector<uint32_t> DemoIslandMap(int size);

// app/fptables: the fixed-point tables.
bool BuildFPTables(const Context& ctx);

// The configuration, "app/paths", "app/rules", the balance files and the start-up texts.
bool BuildCoreFiles(const Context& ctx);
// Packs the tree (all but the configuration) into "Vexa.qzp".
bool PackDemo(const Context& ctx);
// The date given to every packed file, so the same build gives the same package (2026-01-01 00:00 UTC).
constexpr uint64_t kDemoFileTime = 134116992000000000ULL;
// Objects/: the object geometry files.
bool BuildObjects(const Context& ctx);
// Objects/<side>/<vehicle>: each vehicle type's body, shadow, parts, cockpit model, fragments and wreck.
bool BuildVehicleObjects(const Context& ctx);
// Objects/weapons and misc/dust: the impact effects, explosions, smoke, dust, shell cases, fire, debris,
// missiles and rockets with the texture animations of their billboards; the fragment folders' pieces.
bool BuildEffectObjects(const Context& ctx);
// Objects/weapons and the object root's "wavetest": the grenades, the projectile, the capsule and its shock,
// the flare, the beam and sensor segments, the eye, the plasma bolts and splashes, the track mark and the
// aiming marker; their animations, the lights' palettes and the wave's ramp tables.
bool BuildWeaponKindObjects(const Context& ctx);
// Objects/demo: the buildings, gates, lift, energy gate and scenery of the demo island.
bool BuildElementObjects(const Context& ctx);
// The sound effects, the music pieces and the movies.
bool BuildSound(const Context& ctx);
// The missions' message files (data/app/text/<mission>/*.txt) with their speech (Sounds/<mission>/, each
// under its message file's name).
bool BuildMessageFiles(const Context& ctx);

// Bitmaps/ and Icons/: the menu backgrounds, the title pictures and the mouse pointer shapes.
bool BuildMenuPictures(const Context& ctx);

// The campaigns: the missions the campaign screens list with their scripts, texts, briefings, pictures
// and speech, the progress file "Campaigns\VORLE", "EMA.cpn" and "GA.cpn", the team list with its logos,
// and the credits with their slides.
bool BuildCampaigns(const Context& ctx);

// The record/replay test mission "Cutscene": the island with a convoy marked for a cut scene, its script,
// a scene recorded for it under "Cutscenes", and the movie camera's test wave "wavetest".
bool BuildCutsceneMission(const Context& ctx);

// The cockpit-only test mission "EmaCockpit": the island with the player held in the task force's
// second jeep ("CockpitOnly", "OurUnit"), won by its script a few game minutes after the start.
bool BuildCockpitMission(const Context& ctx);

// The multiplayer map "Multi01": the island and its script, which every machine of a networked game loads.
bool BuildMultiplayerMap(const Context& ctx);
// The test mission "Showroom": the island with one unit of every vehicle type on each side (the player's
// task force at the E.M.A. base, the G.A. group at the outpost), a wreck, and the test lane's units and
// dummies that the end-to-end runs activate; its script.
bool BuildShowroomMission(const Context& ctx);

// The in-game interface's pictures: the "specials" textures, the crosshair bitmaps, the map texture and
// the map page of every mission (each world file of Maps/, so after the missions are written), the
// task-force view's icons and a task-button picture for every unit type of the units file.
bool BuildInterfacePictures(const Context& ctx);

// Writes the whole tree; false when a file cannot be written.
bool BuildDemo(const Context& ctx);

}  // namespace mkdemo
