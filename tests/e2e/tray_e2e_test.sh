#!/usr/bin/env bash
# Drives the real tray app under Xvfb with an XEmbed tray (trayer). Started before any tray,
# the app says so and shows its panel as a window; once trayer runs, it docks into the tray.
# Dev servers run in project folders; a click on the tray icon shows them by their project
# names, a click on Stop ends one and removes its row, a second click with the pointer kept
# still does not stop the server whose row slid under it, a server started while the popover
# is open appears by itself, Tab walks the screen's order and never lands on Quit after a stop,
# and a click on the icon closes the popover again. A double click on
# a row opens its server in a stand-in browser. The icon's right-click menu opens, a double click
# leaves the popover open, a row's menu offers to open the server, copy its address and show its
# folder, and stops the whole process group its server runs in (what Ctrl+C leaves running
# included, by force once offered), a second launch hands over to the running app, and when the
# tray goes the panel is a window again.
#
#   tray_e2e_test.sh VANTU TEST_LISTENER [SCREENSHOT_DIR]
#
# Exits 77 (skipped) only when no X server can be started.
set -euo pipefail

vantu="$1"
test_listener="$2"
screenshots="${3:-}"
# shellcheck source=e2e_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
# An XEmbed tray only: no StatusNotifierItem watcher of the desktop running the test.
unset DBUS_SESSION_BUS_ADDRESS
start_xvfb
for tool in trayer xdotool; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/dev.sh deps installs it)"
done
say "X server on $DISPLAY"

# --- Three free ports, in ascending order: the site, a neighbour listed below it, and one for
# a server started later.
read -r port neighbour_port live_port group_port < <(python3 -c '
import socket
held = [socket.socket() for _ in range(4)]
for s in held: s.bind(("127.0.0.1", 0))
print(*sorted(s.getsockname()[1] for s in held))')

# --- Dev servers: the test listener, started as "node", each in a project with a package.json.
mkdir -p "$work/bin" "$work/home" "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
ln -s "$test_listener" "$work/bin/node"
# The browser: a stand-in xdg-open, first on the app's PATH, that writes down what it opens.
printf '#!/bin/sh\necho "$1" >>"%s/opened"\n' "$work" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
start_server() {  # name port -> pid in $started
  mkdir -p "$work/projects/$1"
  printf '{"name":"%s"}\n' "$1" >"$work/projects/$1/package.json"
  "$work/bin/node" --chdir "$work/projects/$1" "$2" >"$work/$1.out" &
  started=$!
  pids+=("$started")
  server_output="$work/$1.out"
  server_ready() { grep -q '^PORT ' "$server_output"; }
  wait_for "$1 to listen" server_ready
}
start_server e2e-site "$port"; listener=$started
start_server e2e-neighbour "$neighbour_port"; neighbour=$started
say "dev servers: pid $listener on port $port, pid $neighbour on port $neighbour_port"

# The last block of rows the app reported.
last_rows() { awk '/^rows /{block=""; inblock=1; next} /^end$/{inblock=0; last=block; next} inblock{block=block $0 "\n"} END{printf "%s", last}' "$work/report"; }
row_of_site() { last_rows | awk -F'\t' -v port="$port" '$1 == "row " port && $2 == "e2e-site"'; }
# Every scan started has ended.
scans_settled() { [ "$(count scanning)" -eq "$(count scanned)" ]; }

# Only this dev server is shown: automatic detection off, its port included. The machine
# may run other servers of the same user, and a test must never stop those.
mkdir -p "$work/config/vantu"
printf '{"discovery.automatic": false, "discovery.included": "%s, %s, %s, %s"}\n' "$port" "$neighbour_port" "$live_port" \
  "$group_port" \
  >"$work/config/vantu/vantu.json"

# --- The app before there is a tray: it says so in one line and shows the panel as a window.
# Under AddressSanitizer, strict string checks are off for the app: the X keyboard library
# calls strndup on names that are not NUL-terminated, which strndup allows.
launch() {
  ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}strict_string_checks=0" PATH="$work/bin:$PATH" \
    HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" "$vantu" "$@"
}
launch --test-report "$work/report" >"$work/vantu.log" 2>&1 &
pids+=($!)
in_window() { grep -q '^tray window' "$work/report" 2>/dev/null && [ "$(count shown)" -ge 1 ]; }
wait_for "the panel in a window" in_window
[ "$(grep -c 'no system tray' "$work/vantu.log")" -eq 1 ] || fail "expected one line about the missing tray"
panel_window() { xdotool search --onlyvisible --class vantu 2>/dev/null | head -n 1; }
[ -n "$(panel_window)" ] || fail "the panel window is not visible"
say "no tray: $(grep 'no system tray' "$work/vantu.log")"

