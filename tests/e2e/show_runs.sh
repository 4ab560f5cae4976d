#!/usr/bin/env bash
# The viewer's path: the setup dialog appears, Return starts the show, the
# window shows frames that change with the music, Escape ends with code 0.
source "$KESTRUNE_SOURCE_DIR/tests/support/e2e_lib.sh"

start_show_windowed

# Watch the window for up to 30 s (loading takes longer on a busy machine):
# the show must draw something, and two lit pictures a second apart differ.
lit=0
changed=0
for i in $(seq 1 30); do
  sleep 1
  screenshot "$show" "$workdir/shot$i.png" || fail "no screenshot"
  level=$(brightness "$workdir/shot$i.png")
  if awk -v l="$level" 'BEGIN { exit !(l > 0.01) }'; then
    lit=$((lit + 1))
    if [ -f "$workdir/previous.png" ] && ! cmp -s "$workdir/previous.png" "$workdir/shot$i.png"; then
      changed=1
    fi
    cp "$workdir/shot$i.png" "$workdir/previous.png"
  fi
  [ "$lit" -ge 2 ] && [ "$changed" = 1 ] && break
done
echo "lit pictures: $lit, changing: $changed"
# Through a sound server (scripts/test.sh runs this once so), the show's
# stream must be one of the server's playback streams.
if [ "${KESTRUNE_E2E_AUDIODRIVER:-dummy}" = pulseaudio ]; then
  pactl list sink-inputs | grep -q 'application.process.binary = "kestrune"' ||
    fail "the show plays no stream on the sound server"
fi
[ "$lit" -ge 1 ] || fail "the show's frames are black"
[ "$changed" = 1 ] || fail "the picture did not change with the music"

press_key "$show" Escape
code=$(wait_for_exit 20) || fail "the program did not end after Escape"
[ "$code" = 0 ] || fail "exit code $code after Escape"
echo "ok"
