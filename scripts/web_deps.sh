#!/usr/bin/env bash
# Fetches the sources of the libraries the show needs in the browser and that
# emscripten does not carry (mpg123, libogg, libvorbis, kissfft, tinyxml2) from Debian's
# source packages, and builds mpg123 for WebAssembly:
#
#   bash scripts/web_deps.sh DIR
#
# apt runs on a configuration of its own under DIR (its own source list,
# package lists and cache), so the machine's apt sources are never read or
# changed. Everything is kept in DIR: a second run does nothing. Builds from
# several clones may share DIR: one at a time fills it.
set -euo pipefail
dir=$(mkdir -p "$1" && cd "$1" && pwd)
exec 9>"$dir/.lock"
flock 9
packages=(mpg123 libogg libvorbis kissfft tinyxml2)

apt_dir=$dir/apt
mkdir -p "$apt_dir/sources.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$dir/src"
apt_options=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$apt_dir/sources.d"
  -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache" -o APT::Sandbox::User=root)

# The Debian mirror the machine already uses, else Debian's own.
debian_mirror() {
  local uri
  uri=$(grep -rhoE '(URIs:[[:space:]]*|^deb[[:space:]]+(\[[^]]*\][[:space:]]+)?)https?://[^[:space:]]*/debian/?([[:space:]]|$)' \
    /etc/apt/sources.list /etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list 2>/dev/null |
    grep -oE 'https?://[^[:space:]]*' | head -n 1 || true)
  echo "${uri:-http://deb.debian.org/debian}"
}

unpacked() { compgen -G "$dir/src/$1-*/" >/dev/null; }

missing=()
for p in "${packages[@]}"; do unpacked "$p" || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ]; then
  # shellcheck disable=SC1091
  . /etc/os-release
  mirror=$(debian_mirror)
  {
    echo "deb-src ${mirror%/} ${VERSION_CODENAME} main"
    echo "deb-src ${mirror%/}-security ${VERSION_CODENAME}-security main"
  } >"$apt_dir/sources.d/kestrune-web.list"
  echo "Fetching Debian's sources of ${missing[*]} (private apt configuration in $apt_dir)"
  apt-get "${apt_options[@]}" -qq update
  # Some mirrors lack the upstream signature (.asc) that a .dsc lists; apt
  # then reports a failure although the tarballs arrived, so each package is
  # judged by what could be unpacked.
  (cd "$dir/src" && apt-get "${apt_options[@]}" -qq source --download-only "${missing[@]}" >/dev/null 2>&1) || true
  for p in "${missing[@]}"; do
    dsc=$(ls -1 "$dir/src/${p}_"*.dsc 2>/dev/null | tail -n 1 || true)
    [ -n "$dsc" ] || { echo "web_deps: no source package for $p could be fetched" >&2; exit 1; }
    (cd "$dir/src" && dpkg-source --no-check -x "$(basename "$dsc")" >/dev/null)
    unpacked "$p" || { echo "web_deps: the source of $p did not unpack" >&2; exit 1; }
  done
fi

# mpg123 through its own CMake build. Its type-size probes give wrong answers
# under emscripten's CMake, so the sizes of wasm32 are given here; its
# CMakeLists also uses check_type_size without including it.
prefix=$dir/prefix
if [ ! -f "$prefix/lib/libmpg123.a" ]; then
  src=$(compgen -G "$dir/src/mpg123-*/" | head -n 1)
  echo 'include(CheckTypeSize)' >"$dir/mpg123-pre.cmake"
  mkdir -p "$dir/build-mpg123"
  echo "Building mpg123 for WebAssembly (once; a few minutes)"
  emcmake cmake -S "${src}ports/cmake" -B "$dir/build-mpg123" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PROJECT_INCLUDE="$dir/mpg123-pre.cmake" -DBUILD_LIBOUT123=OFF -DBUILD_PROGRAMS=OFF \
    -DBUILD_SHARED_LIBS=OFF -DNETWORK=OFF -DSIZEOF_LONG=4 -DSIZEOF_OFF_T=8 -DHAVE_SIZEOF_LONG=TRUE \
    -DHAVE_SIZEOF_OFF_T=TRUE -DCMAKE_INSTALL_PREFIX="$prefix" >"$dir/build-mpg123.log" 2>&1 ||
    { tail -n 20 "$dir/build-mpg123.log" >&2; exit 1; }
  emmake make -C "$dir/build-mpg123" -j"$(nproc)" install >>"$dir/build-mpg123.log" 2>&1 ||
    { tail -n 20 "$dir/build-mpg123.log" >&2; exit 1; }
fi