# --- A tray appears (trayer along the top edge): the panel moves into it.
trayer --edge top --align right --widthtype request --height 28 --SetDockType true >"$work/trayer.log" 2>&1 &
trayer_pid=$!
pids+=("$trayer_pid")
docked() { grep -q '^tray docked' "$work/report"; }
wait_for "the app to dock into the tray" docked
wait_for "the tray icon" icon_shown
panel_hidden() { [ "$(count hidden)" -ge 1 ]; }
wait_for "the window to give way to the tray" panel_hidden
eval "$(xdotool getwindowgeometry --shell "$(icon_window)")"
icon_x=$((X + WIDTH / 2)); icon_y=$((Y + HEIGHT / 2)); icon_bottom=$((Y + HEIGHT))
say "docked: tray icon at ${X},${Y} ${WIDTH}x${HEIGHT}"
wait_for "the first scan to end" scans_settled

# --- Open the popover: it lists the dev server by its project name.
scans="$(count scanning)"
shown_before="$(count shown)"
xdotool mousemove "$icon_x" "$icon_y" click 1
shown_visible() { [ "$(count shown)" -gt "$shown_before" ]; }
wait_for "the popover" shown_visible
read -r _ pop_x pop_y pop_w pop_h < <(grep '^shown ' "$work/report" | tail -n 1)
[ "$pop_w" -eq 290 ] || fail "popover width $pop_w, expected 290"
[ "$pop_y" -ge "$icon_bottom" ] || fail "popover at y=$pop_y does not hang below the icon (bottom $icon_bottom)"
site_listed() { [ -n "$(row_of_site)" ]; }
wait_for "the row of e2e-site" site_listed
wait_for "the scan to end" scans_settled
[ "$(count scanning)" -eq $((scans + 1)) ] || fail "opening the popover should scan once, saw $(($(count scanning) - scans))"
[ "$(last_rows | grep -c '^row ')" -eq 2 ] || fail "expected only the test's own dev servers: $(last_rows)"
say "row shown: $(row_of_site | tr '\t' ' ')"
if [ -n "$screenshots" ] && command -v import >/dev/null; then
  mkdir -p "$screenshots"
  import -window root "$screenshots/e2e-popover.png" || true
fi

# --- Stop it: hover the row to reveal the button, then click it.
read -r _ _ _ slot button_x button_y < <(row_of_site | tr '\t' ' ')
[ "$slot" = "button" ] || fail "the row's slot is $slot, expected the stop button"
xdotool mousemove "$button_x" "$button_y"
sleep 0.3
xdotool click 1
listener_gone() {
  local state
  state="$(awk '{print $3}' "/proc/$listener/stat" 2>/dev/null || true)"
  [ -z "$state" ] || [ "$state" = "Z" ]
}
# A button takes no click until the pointer's arrival has revealed it; on a loaded machine the
# click can overtake that. Taken, it turns the row into a spinner (or ends the server at once).
stop_taken() { listener_gone || grep -q "^row $port"$'\t'"e2e-site"$'\t'"spinner" "$work/report"; }
if ! holds_within 3 stop_taken; then
  say "the first click came before the button showed; clicking again"
  xdotool click 1
