#!/usr/bin/env python3
"""Plays "Ema01" from the cockpit and the tactical map, quick-saves and quick-loads; wins "EmaCockpit".

In a copy of the demo tree, the script INPUT_PLAY starts Ema01 in the first jeep, switches to the outside and
the fixed camera and back, scans the crate of data at the base with the action key, orders the second jeep
through the comm menu and the large map's pointing mode, leaves the jeep for the tactical map, picks the
jeep under the pointer, sends it to a point on the ground with the way pointer, orders the first member to
hold through the comm menu's keys, enters a cockpit again and quick-saves (frame 600). Three runs:

- "saved": the script as it is, to frame 605: the quick-save "SavedGames/quicksave" is a saved game of Ema01;
- "driven": the jeep then drives for 90 frames and the game is quick-saved again at frame 715;
- "loaded": the jeep drives the same way, the game is quick-loaded at frame 720 and quick-saved right after.

A saved game holds no tick counter, so the world hash cannot compare a loaded world with a saved one; the
files do: the save after the quick-load must have the quick-save's size and lie far closer to it than the
save after the drive does (a few hundred bytes of the clock and of the ticks of the loading frame against
thousands of bytes of a world that drove on).

Then INPUT_COCKPIT starts the cockpit-only mission "EmaCockpit" (its "lastmap"), which puts the player in
the task force's second jeep; its script wins the mission, the level ends, and the Print Screen key at frame
1500 snaps the debriefing (screen 8): a menu snapshot "Snapshots/sd.bmp" of the screens' dark blue.

usage: tactical_map.py KARVONEL DEMO_DIR INPUT_PLAY INPUT_COCKPIT
"""
import os
import re
import subprocess
import sys
import tempfile

from compare_picture import read_bmp
from demo_tree import copy_demo_tree

DRIVE = "610 down UP_KEY\n700 up UP_KEY\n"
DRIVEN = DRIVE + "715 down F5_KEY\n717 up F5_KEY\n"
LOADED = DRIVE + "720 down F9_KEY\n721 down F5_KEY\n722 up F9_KEY\n723 up F5_KEY\n"


def run(karvonel, tree, script, frames):
    out = subprocess.run([karvonel, "--data", tree, "--headless", "--frames", str(frames), "--world-hash",
                          "--input", script], check=True, stdout=subprocess.PIPE, text=True).stdout
    m = re.search(r"^world state [0-9a-f]+ \((\w+),", out, flags=re.M)
    return m.group(1) if m else None


def quicksave(karvonel, tree, script, frames, work, name):
    path = os.path.join(tree, "SavedGames", "quicksave")
    if os.path.exists(path):
        os.remove(path)
    if run(karvonel, tree, script, frames) != "Ema01":
        raise SystemExit("%s: no level of Ema01 ran" % name)
    if not os.path.exists(path):
        raise SystemExit("%s: no quick-save was written" % name)
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"QZGM" or b"Ema01" not in data:
        raise SystemExit("%s: the quick-save is no saved game of Ema01" % name)
    return data


def differing(a, b):
    return sum(x != y for x, y in zip(a, b)) + abs(len(a) - len(b))


def main():
    karvonel, demo, play, cockpit = sys.argv[1:5]
    with open(play) as f:
        base = f.read()
    with tempfile.TemporaryDirectory() as work:
        tree = os.path.join(work, "tree")
        copy_demo_tree(demo, tree, without_saved_games=True)
        os.makedirs(os.path.join(tree, "SavedGames"))
        scripts = {}
        for name, extra in (("driven", DRIVEN), ("loaded", LOADED)):
            scripts[name] = os.path.join(work, name + ".txt")
            with open(scripts[name], "w") as f:
                f.write(base + extra)
        saved = quicksave(karvonel, tree, play, 605, work, "saved")
        driven = quicksave(karvonel, tree, scripts["driven"], 720, work, "driven")
        loaded = quicksave(karvonel, tree, scripts["loaded"], 730, work, "loaded")
        moved, back = differing(saved, driven), differing(saved, loaded)
        print("the quick-save and the save after the drive differ in %d bytes, after the quick-load in %d"
              % (moved, back))
        if len(loaded) != len(saved) or back * 5 > moved:
            raise SystemExit("the quick-load did not bring the saved world back")

        config = os.path.join(tree, "Vexa.cfg")
        with open(config, encoding="latin-1") as f:
            text = f.read()
        text, n = re.subn(r'^lastmap\s+.*;', 'lastmap "EmaCockpit";', text, flags=re.M)
        if n != 1:
            raise SystemExit("no lastmap in %s" % config)
        with open(config, "w", encoding="latin-1") as f:
            f.write(text)
        if run(karvonel, tree, cockpit, 1510) != "EmaCockpit":
            raise SystemExit("no level of EmaCockpit ran")
        snap = os.path.join(tree, "Snapshots", "sd.bmp")
        if not os.path.exists(snap):
            raise SystemExit("no menu snapshot: the mission did not end")
        w, h, rows = read_bmp(snap)
        mean = [sum(px[k] for row in rows for px in row) / (w * h) for k in range(3)]
        print("the snapshot after EmaCockpit: mean colour %.0f %.0f %.0f" % tuple(mean))
        if not (mean[2] > mean[0] + 15 and sum(mean) < 240):
            raise SystemExit("the snapshot after EmaCockpit is not the debriefing's dark blue")


if __name__ == "__main__":
    main()
