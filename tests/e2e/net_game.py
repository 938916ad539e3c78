#!/usr/bin/env python3
"""A networked game of three players over UDP on 127.0.0.1: three processes of the game, headless, each in
its own copy of the demo tree ("Multiplayer" and "MPLog.txt" lie there), on a port the test picks.

The host ("Hal") opens the multiplayer screens, hosts a game on "Multi01" and reports it in its log; then
each joiner ("Ann", then "Bob") types 127.0.0.1 on the join screen, searches, and joins the game found.
Checked: every machine sees the others enter the game; chat both ways; a hostile peer (tools/netpeer
speaking the wire format) joins and sends malformed, oversized, unknown, replayed and out-of-order
messages, host-only messages as a non-host, messages for the host to a machine that is not, and a
flood: each is refused with a line in the log (the flood by cutting the peer off), and the game goes on
as the honest messages made it; a player leaving (Bob quits through the in-game menu); the host
quitting, the player that joined first (Ann) taking over, and a new player ("Cid") joining her on her
port.

The processes are kept in step by the input scripts' "wait FILE" events: the test writes the file when the
others are ready. Every wait of the test has a deadline.

usage: net_game.py KARVONEL NETPEER DEMO_DIR
"""
import os
import queue
import re
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

from demo_tree import copy_demo_tree

WAIT = 90.0  # seconds for any one expected line (a level build under the sanitizers takes a while)

# Key codes of the scripts.
LBUTTON, ESC, RETURN, T_KEY = 256, 1, 28, 20
KEY_OF = {'0': 11, '.': 52, 'h': 35, 'i': 23, 'y': 21, 'o': 24, 's': 31, 't': 20, 'l': 38}
for _d in range(1, 10):
    KEY_OF[str(_d)] = _d + 1


class Script:
    """An input script built step by step: the pointer's place (640 x 480, starting in the centre; a count
    of movement is two pixels), clicks, typing and waits."""

    def __init__(self):
        self.lines = []
        self.frame = 20
        self.x, self.y = 320, 240

    def at(self, gap):
        self.frame += gap
        return self.frame

    def move(self, x, y):
        dx, dy = (x - self.x) // 2, (y - self.y) // 2
        self.lines.append('%d move %d %d' % (self.at(2), dx, dy))
        self.x += 2 * dx
        self.y += 2 * dy

    def click(self, x, y, settle=50):
        self.move(x, y)
        f = self.at(10)
        self.lines += ['%d down %d' % (f, LBUTTON), '%d up %d' % (f + 2, LBUTTON)]
        self.at(settle)

    def key(self, code):
        f = self.at(3)
        self.lines += ['%d down %d' % (f, code), '%d up %d' % (f + 1, code)]

    def type(self, text):
        for c in text:
            self.key(KEY_OF[c])

    def wait(self, name):
        self.lines.append('%d wait %s' % (self.at(2), name))

    def chat(self, text):
        # The chat key opens the line when pressed and released within one frame (so it is not typed).
        f = self.at(5)
        self.lines += ['%d down %d' % (f, T_KEY), '%d up %d' % (f, T_KEY)]
        self.at(5)
        self.type(text)
        self.key(RETURN)

    def quit_level(self):
        # The in-game menu centres the pointer: "Quit mission", then the box's "Yes".
        self.key(ESC)
        self.at(20)
        self.x, self.y = 320, 240
        self.click(320, 372, 30)
        self.click(264, 268, 30)

    def write(self, path):
        with open(path, 'w') as f:
            f.write('\n'.join(self.lines) + '\n')


def menu_to_multiplayer(s):
    s.click(262, 411)  # main menu: "Multiplayer"


def host_script():
    s = Script()
    menu_to_multiplayer(s)
    s.click(320, 243)  # "Host a game"
    s.click(568, 435)  # "Start" on the only map, "Multi01"
    s.wait('go_chat')
    s.chat('hi')
    s.wait('go_quit')
    s.quit_level()
    s.wait('never')
    return s


def join_script(port_text, chat=None, quit=False):
    s = Script()
    menu_to_multiplayer(s)
    s.click(320, 275)  # "Join a game"
    s.click(96, 49, 10)  # the host address
    s.type('127.0.0.1')
    s.key(RETURN)
    if port_text:
        s.click(96, 89, 10)
        s.type(port_text)
        s.key(RETURN)
    s.click(292, 171, 80)  # "Search"
    s.click(568, 411)  # "Join" the game found
    if chat:
        s.wait('go_chat')
        s.chat(chat)
    if quit:
        s.wait('go_quit')
        s.quit_level()
    s.wait('never')
    return s


