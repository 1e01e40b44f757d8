# Installing: `cmake --install` into a temporary prefix gives a launcher that starts the game
# from its data folder whatever the working directory; CPack builds a .deb with its library
# dependencies.
source "$(dirname "$0")/lib.sh"
build="$(dirname "$BIN")"
prefix="$RUN/prefix"

cmake --install "$build" --prefix "$prefix" > "$RUN/install.log" || fail "install: $(cat "$RUN/install.log")"
for f in bin/velloran libexec/velloran/velloran share/velloran/settings.conf \
         share/velloran/fonts/OpenSans-Regular.ttf share/applications/velloran.desktop \
         share/icons/hicolor/256x256/apps/velloran.png; do
  [ -e "$prefix/$f" ] || fail "not installed: $f"
done
desktop-file-validate "$prefix/share/applications/velloran.desktop" 2>/dev/null || true

BIN="$prefix/bin/velloran"
mkdir -p "$RUN/elsewhere"
start_game "$RUN/elsewhere"
wait_window
settle 3
send_key Escape
wait_exit 30
[ "$EXIT_RC" = 0 ] || fail "installed game exited with $EXIT_RC"
[ ! -s "$RUN/stdout" ] || fail "installed game printed something"

(cd "$build" && cpack -G DEB -B "$RUN/pkg" > "$RUN/cpack.log" 2>&1) || fail "cpack: $(tail -20 "$RUN/cpack.log")"
deb="$(ls "$RUN"/pkg/*.deb | head -n 1)"
depends="$(dpkg-deb -f "$deb" Depends)"
for lib in libglfw3 libglew libassimp libfreetype6 libsoil libgl1-mesa-dri; do
  grep -q "$lib" <<<"$depends" || fail "package does not depend on $lib: $depends"
done
contents="$(dpkg-deb -c "$deb")"
grep -q './usr/bin/velloran$' <<<"$contents" || fail "package lacks /usr/bin/velloran"
echo "install: ok ($(du -k "$deb" | cut -f1) KiB; Depends: $depends)"
