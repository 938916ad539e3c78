#!/usr/bin/env python3
"""Plays the test mission "Showroom" headless, in copies of the demo tree whose "lastmap" names it (the main
menu's button 3 starts it, INPUT_MENU clicks it).

"types": for every tracked type a run of its own (side by side), in which the script puts the player into
the type's unit on the test lane ("Test_<type>", alone; "CockpitOnly", "OurUnit 0") with the two target
dummies ahead ("Test_DummyA" of the G.A., "Test_DummyB" of the third clan, made hostile). The player locks
the first dummy and fires the first weapon at it; once the script's second phase has begun (a game minute
later) he locks the second and fires the second weapon (the types that have one); then he backs away from
them and turns; a day event destroys his unit; a quick-save follows. The script counts in mission
variables what its conditions saw: "Hit1" (dummy A destroyed in the first phase), "Hit2" (dummy B in the
second), "Moved" (the unit a known distance back, past x 13.7 tiles), "Turned" (off the lane, below z 49.3
or above z 49.7), "Lost" (the unit destroyed); the quick-save holds them, and its wrecks must hold the
type's.

"save": the player drives the tank of the showroom's task force while the rest of the task force drives
to the camp (a day event); quick-saved at frame 300 ("saved"), then the world drives on and is quick-saved
again at frame 1000 ("driven"); quick-loaded and quick-saved in the next frame, once right after the first
save ("again") and once after the drive ("loaded"). As tests/e2e/tactical_map.py compares its saves: the
two saves made a frame after the same quick-load must lie far closer to each other than the drive moved
the world (whatever a load failed to bring back would differ between them).

"fight": without player input (the player stays on the tactical map) day events send both sides to the
camp on the road, the G.A. group over the ford; they fight until one side is gone and the script ends the
mission. Two runs with frame limits FIGHT_FRAMES and FIGHT_FRAMES + 400 print the same "--world-hash" line.

usage: showroom.py KARVONEL DEMO_DIR INPUT_MENU [types|save|fight ...]
"""
import os
import re
import struct
import subprocess
import sys
import tempfile

from demo_tree import copy_demo_tree

FIGHT_FRAMES = 5000
TYPES = [("EMATank", 2), ("EMAHaubitze", 1), ("EMALinebacker", 2), ("EMASnowMob", 1)]


# ---- The tree copies and the runs.

def make_tree(demo, tree, script_edit):
    copy_demo_tree(demo, tree, without_saved_games=True)
    os.makedirs(os.path.join(tree, "SavedGames"), exist_ok=True)
    config = os.path.join(tree, "Vexa.cfg")
    with open(config, encoding="latin-1") as f:
        text = f.read()
    text, n = re.subn(r'^lastmap\s+.*;', 'lastmap "Showroom";', text, flags=re.M)
    if n != 1:
        raise SystemExit("no lastmap in %s" % config)
    with open(config, "w", encoding="latin-1") as f:
        f.write(text)
    script = os.path.join(tree, "Scripts", "Showroom.txt")
    with open(script, encoding="latin-1") as f:
        text = f.read()
    text = script_edit(text)
    with open(script, "w", encoding="latin-1") as f:
        f.write(text)


def start(karvonel, tree, script, frames):
    return subprocess.Popen([karvonel, "--data", tree, "--headless", "--frames", str(frames), "--world-hash",
                             "--input", script], stdout=subprocess.PIPE, text=True)


def finish(run, name):
    out, _ = run.communicate()
    if run.returncode != 0:
        raise SystemExit("%s: the game ended with code %d:\n%s" % (name, run.returncode, out))
    return out


def before_end(text, lines):
    text, n = re.subn(r"^end\s*$", lines + "\nend", text, count=1, flags=re.M)
    if n != 1:
        raise SystemExit("no end in the showroom's script")
    return text


def write_input(work, name, menu, lines):
    path = os.path.join(work, name + ".txt")
    with open(path, "w") as f:
        f.write(menu + "\n" + lines)
    return path


# ---- The saved game: its chunks, mission variables, action units and wrecks.

def chunks(data):
    if data[:4] != b"QZGM":
        raise SystemExit("the quick-save is no saved game")
    # After the 600-byte header, each chunk: its type and its size (counting these two words), its body.
    out, pos = [], 600
    while pos + 8 <= len(data):
        kind, size = struct.unpack_from("<II", data, pos)
        if size < 8:
            raise SystemExit("a chunk of the quick-save has the size %d" % size)
        out.append((kind, data[pos + 8:pos + size]))
        pos += size
    return out


def variables(data):
    """The mission variables: the table at the end of the world state, which begins with the AI's damage
    variables (64-byte names, each followed by its float)."""
    state = [body for kind, body in chunks(data) if kind == 15]
    first = b"EMA_DAMAGE_FROM_EMA"
    at = state[0].find(first + b"\0" * (64 - len(first))) if state else -1
    if at < 4:
        raise SystemExit("no mission variables in the quick-save")
    count = struct.unpack_from("<i", state[0], at - 4)[0]
    found = {}
    for i in range(count):
        entry = state[0][at + 68 * i:at + 68 * (i + 1)]
        found[entry[:64].split(b"\0")[0].decode("latin-1")] = struct.unpack_from("<f", entry, 64)[0]
    return found


