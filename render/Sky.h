// The sky cell of a level: built from the world file's sky chunk. Until the sky is built, the world file
// reader's calls land on the empty functions here and the chunk's body is kept by the reader
// (world/WorldFile.h).
#pragma once

#include <cstdio>

struct SkyCell;

// The level's sky, made from the world file (null until its sky chunk is read).
extern SkyCell* WorldSkyCell;

// A new, empty sky record ("sky cell"). Not built yet: returns null.
SkyCell* CreateSkyCell();
// Reads the sky chunk's body from the stream (standing behind the chunk header). Not built yet: does
// nothing.
void BuildSky(FILE* stream, SkyCell* sky);
// Frees a sky record; null is ignored. Not built yet: does nothing.
void FreeSkyCell(SkyCell* sky);

// The game clock and the sun: stores the game time in seconds (and the day, hour and minute that follow)
// and aims the sun; sets the time from its parts. Not built yet: do nothing.
void SetGameClock(float seconds);
void SetGameTime(int day, int hour, int minute, int second);
// Moves the clouds and the sky fade by their rates per tick. Not built yet: do nothing.
void AdvanceClouds(int ticks);
void AdvanceSkyFade(int ticks);
// Loads and frees the numbered flare textures. Not built yet: do nothing.
void LoadFlareTextures();
void FreeFlareTextures();
