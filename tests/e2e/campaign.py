#!/usr/bin/env python3
"""Plays the E.M.A. campaign from the menus in a copy of the demo tree, in two runs.

The first run (INPUT_TUTORIAL) starts the campaign's only mission, the tutorial "EmaTut", which the
script's player wins: he drives his jeep to the two targets at the camp, looks at the large map, fires,
and has his wingman attack each target in turn (a locked target and the order "Attack my target"); the
level ends, the notice screen 6 follows (its snapshot must be that grey screen), and the progress file
"Campaigns/VORLE" must then mark the tutorial won, with "lastmap" moved on to "Ema01".
The second run (INPUT_CONTINUE) finds "Ema01" listed below the tutorial and selected (the snapshot of the
campaign screen), starts it with the main menu's button 3, saves it into slot 1 through the in-game
menu, leaves it, loads slot 1 from the load screen and saves the loaded level into slot 2: both saved
games must be of "Ema01", and the loaded level must go on from the saved game clock (slot 2 a little
later than slot 1, where a level built afresh would stand at its 10:30 start).

usage: campaign.py KARVONEL DEMO_DIR INPUT_TUTORIAL INPUT_CONTINUE
"""
import os
import re
import struct
import subprocess
import sys
import tempfile

from compare_picture import read_bmp
from demo_tree import copy_demo_tree


def run(karvonel, tree, script, frames):
    out = subprocess.run([karvonel, "--data", tree, "--headless", "--frames", str(frames), "--world-hash",
                          "--input", script], check=True, stdout=subprocess.PIPE, text=True).stdout
    return re.findall(r"^world state [0-9a-f]+ \((\w+),", out, flags=re.M)


def read(tree, rel):
    with open(os.path.join(tree, rel), encoding="latin-1") as f:
        return f.read()


def game_clock(path):
    """The game clock (seconds) of a saved game: the header is 600 bytes, then chunks of a type, a size
    that counts the chunk's own 8 bytes, and the body; the world-state chunk (type 15) holds the clock
    as a float 173 bytes into its body."""
    data = open(path, "rb").read()
    if data[:4] != b"QZGM":
        raise SystemExit("%s: not a saved game" % path)
    at = 600
    while at + 8 <= len(data):
        kind, size = struct.unpack_from("<II", data, at)
        if size < 8:
            break
        if kind == 15:
            return struct.unpack_from("<f", data, at + 8 + 173)[0]
        at += size
    raise SystemExit("%s: no world-state chunk" % path)


def fail(text):
    raise SystemExit("campaign: " + text)


def main():
    karvonel, demo, tutorial, cont = sys.argv[1:5]
    with tempfile.TemporaryDirectory() as work:
        tree = os.path.join(work, "demo")
        copy_demo_tree(demo, tree, without_saved_games=True)
        os.makedirs(os.path.join(tree, "SavedGames"))
        progress = read(tree, "Campaigns/VORLE")
        if not re.search(r"^EmaTut 0$", progress, flags=re.M):
            fail("the demo's progress file does not start with the tutorial not won")

        levels = run(karvonel, tree, tutorial, 2160)
        if levels != ["EmaTut"]:
            fail("first run: levels %r, not the tutorial alone" % levels)
        progress = read(tree, "Campaigns/VORLE")
        for line in ("EmaTut 1", "Ema01 0", "Ga01 0"):
            if not re.search("^%s$" % line, progress, flags=re.M):
                fail("first run: the progress file lacks %r:\n%s" % (line, progress))
        if not re.search(r'^lastmap\s+"Ema01";', read(tree, "Vexa.cfg"), flags=re.M):
            fail("first run: lastmap is not Ema01")
        w, h, rows = read_bmp(os.path.join(tree, "Snapshots", "sd.bmp"))
        grey = all(r == g == b for (r, g, b) in (rows[5][5], rows[h - 10][w - 10], rows[h // 2][w // 2 + 100]))
        if not grey:
            fail("first run: the snapshot is not the grey notice screen")

        levels = run(karvonel, tree, cont, 1100)
        if levels != ["Ema01", "Ema01"]:
            fail("second run: levels %r, not Ema01 twice" % levels)
        w, h, rows = read_bmp(os.path.join(tree, "Snapshots", "sd.bmp"))
        # The mission list's rows at 640 x 480: the tutorial at y 41, "Ema01" at y 53; the selected row
        # wears the screen's widget colour (70, 100, 170), the other a darker one.
        if rows[53][180] != (70, 100, 170) or rows[41][180] == (70, 100, 170):
            fail("second run: the campaign list does not show Ema01 selected below the tutorial")
        saved = os.path.join(tree, "SavedGames")
        for slot in ("savegame01", "savegame02"):
            data = open(os.path.join(saved, slot), "rb").read()
            if data[:4] != b"QZGM" or data[8:14] != b"Ema01\0":
                fail("second run: %s is not a saved game of Ema01" % slot)
        first, second = (game_clock(os.path.join(saved, s)) for s in ("savegame01", "savegame02"))
        start = 10 * 3600 + 30 * 60
        if not (first > start + 60 and first < second < first + 180):
            fail("second run: the loaded level does not go on from the saved clock (%.1f, then %.1f)"
                 % (first, second))
    print("tutorial won and recorded; Ema01 listed, started, saved, left, loaded as saved")


if __name__ == "__main__":
    main()
