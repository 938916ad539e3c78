// Texture-stage presets: the device calls are made in a fixed order, so that a recording device sees
// the same sequence every time.
#include "render/TexStages.h"

#include "platform/Texture.h"
#include "render/Render_local.h"

using namespace render_local;
using host::StageState;
using host::TextureOp;

uint32_t TwoStageBlendOp = kTwoStageBlendOn;
static_assert(kTwoStageBlendOn == static_cast<uint32_t>(TextureOp::ModulateAlphaAddColor));
static_assert(kTwoStageBlendOff == static_cast<uint32_t>(TextureOp::Disable));
Tex* SecondStageTexture = nullptr;

namespace {
host::GfxSurface* SurfaceOf(const Tex* t) { return t ? t->surface : nullptr; }
}  // namespace

void SetWaterSpecularStages(Tex* first, Tex* second) {
    SetTex(0, SurfaceOf(second));
    SetTex(1, SurfaceOf(first));
    SetTSS(0, StageState::ColorArg1, host::GfxTaTexture);
    SetTSS(0, StageState::ColorOp, Op(TextureOp::Modulate));
    SetTSS(0, StageState::ColorArg2, host::GfxTaSpecular);
    SetTSS(1, StageState::ColorArg1, host::GfxTaCurrent);
    SetTSS(1, StageState::ColorOp, Op(TextureOp::Add));
    SetTSS(1, StageState::ColorArg2, host::GfxTaDiffuse);
    SetTSS(0, StageState::AlphaArg1, host::GfxTaDiffuse);
    SetTSS(0, StageState::AlphaOp, Op(TextureOp::SelectArg1));
    SetTSS(1, StageState::AlphaArg1, host::GfxTaCurrent);
    SetTSS(1, StageState::AlphaOp, Op(TextureOp::Modulate));
    SetTSS(1, StageState::AlphaArg2, host::GfxTaTexture);
}

void SetTwoStageBlend(Tex* first, Tex* second) {
    SetTex(0, SurfaceOf(first));
    SetTex(1, SurfaceOf(second));
    SetTSS(1, StageState::AlphaOp, Op(TextureOp::SelectArg1));
    SetTSS(1, StageState::AlphaArg1, host::GfxTaDiffuse);
    SetTSS(1, StageState::ColorArg1, host::GfxTaCurrent);
    SetTSS(1, StageState::ColorOp, TwoStageBlendOp);
    SetTSS(1, StageState::ColorArg2, host::GfxTaTexture);
}

void ResetTextureStages() {
    SetTex(0, nullptr);
    SetTSS(0, StageState::ColorArg1, host::GfxTaTexture);
    SetTSS(0, StageState::ColorOp, Op(TextureOp::Modulate));
    SetTSS(0, StageState::ColorArg2, host::GfxTaDiffuse);
    SetTSS(1, StageState::ColorOp, Op(TextureOp::Disable));
    SetTSS(1, StageState::AlphaOp, Op(TextureOp::Disable));
}
