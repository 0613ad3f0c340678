#!/usr/bin/env python3
"""Draws Lorewick's cost-symbol pictures and writes them as GIF files.

Every symbol is a round coloured disc with a dark rim and a stroked glyph; a hybrid symbol
is a disc cut along its diagonal, each half with its own colour and glyph. The background
is transparent (the GIF transparent colour). Only the standard library is used, so the
pictures can be redrawn anywhere:

    python3 tools/symbols/make_symbols.py sample/images

The file of the symbol {2/W} is "2/W.gif" below the output folder.
"""

import math
import os
import struct
import sys

SIZE = 32
SUPERSAMPLE = 4
CENTER = SIZE / 2
RADIUS = SIZE / 2 - 0.5
RIM = 1.6

# Glyph strokes on a box 4 units wide and 6 high, y pointing down; each glyph is a list of
# polylines.


def arc(cx, cy, rx, ry, start, end, steps=10):
    """Points of an elliptic arc; angles in degrees, 0 to the right, counter-clockwise."""
    points = []
    for i in range(steps + 1):
        a = math.radians(start + (end - start) * i / steps)
        points.append((cx + rx * math.cos(a), cy - ry * math.sin(a)))
    return points


GLYPHS = {
    "0": [arc(2, 3, 2, 3, 0, 360, 24)],
    "1": [[(0.8, 1.2), (2.2, 0), (2.2, 6)]],
    "2": [arc(2, 1.8, 1.9, 1.8, 160, -40) + [(0, 6), (4, 6)]],
    "3": [arc(2, 1.6, 1.8, 1.6, 150, -90), arc(2, 4.4, 2, 1.6, 90, -150)],
    "4": [[(3, 6), (3, 0), (0, 4.2), (4, 4.2)]],
    "5": [[(3.8, 0), (0.6, 0), (0.3, 2.7)] + arc(1.9, 4.1, 2, 1.9, 135, -150)],
    "6": [arc(2, 1.8, 1.9, 1.8, 40, 180) + [(0.1, 4.2)], arc(2, 4.2, 1.9, 1.8, 0, 360, 20)],
    "7": [[(0, 0), (4, 0), (1.5, 6)]],
    "8": [arc(2, 1.5, 1.6, 1.5, 0, 360, 20), arc(2, 4.4, 1.9, 1.6, 0, 360, 20)],
    "9": [arc(2, 1.8, 1.9, 1.8, 0, 360, 20), [(3.9, 1.8)] + arc(2, 4.2, 1.9, 1.8, 0, -140)],
    "W": [[(0, 0), (1, 6), (2, 2), (3, 6), (4, 0)]],
    "U": [[(0, 0)] + arc(2, 4, 2, 2, 180, 360) + [(4, 0)]],
    "B": [[(0, 6), (0, 0), (2.4, 0)] + arc(2.4, 1.45, 1.45, 1.45, 90, -90) + [(0, 2.9)],
          [(0, 2.9), (2.6, 2.9)] + arc(2.6, 4.45, 1.4, 1.55, 90, -90) + [(0, 6)]],
    "R": [[(0, 6), (0, 0), (2.4, 0)] + arc(2.4, 1.5, 1.5, 1.5, 90, -90) + [(0, 3)],
          [(1.8, 3), (4, 6)]],
    "G": [arc(2, 3, 2, 3, 45, 360, 24) + [(2.2, 3)]],
    "C": [arc(2, 3, 2, 3, 45, 315, 24)],
    "X": [[(0, 0), (4, 6)], [(4, 0), (0, 6)]],
    "Y": [[(0, 0), (2, 3), (4, 0)], [(2, 3), (2, 6)]],
    "Z": [[(0, 0), (4, 0), (0, 6), (4, 6)]],
    "T": [[(0, 0), (4, 0)], [(2, 0), (2, 6)]],
    "Q": [arc(2, 3, 2, 3, 0, 360, 24), [(2.4, 4.2), (4.2, 6.4)]],
    "S": [arc(2, 1.6, 1.9, 1.6, 30, 270) + arc(2, 4.4, 1.9, 1.6, 90, -150)],
}

# Fill and glyph colours per colour symbol; everything else is a grey disc.
COLOURS = {
    "W": ((248, 243, 210), (70, 60, 35)),
    "U": ((66, 125, 205), (255, 255, 255)),
    "B": ((62, 56, 64), (235, 230, 235)),
    "R": ((212, 72, 52), (255, 255, 255)),
    "G": ((58, 148, 78), (255, 255, 255)),
    "S": ((222, 234, 246), (40, 60, 90)),
}
GREY = ((204, 201, 194), (32, 32, 32))
DIVIDER = (40, 36, 40)

HYBRIDS = ["W/U", "W/B", "U/B", "U/R", "B/R", "B/G", "R/G", "R/W", "G/W", "G/U",
           "2/W", "2/U", "2/B", "2/R", "2/G"]
SINGLES = ["W", "U", "B", "R", "G", "C", "X", "Y", "Z", "T", "Q", "S"] + \
    [str(n) for n in range(21)]


def colours_of(symbol):
    return COLOURS.get(symbol, GREY)


def darker(colour, factor=0.55):
    return tuple(int(c * factor) for c in colour)


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length2))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


