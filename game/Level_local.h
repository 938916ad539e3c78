// What the level's build, teardown and saved-game files share.
#pragma once

#include <cstdint>

namespace host {
struct GfxSurface;
}
struct DirLight;
struct Tex;

// The rules of the running level that no other module keeps yet.
struct LevelSettings {
    float eyesightRange, eyesightAperture, beamsightRange, beamsightRadius;
    float cloudSpeed;  // the rule's value x 0.00001
    int32_t cloudAlpha, starAlpha;
    int32_t sceneryLighting;
    float sunDarkeningBias;
    int32_t windVector[3];  // three words of the rule "wind_vector"
    int32_t allHostilesVisible, showUnitPaths, showUnitNames, hiLogicTrace, hiLogicInfo, showDayEvents,
        showUnitBounding, showUnitBSphere;
    float dustEmission;
    int32_t dustScale;
    uint8_t dustColour[3];
    int32_t cockpitOnly;
    float targetAcquireDelay;
    uint8_t waterColour[3];
    uint8_t waterSpecularBias[3];
    int32_t waterTransparent;
    uint8_t ambientLighting[3];
    uint8_t caveFogColour[3];
    int32_t specularWater;  // two-texture water while the device can draw it
    int32_t sphereMapping;
    float earthAxisPitch;
    int32_t extViewPorts;  // "ExtViewPort_MaxNo"
};
extern LevelSettings CurrentLevel;

// Buffers and textures the level owns.
extern uint8_t* ClusterCells[64];  // "cluster cell", 4 bytes each
extern uint8_t* TmpFaces[2];       // "tmp face", 452 bytes each
extern Tex* SphereMapTex;
extern DirLight* SunLight;

// The loading screen's background slot.

// The debug overlay's lines of one frame: where each goes (y counted from the bottom) and its text.
struct TickClock;
struct OverlayLine {
    int32_t y;
    char text[96];
};
constexpr int kOverlayLines = 11;
// Fills the lines the overlay shows now (the frame rate, draw counts, video memory, game time, depth
// factor, near plane, water levels, the peek word, the player's axes and the renderer's overflow
// warnings) and returns their count.
int DebugOverlayLines(const TickClock& clock, OverlayLine* out);
