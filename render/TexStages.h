// Texture-stage presets around multi-texture drawing: specular water, the two-stage blend of the
// textured object routines (sphere mapping) and the reset to single-texture drawing.
#pragma once

#include <cstdint>

struct Tex;

// Colour operation of stage 1 in the two-stage blend: MODULATEALPHA_ADDCOLOR (18), or DISABLE (1) when
// the device cannot draw it (level building decides).
extern uint32_t TwoStageBlendOp;
constexpr uint32_t kTwoStageBlendOn = 18;   // the device's MODULATEALPHA_ADDCOLOR
constexpr uint32_t kTwoStageBlendOff = 1;   // the device's DISABLE
// The level's second-stage texture of the textured object routines (the sphere map); null without one.
extern Tex* SecondStageTexture;

// Stage 0: second texture times specular; stage 1 adds the diffuse colour with first as its texture.
void SetWaterSpecularStages(Tex* first, Tex* second);
// Stage 0 textured with first, stage 1 blends second by TwoStageBlendOp.
void SetTwoStageBlend(Tex* first, Tex* second);
// No texture on stage 0 (modulating texture and diffuse), stage 1 disabled for colour and alpha.
void ResetTextureStages();
