#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: once in a
# normal build and once under AddressSanitizer + UndefinedBehaviorSanitizer.
# GL and end-to-end tests run on a private Xvfb display with Mesa, audio
# tests on private sound servers. The normal build is build/ (KESTRUNE_BUILD
# chooses another), the tree scripts/run.sh uses too: switched to tests and
# benchmarks here, it stays so for run.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
bash "$root/scripts/install-deps.sh" test

# Compile results are kept between runs by ccache (installed with the test
# tools), with paths taken relative to the clone: a run from another clone of
# the same sources rebuilds only what differs.
export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
stage() { printf '== %s (%dm%02ds in)\n' "$1" $((SECONDS / 60)) $((SECONDS % 60)); }

build=${KESTRUNE_BUILD:-$root/build}
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

stage "Tests (normal build)"
run_tests "$build"
stage "The show in a browser (headless Chromium)"
KESTRUNE_BUILD="$build" bash "$root/scripts/web.sh" --no-serve
KESTRUNE_BUILD="$build" /usr/bin/python3 "$root/tests/web/test_page.py"  # Debian's, with python3-selenium
stage "Tests (address + undefined behaviour sanitizers)"
run_tests "$sanitize" -LE e2e

# The audio layer's tests once more under ThreadSanitizer (a small build of
# just those), and through private PulseAudio and PipeWire servers (those
# installed here) at 44.1 and 48 kHz, with one run of the show on each.
tsan="$root/build-tsan"
cmake -S "$root" -B "$tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS=-fsanitize=thread \
  -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread -DKESTRUNE_TESTS=ON -DKESTRUNE_BENCH=OFF -DKESTRUNE_CONTENT=OFF \
  -DKESTRUNE_DATA_TVL="$build/data.tvl" >/dev/null
cmake --build "$tsan" -j"$jobs" --target kestrune_audio_tests
export TSAN_OPTIONS="halt_on_error=1 suppressions=$root/tests/tsan.supp"
stage "Audio tests under ThreadSanitizer (dummy driver)"
env KESTRUNE_NO_BOXES=1 SDL_AUDIODRIVER=dummy "$tsan/tests/kestrune_audio_tests"
audio_on_server() {
  bash "$root/scripts/$1" run -- bash -c '
    set -e
    for sink in out44 out48; do
      echo "-- sink $sink"
      env PULSE_SINK=$sink KESTRUNE_NO_BOXES=1 SDL_AUDIODRIVER=pulseaudio "$1"
    done
    KESTRUNE_E2E_AUDIODRIVER=pulseaudio xvfb-run -a -s "-screen 0 1920x1080x24 +extension GLX" \
      ctest --test-dir "$2" --output-on-failure -R "^e2e_show_runs$"
  ' _ "$tsan/tests/kestrune_audio_tests" "$build"
}
servers=0
if command -v pulseaudio >/dev/null; then
  stage "Audio through a PulseAudio server"
  audio_on_server pulse_server.sh
  servers=$((servers + 1))
else
  stage "PulseAudio is not installed here: its audio tests are left out"
fi
if command -v pipewire >/dev/null && command -v wireplumber >/dev/null; then
  stage "Audio through a PipeWire server (its PulseAudio module)"
  audio_on_server pipewire_server.sh
  servers=$((servers + 1))
else
  stage "PipeWire is not installed here: its audio tests are left out"
fi
[ "$servers" -gt 0 ] || { echo "no sound server to test the audio with" >&2; exit 1; }
