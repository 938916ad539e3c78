// Object geometry files: points, billboards and faces followed by tagged chunks (BSP bricks, anchor,
// patches, planes, spheres, spots, lights, height fields, further billboards). Reading one fills a Geom
// and leaves the file's billboards, spheres, planes, spots, lights and height fields staged here for the
// object type that is being built to take.
#pragma once

#include <cstddef>
#include <cstdint>

#include "world/Construct.h"
#include "world/Geom.h"

struct PointLight;

constexpr int kMaxCCADBBoards = 32;
constexpr int kMaxCCADSpheres = 150;
constexpr int kMaxCCADPlanes = 4;
constexpr int kMaxCCADSpots = 16;
constexpr int kMaxCCADLights = 200;
constexpr int kMaxCCADHFields = 4;

// A staged plane: normal in 1.15, distance in quarter world units.
struct CCADPlane {
    int32_t a, b, c, d;
};
struct CCADHField {
    int32_t n;
    uint16_t* heights;  // n x n, "hfield heights"
};

extern bboard* CCADBBoards[kMaxCCADBBoards];
extern int CCADBBoardCount;
extern SphereRecord CCADSpheres[kMaxCCADSpheres];
extern int CCADSphereCount;
extern CCADPlane CCADPlanes[kMaxCCADPlanes];
extern int CCADPlaneCount;
extern SpotRecord CCADSpots[kMaxCCADSpots];
extern int CCADSpotCount;
extern PointLight* CCADLights[kMaxCCADLights];
extern int CCADLightCount;
// 1 once a file read brought a light (the last staged one); cleared by ResetCCADLights and by a taker.
extern int CCADLightFlag;
extern CCADHField CCADHFields[kMaxCCADHFields];
extern int CCADHFieldCount;

// Empty the staging tables; billboards, height fields and lights still staged are freed.
void ResetCCADBBoards();
void ResetCCADHFields();
void ResetCCADSpheres();
void ResetCCADSpots();
void ResetCCADPlanes();
void ResetCCADLights();
// Empties all six staging tables (each file read that is not nested starts with them empty).
void ResetCCADStaging();

// Reads the object file at path into g with the scale; a file that cannot be opened is fatal.
void LoadCCADObj(const char* path, float scale, Geom* g);
// Parses one object file held in memory into g; name is the file's name for error messages. A top-level
// read (nested 0) first resets the staging tables; a nested read (a billboard's own object) keeps them.
// Every count and index is checked against the data and the limits; a bad file is fatal.
void ReadCCADObj(const uint8_t* data, size_t size, const char* name, float scale, Geom* g, int nested);
