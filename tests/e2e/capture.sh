#!/usr/bin/env bash
# Recording the show from the command line: the same stretch twice gives the
# same frames, and the preview tool's frames; an interrupted or failing
# recording leaves neither its file nor a temporary one and keeps what was
# there; it needs no display.
source "$KESTRUNE_SOURCE_DIR/tests/support/e2e_lib.sh"

cp "$KESTRUNE_DATA_TVL" "$workdir/data.tvl"
preview="$KESTRUNE_BUILD_DIR/tools/preview/preview"

record() {
  (cd "$workdir" && SDL_AUDIODRIVER=dummy timeout 120 "$KESTRUNE_BIN" "$@" >"$workdir/stdout" 2>"$workdir/stderr")
}

# Beats 12 to 13 at 60 fps are frames 216 to 233: the first flash, then the
# fire and the first letter.
for run in a b; do
  record --frames "$workdir/$run" --size 640x600 --from 12 --to 13 ||
    fail "recording $run failed: $(cat "$workdir/stderr")"
done
[ "$(ls "$workdir/a" | wc -l)" = 18 ] || fail "expected 18 frames, got $(ls -A "$workdir/a" | wc -l)"
for f in "$workdir"/a/*.png; do
  cmp -s "$f" "$workdir/b/$(basename "$f")" || fail "$(basename "$f") differs between two recordings"
done
echo "ok (two recordings, same frames)"

"$preview" --data "$workdir/data.tvl" --out "$workdir/preview" --beat 12,12.5 >/dev/null ||
  fail "the preview tool failed"
for pair in "216 12" "225 12.50"; do
  set -- $pair
  cmp -s "$workdir/a/frame_000$1.png" "$workdir/preview/beat_$2.png" ||
    fail "frame $1 differs from the preview at beat $2"
done
echo "ok (recorded frames equal the preview's)"

listing() { ls -A "$workdir/out"; }
mkdir "$workdir/out"
echo "the earlier video" >"$workdir/out/show.mp4"

# Ctrl-C four seconds into a recording with these arguments; `code` is its exit code.
interrupt() {
  (cd "$workdir" && SDL_AUDIODRIVER=dummy exec "$KESTRUNE_BIN" "$@" >"$workdir/stdout" 2>"$workdir/stderr") &
  local pid=$!
  sleep 4
  kill -INT "$pid"
  wait "$pid"; code=$?
}

# Ctrl-C in the middle: the earlier file stays, nothing else appears.
interrupt --capture out/show.mp4 --size 320x180
[ "$code" = 130 ] || fail "an interrupted recording ended with $code, expected 130"
grep -q 'interrupted (SIGINT)' "$workdir/stderr" || fail "no word of the interruption: $(cat "$workdir/stderr")"
[ "$(listing)" = show.mp4 ] || fail "left behind: $(listing)"
[ "$(cat "$workdir/out/show.mp4")" = "the earlier video" ] || fail "the earlier file was changed"
echo "ok (interrupted)"

# A write error (here the file size limit) is reported the same way, for a
# frame drawn by GL at its size and for a magnified one drawn on the CPU.
for size in 320x180 1280x720; do
  (ulimit -f 64; record --capture out/show.mp4 --size $size --to 30); code=$?
  [ "$code" = 1 ] || fail "a failed write at $size ended with $code, expected 1"
  grep -q 'File too large' "$workdir/stderr" || fail "the write error was not named: $(cat "$workdir/stderr")"
  [ "$(listing)" = show.mp4 ] || fail "left behind: $(listing)"
  [ "$(cat "$workdir/out/show.mp4")" = "the earlier video" ] || fail "the earlier file was changed"
done
echo "ok (write error)"

# No display server at all: the same frames, and the earlier files untouched.
(cd "$workdir" && env -u DISPLAY -u WAYLAND_DISPLAY SDL_AUDIODRIVER=dummy timeout 120 "$KESTRUNE_BIN" \
    --frames "$workdir/headless" --size 640x600 --from 12 --to 13 >"$workdir/stdout" 2>"$workdir/stderr") ||
  fail "without a display the recording failed"
[ "$(ls "$workdir/headless" | wc -l)" = 18 ] || fail "without a display: $(ls -A "$workdir/headless" | wc -l) frames"
for f in "$workdir"/a/*.png; do
  cmp -s "$f" "$workdir/headless/$(basename "$f")" || fail "$(basename "$f") differs without a display"
done
[ "$(listing)" = show.mp4 ] || fail "left behind: $(listing)"
echo "ok (no display)"

# A frames directory the recording made goes again when it is interrupted.
interrupt --frames fresh --size 320x180
[ "$code" = 130 ] || fail "an interrupted recording of frames ended with $code, expected 130"
[ ! -e "$workdir/fresh" ] || fail "the interrupted recording left its directory: $(ls -A "$workdir/fresh")"
echo "ok (interrupted frames)"

# Only a regular file is replaced: a FIFO of that name is refused and stays.
mkfifo "$workdir/out/pipe.mp4"
record --capture out/pipe.mp4 --size 320x180 --to 1; code=$?
[ "$code" = 1 ] || fail "a recording onto a FIFO ended with $code, expected 1"
grep -q 'refusing to replace it' "$workdir/stderr" || fail "no word of the refusal: $(cat "$workdir/stderr")"
[ -p "$workdir/out/pipe.mp4" ] || fail "the FIFO was replaced"
echo "ok (not a regular file)"
