#!/usr/bin/env bash
# Builds Vombrel (installing missing Debian packages first) and starts the game with the
# arguments given here: scripts/run.sh --scale 3. The build talks on stderr, so that stdout is
# the game's alone (scripts/run.sh --version prints the version). The program it builds is
# build/release/app/vombrel.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh run >&2
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DVOMBREL_TESTS=OFF -DVOMBREL_BENCH=OFF >/dev/null
cmake --build build/release -j "$(nproc)" --target vombrel >&2
exec build/release/app/vombrel "$@"
