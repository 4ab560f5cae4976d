# Helpers of the terminal tests, sourced: a private tmux server whose panes
# run `kestrune --terminal`, and what they look for in a pane. Needs
# KESTRUNE_BIN and KESTRUNE_DATA_TVL.
workdir=$(mktemp -d)
tmux_server=(tmux -S "$workdir/tmux.socket" -f /dev/null)  # gone with the workdir
cleanup() {
  "${tmux_server[@]}" kill-server 2>/dev/null
  rm -rf "$workdir"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  for f in "$workdir"/*.stderr; do [ -s "$f" ] && { echo "--- $f"; tail -n 5 "$f"; } >&2; done
  exit 1
}
command -v tmux >/dev/null || fail "tmux is not installed"
cp "$KESTRUNE_DATA_TVL" "$workdir/data.tvl"

# start_pane NAME COLUMNS ROWS [VAR=value...] -- [ARGS...]: runs
# `kestrune --terminal ARGS` in a new pane of that size with no display, the
# dummy audio driver and a UTF-8 locale (the VARs change that). The pane
# records `stty -a` before and after in NAME.before/NAME.after, standard
# error in NAME.stderr and the exit code in NAME.code, then stays open.
# Set for one call: pane_prefix, words (quoted) that run the program (a
# relay, say); pane_input, a redirection of its standard input; pane_jobs=1,
# job control as in an interactive shell: when the program stops, the pane
# records `stty -a` in NAME.stopped and continues it with `fg` once the
# file NAME.go appears.
start_pane() {
  local name=$1 columns=$2 rows=$3
  shift 3
  local vars=()
  while [ "$1" != "--" ]; do vars+=("$1"); shift; done
  shift
  {
    [ "${pane_jobs:-}" = 1 ] && echo "set -m"
    echo "cd '${pane_dir:-$workdir}'"
    echo "stty -a > $workdir/$name.before"
    printf 'env -u DISPLAY -u WAYLAND_DISPLAY -u COLORTERM SDL_AUDIODRIVER=dummy LANG=C.UTF-8 LC_ALL=C.UTF-8 TERM=tmux-256color'
    [ ${#vars[@]} = 0 ] || printf ' %q' "${vars[@]}"
    printf ' %s' "${pane_prefix:-}"
    printf ' %q' "$KESTRUNE_BIN" --terminal "$@"
    echo " 2> $workdir/$name.stderr ${pane_input:-}"
    echo "code=\$?"
    if [ "${pane_jobs:-}" = 1 ]; then
      echo "while [ \$code = 148 ]; do stty -a > $workdir/$name.stopped"
      echo "  until [ -e $workdir/$name.go ]; do sleep 0.1; done; rm $workdir/$name.go; fg; code=\$?; done"
    fi
    echo "stty -a > $workdir/$name.after"
    echo "echo \$code > $workdir/$name.code"  # last: the tests wait for it
    echo "exec sleep 600"
  } >"$workdir/$name.run"
  "${tmux_server[@]}" new-session -d -s "$name" -x "$columns" -y "$rows" "bash $workdir/$name.run" ||
    fail "tmux did not start a $columns x $rows pane"
}

pane_state() { "${tmux_server[@]}" display -p -t "$1" '#{alternate_on} #{cursor_flag} #{wrap_flag}'; }
capture() { "${tmux_server[@]}" capture-pane -p -e -N -t "$1" >"$workdir/$2"; }
program_of() {
  local shell
  shell=$("${tmux_server[@]}" display -p -t "$1" '#{pane_pid}')
  pgrep -P "$shell" -x kestrune
}

wait_for() {  # wait_for SECONDS COMMAND...: until COMMAND succeeds
  local tries=$(($1 * 10))
  shift
  for _ in $(seq 1 "$tries"); do "$@" && return 0; sleep 0.1; done
  return 1
}
held_at() { grep -qx "held at beat $2" "$workdir/$1.stderr" 2>/dev/null; }
ended() { [ -s "$workdir/$1.code" ]; }
wait_for_hold() {
  wait_for 120 held_at "$1" "$2" || fail "$1: the show did not hold at beat $2"
  sleep 0.3  # tmux takes the bytes written just before
}

# The pane is back as it was: same stty settings, main screen, cursor, wrap.
expect_restored() {
  local name=$1 code=$2
  wait_for 20 ended "$name" || fail "$name: the program did not end"
  [ "$(cat "$workdir/$name.code")" = "$code" ] || fail "$name: exit code $(cat "$workdir/$name.code"), expected $code"
  diff "$workdir/$name.before" "$workdir/$name.after" >&2 || fail "$name: stty settings not restored"
  [ "$(pane_state "$name")" = "0 1 1" ] || fail "$name: alternate screen, cursor, wrap: $(pane_state "$name")"
}

