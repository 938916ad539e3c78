// Reading and writing the configuration file "Vexa.cfg" and reading the paths file "app/paths".
#include <cstdio>
#include <cstring>
#include <iterator>

#include "core/Config.h"
#include "core/Keys.h"
#include "core/Memory.h"
#include "core/Package.h"
#include "core/Rules.h"
#include "core/Tokenizer.h"

namespace {

const ConfigSoundLink* g_soundLink = nullptr;

enum class KeyType { Int, Float, Double, Text, Float4 };

struct ConfigKey {
    const char* name;
    KeyType type;
    void* target;
};

// Every key, in reading order.
const ConfigKey kConfigKeys[] = {
    {"fullscreen", KeyType::Int, &fullscreen},
    {"xres", KeyType::Int, &xres},
    {"yres", KeyType::Int, &yres},
    {"texturebpp", KeyType::Int, &texturebpp},
    {"colourdepth", KeyType::Int, &colourdepth},
    {"gamma_brightness", KeyType::Float, &gamma_brightness},
    {"zbuffer", KeyType::Int, &zbuffer},
    {"lastmap", KeyType::Text, lastmap},
    {"lastclan", KeyType::Int, &lastclan},
    {"lastgame", KeyType::Text, lastgame},
    {"MainViewPort_ScapeDetail", KeyType::Text, MainViewPort_ScapeDetail},
    {"MainViewPort_MirroredScapeDetail", KeyType::Text, MainViewPort_MirroredScapeDetail},
    {"MainViewPort_DepthOfView", KeyType::Int, &MainViewPort_DepthOfView},
    {"ExtViewPort_ScapeDetail", KeyType::Text, ExtViewPort_ScapeDetail},
    {"ExtViewPort_MirroredScapeDetail", KeyType::Text, ExtViewPort_MirroredScapeDetail},
    {"ExtViewPort_reflection", KeyType::Text, ExtViewPort_reflection},
    {"ExtViewPort_DepthOfView", KeyType::Int, &ExtViewPort_DepthOfView},
    {"weather_effects", KeyType::Int, &weather_effects},
    {"shadows_and_marks", KeyType::Int, &shadows_and_marks},
    {"dynamic_lighting", KeyType::Int, &dynamic_lighting},
    {"water_reflection", KeyType::Int, &water_reflection},
    {"use_bgdmusic", KeyType::Int, &use_bgdmusic},
    {"use_directsound3d", KeyType::Int, &use_directsound3d},
    {"swap_stereo", KeyType::Int, &swap_stereo},
    {"msg_mode", KeyType::Int, &msg_mode},
    {"music_volume", KeyType::Float, &music_volume},
    {"fx_volume", KeyType::Float, &fx_volume},
    {"DopplerFactor", KeyType::Float, &DopplerFactor},
    {"joystick_step", KeyType::Float4, joystick_step},
    {"mouse_invert_torso", KeyType::Int, &mouse_invert_torso},
    {"mouse_invert_aircraft", KeyType::Int, &mouse_invert_aircraft},
    {"auto_target_view", KeyType::Int, &auto_target_view},
    {"free_torso_look", KeyType::Int, &free_torso_look},
    {"preferred_view", KeyType::Int, &preferred_view},
    {"airborne_auto_recentering", KeyType::Int, &airborne_auto_recentering},
    {"skill_level", KeyType::Int, &skill_level},
    {"game_speed", KeyType::Double, &game_speed},
    {"auto_snapshot_delay", KeyType::Int, &auto_snapshot_delay},
    {"first_run", KeyType::Int, &first_run},
    {"object_texture_shrink", KeyType::Int, &object_texture_shrink},
    {"scape_texture_shrink", KeyType::Int, &scape_texture_shrink},
    {"joystick_sensitivity", KeyType::Float, &joystick_sensitivity},
    {"mouse_sensitivity", KeyType::Float, &mouse_sensitivity},
    {"auto_look_forward", KeyType::Int, &auto_look_forward},
    {"auto_terrain_following", KeyType::Int, &auto_terrain_following},
};
static_assert(std::size(kConfigKeys) == kConfigKeyCount);

struct Root {
    const char* name;
    char* folder;
};
const Root kRoots[] = {
    {"QZWDROOT:", QZWDROOT},       {"OBJROOT:", OBJROOT},         {"TEXROOT:", TEXROOT},
    {"TEXANIMROOT:", TEXANIMROOT}, {"ANIMTABLESROOT:", ANIMTABLESROOT}, {"PALETTEROOT:", PALETTEROOT},
    {"SOUNDROOT:", SOUNDROOT},     {"BITMAPROOT:", BITMAPROOT},   {"CUTSCENEROOT:", CUTSCENEROOT},
    {"ICONROOT:", ICONROOT},       {"TEXTROOT:", TEXTROOT},       {"SCRIPTROOT:", SCRIPTROOT},
    {"CAMPAIGNROOT:", CAMPAIGNROOT}, {"SAVEDGAMESROOT:", SAVEDGAMESROOT},
};
static_assert(std::size(kRoots) == 14);

void ReadKey(const ConfigKey& key) {
    Rule* r = NamedRulef("%s", key.name);
    if (key.type == KeyType::Text) {
        // A text key without a word is an empty text.
        snprintf(static_cast<char*>(key.target), kConfigTextSize, "%s", r->info[0] ? r->info[0] : "");
        return;
    }
    // A number key without its values is refused instead of reading past the rule's values.
    int needed = key.type == KeyType::Float4 ? 4 : 1;
    if (r->count < needed) FatalErrorF("Error(ReadConfigFile): Rule '%s' has too few values", r->name);
    switch (key.type) {
        case KeyType::Int: *static_cast<int*>(key.target) = TruncateToInt32(r->values[0]); break;
        case KeyType::Float: *static_cast<float*>(key.target) = r->values[0]; break;
        case KeyType::Double: *static_cast<double*>(key.target) = r->values[0]; break;
        case KeyType::Float4:
            for (int i = 0; i < 4; ++i) static_cast<float*>(key.target)[i] = r->values[i];
            break;
        case KeyType::Text: break;
    }
}

// A text value as a quoted word that reads back as written. The stream cannot carry a double quote
// inside a quoted word nor a backslash right before the closing quote, so those are left out, and the
// text is cut so that the word with its quotes fits the reader's 254 characters.
void PutText(FILE* f, const char* format, const char* text) {
    char word[kTokenSize];
    size_t n = 0;
    word[n++] = '"';
    for (const char* p = text; *p && n < kTokenSize - 3; ++p)
        if (*p != '"') word[n++] = *p;
    while (n > 1 && word[n - 1] == '\\') --n;
    word[n++] = '"';
    word[n] = 0;
    fprintf(f, format, word);
}

void PutKey(FILE* f, const char* format, int index) { fprintf(f, format, NameOfKey(PilotKeys[index])); }

void PutScalar(FILE* f, const char* name, const AxisBinding& b) {
    if (b.axis >= 0)
        fprintf(f, "%s\t\t1.0\t%s;\n", name, AxisName(b.axis));
    else
        fprintf(f, "%s\t\t1.0\t%s\t%s;\n", name, NameOfKey(b.firstKey), NameOfKey(b.secondKey));
}

constexpr const char* kSeparator =
    "/*__________________________________________________________________________*/\n";

void WriteSettings(FILE* f) {
    fputs("/* config file */\n/* ----------- */\n\n\n", f);
    fputs(kSeparator, f);
    fputs("/* general options */\n\n", f);
    fprintf(f, "fullscreen\t\t\t\t%d;\n\n", fullscreen);
    fprintf(f, "xres\t\t\t\t\t%d;\n", xres);
    fprintf(f, "yres\t\t\t\t\t%d;\n\n", yres);
    fprintf(f, "texturebpp\t\t\t\t%d;\n\n", texturebpp);
    fprintf(f, "object_texture_shrink\t\t\t%d;\n\n", object_texture_shrink);
    fprintf(f, "scape_texture_shrink\t\t\t%d;\n\n", scape_texture_shrink);
    fprintf(f, "colourdepth\t\t\t\t%d;\n\n", colourdepth);
    fprintf(f, "gamma_brightness\t\t\t%f;\n\n", gamma_brightness);
    fprintf(f, "zbuffer\t\t\t\t\t%d;\n\n", zbuffer);
    PutText(f, "lastmap                                 %s;\n", lastmap);
    fprintf(f, "lastclan                                %d;\n", lastclan);
    PutText(f, "lastgame                                %s;\n", lastgame);
    fputs("\n", f);
    fprintf(f, "skill_level                             %d;\n\n", skill_level);
    fprintf(f, "game_speed                              %f;\n\n", game_speed);
    fprintf(f, "auto_snapshot_delay                     %d;\n\n", auto_snapshot_delay);
    fputs("first_run                               0;\n\n", f);

    fputs(kSeparator, f);
    fputs("/* detail settings */\n\n", f);
    PutText(f, "MainViewPort_ScapeDetail           %s;\n", MainViewPort_ScapeDetail);
    PutText(f, "MainViewPort_MirroredScapeDetail   %s;\n", MainViewPort_MirroredScapeDetail);
    fprintf(f, "MainViewPort_DepthOfView           %d;\n\n", MainViewPort_DepthOfView);
    PutText(f, "ExtViewPort_ScapeDetail            %s;\n", ExtViewPort_ScapeDetail);
    PutText(f, "ExtViewPort_MirroredScapeDetail    %s;\n", ExtViewPort_MirroredScapeDetail);
    PutText(f, "ExtViewPort_reflection             %s;\n", ExtViewPort_reflection);
    fprintf(f, "ExtViewPort_DepthOfView            %d;\n\n", ExtViewPort_DepthOfView);
    fprintf(f, "weather_effects\t\t\t%d;\n", weather_effects);
    fprintf(f, "shadows_and_marks\t\t%d;\n", shadows_and_marks);
    fprintf(f, "dynamic_lighting\t\t%d;\n", dynamic_lighting);
    fprintf(f, "water_reflection\t\t%d;\n\n", water_reflection);

    fputs(kSeparator, f);
    fputs("/* sound settings */\n\n", f);
    fprintf(f, "use_bgdmusic\t\t\t%d;\n", use_bgdmusic);
    fprintf(f, "use_directsound3d\t\t%d;\n", use_directsound3d);
    fprintf(f, "swap_stereo\t\t\t%d;\n", swap_stereo);
    fprintf(f, "msg_mode\t\t\t%d;\n", msg_mode);
    fprintf(f, "music_volume\t\t\t%f;\n", music_volume);
    fprintf(f, "fx_volume\t\t\t%f;\n\n", g_soundLink ? g_soundLink->masterVolume() : fx_volume);
    fprintf(f, "DopplerFactor\t\t\t%f;\n\n\n", g_soundLink ? g_soundLink->dopplerFactor() : DopplerFactor);

    fputs(kSeparator, f);
    fputs("/* user input preferences */\n\n", f);
    fprintf(f, "joystick_step\t\t\t%f  %f  %f  %f;\n\n", joystick_step[0], joystick_step[1], joystick_step[2],
            joystick_step[3]);
    fprintf(f, "mouse_invert_torso\t\t%d;\n", mouse_invert_torso);
    fprintf(f, "mouse_invert_aircraft\t\t%d;\n", mouse_invert_aircraft);
    fprintf(f, "mouse_sensitivity\t\t%f;\n", mouse_sensitivity);
    fprintf(f, "joystick_sensitivity\t\t%f;\n", joystick_sensitivity);
    fprintf(f, "preferred_view\t\t\t%d;\n", preferred_view);
    fprintf(f, "auto_target_view\t\t%d;\n", auto_target_view);
    fprintf(f, "free_torso_look\t\t\t%d;\n", free_torso_look);
    fprintf(f, "airborne_auto_recentering\t%d;\n", airborne_auto_recentering);
    fprintf(f, "auto_look_forward\t\t%d;\n", auto_look_forward);
    fprintf(f, "auto_terrain_following\t\t%d;\n\n", auto_terrain_following);
}

void WriteBindings(FILE* f) {
    using P = PilotKey;
    auto at = [](P k) { return static_cast<int>(k); };
    fputs("/* pilot mode key indices */\n\n", f);
    PutKey(f, "PM_QUICKSAVE_KEY\t\t%s;\n", at(P::QUICKSAVE));
    PutKey(f, "PM_QUICKLOAD_KEY\t\t%s;\n", at(P::QUICKLOAD));
    PutKey(f, "PM_TOGGLELMAP_KEY\t\t%s;\n", at(P::TOGGLELMAP));
    PutKey(f, "PM_TOGGLETFVIEW_KEY\t\t%s;\n", at(P::TOGGLETFVIEW));
    PutKey(f, "PM_TOGGLEMAPVIEW_KEY\t\t%s;\n", at(P::TOGGLEMAPVIEW));
    PutKey(f, "PM_TOGGLEARCHIVE_KEY\t\t%s;\n", at(P::TOGGLEARCHIVE));
    PutKey(f, "PM_TOGGLESTATUS_KEY\t\t%s;\n", at(P::TOGGLESTATUS));
    PutKey(f, "PM_TOGGLEMODE_KEY\t\t%s;\n", at(P::TOGGLEMODE));
    PutKey(f, "PM_MAPZOOMIN_KEY\t\t%s;\n", at(P::MAPZOOMIN));
    PutKey(f, "PM_MAPZOOMOUT_KEY\t\t%s;\n", at(P::MAPZOOMOUT));
    PutKey(f, "PM_VIEWMODEMOD_KEY\t\t%s;\n", at(P::VIEWMODEMOD));
    PutKey(f, "PM_TOGGLEEXTERN_KEY\t\t%s;\n", at(P::TOGGLEEXTERN));
    fputs("\n", f);
    PutKey(f, "PM_THRUST1_KEY\t\t\t%s;\n", at(P::THRUST1));
    PutKey(f, "PM_THRUST2_KEY\t\t\t%s;\n", at(P::THRUST2));
    PutKey(f, "PM_ASCEND_KEY\t\t\t%s;\n", at(P::ASCEND));
    PutKey(f, "PM_DESCEND_KEY\t\t\t%s;\n", at(P::DESCEND));
    fputs("\n", f);
    PutKey(f, "PM_FIRE1_KEY\t\t\t%s;\n", at(P::FIRE1));
    PutKey(f, "PM_FIRE2_KEY\t\t\t%s;\n", at(P::FIRE2));
    fputs("\n", f);
    PutKey(f, "PM_LIGHT_KEY\t\t\t%s;\n", at(P::LIGHT));
    PutKey(f, "PM_CENTERTORSO_KEY\t\t%s;\n", at(P::CENTERTORSO));
    PutKey(f, "PM_NEXTTARGET_KEY\t\t%s;\n", at(P::NEXTTARGET));
    PutKey(f, "PM_PREVTARGET_KEY\t\t%s;\n", at(P::PREVTARGET));
    PutKey(f, "PM_STEALTH_KEY \t\t\t%s;\n", at(P::STEALTH));
    PutKey(f, "PM_ACTION_KEY\t\t\t%s;\n", at(P::ACTION));
    fputs("\n", f);
    for (int i = 0; i < static_cast<int>(TurnAxis::Count); ++i) PutScalar(f, AxisBindingName(i), AxisBindings[i]);
    fputs("\n", f);

    using C = CommandoKey;
    auto cm = [&](const char* format, C k) { fprintf(f, format, NameOfKey(CommandoKeys[static_cast<int>(k)])); };
    fputs("/* commando mode key indices */\n\n", f);
    cm("CM_TOGGLETFVIEW_KEY\t\t%s;\n", C::TOGGLETFVIEW);
    cm("CM_TOGGLEMAPVIEW_KEY\t\t%s;\n", C::TOGGLEMAPVIEW);
    cm("CM_TOGGLEARCHIVE_KEY\t\t%s;\n", C::TOGGLEARCHIVE);
    cm("CM_TOGGLESTATUS_KEY\t\t%s;\n", C::TOGGLESTATUS);
    // These sixteen are written as they stand whatever the current bindings.
    fputs("CM_TOGGLEMODE_KEY\t\tSPACE_KEY;\n"
          "CM_MAPZOOMIN_KEY\t\tHOME_KEY;\n"
          "CM_MAPZOOMOUT_KEY\t\tINSERT_KEY;\n"
          "CM_VIEWMODEMOD_KEY\t\tALT_KEY;\n"
          "CM_TOGGLEEXTERN_KEY\t\tX_KEY;\n"
          "CM_SELECT_KEY\t\t\tLBUTTON_KEY;\n"
          "CM_GROUP_KEY\t\t\tG_KEY;\n"
          "CM_MODIFIER_KEY\t\t\tCTRL_KEY;\n"
          "CM_FOCUS_KEY\t\t\tF_KEY;\n"
          "CM_ZOOM_KEY  \t\t\tMBUTTON_KEY;\n"
          "CM_CAMERALEFT_KEY\t\tPADFOUR_KEY;\n"
          "CM_CAMERARIGHT_KEY\t\tPADSIX_KEY;\n"
          "CM_CAMERAUP_KEY\t\t\tPADEIGHT_KEY;\n"
          "CM_CAMERADOWN_KEY\t\tPADTWO_KEY;\n"
          "CM_CAMERAIN_KEY\t\t\tPADPLUS_KEY;\n"
          "CM_CAMERAOUT_KEY\t\tPADMINUS_KEY;\n",
          f);
    fputs("\nend\n", f);
}

}  // namespace

