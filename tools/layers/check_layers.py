#!/usr/bin/env python3
"""Checks which folders of the game include which.

The folders stand on floors, lowest first (FLOORS):

    host/      the stand-in for the operating system and DirectX: nothing of the game
    core/      on host/
    platform/  on core/
    world/     the model every subsystem reads (constructs, pools, events, terrain, statics, geometry, the
               object and world files, the player cells, the level's state)
    render/ objects/ vehicles/modules/ vehicles/types/ ai/ hud/ frontend/ net/
               the subsystems, on world/
    game/      the game that drives them (start-up, the loops, the level's build and teardown, the world
               tick, saved games, cut scenes), on every subsystem
    app/       the program's entry, on game/

A folder includes the folders of the floors below it. The subsystems share a floor and include each other
as SIDEWAYS lists. Anything else goes through a gate (GATES): the headers of a folder that another may
include, each with its reason. A call from a floor up into a higher one goes through a hook that the
higher floor binds (game/LayerHooks.cpp), never through an include.

Two more rules keep circles out:
- the headers of two folders never include each other in a circle (so a gate's header may include the
  folder that passes the gate only where no circle closes);
- the modules of core/ and platform/ (a module is a header with the files named after it: Files.h,
  Files.cpp, Files_read.cpp) include each other in no circle.

The libraries that host/ stands in front of (SDL, ENet, FFmpeg) are included by host/ alone.

Prints each include that breaks a rule and fails when any does; with --order it prints the floors.
"""
import os
import re
import sys

SUBSYSTEMS = ['render', 'objects', 'vehicles/modules', 'vehicles/types', 'ai', 'hud', 'frontend', 'net']
FLOORS = [['host'], ['core'], ['platform'], ['world'], SUBSYSTEMS, ['game'], ['app']]
# The subsystems each subsystem may include besides the floors below it.
SIDEWAYS = {
    'render': {'objects', 'ai'},
    'objects': {'render', 'vehicles/modules'},
    'vehicles/modules': {'render', 'objects', 'ai', 'hud'},
    'vehicles/types': {'render', 'objects', 'vehicles/modules', 'ai', 'hud'},
    'ai': {'render', 'objects'},
    'hud': {'render', 'objects', 'ai', 'net'},
    'frontend': {'render', 'hud', 'net'},
    'net': {'objects', 'ai', 'hud'},
}
# (folder, target): the only headers of target that folder may include, each with its reason.
GATES = {
    ('world', 'objects'): {
        'objects/Itfc.h': "a construct is driven through its type's dispatcher (the method numbers, the TICK "
                          "record)",
        'objects/Units.h': "a construct names its units-file entry (its class, name and unit rules)",
    },
    ('world', 'render'): {
        'render/Light.h': "an object file's lights are point light records (made and freed with the object)",
        'render/Stamps.h': "a new construct or object point takes the view stamp minus 1, so that it is drawn",
    },
    ('objects', 'ai'): {
        'ai/UnitAI.h': "a unit carries its AI record",
    },
    ('objects', 'hud'): {
        'hud/TFView.h': "the cameras read the task-force view's look and its open pages",
        'hud/MessageLog.h': "the movie camera's editing keys report in the message log",
        'hud/TFSelection.h': "a destroyed unit leaves the task-force selection",
    },
    ('render', 'hud'): {
        'hud/TFView.h': "the views read the task-force view's pages, tactical pool and hidden marks",
        'hud/CockpitOverlay.h': "the cockpit overlay is drawn over the main view, before the next view",
        'hud/MessageLog.h': "the message log and the chat line are drawn over the main view",
        'hud/ViewInstruments.h': "the player's instruments are drawn over the main view",
        'hud/UnitMarks.h': "the noise film and the tint are drawn over a view",
    },
    ('ai', 'hud'): {
        'hud/MessageLog.h': "day events and the clans' AI speak through the message log",
        'hud/MissionStatus.h': "day events set the objectives and the view notice",
        'hud/TFView.h': "day events put the player into a unit's view and renew the task-force selection",
        'hud/MousePtr.h': "the way test's debug picture follows the mouse pointer",
    },
}
# Folders whose modules must not include each other in a circle.
ACYCLIC = ['core', 'platform']

INCLUDE = re.compile(r'^\s*#\s*include\s+"([A-Za-z0-9_/]+\.h)"')
# Headers of the libraries behind host/.
LIBRARY = re.compile(r'^\s*#\s*include\s+<((?:SDL|enet/|libav|libsw)[^>]*)>')

FOLDERS = [f for floor in FLOORS for f in floor]
FLOOR_OF = {f: n for n, floor in enumerate(FLOORS) for f in floor}


def folder_of(path):
    """The folder of a header or source path relative to the root (vehicles/ counts two levels)."""
    parts = path.split('/')
    if parts[0] == 'vehicles' and len(parts) > 2:
        return 'vehicles/' + parts[1]
    return parts[0] if len(parts) > 1 else ''


def includes(root, rel):
    """(line number, included path) of every quoted include of a file."""
    out = []
    with open(os.path.join(root, rel), encoding='utf-8', errors='replace') as f:
        for number, line in enumerate(f, 1):
            m = INCLUDE.match(line)
            if m and '/' in m.group(1):
                out.append((number, m.group(1)))
    return out


