// The textures, texture animations and palettes that object files and billboards name, resolved in one
// place: found among the loaded ones, else created and loaded.
#pragma once

#include <cstdint>
#include <vector>

#include "core/Config.h"

struct Tex;
struct TexAnim;
struct Plt;

// Reads a whole file of the data tree; false when it cannot be opened.
bool ReadObjectFileBytes(const char* path, std::vector<uint8_t>& out);

// A face texture by name (folder separators already in place), loaded with object_texture_shrink.
Tex* ObjFaceTexture(const char* name);
// A billboard's texture animation by name.
TexAnim* ObjTexAnim(const char* name);
// A palette by name, loaded from the palette root when absent.
Plt* ObjPalette(const char* name);
// A new texture "dummies<sep><name>" sharing the animation's first frame, marked as a dummy; null when
// the animation has no frame.
Tex* ObjDummyTexture(TexAnim* anim, const char* animName);
// Deletes a dummy texture from the texture table.
void ObjDeleteDummyTexture(Tex* tex);
