#!/usr/bin/env bash
# Resizing the window letterboxes the text picture anew: a window wider than
# 4:3 (the dialog's default aspect) gets black bars left and right.
source "$KESTRUNE_SOURCE_DIR/tests/support/e2e_lib.sh"

start_show_windowed

xdotool windowsize "$show" 1000 600

# Wait until the show draws (loading takes longer on a busy machine), then
# look where the picture lies. 4:3 in 1000 x 600 is 800 x 600 at x = 100.
crop_max() {
  "$CONVERT" "$workdir/shot.png" -crop "$1" +repage -colorspace Gray -format '%[fx:maxima]' info:
}
for _ in $(seq 1 30); do
  sleep 1
  screenshot "$show" "$workdir/shot.png" || fail "no screenshot"
  middle=$(crop_max 800x600+100+0)
  awk -v m="$middle" 'BEGIN { exit !(m > 0.2) }' && break
done
size=$("$CONVERT" "$workdir/shot.png" -format '%wx%h' info:)
[ "$size" = "1000x600" ] || fail "window is $size after the resize"
left=$(crop_max 100x600+0+0)
right=$(crop_max 100x600+900+0)
echo "left $left right $right middle $middle"
awk -v l="$left" -v r="$right" -v m="$middle" 'BEGIN { exit !(l == 0 && r == 0 && m > 0.2) }' ||
  fail "the picture is not letterboxed into the resized window"

expect_escape_ends_show "$show"
echo "ok"
