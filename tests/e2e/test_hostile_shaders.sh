# Hostile shader files, all in one start: a few lines of nested macros that make the GL
# driver's compiler take gigabytes and crash (generated here), a sky that compiles at once but
# whose first draw would keep the software renderer generating code for minutes, a FIFO, a
# link to /dev/zero and a file over the size cap. The game must print each pair's lines (a
# read failure for the three files it cannot read, the trial's reason for the two bombs), open
# its window in bounded time and memory, render, leave with status 0 on Escape and leave no
# process behind.
source "$(dirname "$0")/lib.sh"

link_data
write_settings 640 360 false  # the size plays no part here
rm -f "$RUN"/shader/{lamp.vertex,text.fragment,water.fragment,skybox.fragment,shadow_mapping.fragment}

# Each macro doubles the one before, 24 deep: 16 million terms from under 1 KB.
{
  printf '%s\n' '#version 330 core' '#define D0 1.0'
  for ((i = 1; i <= 24; i++)); do echo "#define D$i (D$((i - 1)) + D$((i - 1)))"; done
  printf '%s\n' 'out vec4 color;' 'void main() { color = vec4(D24); }'
} > "$RUN/shader/text.fragment"
# 1 200 chained steps, 56 KB: compiled and linked in about a second, drawn first in far more
# than the trial's 5 s (3 600 such steps held the first frame 79 s at 742 MB).
{
  printf '%s\n' '#version 330 core' 'out vec4 FragColor;' 'in vec3 TexCoords;' \
    'uniform samplerCube skybox;' 'void main() {' '  float x = TexCoords.x;'
  for ((i = 0; i < 1200; i++)); do echo '  x = fract(sin(x) * 43758.5 + cos(x * 78.2));'; done
  printf '%s\n' '  FragColor = vec4(texture(skybox, TexCoords).rgb * x, 1.0);' '}'
} > "$RUN/shader/skybox.fragment"
ln -s /dev/zero "$RUN/shader/water.fragment"
mkfifo "$RUN/shader/lamp.vertex"
{
  printf '%s\n' '#version 330 core' 'out vec4 color;' 'void main() { float x = 0.0;'
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
quit_game
for p in /proc/[0-9]*; do
  [ "$(readlink "$p/cwd" 2>/dev/null)" != "$RUN" ] || fail "process ${p#/proc/} outlived the game"
done

# The ERROR lines and the trial's reasons; the driver's own logs for the unread (empty)
# sources vary with the driver and are left out. The sky's draw meets the time or the memory
# limit first, as the machine's load has it.
read="ERROR::SHADER::FILE_NOT_SUCCESFULLY_READ"
fragment="ERROR::SHADER::FRAGMENT::COMPILATION_FAILED"
link="ERROR::SHADER::PROGRAM::LINKING_FAILED"
memory="compiling it needed more memory than allowed (256 MiB)"
sky="drawing it: over a limit"
expected="$read
ERROR::SHADER::VERTEX::COMPILATION_FAILED
$link
$read
$fragment
$link
$fragment
$memory
$link
$memory
$link
$sky
$read
$fragment
$link"
got="$(grep -E '^(ERROR::|compiling it|linking it|drawing it|it (was|could) not)' "$RUN/stdout" |
  sed -E 's/^drawing it (took too long \(over 5 s\)|needed more memory than allowed \(256 MiB\))$/drawing it: over a limit/' || true)"
[ "$got" = "$expected" ] || fail "unexpected lines:
$got
(wanted:
$expected)"
echo "hostile shaders: ok (peak ${peak_kib} KiB)"
