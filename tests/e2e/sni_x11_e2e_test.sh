#!/usr/bin/env bash
# Drives the real tray app under Xvfb with a StatusNotifierItem tray: a watcher and host on a
# private session bus (sni_host.py), as KDE Plasma, GNOME's AppIndicator extension or waybar
# run them. Started before the tray, the app shows its panel as a window; once the watcher
# appears the item registers and the window gives way; the item's properties, its D-Bus menu
# and its clicks do what they say; when the watcher goes the window comes back, and a watcher
# that starts again gets the item again, as does one that lets it go. Started while the watcher
# runs, the app docks at once. Last, xfce4-panel's tray: the icon's second click closes for good.
#
#   sni_x11_e2e_test.sh VANTU TEST_LISTENER [SCREENSHOT_DIR]
#
# Exits 77 (skipped) only when no X server or session bus can be started.
set -euo pipefail

vantu="$1"
test_listener="$2"
screenshots="${3:-}"
# shellcheck source=e2e_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"

for tool in xdotool /usr/bin/python3; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/dev.sh deps installs it)"
done
/usr/bin/python3 -c 'import dbus_next' 2>/dev/null || fail "python3-dbus-next is not installed (scripts/dev.sh deps installs it)"

start_xvfb
start_session_bus
say "X server on $DISPLAY, session bus at $DBUS_SESSION_BUS_ADDRESS"

# The last event of the host's log whose kind is $1, as JSON.
last_event() { grep "\"event\": \"$1\"" "$work/host.log" 2>/dev/null | tail -n 1; }
# A field of the last "registered" or "New…" event, read by a Python expression on `e`.
event_field() { last_event "$1" | /usr/bin/python3 -c "import json, sys; e = json.load(sys.stdin); print($2)"; }
screenshot() {
  if [ -n "$screenshots" ] && command -v import >/dev/null; then
    mkdir -p "$screenshots"
    import -window root "$screenshots/$1.png" || true
  fi
}

# One dev server of the test's own. No dev server of the machine's must appear, nor be stopped:
# detection off, only the test's port included.
mkdir -p "$work/home" "$work/config/vantu" "$work/runtime"
chmod 700 "$work/runtime"
port="$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
printf '{"discovery.automatic": false, "discovery.included": "%s"}\n' "$port" >"$work/config/vantu/vantu.json"
[ -z "$screenshots" ] || mkdir -p "$screenshots"

# --- The app before any tray: the panel is a window.
ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}strict_string_checks=0" \
  HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" \
  "$vantu" --test-report "$work/report" >"$work/vantu.log" 2>&1 &
app_pid=$!
pids+=("$app_pid")
wait_for "the panel in a window" count_reaches 'tray window' 1
panel_visible() { [ -n "$(xdotool search --onlyvisible --class vantu 2>/dev/null)" ]; }
panel_gone() { ! panel_visible; }
wait_for "the window to be mapped" panel_visible
say "no tray yet: the panel is a window"

# --- A watcher appears: the item registers with it, the window gives way.
start_sni_host "$screenshots"
wait_for "the item to register" registrations_reach 1
wait_for "the app to dock" count_reaches 'tray docked' 1
wait_for "the window to go" panel_gone
[ "$(event_field registered 'e["Title"]')" = "Vantu" ] || fail "title: $(last_event registered)"
[ "$(event_field registered 'e["Id"], e["Category"], e["Status"], e["ItemIsMenu"]')" = \
  "vantu ApplicationStatus Active False" ] || fail "item properties: $(last_event registered)"
[ "$(event_field registered 'e["Menu"]')" != "/NO_DBUSMENU" ] || fail "the item has no menu"
[ "$(event_field registered 'e["ToolTip"][2]')" = "Vantu — Development ports" ] || fail "tooltip title: $(last_event registered)"
[ -n "$(event_field registered 'e["ToolTip"][3]')" ] || fail "the tooltip has no text"
# Each size of the icon has light and dark parts, so it reads on a light and on a dark bar.
[ "$(event_field registered 'all(i["dark"] > 0.1 and i["light"] > 0.1 for i in e["IconPixmap"]) and len(e["IconPixmap"]) >= 3')" = True ] ||
  fail "the icon does not read on light and dark bars: $(event_field registered 'e["IconPixmap"]')"
