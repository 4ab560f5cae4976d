#!/usr/bin/env bash
# Options on the command line: the display presets with --no-dialog start the
# show at once in a window of the asked size; a wrong option ends with code 2
# before any window opens.
source "$KESTRUNE_SOURCE_DIR/tests/support/e2e_lib.sh"

cp "$KESTRUNE_DATA_TVL" "$workdir/data.tvl"
kestrune_args=(--size 300x200 --bogus)
start_kestrune
code=$(wait_for_exit 10) || fail "a wrong option did not end the program"
[ "$code" = 2 ] || fail "exit code $code for a wrong option, expected 2"
[ "$(head -n 1 "$workdir/stderr")" = "kestrune: unknown option '--bogus'" ] ||
  fail "unexpected report: $(cat "$workdir/stderr")"
grep -q '^Usage: kestrune' "$workdir/stderr" || fail "no usage after the error"

# The dialog waits for a key, so a show window without one means it was skipped.
kestrune_args=(--no-dialog --size 800x600 --windowed)
start_kestrune
show=$(wait_for_show_window 60) || fail "the show's window did not open without the dialog"
geometry=$(xdotool getwindowgeometry "$show" | sed -n 's/.*Geometry: //p')
[ "$geometry" = 800x600 ] || fail "window of $geometry, expected 800x600"
sleep 2
expect_escape_ends_show "$show"
echo "ok"
