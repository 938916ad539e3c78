#!/usr/bin/env python3
"""Peers of the network layer as separate processes over UDP on 127.0.0.1 (tools/netpeer).

The host takes a free port and says which; the others start once it has. Checked: a search at the host's
address and port finds it with its session data; two joiners connect to the host and to each other with
distinct identifiers; messages go to one and to all on both channels; a player leaving is reported to the
others; the host quitting hands over to the player with the lowest identifier, which takes a new joiner;
a join with another application or another version is refused. Every wait has a deadline.

usage: net_session.py NETPEER
"""
import queue
import re
import subprocess
import sys
import threading
import time

WAIT = 15.0  # seconds for any one expected line


class Peer:
    def __init__(self, program, name, *options):
        self.name = name
        self.proc = subprocess.Popen([program, '--name', name, *options], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, text=True, bufsize=1)
        self.lines = queue.Queue()
        self.seen = []  # lines read and not yet matched
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            self.lines.put(line.rstrip('\n'))

    def send(self, command):
        print('%s <- %s' % (self.name, command), flush=True)
        self.proc.stdin.write(command + '\n')
        self.proc.stdin.flush()

    def expect(self, pattern, wait=WAIT):
        """The first line (in order) that matches; fails after the deadline."""
        rx = re.compile(pattern)
        deadline = time.monotonic() + wait
        while True:
            for i, line in enumerate(self.seen):
                m = rx.fullmatch(line)
                if m:
                    del self.seen[i]
                    print('%s -> %s' % (self.name, line), flush=True)
                    return m
            left = deadline - time.monotonic()
            if left <= 0:
                raise SystemExit('TIMEOUT: %s did not say /%s/; it said: %s' % (self.name, pattern, self.seen))
            try:
                self.seen.append(self.lines.get(timeout=left))
            except queue.Empty:
                pass

    def quit(self):
        try:
            self.send('quit')
            self.proc.wait(timeout=WAIT)
        except Exception:
            self.proc.kill()


def main(program):
    peers = []

    def peer(name, *options):
        p = Peer(program, name, *options)
        peers.append(p)
        return p

    try:
        hal = peer('Hal')
        hal.send('host 0')
        port = int(hal.expect(r'hosting (\d+)').group(1))
        hal.expect(r'create 1 3 Hal')

        # The search at the host's address finds it and its session data.
        ann = peer('Ann')
        ann.send('search 127.0.0.1 %d 600' % port)
        ann.expect(r'found Duel 1 127\.0\.0\.1:%d deadbeef' % port)
        ann.expect(r'searched 1')

        # Two joiners: distinct identifiers, each connected to the host and to the other.
        ann.send('join 127.0.0.1 %d' % port)
        ann_id, ann_port = map(int, ann.expect(r'joined (\d+) (\d+)').groups())
        ann.expect(r'create %d 1 Ann' % ann_id)
        ann.expect(r'create 1 2 Hal')
        hal.expect(r'create %d 0 Ann' % ann_id)
        bob = peer('Bob')
        bob.send('join 127.0.0.1 %d' % port)
        bob_id = int(bob.expect(r'joined (\d+) \d+').group(1))
        assert len({1, ann_id, bob_id}) == 3 and 0 not in (ann_id, bob_id), (ann_id, bob_id)
        bob.expect(r'create %d 1 Bob' % bob_id)
        bob.expect(r'create 1 2 Hal')
        bob.expect(r'create %d 0 Ann' % ann_id)
        ann.expect(r'create %d 0 Bob' % bob_id)
        hal.expect(r'create %d 0 Bob' % bob_id)

        # To one and to all, on both channels (the sender gets its own copy of a message to all).
        ann.send('send %d reliable hello bob' % bob_id)
        bob.expect(r'recv %d reliable hello bob' % ann_id)
        ann.send('send 1 unreliable hello hal')
        hal.expect(r'recv %d unreliable hello hal' % ann_id)
        bob.send('send 0 reliable bob to all')
        for p in (hal, ann, bob):
            p.expect(r'recv %d reliable bob to all' % bob_id)
        # Unreliable may be lost: sent until it arrives everywhere.
        got = set()
        for attempt in range(20):
            hal.send('send 0 unreliable hal to all %d' % attempt)
            for p in (hal, ann, bob):
                if p.name in got:
                    continue
                try:
                    p.expect(r'recv 1 unreliable hal to all \d+', wait=1.0)
                    got.add(p.name)
                except SystemExit:
                    pass
            if len(got) == 3:
                break
        assert len(got) == 3, got

        # A player leaves: the others are told.
        bob.send('close')
        bob.expect('closed')
        hal.expect(r'destroy %d' % bob_id)
        ann.expect(r'destroy %d' % bob_id)

        # A third joiner, then the host quits: the lowest identifier left (Ann's) is the new host everywhere.
        cid = peer('Cid')
        cid.send('join 127.0.0.1 %d' % port)
        cid_id = int(cid.expect(r'joined (\d+) \d+').group(1))
        assert cid_id not in (1, ann_id, bob_id), cid_id
        ann.expect(r'create %d 0 Cid' % cid_id)
        hal.send('close')
        hal.expect('closed')
        for p in (ann, cid):
            p.expect(r'destroy 1')
            p.expect(r'migrate %d' % ann_id)
        # The new host takes a joiner on its own port.
        dan = peer('Dan')
        dan.send('join 127.0.0.1 %d' % ann_port)
        dan_id = int(dan.expect(r'joined (\d+) \d+').group(1))
        assert dan_id not in (1, ann_id, bob_id, cid_id), dan_id
        dan.expect(r'create %d 2 Ann' % ann_id)
        dan.expect(r'create %d 0 Cid' % cid_id)
        cid.expect(r'create %d 0 Dan' % dan_id)

        # Another application, another version: refused.
        eve = peer('Eve', '--other-application')
        eve.send('join 127.0.0.1 %d' % ann_port)
        eve.expect(r'join-failed InvalidApplication')
        fay = peer('Fay', '--version', '99')
        fay.send('join 127.0.0.1 %d' % ann_port)
        fay.expect(r'join-failed InvalidVersion')
        print('net session: all checks passed')
    finally:
        for p in peers:
            p.quit()


if __name__ == '__main__':
    main(sys.argv[1])