say "registered: $(event_field registered 'e["service"], e["Title"], e["ToolTip"][3]')"

# --- The menu: its four entries, as the host reads them.
labels="$(sni layout | /usr/bin/python3 -c '
import json, sys
layout = json.load(sys.stdin)["layout"]
print("|".join(child[1]["label"] for child in layout[2] if child[1].get("type") != "separator"))')"
[ "$labels" = "Open Vantu|Refresh|Discovery Settings…|Quit" ] || fail "menu entries: $labels"

# A dev server starts; Refresh scans, and the tooltip then tells what the scan found.
"$test_listener" "$port" >"$work/listener.out" &
listener=$!
pids+=("$listener")
listening() { grep -q '^PORT ' "$work/listener.out"; }
wait_for "the dev server to listen" listening
scans="$(count scanning)"
sni click Refresh
scanned_once_more() { [ "$(count scanning)" -gt "$scans" ] && [ "$(count scanning)" -eq "$(count scanned)" ]; }
wait_for "the menu's Refresh to scan" scanned_once_more
told() { [ "$(event_field NewToolTip 'e["ToolTip"][3]' 2>/dev/null)" = "1 development server running" ]; }
wait_for "the tooltip to tell the count" told
[ "$(count shown)" -eq 1 ] || fail "Refresh opened the panel"
# Open opens the popover.
shown_before="$(count shown)"
sni click "Open Vantu"
shown_more() { [ "$(count shown)" -gt "$shown_before" ]; }
wait_for "the menu's Open Vantu to open the popover" shown_more
hidden_before="$(count hidden)"
sni activate 0 0
hidden_more() { [ "$(count hidden)" -gt "$hidden_before" ]; }
wait_for "Activate to close the popover" hidden_more
say "the menu lists Open Vantu, Refresh, Discovery Settings…, Quit; Refresh and Open Vantu work"

# --- The server heads the menu, with what its row offers; the menu scans as it is about to show.
server_listed() { sni labels >"$work/labels" && head -n 1 "$work/labels" | grep -q " · $port\$"; }
wait_for "the server atop the menu" server_listed
server="$(head -n 1 "$work/labels")"
[ "$(sed -n 2,5p "$work/labels" | tr '\n' '|')" = "  Stop|  Open in Browser|  Copy Address|  Show Project Folder|" ] &&
  grep -qx "  Choose Project Folder…" "$work/labels" || fail "the server's submenu: $(cat "$work/labels")"
scans="$(count scanning)"
[ "$(sni about-to-show)" = False ] || fail "AboutToShow asked for an update it would not give"
wait_for "AboutToShow to scan" scanned_once_more

# --- Activate opens the popover at the pointer when the host gives no place...
xdotool mousemove 700 300
sleep 0.3
shown_before="$(count shown)"
sni activate 0 0
wait_for "the popover" shown_more
read -r _ pop_x pop_y pop_w _ < <(grep '^shown ' "$work/report" | tail -n 1)
[ "$pop_w" -eq 290 ] || fail "popover width $pop_w, expected 290"
[ $((pop_x + pop_w / 2 - 700)) -ge -2 ] && [ $((pop_x + pop_w / 2 - 700)) -le 2 ] ||
  fail "popover at x=$pop_x is not centred on the pointer at 700"
[ $((pop_y - 300)) -ge 0 ] && [ $((pop_y - 300)) -le 8 ] || fail "popover at y=$pop_y does not hang below the pointer at 300"
screenshot sni-x11-popover
say "Activate opened the popover at $pop_x,$pop_y under the pointer"
# ... and a second Activate closes it.
hidden_before="$(count hidden)"
sni activate 0 0
wait_for "a second Activate to close the popover" hidden_more