fi
wait_for "the dev server to exit" listener_gone
wait "$listener" 2>/dev/null || true
say "dev server stopped"
site_removed() { [ -z "$(row_of_site)" ] && [ "$(count 'rows ')" -gt 0 ]; }
wait_for "the row to go" site_removed
say "row removed"

# --- The neighbour's row has slid up under the pointer, which has not moved. A second click
# there was meant for the stopped server: the neighbour keeps running.
xdotool click 1
sleep 2
kill -0 "$neighbour" 2>/dev/null || fail "the click meant for the stopped row stopped the neighbour"
last_rows | grep -q "^row $neighbour_port"$'\t' || fail "the neighbour's row is gone: $(last_rows)"
say "a still pointer's second click stopped nothing"

# --- A double click on the neighbour's row (off its button) opens its server: the listener never
# answers the TLS probe, so the address is plain http.
read -r _ _ _ _ button_x button_y < <(last_rows | awk -F'\t' -v port="$neighbour_port" '$1 == "row " port' | tr '\t' ' ')
xdotool mousemove $((button_x - 120)) "$button_y"
sleep 0.3
xdotool click --repeat 2 --delay 80 1
browser_opened() { grep -qx "http://localhost:$neighbour_port/" "$work/opened" 2>/dev/null; }
wait_for "the stand-in browser to be asked for the neighbour" browser_opened
kill -0 "$neighbour" 2>/dev/null || fail "opening the server stopped it"
say "a double click opened $(cat "$work/opened")"

# --- A server started while the popover is open appears by itself within 3 seconds.
wait_for "the refresh after the stop to end" scans_settled
sleep 0.5
start_server e2e-live "$live_port"
live_started=$SECONDS
live_listed() { last_rows | grep -q "^row $live_port"$'\t'"e2e-live"; }
limit=3 wait_for "the new server's row" live_listed
say "a new server appeared after $((SECONDS - live_started)) s without a click"

# --- The keyboard alone, after the neighbour restarts (its row made later, shown higher).
kill "$neighbour"
neighbour_listed() { last_rows | grep -q "^row $neighbour_port"$'\t'; }
neighbour_gone() { ! neighbour_listed; }
wait_for "the neighbour's row to go" neighbour_gone
start_server e2e-neighbour "$neighbour_port"; neighbour=$started
wait_for "the neighbour's new row" neighbour_listed
wait_for "the scan to end" scans_settled
focus_now() { grep '^focus ' "$work/report" | tail -n 1 | cut -d' ' -f2-; }
press() {  # key...: presses each and waits for the focus to move
  local key before
  for key in "$@"; do
    before="$(count focus)"
    xdotool key "$key"
    focus_moved() { [ "$(count focus)" -gt "$before" ]; }
    holds_within 3 focus_moved || true
  done
}
for _ in 1 2 3 4 5 6 7 8; do [ "$(focus_now)" = "settingsButton" ] || press Tab; done
visited="$(focus_now)"
for _ in 1 2 3 4 5 6 7; do press Tab; visited+=" / $(focus_now)"; done
expected="settingsButton / refreshButton / row $neighbour_port / button $neighbour_port / row $live_port"
[ "$visited" = "$expected / button $live_port / quitButton / settingsButton" ] || fail "Tab visited: $visited"
press Tab Tab Tab  # the neighbour's button
for step in "Down:$live_port" "Up:$neighbour_port" "End:$live_port" "Home:$neighbour_port"; do
  press "${step%%:*}"; [ "$(focus_now)" = "button ${step#*:}" ] || fail "${step%%:*} went to $(focus_now)"
done
say "Tab follows the screen ($visited); Up, Down, Home and End move between the rows"
# Space stops the neighbour; Tab then goes on down the list, before and after its row goes.
scans="$(count scanned)"
xdotool key space
neighbour_stopped() { ! kill -0 "$neighbour" 2>/dev/null; }
wait_for "the neighbour to stop" neighbour_stopped
in_list() { press Tab; case "$(focus_now)" in row*|button*) ;; *) fail "Tab after a stop went to $(focus_now)" ;; esac; }
in_list
wait_for "the stopped row to go" neighbour_gone
in_list
wait_for "the refresh after the stop" count_reaches scanned $((scans + 1))
say "after a stop by Space, Tab stays among the rows ($(focus_now))"

