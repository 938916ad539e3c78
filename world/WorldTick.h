// The world tick's state that every floor reads: the game clock, the water animation, the tick being
// run and the input block handed to every construct's TICK. The game's world tick (game/WorldTick.h) sets
// it.
#pragma once

#include <cstdint>

#include "objects/Itfc.h"
#include "world/Player.h"
#include "world/TickCounter.h"

struct ConstructPool;
struct Tex;
struct TexAnim;

extern int32_t HalfTick;           // FrameCounter >> 1
extern float SecondsPerTick;       // game seconds per tick; 5.0 until a level sets it
extern float GameClockSeconds;     // the game clock (set through SetGameClock)
extern TexAnim* WaterAnim;         // the level's water animation and the texture it drives
extern Tex* WaterTex;
extern TexAnim* WaterAnim2;        // the optional second pair (specular water)
extern Tex* WaterTex2;
extern int32_t WaterFrame;
extern int32_t WaterFrame2;
extern int32_t TickIndex;          // index of the tick while the busy pools are updated, else -1
extern int32_t TickCount;          // the call's tick count while the busy pools are updated, else -1
extern TickInput InputBlock;       // the argument of every TICK: "before" and "now"
extern int32_t Fire1Armed;         // fire latches: a fire key fires only after it was released once
extern int32_t Fire2Armed;
extern ControlInput Fire1Seen;
extern ControlInput Fire2Seen;
extern uint32_t PlayerRestrictions;  // 0x1 the player may control the unit, 0x200 may fire
extern int32_t ListenerPosition[3];  // the main camera's position at the previous call
