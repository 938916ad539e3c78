#!/usr/bin/env python3
"""Plays the demo mission "Ema01" without player orders until it ends by its script, won or lost.

The main menu's button 3 starts the mission and the player leaves his jeep for the tactical map; the G.A. patrol meets the E.M.A. task force and the two AIs
fight it out until one side is destroyed and the mission's script ends it. Each case runs twice, with
frame limits of FRAMES and FRAMES + 400, and both runs must print the same "--world-hash" line: the same
world, and a level that stopped at the same tick, before the first limit (a level still running at the
limit would have gone on for 400 more frames in the second run).

Cases: "plain", the demo as it is; and "goto", the demo with a test day event AI_GOTO that sends the E.M.A.
task force out of its base to the patrol's turning point (added to a copy of the tree, after the script's last timed event). The two
runs of a case go side by side.

usage: mission_ends.py KARVONEL DEMO_DIR INPUT_SCRIPT CASE [FRAMES]
"""
import os
import re
import subprocess
import sys
import tempfile

from demo_tree import copy_demo_tree

LINE = re.compile(r"^world state [0-9a-f]+ \(Ema01, \d+ constructs, tick (\d+)\)$", re.M)


def add_goto_event(tree):
    """Adds an AI_GOTO of the task force out of the base to the G.A. patrol's turning point (x 19.5, z 44.5
    tiles) after the last timed event."""
    mission = os.path.join(tree, "Scripts", "Ema01.txt")
    with open(mission, encoding="latin-1") as f:
        text = f.read()
    timed = re.findall(r"^event_timed_(\d+)\s+(\d+)\s+(\d+)\s+(\d+)", text, flags=re.M)
    if not timed:
        raise SystemExit("no timed events in %s" % mission)
    index = max(int(t[0]) for t in timed) + 1
    day, hour, minute = max((int(t[1]), int(t[2]), int(t[3])) for t in timed)
    event = 'event_timed_%d   %d %d %d 19.5 44.5 "AI_GOTO" "EMA" "EMA_TaskForce";\n' % (index, day, hour, minute)
    text, n = re.subn(r"^end\s*$", event + "end", text, count=1, flags=re.M)
    if n != 1:
        raise SystemExit("no end in %s" % mission)
    with open(mission, "w", encoding="latin-1") as f:
        f.write(text)


def start(karvonel, tree, script, frames):
    return subprocess.Popen([karvonel, "--data", tree, "--headless", "--frames", str(frames), "--world-hash",
                             "--input", script], stdout=subprocess.PIPE, text=True)


def world_line(run):
    out, _ = run.communicate()
    if run.returncode != 0:
        raise SystemExit("the game ended with code %d:\n%s" % (run.returncode, out))
    m = LINE.search(out)
    if not m:
        raise SystemExit("no world state line in:\n" + out)
    return m.group(0)


def main():
    karvonel, demo, script, case = sys.argv[1:5]
    frames = int(sys.argv[5]) if len(sys.argv) > 5 else 6000
    if case not in ("plain", "goto"):
        raise SystemExit("unknown case '%s'" % case)
    with tempfile.TemporaryDirectory() as work:
        trees = [os.path.join(work, "first"), os.path.join(work, "second")]
        for tree in trees:
            copy_demo_tree(demo, tree, without_saved_games=True)
            if case == "goto":
                add_goto_event(tree)
        runs = [start(karvonel, trees[0], script, frames), start(karvonel, trees[1], script, frames + 400)]
        first, second = world_line(runs[0]), world_line(runs[1])
    print("Ema01 (%s): %s" % (case, first))
    if first != second:
        raise SystemExit("the mission did not end within %d frames, or the two runs differ:\n%s\n%s"
                         % (frames, first, second))


if __name__ == "__main__":
    main()
