# Every shader pair in shader/ through the Khronos reference GLSL front-end (glslangValidator),
# linked as a pair, as the GLSL 330 core each file must declare. Drivers differ in what they let
# through; the reference front-end is the strict common ground. Each pair is checked twice: as
# written, and with every extension it enables made unknown, as on a driver that lacks them, so
# the fallback paths must compile too. Any error, and any warning beyond "extension not
# supported" for the extensions switched off, fails.
set -euo pipefail
root="$1"
command -v glslangValidator >/dev/null ||
  { echo "FAIL: glslangValidator is missing (scripts/setup installs glslang-tools)"; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

failed=0
pairs=0
for vertex in "$root"/shader/*.vertex; do
  stem="$(basename "$vertex" .vertex)"
  fragment="$root/shader/$stem.fragment"
  if [ ! -f "$fragment" ]; then echo "FAIL: $stem has no fragment stage"; failed=1; continue; fi
  pairs=$((pairs + 1))
  for file in "$vertex" "$fragment"; do
    first="$(head -n 1 "$file" | tr -d '\r')"
    if [ "$first" != "#version 330 core" ]; then
      echo "FAIL: ${file#"$root"/} starts with '$first', not '#version 330 core'"
      failed=1
    fi
  done
  # The extensions the pair enables; "off" renames them wherever they appear (directive and
  # #ifdef tests), which is exactly what a driver without them sees.
  extensions="$(sed -nE 's/^[[:space:]]*#[[:space:]]*extension[[:space:]]+([A-Za-z0-9_]+).*/\1/p' \
    "$vertex" "$fragment" | sort -u)"
  for mode in available off; do
    mkdir -p "$work/$mode"
    rename=""
    expected='^$'
    if [ "$mode" = off ]; then
      for e in $extensions; do
        rename="$rename s/\\b$e\\b/${e}_unavailable/g;"
        expected="$expected|extension not supported: ${e}_unavailable\$"
      done
    fi
    # glslangValidator takes each file's stage from its suffix.
    sed "$rename" "$vertex" > "$work/$mode/$stem.vert"
    sed "$rename" "$fragment" > "$work/$mode/$stem.frag"
    rc=0
    out="$(cd "$work/$mode" && glslangValidator -l "$stem.vert" "$stem.frag" 2>&1)" || rc=$?
    # The validator names each file on a line of its own; everything else is a finding.
    findings="$(grep -vE "^($stem\\.vert|$stem\\.frag)?\$" <<<"$out" | grep -vE "$expected" || true)"
    if [ "$rc" != 0 ] || [ -n "$findings" ]; then
      echo "FAIL: $stem ($mode, status $rc):"
      echo "$out"
      failed=1
    fi
  done
done
[ "$pairs" -gt 0 ] || { echo "FAIL: no shader pairs under $root/shader"; exit 1; }
[ "$failed" = 0 ] || exit 1
echo "strict GLSL: $pairs pairs clean, with and without their optional extensions"
