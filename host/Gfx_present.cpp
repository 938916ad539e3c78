// Presenting the back buffer in the SDL window: converted to 32-bit through the gamma ramp, streamed into a
// texture and drawn scaled to the window with its aspect kept. Headless runs present nothing.
#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "host/Gfx_local.h"
#include "host/Window.h"

namespace host {
namespace {

uint16_t g_ramp[3][256];
bool g_rampSet = false;
SDL_Renderer* g_renderer = nullptr;
SDL_Texture* g_texture = nullptr;
int g_textureW = 0, g_textureH = 0;
int g_presents = 0;
std::vector<uint32_t> g_frame;

void IdentityRamp() {
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 256; ++i) g_ramp[c][i] = static_cast<uint16_t>(i * 257);
    g_rampSet = true;
}

}  // namespace

void PresentRows(const Primitive& prim, int y0, int y1) {
    const GfxSurface* back = prim.present.back;
    const uint8_t* lut = prim.present.lut;
    for (int y = std::max(y0, 0); y < std::min(y1, back->height); ++y) {
        const uint8_t* row = back->pixels + static_cast<ptrdiff_t>(y) * back->pitch;
        uint32_t* out = prim.present.out + static_cast<ptrdiff_t>(y) * back->width;
        for (int x = 0; x < back->width; ++x) {
            uint32_t c = back->format == PixelFormat::RGB565
                             ? UnpackPixel(PixelFormat::RGB565, reinterpret_cast<const uint16_t*>(row)[x])
                             : reinterpret_cast<const uint32_t*>(row)[x];
            out[x] = 0xFF000000u | (static_cast<uint32_t>(lut[(c >> 16) & 0xFF]) << 16) |
                     (static_cast<uint32_t>(lut[256 + ((c >> 8) & 0xFF)]) << 8) | lut[512 + (c & 0xFF)];
        }
    }
}

int DesktopBitsPerPixel() {
    if (IsHeadless() || !SDL_WasInit(SDL_INIT_VIDEO)) return 32;
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return 32;
    return SDL_BITSPERPIXEL(mode.format) <= 16 ? 16 : 32;
}

bool SetDisplayMode(int width, int height, int bitsPerPixel) {
    return width > 0 && height > 0 && (bitsPerPixel == 16 || bitsPerPixel == 32);
}

void SetGammaRamp(const uint16_t red[256], const uint16_t green[256], const uint16_t blue[256]) {
    std::memcpy(g_ramp[0], red, sizeof g_ramp[0]);
    std::memcpy(g_ramp[1], green, sizeof g_ramp[1]);
    std::memcpy(g_ramp[2], blue, sizeof g_ramp[2]);
    g_rampSet = true;
}

void GetGammaRamp(uint16_t red[256], uint16_t green[256], uint16_t blue[256]) {
    if (!g_rampSet) IdentityRamp();
    std::memcpy(red, g_ramp[0], sizeof g_ramp[0]);
    std::memcpy(green, g_ramp[1], sizeof g_ramp[1]);
    std::memcpy(blue, g_ramp[2], sizeof g_ramp[2]);
}

GfxResult Present(GfxSurface* back) {
    if (!back) return GfxErrInvalidParams;
    ++g_presents;
    SDL_Window* window = static_cast<SDL_Window*>(NativeWindow());
    if (!window || IsHeadless()) {
        // Nothing is shown: the frame's last primitives go to the workers, who draw them while the next
        // frame is prepared (whatever reads the back buffer waits for them).
        SubmitAllDevices();
        return GfxOk;
    }
    if (!g_rampSet) IdentityRamp();
    if (!g_renderer) {
        g_renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED);
        if (!g_renderer) g_renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
        if (!g_renderer) return GfxErrGeneric;
        SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    }
    if (!g_texture || g_textureW != back->width || g_textureH != back->height) {
        if (g_texture) SDL_DestroyTexture(g_texture);
        g_texture = SDL_CreateTexture(g_renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                      back->width, back->height);
        if (!g_texture) return GfxErrGeneric;
        g_textureW = back->width;
        g_textureH = back->height;
        SDL_RenderSetLogicalSize(g_renderer, back->width, back->height);
    }
    // Gamma tables of the top byte of each ramp entry.
    uint8_t lut[3][256];
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 256; ++i) lut[c][i] = static_cast<uint8_t>(g_ramp[c][i] >> 8);
    g_frame.resize(static_cast<size_t>(back->width) * static_cast<size_t>(back->height));
    // The bands of the worker threads convert the rows they have drawn; on one thread, here.
    Primitive prim;
    prim.kind = kPrimPresent;
    prim.present = {back, g_frame.data(), &lut[0][0]};
    const bool queued = QueuePresent(back, g_frame.data(), &lut[0][0]);
    FinishAllDevices();
    if (!queued) PresentRows(prim, 0, back->height);
    SDL_UpdateTexture(g_texture, nullptr, g_frame.data(), back->width * 4);
    SDL_SetRenderDrawColor(g_renderer, 0, 0, 0, 255);
    SDL_RenderClear(g_renderer);
    SDL_RenderCopy(g_renderer, g_texture, nullptr, nullptr);
    SDL_RenderPresent(g_renderer);
    return GfxOk;
}

void ClosePresenter() {
    if (g_texture) SDL_DestroyTexture(g_texture);
    if (g_renderer) SDL_DestroyRenderer(g_renderer);
    g_texture = nullptr;
    g_renderer = nullptr;
    g_textureW = g_textureH = 0;
}

int PresentCount() {
    return g_presents;
}

}  // namespace host
