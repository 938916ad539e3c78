#include "tools/datakit/ConfigFile.h"

#include "tools/datakit/Bytes.h"

namespace datakit {

namespace {

constexpr const char* kGeneral = "general options";
constexpr const char* kDetail = "detail settings";
constexpr const char* kSound = "sound settings";
constexpr const char* kInput = "user input preferences";
constexpr const char* kPilot = "pilot mode key indices";
constexpr const char* kCommando = "commando mode key indices";

std::string Join(std::initializer_list<RuleWord> words) {
    std::string s;
    for (const auto& w : words) {
        if (!s.empty()) s += ' ';
        s += w.text;
    }
    return s;
}

}  // namespace

ConfigFile::ConfigFile() {
    auto add = [&](const char* key, std::initializer_list<RuleWord> words, const char* section) {
        lines_.push_back({key, Join(words), section});
    };
    // The settings with the game's initial values.
    add("fullscreen", {Num(1)}, kGeneral);
    add("xres", {Num(640)}, kGeneral);
    add("yres", {Num(480)}, kGeneral);
    add("texturebpp", {Num(16)}, kGeneral);
    add("object_texture_shrink", {Num(0)}, kGeneral);
    add("scape_texture_shrink", {Num(0)}, kGeneral);
    add("colourdepth", {Num(16)}, kGeneral);
    add("gamma_brightness", {Num(1.0)}, kGeneral);
    add("zbuffer", {Num(1)}, kGeneral);
    add("lastmap", {Info("")}, kGeneral);
    add("lastclan", {Num(0)}, kGeneral);
    add("lastgame", {Info("")}, kGeneral);
    add("skill_level", {Num(0)}, kGeneral);
    add("game_speed", {Num(1.0)}, kGeneral);
    add("auto_snapshot_delay", {Num(0)}, kGeneral);
    add("first_run", {Num(0)}, kGeneral);
    add("MainViewPort_ScapeDetail", {Info("lod_high")}, kDetail);
    add("MainViewPort_MirroredScapeDetail", {Info("lod_low")}, kDetail);
    add("MainViewPort_DepthOfView", {Num(19)}, kDetail);
    add("ExtViewPort_ScapeDetail", {Info("lod_low")}, kDetail);
    add("ExtViewPort_MirroredScapeDetail", {Info("lod_minimum")}, kDetail);
    add("ExtViewPort_reflection", {Info("")}, kDetail);
    add("ExtViewPort_DepthOfView", {Num(19)}, kDetail);
    add("weather_effects", {Num(1)}, kDetail);
    add("shadows_and_marks", {Num(1)}, kDetail);
    add("dynamic_lighting", {Num(1)}, kDetail);
    add("water_reflection", {Num(0)}, kDetail);
    add("use_bgdmusic", {Num(1)}, kSound);
    add("use_directsound3d", {Num(0)}, kSound);
    add("swap_stereo", {Num(0)}, kSound);
    add("msg_mode", {Num(1)}, kSound);
    add("music_volume", {Num(1.0)}, kSound);
    add("fx_volume", {Num(1.0)}, kSound);
    add("DopplerFactor", {Num(0.0)}, kSound);
    add("joystick_step", {Num(0), Num(0), Num(0), Num(0)}, kInput);
    add("mouse_invert_torso", {Num(0)}, kInput);
    add("mouse_invert_aircraft", {Num(0)}, kInput);
    add("mouse_sensitivity", {Num(256)}, kInput);
    add("joystick_sensitivity", {Num(256)}, kInput);
    add("preferred_view", {Num(0)}, kInput);
    add("auto_target_view", {Num(0)}, kInput);
    add("free_torso_look", {Num(1)}, kInput);
    add("airborne_auto_recentering", {Num(1)}, kInput);
    add("auto_look_forward", {Num(0)}, kInput);
    add("auto_terrain_following", {Num(0)}, kInput);
    // The bindings the configuration carries.
    for (auto [key, name] : std::initializer_list<std::pair<const char*, const char*>>{
             {"PM_QUICKSAVE_KEY", "F5_KEY"},      {"PM_QUICKLOAD_KEY", "F9_KEY"},
             {"PM_TOGGLELMAP_KEY", "N_KEY"},      {"PM_TOGGLETFVIEW_KEY", "TAB_KEY"},
             {"PM_TOGGLEMAPVIEW_KEY", "M_KEY"},   {"PM_TOGGLEARCHIVE_KEY", "F11_KEY"},
             {"PM_TOGGLESTATUS_KEY", "F12_KEY"},  {"PM_TOGGLEMODE_KEY", "SPACE_KEY"},
             {"PM_MAPZOOMIN_KEY", "HOME_KEY"},    {"PM_MAPZOOMOUT_KEY", "INSERT_KEY"},
             {"PM_VIEWMODEMOD_KEY", "ALT_KEY"},   {"PM_TOGGLEEXTERN_KEY", "X_KEY"},
             {"PM_THRUST1_KEY", "UP_KEY"},        {"PM_THRUST2_KEY", "DOWN_KEY"},
             {"PM_ASCEND_KEY", "PAGEUP_KEY"},     {"PM_DESCEND_KEY", "PAGEDOWN_KEY"},
             {"PM_FIRE1_KEY", "LBUTTON_KEY"},     {"PM_FIRE2_KEY", "RBUTTON_KEY"},
             {"PM_LIGHT_KEY", "L_KEY"},           {"PM_CENTERTORSO_KEY", "C_KEY"},
             {"PM_NEXTTARGET_KEY", "T_KEY"},      {"PM_PREVTARGET_KEY", "R_KEY"},
             {"PM_STEALTH_KEY", "S_KEY"},         {"PM_ACTION_KEY", "E_KEY"}})
        add(key, {Word(name)}, kPilot);
    add("PM_CHASSIS_HTURN_SCALAR", {Num(1.0), Word("LEFT_KEY"), Word("RIGHT_KEY")}, kPilot);
    add("PM_TORSO_HTURN_SCALAR", {Num(1.0), Word("MOUSE_X")}, kPilot);
    add("PM_TORSO_VTURN_SCALAR", {Num(1.0), Word("MOUSE_Y")}, kPilot);
    add("PM_CAMERA_HTURN_SCALAR", {Num(1.0), Word("PADFOUR_KEY"), Word("PADSIX_KEY")}, kPilot);
    add("PM_CAMERA_VTURN_SCALAR", {Num(1.0), Word("PADEIGHT_KEY"), Word("PADTWO_KEY")}, kPilot);
    add("PM_CAMERA_INOUT_SCALAR", {Num(1.0), Word("MOUSE_WHEEL")}, kPilot);
    for (auto [key, name] : std::initializer_list<std::pair<const char*, const char*>>{
             {"CM_TOGGLETFVIEW_KEY", "TAB_KEY"},   {"CM_TOGGLEMAPVIEW_KEY", "M_KEY"},
             {"CM_TOGGLEARCHIVE_KEY", "F11_KEY"},  {"CM_TOGGLESTATUS_KEY", "F12_KEY"},
             {"CM_TOGGLEMODE_KEY", "SPACE_KEY"},   {"CM_MAPZOOMIN_KEY", "HOME_KEY"},
             {"CM_MAPZOOMOUT_KEY", "INSERT_KEY"},  {"CM_VIEWMODEMOD_KEY", "ALT_KEY"},
             {"CM_TOGGLEEXTERN_KEY", "X_KEY"},     {"CM_SELECT_KEY", "LBUTTON_KEY"},
             {"CM_GROUP_KEY", "G_KEY"},            {"CM_MODIFIER_KEY", "CTRL_KEY"},
             {"CM_FOCUS_KEY", "F_KEY"},            {"CM_ZOOM_KEY", "MBUTTON_KEY"},
             {"CM_CAMERALEFT_KEY", "PADFOUR_KEY"}, {"CM_CAMERARIGHT_KEY", "PADSIX_KEY"},
             {"CM_CAMERAUP_KEY", "PADEIGHT_KEY"},  {"CM_CAMERADOWN_KEY", "PADTWO_KEY"},
             {"CM_CAMERAIN_KEY", "PADPLUS_KEY"},   {"CM_CAMERAOUT_KEY", "PADMINUS_KEY"}})
        add(key, {Word(name)}, kCommando);
}

ConfigFile& ConfigFile::set(std::string_view key, std::initializer_list<RuleWord> words) {
    for (auto& l : lines_)
        if (l.key == key) l.words = Join(words);
    return *this;
}

ConfigFile& ConfigFile::setText(std::string_view key, std::string_view text) { return set(key, {Info(text)}); }

ConfigFile& ConfigFile::remove(std::string_view key) {
    std::erase_if(lines_, [&](const Line& l) { return l.key == key; });
    return *this;
}

std::string ConfigFile::text() const {
    std::string out = "/* config file */\n/* ----------- */\n";
    const char* section = nullptr;
    for (const auto& l : lines_) {
        if (section != l.section) {
            section = l.section;
            out += "\n/* " + std::string(section) + " */\n\n";
        }
        out += l.key + "\t\t" + l.words + ";\n";
    }
    return out + "\nend\n";
}

bool ConfigFile::write(const std::string& path) const { return WriteTextFile(path, text()); }

std::string ConfigFile::bindingRules() const {
    std::string out;
    for (const auto& l : lines_)
        if (l.section == kPilot || l.section == kCommando) out += l.key + "\t\t" + l.words + ";\n";
    return out;
}

std::string DefaultBindingsText(const ConfigFile& config) {
    return "/* default key bindings */\n\n" + config.bindingRules() + OtherBindingRules() + "end\n";
}

std::string OtherBindingRules() {
    RulesFile f;
    auto bind = [&](const std::string& name, const char* key) { f.rule(name, {Word(key)}); };
    const char* views[] = {"F1_KEY", "F2_KEY", "F3_KEY", "F4_KEY"};
    const char* groups[] = {"F6_KEY", "F7_KEY", "F8_KEY", "F10_KEY"};
    const char* units[] = {"ONE_KEY",   "TWO_KEY",   "THREE_KEY", "FOUR_KEY",     "FIVE_KEY",
                           "SIX_KEY",   "SEVEN_KEY", "EIGHT_KEY", "NINE_KEY",     "ZERO_KEY",
                           "MINUS_KEY", "PLUS_KEY",  "OPENSQUAREBRACKET_KEY", "CLOSESQUAREBRACKET_KEY",
                           "BACKSLASH_KEY"};
    f.comment("pilot mode: view modes, groups and units");
    for (int i = 0; i < 4; ++i) bind("PM_VIEWMODE" + std::to_string(i + 1) + "_KEY", views[i]);
    bind("PM_CLOSE_KEY", "BACKSPACE_KEY");
    bind("PM_ADDRECIPIENT_KEY", "RETURN_KEY");
    for (int i = 0; i < 4; ++i) bind("PM_GROUP" + std::to_string(i + 1) + "_KEY", groups[i]);
    for (int i = 0; i < 15; ++i) bind("PM_UNIT" + std::to_string(i + 1) + "_KEY", units[i]);
    bind("PM_ALLUNITS_KEY", "GRAVE_KEY");
    bind("PM_SELFDESTRUCT_KEY", "DELETE_KEY");
    f.blank().comment("commando mode");
    bind("CM_ROTATE_KEY", "RBUTTON_KEY");
    for (int i = 0; i < 4; ++i) bind("CM_GROUP" + std::to_string(i + 1) + "_KEY", groups[i]);
    bind("CM_CLOSE_KEY", "BACKSPACE_KEY");
    bind("CM_ADDRECIPIENT_KEY", "RETURN_KEY");
    for (int i = 0; i < 15; ++i) bind("CM_UNIT" + std::to_string(i + 1) + "_KEY", units[i]);
    bind("CM_ALLUNITS_KEY", "GRAVE_KEY");
    std::string text = f.text();
    return text.substr(0, text.rfind("end\n"));  // a fragment: the caller ends its file
}

std::string PathsText(const std::vector<std::pair<std::string, std::string>>& roots) {
    std::string out;
    for (const auto& [name, folder] : roots) out += name + "\t" + folder + "\n";
    return out;
}

bool WritePathsFile(const std::string& path, const std::vector<std::pair<std::string, std::string>>& roots) {
    return WriteTextFile(path, PathsText(roots));
}

}  // namespace datakit
