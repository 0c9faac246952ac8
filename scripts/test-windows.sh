#!/usr/bin/env bash
# The Windows leg of CI: cross-builds vombrel.exe and its tests with mingw-w64 and warnings as
# errors, checks that the .exe imports nothing but system DLLs, runs every test program under
# Wine, then plays the real .exe under Wine on an X display: START, a hit, the exit.
#
# Wine gets a private prefix under the build folder, made on the first run; without a window
# manager it must draw the frames itself (Decorated=N) and not wait for one on every hide
# (Managed=N). Starts a private Xvfb when there is no display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test

jobs=$(nproc)
build=build/ci-win32
export WINEPREFIX="$PWD/build/wine-prefix"
export WINEDEBUG=-all
# Wine offers to download Mono and Gecko when a prefix is made; nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml="

source scripts/xvfb.sh
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
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
  if timeout 300 wineboot -i </dev/null >/dev/null 2>&1 && timeout 120 wineserver -w &&
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f \
      </dev/null >/dev/null 2>&1 &&
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
      </dev/null >/dev/null 2>&1; then
    # Debian's Wine leaves its own fonts (the caption's and the message box's) outside the prefix.
    ln -sf /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
    timeout 120 wineserver -w || true
    touch "$prepared"
  else
    echo "making the Wine prefix failed (attempt $attempt)" >&2
  fi
done
[ -e "$prepared" ] || { echo "cannot make a Wine prefix" >&2; exit 1; }
# One Wine server for every test, with its services started here: a service started by a test
# would inherit the test's output and keep ctest waiting for it to close.
wineserver -p
for attempt in 1 2 3; do
  timeout 120 wine cmd /c exit </dev/null >/dev/null 2>&1 && break
  echo "Wine did not start (attempt $attempt)" >&2
done

echo "== Windows: the tests under Wine =="
ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 300

echo "== Windows: the real program under Wine =="
timeout 300 python3 tests/win32/smoke_test.py "$exe"
