"""Drafts of the title letters (8 x 6 each, the column of KESTRUNE that
sways over the wall) and of the wall, which the scene draws with the light
shade glyph: mossy stone in dark green with green edges where the light
catches, mortar and chips in dark blue. The scene's light spots add one to
every colour number they cover, and these colours all brighten under them
into lit tones of themselves: dark green turns dark cyan, green turns cyan,
the near-black dark blue turns dark green (sandstone in dark yellow and
yellow turned grey and white, like plaster). Nothing is left transparent: a cell with no glyph would stay
black under a spot. The letters avoid cyan, grey and white for the same
reason (they would turn red, dark grey or black)."""

import os
import random

from pix import Pic, ROOT

LETTERS = {
    "K": ["XX...XX", "XX..XX.", "XXXXX..", "XX..XX.", "XX...XX"],
    "E": ["XXXXXXX", "XX.....", "XXXXX..", "XX.....", "XXXXXXX"],
    "S": [".XXXXXX", "XX.....", ".XXXXX.", ".....XX", "XXXXXX."],
    "T": ["XXXXXXX", "..XXX..", "..XXX..", "..XXX..", "..XXX.."],
    "R": ["XXXXXX.", "XX...XX", "XXXXXX.", "XX..XX.", "XX...XX"],
    "U": ["XX...XX", "XX...XX", "XX...XX", "XX...XX", ".XXXXX."],
    "N": ["XX...XX", "XXX..XX", "XX.X.XX", "XX..XXX", "XX...XX"],
}

# One bright hue per letter, its dark shade along the foot; the eighth
# column and the sixth row stay clear so neighbours in the column part.
HUES = {"K": (12, 4), "E": (14, 6), "S": (10, 2), "T": (9, 1), "R": (13, 5), "U": (10, 2),
        "N": (12, 4)}


def letter(ch):
    p = Pic(8, 6)
    bright, dark = HUES[ch]
    for y, row in enumerate(LETTERS[ch]):
        for x, c in enumerate(row):
            if c == "X":
                p.set(x, y, dark if y == 4 else bright)
    return p


MORTAR, STONE, LIT_STONE = 1, 2, 10


def wall(seed=11):
    """Courses of stone blocks 4 rows high (3 of stone, 1 of mortar) and 7
    to 13 columns long. Mortar dark blue, stones dark green; the light
    catches the top and left edge of some stones, a few have chips."""
    rnd = random.Random(seed)
    p = Pic(80, 50, MORTAR)
    y0 = -2
    while y0 < 50:
        x0 = -rnd.randrange(0, 8)
        while x0 < 80:
            length = rnd.randrange(7, 14)
            tone = rnd.random()
            lit = tone > 0.6
            for y in range(y0, y0 + 3):
                for x in range(x0, x0 + length - 1):
                    c = STONE
                    if lit and (y == y0 or x == x0) and x < x0 + length - 3:
                        c = LIT_STONE
                    p.set(x, y, c)
            if rnd.random() < 0.3:
                cx = x0 + rnd.randrange(1, max(2, length - 3))
                cy = y0 + rnd.randrange(1, 3)
                p.set(cx, cy, MORTAR)
                if rnd.random() < 0.5:
                    p.set(cx + 1, cy, MORTAR)
            x0 += length
        y0 += 4
    return p


if __name__ == "__main__":
    for ch in LETTERS:
        letter(ch).save(os.path.join(ROOT, "texttalkingv", ch + ".txt"),
                        "texttalkingv/%s: title letter (8 x 6)" % ch)
    wall().save(os.path.join(ROOT, "texttalkingv", "greywall.txt"),
                "texttalkingv/greywall: mossy stone wall, drawn in light shade (80 x 50).\n"
                "Dark green stones with green edges on dark blue joints: under a light spot\n"
                "(colour + 1) they turn dark cyan, cyan and dark green, lit tones of\n"
                "themselves.")
