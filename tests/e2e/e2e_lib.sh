# Shared by the end-to-end scripts: failing, waiting, cleaning up, and starting an X server and
# a private session bus. Source it after `set -euo pipefail`; it sets $work, a temporary folder.

limit=20  # seconds, for every single wait
work="$(mktemp -d)"
pids=()

fail() { echo "FAIL: $*" >&2; exit 1; }
say() { echo "e2e: $*"; }
skip() { echo "SKIP: $*" >&2; exit 77; }

# Shown when the test fails, before the folder goes.
e2e_logs=("$work/report" "$work/vantu.log" "$work/host.log" "$work/host.out")

cleanup() {
  local status=$?
  if [ "$status" -ne 0 ] && [ "$status" -ne 77 ]; then
    local log
    for log in "${e2e_logs[@]}"; do
      [ -f "$log" ] && { echo "--- $log" >&2; head -c 20000 "$log" >&2; }
    done
  fi
  local index
  for ((index = ${#pids[@]} - 1; index >= 0; index--)); do
    kill "${pids[index]}" 2>/dev/null || true
  done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT

# Polls a command every 0.1 s for up to $limit seconds.
wait_for() {
  local what="$1"; shift
  holds_within "$limit" "$@" || fail "timed out after ${limit}s waiting for $what"
}

# Polls `condition` like wait_for, but only answers whether it held within `seconds`.
holds_within() {
  local seconds="$1"; shift
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# An X server on a free display: Xvfb picks the number and reports it when ready. The app is
# then an X11 client only, even when the test runs in a Wayland session.
start_xvfb() {
  unset WAYLAND_DISPLAY
  command -v Xvfb >/dev/null || skip "Xvfb is not installed, so no X server can be started"
  exec 3>"$work/display"
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  local xvfb=$!
  pids+=("$xvfb")
  exec 3>&-
  display_ready() { [ -s "$work/display" ] || ! kill -0 "$xvfb" 2>/dev/null; }
  wait_for "Xvfb" display_ready
  kill -0 "$xvfb" 2>/dev/null || skip "Xvfb could not start: $(cat "$work/xvfb.log")"
  export DISPLAY=":$(tr -d '[:space:]' <"$work/display")"
}

# A session bus of the test's own, so no desktop's tray ever sees the app under test.
start_session_bus() {  # [--config-file=FILE, for a bus other than the usual session bus]
  command -v dbus-daemon >/dev/null || skip "dbus-daemon is not installed"
  exec 3>"$work/bus"
  dbus-daemon "${1:---session}" --nofork --nopidfile --print-address=3 >"$work/bus.log" 2>&1 &
  pids+=($!)
  exec 3>&-
  bus_ready() { [ -s "$work/bus" ]; }
  wait_for "the session bus" bus_ready
  DBUS_SESSION_BUS_ADDRESS="$(head -n 1 "$work/bus")"
  export DBUS_SESSION_BUS_ADDRESS
}

# The tray icon under X11: the one visible window of the app, small and square.
icon_window() {
  local window
  for window in $(xdotool search --onlyvisible --class vantu 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$window")"
    if [ "$WIDTH" -le 64 ] && [ "$HEIGHT" -le 64 ]; then echo "$window"; return; fi
  done
}
icon_shown() { [ -n "$(icon_window)" ]; }

# Lines of the app's report that start with $1.
count() {
  local n
  n="$(grep -c "^$1" "$work/report" 2>/dev/null)" || true
  echo "${n:-0}"
}
# Whether the report holds at least $2 lines that start with $1.
count_reaches() { [ "$(count "$1")" -ge "$2" ]; }

# The StatusNotifierItem watcher and host of sni_host.py (logging to $work/host.log), and its
# client, which clicks and reads the registered item as a host would.
sni_host_script="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/sni_host.py"
sni() { /usr/bin/python3 "$sni_host_script" "$@"; }
start_sni_host() {  # [ICON_DIR]
  /usr/bin/python3 "$sni_host_script" serve "$work/host.log" "${1:-}" >>"$work/host.out" 2>&1 &
  host_pid=$!
  pids+=("$host_pid")
}
stop_sni_host() {
  kill "$host_pid"
  wait "$host_pid" 2>/dev/null || true
}
# How many times an item registered with a watcher.
registrations() {
  local n
  n="$(grep -c '"event": "registered"' "$work/host.log" 2>/dev/null)" || true
  echo "${n:-0}"
}
registrations_reach() { [ "$(registrations)" -ge "$1" ]; }
