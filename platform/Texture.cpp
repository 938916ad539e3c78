#include "platform/Texture.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/Config.h"
#include "core/Memory.h"
#include "core/Package.h"
#include "host/Gfx.h"
#include "platform/DxError.h"
#include "platform/Dxgl.h"
#include "platform/TexSurface.h"

Tex* TexTable[kMaxTex];
int32_t TexCount = 0;
TexAnim* TexAnimTable[kMaxTexAnims];
int32_t TexAnimCount = 0;
char CurrentTexName[kTexNameSize] = "<not found>";

namespace {

// The primary surface's own format, for opaque textures on a 16-bit display.
TexFormat PrimaryFormat() {
    if (BackBuffer && host::SurfaceFormat(BackBuffer) == host::PixelFormat::XRGB8888) return TexFormat::XRGB8888;
    return TexFormat::RGB565;
}

// Tracked blocks and package streams are given back however the loader leaves (a fatal exit may unwind).
struct BlockFree {
    void operator()(uint8_t* p) const { qzFree(p); }
};
using Block = std::unique_ptr<uint8_t, BlockFree>;
struct StreamClose {
    void operator()(FILE* f) const { qzpk_fclose(f); }
};
using Stream = std::unique_ptr<FILE, StreamClose>;

// Copies a name cut to the 23 characters a name field holds.
void CopyName(char (&field)[kTexNameSize], const char* name) {
    size_t n = name ? strnlen(name, sizeof field - 1) : 0;
    if (n) memcpy(field, name, n);
    field[n] = 0;
}

// Reads a whole open file into a tracked block; null for an empty or unreadable file.
uint8_t* ReadBlock(FILE* f, int32_t size, const char* purpose) {
    if (!f || size <= 0) return nullptr;
    uint8_t* block = static_cast<uint8_t*>(qzAlloc(size, purpose));
    size_t got = qzpk_fread(block, 1, size_t(size), f);
    if (got < size_t(size)) memset(block + got, 0, size_t(size) - got);
    return block;
}

// Reads a whole file by path into a tracked block; size receives its length (0 when missing).
uint8_t* ReadFileBlock(const char* path, const char* purpose, int32_t* size) {
    *size = 0;
    if (!qzpk_exists(path)) return nullptr;
    int32_t n = qzpk_filesize(path);
    FILE* f = qzpk_fopen(path, "rb");
    if (!f) return nullptr;
    uint8_t* block = ReadBlock(f, n, purpose);
    qzpk_fclose(f);
    *size = block ? n : 0;
    return block;
}

bool IsBitmap(const uint8_t* data, size_t size) { return data && size >= 2 && data[0] == 'B' && data[1] == 'M'; }

// Converts either kind by the magic of the colour image (of the alpha image when there is none).
host::GfxSurface* ConvertByMagic(const uint8_t* image, size_t size, int black, const uint8_t* alpha,
                                 size_t alphaSize, int32_t mipShift) {
    bool bmp = image ? IsBitmap(image, size) : IsBitmap(alpha, alphaSize);
    return bmp ? dxgl_LoadBMPTexture(image, size, black, alpha, alphaSize, mipShift)
               : LoadCCADTexture(image, size, black, alpha, alphaSize, mipShift);
}

host::GfxSurface* MakeTexture(const TexImage* colour, const TexImage* alpha, int black, int32_t mipShift,
                              const char* who) {
    TexFormat format = TextureFormatFor(colour != nullptr, alpha != nullptr, black != 0);
    TexPixels px;
    if (const char* why = ConvertTexture(colour, alpha, black != 0, mipShift, format, &px))
        dxgl_Fatal("Error(%s): texture %s: %s", who, CurrentTexName, why);
    host::GfxSurface* s = CreateTextureSurface(px);
    if (!s) dxgl_Fatal("Error(LoadCCADTexture): CreateSurface failed (%s)", CurrentTexName);
    return s;
}

}  // namespace

TexFormat TextureFormatFor(bool colour, bool alpha, bool blackTransparent) {
    TexFormatQuery q{colour, alpha, blackTransparent, AlphaBits, texturebpp, DisplayBits, PrimaryFormat()};
    return ChooseTextureFormat(q);
}

