"""Scene previews: a picture composed the way its scene shows it.

    python3 preview.py <what> [out.png]

Rebuilds nothing in the show; it only helps to judge the grids in context
(fire behind the party name, the wall behind the mask, the bars around the
scroller ...). The effects follow the show's own rules closely enough to
judge colours, coverage and legibility, not byte for byte.
"""

import math
import os
import pickle
import random
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pix import Pic, ROOT, write_png, draw_rotated, draw_column_wave, draw_offset, \
    rotozoom, PALETTE  # noqa: E402

REPO = os.path.dirname(os.path.dirname(ROOT))
OUT = "/tmp/art"


def pic(scene, name, w=80, h=50):
    return Pic.load(os.path.join(ROOT, scene, name + ".txt"), w, h)


class Screen:
    """Characters and colours of the 80 x 50 text screen."""

    def __init__(self):
        self.fg = Pic(80, 50)
        self.bg = Pic(80, 50)
        self.ch = [0] * 4000

    def set(self, x, y, c, fg, bg=0):
        if 0 <= x < 80 and 0 <= y < 50:
            self.ch[y * 80 + x] = c
            self.fg.px[y * 80 + x] = fg
            self.bg.px[y * 80 + x] = bg

    def blit(self, p, ch=219, ox=0, oy=0):
        tmp = Pic(80, 50)
        draw_offset(tmp, p, ox, oy)
        self.layer(tmp, ch)

    def layer(self, p, ch=219):
        """Cells written by an effect into a scratch Pic (0 = untouched)."""
        for i, c in enumerate(p.px):
            if c:
                self.ch[i], self.fg.px[i], self.bg.px[i] = ch, c, 0

    def png(self, path, cw=10, ch=12):
        W, H = 80 * cw, 50 * ch
        rows = []
        for py in range(H):
            y = py // ch
            row = bytearray()
            for px in range(W):
                x = px // cw
                i = y * 80 + x
                c = self.ch[i]
                fg, bg = PALETTE[self.fg.px[i]], PALETTE[self.bg.px[i]]
                lx, ly = px % cw, py % ch
                if c == 219:
                    lit = True
                elif c == 176:
                    lit = (ly % 4 == 0 and lx % 4 == 0) or (ly % 4 == 2 and lx % 4 == 2)
                elif c == 254:
                    lit = 2 <= lx < cw - 2 and 3 <= ly < ch - 3
                elif c == 46:
                    lit = cw // 2 - 1 <= lx <= cw // 2 and ch - 4 <= ly < ch - 2
                elif 136 <= c <= 199:
                    lit = (lx + ly) % 2 == 0 or c > 170
                elif c == 0:
                    lit = False
                else:  # text: a rough box
                    lit = 1 <= lx < cw - 1 and 2 <= ly < ch - 2 and (lx + ly) % 3 != 0
                row += bytes(fg if lit else bg)
            rows.append(bytes(row))
        write_png(path, (W, H, rows))


# ------------------------------------------------------------------- fire

