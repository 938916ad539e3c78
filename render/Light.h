// Lights: the directional sun light and the point lights carried by objects, with the global list of
// active point lights that terrain and construct drawing consult.
#pragma once

#include <cstdint>

struct Plt;

struct DirLight {
    int32_t dir[3];  // 1.15 unit vector, y up
    int32_t colour[3];
};

struct PointLight {
    uint8_t kind;        // active-list kind, set when the light is made active
    uint8_t rangeShift;  // reaches 2^rangeShift world units
    int32_t pos[3];      // world position, world units
    int32_t objPos[3];   // position in its object
    int32_t colour[3];   // 256 is full intensity in terrain lighting
    Plt* palette;        // shared, or null
};

constexpr int kMaxActiveLights = 200;
extern PointLight* ActiveLights[kMaxActiveLights];
extern int ActiveLightCount;

DirLight* CreateDirLight(int32_t r, int32_t g, int32_t b);
void SetDirLight(DirLight* light, const int32_t dir[3], const int32_t colour[3]);
void FreeDirLight(DirLight* light);
// A point light with range shift 8, object position (0, 15000, 0) and colour 256, 256, 256.
PointLight* CreatePointLight();
PointLight* CopyPointLight(const PointLight* light);
// Removes the light from the active list when present, then frees it; null is ignored.
void FreePointLight(PointLight* light);
// Appends the light with the given kind while the list has room; otherwise does nothing.
void AddActiveLight(PointLight* light, int kind);
void RemoveActiveLight(PointLight* light);
int IsActiveLight(const PointLight* light);
