# Hostile data: files that crash, abort, exhaust or recurse the system decoders when read
# directly, all in one start. The game must print each model's failure line, nothing for the
# images (they get the fallback texture), open its window with the default size from an
# endless settings.conf, stay within bounded memory, and leave with status 0 on Escape.
source "$(dirname "$0")/lib.sh"
FUZZ="${VELLORAN_FUZZ:?path of velloran_fuzz}"

# Symlink farms of the data folders, so single files can be replaced.
for d in shader assets textures fonts; do cp -rs "$ROOT/$d" "$RUN/$d"; done
hostile() {  # path under the run folder; the new contents come from standard input
  rm -f "$RUN/$1"
  cat > "$RUN/$1"
}

# An accessor stride too large for its array: Assimp reads out of bounds (SIGSEGV).
sed '0,/stride="3"/s//stride="2147483647"/' "$ROOT/assets/canoe.dae" | hostile assets/canoe.dae
# A <polylist> renamed <polygons>: Assimp's own assertion aborts (SIGABRT).
sed 's/polylist/polygons/g' "$ROOT/assets/cube.dae" | hostile assets/cube.dae
# Nodes nested 30 000 deep: Assimp's recursive reader overflows the stack.
{
  sed -n '1,/<node /p' "$ROOT/assets/pool2.dae"
  for ((i = 0; i < 30000; i++)); do printf '<node id="n%d">' "$i"; done
  for ((i = 0; i < 30000; i++)); do printf '</node>'; done
  sed -n '/<node /,$p' "$ROOT/assets/pool2.dae" | tail -n +2
} | hostile assets/pool2.dae
# From the seeded fuzz cases (seed 1), the first that does each of these to its decoder when
# read directly: a model that exhausts memory (status 99 under a 1 GiB limit), a JPEG that
# crashes SOIL (its table lengths lie, so Huffman counts overflow a table), a PNG that aborts
# SOIL's inflate (its first block claims dynamic codes).
first_case() {  # type, wanted status (a regular expression)
  local i rc
  for ((i = 0; i < 400; i++)); do
    (cd "$ROOT" && "$FUZZ" --emit "$1" "$i") > "$RUN/candidate.$1"
    rc=0
    (ulimit -v 1048576; "$FUZZ" --direct "$1" "$RUN/candidate.$1" > /dev/null 2>&1) || rc=$?
    if [[ "$rc" =~ ^($2)$ ]]; then cat "$RUN/candidate.$1"; return 0; fi
  done
  fail "no $1 case among the first 400 ends with status $2"
}
first_case dae 99 | hostile assets/budman.dae
first_case jpg 139 | hostile textures/ground.jpg
first_case png 134 | hostile textures/defaultwater.png
# settings.conf as an endless stream.
ln -s /dev/zero "$RUN/settings.conf"

# The handmade models really are hostile: read directly (no trial) they take the reader down.
for f in assets/canoe.dae assets/cube.dae assets/pool2.dae; do
  rc=0
  "$FUZZ" --direct dae "$RUN/$f" > /dev/null 2>&1 || rc=$?
  [ "$rc" -ge 128 ] || fail "$f no longer crashes Assimp when read directly (status $rc)"
done

start=$(date +%s)
start_game
wait_window 60
[ $(($(date +%s) - start)) -le 30 ] || fail "the window took over 30 s"
settle 3
peak_kib=$(awk '/^VmHWM/ {print $2}' "/proc/$GAME_PID/status")
[ "$peak_kib" -lt $((1024 * 1024)) ] || fail "the game's peak memory is ${peak_kib} KiB"
size="$(xwininfo -id "$WID" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')"
[ "$size" = "1280x720" ] || fail "window is $size, not the default 1280x720"
screenshot "$RUN/shot.png"
colours=$(convert "$RUN/shot.png" -format '%k' info:)
[ "$colours" -gt 100 ] || fail "the picture is nearly uniform ($colours colours)"
send_key Escape
wait_exit 30
[ "$EXIT_RC" = 0 ] || fail "exit status $EXIT_RC"

expected="ERROR::ASSIMP:: Did not import assets/canoe.dae: reading it crashed the decoder in a trial run (signal 11)
ERROR::ASSIMP:: Did not import assets/cube.dae: reading it crashed the decoder in a trial run (signal 6)
ERROR::ASSIMP:: Did not import assets/pool2.dae: reading it crashed the decoder in a trial run (signal 11)
ERROR::ASSIMP:: Did not import assets/budman.dae: reading it needed more memory than allowed (256 MiB)"
[ "$(cat "$RUN/stdout")" = "$expected" ] || fail "unexpected output (wanted:
$expected)"
echo "hostile files: ok (peak ${peak_kib} KiB)"
