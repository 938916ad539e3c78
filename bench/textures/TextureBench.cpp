// Texture loading and text drawing: decoding an engine texture and a bitmap, converting into each
// surface format, and drawing a line of text through the software device.
#include <benchmark/benchmark.h>

#include <cstring>

#include "host/Gfx.h"
#include "platform/Dxgl.h"
#include "platform/Font.h"
#include "platform/TexImage.h"
#include "platform/TexSurface.h"
#include "render/RenderTables.h"
#include "tools/datakit/Font.h"
#include "tools/datakit/Texture.h"

namespace {

std::vector<uint8_t> Indices(int size) {
    std::vector<uint8_t> v(size_t(size) * size);
    for (size_t i = 0; i < v.size(); ++i) v[i] = uint8_t(i * 2654435761u >> 24);
    return v;
}

void BM_DecodeEngineTexture(benchmark::State& state) {
    std::vector<datakit::Rgb> pal(256, datakit::Rgb{10, 20, 30});
    auto file = datakit::EngineTexture(8, 8, Indices(256), &pal);
    TexImage img;
    for (auto _ : state) benchmark::DoNotOptimize(DecodeEngineTexture(file.data(), file.size(), &img));
    state.SetItemsProcessed(state.iterations() * 256 * 256);
}
BENCHMARK(BM_DecodeEngineTexture);

void BM_DecodeBmp24(benchmark::State& state) {
    std::vector<uint32_t> rgb(256 * 256, 0x123456);
    auto file = datakit::Bmp24(256, 256, rgb);
    TexImage img;
    for (auto _ : state) benchmark::DoNotOptimize(DecodeBmp(file.data(), file.size(), &img));
    state.SetItemsProcessed(state.iterations() * 256 * 256);
}
BENCHMARK(BM_DecodeBmp24);

void BM_ConvertTexture(benchmark::State& state) {
    auto format = TexFormat(state.range(0));
    auto file = datakit::EngineTexture(8, 8, Indices(256));
    TexImage img;
    DecodeEngineTexture(file.data(), file.size(), &img);
    bool withAlpha = format == TexFormat::ARGB8888 || format == TexFormat::ARGB4444;
    TexPixels px;
    for (auto _ : state) {
        ConvertTexture(&img, withAlpha ? &img : nullptr, format == TexFormat::ARGB1555, 0, format, &px);
        host::GfxSurface* s = CreateTextureSurface(px);
        host::DeleteSurface(s);
    }
    state.SetItemsProcessed(state.iterations() * 256 * 256);
}
BENCHMARK(BM_ConvertTexture)
    ->Arg(int(TexFormat::ARGB8888))
    ->Arg(int(TexFormat::ARGB4444))
    ->Arg(int(TexFormat::ARGB1555))
    ->Arg(int(TexFormat::RGB565))
    ->Arg(int(TexFormat::XRGB8888));

void BM_DrawText3D(benchmark::State& state) {
    host::GfxSurface* target =
        host::CreateSurface(640, 480, host::PixelFormat::RGB565, host::SurfaceKind::RenderTarget, false);
    host::GfxDevice* device = host::CreateDevice(host::DeviceKind::Software, target);
    D3DDevice = device;
    SurfaceHeight = ScreenHeight = 480;
    datakit::FontAtlas atlas = datakit::RenderFontAtlas();
    TexPixels px;
    px.width = px.height = 256;
    px.format = TexFormat::ARGB8888;
    for (uint8_t a : atlas.coverage) px.words.push_back(uint32_t(a) << 24 | 0xffffff);
    FontTexture = CreateTextureSurface(px);
    for (int i = 0; i < 256; ++i) FontWidths[i] = atlas.widths[size_t(i)];
    for (auto _ : state) {
        DrawText3D(10, 100, "The quick brown fox jumps over the lazy dog", 1);
        host::FinishDrawing(device);
    }
    state.SetItemsProcessed(state.iterations() * 43);
    D3DDevice = nullptr;
    host::DeleteDevice(device);
    host::DeleteSurface(target);
    host::DeleteSurface(FontTexture);
    FontTexture = nullptr;
}
BENCHMARK(BM_DrawText3D);

}  // namespace


namespace {

void BM_ConvertOnly(benchmark::State& state) {
    auto file = datakit::EngineTexture(8, 8, Indices(256));
    TexImage img;
    DecodeEngineTexture(file.data(), file.size(), &img);
    TexPixels px;
    for (auto _ : state) ConvertTexture(&img, &img, false, 0, TexFormat::ARGB8888, &px);
    state.SetItemsProcessed(state.iterations() * 256 * 256);
}
BENCHMARK(BM_ConvertOnly);

}  // namespace

BENCHMARK_MAIN();
