#!/usr/bin/env bash
# Installs the Debian packages Kestrune needs to build, run and test.
# Only packages that are missing are installed, so a second run is quick.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libsdl1.2-compat-dev libgl-dev libglu1-mesa-dev libepoxy-dev
  libftgl-dev libfreetype-dev libtinyxml2-dev libjpeg62-turbo-dev
  libmpg123-dev libvorbis-dev libkissfft-dev libfltk1.3-dev libpulse-dev
  libmp3lame-dev fonts-liberation zlib1g-dev console-data
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool libgl1-mesa-dri x11-utils imagemagick vorbis-tools python3
  pulseaudio pulseaudio-utils
  dpkg-dev file desktop-file-utils man-db  # the Debian package and the install test
  tmux  # the show in a terminal (e2e)
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