def wrecks(data):
    bodies = [body for kind, body in chunks(data) if kind == 14]
    return bodies[0] if bodies else b""


def unit_position(data, au):
    for kind, body in chunks(data):
        if kind == 12 and body[:32].split(b"\0")[0] == au.encode() and len(body) >= 76:
            return struct.unpack_from("<iii", body, 64)
    return None


def quicksave(tree):
    path = os.path.join(tree, "SavedGames", "quicksave")
    if not os.path.exists(path):
        return None
    with open(path, "rb") as f:
        return f.read()


# ---- The runs of every tracked type.

def type_script(unit_type):
    """The showroom with only the type's test unit and the dummies, and the conditions that count."""
    def edit(text):
        text = re.sub(r'^(Showroom_EMA|Showroom_GA|Showroom_Wreck)\s+"activate";', "", text, flags=re.M)
        text = re.sub(r'^event_timed_\d+\s.*$', "", text, flags=re.M)
        text = re.sub(r'^ARAB_hostility\s.*$', 'ARAB_hostility      "HOSTILE" "EMA";', text, flags=re.M)
        lane = "Test_" + unit_type
        return before_end(text, "\n".join([
            "CockpitOnly 1;", "OurUnit 0;",
            lane + ' "activate";', 'Test_DummyA "activate";', 'Test_DummyB "activate";',
            'HitA_A_0 "DESTROYED" "Test_DummyA";', 'HitA_A_1 "VARLESS" "Phase" 1;',
            'HitB_A_0 "DESTROYED" "Test_DummyB";', 'HitB_A_1 "VARGREATER" "Phase" 0;',
            'Moved_A_0 "REACHEDAREA" "%s" 0 0 897843 4000000;' % lane,
            'Turned_A_0 "REACHEDAREA" "%s" 0 0 4000000 3230925;' % lane,
            'Turned_B_0 "REACHEDAREA" "%s" 0 3257139 4000000 4000000;' % lane,
            'Lost_A_0 "UNITLOST" "%s";' % lane,
            'event_triggered_0 0 "HitA" "INCVAR" "Hit1";',
            'event_triggered_1 0 "HitB" "INCVAR" "Hit2";',
            'event_triggered_2 0 "Moved" "INCVAR" "Moved";',
            'event_triggered_3 0 "Turned" "INCVAR" "Turned";',
            'event_triggered_4 0 "Lost" "INCVAR" "Lost";',
            'event_timed_0 0 10 33 "INCVAR" "Phase";',
            'event_timed_1 0 10 39 "DESTROYAU" "%s";' % lane,
        ]))
    return edit


# The player's keys: lock the nearest dummy, look level (the centre key) and fire the first weapon once it
# is ready (a weapon is
# loaded for its fire delay from its placing on); in the second phase (from game
# minute 10:33, frame 190) lock the next and fire the second weapon once the lock is complete; back away
# from the dummies and turn; quick-save after the unit's destruction (10:39).
TYPE_INPUT = """
60 down T_KEY
62 up T_KEY
100 down C_KEY
102 up C_KEY
130 down LBUTTON_KEY
136 up LBUTTON_KEY
200 down T_KEY
202 up T_KEY
290 down RBUTTON_KEY
300 up RBUTTON_KEY
320 down DOWN_KEY
380 down RIGHT_KEY
384 up RIGHT_KEY
480 up DOWN_KEY
500 down F5_KEY
502 up F5_KEY
"""


def run_types(karvonel, demo, menu, work):
    runs = []
    for unit_type, weapons in TYPES:
        tree = os.path.join(work, unit_type)
        make_tree(demo, tree, type_script(unit_type))
        script = write_input(work, unit_type, menu, TYPE_INPUT)
        runs.append((unit_type, weapons, tree, start(karvonel, tree, script, 510)))
    failed = []
    for unit_type, weapons, tree, run in runs:
        finish(run, unit_type)
        data = quicksave(tree)
        if data is None:
            failed.append("%s: no quick-save" % unit_type)
            continue
        wanted = ["Hit1", "Moved", "Turned", "Lost"] + (["Hit2"] if weapons > 1 else [])
        seen = {name: value for name, value in variables(data).items() if "DAMAGE" not in name}
        where = unit_position(data, "Test_" + unit_type)
        print("%s: %s, at %s" % (unit_type, ", ".join("%s %s" % kv for kv in sorted(seen.items())), where))
        missing = [name for name in wanted if not seen.get(name)]
        if missing:
            failed.append("%s: not seen: %s" % (unit_type, " ".join(missing)))
        if (unit_type.encode() + b"\0") not in wrecks(data):
            failed.append("%s: no wreck of it" % unit_type)
    if failed:
        raise SystemExit("\n".join(failed))


