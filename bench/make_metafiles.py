#!/usr/bin/python3
"""Makes EMF pictures that measure the metafile drawing: an ordinary sampler, and hostile
pictures that ask for much drawing from few bytes.

  make_metafiles.py OUT_DIR

Every picture is an 8 x 8 inch page (2400 x 2400 pixels at 300 dpi) over a reference device
of 1000 x 1000 pixels on 100 x 100 mm, so a device unit is 0.1 mm. Convert them with
`quillmere-bench convert --out DIR OUT_DIR/*.emf`. Needs only the standard library.
"""
import math
import os
import struct
import sys

SIDE = 2032  # device units: 8 inches at 0.1 mm


class Emf:
    def __init__(self, side=SIDE):
        self.side = side
        self.records = []

    def rec(self, kind, body=b""):
        body += b"\0" * (-len(body) % 4)
        self.records.append(struct.pack("<II", kind, 8 + len(body)) + body)

    def ints(self, kind, *values):
        self.rec(kind, struct.pack("<%di" % len(values), *values))

    # objects and state
    def pen(self, index, style, width, colour):
        self.ints(38, index, style, width, 0, colour)
        self.ints(37, index)

    def ext_pen(self, index, style, width, colour, dashes=()):
        body = struct.pack("<9I", index, 0, 0, 0, 0, style, width, 0, colour)
        body += struct.pack("<II", 0, len(dashes)) + struct.pack("<%dI" % len(dashes), *dashes)
        self.rec(95, body)
        self.ints(37, index)

    def brush(self, index, colour, style=0, hatch=0):
        self.ints(39, index, style, colour, hatch)
        self.ints(37, index)

    def font(self, index, height, face="Arial", escapement=0):
        name = face.encode("utf-16-le")[:62]
        body = struct.pack("<I5i8B", index, height, 0, escapement, escapement, 400, 0, 0, 0, 0, 0, 0, 0, 0)
        body += name + b"\0" * (64 - len(name))
        self.rec(82, body)
        self.ints(37, index)

    # drawing
    def polygon(self, points, kind=3):
        body = struct.pack("<4iI", 0, 0, self.side, self.side, len(points))
        body += b"".join(struct.pack("<ii", int(x), int(y)) for x, y in points)
        self.rec(kind, body)

    def polyline(self, points):
        self.polygon(points, 4)

    def polybezier(self, points):
        self.polygon(points, 2)

    def text(self, x, y, string, dx=None):
        chars = string.encode("utf-16-le")
        n = len(string)
        off_string = 8 + 16 + 12 + 40
        off_dx = off_string + len(chars) + (-len(chars) % 4)
        body = struct.pack("<4iIff", 0, 0, self.side, self.side, 1, 1.0, 1.0)
        body += struct.pack("<iiIII4iI", x, y, n, off_string, 0, 0, 0, 0, 0, off_dx if dx else 0)
        body += chars + b"\0" * (-len(chars) % 4)
        if dx:
            body += struct.pack("<%di" % n, *dx)
        self.rec(84, body)

    def stretch_dib(self, x, y, w, h, pixels_w, pixels_h, colour=0x3366CC):
        bmi = struct.pack("<IiiHHIIiiII", 40, pixels_w, pixels_h, 1, 24, 0, 0, 0, 0, 0, 0)
        stride = (pixels_w * 3 + 3) // 4 * 4
        row = struct.pack("<BBB", colour & 0xFF, colour >> 8 & 0xFF, colour >> 16 & 0xFF) * pixels_w
        bits = (row + b"\0" * (stride - len(row))) * pixels_h
        head = 8 + 16 + 4 * 14
        body = struct.pack("<4i", 0, 0, self.side, self.side)
        body += struct.pack("<6i4IIIii", x, y, 0, 0, pixels_w, pixels_h, head, len(bmi), head + len(bmi),
                            len(bits), 0, 0x00CC0020, w, h)
        self.rec(81, body + bmi + bits)

    def write(self, path):
        frame = self.side * 10  # 0.01 mm
        body = b"".join(self.records) + struct.pack("<IIIII", 14, 20, 0, 16, 20)
        header = struct.pack("<II4i4i", 1, 88, 0, 0, self.side - 1, self.side - 1, 0, 0, frame, frame)
        header += struct.pack("<IIIIHHIII", 0x464D4520, 0x10000, 88 + len(body), len(self.records) + 2,
                              256, 0, 0, 0, 0)
        header += struct.pack("<4i", 1000, 1000, 100, 100)
        with open(path, "wb") as f:
            f.write(header + body)


def star(cx, cy, r, n, step):
    """A closed path through n points of a circle, `step` apart: self-crossing everywhere."""
    return [(cx + r * math.cos(2 * math.pi * (i * step % n) / n), cy + r * math.sin(2 * math.pi * (i * step % n) / n))
            for i in range(n)]


def comb(teeth, side):
    pts = []
    w = side / (2 * teeth)
    for i in range(teeth):
        x = i * 2 * w
        pts += [(x, side), (x, 0), (x + w, 0), (x + w, side)]
    return pts


def zigzag(n, side):
    return [(side * i / n, 0 if i % 2 else side) for i in range(n + 1)]


