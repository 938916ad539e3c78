#!/usr/bin/env python3
"""Checks which folders of the game include which.

ALLOWED states, for each folder, the folders whose headers it may include besides its own. host/ stands on
nothing of the game, core/ on host/, platform/ on core/ and host/; the subsystems above include each other
as listed. Narrower rules keep circles out:

- objects/ reaches ai/ only through GATES['objects', 'ai'] (ai/UnitAI.h), and the ai/ headers that this
  header brings in include nothing of objects/, so the two folders' headers never include each other in a
  circle;
- the modules of core/ and platform/ (a module is a header with the files named after it: Files.h,
  Files.cpp, Files_read.cpp) include each other in no circle.

The libraries that host/ stands in front of (SDL, ENet, FFmpeg) are included by host/ alone.

Prints each include that breaks a rule and fails when any does.
"""
import os
import re
import sys

GAME = {'host', 'core', 'platform', 'world', 'render', 'objects', 'vehicles/modules', 'vehicles/types', 'ai',
        'hud', 'frontend', 'net'}
ALLOWED = {
    'host': set(),
    'core': {'host'},
    'platform': {'host', 'core'},
    'world': {'host', 'core', 'platform', 'render', 'objects', 'vehicles/types', 'ai', 'hud', 'frontend', 'net'},
    'render': {'host', 'core', 'platform', 'world', 'objects', 'ai', 'hud'},
    'objects': {'host', 'core', 'platform', 'world', 'render', 'hud', 'vehicles/modules', 'ai'},
    'vehicles/modules': {'host', 'core', 'platform', 'world', 'render', 'objects', 'ai', 'hud'},
    'vehicles/types': {'host', 'core', 'platform', 'world', 'render', 'objects', 'vehicles/modules', 'ai', 'hud'},
    'ai': {'host', 'core', 'platform', 'world', 'render', 'objects', 'hud'},
    'hud': {'host', 'core', 'platform', 'world', 'render', 'objects', 'ai', 'net'},
    'frontend': {'host', 'core', 'platform', 'world', 'render', 'hud', 'net'},
    'net': {'host', 'core', 'platform', 'world', 'objects', 'ai', 'hud'},
    'app': GAME,
}
# (folder, target): the only headers of target that folder may include.
GATES = {
    ('objects', 'ai'): {'ai/UnitAI.h'},
}
# Folders whose modules must not include each other in a circle.
ACYCLIC = ['core', 'platform']

INCLUDE = re.compile(r'^\s*#\s*include\s+"([A-Za-z0-9_/]+\.h)"')
# Headers of the libraries behind host/.
LIBRARY = re.compile(r'^\s*#\s*include\s+<((?:SDL|enet/|libav|libsw)[^>]*)>')


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


def check_folders(root, bad):
    for folder, allowed in ALLOWED.items():
        for rel in sources(root, folder):
            for number, inc in includes(root, rel):
                target = folder_of(inc)
                if target == folder:
                    continue
                if target not in allowed:
                    bad.append('%s:%d: %s/ includes %s/ (%s)' % (rel, number, folder, target, inc))
                elif (folder, target) in GATES and inc not in GATES[folder, target]:
                    bad.append('%s:%d: %s/ reaches %s/ only through %s, not %s' %
                               (rel, number, folder, target, ' '.join(sorted(GATES[folder, target])), inc))


def check_libraries(root, bad):
    for folder in ALLOWED:
        if folder == 'host':
            continue
        for rel in sources(root, folder):
            with open(os.path.join(root, rel), encoding='utf-8', errors='replace') as f:
                for number, line in enumerate(f, 1):
                    m = LIBRARY.match(line)
                    if m:
                        bad.append('%s:%d: %s/ includes <%s>, which only host/ may' % (rel, number, folder,
                                                                                    m.group(1)))


def check_gates(root, bad):
    """The headers behind a gate, and the headers of the gate's folder they bring in, include nothing of
    the folder that passes the gate."""
    for (folder, target), gates in GATES.items():
        seen = set()
        todo = sorted(gates)
        while todo:
            header = todo.pop()
            if header in seen or not os.path.isfile(os.path.join(root, header)):
                continue
            seen.add(header)
            for number, inc in includes(root, header):
                if folder_of(inc) == folder:
                    bad.append('%s:%d: %s, behind the gate of %s/, includes %s' % (header, number, header,
                                                                                 folder, inc))
                elif folder_of(inc) == target:
                    todo.append(inc)


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


def main(root):
    bad = []
    check_folders(root, bad)
    check_libraries(root, bad)
    check_gates(root, bad)
    check_cycles(root, bad)
    for line in bad:
        print(line)
    return 1 if bad else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else '.'))
