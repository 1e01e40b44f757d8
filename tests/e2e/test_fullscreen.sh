# Full screen where the display keeps its mode: Xvfb cannot switch modes, so a full-screen
# window asked for at 1280 x 720 gets the whole screen. The game must then draw its picture and
# its HUD over the whole window it was given, not into a 1280 x 720 corner with white around.
source "$(dirname "$0")/lib.sh"
link_data
write_settings 1280 720 true

read -r sw sh < <(xwininfo -root | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w, h }')
[ "$sw" -gt 1280 ] && [ "$sh" -gt 720 ] || fail "needs a screen larger than 1280 x 720 (${sw}x$sh)"

# Pixels of a region (WxH+X+Y, from the top left) that are white within the given fuzz.
white_pixels() {  # image region fuzz
  convert "$1" -crop "$2" +repage -fuzz "$3" -fill black +opaque white \
    -format "%[fx:round(mean*w*h)]" info:
}

start_game
wait_window
info="$(xwininfo -id "$WID")"
grep -q "Width: $sw\$" <<<"$info" && grep -q "Height: $sh\$" <<<"$info" ||
  fail "the full-screen window does not cover the ${sw}x$sh screen: $info"
# The first frame comes once the shaders are built, later on a busy machine.
wait_drawn 60 "$RUN/shot.png" || fail "the window shows nothing"
settle 3
screenshot "$RUN/shot.png"

# Everything above the 1280 x 720 corner: the picture, not the white the window is cleared to.
band="${sw}x$((sh - 720))+0+0"
blank=$(white_pixels "$RUN/shot.png" "$band" 0.5%)
[ "$blank" -lt $((sw * (sh - 720) / 50)) ] ||
  fail "the window above the 1280 x 720 corner is blank ($blank white pixels)"
# The HUD laid out for the given size: the seconds line at the top left of the screen, the
# ducks line at its bottom left (white text, a small share of each box).
top_box="$((sw / 3))x$((sw / 30))+0+0"
bottom_box="$((sw / 2))x$((sw / 12))+0+$((sh - sw / 12))"
top=$(white_pixels "$RUN/shot.png" "$top_box" 10%)
bottom=$(white_pixels "$RUN/shot.png" "$bottom_box" 10%)
[ "$top" -gt 150 ] && [ "$top" -lt $((sw / 3 * sw / 30 / 3)) ] ||
  fail "no seconds line at the top left of the screen ($top white pixels)"
[ "$bottom" -gt 400 ] && [ "$bottom" -lt $((sw / 2 * sw / 12 / 3)) ] ||
  fail "no ducks line at the bottom left of the screen ($bottom white pixels)"

send_key Escape
wait_exit 30
[ "$EXIT_RC" = 0 ] || fail "Escape gave exit status $EXIT_RC"
[ ! -s "$RUN/stdout" ] || fail "a clean start printed something"
echo "fullscreen: ok (${sw}x$sh; white above the corner $blank, top $top, bottom $bottom)"
