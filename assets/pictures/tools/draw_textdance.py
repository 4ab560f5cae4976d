"""Drafts for the dance scene: the rotozoom floor tile (256 x 256, seamless),
the four poses of the dancer and the four frames of the air horns."""

import math
import os

from pix import Pic, shape, ellipse, capsule, polygon, union, ROOT

TILE = 256


def floor_tile():
    """A harlequin dance floor: one big diamond in dark blue with a blue
    core at the tile's centre, and one in dark magenta with a dark red core
    at its corners, which the neighbouring tiles complete. The rotozoom
    samples the tile at up to 36 texels a cell, single points with no
    filtering; every region is at least 80 texels across (two cells at the
    widest zoom) and there are no seams or tips thinner than that, so even
    zoomed out each shape covers whole groups of cells instead of breaking
    into speckle. The tile wraps seamlessly: the corner diamond is drawn
    from all four corners."""
    p = Pic(TILE, TILE)
    half = TILE // 2
    core = 56
    for y in range(TILE):
        for x in range(TILE):
            d = abs(x + 0.5 - half) + abs(y + 0.5 - half)
            if d <= half:
                c = 9 if d <= core else 1
            else:
                corner = min(x + 0.5, TILE - x - 0.5) + min(y + 0.5, TILE - y - 0.5)
                c = 4 if corner <= core else 5
            p.px[y * TILE + x] = c
    return p


# ------------------------------------------------------------------ dancer
# A disco dancer in a white suit, red shirt and red shoes, with an afro and
# sunglasses. Four poses built on one skeleton (square units, the picture is
# 80 x 60 units): the same head, limbs and colours, feet on the same line.

A = 1.2
W, H = 80, 50
GROUND = 57.4  # soles (units); row 47 is the last row of the shoes

POSES = [
    # 1: left arm points up and out, right hand on the hip, right knee out.
    dict(hip=(40.0, 33.4), sh_l=(32.0, 19.8), sh_r=(48.0, 19.8), head=(40.0, 12.2),
         el_l=(26.0, 11.6), ha_l=(21.6, 3.6), el_r=(56.0, 26.0), ha_r=(47.4, 31.4),
         kn_l=(34.8, 45.0), ft_l=(33.0, 55.4), kn_r=(50.6, 42.6), ft_r=(50.0, 55.4)),
    # 2: both arms up in a V, feet apart.
    dict(hip=(40.0, 33.4), sh_l=(32.0, 19.8), sh_r=(48.0, 19.8), head=(40.0, 12.2),
         el_l=(25.4, 12.4), ha_l=(20.6, 3.6), el_r=(54.6, 12.4), ha_r=(59.4, 3.6),
         kn_l=(33.6, 45.0), ft_l=(29.6, 55.4), kn_r=(46.4, 45.0), ft_r=(50.4, 55.4)),
    # 3: the mirror of pose 1.
    None,
    # 4: crouched, elbows out, fists up, knees bent wide.
    dict(hip=(40.0, 36.4), sh_l=(32.0, 22.8), sh_r=(48.0, 22.8), head=(40.0, 15.2),
         el_l=(21.6, 26.4), ha_l=(20.6, 16.4), el_r=(58.4, 26.4), ha_r=(59.4, 16.4),
         kn_l=(28.4, 45.0), ft_l=(29.6, 55.4), kn_r=(51.6, 45.0), ft_r=(50.4, 55.4)),
]


def _mirror_pose(pose):
    out = {}
    for k, (x, y) in pose.items():
        k2 = k.replace("_l", "_X").replace("_r", "_l").replace("_X", "_r")
        out[k2] = (80.0 - x, y)
    return out


POSES[2] = _mirror_pose(POSES[0])


