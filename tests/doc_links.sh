# Every relative link in README.md, CONTRIBUTING.md and docs/ must point at a file that exists
# (pictures included), so moving a document or a picture cannot leave a dead link behind.
# Prints each dead link.
set -euo pipefail
root="$1"
failed=0
for doc in "$root"/README.md "$root"/CONTRIBUTING.md "$root"/docs/*.md; do
  dir="$(dirname "$doc")"
  # Markdown links and images: ](target) or ](target "title"); web links and pure anchors skip.
  while IFS= read -r target; do
    target="${target%% *}"
    target="${target%%#*}"
    case "$target" in "" | http://* | https://* | mailto:*) continue ;; esac
    if [ ! -e "$dir/$target" ]; then
      echo "FAIL: ${doc#"$root"/} links to $target, which does not exist"
      failed=1
    fi
  done < <(grep -o '](\([^)]*\))' "$doc" | sed 's/^](//; s/)$//')
done
[ "$failed" = 0 ] || exit 1
echo "document links: ok"
