// The wreck physics is not built yet: these do nothing until it is (the dead-body physics fills them in).
#include "vehicles/modules/DeadBodyPhysics.h"

void DeadBody_physInit(DeadBodyPhys* d, construct* con) { (void)d, (void)con; }
void DeadBody_impact(DeadBodyPhys* d, const int32_t vec[3], const int32_t contact[3], const int32_t other[3],
                     int32_t strength) {
    (void)d, (void)vec, (void)contact, (void)other, (void)strength;
}
void DeadBody_physUpdate(DeadBodyPhys* d, int k) { (void)d, (void)k; }
void DeadBody_physCopy(DeadBodyPhys* d, const DeadBodyPhys* src) { (void)d, (void)src; }
