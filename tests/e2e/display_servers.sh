#!/usr/bin/env bash
# Where the show can run. With no display server it says in one line which
# ones it tried. On a Wayland compositor it runs natively (SDL's wayland
# driver, no X server in between): the setup dialog (an X11 program, through
# Xwayland), the window, the keys and Escape work, and full screen shows the
# preview's picture pixel for pixel, as a window on X11 does.
#
# The compositor is weston nested in the test's X display: its headless
# backend has no keyboard, and SDL's wayland driver cannot start without one.
# Keys reach the compositor through its window on the test display.
source "$KESTRUNE_SOURCE_DIR/tests/support/e2e_lib.sh"

PREVIEW="$KESTRUNE_BUILD_DIR/tools/preview/preview"
COMPARE=/usr/bin/compare-im6.q16
cp "$KESTRUNE_DATA_TVL" "$workdir/data.tvl"
skipped() { echo "skipped: $*"; exit 77; }

# No display server at all.
mkdir -m 700 "$workdir/nothing"
(cd "$workdir" && env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER XDG_RUNTIME_DIR="$workdir/nothing" \
    timeout 20 "$KESTRUNE_BIN" --no-dialog >"$workdir/stdout" 2>"$workdir/stderr"); code=$?
[ "$code" = 1 ] || fail "without a display the show ended with $code, expected 1"
[ "$(wc -l <"$workdir/stderr")" = 1 ] && grep -q 'no display to show on: tried X11 (DISPLAY is not set) and Wayland display .*/wayland-0$' "$workdir/stderr" ||
  fail "expected one line naming the displays tried, got: $(cat "$workdir/stderr")"
echo "ok (no display: $(cat "$workdir/stderr"))"

command -v weston >/dev/null || skipped "weston is not installed"
command -v Xwayland >/dev/null || skipped "Xwayland is not installed (the setup dialog needs it)"

export XDG_RUNTIME_DIR="$workdir/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
# A black desktop without a panel, so that only the show lights the screen.
cat >"$workdir/weston.ini" <<'EOF'
[core]
idle-time=0
[shell]
background-color=0xff000000
panel-position=none
locking=false
EOF

weston_pid=""
stop_weston() {
  [ -n "$weston_pid" ] && kill "$weston_pid" 2>/dev/null && wait "$weston_pid" 2>/dev/null
  weston_pid=""
}
trap 'stop_weston; cleanup' EXIT

# Starts weston with an output of $1 (WxH) and the extra arguments after it;
# sets $compositor to its window on the test display.
start_weston() {
  local size=$1 before
  shift
  before=$(xdotool search --class '^Weston Compositor$' 2>/dev/null | sort)
  weston --config="$workdir/weston.ini" --backend=x11-backend.so --use-pixman --socket=kestrune-test \
    --width="${size%x*}" --height="${size#*x}" "$@" >"$workdir/weston.log" 2>&1 &
  weston_pid=$!
  compositor=""
  for _ in $(seq 1 100); do
    compositor=$(comm -13 <(echo "$before") <(xdotool search --class '^Weston Compositor$' 2>/dev/null | sort) | head -n 1)
    [ -n "$compositor" ] && [ -S "$XDG_RUNTIME_DIR/kestrune-test" ] && return 0
    kill -0 "$weston_pid" 2>/dev/null || skipped "weston cannot start: $(tail -n 3 "$workdir/weston.log")"
    sleep 0.1
  done
  fail "weston runs but shows no output window: $(tail -n 3 "$workdir/weston.log")"
}

# A key for the Wayland window that has the compositor's focus: the pointer
# over the compositor's window gives it the test display's keyboard, a click
# gives the show's surface the compositor's.
press_wayland_key() {
  xdotool mousemove --window "$compositor" 100 100 click 1 2>/dev/null
  sleep 0.3
  xdotool key "$1" 2>/dev/null || true
}

wayland_show() { start_kestrune SDL_VIDEODRIVER=wayland WAYLAND_DISPLAY=kestrune-test "$@"; }

# The dialog on Xwayland, then the show in a window of the compositor.
start_weston 1024x768 --xwayland
for _ in $(seq 1 100); do
  xwayland=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$workdir/weston.log" | head -n 1)
  [ -n "$xwayland" ] && break
  sleep 0.1
done
[ -n "$xwayland" ] || fail "weston started no Xwayland: $(tail -n 3 "$workdir/weston.log")"
kestrune_args=()
wayland_show DISPLAY="$xwayland"
dialog=$(DISPLAY=$xwayland wait_for_window '^Kestrune$' 30) || fail "the setup dialog did not appear on Xwayland"
DISPLAY=$xwayland press_key "$dialog" alt+f
DISPLAY=$xwayland press_key "$dialog" Return
expect_moving_picture "$compositor"
[ -z "$(DISPLAY=$xwayland show_windows)" ] || fail "the show opened an X11 window, not a Wayland one"
press_wayland_key Escape
code=$(wait_for_exit 20) || fail "the program did not end after Escape"
[ "$code" = 0 ] || fail "exit code $code after Escape"
echo "ok (dialog on Xwayland, show in a Wayland window, Escape)"
stop_weston

# Full screen on an output of 641 x 600: the picture's own 16:15 shape plus
# one column, so the letterbox is the 640 x 600 picture at the top left. No
# X server at all this time (an empty DISPLAY): the show needs none.
[ -x "$PREVIEW" ] || fail "no preview tool at $PREVIEW"
beats=36,120,220,380
(cd "$workdir" && "$PREVIEW" --data data.tvl --out preview --fps 5 --beat "$beats" >/dev/null) ||
  fail "the preview tool failed"
start_weston 641x600
kestrune_args=(--no-dialog --fullscreen --size 641x600 --picture-aspect 16:15 --frame-rate 5 --hold "$beats")
wayland_show DISPLAY=
program=""
for beat in ${beats//,/ }; do
  for _ in $(seq 1 1200); do
    grep -qx "held at beat $beat" "$workdir/stdout" && break
    kill -0 "$kestrune_pid" 2>/dev/null || fail "the show ended before beat $beat"
    sleep 0.1
  done
  grep -qx "held at beat $beat" "$workdir/stdout" || fail "the show did not hold at beat $beat"
  [ -n "$program" ] || program=$(pgrep -P "$kestrune_pid" -x kestrune) || fail "no kestrune process"
  # The compositor repaints on the frame after the held one reached it.
  sleep 0.5
  screenshot "$compositor" "$workdir/screen.png" || fail "no screenshot at beat $beat"
  "$CONVERT" "$workdir/screen.png" -crop 640x600+0+0 +repage "$workdir/wayland_$beat.png"
  differing=$("$COMPARE" -metric AE "$workdir/wayland_$beat.png" "$workdir/preview/beat_$beat.png" null: 2>&1)
  echo "full screen on Wayland, beat $beat: $differing pixels differ"
  [ "$differing" = 0 ] || fail "the picture on Wayland differs from the preview at beat $beat"
  kill -USR1 "$program"
done
press_wayland_key Escape
code=$(wait_for_exit 20) || fail "the program did not end after Escape in full screen"
[ "$code" = 0 ] || fail "exit code $code after Escape in full screen"
echo "ok (full screen on Wayland equals the preview)"
