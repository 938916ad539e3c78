// The scenery cameras of a level: the satellite camera (the player's camera construct), the static
// camera and the watch camera; the ground test they share and the key-frame path of the camera flights.
#pragma once

#include <cstdint>

#include "objects/Itfc.h"

struct matrix;

uintptr_t SatCamera_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t StatCamera_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t WatchCamera_itfc(construct* con, ItfcMethod method, uintptr_t arg);

// Fills the registry's slots of the camera types, the movie camera and the way pointer.
void RegisterCameraTypes();

// The ground under a camera's box: low = the highest ground or water (x 8) under its four lower corners,
// high = the lowest upper surface over its four upper corners (0x7FFFFFFF without a top tile field).
void BoxGroundLimits(const construct* con, matrix* terrain, int32_t* low, int32_t* high);

// A point of a key-frame path at param (key index plus fraction): the orientation (when turn is set)
// by spherical interpolation of the two keys around it, the position on a cubic Hermite curve through
// them with tangents from their neighbours.
void CameraPathPoint(const int32_t orients[][9], const int32_t positions[][3], int count, float param, bool turn,
                     int32_t orientOut[9], int32_t posOut[3]);

// The satellite camera's number of targets, and its heading (16.16 radians), which the in-game interface
// points along a unit it hands the view to.
int32_t SatCameraTargetCount(construct* con);
void SetSatCameraHeading(construct* con, int32_t heading);

// The satellite camera's steering as the tactical map drives it: horizontal turns the heading, vertical
// the pitch, in-out the distance (positive moves in); the camera consumes the rates each tick.
void SteerSatCamera(construct* con, int32_t horizontal, int32_t vertical, int32_t inOut);
void StopSatCameraSteering(construct* con);
// What the player's view asks of the camera: its distance, its nearest distance, its in-out rate (the
// zoom speed), the ticks in its current mode and the construct it follows first (null without).
struct SatCameraState {
    int32_t distance;
    int32_t minDistance;
    int32_t zoomSpeed;
    int32_t modeTicks;
    construct* followed;
};
bool GetSatCameraState(construct* con, SatCameraState* out);
void SetSatCameraDistance(construct* con, int32_t distance);
