# A second OpenGL implementation: the real game on Mesa's softpipe (every other test draws with
# llvmpipe). A clean start prints nothing, the window shows a non-uniform picture with the HUD
# (its ducks line; the seconds line is too small at this size to count reliably), and Escape
# ends the program with status 0. Softpipe takes about a second a frame at this size, so the
# test waits for one good picture and leaves.
source "$(dirname "$0")/lib.sh"
started=$(date +%s)

# Make sure the variable really selects softpipe here; otherwise this would test llvmpipe again.
renderer="$(GALLIUM_DRIVER=softpipe glxinfo -B 2>&1 | grep 'OpenGL renderer string' || true)"
grep -q softpipe <<<"$renderer" || fail "GALLIUM_DRIVER=softpipe gives no softpipe: $renderer"
export GALLIUM_DRIVER=softpipe

link_data
write_settings 640 360 false

# Pixels of a region (WxH+X+Y, from the top left) that are white within 10% (the text shader
# averages glyph coverage over each pixel, so small text has few pixels of pure white).
white_pixels() {
  convert "$1" -crop "$2" +repage -fuzz 10% -fill black +opaque white \
    -format "%[fx:round(mean*w*h)]" info:
}

start_game
wait_window 120
# The ducks line at (12, 12) scale 0.4267, y up from the bottom; the box holds its ink.
bottom_box="320x36+8+320"
ok=0
for ((i = 0; i < 40; i++)); do
  sleep 1
  screenshot "$RUN/shot.png"
  spread=$(convert "$RUN/shot.png" -format '%[fx:round(standard_deviation*1000)]' info:)
  bottom=$(white_pixels "$RUN/shot.png" "$bottom_box")
  if [ "$spread" -gt 50 ] && [ "$bottom" -gt 150 ]; then
    ok=1
    break
  fi
done
[ "$ok" = 1 ] || fail "no picture with the HUD on softpipe (spread $spread/1000, ducks line" \
  "$bottom white pixels)"

send_key Escape
wait_exit 60
[ "$EXIT_RC" = 0 ] || fail "Escape gave exit status $EXIT_RC"
[ ! -s "$RUN/stdout" ] || fail "a clean start on softpipe printed something"
echo "softpipe: ok in $(($(date +%s) - started)) s (spread $spread/1000, ducks line $bottom)"
