# A decoder taken over by its file: a stand-in (takeover.so, preloaded) runs at the import call
# of each model's trial worker and tries one forbidden thing per model: read or write the
# user's files, reach the X server, run a program, signal or trace the broker, leave a process
# behind, type into the terminal, forge another file's record, make memory executable. Every
# attempt must fail (status 43: refused with an error; signal 31: ended by the filter), nothing
# may change outside, and the game must start, render and leave with status 0 on Escape.
#
# Then a shader compiler taken over by its file: the same stand-in wraps the shader worker's
# compile and link calls and tries what a source marked "takeover: NAME" names. In the game,
# attempts that fail with an error leave their pairs to build (one that writes on its report
# is refused as a forgery); in the shader trial alone (shader_trial_probe), every attempt is
# tried on both context paths, and the worker is looked at from outside while it compiles:
# one thread, filtered, no display connection.
#
# Last, the game's own process: a compiler exploit whose pair got through the trial runs again
# when the game compiles the same bytes. There it can read nothing outside the game's folders,
# write nowhere but the player's folders, reach no TCP port or new socket, run nothing, and
# trace or signal no other process; the game still starts, draws and ends with status 0.
source "$(dirname "$0")/lib.sh"
TAKEOVER="${VELLORAN_TAKEOVER:?path of the takeover preload}"
PROBE="${VELLORAN_SHADER_PROBE:?path of the shader trial probe}"

# The data folders linked, the shaders copied: the tests append to them.
game_folder() {
  mkdir -p "$1"
  link_data "$1"
  rm -r "$1/shader"
  cp -r "$ROOT/shader" "$1/shader"
}
# What no attempt may leave: a listener reached, a file written or a program run outside, a
# process behind.
nothing_outside() {  # who
  [ ! -e "$RUN/outside/heard" ] || fail "$1 reached a listener"
  [ ! -e "$RUN/outside/written" ] || fail "$1 wrote a file outside"
  [ ! -e "$RUN/outside/executed" ] || fail "$1 ran a program"
  ! pgrep -f velloran-takeover-stray > /dev/null || fail "a process of $1 outlived it"
}

# The game's own shaders, each with an attempt that must fail softly (its pair still builds).
game_folder "$RUN"
mark() { printf '\n// %s\n' "$2" >> "$RUN/shader/$1"; }
mark lamp.vertex "takeover: secret"
mark water.vertex "takeover: write"
mark waterRefractionAlpha.fragment "takeover: xinherited"
mark text.vertex "takeover: selfmem"
mark screen.fragment "takeover-link: secret"
write_settings 640 480 false
mkdir "$RUN/outside"
echo "the user's private words" > "$RUN/outside/secret"
export TAKEOVER_OUTSIDE="$RUN/outside"
GAME_PRELOAD="$TAKEOVER"
start_game
wait_window 60
wait_drawn 60 "$RUN/shot.png" || fail "the window shows nothing"
quit_game

# The fake key press written on every descriptor reached the worker's own report: its pair is
# refused for that forgery, the others build.
forged="its trial run sent a report out of order while compiling it"
line() { echo "ERROR::ASSIMP:: Did not import assets/$1: reading it crashed the decoder in a trial run ($2)"; }
models="$(line duck/duck.dae 'exit status 43'; line canoe.dae 'exit status 43'
  line driver.dae 'signal 31'; line driverArms.dae 'signal 31'; line cube.dae 'signal 31'
  line platform2.dae 'signal 31'; line pool2.dae 'signal 31'; line pool3.dae 'signal 31'
  line budman.dae 'exit status 43')"
expected="$(echo "ERROR::SHADER::FRAGMENT::COMPILATION_FAILED
$forged
ERROR::SHADER::PROGRAM::LINKING_FAILED
$forged"; echo "$models")"
[ "$(cat "$RUN/stdout")" = "$expected" ] || fail "unexpected output (wanted:
$expected)"
nothing_outside "a model worker"

# ---- the shader trial alone -------------------------------------------------------------------
# Listeners the attempts aim at: TCP on 127.0.0.1, an abstract and a path unix socket. Any
# connection leaves a trace in the outside folder.
export TAKEOVER_ABSTRACT="velloran-takeover-$$"
python3 - "$RUN/outside" "$TAKEOVER_ABSTRACT" > "$RUN/port" <<'PY' &
import os, select, socket, sys
outside, abstract = sys.argv[1], sys.argv[2]
tcp = socket.socket(); tcp.bind(("127.0.0.1", 0)); tcp.listen()
named = socket.socket(socket.AF_UNIX); named.bind(outside + "/socket"); named.listen()
hidden = socket.socket(socket.AF_UNIX); hidden.bind("\0" + abstract); hidden.listen()
print(tcp.getsockname()[1], flush=True)
while True:
    for s in select.select([tcp, named, hidden], [], [])[0]:
        s.accept(); open(outside + "/heard", "a").write("a connection\n")
PY
LISTENER=$!
trap 'kill $LISTENER 2>/dev/null || true; cleanup' EXIT
for ((i = 0; i < 100; i++)); do [ -s "$RUN/port" ] && break || sleep 0.1; done
export TAKEOVER_PORT="$(cat "$RUN/port")" TAKEOVER_DISPLAY="${DISPLAY#*:}"
TAKEOVER_DISPLAY="${TAKEOVER_DISPLAY%%.*}"

