#!/usr/bin/env bash
# What makes the show unable to run is refused at start with its reason:
# a song shorter than the schedule (the beat clock would stop with it and
# hold the show in its first scene), a song the output cannot play and a
# driver that cannot open (their own words on standard error), and a
# temporary directory that cannot be used.
source "$KESTRUNE_SOURCE_DIR/tests/support/e2e_lib.sh"
tvl="$KESTRUNE_BUILD_DIR/tvl"
song=data/common/music/chipcore5.mp3

# A 3 s stereo tone sampled at $1 Hz, as Ogg Vorbis in $2 (the player tells
# the formats apart by their content, not by the name).
tone() {
  python3 - "$1" "$workdir/tone.wav" <<'EOF'
import math, struct, sys, wave
rate = int(sys.argv[1])
with wave.open(sys.argv[2], "wb") as w:
    w.setnchannels(2); w.setsampwidth(2); w.setframerate(rate)
    w.writeframes(b"".join(struct.pack("<hh", v, v)
                           for v in (int(8000 * math.sin(2 * math.pi * 440 * i / rate)) for i in range(3 * rate))))
EOF
  oggenc -Q -o "$2" "$workdir/tone.wav" || fail "oggenc failed"
}

# data.tvl in $workdir: the show's files with the song replaced by $1.
archive_with_song() {
  rm -rf "$workdir/content"
  cp -r "$KESTRUNE_BUILD_DIR/content" "$workdir/content"
  cp "$1" "$workdir/content/$song"
  "$tvl" pack --root "$workdir/content" --list "$KESTRUNE_SOURCE_DIR/assets/load_order.txt" \
    "$workdir/data.tvl" >/dev/null || fail "packing failed"
}

# The show without dialog or boxes; extra VAR=value arguments go into its
# environment. A show that does not stop is ended by timeout (124).
run_show() {
  (cd "$workdir" && env KESTRUNE_NO_BOXES=1 SDL_AUDIODRIVER=dummy "$@" timeout 40 "$KESTRUNE_BIN" --no-dialog \
      --windowed --size 320x200 >"$workdir/stdout" 2>"$workdir/stderr")
}

expect_refusal() {  # $1: what, $2: fixed text expected on standard error
  [ "$code" = 1 ] || fail "$1 ended with $code, expected 1"
  grep -qF -- "$2" "$workdir/stderr" || fail "$1: no '$2' on standard error"
  echo "ok ($1)"
}

tone 44100 "$workdir/short.ogg"
archive_with_song "$workdir/short.ogg"
run_show; code=$?
expect_refusal "a 3 s song" "The song $song ends at beat 10.0 (3.0 s), before the show's last scene begins at beat 557: it needs a song of at least 167.1 s."

tone 48000 "$workdir/48k.ogg"
archive_with_song "$workdir/48k.ogg"
run_show; code=$?
expect_refusal "a 48 kHz song" "Failed to start the music: unsupported format: the Ogg Vorbis stream is 48000 Hz with 2 channels"
grep -qF "Failed to start the music!" "$workdir/stderr" || fail "the box's own text is gone"

cp "$KESTRUNE_BUILD_DIR/data.tvl" "$workdir/data.tvl"
run_show SDL_AUDIODRIVER=no-such-driver; code=$?
expect_refusal "no audio driver" "Can't initialize device: "
grep -q "^Can't initialize device: .*no-such-driver" "$workdir/stderr" || fail "the driver's words are missing"

run_show TMPDIR="$workdir/missing"; code=$?
expect_refusal "a missing TMPDIR" \
  "Failed to create a temporary file for data/common/images/tavorlin_logo_transp.png in $workdir/missing (TMPDIR): No such file or directory"
! grep -q "Failed to load image" "$workdir/stderr" || fail "the picture is blamed for the temporary directory"
