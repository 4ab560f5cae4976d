#!/usr/bin/env bash
# `kestrune --terminal` where terminals and links misbehave, in tmux panes
# and on pseudo-terminals of tests/support/slow_link.py. Behind a 20 kB/s
# link that buffers what it cannot send yet (as SSH does), the picture
# stays within a second of the show and Escape gives the terminal back at
# once. A terminal that stops taking output, a terminal gone without a
# hangup signal, a closed standard input, Ctrl-Z and SIGTSTP with `fg`,
# keys on the stepped clock, a thread that cannot start and a locale that
# is not installed: the show ends, stops or goes on as it should and the
# terminal is left as it was.
set -u
: "${KESTRUNE_BIN:?}" "${KESTRUNE_SOURCE_DIR:?}" "${KESTRUNE_DATA_TVL:?}" "${KESTRUNE_NO_THREADS:?}"
source "$KESTRUNE_SOURCE_DIR/tests/support/terminal_panes.sh"
LINK="$KESTRUNE_SOURCE_DIR/tests/support/slow_link.py"
command -v strace >/dev/null || fail "strace is not installed"
stat_of() { python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))[sys.argv[2]])' "$workdir/$1.json" "$2"; }
# detached MODE NAME: the show on a pseudo-terminal of slow_link.py's, in MODE.
detached() {
  (cd "$workdir" && env -u DISPLAY -u WAYLAND_DISPLAY SDL_AUDIODRIVER=dummy LANG=C.UTF-8 LC_ALL=C.UTF-8 \
    TERM=xterm-256color python3 "$LINK" "$1" 3 "$workdir/$2.json" -- "$KESTRUNE_BIN" --terminal 2>"$workdir/$2.stderr") ||
    fail "$2: the link failed"
}
below() { python3 -c 'import sys; sys.exit(not float(sys.argv[1]) < float(sys.argv[2]))' "$1" "$2"; }

# On the stepped clock keys are read between held frames too: Escape ends
# a show that would otherwise run for minutes.
start_pane stepped 80 50 -- --frame-rate 1000
sleep 2
ended stepped && fail "the stepped show ended by itself"
"${tmux_server[@]}" send-keys -t stepped Escape
wait_for 5 ended stepped || fail "Escape did not end the show on the stepped clock"
expect_restored stepped 0
echo "stepped clock: Escape read"

# 24-bit colour through a 20 kB/s link (the show needs ten times that):
# after 8 seconds Escape comes back at once, and no byte waited in the
# link for more than a second.
pane_prefix="python3 $LINK relay 20000 $workdir/slow.json --" start_pane slow 80 50 COLORTERM=truecolor --
sleep 8
ended slow && fail "slow link: the show ended by itself"
"${tmux_server[@]}" send-keys -t slow Escape
wait_for 3 ended slow || fail "slow link: the terminal was not back 3 s after Escape"
expect_restored slow 0
below "$(stat_of slow wait_max)" 1.0 || fail "slow link: bytes waited $(stat_of slow wait_max) s in the link"
echo "20 kB/s link: $(stat_of slow bytes_per_second) bytes/s, longest wait $(stat_of slow wait_max) s; Escape at once"

# A terminal that takes nothing more: SIGTERM still ends the show (the
# terminal's input mode put back), within two seconds.
detached stall stall
[ "$(stat_of stall exit_code)" = 143 ] || fail "stall: exit code $(stat_of stall exit_code) after SIGTERM"
below "$(stat_of stall seconds_to_end)" 2.5 || fail "stall: took $(stat_of stall seconds_to_end) s to end"
[ "$(stat_of stall input_restored)" = True ] || fail "stall: the input mode was not restored"
echo "stalled terminal: SIGTERM ends it in $(stat_of stall seconds_to_end) s"

# A terminal that goes away without a hangup signal (no controlling
# terminal, as under setsid): the show ends as on a hangup.
detached hangup gone
[ "$(stat_of gone exit_code)" = 129 ] || fail "a terminal gone: exit code $(stat_of gone exit_code), expected 129"
echo "terminal gone without SIGHUP: ended in $(stat_of gone seconds_to_end) s with 129"

# Standard input closed: no keys, and no busy loop polling for them.
pane_input="<&-" start_pane closed 80 50 --
sleep 3
ended closed && fail "closed input: the show ended"
timeout -s INT 2 strace -f -c -e trace=poll,ppoll -o "$workdir/closed.strace" -p "$(program_of closed)" 2>/dev/null
polls=$(awk '$NF ~ /^p?poll$/ { n += $4 } END { print n + 0 }' "$workdir/closed.strace")
[ "$polls" -lt 1000 ] || fail "closed input: $polls polls in 2 seconds"
kill -TERM "$(program_of closed)"
wait_for 5 ended closed || fail "closed input: SIGTERM did not end the show"
echo "closed input: $polls polls in 2 s"

# Ctrl-Z and SIGTSTP hand the terminal back to the shell as it was; `fg`
# takes it again, redraws the picture and reads keys. (One stop a pane: a
# shell script's `fg` does not survive a second stop.)
for name in ctrlz tstp; do pane_jobs=1 start_pane $name 80 50 -- --frame-rate 5 --hold 100; done
stopped_then_continued() {
  local name=$1
  wait_for_hold $name 100
  capture $name ${name}_before.txt
  if [ $name = ctrlz ]; then "${tmux_server[@]}" send-keys -t $name C-z; else kill -TSTP "$(program_of $name)"; fi
  wait_for 10 test -e "$workdir/$name.stopped" || fail "$name: the show did not stop"
  diff "$workdir/$name.before" "$workdir/$name.stopped" >&2 || fail "$name: stty settings not restored while stopped"
  [ "$(pane_state $name)" = "0 1 1" ] || fail "$name: while stopped, alternate screen, cursor, wrap: $(pane_state $name)"
  touch "$workdir/$name.go"
  sleep 1
  [ "$(pane_state $name)" = "1 0 0" ] || fail "$name: after fg, alternate screen, cursor, wrap: $(pane_state $name)"
  capture $name ${name}_after.txt
  python3 "$KESTRUNE_SOURCE_DIR/tests/support/terminal_cells.py" same "$workdir/${name}_before.txt" \
    "$workdir/${name}_after.txt" >&2 || fail "$name: after fg, the picture is not drawn again"
  "${tmux_server[@]}" send-keys -t $name Escape
  expect_restored $name 0
}
stopped_then_continued ctrlz
stopped_then_continued tstp
echo "Ctrl-Z and SIGTSTP: the terminal back while stopped, taken again and redrawn after fg"

# No thread can start: a fatal message, the terminal as it was.
start_pane nothreads 80 50 LD_PRELOAD="$KESTRUNE_NO_THREADS" -- --frame-rate 5
expect_restored nothreads 1
grep -q "Cannot start the thread" "$workdir/nothreads.stderr" ||
  fail "no thread: not the fatal message: $(cat "$workdir/nothreads.stderr")"
echo "no thread: a fatal message"

# A locale named but not installed: the refusal names it and one that works.
start_pane locale 80 50 LC_ALL= LANG=xx_XX.UTF-8 --
expect_restored locale 2
grep -q "xx_XX.UTF-8.*C.UTF-8" "$workdir/locale.stderr" || fail "locale: $(cat "$workdir/locale.stderr")"
echo "missing locale: $(cat "$workdir/locale.stderr")"
echo "ok"
