#!/usr/bin/env python3
"""Draw the Kestrune app icon and write it as a multi-size Windows .ico.

Usage: python3 tools/make_icon.py OUTPUT.ico [--png DIR]

Only the standard library is used so the icon can be rebuilt anywhere.
Output is deterministic: the same script always yields the same bytes.
"""

import argparse
import math
import os
import struct
import sys
import zlib

SIZES = (16, 24, 32, 48, 64, 128, 256)

# Palette (straight, non-premultiplied RGB).
CARD_TOP = (0x17, 0x6B, 0x73)
CARD_BOTTOM = (0x0A, 0x36, 0x3D)
RIM = (0x2A, 0x8C, 0x93)
STEM_ARM = (0xEE, 0xF6, 0xF3)
LEG = (0xF2, 0xA5, 0x41)  # kestrel-rufous accent


def _seg_dist2(px, py, ax, ay, bx, by):
    """Squared distance from point to segment AB."""
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = 0.0 if t < 0.0 else (1.0 if t > 1.0 else t)
    qx, qy = ax + t * dx - px, ay + t * dy - py
    return qx * qx + qy * qy


class Design:
    """Geometry for one icon size, in pixel units.

    Straight edges are snapped to whole pixels so small sizes stay crisp;
    the stroke gets relatively heavier at small sizes to stay legible.
    """

    def __init__(self, s):
        self.s = s
        margin = 0 if s <= 16 else max(1, round(s / 32))
        self.c0 = margin
        self.c1 = s - margin
        self.radius = (self.c1 - self.c0) * 0.22
        # 1px highlight rim only where it reads as detail, not noise.
        self.rim = s / 128.0 if s >= 48 else 0.0

        w = max(2, round(s * (0.17 if s <= 24 else 0.14)))
        self.w = w
        self.top = round(s * (0.19 if s <= 24 else 0.23))
        self.bottom = s - self.top
        self.x0 = round(s * 0.30)
        self.x1 = self.x0 + w

        h2 = (w / 2.0) ** 2
        self.h2 = h2
        # Upper arm: from the stem's centre line up to the top right,
        # extended past the top so the band crop makes a clean flat cut.
        ax, ay = self.x0 + w / 2.0, s * 0.64
        bx, by = s * 0.71, self.top
        ux, uy = bx - ax, by - ay
        n = math.hypot(ux, uy)
        ext = w * 1.5
        self.arm = (ax, ay, bx + ux / n * ext, by + uy / n * ext)
        # Lower leg starts on the arm and runs down to the bottom right.
        t = 0.42
        cx, cy = ax + ux * t, ay + uy * t
        dx, dy = s * 0.73, self.bottom
        vx, vy = dx - cx, dy - cy
        m = math.hypot(vx, vy)
        self.leg = (cx, cy, dx + vx / m * ext, dy + vy / m * ext)

    def card(self, x, y):
        """Return 0 outside, 1 in the rim, 2 inside the card body."""
        c0, c1, r = self.c0, self.c1, self.radius
        if x < c0 or x > c1 or y < c0 or y > c1:
            return 0
        dx = max(c0 + r - x, x - (c1 - r), 0.0)
        dy = max(c0 + r - y, y - (c1 - r), 0.0)
        d2 = dx * dx + dy * dy
        if d2 > r * r:
            return 0
        if self.rim:
            # Distance to the edge of the rounded rectangle.
            if dx > 0.0 and dy > 0.0:
                edge = r - math.sqrt(d2)
            else:
                edge = min(x - c0, c1 - x, y - c0, c1 - y)
            if edge < self.rim and y < (c0 + c1) / 2.0:
                return 1
        return 2

    def glyph(self, x, y):
        """Return the colour of the letter at (x, y), or None."""
        if y < self.top or y > self.bottom:
            return None
        if self.x0 <= x <= self.x1:
            return STEM_ARM
        if _seg_dist2(x, y, *self.arm) <= self.h2:
            return STEM_ARM
        if _seg_dist2(x, y, *self.leg) <= self.h2:
            return LEG
        return None

    def sample(self, x, y):
        """Straight RGBA (floats, alpha 0..1) at a sample point."""
        c = self.card(x, y)
        if c == 0:
            return None
        g = self.glyph(x, y)
        if g is not None:
            return g
        if c == 1:
            return RIM
        t = (y - self.c0) / float(self.c1 - self.c0)
        return tuple(a + (b - a) * t for a, b in zip(CARD_TOP, CARD_BOTTOM))


def render(s):
    """Render one size to a list of rows of (r, g, b, a) byte tuples."""
    d = Design(s)
    ss = 8 if s <= 48 else (6 if s <= 128 else 4)
    offs = [(i + 0.5) / ss for i in range(ss)]
    n = float(ss * ss)
    rows = []
    for py in range(s):
        row = []
        for px in range(s):
            ar = ag = ab = 0.0
            cov = 0
            for oy in offs:
                y = py + oy
                for ox in offs:
                    c = d.sample(px + ox, y)
                    if c is not None:
                        ar += c[0]
                        ag += c[1]
                        ab += c[2]
                        cov += 1
            if cov == 0:
                row.append((0, 0, 0, 0))
            else:
                # Samples are opaque, so the mean of covered ones is the
                # straight colour and coverage is alpha.
                row.append((int(ar / cov + 0.5), int(ag / cov + 0.5),
                            int(ab / cov + 0.5), int(cov * 255 / n + 0.5)))
        rows.append(row)
    return rows


def encode_png(rows):
    s_h = len(rows)
    s_w = len(rows[0])
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for p in row:
            raw.extend(p)

    def chunk(tag, data):
        body = tag + data
        return struct.pack(">I", len(data)) + body + struct.pack(
            ">I", zlib.crc32(body) & 0xFFFFFFFF)

    ihdr = struct.pack(">IIBBBBB", s_w, s_h, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def encode_dib(rows):
    h = len(rows)
    w = len(rows[0])
    xor = bytearray()
    for row in reversed(rows):  # DIBs are stored bottom-up
        for r, g, b, a in row:
            xor.extend((b, g, r, a))
    stride = ((w + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                line[x >> 3] |= 0x80 >> (x & 7)
        mask.extend(line)
    # biHeight covers both the colour and the mask planes.
    header = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 32, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + bytes(mask)


def build_ico(images):
    """images: list of (size, payload bytes)."""
    count = len(images)
    out = bytearray(struct.pack("<HHH", 0, 1, count))
    offset = 6 + 16 * count
    for s, data in images:
        dim = 0 if s >= 256 else s
        out.extend(struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32,
                               len(data), offset))
        offset += len(data)
    for _, data in images:
        out.extend(data)
    return bytes(out)


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("output", help="path of the .ico to write")
    ap.add_argument("--png", metavar="DIR",
                    help="also write each size as DIR/icon_<N>.png")
    args = ap.parse_args(argv)

    images = []
    for s in SIZES:
        rows = render(s)
        # Vista+ reads PNG entries; 256px as PNG keeps the file small.
        payload = encode_png(rows) if s >= 256 else encode_dib(rows)
        images.append((s, payload))
        if args.png:
            os.makedirs(args.png, exist_ok=True)
            with open(os.path.join(args.png, "icon_%d.png" % s), "wb") as f:
                f.write(encode_png(rows))

    data = build_ico(images)
    parent = os.path.dirname(os.path.abspath(args.output))
    os.makedirs(parent, exist_ok=True)
    with open(args.output, "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
