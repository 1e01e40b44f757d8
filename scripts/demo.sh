#!/usr/bin/env bash
# The headless demo behind scripts/play: runs the game on the current (virtual) display,
# drives it with xdotool, saves screenshots in out/ and closes it with Escape.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
bin="${VELLORAN_BIN:-$root/build/velloran}"
mkdir -p out

# The keyboard follows the pointer on a display without a window manager: put the pointer
# where the window will be before it opens, so no later move turns the camera.
xdotool mousemove 20 20
"$bin" > out/demo-stdout.txt 2>&1 &
pid=$!
wid=""
for _ in $(seq 1 300); do
  wid="$(xdotool search --onlyvisible --pid "$pid" --name '^Velloran$' 2>/dev/null | head -n 1 || true)"
  [ -n "$wid" ] && break
  kill -0 "$pid" 2>/dev/null || { echo "play: the game exited early"; cat out/demo-stdout.txt; exit 1; }
  sleep 0.2
done
[ -n "$wid" ] || { echo "play: no window appeared"; kill "$pid"; exit 1; }

shot() { sleep "${2:-1}"; import -window "$wid" "out/$1.png"; echo "play: saved out/$1.png"; }
hold() { xdotool keydown "$1"; sleep "$2"; xdotool keyup "$1"; }

shot 01-start 3
hold w 2.5
shot 02-paddling 0.5
hold a 1.2
hold w 1.5
xdotool key space
shot 03-jump 0.4
sleep 2
xdotool key F6
shot 04-free-camera 1.5
xdotool key F2
shot 05-frame-time 1.5
xdotool key Escape
rc=0
wait "$pid" || rc=$?
echo "play: the game exited with status $rc; screenshots are in $root/out/"
exit "$rc"