# --- A click on the icon while the popover is shown closes it, without a scan.
wait_for "the refresh after the stop to end" scans_settled
scans="$(count scanning)"
xdotool mousemove "$icon_x" "$icon_y" click 1
# Whether the popover was last hidden or shown: a scan it started may end after it closed.
last_state() { grep -aE '^(shown|hidden)' "$work/report" | tail -n 1 | cut -d' ' -f1; }
hidden_after_click() { [ "$(last_state)" = "hidden" ]; }
wait_for "the popover to close" hidden_after_click
sleep 1.5
[ "$(count scanning)" -eq "$scans" ] || fail "closing the popover started a scan"
[ "$(last_state)" = "hidden" ] || fail "the popover reopened after closing: $(tail -n 3 "$work/report")"
say "popover closed by the icon"

# --- Open, close and at once open again: the click that reopens comes quickly enough after
# the one that closed to count as a double click, and still opens the popover (and scans).
shown_before="$(count shown)"
xdotool click 1
shown_again() { [ "$(count shown)" -gt "$shown_before" ]; }
wait_for "the popover to reopen" shown_again
# Past the double-click time: a second click sooner would be a double click, which keeps it open.
sleep 0.5
hidden_before="$(count hidden)"
xdotool click 1
closed_again() { [ "$(count hidden)" -gt "$hidden_before" ]; }
wait_for "the popover to close once more" closed_again
shown_before="$(count shown)"
xdotool click 1
wait_for "the popover to reopen at once" shown_again
# (Two openings this close together may share one scan: the store merges the requests.)
[ "$(count scanning)" -gt "$scans" ] || fail "reopening did not scan"
say "quick close and reopen"

# --- A double click on the icon of a closed popover leaves it open. (First a single click to
# close it, long enough after the last one not to count as its double.)
sleep 0.8
xdotool mousemove "$icon_x" "$icon_y" click 1
wait_for "the popover to close" hidden_after_click
sleep 0.5
shown_before="$(count shown)"
xdotool click --repeat 2 --delay 120 1
wait_for "the popover to open" shown_again
sleep 1
[ "$(last_state)" != "hidden" ] ||
  fail "a double click closed the popover again: $(grep -v '^row\|^rows\|^end' "$work/report" | tail -n 8 | tr '\n' ' ')"
say "a double click leaves the popover open"

# --- A right click opens the icon's menu.
sleep 0.8
xdotool mousemove "$icon_x" "$icon_y" click 1
wait_for "the popover to close" hidden_after_click
menu_shown() { grep -q '^menu shown$' "$work/report"; }
xdotool click 3
wait_for "the tray menu" menu_shown
if [ -n "$screenshots" ] && command -v import >/dev/null; then
  import -window root "$screenshots/e2e-tray-menu.png" || true
fi
xdotool key Escape
say "the right-click menu opened"

# --- A row's menu stops the whole group its server runs in. A script's group: its shell, a
# server started in the background (which ignores SIGINT, as Ctrl+C would find it, and SIGTERM
# too) and a helper. One click ends the shell and the helper; the server then gets force.
mkdir -p "$work/projects/e2e-group"
printf '{"name":"e2e-group"}\n' >"$work/projects/e2e-group/package.json"
setsid sh -c '"$0" --chdir "$1" --ignore-term "$2" >/dev/null & sleep 600 & wait' \
  "$work/bin/node" "$work/projects/e2e-group" "$group_port" &
group=$!
pids+=("$group")
group_members() { ps -o pid= -g "$group" 2>/dev/null | while read -r pid; do
  [ "$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null)" = "Z" ] || echo "$pid"; done || true; }
