#!/usr/bin/env bash
# The README's path in its order: scripts/test.sh has configured this tree
# with tests and benchmarks; scripts/run.sh on the same tree must start the
# show without switching them off or rebuilding anything (run.sh and
# test.sh once reconfigured the tree back and forth, and the benchmarks the
# README names vanished after run.sh).
source "$KESTRUNE_SOURCE_DIR/tests/support/e2e_lib.sh"

cache="$KESTRUNE_BUILD_DIR/CMakeCache.txt"
options() { grep -E '^(KESTRUNE_[A-Z_]+|CMAKE_BUILD_TYPE):' "$cache" | sort; }
grep -q '^KESTRUNE_TESTS:BOOL=ON$' "$cache" || fail "this tree is not a test tree"
before=$(options)
stamp=$(stat -c %Y "$KESTRUNE_BIN")

KESTRUNE_BUILD="$KESTRUNE_BUILD_DIR" bash "$KESTRUNE_SOURCE_DIR/scripts/run.sh" --version >"$workdir/out" 2>"$workdir/stderr" ||
  fail "run.sh failed: $(tail -n 5 "$workdir/out")"
grep -q '^kestrune ' "$workdir/out" || fail "run.sh did not start the program: $(tail -n 3 "$workdir/out")"
[ "$(options)" = "$before" ] || fail "run.sh changed the tree's configuration: $(diff <(echo "$before") <(options))"
grep -E 'Building|Linking|Generating' "$workdir/out" && fail "run.sh rebuilt part of the test tree"
[ "$(stat -c %Y "$KESTRUNE_BIN")" = "$stamp" ] || fail "run.sh relinked the program"
echo "ok"
