#!/usr/bin/env bash
# Leaving the setup dialog ends with code 0 and never opens the show's window.
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
echo "ok"
