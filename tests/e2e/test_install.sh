# Installing: `cmake --install` into a temporary prefix gives a launcher that starts the game
# from its data folder whatever the working directory, its font a link to Debian's; CPack builds
# a .deb with its library dependencies (static.package runs lintian on it).
source "$(dirname "$0")/lib.sh"
build="$(dirname "$BIN")"
prefix="$RUN/prefix"

cmake --install "$build" --prefix "$prefix" > "$RUN/install.log" || fail "install: $(cat "$RUN/install.log")"
for f in games/velloran libexec/velloran/velloran share/velloran/settings.conf \
         share/velloran/fonts/OpenSans-Regular.ttf share/applications/velloran.desktop \
         share/icons/hicolor/256x256/apps/velloran.png share/man/man6/velloran.6.gz \
         share/doc/velloran/copyright share/doc/velloran/changelog.gz; do
  [ -e "$prefix/$f" ] || fail "not installed: $f"
done
[ "$(readlink "$prefix/share/velloran/fonts/OpenSans-Regular.ttf")" = \
  /usr/share/fonts/truetype/open-sans/OpenSans-Regular.ttf ] || fail "the font is not Debian's"
desktop-file-validate "$prefix/share/applications/velloran.desktop" 2>/dev/null || true

BIN="$prefix/games/velloran"
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
for lib in libglfw3 libglew libassimp libfreetype6 libsoil libgl1-mesa-dri fonts-open-sans; do
  grep -q "$lib" <<<"$depends" || fail "package does not depend on $lib: $depends"
done
contents="$(dpkg-deb -c "$deb")"
grep -q './usr/games/velloran$' <<<"$contents" || fail "package lacks /usr/games/velloran"
echo "install: ok ($(du -k "$deb" | cut -f1) KiB; Depends: $depends)"
