#!/usr/bin/env python3
"""Draws the busy hourglass and writes it as an animated cursor (RIFF "ACON").

    python3 assets/cursor/make_hourglass.py [output]   (default: hourglass.ani beside this script)

Fifteen 32 x 32, 16-colour cursor frames with the hot spot at (16, 15):
frame 0 holds all the sand in the upper bulb, frames 1-10 let it run through
the neck, frame 11 has it all below (shown longest), frames 12-14 turn the glass
over in 45 degree steps so that frame 0 follows naturally.

Standard library only, and the output is byte-for-byte reproducible, so the
committed hourglass.ani can always be checked against this script.
"""

import math
import os
import struct
import sys

SIZE = 32
HOT_X, HOT_Y = 16, 15  # the neck of the glass; the picture is centred on it
FRAMES = 15
DEFAULT_RATE = 14  # jiffies (1/60 s)
RATES = [14] * 11 + [40, 5, 5, 5]

# The frame's own palette (16 entries; index 0 is the transparent colour).
BLACK, WHITE, GLASS, GLASS_SHADE, SAND, SAND_SHADE, WOOD, WOOD_SHADE, WOOD_LIGHT = range(9)
PALETTE = [
    (0, 0, 0), (255, 255, 255), (214, 232, 246), (160, 192, 218),
    (244, 200, 96), (196, 140, 44), (150, 92, 42), (96, 56, 22),
    (196, 134, 72), (64, 64, 64), (128, 128, 128), (192, 192, 192),
    (0, 0, 128), (0, 128, 0), (128, 0, 0), (128, 128, 0),
]

# Materials of the upright glass, before the outline is drawn.
EMPTY, CAP, WALL, SAND_M, STREAM = range(5)

NECK_ROWS = 10  # glass rows on each side of the neck row
CAP_HALF = 9  # half width of the wooden caps
# Half width of the glass by distance from the neck: narrow neck, round bulbs.
HALF_WIDTH = [1, 2, 3, 4, 5, 6, 7, 7, 7, 7, 7]


def upright_shape():
    """Material map of the empty upright glass, in glass coordinates (u, v) = (x - 16, y - 15)."""
    shape = {}
    for v in range(-13, 14):
        for u in range(-CAP_HALF, CAP_HALF + 1):
            a = abs(v)
            if a > NECK_ROWS:
                if not (a == 13 and abs(u) == CAP_HALF):  # rounded corners
                    shape[(u, v)] = CAP
            elif abs(u) <= HALF_WIDTH[a]:
                shape[(u, v)] = WALL
    return shape


def interior(shape):
    """Glass cells that are not on the rim: the room the sand can take."""
    cells = []
    for (u, v), m in shape.items():
        if m != WALL:
            continue
        if all(shape.get((u + du, v + dv), EMPTY) == WALL for du, dv in ((1, 0), (-1, 0), (0, 1), (0, -1))):
            cells.append((u, v))
    return cells


def sand_cells(inside, grains_top, grains_bottom):
    """Puts grains_top grains in the upper bulb and grains_bottom in the lower one.

    The upper heap sinks row by row, the lower one grows from the floor up; a part
    row sits in the middle of its row so that no lone grains cling to the glass.
    """
    upper = [c for c in inside if c[1] <= 0]
    lower = [c for c in inside if c[1] > 0]
    # Upper bulb: rows nearest the neck first.
    upper.sort(key=lambda c: (-c[1], abs(c[0])))
    upper_filled = upper[:grains_top]
    # Lower bulb: from the floor up; within a row the middle first.
    lower.sort(key=lambda c: (-c[1], abs(c[0])))
    lower_filled = lower[:grains_bottom]
    return set(upper_filled) | set(lower_filled)


def frame_materials(grains_top, grains_bottom, running, angle):
    """Material per screen pixel: the glass in glass coordinates, turned by `angle` degrees."""
    shape = upright_shape()
    inside = interior(shape)
    for c in sand_cells(inside, grains_top, grains_bottom):
        shape[c] = SAND_M
    if running:
        # The thin stream from the neck down to the top of the lower heap.
        floor = min((v for (u, v), m in shape.items() if m == SAND_M and v > 0 and u == 0), default=NECK_ROWS)
        for v in range(0, floor):
            if shape.get((0, v)) == WALL:
                shape[(0, v)] = STREAM
    out = [[EMPTY] * SIZE for _ in range(SIZE)]
    cos_t, sin_t = math.cos(math.radians(angle)), math.sin(math.radians(angle))
    for y in range(SIZE):
        for x in range(SIZE):
            dx, dy = x - HOT_X, y - HOT_Y
            # Inverse rotation, nearest cell of the upright glass.
            u = round(cos_t * dx + sin_t * dy)
            v = round(-sin_t * dx + cos_t * dy)
            out[y][x] = shape.get((u, v), EMPTY)
    return out


