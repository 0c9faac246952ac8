# Sourced by the test scripts: start_xvfb FIRST LAST starts a private Xvfb (96 dpi, 1024x768, 24
# bits, or the screen xvfb_screen names) on the first free display number in FIRST..LAST when
# there is no display, exports DISPLAY and leaves its process id in xvfb_pid (empty when a
# display was already there).
xvfb_pid=""
start_xvfb() {
  [ -n "${DISPLAY:-}" ] && return 0
  local n
  for n in $(seq "$1" "$2"); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
  done
  Xvfb ":$n" -dpi 96 -screen 0 "${xvfb_screen:-1024x768x24}" -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
}
