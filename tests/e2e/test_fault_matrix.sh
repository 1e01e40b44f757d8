# Fault matrix: every run-time file, broken four ways (missing, empty, truncated, garbage).
# For each case the real program must print exactly the expected lines (or nothing), not
# crash, open its window and render, and leave with status 0 on Escape. One table row per
# file; the models' own texture files are added as rows by scanning assets/.
source "$(dirname "$0")/lib.sh"

# Expected standard output, by kind and case, as regular expressions matched line by line.
# "-" means nothing may be printed; "any" allows the kind's lines without requiring one;
# "exit1" means start-up must refuse with one ERROR:: line.
expect() {  # kind case
  local read="ERROR::SHADER::FILE_NOT_SUCCESFULLY_READ"
  case "$1:$2" in
    vertex:missing) printf '%s\n' "^$read\$" '^ERROR::SHADER::VERTEX::COMPILATION_FAILED$' \
                      '^ERROR::SHADER::PROGRAM::LINKING_FAILED$' ;;
    fragment:missing) printf '%s\n' "^$read\$" '^ERROR::SHADER::FRAGMENT::COMPILATION_FAILED$' \
                        '^ERROR::SHADER::PROGRAM::LINKING_FAILED$' ;;
    # Half a shader may still compile (declarations without main); linking then fails.
    vertex:truncated | fragment:truncated) echo '^ERROR::SHADER::PROGRAM::LINKING_FAILED$' ;;
    vertex:*) printf '%s\n' '^ERROR::SHADER::VERTEX::COMPILATION_FAILED$' \
                '^ERROR::SHADER::PROGRAM::LINKING_FAILED$' ;;
    fragment:*) printf '%s\n' '^ERROR::SHADER::FRAGMENT::COMPILATION_FAILED$' \
                  '^ERROR::SHADER::PROGRAM::LINKING_FAILED$' ;;
    model:*) printf '%s\n' '^ERROR::ASSIMP:: .+' ;;
    # Half a font may still open (the glyphs it needs can lie in the first half): then it
    # prints nothing, or a glyph line for each glyph it cannot load.
    font:truncated) echo any ;;
    font:*) printf '%s\n' '^ERROR::FREETYPE: Failed to load font$' ;;
    sound:*) printf '%s\n' '^ERROR::SOUND:: Could not load sounds/[a-z]+\.ogg: .+' ;;
    settings:garbage) echo exit1 ;;
    *) echo - ;;
  esac
}

# Every "ERROR::" line a case may print at all, by kind (driver logs follow some of them).
allowed() {  # kind
  case "$1" in
    vertex) echo '^ERROR::SHADER::(FILE_NOT_SUCCESFULLY_READ|VERTEX::COMPILATION_FAILED|PROGRAM::LINKING_FAILED)$' ;;
    fragment) echo '^ERROR::SHADER::(FILE_NOT_SUCCESFULLY_READ|FRAGMENT::COMPILATION_FAILED|PROGRAM::LINKING_FAILED)$' ;;
    model) echo '^ERROR::ASSIMP:: ' ;;
    font) echo '^ERROR::(FREETYPE: Failed to load font|FREETYTPE: Failed to load Glyph)$' ;;
    sound) echo '^ERROR::SOUND:: Could not load ' ;;
    *) echo '^$' ;;
  esac
}

# The table: file (relative to the data root) and its kind. The images and the models each
# share one row, every file of the row broken the same way in one start: a broken image prints
# nothing whichever it is, and each broken model its own line, so one start checks them all
# (one start per file made this test about four fifths of the suite's time).
rows=()
for stem in lamp water waterRefractionAlpha text screen skybox shadow_mapping shadow_mapping_depth; do
  rows+=("shader/$stem.vertex vertex" "shader/$stem.fragment fragment")
done
models=""
for m in duck/duck canoe driver driverArms cube platform2 pool2 pool3 budman; do
  models+="${models:+,}assets/$m.dae"
done
rows+=("$models model")
images=""
for f in skybox/posx.jpg skybox/negx.jpg skybox/posy.jpg skybox/negy.jpg skybox/posz.jpg \
         skybox/negz.jpg defaultwater.png ground.jpg; do
  images+="${images:+,}textures/$f"
done
while IFS= read -r f; do images+=",${f#"$ROOT"/}"; done \
  < <(find "$ROOT/assets" -type f \( -name '*.png' -o -name '*.jpg' \) | sort)
rows+=("$images image" "fonts/OpenSans-Regular.ttf font" "settings.conf settings")

garbage_source="$BIN"  # the program's own bytes: binary, deterministic, not a valid anything

make_case() {  # dir files (comma-separated) case
  local dir="$1" how="$3" file
  local -a files
  IFS=, read -ra files <<<"$2"
  for file in "${files[@]}"; do break_file "$dir" "$file" "$how"; done
}

