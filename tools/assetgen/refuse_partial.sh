#!/usr/bin/env bash
# The generator must never leave half-written output: when any file cannot be written it exits
# non-zero, leaves every existing file as it was and removes its staging folder.
# Usage: refuse_partial.sh <assetgen-binary>
set -euo pipefail
gen="$1"
scratch="$(mktemp -d)"
trap 'chmod -R u+w "$scratch" 2>/dev/null; rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# A complete, good generation to start from.
"$gen" "$scratch" >/dev/null || fail "a clean generation failed"
before="$(cd "$scratch" && find . -type f -print0 | sort -z | xargs -0 md5sum)"

# Block one output folder: textures/skybox becomes a plain file.
rm -rf "$scratch/textures/skybox.bak"
mv "$scratch/textures/skybox" "$scratch/textures/skybox.bak"
echo "not a folder" > "$scratch/textures/skybox"
if "$gen" "$scratch" >/dev/null 2>&1; then fail "generation succeeded with textures/skybox blocked"; fi
rm "$scratch/textures/skybox"
mv "$scratch/textures/skybox.bak" "$scratch/textures/skybox"
after="$(cd "$scratch" && find . -type f -print0 | sort -z | xargs -0 md5sum)"
[ "$before" == "$after" ] || fail "files changed although the generation failed"
if ls -a "$scratch" | grep -q '^\.assetgen-'; then fail "a staging folder was left behind"; fi

# A root that does not exist, and a missing argument, are refused.
if "$gen" "$scratch/nowhere" >/dev/null 2>&1; then fail "accepted a missing output root"; fi
if "$gen" >/dev/null 2>&1; then fail "accepted no arguments"; fi
echo "ok"
