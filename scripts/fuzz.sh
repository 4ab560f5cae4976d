#!/usr/bin/env bash
# Builds the fuzz targets of tests/fuzz with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) in build-fuzz/ and runs them for a while.
#
#   bash scripts/fuzz.sh [seconds per target] [target ...]
#
# Targets: coder archive png tga bmp jpeg midi syncconfig (default: all, one
# after another). Each run starts from the stored corpus and regression files
# and keeps what it finds new in build-fuzz/corpus/<target>/; crashes, hangs
# and out-of-memory inputs land in build-fuzz/findings/<target>/ and end the
# script with status 1. The normal build and test run are unaffected.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(coder archive png tga bmp jpeg midi syncconfig)
build="$root/build-fuzz"

command -v clang++ >/dev/null || { echo "fuzz.sh: clang++ is needed (apt-get install clang)" >&2; exit 2; }
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DKESTRUNE_FUZZ=ON -DKESTRUNE_TESTS=OFF -DKESTRUNE_BENCH=OFF \
  -DKESTRUNE_CONTENT=OFF >/dev/null
cmake --build "$build" -j"${FUZZ_JOBS:-2}" --target "${targets[@]/#/fuzz_}"

status=0
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  findings="$build/findings/$target"
  mkdir -p "$corpus" "$findings"
  seeds=("$root/tests/fuzz/corpus/$target")
  [ -d "$root/tests/fuzz/regressions/$target" ] && seeds+=("$root/tests/fuzz/regressions/$target")
  echo "== $target: ${seconds}s"
  # Leaks are not faults here: a fatal report abandons what the loader held,
  # as the process exit would. The limits match the decoders' caps with room
  # for the sanitizers (no single allocation above 1 GB); an input slower
  # than 25 s counts as a hang.
  if ! SDL_AUDIODRIVER=dummy KESTRUNE_NO_BOXES=1 ASAN_OPTIONS=detect_leaks=0 \
      "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2560 -malloc_limit_mb=1024 \
      -max_len=65536 -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "${seeds[@]}" \
      2>"$build/$target.log"; then
    echo "   found a fault: see $build/$target.log and $findings/" >&2
    status=1
  fi
  grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "$build/$target.log" | sed 's/^/   /' || true
done
exit $status
