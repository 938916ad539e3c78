#!/usr/bin/env python3
"""The multiplayer settings file "Multiplayer" through the menus, in a copy of the demo tree without it.

The first run (INPUT_NAME) opens the multiplayer screens, which write the missing file with the settings in
force instead of ending the program, types a player name on the team screen and leaves it, which writes the
file with the name. The file is then changed by hand (maxplayers 12). The second run (INPUT_BACK) opens the
screens and leaves the team screen at once: the file written then must still hold the name and the hand-made
value, so it was read when the screens opened.

usage: multiplayer_settings.py KARVONEL DEMO_DIR INPUT_NAME INPUT_BACK
"""
import os
import re
import subprocess
import sys
import tempfile

from demo_tree import copy_demo_tree


def run(karvonel, tree, script, frames):
    subprocess.run([karvonel, "--data", tree, "--headless", "--frames", str(frames), "--input", script],
                   check=True, stdout=subprocess.DEVNULL, timeout=240)
    path = os.path.join(tree, "Multiplayer")
    if not os.path.exists(path):
        raise SystemExit("no settings file was written")
    with open(path, encoding="latin-1") as f:
        return f.read()


def expect(text, pattern, when):
    if not re.search(pattern, text, flags=re.M):
        raise SystemExit("%s: the settings file lacks %r:\n%s" % (when, pattern, text))


def main():
    karvonel, demo, name_script, back_script = sys.argv[1:5]
    with tempfile.TemporaryDirectory() as work:
        tree = os.path.join(work, "demo")
        copy_demo_tree(demo, tree)
        for leftover in ("Multiplayer", "multiplayer"):
            if os.path.exists(os.path.join(tree, leftover)):
                os.remove(os.path.join(tree, leftover))
        text = run(karvonel, tree, name_script, 260)
        expect(text, r"\A/\*-{41}\*/\n/\*             Multiplayer file            \*/\n", "first run")
        expect(text, r"^Playername          rex$", "first run")
        expect(text, r"^maxplayers          8$", "first run")
        with open(os.path.join(tree, "Multiplayer"), "w", encoding="latin-1") as f:
            f.write(text.replace("maxplayers          8", "maxplayers          12"))
        text = run(karvonel, tree, back_script, 200)
        expect(text, r"^Playername          rex$", "second run")
        expect(text, r"^maxplayers          12$", "second run")
    print("multiplayer settings written, read and kept across runs")


if __name__ == "__main__":
    main()
