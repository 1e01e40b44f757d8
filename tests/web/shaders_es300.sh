# Every shader pair as the browser gets it: derived by the bake step, then compiled and linked
# by the reference front-end as GLSL ES 3.00. Any error or warning fails.
set -euo pipefail
bake="$1"
root="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$bake" "$root" "$work"
failed=0
pairs=0
for vertex in "$work"/shader/*.vertex; do
  stem="${vertex%.vertex}"
  pairs=$((pairs + 1))
  if ! head -n 1 "$vertex" "$stem.fragment" | grep -q '^#version 300 es$'; then
    echo "FAIL: $(basename "$stem") is not GLSL ES 3.00"; failed=1
  fi
  # The front-end takes each file's stage from its extension.
  cp "$vertex" "$stem.vert"
  cp "$stem.fragment" "$stem.frag"
  if ! log="$(glslangValidator -l "$stem.vert" "$stem.frag" 2>&1)" ||
    grep -qiE 'error|warning' <<<"$log"; then
    echo "FAIL: $(basename "$stem")"; echo "$log"; failed=1
  fi
done
[ "$pairs" -eq "$(ls "$root"/shader/*.vertex | wc -l)" ] || { echo "FAIL: $pairs pairs derived"; failed=1; }
echo "$pairs pairs derived and checked as GLSL ES 3.00"
exit "$failed"
