# A size the window system cannot take gives one "ERROR::" line and a non-zero exit, quickly,
# instead of a hang or a crash.
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
}

check_refused '0\n600\nfalse\n'
check_refused '800\n-600\nfalse\n'
check_refused 'garbage\n\n'
check_refused '-2147483648\n720\nfalse\n'
check_refused '99999999999\n99999999999\nfalse\n'
echo "bad settings: ok"