class Game:
    def __init__(self, karvonel, demo, work, name, port, script):
        self.name = name
        self.tree = os.path.join(work, name)
        copy_demo_tree(demo, self.tree, without_saved_games=True)
        with open(os.path.join(self.tree, 'Multiplayer'), 'w') as f:
            f.write('Playername          %s\nGamename            Duel\n' % name)
        for stale in ('MPLog.txt', 'go_chat', 'go_quit', 'never'):
            if os.path.exists(os.path.join(self.tree, stale)):
                os.remove(os.path.join(self.tree, stale))
        script_path = os.path.join(work, name + '.txt')
        script.write(script_path)
        self.proc = subprocess.Popen([karvonel, '--data', self.tree, '--headless', '--frames', '200000',
                                      '--net-port', str(port), '--input', script_path],
                                     stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, bufsize=1)
        self.out = []
        self.lock = threading.Lock()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            with self.lock:
                self.out.append(line.rstrip('\n'))

    def go(self, name):
        print('%s <- %s' % (self.name, name), flush=True)
        open(os.path.join(self.tree, name), 'w').close()

    def log(self):
        try:
            with open(os.path.join(self.tree, 'MPLog.txt'), encoding='latin-1') as f:
                return f.read()
        except FileNotFoundError:
            return ''

    def output(self):
        with self.lock:
            return '\n'.join(self.out)

    def expect(self, where, pattern, wait=WAIT):
        """Waits for a line of the log ('log') or of the output ('out') matching pattern."""
        rx = re.compile(pattern, re.M)
        deadline = time.monotonic() + wait
        while True:
            text = self.log() if where == 'log' else self.output()
            m = rx.search(text)
            if m:
                print('%s %s: %s' % (self.name, where, m.group(0)), flush=True)
                return m
            if self.proc.poll() is not None:
                raise SystemExit('%s ended (code %s) before /%s/ in its %s:\n%s\n%s' %
                                 (self.name, self.proc.returncode, pattern, where, self.output()[-3000:],
                                  self.log()[-3000:]))
            if time.monotonic() > deadline:
                raise SystemExit('TIMEOUT: %s has no /%s/ in its %s:\n%s' %
                                 (self.name, pattern, where, (text if where == 'log' else self.output())[-3000:]))
            time.sleep(0.1)

    def alive(self):
        if self.proc.poll() is not None:
            raise SystemExit('%s ended with code %s:\n%s' % (self.name, self.proc.returncode, self.output()[-3000:]))

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.wait()


class Peer:
    """tools/netpeer as the hostile machine: commands in, lines out."""

    def __init__(self, program, name):
        self.proc = subprocess.Popen([program, '--name', name, '--game', '--hex', '--largest', '4096'],
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)
        self.lines = queue.Queue()
        self.seen = []
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            self.lines.put(line.rstrip('\n'))

    def send(self, command):
        print('peer <- %s' % command[:100], flush=True)
        self.proc.stdin.write(command + '\n')
        self.proc.stdin.flush()

    def expect(self, pattern, wait=WAIT):
        rx = re.compile(pattern)
        deadline = time.monotonic() + wait
        while True:
            for i, line in enumerate(self.seen):
                m = rx.fullmatch(line)
                if m:
                    del self.seen[i]
                    return m
            left = deadline - time.monotonic()
            if left <= 0:
                raise SystemExit('TIMEOUT: the peer did not say /%s/; it said: %s' % (pattern, self.seen[-20:]))
            try:
                self.seen.append(self.lines.get(timeout=left))
            except queue.Empty:
                pass

    def stop(self):
        try:
            self.send('quit')
            self.proc.wait(timeout=10)
        except Exception:
            self.proc.kill()


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


def hexof(data):
    return data.hex()


def word(number, value):
    return struct.pack('<II', number, value & 0xFFFFFFFF)


def single_input(tick, buttons=0):
    return struct.pack('<IiIhhh6x', 0, tick, buttons, 0, 0, 0)


def chat(text):
    return struct.pack('<I', 1) + text.encode() + b'\0'


