#!/usr/bin/env bash
# Builds the page (index.html, vombrel.js, vombrel.wasm and a few small files) and serves it on
# 127.0.0.1 until Ctrl-C:
#
#   scripts/web.sh          # then open the URL it prints
#   scripts/web.sh 9000     # on another port
#
# The files in build/web-page/page are the whole game: copy the folder to any static web host to
# put it online.
set -euo pipefail
cd "$(dirname "$0")/.."
port=${1:-8080}
build=build/web-page
bash scripts/deps.sh web
export NODE_PATH=/usr/share/nodejs  # where Debian's Emscripten finds acorn

emcmake cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVOMBREL_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target vombrel
echo "Vombrel: http://127.0.0.1:$port/"
exec python3 -m http.server "$port" --bind 127.0.0.1 --directory "$build/page"
