#!/usr/bin/env python3
"""Checks that each layer includes only itself and the layers below it.

host/ stands on nothing of the game, core/ on host/, platform/ on core/ and host/; the subsystems above
may include each other and everything below. Prints each include that runs upward and fails when any does.
"""
import os
import re
import sys

ALLOWED = {
    'host': {'host'},
    'core': {'host', 'core'},
    'platform': {'host', 'core', 'platform'},
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/')


def main(root):
    bad = []
    for layer, allowed in ALLOWED.items():
        for folder, _, files in os.walk(os.path.join(root, layer)):
            for name in sorted(files):
                if not name.endswith(('.h', '.cpp')):
                    continue
                path = os.path.join(folder, name)
                with open(path, encoding='utf-8', errors='replace') as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if m and m.group(1) not in allowed:
                            bad.append('%s:%d: %s includes %s/' % (os.path.relpath(path, root), number, layer,
                                                                   m.group(1)))
    for line in bad:
        print(line)
    return 1 if bad else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else '.'))
