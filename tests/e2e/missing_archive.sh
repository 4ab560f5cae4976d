#!/usr/bin/env bash
# Without data.tvl the program shows the archive's fatal box and ends with 1
# once the viewer acknowledges it.
source "$KESTRUNE_SOURCE_DIR/tests/support/e2e_lib.sh"

# A copy of the program away from the build tree, whose archive it would find.
mkdir "$workdir/bin"
cp "$KESTRUNE_BIN" "$workdir/bin/kestrune"
KESTRUNE_BIN="$workdir/bin/kestrune"

start_kestrune
dialog=$(wait_for_window '^Kestrune$' 20) || fail "the setup dialog did not appear"
press_key "$dialog" alt+f
press_key "$dialog" Return

box=$(wait_for_window '^Error in file src\\util\\data\\data\.cpp:[0-9]+$' 30) ||
  fail "no error box for the missing archive"
sleep 1
send_key "$box" Return
code=$(wait_for_exit 10) || fail "the program did not end after the error box"
[ "$code" = 1 ] || fail "exit code $code, expected 1"
echo "ok"

# Without a display for boxes the same report goes to standard error; a
# damaged archive is refused the same way.
run_headless_boxes() {
  (cd "$workdir" && KESTRUNE_NO_BOXES=1 SDL_AUDIODRIVER=dummy timeout 60 "$KESTRUNE_BIN" \
      >"$workdir/stdout" 2>"$workdir/stderr")
}
rm -f "$workdir/data.tvl"
run_headless_boxes; code=$?
[ "$code" = 1 ] || fail "a missing archive ended with $code, expected 1"
grep -q 'Failed to open data file data.tvl for reading.' "$workdir/stderr" ||
  fail "missing archive message not reported: $(cat "$workdir/stderr")"
for place in "$workdir" "$workdir/bin" "$workdir/share/kestrune"; do
  grep -q "^$place/data.tvl: No such file or directory\$" "$workdir/stderr" ||
    fail "$place is not named among the places looked at: $(cat "$workdir/stderr")"
done

printf 'Tavorlin Data File\0\0\2garbage' >"$workdir/data.tvl"
run_headless_boxes; code=$?
[ "$code" = 1 ] || fail "a damaged archive ended with $code, expected 1"
grep -q 'Error in file src\\util\\data\\data.cpp' "$workdir/stderr" ||
  fail "damaged archive not reported by the archive module: $(cat "$workdir/stderr")"
echo "ok (headless reports)"
