#!/usr/bin/env bash
# The viewer's path: the setup dialog appears, Return starts the show, the
# window shows frames that change with the music, Escape ends with code 0.
source "$KESTRUNE_SOURCE_DIR/tests/support/e2e_lib.sh"

start_show_windowed
sleep 3
screenshot "$show" "$workdir/a.png" || fail "no screenshot"
sleep 1.5
screenshot "$show" "$workdir/b.png" || fail "no second screenshot"

a=$(brightness "$workdir/a.png"); b=$(brightness "$workdir/b.png")
echo "brightness: $a $b"
awk -v a="$a" -v b="$b" 'BEGIN { exit !(a > 0.01 || b > 0.01) }' || fail "the show's frames are black"
cmp -s "$workdir/a.png" "$workdir/b.png" && fail "the picture did not change with the music"

press_key "$show" Escape
code=$(wait_for_exit 20) || fail "the program did not end after Escape"
[ "$code" = 0 ] || fail "exit code $code after Escape"
echo "ok"
