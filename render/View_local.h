// What view rendering's files share.
#pragma once

#include <cstdint>

struct ViewPort;
struct construct;
struct matrix;

// Clears the stored stamps of every construct of every pool (and of its sub-constructs and geoms).
void ResetConstructStamps();
// The world tick counter the lighting generation is timed by.
int32_t ViewTickCounter();
// Draws the caption of a secondary view.
void DrawViewCaption(ViewPort* vp);
// The units-file display name of a construct's unit ("" when it has none).
const char* UnitDisplayName(const construct* c);
// The terrain the boards are filled from.
matrix* BoardMatrix();