def dancer(pose):
    S = lambda f: shape(W, H, f)  # noqa: E731
    P = pose
    hx, hy = P["hip"]
    hip_l, hip_r = (hx - 4.2, hy), (hx + 4.2, hy)
    sl, sr = P["sh_l"], P["sh_r"]
    torso = S(polygon([(sl[0] - 0.6, sl[1] - 1.4), (sr[0] + 0.6, sr[1] - 1.4),
                       (hx + 6.0, hy - 2.0), (hx + 5.4, hy + 2.0), (hx - 5.4, hy + 2.0),
                       (hx - 6.0, hy - 2.0)]))
    neck = S(capsule(P["head"][0], P["head"][1] + 4.0, (sl[0] + sr[0]) / 2, sl[1] - 1.0, 1.8))
    head = S(ellipse(P["head"][0], P["head"][1], 5.0, 5.6))
    afro = S(union(*[ellipse(P["head"][0] + dx, P["head"][1] + dy, r, r * 0.95)
                     for dx, dy, r in ((0, -3.4, 6.6), (-4.8, -1.0, 4.2), (4.8, -1.0, 4.2),
                                       (-3.2, -5.6, 4.0), (3.2, -5.6, 4.0))])).minus(
        S(ellipse(P["head"][0], P["head"][1] + 1.6, 5.0, 4.8)))
    arms, hands, legs, shoes = [], [], [], []
    for side in "lr":
        sh, el, ha = P["sh_" + side], P["el_" + side], P["ha_" + side]
        arms.append(S(union(capsule(sh[0], sh[1], el[0], el[1], 3.0, 2.6),
                            capsule(el[0], el[1], ha[0], ha[1], 2.6, 2.0))))
        hands.append(S(ellipse(ha[0], ha[1], 2.3, 2.3)))
        hp = hip_l if side == "l" else hip_r
        kn, ft = P["kn_" + side], P["ft_" + side]
        # Flared trousers: the shin widens towards the foot.
        legs.append(S(union(capsule(hp[0], hp[1], kn[0], kn[1], 3.8, 3.0),
                            capsule(kn[0], kn[1], ft[0], ft[1] - 1.0, 3.0, 4.0))).intersect(
            S(lambda x, y: y < GROUND - 1.0)))
        toe = -1 if side == "l" else 1
        shoes.append(S(polygon([(ft[0] - 3.6, ft[1] - 0.4), (ft[0] + 3.6, ft[1] - 0.4),
                                (ft[0] + 3.6 + 2.8 * toe * (toe > 0), GROUND),
                                (ft[0] - 3.6 + 2.8 * toe * (toe < 0), GROUND)])))
    body = torso.union(neck).union(head).union(afro)
    for m in arms + hands + legs + shoes:
        body = body.union(m)

    p = Pic(W, H)
    # Shadow on the floor, then the outline.
    p.paint(S(ellipse(40.0, GROUND + 0.2, 19.0, 1.6)), 1)
    p.paint(body.grow(1, False).minus(body), 1)

    # The suit is solid white: the spin samples single cells, and shading
    # lines one cell wide would break up into grey specks there.
    def suit(part):
        p.paint(part, 15)

    for leg in legs:
        suit(leg)
    for shoe in shoes:
        p.paint(shoe, 12)
        p.paint(shoe.edge(0, 1), 4)
    suit(torso)
    # The red shirt in the jacket's V, a gold chain.
    sx = (P["sh_l"][0] + P["sh_r"][0]) / 2
    vee = S(polygon([(sx - 2.6, P["sh_l"][1] - 0.2), (sx + 2.6, P["sh_l"][1] - 0.2),
                     (sx, P["sh_l"][1] + 8.0)]))
    p.paint(vee.intersect(torso), 12)
    p.paint(neck, 6)
    for arm in arms:
        suit(arm)
    for hand in hands:
        p.paint(hand, 14)
        p.paint(hand.edge(1, 0).union(hand.edge(0, 1)), 6)
    p.paint(afro, 4)
    p.paint(afro.edge(0, -1).union(afro.edge(-1, 0)), 12)
    p.paint(head, 14)
    p.paint(head.edge(1, 0), 6)
    # Bold features that survive the spin: sunglasses two rows high across
    # the face with a blue lens on each side, a wide red mouth.
    hx0, hy0 = P["head"]
    row = int(hy0 / A) - 1
    for y in (row, row + 1):
        for x in range(int(hx0 - 4), int(hx0 + 5)):
            if (x, y) in head:
                p.set(x, y, 1)
    for x in (int(hx0 - 3), int(hx0 - 2), int(hx0 + 1), int(hx0 + 2)):
        p.set(x, row, 9)
    mouth = int((hy0 + 2.0) / A)
    for x in range(int(hx0 - 2), int(hx0 + 3)):
        p.set(x, mouth, 12)
    return p


# -------------------------------------------------------------- air horns
# Two party air horns in the lower corners blast upwards: sound rings rise
# between them and confetti bursts out, more of both in every frame.

BLAST = (40.0, 47.0)  # centre of the sound rings (units)


