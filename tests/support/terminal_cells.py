#!/usr/bin/env python3
"""Compares what a tmux pane shows (`tmux capture-pane -p -e -N`) with the text
screen the preview tool writes (`preview --cells`), cell by cell: glyph and
colours.

Usage:
  terminal_cells.py full CAPTURE CELLS CHART_SOURCE truecolor|ansi256|ansi16
      the pane shows the 80 x 50 screen one cell per cell, centred; a cell
      of one colour (a full block, a glyph in its background's colour) as a
      space on that colour
  terminal_cells.py reduced CAPTURE CELLS CHART_SOURCE ansi16
      the pane shows it reduced with upper half blocks (two text rows per
      line, rows and columns dropped evenly when the pane is smaller still),
      a line's two halves of one colour as a space on it
  terminal_cells.py shape CAPTURE COLUMNS ROWS
      every cell of the pane is part of a reduced picture (whatever it shows)
  terminal_cells.py message CAPTURE COLUMNS ROWS
      the pane shows one line naming the size needed and the size found
  terminal_cells.py same CAPTURE OTHER_CAPTURE
      both panes show the same picture (a space's foreground colour unseen)

The Unicode character of each glyph is read from the chart generator's own
table (CHART_SOURCE, tools/chartgen/chart.cpp), not from the program.
Exit 0 when they agree, else 1 with the first differences.
"""
import re
import sys

# The palette as the show defines it, and as a terminal's 16 ANSI colours:
# CGA colour c is ANSI (c's red, green, blue bits swapped into ANSI order),
# bright from 8 on.
PALETTE = [(0, 0, 0), (0, 0, 128), (0, 128, 0), (0, 128, 128), (128, 0, 0), (128, 0, 128),
           (128, 128, 0), (191, 191, 191), (128, 128, 128), (0, 0, 255), (0, 255, 0), (0, 255, 255),
           (255, 0, 0), (255, 0, 255), (255, 255, 0), (255, 255, 255)]
ANSI_TO_CGA = [0, 4, 2, 6, 1, 5, 3, 7]
BLANKS = {0, 32, 255}  # glyphs without foreground pixels
FULL_BLOCK = 219       # the glyph without background pixels
UPPER_HALF = "\u2580"


def chart_table(source):
    text = open(source, encoding="utf-8").read()
    body = text[text.index("kCp437[256]"):]
    body = body[:body.index("};")]
    codes = [int(x, 16) for x in re.findall(r"0x([0-9A-Fa-f]{4})", body)]
    assert len(codes) == 256, "the chart's table has %d entries" % len(codes)
    return [" " if g in BLANKS else chr(c) for g, c in enumerate(codes)]


def read_cells(path):
    rows = []
    for line in open(path, encoding="ascii").read().splitlines():
        row = []
        for token in line.split():
            glyph, fg, bg = token.split(".")
            row.append((int(glyph, 16), int(fg, 16), int(bg, 16)))
        rows.append(row)
    assert len(rows) == 50 and all(len(r) == 80 for r in rows), "not an 80 x 50 cell file: " + path
    return rows


