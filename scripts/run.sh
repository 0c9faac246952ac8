#!/usr/bin/env bash
# Builds Vombrel (installing missing Debian packages first) and starts the game.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh run
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DVOMBREL_TESTS=OFF -DVOMBREL_BENCH=OFF >/dev/null
cmake --build build/release -j "$(nproc)" --target vombrel
exec build/release/app/vombrel