def colour_frame(mat, turned):
    """Palette index per pixel, with a black rim and simple shading for depth.

    A turned glass has stair-step edges, so its rim is found through diagonal
    neighbours too; otherwise the outline would break up into dashes.
    """
    def at(x, y):
        return mat[y][x] if 0 <= x < SIZE and 0 <= y < SIZE else EMPTY

    pix = [[BLACK] * SIZE for _ in range(SIZE)]
    for y in range(SIZE):
        for x in range(SIZE):
            m = mat[y][x]
            if m == EMPTY:
                continue
            near = [at(x + 1, y), at(x - 1, y), at(x, y + 1), at(x, y - 1)]
            if turned:
                near += [at(x + 1, y + 1), at(x - 1, y - 1), at(x - 1, y + 1), at(x + 1, y - 1)]
            if EMPTY in near or (m != CAP and CAP in near):
                pix[y][x] = BLACK
            elif m == CAP:
                # Lit from the upper left.
                pix[y][x] = WOOD_LIGHT if EMPTY in (at(x - 1, y - 1), at(x, y - 2)) else (
                    WOOD_SHADE if EMPTY in (at(x + 1, y + 1), at(x, y + 2)) else WOOD)
            elif m in (SAND_M, STREAM):
                pix[y][x] = SAND_SHADE if at(x + 1, y) != m and at(x + 1, y) != SAND_M else SAND
            else:
                left_rim = at(x - 1, y) == EMPTY or at(x - 2, y) == EMPTY
                right_rim = at(x + 2, y) == EMPTY
                pix[y][x] = WHITE if left_rim else (GLASS_SHADE if right_rim else GLASS)
    return pix, [[mat[y][x] == EMPTY for x in range(SIZE)] for y in range(SIZE)]


def cur_file(pix, transparent):
    """One 32 x 32, 4 bits per pixel cursor (.cur) image: 766 bytes."""
    xor_stride, and_stride = SIZE // 2, SIZE // 8
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0,
                         (xor_stride + and_stride) * SIZE, 0, 0, 0, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    xor_rows, and_rows = [], []
    for y in reversed(range(SIZE)):  # bottom-up rows
        row = bytearray(xor_stride)
        mask = bytearray(and_stride)
        for x in range(SIZE):
            index = BLACK if transparent[y][x] else pix[y][x]
            row[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if transparent[y][x]:
                mask[x // 8] |= 0x80 >> (x % 8)
        xor_rows.append(bytes(row))
        and_rows.append(bytes(mask))
    image = header + palette + b"".join(xor_rows) + b"".join(and_rows)
    directory = struct.pack("<HHH", 0, 2, 1) + struct.pack(
        "<BBBBHHII", SIZE, SIZE, 16, 0, HOT_X, HOT_Y, len(image), 22)
    return directory + image


def chunk(tag, data):
    return tag + struct.pack("<I", len(data)) + data + (b"\0" if len(data) % 2 else b"")


def frames():
    inside = interior(upright_shape())
    upper_room = len([c for c in inside if c[1] <= 0])
    grains = upper_room - 6  # leave the upper bulb a little headroom
    result = []
    for k in range(12):
        moved = grains * k // 11
        result.append((frame_materials(grains - moved, moved, 0 < k < 11, 0), False))
    for angle in (45, 90, 135):
        result.append((frame_materials(0, grains, False, angle), angle % 90 != 0))
    return [cur_file(*colour_frame(m, turned)) for m, turned in result]


def ani_file():
    info = chunk(b"LIST", b"INFO" + chunk(b"INAM", b"Hourglass\0") + chunk(b"IART", b"Quillmere\0"))
    anih = chunk(b"anih", struct.pack("<9I", 36, FRAMES, FRAMES, 0, 0, 0, 0, DEFAULT_RATE, 3))
    rate = chunk(b"rate", struct.pack("<15I", *RATES))
    seq = chunk(b"seq ", struct.pack("<15I", *range(FRAMES)))
    fram = chunk(b"LIST", b"fram" + b"".join(chunk(b"icon", f) for f in frames()))
    body = b"ACON" + info + anih + rate + seq + fram
    return b"RIFF" + struct.pack("<I", len(body)) + body


def main():
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                                                 "hourglass.ani")
    data = ani_file()
    tmp = target + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, target)  # never leave a half-written cursor behind


if __name__ == "__main__":
    main()
