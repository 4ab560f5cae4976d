"""Drafts for the raster scene: the fast wavy scroller (800 x 50) and the
eight member handles (one big word each, one colour ramp per name)."""

import os

from pix import Pic, Mask, place, centred, ROOT
from blockfont import block_text

A = 1.2

# ---------------------------------------------------------------- scroller
# One line of chrome block letters about 30 rows high. The first 64 columns
# are empty so the text comes in from the right; the scene shows columns up
# to about 830 before it moves on, so the text ends well before 800.

SCROLL_TEXT = ["TAVORLIN", "PRESENTS", "KESTRUNE", "*", "HI", "*", "GLIMMERBAY!"]
LEAD_IN = 64

# The bars in front of the scroller tear through its letters while they
# sweep down the middle rows; they keep clear of rows 6-44 (the letters and
# their wave) for about 640 ms around every moment when one set leaves the
# bottom and the other comes in at the top: 665 ms after the scroller starts
# and then every 1571 ms (the bars turn 0.04 rad every 20 ms from 0.24). The
# scroller moves one column every 10 ms after 312 ms, so the screen's middle
# column then shows picture column 75 + 157.08 k. The greeting and the
# party's name stand centred there, so the viewer reads them whole.
CLEAR_CENTRES = {"HI": 75.3 + 157.08 * 3, "GLIMMERBAY!": 75.3 + 157.08 * 4}

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
    x = LEAD_IN
    letters = Mask(W, H)
    gems = Mask(W, H)
    for k, word in enumerate(SCROLL_TEXT):
        if word == "*":
            # A gem, halfway to the next word when that one is pinned.
            after = SCROLL_TEXT[k + 1]
            gx = x
            if after in CLEAR_CENTRES:
                width = block_text(after, (6, 6, 6, 6, 6), s=4, g=2, m=3, gap=3).w
                gx = (x - 12 + int(round(CLEAR_CENTRES[after] - width / 2.0)) - 13) // 2
            d = diamond(13, 13)
            gems = gems.union(place(d, W, H, gx, top + 8))
            x = gx + 13 + (6 if after in CLEAR_CENTRES else 12)
            continue
        m = block_text(word, (6, 6, 6, 6, 6), s=4, g=2, m=3, gap=3)
        if word in CLEAR_CENTRES:
            pinned = int(round(CLEAR_CENTRES[word] - m.w / 2.0))
            assert pinned >= x, word
            x = pinned
        letters = letters.union(place(m, W, H, x, top))
        x += m.w + 12
    print("scroller text ends at column", x - 12)
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
                    "textraster/fastintro: the wavy scroller (800 x 50)")