class Glyph:
    """A text of glyphs placed in a box of the picture, as segments in pixel coordinates."""

    def __init__(self, text, cx, cy, height, stroke):
        self.half_stroke = stroke / 2
        unit = height / 6
        gap = 1.4 * unit
        width = len(text) * 4 * unit + (len(text) - 1) * gap
        left = cx - width / 2
        top = cy - height / 2
        self.segments = []
        for i, char in enumerate(text):
            x0 = left + i * (4 * unit + gap)
            for line in GLYPHS[char]:
                points = [(x0 + x * unit, top + y * unit) for x, y in line]
                self.segments += list(zip(points, points[1:]))
        xs = [p[0] for s in self.segments for p in s]
        ys = [p[1] for s in self.segments for p in s]
        m = self.half_stroke
        self.box = (min(xs) - m, min(ys) - m, max(xs) + m, max(ys) + m)

    def covers(self, x, y):
        x0, y0, x1, y1 = self.box
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        return any(segment_distance(x, y, a[0], a[1], b[0], b[1]) <= self.half_stroke
                   for a, b in self.segments)


def single_scene(symbol):
    fill, ink = colours_of(symbol)
    rim = darker(fill)
    height = 17 if len(symbol) == 1 else 13
    glyph = Glyph(symbol, CENTER, CENTER, height, 3.0 if len(symbol) == 1 else 2.4)

    def colour_at(x, y):
        r = math.hypot(x - CENTER, y - CENTER)
        if r > RADIUS:
            return None
        if r > RADIUS - RIM:
            return rim
        return ink if glyph.covers(x, y) else fill
    return colour_at


def hybrid_scene(symbol):
    first, second = symbol.split("/")
    (fill1, ink1), (fill2, ink2) = colours_of(first), colours_of(second)
    offset = SIZE * 0.19
    glyph1 = Glyph(first, CENTER - offset, CENTER - offset, 10, 2.2)
    glyph2 = Glyph(second, CENTER + offset, CENTER + offset, 10, 2.2)

    def colour_at(x, y):
        r = math.hypot(x - CENTER, y - CENTER)
        if r > RADIUS:
            return None
        # The diagonal from the top right to the bottom left divides the halves.
        side = (x - CENTER) + (y - CENTER)
        upper = side < 0
        if r > RADIUS - RIM:
            return darker(fill1 if upper else fill2)
        if abs(side) / math.sqrt(2) < 0.6:
            return DIVIDER
        if upper:
            return ink1 if glyph1.covers(x, y) else fill1
        return ink2 if glyph2.covers(x, y) else fill2
    return colour_at


def render(colour_at):
    """Rows of (r, g, b) or None, anti-aliased inside the disc, with a hard outer edge."""
    rows = []
    n = SUPERSAMPLE
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            samples = [colour_at(px + (i + 0.5) / n, py + (j + 0.5) / n)
                       for j in range(n) for i in range(n)]
            opaque = [s for s in samples if s is not None]
            if len(opaque) * 2 < len(samples):
                row.append(None)
            else:
                row.append(tuple(round(sum(c[k] for c in opaque) / len(opaque))
                                 for k in range(3)))
        rows.append(row)
    return rows


def palette_of(rows):
    """Index 0 is the transparent colour; the others are the picture's colours, reduced in
    precision until they fit a 256-entry table."""
    shift = 0
    while True:
        colours = sorted({tuple((c >> shift) << shift for c in p)
                          for row in rows for p in row if p is not None})
        if len(colours) <= 255:
            break
        shift += 1
    table = [(0, 0, 0)] + colours
    index = {c: i for i, c in enumerate(table) if i > 0}
    pixels = [0 if p is None else index[tuple((c >> shift) << shift for c in p)]
              for row in rows for p in row]
    return table, pixels


def lzw(pixels, min_code_size):
    clear = 1 << min_code_size
    end = clear + 1
    out = bytearray()
    bits = 0
    nbits = 0

    def emit(code, size):
        nonlocal bits, nbits
        bits |= code << nbits
        nbits += size
        while nbits >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8

    def fresh():
        return {(i,): i for i in range(clear)}, end + 1, min_code_size + 1

    table, next_code, size = fresh()
    emit(clear, size)
    current = ()
    for p in pixels:
        candidate = current + (p,)
        if candidate in table:
            current = candidate
            continue
        emit(table[current], size)
        if next_code < 4096:
            table[candidate] = next_code
            next_code += 1
            if next_code > (1 << size) and size < 12:
                size += 1
        else:
            emit(clear, size)
            table, next_code, size = fresh()
        current = (p,)
    if current:
        emit(table[current], size)
    emit(end, size)
    if nbits:
        out.append(bits & 0xFF)
    return bytes(out)


def gif(rows):
    table, pixels = palette_of(rows)
    depth = max(1, math.ceil(math.log2(len(table))))
    table += [(0, 0, 0)] * ((1 << depth) - len(table))
    min_code_size = max(2, depth)
    data = lzw(pixels, min_code_size)
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", SIZE, SIZE, 0x80 | ((depth - 1) << 4) | (depth - 1), 0, 0)
    for colour in table:
        out += bytes(colour)
    # Graphic control extension: transparent colour index 0.
    out += bytes([0x21, 0xF9, 4, 0x01, 0, 0, 0, 0])
    out += b"\x2C" + struct.pack("<HHHHB", 0, 0, SIZE, SIZE, 0)
    out.append(min_code_size)
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        out.append(len(chunk))
        out += chunk
    out += b"\x00\x3B"
    return bytes(out)


def write(folder, symbol, rows):
    path = os.path.join(folder, *symbol.split("/")) + ".gif"
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(gif(rows))


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_symbols.py OUTPUT_FOLDER")
    folder = sys.argv[1]
    for symbol in SINGLES:
        write(folder, symbol, render(single_scene(symbol)))
    for symbol in HYBRIDS:
        write(folder, symbol, render(hybrid_scene(symbol)))


if __name__ == "__main__":
    main()
