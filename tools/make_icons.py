#!/usr/bin/env python3
"""Draw Tovalen's icon files and write them to src/resources/icons/.

Python 3 standard library only. Every image is drawn here, pixel by pixel:

  tray.ico     golden five-pointed star in eleven sizes/depths (tray and
               window icon)
  ticket.ico   form symbol + "Create Ticket"    (60x20, 8 bpp button image)
  printer.ico  printer symbol + "Install Printer" (60x20, 8 bpp button image)
  mail.ico     envelope with stamp + "Send To IT" (90x22, 8 bpp button image)
  *-scaled.ico the same three pictures drawn again at 150, 200 and 300 %
               (4 bpp; mail only as wide as its button, 80 px at 100 %)

Every image is stored as an uncompressed BMP entry (BITMAPINFOHEADER,
palette, bottom-up colour bits, bottom-up 1-bit AND mask), never as PNG,
because the program decodes these files from memory at start-up.

The output is byte-identical on every run: no time stamps, no randomness,
and the only trigonometry (star vertices and gradient ends) is snapped to
1/4096 px before use, so the rest is exactly rounded IEEE arithmetic.
Before anything is written, each file is parsed back and its size and
directory are checked against the table in EXPECTED_FILES.

Usage:  python3 tools/make_icons.py [--out DIR]
"""

import argparse
import math
import os
import struct
import sys

REPO_ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_OUT = os.path.join(REPO_ROOT, "src", "resources", "icons")

# ---------------------------------------------------------------------------
# Palette: 16 named colours, a 6x6x6 colour cube, a 24-step grey ramp.
# The 4 bpp images use the first 16 entries; 8 bpp images use all 256.
# ---------------------------------------------------------------------------

BLACK, WHITE, DARK_GREY, GREY, SILVER, LIGHT_GREY = 0, 1, 2, 3, 4, 5
GOLD, LIGHT_GOLD, DARK_GOLD, DEEP_GOLD = 6, 7, 8, 9
RED, DARK_RED, BLUE, LIGHT_BLUE, GREEN, CREAM = 10, 11, 12, 13, 14, 15

NAMED_COLOURS = [
    (0, 0, 0),        # BLACK
    (255, 255, 255),  # WHITE
    (64, 64, 64),     # DARK_GREY
    (128, 128, 128),  # GREY
    (192, 192, 192),  # SILVER
    (224, 224, 224),  # LIGHT_GREY
    (255, 196, 24),   # GOLD
    (255, 228, 110),  # LIGHT_GOLD
    (190, 128, 0),    # DARK_GOLD
    (128, 80, 0),     # DEEP_GOLD
    (214, 32, 32),    # RED
    (128, 0, 0),      # DARK_RED
    (40, 96, 200),    # BLUE
    (160, 196, 240),  # LIGHT_BLUE
    (32, 160, 64),    # GREEN
    (250, 246, 230),  # CREAM
]


def build_palette():
    pal = list(NAMED_COLOURS)
    levels = (0, 51, 102, 153, 204, 255)
    for r in levels:
        for g in levels:
            for b in levels:
                pal.append((r, g, b))
    for k in range(24):
        v = 8 + 10 * k
        pal.append((v, v, v))
    assert len(pal) == 256
    return pal


PALETTE256 = build_palette()
PALETTE16 = PALETTE256[:16]


class Quantizer:
    """Nearest palette entry by squared RGB distance; ties go to the lower index."""

    def __init__(self, palette):
        self.palette = palette
        self.cache = {}

    def index(self, rgb):
        hit = self.cache.get(rgb)
        if hit is not None:
            return hit
        r, g, b = rgb
        best, best_d = 0, None
        for i, (pr, pg, pb) in enumerate(self.palette):
            d = (r - pr) ** 2 + (g - pg) ** 2 + (b - pb) ** 2
            if best_d is None or d < best_d:
                best, best_d = i, d
        self.cache[rgb] = best
        return best


QUANT16 = Quantizer(PALETTE16)
QUANT256 = Quantizer(PALETTE256)

# ---------------------------------------------------------------------------
# Canvas: top-down rows of straight (not premultiplied) RGBA pixels.
# ---------------------------------------------------------------------------


