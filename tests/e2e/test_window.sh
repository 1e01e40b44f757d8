# The window: titled "Velloran", exactly the configured size, not resizable, nothing printed on
# a clean start; Escape and the window's close request both end the program with status 0. A
# broken gamepad mapping file costs one note on standard error and nothing else.
source "$(dirname "$0")/lib.sh"
link_data

for size in "800 600" "1280 720"; do
  set -- $size
  write_settings "$1" "$2" false
  start_game
  wait_window
  [ "$(xdotool getwindowname "$WID")" = "Velloran" ] || fail "title"
  info="$(xwininfo -id "$WID")"
  grep -q "Width: $1\$" <<<"$info" || fail "width is not $1: $info"
  grep -q "Height: $2\$" <<<"$info" || fail "height is not $2: $info"
  hints="$(xprop -id "$WID" WM_NORMAL_HINTS)"
  grep -q "minimum size: $1 by $2" <<<"$hints" || fail "resizable (min): $hints"
  grep -q "maximum size: $1 by $2" <<<"$hints" || fail "resizable (max): $hints"
  settle 3
  send_key Escape
  wait_exit 30; rc=$EXIT_RC
  [ "$rc" = 0 ] || fail "Escape gave exit status $rc"
  [ ! -s "$RUN/stdout" ] || fail "a clean start printed something"
done

write_settings 1024 576 false
printf 'not a mapping\n\001\002\n' > "$RUN/gamecontrollerdb.txt"
start_game
wait_window
settle 2
"$WM_CLOSE" "$WID"
wait_exit 30; rc=$EXIT_RC
[ "$rc" = 0 ] || fail "closing the window gave exit status $rc"
[ ! -s "$RUN/stdout" ] || fail "a broken gamecontrollerdb.txt printed on standard output"
[ "$(grep -c 'gamecontrollerdb.txt' "$RUN/stderr")" = 1 ] || fail "not one note on the mapping file"
echo "window: ok"
