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
