#!/usr/bin/env bash
# What reaches the window is the reference picture: the show, stepped at a
# fixed frame rate instead of the audio device's clock, holds at chosen beats
# of every scene; a window whose letterbox is the 640 x 600 picture itself
# equals the preview tool's frame at that beat pixel for pixel, and one twice
# that size equals it magnified bilinearly (within two levels a channel).
source "$KESTRUNE_SOURCE_DIR/tests/support/e2e_lib.sh"

PREVIEW="$KESTRUNE_BUILD_DIR/tools/preview/preview"
COMPARE=/usr/bin/compare-im6.q16
[ -x "$PREVIEW" ] || fail "no preview tool at $PREVIEW"
cp "$KESTRUNE_DATA_TVL" "$workdir/data.tvl"
FPS=5

# Runs the show in a window of $1 (the picture's own 16:15 shape plus one
# column: the letterbox arithmetic truncates) holding at the beats $2, and
# saves the window's top left $4 pixels of each held frame as
# $workdir/<tag>_<beat>.png. $5 replaces the picture's aspect option. The window sits at the screen's top left, so
# what the screen shows of it can be read.
capture_held_frames() {
  local size=$1 beats=$2 tag=$3 crop=$4 aspect=${5:---picture-aspect 16:15} beat
  kestrune_args=(--no-dialog --windowed --size "$size" $aspect --frame-rate $FPS --hold "$beats")
  start_kestrune
  show=$(wait_for_show_window 60) || fail "the show's window did not open"
  # The program itself, the child of the shell that waits for its exit code.
  local program
  program=$(pgrep -P "$kestrune_pid" -x kestrune) || fail "no kestrune process under $kestrune_pid"
  xdotool windowmove --sync "$show" 0 0 2>/dev/null || xdotool windowmove "$show" 0 0
  for beat in ${beats//,/ }; do
    for _ in $(seq 1 1200); do
      grep -qx "held at beat $beat" "$workdir/stdout" && break
      kill -0 "$kestrune_pid" 2>/dev/null || fail "the show ended before beat $beat: $(cat "$workdir/stderr")"
      sleep 0.1
    done
    grep -qx "held at beat $beat" "$workdir/stdout" || fail "the show did not hold at beat $beat"
    screenshot "$show" "$workdir/window.png" || fail "no screenshot at beat $beat"
    "$CONVERT" "$workdir/window.png" -crop "$crop+0+0" +repage "$workdir/${tag}_$beat.png"
    kill -USR1 "$program"
  done
  press_key "$show" Escape
  code=$(wait_for_exit 20) || fail "the program did not end after Escape"
  [ "$code" = 0 ] || fail "exit code $code after Escape"
}

native_beats=10,36,50,100,120,170,190,220,240,300,330,380,400,500,560
double_beats=20,60
(cd "$workdir" && "$PREVIEW" --data data.tvl --out preview --fps $FPS --beat "$native_beats,$double_beats" >/dev/null) ||
  fail "the preview tool failed"

capture_held_frames 641x600 "$native_beats" native 640x600
for beat in ${native_beats//,/ }; do
  differing=$("$COMPARE" -metric AE "$workdir/native_$beat.png" "$workdir/preview/beat_$beat.png" null: 2>&1)
  echo "640 x 600, beat $beat: $differing pixels differ"
  [ "$differing" = 0 ] || fail "the window differs from the preview at beat $beat"
done

# The test screen is 1080 rows high: the rows of the window below it cannot
# be read back.
rows=$(xdpyinfo | sed -n 's/.*dimensions: *[0-9]*x\([0-9]*\) pixels.*/\1/p')
[ "$rows" -gt 1200 ] 2>/dev/null && rows=1200
capture_held_frames 1281x1200 "$double_beats" double "1280x$rows"
for beat in ${double_beats//,/ }; do
  "$CONVERT" "$workdir/preview/beat_$beat.png" -filter Triangle -resize 200% \
    -crop "1280x$rows+0+0" +repage "$workdir/magnified.png"
  worst=$("$COMPARE" -metric PAE "$workdir/double_$beat.png" "$workdir/magnified.png" null: 2>&1 | cut -d' ' -f1)
  echo "1280 x 1200, beat $beat: worst channel difference $worst of 65535"
  awk -v w="$worst" 'BEGIN { exit !(w <= 2 * 257) }' || fail "the doubled window strays from the reference at beat $beat"
done
echo "ok (window)"

# A recording made with no display server draws what the window shows, at
# any size: letterboxed and magnified by a fraction, and minified.
for size in 1280x720 400x300; do
  capture_held_frames "$size" 20 "window$size" "$size" "--aspect 4:3"
  (cd "$workdir" && env -u DISPLAY -u WAYLAND_DISPLAY SDL_AUDIODRIVER=dummy timeout 120 "$KESTRUNE_BIN" \
      --frames "recorded$size" --size "$size" --aspect 4:3 --fps $FPS --from 20 --to 20.5 >/dev/null 2>"$workdir/stderr") ||
    fail "the recording at $size failed"
  # Beat 20 is 6 s in: frame 30 at 5 frames a second.
  worst=$("$COMPARE" -metric PAE "$workdir/window${size}_20.png" "$workdir/recorded$size/frame_000030.png" null: 2>&1 | cut -d' ' -f1)
  echo "$size, beat 20: recording and window differ by at most $worst of 65535"
  awk -v w="$worst" 'BEGIN { exit !(w <= 2 * 257) }' || fail "the recording at $size strays from the window"
done
echo "ok (recordings without a display)"
