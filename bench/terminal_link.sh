#!/usr/bin/env bash
# How far the terminal's picture falls behind the show on slow links.
#
#   bash bench/terminal_link.sh [PROGRAM] [SECONDS] [COLOURS]
#
# Runs `PROGRAM --terminal` (build/kestrune unless given; an older build for
# a before/after) in an 80 x 50 pseudo-terminal behind a link that reads
# all it is given at once and passes it on at 20, 50 and 100 kB/s and
# unlimited (tests/support/slow_link.py, as SSH over a slow network does:
# writes never block). The link plays the terminal: it answers
# device-attributes queries when they come through. After SECONDS (20) it
# presses Escape. Per rate: bytes/s that came through, how long those bytes
# waited in the link (mean, 95th percentile, most: the picture is at least
# that far behind the music), and the seconds from Escape to the main
# screen being back. COLOURS is the COLORTERM given (truecolor unless given).
# The archive is the one beside PROGRAM, or KESTRUNE_DATA_TVL.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
program=$(realpath "${1:-$root/build/kestrune}")
seconds=${2:-20}
colours=${3:-truecolor}
# The show's archive beside the program, or KESTRUNE_DATA_TVL.
archive=${KESTRUNE_DATA_TVL:-$(dirname "$program")/data.tvl}

dir=$(mktemp -d "${TMPDIR:-/tmp}/kestrune-link.XXXXXX")
trap 'rm -rf "$dir"' EXIT
cp "$archive" "$dir/data.tvl"

echo "terminal output behind a slow link: $program, COLORTERM=$colours, Escape after $seconds s"
printf '%-10s %12s %10s %10s %10s %14s\n' "link" "bytes/s" "wait mean" "wait p95" "wait max" "Escape to back"
for rate in 20000 50000 100000 0; do
  (cd "$dir" && env -u DISPLAY -u WAYLAND_DISPLAY SDL_AUDIODRIVER=dummy LANG=C.UTF-8 LC_ALL=C.UTF-8 \
    TERM=xterm-256color COLORTERM="$colours" python3 "$root/tests/support/slow_link.py" terminal "$rate" "$seconds" \
    "$dir/$rate.json" -- "$program" --terminal 2>"$dir/$rate.stderr")
  python3 - "$dir/$rate.json" "$rate" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))
rate = int(sys.argv[2])
name = "%d kB/s" % (rate // 1000) if rate else "unlimited"
back = r["escape_to_back"]
print("%-10s %12d %9.2fs %9.2fs %9.2fs %13s" % (name, r["bytes_per_second"], r["wait_mean"], r["wait_p95"],
      r["wait_max"], "%.2fs" % back if back is not None else "never"))
PY
done
