"""Drafts for the raster scene: the fast wavy scroller (800 x 50) and the
eight member handles (one big word each, one colour ramp per name)."""

import os

from pix import Pic, Mask, place, centred, ROOT
from blockfont import block_text

A = 1.2

# ---------------------------------------------------------------- scroller
# One word at a time in letters seven rows high, each short enough to cross
# the screen between two sweeps of the front bars.
#
# The front bars sweep down the whole screen once every 1571 ms (one set
# after the other; they turn 0.04 rad every 20 ms), and the scroller moves
# one column every 10 ms after 312 ms, so a sweep passes once every 157
# columns of scroll. A column stays on screen for 80 of them, and the sweep
# needs some 45 to cross the letters' rows with their wave (4.5 rows up or
# down), which leaves a word about 33 columns. The columns below are the
# words' left edges, each keeping clear of the sweeps before and after it
# whatever the wave's phase; the greeting stands on screen at once when the
# scroller starts. A big gem between two words fills the screen while a
# sweep passes; the bars may cross it.
TOP = 24
SCROLL = [("HI GLIMMERBAY!", 12), ("TAVORLIN", 225), ("PRESENTS", 383), ("KESTRUNE", 539),
          ("ENJOY!", 700)]

# Seven rows per letter, one column per stroke.
GLYPHS = {
    " ": "..|..|..|..|..|..|..",
    "A": ".XX.|X..X|X..X|XXXX|X..X|X..X|X..X",
    "B": "XX.|X.X|X.X|XX.|X.X|X.X|XX.",
    "E": "XXX|X..|X..|XX.|X..|X..|XXX",
    "G": ".XXX|X...|X...|X.XX|X..X|X..X|.XXX",
    "H": "X..X|X..X|X..X|XXXX|X..X|X..X|X..X",
    "I": "X|X|X|X|X|X|X",
    "J": "..X|..X|..X|..X|..X|X.X|.X.",
    "K": "X..X|X..X|X.X.|XX..|X.X.|X..X|X..X",
    "L": "X..|X..|X..|X..|X..|X..|XXX",
    "M": "X...X|XX.XX|X.X.X|X.X.X|X...X|X...X|X...X",
    "N": "X..X|XX.X|XX.X|X.XX|X.XX|X..X|X..X",
    "O": ".XX.|X..X|X..X|X..X|X..X|X..X|.XX.",
    "P": "XX.|X.X|X.X|XX.|X..|X..|X..",
    "R": "XX.|X.X|X.X|XX.|X.X|X.X|X.X",
    "S": ".XX|X..|X..|.X.|..X|..X|XX.",
    "T": "XXX|.X.|.X.|.X.|.X.|.X.|.X.",
    "U": "X.X|X.X|X.X|X.X|X.X|X.X|XXX",
    "V": "X.X|X.X|X.X|X.X|X.X|.X.|.X.",
    "Y": "X...X|X...X|.X.X.|..X..|..X..|..X..|..X..",
    "!": "X|X|X|X|X|.|X",
}

# Chrome: a white edge, cyan sky, then sunlit ground.
CHROME = [15, 11, 11, 11, 14, 14, 14]


def small_text(word, gap=1):
    rows = [GLYPHS[ch].split("|") for ch in word]
    w = sum(len(r[0]) for r in rows) + gap * (len(rows) - 1)
    m = Mask(w, len(CHROME))
    x = 0
    for r in rows:
        for y, line in enumerate(r):
            for i, ch in enumerate(line):
                if ch == "X":
                    m.add(x + i, y)
        x += len(r[0]) + gap
    return m


def diamond(w, h):
    m = Mask(w, h)
    cx, cy = w / 2.0, h / 2.0
    for y in range(h):
        for x in range(w):
            if abs(x + 0.5 - cx) / cx + abs(y + 0.5 - cy) / cy <= 1.0:
                m.add(x, y)
    return m