class Canvas:
    def __init__(self, width, height):
        self.width = width
        self.height = height
        self.px = [[(0, 0, 0, 0)] * width for _ in range(height)]

    def put(self, x, y, colour, alpha=255):
        """colour is a palette index or an (r, g, b) tuple."""
        if not (0 <= x < self.width and 0 <= y < self.height):
            raise ValueError("pixel (%d,%d) outside %dx%d canvas" % (x, y, self.width, self.height))
        rgb = PALETTE256[colour] if isinstance(colour, int) else colour
        self.px[y][x] = (rgb[0], rgb[1], rgb[2], alpha)

    def fill(self, x0, y0, x1, y1, colour):
        """Filled rectangle, corners inclusive."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, colour)

    def frame(self, x0, y0, x1, y1, colour):
        """One-pixel rectangle outline, corners inclusive."""
        for x in range(x0, x1 + 1):
            self.put(x, y0, colour)
            self.put(x, y1, colour)
        for y in range(y0, y1 + 1):
            self.put(x0, y, colour)
            self.put(x1, y, colour)

    def line(self, x0, y0, x1, y1, colour):
        """Bresenham line, both ends inclusive."""
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx = 1 if x0 < x1 else -1
        sy = 1 if y0 < y1 else -1
        err = dx + dy
        while True:
            self.put(x0, y0, colour)
            if x0 == x1 and y0 == y1:
                return
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def ink_box(self):
        """(x0, y0, x1, y1) of all non-transparent pixels, or None."""
        xs = [x for row in self.px for x, p in enumerate(row) if p[3]]
        ys = [y for y, row in enumerate(self.px) if any(p[3] for p in row)]
        if not xs:
            return None
        return min(xs), min(ys), max(xs), max(ys)


# ---------------------------------------------------------------------------
# Pixel font: capitals 7 rows high, lower case with a 5-row x-height and a
# 2-row descender for g j p q y. '#' is ink, '.' is background.
# ---------------------------------------------------------------------------

FONT_ASCENT = 7
FONT_DESCENT = 2
LETTER_GAP = 1
SPACE_WIDTH = 3

_FONT_SOURCE = """
A .###. #...# #...# ##### #...# #...# #...#
B ####. #...# #...# ####. #...# #...# ####.
C .###. #...# #.... #.... #.... #...# .###.
D ####. #...# #...# #...# #...# #...# ####.
E ##### #.... #.... ####. #.... #.... #####
F ##### #.... #.... ####. #.... #.... #....
G .###. #...# #.... #.### #...# #...# .####
H #...# #...# #...# ##### #...# #...# #...#
I ### .#. .#. .#. .#. .#. ###
J ....# ....# ....# ....# ....# #...# .###.
K #...# #..#. #.#.. ##... #.#.. #..#. #...#
L #.... #.... #.... #.... #.... #.... #####
M #...# ##.## #.#.# #.#.# #...# #...# #...#
N #...# #...# ##..# #.#.# #..## #...# #...#
O .###. #...# #...# #...# #...# #...# .###.
P ####. #...# #...# ####. #.... #.... #....
Q .###. #...# #...# #...# #.#.# #..#. .##.#
R ####. #...# #...# ####. #.#.. #..#. #...#
S .###. #...# #.... .###. ....# #...# .###.
T ##### ..#.. ..#.. ..#.. ..#.. ..#.. ..#..
U #...# #...# #...# #...# #...# #...# .###.
V #...# #...# #...# #...# #...# .#.#. ..#..
W #...# #...# #...# #.#.# #.#.# #.#.# .#.#.
X #...# #...# .#.#. ..#.. .#.#. #...# #...#
Y #...# #...# .#.#. ..#.. ..#.. ..#.. ..#..
Z ##### ....# ...#. ..#.. .#... #.... #####
a .... .... .##. ...# .### #..# .###
b #... #... ###. #..# #..# #..# ###.
c .... .... .### #... #... #... .###
d ...# ...# .### #..# #..# #..# .###
e .... .... .##. #..# #### #... .###
f .## #.. ### #.. #.. #.. #..
g .... .... .### #..# #..# #..# .### ...# .##.
h #... #... ###. #..# #..# #..# #..#
i # . # # # # #
j .# .. .# .# .# .# .# .# #.
k #... #... #..# #.#. ##.. #.#. #..#
l # # # # # # #
m ..... ..... ##.#. #.#.# #.#.# #.#.# #.#.#
n .... .... ###. #..# #..# #..# #..#
o .... .... .##. #..# #..# #..# .##.
p .... .... ###. #..# #..# #..# ###. #... #...
q .... .... .### #..# #..# #..# .### ...# ...#
r ... ... #.# ##. #.. #.. #..
s .... .... .### #... .##. ...# ###.
t ... .#. ### .#. .#. .#. ..#
u .... .... #..# #..# #..# #..# .###
v ..... ..... #...# #...# #...# .#.#. ..#..
w ..... ..... #...# #...# #.#.# #.#.# .#.#.
x .... .... #..# #..# .##. #..# #..#
y .... .... #..# #..# #..# #..# .### ...# .##.
z .... .... #### ..#. .#.. #... ####
"""


def _parse_font(source):
    font = {}
    for line in source.strip().splitlines():
        char, *rows = line.split()
        if len(char) != 1 or char in font:
            raise ValueError("bad or repeated font entry %r" % char)
        if len(rows) not in (FONT_ASCENT, FONT_ASCENT + FONT_DESCENT):
            raise ValueError("glyph %r has %d rows" % (char, len(rows)))
        if len({len(r) for r in rows}) != 1 or any(set(r) - set("#.") for r in rows):
            raise ValueError("glyph %r is ragged or has stray characters" % char)
        font[char] = rows
    return font


FONT = _parse_font(_FONT_SOURCE)


def text_width(text):
    width = 0
    for i, ch in enumerate(text):
        if i:
            width += LETTER_GAP
        width += SPACE_WIDTH if ch == " " else len(FONT[ch][0])
    return width


def text_descends(text):
    return any(ch != " " and len(FONT[ch]) > FONT_ASCENT for ch in text)


def draw_text(canvas, x, top, text, colour):
    for i, ch in enumerate(text):
        if i:
            x += LETTER_GAP
        if ch == " ":
            x += SPACE_WIDTH
            continue
        rows = FONT[ch]
        for dy, row in enumerate(rows):
            for dx, bit in enumerate(row):
                if bit == "#":
                    canvas.put(x + dx, top + dy, colour)
        x += len(rows[0])


LINE_GAP = 2


def draw_caption(canvas, lines, left, right, colour=BLACK, draw=draw_text):
    """Centre the caption lines in columns left..right-1 and vertically in the canvas.

    draw(canvas, x, top, text, colour) puts one line in place; the layout is
    the same whoever draws the letters.
    """
    heights = [FONT_ASCENT + (FONT_DESCENT if text_descends(t) else 0) for t in lines]
    gap = LINE_GAP
    total = sum(heights) + gap * (len(lines) - 1)
    if total > canvas.height:
        gap = 1
        total = sum(heights) + gap * (len(lines) - 1)
    if total > canvas.height:
        raise ValueError("caption %r does not fit %d rows" % (lines, canvas.height))
    top = (canvas.height - total) // 2
    for text, h in zip(lines, heights):
        w = text_width(text)
        if w > right - left:
            raise ValueError("caption line %r (%d px) does not fit %d px" % (text, w, right - left))
        draw(canvas, left + (right - left - w) // 2, top, text, colour)
        top += h + gap


# ---------------------------------------------------------------------------
# The star: a point-up five-pointed star, supersampled 8x8 per pixel.
# ---------------------------------------------------------------------------

STAR_INNER_RATIO = 0.47     # inner/outer radius; 0.382 is the regular pentagram,
                            # a little fuller reads better at 16 px
STAR_SAMPLES = 8            # samples per pixel along each axis
STAR_FILL_TOP = (255, 232, 120)
STAR_FILL_BOTTOM = (250, 178, 16)
STAR_OUTLINE = (168, 104, 0)


def _snap(v):
    return round(v * 4096) / 4096


def star_polygon(size):
    margin = size / 32.0
    span = size - 2 * margin
    outer = span / (2 * math.sin(math.radians(72)))         # width = 2 R sin 72
    height = outer * (1 + math.cos(math.radians(36)))       # top point to lower points
    cx = size / 2.0
    cy = margin + (span - height) / 2 + outer
    verts = []
    for k in range(10):
        radius = outer if k % 2 == 0 else outer * STAR_INNER_RATIO
        ang = math.radians(-90 + 36 * k)
        verts.append((_snap(cx + radius * math.cos(ang)), _snap(cy + radius * math.sin(ang))))
    return verts, _snap(cy - outer), _snap(cy + outer * math.cos(math.radians(36)))


def _inside(px, py, verts):
    inside = False
    n = len(verts)
    for i in range(n):
        x0, y0 = verts[i]
        x1, y1 = verts[(i + 1) % n]
        if (y0 > py) != (y1 > py):
            xc = x0 + (py - y0) * (x1 - x0) / (y1 - y0)
            if px < xc:
                inside = not inside
    return inside


def _edge_distance(px, py, verts):
    best = None
    n = len(verts)
    for i in range(n):
        x0, y0 = verts[i]
        x1, y1 = verts[(i + 1) % n]
        dx, dy = x1 - x0, y1 - y0
        t = ((px - x0) * dx + (py - y0) * dy) / (dx * dx + dy * dy)
        t = 0.0 if t < 0 else 1.0 if t > 1 else t
        ex, ey = x0 + t * dx - px, y0 + t * dy - py
        d = math.sqrt(ex * ex + ey * ey)
        if best is None or d < best:
            best = d
    return best


def draw_star(size):
    """Return a size x size canvas with an anti-aliased star (alpha = coverage)."""
    verts, top, bottom = star_polygon(size)
    outline_width = max(1.0, size / 20.0)
    canvas = Canvas(size, size)
    n_samples = STAR_SAMPLES * STAR_SAMPLES
    for y in range(size):
        for x in range(size):
            hits, sr, sg, sb = 0, 0.0, 0.0, 0.0
            for j in range(STAR_SAMPLES):
                py = y + (j + 0.5) / STAR_SAMPLES
                for i in range(STAR_SAMPLES):
                    px = x + (i + 0.5) / STAR_SAMPLES
                    if not _inside(px, py, verts):
                        continue
                    hits += 1
                    if _edge_distance(px, py, verts) < outline_width:
                        c = STAR_OUTLINE
                    else:
                        t = min(1.0, max(0.0, (py - top) / (bottom - top)))
                        c = tuple(a + (b - a) * t for a, b in zip(STAR_FILL_TOP, STAR_FILL_BOTTOM))
                    sr += c[0]
                    sg += c[1]
                    sb += c[2]
            if hits:
                rgb = (int(sr / hits + 0.5), int(sg / hits + 0.5), int(sb / hits + 0.5))
                canvas.put(x, y, rgb, (255 * hits + n_samples // 2) // n_samples)
    return canvas


def hard_edged(canvas):
    """Copy with alpha snapped to 0/255 at 50 % coverage (for the palette images)."""
    out = Canvas(canvas.width, canvas.height)
    for y, row in enumerate(canvas.px):
        for x, (r, g, b, a) in enumerate(row):
            if a >= 128:
                out.put(x, y, (r, g, b))
    return out


# ---------------------------------------------------------------------------
# Button images.
# ---------------------------------------------------------------------------

SYMBOL_GAP = 3   # columns between symbol and caption


def draw_form(c, x0, y0):
    """Framed white sheet (14x18) with a folded top-right corner and three grey bars."""
    x1, y1 = x0 + 13, y0 + 17
    fold = 4
    c.fill(x0, y0, x1, y1, WHITE)
    c.frame(x0, y0, x1, y1, DARK_GREY)
    fx = x1 - fold                      # left edge of the turned-down corner
    for k in range(fold):               # cut away what lies right of the diagonal
        for x in range(fx + k + 1, x1 + 1):
            c.px[y0 + k][x] = (0, 0, 0, 0)
    for k in range(1, fold):            # back of the paper, under the diagonal
        for x in range(fx + 1, fx + k):
            c.put(x, y0 + k, LIGHT_GREY)
    c.line(fx, y0, x1, y0 + fold, DARK_GREY)
    c.line(fx, y0, fx, y0 + fold, DARK_GREY)
    c.line(fx, y0 + fold, x1, y0 + fold, DARK_GREY)
    # three form fields
    c.fill(x0 + 3, y0 + 7, x1 - 3, y0 + 8, GREY)
    c.fill(x0 + 3, y0 + 10, x1 - 3, y0 + 11, GREY)
    c.fill(x0 + 3, y0 + 13, x1 - 5, y0 + 14, GREY)
    return x1


def draw_printer(c, x0, y0):
    """Printer: sheet in the feed at the top, grey body, printed sheet below."""
    # paper in the feed
    c.fill(x0 + 4, y0, x0 + 13, y0 + 5, WHITE)
    c.frame(x0 + 4, y0, x0 + 13, y0 + 5, DARK_GREY)
    # body
    bx0, by0, bx1, by1 = x0, y0 + 5, x0 + 17, y0 + 13
    c.fill(bx0, by0, bx1, by1, SILVER)
    c.frame(bx0, by0, bx1, by1, DARK_GREY)
    c.fill(bx0 + 1, by0 + 1, bx1 - 1, by0 + 1, LIGHT_GREY)
    c.fill(bx0 + 1, by1 - 1, bx1 - 1, by1 - 1, GREY)
    c.fill(bx1 - 4, by0 + 3, bx1 - 3, by0 + 3, GREEN)
    # output slot and printed sheet
    c.fill(bx0 + 3, by1 - 2, bx1 - 3, by1 - 2, BLACK)
    sx0, sy0, sx1, sy1 = x0 + 4, by1 - 2, x0 + 13, y0 + 18
    c.fill(sx0, sy0 + 1, sx1, sy1, WHITE)
    c.fill(sx0, sy0 + 1, sx0, sy1, DARK_GREY)
    c.fill(sx1, sy0 + 1, sx1, sy1, DARK_GREY)
    c.fill(sx0, sy1, sx1, sy1, DARK_GREY)
    c.fill(sx0 + 2, sy0 + 3, sx1 - 2, sy0 + 3, GREY)
    return bx1


def draw_envelope(c, x0, y0):
    """Envelope (26x16): flap drawn as a V, red stamp at the top right."""
    x1, y1 = x0 + 25, y0 + 15
    c.fill(x0, y0, x1, y1, WHITE)
    c.frame(x0, y0, x1, y1, DARK_GREY)
    mid = (x0 + x1) // 2
    c.line(x0, y0, mid, y0 + 9, DARK_GREY)
    c.line(x1, y0, mid + 1, y0 + 9, DARK_GREY)
    # the stamp, stuck over the flap
    c.fill(x1 - 7, y0 + 2, x1 - 2, y0 + 8, RED)
    c.frame(x1 - 7, y0 + 2, x1 - 2, y0 + 8, DARK_RED)
    return x1


def button_image(width, height, symbol, symbol_size, lines, safe_width=None, c=None, draw=draw_text):
    """Symbol at the left, caption centred in the space to its right.

    safe_width: keep all ink inside the centred band of this many columns
    (the image is shown centred on a button that may be narrower than it).
    c and draw: a canvas and a letter drawer of another scale (below); the
    layout, in 96-DPI pixels, is the same at every scale.
    """
    c = Canvas(width, height) if c is None else c
    margin = 0 if safe_width is None else (width - safe_width + 1) // 2
    sw, sh = symbol_size
    x0 = margin + 2
    y0 = (height - sh) // 2
    right = symbol(c, x0, y0)
    assert right == x0 + sw - 1, "%s is %d px wide, not %d" % (symbol.__name__, right - x0 + 1, sw)
    draw_caption(c, lines, right + 1 + SYMBOL_GAP, width - margin, draw=draw)
    return c


# ---------------------------------------------------------------------------
# The button pictures at 150, 200 and 300 %: drawn again for each size, not
# enlarged. The layout stays that of the 96-DPI picture, in its pixels
# ("design pixels"); each design pixel's edges land on whole device pixels,
# so areas stay crisp, and outlines and the strokes of the lettering are a
# round pen a whole number of device pixels wide that follows the design
# pixels, with true diagonals and round bowls where the 96-DPI pixel font
# can only step.
# ---------------------------------------------------------------------------

SCALES = (150, 200, 300)            # percent of the 96-DPI size
PEN = {150: 1, 200: 2, 300: 3}      # device pixels: outlines and letter strokes
ARC_STEPS = 6                       # segments of a quarter circle


class ScaledCanvas:
    """A canvas percent/100 times as large as the design it is drawn in."""

    def __init__(self, width, height, percent):
        self.width, self.height = width, height     # design pixels
        self.percent = percent
        self.pen = PEN[percent]
        self.image = Canvas(self.edge(width), self.edge(height))

    def edge(self, v):
        """Device edge of the whole design edge v, halves rounded up."""
        return (v * self.percent + 50) // 100

    def grid(self, v):
        """Device coordinate of a design coordinate, straight between the edges around it."""
        k = math.floor(v)
        return self.edge(k) + (v - k) * (self.edge(k + 1) - self.edge(k))

    def point(self, x, y):
        """Where the pen stands for design pixel (x, y): a pen's width in from its top-left edges."""
        half = self.pen / 2
        return self.grid(x) + half, self.grid(y) + half

    def fill(self, x0, y0, x1, y1, colour):
        """The design pixels x0..x1, y0..y1 (corners inclusive) filled."""
        self.image.fill(self.edge(x0), self.edge(y0), self.edge(x1 + 1) - 1, self.edge(y1 + 1) - 1, colour)

    def frame(self, x0, y0, x1, y1, colour, sides="ltrb"):
        """An outline one pen wide along the inside of the design pixels x0..x1, y0..y1, on
        the sides named (left, top, right, bottom)."""
        left, top = self.edge(x0), self.edge(y0)
        right, bottom = self.edge(x1 + 1) - 1, self.edge(y1 + 1) - 1
        p = self.pen - 1
        for side, box in (("t", (left, top, right, top + p)), ("b", (left, bottom - p, right, bottom)),
                          ("l", (left, top, left + p, bottom)), ("r", (right - p, top, right, bottom))):
            if side in sides:
                self.image.fill(*box, colour)

    def stroke(self, points, colour):
        """A line with round ends through design pixels (fractions allowed), one pen wide."""
        ends = [self.point(x, y) for x, y in points]
        for a, b in zip(ends, ends[1:] or ends):
            self._segment(a, b, colour)

    def _segment(self, a, b, colour):
        r = self.pen / 2
        x_lo = max(0, math.floor(min(a[0], b[0]) - r))
        x_hi = min(self.image.width - 1, math.ceil(max(a[0], b[0]) + r))
        y_lo = max(0, math.floor(min(a[1], b[1]) - r))
        y_hi = min(self.image.height - 1, math.ceil(max(a[1], b[1]) + r))
        for y in range(y_lo, y_hi + 1):
            for x in range(x_lo, x_hi + 1):
                if _near_segment(x + 0.5, y + 0.5, a, b, r):
                    self.image.put(x, y, colour)

    def pixels_beside(self, a, b, x0, y0, x1, y1, side):
        """Device pixels of the design pixels x0..x1, y0..y1 whose centres lie on one side
        (-1 left of the way from a to b, +1 right of it) of the pen's line through design
        pixels a and b."""
        (ax, ay), (bx, by) = self.point(*a), self.point(*b)
        for y in range(self.edge(y0), self.edge(y1 + 1)):
            for x in range(self.edge(x0), self.edge(x1 + 1)):
                cross = (bx - ax) * (y + 0.5 - ay) - (by - ay) * (x + 0.5 - ax)
                if cross * side > 0:
                    yield x, y


