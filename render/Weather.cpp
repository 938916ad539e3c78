// Weather is not built yet: these do nothing.
#include "render/Weather.h"

void StopPrecipitation() {}
void StartPrecipitation(int kind) { (void)kind; }
void MoveDrops(int ticks) { (void)ticks; }
