"""Draft of the Snake screen's interface: the frame of the 48 x 48 field
(columns and rows 1-48 stay clear for the starfield and the game) and the
dark green panel on the right. The scene writes its texts white on dark
green into the panel: SIZE/SCORE at rows 3-4, LAST/HIGH SCORE at rows 6-7
(columns 55-75), the greetings at rows 15-16 (columns 56-76) and, in the
interactive part, the menu at rows 24-26 (columns 53-68). The boxes and the
title keep clear of those cells."""

import os

from pix import Pic, place, ROOT

W, H = 80, 50
PANEL = 2


TITLE = {
    "S": [".XXX", "XXXX", "XX..", "XX..", "XXX.", ".XXX", "..XX", "..XX", "XXXX", "XXX."],
    "N": ["XX..X", "XXX.X", "XXX.X", "XXX.X", "XX.XX", "XX.XX", "XX.XX", "XX.XX", "XX..X", "XX..X"],
    "A": [".XXX.", "XXXXX", "XX.XX", "XX.XX", "XX.XX", "XXXXX", "XXXXX", "XX.XX", "XX.XX", "XX.XX"],
    "K": ["XX..X", "XX.XX", "XX.XX", "XXXX.", "XXX..", "XXX..", "XXXX.", "XX.XX", "XX.XX", "XX..X"],
    "E": ["XXXX", "XXXX", "XX..", "XX..", "XXX.", "XXX.", "XX..", "XX..", "XXXX", "XXXX"],
}
TITLE_RAMP = [15, 14, 14, 14, 14, 14, 14, 14, 6, 6]

# Key caps seven columns wide and three rows tall: light grey with a clear
# border round an arrow in dark blue (8.7 : 1), so each reads as a key and
# its direction.
ARROWS = {"up": ["...X...", "..XXX..", ".XXXXX."], "down": [".XXXXX.", "..XXX..", "...X..."],
          "left": ["..X....", ".XXXXX.", "..X...."], "right": ["....X..", ".XXXXX.", "....X.."]}


def keycap(p, x0, y0, arrow):
    for y, row in enumerate(ARROWS[arrow]):
        for x, c in enumerate(row):
            p.set(x0 + x, y0 + y, 1 if c == "X" else 7)


def box(p, x0, y0, x1, y1, colour, corner):
    for x in range(x0, x1 + 1):
        p.set(x, y0, colour)
        p.set(x, y1, colour)
    for y in range(y0, y1 + 1):
        p.set(x0, y, colour)
        p.set(x1, y, colour)
    for x, y in ((x0, y0), (x1, y0), (x0, y1), (x1, y1)):
        p.set(x, y, corner)


def interface():
    p = Pic(W, H)
    # The panel.
    for y in range(1, 49):
        for x in range(50, 79):
            p.set(x, y, PANEL)
    # The frame: green with yellow studs, white corners.
    frame = [(x, 0) for x in range(80)] + [(x, 49) for x in range(80)] + \
            [(0, y) for y in range(50)] + [(49, y) for y in range(50)] + \
            [(79, y) for y in range(50)]
    for x, y in frame:
        p.set(x, y, 14 if (x + y) % 8 == 4 else 10)
    for x, y in ((0, 0), (49, 0), (79, 0), (0, 49), (49, 49), (79, 49)):
        p.set(x, y, 15)
    # Boxes around the score lines, and around the greetings and the menu
    # (the show has the greetings, the open end the menu).
    box(p, 52, 1, 77, 9, 10, 14)
    box(p, 52, 12, 77, 27, 10, 14)
    # The title on a clear plate (the stars pass behind it).
    for y in range(29, 43):
        for x in range(50, 79):
            p.set(x, y, 0)
    for x in range(50, 79):
        p.set(x, 29, 10)
        p.set(x, 42, 10)
    # Bold letters with two-column stems, S and E four columns wide and the
    # others five: SNAKE takes 27 of the plate's 29 columns, one clear on
    # each side. Yellow, lit along the top, dark yellow along the foot.
    tx, ty = 51, 31
    for ch in "SNAKE":
        rows = TITLE[ch]
        for y, row in enumerate(rows):
            for x, c in enumerate(row):
                if c == "X":
                    p.set(tx + x, ty + y, TITLE_RAMP[y])
        tx += len(rows[0]) + 1
    # The cursor keys the viewer steers with, in the greetings box below
    # the greeting lines and above the menu.
    for x0, y0, arrow in ((61, 17, "up"), (53, 21, "left"), (61, 21, "down"), (69, 21, "right")):
        keycap(p, x0, y0, arrow)
    # Under the title, what the game shows: a green snake of square
    # segments with a yellow head (its eye dark blue), after a red heart.
    for x in range(51, 66, 3):
        for dx in (0, 1):
            for dy in (0, 1):
                p.set(x + dx, 45 + dy, 10)
    for x in range(66, 70):
        for y in range(44, 48):
            p.set(x, y, 14)
    p.set(68, 45, 1)
    heart = ["XX.XX", "XXXXX", ".XXX.", "..X.."]
    for y, row in enumerate(heart):
        for x, c in enumerate(row):
            if c == "X":
                p.set(72 + x, 44 + y, 12)
    return p


if __name__ == "__main__":
    interface().save(os.path.join(ROOT, "textsnake", "snakeinterface.txt"),
                     "textsnake/snakeinterface: field frame and side panel (80 x 50)")
