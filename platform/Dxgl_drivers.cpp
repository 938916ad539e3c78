// The driver list: the device kinds offered, recorded in enumeration order, and the choice among them.
#include <cstring>

#include "core/Memory.h"
#include "platform/Dxgl_local.h"

bool KnownDeviceKind(const uint8_t* guid, int32_t* hardware, int32_t* tnl, host::DeviceKind* kind) {
    const host::DeviceInfo* list = nullptr;
    const int count = host::EnumerateDevices(&list);
    for (int i = 0; i < count; ++i) {
        if (memcmp(list[i].guid, guid, sizeof list[i].guid) != 0) continue;
        switch (list[i].kind) {
            case host::DeviceKind::Software:
                *hardware = 0, *tnl = 0;
                break;
            case host::DeviceKind::Hardware:
                *hardware = 1, *tnl = 0;
                break;
            case host::DeviceKind::HardwareTnL:
                *hardware = 1, *tnl = 1;
                break;
        }
        *kind = list[i].kind;
        return true;
    }
    return false;
}

// ---- Driver list -----------------------------------------------------------------------------------

namespace {

void CopyText(char* out, const char* text, size_t size) {
    if (!text) text = "";
    size_t n = strnlen(text, size - 1);
    memcpy(out, text, n);
    out[n] = 0;
}

}  // namespace

D3DDriverCell* CreateD3DDriver(const uint8_t* guid, const char* name, const char* description) {
    if (D3DDriverCount >= kMaxD3DDrivers) return nullptr;
    int32_t hardware = 0, tnl = 0;
    host::DeviceKind kind;
    if (!guid || !KnownDeviceKind(guid, &hardware, &tnl, &kind)) {
        dxgl_Fatal("Error(CreateD3DDriver): Unknown device");
        return nullptr;
    }
    auto* cell = static_cast<D3DDriverCell*>(qzAlloc(sizeof(D3DDriverCell), "D3DDriverCell"));
    memset(cell, 0, sizeof *cell);
    memcpy(cell->guid, guid, sizeof cell->guid);
    cell->guidPtr = cell->guid;
    CopyText(cell->name, name, sizeof cell->name);
    CopyText(cell->description, description, sizeof cell->description);
    cell->hardware = hardware;
    cell->tnl = tnl;
    D3DDrivers[D3DDriverCount++] = cell;
    return cell;
}

void FreeD3DDriver(D3DDriverCell* driver) {
    if (driver) qzFree(driver);
}

void FreeDisplayMode(DisplayModeCell* mode) {
    if (mode) qzFree(mode);
}

void FreeDriverLists() {
    for (int i = 0; i < DisplayModeCount; ++i) FreeDisplayMode(DisplayModes[i]);
    DisplayModeCount = 0;
    for (int i = 0; i < D3DDriverCount; ++i) FreeD3DDriver(D3DDrivers[i]);
    D3DDriverCount = 0;
}

D3DDriverCell* ChooseD3DDriver() {
    if (D3DDriverCount <= 0) return nullptr;
    D3DDriverCell* software = nullptr;
    D3DDriverCell* hardware = nullptr;
    for (int i = 0; i < D3DDriverCount; ++i) {
        D3DDriverCell* d = D3DDrivers[i];
        if (d->hardware == 0) software = d;
        if (d->hardware == 1 && d->tnl == 0) hardware = d;
    }
    // The hardware switch is always on: a plain hardware device wins over the software one.
    if (hardware) return hardware;
    if (software) return software;
    return D3DDrivers[0];
}
