#!/usr/bin/env python3
"""Runs the demo level at noon, at dusk and at night and compares the snapshots of its main view.

Each run copies the demo tree, sets the mission's "game_time" rule, starts the mission from the main menu,
takes a snapshot (Print Screen) and reads "Snapshots/sd*.bmp". The pictures must not be blank (the view is
drawn: more than one colour) and the three times must differ clearly in their mean colour.

usage: time_of_day.py KARVONEL DEMO_DIR INPUT_SCRIPT
"""
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile

from compare_picture import read_bmp
from demo_tree import copy_demo_tree


def snapshot(karvonel, demo, script, hour, minute, work):
    tree = os.path.join(work, "demo%02d%02d" % (hour, minute))
    # Other end-to-end runs write into the demo tree meanwhile (snapshots, the configuration, saved games
    # through temporary files): a file that vanishes while the tree is copied is left out.
    copy_demo_tree(demo, tree)
    mission = os.path.join(tree, "Scripts", "Ema01.txt")
    with open(mission, encoding="latin-1") as f:
        text = f.read()
    text, n = re.subn(r"^game_time\s+.*;", "game_time %d %d;" % (hour, minute), text, flags=re.M)
    if n != 1:
        raise SystemExit("no game_time rule in %s" % mission)
    with open(mission, "w", encoding="latin-1") as f:
        f.write(text)
    shutil.rmtree(os.path.join(tree, "Snapshots"), ignore_errors=True)
    subprocess.run([karvonel, "--data", tree, "--headless", "--frames", "400", "--input", script], check=True,
                   stdout=subprocess.DEVNULL)
    shots = sorted(glob.glob(os.path.join(tree, "Snapshots", "sd*.bmp")))
    if not shots:
        raise SystemExit("no snapshot at %02d:%02d" % (hour, minute))
    _, _, rows = read_bmp(shots[-1])
    return [p for row in rows for p in row]


def mean(pixels):
    n = len(pixels)
    return tuple(sum(p[c] for p in pixels) / n for c in range(3))


def main():
    karvonel, demo, script = sys.argv[1:4]
    times = {"noon": (12, 0), "dusk": (18, 5), "night": (0, 0)}
    means = {}
    with tempfile.TemporaryDirectory() as work:
        for name, (hour, minute) in times.items():
            pixels = snapshot(karvonel, demo, script, hour, minute, work)
            if len(set(pixels)) < 16:
                raise SystemExit("%s: the picture is blank" % name)
            means[name] = mean(pixels)
            print("%s: mean colour %.1f %.1f %.1f" % ((name,) + means[name]))
    names = list(times)
    ok = True
    for i in range(len(names)):
        for j in range(i + 1, len(names)):
            a, b = means[names[i]], means[names[j]]
            d = sum(abs(a[c] - b[c]) for c in range(3))
            print("%s vs %s: %.1f" % (names[i], names[j], d))
            if d < 20:
                ok = False
    if not ok:
        raise SystemExit("the times of day do not differ enough")


if __name__ == "__main__":
    main()
