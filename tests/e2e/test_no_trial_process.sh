# No process for the trials: a preload refuses the game's forks with EAGAIN, as a process limit
# would, and assets/platform2.dae nests its nodes deep enough to overflow Assimp's stack in the
# game's own process. Refused for a moment, the forks are tried again and the trials run (the
# model refused by its trial run); refused for good, from the start or once the file trial's
# broker runs, every model, the font, every sound and every shader pair are refused for want
# of a process.
# Either way the game runs on and leaves with 0 on Escape; so it does under a real process
# limit of 1, 4 and 8.
source "$(dirname "$0")/lib.sh"
GAME_PRELOAD="${VELLORAN_FORK_FAIL:?path of the fork-refusing preload}"
FUZZ="${VELLORAN_FUZZ:?path of velloran_fuzz}"

GAME="$RUN/game"
mkdir -p "$GAME"
link_data "$GAME"
write_settings 640 480 false "$GAME"
rm "$GAME/assets/platform2.dae"
{
  sed -n '1,/<node /p' "$ROOT/assets/platform2.dae"
  for ((i = 0; i < 30000; i++)); do printf '<node id="n%d">' "$i"; done
  for ((i = 0; i < 30000; i++)); do printf '</node>'; done
  sed -n '/<node /,$p' "$ROOT/assets/platform2.dae" | tail -n +2
} > "$GAME/assets/platform2.dae"
rc=0
("$FUZZ" --direct dae "$GAME/assets/platform2.dae") > /dev/null 2>&1 || rc=$?
[ "$rc" -ge 128 ] || fail "the nested model no longer crashes Assimp when read directly ($rc)"

play() {  # forks to pass, then to refuse; the whole output wanted
  export VELLORAN_PASSED_FORKS="${1%:*}" VELLORAN_FAILED_FORKS="${1#*:}"
  play_briefly "$GAME" "with forks $1 passed:refused"
  [ "$(cat "$RUN/stdout")" = "$2" ] || fail "unexpected output with forks $1 passed:refused (wanted:
$2)"
}

play 0:2 "ERROR::ASSIMP:: Did not import assets/platform2.dae: reading it crashed the decoder in a trial run (signal 11)"
why="it could not be tried (no process for a trial run)"
refused="$(for ((i = 0; i < 8; i++)); do
    printf 'ERROR::SHADER::%s\n%s\n' VERTEX::COMPILATION_FAILED "$why" PROGRAM::LINKING_FAILED "$why"
  done
  echo "ERROR::FREETYPE: Failed to load font"
  for model in duck/duck.dae canoe.dae driver.dae driverArms.dae cube.dae platform2.dae \
    pool2.dae pool3.dae budman.dae; do echo "ERROR::ASSIMP:: Did not import assets/$model: $why"; done
  for sound in paddle squeak takeoff splash knock bump tick win timeup ambience; do
    echo "ERROR::SOUND:: Could not load sounds/$sound.ogg: $why"
  done)"
play 0:1000000 "$refused"
play 1:1000000 "$refused"  # the broker starts, no worker can

# A real process limit, which counts threads too (as another user: root is exempt). Mesa's
# software renderer used to wait for ever for drawing threads it could not start; now the game
# says how many it gives it, and plays. With room for no process at all every file is refused.
unset VELLORAN_PASSED_FORKS VELLORAN_FAILED_FORKS GAME_PRELOAD
chmod 755 "$RUN"
cp "${XAUTHORITY:?the authority file of the virtual display}" "$RUN/xauth"
chmod 644 "$RUN/xauth"
# The other user may not reach the build folder (a checkout in a private folder): a copy of
# the program in the run folder, which it can.
game_bin="$RUN/velloran"
cp "$BIN" "$game_bin"
BIN="$RUN/limited"
for nproc in 1 4 8; do
  printf '#!/bin/sh\nexec setpriv --reuid=65534 --regid=65534 --clear-groups env XAUTHORITY=%s prlimit --nproc=%s -- %s\n' \
    "$RUN/xauth" "$nproc" "$game_bin" > "$BIN"
  chmod 755 "$BIN"
  play_briefly "$GAME" "under a limit of $nproc processes"
  grep -q '^velloran: the process limit (ulimit -u) leaves room for [0-9]* more threads' "$RUN/stderr" ||
    fail "no word on the renderer's threads under a limit of $nproc processes"
  if [ "$nproc" = 1 ]; then
    [ "$(cat "$RUN/stdout")" = "$refused" ] || fail "unexpected output with no process to spare"
  fi
done
echo "no trial process: refused, not decoded"
