#include "hud/TFSelection.h"

void UpdateTFSelection(TFView* /*view*/) {}
