// Object polygon routines: each draws one lit and projected object face; grouped into the routine sets
// of the render routine tables, one routine per face type.
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
