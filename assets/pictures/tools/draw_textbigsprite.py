"""Drafts for the bigsprite scene: the rotozoom tile with the Tavorlin
emblem (256 x 256, seamless) and the 300 x 80 panorama of the group's name
that drifts over it, ornamented so that every 80 x 50 window shows
something worth looking at."""

import os

from pix import Pic, place, shape, ROOT
from blockfont import block_text
from emblem import emblem_parts

A = 1.2


def tile():
    """Four emblems on dark blue, two in cyan and two in blue, alternating.
    Each emblem is drawn whole inside its 128 x 128 quarter, so the tile
    wraps without a seam."""
    p = Pic(256, 256)
    for j in range(2):
        for i in range(2):
            cyan = (i + j) % 2 == 0
            ring_c, ring_lit, tee_c, jewel_c = (3, 11, 15, 14) if cyan else (9, 11, 11, 13)
            cx, cy = i * 128 + 64, j * 128 + 64
            ring, field, tee, jewel = emblem_parts(cx, cy, 58)
            for y in range(j * 128, j * 128 + 128):
                for x in range(i * 128, i * 128 + 128):
                    u, v = x + 0.5, y + 0.5
                    if jewel(u, v):
                        c = jewel_c
                    elif tee(u, v):
                        c = tee_c
                    elif ring(u, v):
                        c = ring_lit if v < cy else ring_c
                    elif field(u, v):
                        c = 1
                    else:
                        c = 0 if cyan else 1
                        # Corner dots between the emblems.
                        ex, ey = (u - i * 128) % 128, (v - j * 128) % 128
                        if min(ex, 128 - ex) ** 2 + min(ey, 128 - ey) ** 2 < 14 ** 2:
                            c = 5
                    p.px[y * 256 + x] = c
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


def panorama():
    p = Pic(PW, PH)
    word = block_text("TAVORLIN", (9, 9, 8, 9, 9), s=7, g=4, m=5, gap=5, round_counters=True)
    left, top = (PW - word.w) // 2, 18
    wm = place(word, PW, PH, left, top)
    print("word", word.w, "columns from", left)

    # Ornament bands above and below: two gold rails with diamonds between.
    for y0 in (3, 70):
        for x in range(2, PW - 2):
            p.set(x, y0, 14)
            p.set(x, y0 + 7, 6)
        for k in range(0, PW // 20 + 1):
            cx = 10 + k * 20
            for dy in range(-2, 3):
                half = 3 - abs(dy)
                for dx in range(-half * 2 + 1, half * 2):
                    c = 15 if dy < 0 and dx < 0 else (13 if dy <= 0 else 5)
                    p.set(cx + dx, y0 + 3 + dy + 1, c)
            for x in range(cx + 6, cx + 15):
                p.set(x, y0 + 4, 4)
    # The word: drop shadow, dark red outline, gold over red with a bevel.
    p.paint(wm.shifted(3, 2).minus(wm), 1)
    p.paint(wm.grow(1, False).minus(wm), 4)
    h = word.h

    def body(x, y):
        t = (y - top) / h
        if t < 0.06:
            return 15
        if t < 0.55:
            return 14
        if t < 0.88:
            return 12
        return 4
    p.paint(wm, body)
    p.paint(wm.edge(0, -1).union(wm.edge(-1, 0)), 15)
    p.paint(wm.edge(0, 1), 4)
    # A light line across the middle of every letter.
    for x, y in list(wm.points()):
        if y == top + int(h * 0.55):
            p.set(x, y, 15)
    # Emblems at both ends.
    for cx in (left / 2.0, PW - left / 2.0):
        emblem_pic(p, cx, 40.0 * A, 17.5, (14, 6, 1, 15, 11, 4))
    # Glints in the free space between bands and word.
    for x, y, arm in ((30, 13, 3), (95, 14, 2), (150, 12, 3), (205, 14, 2), (272, 13, 3),
                      (60, 66, 2), (128, 67, 3), (182, 66, 2), (240, 67, 3), (12, 62, 2),
                      (288, 17, 2)):
        glint(p, x, y, arm)
    return p


if __name__ == "__main__":
    panorama().save(os.path.join(ROOT, "textbigsprite", "tavorlin.txt"),
                    "textbigsprite/tavorlin: the group's name, panorama (300 x 80)")
    tile().save(os.path.join(ROOT, "textbigsprite", "tavors.txt"),
                "textbigsprite/tavors: Tavorlin emblem tile for the rotozoom (256 x 256, seamless)")