host::GfxSurface* LoadCCADTexture(const uint8_t* image, size_t size, int blackTransparent, const uint8_t* alpha,
                                  size_t alphaSize, int32_t mipShift) {
    TexImage colour, alphaImage;
    if (!image && !alpha) dxgl_Fatal("Error(LoadCCADTexture): no image (%s)", CurrentTexName);
    if (image)
        if (const char* why = DecodeEngineTexture(image, size, &colour))
            dxgl_Fatal("Error(LoadCCADTexture): texture %s: %s", CurrentTexName, why);
    if (alpha)
        if (const char* why = DecodeEngineTexture(alpha, alphaSize, &alphaImage))
            dxgl_Fatal("Error(LoadCCADTexture): alpha map of %s: %s", CurrentTexName, why);
    return MakeTexture(image ? &colour : nullptr, alpha ? &alphaImage : nullptr, blackTransparent, mipShift,
                       "LoadCCADTexture");
}

host::GfxSurface* dxgl_LoadBMPTexture(const uint8_t* image, size_t size, int blackTransparent,
                                      const uint8_t* alpha, size_t alphaSize, int32_t mipShift) {
    auto depthOf = [](const uint8_t* d, size_t n) { return d && n >= 30 ? int(d[28] | d[29] << 8) : 0; };
    TexImage colour, alphaImage;
    if (!image && !alpha) dxgl_Fatal("Error(dxgl_LoadBMPTexture): no image (%s)", CurrentTexName);
    if (image) {
        int bpp = depthOf(image, size);
        if (bpp != 8 && bpp != 24) dxgl_Fatal("Error(dxgl_LoadBMPTexture): unsupported bpp format");
        if (const char* why = DecodeBmp(image, size, &colour))
            dxgl_Fatal("Error(dxgl_LoadBMPTexture): %s (%s)", why, CurrentTexName);
        if (!IsPowerOfTwo(colour.width) || !IsPowerOfTwo(colour.height))
            dxgl_Fatal("Error(dxgl_LoadBMPTexture): source has the wrong size");
    }
    if (alpha) {
        if (!IsBitmap(alpha, alphaSize) || depthOf(alpha, alphaSize) != 8)
            dxgl_Fatal("Error(dxgl_LoadBMPTexture): unsupported bpp format, alpha map");
        if (const char* why = DecodeBmp(alpha, alphaSize, &alphaImage))
            dxgl_Fatal("Error(dxgl_LoadBMPTexture): alpha map %s (%s)", why, CurrentTexName);
        if (!IsPowerOfTwo(alphaImage.width) || !IsPowerOfTwo(alphaImage.height))
            dxgl_Fatal("Error(dxgl_LoadBMPTexture): source has the wrong size");
    }
    return MakeTexture(image ? &colour : nullptr, alpha ? &alphaImage : nullptr, blackTransparent, mipShift,
                       "dxgl_LoadBMPTexture");
}

host::GfxSurface* CreateSurface_raw888(const uint32_t* pixels, int32_t width, int32_t height) {
    TexPixels px;
    px.width = width;
    px.height = height;
    px.format = TexFormat::ARGB8888;
    if (width > 0 && height > 0 && pixels) px.words.assign(pixels, pixels + size_t(width) * size_t(height));
    host::GfxSurface* s = width > 0 && height > 0 && pixels ? CreateTextureSurface(px) : nullptr;
    if (!s) FatalError("Error(CreateSurface_raw888): CreateSurface failed");
    return s;
}

// ---- The texture table ---------------------------------------------------------------------------------

static Tex* NewTexRecord() {
    if (TexCount >= kMaxTex) FatalError("Error(CreateTex): Too many textures");
    Tex* tex = static_cast<Tex*>(qzAlloc(int(sizeof(Tex)), "Tex"));
    memset(tex, 0, sizeof *tex);
    strcpy(tex->name, "anon");
    return tex;
}

Tex* CreateTex() {
    Tex* tex = NewTexRecord();
    TexTable[TexCount++] = tex;
    return tex;
}

Tex* CreateTexAt(int32_t slot) {
    Tex* tex = NewTexRecord();
    if (slot < 0 || slot >= TexCount) {
        TexTable[TexCount++] = tex;
        return tex;
    }
    TexTable[TexCount++] = TexTable[slot];
    TexTable[slot] = tex;
    return tex;
}

