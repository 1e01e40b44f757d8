# The real program's HUD: the seconds line at the top left and the ducks line at the bottom
# left from the first frames, the frame-time line only after F2; F1's key panel at the right
# while shown; a clean start prints nothing and Escape ends the program with status 0. The
# game's folder holds an options.conf that moves paddling forward from W to I.
source "$(dirname "$0")/lib.sh"
link_data
write_settings 1280 720 false
printf '# paddle with the right hand\nforward = I\n' > "$RUN/options.conf"

# Pixels of a region (WxH+X+Y, from the top left) that are white within 10%. (The text shader
# averages coverage over each pixel, so the small top line has few pixels of pure white.)
white_pixels() {
  convert "$1" -crop "$2" +repage -fuzz 10% -fill black +opaque white \
    -format "%[fx:round(mean*w*h)]" info:
}

# Runs a command (a key sent or held), lets 3 s of frames pass and takes $RUN/$1.png.
shot_after() {  # name command...
  local name="$1"
  shift
  "$@"
  settle 3
  screenshot "$RUN/$name.png"
}

start_game
wait_window
shot_after before settle 2

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

shot_after after send_key F2
frame_after=$(white_pixels "$RUN/after.png" "$frame_box")
[ $((frame_after - frame_before)) -gt 300 ] ||
  fail "F2 added no frame-time line ($frame_before -> $frame_after white pixels)"
bottom_after=$(white_pixels "$RUN/after.png" "$bottom_box")
[ "$bottom_after" -gt 400 ] || fail "the ducks line vanished after F2"

# F1 shows the key panel in the right half and hides it again.
help_box="560x620+700+40"
help_before=$(white_pixels "$RUN/after.png" "$help_box")
shot_after help send_key F1
help_shown=$(white_pixels "$RUN/help.png" "$help_box")
shot_after hidden send_key F1
help_hidden=$(white_pixels "$RUN/hidden.png" "$help_box")
[ $((help_shown - help_before)) -gt 2000 ] && [ $((help_shown - help_hidden)) -gt 2000 ] ||
  fail "F1's panel: $help_before white pixels before, $help_shown shown, $help_hidden hidden"

# W no longer paddles, I does: the view from the seat moves only with I. Compared on the
# picture's middle, clear of the HUD lines; the water's ripples alone change a few percent.
changed() {  # the share of the middle that changed, in percent
  local n middle="[700x400+290+160]"
  n=$(compare -metric AE -fuzz 25% "$RUN/$1.png$middle" "$RUN/$2.png$middle" null: 2>&1 || true)
  echo $((n * 100 / (700 * 400)))
}
shot_after w hold_key w 2
shot_after i hold_key i 2
by_w=$(changed hidden w)
by_i=$(changed w i)
[ "$by_w" -le 5 ] || fail "W still paddles with forward = I ($by_w% of the picture changed)"
[ "$by_i" -ge 10 ] || fail "I does not paddle with forward = I ($by_i% of the picture changed)"

quit_game
[ ! -s "$RUN/stdout" ] || fail "a clean start printed something"
! grep -q options.conf "$RUN/stderr" || fail "a good options.conf gave notes"
echo "hud: ok (top $top, bottom $bottom, frame time $frame_before -> $frame_after," \
  "help $help_before -> $help_shown -> $help_hidden, forward by W $by_w%, by I $by_i%)"
