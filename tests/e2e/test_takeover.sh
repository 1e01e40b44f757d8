# A decoder taken over by its file: a stand-in (takeover.so, preloaded) runs at the import call
# of each model's trial worker and tries one forbidden thing per model: read or write the
# user's files, reach the X server, run a program, signal or trace the broker, leave a process
# behind, type into the terminal, forge another file's record, make memory executable. Every
# attempt must fail (status 43: refused with an error; signal 31: ended by the filter), nothing
# may change outside, and the game must start, render and leave with status 0 on Escape.
source "$(dirname "$0")/lib.sh"
TAKEOVER="${VELLORAN_TAKEOVER:?path of the takeover preload}"

link_data
write_settings 640 480 false
mkdir "$RUN/outside"
echo "the user's private words" > "$RUN/outside/secret"
export TAKEOVER_OUTSIDE="$RUN/outside"
GAME_PRELOAD="$TAKEOVER"
start_game
wait_window 60
settle 2
screenshot "$RUN/shot.png"
[ "$(convert "$RUN/shot.png" -format '%[fx:maxima]' info:)" != 0 ] || fail "the window shows nothing"
send_key Escape
wait_exit 30
[ "$EXIT_RC" = 0 ] || fail "exit status $EXIT_RC"

line() { echo "ERROR::ASSIMP:: Did not import assets/$1: reading it crashed the decoder in a trial run ($2)"; }
expected="$(line duck/duck.dae 'exit status 43'; line canoe.dae 'exit status 43'
  line driver.dae 'signal 31'; line driverArms.dae 'signal 31'; line cube.dae 'signal 31'
  line platform2.dae 'signal 31'; line pool2.dae 'signal 31'; line pool3.dae 'signal 31'
  line budman.dae 'exit status 43')"
[ "$(cat "$RUN/stdout")" = "$expected" ] || fail "unexpected output (wanted:
$expected)"
[ ! -e "$RUN/outside/written" ] || fail "a worker wrote a file outside"
[ ! -e "$RUN/outside/executed" ] || fail "a worker ran a program"
! pgrep -f velloran-takeover-stray > /dev/null || fail "a worker's process outlived the game"
echo "takeover: every attempt refused"
