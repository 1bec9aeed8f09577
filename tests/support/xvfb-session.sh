# Sourced by the whole-program scripts: an Xvfb of their own on the first free display from
# $1 (its pid in xvfb_pid, DISPLAY set), and await SECONDS COMMAND... that polls until the
# command holds.
start_xvfb() {
  local n="$1"
  # A number is held by a lock kept open for the script's life: a server in another network
  # namespace does not see this one's abstract socket and would take the same number.
  while :; do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      exec {display_lock}>"/tmp/corvay-display-$n.lock"
      flock -n "$display_lock" && break
      exec {display_lock}>&-
    fi
    n=$((n + 1))
  done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$n"
  unset XAUTHORITY
  until xdotool getdisplaygeometry >/dev/null 2>&1; do sleep 0.2; done
}
# Limits are upper bounds for slow (sanitizer) builds: a wait ends as soon as its condition holds.
await() {
  local limit=$(($1 * 5)); shift
  until "$@"; do limit=$((limit - 1)); [ "$limit" -gt 0 ] || return 1; sleep 0.2; done
}