# --- With a place, the popover opens there, whatever the pointer; a click elsewhere closes it.
# (A person's next click comes later than a script's: on a busy machine the focus events of the
# popup that has just closed can still be under way, and close the next one.)
sleep 0.3
shown_before="$(count shown)"
sni activate 1000 40
wait_for "the popover" shown_more
read -r _ pop_x pop_y _ _ < <(grep '^shown ' "$work/report" | tail -n 1)
[ "$pop_x" -eq $((1000 - 145)) ] && [ $((pop_y - 40)) -ge 0 ] && [ $((pop_y - 40)) -le 8 ] ||
  fail "popover at $pop_x,$pop_y, expected under 1000,40"
hidden_before="$(count hidden)"
xdotool mousemove 200 650 click 1
wait_for "a click elsewhere to close the popover" hidden_more
say "Activate at 1000,40 opened it there; a click elsewhere closed it"

# --- ContextMenu opens the menu at the given place.
sni context 400 300
wait_for "the menu" count_reaches 'menu shown' 1
screenshot sni-x11-menu
xdotool key Escape
wait_for "the menu to close" count_reaches 'menu hidden' 1
say "ContextMenu opened the menu"

# --- The server's Stop stops it, and the menu lets it go.
updates="$(grep -c '"event": "LayoutUpdated"' "$work/host.log")" || true
sni click "$server" Stop
listener_gone() { ! ps -o stat= -p "$listener" | grep -qv Z; }
wait_for "the menu's Stop to end the server" listener_gone
server_unlisted() { ! sni labels | grep -q " · $port\$"; }
wait_for "the server to leave the menu" server_unlisted
[ "$(grep -c '"event": "LayoutUpdated"' "$work/host.log")" -gt "${updates:-0}" ] || fail "no LayoutUpdated announced the change"
say "the menu's Stop ended $server; LayoutUpdated told the host"

# --- The watcher goes (a panel restart): the window comes back; it returns: the item too.
stop_sni_host
wait_for "the window to come back" count_reaches 'tray window' 2
wait_for "the window to be mapped again" panel_visible
say "watcher gone: the panel is a window again"
start_sni_host "$screenshots"
wait_for "the item to register with the new watcher" registrations_reach 2
wait_for "the app to dock again" count_reaches 'tray docked' 2
wait_for "the window to go again" panel_gone
say "a new watcher got the item"

# --- A watcher that restarts at once (its name changes hands while the app may still be asking
# the old one) gets the item too; and never a second item, such as one of Qt's own.
stop_sni_host
start_sni_host
wait_for "the item to register with the restarted watcher" registrations_reach 3
sleep 1
[ "$(registrations)" -eq 3 ] || fail "expected one item per watcher, saw $(registrations) registrations"
# Ours registers by its path on the app's connection; Qt's own would by a name.
[ "$(grep '"event": "registered"' "$work/host.log" | grep -c '"service": ":1\.[0-9]*", "path": "/StatusNotifierItem"')" -eq 3 ] ||
  fail "an item under another name registered: $(grep '"event": "registered"' "$work/host.log" | cut -c1-120)"
panel_gone || fail "the panel is a window although the restarted watcher has the item"
say "a watcher that restarted at once got the item, and only it"

# --- The app started while the watcher runs docks at once: its window never shows.
kill "$app_pid"
wait "$app_pid" 2>/dev/null || true
mv "$work/report" "$work/report.first"
ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}strict_string_checks=0" \
  HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" \
  "$vantu" --test-report "$work/report" >"$work/vantu.log" 2>&1 &
app_pid=$!
pids+=("$app_pid")
wait_for "the item to register at start" registrations_reach 4
wait_for "the app to dock" count_reaches 'tray docked' 1
sleep 1
[ "$(grep -c '^tray\|^shown' "$work/report")" -eq 1 ] || fail "the app did more than dock: $(grep '^tray\|^shown' "$work/report")"
panel_gone || fail "a window shows although the tray has the item"
say "started with the tray running, the app docked at once"

