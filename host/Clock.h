// The game's clock: a monotonic real clock, or in headless runs a virtual clock that advances by a fixed
// step each frame, so that a headless run with the same input is the same run every time.
#pragma once

#include <cstdint>

namespace host {

// Current time in hundredths of a second (fractions included).
double NowCentiseconds();

// Switches to the virtual clock, which starts at 0 and advances by stepCentiseconds per frame.
void UseVirtualClock(double stepCentiseconds);
void UseRealClock();
bool IsVirtualClock();

// Marks the end of one frame: the virtual clock (when in use) advances by its step.
void AdvanceVirtualClock();
// Moves the virtual clock (when in use) on by the given time: a wait that is not a frame (a movie).
void AdvanceVirtualClockBy(double centiseconds);

// Sleeps a little on the real clock (a busy wait's courtesy); does nothing on the virtual clock.
void Yield(int milliseconds);

}  // namespace host
