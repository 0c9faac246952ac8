#!/usr/bin/env bash
# Proves the README's two commands on a fresh Debian 12. Makes a minimal Debian 12 root with
# debootstrap, adds only git and ca-certificates (the README assumes a clone), clones the
# committed tree into it and runs, as root of that machine:
#
#   scripts/run.sh            the game's window must open (on an Xvfb of this machine's), then close
#   CI=true scripts/test.sh   every test must pass
#
# For each it reports the packages installed, what apt and npm downloaded and how long it took,
# and keeps the figures and both logs in build/fresh-debian/. Takes 40 minutes and more, most of
# it the tests on two cores; not part of CI.
#
#   scripts/fresh-debian.sh            both commands
#   scripts/fresh-debian.sh --run      only scripts/run.sh, a few minutes
#   scripts/fresh-debian.sh --keep     keeps the root (build/fresh-debian/root) even when it passed
#
# Needs root (debootstrap, chroot, mounts) and installs debootstrap here when missing. The root
# trusts what this machine trusts beyond Debian's certificate authorities and goes through its
# proxy, if its environment names one, so that it reaches the package registries as this
# machine does. DEBIAN_MIRROR names another mirror than deb.debian.org.
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || exec sudo -E bash "$0" "$@"

tests=1 keep=0
for arg in "$@"; do
  case $arg in
    --run) tests=0 ;;
    --keep) keep=1 ;;
    *) echo "usage: scripts/fresh-debian.sh [--run] [--keep]" >&2; exit 2 ;;
  esac
done

dir=$PWD/build/fresh-debian
root=$dir/root
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
commit=$(git rev-parse HEAD)
[ -z "$(git status --porcelain --untracked-files=no)" ] ||
  echo "fresh-debian: the tree has uncommitted changes; the root gets ${commit:0:10} without them"

say() { echo "fresh-debian: $*"; }
fail() {
  echo "fresh-debian: $*" >&2
  exit 1
}

minutes() { awk -v s="$1" 'BEGIN { printf "%.1f", s / 60 }'; }
megabytes() { awk -v b="$1" 'BEGIN { printf "%.0f", b / 1e6 }'; }

