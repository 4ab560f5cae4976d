"""The Tavorlin emblem: a diamond ring around a bold T whose stem ends in a
small jewel. Shared by the bigsprite pictures and the loading logo."""


def emblem_parts(cx, cy, r):
    """Inside-tests (square units) of the emblem's parts, radius r."""
    ring_w = 0.21 * r

    def ring(x, y):
        d = abs(x - cx) + abs(y - cy)
        return r - ring_w <= d <= r

    def field(x, y):
        return abs(x - cx) + abs(y - cy) < r - ring_w

    def tee(x, y):
        dx, dy = x - cx, y - cy
        bar = -0.48 * r <= dx <= 0.48 * r and -0.46 * r <= dy <= -0.20 * r
        stem = -0.13 * r <= dx <= 0.13 * r and -0.30 * r <= dy <= 0.30 * r
        return bar or stem

    def jewel(x, y):
        return abs(x - cx) + abs(y - (cy + 0.47 * r)) <= 0.14 * r

    return ring, field, tee, jewel
