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
    """Four big emblems, alternating dark cyan on dark blue and dark blue on
    black. The rotozoom shows the tile at 0 to 36 texels a cell, so every
    stroke is at least 24 texels wide and neighbouring colours are close:
    zoomed out it reads as a calm checker, zoomed in as the emblem. Each
    emblem lies whole inside its 128 x 128 quarter, so the tile wraps
    without a seam."""
    p = Pic(256, 256)
    for j in range(2):
        for i in range(2):
            light = (i + j) % 2 == 0
            base, mark = (1, 3) if light else (0, 1)
            cx, cy = i * 128 + 64, j * 128 + 64
            for y in range(j * 128, j * 128 + 128):
                for x in range(i * 128, i * 128 + 128):
                    dx, dy = x + 0.5 - cx, y + 0.5 - cy
                    d = abs(dx) + abs(dy)
                    ring = 34 <= d <= 58
                    bar = abs(dx) <= 27 and -24 <= dy <= -4
                    stem = abs(dx) <= 11 and -4 < dy <= 26
                    p.px[y * 256 + x] = mark if ring or bar or stem else base
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
