# Replays on the real program: a game played with keys is kept in the player's data folder and,
# watched with --replay, ends on the same ducks; a replay that is not one, or a data folder the
# game cannot write, costs one line on standard error and nothing else.
source "$(dirname "$0")/lib.sh"
link_data
write_settings 320 180 false
export XDG_DATA_HOME="$RUN/data"
replays="$XDG_DATA_HOME/velloran/replays"

start_game
wait_window
settle 2
xdotool mousemove_relative 40 0
hold_key a 1.5
hold_key w 2.5
send_key space
hold_key w 1
quit_game "the played game"
! grep -v '^Sound: ' "$RUN/stderr" | grep -q . || fail "the played game wrote to standard error"
file=$(ls "$replays"/game-*-ducks.vrp 2>/dev/null | head -n 1)
[ -n "$file" ] || fail "no replay kept in $replays"
ducks=$(basename "$file" | sed -E 's/.*-([0-9]+)-ducks\.vrp/\1/')
ducks=$((10#$ducks))

# Watched again in a window of another size: the end says how many ducks were taken.
write_settings 400 300 false
(cd "$RUN" && exec "$BIN" --replay "$file" > "$RUN/stdout" 2> "$RUN/stderr") &
GAME_PID=$!
for ((i = 0; i < 600; i++)); do
  grep -q '^Replay: the end' "$RUN/stderr" && break
  kill -0 "$GAME_PID" 2>/dev/null || fail "the replay ended on its own"
  sleep 0.2
done
grep -qx "Replay: the end, $ducks of 15 ducks" "$RUN/stderr" || fail "the replay did not end on $ducks ducks"
WID="$(xdotool search --pid "$GAME_PID" --name '^Velloran replay' | head -n 1)"
[ -n "$WID" ] || fail "the replay's window does not say it is a replay"
xdotool mousemove 20 20
quit_game "the replay"
[ ! -s "$RUN/stdout" ] || fail "the replay wrote to standard output"

# Files that are not replays: one line each, status 1, no window.
head -c 100 "$file" > "$RUN/cut.vrp"
for bad in "$RUN/cut.vrp" "$RUN/none.vrp" /dev/zero; do
  rc=0
  (cd "$RUN" && timeout 20 "$BIN" --replay "$bad" > "$RUN/stdout" 2> "$RUN/stderr") || rc=$?
  [ "$rc" = 1 ] || fail "$bad: exit status $rc"
  [ "$(wc -l < "$RUN/stderr")" = 1 ] && grep -q "^Replay $bad not played: " "$RUN/stderr" ||
    fail "$bad: not one line saying so"
  [ ! -s "$RUN/stdout" ] || fail "$bad: standard output written"
done

# A data folder the game cannot write: the game plays on and says so once.
echo > "$RUN/notafolder"
XDG_DATA_HOME="$RUN/notafolder" play_briefly "$RUN" "the game without a replay folder"
[ "$(grep -c '^Replay not kept: ' "$RUN/stderr")" = 1 ] || fail "no one note about the lost replay"
echo "replay: kept $(stat -c %s "$file") bytes, replayed to $ducks ducks"
