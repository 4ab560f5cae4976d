#!/usr/bin/env bash
# The shipped archive holds every file of the show in the order the show
# loads it, and packing the same sources, or the files extracted from it,
# again gives the same bytes.
set -u
fail() { echo "FAIL: $*" >&2; exit 1; }
: "${KESTRUNE_BUILD_DIR:?}" "${KESTRUNE_SOURCE_DIR:?}"
tvl="$KESTRUNE_BUILD_DIR/tvl"
archive="$KESTRUNE_BUILD_DIR/data.tvl"
[ -x "$tvl" ] || fail "no archive tool at $tvl"
[ -s "$archive" ] || fail "no archive at $archive"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

grep -E '^(stream|buffer|text) ' "$KESTRUNE_SOURCE_DIR/assets/load_order.txt" | awk '{print $2}' >"$work/expected"
"$tvl" list "$archive" | awk '{print $2}' >"$work/listed" || fail "tvl list failed"
diff "$work/expected" "$work/listed" >&2 || fail "the archive's entries differ from the load order"
[ "$(wc -l <"$work/listed")" -ge 40 ] || fail "too few entries"

"$tvl" pack --root "$KESTRUNE_BUILD_DIR/content" --list "$KESTRUNE_SOURCE_DIR/assets/load_order.txt" \
  "$work/again.tvl" >/dev/null || fail "packing again failed"
cmp "$archive" "$work/again.tvl" || fail "packing the same sources gave different bytes"

mkdir "$work/out"
"$tvl" extract "$archive" "$work/out" >/dev/null || fail "tvl extract failed"
while read -r name; do
  cmp -s "$work/out/$name" "$KESTRUNE_BUILD_DIR/content/$name" || {
    # Text entries carry their terminating 0 byte.
    head -c -1 "$work/out/$name" | cmp -s - "$KESTRUNE_BUILD_DIR/content/$name" ||
      fail "$name comes back changed"
  }
done <"$work/expected"
# A maker who unpacks the archive and packs it again gets the same bytes.
"$tvl" pack --root "$work/out" --list "$KESTRUNE_SOURCE_DIR/assets/load_order.txt" "$work/repacked.tvl" \
  >/dev/null || fail "packing the extracted files failed"
cmp "$archive" "$work/repacked.tvl" || fail "extract then pack gave different bytes"
echo "ok"
