"""Drafts for the closing scene: the waved sunset over the sea (drawn
without transparency: 0 is black here), the portraits of the coder and the
musician, and the credit words drawn over them."""

import math
import os
import random

from pix import Pic, centred, shape, polygon, ellipse, capsule, union, mirror, ROOT
from blockfont import block_text

W, H = 80, 50
A = 1.2
HORIZON = 30  # first row of the sea


def banded(x, y, stops):
    """Colour of row y from (first row, colour) stops; the row before each
    stop mixes the two colours in a checker."""
    c = stops[0][1]
    for row, colour in stops:
        if y >= row:
            c = colour
        elif y == row - 1 and (x + y) % 2 == 0:
            return colour
        else:
            break
    return c


SKY = [(0, 0), (10, 1), (18, 5), (27, 13)]
LEFT_RIDGE = [(0, 21), (6, 16), (11, 20), (16, 18), (22, 24), (28, 30)]
RIGHT_RIDGE = [(51, 30), (57, 23), (62, 25), (69, 15), (75, 20), (80, 18)]


def ridge_row(points, x):
    for (x0, y0), (x1, y1) in zip(points, points[1:]):
        if x0 <= x <= x1:
            return y0 + (y1 - y0) * (x - x0) / float(x1 - x0)
    return None


def tolvek(seed=3):
    rnd = random.Random(seed)
    p = Pic(W, H)
    for y in range(HORIZON):
        for x in range(W):
            p.set(x, y, banded(x, y, SKY))
    for _ in range(24):
        x, y = rnd.randrange(W), rnd.randrange(0, 9)
        p.set(x, y, 15 if rnd.random() < 0.4 else 7)
    # The sun: white-hot crown, yellow, red below; bands of sky cut through
    # its lower half, wider towards the horizon.
    cx, cy, r = 40.0, 22.0 * A, 13.5
    sun = shape(W, H, ellipse(cx, cy, r, r))
    gaps = {20, 23, 24, 27, 28, 29}
    top = min(y for x, y in sun.points())
    for x, y in sun.points():
        if y >= HORIZON or y in gaps:
            continue
        k = y - top
        colour = 15 if k < 2 else 14 if k < 8 else (14 if (x + y) % 2 else 12) if k < 9 else 12
        p.set(x, y, colour)
    # Mountains: black silhouettes, the ridge caught by the magenta glow.
    for ridge in (LEFT_RIDGE, RIGHT_RIDGE):
        for x in range(W):
            t = ridge_row(ridge, x + 0.5)
            if t is None:
                continue
            t = int(round(t))
            for y in range(t, HORIZON):
                p.set(x, y, 0)
            if t < HORIZON:
                p.set(x, t, 5)
    # The sea: dark blue, ripples in blue and dark cyan, longer and further
    # apart towards the viewer; the sun's path on every other row.
    for y in range(HORIZON, H):
        depth = y - HORIZON
        for x in range(W):
            p.set(x, y, 1)
        spacing = 10 + depth
        length = 2 + depth // 3
        for x0 in range(-rnd.randrange(spacing), W, spacing):
            for x in range(x0, x0 + length):
                if 0 <= x < W:
                    p.set(x, y, 9 if depth % 2 else 3)
        if depth % 2 == 0 and depth > 0:
            half = 13.5 - depth * 0.3
            c = (15, 14, 14, 14, 12, 12, 12, 13, 13, 5)[min(9, depth // 2)]
            x = int(40 - half)
            while x < 40 + half:
                run = 2 + (x * 7 + depth * 3) % 4
                for k in range(run):
                    if x + k < 40 + half:
                        p.set(x + k, y, c)
                x += run + 1 + (x + depth) % 2
    for x in range(W):
        p.set(x, HORIZON, 15 if abs(x - 39.5) < 12 else 13)
    # The ending shears the rows up to 13 columns sideways and leaves black
    # where a row is pushed past the picture; that gap meets the picture's
    # edge columns. They fade to dark: the outer two hold only black and dark
    # blue, the next three only dark tones, so the gaps make a soft dark
    # fringe instead of bright notches.
    outer = {5: 1, 3: 1, 9: 1, 12: 1, 13: 1, 14: 1, 15: 0, 7: 0}
    inner = {13: 5, 3: 1, 9: 1, 12: 4, 14: 6, 15: 7}
    for y in range(H):
        for x in range(W):
            d = min(x, W - 1 - x)
            c = p.get(x, y)
            if d <= 1:
                p.set(x, y, outer.get(c, c))
            elif d <= 4:
                p.set(x, y, inner.get(c, c))
            elif d == 5 and c == 13:
                p.set(x, y, 5)
    return p


# --------------------------------------------------------------- portraits
# Large heads, cel-shaded, outlined in dark red so they stand out from the
# blue plasma; the lower rows (the shoulders) leave room for the credit word.

ZOOM = (1.0, 40.0, 26.0)  # scale about a centre, set per portrait


def S(f):
    k, zx, zy = ZOOM
    return shape(W, H, lambda x, y: f(zx + (x - zx) / k, zy + (y - zy) / k))


def dot(p, x, y, c):
    """A single cell at design coordinates (columns, rows) under ZOOM."""
    k, zx, zy = ZOOM
    p.set(int(round(zx + (x + 0.5 - zx) * k - 0.5)), int(round((zy + ((y + 0.5) * A - zy) * k) / A - 0.5)), c)


def sym(f):
    return mirror(f, 40.0)


def outline_all(p, parts, colour=4):
    body = parts[0]
    for m in parts[1:]:
        body = body.union(m)
    p.paint(body.grow(1, False).minus(body), colour)
    return body


def sunvira():
    """The coder: a magenta bob with a fringe, round glasses catching the
    screen's light, a green hoodie."""
    global ZOOM
    ZOOM = (1.12, 40.0, 27.0)
    p = Pic(W, H)
    hair = S(union(ellipse(40.0, 24.0, 20.5, 21.5), polygon([(20.0, 28.0), (60.0, 28.0),
                                                           (61.5, 46.0), (18.5, 46.0)])))
    face = S(union(ellipse(40.0, 29.0, 13.6, 14.0),
                   polygon([(28.0, 34.0), (52.0, 34.0), (44.6, 43.8), (40.0, 45.0),
                            (35.4, 43.8)])))
    neck = S(polygon([(37.0, 42.0), (43.0, 42.0), (43.5, 48.0), (36.5, 48.0)]))
    hood = S(polygon([(10.0, 61.0), (16.0, 52.0), (26.0, 47.0), (34.0, 46.0), (40.0, 51.0),
                      (46.0, 46.0), (54.0, 47.0), (64.0, 52.0), (70.0, 61.0)]))
    fringe = S(polygon([(26.0, 12.0), (54.0, 12.0), (55.6, 21.0), (50.0, 22.6), (44.0, 21.4),
                        (38.0, 22.4), (32.0, 21.2), (27.0, 22.6), (24.4, 21.0)]))
    outline_all(p, [hair, face, neck, hood])
    p.paint(hair, 5)
    p.paint(S(lambda x, y: 17.5 <= math.hypot(x - 40.0, y - 24.0) <= 19.0 and y < 17.0
              and x < 46.0).intersect(hair), 13)
    p.paint(S(union(capsule(22.8, 26.0, 22.8, 40.0, 0.7), capsule(57.2, 26.0, 57.2, 40.0, 0.7)))
            .intersect(hair), 13)
    p.paint(neck, 6)
    p.paint(hood, 10)
    p.paint(hood.edge(0, 1).union(S(capsule(40.0, 51.0, 33.0, 60.0, 0.8))).union(
        S(capsule(40.0, 51.0, 47.0, 60.0, 0.8))).intersect(hood), 2)
    for x in (36, 43):
        for y in range(43, 48):
            p.set(x, y, 15)
    p.paint(face, 14)
    p.paint(face.edge(1, 0).union(face.edge(0, 1)), 6)
    p.paint(fringe.intersect(hair.union(face)), 5)
    p.paint(fringe.edge(0, 1).intersect(face.grow(1)), 4)
    # Round glasses: white frames, cyan lenses with a glint, the eyes behind.
    lenses = S(sym(ellipse(33.6, 29.4, 4.8, 4.6)))
    frames = S(sym(ellipse(33.6, 29.4, 6.0, 5.8))).minus(lenses)
    p.paint(frames, 15)
    p.paint(S(capsule(38.4, 28.6, 41.6, 28.6, 0.6)), 15)
    p.paint(lenses, 11)
    p.paint(S(sym(capsule(31.0, 27.4, 33.6, 25.8, 0.5))).intersect(lenses), 15)
    p.paint(S(sym(ellipse(34.1, 29.8, 1.1, 1.1))), 1)
    # Nose, blush and a smile.
    p.paint(S(polygon([(39.0, 34.6), (41.4, 34.6), (40.2, 36.2)])), 6)
    p.paint(S(sym(ellipse(30.0, 37.0, 1.6, 0.9))), 12)
    smile = S(lambda x, y: 3.4 <= math.hypot(x - 40.0, (y - 36.6) * 1.3) <= 4.6 and y > 38.6)
    p.paint(smile, 4)
    p.paint(S(polygon([(37.0, 40.0), (43.0, 40.0), (40.0, 41.6)])), 12)
    return p


def drimbo():
    """The musician: eyes shut in the groove, big headphones over a magenta
    beanie, a ginger beard with a grin, a white shirt."""
    global ZOOM
    ZOOM = (1.12, 40.0, 27.0)
    p = Pic(W, H)
    face = S(ellipse(40.0, 28.0, 13.6, 15.0))
    beanie = S(union(intersect_f(ellipse(40.0, 20.0, 15.2, 13.0), lambda x, y: y < 21.6),
                     ellipse(40.0, 6.4, 3.0, 2.8)))
    cuff = S(polygon([(24.6, 17.6), (55.4, 17.6), (55.8, 22.6), (24.2, 22.6)]))
    band = S(lambda x, y: 17.0 <= math.hypot(x - 40.0, (y - 25.0) * 1.0) <= 19.2 and y < 25.0)
    cups = S(sym(polygon([(20.2, 22.0), (26.4, 22.0), (27.2, 36.0), (21.0, 36.0)])))
    beard = S(polygon([(26.8, 29.0), (30.5, 34.0), (49.5, 34.0), (53.2, 29.0), (54.6, 38.0),
                       (49.0, 48.0), (40.0, 52.0), (31.0, 48.0), (25.4, 38.0)]))
    neck = S(polygon([(35.0, 45.0), (45.0, 45.0), (45.5, 52.0), (34.5, 52.0)]))
    shirt = S(polygon([(9.0, 61.0), (15.0, 53.0), (28.0, 49.0), (52.0, 49.0), (65.0, 53.0),
                       (71.0, 61.0)]))
    outline_all(p, [face, beanie, cuff, band, cups, beard, neck, shirt])
    p.paint(shirt, 15)
    p.paint(shirt.edge(0, 1).union(shirt.edge(1, 0)), 7)
    p.paint(neck, 6)
    p.paint(face, 14)
    p.paint(face.edge(1, 0), 6)
    p.paint(beard, 4)
    p.paint(S(union(capsule(29.0, 37.0, 32.0, 44.0, 0.6), capsule(51.0, 37.0, 48.0, 44.0, 0.6),
                    capsule(40.0, 46.5, 40.0, 50.0, 0.6))).intersect(beard), 12)
    p.paint(beanie, 13)
    p.paint(beanie.edge(0, 1).union(S(capsule(33.0, 9.5, 30.0, 14.0, 0.7))).intersect(beanie), 5)
    p.paint(cuff, 5)
    p.paint(S(capsule(26.0, 19.8, 54.0, 19.8, 0.5)).intersect(cuff), 15)
    p.paint(band, 8)
    p.paint(band.edge(0, -1), 7)
    p.paint(cups, 12)
    p.paint(cups.edge(0, 1).union(cups.edge(1, 0)), 4)
    p.paint(S(sym(capsule(22.4, 24.6, 22.4, 29.6, 0.55))).intersect(cups), 15)
    # Closed eyes, smiling: arches; brows above.
    for cx in (33, 44):
        for dx, dy in ((0, 1), (1, 0), (2, 0), (3, 1)):
            p.set(cx + dx, 22 + dy, 1)
    p.paint(S(sym(capsule(31.4, 24.2, 36.8, 24.6, 0.6))), 4)
    p.paint(S(ellipse(40.0, 31.2, 1.9, 1.6)), 6)
    # The grin: dark mouth, white teeth.
    mouth = S(polygon([(34.0, 34.4), (46.0, 34.4), (43.0, 39.0), (37.0, 39.0)]))
    p.paint(mouth, 1)
    p.paint(mouth.edge(0, -1), 15)
    return p


def intersect_f(f, g):
    return lambda x, y: f(x, y) and g(x, y)


# ------------------------------------------------------------------ credits
# The credit drawn (waving) over each portrait: the person's name on a plate
# above the head and the role on a plate over the shoulders. The plates are
# solid dark blue and reach two rows above and below and three columns
# beside every letter, so the letters never touch the portrait, also when
# neighbouring columns wave a row apart; every letter colour stands at
# least 4.5 : 1 against the plate. The plates keep three rows from the top
# and bottom edges, so the wave of a row and a half never pushes them into
# the frame.

PLATE = 1


def plate_word(p, word, top, rows, ramp, s, g, m, gap):
    wm = centred(block_text(word, rows, s=s, g=g, m=m, gap=gap), W, H, top)
    x0, y0, x1, y1 = wm.bbox()
    for y in range(y0 - 2, y1 + 3):
        for x in range(x0 - 3, x1 + 4):
            if 0 <= x < W and 0 <= y < H:
                p.set(x, y, PLATE)
    h = sum(rows)
    p.paint(wm, lambda x, y: ramp[min(len(ramp) - 1, (y - top) * len(ramp) // h)])


def credit(name, role, role_ramp):
    p = Pic(W, H)
    plate_word(p, name, 5, (2, 2, 2, 2, 2), [15], s=2, g=1, m=1, gap=1)
    plate_word(p, role, 34, (2, 2, 3, 2, 2), role_ramp, s=3, g=2, m=2, gap=3)
    return p


if __name__ == "__main__":
    sunvira().save(os.path.join(ROOT, "textending", "sunvira.txt"),
                   "textending/sunvira: portrait of the coder (80 x 50)")
    drimbo().save(os.path.join(ROOT, "textending", "drimbo00.txt"),
                  "textending/drimbo00: portrait of the musician (80 x 50)")
    credit("SUNVIRA", "CODE", [15, 15, 11, 11, 11, 11, 11, 11, 11]).save(
        os.path.join(ROOT, "textending", "code.txt"),
        "textending/code: the coder's name and credit over the portrait (80 x 50)\n"
        "The plates keep three rows from the top and bottom edges, so the credits\n"
        "wave without the frame cutting them.")
    credit("DRIMBO", "MUSIC", [15, 15, 14, 14, 14, 14, 14, 14, 14]).save(
        os.path.join(ROOT, "textending", "music.txt"),
        "textending/music: the musician's name and credit over the portrait (80 x 50)\n"
        "The plates keep three rows from the top and bottom edges, so the credits\n"
        "wave without the frame cutting them.")
    tolvek().save(os.path.join(ROOT, "textending", "tolvek.txt"), zero="0", comment=
                  "textending/tolvek: sunset over the sea, waved, drawn without transparency\n"
                  "(80 x 50; 0 is black). The two outer columns hold only black and dark blue,\n"
                  "the next three only dark tones: where the wave shears a row past the\n"
                  "picture, the black gap meets a dark edge, not a bright notch.")
