"""Drafting helpers for the show's text-screen pictures.

The pictures themselves are the grids in assets/pictures/<scene>/<name>.txt
(one character per element: 0-9 A-F palette index, '.' transparent). The
scripts beside this module draw first drafts of those grids; the grids are
then touched up by hand and are the only thing the build reads.

Geometry is given in "square units": one unit is a cell's width, and a cell
is ASPECT units tall (the 80 x 50 screen shown at 4:3 has cells 1.2 times
taller than wide), so circles come out round on screen.

Python 3 standard library only; letters are rasterised from Debian's TrueType
fonts through ImageMagick (/usr/bin/convert-im6.q16).
"""

import math
import os
import struct
import subprocess
import zlib

ASPECT = 1.2

PALETTE = [
    (0, 0, 0), (0, 0, 128), (0, 128, 0), (0, 128, 128),
    (128, 0, 0), (128, 0, 128), (128, 128, 0), (192, 192, 192),
    (128, 128, 128), (0, 0, 255), (0, 255, 0), (0, 255, 255),
    (255, 0, 0), (255, 0, 255), (255, 255, 0), (255, 255, 255)]

HEX = "0123456789ABCDEF"

FONTS = {
    "sans": "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
    "cond": "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf",
    "arial": "/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf",
    "narrow": "/usr/share/fonts/truetype/liberation/LiberationSansNarrow-Bold.ttf",
    "serif": "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf",
    "mono": "/usr/share/fonts/truetype/liberation/LiberationMono-Bold.ttf",
}
CONVERT = "/usr/bin/convert-im6.q16"

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)  # assets/pictures


# ---------------------------------------------------------------- pictures

class Pic:
    """A grid of palette indices (0 = transparent / black)."""

    def __init__(self, w, h, fill=0):
        self.w, self.h = w, h
        self.px = [fill] * (w * h)

    def inside(self, x, y):
        return 0 <= x < self.w and 0 <= y < self.h

    def get(self, x, y, default=0):
        if 0 <= x < self.w and 0 <= y < self.h:
            return self.px[y * self.w + x]
        return default

    def set(self, x, y, c):
        if c is not None and 0 <= x < self.w and 0 <= y < self.h:
            self.px[y * self.w + x] = c

    def copy(self):
        p = Pic(self.w, self.h)
        p.px = list(self.px)
        return p

    def cells(self):
        for y in range(self.h):
            for x in range(self.w):
                yield x, y

    def paint(self, mask, colour, ox=0, oy=0):
        """Sets every cell of mask (a Mask) to colour; colour may be a
        function (x, y) -> colour or None, in picture coordinates."""
        for (x, y) in mask.points():
            px, py = x + ox, y + oy
            c = colour(px, py) if callable(colour) else colour
            self.set(px, py, c)

    def blit(self, other, ox=0, oy=0):
        for y in range(other.h):
            for x in range(other.w):
                c = other.px[y * other.w + x]
                if c:
                    self.set(x + ox, y + oy, c)

    def mask(self, pred=lambda c: c != 0):
        m = Mask(self.w, self.h)
        for i, c in enumerate(self.px):
            if pred(c):
                m.bits[i] = 1
        return m

    def replace(self, old, new):
        self.px = [new if c == old else c for c in self.px]

    def save(self, path, comment=None, zero="."):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as f:
            if comment:
                for line in comment.splitlines():
                    f.write("# " + line + "\n")
            for y in range(self.h):
                f.write("".join(zero if c == 0 else HEX[c]
                                for c in self.px[y * self.w:(y + 1) * self.w]) + "\n")

    @staticmethod
    def load(path, w=None, h=None):
        rows = []
        with open(path) as f:
            for line in f:
                line = line.rstrip("\r\n")
                if line.startswith("#") or not line:
                    continue
                rows.append([0 if ch == "." else int(ch, 16) for ch in line])
        p = Pic(len(rows[0]), len(rows))
        for y, r in enumerate(rows):
            for x, c in enumerate(r):
                p.px[y * p.w + x] = c
        if w is not None:
            assert (p.w, p.h) == (w, h), (path, p.w, p.h)
        return p

    def png(self, path, cw=10, ch=12, checker=False, chars=None):
        write_png(path, render(self, cw, ch, checker, chars))