def _near_segment(px, py, a, b, r):
    """Whether (px, py) is within r of the segment a-b. The coordinates are multiples of
    1/4096 and small, so every product is exact: no division, no rounding."""
    (ax, ay), (bx, by) = a, b
    dx, dy = bx - ax, by - ay
    wx, wy = px - ax, py - ay
    along = wx * dx + wy * dy
    length2 = dx * dx + dy * dy
    if along <= 0 or length2 == 0:
        return wx * wx + wy * wy <= r * r
    if along >= length2:
        return (px - bx) ** 2 + (py - by) ** 2 <= r * r
    cross = wx * dy - wy * dx
    return cross * cross <= r * r * length2


def _arc(cx, cy, start, end, radius=1):
    """Points of a circular arc from angle start to end (degrees; 0 points right, 90 down)."""
    steps = max(1, round(abs(end - start) / 90 * ARC_STEPS))
    points = []
    for k in range(steps + 1):
        a = math.radians(start + (end - start) * k / steps)
        points.append((_snap(cx + radius * math.cos(a)), _snap(cy + radius * math.sin(a))))
    return points


# The letters of the captions as pen strokes through the cells of the pixel
# font above (capitals in rows 0-6, lower case from row 2), with the same
# widths, so that a caption takes the same room at every scale. Each letter
# is a list of strokes; a stroke is a list of points, arcs included.
STROKE_FONT = {
    "C": [_arc(3, 1, 0, -90) + _arc(1, 1, -90, -180) + _arc(1, 5, 180, 90) + _arc(3, 5, 90, 0)],
    "I": [[(0, 0), (2, 0)], [(1, 0), (1, 6)], [(0, 6), (2, 6)]],
    "P": [[(0, 6), (0, 0)] + _arc(3, 1, -90, 0) + _arc(3, 2, 0, 90) + [(0, 3)]],
    "S": [_arc(3, 1, 0, -90) + _arc(1, 1, -90, -180) + _arc(1, 2, 180, 90) + _arc(3, 4, -90, 0)
          + _arc(3, 5, 0, 90) + _arc(1, 5, 90, 180)],
    "T": [[(0, 0), (4, 0)], [(2, 0), (2, 6)]],
    "a": [[(1, 2)] + _arc(2, 3, -90, 0) + [(3, 6)], [(3, 4)] + _arc(1, 5, -90, -270) + [(3, 6)]],
    "c": [[(3, 2)] + _arc(1, 3, -90, -180) + _arc(1, 5, 180, 90) + [(3, 6)]],
    "d": [[(3, 0), (3, 6)], [(3, 2)] + _arc(1, 3, -90, -180) + _arc(1, 5, 180, 90) + [(3, 6)]],
    "e": [[(0, 4), (3, 4)] + _arc(2, 3, 0, -90) + _arc(1, 3, -90, -180) + _arc(1, 5, 180, 90) + [(3, 6)]],
    "i": [[(0, 0)], [(0, 2), (0, 6)]],
    "k": [[(0, 0), (0, 6)], [(3, 2), (1, 4), (3, 6)]],
    "l": [[(0, 0), (0, 6)]],
    "n": [[(0, 6), (0, 2)] + _arc(2, 3, -90, 0) + [(3, 6)]],
    "o": [_arc(2, 3, -90, 0) + _arc(2, 5, 0, 90) + _arc(1, 5, 90, 180) + _arc(1, 3, 180, 270) + [(2, 2)]],
    "r": [[(0, 2), (0, 6)], _arc(2, 4, 180, 270, radius=2)],
    "s": [[(3, 2)] + _arc(1, 3, -90, -270) + _arc(2, 5, -90, 90) + [(0, 6)]],
    "t": [[(1, 1)] + _arc(2, 5, 180, 90), [(0, 2), (2, 2)]],
}


