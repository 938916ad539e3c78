// The user's settings: one global per key of the configuration file "Vexa.cfg", with its initial
// value until the file is first read.
#pragma once

constexpr int kConfigTextSize = 255;  // text settings hold up to 254 characters

extern int fullscreen;
extern int xres;
extern int yres;
extern int texturebpp;
extern int colourdepth;
extern float gamma_brightness;
extern int zbuffer;
extern char lastmap[kConfigTextSize];
extern int lastclan;
extern char lastgame[kConfigTextSize];
extern char MainViewPort_ScapeDetail[kConfigTextSize];
extern char MainViewPort_MirroredScapeDetail[kConfigTextSize];
extern int MainViewPort_DepthOfView;
extern char ExtViewPort_ScapeDetail[kConfigTextSize];
extern char ExtViewPort_MirroredScapeDetail[kConfigTextSize];
extern char ExtViewPort_reflection[kConfigTextSize];
extern int ExtViewPort_DepthOfView;
extern int weather_effects;
extern int shadows_and_marks;
extern int dynamic_lighting;
extern int water_reflection;
extern int use_bgdmusic;
extern int use_directsound3d;
extern int swap_stereo;
extern int msg_mode;
extern float music_volume;
extern float fx_volume;
extern float DopplerFactor;
extern float joystick_step[4];
extern int mouse_invert_torso;
extern int mouse_invert_aircraft;
extern int auto_target_view;
extern int free_torso_look;
extern int preferred_view;
extern int airborne_auto_recentering;
extern int skill_level;
extern double game_speed;
extern int auto_snapshot_delay;
extern int first_run;
extern int object_texture_shrink;
extern int scape_texture_shrink;
extern float joystick_sensitivity;
extern float mouse_sensitivity;
extern int auto_look_forward;
extern int auto_terrain_following;

// The folder separator the game puts between a root and a file name ("%s%c%s").
constexpr char kPathSeparator = '\\';

// The roots of the data tree, read from "app/paths" (each empty until then).
constexpr int kRootSize = 256;
extern char QZWDROOT[kRootSize];
extern char OBJROOT[kRootSize];
extern char TEXROOT[kRootSize];
extern char TEXANIMROOT[kRootSize];
extern char ANIMTABLESROOT[kRootSize];
extern char PALETTEROOT[kRootSize];
extern char SOUNDROOT[kRootSize];
extern char BITMAPROOT[kRootSize];
extern char CUTSCENEROOT[kRootSize];
extern char ICONROOT[kRootSize];
extern char TEXTROOT[kRootSize];
extern char SCRIPTROOT[kRootSize];
extern char CAMPAIGNROOT[kRootSize];
extern char SAVEDGAMESROOT[kRootSize];

// The number of configuration keys and the name of key i in reading order ("fullscreen" first).
constexpr int kConfigKeyCount = 45;
const char* ConfigKeyName(int index);

// The sound layer keeps the master volume and the Doppler factor: the program installs its functions at
// start-up, so that reading the configuration hands the two values over and writing it asks for them.
// Without a link (null, the default) the writer writes fx_volume and DopplerFactor as read.
struct ConfigSoundLink {
    void (*setMasterVolume)(float current, float target);
    float (*masterVolume)();
    void (*setDopplerFactor)(float factor);
    float (*dopplerFactor)();
};
void SetConfigSoundLink(const ConfigSoundLink* link);

// Reads the configuration (a rules file) into RuleList and takes every key from it; a missing key is
// fatal. Called with "Vexa.cfg".
void ReadConfigFile(const char* path);
// Writes "Vexa.cfg" from the current settings and bindings through a replacing write. Returns 1 when the
// file was written, 0 when it could not be (the old file is then left as it was).
int WriteConfigFile();
int WriteConfigFileTo(const char* path);
// Reads the roots from a paths file ("app/paths").
void ReadPathsFile(const char* path);
