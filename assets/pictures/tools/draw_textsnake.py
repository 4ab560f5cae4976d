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
    "S": [".XXXX", "XXXXX", "XX...", "XX...", "XXXX.", ".XXXX", "...XX", "...XX", "XXXXX", "XXXX."],
    "N": ["XX..X", "XXX.X", "XXX.X", "XXX.X", "XX.XX", "XX.XX", "XX.XX", "XX.XX", "XX..X", "XX..X"],
    "A": [".XXX.", "XXXXX", "XX.XX", "XX.XX", "XX.XX", "XXXXX", "XXXXX", "XX.XX", "XX.XX", "XX.XX"],
    "K": ["XX..X", "XX.XX", "XX.XX", "XXXX.", "XXX..", "XXX..", "XXXX.", "XX.XX", "XX.XX", "XX..X"],
    "E": ["XXXXX", "XXXXX", "XX...", "XX...", "XXXX.", "XXXX.", "XX...", "XX...", "XXXXX", "XXXXX"],
}
TITLE_RAMP = [15, 14, 14, 14, 14, 14, 14, 14, 14, 6]

# Key caps five columns wide and three rows tall, the arrow in dark grey.
ARROWS = {"up": ["..X..", ".XXX.", "XXXXX"], "down": ["XXXXX", ".XXX.", "..X.."],
          "left": ["..XX.", "XXXX.", "..XX."], "right": [".XX..", ".XXXX", ".XX.."]}


def keycap(p, x0, y0, arrow):
    for y, row in enumerate(ARROWS[arrow]):
        for x, c in enumerate(row):
            p.set(x0 + x, y0 + y, 8 if c == "X" else 7)


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
    # Bold letters five columns wide, two-column stems: SNAKE fills the
    # plate's 29 columns. Yellow, lit along the top, a dark green shadow below.
    tx, ty = 50, 31
    for k, ch in enumerate("SNAKE"):
        for y, row in enumerate(TITLE[ch]):
            for x, c in enumerate(row):
                if c == "X":
                    p.set(tx + 6 * k + x, ty + y, TITLE_RAMP[y])
                    if y + 1 == len(TITLE[ch]) or TITLE[ch][y + 1][x] != "X":
                        p.set(tx + 6 * k + x, ty + y + 1, PANEL)
    # The cursor keys the viewer steers with, in the greetings box below
    # the greeting lines and above the menu.
    for x0, y0, arrow in ((62, 17, "up"), (56, 21, "left"), (62, 21, "down"), (68, 21, "right")):
        keycap(p, x0, y0, arrow)
    # A game snake under the title: a chain of segments turning up towards
    # the heart it is after.
    segments = [(51, 46), (54, 46), (57, 46), (60, 46), (63, 46), (66, 46), (66, 43)]
    for x, y in segments:
        for dx in (0, 1):
            for dy in (0, 1):
                p.set(x + dx, y + dy, 10)
    for x in range(69, 72):
        for y in (43, 44):
            p.set(x, y, 14)
    p.set(71, 43, 15)
    p.set(72, 44, 12)
    for x, y in ((75, 43), (77, 43), (75, 44), (76, 44), (77, 44), (76, 45)):
        p.set(x, y, 12)
    p.set(75, 43, 15)
    return p


if __name__ == "__main__":
    interface().save(os.path.join(ROOT, "textsnake", "snakeinterface.txt"),
                     "textsnake/snakeinterface: field frame and side panel (80 x 50)")
