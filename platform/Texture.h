// Named textures and texture animations: the global table of Tex records, the TexAnim table, finding
// and reading texture files (engine textures and bitmaps, each with an optional alpha map "<name>_") and
// turning their bytes into texture surfaces in the format the device and the configuration call for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "platform/TexImage.h"

namespace host {
struct GfxSurface;
}

constexpr int kTexNameSize = 24;  // names of up to 23 characters
constexpr int kMaxTex = 4095;
constexpr int kMaxTexAnims = 32;
constexpr int kMaxTexAnimFrames = 127;
constexpr int kBitmapTextureMaxSize = 1024001;  // files this size or larger bring up a notice

struct Tex {
    char name[kTexNameSize];   // "anon" until loaded
    uint8_t* data;             // the file bytes while loading, null afterwards
    host::GfxSurface* surface; // the texture surface
    uint8_t blackTransparent;  // black pixels are transparent
    uint8_t flag2;             // cleared at creation
    uint8_t shared;            // deleting the record leaves its surface and data alone
};

struct TexAnim {
    char name[kTexNameSize];    // "anon" until loaded
    int32_t frameCount;
    host::GfxSurface** frames;  // one surface per frame (tracked allocation)
};

extern Tex* TexTable[kMaxTex];
extern int32_t TexCount;
extern TexAnim* TexAnimTable[kMaxTexAnims];
extern int32_t TexAnimCount;

// The name of the texture being converted, for the surface-creation failure text.
extern char CurrentTexName[kTexNameSize];

// Appends an empty record (tracked "Tex"); fatal at 4095 records.
Tex* CreateTex();
// A new record at slot; the record that stood there moves to the end. A slot at or past the end
// appends. Same limit.
Tex* CreateTexAt(int32_t slot);
// Releases the surface and data unless shared, frees the record and moves the last record into its
// slot; null or a record not in the table is ignored.
void DeleteTex(Tex* tex);
// The newest record with exactly this name, or null.
Tex* NamedTex(const char* name);
// Finds the texture file of a name under TEXROOT, reads it and its alpha map, and converts them into the
// record's surface. A missing file is fatal.
void LoadTex(Tex* tex, const char* name, int32_t mipShift);
// Reads the open texture file (and the alpha map when given) whole and converts them; closes both.
void LoadAlphaMap(Tex* tex, FILE* stream, int32_t size, FILE* alphaStream, int32_t alphaSize, int32_t mipShift);
// Loads a bitmap (and "<path>_" as its alpha map) straight into a texture surface; null when the file is
// missing. A '$' in the path makes black transparent.
host::GfxSurface* LoadBitmapTexture(const char* path);

// Converts an engine texture and/or its alpha image (either may be null, not both) into a texture
// surface. Bad images and creation failures are fatal.
host::GfxSurface* LoadCCADTexture(const uint8_t* image, size_t size, int blackTransparent, const uint8_t* alpha,
                                  size_t alphaSize, int32_t mipShift);
// The same for bitmaps: 8- or 24-bit, power-of-two sizes; the alpha map must be an 8-bit bitmap.
host::GfxSurface* dxgl_LoadBMPTexture(const uint8_t* image, size_t size, int blackTransparent,
                                      const uint8_t* alpha, size_t alphaSize, int32_t mipShift);
// A 32-bit ARGB texture filled row by row from 32-bit pixels.
host::GfxSurface* CreateSurface_raw888(const uint32_t* pixels, int32_t width, int32_t height);
// The format a texture gets on the current device and configuration.
TexFormat TextureFormatFor(bool colour, bool alpha, bool blackTransparent);

// Appends an empty animation (tracked "TexAnim"); fatal at 32.
TexAnim* CreateTexAnim();
// Removes the animation from the table, releases its frames and frees it; null is ignored.
void DeleteTexAnim(TexAnim* anim);
// Loads the frames "00", "01", ... (and their alpha maps "NN_") of TEXANIMROOT\name.
void LoadTexAnim(TexAnim* anim, const char* name);
// The oldest animation with exactly this name, or null.
TexAnim* NamedTexAnim(const char* name);