group_started() { [ "$(group_members | wc -l)" -eq 3 ]; }
wait_for "the group's three processes" group_started
sleep 0.8
shown_before="$(count shown)"
xdotool mousemove "$icon_x" "$icon_y" click 1
wait_for "the popover" shown_again
row_of_group() { last_rows | awk -F'\t' -v port="$group_port" '$1 == "row " port'; }
group_listed() { [ -n "$(row_of_group)" ]; }
wait_for "the group's row" group_listed
wait_for "the scan to end" scans_settled
open_row_menu() {  # -> the menu's items, one per line
  local before
  before="$(count 'row menu')"
  read -r _ _ _ _ button_x button_y < <(row_of_group | tr '\t' ' ')
  xdotool mousemove $((button_x - 120)) "$button_y"
  sleep 0.3
  xdotool click 3
  row_menu_shown() { [ "$(count 'row menu')" -gt "$before" ]; }
  wait_for "the row's menu" row_menu_shown
  sleep 0.3
}
open_row_menu
stop_item="$(grep '^row menu' "$work/report" | tail -n 1 | tr '\t' '\n' | grep '^Stop sh ' || true)"
[[ "$stop_item" == *"(3 processes)" ]] || fail "no item stops the group: $(grep '^row menu' "$work/report" | tail -n 1)"
for item in "Open in Browser" "Copy Address" "Show Project Folder"; do
  grep '^row menu' "$work/report" | tail -n 1 | tr '\t' '\n' | grep -qx "$item" ||
    fail "the row's menu lacks $item: $(grep '^row menu' "$work/report" | tail -n 1)"
done
say "the row's menu offers: $stop_item"
if [ -n "$screenshots" ] && command -v import >/dev/null; then
  import -window root "$screenshots/e2e-row-menu.png" || true
fi
# The last item: Up from no selection wraps to it.
xdotool key Up Return
one_left() { [ "$(group_members | wc -l)" -eq 1 ]; }
wait_for "the shell and the helper to end" one_left
# The polite stop's wait (1.2 s), then the refresh it asks for.
sleep 2
wait_for "the refresh after the stop" scans_settled
open_row_menu
forced_item="$(grep '^row menu' "$work/report" | tail -n 1 | tr '\t' '\n' | grep '^Force Quit ' || true)"
[[ "$forced_item" == *" (1 process)" ]] || fail "no forced stop offered: $(grep '^row menu' "$work/report" | tail -n 1)"
say "then offers: $forced_item"
xdotool key Up Return
group_gone() { [ -z "$(group_members)" ]; }
wait_for "every process of the group to end" group_gone
group_row_gone() { [ -z "$(row_of_group)" ]; }
wait_for "the group's row to go" group_row_gone
say "the row's menu stopped every process of the group"
hidden_before="$(count hidden)"
xdotool mousemove "$icon_x" "$icon_y" click 1
wait_for "the popover to close" closed_again

# --- A second launch hands over to the running app, opens its panel and ends with status 0.
shown_before="$(count shown)"
launch >"$work/second.log" 2>&1 || fail "the second launch failed: $(cat "$work/second.log")"
wait_for "the running app to open its panel" shown_again
icons=0
for window in $(xdotool search --onlyvisible --class vantu 2>/dev/null); do
  eval "$(xdotool getwindowgeometry --shell "$window")"
  if [ "$WIDTH" -le 64 ] && [ "$HEIGHT" -le 64 ]; then icons=$((icons + 1)); fi
done
[ "$icons" -eq 1 ] || fail "expected one tray icon after a second launch, found $icons"
say "a second launch handed over; one tray icon"

# --- The tray goes (a panel restart): the panel comes back as a window, not docked.
kill "$trayer_pid"
wait "$trayer_pid" 2>/dev/null || true
wait_for "the window to come back" count_reaches 'tray window' 2
window_shown() { [ -n "$(xdotool search --onlyvisible --class vantu 2>/dev/null)" ]; }
wait_for "the panel window" window_shown
say "tray gone: the panel is a window again"
echo "PASS"