class Mask:
    """A set of cells on a w x h grid."""

    def __init__(self, w, h):
        self.w, self.h = w, h
        self.bits = bytearray(w * h)

    def __contains__(self, xy):
        x, y = xy
        return 0 <= x < self.w and 0 <= y < self.h and self.bits[y * self.w + x] != 0

    def add(self, x, y):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.bits[y * self.w + x] = 1

    def remove(self, x, y):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.bits[y * self.w + x] = 0

    def points(self):
        w = self.w
        for i, b in enumerate(self.bits):
            if b:
                yield i % w, i // w

    def count(self):
        return sum(self.bits)

    def copy(self):
        m = Mask(self.w, self.h)
        m.bits = bytearray(self.bits)
        return m

    def union(self, other):
        m = self.copy()
        for i, b in enumerate(other.bits):
            if b:
                m.bits[i] = 1
        return m

    def minus(self, other):
        m = self.copy()
        for i, b in enumerate(other.bits):
            if b:
                m.bits[i] = 0
        return m

    def intersect(self, other):
        m = Mask(self.w, self.h)
        for i, b in enumerate(self.bits):
            if b and other.bits[i]:
                m.bits[i] = 1
        return m

    def shifted(self, dx, dy):
        m = Mask(self.w, self.h)
        for x, y in self.points():
            m.add(x + dx, y + dy)
        return m

    def grow(self, n=1, diagonal=True):
        m = self
        for _ in range(n):
            out = m.copy()
            for x, y in m.points():
                for dx in (-1, 0, 1):
                    for dy in (-1, 0, 1):
                        if diagonal or dx == 0 or dy == 0:
                            out.add(x + dx, y + dy)
            m = out
        return m

    def shrink(self, n=1, diagonal=True):
        inv = Mask(self.w, self.h)
        inv.bits = bytearray(0 if b else 1 for b in self.bits)
        grown = inv.grow(n, diagonal)
        m = Mask(self.w, self.h)
        m.bits = bytearray(0 if b else 1 for b in grown.bits)
        return m

    def ring(self, n=1, diagonal=True):
        """Cells outside the mask within n steps of it."""
        return self.grow(n, diagonal).minus(self)

    def edge(self, dx, dy):
        """Cells of the mask whose neighbour (dx, dy) is outside it."""
        m = Mask(self.w, self.h)
        for x, y in self.points():
            if (x + dx, y + dy) not in self:
                m.add(x, y)
        return m

    def bbox(self):
        xs = [p[0] for p in self.points()]
        ys = [p[1] for p in self.points()]
        if not xs:
            return None
        return min(xs), min(ys), max(xs), max(ys)

    def mirrored_x(self):
        m = Mask(self.w, self.h)
        for x, y in self.points():
            m.add(self.w - 1 - x, y)
        return m


def shape(w, h, inside, ss=4, threshold=0.5, aspect=ASPECT):
    """Mask of cells whose area is covered by `inside(ux, uy)` (square units,
    origin at the top-left corner) for at least `threshold` of ss x ss
    samples."""
    m = Mask(w, h)
    need = threshold * ss * ss
    for y in range(h):
        for x in range(w):
            n = 0
            for sy in range(ss):
                uy = (y + (sy + 0.5) / ss) * aspect
                for sx in range(ss):
                    if inside(x + (sx + 0.5) / ss, uy):
                        n += 1
            if n >= need and n > 0:
                m.bits[y * w + x] = 1
    return m


# -------------------------------------------------- geometry (square units)

def in_polygon(pts, x, y):
    inside = False
    n = len(pts)
    j = n - 1
    for i in range(n):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > y) != (yj > y):
            if x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                inside = not inside
        j = i
    return inside


def polygon(pts):
    return lambda x, y: in_polygon(pts, x, y)


def ellipse(cx, cy, rx, ry=None):
    ry = rx if ry is None else ry
    return lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    l2 = dx * dx + dy * dy
    t = 0.0 if l2 == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / l2))
    qx, qy = ax + t * dx, ay + t * dy
    return math.hypot(px - qx, py - qy)


