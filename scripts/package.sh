#!/usr/bin/env bash
# Builds Vombrel's Debian package into build/package/ (installing missing Debian packages
# first): a release build with Debian's hardening flags, stripped, its dependencies read off
# the program by dpkg-shlibdeps. Prints the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh package >&2

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  cmake -S . -B build/package -DCMAKE_BUILD_TYPE=Release -DVOMBREL_TESTS=OFF \
  -DVOMBREL_BENCH=OFF -DVOMBREL_INSTALL_BINDIR=games >/dev/null
cmake --build build/package -j "$(nproc)" >&2
rm -f build/package/vombrel_*.deb
(cd build/package && cpack -G DEB >&2)
ls build/package/vombrel_*.deb
