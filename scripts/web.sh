#!/usr/bin/env bash
# Builds the show for the web browser into build-web/ and serves it on this
# machine; nothing is installed for the viewer:
#
#   bash scripts/web.sh [--no-serve] [--port N]
#
# build-web/site/ is the page (publish that folder on any static web
# server); build-web/kestrune.html is the same show in one file that plays
# when opened from disk. The program is the show core compiled with Debian's
# emscripten; the libraries it decodes the song with come from Debian's
# source packages (scripts/web_deps.sh), kept in the user's cache folder
# (~/.cache/kestrune/web-deps; KESTRUNE_WEB_DEPS chooses another), so a
# second build, from this clone or another, is quick. The archive data.tvl comes from the native build in
# build/ (KESTRUNE_BUILD chooses another), made here when missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${KESTRUNE_WEB_BUILD:-$root/build-web}
build=${KESTRUNE_BUILD:-$root/build}
serve=true
port=8033
while [ $# -gt 0 ]; do
  case "$1" in
    --no-serve) serve=false ;;
    --port) port=$2; shift ;;
    *) echo "usage: $0 [--no-serve] [--port N]" >&2; exit 2 ;;
  esac
  shift
done

bash "$root/scripts/install-deps.sh" web
archive=${KESTRUNE_DATA_TVL:-$build/data.tvl}
if [ ! -f "$archive" ] && [ -z "${KESTRUNE_DATA_TVL:-}" ]; then
  # A tree configured to take its archive from elsewhere names it.
  cached=$(sed -n 's/^KESTRUNE_DATA_TVL:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
  if [ -n "$cached" ] && [ -f "$cached" ]; then
    archive=$cached
  else
    cmake -S "$root" -B "$build" -DKESTRUNE_CONTENT=ON >/dev/null
    cmake --build "$build" -j"$(nproc)" --target content
  fi
fi

# Debian's emscripten runs its optimiser on node with Debian's node-acorn,
# which a node from elsewhere does not look for.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
deps=${KESTRUNE_WEB_DEPS:-${XDG_CACHE_HOME:-$HOME/.cache}/kestrune/web-deps}
bash "$root/scripts/web_deps.sh" "$deps"
emcmake cmake -S "$root/web" -B "$out/wasm" -DKESTRUNE_WEB_DEPS="$deps" >/dev/null
emmake make -C "$out/wasm" -j"$(nproc)" --no-print-directory kestrune kestrune_single
python3 "$root/web/assemble.py" "$out/wasm" "$archive" "$out"
echo "The page: $out/site/ (publish this folder); one file to open from disk: $out/kestrune.html"

$serve || exit 0
echo "Serving the show at http://127.0.0.1:$port/ (Ctrl-C stops)"
cd "$out/site"
exec python3 -m http.server "$port" --bind 127.0.0.1
