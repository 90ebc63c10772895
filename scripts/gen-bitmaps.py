#!/usr/bin/env python3
"""Draws Vellumo's edge-button strip and drag cursor into src/resources/.

edge_glyphs.bmp: a 56 x 33, 16-colour bitmap.  Each 11 x 11 glyph is a small
square plate with a symbol; the column selects the button (x 0 close, x 11
page up, x 22 page down, x 33 resize grip; x 44..55 is unused) and the row the
state (y 0 normal, y 11 hover, y 22 pressed).  All three states use the same
shapes and differ only in shade.

drag.cur: a 32 x 32 monochrome cursor, an arrow carrying a small note, with
the hotspot at the arrow's tip.

Pure python3 (struct only); the output is deterministic, so run it again after
changing a shape and commit the results.
"""
import os
import struct

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src", "resources")

# ---------------------------------------------------------------------------
# Edge buttons
# ---------------------------------------------------------------------------

GLYPH = 11
STRIP_W, STRIP_H = 56, 33

# The symbols, drawn inside the plate's 1-pixel frame ('o' = symbol pixel).
SYMBOLS = {
    0: [  # close
        ".........",
        ".o.....o.",
        ".oo...oo.",
        "..oo.oo..",
        "...ooo...",
        "..oo.oo..",
        ".oo...oo.",
        ".o.....o.",
        ".........",
    ],
    11: [  # page up
        ".........",
        ".........",
        "....o....",
        "...ooo...",
        "..ooooo..",
        ".ooooooo.",
        ".........",
        ".........",
        ".........",
    ],
    22: [  # page down
        ".........",
        ".........",
        ".........",
        ".ooooooo.",
        "..ooooo..",
        "...ooo...",
        "....o....",
        ".........",
        ".........",
    ],
    33: [  # resize grip: three diagonal ridges hugging the lower right corner
        ".........",
        ".......o.",
        "......o..",
        ".....o...",
        "....o..o.",
        "...o..o..",
        "..o..o...",
        ".o..o..o.",
        ".........",
    ],
}

# Palette (r, g, b); index 0 is black so that an unused entry is harmless.
PALETTE = [
    (0, 0, 0),
    # normal: neutral grey
    (150, 150, 150),  # 1 frame
    (238, 238, 238),  # 2 plate
    (70, 70, 70),  # 3 symbol
    # hover: light blue
    (60, 130, 200),  # 4 frame
    (214, 232, 250),  # 5 plate
    (20, 80, 150),  # 6 symbol
    # pressed: deeper blue
    (30, 80, 140),  # 7 frame
    (160, 200, 238),  # 8 plate
    (10, 45, 95),  # 9 symbol
]
PALETTE += [(0, 0, 0)] * (16 - len(PALETTE))

# state -> (frame, plate, symbol) palette indexes
SHADES = {0: (1, 2, 3), 1: (4, 5, 6), 2: (7, 8, 9)}


def draw_strip():
    px = [[SHADES[0][1]] * STRIP_W for _ in range(STRIP_H)]
    for state, (frame, plate, symbol) in SHADES.items():
        top = state * GLYPH
        for left, rows in SYMBOLS.items():
            assert len(rows) == GLYPH - 2 and all(len(r) == GLYPH - 2 for r in rows)
            for y in range(GLYPH):
                for x in range(GLYPH):
                    edge = x in (0, GLYPH - 1) or y in (0, GLYPH - 1)
                    if edge:
                        c = frame
                    elif rows[y - 1][x - 1] == "o":
                        c = symbol
                    else:
                        c = plate
                    px[top + y][left + x] = c
    return px


def write_bmp4(path, px):
    height, width = len(px), len(px[0])
    stride = ((width * 4 + 31) // 32) * 4
    bits = bytearray()
    for y in reversed(range(height)):  # bottom-up
        row = bytearray(stride)
        for x in range(width):
            row[x // 2] |= px[y][x] << (4 if x % 2 == 0 else 0)
        bits += row
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(bits), 2835, 2835, 16, 0)
    offset = 14 + len(info) + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(header + info + palette + bytes(bits))


# ---------------------------------------------------------------------------
# Drag cursor
# ---------------------------------------------------------------------------

# 'B' black, 'W' white, '.' transparent.  Hotspot at the arrow's tip (0, 0).
CURSOR = [
    "B...............................",
    "BB..............................",
    "BWB.............................",
    "BWWB............................",
    "BWWWB...........................",
    "BWWWWB..........................",
    "BWWWWWB.........................",
    "BWWWWWWB........................",
    "BWWWWWWWB.......................",
    "BWWWWWWWWB......................",
    "BWWWWWWWWWB.....................",
    "BWWWWWWBBBBB....................",
    "BWWWBWWB........................",
    "BWWBBWWB........................",
    "BWB..BWWB.......................",
    "BB...BWWB..BBBBBBBBBBBBB........",
    "B.....BWWB.BWWWWWWWWWWWB........",
    "......BWWB.BWWWWWWWWWWWB........",
    ".......BB..BWWBBBBBBBWWB........",
    "...........BWWWWWWWWWWWB........",
    "...........BWWBBBBBBBWWB........",
    "...........BWWWWWWWWWWWB........",
    "...........BWWBBBBBWWWWB........",
    "...........BWWWWWWWWBBBB........",
    "...........BWWWWWWWWBWB.........",
    "...........BWWWWWWWWBB..........",
    "...........BBBBBBBBBB...........",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
]
HOTSPOT = (0, 0)


def write_cur(path, rows, hotspot):
    size = 32
    assert len(rows) == size and all(len(r) == size for r in rows)
    xor = bytearray()
    andmask = bytearray()
    for y in reversed(range(size)):  # bottom-up
        xrow, arow = bytearray(4), bytearray(4)
        for x, c in enumerate(rows[y]):
            bit = 0x80 >> (x % 8)
            if c == "W":
                xrow[x // 8] |= bit
            elif c == ".":
                arow[x // 8] |= bit
            else:
                assert c == "B", c
        xor += xrow
        andmask += arow
    palette = struct.pack("<BBBB", 0, 0, 0, 0) + struct.pack("<BBBB", 255, 255, 255, 0)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 1, 0, len(xor) + len(andmask), 0, 0, 2, 0)
    image = info + palette + bytes(xor) + bytes(andmask)
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", size, size, 2, 0, hotspot[0], hotspot[1], len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(directory + entry + image)


write_bmp4(os.path.join(OUT, "edge_glyphs.bmp"), draw_strip())
write_cur(os.path.join(OUT, "drag.cur"), CURSOR, HOTSPOT)
print("edge_glyphs.bmp and drag.cur written to", os.path.normpath(OUT))
