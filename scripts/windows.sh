#!/usr/bin/env bash
# Builds the Windows program, build/windows/vombrel.exe: one static .exe that runs on Windows 7
# and later with nothing else installed. Cross-compiled with mingw-w64; installs the Debian
# packages it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh windows
cmake -S . -B build/windows -DVOMBREL_TESTS=OFF -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake >/dev/null
cmake --build build/windows -j "$(nproc)" --target vombrel
cp build/windows/app/vombrel.exe build/windows/vombrel.exe
echo "build/windows/vombrel.exe"
