#!/usr/bin/env bash
# Installs what building and running the show need, builds the program and
# its data, and starts the show; arguments go to the program:
#
#   bash scripts/run.sh [OPTIONS OF THE SHOW]
#
# The build tree is build/ (KESTRUNE_BUILD chooses another), shared with
# scripts/test.sh: a fresh tree builds the program and its data only, a tree
# that test.sh configured keeps its tests and benchmarks, so neither command
# undoes the other's configuration.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KESTRUNE_BUILD:-$root/build}
bash "$root/scripts/install-deps.sh" run
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)"
cd "$build"
exec ./kestrune "$@"
