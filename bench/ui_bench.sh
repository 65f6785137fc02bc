#!/usr/bin/env bash
# Measures the real tray app under Xvfb with an XEmbed tray (trayer):
#   - time from a click on the tray icon to the popover's first painted frame;
#   - resident memory after start and after many open/close cycles;
#   - CPU time and context switches while idle with the popover closed.
#
#   bench/ui_bench.sh VANTU [CYCLES=50] [IDLE_SECONDS=60]
#
# Build VANTU in a Release folder first, with the tests, whose test hooks give it the report
# this reads (cmake --build build-release --target vantu).
set -euo pipefail

vantu="$1"
cycles="${2:-50}"
idle="${3:-60}"
limit=20

fail() {
  echo "FAIL: $*" >&2
  [ -f "${work:-}/report" ] && grep -v "^row " "$work/report" | tail -n 12 >&2
  exit 1
}
for tool in Xvfb trayer xdotool; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/dev.sh deps installs it)"
done

# The XEmbed tray is what is measured: not a StatusNotifierItem tray of the desktop running this.
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY
work="$(mktemp -d)"
pids=()
cleanup() {
  local index
  for ((index = ${#pids[@]} - 1; index >= 0; index--)); do kill "${pids[index]}" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

wait_for() {
  local what="$1"; shift
  local deadline=$((SECONDS + limit))
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || fail "timed out waiting for $what"
    sleep 0.005
  done
}

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
exec 3>&-
display_ready() { [ -s "$work/display" ]; }
wait_for "Xvfb" display_ready
export DISPLAY=":$(tr -d '[:space:]' <"$work/display")"
trayer --edge top --align right --widthtype request --height 28 >/dev/null 2>&1 &
pids+=($!)
tray_up() { xdotool search --class trayer >/dev/null 2>&1; }
wait_for "the tray" tray_up

# A few dev servers, so the popover has rows to show.
if command -v python3 >/dev/null; then
  for name in shop docs api; do
    mkdir -p "$work/projects/$name"
    printf '{"name":"%s"}\n' "$name" >"$work/projects/$name/package.json"
    (cd "$work/projects/$name" && exec python3 -m http.server --bind 127.0.0.1 0 >/dev/null 2>&1) &
    pids+=($!)
  done
fi

mkdir -p "$work/home" "$work/config"
# A runtime folder of its own: with the user's, this copy would hand over to a Vantu the user
# already runs, and measure nothing.
mkdir -p -m 0700 "$work/runtime"
HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" "$vantu" --test-report "$work/report" >"$work/vantu.log" 2>&1 &
app=$!
pids+=("$app")
icon_window() { xdotool search --onlyvisible --class vantu 2>/dev/null | head -n 1; }
icon_docked() { [ -n "$(icon_window)" ]; }
wait_for "the tray icon" icon_docked
eval "$(xdotool getwindowgeometry --shell "$(icon_window)")"
icon_x=$((X + WIDTH / 2)); icon_y=$((Y + HEIGHT / 2))

rss_kib() { awk '/^VmRSS:/ {print $2}' "/proc/$app/status"; }
cpu_ticks() { awk '{print $14 + $15}' "/proc/$app/stat"; }
# The main thread's wake-ups: idle pool threads of earlier scans may exit meanwhile.
switches() { awk '/^(voluntary|nonvoluntary)_ctxt_switches:/ {sum += $2} END {print sum}' "/proc/$app/task/$app/status"; }
count() { grep -c "^$1" "$work/report" || true; }

sleep 2
rss_start="$(rss_kib)"

latencies=()
for ((cycle = 1; cycle <= cycles; cycle++)); do
  painted_before="$(count painted)"
  scans_before="$(count scanning)"
  hidden_before="$(count hidden)"
  start="$(date +%s%N)"
  xdotool mousemove "$icon_x" "$icon_y" click 1
  painted() { [ "$(count painted)" -gt "$painted_before" ]; }
  wait_for "the popover's first frame" painted
  painted_at="$(grep '^painted ' "$work/report" | tail -n 1 | cut -d' ' -f2)"
  latencies+=($(((painted_at - start) / 1000)))
  # Let the refresh that the opening started finish before closing again.
  scan_done() { [ "$(count scanning)" -gt "$scans_before" ] && [ "$(count scanned)" -eq "$(count scanning)" ]; }
  wait_for "the refresh" scan_done
  # A click within the double-click time would make a double click, which leaves it open.
  sleep 0.5
  xdotool click 1
  closed() { [ "$(count hidden)" -gt "$hidden_before" ]; }
  wait_for "the popover to close" closed
  sleep 0.1
  if [ "$cycle" -eq 1 ]; then
    sleep 2
    rss_first="$(rss_kib)"
  fi
done
sleep 2
rss_after="$(rss_kib)"

ticks_before="$(cpu_ticks)"
switches_before="$(switches)"
sleep "$idle"
ticks_after="$(cpu_ticks)"
switches_after="$(switches)"
hz="$(getconf CLK_TCK)"

sorted=($(printf '%s\n' "${latencies[@]}" | sort -n))
n=${#sorted[@]}
median=${sorted[$((n / 2))]}
p95=${sorted[$(((n * 95 + 99) / 100 - 1))]}
echo "click to first painted frame over $n openings: min $((sorted[0] / 1000)).$(printf '%03d' $((sorted[0] % 1000))) ms," \
  "median $((median / 1000)).$(printf '%03d' $((median % 1000))) ms, p95 $((p95 / 1000)).$(printf '%03d' $((p95 % 1000))) ms," \
  "max $((sorted[n - 1] / 1000)).$(printf '%03d' $((sorted[n - 1] % 1000))) ms"
echo "resident memory: ${rss_start} KiB after start, ${rss_first} KiB after the first open/close," \
  "${rss_after} KiB after $cycles ($((rss_after - rss_first)) KiB more than after the first)"
echo "idle ${idle} s with the popover closed: $(((ticks_after - ticks_before) * 1000 / hz)) ms CPU," \
  "$((switches_after - switches_before)) wake-ups of the main thread"