def sources(root, folder):
    base = os.path.join(root, folder)
    if not os.path.isdir(base):
        return []
    return sorted(os.path.join(folder, n) for n in os.listdir(base) if n.endswith(('.h', '.cpp')))


def module_of(rel):
    name = os.path.basename(rel)
    return re.split(r'[_.]', name, maxsplit=1)[0]


def check_rules(bad):
    """The rules themselves: sideways only within the subsystems' floor, gates only where nothing else
    allows the include."""
    for folder, targets in SIDEWAYS.items():
        for target in targets:
            if FLOOR_OF.get(folder) != FLOOR_OF[SUBSYSTEMS[0]] or FLOOR_OF.get(target) != FLOOR_OF[folder]:
                bad.append('rules: %s/ includes %s/ sideways, but the two do not share the subsystems\' floor' %
                           (folder, target))
    for folder, target in GATES:
        if may_include(folder, target):
            bad.append('rules: the gate of %s/ into %s/ is not needed: %s/ may include %s/' %
                       (folder, target, folder, target))


def may_include(folder, target):
    if target == folder:
        return True
    if target not in FLOOR_OF:
        return folder == 'app'
    return FLOOR_OF[target] < FLOOR_OF[folder] or target in SIDEWAYS.get(folder, ())


def check_folders(root, bad):
    for folder in FOLDERS:
        for rel in sources(root, folder):
            for number, inc in includes(root, rel):
                target = folder_of(inc)
                if may_include(folder, target):
                    continue
                gate = GATES.get((folder, target))
                if gate is None:
                    bad.append('%s:%d: %s/ includes %s/ (%s)' % (rel, number, folder, target, inc))
                elif inc not in gate:
                    bad.append('%s:%d: %s/ reaches %s/ only through %s, not %s' %
                               (rel, number, folder, target, ' '.join(sorted(gate)), inc))


def check_libraries(root, bad):
    for folder in FOLDERS:
        if folder == 'host':
            continue
        for rel in sources(root, folder):
            with open(os.path.join(root, rel), encoding='utf-8', errors='replace') as f:
                for number, line in enumerate(f, 1):
                    m = LIBRARY.match(line)
                    if m:
                        bad.append('%s:%d: %s/ includes <%s>, which only host/ may' % (rel, number, folder,
                                                                                    m.group(1)))


def check_header_circles(root, bad):
    """Headers of different folders that include each other in a circle (Tarjan's strongly connected
    components over the include graph of every header)."""
    graph = {}
    for folder in FOLDERS:
        for rel in sources(root, folder):
            if rel.endswith('.h'):
                graph[rel] = [inc for _, inc in includes(root, rel)]
    index, low, stack, on_stack = {}, {}, [], set()
    counter = [0]

    def visit(v):
        index[v] = low[v] = counter[0]
        counter[0] += 1
        stack.append(v)
        on_stack.add(v)
        for w in graph[v]:
            if w not in graph:
                continue
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on_stack:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            ring = []
            while True:
                w = stack.pop()
                on_stack.discard(w)
                ring.append(w)
                if w == v:
                    break
            if len({folder_of(h) for h in ring}) > 1:
                bad.append('headers of %s include each other in a circle: %s' %
                           (' and '.join(sorted({folder_of(h) + '/' for h in ring})), ' '.join(sorted(ring))))

    sys.setrecursionlimit(max(sys.getrecursionlimit(), 10 * len(graph) + 100))
    for v in sorted(graph):
        if v not in index:
            visit(v)


def check_cycles(root, bad):
    for folder in ACYCLIC:
        edges = {}
        where = {}
        for rel in sources(root, folder):
            a = module_of(rel)
            edges.setdefault(a, set())
            for number, inc in includes(root, rel):
                if folder_of(inc) != folder:
                    continue
                b = module_of(inc)
                if b != a and b not in edges[a]:
                    edges[a].add(b)
                    where[a, b] = '%s:%d' % (rel, number)
        # Depth-first search; a grey module met again closes a circle.
        state = {}
        stack = []

        def visit(m):
            state[m] = 'grey'
            stack.append(m)
            for n in sorted(edges.get(m, ())):
                if state.get(n) == 'grey':
                    ring = stack[stack.index(n):] + [n]
                    steps = ', '.join('%s -> %s at %s' % (x, y, where[x, y]) for x, y in zip(ring, ring[1:]))
                    bad.append('%s/ modules include each other in a circle: %s' % (folder, steps))
                elif n not in state:
                    visit(n)
            stack.pop()
            state[m] = 'black'

        for m in sorted(edges):
            if m not in state:
                visit(m)


def print_order():
    for n, floor in reversed(list(enumerate(FLOORS))):
        print('%d  %s' % (n, ' '.join(f + '/' for f in floor)))
    for (folder, target), gate in sorted(GATES.items()):
        for header, reason in sorted(gate.items()):
            print('gate %s/ -> %s: %s' % (folder, header, reason))


def main(args):
    if '--order' in args:
        print_order()
        return 0
    root = next((a for a in args if not a.startswith('--')), '.')
    bad = []
    check_rules(bad)
    check_folders(root, bad)
    check_libraries(root, bad)
    check_header_circles(root, bad)
    check_cycles(root, bad)
    for line in bad:
        print(line)
    return 1 if bad else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