# The sockets a process holds (a display connection is one); read from its descriptors, since two
# workers run at once and the display's own count would see the other one's attempts.
sockets_of() { find "/proc/$1/fd" -lname 'socket:*' 2>/dev/null | wc -l; }

# Runs the probe on one pair per attempt named; prints its lines. While the "hold" pair
# compiles, checks the worker from outside (its status, and the display's connections).
probe() {
  local args=() name worker="" i
  mkdir -p "$RUN/probe"
  for name in "$@"; do
    { echo '#version 330 core'; echo "// takeover: $name"; tail -n +2 "$ROOT/shader/lamp.vertex"
    } > "$RUN/probe/$name.vertex"
    args+=("$RUN/probe/$name.vertex" "$ROOT/shader/lamp.fragment")
  done
  LD_PRELOAD="$TAKEOVER" "$PROBE" 1 "${args[@]}" > "$RUN/probe.out" 2> "$RUN/probe.err" &
  local pid=$!
  # The worker is the probe's grandchild; it holds for 3 s in its "hold" compile.
  for ((i = 0; i < 300; i++)); do
    # Two workers run at once; the oldest is the "hold" pair's.
    for child in $(pgrep -P "$pid" || true); do
      grandchild="$(pgrep -o -P "$child" || true)"
      if [ -n "$grandchild" ] && grep -q '^Seccomp:[[:space:]]*2' "/proc/$grandchild/status" 2>/dev/null; then
        worker=$grandchild
      fi
    done
    [ -n "$worker" ] && break || sleep 0.1
  done
  [ -n "$worker" ] || fail "no confined worker seen"
  grep -q '^Threads:[[:space:]]*1$' "/proc/$worker/status" || fail "the worker has threads:
$(grep Threads "/proc/$worker/status")"
  grep -q '^NoNewPrivs:[[:space:]]*1$' "/proc/$worker/status" || fail "the worker may gain privileges"
  [ "$(sockets_of "$worker")" = 0 ] || fail "the worker holds a socket (a display connection?)"
  # Not dumpable: no other process of the user may read it (root may read anything).
  [ "$(id -u)" = 0 ] || ! cat "/proc/$worker/environ" > /dev/null 2>&1 || fail "the worker can be read"
  wait "$pid" || fail "the probe failed: $(cat "$RUN/probe.err")"
  sed "s|^$RUN/probe/||; s|\.vertex||" "$RUN/probe.out"
}

killed="refused: compiling it crashed the driver in a trial run (signal 31)"
# Executable memory is refused only on the window path: without a window the worker draws, and
# the renderer's JIT needs it.
got="$(probe hold secret write xinherited selfmem environ tcp abstract unixpath xconnect exec \
  fork iouring personality dumpable killgame killbroker ptrace)"
expected="hold passed
secret passed
write passed
xinherited refused: $forged
selfmem passed
environ passed
$(for n in tcp abstract unixpath xconnect exec fork iouring personality dumpable killgame \
  killbroker ptrace; do echo "$n $killed"; done)"
[ "$got" = "$expected" ] || fail "shader worker, no display: unexpected verdicts:
$got"
# The hidden-window path: the worker made its context on the display, then let go of it.
got="$(VELLORAN_TRIAL_GLX=1 probe hold xinherited xconnect tcp rwx)"
[ "$got" = "hold passed
xinherited refused: $forged
xconnect $killed
tcp $killed
rwx $killed" ] || fail "shader worker, hidden window: unexpected verdicts:
$got"
nothing_outside "a shader worker"

# ---- the game's own process ---------------------------------------------------------------
GAME="$RUN/game"
mkdir -p "$RUN/home"
game_folder "$GAME"
attempts=(secret write tcp unixpath exec ptrace signal playerwrite)
sources=(lamp.vertex water.vertex text.vertex screen.vertex skybox.vertex shadow_mapping.vertex
  waterRefractionAlpha.vertex shadow_mapping_depth.vertex)
for i in "${!attempts[@]}"; do
  printf '\n// takeover-game: %s\n' "${attempts[$i]}" >> "$GAME/shader/${sources[$i]}"
done
write_settings 640 480 false "$GAME"
export HOME="$RUN/home" XDG_DATA_HOME="$RUN/home/data" TAKEOVER_LISTENER_PID="$LISTENER"
unset XDG_CONFIG_HOME
start_game "$GAME"
wait_window 60
wait_drawn 60 "$RUN/shot.png" || fail "the game's own takeover: the window shows nothing"
quit_game "the game's own takeover"
[ "$(cat "$RUN/stdout")" = "$models" ] || fail "the game's own takeover: unexpected output"
got="$(grep '^takeover in the game:' "$RUN/stderr" | sed 's/ (.*//' | sort)"
expected="$(for n in "${attempts[@]}"; do
  [ "$n" = playerwrite ] && echo "takeover in the game: $n done" || echo "takeover in the game: $n refused"
done | sort)"
[ "$got" = "$expected" ] || fail "the game's own takeover: unexpected results:
$got"
[ -e "$RUN/home/data/velloran/written" ] || fail "the game could not write in the player's folder"
nothing_outside "the game"
echo "takeover: every attempt refused"
