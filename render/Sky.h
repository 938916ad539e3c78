// The sky of a level: the sky cell of every viewport (colour keys by sun angle, laterals, stars, the
// flare, moon and cloud-dome geometries), built from the world file's sky chunk; the game clock that
// turns the sun; the drawing of the sky and of the sun's lens flares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "core/Fix3D.h"

struct Geom;
struct ScapeBoard;
struct Tex;

// A projected vertex of the sky dome: screen x, y (from the bottom), depth and its colour; the view-space
// direction and its clip code.
struct SkyVertex {
    float x, y, z;
    uint8_t red, green, blue;
    uint8_t pad;
    uint16_t stamp;
    FixVec view{};
    int32_t clip = 0;
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

constexpr int kSkyKeys = 9;
// The laterals the drawing addresses: the horizon and the 45-degree lateral.
constexpr int kHorizonLateral = 3;
constexpr int kLateral45 = 10;
// The chunk's laterals that make exactly the eleven the drawing reads.
constexpr int kSkyChunkLaterals = 7;
constexpr int kSkyMeridians = 18;

// A ring of colours at an elevation (16.16 radians from the zenith).
struct SkyLateral {
    int32_t elevation;
    int32_t value;              // from the chunk, or -1 for the fixed laterals
    uint8_t colour[4];          // current colour, set by the drawing
    uint8_t keys[kSkyKeys][4];  // a colour per key
    int32_t firstVertex;        // index of its first ring vertex this frame
};

struct SkyStar {
    FixVec dir;         // 1.15 unit direction
    FixVec viewDir;     // view-space direction (kept for star 0, the sun)
    int32_t brightness;  // 64 to 256
    float screen[3];    // screen x, y and depth
    uint8_t clip;
};

struct SkyCell {
    ScapeBoard* board;
    ScapeBoard* topBoard;
    int32_t meridianCapacity, meridianCount;
    int32_t* meridians;  // angles, 16.16 radians ("meridian list")
    int32_t lateralCapacity, lateralCount;
    SkyLateral* laterals;  // "lateral list"
    int32_t vertexCapacity, vertexCount;
    SkyVertex* vertices;  // "sky vtx's": zenith, nadir, then the rings
    int32_t keyAngles[kSkyKeys];
    int32_t keyIndex, nextKey, fraction;  // fraction 0..256 between the two keys
    int32_t sunAngle, tilt;               // 16.16 radians
    uint8_t keyColours[kSkyKeys][4];
    uint8_t colour[4];    // current sky colour
    float sunScreen[3];   // the sun's screen point as last drawn
    int32_t secondAngle;  // the second light's (the moon's) angle
    char flareName[24];
    Geom* flare;
    char moonName[24];
    Geom* moon;
    char domeName[24];
    Geom* dome;  // null without the rule "sky_dome"
    int32_t starCount;
    SkyStar* stars;  // "star list"; 0 the sun, 1 the second light
};

// The level's sky, made from the world file (null until its sky chunk is read).
extern SkyCell* WorldSkyCell;

// The clouds and the fading of the stars, moved each world tick by their rates.
extern float CloudOffset;
extern float CloudSpeed;
constexpr int32_t kSkyRampTop = 65280;        // the top of the cloud cover and the sky fade
extern int32_t CloudCover, CloudCoverRate;  // 0 .. 65280
extern int32_t SkyFade, SkyFadeRate;        // 0 .. 65280
// Sets the clouds and the sky fade to what a new level starts with.
void ResetSkyState();

// A new, cleared sky cell ("sky cell").
SkyCell* CreateSkyCell();
// Reads the sky chunk's body from the stream (standing behind the chunk header) and builds the cell.
void BuildSky(FILE* stream, SkyCell* sky);
// The same from a chunk body held in memory: every count is checked against the body, and a sky whose
// laterals do not make the eleven the drawing reads is fatal. file names the world file in the messages.
void BuildSkyFromChunk(const uint8_t* data, size_t size, const char* file, SkyCell* sky);
// Frees a sky cell with its lists and geometries; null is ignored.
void FreeSkyCell(SkyCell* sky);
// A new sky cell for another viewport, copied from the given one (null gives null).
SkyCell* RebuildSkyGeometry(const SkyCell* from);
// Keeps the view's boards in the cell and sizes its meridian and vertex lists.
void CreateMeridians(SkyCell* sky, ScapeBoard* board, ScapeBoard* topBoard);
// Appends a lateral at an elevation in degrees; fatal when the list is full.
void CreateLateral(SkyCell* sky, const uint8_t colours[kSkyKeys][4], float degrees, int32_t value);
// Appends an entry to a bounded list (count, capacity) when it has room.
void AddSkyVertex(int32_t* list, int32_t* count, int32_t capacity, int32_t entry);
// Colours whose every channel differs by less than 16; the mean channel distance.
bool ColoursNear(const uint8_t a[3], const uint8_t b[3]);
int32_t ColourDistance(const uint8_t a[3], const uint8_t b[3]);
// Moves the clouds and the sky fade by their rates per tick.
void AdvanceClouds(int ticks);
void AdvanceSkyFade(int ticks);

// The game clock: the game time in seconds since day 0 at midnight is the world's GameClockSeconds; its
// parts are kept here.
extern int32_t GameDay, GameHour, GameMinute, GameSecond;
// Stores the game time and turns the sun; sets the time from its parts.
void SetGameClock(float seconds);
void SetGameTime(int day, int hour, int minute, int second);
// Turns the sun to an angle (16.16 radians): every followed view's sky colour, sun and moon directions,
// and the world's directional light when the angle moved by more than 1000.
void SetSunAngle(int32_t angle);
// The sky colour, key pair and sun directions of one cell for a sun angle (what SetSunAngle does per view).
void SetSkySunAngle(SkyCell* sky, int32_t angle);
// The angle at which the directional light was last set.
extern int32_t LastLightAngle;

// Loads the six flare textures "Flares\flareN" into consecutive slots, and frees them.
void LoadFlareTextures();
void FreeFlareTextures();
// The slot of the first flare texture (-1 while none are loaded).
extern int32_t FirstFlareTexture;
// The n-th flare texture (1 to 6), or null.
Tex* FlareTexture(int n);

// Draws the current view's sky (before any terrain) and chooses the view's fog colour.
void DrawSky(SkyCell* sky);
void DrawSun(SkyCell* sky);
void DrawMoon(SkyCell* sky, int grey, int mirrored);
void DrawStars(SkyCell* sky);
void DrawStarsMirrored(SkyCell* sky);

// Red, green, blue (and a spare byte) of the fog of the view being drawn, chosen by DrawSky.
extern uint8_t SkyFogColour[4];
// The level's cave fog colour (rule "CaveFogColour", 64, 64, 64 by default).
extern uint8_t CaveFogColour[3];

// Lens flares: samples of the picture around the sun after the sky, compared after the scene.
extern int32_t SunDarkeningBias;
extern int32_t SunDarkening;
extern int32_t FlareVisibility;
extern uint8_t FlareSamples[8][3];
void CaptureFlareSamples(SkyCell* sky);
void CountFlareSamples(SkyCell* sky);
// Draws the sun's halo and the six flare sprites of the current view.
void DrawFlares(SkyCell* sky);
