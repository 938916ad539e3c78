// Texture surfaces made from converted pixel words.
#pragma once

#include "platform/TexImage.h"

namespace host {
struct GfxSurface;
}

// The device format of a texture format.
int HostPixelFormat(TexFormat format);
// Creates a managed texture surface holding the pixel words (rows from the top, respecting the
// surface's pitch). Null when the device refuses the surface or its lock.
host::GfxSurface* CreateTextureSurface(const TexPixels& px);
