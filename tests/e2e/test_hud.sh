# The real program's HUD: the seconds line at the top left and the ducks line at the bottom
# left from the first frames, the frame-time line only after F2; a clean start prints nothing
# and Escape ends the program with status 0.
source "$(dirname "$0")/lib.sh"
link_data
write_settings 1280 720 false

# Pixels of a region (WxH+X+Y, from the top left) that are white within 10%. (The text shader
# averages coverage over each pixel, so the small top line has few pixels of pure white.)
white_pixels() {
  convert "$1" -crop "$2" +repage -fuzz 10% -fill black +opaque white \
    -format "%[fx:round(mean*w*h)]" info:
}

start_game
wait_window
settle 5
screenshot "$RUN/before.png"

# Line 1 at (25, 688) scale 0.4267 and line 4 at (25, 25) scale 0.8533, y up from the bottom;
# line 3 (frame time) at (25, 128) scale 0.8533. The boxes hold each line's ink.
top_box="420x40+20+4"
bottom_box="620x64+20+648"
frame_box="620x64+20+545"
top=$(white_pixels "$RUN/before.png" "$top_box")
bottom=$(white_pixels "$RUN/before.png" "$bottom_box")
frame_before=$(white_pixels "$RUN/before.png" "$frame_box")
[ "$top" -gt 150 ] || fail "no seconds line at the top left ($top white pixels)"
[ "$bottom" -gt 400 ] || fail "no ducks line at the bottom left ($bottom white pixels)"

send_key F2
settle 3
screenshot "$RUN/after.png"
frame_after=$(white_pixels "$RUN/after.png" "$frame_box")
[ $((frame_after - frame_before)) -gt 300 ] ||
  fail "F2 added no frame-time line ($frame_before -> $frame_after white pixels)"
bottom_after=$(white_pixels "$RUN/after.png" "$bottom_box")
[ "$bottom_after" -gt 400 ] || fail "the ducks line vanished after F2"

send_key Escape
wait_exit 30
[ "$EXIT_RC" = 0 ] || fail "Escape gave exit status $EXIT_RC"
[ ! -s "$RUN/stdout" ] || fail "a clean start printed something"
echo "hud: ok (top $top, bottom $bottom, frame time $frame_before -> $frame_after)"
