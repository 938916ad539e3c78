// The near-plane clipper: cuts an object face at camera z = NearPlane and hands the part beyond the
// plane, as a new face, back to the routine that found a corner in front of it. Also the two shared
// face records ("tmp face") that clipped faces, billboard quads and segment polygons are built in.
#pragma once

#include <cstdint>

struct GeomFace;

// Most corners a clipped face carries, and the new vertices one clip may make.
constexpr int kClipMaxCorners = 32;
constexpr int kClipNewVertices = 8;

using PolyEmit = void (*)(GeomFace* face);

// The clipper's output face (billboard quads are built in it too) and the face of the terrain cell
// routines and segment drawing. Each has room for 33 corners.
GeomFace* TmpFace();
GeomFace* TmpFace2();
// 1 for either shared face record.
int IsTmpFace(const GeomFace* face);

// Clips the face and calls emit once with the part beyond the near plane (at least three corners), or
// not at all. The new corners carry every attribute of their vertices interpolated (camera position,
// texture coordinates, lit colour, light sum, sphere-map coordinates); the clipped face carries the
// input face's own colours, flags, alpha and texture. ClipAndEmitPolygon also keeps a reciprocal depth
// of exactly 1.0 from the corner before a cut (for callers that draw with rhw 1.0).
void ClipAndEmitPolygon(PolyEmit emit, GeomFace* face);
void ClipAndEmitPolygonLight(PolyEmit emit, GeomFace* face);
