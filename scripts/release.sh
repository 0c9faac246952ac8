#!/usr/bin/env bash
# Builds a release of the version in CMakeLists.txt into dist/, after every test has passed here
# and the README's two commands have passed on a fresh Debian 12 (scripts/fresh-debian.sh, which
# needs root and takes most of an hour; --no-fresh-debian skips it):
#
#   dist/vombrel_<version>_amd64.deb     the Debian package
#   dist/vombrel.exe                     the Windows program
#   dist/vombrel-<version>-web.zip       the page: static files for any web host
#   dist/SHA256SUMS                      check with: (cd dist && sha256sum -c SHA256SUMS)
#
# A release is built from what is committed, so it refuses a tree with uncommitted changes.
#
#   scripts/release.sh
#   scripts/release.sh --no-fresh-debian
set -euo pipefail
cd "$(dirname "$0")/.."
fresh=1
case ${1:-} in
  "") ;;
  --no-fresh-debian) fresh=0 ;;
  *) echo "usage: scripts/release.sh [--no-fresh-debian]" >&2; exit 2 ;;
esac

if [ -n "$(git status --porcelain)" ]; then
  echo "release: the tree has uncommitted changes; commit or stash them first" >&2
  git status --short >&2
  exit 1
fi
version=$(sed -n 's/^project(Vombrel VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release: no version in CMakeLists.txt" >&2; exit 1; }

[ "$fresh" -eq 0 ] || bash scripts/fresh-debian.sh
bash scripts/test.sh

rm -rf dist
mkdir dist
cp "$(bash scripts/package.sh)" dist/
bash scripts/windows.sh >/dev/null
cp build/windows/vombrel.exe dist/

web=build/web-release
export NODE_PATH=/usr/share/nodejs  # where Debian's Emscripten finds acorn
emcmake cmake -S . -B "$web" -DCMAKE_BUILD_TYPE=Release -DVOMBREL_TESTS=OFF >/dev/null
cmake --build "$web" -j "$(nproc)" --target vombrel
staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
cp -r "$web/page" "$staging/vombrel-$version-web"
(cd "$staging" && python3 -m zipfile -c "$OLDPWD/dist/vombrel-$version-web.zip" "vombrel-$version-web")

(cd dist && sha256sum -- * >SHA256SUMS && sha256sum -c --quiet SHA256SUMS)
echo "Vombrel $version:"
ls -l dist
