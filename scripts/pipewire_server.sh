#!/usr/bin/env bash
# Runs a command against a private PipeWire server that speaks the PulseAudio
# protocol, and stops the server afterwards, whichever way the command ends:
#
#   scripts/pipewire_server.sh [--rate HZ] run -- COMMAND [ARGS...]
#
# The same contract as scripts/pulse_server.sh: null sinks out44 (44100 Hz,
# the default) and out48 (48000 Hz), the command gets PULSE_SERVER pointing
# at the server's own socket (and PIPEWIRE_RUNTIME_DIR at its native one),
# and the exit code is the command's; the file SOUND_SERVER_PIDFILE names
# holds the server's process id. --rate
# fixes the rate the graph runs at (48000 unless given; 44100 lets out44 run
# without resampling). Everything lives in a fresh private folder: its own
# runtime, config, state and home directories, so the user's own PipeWire or
# PulseAudio is neither seen nor changed, and no sound card is opened (the
# session manager runs with its device monitors off). Needs the pipewire,
# wireplumber, libpipewire-0.3-modules and dbus-daemon packages, not
# pipewire-pulse.
set -euo pipefail

rate=48000
if [ "${1:-}" = --rate ]; then
  rate=${2:-}
  shift 2 || true
fi
[[ "$rate" =~ ^[0-9]+$ ]] && [ "${1:-}" = run ] && [ "${2:-}" = -- ] && [ $# -ge 3 ] || {
  echo "usage: $0 [--rate HZ] run -- COMMAND [ARGS...]" >&2
  exit 2
}
shift 2

modules=/usr/lib/$(uname -m)-linux-gnu/pipewire-0.3
[ -d "$modules" ] || modules=$(dirname "$(find /usr/lib* -name libpipewire-module-protocol-pulse.so -print -quit 2>/dev/null)")
for tool in pipewire wireplumber dbus-daemon pactl; do
  command -v "$tool" >/dev/null || { echo "$0: $tool is not installed" >&2; exit 1; }
done
[ -f "$modules/libpipewire-module-protocol-pulse.so" ] || {
  echo "$0: PipeWire's PulseAudio module is not installed (libpipewire-0.3-modules)" >&2
  exit 1
}

dir=$(mktemp -d "${TMPDIR:-/tmp}/kestrune-pipewire.XXXXXX")
chmod 700 "$dir"
pids=()
stop_server() {
  local pid
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${pids[@]}"; do
    for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  [ -n "${KESTRUNE_KEEP_SERVER_DIR:-}" ] || rm -rf "$dir"
}
trap stop_server EXIT
trap 'exit 130' INT TERM

mkdir -p "$dir/runtime" "$dir/config/wireplumber/main.lua.d" "$dir/config/wireplumber/bluetooth.lua.d" \
  "$dir/home" "$dir/state"
chmod 700 "$dir/runtime"
cat >"$dir/pipewire.conf" <<EOF
context.properties = {
    core.daemon = true
    core.name = pipewire-0
    default.clock.rate = $rate
    default.clock.allowed-rates = [ $rate ]
    default.clock.min-quantum = 16
}
context.spa-libs = {
    audio.convert.* = audioconvert/libspa-audioconvert
    support.* = support/libspa-support
}
context.modules = [
    { name = libpipewire-module-rt args = { nice.level = -11 } flags = [ ifexists nofail ] }
    { name = libpipewire-module-protocol-native }
    { name = libpipewire-module-access }
    { name = libpipewire-module-metadata }
    { name = libpipewire-module-spa-node-factory }
    { name = libpipewire-module-client-node }
    { name = libpipewire-module-adapter }
    { name = libpipewire-module-link-factory }
    { name = libpipewire-module-session-manager }
    { name = libpipewire-module-protocol-pulse
      args = { server.address = [ "unix:$dir/runtime/pulse.sock" ] } }
]
context.objects = [
    { factory = spa-node-factory
      args = { factory.name = support.node.driver node.name = Dummy-Driver
               node.group = pipewire.dummy priority.driver = 20000 } }
]
EOF
# The session manager links streams to sinks; it must not take the machine's
# sound cards, cameras or Bluetooth devices.
cat >"$dir/config/wireplumber/main.lua.d/90-kestrune-private.lua" <<'EOF'
alsa_monitor.enabled = false
v4l2_monitor.enabled = false
libcamera_monitor.enabled = false
EOF
echo 'bluez_monitor.enabled = false' >"$dir/config/wireplumber/bluetooth.lua.d/90-kestrune-private.lua"

# The session manager wants a session bus: a private one.
dbus-daemon --session --nofork --nopidfile --address="unix:path=$dir/runtime/bus" >"$dir/dbus.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 50); do [ -S "$dir/runtime/bus" ] && break; sleep 0.1; done
private=(env -u PIPEWIRE_REMOTE DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/runtime/bus" HOME="$dir/home" XDG_RUNTIME_DIR="$dir/runtime"
  PIPEWIRE_RUNTIME_DIR="$dir/runtime" XDG_CONFIG_HOME="$dir/config" XDG_STATE_HOME="$dir/state"
  DISABLE_RTKIT=1)
"${private[@]}" pipewire -c "$dir/pipewire.conf" >"$dir/pipewire.log" 2>&1 &
pids+=($!)
# The process that serves the pulse protocol, for tests that stop it for a
# moment (SIGSTOP).
echo $! >"$dir/server.pid"
export SOUND_SERVER_PIDFILE=$dir/server.pid
for _ in $(seq 1 50); do [ -S "$dir/runtime/pipewire-0" ] && break; sleep 0.1; done
"${private[@]}" wireplumber >"$dir/wireplumber.log" 2>&1 &
pids+=($!)

export PULSE_SERVER="unix:$dir/runtime/pulse.sock"
unset PULSE_SINK
# PipeWire's own clients (SDL_AUDIODRIVER=pipewire) find it here.
export PIPEWIRE_RUNTIME_DIR="$dir/runtime"
unset PIPEWIRE_REMOTE
ready=false
for _ in $(seq 1 100); do
  if timeout 5 pactl info >/dev/null 2>&1; then ready=true; break; fi
  sleep 0.1
done
if $ready; then
  pactl load-module module-null-sink sink_name=out44 rate=44100 >/dev/null || ready=false
  pactl load-module module-null-sink sink_name=out48 rate=48000 >/dev/null || ready=false
fi
# The session manager links streams to sinks and keeps the default one; it
# is ready once it takes out44 as the default.
if $ready; then
  ready=false
  for _ in $(seq 1 100); do
    if pactl set-default-sink out44 2>/dev/null && pactl info 2>/dev/null | grep -q '^Default Sink: out44$'; then
      ready=true
      break
    fi
    sleep 0.1
  done
fi
if ! $ready; then
  echo "the PipeWire server did not start:" >&2
  cat "$dir/pipewire.log" "$dir/wireplumber.log" >&2 2>/dev/null || true
  exit 1
fi

status=0
"$@" || status=$?
exit "$status"
