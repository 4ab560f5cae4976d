"""Draft of the loading logo: the Tavorlin emblem and the group's name in the
show's gold block letters, as a 256 x 64 grid of palette colours ('.' is
transparent). The build scales it up twice into an RGBA PNG with a soft
shadow around the shapes (rawgrid --alpha). Square pixels here, so the
shapes are drawn with aspect 1."""

import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "pictures", "tools"))

from pix import Pic, place, shape  # noqa: E402
from blockfont import block_text  # noqa: E402
from emblem import emblem_parts  # noqa: E402

W, H = 256, 64


def logo():
    p = Pic(W, H)
    word = block_text("TAVORLIN", (8, 7, 8, 7, 8), s=5, g=4, m=3, gap=4, round_counters=True)
    ex, r = 31.0, 27.0
    left = int(ex + r + 6)
    top = (H - word.h) // 2
    wm = place(word, W, H, left, top)
    # Emblem: gold ring, dark blue field, white T, cyan jewel.
    ring, field, tee, jewel = emblem_parts(ex, H / 2.0, r)
    S = lambda f: shape(W, H, f, aspect=1.0)  # noqa: E731
    whole = S(lambda x, y: ring(x, y) or field(x, y))
    p.paint(whole.grow(1, False).minus(whole), 4)
    p.paint(S(field), 1)
    p.paint(S(ring), lambda x, y: 15 if y < H / 2.0 - r * 0.55 else 14 if y < H / 2.0 else 6)
    t = S(tee)
    p.paint(t, 15)
    p.paint(t.edge(0, 1).union(t.edge(1, 0)), 7)
    p.paint(S(jewel), 11)
    # The name: dark red outline, gold over red with a light top edge.
    p.paint(wm.grow(1, False).minus(wm), 4)
    h = word.h

    def body(x, y):
        k = (y - top) / h
        return 15 if k < 0.08 else 14 if k < 0.55 else 12 if k < 0.9 else 4
    p.paint(wm, body)
    p.paint(wm.edge(0, -1), 15)
    p.paint(wm.edge(0, 1), 4)
    return p


if __name__ == "__main__":
    logo().save(os.path.join(HERE, "tavorlin_logo.txt"),
                "logo/tavorlin_logo: loading logo, Tavorlin emblem and name (256 x 64);\n"
                "built into data/common/images/tavorlin_logo_transp.png at twice the size")