def fire_field(ticks, cooling=3.5, target=0.03, rate=0.014, seed=1):
    cache = "/tmp/art/fire_%d.pickle" % ticks
    if os.path.exists(cache):
        with open(cache, "rb") as f:
            return pickle.load(f)
    W3, H2 = 240, 100
    s = [0] * (W3 * H2)
    rnd = random.Random(seed)
    for _ in range(ticks):
        if rate > 0 and target < cooling:
            cooling -= rate
        for y in range(1, H2):
            bottom = y == H2 - 1
            r0, r1, r2 = (y - 1) * W3, y * W3, (y + 1) * W3
            for x in range(W3):
                left, right = x > 0, x < W3 - 1
                n = 0
                tot = 0
                for rr in ((r0, r1) if bottom else (r0, r1, r2)):
                    if left:
                        tot += s[rr + x - 1]
                        n += 1
                    if rr != r1:
                        tot += s[rr + x]
                        n += 1
                    if right:
                        tot += s[rr + x + 1]
                        n += 1
                s[r0 + x] = int(tot / (n + cooling))
        base = (H2 - 1) * W3
        for _ in range(25):
            for _ in range(3):
                s[base + rnd.randint(0, 32767) * (W3 - 1) // 32767] = 0
            s[base + rnd.randint(0, 32767) * (W3 - 1) // 32767] = 255
    with open(cache, "wb") as f:
        pickle.dump(s, f)
    return s


RAMP = [0x00, 0x04] + [0x0C] * 5 + [0x0E] * 9 + [0x0F] * 9


def draw_fire(scr, s, char=None):
    W3 = 240
    for r in range(50):
        for c in range(80):
            v = 0
            for dy in (0, 1):
                for dx in (0, 1, 2):
                    v += s[(2 * r + dy) * W3 + 3 * c + dx]
            v = (v // 3) % 256
            level = (v // 10) % 25
            if level == 0:
                continue
            b = RAMP[level]
            scr.set(c, r, char if char else 136 + v // 4, b & 15, b >> 4)


def stars(scr, seed=3, n=30):
    rnd = random.Random(seed)
    for _ in range(n):
        x, y, sp = rnd.randrange(80), rnd.randrange(50), rnd.randrange(1, 7)
        scr.set(x, y, 46, 15 if sp > 3 else 8)


def letter_mask():
    src = open(os.path.join(REPO, "src/scenes/textfire.cpp")).read()
    rows = [l.strip().strip('",') for l in src.splitlines()
            if l.strip().startswith('"') and len(l.strip().strip('",')) == 80]
    return rows[:50]


def textfire(beat, out):
    scr = Screen()
    stars(scr)
    draw_fire(scr, fire_field(330), 254 if beat >= 28 else None)
    glim, year = pic("textfire", "glimmerbay"), pic("textfire", "2006")
    if beat >= 28:
        scr.blit(glim)
    if beat >= 36:
        scr.blit(year)
    mask = letter_mask()
    gone = max(0, int(beat) - 35) if beat >= 36 else 0
    for r, line in enumerate(mask):
        for c, ch in enumerate(line):
            if ch.isdigit() and int(ch) >= gone:
                scr.set(c, r, 219, 15)
    scr.png(out)


# ------------------------------------------------------------ talking V

def talkingv(t_ms, mode, out, angle=None):
    scr = Screen()
    wall = pic("texttalkingv", "greywall")
    face = pic("texttalkingv", "vexmask")
    if mode != "alone":
        scr.blit(wall, 176)
        t = t_ms * 0.001
        for i, L in enumerate("KESTRUNE"):
            lp = pic("texttalkingv", L, 8, 6)
            ox = int(36 * math.sin(t - 0.25 * i) - 36)
            scr.blit(lp, 219, ox, -1 - 6 * i)
    tmp = Pic(80, 50)
    if mode == "flat":
        tmp.blit(face)
    elif mode in ("turned", "alone"):
        draw_rotated(tmp, face, math.pi / 2 if angle is None else angle)
    elif mode == "pulse":
        draw_rotated(tmp, face, math.pi / 2, 2.6, 1.0)
    scr.layer(tmp)
    if mode != "alone":
        for k, (fx, fy) in enumerate(((0.001, 710), (0.00125, 410), (0.002, 810))):
            cx = int(math.sin(t_ms * fx) * 35 + 40)
            cy = int(math.cos(t_ms / fy) * 20 + 25)
            for dy in range(-5, 6):
                for dx in range(-5, 6):
                    if (10 - abs(dx) - abs(dy)) // 2 > 0:
                        x, y = cx + dx, cy + dy
                        if 0 <= x < 80 and 0 <= y < 50:
                            c = (scr.bg.px[y * 80 + x] * 16 + scr.fg.px[y * 80 + x] + 1) % 256
                            scr.fg.px[y * 80 + x], scr.bg.px[y * 80 + x] = c % 16, c // 16
    scr.png(out)


def face_on_black(angle, scale, out, starsbg=False):
    scr = Screen()
    if starsbg:
        stars(scr)
    tmp = Pic(80, 50)
    draw_rotated(tmp, pic("texttalkingv", "vexmask"), angle, scale, scale)
    scr.layer(tmp)
    scr.png(out)


COMMANDS = {
    "fire28": lambda o: textfire(30, o),
    "fire36": lambda o: textfire(36.5, o),
    "fire40": lambda o: textfire(40, o),
    "talk": lambda o: talkingv(2300, "flat", o),
    "talk2": lambda o: talkingv(5100, "flat", o),
    "turned": lambda o: talkingv(4000, "turned", o),
    "pulse": lambda o: talkingv(4000, "pulse", o),
    "spin": lambda o: talkingv(4000, "turned", o, 0.7),
    "alone": lambda o: talkingv(0, "alone", o),
    "snaketitle": lambda o: face_on_black(2.2, 1.0, o),
    "rasterface": lambda o: face_on_black(math.pi / 2, 1.6, o, True),
}



def dance(pose, angle_index, zoom_index, out, mirror=0):
    scr = Screen()
    tmp = Pic(80, 50)
    rotozoom(tmp, pic("textdance", "rotozoom", 256, 256), angle_index, zoom_index, mirror)
    for i, c in enumerate(tmp.px):
        scr.ch[i], scr.fg.px[i], scr.bg.px[i] = 219, c, 0
    scr.blit(pic("textdance", "dance%d" % pose))
    scr.png(out)


COMMANDS.update({
    "dance1": lambda o: dance(1, 250, 9, o),
    "dance2": lambda o: dance(2, 230, 20, o),
    "dance3": lambda o: dance(3, 200, 40, o, 1),
    "dance4": lambda o: dance(4, 120, 110, o, 3),
})




def raster_scroll(t_ms, out):
    """The scroller t_ms after its start, between two sets of bars."""
    scr = Screen()
    stars(scr)
    pos = [[0.0] * 6, [0.0] * 6]
    dep = [[0.0] * 6, [0.0] * 6]
    for a, ph0 in ((0, 0.0), (1, math.pi)):
        ph = ph0 + 0.04 * (t_ms // 20)
        for i in range(6):
            pos[a][i] = (math.sin(ph + 0.04 * i) + 1) * 25
            dep[a][i] = math.cos(ph + 0.04 * i)
    cols = ((4, 12), (4, 12), (2, 10), (2, 10), (1, 9), (1, 9))

    def bars(front):
        for a in (0, 1):
            for i in range(6):
                if (dep[a][i] > 0) == front and dep[a][i] != 0:
                    row = int(pos[a][i])
                    if 0 <= row < 50:
                        for c in range(80):
                            col = cols[i][1 if front else 0]
                            scr.set(c, row, 219, col, col)
    bars(False)
    tmp = Pic(80, 50)
    draw_column_wave(tmp, pic("textraster", "fastintro", 800, 50), max(0, (t_ms - 312) // 10),
                     (t_ms + 123456) * 0.002857142857142857, 4.5, -0.025)
    scr.layer(tmp)
    bars(True)
    scr.png(out)


COMMANDS.update({
    "scroll1": lambda o: raster_scroll(1200, o),
    "scroll2": lambda o: raster_scroll(2500, o),
    "scroll3": lambda o: raster_scroll(4600, o),
    "scroll4": lambda o: raster_scroll(7000, o),
})




def raster_nick(k, t_ms, out):
    scr = Screen()
    stars(scr)
    ph = 0.04 * (t_ms // 20)
    rows = []
    for a, ph0 in ((0, 0.0), (1, math.pi)):
        for i in range(6):
            rows.append(((math.sin(ph0 + ph + 0.04 * i) + 1) * 25, math.cos(ph0 + ph + 0.04 * i), i))
    cols = ((4, 12), (4, 12), (2, 10), (2, 10), (1, 9), (1, 9))
    for pos, dep, i in rows:
        if dep < 0 and 0 <= int(pos) < 50:
            for c in range(80):
                scr.set(c, int(pos), 219, cols[i][0], cols[i][0])
    scr.blit(pic("textraster", "nick%d" % k))
    for pos, dep, i in rows:
        if dep > 0 and 0 <= int(pos) < 50:
            for c in range(80):
                scr.set(c, int(pos), 219, cols[i][1], cols[i][1])
    scr.png(out)


for _k in range(1, 9):
    COMMANDS["nick%d" % _k] = (lambda k: lambda o: raster_nick(k, 700 * k, o))(_k)




def text(scr, row, col, s, fg, bg):
    for i, ch in enumerate(s):
        if ch != " " and col + i < 80:
            scr.set(col + i, row, ord(ch), fg, bg)


def snake(menu, out):
    scr = Screen()
    stars(scr, 9)
    scr.blit(pic("textsnake", "snakeinterface"))
    for row, col, s in ((3, 61, "SIZE:"), (3, 67, "27"), (4, 60, "SCORE:"), (4, 67, "1840"),
                        (6, 55, "LAST SCORE:"), (6, 67, "905"), (7, 55, "HIGH SCORE:"),
                        (7, 67, "12345"), (15, 56, "GREETS TO:"),
                        (16, 57, "ABCDEFGHIJKLMNOPQRST")):
        text(scr, row, col, s, 15, 2)
    if menu:
        for row, s in ((24, "  1 - AI snake"), (25, "  2 - Play snake"), (26, "ESC - Quit")):
            text(scr, row, 53, s, 15, 2)
    for k in range(12):
        scr.set(20 + k, 30, 254, 2, 10)
    scr.set(32, 30, 2, 14, 0)
    scr.set(10, 12, 3, 12, 0)
    scr.png(out)


COMMANDS["snake"] = lambda o: snake(True, o)




def bigsprite(beat, ai, zi, out):
    scr = Screen()
    tmp = Pic(80, 50)
    rotozoom(tmp, pic("textbigsprite", "tavors", 256, 256), ai, zi)
    for i, c in enumerate(tmp.px):
        scr.ch[i], scr.fg.px[i], scr.bg.px[i] = 219, c, 0
    ox = int((math.sin(0.5 * beat) + 1) * 110)
    oy = int((math.cos(0.70422536 * beat) + 1) * 15)
    scr.blit(pic("textbigsprite", "tavorlin", 300, 80), 219, ox, oy)
    scr.png(out)


COMMANDS.update({
    "big1": lambda o: bigsprite(324.0, 250, 8, o),
    "big2": lambda o: bigsprite(327.5, 200, 40, o),
    "big3": lambda o: bigsprite(332.0, 60, 120, o),
    "big4": lambda o: bigsprite(336.3, 30, 100, o),
})




def plasma_screen(scr, t):
    S = [int(math.sin(i * 0.703125 * 0.0174532) * 1024) for i in range(512)]
    table = []
    for c in (1, 9, 3, 11, 15, 7, 8, 0):
        table += [c] * 32
    p1, p3 = -10 * t, 5 * t
    for r in range(50):
        for c in range(80):
            x, y = 10 * c + 9, 10 * r + 9
            v = S[(p1 + 5 + 5 * x) % 512] + S[(3 + 3 * x) % 512] + S[(p3 + y) % 512] + S[(3 * y) % 512]
            scr.set(c, r, 176, table[((v >> 4) + 128) % 256], 0)


def credits(who, t_ms, out):
    scr = Screen()
    plasma_screen(scr, t_ms // 20)
    person = pic("textending", "sunvira" if who == 0 else "drimbo00")
    word = pic("textending", "code" if who == 0 else "music")
    tmp = Pic(80, 50)
    draw_rotated(tmp, person, math.sin(t_ms * 0.0031830988618379067) / 3.0)
    draw_column_wave(tmp, word, 0, t_ms * 0.006666666666666667, 1.5, 0.3)
    scr.layer(tmp)
    scr.png(out)


COMMANDS.update({
    "code": lambda o: credits(0, 400, o),
    "music": lambda o: credits(1, 1300, o),
})


if __name__ == "__main__":
    what = sys.argv[1]
    out = sys.argv[2] if len(sys.argv) > 2 else os.path.join(OUT, what + ".png")
    COMMANDS[what](out)
    print(out)