def hostile(peer, games, port):
    """The hostile peer joins and says what it should not; each machine refuses each with a log line."""
    hal, ann, bob = games
    peer.send('join 127.0.0.1 %d' % port)
    xid = int(peer.expect(r'joined (\d+) \d+').group(1))
    hal_id = int(peer.expect(r'create (\d+) 2 Hal').group(1))
    ann_id = int(peer.expect(r'create (\d+) 0 Ann').group(1))
    for g in games:
        g.expect('out', r'^message: GAMEHOST: Xena has entered the game$')
    all_to = 0
    lines = [
        # (what, bytes, target, channel, [(game, log line)])
        ('short', word(0, 1)[:7], all_to, 'reliable', 'SingleInput from %d dropped: 7 bytes' % xid),
        ('long', single_input(5) + b'\0', all_to, 'unreliable', 'SingleInput from %d dropped: 25 bytes' % xid),
        ('too long for its kind', chat('x' * 1000), all_to, 'reliable', 'Chat from %d dropped: 1005 bytes' % xid),
        ('unknown number', word(16, 0), all_to, 'reliable', 'unknown system message 16 \\(8\\)'),
        ('256 is no input', struct.pack('<I', 256) + single_input(5)[4:], all_to, 'reliable',
         'unknown system message 256 \\(24\\)'),
        ('number 7', struct.pack('<I', 7), all_to, 'reliable', 'unknown system message 7 \\(4\\)'),
        ('unterminated text', struct.pack('<I', 1) + b'hello', all_to, 'reliable',
         'Chat from %d dropped: 9 bytes' % xid),
        ('host-only as a non-host', word(9, 4), all_to, 'reliable', 'GameStatus from %d dropped: not the host' % xid),
        ('a side for everyone', struct.pack('<IIi', 13, 1, 1), all_to, 'reliable',
         'ClanAssignment from %d dropped: not the host' % xid),
    ]
    for what, data, to, channel, text in lines:
        print('hostile: %s' % what, flush=True)
        peer.send('raw %d %s %s' % (to, channel, hexof(data)))
        peer.expect(r'sent Ok')
        for g in games:
            g.expect('log', re.escape(' HandleApplMessage: ') + text)
    # For the host, to a machine that is not: Ann refuses it.
    peer.send('raw %d reliable %s' % (ann_id, hexof(word(10, 1))))
    ann.expect('log', r'WantAssign from %d dropped: this machine is not the host' % xid)
    # Out of order and replayed input: once tick 200 has been applied, tick 100 (sent before it) is late.
    peer.send('raw %d unreliable %s' % (hal_id, hexof(single_input(100))))
    peer.send('raw %d unreliable %s' % (hal_id, hexof(single_input(200))))
    time.sleep(1.0)
    peer.send('raw %d unreliable %s' % (hal_id, hexof(single_input(100))))
    hal.expect('log', r'SingleInput from %d dropped: tick 100 before 200' % xid)
    # Larger than any message: the network drops it before the game sees it; nothing changes.
    peer.send('raw %d reliable %s' % (hal_id, hexof(chat('y' * 3000))))
    peer.expect(r'sent Ok')
    # A flood: every machine cuts the peer off; the peer loses them all (or is told by the host).
    peer.send('flood 0 600 %s' % hexof(chat('flood')))
    peer.expect(r'flooded \d+')
    peer.expect(r'terminate \w+|destroy %d' % hal_id)
    for g in games:
        g.expect('out', r'^message: SYSTEM: Xena left the game$')
        g.alive()
        # No host's word came from the peer: the round status is the host's.
        if re.search(r'GAMESTATUS 4', g.log()):
            raise SystemExit('%s took a round status from the hostile peer' % g.name)


def main(karvonel, netpeer, demo):
    port = free_port()
    games = []
    peer = None
    with tempfile.TemporaryDirectory() as work:
        try:
            hal = Game(karvonel, demo, work, 'Hal', port, host_script())
            games.append(hal)
            hal.expect('log', r'HOSTSESSION 0\.0\.0\.0:%d for \d+ players' % port)
            ann = Game(karvonel, demo, work, 'Ann', port, join_script('', chat='yo'))
            games.append(ann)
            ann.expect('log', r'ENUMHOSTS Duel at 127\.0\.0\.1:%d' % port)
            ann_port = int(ann.expect('log', r'JOINSESSION 127\.0\.0\.1:%d from port (\d+)' % port).group(1))
            ann.expect('out', r'^message: GAMEHOST: Hal has entered the game$')
            hal.expect('out', r'^message: GAMEHOST: Ann has entered the game$')
            bob = Game(karvonel, demo, work, 'Bob', port, join_script('', quit=True))
            games.append(bob)
            bob.expect('log', r'JOINSESSION 127\.0\.0\.1:%d from port \d+' % port)
            for g, who in ((bob, 'Hal'), (bob, 'Ann'), (hal, 'Bob'), (ann, 'Bob')):
                g.expect('out', r'^message: GAMEHOST: %s has entered the game$' % who)

            # Chat both ways.
            ann.go('go_chat')
            for g in (hal, bob):
                g.expect('out', r'^message: Ann: yo$')
            hal.go('go_chat')
            for g in (ann, bob):
                g.expect('out', r'^message: Hal: hi$')

            peer = Peer(netpeer, 'Xena')
            hostile(peer, (hal, ann, bob), port)

            # A player leaves.
            bob.go('go_quit')
            for g in (hal, ann):
                g.expect('out', r'^message: SYSTEM: Bob left the game$')
            # Its goodbye, sent just before it closed, reached the host before its leaving did.
            hal.expect('log', r'BYEBYE \d+')

            # The host quits: Ann, who joined first, takes over; a new player joins her on her port.
            hal.go('go_quit')
            ann.expect('out', r'^message: SYSTEM: Hal left the game$')
            ann.expect('out', r'^message: SYSTEM: Ann is new host$')
            cid = Game(karvonel, demo, work, 'Cid', port, join_script(str(ann_port)))
            games.append(cid)
            cid.expect('log', r'JOINSESSION 127\.0\.0\.1:%d from port \d+' % ann_port)
            cid.expect('out', r'^message: GAMEHOST: Ann has entered the game$')
            ann.expect('out', r'^message: GAMEHOST: Cid has entered the game$')
            ann.alive()
            print('networked game: all checks passed')
        finally:
            if peer:
                peer.stop()
            for g in games:
                g.stop()


if __name__ == '__main__':
    main(*sys.argv[1:4])
