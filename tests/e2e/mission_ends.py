#!/usr/bin/env python3
"""Leaves a demo campaign mission alone and checks that it ends by itself, lost.

The main menu's button 3 starts the mission (named by "lastmap" in a copy of the demo tree) and the
player sits in his jeep without touching a key. Every campaign mission has a deadline in its script:
a player who does nothing useful loses it then, while the enemy's group still stands. To keep the run
short the copy's "game_speed" is 8 (a headless frame then counts 16 ticks), so the deadline two and a
half to three and a half game hours after the start (as many real minutes at game speed 1) comes
after at most about 1360 frames (the level's end 700 ticks later included); the script's Print Screen near the frame limit must show the mission-lost screen (its
dark red, where the debriefing is dark blue and the level's view is sky and ground), the world state
line must name the mission, and the progress file must not mark it won. The mission's map pictures
must be in the tree.

usage: mission_ends.py KARVONEL DEMO_DIR INPUT_SCRIPT MISSION [FRAMES]
"""
import os
import re
import subprocess
import sys
import tempfile

from compare_picture import read_bmp
from demo_tree import copy_demo_tree

MISSIONS = ("EmaTut", "Ema01", "Ema02", "Ga01", "Ga02")


def set_config(path, key, value):
    with open(path, encoding="latin-1") as f:
        text = f.read()
    text, n = re.subn(r"^%s\s+.*;" % key, "%s %s;" % (key, value), text, flags=re.M)
    if n != 1:
        raise SystemExit("no %s in %s" % (key, path))
    with open(path, "w", encoding="latin-1") as f:
        f.write(text)


def main():
    karvonel, demo, script, mission = sys.argv[1:5]
    frames = int(sys.argv[5]) if len(sys.argv) > 5 else 1600
    if mission not in MISSIONS:
        raise SystemExit("unknown mission '%s'" % mission)
    with tempfile.TemporaryDirectory() as work:
        tree = os.path.join(work, "demo")
        copy_demo_tree(demo, tree, without_saved_games=True)
        # The mission's map: the map panel's texture and the map pages' picture (without them the panel is
        # an empty grid).
        for picture in ("Textures/specials/%s" % mission, "Bitmaps/%s_lmap" % mission):
            if not os.path.getsize(os.path.join(tree, picture)):
                raise SystemExit("%s: the map picture %s is empty" % (mission, picture))
        config = os.path.join(tree, "Vexa.cfg")
        set_config(config, "lastmap", '"%s"' % mission)
        set_config(config, "game_speed", "8")
        out = subprocess.run([karvonel, "--data", tree, "--headless", "--frames", str(frames), "--world-hash",
                              "--input", script], check=True, stdout=subprocess.PIPE, text=True).stdout
        m = re.search(r"^world state [0-9a-f]+ \((\w+), \d+ constructs, tick (\d+)\)$", out, flags=re.M)
        if not m or m.group(1) != mission:
            raise SystemExit("%s: no level of the mission ran:\n%s" % (mission, out))
        with open(os.path.join(tree, "Campaigns", "VORLE"), encoding="latin-1") as f:
            if re.search(r"^%s 1$" % mission, f.read(), flags=re.M):
                raise SystemExit("%s: the mission was won, not lost" % mission)
        snap = os.path.join(tree, "Snapshots", "sd.bmp")
        if not os.path.exists(snap):
            raise SystemExit("%s: no menu snapshot: the mission did not end" % mission)
        w, h, rows = read_bmp(snap)
        mean = [sum(px[k] for row in rows for px in row) / (w * h) for k in range(3)]
        print("%s: ended at tick %s; the snapshot's mean colour %.0f %.0f %.0f"
              % (mission, m.group(2), mean[0], mean[1], mean[2]))
        if not (mean[0] > mean[2] + 8 and sum(mean) < 200):
            raise SystemExit("%s: the snapshot is not the mission-lost screen's dark red" % mission)


if __name__ == "__main__":
    main()
