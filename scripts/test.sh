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

# The audio layer's tests once more under ThreadSanitizer (a small build of
# just those), and through a private PulseAudio server at 44.1 and 48 kHz,
# with one run of the show there.
tsan="$root/build-tsan"
cmake -S "$root" -B "$tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS=-fsanitize=thread \
  -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread -DKESTRUNE_TESTS=ON -DKESTRUNE_BENCH=OFF -DKESTRUNE_CONTENT=OFF \
  -DKESTRUNE_DATA_TVL="$build/data.tvl" >/dev/null
cmake --build "$tsan" -j"$jobs" --target kestrune_audio_tests
export TSAN_OPTIONS="halt_on_error=1 suppressions=$root/tests/tsan.supp"
echo "== Audio tests under ThreadSanitizer (dummy driver)"
env KESTRUNE_NO_BOXES=1 SDL_AUDIODRIVER=dummy "$tsan/tests/kestrune_audio_tests"
echo "== Audio through a PulseAudio server"
bash "$root/scripts/pulse_server.sh" run -- bash -c '
  set -e
  for sink in out44 out48; do
    echo "-- sink $sink"
    env PULSE_SINK=$sink KESTRUNE_NO_BOXES=1 SDL_AUDIODRIVER=pulseaudio "$1"
  done
  KESTRUNE_E2E_AUDIODRIVER=pulseaudio xvfb-run -a -s "-screen 0 1920x1080x24 +extension GLX" \
    ctest --test-dir "$2" --output-on-failure -R "^e2e_show_runs$"
' _ "$tsan/tests/kestrune_audio_tests" "$build"
