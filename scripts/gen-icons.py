#!/usr/bin/env python3
"""Draws Vellumo's icons and writes them as .ico files into src/resources/.

Every icon but one is the same sticky note (a square sheet with a folded
corner and ruled lines) in 16 and 32 pixels; the variants differ only in
colour and in a small mark in the lower right, so they read as one family at
16 px.  The exception is the shell fallback, drawn for files the shell has no
icon for: a plain document page, so that it does not pass for a note.  Run it
again after changing a shape; the output is deterministic.

The item icons are a table in the program (plain text is the tray icon):
131 open, 132 paste, 133 encrypted sequence, 134 command line, 135 shell
fallback, 136 key sequence; src/resources/vellumo.rc binds the files below
to those numbers.
"""
import os
import struct

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src", "resources")

# (file, sheet colour, mark) ; colours are (r, g, b)
ICONS = [
    ("vellumo.ico", (255, 214, 64), None),
    ("tray.ico", (255, 214, 64), None),
    ("tray_paused.ico", (170, 170, 170), "pause"),
    ("kind_open.ico", (120, 190, 255), "arrow"),
    ("kind_paste.ico", (150, 220, 140), "lines"),
    ("kind_secret.ico", (240, 140, 140), "lock"),
    ("kind_command.ico", (70, 70, 80), "prompt"),
    ("kind_shell.ico", (255, 255, 255), "file"),
    ("kind_keys.ico", (200, 160, 240), "keys"),
]

OUTLINE = (90, 70, 20)


def shade(c, f):
    return tuple(max(0, min(255, int(v * f))) for v in c)


def draw_file(size, sheet):
    """A document page: taller than wide, its corner folded at the top right."""
    px = [[(0, 0, 0, 0)] * size for _ in range(size)]
    s = size / 16.0
    edge = (110, 110, 120)
    lo_x, hi_x = int(2 * s), size - int(2 * s)
    lo_y, hi_y = 0, size
    fold = int(4 * s)
    for y in range(lo_y, hi_y):
        for x in range(lo_x, hi_x):
            # The corner above the fold's diagonal is cut off the page.
            if x >= hi_x - fold and y < fold and (x - (hi_x - fold)) > y:
                continue
            border = x in (lo_x, hi_x - 1) or y in (lo_y, hi_y - 1)
            px[y][x] = (*(edge if border else sheet), 255)
    for i in range(fold):
        # The diagonal and the folded-down flap below it.
        px[i][hi_x - fold + i] = (*edge, 255)
        px[fold - 1][hi_x - fold + i] = (*edge, 255)
        px[i][hi_x - fold] = (*edge, 255)
        for x in range(hi_x - fold + 1, hi_x - fold + i):
            px[i][x] = (*shade(sheet, 0.85), 255)
    line = (170, 170, 180)
    for row in (7, 10, 13):
        y = int(row * s)
        for x in range(int(4 * s), size - int(4 * s)):
            px[y][x] = (*line, 255)
    return px


def draw(size, sheet, mark):
    if mark == "file":
        return draw_file(size, sheet)
    px = [[(0, 0, 0, 0)] * size for _ in range(size)]
    s = size / 16.0

    def put(x, y, c, a=255):
        if 0 <= x < size and 0 <= y < size:
            px[y][x] = (c[0], c[1], c[2], a)

    def rect(x0, y0, x1, y1, c):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                put(x, y, c)

    fold = int(4 * s)
    lo, hi = int(1 * s), size - int(1 * s)
    for y in range(lo, hi):
        for x in range(lo, hi):
            # The folded corner is cut off the sheet.
            if x - (hi - fold) + y - (hi - fold) > fold - 1 and x >= hi - fold and y >= hi - fold:
                continue
            edge = x in (lo, hi - 1) or y in (lo, hi - 1)
            put(x, y, OUTLINE if edge else sheet)
    for i in range(fold):
        put(hi - fold + i, hi - 1 - i, OUTLINE)
        for j in range(i):
            put(hi - fold + j, hi - 1 - i, shade(sheet, 0.75))
    line = shade(sheet, 0.6) if sum(sheet) > 300 else (230, 230, 230)
    for row in (4, 7, 10):
        rect(3, row, 11 if row == 10 else 13, row + 1, line)

    mark_colour = (40, 40, 40) if sum(sheet) > 300 else (255, 255, 255)
    if mark == "pause":
        rect(9, 9, 10.5, 14, (60, 60, 60))
        rect(12, 9, 13.5, 14, (60, 60, 60))
    elif mark == "arrow":
        for i in range(4):
            rect(9 + i, 12 - i, 10 + i, 13 - i, mark_colour)
        rect(11, 9, 13, 10, mark_colour)
        rect(12, 9, 13, 11, mark_colour)
    elif mark == "lock":
        rect(9, 11, 14, 15, (120, 30, 30))
        rect(10, 9, 11, 11, (120, 30, 30))
        rect(12, 9, 13, 11, (120, 30, 30))
        rect(10, 8, 13, 9, (120, 30, 30))
    elif mark == "prompt":
        rect(3, 4, 4, 5, (120, 255, 120))
        rect(4, 5, 5, 6, (120, 255, 120))
        rect(3, 6, 4, 7, (120, 255, 120))
        rect(6, 6, 9, 7, (120, 255, 120))
    elif mark == "keys":
        rect(9, 10, 14, 14, (80, 40, 120))
        rect(10, 11, 11, 12, (255, 255, 255))
        rect(12, 11, 13, 12, (255, 255, 255))
    elif mark == "lines":
        rect(9, 12, 14, 13, (30, 100, 30))
    return px


def icon_image(size, sheet, mark):
    px = draw(size, sheet, mark)
    rows = []
    for y in reversed(range(size)):  # bottom-up
        for x in range(size):
            r, g, b, a = px[y][x]
            rows.append(struct.pack("<BBBB", b, g, r, a))
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    andmask = bytearray()
    for y in reversed(range(size)):
        bits = 0
        row = bytearray(mask_row)
        for x in range(size):
            if px[y][x][3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        andmask += row
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(andmask), 0, 0, 0, 0)
    return header + xor + bytes(andmask)


def write_ico(path, sheet, mark):
    images = [icon_image(s, sheet, mark) for s in (16, 32)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip((16, 32), images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


for name, sheet, mark in ICONS:
    write_ico(os.path.join(OUT, name), sheet, mark)
print("icons written to", os.path.normpath(OUT))
