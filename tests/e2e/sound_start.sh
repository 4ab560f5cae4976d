#!/usr/bin/env bash
# Starting without a sound output: the "Can't initialize device" box, whose
# line on standard error names every output tried and --mute, and which a
# SIGTERM or SIGINT ends like the rest of the program (a launcher must not
# hang on it); and --mute, which plays the show on the clock instead.
source "$KESTRUNE_SOURCE_DIR/tests/support/e2e_lib.sh"

cp "$KESTRUNE_DATA_TVL" "$workdir/data.tvl"
kestrune_args=(--no-dialog --windowed --size 320x200)
no_sound=(SDL_AUDIODRIVER=no-such-driver)

# The program's own process (start_kestrune runs it in a subshell).
program_pid() { pgrep -P "$kestrune_pid" -x kestrune | head -n 1; }

for signal in TERM INT; do
  start_kestrune "${no_sound[@]}"
  wait_for_window '^Error in file src\\util\\music\\music\.cpp:[0-9]+$' 30 >/dev/null ||
    fail "no error box without a sound output (exit code $(cat "$workdir/exitcode" 2>/dev/null))"
  grep -q "^Can't initialize device: .*no-such-driver.*--mute" "$workdir/stderr" ||
    fail "the cause line does not name the driver and --mute"
  pid=$(program_pid)
  [ -n "$pid" ] || fail "the program's process was not found"
  kill -"$signal" "$pid"
  code=$(wait_for_exit 5) || fail "SIG$signal did not end the program showing the error box"
  expected=$((128 + $(kill -l "$signal")))
  [ "$code" = "$expected" ] || fail "exit code $code after SIG$signal, expected $expected"
  echo "ok (the box ends on SIG$signal)"
done

kestrune_args+=(--mute)
start_kestrune "${no_sound[@]}"
wait_for_show_window 30 >/dev/null || fail "--mute did not start the show without a sound output"
sleep 3
kill -0 "$kestrune_pid" 2>/dev/null || fail "the muted show ended early: $(cat "$workdir/stderr")"
! grep -q "Can't initialize device" "$workdir/stderr" || fail "--mute still asked for a device"
kill -TERM "$(program_pid)"
wait_for_exit 10 >/dev/null || fail "the muted show did not end on SIGTERM"
echo "ok (--mute plays without a sound output)"
