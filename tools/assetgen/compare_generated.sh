#!/usr/bin/env bash
# Regenerates the run-time data into a scratch folder and compares every file with the
# committed one byte for byte. The only lines allowed to differ are the <created> and
# <modified> dates the COLLADA exporter stamps into each model.
# Usage: compare_generated.sh <assetgen-binary> <repo-root>
set -euo pipefail
gen="$1"
root="$2"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

"$gen" "$scratch" >/dev/null

status=0
strip_dates() { grep -v -E '^[[:space:]]*<(created|modified)>[^<]*</(created|modified)>[[:space:]]*$' "$1"; }

# Every generated file must be committed and identical.
while IFS= read -r rel; do
  committed="$root/$rel"
  if [ ! -f "$committed" ]; then
    echo "missing from the repository: $rel"
    status=1
  elif [[ "$rel" == *.dae ]]; then
    if ! cmp -s <(strip_dates "$scratch/$rel") <(strip_dates "$committed"); then
      echo "differs from the generator's output: $rel"
      status=1
    fi
    # Exactly two date lines may differ, nothing else.
    if [ "$(diff "$scratch/$rel" "$committed" | grep -c '^[<>]' || true)" -gt 4 ]; then
      echo "more than the date lines differ: $rel"
      status=1
    fi
  elif ! cmp -s "$scratch/$rel" "$committed"; then
    echo "differs from the generator's output: $rel"
    status=1
  fi
done < <(cd "$scratch" && find assets textures sounds -type f | sort)

# And nothing stale may linger beside them.
while IFS= read -r rel; do
  if [ ! -f "$scratch/$rel" ]; then
    echo "committed but no longer generated: $rel"
    status=1
  fi
done < <(cd "$root" && find assets textures sounds -type f | sort)

if [ "$status" -ne 0 ]; then
  echo "regenerate with: build/tools/assetgen/assetgen ."
fi
exit "$status"
