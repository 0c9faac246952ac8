#!/usr/bin/env bash
# Checks Vombrel as a desktop program. The build given (scripts/test.sh passes build/ci) is
# installed with `cmake --install` into a fresh prefix: every file lands where desktops look,
# the menu entry and the AppStream metadata validate, and the installed program opens its
# window. Then the .deb is built: lintian finds no error, its dependencies are SDL2, SDL2_ttf
# and what they stand on, and it installs into a private dpkg database, its program opens its
# window, and it purges without leaving a file. Needs an X display; scripts/test.sh has one.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?"usage: scripts/test-package.sh BUILD_DIR"}
: "${DISPLAY:?"needs an X display"}"
app_id=cz.vombrel.Vombrel

tmp=$(mktemp -d)
game_pid=""
cleanup() {
  [ -n "$game_pid" ] && kill -KILL "$game_pid" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
  echo "test-package: $*" >&2
  exit 1
}

# Starts a program, waits up to 10 s for its visible window titled like the game's, then ends
# it as the desktop does at log-out (SIGTERM) and expects it to leave with status 0.
opens_window() {
  local program=$1 window="" status
  "$program" &
  game_pid=$!
  for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --pid "$game_pid" 2>/dev/null | head -n 1) || true
    [ -n "$window" ] && break
    kill -0 "$game_pid" 2>/dev/null || fail "$program ended without showing a window"
    sleep 0.1
  done
  [ -n "$window" ] || fail "$program showed no window within 10 s"
  [[ "$(xdotool getwindowname "$window")" == Vombrel* ]] ||
    fail "$program's window is titled \"$(xdotool getwindowname "$window")\""
  kill -TERM "$game_pid"
  for _ in $(seq 50); do
    kill -0 "$game_pid" 2>/dev/null || break
    sleep 0.1
  done
  wait "$game_pid" && status=0 || status=$?
  game_pid=""
  [ "$status" -eq 0 ] || fail "$program ended with status $status on SIGTERM"
  echo "$program opened its window and ended"
}

# Validators print warnings but pass them; a clean file makes them print nothing.
validate_quietly() {
  local out
  out=$("$@" 2>&1) || fail "$*: $out"
  [ -z "$out" ] || fail "$*: $out"
}

echo "== installed with cmake --install into a fresh prefix =="
prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/vombrel share/applications/$app_id.desktop share/metainfo/$app_id.metainfo.xml \
  share/man/man6/vombrel.6.gz share/doc/vombrel/copyright; do
  [ -f "$prefix/$f" ] || fail "cmake --install did not install $f"
done
for size in 32 64 128; do
  icon=$prefix/share/icons/hicolor/${size}x$size/apps/$app_id.png
  file "$icon" | grep -q "PNG image data, $size x $size," || fail "$icon: $(file -b "$icon")"
done
validate_quietly desktop-file-validate "$prefix/share/applications/$app_id.desktop"
appstreamcli validate --no-net --strict "$prefix/share/metainfo/$app_id.metainfo.xml" ||
  fail "the AppStream metadata does not validate"
opens_window "$prefix/bin/vombrel"

echo "== the Debian package =="
deb=$(bash scripts/package.sh)
echo "$deb: $(stat -c %s "$deb") bytes; Depends: $(dpkg-deb -f "$deb" Depends)"
# lintian unpacks what it checks and warns when it runs as root; as root, it checks a copy as
# nobody instead.
if [ "$(id -u)" -eq 0 ]; then
  chmod 711 "$tmp"
  mkdir -m 755 "$tmp/lint"
  install -m 644 "$deb" "$tmp/lint/"
  (cd / && runuser -u nobody -- lintian --tag-display-limit 0 "$tmp/lint/${deb##*/}")
else
  lintian --tag-display-limit 0 "$deb"
fi || fail "lintian found errors in $deb"
[ "$(dpkg-deb -f "$deb" Version)" = "$(dpkg-parsechangelog -l packaging/changelog -S Version)" ] ||
  fail "the package's version is not the newest in packaging/changelog"
# The C++ runtime is inside the program; everything else comes from SDL2 and SDL2_ttf, whose
# packages bring libc6 and libx11-6 anyway.
depends=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/(.*)//; s/ //g' | sort | xargs)
[ "$depends" = "libc6 libsdl2-2.0-0 libsdl2-ttf-2.0-0 libx11-6" ] ||
  fail "the package depends on: $depends"

root=$tmp/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
private_dpkg() {
  PATH="$PATH:/usr/sbin:/sbin" dpkg --root="$root" --log=/dev/null --force-not-root "$@" \
    >/dev/null 2>&1 || fail "dpkg $* failed in a private database"
}
private_dpkg --force-depends --install "$deb"
[ -f "$root/usr/share/applications/$app_id.desktop" ] || fail "the package has no menu entry"
opens_window "$root/usr/games/vombrel"
private_dpkg --purge vombrel
left=$(find "$root" -mindepth 1 -not -path "$root/var" -not -path "$root/var/lib*")
[ -z "$left" ] || fail "purging the package left: $left"
echo "the package installs, runs and purges cleanly"