void DeleteTex(Tex* tex) {
    if (!tex) return;
    for (int32_t i = 0; i < TexCount; ++i) {
        if (TexTable[i] != tex) continue;
        if (!tex->shared) {
            host::DeleteSurface(tex->surface);
            qzFree(tex->data);
        }
        qzFree(tex);
        TexTable[i] = TexTable[--TexCount];
        TexTable[TexCount] = nullptr;
        return;
    }
}

Tex* NamedTex(const char* name) {
    if (!name) return nullptr;
    for (int32_t i = TexCount - 1; i >= 0; --i)
        if (!strcmp(TexTable[i]->name, name)) return TexTable[i];
    return nullptr;
}

void LoadAlphaMap(Tex* tex, FILE* stream, int32_t size, FILE* alphaStream, int32_t alphaSize, int32_t mipShift) {
    Stream colourFile(stream), alphaFile(alphaStream);
    Block image(ReadBlock(stream, size, "texture"));
    Block alpha(ReadBlock(alphaStream, alphaSize, "alpha map"));
    // The record's data pointer stays null: the bytes live only in this call.
    CopyName(CurrentTexName, tex->name);
    if (!image && !alpha) FatalErrorF("Error(LoadTex): Texture file %s is empty", tex->name);
    tex->surface = ConvertByMagic(image.get(), image ? size_t(size) : 0, tex->blackTransparent, alpha.get(),
                                  alpha ? size_t(alphaSize) : 0, mipShift);
}

void LoadTex(Tex* tex, const char* name, int32_t mipShift) {
    const std::string root = TEXROOT;
    std::string path;
    if (strchr(name, '\\')) {
        path = root + '\\' + name;
    } else {
        // The first sub-folder of the texture root that holds the name.
        char entry[256];
        int cursor = 0;
        while (qzpk_findfiles(TEXROOT, &cursor, entry, sizeof entry) && cursor != -1) {
            std::string candidate = root + '\\' + entry + '\\' + name;
            if (qzpk_exists(candidate.c_str())) {
                path = candidate;
                break;
            }
        }
        if (path.empty()) path = std::string("\\textures\\") + name;
    }
    if (!qzpk_exists(path.c_str()))
        FatalErrorF("Error(LoadTex): Texture file %s (%s) not found", name, path.c_str());

    std::string alphaPath = path + "_";
    bool colour = true;
    size_t n = strlen(name);
    if (n && name[n - 1] == '_') {
        // The name is itself an alpha map: it becomes an alpha-only texture.
        alphaPath = path;
        colour = false;
    }
    FILE* stream = nullptr;
    FILE* alphaStream = nullptr;
    int32_t size = 0, alphaSize = 0;
    if (colour) {
        stream = qzpk_fopen(path.c_str(), "rb");
        size = qzpk_filesize(path.c_str());
    }
    if (qzpk_exists(alphaPath.c_str())) {
        alphaStream = qzpk_fopen(alphaPath.c_str(), "rb");
        alphaSize = qzpk_filesize(alphaPath.c_str());
        tex->blackTransparent = 1;
    }
    if (path.find('{') != std::string::npos) tex->blackTransparent = 1;
    CopyName(tex->name, name);
    LoadAlphaMap(tex, stream, size, alphaStream, alphaSize, mipShift);
}

host::GfxSurface* LoadBitmapTexture(const char* path) {
    if (!qzpk_exists(path)) return nullptr;
    std::string alphaPath = std::string(path) + "_";
    int32_t size = qzpk_filesize(path);
    if (size < 0 || size >= kBitmapTextureMaxSize) dxgl_Notify("problem with texture '%s'", path);
    bool hasAlpha = qzpk_exists(alphaPath.c_str()) != 0;
    if (hasAlpha) {
        int32_t alphaSize = qzpk_filesize(alphaPath.c_str());
        if (alphaSize < 0 || alphaSize >= kBitmapTextureMaxSize)
            dxgl_Notify("problem with texture '%s'", alphaPath.c_str());
    }
    int32_t got = 0, alphaGot = 0;
    Block image(ReadFileBlock(path, "texture", &got));
    Block alpha(hasAlpha ? ReadFileBlock(alphaPath.c_str(), "alpha map", &alphaGot) : nullptr);
    // A file that cannot be read gives no texture rather than a conversion of nothing.
    if (!image) return nullptr;
    CopyName(CurrentTexName, path);
    return dxgl_LoadBMPTexture(image.get(), size_t(got), strchr(path, '$') ? 1 : 0, alpha.get(), size_t(alphaGot),
                               0);
}

