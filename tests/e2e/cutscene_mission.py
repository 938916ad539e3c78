#!/usr/bin/env python3
"""Runs the record/replay mission "Cutscene" headless from the main menu with the allocation tracker on.

The demo tree is copied and its configuration's "lastmap" set to "Cutscene"; the input script starts the
mission and works the record/replay panel. The run must end normally (every tracked block given back: the
cut scenes, their tracks and the test waves are freed by the teardown) and report the mission's world state.

usage: cutscene_mission.py KARVONEL DEMO_DIR INPUT_SCRIPT
"""
import os
import re
import subprocess
import sys
import tempfile

from demo_tree import copy_demo_tree


def main():
    karvonel, demo, script = sys.argv[1:4]
    with tempfile.TemporaryDirectory() as work:
        tree = os.path.join(work, "demo")
        copy_demo_tree(demo, tree)
        config = os.path.join(tree, "Vexa.cfg")
        with open(config, encoding="latin-1") as f:
            text = f.read()
        text, n = re.subn(r'^lastmap\s+.*;', 'lastmap "Cutscene";', text, flags=re.M)
        if n != 1:
            raise SystemExit("no lastmap in %s" % config)
        with open(config, "w", encoding="latin-1") as f:
            f.write(text)
        run = subprocess.run([karvonel, "--data", tree, "--headless", "--frames", "250", "--memcheck", "--world-hash",
                              "--input", script], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        print(run.stdout)
        if run.returncode != 0:
            raise SystemExit("exit code %d" % run.returncode)
        if not re.search(r"world state [0-9a-f]+ \(Cutscene, [0-9]+ constructs", run.stdout):
            raise SystemExit("the mission did not run")


if __name__ == "__main__":
    main()
