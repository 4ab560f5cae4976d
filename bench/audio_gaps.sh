#!/usr/bin/env bash
# Silent gaps in what the show plays on a busy machine.
#
#   scripts/pulse_server.sh run -- bash bench/audio_gaps.sh [BUILD] [SECONDS] [HOGS] [stalls]
#   scripts/pipewire_server.sh run -- bash bench/audio_gaps.sh [BUILD] [SECONDS] [HOGS] [stalls]
#
# Runs the show (no dialog, a small window on a private Xvfb display) through
# the sound server in PULSE_SERVER with HOGS busy loops (`yes > /dev/null`,
# 2 unless given) beside it, records the sink's monitor for SECONDS (60), and
# counts the stretches of at least 5 ms of silence between the first and the
# last sound, against the same count over the song itself (it has none).
# With "stalls" the server itself (its process id in SOUND_SERVER_PIDFILE,
# which both server scripts set) is stopped for 300 ms every 4 s, as a busy
# machine stalls it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
seconds=${2:-60}
hogs=${3:-2}
mode=${4:-}
sink=${PULSE_SINK:-out44}
[ -n "${PULSE_SERVER:-}" ] || { echo "PULSE_SERVER is not set: run through scripts/pulse_server.sh" >&2; exit 2; }
[ -z "$mode" ] || [ "$mode" = stalls ] || { echo "unknown mode '$mode' (stalls or nothing)" >&2; exit 2; }
server_pid=
if [ -n "$mode" ]; then
  server_pid=$(cat "${SOUND_SERVER_PIDFILE:-/nonexistent}" 2>/dev/null) ||
    { echo "SOUND_SERVER_PIDFILE names no server process" >&2; exit 2; }
fi

dir=$(mktemp -d "${TMPDIR:-/tmp}/kestrune-gaps.XXXXXX")
pids=()
show=
staller=
cleanup() {
  [ -z "$staller" ] || { kill "$staller" 2>/dev/null; wait "$staller" 2>/dev/null; }
  [ -z "$mode" ] || kill -CONT "$server_pid" 2>/dev/null || true
  # The show runs in a process group of its own: xvfb-run's Xvfb goes with it.
  [ -z "$show" ] || kill -TERM -- "-$show" 2>/dev/null || true
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$dir"
}
trap cleanup EXIT

for _ in $(seq 1 "$hogs"); do
  yes >/dev/null &
  pids+=($!)
done
parec -d "$sink.monitor" --raw --format=s16le --rate=44100 --channels=1 >"$dir/heard.raw" &
pids+=($!)
(cd "$build" && exec setsid env SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-}" PULSE_SINK="$sink" KESTRUNE_NO_BOXES=1 \
  xvfb-run -a -s "-screen 0 1024x768x24 +extension GLX" \
  timeout -s INT $((seconds + 1)) ./kestrune --no-dialog --windowed --size 640x480 >"$dir/show.log" 2>&1) &
show=$!
pids+=($show)
if [ -n "$mode" ]; then
  (
    trap 'kill -CONT "$server_pid" 2>/dev/null; exit 0' TERM
    while sleep 3.7; do
      kill -STOP "$server_pid" || exit 0
      sleep 0.3
      kill -CONT "$server_pid" || exit 0
    done
  ) &
  staller=$!
fi
sleep "$seconds"
if [ -n "$staller" ]; then
  kill "$staller" 2>/dev/null || true
  wait "$staller" 2>/dev/null || true
  staller=
  kill -CONT "$server_pid" 2>/dev/null || true
fi
kill "${pids[$hogs]}"  # the recorder
wait "${pids[$hogs]}" 2>/dev/null || true
wait "$show" 2>/dev/null || true
# What xvfb-run leaves behind (its Xvfb) is still in the show's group.
kill -TERM -- "-$show" 2>/dev/null || true
show=
# The song itself, where ffmpeg is at hand to decode it.
: >"$dir/song.raw"
if command -v ffmpeg >/dev/null; then
  ffmpeg -v error -i "$build/content/data/common/music/chipcore5.mp3" -t "$seconds" -ac 1 -ar 44100 -f s16le \
    -y "$dir/song.raw"
fi

grep -v "^$" "$dir/show.log" | sed "s/^/  show: /" || true
python3 - "$dir/heard.raw" "$dir/song.raw" "$sink" "$hogs${mode:+, server stalls}" <<'EOF'
import array, sys

where = []  # seconds after the first sound where each gap begins


def gaps(path, rate=44100, shortest_ms=5, quiet=2):
    samples = array.array('h')
    with open(path, 'rb') as f:
        samples.frombytes(f.read())
    loud = [i for i in range(len(samples)) if abs(samples[i]) > quiet]
    if not loud:
        return None, 0, 0.0
    found, total, run = [], 0.0, 0
    where.clear()
    for i in range(loud[0], loud[-1] + 1):
        if abs(samples[i]) <= quiet:
            run += 1
            continue
        if run * 1000 / rate >= shortest_ms:
            found.append(run * 1000 / rate)
            where.append((i - run - loud[0]) / rate)
        run = 0
    return found, (loud[-1] - loud[0]) / rate, sum(found)

heard, heard_s, heard_ms = gaps(sys.argv[1])
heard_at = list(where)
song, song_s, _ = gaps(sys.argv[2])
if heard is None:
    print("nothing was heard on %s.monitor" % sys.argv[3])
    sys.exit(1)
reference = "" if song is None else "; the song's first %.1f s have %d" % (song_s, len(song))
print("%s, %s busy loops: %.1f s heard, %d silent gaps (%.0f ms in all, longest %.0f ms)%s" %
      (sys.argv[3], sys.argv[4], heard_s, len(heard), heard_ms, max(heard, default=0), reference))
for at, ms in zip(heard_at, heard):
    print("  %.0f ms of silence %.2f s into the song" % (ms, at))
EOF