// ---- Texture animations --------------------------------------------------------------------------------

namespace {

// Deletes an animation's frames and its frame list. A texture record that borrows a frame (the dummy
// texture of an animated billboard) loses it here, so whichever of the two teardown frees first, no
// record is left pointing at a deleted surface.
void ReleaseTexAnimFrames(TexAnim* anim) {
    for (int32_t f = 0; f < anim->frameCount; ++f) {
        for (int32_t i = 0; i < TexCount; ++i)
            if (TexTable[i]->shared && TexTable[i]->surface == anim->frames[f]) TexTable[i]->surface = nullptr;
        host::DeleteSurface(anim->frames[f]);
    }
    qzFree(anim->frames);
    anim->frames = nullptr;
    anim->frameCount = 0;
}

}  // namespace

TexAnim* CreateTexAnim() {
    if (TexAnimCount >= kMaxTexAnims) FatalError("Error(CreateTexAnim): Too many TexAnims");
    TexAnim* anim = static_cast<TexAnim*>(qzAlloc(int(sizeof(TexAnim)), "TexAnim"));
    memset(anim, 0, sizeof *anim);
    strcpy(anim->name, "anon");
    TexAnimTable[TexAnimCount++] = anim;
    return anim;
}

void DeleteTexAnim(TexAnim* anim) {
    if (!anim) return;
    for (int32_t i = 0; i < TexAnimCount; ++i) {
        if (TexAnimTable[i] != anim) continue;
        TexAnimTable[i] = TexAnimTable[--TexAnimCount];
        TexAnimTable[TexAnimCount] = nullptr;
        break;
    }
    ReleaseTexAnimFrames(anim);
    qzFree(anim);
}

TexAnim* NamedTexAnim(const char* name) {
    if (!name) return nullptr;
    for (int32_t i = 0; i < TexAnimCount; ++i)
        if (!strcmp(TexAnimTable[i]->name, name)) return TexAnimTable[i];
    return nullptr;
}

void LoadTexAnim(TexAnim* anim, const char* name) {
    // A record loaded before gives its frames back first.
    ReleaseTexAnimFrames(anim);
    const std::string base = std::string(TEXANIMROOT) + '\\' + name;
    CopyName(anim->name, name);
    if (!qzpk_exists((base + "\\00").c_str())) FatalErrorF("failed to load tex anim '%s'\n", name);
    auto frameName = [&](int n, const char* suffix) {
        char digits[16];
        snprintf(digits, sizeof digits, "%02d", n);
        return base + '\\' + digits + suffix;
    };

    struct Frame {
        Block image, alpha;
        int32_t size = 0, alphaSize = 0;
    };
    std::vector<Frame> frames;
    for (int n = 0;; ++n) {
        std::string path = frameName(n, "");
        if (!qzpk_exists(path.c_str())) break;
        Frame fr;
        fr.image.reset(ReadFileBlock(path.c_str(), "anim texture", &fr.size));
        fr.alpha.reset(ReadFileBlock(frameName(n, "_").c_str(), "anim alpha", &fr.alphaSize));
        frames.push_back(std::move(fr));
        if (frames.size() > size_t(kMaxTexAnimFrames)) FatalError("Error(LoadTexAnim): too many frames");
    }
    // The frame list is in place before the first conversion, so frames made before a failure belong
    // to the record.
    anim->frames = static_cast<host::GfxSurface**>(
        qzAlloc(int(frames.size() * sizeof(host::GfxSurface*)), "TexAnim frames"));
    anim->frameCount = 0;
    bool black = strchr(name, '{') != nullptr;
    for (Frame& fr : frames) {
        CopyName(CurrentTexName, anim->name);
        if (!fr.image && !fr.alpha) FatalErrorF("failed to load tex anim '%s'\n", name);
        anim->frames[anim->frameCount++] =
            fr.alpha ? ConvertByMagic(fr.image.get(), size_t(fr.size), 0, fr.alpha.get(), size_t(fr.alphaSize), 0)
                     : ConvertByMagic(fr.image.get(), size_t(fr.size), black ? 1 : 0, nullptr, 0, 0);
        fr.image.reset();
        fr.alpha.reset();
    }
}
