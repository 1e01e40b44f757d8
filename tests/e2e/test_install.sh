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

# The player's own folders, fresh; the data folder's state, to see that nothing writes there.
export HOME="$RUN/home" XDG_CONFIG_HOME="$RUN/config" XDG_DATA_HOME="$RUN/data"
mkdir -p "$HOME"
data_state() { find "$prefix/share/velloran" -printf '%p %s %T@ %m\n' | sort; }
data_before="$(data_state)"
player="$XDG_CONFIG_HOME/velloran"

# Plays once from elsewhere, up to Escape; the window's width must be $1.
play_installed() {
  start_game "${3:-$RUN/elsewhere}"
  wait_window
  grep -q "Width: $1\$" <<<"$(xwininfo -id "$WID")" || fail "width is not $1 ($2)"
  settle 3
  quit_game "$2"
  [ ! -s "$RUN/stdout" ] || fail "installed game printed something ($2)"
}

BIN="$prefix/games/velloran"
mkdir -p "$RUN/elsewhere"
play_installed 1280 "first start"
grep -q '^# volume = 100' "$player/options.conf" || fail "no commented options.conf offered"
printf '800\n600\nfalse\n' > "$player/settings.conf"
play_installed 800 "the player's settings"
# Started directly in the data folder, the player's files are not read.
BIN="$prefix/libexec/velloran/velloran"
play_installed 1280 "a direct start" "$prefix/share/velloran"

# A player folder the game cannot write, and one it cannot make: still played. Root writes
# anywhere, so the game then runs without the capabilities that let it.
printf '#!/bin/sh\n[ "$(id -u)" = 0 ] || exec "%s"\nexec setpriv --bounding-set=-dac_override,-dac_read_search "%s"\n' \
  "$prefix/games/velloran" "$prefix/games/velloran" > "$RUN/unprivileged"
chmod +x "$RUN/unprivileged"
BIN="$RUN/unprivileged"
rm "$player/options.conf"
chmod 500 "$player"
play_installed 800 "a read-only player folder"
[ ! -e "$player/options.conf" ] || fail "wrote into a read-only player folder"
chmod 700 "$player"
mkdir -m 500 "$RUN/locked"
XDG_CONFIG_HOME="$RUN/locked/config" play_installed 1280 "no player folder"
[ "$(data_state)" = "$data_before" ] || fail "the data folder changed"

(cd "$build" && cpack -G DEB -B "$RUN/pkg" > "$RUN/cpack.log" 2>&1) || fail "cpack: $(tail -20 "$RUN/cpack.log")"
deb="$(ls "$RUN"/pkg/*.deb | head -n 1)"
depends="$(dpkg-deb -f "$deb" Depends)"
for lib in libglfw3 libglew libassimp libfreetype6 libsoil libgl1-mesa-dri fonts-open-sans; do
  grep -q "$lib" <<<"$depends" || fail "package does not depend on $lib: $depends"
done
contents="$(dpkg-deb -c "$deb")"
grep -q './usr/games/velloran$' <<<"$contents" || fail "package lacks /usr/games/velloran"
echo "install: ok ($(du -k "$deb" | cut -f1) KiB; Depends: $depends)"
