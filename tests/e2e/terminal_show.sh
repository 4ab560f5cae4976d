#!/usr/bin/env bash
# `kestrune --terminal` in a real terminal: panes of a private tmux server,
# without any display. Held at chosen beats (the stepped clock of the hidden
# --frame-rate/--hold), an 80 x 50 pane shows the preview tool's cells,
# glyph and colour, in 24-bit, 256 and 16 colours; resized while held it
# redraws at once, reduced with half blocks or as one line naming the sizes;
# an 80 x 24 pane gets the reduced picture; key 2 reaches the closing Snake
# scene. Escape, Ctrl-C, SIGTERM, SIGHUP, a fatal error and a crash signal
# all leave the terminal as it was (stty -a, main screen, cursor shown, line
# wrap on). A redirected output, TERM=dumb and a locale without UTF-8 are
# refused with one line and exit code 2.
set -u
: "${KESTRUNE_BIN:?}" "${KESTRUNE_BUILD_DIR:?}" "${KESTRUNE_SOURCE_DIR:?}" "${KESTRUNE_DATA_TVL:?}"

PREVIEW="$KESTRUNE_BUILD_DIR/tools/preview/preview"
CELLS="python3 $KESTRUNE_SOURCE_DIR/tests/support/terminal_cells.py"
CHART_SOURCE="$KESTRUNE_SOURCE_DIR/tools/chartgen/chart.cpp"
FPS=5

source "$KESTRUNE_SOURCE_DIR/tests/support/terminal_panes.sh"
[ -x "$PREVIEW" ] || fail "no preview tool at $PREVIEW"

native_beats=10,36,50,100,120,170,190,220,240,300,330,380,400,500,560
(cd "$workdir" && "$PREVIEW" --data data.tvl --out preview --fps $FPS --beat "$native_beats,575" --cells >/dev/null) ||
  fail "the preview tool failed"