def draw_text_scaled(canvas, x, top, text, colour):
    """draw_text's letters, in the same cells, as pen strokes on a ScaledCanvas."""
    for i, ch in enumerate(text):
        if i:
            x += LETTER_GAP
        if ch == " ":
            x += SPACE_WIDTH
            continue
        if ch not in STROKE_FONT:
            raise ValueError("no stroke letter for %r" % ch)
        for stroke in STROKE_FONT[ch]:
            canvas.stroke([(x + px, top + py) for px, py in stroke], colour)
        x += len(FONT[ch][0])


def draw_form_scaled(c, x0, y0):
    """draw_form on a ScaledCanvas."""
    x1, y1 = x0 + 13, y0 + 17
    fold = 4
    fx = x1 - fold
    c.fill(x0, y0, x1, y1, WHITE)
    c.frame(x0, y0, x1, y1, DARK_GREY)
    corner = (fx, y0), (x1, y0 + fold)
    for x, y in list(c.pixels_beside(*corner, fx, y0, x1, y0 + fold, -1)):
        c.image.px[y][x] = (0, 0, 0, 0)                 # cut away beyond the diagonal
    for x, y in c.pixels_beside(*corner, fx, y0, x1, y0 + fold, 1):
        c.image.put(x, y, LIGHT_GREY)                   # back of the paper
    c.stroke(corner, DARK_GREY)
    c.stroke([(fx, y0), (fx, y0 + fold), (x1, y0 + fold)], DARK_GREY)
    c.fill(x0 + 3, y0 + 7, x1 - 3, y0 + 8, GREY)
    c.fill(x0 + 3, y0 + 10, x1 - 3, y0 + 11, GREY)
    c.fill(x0 + 3, y0 + 13, x1 - 5, y0 + 14, GREY)
    return x1


