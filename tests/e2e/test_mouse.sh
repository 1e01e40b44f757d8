# Mouse and wheel on the real program: in the free camera, moving the pointer turns the view
# and the wheel zooms it; in the seat view the pointer changes nothing on screen, yet the free
# camera turns, which shows on switching back. Pictures are compared on the right half of the
# window (the HUD lines sit on the left), where the water's ripples alone change a few percent
# of the pixels between two shots and a turn or a zoom changes far more.
source "$(dirname "$0")/lib.sh"
link_data
write_settings 640 360 false

shot() { screenshot "$RUN/$1.png"; convert "$RUN/$1.png" -crop 310x360+330+0 +repage "$RUN/$1.png"; }
# Percent of the compared pixels whose colour moved by more than a quarter of the range.
changed() {
  local n
  n=$(compare -metric AE -fuzz 25% "$RUN/$1.png" "$RUN/$2.png" null: 2>&1 || true)
  echo $((n * 100 / (310 * 360)))
}
expect_changed() {  # before after what
  local p; p=$(changed "$1" "$2")
  [ "$p" -ge 10 ] || fail "$3: only $p% of the pixels changed"
  report="$report${report:+, }$3 $p%"
}
expect_same() {
  local p; p=$(changed "$1" "$2")
  [ "$p" -le 5 ] || fail "$3: $p% of the pixels changed"
  report="$report${report:+, }$3 $p%"
}
report=""

start_game
wait_window
settle 3
xdotool mousemove_relative 2 0  # the first cursor event only primes the last position
send_key F6
settle 2
shot free1
settle 1
shot free2
expect_same free1 free2 "free camera at rest"
xdotool mousemove_relative 120 0
settle 2
shot turned
expect_changed free2 turned "pointer in the free camera"
xdotool click --repeat 10 --delay 30 4
settle 2
shot zoomed
expect_changed turned zoomed "wheel in the free camera"

send_key F6
settle 2
shot seat1
xdotool mousemove_relative -- -160 40
settle 2
shot seat2
expect_same seat1 seat2 "pointer in the seat view"
send_key F6
settle 2
shot back
expect_changed zoomed back "free camera turned while the seat view showed"

send_key Escape
wait_exit 30
[ "$EXIT_RC" = 0 ] || fail "Escape gave exit status $EXIT_RC"
[ ! -s "$RUN/stdout" ] || fail "a clean start printed something"
echo "mouse: ok ($report)"
