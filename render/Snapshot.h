// Snapshots of the frame: the frame is drawn again without the debug overlay and the back buffer is
// written to the first free "Snapshots\sd%08d.bmp".
#pragma once

extern int SnapshotRendering;  // 1 while a frame is drawn again for a snapshot
extern int SnapshotNumber;     // the next file number tried; never reset
extern int SnapshotCountdown;  // ticks left until the next automatic snapshot

// Makes the folder "Snapshots" of the data tree when it is missing.
void MakeSnapshotFolder();

// Draws the frame again with redraw (when given) and writes the back buffer as the next snapshot file,
// creating the "Snapshots" folder when it is missing. Existing files are never overwritten. Returns the
// number of the file written.
int TakeSnapshot(void (*redraw)());

// The frame loop's snapshot step: with auto_snapshot_delay set, a snapshot each time the countdown runs
// out (it is then started again); otherwise one whenever the snapshot key is down. Returns 1 when a
// snapshot was taken.
int SnapshotStep(int ticks, bool snapshotKeyDown, void (*redraw)());