def draw_printer_scaled(c, x0, y0):
    """draw_printer on a ScaledCanvas."""
    c.fill(x0 + 4, y0, x0 + 13, y0 + 5, WHITE)
    c.frame(x0 + 4, y0, x0 + 13, y0 + 5, DARK_GREY)
    bx0, by0, bx1, by1 = x0, y0 + 5, x0 + 17, y0 + 13
    c.fill(bx0, by0, bx1, by1, SILVER)
    c.fill(bx0 + 1, by0 + 1, bx1 - 1, by0 + 1, LIGHT_GREY)
    c.fill(bx0 + 1, by1 - 1, bx1 - 1, by1 - 1, GREY)
    c.frame(bx0, by0, bx1, by1, DARK_GREY)
    c.fill(bx1 - 4, by0 + 3, bx1 - 3, by0 + 3, GREEN)
    c.fill(bx0 + 3, by1 - 2, bx1 - 3, by1 - 2, BLACK)
    sx0, sy0, sx1, sy1 = x0 + 4, by1 - 2, x0 + 13, y0 + 18
    c.fill(sx0, sy0 + 1, sx1, sy1, WHITE)
    c.frame(sx0, sy0 + 1, sx1, sy1, DARK_GREY, sides="lrb")
    c.fill(sx0 + 2, sy0 + 3, sx1 - 2, sy0 + 3, GREY)
    return bx1


