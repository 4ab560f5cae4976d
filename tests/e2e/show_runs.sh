#!/usr/bin/env bash
# The viewer's path: the setup dialog appears, Return starts the show, the
# window shows frames that change with the music, Escape ends with code 0.
source "$KESTRUNE_SOURCE_DIR/tests/support/e2e_lib.sh"

start_show_windowed

expect_moving_picture "$show"
# Through a sound server (scripts/test.sh runs this once so), the show's
# stream must be one of the server's playback streams.
if [ "${KESTRUNE_E2E_AUDIODRIVER:-dummy}" = pulseaudio ]; then
  pactl list sink-inputs | grep -q 'application.process.binary = "kestrune"' ||
    fail "the show plays no stream on the sound server"
fi

expect_escape_ends_show "$show"
echo "ok"
