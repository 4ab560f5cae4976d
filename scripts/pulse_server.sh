#!/usr/bin/env bash
# Runs a command against a private PulseAudio server and stops the server
# afterwards, whichever way the command ends:
#
#   scripts/pulse_server.sh run -- COMMAND [ARGS...]
#
# The server runs with two null sinks, out44 at 44100 Hz (the default) and
# out48 at 48000 Hz, and one anonymous socket in a fresh private directory:
# in system mode when run as root (as in CI), else as the user's own. The command gets PULSE_SERVER pointing
# there; SDL_AUDIODRIVER=pulseaudio makes SDL play through it. The exit code
# is the command's. For tests of a server that goes away, the command also
# gets SOUND_SERVER_CONTROL, this script's process id: SIGUSR1 to it stops
# the server, SIGUSR2 starts it again on the same socket. The file
# SOUND_SERVER_PIDFILE names holds the running server's process id (for tests
# that stop it for a moment with SIGSTOP).
set -euo pipefail

[ "${1:-}" = run ] && [ "${2:-}" = -- ] && [ $# -ge 3 ] || {
  echo "usage: $0 run -- COMMAND [ARGS...]" >&2
  exit 2
}
shift 2

dir=$(mktemp -d "${TMPDIR:-/tmp}/kestrune-pulse.XXXXXX")
pid=
command_pid=
stop_server() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
  pid=
}
cleanup() {
  [ -n "$command_pid" ] && kill "$command_pid" 2>/dev/null
  stop_server
  rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ "$(id -u)" -eq 0 ]; then
  # The server drops to the "pulse" user, which must be able to make its socket.
  chown pulse: "$dir" 2>/dev/null || true
  server=(pulseaudio --system)
else
  # A user's server keeps its state under these: private too.
  server=(env HOME="$dir" XDG_RUNTIME_DIR="$dir" XDG_CONFIG_HOME="$dir" pulseaudio)
fi
chmod 700 "$dir"
export PULSE_SERVER="unix:$dir/pa.sock"
start_server() {
  "${server[@]}" --daemonize=no --exit-idle-time=-1 --disallow-exit -n --use-pid-file=no \
    --disable-shm=yes --log-target=file:"$dir/server.log" \
    --load="module-null-sink sink_name=out44 rate=44100" \
    --load="module-null-sink sink_name=out48 rate=48000" \
    --load="module-native-protocol-unix auth-anonymous=1 socket=$dir/pa.sock" &
  pid=$!
  echo "$pid" >"$dir/server.pid"
  for _ in $(seq 1 100); do
    pactl info >/dev/null 2>&1 && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "the PulseAudio server did not start:" >&2
  cat "$dir/server.log" >&2 2>/dev/null || true
  return 1
}
start_server || exit 1

# The command runs in the background so that the signals below are handled
# while it runs.
trap stop_server USR1
trap 'start_server || true' USR2
export SOUND_SERVER_CONTROL=$$
export SOUND_SERVER_PIDFILE=$dir/server.pid
"$@" <&0 &
command_pid=$!
status=0
while :; do
  wait "$command_pid" && status=0 || status=$?
  # wait returns early (above 128) when a signal was handled; the command
  # may still run.
  kill -0 "$command_pid" 2>/dev/null || break
done
command_pid=
exit "$status"
