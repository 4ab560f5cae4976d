"""Draft of Vex, the show's mascot: a horned demon mask in red with golden
horns, brows and V crest, glowing cyan eyes and a fanged snarl. Symmetric
about column 40 (the centre the scenes rotate it about); the face lies in
columns 15-64 and so do the horns, which rise from the temples and curl
inwards at the top row: the quarter-turned view keeps the whole mask."""

import os

from pix import Pic, shape, polygon, capsule, union, mirror, ROOT

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


def S(f):
    return shape(W, H, f)


FACE = polygon(full([(40.5, 7.0), (33.0, 7.2), (26.5, 8.6), (21.5, 12.0), (19.2, 17.5), (19.0, 23.0),
             (16.0, 28.0), (16.6, 33.0), (19.5, 39.5), (23.5, 46.5), (29.0, 52.5),
             (35.0, 57.0), (40.5, 59.2)]))
HORN = sym(tapered([(25.6, 13.4, 4.0), (21.2, 10.2, 3.3), (18.8, 6.4, 2.6), (18.3, 3.2, 2.0),
                    (19.5, 0.9, 1.3), (21.6, -0.4, 0.5)]))
HORN_LIT = sym(tapered([(24.4, 10.6, 1.1), (20.4, 7.8, 1.0), (18.6, 4.6, 0.8),
                        (18.8, 2.2, 0.5)]))
SOCKET = sym(polygon([(37.5, 24.0), (30.0, 19.5), (21.5, 18.5), (20.6, 24.5), (23.5, 29.5),
                      (30.0, 32.5), (36.5, 31.5)]))
EYE = sym(polygon([(35.8, 28.4), (31.5, 25.0), (24.6, 23.6), (25.2, 26.4), (29.6, 29.6),
                   (33.8, 30.2)]))
PUPIL = sym(polygon([(32.0, 26.4), (27.0, 25.2), (28.0, 27.0), (31.6, 28.4)]))
BROW = sym(polygon([(38.6, 24.4), (33.0, 19.6), (27.0, 17.0), (19.6, 16.6), (18.0, 13.6),
                    (24.0, 13.2), (30.6, 14.8), (35.6, 18.2), (39.4, 22.0)]))
CREST = polygon([(34.4, 8.0), (37.2, 8.0), (40.5, 13.8), (43.8, 8.0), (46.6, 8.0),
                 (40.5, 18.6)])
GEM = polygon([(40.5, 9.2), (38.9, 11.3), (40.5, 13.4), (42.1, 11.3)])
HOLLOW = sym(polygon([(19.0, 33.0), (24.0, 34.5), (29.5, 41.0), (27.5, 42.0), (21.0, 38.0)]))
CHEEKBONE = sym(polygon([(21.0, 30.2), (27.0, 32.8), (31.5, 34.0), (26.0, 35.4), (20.8, 32.6)]))
NOSE = polygon([(38.4, 30.5), (42.6, 30.5), (44.6, 38.4), (46.2, 41.0), (43.6, 42.0),
                (40.5, 41.0), (37.4, 42.0), (34.8, 41.0), (36.4, 38.4)])
NOSTRILS = sym(polygon([(37.0, 39.2), (35.6, 40.8), (38.8, 41.2)]))
NOSE_LIT = polygon([(39.8, 31.0), (41.2, 31.0), (41.4, 38.6), (39.6, 38.6)])
MOUTH = polygon(full([(40.5, 44.6), (34.0, 44.4), (28.0, 42.6), (25.4, 41.0), (27.2, 45.5),
              (31.5, 50.4), (36.0, 53.2), (40.5, 54.0)]))
UPPER_FANG = sym(polygon([(32.4, 43.6), (36.2, 44.6), (34.4, 51.4)]))
LOWER_FANG = sym(polygon([(28.4, 48.8), (32.4, 51.8), (29.6, 44.4)]))
CHIN = polygon([(37.2, 55.4), (43.8, 55.4), (40.5, 58.6)])
CREASES = sym(union(capsule(30.0, 10.4, 35.0, 12.6, 0.45), capsule(23.5, 9.8, 28.0, 10.2, 0.4)))


def draw():
    p = Pic(W, H)
    face = S(FACE)
    horns = S(HORN).minus(face)
    body = face.union(horns)
    p.paint(body.grow(1, False).minus(body), 1)

    # Golden horns, a light streak along their upper side, ribs of shadow.
    lit = S(HORN_LIT)
    p.paint(horns, 14)
    p.paint(horns.edge(0, 1), 6)
    p.paint(lit.intersect(horns), 15)
    for x, y in list(horns.points()):
        if y <= 8 and y % 3 == 2 and (x, y) not in lit:
            p.set(x, y, 6)

    # Red face, dark at its rim.
    p.paint(face, 12)
    p.paint(face.minus(face.shrink(1, False)), 4)
    p.paint(S(HOLLOW).intersect(face), 4)
    p.paint(S(CHEEKBONE), 14)

    socket = S(SOCKET)
    p.paint(socket, 4)
    eye = S(EYE)
    p.paint(eye.grow(1, False).minus(eye).intersect(socket), 1)
    p.paint(eye, 11)
    p.paint(S(PUPIL).intersect(eye), 15)

    brow = S(BROW)
    p.paint(brow, 14)
    p.paint(brow.edge(0, 1), 6)

    crest = S(CREST)
    p.paint(crest.grow(1, False).minus(crest).minus(brow), 4)
    p.paint(crest, 14)
    p.paint(crest.edge(0, 1), 6)
    gem = S(GEM)
    p.paint(gem.grow(1, False).minus(gem).intersect(crest), 6)
    p.paint(gem, 11)

    nose = S(NOSE)
    p.paint(nose, 12)
    p.paint(nose.edge(-1, 0).union(nose.edge(1, 0)).minus(socket), 4)
    p.paint(S(NOSE_LIT), 14)
    p.paint(S(NOSTRILS), 1)

    mouth = S(MOUTH)
    p.paint(mouth.grow(1, False).minus(mouth), 4)
    p.paint(mouth, 1)
    p.paint(S(UPPER_FANG).intersect(mouth), 15)
    p.paint(S(LOWER_FANG).intersect(mouth), 15)
    for x, y in list(mouth.points()):
        if (x, y - 1) not in mouth and abs(x + 0.5 - AX) < 6:
            p.set(x, y, 15)
    p.paint(S(CHIN), 14)
    # The quarter-turned view shows columns 15-64 only: the outline stops
    # where the mirrored face would lose it on one side.
    for y in range(H):
        for x in (15, 65):
            if p.get(x, y) == 1:
                p.set(x, y, 0)
    return p


if __name__ == "__main__":
    draw().save(os.path.join(ROOT, "texttalkingv", "vexmask.txt"),
                "texttalkingv/vexmask: Vex, the show's mascot (80 x 50)")
