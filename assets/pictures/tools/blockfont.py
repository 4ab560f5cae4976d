"""A scalable block font for lettering in text cells.

Each glyph is a pattern of 5 rows; every pattern row and column stands for a
band of cells whose size is chosen per use: rows alternate bar / space
(heights b, t, b, t, b), columns stem / gap / middle / gap / stem (widths s,
g, m, g, s), so one pattern gives letters 10 or 40 rows tall with bold stems.
Glyphs may name their own column classes (T and Y have a full-width middle
stem, I is a single stem). Empty pattern corners between two filled
neighbours are cut diagonally, which rounds O, C, S and friends.
"""

from pix import Mask

GLYPHS = {
    "A": ".XXX.|X...X|XXXXX|X...X|X...X",
    "B": "XXXX.|X...X|XXXX.|X...X|XXXX.",
    "C": ".XXXX|X....|X....|X....|.XXXX",
    "D": "XXXX.|X...X|X...X|X...X|XXXX.",
    "E": "XXXXX|X....|XXXX.|X....|XXXXX",
    "F": "XXXXX|X....|XXXX.|X....|X....",
    "G": ".XXXX|X....|X..XX|X...X|.XXXX",
    "H": "X...X|X...X|XXXXX|X...X|X...X",
    "I": "X|X|X|X|X",
    "J": "....X|....X|....X|X...X|.XXX.",
    "K": "X...X|X..X.|XXX..|X..X.|X...X",
    "L": "X....|X....|X....|X....|XXXXX",
    "M": "X...X|XX.XX|X.X.X|X...X|X...X",
    "N": "X...X|XX..X|X.X.X|X..XX|X...X",
    "O": ".XXX.|X...X|X...X|X...X|.XXX.",
    "P": "XXXX.|X...X|XXXX.|X....|X....",
    "Q": ".XXX.|X...X|X...X|X..X.|.XX.X",
    "R": "XXXX.|X...X|XXXX.|X..X.|X...X",
    "S": ".XXXX|X....|.XXX.|....X|XXXX.",
    "T": "XXXXX|..X..|..X..|..X..|..X..",
    "U": "X...X|X...X|X...X|X...X|.XXX.",
    "V": "X...X|X...X|X...X|.X.X.|..X..",
    "W": "X...X|X...X|X.X.X|XX.XX|X...X",
    "X": "X...X|.X.X.|..X..|.X.X.|X...X",
    "Y": "X...X|X...X|.XXX.|..X..|..X..",
    "Z": "XXXXX|...X.|..X..|.X...|XXXXX",
    "0": ".XXX.|X..XX|X.X.X|XX..X|.XXX.",
    "1": "XX.|.X.|.X.|.X.|XXX",
    "2": "XXXX.|....X|.XXX.|X....|XXXXX",
    "3": "XXXX.|....X|.XXX.|....X|XXXX.",
    "4": "X...X|X...X|XXXXX|....X|....X",
    "5": "XXXXX|X....|XXXX.|....X|XXXX.",
    "6": ".XXX.|X....|XXXX.|X...X|.XXX.",
    "7": "XXXXX|....X|...X.|..X..|..X..",
    "8": ".XXX.|X...X|.XXX.|X...X|.XXX.",
    "9": ".XXX.|X...X|.XXXX|....X|.XXX.",
    "!": "X|X|X|.|X",
    "-": "...|...|XXX|...|...",
    ".": ".|.|.|.|X",
    ":": ".|X|.|X|.",
}

# Column classes of glyphs that do not follow the 5-column default.
CLASSES = {"T": "sgsgs", "Y": "sgsgs", "I": "s", "1": "gsg", "!": "s", "-": "sgs",
           ".": "s", ":": "s"}


def _open_cells(pattern):
    """Empty pattern cells connected to the glyph's border (not counters)."""
    h, w = len(pattern), len(pattern[0])
    seen = set()
    todo = [(i, j) for j in range(h) for i in range(w)
            if (i in (0, w - 1) or j in (0, h - 1)) and pattern[j][i] != "X"]
    while todo:
        i, j = todo.pop()
        if (i, j) in seen:
            continue
        seen.add((i, j))
        for di, dj in ((1, 0), (-1, 0), (0, 1), (0, -1)):
            a, b = i + di, j + dj
            if 0 <= a < w and 0 <= b < h and pattern[b][a] != "X":
                todo.append((a, b))
    return seen


def glyph_mask(ch, rows, widths, chamfer=True, round_counters=False):
    """Cells of one glyph. rows: 5 row heights; widths: dict s/g/m -> width.
    Counters (enclosed holes) keep square corners unless round_counters."""
    pattern = GLYPHS[ch].split("|")
    classes = CLASSES.get(ch, "sgmgs")
    open_cells = _open_cells(pattern)
    colw = [widths[c] for c in classes]
    xs = [sum(colw[:i]) for i in range(len(colw) + 1)]
    ys = [sum(rows[:i]) for i in range(len(rows) + 1)]
    m = Mask(xs[-1], ys[-1])

    def filled(i, j):
        return 0 <= j < 5 and 0 <= i < len(colw) and pattern[j][i] == "X"

    for j in range(5):
        for i in range(len(colw)):
            if filled(i, j):
                for y in range(ys[j], ys[j + 1]):
                    for x in range(xs[i], xs[i + 1]):
                        m.add(x, y)
            elif chamfer and (round_counters or (i, j) in open_cells):
                for dx in (-1, 1):
                    for dy in (-1, 1):
                        if filled(i + dx, j) and filled(i, j + dy):
                            w, h = colw[i], rows[j]
                            for y in range(h):
                                for x in range(w):
                                    fx = (x + 0.5) / w
                                    fy = (y + 0.5) / h
                                    tx = fx if dx > 0 else 1 - fx
                                    ty = fy if dy > 0 else 1 - fy
                                    if tx + ty > 1.0:
                                        m.add(xs[i] + x, ys[j] + y)
    return m


def block_text(text, rows=(2, 3, 2, 3, 2), s=2, g=1, m=1, gap=1, space=None, chamfer=True,
               widths=None, round_counters=False):
    """Mask of a line of block letters. widths may override per-letter
    (s, g, m)."""
    rows = list(rows)
    space = space if space is not None else s + g
    glyphs = []
    for ch in text:
        if ch == " ":
            glyphs.append(None)
        else:
            w = {"s": s, "g": g, "m": m}
            if widths and ch in widths:
                w.update(widths[ch])
            glyphs.append(glyph_mask(ch, rows, w, chamfer, round_counters))
    total = 0
    for k, gm in enumerate(glyphs):
        total += space if gm is None else gm.w
        if k + 1 < len(glyphs) and gm is not None and glyphs[k + 1] is not None:
            total += gap
    out = Mask(total, sum(rows))
    x = 0
    for k, gm in enumerate(glyphs):
        if gm is None:
            x += space
            continue
        for px, py in gm.points():
            out.add(x + px, py)
        x += gm.w
        if k + 1 < len(glyphs) and glyphs[k + 1] is not None:
            x += gap
    return out
