#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: once in a
# normal build and once under AddressSanitizer + UndefinedBehaviorSanitizer.
# GL and end-to-end tests run on a private Xvfb display with Mesa.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
bash "$root/scripts/install-deps.sh"

build="$root/build"
sanitize="$root/build-sanitize"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRUNE_TESTS=ON -DKESTRUNE_BENCH=ON \
  -DKESTRUNE_CONTENT=ON >/dev/null
cmake --build "$build" -j"$jobs"

cmake -S "$root" -B "$sanitize" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRUNE_SANITIZE=ON \
  -DKESTRUNE_TESTS=ON -DKESTRUNE_BENCH=OFF -DKESTRUNE_CONTENT=OFF -DKESTRUNE_DATA_TVL="$build/data.tvl" >/dev/null
cmake --build "$sanitize" -j"$jobs"

run_tests() {
  xvfb-run -a -s "-screen 0 1920x1080x24 +extension GLX" \
    ctest --test-dir "$1" --output-on-failure -j"$jobs" "${@:2}"
}

echo "== Tests (normal build)"
run_tests "$build"
echo "== Tests (address + undefined behaviour sanitizers)"
run_tests "$sanitize" -LE e2e
