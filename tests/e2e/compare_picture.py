#!/usr/bin/env python3
"""Compares a 24-bit BMP snapshot with a reference picture (binary PPM) block by block.

The snapshot is reduced to blocks of 4 x 4 pixels (their mean colour) so that small differences in glyph
rasterisation do not count; it passes when the mean absolute difference of all block channels is at most
MEAN and at least 98 % of the blocks lie within BLOCK of the reference in every channel.
With --write the reduced snapshot becomes the reference.
"""
import struct
import sys

MEAN = 6.0
BLOCK = 48
SHARE = 0.98


def read_bmp(path):
    d = open(path, 'rb').read()
    if d[:2] != b'BM':
        raise SystemExit('%s: not a bitmap' % path)
    off = struct.unpack_from('<I', d, 10)[0]
    w, h = struct.unpack_from('<ii', d, 18)
    bpp = struct.unpack_from('<H', d, 28)[0]
    if bpp != 24:
        raise SystemExit('%s: %d bits per pixel' % (path, bpp))
    stride = (w * 3 + 3) & ~3
    rows = []
    for y in range(abs(h)):
        sy = abs(h) - 1 - y if h > 0 else y
        r = d[off + sy * stride: off + sy * stride + w * 3]
        rows.append([(r[3 * x + 2], r[3 * x + 1], r[3 * x]) for x in range(w)])
    return w, abs(h), rows


def reduce(w, h, rows):
    bw, bh = w // 4, h // 4
    out = bytearray()
    for by in range(bh):
        for bx in range(bw):
            acc = [0, 0, 0]
            for y in range(by * 4, by * 4 + 4):
                for x in range(bx * 4, bx * 4 + 4):
                    p = rows[y][x]
                    for c in range(3):
                        acc[c] += p[c]
            out += bytes(a // 16 for a in acc)
    return bw, bh, bytes(out)


def read_ppm(path):
    d = open(path, 'rb').read()
    parts = d.split(b'\n', 3)
    if parts[0] != b'P6':
        raise SystemExit('%s: not a binary PPM' % path)
    w, h = map(int, parts[1].split())
    return w, h, parts[3][:w * h * 3]


def main():
    args = sys.argv[1:]
    write = '--write' in args
    args = [a for a in args if a != '--write']
    snapshot, reference = args
    bw, bh, blocks = reduce(*read_bmp(snapshot))
    if write:
        open(reference, 'wb').write(b'P6\n%d %d\n255\n' % (bw, bh) + blocks)
        return 0
    rw, rh, ref = read_ppm(reference)
    if (rw, rh) != (bw, bh):
        print('size %dx%d differs from the reference %dx%d' % (bw * 4, bh * 4, rw * 4, rh * 4))
        return 1
    total = sum(abs(a - b) for a, b in zip(blocks, ref))
    mean = total / len(ref)
    close = sum(1 for i in range(0, len(ref), 3)
                if all(abs(blocks[i + c] - ref[i + c]) <= BLOCK for c in range(3)))
    share = close / (len(ref) // 3)
    print('mean difference %.2f (at most %.1f), blocks within %d: %.1f %% (at least %.0f %%)'
          % (mean, MEAN, BLOCK, share * 100, SHARE * 100))
    return 0 if mean <= MEAN and share >= SHARE else 1


if __name__ == '__main__':
    sys.exit(main())
