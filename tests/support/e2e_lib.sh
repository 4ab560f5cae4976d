# Helpers for the end-to-end tests: start the real program on the test
# display, find its windows, press keys with xdotool, take screenshots.
# Sourced by tests/e2e/*.sh; needs KESTRUNE_BIN and a DISPLAY.
set -u

: "${KESTRUNE_BIN:?}"
: "${DISPLAY:?the end-to-end tests need a display (run them through scripts/test.sh)}"
IMPORT=/usr/bin/import-im6.q16
CONVERT=/usr/bin/convert-im6.q16

workdir=$(mktemp -d)
kestrune_pid=""
main_shell=$BASHPID
# Only the test's own shell cleans up, never a $(...) subshell that bash
# lets run the trap too.
cleanup() {
  [ "$BASHPID" = "$main_shell" ] || return 0
  pkill -9 -P "${kestrune_pid:-0}" 2>/dev/null || true
  rm -rf "$workdir"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; [ -s "$workdir/stderr" ] && { echo "--- program stderr:"; tail -n 20 "$workdir/stderr"; } >&2; exit 1; }

# Starts the program in $workdir with real boxes and the dummy audio driver
# (or the one KESTRUNE_E2E_AUDIODRIVER names). Extra VAR=value arguments go
# into its environment; the array kestrune_args holds its command line. The
# exit code lands in $workdir/exitcode.
kestrune_args=()
start_kestrune() {
  rm -f "$workdir/exitcode"
  (cd "$workdir" && env -u KESTRUNE_NO_BOXES SDL_AUDIODRIVER="${KESTRUNE_E2E_AUDIODRIVER:-dummy}" "$@" "$KESTRUNE_BIN" "${kestrune_args[@]}" \
      >"$workdir/stdout" 2>"$workdir/stderr"; echo $? >"$workdir/exitcode") &
  kestrune_pid=$!
}

# Prints the ids of visible windows whose name matches the regex $1. The
# show's own window is found by its class instead ("kestrune"), since SDL
# names it in a way xdotool's name search does not read.
windows_named() { xdotool search --onlyvisible --name "$1" 2>/dev/null || true; }
show_windows() { xdotool search --onlyvisible --classname '^kestrune$' 2>/dev/null || true; }

# Waits up to $1 seconds for the show's window; prints its id.
wait_for_show_window() {
  local id
  for _ in $(seq 1 $(($1 * 10))); do
    id=$(show_windows | head -n 1)
    if [ -n "$id" ]; then echo "$id"; return 0; fi
    kill -0 "$kestrune_pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# Waits up to $2 seconds for a window named $1 other than the ids in $3; prints its id.
wait_for_window() {
  local name=$1 timeout=$2 except=${3:-} id
  for _ in $(seq 1 $((timeout * 10))); do
    for id in $(windows_named "$name"); do
      case " $except " in *" $id "*) ;; *) echo "$id"; return 0 ;; esac
    done
    kill -0 "$kestrune_pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# Sends key $2 to window $1 (there is no window manager: focus explicitly).
# A key that closes its window may leave xdotool complaining about the
# vanished window when it sends the release; that is not a failure.
press_key() {
  xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1" 2>/dev/null
  xdotool key --window "$1" "$2" 2>/dev/null || true
}

# Waits up to $1 seconds for the program to end; prints its exit code.
wait_for_exit() {
  for _ in $(seq 1 $(($1 * 10))); do
    if [ -s "$workdir/exitcode" ]; then
      cat "$workdir/exitcode"; return 0
    fi
    sleep 0.1
  done
  return 1
}

# Sends key $2 to window $1 as a synthetic event, without moving the focus
# (the way to answer FLTK boxes reliably).
send_key() { xdotool key --window "$1" "$2" 2>/dev/null || true; }

# Starts the show with the real archive, answers the setup dialog with
# full screen off (so the window can be resized and captured) and Return,
# and sets $show to the show window's id. Call it directly, not inside $(...):
# the program must stay a child of this shell.
start_show_windowed() {
  cp "$KESTRUNE_DATA_TVL" "$workdir/data.tvl"
  start_kestrune
  show_from_dialog
}

# The dialog part of start_show_windowed, for a program already started.
show_from_dialog() {
  local dialog
  dialog=$(wait_for_window '^Kestrune$' 20) || fail "the setup dialog did not appear"
  press_key "$dialog" alt+f
  press_key "$dialog" Return
  show=$(wait_for_show_window 60) || fail "the show's window did not open"
}

# Watches window $1 for up to 30 s (loading takes longer on a busy machine)
# until it has shown two lit pictures and two lit pictures a second apart
# differ; fails when the frames stay black or still.
expect_moving_picture() {
  local lit=0 changed=0 level
  for i in $(seq 1 30); do
    sleep 1
    screenshot "$1" "$workdir/shot$i.png" || fail "no screenshot"
    level=$(brightness "$workdir/shot$i.png")
    if awk -v l="$level" 'BEGIN { exit !(l > 0.01) }'; then
      lit=$((lit + 1))
      if [ -f "$workdir/previous.png" ] && ! cmp -s "$workdir/previous.png" "$workdir/shot$i.png"; then
        changed=1
      fi
      cp "$workdir/shot$i.png" "$workdir/previous.png"
    fi
    [ "$lit" -ge 2 ] && [ "$changed" = 1 ] && break
  done
  echo "lit pictures: $lit, changing: $changed"
  [ "$lit" -ge 1 ] || fail "the show's frames are black"
  [ "$changed" = 1 ] || fail "the picture did not change with the music"
}

# Presses Escape in the show's window $1; the program must end with code 0.
expect_escape_ends_show() {
  local code
  press_key "$1" Escape
  code=$(wait_for_exit 20) || fail "the program did not end after Escape"
  [ "$code" = 0 ] || fail "exit code $code after Escape"
}

# Saves a screenshot of window $1 to $2 (PNG).
screenshot() { "$IMPORT" -window "$1" "$2" 2>/dev/null; }

# Mean brightness (0..1) of a picture.
brightness() { "$CONVERT" "$1" -colorspace Gray -format '%[fx:mean]' info:; }
