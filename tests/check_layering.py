#!/usr/bin/env python3
"""Checks the module map of src/: every folder sits on a floor and includes
only project headers from its own floor or below. The platform layer is the
ground floor, so nothing it includes can lead back up to the rest. Below the
scenes nothing reads the tick count or the keyboard itself.

Usage: check_layering.py SRC_DIR   (exit 1 and one line per offending include)
"""
import os
import re
import sys

# Lowest first. A folder not listed here is an error, so a new folder has to
# be placed on the map.
FLOORS = [
    ["platform"],
    ["util", "util/data", "util/texture", "util/fbo", "util/music", "util/music/modulators", "util/timing"],
    ["util/ascii"],
    ["scenes"],
    # the show itself: start-up, the show core and its window, the schedule
    # and settings; its off-line recording and the terminal player, which
    # drive the show core and are started from main
    ["", "capture", "terminal"],
]

# The tick count and the keyboard are read by the scenes and handed down:
# the effects and helpers below them take `now` and key state as arguments.
READ_ONLY_FROM_SCENES_UP = {"platform/ticks.h", "platform/asynckeys.h"}
SCENES_FLOOR = 3

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def floor_of(folder):
    for level, folders in enumerate(FLOORS):
        if folder in folders:
            return level
    return None


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    src = sys.argv[1]
    problems = []
    for root, _, files in os.walk(src):
        for name in sorted(files):
            if not name.endswith((".h", ".cpp", ".c")):
                continue
            path = os.path.join(root, name)
            folder = os.path.relpath(root, src).replace(os.sep, "/")
            folder = "" if folder == "." else folder
            here = floor_of(folder)
            if here is None:
                problems.append(f"{path}: folder '{folder}' is not on the module map")
                continue
            with open(path, encoding="utf-8") as f:
                text = f.read()
            for target in INCLUDE.findall(text):
                if not os.path.exists(os.path.join(src, target)):
                    continue  # a header beside the file or from a library
                there = floor_of(os.path.dirname(target))
                if there is None or there > here:
                    problems.append(f"{path}: includes {target} from a floor above '{folder or 'src'}'")
                elif target in READ_ONLY_FROM_SCENES_UP and 0 < here < SCENES_FLOOR:
                    problems.append(f"{path}: reads {target} below the scenes; take it from the caller")
    for line in problems:
        print(line)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
