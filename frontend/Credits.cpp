#include "frontend/Credits.h"

// The credits roll is not built yet: the screen shows its widgets only.
void RunCredits(int mode) { (void)mode; }