# Everything mounted inside the root, deepest first.
mounts_in_root() {
  awk -v root="$root" '$5 == root || index($5, root "/") == 1 { print $5 }' /proc/self/mountinfo |
    sort -r
}
source scripts/xvfb.sh
game_pid=""
cleanup() {
  [ -z "$game_pid" ] || kill -KILL "$game_pid" 2>/dev/null || true
  # What the commands left running in the root (a Wine server, an Xvfb) holds its mounts.
  local proc
  for proc in /proc/[0-9]*; do
    [ "$(readlink "$proc/root" 2>/dev/null)" != "$root" ] ||
      kill -KILL "${proc#/proc/}" 2>/dev/null || true
  done
  sleep 0.5
  local m
  for m in $(mounts_in_root); do umount "$m" 2>/dev/null || umount -l "$m" || true; done
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A bind mount of this machine's /tmp/.X11-unix is on the same file system as the root, so the
# root is only ever removed with nothing mounted in it.
remove_root() {
  [ -z "$(mounts_in_root)" ] || fail "still mounted in $root: $(mounts_in_root | xargs)"
  rm -rf --one-file-system "$root"
}

for tool in debootstrap:debootstrap Xvfb:xvfb xdotool:xdotool xwininfo:x11-utils; do
  command -v "${tool%%:*}" >/dev/null && continue
  apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends "${tool#*:}" >/dev/null
done

mkdir -p "$dir"
cleanup
[ -e "$root" ] && remove_root
say "a minimal Debian 12 root with git and ca-certificates in $root"
start=$SECONDS
debootstrap --variant=minbase --include=git,ca-certificates bookworm "$root" "$mirror" \
  >"$dir/setup.log" 2>&1 || fail "debootstrap failed; see $dir/setup.log"
# The sources a Debian 12 installation has, with its updates and security fixes.
security=${mirror%/debian}/debian-security
cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb $security bookworm-security main
EOF
cp -L /etc/resolv.conf "$root/etc/resolv.conf"

# A login's environment, with this machine's proxy when it has one.
environment=(HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin TERM=dumb)
for name in http_proxy https_proxy no_proxy HTTP_PROXY HTTPS_PROXY NO_PROXY; do
  [ -z "${!name:-}" ] || environment+=("$name=${!name}")
done
in_root() { chroot "$root" /usr/bin/env -i "${environment[@]}" "$@"; }

# The certificate authorities this machine trusts and the root does not (a proxy's own, say).
extra=$(awk -v dir="$root/usr/local/share/ca-certificates" '
  FNR == 1 { bundle++ }
  { sub(/\r$/, "") }
  /-BEGIN CERTIFICATE-/ { cert = "" }
  { cert = cert $0 "\n" }
  /-END CERTIFICATE-/ {
    if (bundle == 1) known[cert] = 1
    else if (!(cert in known)) {
      n++; file = dir "/host-" n ".crt"; printf "%s", cert > file; close(file)
    }
  }
  END { print n + 0 }' "$root/etc/ssl/certs/ca-certificates.crt" /etc/ssl/certs/ca-certificates.crt)
in_root update-ca-certificates >>"$dir/setup.log" 2>&1
say "the root trusts $extra more certificate authorities of this machine's"

# The root is a mount of its own, as / is on a machine, so that the tests can make private
# mount namespaces in it.
mount --bind "$root" "$root"
mount --make-private "$root"
mount -t proc proc "$root/proc"
mount -t sysfs sysfs "$root/sys"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
mount -t tmpfs -o mode=1777 shm "$root/dev/shm"
# The X servers of this machine and of the root share one set of display numbers (their sockets'
# abstract names are per network, not per root), so the root sees which numbers are taken.
mkdir -p "$root/tmp/.X11-unix"
mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"

# Up to date, as a machine is once installed.
in_root apt-get update -q >>"$dir/setup.log" 2>&1 &&
  in_root env DEBIAN_FRONTEND=noninteractive apt-get upgrade -y -q >>"$dir/setup.log" 2>&1 ||
  fail "the root's apt-get upgrade failed; see $dir/setup.log"
say "made in $(minutes $((SECONDS - start))) min"

git bundle create "$root/tmp/vombrel.bundle" HEAD 2>/dev/null
in_root git clone -q --no-checkout /tmp/vombrel.bundle /root/vombrel
in_root git -C /root/vombrel checkout -q -B main "$commit"
rm "$root/tmp/vombrel.bundle"
say "cloned commit $commit into /root/vombrel"

# What a command installed and downloaded: the root's packages, apt's archives and npm's cache.
packages() { in_root dpkg-query -W -f='${db:Status-Status}\n' | grep -c '^installed$'; }
downloaded() {
  { du -scb "$root"/var/cache/apt/archives/*.deb "$root/root/.npm" 2>/dev/null || true; } |
    tail -n 1 | cut -f 1
}
figures=$dir/figures.txt
echo "A fresh Debian 12 (minbase, git, ca-certificates), commit $commit:" >"$figures"
record() {  # COMMAND PACKAGES_BEFORE BYTES_BEFORE SECONDS WHAT
  local line
  line=$(printf '  %-26s %4d packages, %4s MB, %5s min, %s' "$1" "$(($(packages) - $2))" \
    "$(megabytes $(($(downloaded) - $3)))" "$(minutes "$4")" "$5")
  echo "$line" >>"$figures"
  say "${line#  }"
}

# scripts/run.sh, on a display of this machine's own: the window must show, titled as the game,
# and the game must end with status 0 when closed as a desktop closes it at log-out.
unset DISPLAY
start_xvfb 200 230
mkdir -m 700 -p "$root/run/user/0"

say "scripts/run.sh (log: $dir/run.log)"
packages_before=$(packages) bytes_before=$(downloaded) start=$SECONDS
# Started as one command, not through in_root, so that its process is the game's in the end.
chroot "$root" /usr/bin/env -i "${environment[@]}" DISPLAY="$DISPLAY" XDG_RUNTIME_DIR=/run/user/0 \
  bash -c 'cd /root/vombrel && exec scripts/run.sh' >"$dir/run.log" 2>&1 &
game_pid=$!
window=""
while [ -z "$window" ]; do
  kill -0 "$game_pid" 2>/dev/null || fail "scripts/run.sh ended without a window; see $dir/run.log"
  [ $((SECONDS - start)) -lt 3600 ] || fail "scripts/run.sh showed no window within an hour"
  sleep 1
  window=$(xdotool search --onlyvisible --name '^Vombrel' 2>/dev/null | head -n 1) || true
done
took=$((SECONDS - start))
sleep 2  # the game sets its size once the window is up
size=$(xwininfo -id "$window" |
  awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')
kill -TERM "$game_pid"
(sleep 10 && kill -KILL "$game_pid" 2>/dev/null) &
watchdog=$!
wait "$game_pid" && status=0 || status=$?
kill "$watchdog" 2>/dev/null || true
game_pid=""
[ "$status" -eq 0 ] || fail "the game ended with status $status when closed; see $dir/run.log"
record scripts/run.sh "$packages_before" "$bytes_before" "$took" "to the window ($size), closed"

if [ "$tests" -eq 1 ]; then
  say "CI=true scripts/test.sh (log: $dir/test.log)"
  packages_before=$(packages) bytes_before=$(downloaded) start=$SECONDS
  # The log's headings show how far it has got.
  status=0
  in_root CI=true bash -c 'cd /root/vombrel && exec scripts/test.sh' 2>&1 | tee "$dir/test.log" |
    grep --line-buffered '^== ' || status=${PIPESTATUS[0]}
  took=$((SECONDS - start))
  if [ "$status" -ne 0 ]; then
    tail -n 30 "$dir/test.log" >&2
    fail "CI=true scripts/test.sh failed with status $status after $(minutes $took) min"
  fi
  record "CI=true scripts/test.sh" "$packages_before" "$bytes_before" "$took" passed
fi

cleanup
[ "$keep" -eq 1 ] || remove_root
say "figures in $figures"
