// The credits roll over the credits screen.
#pragma once

// 1 starts the roll, 0 draws its current frame over the screen, -1 ends it.
void RunCredits(int mode);
