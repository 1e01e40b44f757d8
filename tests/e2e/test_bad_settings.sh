# A size the window system cannot take, or a driver without the context the game needs, gives
# one "ERROR::" line and a non-zero exit, quickly, instead of a hang or a crash.
source "$(dirname "$0")/lib.sh"
link_data

check_refused() {  # settings.conf contents
  printf '%b' "$1" > "$RUN/settings.conf"
  start_game
  wait_exit 30; rc=$EXIT_RC
  [ "$rc" != 0 ] || fail "size '$1' was accepted"
  [ "$rc" -lt 128 ] || fail "size '$1' crashed the program (status $rc)"
  grep -q '^ERROR::' "$RUN/stdout" || fail "size '$1' printed no ERROR:: line"
  [ "$(wc -l < "$RUN/stdout")" -eq 1 ] || fail "size '$1' printed more than one line"
  [ -z "${2:-}" ] || [ "$(cat "$RUN/stdout")" = "$2" ] || fail "size '$1': wrong line"
}
sizeLine="ERROR::GLFW:: Could not create the window (check the size in settings.conf)"

check_refused '0\n600\nfalse\n'
check_refused '800\n-600\nfalse\n'
check_refused 'garbage\n\n'
check_refused '-2147483648\n720\nfalse\n'
check_refused '99999999999\n99999999999\nfalse\n'
# More pixels than 8K UHD: each side possible, the area is not.
check_refused '7681\n4320\nfalse\n' "$sizeLine"
check_refused '4320\n7681\ntrue\n' "$sizeLine"
check_refused '16384\n16384\nfalse\n' "$sizeLine"
# A driver without a 3.3 core context (Mesa told to offer 3.1) is not blamed on a good size.
write_settings 800 600 false
MESA_GL_VERSION_OVERRIDE=3.1 start_game
wait_exit 30
[ "$EXIT_RC" = 1 ] || fail "no 3.3 context: exit status $EXIT_RC, not 1"
[ "$(cat "$RUN/stdout")" = "ERROR::GLFW:: Could not create an OpenGL 3.3 core context (the graphics driver offers none)" ] ||
  fail "no 3.3 context: wrong line"
echo "bad settings: ok"
