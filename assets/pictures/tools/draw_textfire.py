"""Drafts of the two pictures laid over the opening fire: the party's name
(GLIMMERBAY with glints, the water line of the bay and the party's emblem,
a moon setting over the bay) and the year. Rows 6-16 stay free for the
fire's own TERMINAL letters, and the year finds its place beside the
emblem."""

import os

from pix import Pic, place, ROOT
from blockfont import block_text

W, H = 80, 50
A = 1.2


def wave_line(p, y, x0, x1, crest=15, body=11):
    for x in range(x0, x1 + 1):
        ph = (x - x0) % 8
        if ph in (1, 2, 3):
            p.set(x, y, crest if ph == 2 else body)
        else:
            p.set(x, y + 1, body)


def sparkle(p, x, y, arm, core=15, ray=11):
    """A pixel glint: a white core, rays arm cells long sideways and a
    little shorter up and down."""
    for d in range(1, arm + 1):
        p.set(x - d, y, ray)
        p.set(x + d, y, ray)
    for d in range(1, max(2, arm)):
        p.set(x, y - d, ray)
        p.set(x, y + d, ray)
    p.set(x, y, core)


EMBLEM = [
    "......111111111......",
    "...1111111FFBBB1111..",
    "..1111111FFBBBBB1111.",
    ".1111111FFBBBBBBB1111",
    "11111111FBBBBBBBB1111",
    "11111111BBBBBBBBB1111",
    "11111111BBBBBBBBB1111",
    "999999999999999999999",
    "1199111BBBBBBB1119911",
    ".1111111BBFBB1111199.",
    "..99111BB11BB111111..",
    "...11111111B11199....",
    "......111111111......",
]


def emblem(p, x0, y0):
    """The party's emblem: a full moon setting over the bay, its glimmer on
    the water, on a dark blue ground."""
    for j, row in enumerate(EMBLEM):
        for i, ch in enumerate(row):
            if ch != ".":
                p.set(x0 + i, y0 + j, int(ch, 16))


def glimmerbay():
    p = Pic(W, H)
    word = block_text("GLIMMERBAY", (2, 3, 2, 3, 2), s=2, g=1, m=1, gap=1)
    top, left = 20, (W - word.w) // 2
    wm = place(word, W, H, left, top)
    # A dark blue plate around the strokes, then the letters in an ice ramp.
    p.paint(wm.grow(1, False).minus(wm), 1)
    p.paint(wm.shifted(0, 2).minus(wm), 1)
    ramp = [15, 15, 11, 11, 11, 11, 11, 11, 11, 3, 3, 3]
    p.paint(wm, lambda x, y: ramp[y - top])
    # Glints between the fire's letters and the word.
    sparkle(p, left + 17, 18, 3)
    sparkle(p, left + 60, 18, 2)
    wave_line(p, 34, 1, 78)
    emblem(p, 0, 36)
    # The fire fills the screen and prints wherever the picture is
    # transparent: the lettering and the emblem stand on solid plates.
    fill_plate(p, 0, 19, W - 1, 36)
    fill_plate(p, 0, 37, 20, H - 1)
    return p


def fill_plate(p, x0, y0, x1, y1, colour=1):
    """Fills the transparent cells of a box, so no fire shows between."""
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            if p.get(x, y) == 0:
                p.set(x, y, colour)


def year():
    p = Pic(W, H)
    digits = block_text("2026", (3, 2, 2, 2, 3), s=3, g=2, m=2, gap=2)
    top, left = 37, 22
    dm = place(digits, W, H, left, top)
    p.paint(dm.grow(1, False).minus(dm), 1)
    ramp = [15, 15, 15, 13, 13, 13, 13, 13, 5, 5, 5, 5]
    p.paint(dm, lambda x, y: ramp[y - top])
    # Beside the emblem's plate, below the name's.
    fill_plate(p, 21, 37, W - 1, H - 1)
    return p


if __name__ == "__main__":
    glimmerbay().save(os.path.join(ROOT, "textfire", "glimmerbay.txt"),
                      "textfire/glimmerbay: the party's name over the fire (80 x 50)\n"
                      "The lettering stands on a dark blue plate the full width of the screen,\n"
                      "so the fire burns above and below it, never between the letters; the\n"
                      "emblem has a plate of its own.")
    year().save(os.path.join(ROOT, "textfire", "2006.txt"),
                "textfire/2006: the year over the fire (80 x 50)\n"
                "The year stands on a dark blue plate beside the emblem, so no fire burns\n"
                "between its digits.")