def sampler(path):
    e = Emf()
    e.pen(1, 0, 20, 0x000000)
    e.brush(2, 0x0000FF)  # red
    e.ints(43, 100, 100, 900, 700)  # RECTANGLE
    e.brush(3, 0xFF0000)  # blue
    e.ints(42, 1000, 100, 1900, 700)  # ELLIPSE
    e.brush(4, 0x00AA00, 2, 5)  # green hatched
    e.polygon(star(500, 1300, 400, 5, 2))
    e.ints(19, 2)  # SETPOLYFILLMODE winding
    e.brush(5, 0x00FFFF)  # yellow
    e.polygon(star(1450, 1300, 400, 5, 2))
    e.ext_pen(6, 0x00010000 | 0x00002000 | 1, 30, 0x800080)  # geometric dashed purple
    e.polyline([(100, 1800), (900, 1900), (1900, 1750)])
    e.font(7, -120, "Times New Roman")
    e.ints(24, 0x000000)
    e.ints(18, 1)  # transparent
    e.text(200, 1900, "Quillmere EMF")
    e.stretch_dib(1500, 1850, 300, 150, 4, 2, 0x33CC66)
    e.write(path)


def hostile(out):
    made = {}

    e = Emf()  # one polygon of 100,000 points crossing itself all over the page
    e.brush(1, 0x0000FF)
    e.polygon(star(1016, 1016, 1000, 100003, 49999))
    made["star-100k"] = e

    e = Emf()  # 1000 polygons of 1000 self-crossing points
    e.brush(1, 0x0000FF)
    for i in range(1000):
        e.polygon(star(1016, 1016, 1000, 1009, 503 + i % 7))
    made["stars-1000x1000"] = e

    e = Emf()  # a comb of 20,000 teeth, filled, 100 times
    e.brush(1, 0x00AA00)
    for _ in range(100):
        e.polygon(comb(20000, SIDE))
    made["comb-20000x100"] = e

    e = Emf()  # a 3-pixel-wide polyline of 100,000 points across the page
    e.pen(1, 0, 3, 0x000000)
    e.polyline(zigzag(100000, SIDE))
    made["wide-polyline-100k"] = e

    e = Emf()  # a 100-pixel-wide polyline of 10,000 points, 100 times
    e.pen(1, 0, 100, 0x000000)
    for _ in range(100):
        e.polyline(zigzag(10000, SIDE))
    made["wider-polyline-10kx100"] = e

    e = Emf()  # dashed geometric pen with dashes of one unit, over a long zigzag
    e.ext_pen(1, 0x00010000 | 7, 5, 0x000000, (1, 1))
    for _ in range(100):
        e.polyline(zigzag(2000, SIDE))
    made["dashed-pen"] = e

    e = Emf()  # cosmetic dotted pen over many long lines
    e.pen(1, 2, 0, 0x000000)
    for _ in range(1000):
        e.polyline(zigzag(2000, SIDE))
    made["dotted-cosmetic"] = e

    e = Emf()  # text half a metre high, many times
    e.font(1, -5000)
    for _ in range(2000):
        e.text(0, 0, "WMWMWMWMWMWMWMWMWMWM")
    made["huge-text"] = e

    e = Emf()  # 10,000 characters, each placed by its own advance
    e.font(1, -200)
    s = "Quillmere " * 1000
    for _ in range(100):
        e.text(0, 1000, s, [1] * len(s))
    made["long-text"] = e

    e = Emf()  # a 1000 x 1000 bitmap stretched over the page, 2000 times
    for _ in range(2000):
        e.stretch_dib(0, 0, SIDE, SIDE, 64, 64)
    made["stretched-bitmaps"] = e

    e = Emf()  # SaveDC a million times
    for _ in range(1000000):
        e.rec(33)
    made["savedc-1m"] = e

    e = Emf()  # an ellipse reaching far beyond the page, many times
    e.brush(1, 0xFF0000)
    for _ in range(1000):
        e.ints(42, -2000000000, -2000000000, 2000000000, 12)
    made["far-ellipses"] = e

    e = Emf()  # beziers of 30,001 points whose control points swing far off the page
    e.brush(1, 0xFF0000)
    pts = [(1016, 1016)]
    for i in range(10000):
        pts += [(-1000000 if i % 2 else 1000000, -1000000), (1000000 if i % 2 else -1000000, 3000000), (1016 + i % 50, 1016)]
    for _ in range(10):
        e.polybezier(pts)
    made["bezier-swing"] = e

    e = Emf()  # a clip region of 100,000 rectangles, used for 1000 fills
    n = 100000
    rgn = struct.pack("<IIII4i", 32, 1, n, 16 * n, 0, 0, SIDE, SIDE)
    for i in range(n):
        x = (i * 7) % SIDE
        y = (i * 13) % SIDE
        rgn += struct.pack("<4i", x, y, x + 3, y + 2)
    e.rec(75, struct.pack("<II", len(rgn), 5) + rgn)
    e.brush(1, 0x0000FF)
    for _ in range(1000):
        e.ints(43, 0, 0, SIDE, SIDE)
    made["clip-region-100k"] = e

    e = Emf()  # world transform scaling a unit square onto the page, rotated, many rectangles
    e.rec(35, struct.pack("<6f", 1000.0, 300.0, -300.0, 1000.0, 0.0, 0.0))
    e.brush(1, 0x0000FF)
    for _ in range(10000):
        e.ints(43, -1, -1, 3, 3)
    made["rotated-rectangles"] = e

    for name, emf in made.items():
        emf.write(os.path.join(out, name + ".emf"))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    sampler(os.path.join(out, "sampler.emf"))
    os.makedirs(os.path.join(out, "hostile"), exist_ok=True)
    hostile(os.path.join(out, "hostile"))


if __name__ == "__main__":
    main()
