"""Drafts for the raster scene: the fast wavy scroller (800 x 50) and the
eight member handles (one big word each, one colour ramp per name)."""

import os

from pix import Pic, Mask, place, centred, ROOT
from blockfont import block_text

A = 1.2

# ---------------------------------------------------------------- scroller
# One line of chrome block letters about 30 rows high, with a gem after the
# greeting. The scene shows columns up to about 830 before it moves on, so
# the text ends before 800.
#
# The bars in front of the scroller tear through its letters while they
# sweep down the middle rows; they keep clear of rows 4-45 (the letters and
# their wave) for about 470 ms around every moment when one set leaves the
# bottom and the other comes in at the top: 695 ms after the scroller starts
# and then every 1571 ms (the bars turn 0.04 rad every 20 ms). The scroller
# moves one column every 10 ms after 312 ms, so the screen's middle column
# then shows picture column 78 + 157.08 k. Each long word stands with its
# middle within 8 columns of one of those, k = 1 .. 4, so it passes the
# middle of the screen untorn; the columns below are the left edges of the
# letters (their dark outline starts one to the left).
SCROLL = [("HI", 91), ("*", 127), ("TAVORLIN", 171), ("PRESENTS", 315), ("KESTRUNE", 471),
          ("GLIMMERBAY!", 624)]

# Chrome: sky above the horizon line, sunlit ground below it.
CHROME = [15, 15, 15, 11, 11, 11, 11, 11, 9, 9, 9, 9, 9, 9, 1,
          6, 6, 14, 14, 14, 14, 14, 14, 14, 15, 15, 15, 15, 15, 15]


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
    top = 10
    p = Pic(W, H)
    letters = Mask(W, H)
    gems = Mask(W, H)
    end = 0
    for word, x in SCROLL:
        assert x > end + 8, word  # the words stay parted by blank columns
        if word == "*":
            m = diamond(13, 13)
            gems = gems.union(place(m, W, H, x, top + 8))
        else:
            m = block_text(word, (6, 6, 6, 6, 6), s=4, g=2, m=3, gap=3)
            letters = letters.union(place(m, W, H, x, top))
        end = x + m.w
    print("scroller text ends at column", end - 1)
    body = letters.union(gems)
    p.paint(body.grow(1, False).minus(body), 1)
    p.paint(letters, lambda x, y: CHROME[y - top])
    p.paint(gems, lambda x, y: 15 if y < top + 12 else 13)
    p.paint(gems.edge(0, 1).union(gems.edge(1, 0)), 5)
    return p


# ------------------------------------------------------------------ handles
# The members of Tavorlin. The scene shows nick7, nick8, then nick1 ... nick6,
# so the coder and the musician come first.

NICKS = [
    ("ZORWIK", [15, 11, 11, 11, 3, 3], 1),
    ("PELLIX", [15, 10, 10, 10, 2, 2], 2),
    ("QUENNA", [15, 12, 12, 12, 4, 4], 4),
    ("JOKKO", [15, 11, 9, 9, 9, 1], 1),
    ("FYRELL", [15, 14, 14, 14, 6, 6], 6),
    ("OKARI", [15, 15, 7, 7, 7, 8], 8),
    ("SUNVIRA", [15, 14, 14, 12, 12, 4], 4),
    ("DRIMBO", [15, 13, 13, 13, 5, 5], 5),
]


def nick(name, ramp, dark):
    W, H = 80, 50
    rows = (4, 3, 4, 3, 4)
    m = block_text(name, rows, s=3, g=2, m=2, gap=2)
    if m.w > 76:
        m = block_text(name, rows, s=2, g=2, m=2, gap=2)
    top = (H - m.h) // 2
    word = centred(m, W, H, top)
    p = Pic(W, H)
    # A shadow row under the strokes, then the letters in bands.
    p.paint(word.shifted(0, 1).minus(word), 1 if dark != 1 else 8)
    n = len(ramp)
    p.paint(word, lambda x, y: ramp[min(n - 1, (y - top) * n // m.h)])
    return p


if __name__ == "__main__":
    for k, (name, ramp, dark) in enumerate(NICKS):
        nick(name, ramp, dark).save(os.path.join(ROOT, "textraster", "nick%d.txt" % (k + 1)),
                                    "textraster/nick%d: %s (80 x 50)" % (k + 1, name))
    scroller().save(os.path.join(ROOT, "textraster", "fastintro.txt"),
                    "textraster/fastintro: the wavy scroller (800 x 50)\n"
                    "HI, then TAVORLIN PRESENTS KESTRUNE GLIMMERBAY!: each word passes the middle\n"
                    "of the screen while the front bars are above or below the letters (they\n"
                    "sweep down once every 157 columns of scroll).")
