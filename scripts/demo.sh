#!/usr/bin/env bash
# The headless demo behind scripts/play: the autopilot plays one winning game on the current
# (virtual) display, through the game's whole start-up, its real frame sequence and its key
# handling, on a fixed clock of 30 frames per second. Screenshots of the moments worth seeing
# go to out/, the last one the "GAME OVER" screen; the game ends with Escape as a player's would.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
bin="${VELLORAN_AUTOPLAY:-$root/build/tools/autopilot/autoplay}"
mkdir -p out
rm -f out/0[0-9]-*.png

# Every sixth frame is drawn (and every screenshot): the software renderer needs tens of
# milliseconds a frame, and the frames between only run the game's rules.
rc=0
"$bin" --shots out --draw-every 6 > out/demo-log.txt 2>&1 || rc=$?
sed -n 's/^saved /play: saved /p' out/demo-log.txt
won="$(sed -n 's/^autoplay: won: /play: the autopilot won: /p' out/demo-log.txt)"
if [ "$rc" -ne 0 ] || [ -z "$won" ]; then
  echo "play: the demo failed (status $rc); its log:"
  cat out/demo-log.txt
  exit 1
fi
echo "$won"
echo "play: the game exited with status $rc; the winning game's pictures are in $root/out/"
