#!/usr/bin/env python3
"""Checks the three layers of src/ and the floors inside them.

  show core  src/util, src/scenes, src/show: everything a viewer sees and
             hears is decided here, with no window, GL, sound, dialog or
             video library and no clock of its own;
  platform   src/platform: the back-ends (window and GL, audio, dialog
             boxes), and the GL modules that keep the place their fatal
             messages name (PLATFORM_IN_UTIL);
  outputs    src, src/capture, src/terminal: what a viewer runs.

Every folder sits on a floor and includes only project headers from its own
floor or below, so the show core never reaches up into a back-end. The core
includes none of the platform libraries' headers, and only the show's clock
reads the time. With --link FILE, also checks that the link line in FILE
(CMake's link.txt of a program built on the core alone) names none of the
platform libraries.

Usage: check_layering.py SRC_DIR [--link FILE]   (exit 1 and one line per problem)
"""
import os
import re
import sys

CORE = "show core"
PLATFORM = "platform"
OUTPUTS = "outputs"

# Lowest first. A folder not listed here is an error, so a new folder has to
# be placed on the map.
FLOORS = [
    (CORE, ["util/os"]),
    (CORE, ["util", "util/data", "util/image", "util/music", "util/music/modulators", "util/timing"]),
    (CORE, ["util/ascii"]),
    (CORE, ["scenes"]),
    (CORE, ["show"]),
    (PLATFORM, ["platform", "platform/fbo", "platform/render", "platform/texture"]),
    (OUTPUTS, ["", "capture", "terminal"]),
]

# GL modules of the platform layer that live under util/: their fatal
# messages name the module by its path, which the program's messages fix.
PLATFORM_IN_UTIL = re.compile(r'^util/(texture/|fbo/|bufferfont\.|ascii/gl_screen_renderer\.|ascii/cell_shader_pass\.)')
PLATFORM_FLOOR = 5

# Headers of the libraries the core must build without.
PLATFORM_HEADERS = re.compile(r'^\s*#\s*include\s+<(SDL|epoxy|GL|FL|pulse|libav\w*|libsw\w*|X11|kiss_fft|mpg123|vorbis)\b',
                              re.MULTILINE)
# Libraries the core's link line must not name.
PLATFORM_LIBRARIES = re.compile(r'(lib)?(SDL\w*|epoxy|GLU?|GLX|OpenGL|fltk\w*|pulse\w*|av(format|codec|util)|swscale|'
                                r'X11|ftgl|freetype|mpg123|vorbis\w*|kissfft\w*|jpeg)(\.so|\.a|\b)')
# Only the show's clock reads the time; the log's date stamp is the data
# module's own business.
CLOCK_READS = re.compile(r'\b(steady_clock|system_clock|high_resolution_clock|clock_gettime|gettimeofday)\b')
MAY_READ_CLOCK = {"show/show_clock.cpp", "util/os/systime.cpp"}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def floor_of(relative):
    """The floor and layer of a file, given by its path relative to src/."""
    if PLATFORM_IN_UTIL.match(relative):
        return PLATFORM_FLOOR, PLATFORM
    folder = os.path.dirname(relative)
    for level, (layer, folders) in enumerate(FLOORS):
        if folder in folders:
            return level, layer
    return None, None


def check_sources(src):
    problems = []
    for root, _, files in os.walk(src):
        for name in sorted(files):
            if not name.endswith((".h", ".cpp", ".c")):
                continue
            path = os.path.join(root, name)
            folder = os.path.relpath(root, src).replace(os.sep, "/")
            folder = "" if folder == "." else folder
            relative = f"{folder}/{name}" if folder else name
            here, layer = floor_of(relative)
            if here is None:
                problems.append(f"{path}: folder '{folder}' is not on the module map")
                continue
            with open(path, encoding="utf-8") as f:
                text = f.read()
            for target in INCLUDE.findall(text):
                if not os.path.exists(os.path.join(src, target)):
                    continue  # a header beside the file or from a library
                there, _ = floor_of(target)
                if there is None or there > here:
                    problems.append(f"{path}: includes {target} from a floor above '{folder or 'src'}'")
            if layer != CORE:
                continue
            for match in PLATFORM_HEADERS.finditer(text):
                problems.append(f"{path}: the show core includes <{match.group(1)}...>, a platform library")
            if relative not in MAY_READ_CLOCK and CLOCK_READS.search(text):
                problems.append(f"{path}: reads a clock; the show's clock hands the time to the frame")
    return problems


def check_link_line(path):
    with open(path, encoding="utf-8") as f:
        line = f.read()
    return [f"{path}: the core's link line names {m.group(0)}" for m in PLATFORM_LIBRARIES.finditer(line)]


def main():
    args = sys.argv[1:]
    link = None
    if len(args) == 3 and args[1] == "--link":
        link = args[2]
        args = args[:1]
    if len(args) != 1:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    problems = check_sources(args[0])
    if link:
        problems += check_link_line(link)
    for line in problems:
        print(line)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
