#include "render/Snapshot.h"

#include <cstdio>

#include "core/Config.h"
#include "core/Package.h"
#include "host/Fs.h"
#include "platform/Bitmap.h"
#include "platform/Dxgl.h"

int SnapshotRendering = 0;
int SnapshotNumber = 0;
int SnapshotCountdown = 0;

void MakeSnapshotFolder() {
    // A fresh data tree may lack the folder: make it rather than fail to open the file.
    if (!qzpk_isdir("Snapshots")) {
        host::MakeDirectory("Snapshots");
        host::FlushDirectoryCache();
    }
}

int TakeSnapshot(void (*redraw)()) {
    SnapshotRendering = 1;
    if (redraw) redraw();
    SnapshotRendering = 0;
    MakeSnapshotFolder();
    char name[64];
    snprintf(name, sizeof name, "Snapshots\\sd%08d.bmp", SnapshotNumber);
    while (qzpk_exists(name)) {
        ++SnapshotNumber;
        snprintf(name, sizeof name, "Snapshots\\sd%08d.bmp", SnapshotNumber);
    }
    dxgl_ExportSurface_bmp(BackBuffer, name);
    host::FlushDirectoryCache();
    return SnapshotNumber++;
}

int SnapshotStep(int ticks, bool snapshotKeyDown, void (*redraw)()) {
    if (auto_snapshot_delay) {
        SnapshotCountdown -= ticks;
        if (SnapshotCountdown > 0) return 0;
        SnapshotCountdown = auto_snapshot_delay;
    } else if (!snapshotKeyDown) {
        return 0;
    }
    TakeSnapshot(redraw);
    return 1;
}
