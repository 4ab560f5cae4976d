"""Drafts for the bigsprite scene: the rotozoom tile with the Tavorlin
emblem (256 x 256, seamless) and the 300 x 80 panorama of the group's name
that drifts over it. The panorama repeats the name in three lines of block
letters narrow enough that a whole word fits the 80-column screen; the
middle line is in every 80 x 50 window the scene shows."""

import os

from pix import Pic, place, shape, ROOT
from blockfont import block_text
from emblem import emblem_parts

A = 1.2


def tile():
    """The Tavorlin emblem as a harlequin: a diamond in dark cyan with the
    emblem's T in dark blue at the tile's centre, and a diamond in dark blue
    with a black T at its corners, which the neighbouring tiles complete.
    The rotozoom samples the tile at up to 36 texels a cell, single points
    with no filtering, so the T's bar and stem are 40 texels thick and the
    diamonds have no seams between them: zoomed out every shape still
    covers whole groups of cells, zoomed in it reads as the emblem. The
    tile wraps seamlessly: the corner diamond is drawn from all four
    corners."""
    size, half = 256, 128
    p = Pic(size, size)

    def tee(dx, dy):
        bar = -55 <= dy <= -15 and abs(dx) <= 50
        stem = -15 < dy <= 50 and abs(dx) <= 20
        return bar or stem

    for y in range(size):
        for x in range(size):
            dx, dy = x + 0.5 - half, y + 0.5 - half
            if abs(dx) + abs(dy) <= half:
                base, mark = 3, 1
            else:
                dx -= half if dx > 0 else -half
                dy -= half if dy > 0 else -half
                base, mark = 1, 0
            p.px[y * size + x] = mark if tee(dx, dy) else base
    return p


# --------------------------------------------------------------- panorama

PW, PH = 300, 80


def emblem_pic(p, cx, cy, r, colours):
    """Draws the emblem at (cx, cy) units with radius r; colours: ring top,
    ring bottom, field, tee, jewel, outline."""
    ring_t, ring_b, field_c, tee_c, jewel_c, outline = colours
    ring, field, tee, jewel = emblem_parts(cx, cy, r)
    whole = shape(PW, PH, lambda x, y: ring(x, y) or field(x, y))
    p.paint(whole.grow(1, False).minus(whole), outline)
    p.paint(shape(PW, PH, field), field_c)
    p.paint(shape(PW, PH, ring), lambda x, y: ring_t if (y + 0.5) * A < cy else ring_b)
    t = shape(PW, PH, tee)
    p.paint(t, tee_c)
    p.paint(t.edge(0, 1).union(t.edge(1, 0)), 6)
    p.paint(shape(PW, PH, jewel), jewel_c)


def glint(p, x, y, arm, core=15, ray=14):
    for d in range(1, arm + 1):
        p.set(x - d, y, ray)
        p.set(x + d, y, ray)
    for d in range(1, max(2, arm - 1)):
        p.set(x, y - d, ray)
        p.set(x, y + d, ray)
    p.set(x, y, core)


def word_line(p, text_x, top, rows, ramp, outline):
    """One TAVORLIN in block letters 8 columns wide (72 columns in all) at
    (text_x, top): outlined, lit along the top and left, colour bands down."""
    word = block_text("TAVORLIN", rows, s=2, g=1, m=2, gap=2, round_counters=True)
    wm = place(word, PW, PH, text_x, top)
    p.paint(wm.grow(1, False).minus(wm), outline)
    h = word.h
    p.paint(wm, lambda x, y: ramp[min(len(ramp) - 1, (y - top) * len(ramp) // h)])
    p.paint(wm.edge(0, -1).union(wm.edge(-1, 0)), 15)
    return word.w


def panorama():
    p = Pic(PW, PH)
    gold = (14, 14, 14, 12, 12, 4)
    ice = (11, 11, 11, 3, 3, 9)
    # The middle line (rows 32-43) lies inside every window the scene shows
    # (top rows 0 to 30); the upper and lower lines are half a word along.
    period = 100
    for k in range(3):
        width = word_line(p, 14 + k * period, 32, (2, 3, 2, 3, 2), gold, 4)
    for top in (6, 64):
        for k in range(2):
            word_line(p, 64 + k * period, top, (2, 2, 2, 2, 2), ice, 1)
    print("word", width, "columns")
    # Emblems in the gaps of the middle line, smaller ones in the outer lines.
    for k in range(2):
        emblem_pic(p, 14 + width + 14 + k * period, 37.5 * A, 9.0, (14, 6, 1, 15, 11, 4))
    for cy in (11, 69):
        for cx in (32, 150, 250):
            emblem_pic(p, cx + 0.5, (cy + 0.5) * A, 6.0, (11, 3, 1, 15, 14, 1))
    # Gold rails along the top and bottom edges.
    for x in range(PW):
        p.set(x, 1, 14)
        p.set(x, 2, 6)
        p.set(x, 77, 6)
        p.set(x, 78, 14)
    for x, y, arm in ((7, 38, 2), (292, 38, 2), (110, 24, 2), (205, 54, 2), (40, 56, 3),
                      (262, 22, 3), (150, 25, 2), (120, 53, 2)):
        glint(p, x, y, arm)
    return p


if __name__ == "__main__":
    panorama().save(os.path.join(ROOT, "textbigsprite", "tavorlin.txt"),
                    "textbigsprite/tavorlin: the group's name, panorama (300 x 80)")
    tile().save(os.path.join(ROOT, "textbigsprite", "tavors.txt"),
                "textbigsprite/tavors: Tavorlin emblem tile for the rotozoom (256 x 256, seamless)")