void SetConfigSoundLink(const ConfigSoundLink* link) { g_soundLink = link; }

const char* ConfigKeyName(int index) {
    return index >= 0 && index < kConfigKeyCount ? kConfigKeys[index].name : nullptr;
}

void ReadConfigFile(const char* path) {
    ReadRules(path);
    for (const ConfigKey& key : kConfigKeys) ReadKey(key);
    // The sound layer keeps the master volume and the Doppler factor; the writer asks it for them.
    if (g_soundLink) {
        g_soundLink->setMasterVolume(fx_volume, fx_volume);
        g_soundLink->setDopplerFactor(DopplerFactor);
    }
}

int WriteConfigFileTo(const char* path) {
    FILE* f = qzpk_fopen(path, "w");
    if (!f) return 0;
    WriteSettings(f);
    WriteBindings(f);
    // The replacing write is committed only when every byte reached the file; else the old file stays.
    return qzpk_fclose(f) == 0 ? 1 : 0;
}

int WriteConfigFile() { return WriteConfigFileTo("Vexa.cfg"); }

void ReadPathsFile(const char* path) {
    FILE* file = nullptr;
    InputStream s;
    OpenInputStream(path, &file, &s);
    char word[kTokenSize];
    char delim = 0;
    while (!AtEndOfStream(&s)) {
        ReadToken(&s, word, sizeof word, nullptr, &delim);
        for (const Root& root : kRoots) {
            if (strcmp(word, root.name) != 0) continue;
            ReadToken(&s, word, sizeof word, nullptr, &delim);
            snprintf(root.folder, kRootSize, "%s", word);
            break;
        }
    }
    CloseInputStream(file, &s);
}
