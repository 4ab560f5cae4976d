"""Draft of Vex, the show's mascot: a red oni mask with short horns that
curl in over the brow, a V crest with a jade gem, green eyes glowing in
dark sockets and a fanged snarl round a dark green maw. Symmetric about column 40 (the centre
the scenes rotate it about) and drawn inside a circle of 22 cells round
that centre, horns included, so that the mask stays clear of the screen's
edges at every angle it spins through and in the quarter turn.

Colours are chosen for the talking scene's light spots, which add one to a
cell's colour number: only red, dark red, green and dark green are used,
each of which turns a lit tone of itself (magenta, dark magenta, cyan, dark
cyan), a gentle step, so lit parts of the mask glow with a soft rim instead
of turning to white and grey plaster as gold did (yellow -> white, dark
yellow -> light grey)."""

import os

from pix import Pic, shape, polygon, capsule, mirror, ROOT

W, H = 80, 50
A = 1.2
AX = 40.5  # the axis: cell 40's centre


def sym(f):
    return mirror(f, AX)


def full(pts):
    """A closed outline from its left half (top centre ... bottom centre)."""
    return pts + [(2 * AX - x, y) for (x, y) in reversed(pts[1:-1])]


def tapered(pts):
    parts = [capsule(pts[i][0], pts[i][1], pts[i + 1][0], pts[i + 1][1], pts[i][2], pts[i + 1][2])
             for i in range(len(pts) - 1)]
    return lambda x, y: any(p(x, y) for p in parts)


# The outlines below are drawn on a larger mask and shrunk by FIT about the
# rotation centre (cell 40, 25: x 40.5, y 30.6 units) into the circle.
FIT = 0.86
CY = 25.5 * A


def S(f):
    return shape(W, H, lambda x, y: f(AX + (x - AX) / FIT, CY + (y - CY) / FIT))


FACE = polygon(full([(40.5, 8.4), (34.0, 8.8), (28.6, 10.6), (23.8, 14.2), (20.6, 18.6), (19.4, 23.0),
             (16.0, 28.0), (16.6, 33.0), (19.5, 39.5), (23.5, 46.5), (29.0, 52.5),
             (35.0, 57.0), (40.5, 59.2)]))
HORN = sym(tapered([(26.0, 16.0, 3.4), (25.8, 11.0, 2.8), (27.2, 7.2, 2.2), (29.8, 4.6, 1.5),
                    (32.8, 3.6, 0.6)]))
EYE = sym(polygon([(36.4, 28.8), (31.8, 24.4), (24.2, 22.8), (24.6, 26.8), (29.4, 30.6),
                   (34.4, 31.2)]))
PUPIL = sym(polygon([(32.0, 26.4), (27.0, 25.2), (28.0, 27.0), (31.6, 28.4)]))
BROW = sym(polygon([(38.6, 24.4), (33.0, 19.6), (27.0, 17.0), (19.6, 16.6), (18.0, 13.6),
                    (24.0, 13.2), (30.6, 14.8), (35.6, 18.2), (39.4, 22.0)]))
CREST = polygon([(34.4, 8.0), (37.2, 8.0), (40.5, 13.8), (43.8, 8.0), (46.6, 8.0),
                 (40.5, 18.6)])
GEM = polygon([(40.5, 9.2), (38.9, 11.3), (40.5, 13.4), (42.1, 11.3)])
CHEEKBONE = sym(polygon([(21.0, 30.2), (27.0, 32.8), (31.5, 34.0), (26.0, 35.4), (20.8, 32.6)]))
NOSE = polygon([(38.4, 30.5), (42.6, 30.5), (44.6, 38.4), (46.2, 41.0), (43.6, 42.0),
                (40.5, 41.0), (37.4, 42.0), (34.8, 41.0), (36.4, 38.4)])
NOSTRILS = sym(polygon([(37.0, 39.2), (35.6, 40.8), (38.8, 41.2)]))
MOUTH = polygon(full([(40.5, 44.6), (34.0, 44.4), (28.0, 42.6), (25.4, 41.0), (27.2, 45.5),
              (31.5, 50.4), (36.0, 53.2), (40.5, 54.0)]))
UPPER_FANG = sym(polygon([(32.4, 43.6), (36.2, 44.6), (34.4, 51.4)]))
LOWER_FANG = sym(polygon([(28.4, 48.8), (32.4, 51.8), (29.6, 44.4)]))


OUTLINE, SHADE, RED, JADE, JADE_DARK, MAW = 4, 4, 12, 10, 2, 2


def draw():
    p = Pic(W, H)
    face = S(FACE)
    horns = S(HORN).minus(face)
    body = face.union(horns)
    p.paint(body.grow(1, False).minus(body), OUTLINE)

    # Red horns, dark red along their underside.
    p.paint(horns, RED)
    p.paint(horns.edge(0, 1), SHADE)

    # Red face, dark red at its rim, one bold stripe on each cheek.
    p.paint(face, RED)
    p.paint(face.minus(face.shrink(1, False)), SHADE)
    p.paint(S(CHEEKBONE).intersect(face), SHADE)

    # Heavy brows over dark sockets with glowing jade eyes.
    brow = S(BROW)
    eye = S(EYE)
    p.paint(eye.grow(1, False).minus(brow), OUTLINE)
    p.paint(eye, JADE)
    p.paint(S(PUPIL).intersect(eye), JADE_DARK)
    p.paint(brow, SHADE)
    p.paint(brow.edge(0, 1).minus(eye), OUTLINE)

    crest = S(CREST)
    p.paint(crest.grow(1, False).minus(crest).minus(brow), OUTLINE)
    p.paint(crest, SHADE)
    gem = S(GEM)
    p.paint(gem, JADE)

    nose = S(NOSE)
    p.paint(nose.edge(-1, 0).union(nose.edge(1, 0)), SHADE)
    p.paint(S(NOSTRILS), OUTLINE)

    mouth = S(MOUTH)
    p.paint(mouth.grow(1, False).minus(mouth), SHADE)
    p.paint(mouth, MAW)
    p.paint(S(UPPER_FANG).intersect(mouth), RED)
    p.paint(S(LOWER_FANG).intersect(mouth), RED)
    return p


if __name__ == "__main__":
    draw().save(os.path.join(ROOT, "texttalkingv", "vexmask.txt"),
                "texttalkingv/vexmask: Vex, the show's mascot (80 x 50): a red oni mask.\n"
                "Only red, dark red, green and dark green: under a light spot (colour + 1)\n"
                "each turns into a brighter tone of itself (magenta, dark magenta, cyan,\n"
                "dark cyan) instead of white or grey.")
