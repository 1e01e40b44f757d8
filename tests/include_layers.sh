# The source folders include one another one way only: app -> render -> gfx, app -> input ->
# scene (the input room turns keys, pads and touch into the game's actions), and render ->
# scene (a scene node reads its model's vertices for its box, so scene -> gfx too).
# Nothing below the application shell reaches up into it, and the file trial (trial/) stands
# on nothing of the game. Sound (audio/) stands beside render: it watches the scene and loads
# through the trial, and nothing but the application shell calls it. Prints each offending line.
set -euo pipefail
root="$1"
failed=0
forbid() {  # folder, then the folders it must not include
  local dir="$1" up
  shift
  for up in "$@"; do
    if grep -rnE "^[[:space:]]*#[[:space:]]*include[[:space:]]+\"$up/" "$root/src/$dir"; then
      echo "FAIL: src/$dir includes from $up/"
      failed=1
    fi
  done
}
forbid input app render gfx audio trial
forbid render app audio input
forbid scene app render audio input
forbid gfx app render scene audio input
forbid trial app render scene gfx audio input
forbid audio app render input
[ "$failed" = 0 ] || exit 1
echo "include layers: ok"