def scroller():
    W, H = 800, 50
    p = Pic(W, H)
    letters = Mask(W, H)
    gems = Mask(W, H)
    end = None
    gem = diamond(13, 13)
    for words, x in SCROLL:
        if end is not None:
            assert x > end + 2 * gem.w, words  # room for a gem parted by blank columns
            gems = gems.union(place(gem, W, H, (end + x - gem.w) // 2, TOP + 3 - gem.h // 2))
        m = small_text(words)
        letters = letters.union(place(m, W, H, x, TOP))
        end = x + m.w
    print("scroller text ends at column", end - 1)
    p.paint(letters, lambda x, y: CHROME[y - TOP])
    p.paint(gems, lambda x, y: 15 if y < TOP + 3 else 13)  # lit above its waist
    p.paint(gems.edge(0, 1).union(gems.edge(1, 0)), 5)
    return p


# ------------------------------------------------------------------ handles
# The members of Tavorlin. The scene shows nick7, nick8, then nick1 ... nick6,
# so the coder and the musician come first, each for two beats (600 ms)
# between the back and the front bars. Each handle stands on the rows the
# front bars leave alone while it shows (with 24 ms to spare either side), as
# tall as those rows allow: the sweep is at the middle of the screen during
# nick1's beats, so ZORWIK sits low and small. Last field: the rows free
# (JOKKO keeps a row from the top edge).

NICKS = [
    ("ZORWIK", [15, 11, 11, 11, 3, 3], 1, (40, 49)),
    ("PELLIX", [15, 10, 10, 10, 2, 2], 2, (1, 31)),
    ("QUENNA", [15, 12, 12, 12, 4, 4], 4, (23, 48)),
    ("JOKKO", [15, 11, 9, 9, 9, 1], 1, (1, 13)),
    ("FYRELL", [15, 14, 14, 14, 6, 6], 6, (7, 41)),
    ("OKARI", [15, 15, 7, 7, 7, 8], 8, (34, 49)),
    ("SUNVIRA", [15, 14, 14, 12, 12, 4], 4, (0, 20)),
    ("DRIMBO", [15, 13, 13, 13, 5, 5], 5, (12, 45)),
]

# Letter row bands (bar, space, bar, space, bar) by height, 18 rows at most.
HANDLE_ROWS = {18: (4, 3, 4, 3, 4), 15: (3, 3, 3, 3, 3), 13: (3, 2, 3, 2, 3), 12: (3, 2, 2, 2, 3),
               9: (2, 1, 3, 1, 2)}


def nick(name, ramp, dark, free):
    W, H = 80, 50
    room = free[1] - free[0]  # rows for the letters; the shadow takes one more
    rows = HANDLE_ROWS[max(h for h in HANDLE_ROWS if h <= room)]
    m = block_text(name, rows, s=3, g=2, m=2, gap=2)
    if m.w > 76:
        m = block_text(name, rows, s=2, g=2, m=2, gap=2)
    top = free[0] + (room - m.h) // 2
    word = centred(m, W, H, top)
    p = Pic(W, H)
    # A shadow row under the strokes (not filling a one-row gap), then the
    # letters in bands.
    p.paint(word.shifted(0, 1).minus(word).minus(word.shifted(0, -1)), 1 if dark != 1 else 8)
    n = len(ramp)
    p.paint(word, lambda x, y: ramp[min(n - 1, (y - top) * n // m.h)])
    return p


if __name__ == "__main__":
    for k, (name, ramp, dark, free) in enumerate(NICKS):
        nick(name, ramp, dark, free).save(os.path.join(ROOT, "textraster", "nick%d.txt" % (k + 1)),
                                    "textraster/nick%d: %s (80 x 50)" % (k + 1, name))
    scroller().save(os.path.join(ROOT, "textraster", "fastintro.txt"),
                    "textraster/fastintro: the wavy scroller (800 x 50)\n"
                    "HI GLIMMERBAY! TAVORLIN PRESENTS KESTRUNE ENJOY!: one word at a time, each\n"
                    "crossing the screen between two sweeps of the front bars (they sweep down\n"
                    "once every 157 columns of scroll).")
