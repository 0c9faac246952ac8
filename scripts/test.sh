#!/usr/bin/env bash
# Every test of every build, with warnings as errors: the core alone without SDL; the SDL game
# with all its tests and on a Wayland desktop, then again under AddressSanitizer and
# UndefinedBehaviorSanitizer; the installed desktop program and its .deb; the page under node and in headless Chromium; the
# Windows .exe under Wine. Installs missing Debian packages first. Starts a private Xvfb for the
# window tests when there is no display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test

jobs=$(nproc)

source scripts/xvfb.sh
# SDL tries Wayland first, and libwayland says "error:" when the session has no runtime folder, as
# under CI or in a chroot; a private one keeps that line out of the logs.
runtime=""
if [ ! -d "${XDG_RUNTIME_DIR:-}" ]; then
  runtime=$(mktemp -d)
  export XDG_RUNTIME_DIR=$runtime
fi
cleanup() {
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  [ -z "$runtime" ] || rm -rf "$runtime"
}
trap cleanup EXIT
start_xvfb 90 120

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -DVOMBREL_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

# The core (runtime, game, headless host) must build and pass its tests on a machine without
# SDL: every other host stands on it. SDL2 is made unfindable to prove that nothing asks for it.
echo "== the core alone, without SDL =="
run_suite build/ci-core -DVOMBREL_HOST=none \
  -DCMAKE_DISABLE_FIND_PACKAGE_SDL2=ON -DCMAKE_DISABLE_FIND_PACKAGE_SDL2_ttf=ON
echo "== build and test =="
run_suite build/ci
echo "== the game on Wayland desktops: weston, through XWayland and natively; sway natively =="
python3 tests/e2e/wayland_test.py build/ci
echo "== build and test under AddressSanitizer and UndefinedBehaviorSanitizer =="
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" \
  run_suite build/ci-sanitize -DVOMBREL_SANITIZE=ON -DVOMBREL_BENCH=OFF
bash scripts/test-package.sh build/ci  # installed as a desktop program, and the .deb
bash scripts/test-web.sh             # the page: the core under node, the page in headless Chromium
bash scripts/test-windows.sh         # vombrel.exe: its tests and the program under Wine