def parse_capture(path):
    """Each line as a list of (character, fg, bg); a colour is ('rgb', r, g, b),
    ('cga', index) for the 16 ANSI colours, or None for the default."""
    lines = []
    sgr = re.compile(r"\x1b\[([0-9;]*)m")
    fg = bg = None  # tmux carries colours over from line to line
    for raw in open(path, encoding="utf-8").read().rstrip("\n").split("\n"):
        cells = []
        pos = 0
        while pos < len(raw):
            m = sgr.match(raw, pos)
            if m:
                params = [int(p) if p else 0 for p in m.group(1).split(";")]
                i = 0
                while i < len(params):
                    p = params[i]
                    if p == 0:
                        fg = bg = None
                    elif 30 <= p <= 37:
                        fg = ("cga", ANSI_TO_CGA[p - 30])
                    elif 90 <= p <= 97:
                        fg = ("cga", ANSI_TO_CGA[p - 90] + 8)
                    elif 40 <= p <= 47:
                        bg = ("cga", ANSI_TO_CGA[p - 40])
                    elif 100 <= p <= 107:
                        bg = ("cga", ANSI_TO_CGA[p - 100] + 8)
                    elif p == 39:
                        fg = None
                    elif p == 49:
                        bg = None
                    elif p in (38, 48) and i + 1 < len(params) and params[i + 1] == 2:
                        colour = ("rgb",) + tuple(params[i + 2:i + 5])
                        if p == 38:
                            fg = colour
                        else:
                            bg = colour
                        i += 4
                    elif p in (38, 48) and i + 1 < len(params) and params[i + 1] == 5:
                        n = params[i + 2]
                        colour = ("cga", ANSI_TO_CGA[n % 8] + (8 if n >= 8 else 0)) if n < 16 else ("256", n)
                        if p == 38:
                            fg = colour
                        else:
                            bg = colour
                        i += 2
                    i += 1
                pos = m.end()
                continue
            cells.append((raw[pos], fg, bg))
            pos += 1
        lines.append(cells)
    return lines


def xterm256(rgb):
    """The nearest of xterm's 256 colours: its 6 x 6 x 6 cube or its grey ramp."""
    levels = [0, 95, 135, 175, 215, 255]
    cube = [min(range(6), key=lambda l: abs(levels[l] - v)) for v in rgb]
    cube_rgb = [levels[l] for l in cube]
    grey = min(range(24), key=lambda k: abs(8 + 10 * k - sum(rgb) / 3))
    distance = lambda other: sum((a - b) ** 2 for a, b in zip(rgb, other))
    if distance([8 + 10 * grey] * 3) < distance(cube_rgb):
        return 232 + grey
    return 16 + 36 * cube[0] + 6 * cube[1] + cube[2]


def expected_colour(index, mode):
    if mode == "truecolor":
        return ("rgb",) + PALETTE[index]
    if mode == "ansi256":
        return ("256", xterm256(PALETTE[index]))
    return ("cga", index)


def cell_at(lines, row, column):
    line = lines[row] if row < len(lines) else []
    return line[column] if column < len(line) else (" ", None, None)


def compare_full(capture, cells_path, chart_source, mode):
    table = chart_table(chart_source)
    lines = parse_capture(capture)
    cells = read_cells(cells_path)
    problems = []
    for r in range(50):
        for c in range(80):
            glyph, fg, bg = cells[r][c]
            shown, sfg, sbg = cell_at(lines, r, c)
            where = "row %d column %d (glyph %d, fg %d, bg %d)" % (r, c, glyph, fg, bg)
            if glyph == FULL_BLOCK or (glyph not in BLANKS and fg == bg):
                colour = fg if glyph == FULL_BLOCK else bg
                if shown != " " or sbg != expected_colour(colour, mode):
                    problems.append("%s: one colour, shows %r on %s" % (where, shown, sbg))
                continue
            if shown != table[glyph]:
                problems.append("%s: shows %r instead of %r" % (where, shown, table[glyph]))
                continue
            # A colour without pixels in the cell is free.
            if glyph not in BLANKS and sfg != expected_colour(fg, mode):
                problems.append("%s: foreground %s" % (where, sfg))
            if glyph != FULL_BLOCK and sbg != expected_colour(bg, mode):
                problems.append("%s: background %s" % (where, sbg))
    return problems


