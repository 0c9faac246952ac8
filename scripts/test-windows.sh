#!/usr/bin/env bash
# The Windows leg of CI: cross-builds vombrel.exe and its tests with mingw-w64 and warnings as
# errors, checks that the .exe imports nothing but system DLLs, runs every test program under
# Wine, then plays the real .exe under Wine on an X display: START, a hit, the exit; and again on
# a desktop as players have one, a 1920 x 1080 screen with openbox and another program's window.
#
# Wine gets a private prefix under the build folder, made on the first run; without a window
# manager it must draw the frames itself (Decorated=N) and not wait for one on every hide
# (Managed=N); under openbox it has its defaults (Y). Starts a private Xvfb when there is no
# display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test

jobs=$(nproc)
# A developer may keep a build folder and a prefix of their own beside CI's.
build=${VOMBREL_WIN32_BUILD:-build/ci-win32}
export WINEPREFIX="${VOMBREL_WINEPREFIX:-$PWD/build/wine-prefix}"
export WINEDEBUG=-all
# Wine offers to download Mono and Gecko when a prefix is made; nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml="

source scripts/xvfb.sh
desktop_pids=()  # the second screen, its window manager and the other program
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  for pid in "${desktop_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT
start_xvfb 140 170

echo "== Windows: cross-build with mingw-w64 =="
cmake -S . -B "$build" -DVOMBREL_WERROR=ON -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake >/dev/null
cmake --build "$build" -j "$jobs"
exe="$build/app/vombrel.exe"

# Static: every DLL it names comes with Windows.
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
for dll in $imports; do
  case "${dll,,}" in
    kernel32.dll | user32.dll | gdi32.dll | msimg32.dll | winmm.dll | msvcrt.dll | advapi32.dll) ;;
    *) echo "vombrel.exe imports $dll, which Windows does not have" >&2; exit 1 ;;
  esac
done
echo "vombrel.exe: $(stat -c %s "$exe") bytes, imports" $imports
# Every feature in at most 900 KB: a C++ stream or std::filesystem would bring in libstdc++'s
# locale layer and double it.
[ "$(stat -c %s "$exe")" -le $((900 * 1024)) ] || { echo "vombrel.exe is over 900 KB" >&2; exit 1; }

echo "== Windows: Wine =="
# The first start of Wine makes the prefix, which can take a minute, and under load it now and
# then fails; it is tried again from scratch.
prepared="$WINEPREFIX/.vombrel-ready"
for attempt in 1 2 3; do
  [ -e "$prepared" ] && break
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
  if timeout 300 wineboot -i </dev/null >/dev/null 2>&1 && timeout 120 wineserver -w; then
    # Debian's Wine leaves its own fonts (the caption's and the message box's) outside the prefix.
    ln -sf /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
    timeout 120 wineserver -w || true
    touch "$prepared"
  else
    echo "making the Wine prefix failed (attempt $attempt)" >&2
  fi
done
[ -e "$prepared" ] || { echo "cannot make a Wine prefix" >&2; exit 1; }
# One Wine server for every test on a display, with its services started here: a service
# started by a test would inherit the test's output and keep ctest waiting for it to close.
# Managed and Decorated: whether a window manager frames Wine's windows (Y) or Wine itself (N).
start_wine() {
  wineserver -p
  for value in Managed Decorated; do
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v "$value" /t REG_SZ /d "$1" /f \
      </dev/null >/dev/null 2>&1
  done
  for attempt in 1 2 3; do
    timeout 120 wine cmd /c exit </dev/null >/dev/null 2>&1 && break
    echo "Wine did not start (attempt $attempt)" >&2
  done
}
start_wine N

echo "== Windows: the tests under Wine =="
ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 300

echo "== Windows: the real program under Wine =="
timeout 300 python3 tests/win32/smoke_test.py "$exe"

echo "== Windows: the real program under Wine with a window manager =="
wineserver -k
timeout 60 wineserver -w || true
for n in $(seq 171 199); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
done
Xvfb ":$n" -dpi 96 -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
desktop_pids+=($!)
export DISPLAY=":$n"
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
desktop_pids+=($!)
for _ in $(seq 50); do xprop -root _NET_SUPPORTING_WM_CHECK | grep -q window && break; sleep 0.1; done
xmessage -title other -geometry 400x200+1400+700 "another program" >/dev/null 2>&1 &
desktop_pids+=($!)
start_wine Y
timeout 300 python3 tests/win32/smoke_test.py --managed "$exe"
