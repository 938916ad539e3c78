// The engine-core files of the demo: the configuration, the default bindings, the paths file, the global
// rules, the balance files and the texts read at start-up; and the package of the whole tree.
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "tools/datakit/Bytes.h"
#include "tools/datakit/ConfigFile.h"
#include "tools/datakit/MessageFile.h"
#include "tools/datakit/Package.h"
#include "tools/datakit/RulesText.h"
#include "tools/datakit/UnitsFile.h"
#include "tools/mkdemo/Demo.h"

namespace mkdemo {

namespace {

// The roots of the demo tree (folders relative to the tree, backslashes as the game writes them).
const std::vector<std::pair<std::string, std::string>> kRoots = {
    {"QZWDROOT:", "Maps"},         {"OBJROOT:", "Objects"},         {"TEXROOT:", "Textures"},
    {"TEXANIMROOT:", "TexAnims"},  {"ANIMTABLESROOT:", "AnimTables"}, {"PALETTEROOT:", "Palettes"},
    {"SOUNDROOT:", "Sounds"},      {"BITMAPROOT:", "Bitmaps"},      {"CUTSCENEROOT:", "Cutscenes"},
    {"ICONROOT:", "Icons"},        {"TEXTROOT:", "app\\text"},      {"SCRIPTROOT:", "Scripts"},
    {"CAMPAIGNROOT:", "Campaigns"}, {"SAVEDGAMESROOT:", "SavedGames"},
};

bool ReadSource(const Context& ctx, const std::string& rel, std::string& out) {
    std::ifstream in(ctx.source + "/" + rel, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), {});
    return true;
}

// A text source of data/ written in the game's encoding.
bool CopyText(const Context& ctx, const std::string& rel) {
    std::string text;
    return ReadSource(ctx, rel, text) && datakit::WriteRulesText(ctx.Path(rel), text);
}

std::string ForwardSlashes(std::string s) {
    for (char& c : s)
        if (c == '\\') c = '/';
    return s;
}

}  // namespace

bool BuildCoreFiles(const Context& ctx) {
    // A package left from an earlier packed build would overlay the files written now.
    std::error_code ec;
    std::filesystem::remove(ctx.Path("Vexa.qzp"), ec);
    for (const auto& root : kRoots)
        if (!datakit::MakeDirs(ctx.Path(ForwardSlashes(root.second)))) return false;
    if (!datakit::WritePathsFile(ctx.Path("app/paths"), kRoots)) return false;

    // Windowed, and a first run: the start asks about the driving aids once, and the configuration
    // written at shutdown then says first_run 0.
    datakit::ConfigFile config;
    config.set("fullscreen", {datakit::Num(0)}).set("first_run", {datakit::Num(1)});
    // The farthest view the graphics screen's slider offers (6 .. 16), so that it shows on its track.
    config.set("MainViewPort_DepthOfView", {datakit::Num(16)});
    // The mission the game starts with until the menus can choose one; it can be built only once the
    // tree holds its world file.
    if (std::filesystem::exists(ctx.Path("Maps/Ema01"))) config.setText("lastmap", "Ema01");
    // The campaign progress file: the campaign screens read "VORLE", and a won mission rewrites the file
    // lastgame names, so the two are one file.
    config.setText("lastgame", "VORLE");
    if (!config.write(ctx.Path("Vexa.cfg"))) return false;
    // The bindings the key screen restores.
    if (!datakit::WriteTextFile(ctx.Path("default.qzk"), datakit::DefaultBindingsText(datakit::ConfigFile())))
        return false;

    std::string rules;
    if (!ReadSource(ctx, "app/rules", rules)) return false;
    // The vehicle types' unit rules are kept in sources of their own (the tracked types in one).
    for (const char* source : {"app/rules_vehicles", "app/rules_tracked"}) {
        std::string vehicles;
        if (!ReadSource(ctx, source, vehicles)) return false;
        rules += vehicles;
    }
    // The buildings' and scenery's unit rules likewise.
    std::string elements;
    if (!ReadSource(ctx, "app/rules_elements", elements)) return false;
    rules += elements;
    // The weapon kinds' rules likewise.
    std::string weapons;
    if (!ReadSource(ctx, "app/rules_weapons", weapons)) return false;
    rules += weapons;
    rules += datakit::OtherBindingRules() + "end\n";
    if (!datakit::WriteRulesText(ctx.Path("app/rules"), rules)) return false;
    for (const char* rel : {"app/rules_unit.txt", "app/rules_weapon.txt", "app/text/Ingame.txt", "app/text/Menu.txt",
                            "app/text/Text_Ema01.txt", "Scripts/Ema01.txt"})
        if (!CopyText(ctx, rel)) return false;

    // The mission's message files (their speech is made with the sounds). The source's last line end
    // is dropped: a line end in a message file starts another line of the log.
    for (const char* rel : {"app/text/Ema01/Radio1.txt"}) {
        std::string message;
        if (!ReadSource(ctx, rel, message)) return false;
        while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
        if (!datakit::WriteMessageFile(ctx.Path(rel), message)) return false;
    }
    std::string units;
    return ReadSource(ctx, "app/units", units) && datakit::WriteUnitsText(ctx.Path("app/units"), units);
}

bool PackDemo(const Context& ctx) {
    // The configuration and the campaign progress stay loose files: the game rewrites them and must read
    // back what it wrote.
    return datakit::PackFolder(ctx.out, ctx.Path("Vexa.qzp"), kDemoFileTime,
                               {"Vexa.cfg", "Vexa.qzp", "Campaigns/VORLE"});
}

}  // namespace mkdemo