def _rot_ellipse(cx, cy, ux, uy, a, b):
    """Ellipse with semi-axis a along the unit vector (ux, uy), b across."""
    def f(x, y):
        px, py = x - cx, y - cy
        s_, t = px * ux + py * uy, -px * uy + py * ux
        return (s_ / a) ** 2 + (t / b) ** 2 <= 1.0
    return f


def horns(frame, seed=5):
    import random
    S = lambda f: shape(W, H, f)  # noqa: E731
    p = Pic(W, H)
    bx, by = BLAST
    # Sound rings: the newest is the innermost, each frame pushes them out.
    ring_colours = (15, 11, 13, 14, 10)
    for k in range(frame):
        r0 = 19.0 + 7.0 * (frame - 1 - k) + 2.5 * (frame - 1)
        colour = ring_colours[k % len(ring_colours)]
        ring = S(lambda x, y, r0=r0: r0 <= math.hypot(x - bx, y - by) <= r0 + 2.0
                 and y < by - 8.0)
        p.paint(ring, colour)
    # Confetti: pieces that fly out further in every frame.
    rnd = random.Random(seed)
    for n in range(90):
        ang = rnd.uniform(math.radians(200), math.radians(340))
        speed = rnd.uniform(0.7, 1.15)
        colour = rnd.choice((15, 14, 13, 11, 10, 12, 9))
        tall = rnd.random() < 0.5
        born = 1 + n % 4
        if born > frame:
            continue
        dist = (22.0 + 9.0 * (frame - born) + 5.0 * frame) * speed
        x, y = bx + math.cos(ang) * dist, by + math.sin(ang) * dist
        cx, cy = int(x), int(y / A)
        if 2 <= cx < 77 and 1 <= cy < 46 and p.get(cx, cy) == 0:
            p.set(cx, cy, colour)
            p.set(cx + (0 if tall else 1), cy + (1 if tall else 0), colour)
    for side in (0, 1):
        sx = (lambda x: x) if side == 0 else (lambda x: 80.0 - x)
        ux, uy = (0.62 if side == 0 else -0.62), -0.78  # the horn's axis
        nx, ny = -uy, ux
        base = (sx(17.0), 49.0)
        mouth = (sx(25.5), 38.3)
        # Can (red, a white stripe), grey valve, yellow trumpet, white rim.
        can = S(capsule(sx(6.0), 60.0, sx(13.2), 51.4, 5.2))
        valve = S(capsule(sx(13.6), 51.0, base[0], base[1], 2.2))
        cone = S(polygon([(base[0] + nx * 1.6, base[1] + ny * 1.6),
                          (mouth[0] + nx * 6.2, mouth[1] + ny * 6.2),
                          (mouth[0] - nx * 6.2, mouth[1] - ny * 6.2),
                          (base[0] - nx * 1.6, base[1] - ny * 1.6)]))
        rim = S(_rot_ellipse(mouth[0], mouth[1], nx, ny, 7.0, 2.2))
        throat = S(_rot_ellipse(mouth[0] + ux * 0.3, mouth[1] + uy * 0.3, nx, ny, 4.8, 1.1))
        body = can.union(valve).union(cone).union(rim)
        p.paint(body.grow(1, False).minus(body), 1)
        p.paint(can, 12)
        p.paint(can.edge(1 if side == 0 else -1, 0).union(can.edge(0, 1)), 4)
        p.paint(S(capsule(sx(3.4), 56.0, sx(9.6), 48.4, 0.8)).intersect(can), 15)
        p.paint(valve, 7)
        p.paint(cone, 14)
        p.paint(cone.edge(1 if side == 0 else -1, 0), 6)
        p.paint(rim, 15)
        p.paint(throat, 6)
    return p


if __name__ == "__main__":
    for k in range(1, 5):
        horns(k).save(os.path.join(ROOT, "textdance", "horn%d.txt" % k),
                      "textdance/horn%d: air horns blasting, frame %d of 4 (80 x 50)" % (k, k))
    for k, pose in enumerate(POSES):
        dancer(pose).save(os.path.join(ROOT, "textdance", "dance%d.txt" % (k + 1)),
                          "textdance/dance%d: the dancer, pose %d of 4 (80 x 50)" % (k + 1, k + 1))
    floor_tile().save(os.path.join(ROOT, "textdance", "rotozoom.txt"),
                      "textdance/rotozoom: dance floor tile for the rotozoom (256 x 256, seamless)")
