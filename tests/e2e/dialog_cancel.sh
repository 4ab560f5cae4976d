#!/usr/bin/env bash
# Leaving the setup dialog ends with code 0 and never opens the show's window;
# so do the signals that end the show (SIGINT, SIGTERM), with the show's code.
source "$KESTRUNE_SOURCE_DIR/tests/support/e2e_lib.sh"

cp "$KESTRUNE_DATA_TVL" "$workdir/data.tvl"
for key in Escape alt+n; do
  start_kestrune
  dialog=$(wait_for_window '^Kestrune$' 20) || fail "the setup dialog did not appear"
  press_key "$dialog" "$key"
  code=$(wait_for_exit 10) || fail "the program did not end after $key"
  [ "$code" = 0 ] || fail "exit code $code after $key"
  [ -z "$(windows_named '^Kestrune$')$(show_windows)" ] || fail "a window stayed open after $key"
done
echo "ok (keys)"

# The program itself, the child of the shell that waits for its exit code.
program() { pgrep -P "$kestrune_pid" -x kestrune || fail "no kestrune process under $kestrune_pid"; }

start_show_windowed
sleep 1
kill -TERM "$(program)"
show_code=$(wait_for_exit 20) || fail "SIGTERM did not end the show"
echo "SIGTERM during the show: exit code $show_code"

for signal in TERM INT; do
  start_kestrune
  dialog=$(wait_for_window '^Kestrune$' 20) || fail "the setup dialog did not appear"
  kill -"$signal" "$(program)"
  code=$(wait_for_exit 10) || fail "SIG$signal did not end the setup dialog"
  [ "$code" = "$show_code" ] || fail "exit code $code after SIG$signal in the dialog, $show_code in the show"
  [ -z "$(windows_named '^Kestrune$')$(show_windows)" ] || fail "a window stayed open after SIG$signal"
done
echo "ok (signals)"