# ---- Quick-save and quick-load with the types on the move.

SAVE_INPUT = """
60 down UP_KEY
1100 up UP_KEY
300 down F5_KEY
302 up F5_KEY
"""
# The world driven on and saved; the save of the first frame after a quick-load of the first save, at once
# and after the world has driven on.
DRIVEN = "1000 down F5_KEY\n1002 up F5_KEY\n"
AGAIN = "310 down F9_KEY\n311 down F5_KEY\n312 up F9_KEY\n313 up F5_KEY\n"
LOADED = "1010 down F9_KEY\n1011 down F5_KEY\n1012 up F9_KEY\n1013 up F5_KEY\n"


def save_script(text):
    text = before_end(text, "\n".join([
        "CockpitOnly 1;", "OurUnit 1;",
        'event_timed_3 0 10 31 28.8 35.2 "AI_GOTO" "EMA" "Showroom_EMA";']))
    return text


def differing(a, b):
    return sum(x != y for x, y in zip(a, b)) + abs(len(a) - len(b))


def run_save(karvonel, demo, menu, work):
    saves, runs = {}, []
    for name, frames, extra in (("saved", 305, ""), ("driven", 1005, DRIVEN), ("again", 320, AGAIN),
                                ("loaded", 1020, LOADED)):
        tree = os.path.join(work, "save_" + name)
        make_tree(demo, tree, save_script)
        runs.append((name, tree, start(karvonel, tree, write_input(work, "save_" + name, menu, SAVE_INPUT + extra), frames)))
    for name, tree, run in runs:
        finish(run, name)
        saves[name] = quicksave(tree)
        if saves[name] is None:
            raise SystemExit("%s: no quick-save was written" % name)
    # The action units' chunks: the units themselves (the effects in the shared pools draw random numbers,
    # which a saved game does not hold).
    units = {name: b"".join(body for kind, body in chunks(data) if kind == 12) for name, data in saves.items()}
    moved = differing(units["saved"], units["driven"])
    back = differing(units["again"], units["loaded"])
    print("the units driven on differ from the quick-save in %d bytes; a frame after its quick-load, at once "
          "and after the drive, in %d" % (moved, back))
    if len(units["loaded"]) != len(units["saved"]) or back * 10 > moved:
        raise SystemExit("the quick-load did not bring the saved world back")


# ---- The two sides fight.

LINE = re.compile(r"^world state [0-9a-f]+ \(Showroom, \d+ constructs, tick (\d+)\)$", re.M)


def fight_script(text):
    """Both sides head for the camp on the road (the G.A. group over the ford, the way the demo mission's
    patrol drives), meet and fight; the script ends the mission when one side is gone."""
    return before_end(text, "\n".join([
        'GA_Gone_A_0 "DESTROYED" "Showroom_GA";', 'EMA_Gone_A_0 "DESTROYED" "Showroom_EMA";',
        "Showroom_GA_waypoint_0 47.0 24.0;", "Showroom_GA_waypoint_1 44.8 34.9;",
        "Showroom_GA_waypoint_2 38.4 34.9;", "Showroom_GA_waypoint_3 28.8 35.2;",
        'event_timed_3 0 10 31 "AI_PATROLWAY" "GA" "Showroom_GA";',
        'event_timed_4 0 10 31 28.8 35.2 "AI_GOTO" "EMA" "Showroom_EMA";',
        # Once they have met, each side is sent through the other's place: no gun stays out of reach.
        'event_timed_5 0 11 15 38.4 34.9 "AI_GOTO" "EMA" "Showroom_EMA";',
        'event_timed_6 0 11 15 28.8 35.2 "AI_GOTO" "GA" "Showroom_GA";',
        'event_triggered_0 1 "GA_Gone" "CLANSUCCESS" "EMA";',
        'event_triggered_1 1 "EMA_Gone" "CLANFAILURE" "EMA";']))


def run_fight(karvonel, demo, menu, work):
    runs = []
    for name, frames in (("first", FIGHT_FRAMES), ("second", FIGHT_FRAMES + 400)):
        tree = os.path.join(work, "fight_" + name)
        make_tree(demo, tree, fight_script)
        runs.append((name, start(karvonel, tree, write_input(work, "fight_" + name, menu, ""), frames)))
    lines = []
    for name, run in runs:
        m = LINE.search(finish(run, name))
        if not m:
            raise SystemExit("%s: the level did not end" % name)
        lines.append(m.group(0))
    print(lines[0])
    if lines[0] != lines[1]:
        raise SystemExit("the two fights differ:\n%s\n%s" % tuple(lines))


def main():
    karvonel, demo, menu_path = sys.argv[1:4]
    parts = sys.argv[4:] or ["types", "save", "fight"]
    with open(menu_path) as f:
        menu = f.read()
    with tempfile.TemporaryDirectory() as work:
        for part in parts:
            {"types": run_types, "save": run_save, "fight": run_fight}[part](karvonel, demo, menu, work)


if __name__ == "__main__":
    main()
