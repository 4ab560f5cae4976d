#!/usr/bin/env bash
# Installs the Debian packages Kestrune needs, and only those that are
# missing, so a second run is quick:
#
#   scripts/install-deps.sh run [--simulate]    building and running the show
#   scripts/install-deps.sh test [--simulate]   that, plus the tests and benchmarks
#   scripts/install-deps.sh web [--simulate]    that of run, plus the browser build (scripts/web.sh)
#
# Nothing installed is ever removed or replaced: the show plays through
# whatever sound system the machine has, so `run` installs no sound server.
# `test` adds servers for the audio tests only where the machine has none
# (then PulseAudio and PipeWire, which do not conflict with each other);
# beside an installed PulseAudio or PipeWire it adds none. --simulate shows
# what apt-get would do instead of doing it (no root needed).
set -euo pipefail

purpose=${1:-}
simulate=false
[ "${2:-}" = --simulate ] && simulate=true
[ "$purpose" = run ] || [ "$purpose" = test ] || [ "$purpose" = web ] || {
  echo "usage: $0 run|test|web [--simulate]" >&2
  exit 2
}

run_packages=(
  build-essential cmake pkg-config
  libsdl1.2-compat-dev libgl-dev libglu1-mesa-dev libepoxy-dev libgl1-mesa-dri libegl-mesa0
  libftgl-dev libfreetype-dev libtinyxml2-dev libjpeg62-turbo-dev
  libmpg123-dev libvorbis-dev libkissfft-dev libfltk1.3-dev libpulse-dev
  libmp3lame-dev fonts-liberation zlib1g-dev console-data
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev
  libdecor-0-plugin-1-cairo  # title bar and borders for the window on Wayland
  libncurses-dev  # the terminal's colours from terminfo
)
test_packages=(
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool x11-utils imagemagick vorbis-tools python3
  pulseaudio-utils  # pactl and parec, for whichever server runs the tests
  dpkg-dev file desktop-file-utils man-db  # the Debian package and the install test
  lintian  # Debian's checks on the built package
  tmux  # the show in a terminal (e2e)
  strace  # a terminal test counts the key reader's wake-ups
  weston xwayland  # the show on Wayland (e2e)
  ccache  # keeps compile results between test runs
)
# The browser build: emscripten, and dpkg-source to unpack the Debian
# sources of the libraries it builds for the page.
web_packages=(emscripten dpkg-dev python3)
# The browser tests: headless Chromium driven through its WebDriver.
browser_test_packages=(chromium chromium-driver python3-selenium)
# The private PipeWire server of the tests: the daemon, its session manager
# and its PulseAudio module, not pipewire-pulse (which would take over a
# PulseAudio desktop's sound).
pipewire_packages=(pipewire pipewire-bin wireplumber libpipewire-0.3-modules dbus-daemon dbus-session-bus-common)

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

packages=("${run_packages[@]}")
[ "$purpose" = run ] || packages+=("${web_packages[@]}")
if [ "$purpose" = test ]; then
  packages+=("${test_packages[@]}" "${browser_test_packages[@]}")
  if installed pulseaudio; then
    : # the tests use it; PipeWire's too if it is there
  elif installed pipewire-pulse || installed pipewire-bin; then
    packages+=("${pipewire_packages[@]}")  # completes a PipeWire desktop's own server
  else
    packages+=(pulseaudio "${pipewire_packages[@]}")
  fi
fi

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  $simulate && echo "Nothing to install."
  exit 0
fi

export DEBIAN_FRONTEND=noninteractive
if $simulate; then
  echo "Would install: ${missing[*]}"
  exec apt-get -s install -y --no-install-recommends "${missing[@]}"
fi
echo "Installing missing packages: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
"${sudo_cmd[@]}" apt-get update -qq
# --no-remove: apt stops rather than take away a package the user has.
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends --no-remove "${missing[@]}"
