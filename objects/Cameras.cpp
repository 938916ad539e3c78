// The camera types are not built yet: their dispatchers answer 0 to every method, so no camera is made.
#include "objects/Cameras.h"

uintptr_t SatCamera_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    (void)con, (void)method, (void)arg;
    return 0;
}
uintptr_t StatCamera_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    (void)con, (void)method, (void)arg;
    return 0;
}
uintptr_t WatchCamera_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    (void)con, (void)method, (void)arg;
    return 0;
}