def draw_envelope_scaled(c, x0, y0):
    """draw_envelope on a ScaledCanvas."""
    x1, y1 = x0 + 25, y0 + 15
    c.fill(x0, y0, x1, y1, WHITE)
    c.frame(x0, y0, x1, y1, DARK_GREY)
    mid = (x0 + x1) // 2
    c.stroke([(x0, y0), (mid, y0 + 9)], DARK_GREY)
    c.stroke([(x1, y0), (mid + 1, y0 + 9)], DARK_GREY)
    c.fill(x1 - 7, y0 + 2, x1 - 2, y0 + 8, RED)
    c.frame(x1 - 7, y0 + 2, x1 - 2, y0 + 8, DARK_RED)
    return x1


SCALED_SYMBOLS = {draw_form: draw_form_scaled, draw_printer: draw_printer_scaled,
                  draw_envelope: draw_envelope_scaled}


def button_picture(percent, width, height, symbol, symbol_size, lines, safe_width=None):
    """A button picture at a scale; at 100 % exactly button_image's.

    A picture wider than its button (safe_width) is drawn larger only as wide
    as the button: what lies beyond is transparent margin, hidden anyway.
    """
    if percent == 100:
        return button_image(width, height, symbol, symbol_size, lines, safe_width)
    if safe_width is not None:
        width = safe_width
    c = ScaledCanvas(width, height, percent)
    button_image(width, height, SCALED_SYMBOLS[symbol], symbol_size, lines, c=c, draw=draw_text_scaled)
    others = {p[:3] for row in c.image.px for p in row if p[3]} - set(NAMED_COLOURS)
    assert not others, "colours outside the 16 named ones: %r" % sorted(others)
    return c.image


