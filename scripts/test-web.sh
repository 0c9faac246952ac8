#!/usr/bin/env bash
# The browser leg of CI: builds the game for the page with Debian's Emscripten, warnings as
# errors, runs the core's tests under node, then the page's end-to-end test in headless Chromium,
# headless Firefox and WebKitGTK's MiniBrowser against a server the test starts itself on
# 127.0.0.1. Installs missing Debian packages first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test

jobs=$(nproc)
build=build/ci-web
# Debian's Emscripten finds its acorn through NODE_PATH; node 20's fetch gets in the way of the
# output's own loading of its wasm, so the tests run without it.
export NODE_PATH=/usr/share/nodejs

echo "== the page: build and the core's tests under node =="
emcmake cmake -S . -B "$build" -DVOMBREL_WERROR=ON -DCMAKE_BUILD_TYPE=Release \
  "-DCMAKE_CROSSCOMPILING_EMULATOR=/usr/bin/node;--no-experimental-fetch" >/dev/null
cmake --build "$build" -j "$jobs"
ctest --test-dir "$build" --output-on-failure -j "$jobs"

echo "== the page in Chromium, Firefox and WebKit =="
# MiniBrowser shows its window, and is played with the X server's mouse, on an X screen of its
# own, large enough for the game at four times its size.
source scripts/xvfb.sh
unset DISPLAY
xvfb_screen=1600x1200x24 start_xvfb 150 180
trap 'kill "$xvfb_pid"' EXIT
cd tests/web
for try in 1 2 3; do
  PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error && break
  [ "$try" -eq 3 ] && exit 1
  echo "npm ci failed; trying again"
  sleep 5
done
# Node 20 stops a hung test by itself; Debian 12's Node 18 knows no --test-timeout, so there the
# whole run has a limit instead.
if node --help | grep -- --test-timeout >/dev/null; then
  node_test=(node --test --test-timeout=180000)
else
  node_test=(timeout 1800 node --test)
fi
VOMBREL_PAGE="$PWD/../../$build/page" "${node_test[@]}" page.test.mjs