def compare_reduced(capture, cells_path, chart_source):
    chart_table(chart_source)
    lines = parse_capture(capture)
    cells = read_cells(cells_path)
    def in_picture(cell):
        return cell[0] == UPPER_HALF or (cell[0] == " " and cell[2] is not None)
    picture = [i for i, line in enumerate(lines) if any(ch == UPPER_HALF for ch, _, _ in line)]
    if not picture:
        return ["no half-block picture in the pane"]
    picture = [i for i, line in enumerate(lines) if any(in_picture(cell) for cell in line)]
    top, height = picture[0], len(picture)
    width = max(sum(1 for cell in lines[i] if in_picture(cell)) for i in picture)
    problems = []
    if picture != list(range(top, top + height)):
        problems.append("the picture's lines are not together: %s" % picture)
    if height != min(25, len(lines)) or width != 80:
        problems.append("a %d x %d picture in the pane" % (width, height))
    # Each half of a line stands for the text row nearest its centre; in 16
    # colours it shows that cell's foreground where the glyph covers most of
    # the cell, else its background: blanks their background, blocks their
    # foreground, and always one of the two.
    halves = 2 * height
    for line in range(height):
        for c in range(width):
            ch, sfg, sbg = cell_at(lines, top + line, c)
            if ch == " ":
                sfg = sbg  # both halves of one colour
            source_column = (2 * c + 1) * 80 // (2 * width)
            for half, shown in ((0, sfg), (1, sbg)):
                row = (2 * (2 * line + half) + 1) * 50 // (2 * halves)
                glyph, fg, bg = cells[row][source_column]
                if glyph in BLANKS:
                    allowed = [bg]
                elif glyph == FULL_BLOCK:
                    allowed = [fg]
                else:
                    allowed = [fg, bg]
                if shown not in [("cga", a) for a in allowed]:
                    problems.append("line %d column %d, %s half (text row %d, glyph %d, fg %d, bg %d): %s" %
                                    (line, c, "upper" if half == 0 else "lower", row, glyph, fg, bg, shown))
    return problems


def compare_shape(capture, columns, rows):
    lines = parse_capture(capture)
    problems = []
    for r in range(rows):
        for c in range(columns):
            ch, _, bg = cell_at(lines, r, c)
            if not (ch == UPPER_HALF or (ch == " " and bg is not None)):
                problems.append("line %d column %d: %r on %s is no part of a reduced picture" % (r, c, ch, bg))
    return problems


def compare_same(capture, other):
    def seen(path):
        return [[(ch, None if ch == " " else fg, bg) for ch, fg, bg in line] for line in parse_capture(path)]
    first, second = seen(capture), seen(other)
    problems = []
    for r in range(max(len(first), len(second))):
        a = first[r] if r < len(first) else []
        b = second[r] if r < len(second) else []
        for c in range(max(len(a), len(b))):
            ca = a[c] if c < len(a) else (" ", None, None)
            cb = b[c] if c < len(b) else (" ", None, None)
            if ca != cb:
                problems.append("line %d column %d: %s, then %s" % (r, c, ca, cb))
    return problems


def compare_message(capture, columns, rows):
    text = [("".join(ch for ch, _, _ in line)).strip() for line in parse_capture(capture)]
    text = [t for t in text if t]
    found = "%s x %s" % (columns, rows)
    if len(text) != 1:
        return ["expected one line, the pane shows %d: %s" % (len(text), text)]
    if found not in text[0] or "80" not in text[0]:
        return ["the line does not name the size needed and %s: %r" % (found, text[0])]
    return []


def main(argv):
    if len(argv) < 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    if argv[1] == "full":
        problems = compare_full(argv[2], argv[3], argv[4], argv[5])
    elif argv[1] == "reduced":
        problems = compare_reduced(argv[2], argv[3], argv[4])
    elif argv[1] == "same":
        problems = compare_same(argv[2], argv[3])
    elif argv[1] == "shape":
        problems = compare_shape(argv[2], int(argv[3]), int(argv[4]))
    elif argv[1] == "message":
        problems = compare_message(argv[2], argv[3], argv[4])
    else:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    for line in problems[:10]:
        print(line)
    if len(problems) > 10:
        print("... %d differences in all" % len(problems))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