# --- A watcher that lets the item go gets it again; one that never keeps it, a few times, and
# then the panel is a window again.
docked="$(count 'tray docked')"
before="$(registrations)"
stop_sni_host
SNI_DROP=1 start_sni_host
wait_for "the dropped item to register again" registrations_reach $((before + 2))
wait_for "the app to dock again" count_reaches 'tray docked' $((docked + 1))
sleep 1
panel_gone || fail "the panel is a window although the watcher took the item again"
windows="$(count 'tray window')"
stop_sni_host
before="$(registrations)"
SNI_DROP=99 start_sni_host
wait_for "the app to give up on the tray" count_reaches 'tray window' $((windows + 2))
tries="$(($(registrations) - before))"
sleep 2
[ "$(($(registrations) - before))" -eq "$tries" ] || fail "the app kept registering after it gave up"
say "a watcher that let the item go got it again; one that never kept it: $tries tries, then the window"

# --- xfce4-panel's tray: a click on the icon opens the popover, the next closes it for good (the
# popup's close on that press and the panel's Activate must not reopen it).
stop_sni_host
mkdir -p "$work/config/xfce4/xfconf/xfce-perchannel-xml"
cat >"$work/config/xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="30"/>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray"/>
  </property>
</channel>
XML
xfconfd="$(ls /usr/lib/*/xfce4/xfconf/xfconfd 2>/dev/null | head -n 1)"
[ -x "$xfconfd" ] && command -v xfce4-panel >/dev/null || fail "xfce4-panel is not installed (scripts/dev.sh deps installs it)"
# The settings daemon reads the panel's layout from the test's folder, not the user's.
HOME="$work/home" XDG_CONFIG_HOME="$work/config" "$xfconfd" >"$work/xfconfd.log" 2>&1 &
pids+=($!)
HOME="$work/home" XDG_CONFIG_HOME="$work/config" xfce4-panel --disable-wm-check >"$work/panel.log" 2>&1 &
pids+=($!)
e2e_logs+=("$work/panel.log")
docked="$(count 'tray docked')"
wait_for "the app to dock into xfce4-panel" count_reaches 'tray docked' $((docked + 1))
# The icon: the one thing drawn on the bar besides its background.
icon_x() {
  import -window root -crop 1280x1+0+15 +repage "$work/bar.txt" 2>/dev/null && /usr/bin/python3 -c '
import sys; pixels = [line.split()[2] for line in open(sys.argv[1]) if not line.startswith("#")]
drawn = [x for x, colour in enumerate(pixels) if colour != pixels[-1]]
print((drawn[0] + drawn[-1]) // 2 if drawn and drawn[-1] - drawn[0] < 40 else "")' "$work/bar.txt"
}
icon_drawn() { x="$(icon_x)" && [ -n "$x" ]; }
wait_for "the icon on the bar" icon_drawn
shown_before="$(count shown)"
xdotool mousemove "$x" 15 click 1
wait_for "a click on the icon to open the popover" shown_more
screenshot xfce-popover
hidden_before="$(count hidden)"
shown_before="$(count shown)"
sleep 0.6  # later than a double click's second click, which counts as part of the first
xdotool mousemove "$x" 15 click 1
wait_for "a second click to close it" hidden_more
sleep 1
[ "$(count shown)" -eq "$shown_before" ] && panel_gone || fail "the popover opened again after the click that closed it"
say "xfce4-panel: a click on the icon at $x opened the popover, the next closed it, and it stayed closed"

# --- An X11 client of a Wayland desktop: the popover's stand-in keeps out of the taskbar.
kill "$app_pid"
wait "$app_pid" 2>/dev/null || true
mv "$work/report" "$work/report.second"
ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}strict_string_checks=0" QT_QPA_PLATFORM=xcb WAYLAND_DISPLAY=wayland-e2e-none \
  HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" \
  "$vantu" --test-report "$work/report" >"$work/vantu.log" 2>&1 &
app_pid=$!
pids+=("$app_pid")
wait_for "the app to dock again" count_reaches 'tray docked' 1
sleep 0.6
shown_before="$(count shown)"
xdotool mousemove "$x" 15 click 1
wait_for "the popover's stand-in" shown_more
wait_for "its window to be mapped" panel_visible
states="$(xprop -id "$(xdotool search --onlyvisible --class vantu | head -n 1)" _NET_WM_STATE)"
[[ $states == *_SKIP_TASKBAR* && $states == *_SKIP_PAGER* ]] || fail "the popover's stand-in states: $states"
echo "PASS"
