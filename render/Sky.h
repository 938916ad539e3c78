// The sky of a level and the records the sky routines draw from. The sky cell is built from the world
// file's sky chunk; until the sky is built, the world file reader's calls land on the empty functions
// of render/Sky.cpp and the chunk's body is kept by the reader (world/WorldFile.h). The sky module owns
// the records below and extends them; the sky routines read only the fields given.
#pragma once

#include <cstdint>
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
struct Tex;

// A projected vertex of the sky dome: screen x, y (from the bottom), depth and its colour.
struct SkyVertex {
    float x, y, z;
    uint8_t red, green, blue;
    uint8_t pad;
    uint16_t stamp;
};

// A projected corner of a textured sky layer: screen x, y (from the bottom), depth and a colour of four
// bytes red, green, blue, alpha.
struct SkyCorner {
    float x, y, z;
    uint8_t red, green, blue, alpha;
};

// A textured layer of the sky.
struct SkyLayer {
    Tex* texture;
};

// Draws the current view's sky; and the sun's lens flares.
void DrawSky(SkyCell* sky);
void DrawFlares(SkyCell* sky);

// Red, green, blue of the sky, kept by the time of day: the fog colour of every view.
extern uint8_t SkyColour[3];
