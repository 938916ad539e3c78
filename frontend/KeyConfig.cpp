// The key configuration screen is not built yet: no rows are made, no axis is seen moving and no key is
// captured.
#include "frontend/KeyConfig.h"

int RebindAction = -1;

void InitKeyDisplayNames() {}
void BuildKeyScreen() {}
int DetectAxis() { return -1; }
int CaptureKey() { return 0; }
