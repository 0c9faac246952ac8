#!/usr/bin/env bash
# Every test of every build, with warnings as errors: the core alone without SDL; the SDL game
# with all its tests, then again under AddressSanitizer and UndefinedBehaviorSanitizer; the
# installed desktop program and its .deb; the page under node and in headless Chromium; the
# Windows .exe under Wine. Installs missing Debian packages first. Starts a private Xvfb for the
# window tests when there is no display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

jobs=$(nproc)

xvfb_pid=""
cleanup() { [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true; }
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
  done
  Xvfb ":$n" -dpi 96 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
fi

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
echo "== build and test under AddressSanitizer and UndefinedBehaviorSanitizer =="
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" \
  run_suite build/ci-sanitize -DVOMBREL_SANITIZE=ON -DVOMBREL_BENCH=OFF
bash scripts/test-package.sh build/ci  # installed as a desktop program, and the .deb
bash scripts/test-web.sh             # the page: the core under node, the page in headless Chromium
bash scripts/test-windows.sh         # vombrel.exe: its tests and the program under Wine
