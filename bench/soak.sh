#!/usr/bin/env bash
# Soak run of the real program: the final Snake scene with the automatic
# player for a long time, the window resized again and again. Reports the
# resident memory once the show has settled and at the end, and any error.
#
#   bash bench/soak.sh [seconds (1800)] [resizes (100)]
#
# Needs a normal build in build/ (kestrune, data.tvl); runs on its own Xvfb
# display when none is set, with the dummy audio driver. Fails when the
# program dies, reports an error, does not quit cleanly, or its resident
# memory grows by more than SOAK_MAX_GROWTH_KB (1024) kB.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-1800}
resizes=${2:-100}
max_growth=${SOAK_MAX_GROWTH_KB:-1024}

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1920x1080x24 +extension GLX" bash "$0" "$seconds" "$resizes"
fi

export KESTRUNE_BIN=${KESTRUNE_BIN:-$root/build/kestrune}
export KESTRUNE_DATA_TVL=${KESTRUNE_DATA_TVL:-$root/build/data.tvl}
export KESTRUNE_SOURCE_DIR=$root
export LIBGL_ALWAYS_SOFTWARE=1
# The final Snake scene runs from beat 557 on.
export KESTRUNE_START_BEAT=560
source "$root/tests/support/e2e_lib.sh"

start_show_windowed
pid=$(pgrep -P "$kestrune_pid" | head -n 1)
[ -n "$pid" ] || fail "cannot find the program's process"
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status" 2>/dev/null; }
alive() { kill -0 "$pid" 2>/dev/null; }

# The sizes the run cycles through; it starts and ends at the first.
sizes=("800x600" "1280x720" "640x480" "1600x900" "1024x768" "1920x1080" "720x400")
resize_to() { xdotool windowsize "$show" "${1%x*}" "${1#*x}" 2>/dev/null || true; }

sleep 5
press_key "$show" 1  # the title screen's automatic player
# Settle: every size once, back to the first, then a quiet half minute.
for size in "${sizes[@]}" "${sizes[0]}"; do resize_to "$size"; sleep 2; done
sleep 30
alive || fail "the program ended during the warm-up: $(cat "$workdir/stderr")"
rss_start=$(rss_kb)
echo "resident memory at start: $rss_start kB (pid $pid)"

interval=$(awk -v s="$seconds" -v n="$resizes" 'BEGIN { printf "%.3f", s / (n + 1) }')
for i in $(seq 1 "$resizes"); do
  sleep "$interval"
  alive || fail "the program ended after $i resizes: $(cat "$workdir/stderr")"
  if [ "$i" = "$resizes" ]; then
    resize_to "${sizes[0]}"
  else
    resize_to "${sizes[$((i % ${#sizes[@]}))]}"
  fi
  [ $((i % 10)) = 0 ] && echo "  $i resizes, resident memory $(rss_kb) kB"
done
sleep "$interval"
alive || fail "the program ended at the end of the run: $(cat "$workdir/stderr")"
rss_end=$(rss_kb)
echo "resident memory at end:   $rss_end kB"
growth=$((rss_end - rss_start))
echo "growth: $growth kB over ${seconds} s and $resizes resizes"

press_key "$show" Escape
code=$(wait_for_exit 30) || fail "the program did not end after Escape"
errors=$(cat "$workdir/stderr")
[ -z "$errors" ] || echo "standard error: $errors"
[ "$code" = 0 ] || fail "exit code $code after Escape"
[ -z "$errors" ] || fail "the program reported errors"
[ "$growth" -le "$max_growth" ] || fail "resident memory grew by $growth kB (limit $max_growth kB)"
echo "ok"