# 24-bit colour, every scene; then key 2 on the closing Snake's title
# screen starts the viewer's game, which Escape ends.
start_pane true 80 50 COLORTERM=truecolor -- --frame-rate $FPS --hold "$native_beats,565,575"
for beat in ${native_beats//,/ }; do
  wait_for_hold true "$beat"
  [ "$(pane_state true)" = "1 0 0" ] || fail "during the show: alternate screen, cursor, wrap: $(pane_state true)"
  capture true "true_$beat.txt"
  $CELLS full "$workdir/true_$beat.txt" "$workdir/preview/beat_$beat.cells" "$CHART_SOURCE" truecolor >&2 ||
    fail "24-bit: the pane differs from the preview at beat $beat"
  echo "80 x 50, 24-bit, beat $beat: same cells"
  kill -USR1 "$(program_of true)"
done
wait_for_hold true 565
"${tmux_server[@]}" send-keys -t true 2
sleep 0.3
kill -USR1 "$(program_of true)"
wait_for_hold true 575
capture true true_575.txt
$CELLS full "$workdir/true_575.txt" "$workdir/preview/beat_575.cells" "$CHART_SOURCE" truecolor >/dev/null &&
  fail "key 2 did not reach the Snake scene: the pane shows the title screen of a show without keys"
echo "key 2 starts the viewer's Snake game"
"${tmux_server[@]}" send-keys -t true Escape
expect_restored true 0

# 16 colours; resized while held: reduced, the message, full again; SIGTERM.
start_pane ansi 80 50 -- --colors 16 --frame-rate $FPS --hold 100,240
wait_for_hold ansi 100
capture ansi ansi_100.txt
$CELLS full "$workdir/ansi_100.txt" "$workdir/preview/beat_100.cells" "$CHART_SOURCE" ansi16 >&2 ||
  fail "16 colours: the pane differs from the preview at beat 100"
resize_and_capture() {
  "${tmux_server[@]}" resize-window -t ansi -x "$1" -y "$2"
  sleep 0.5
  capture ansi "$3"
}
resize_and_capture 80 24 ansi_reduced.txt
$CELLS reduced "$workdir/ansi_reduced.txt" "$workdir/preview/beat_100.cells" "$CHART_SOURCE" >&2 ||
  fail "80 x 24 while held: not the reduced picture of beat 100"
resize_and_capture 30 10 ansi_small.txt
$CELLS message "$workdir/ansi_small.txt" 30 10 >&2 || fail "30 x 10 while held: not the one-line message"
resize_and_capture 80 50 ansi_back.txt
$CELLS full "$workdir/ansi_back.txt" "$workdir/preview/beat_100.cells" "$CHART_SOURCE" ansi16 >&2 ||
  fail "back at 80 x 50 while held: the picture of beat 100 did not return"
echo "80 x 50, 16 colours, beat 100: same cells; reduced at 80 x 24, the message at 30 x 10, redrawn at once"
kill -USR1 "$(program_of ansi)"
wait_for_hold ansi 240
kill -TERM "$(program_of ansi)"
expect_restored ansi $((128 + 15))

# A terminal whose terminfo counts 256 colours (tmux's) gets the show's
# colours from xterm's 256; SIGCONT after a stop nobody asked about takes
# the terminal again, even where the shell reset it meanwhile.
start_pane colors256 80 50 -- --frame-rate $FPS --hold 100
wait_for_hold colors256 100
capture colors256 colors256_100.txt
$CELLS full "$workdir/colors256_100.txt" "$workdir/preview/beat_100.cells" "$CHART_SOURCE" ansi256 >&2 ||
  fail "256 colours: the pane differs from the preview at beat 100"
pane_tty=$("${tmux_server[@]}" display -p -t colors256 '#{pane_tty}')
kill -STOP "$(program_of colors256)"
stty -F "$pane_tty" sane
kill -CONT "$(program_of colors256)"
sleep 1
stty -F "$pane_tty" -a | grep -q -- "-icanon .*-echo " || fail "after SIGCONT the input is not raw again"
capture colors256 colors256_again.txt
$CELLS full "$workdir/colors256_again.txt" "$workdir/preview/beat_100.cells" "$CHART_SOURCE" ansi256 >&2 ||
  fail "after SIGCONT the picture is not drawn again"
"${tmux_server[@]}" send-keys -t colors256 Escape
expect_restored colors256 0
echo "80 x 50, 256 colours, beat 100: same cells; SIGCONT takes the terminal back"

# An 80 x 24 terminal on the live clock: the reduced picture; Ctrl-C.
start_pane small 80 24 --
sleep 4
ended small && fail "80 x 24: the show ended by itself"
capture small small.txt
$CELLS shape "$workdir/small.txt" 80 24 >&2 || fail "80 x 24: no full half-block picture"
"${tmux_server[@]}" send-keys -t small C-c
expect_restored small 130
echo "80 x 24: reduced picture; Ctrl-C restores"

# A hang-up (a closed SSH session) and a crash signal give the terminal back.
start_pane hangup 80 50 --
start_pane crash 80 50 --
sleep 4
kill -HUP "$(program_of hangup)"
kill -SEGV "$(program_of crash)"
expect_restored hangup $((128 + 1))
expect_restored crash $((128 + 11))
echo "SIGHUP and SIGSEGV restore"

# Refusals: one line, exit code 2, the terminal untouched.
(cd "$workdir" && "$KESTRUNE_BIN" --terminal >/dev/null 2>redirected.stderr)
[ $? = 2 ] && [ "$(wc -l <"$workdir/redirected.stderr")" = 1 ] || fail "a redirected output is not refused"
start_pane dumb 80 50 TERM=dumb --
expect_restored dumb 2
start_pane ascii 80 50 LANG=C LC_ALL=C --
expect_restored ascii 2
# A fatal error (a damaged archive in the working directory, which comes
# first) is told in the terminal, which is left as it was.
mkdir "$workdir/damaged"
head -c 5000 /dev/urandom >"$workdir/damaged/data.tvl"
pane_dir="$workdir/damaged" start_pane damaged 80 50 --
expect_restored damaged 1
grep -q "^Error in file" "$workdir/damaged.stderr" || fail "no fatal error message: $(cat "$workdir/damaged.stderr")"
for name in redirected dumb ascii; do
  [ "$(wc -l <"$workdir/$name.stderr")" = 1 ] || fail "$name: not one line: $(cat "$workdir/$name.stderr")"
done
echo "refused: redirected output, TERM=dumb, no UTF-8 locale; a damaged archive is a fatal error"
echo "ok"