def capsule(ax, ay, bx, by, r, r2=None):
    """Thick segment; the radius may taper from r at a to r2 at b."""
    r2 = r if r2 is None else r2

    def f(x, y):
        dx, dy = bx - ax, by - ay
        l2 = dx * dx + dy * dy
        t = 0.0 if l2 == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / l2))
        qx, qy = ax + t * dx, ay + t * dy
        return math.hypot(x - qx, y - qy) <= r + (r2 - r) * t
    return f


def polyline(pts, r):
    parts = [capsule(pts[i][0], pts[i][1], pts[i + 1][0], pts[i + 1][1], r)
             for i in range(len(pts) - 1)]
    return lambda x, y: any(p(x, y) for p in parts)


def union(*fs):
    return lambda x, y: any(f(x, y) for f in fs)


def minus(f, *gs):
    return lambda x, y: f(x, y) and not any(g(x, y) for g in gs)


def intersect(*fs):
    return lambda x, y: all(f(x, y) for f in fs)


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def mirror(f, cx):
    """f together with its mirror image about the vertical line x = cx."""
    return lambda x, y: f(x, y) or f(2 * cx - x, y)


def star(cx, cy, r_out, r_in, points=4, rot=-math.pi / 2):
    pts = []
    for i in range(points * 2):
        a = rot + i * math.pi / points
        r = r_out if i % 2 == 0 else r_in
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return polygon(pts)


def arc_band(cx, cy, r0, r1, a0, a1):
    """Ring between radii r0 and r1, angles a0..a1 (radians, y down)."""
    def f(x, y):
        d = math.hypot(x - cx, y - cy)
        if not r0 <= d <= r1:
            return False
        a = math.atan2(y - cy, x - cx)
        if a0 <= a1:
            return a0 <= a <= a1
        return a >= a0 or a <= a1
    return f


# ------------------------------------------------------------------ letters

_glyph_cache = {}


def _read_pgm(data):
    # P5 header: magic, width, height, maxval, each separated by whitespace.
    parts = []
    i = 0
    while len(parts) < 4:
        while data[i:i + 1].isspace():
            i += 1
        j = i
        while not data[j:j + 1].isspace():
            j += 1
        parts.append(data[i:j])
        i = j
    i += 1
    w, h, maxval = int(parts[1]), int(parts[2]), int(parts[3])
    pix = data[i:i + w * h]
    return w, h, [1.0 - b / maxval for b in pix]  # ink coverage 0..1


