// Object polygon routines; filled in with the construct drawing.
#include "render/ObjectPoly.h"

void DrawPolyWire(ObjectFace*) {}
void DrawPolyFlat(ObjectFace*) {}
void DrawPolyFlatLit(ObjectFace*) {}
void DrawPolyGouraud(ObjectFace*) {}
void DrawPolyVertexColour(ObjectFace*) {}
void DrawPolyTexFlatLit(ObjectFace*) {}
void DrawPolyTexGouraud(ObjectFace*) {}
void DrawPolyTexVertexColour(ObjectFace*) {}
void DrawPolyShadow(ObjectFace*) {}
void DrawPolyGlow(ObjectFace*) {}
void DrawPolyFlatAlpha(ObjectFace*) {}
void DrawPolyFlatLitAlpha(ObjectFace*) {}
void DrawPolyGouraudAlpha(ObjectFace*) {}
void DrawPolyVertexColourAlpha(ObjectFace*) {}
void DrawPolyTexFlatLitAlpha(ObjectFace*) {}
void DrawPolyTexGouraudAlpha(ObjectFace*) {}
void DrawPolyTexVertexColourAlpha(ObjectFace*) {}
void DrawPolyGlowAlpha(ObjectFace*) {}