# ---------------------------------------------------------------------------
# ICO encoding.
# ---------------------------------------------------------------------------


def row_bytes(width, bpp):
    return ((width * bpp + 31) // 32) * 4


def image_bytes(width, height, bpp):
    """Size of one BMP entry: header + palette + colour bits + AND mask."""
    palette = {4: 16, 8: 256, 32: 0}[bpp] * 4
    return 40 + palette + row_bytes(width, bpp) * height + row_bytes(width, 1) * height


def _pack_bits(values, bpp, width):
    """Pack one row of 1/4/8-bit values MSB-first, padded to 4 bytes."""
    out = bytearray(row_bytes(width, bpp))
    per_byte = 8 // bpp
    for x, v in enumerate(values):
        shift = 8 - bpp * (x % per_byte + 1)
        out[x // per_byte] |= v << shift
    return bytes(out)


def encode_bmp(canvas, bpp):
    w, h = canvas.width, canvas.height
    colour_rows, mask_rows = [], []
    quant = {4: QUANT16, 8: QUANT256}.get(bpp)
    palette = {4: PALETTE16, 8: PALETTE256}.get(bpp, [])
    for row in reversed(canvas.px):       # bottom-up
        mask = [1 if a == 0 else 0 for (_, _, _, a) in row]
        if bpp == 32:
            line = bytearray()
            for (r, g, b, a) in row:
                line += bytes((b, g, r, a)) if a else b"\0\0\0\0"
            colour_rows.append(bytes(line))
        else:
            for (_, _, _, a) in row:
                if a not in (0, 255):
                    raise ValueError("%d bpp image has partial alpha" % bpp)
            idx = [quant.index((r, g, b)) if a else 0 for (r, g, b, a) in row]
            colour_rows.append(_pack_bits(idx, bpp, w))
        mask_rows.append(_pack_bits(mask, 1, w))
    bits = b"".join(colour_rows)
    mask = b"".join(mask_rows)
    header = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, bpp, 0, len(bits) + len(mask), 0, 0, 0, 0)
    pal = b"".join(bytes((b, g, r, 0)) for (r, g, b) in palette)
    data = header + pal + bits + mask
    assert len(data) == image_bytes(w, h, bpp)
    return data


def encode_ico(images):
    """images: list of (canvas, bpp), in directory order."""
    blobs = [encode_bmp(c, bpp) for c, bpp in images]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for (c, bpp), blob in zip(images, blobs):
        out += struct.pack("<BBBBHHII", c.width % 256, c.height % 256, 16 if bpp == 4 else 0,
                           0, 1, bpp, len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        out += blob
    return bytes(out)


# ---------------------------------------------------------------------------
# What gets written, and the self-check run before writing.
# ---------------------------------------------------------------------------

TRAY_IMAGES = [(16, 4), (32, 4), (16, 8), (32, 8), (48, 8),
               (16, 32), (20, 32), (24, 32), (32, 32), (40, 32), (48, 32)]

EXPECTED_FILES = {
    # name: (file size, [(width, height, bpp), ...] in directory order)
    "tray.ico": (34526, [(s, s, bpp) for s, bpp in TRAY_IMAGES]),
    "ticket.ico": (2446, [(60, 20, 8)]),
    "printer.ico": (2446, [(60, 20, 8)]),
    "mail.ico": (3374, [(90, 22, 8)]),
    # The button pictures at 150, 200 and 300 %, in 16 colours: they use only the named ones.
    "ticket-scaled.ico": (12166, [(90, 30, 4), (120, 40, 4), (180, 60, 4)]),
    "printer-scaled.ico": (12166, [(90, 30, 4), (120, 40, 4), (180, 60, 4)]),
    "mail-scaled.ico": (17306, [(120, 33, 4), (160, 44, 4), (240, 66, 4)]),
}

BUTTON_WIDTH = 80   # the buttons showing these images are 80x35 px

BUTTON_PICTURES = {
    # name: (width, height, symbol, symbol size, caption lines, ink kept inside this many columns)
    "ticket": (60, 20, draw_form, (14, 18), ["Create", "Ticket"], None),
    "printer": (60, 20, draw_printer, (18, 19), ["Install", "Printer"], None),
    "mail": (90, 22, draw_envelope, (26, 16), ["Send To", "IT"], BUTTON_WIDTH),
}


def build_all():
    stars = {}
    tray = []
    for size, bpp in TRAY_IMAGES:
        if size not in stars:
            stars[size] = draw_star(size)
        tray.append((stars[size] if bpp == 32 else hard_edged(stars[size]), bpp))
    files = {"tray.ico": encode_ico(tray)}
    for name, picture in BUTTON_PICTURES.items():
        files[name + ".ico"] = encode_ico([(button_picture(100, *picture), 8)])
    for name, picture in BUTTON_PICTURES.items():
        files[name + "-scaled.ico"] = encode_ico([(button_picture(p, *picture), 4) for p in SCALES])
    return files


def verify(name, data):
    """Raise AssertionError unless data has the size and directory EXPECTED_FILES gives."""
    size, entries = EXPECTED_FILES[name]
    assert len(data) == size, "%s: %d bytes, expected %d" % (name, len(data), size)
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    assert (reserved, kind, count) == (0, 1, len(entries)), "%s: bad header" % name
    offset = 6 + 16 * count
    for i, (w, h, bpp) in enumerate(entries):
        bw, bh, colours, res, planes, bits, nbytes, at = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        assert (bw, bh, bits, planes, res) == (w, h, bpp, 1, 0), "%s: entry %d is wrong" % (name, i)
        assert colours == (16 if bpp == 4 else 0), "%s: entry %d colour count" % (name, i)
        assert nbytes == image_bytes(w, h, bpp), "%s: entry %d size %d" % (name, i, nbytes)
        assert at == offset, "%s: entry %d at %d, expected %d" % (name, i, at, offset)
        offset += nbytes
    assert offset == len(data), "%s: images end at %d of %d bytes" % (name, offset, len(data))


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--out", default=DEFAULT_OUT, help="output directory (default: %(default)s)")
    args = ap.parse_args(argv)
    files = build_all()
    for name, data in files.items():
        verify(name, data)
    os.makedirs(args.out, exist_ok=True)
    for name, data in files.items():
        path = os.path.join(args.out, name)
        with open(path, "wb") as f:
            f.write(data)
        print("%-18s %6d bytes  %s" % (name, len(data), os.path.relpath(path, REPO_ROOT)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