def glyph_image(ch, font, size=240):
    """Ink coverage of one character, canvas with baseline at row 3/4."""
    key = (ch, font, size)
    if key in _glyph_cache:
        return _glyph_cache[key]
    cw, chh = size * 2, int(size * 1.6)
    base = int(size * 1.2)
    text = ch.replace("\\", "\\\\").replace("'", "\\'")
    out = subprocess.run(
        [CONVERT, "-size", "%dx%d" % (cw, chh), "xc:white", "-font", FONTS.get(font, font),
         "-pointsize", str(size), "-fill", "black", "-annotate",
         "+%d+%d" % (size // 4, base), text, "-depth", "8", "pgm:-"],
        check=True, stdout=subprocess.PIPE).stdout
    w, h, cov = _read_pgm(out)
    _glyph_cache[key] = (w, h, base, cov)
    return _glyph_cache[key]


def _ink_rows(img):
    w, h, base, cov = img
    rows = [y for y in range(h) if any(cov[y * w + x] > 0.5 for x in range(w))]
    return rows


def text_mask(text, font="sans", rows=12, gap=1, xscale=1.0, aspect=ASPECT,
              threshold=0.5, space=None, kern=None, bold=0):
    """Renders upper-case `text` so that a capital H is `rows` cells tall.
    Letters are rasterised one by one and set `gap` cells apart (kern maps a
    letter pair to an extra gap). Returns (mask, baseline_row) with the mask
    just wide enough; the cap top is row 0."""
    href = glyph_image("H", font)
    hr = _ink_rows(href)
    cap_top, cap_bot = hr[0], hr[-1] + 1
    py = (cap_bot - cap_top) / rows       # pixels per row
    px = py / aspect / xscale             # pixels per column
    letters = []
    below = 0
    for ch in text:
        if ch == " ":
            letters.append(None)
            continue
        w, h, base, cov = glyph_image(ch, font)
        cols = [x for x in range(w) if any(cov[y * w + x] > 0.5 for y in range(h))]
        x0, x1 = cols[0], cols[-1] + 1
        ink = [y for y in range(h) if any(cov[y * w + x] > 0.5 for x in range(x0, x1))]
        top_row = math.floor((ink[0] - cap_top) / py)
        bot_row = math.ceil((ink[-1] + 1 - cap_top) / py)
        ncols = max(1, round((x1 - x0) / px))
        sx = (x1 - x0) / ncols
        cells = {}
        for r in range(top_row, bot_row):
            ya, yb = cap_top + r * py, cap_top + (r + 1) * py
            for c in range(ncols):
                xa, xb = x0 + c * sx, x0 + (c + 1) * sx
                s = n = 0
                yy = ya
                while yy < yb:
                    iy = int(yy)
                    if 0 <= iy < h:
                        xx = xa
                        while xx < xb:
                            s += cov[iy * w + int(xx)]
                            n += 1
                            xx += 1.0
                    yy += 1.0
                if n and s / n >= threshold:
                    cells[(c, r)] = 1
        below = max(below, bot_row - rows)
        above = min(0, top_row)
        letters.append((ncols, cells, above))
    space = space if space is not None else max(2, rows // 3)
    top_extra = -min([l[2] for l in letters if l] + [0])
    total_w = 0
    for i, l in enumerate(letters):
        total_w += space if l is None else l[0]
        if i + 1 < len(letters) and l is not None and letters[i + 1] is not None:
            total_w += gap + (kern.get(text[i:i + 2], 0) if kern else 0)
    m = Mask(total_w + 2 * bold, rows + below + top_extra)
    x = bold
    for i, l in enumerate(letters):
        if l is None:
            x += space
            continue
        ncols, cells, _ = l
        for (c, r) in cells:
            for b in range(-bold, bold + 1):
                m.add(x + c + b, r + top_extra)
        x += ncols
        if i + 1 < len(letters) and letters[i + 1] is not None:
            x += gap + (kern.get(text[i:i + 2], 0) if kern else 0)
    return m, top_extra


def place(mask, w, h, x, y):
    """Copies a mask onto a w x h mask at (x, y)."""
    m = Mask(w, h)
    for px, py in mask.points():
        m.add(px + x, py + y)
    return m


def centred(mask, w, h, y, dx=0):
    return place(mask, w, h, (w - mask.w) // 2 + dx, y)


# ------------------------------------------------------------------ colours

BAYER4 = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]


def ramp(colours, t, x=0, y=0, dither=True):
    """Colour at position t (0..1) along a list of colours; between two
    entries the ordered dither mixes them."""
    t = max(0.0, min(1.0, t))
    f = t * (len(colours) - 1)
    i = int(f)
    if i >= len(colours) - 1:
        return colours[-1]
    frac = f - i
    if not dither:
        return colours[i] if frac < 0.5 else colours[i + 1]
    return colours[i + 1] if frac * 16 > BAYER4[y % 4][x % 4] + 0.5 else colours[i]


def vramp(colours, y0, y1, dither=True):
    """Function (x, y) -> colour for a vertical ramp from row y0 to y1."""
    return lambda x, y: ramp(colours, (y - y0) / max(1, (y1 - y0)), x, y, dither)


def bands(colours, y0, y1):
    """Hard horizontal bands, evenly split between rows y0..y1 (inclusive)."""
    n = len(colours)

    def f(x, y):
        i = int((y - y0) * n / (y1 - y0 + 1))
        return colours[max(0, min(n - 1, i))]
    return f


# -------------------------------------------------------------- rendering

def render(pic, cw=10, ch=12, checker=False, chars=None):
    """RGB rows of a picture drawn as solid blocks of cw x ch pixels.
    chars (optional, same size list) marks cells drawn as light shade."""
    W, H = pic.w * cw, pic.h * ch
    rows = []
    for py in range(H):
        y = py // ch
        row = bytearray()
        for pxx in range(W):
            x = pxx // cw
            c = pic.px[y * pic.w + x]
            if c == 0 and checker:
                v = 40 if ((pxx // 4 + py // 4) & 1) else 24
                row += bytes((v, v, v))
                continue
            rgb = PALETTE[c]
            if chars is not None and chars[y * pic.w + x] == 176:
                lit = ((py % ch) % 4 == 0 and (pxx % cw) % 4 == 0) or \
                      ((py % ch) % 4 == 2 and (pxx % cw) % 4 == 2)
                rgb = rgb if lit else (0, 0, 0)
            row += bytes(rgb)
        rows.append(bytes(row))
    return W, H, rows


def write_png(path, img):
    W, H, rows = img
    raw = b"".join(b"\x00" + r for r in rows)

    def chunk(t, d):
        c = struct.pack(">I", len(d)) + t + d
        return c + struct.pack(">I", zlib.crc32(t + d) & 0xffffffff)
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", W, H, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 6)))
        f.write(chunk(b"IEND", b""))


def sheet(path, pics, cols=2, cw=10, ch=12, pad=8, checker=True):
    """Several pictures side by side in one PNG."""
    imgs = [render(p, cw, ch, checker) for p in pics]
    cellw = max(i[0] for i in imgs) + pad
    cellh = max(i[1] for i in imgs) + pad
    nrows = (len(imgs) + cols - 1) // cols
    W, H = cellw * cols, cellh * nrows
    canvas = [bytearray(b"\x60" * (W * 3)) for _ in range(H)]
    for k, (w, h, rows) in enumerate(imgs):
        ox, oy = (k % cols) * cellw, (k // cols) * cellh
        for y in range(h):
            canvas[oy + y][ox * 3:(ox + w) * 3] = rows[y]
    write_png(path, (W, H, [bytes(r) for r in canvas]))


# -------------------------------------------------- effects, for previews

def draw_rotated(screen, pic, angle, sx=1.0, sy=1.0):
    cx, cy = pic.w // 2, pic.h // 2
    ca, sa = math.cos(angle), math.sin(angle)
    for Y in range(min(50, pic.h)):
        for X in range(min(80, pic.w)):
            x, y = X - cx, Y - cy
            u = cx + int((x * ca + y * sa) * sx)
            v = cy + int((y * ca - x * sa) * sy)
            if 0 <= u < pic.w and 0 <= v < pic.h:
                c = pic.px[v * pic.w + u]
                if c:
                    screen.set(X, Y, c)


def draw_row_wave(screen, pic, phase, amp, freq):
    for r in range(50):
        s = amp * math.sin(r * freq + phase)
        for c in range(80):
            u = int(c + s)
            if 0 <= u <= 79:
                screen.set(c, r, pic.px[pic.w * r + u])


def draw_column_wave(screen, pic, offx, phase, amp, freq):
    for r in range(50):
        for c in range(80):
            v = int(r + amp * math.sin(c * freq + phase))
            if 0 <= v < pic.h and 0 <= c + offx < pic.w:
                col = pic.px[pic.w * v + c + offx]
                if col:
                    screen.set(c, r, col)


def draw_offset(screen, pic, ox, oy):
    for r in range(50):
        for c in range(80):
            u, v = c + ox, r + oy
            if 0 <= u < pic.w and 0 <= v < pic.h:
                col = pic.px[v * pic.w + u]
                if col:
                    screen.set(c, r, col)


def rotozoom(screen, tile, angle_index, zoom_index, mirror=0):
    def tab(i):
        return math.sin(i * 1.41176 * 0.0174532)
    p = int((tab(angle_index) + 0.8) * 4096)
    q = int((tab((angle_index + 128) % 256) + 0.8) * 4096)
    z = 10 * int(tab(zoom_index) * 2.0 * 4096.0)
    A, B = (p * z) >> 12, (q * z) >> 12
    for y in range(50):
        for x in range(80):
            u, v = x * A - y * B, x * B + y * A
            t = tile.px[((v >> 12) & 255) * 256 + ((u >> 12) & 255)]
            X, Y = x, y
            if mirror & 1:
                Y = 49 - y
            if mirror & 2:
                X = 79 - x
            screen.set(X, Y, t)
