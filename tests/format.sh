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
failed=0
for f in "${files[@]}"; do
  if ! clang-format --dry-run --Werror "$f" > /dev/null 2>&1; then
    echo "FAIL: $f is not formatted (clang-format -i $f)"
    failed=1
  fi
done
[ "$failed" = 0 ] || exit 1
echo "formatting: ${#files[@]} files ok"
