# lib.sh: shared helpers for the end-to-end tests. Each test runs the real program in a
# temporary folder that links the repository's run-time data and holds its own settings.conf.
set -euo pipefail

BIN="$1"
ROOT="$2"
RUN="$(mktemp -d)"
GAME_PID=""
WID=""

cleanup() {
  if [ -n "$GAME_PID" ] && kill -0 "$GAME_PID" 2>/dev/null; then kill -9 "$GAME_PID" || true; fi
  rm -rf "$RUN"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  if [ -f "$RUN/stdout" ]; then echo "--- program stdout:" >&2; cat "$RUN/stdout" >&2; fi
  if [ -f "$RUN/stderr" ]; then echo "--- program stderr:" >&2; cat "$RUN/stderr" >&2; fi
  exit 1
}

# Copies the run-time data folders into a folder (default the run folder) as hard links (a test
# may replace a file or folder afterwards, after removing it: writing into a linked file changes
# the repository's).
link_data() {  # [folder]
  for d in shader assets textures fonts sounds; do
    if [ -e "$ROOT/$d" ]; then cp -al "$ROOT/$d" "${1:-$RUN}/$d"; fi
  done
}

write_settings() {  # width height fullscreen [folder, default the run folder]
  printf '%s\n%s\n%s\n' "$1" "$2" "$3" > "${4:-$RUN}/settings.conf"
}

start_game() {  # [folder to run in, default the run folder]
  GAME_DIR="${1:-$RUN}"
  # With no window manager the keyboard follows the pointer: put it where the window will be
  # before the game starts, so no later pointer move turns the camera.
  xdotool mousemove 20 20
  # GAME_PRELOAD, when a test sets it, is preloaded into the game (and into a start tried again).
  (cd "$GAME_DIR" && exec env ${GAME_PRELOAD:+LD_PRELOAD="$GAME_PRELOAD"} "$BIN" \
    > "$RUN/stdout" 2> "$RUN/stderr") &
  GAME_PID=$!
}

# Waits (up to $1 seconds, default 60) for the game's window to be mapped; sets WID. A shared
# test machine's virtual display now and then refuses a client for a moment; a start that the
# display refused is tried again (twice at most), anything else fails at once.
wait_window() {
  local limit="${1:-60}" i retries=2
  for ((i = 0; i < limit * 5; i++)); do
    WID="$(xdotool search --onlyvisible --pid "$GAME_PID" --name '^Velloran$' 2>/dev/null | head -n 1 || true)"
    if [ -n "$WID" ]; then return 0; fi
    if ! kill -0 "$GAME_PID" 2>/dev/null; then
      if [ "$retries" -gt 0 ] && grep -q '^ERROR::GLFW:: Could not initialise GLFW' "$RUN/stdout"; then
        retries=$((retries - 1))
        sleep 1
        start_game "$GAME_DIR"
        continue
      fi
      fail "the game exited before its window appeared"
    fi
    sleep 0.2
  done
  fail "no window within ${limit} s"
}

# Waits (up to $1 seconds) for the game to exit; sets EXIT_RC to its exit status.
wait_exit() {
  local limit="${1:-30}" i
  for ((i = 0; i < limit * 5; i++)); do
    if ! kill -0 "$GAME_PID" 2>/dev/null; then
      EXIT_RC=0
      wait "$GAME_PID" || EXIT_RC=$?
      GAME_PID=""
      return 0
    fi
    sleep 0.2
  done
  fail "the game did not exit within ${limit} s"
}

# Keys go through XTEST to the window under the pointer (see start_game).
send_key() {  # key name as xdotool knows it, e.g. Escape, F2
  xdotool key "$1"
}

hold_key() {  # key, seconds
  xdotool keydown "$1"
  sleep "$2"
  xdotool keyup "$1"
}

# Escape, then the game's exit with status 0 within 30 s ($1, if given, names the game in a
# failure).
quit_game() {
  send_key Escape
  wait_exit 30
  [ "$EXIT_RC" = 0 ] || fail "exit status $EXIT_RC${1:+ ($1)}"
}

# A short game: started in a folder (default the run folder), its window up within 90 s,
# 2 s of frames, then quit.
play_briefly() {  # [folder] [name in a failure]
  start_game "${1:-$RUN}"
  wait_window 90
  settle 2
  quit_game "${2:-}"
}

# Lets the game run a few frames (the software renderer is slow, so give it time).
settle() { sleep "${1:-2}"; }

screenshot() {  # file
  import -window "$WID" "$1"
}

# Takes screenshots into $2 until one is not all black, for up to $1 seconds: a busy machine
# may present the first frame well after the window appears. False if none was.
wait_drawn() {  # seconds file
  local i
  for ((i = 0; i < $1 * 2; i++)); do
    screenshot "$2"
    [ "$(convert "$2" -format '%[fx:maxima]' info:)" = 0 ] || return 0
    sleep 0.5
  done
  return 1
}
