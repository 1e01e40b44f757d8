# Hostile data: files that crash, abort, exhaust or recurse the system decoders when read
# directly, and files that block, never end, flood the game or reach outside its folder, all
# in one start. The game must print each model's and sound's failure line, nothing for the
# images (they get the fallback texture), open its window with the default size from an endless
# settings.conf, stay within bounded memory and time, never open the file outside its folder,
# and leave with status 0 on Escape.
source "$(dirname "$0")/lib.sh"
FUZZ="${VELLORAN_FUZZ:?path of velloran_fuzz}"

# The game's folder is a hard-linked copy of the data folders, so single files can be
# replaced; beside it lies the player's private picture, which no model may reach.
GAME="$RUN/game"
mkdir -p "$GAME" "$RUN/outside"
for d in shader assets textures fonts sounds; do cp -al "$ROOT/$d" "$GAME/$d"; done
cp "$ROOT/textures/ground.jpg" "$RUN/outside/private.jpg"
hostile() {  # path under the game's folder; the new contents come from standard input
  rm -f "$GAME/$1"
  cat > "$GAME/$1"
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
# SOIL's inflate (its first block claims dynamic codes), an Ogg that crashes stb_vorbis.
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
first_case ogg 139 | hostile sounds/squeak.ogg
# Sixty-five materials, each naming its own texture, and every texture a FIFO that would
# block whoever opens it: each costs an open that fails at once, not a worker's timeout, and
# the game refuses a model with more than 64 texture files.
perl -0777 -pe 'for my $tag ("image", "effect", "material", "node") {
    s{(<$tag .*?</$tag>)}{my $b = $1; join "", map { (my $c = $b) =~ s/crate_wood/crate_wood$_/g;
      $c =~ s/crate\.jpg/fifo$_.jpg/g; $c =~ s/"cube"/"cube$_"/g; $c } 1..65}se }' \
  "$ROOT/assets/cube.dae" | hostile assets/platform2.dae
for ((i = 1; i <= 65; i++)); do mkfifo "$GAME/assets/fifo$i.jpg"; done
# Forty thousand nodes that all instance one mesh: the game's cap on meshes refuses it.
perl -0777 -pe 's{(<node .*?</node>)}{my $b = $1; join "", map { (my $c = $b) =~ s/"cube"/"n$_"/g; $c } 1..40000}se' \
  "$ROOT/assets/cube.dae" | hostile assets/driver.dae
# Textures that leave the model's folder: climbing out with "..", and by an absolute name.
sed "s|<init_from>duck.jpg|<init_from>../../../outside/private.jpg|" \
  "$ROOT/assets/duck/duck.dae" | hostile assets/duck/duck.dae
sed "s|<init_from>driver.jpg|<init_from>$RUN/outside/private.jpg|" \
  "$ROOT/assets/driverArms.dae" | hostile assets/driverArms.dae
# settings.conf as an endless stream.
ln -s /dev/zero "$GAME/settings.conf"

# The handmade models really are hostile: read directly (no trial) they take the reader down.
for f in assets/canoe.dae assets/cube.dae assets/pool2.dae; do
  rc=0
  "$FUZZ" --direct dae "$GAME/$f" > /dev/null 2>&1 || rc=$?
  [ "$rc" -ge 128 ] || fail "$f no longer crashes Assimp when read directly (status $rc)"
done

# Every access to the outside folder is logged; there must be none.
inotifywait -q -m -e open,access "$RUN/outside" > "$RUN/outside.log" 2>/dev/null &
WATCH_PID=$!
sleep 0.5
start=$(date +%s)
start_game "$GAME"
wait_window 60
window_s=$(($(date +%s) - start))
[ "$window_s" -le 20 ] || fail "the window took ${window_s} s"
# The first frame comes once the shaders are built, later on a busy machine.
wait_drawn 60 "$RUN/shot.png" || fail "the window shows nothing"
settle 3
peak_kib=$(awk '/^VmHWM/ {print $2}' "/proc/$GAME_PID/status")
[ "$peak_kib" -lt $((1024 * 1024)) ] || fail "the game's peak memory is ${peak_kib} KiB"
size="$(xwininfo -id "$WID" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')"
[ "$size" = "1280x720" ] || fail "window is $size, not the default 1280x720"
# The window appears before the shader trial is done: the first frame may come seconds later.
wait_drawn 60 "$RUN/shot.png" || fail "the window shows nothing"
colours=$(convert "$RUN/shot.png" -format '%k' info:)
[ "$colours" -gt 100 ] || fail "the picture is nearly uniform ($colours colours)"
send_key Escape
wait_exit 30
[ "$EXIT_RC" = 0 ] || fail "exit status $EXIT_RC"
kill "$WATCH_PID" 2>/dev/null || true
[ ! -s "$RUN/outside.log" ] || fail "the outside folder was opened: $(cat "$RUN/outside.log")"

expected="ERROR::ASSIMP:: Did not import assets/canoe.dae: reading it crashed the decoder in a trial run (signal 11)
ERROR::ASSIMP:: Did not import assets/driver.dae: it has more meshes than allowed (1024)
ERROR::ASSIMP:: Did not import assets/cube.dae: reading it crashed the decoder in a trial run (signal 6)
ERROR::ASSIMP:: Did not import assets/platform2.dae: it has more texture files than allowed (64)
ERROR::ASSIMP:: Did not import assets/pool2.dae: reading it crashed the decoder in a trial run (signal 11)
ERROR::ASSIMP:: Did not import assets/budman.dae: reading it needed more memory than allowed (256 MiB)
ERROR::SOUND:: Could not load sounds/squeak.ogg: reading it crashed the decoder in a trial run (signal 11)"
[ "$(cat "$RUN/stdout")" = "$expected" ] || fail "unexpected output (wanted:
$expected)"
echo "hostile files: ok (window after ${window_s} s, peak ${peak_kib} KiB)"
