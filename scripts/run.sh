#!/usr/bin/env bash
# Installs what is missing, builds the program and its data, and starts the show.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -DKESTRUNE_TESTS=OFF -DKESTRUNE_BENCH=OFF >/dev/null
cmake --build "$root/build" -j"$(nproc)"
cd "$root/build"
exec ./kestrune
