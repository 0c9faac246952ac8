#!/usr/bin/env bash
# Installs the Debian packages that a task needs, but only those that are missing, so that a
# second run costs nothing. Each script asks for its own task:
#
#   bash scripts/deps.sh run        # build and play on Linux: compiler, CMake, SDL2, SDL2_ttf, Xlib
#   bash scripts/deps.sh package    # the .deb
#   bash scripts/deps.sh windows    # the .exe, cross-compiled with mingw-w64
#   bash scripts/deps.sh web        # the page, with Emscripten
#   bash scripts/deps.sh test       # everything above, and what the tests drive it with
set -euo pipefail

# the libdecor plugin draws the window's title bar on Wayland desktops that leave it to SDL
run=(build-essential cmake pkg-config libsdl2-dev libsdl2-ttf-dev libx11-dev libdecor-0-plugin-1-cairo)
package=("${run[@]}" dpkg-dev file)
windows=(make cmake g++-mingw-w64-x86-64-posix)
web=(make cmake emscripten python3)
test=("${package[@]}" "${windows[@]}" "${web[@]}"
  libgtest-dev libbenchmark-dev
  xvfb xdotool x11-utils imagemagick
  # window managers, as players have them: the end-to-end runs play under openbox, and the
  # window's own checks under KDE's (with its usual frame), GNOME's and fluxbox too
  openbox kwin-x11 kwin-style-breeze mutter fluxbox
  # Wayland desktops for the game, natively and through XWayland: weston, and sway with the
  # screenshots of wlroots' compositors (grim)
  weston xwayland sway grim
  desktop-file-utils appstream lintian
  chromium wine wine64 fonts-wine
  # the page is played in the three browser engines: Firefox through puppeteer, WebKitGTK's
  # MiniBrowser through its WebDriver, with GStreamer's FLAC decoder for the page's sounds
  firefox-esr webkit2gtk-driver gstreamer1.0-plugins-good
  # npm installs the page test's browser driver; Debian's nodejs does not bring it
  npm
  # tools/make_assets.py cuts the game's fonts out of fonts-liberation2 with fontTools, and makes
  # the page's lossless copies with cwebp, flac and fontTools' WOFF2 (brotli)
  python3-fonttools fonts-liberation2 webp flac python3-brotli)

[ $# -gt 0 ] || { echo "usage: scripts/deps.sh run|package|windows|web|test ..." >&2; exit 2; }
packages=()
for task in "$@"; do
  case $task in
    run) packages+=("${run[@]}") ;;
    package) packages+=("${package[@]}") ;;
    windows) packages+=("${windows[@]}") ;;
    web) packages+=("${web[@]}") ;;
    test) packages+=("${test[@]}") ;;
    *) echo "scripts/deps.sh: no task \"$task\" (run, package, windows, web or test)" >&2; exit 2 ;;
  esac
done

# A name counts as installed when an installed package provides it too: NodeSource's nodejs
# provides npm and conflicts with Debian's, and asking apt for npm there would replace that Node.
installed=$(dpkg-query -W -f='${Status}\t${Package}\t${Provides}\n' 2>/dev/null |
  awk -F'\t' '$1 == "install ok installed" {
    print $2
    n = split($3, provided, ", ")
    for (i = 1; i <= n; i++) { sub(/ .*/, "", provided[i]); print provided[i] }
  }' |
  LC_ALL=C sort -u)
wanted=$(printf '%s\n' "${packages[@]}" | LC_ALL=C sort -u)
mapfile -t missing < <(LC_ALL=C comm -23 <(echo "$wanted") <(echo "$installed"))
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing missing packages: ${missing[*]}"
$sudo apt-get update -q
# A fresh desktop often has its own updates running at first: wait for them rather than fail.
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends \
  -o DPkg::Lock::Timeout=600 "${missing[@]}"
