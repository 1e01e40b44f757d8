# The .deb that cpack makes must pass lintian without an error: copyright, changelog, manual
# page, a stripped program with its symbols in a separate package, the launcher in /usr/games.
set -euo pipefail
build="$1"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" > "$out/cpack.log" 2>&1) || { tail -20 "$out/cpack.log"; exit 1; }
deb="$(ls "$out"/*.deb)"
# As root lintian would refuse to unpack; it is only reading.
lintian --allow-root --fail-on error --tag-display-limit 0 "$deb"
[ -n "$(ls "$out"/*.ddeb 2>/dev/null)" ] || { echo "FAIL: no debugging-symbols package"; exit 1; }
echo "package: lintian finds no error in $(basename "$deb")"
