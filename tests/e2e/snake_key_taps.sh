#!/usr/bin/env bash
# Short taps of the cursor keys steer the viewer's Snake, each one: real key
# presses of 12 ms and of 50 ms (8 of each) sent to the window turn the snake
# on its next step, 8 times in 8; two taps between two steps turn it on the
# next two, in order; and a held key still steers at every step.
#
# The show runs on the stepped clock and holds at chosen beats, so machine
# load changes nothing the game sees. Each tap is sent while the show is
# held; the frame after it, 0.001 beats (0.3 ms) later, stands at the same
# millisecond tick, sees the key down and can take no game step; the key is
# released before any step comes. Only a press the game keeps until its
# next step can turn the snake. The snake's head (the one yellow cell in the
# field) is read from the window at the holds, 150 ms of show time apart:
# one or two steps.
source "$KESTRUNE_SOURCE_DIR/tests/support/e2e_lib.sh"

cp "$KESTRUNE_DATA_TVL" "$workdir/data.tvl"
# A key left down would reach whatever runs next on this display.
release_keys() {
  [ "$BASHPID" = "$main_shell" ] && xdotool keyup Left Right Up Down 2>/dev/null
  cleanup
}
trap release_keys EXIT

# Holds: the title screen (key 2), two looks at the running game, then per
# tap a look (tap sent there) and the frame at the same millisecond; from
# the last look on, two cases of two presses, looked at 1 and 2 beats later.
taps=16
hold_list=$(awk -v taps=$taps 'BEGIN {
  printf "557.5,558"
  for (i = 0; i <= taps; ++i) { look = 558.5 + 0.5 * i; printf ",%.1f,%.1f01", look, look }
  look += 1; printf ",%.1f,%.1f01,%.1f\n", look, look, look + 2 }')
IFS=, read -ra holds <<<"$hold_list"

# 2 frames a second up to the Snake title: the game's frames are all holds.
kestrune_args=(--no-dialog --windowed --size 641x600 --picture-aspect 16:15 --frame-rate 2 --hold "$hold_list")
start_kestrune
show=$(wait_for_show_window 60) || fail "the show's window did not open"
program=$(pgrep -P "$kestrune_pid" -x kestrune) || fail "no kestrune process under $kestrune_pid"
# The whole 640 x 600 picture on the screen, one cell 8 x 12 pixels.
xdotool windowmove --sync "$show" 0 0 2>/dev/null || xdotool windowmove "$show" 0 0
xdotool windowfocus --sync "$show" 2>/dev/null || xdotool windowfocus "$show"

holds_reached=0
# Waits until the show holds for the next time (the beats print rounded, so
# holds are counted).
next_hold() {
  holds_reached=$((holds_reached + 1))
  for _ in $(seq 1 6000); do
    [ "$(grep -c '^held at beat ' "$workdir/stdout")" -ge "$holds_reached" ] && return 0
    kill -0 "$program" 2>/dev/null || fail "the show ended before hold $holds_reached: $(cat "$workdir/stdout")"
    sleep 0.02
  done
  fail "the show did not hold at beat ${holds[holds_reached - 1]}"
}
release() { kill -USR1 "$program"; }

# Sets hx, hy to the column and row of the snake's head in the held window:
# the bounding box of the yellow pixels in the field (columns and rows 1..48).
head_cell() {
  screenshot "$show" "$workdir/window.png" || fail "no screenshot"
  local box cell
  box=$("$CONVERT" "$workdir/window.png" -crop 384x576+8+12 +repage -fill black +opaque '#FFFF00' \
    -format '%@' info: 2>/dev/null)
  cell=$(awk -v box="$box" 'BEGIN {
    if (split(box, v, /[x+]/) != 4 || v[1] < 1 || v[1] > 8 || v[2] < 1 || v[2] > 12) exit 1
    printf "%d %d\n", int(v[3] / 8) + 1, int(v[4] / 12) + 1 }') || fail "no single head in the field (yellow box '$box')"
  read -r hx hy <<<"$cell"
}

