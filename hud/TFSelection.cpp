#include "hud/TFSelection.h"

void UpdateTFSelection(TFView* /*view*/) {}
ConstructPool* FindExactTFGroup(const TFView* /*view*/, const ConstructPool* /*pool*/) { return nullptr; }
