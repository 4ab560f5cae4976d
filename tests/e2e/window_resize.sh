#!/usr/bin/env bash
# Resizing the window letterboxes the text picture anew: a window wider than
# 4:3 (the dialog's default aspect) gets black bars left and right.
source "$KESTRUNE_SOURCE_DIR/tests/support/e2e_lib.sh"

start_show_windowed

# Beat 28 onwards of the opening lays a picture over the fire: plenty to see.
sleep 9
xdotool windowsize "$show" 1000 600
sleep 2
screenshot "$show" "$workdir/shot.png" || fail "no screenshot"
size=$("$CONVERT" "$workdir/shot.png" -format '%wx%h' info:)
[ "$size" = "1000x600" ] || fail "window is $size after the resize"

# 4:3 in 1000 x 600 is an 800 x 600 picture at x = 100.
left=$("$CONVERT" "$workdir/shot.png" -crop 100x600+0+0 +repage -colorspace Gray -format '%[fx:maxima]' info:)
right=$("$CONVERT" "$workdir/shot.png" -crop 100x600+900+0 +repage -colorspace Gray -format '%[fx:maxima]' info:)
middle=$("$CONVERT" "$workdir/shot.png" -crop 800x600+100+0 +repage -colorspace Gray -format '%[fx:maxima]' info:)
echo "left $left right $right middle $middle"
awk -v l="$left" -v r="$right" -v m="$middle" 'BEGIN { exit !(l == 0 && r == 0 && m > 0.2) }' ||
  fail "the picture is not letterboxed into the resized window"

press_key "$show" Escape
code=$(wait_for_exit 20) || fail "the program did not end after Escape"
[ "$code" = 0 ] || fail "exit code $code after Escape"
echo "ok"
