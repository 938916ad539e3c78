// Object polygon routines: each draws one lit and projected object face as a fan of screen vertices;
// grouped into the routine sets of the render routine tables, one routine per face type. A face with a
// corner before the near plane goes through the clipper, which hands the clipped face back to the same
// routine.
#pragma once

#include "render/RenderTables.h"

void DrawPolyWire(ObjectFace* face);
void DrawPolyFlat(ObjectFace* face);
void DrawPolyFlatLit(ObjectFace* face);
void DrawPolyGouraud(ObjectFace* face);
void DrawPolyVertexColour(ObjectFace* face);
void DrawPolyTexFlatLit(ObjectFace* face);
void DrawPolyTexGouraud(ObjectFace* face);
void DrawPolyTexVertexColour(ObjectFace* face);
void DrawPolyShadow(ObjectFace* face);
void DrawPolyGlow(ObjectFace* face);
void DrawPolyFlatAlpha(ObjectFace* face);
void DrawPolyFlatLitAlpha(ObjectFace* face);
void DrawPolyGouraudAlpha(ObjectFace* face);
void DrawPolyVertexColourAlpha(ObjectFace* face);
void DrawPolyTexFlatLitAlpha(ObjectFace* face);
void DrawPolyTexGouraudAlpha(ObjectFace* face);
void DrawPolyTexVertexColourAlpha(ObjectFace* face);
void DrawPolyGlowAlpha(ObjectFace* face);

// Draws count screen vertices as a triangle fan (or a line strip), in pieces of at most 127 vertices
// that share the first vertex (the strip: the last one), so that no vertex is left out.
void DrawFanSplit(int32_t primitive, const ScreenVertex* v, int count);