break_file() {  # dir file case
  local dir="$1" file="$2" how="$3" target="$1/$2"
  local size
  size=$(stat -c %s "$ROOT/$file" 2>/dev/null || echo 4096)
  rm -f "$target"
  case "$how" in
    missing) ;;
    empty) : > "$target" ;;
    truncated) head -c $((size / 2)) "$ROOT/$file" > "$target" ;;
    garbage) dd if="$garbage_source" of="$target" bs=1 skip=4096 count="$size" status=none ;;
  esac
}

run_case() {  # file kind case
  local file="$1" kind="$2" how="$3" dir="$RUN/case"
  echo "case: $file $how"
  rm -rf "$dir"; mkdir -p "$dir"
  # Hard-linked copies are cheap; the broken file is replaced, never written through.
  for d in shader assets textures fonts sounds; do cp -al "$ROOT/$d" "$dir/$d"; done
  printf '320\n240\nfalse\n' > "$dir/settings.conf"
  make_case "$dir" "$file" "$how"

  start_game "$dir"
  local expected
  expected="$(expect "$kind" "$how")"
  # A row of models expects its line once for each of them.
  if [ "$kind" = model ]; then
    expected="$(tr ',' '\n' <<<"$file" | while read -r _; do echo "$expected"; done)"
  fi
  if [ "$expected" = exit1 ]; then
    wait_exit 30
    [ "$EXIT_RC" = 1 ] || fail "$file $how: exit status $EXIT_RC, expected 1"
    grep -q '^ERROR::' "$RUN/stdout" || fail "$file $how: no ERROR:: line"
    return
  fi
  wait_window 60
  # The window renders: poll until a presented frame shows (start-up takes a moment).
  local shown=0 i
  for ((i = 0; i < 40; i++)); do
    sleep 0.5
    screenshot "$RUN/shot.png"
    if [ "$(convert "$RUN/shot.png" -format '%[fx:maxima]' info:)" != 0 ]; then
      shown=1
      break
    fi
  done
  [ "$shown" = 1 ] || fail "$file $how: the window shows nothing"
  send_key Escape
  wait_exit 30
  [ "$EXIT_RC" = 0 ] || fail "$file $how: exit status $EXIT_RC"
  if [ "$expected" = - ]; then
    [ ! -s "$RUN/stdout" ] || fail "$file $how: expected no output"
  elif [ "$expected" = any ]; then
    local stray
    stray="$(grep -Ev "$(allowed "$kind")" "$RUN/stdout" || true)"
    [ -z "$stray" ] || fail "$file $how: unexpected lines: $stray"
  else
    # Every printed line is an expected one (logs may follow), and each expected line appears
    # in order.
    local log="$RUN/stdout" pattern line=0
    while IFS= read -r pattern; do
      line=$(awk -v p="$pattern" -v from="$line" 'NR > from && $0 ~ p { print NR; exit }' "$log")
      [ -n "$line" ] || fail "$file $how: missing line matching $pattern"
    done <<<"$expected"
    local stray
    stray="$(grep '^ERROR::' "$log" | grep -Ev "$(allowed "$kind")" || true)"
    [ -z "$stray" ] || fail "$file $how: unexpected lines: $stray"
  fi
  if grep -qiE 'sanitizer|segmentation|abort' "$RUN/stderr"; then
    fail "$file $how: crash report on stderr"
  fi
}

# One case per virtual display, each on a server number of its own: about 190 game starts on
# one display, or on a reused number, now and then left the game unable to connect at all.
# That is the test machine, not the game, so such a start is tried again (twice at most).
# Since every case has its own display (keys go to the focused window of that display only),
# two cases run at once: most of a case is waiting for the game's start and exit.
if [ "${3:-}" = --case ]; then
  run_case "$4" "$5" "$6"
  exit 0
fi

one_case() {  # number file kind case; leaves case<number>.failed behind on failure
  local attempt log="$RUN/case$1.log"
  for attempt in 1 2 3; do
    if xvfb-run -a -n $((200 + $1 * 3 + attempt)) -s "-screen 0 1920x1080x24" \
        bash "${BASH_SOURCE[0]}" "$BIN" "$ROOT" --case "$2" "$3" "$4" > "$log" 2>&1; then
      return 0
    fi
    grep -q 'Failed to open display' "$log" || break
    sleep 1
  done
  touch "$RUN/case$1.failed"
}

only="${FAULT_MATRIX_ONLY:-.}"  # a regular expression to run only some files' rows
at_once="${FAULT_MATRIX_JOBS:-2}"
cases=0
for row in "${rows[@]}"; do
  set -- $row
  grep -Eq -- "$only" <<<"$1" || continue
  for how in missing empty truncated garbage; do
    cases=$((cases + 1))
    while [ "$(jobs -rp | wc -l)" -ge "$at_once" ]; do wait -n || true; done
    one_case "$cases" "$1" "$2" "$how" &
  done
done
wait
failures=0
for ((n = 1; n <= cases; n++)); do
  if [ -e "$RUN/case$n.failed" ]; then
    failures=$((failures + 1))
    cat "$RUN/case$n.log" >&2
  fi
done
[ "$failures" = 0 ] || fail "$failures of $cases fault cases failed"
echo "fault matrix: $cases cases passed"
