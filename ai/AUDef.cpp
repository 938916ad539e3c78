// Action units: the registry. The definitions themselves are not built yet; the world file reader keeps
// their chunk bodies until they are.
#include "ai/AUDef.h"

AUDef* AUDefTable[kMaxAUDefs];
int32_t AUDefCount = 0;

AUDef* CreateAUDef() { return nullptr; }

void ReadAUDef(AUDef* def, int32_t type, int32_t size, FILE* stream) {
    (void)def;
    (void)type;
    (void)size;
    (void)stream;
}
