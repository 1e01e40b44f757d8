# Hostile shader files, all in one start: a few lines of nested macros that make the GL
# driver's compiler take gigabytes and crash (generated here), a FIFO, a link to /dev/zero and
# a file over the size cap. The game must print each pair's lines (a read failure for the three
# files it cannot read, the trial's reason for the macro bomb), open its window in bounded time
# and memory, render, leave with status 0 on Escape and leave no process behind.
source "$(dirname "$0")/lib.sh"

# Hard-linked copies of the data folders, so single files can be replaced (a model's textures
# may not be links out of its folder).
for d in shader assets textures fonts sounds; do cp -al "$ROOT/$d" "$RUN/$d"; done
write_settings 640 360 false  # the size plays no part here
rm -f "$RUN"/shader/{text.fragment,water.fragment,skybox.vertex,shadow_mapping.fragment}

# Each macro doubles the one before, 24 deep: 16 million terms from under 1 KB.
{
  echo '#version 330 core'
  echo '#define D0 1.0'
  for ((i = 1; i <= 24; i++)); do echo "#define D$i (D$((i - 1)) + D$((i - 1)))"; done
  echo 'out vec4 color;'
  echo 'void main() { color = vec4(D24); }'
} > "$RUN/shader/text.fragment"
ln -s /dev/zero "$RUN/shader/water.fragment"
mkfifo "$RUN/shader/skybox.vertex"
{
  echo '#version 330 core'
  echo 'out vec4 color;'
  echo 'void main() { float x = 0.0;'
  yes '  x = x + 1.0;' | head -c $((300 * 1024)) || true
  echo '  color = vec4(x); }'
} > "$RUN/shader/shadow_mapping.fragment"

start=$(date +%s)
start_game
wait_window 60
[ $(($(date +%s) - start)) -le 30 ] || fail "start-up took over 30 s"
# With the lit, water, sky and text programs refused little is drawn, but frames are: the
# window is cleared to its grey, not left black.
wait_drawn 60 "$RUN/shot.png" || fail "the window shows nothing"
peak_kib=$(awk '/^VmHWM/ {print $2}' "/proc/$GAME_PID/status")
[ "$peak_kib" -lt $((1024 * 1024)) ] || fail "the game's peak memory is ${peak_kib} KiB"
send_key Escape
wait_exit 30
[ "$EXIT_RC" = 0 ] || fail "exit status $EXIT_RC"
for p in /proc/[0-9]*; do
  [ "$(readlink "$p/cwd" 2>/dev/null)" != "$RUN" ] || fail "process ${p#/proc/} outlived the game"
done

# The ERROR lines and the trial's reasons; the driver's own logs for the unread (empty)
# sources vary with the driver and are left out.
read="ERROR::SHADER::FILE_NOT_SUCCESFULLY_READ"
fragment="ERROR::SHADER::FRAGMENT::COMPILATION_FAILED"
link="ERROR::SHADER::PROGRAM::LINKING_FAILED"
memory="compiling it needed more memory than allowed (256 MiB)"
expected="$read
$fragment
$link
$fragment
$memory
$link
$memory
$read
ERROR::SHADER::VERTEX::COMPILATION_FAILED
$link
$read
$fragment
$link"
got="$(grep -E '^(ERROR::|compiling it|linking it|it (was|could) not)' "$RUN/stdout" || true)"
[ "$got" = "$expected" ] || fail "unexpected lines:
$got
(wanted:
$expected)"
echo "hostile shaders: ok (peak ${peak_kib} KiB)"
