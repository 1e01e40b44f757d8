# Every C++ and JavaScript file of ours must be as clang-format writes it with the repository's
# .clang-format (vendored files excepted). Prints each file that is not; `clang-format -i`
# mends it.
set -euo pipefail
root="$1"
cd "$root"
if git rev-parse --is-inside-work-tree > /dev/null 2>&1; then
  mapfile -t files < <(git ls-files -- '*.cpp' '*.h' '*.js' '*.mjs')
else
  mapfile -t files < <(find src tools tests bench web -name '*.cpp' -o -name '*.h' -o -name '*.js' \
    -o -name '*.mjs' | grep -v node_modules)
fi
# One run over all files: each file it would change gets "<file>:<line>:<col>: error:" lines.
if ! report="$(clang-format --dry-run --Werror "${files[@]}" 2>&1)"; then
  bad="$(grep -oE '^[^ :]+:[0-9]+:[0-9]+: error' <<<"$report" | cut -d: -f1 | sort -u)"
  [ -n "$bad" ] || { echo "$report"; exit 1; }
  while IFS= read -r f; do echo "FAIL: $f is not formatted (clang-format -i $f)"; done <<<"$bad"
  exit 1
fi
echo "formatting: ${#files[@]} files ok"
