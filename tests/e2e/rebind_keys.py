#!/usr/bin/env python3
"""Changes key bindings and the resolution through the options screens and finds them in the next run.

The first run (INPUT_FIRST) binds "Fire primary" to Space on the key screen, which takes Space from
PM_TOGGLEMODE_KEY, and the camera zoom to the joystick's throttle, then picks 800 x 600 on the graphics
screen; "Vexa.cfg" must then hold all of it. The second run (INPUT_SECOND) starts from that configuration
at 800 x 600, binds "Fire secondary" to A and writes the configuration again: the bindings of the first run
must still be there beside the new one, so they were read and in force, and its snapshot of the key screen
must show a drawn screen. Both runs work in a copy of the demo tree.

usage: rebind_keys.py KARVONEL DEMO_DIR INPUT_FIRST INPUT_SECOND
"""
import os
import re
import subprocess
import sys
import tempfile

from compare_picture import read_bmp
from demo_tree import copy_demo_tree


def run(karvonel, tree, script, frames):
    subprocess.run([karvonel, "--data", tree, "--headless", "--frames", str(frames), "--input", script],
                   check=True, stdout=subprocess.DEVNULL)
    with open(os.path.join(tree, "Vexa.cfg"), encoding="latin-1") as f:
        return f.read()


def expect(config, pattern, when):
    if not re.search(pattern, config, flags=re.M):
        raise SystemExit("%s: Vexa.cfg lacks %r" % (when, pattern))


def main():
    karvonel, demo, first, second = sys.argv[1:5]
    with tempfile.TemporaryDirectory() as work:
        tree = os.path.join(work, "demo")
        # Other end-to-end runs write into the demo tree meanwhile: a file that vanishes while the tree is
        # copied is left out.
        copy_demo_tree(demo, tree)
        config = run(karvonel, tree, first, 600)
        bound = [r"^PM_FIRE1_KEY\s+SPACE_KEY;", r"^PM_TOGGLEMODE_KEY\s+<uk>;",
                 r"^PM_CAMERA_INOUT_SCALAR\s+1\.0\s+JOYSTICK_THROTTLE;"]
        for pattern in bound + [r"^xres\s+800;", r"^yres\s+600;"]:
            expect(config, pattern, "first run")
        config = run(karvonel, tree, second, 300)
        for pattern in bound + [r"^PM_FIRE2_KEY\s+A_KEY;", r"^xres\s+800;"]:
            expect(config, pattern, "second run")
        width, height, rows = read_bmp(os.path.join(tree, "Snapshots", "sd.bmp"))
        if (width, height) != (800, 600):
            raise SystemExit("second run: the snapshot is %d x %d, not 800 x 600" % (width, height))
        if len({p for row in rows for p in row}) < 8:
            raise SystemExit("second run: the key screen's snapshot is blank")
    print("key bindings and resolution kept across runs")


if __name__ == "__main__":
    main()