# Keys and their unit moves.
dx() { case $1 in Left) echo -1 ;; Right) echo 1 ;; *) echo 0 ;; esac; }
dy() { case $1 in Up) echo -1 ;; Down) echo 1 ;; *) echo 0 ;; esac; }
# The key of a move of (x, y) cells along one axis, or "" for another move.
move_key() {
  if [ "$1" = 0 ] && [ "$2" -lt 0 ]; then echo Up
  elif [ "$1" = 0 ] && [ "$2" -gt 0 ]; then echo Down
  elif [ "$2" = 0 ] && [ "$1" -lt 0 ]; then echo Left
  elif [ "$2" = 0 ] && [ "$1" -gt 0 ]; then echo Right
  fi
}
# Cells moved along key $3's direction by a move of ($1, $2).
along() { echo $(($1 * $(dx "$3") + $2 * $(dy "$3"))); }

next_hold
xdotool key 2 || fail "xdotool could not press 2"
release
next_hold
head_cell
x=$hx y=$hy
release
next_hold
head_cell
nx=$hx ny=$hy
heading=$(move_key $((nx - x)) $((ny - y)))
[ -n "$heading" ] || fail "the viewer's snake did not move in a line: ($x, $y) to ($nx, $ny)"
x=$nx y=$ny
# The turns alternate between the column and row directions: sideways
# towards the middle column, and always the same way along the rows, so
# the snake never comes back to a cell it has left.
if [ "$y" -le 24 ]; then rows_key=Down; else rows_key=Up; fi
turn_key() {
  if [ "$heading" = Up ] || [ "$heading" = Down ]; then
    if [ "$x" -le 24 ]; then echo Right; else echo Left; fi
  else
    echo $rows_key
  fi
}
echo "the viewer's game runs: head at ($x, $y), heading $heading"

turned_12=0 turned_50=0
for i in $(seq 0 $((taps - 1))); do
  key=$(turn_key)
  if [ "$i" -lt 8 ]; then ms=12; else ms=50; fi
  xdotool keydown "$key" sleep "0.0$(printf %02d $ms)" keyup "$key" || fail "xdotool could not tap $key"
  release
  next_hold  # the frame that sees the key down
  release
  next_hold
  head_cell
  nx=$hx ny=$hy
  moved=$(move_key $((nx - x)) $((ny - y)))
  result="NOT turned"
  if [ "$moved" = "$key" ]; then
    result="turned"
    if [ $ms = 12 ]; then turned_12=$((turned_12 + 1)); else turned_50=$((turned_50 + 1)); fi
  fi
  echo "tap $((i + 1)), $key for $ms ms at ($x, $y) heading $heading: $result, head at ($nx, $ny)"
  # A jump of more than two cells is a new game, which starts heading up.
  if [ -z "$moved" ] || [ $(((nx - x) * (nx - x) + (ny - y) * (ny - y))) -gt 4 ]; then heading=Up; else heading=$moved; fi
  x=$nx y=$ny
done
echo "12 ms taps: $turned_12 of 8 turned; 50 ms taps: $turned_50 of 8 turned"

# Two presses between two steps: the turn sideways, then back to the
# heading; they are taken in order on the next two steps. Then the same
# with the sideways key held: it turns the snake again after the second.
# Sets first, second (cells moved along $1 and along $2) and the head.
two_presses() {
  if [ "$3" = held ]; then xdotool keydown "$1"; else xdotool key "$1"; fi || fail "xdotool could not press $1"
  xdotool key "$2"
  release
  next_hold
  release
  next_hold
  head_cell
  [ "$3" = held ] && xdotool keyup "$1"
  first=$(along $((hx - x)) $((hy - y)) "$1")
  second=$(along $((hx - x)) $((hy - y)) "$2")
  echo "$3 $1 then tapped $2: from ($x, $y) to ($hx, $hy), $first along $1, $second along $2"
  x=$hx y=$hy
}
side=$(turn_key)
two_presses "$side" "$heading" tapped
[ "$first" = 1 ] && [ "$second" -ge 2 ] && taps_in_order=1 || taps_in_order=0
two_presses "$side" "$heading" held
release
expect_escape_ends_show "$show"

[ "$turned_12" = 8 ] && [ "$turned_50" = 8 ] || fail "short taps were lost"
[ "$taps_in_order" = 1 ] || fail "two taps between steps were not taken in order (expected 1 sideways, then on)"
[ "$second" = 1 ] && [ "$first" -ge 2 ] ||
  fail "the held key did not steer after the tap (expected 1 along the tapped key, the rest along the held one)"
echo "ok"
