#!/usr/bin/env bash
# What a screen reader hears: the real app under Xvfb with Qt's AT-SPI bridge on a private
# session bus and its own accessibility bus. Two dev servers run; the panel is a window (no
# tray). The window is named "Vantu"; each row reads as a container of labels (port, name,
# detail) and a named Stop button; the footer count is a label; a row's menu, opened with
# Shift+F10, names its items; no name or description carries markup; the symbols that only
# decorate are not shown to it, and nothing that takes focus is nameless.
#
#   accessibility_e2e_test.sh VANTU TEST_LISTENER
#
# Exits 77 (skipped) only when no X server or session bus can be started.
set -euo pipefail

vantu="$1"
test_listener="$2"
# shellcheck source=e2e_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
launcher=/usr/libexec/at-spi-bus-launcher
for tool in xdotool /usr/bin/python3 "$launcher"; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/dev.sh deps installs it)"
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || fail "python3-pyatspi is not installed (scripts/dev.sh deps installs it)"

start_xvfb
start_session_bus
"$launcher" --launch-immediately >"$work/atspi.log" 2>&1 &
pids+=($!)
a11y_bus() { dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1; }
wait_for "the accessibility bus" a11y_bus
say "X server on $DISPLAY, accessibility bus up"

mkdir -p "$work/home" "$work/config/vantu" "$work/runtime" "$work/bin"
chmod 700 "$work/runtime"
ln -s "$test_listener" "$work/bin/node"
read -r port_a port_b < <(/usr/bin/python3 -c '
import socket
held = [socket.socket() for _ in range(2)]
for s in held: s.bind(("127.0.0.1", 0))
print(*sorted(s.getsockname()[1] for s in held))')
printf '{"discovery.automatic": false, "discovery.included": "%s, %s"}\n' "$port_a" "$port_b" >"$work/config/vantu/vantu.json"
for name in a11y-alpha a11y-beta; do
  mkdir -p "$work/projects/$name"
  printf '{"name":"%s"}\n' "$name" >"$work/projects/$name/package.json"
done
"$work/bin/node" --chdir "$work/projects/a11y-alpha" "$port_a" >"$work/alpha.out" &
pids+=($!)
"$work/bin/node" --chdir "$work/projects/a11y-beta" "$port_b" >"$work/beta.out" &
pids+=($!)
listening() { grep -q '^PORT ' "$work/alpha.out" && grep -q '^PORT ' "$work/beta.out"; }
wait_for "the dev servers to listen" listening

QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}strict_string_checks=0" \
  HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" \
  "$vantu" --test-report "$work/report" >"$work/vantu.log" 2>&1 &
pids+=($!)
wait_for "the panel in a window" count_reaches 'tray window' 1
rows_listed() { grep -q "^row $port_b" "$work/report"; }
wait_for "the rows" rows_listed
scans_settled() { [ "$(count scanning)" -eq "$(count scanned)" ]; }
wait_for "the scan to end" scans_settled

# The tree as the screen reader sees it: "role|name|description|states" per object, indented.
tree() {
  /usr/bin/python3 - "$@" <<'PY'
import sys, pyatspi
desktop = pyatspi.Registry.getDesktop(0)
def walk(node, depth):
    try:
        states = node.getState()
        visible = states.contains(pyatspi.STATE_SHOWING)
        focusable = states.contains(pyatspi.STATE_FOCUSABLE)
        print("%s%s|%s|%s|%s%s" % ("  " * depth, node.getRoleName(), node.name, node.description,
                                   "showing" if visible else "hidden", " focusable" if focusable else ""))
        for child in node:
            if child is not None:
                walk(child, depth + 1)
    except Exception as error:  # an object that went while the tree was read
        print("%s(gone: %s)" % ("  " * depth, error))
for app in desktop:
    if app is not None and app.name == "vantu":
        walk(app, 0)
PY
}
tree >"$work/tree"
grep -q . "$work/tree" || fail "the app is not on the accessibility bus: $(cat "$work/atspi.log")"
shown() { grep '|showing' "$work/tree"; }
expect() {  # pattern, what
  grep -Eq "$1" "$work/tree" || fail "$2 not heard: $(cat "$work/tree")"
}
expect '^  (frame|window|dialog)\|Vantu\|' "the window's name"
expect "^ *label\|$port_a\|" "the first row's port"
expect '^ *label\|a11y-alpha\|' "the first row's name"
expect '^ *label\|a11y-beta\|' "the second row's name"
expect "^ *push button\|Stop a11y-alpha, node, port $port_a, PID [0-9]+\|Stop a11y-alpha \(SIGTERM\)\|" "the first row's Stop button"
expect "^ *push button\|Stop a11y-beta, node, port $port_b, PID [0-9]+\|" "the second row's Stop button"
expect '^ *label\|2 dev ports\|' "the footer count"
expect '^ *push button\|Quit\|' "the Quit button"
expect '^ *push button\|Discovery settings\|Discovery settings \(' "the settings button"
! grep -q '<' "$work/tree" || fail "markup is heard: $(grep '<' "$work/tree")"
! shown | grep -Eq '\|(lock\.fill|network|checkmark\.circle|[a-z]+\.[a-z.]+)\|' || fail "a symbol's name is heard: $(shown | grep -E '\|[a-z]+\.[a-z.]+\|')"
! shown | grep -Eq '^ *[a-z ]+\|\|[^|]*\|showing focusable' || fail "something focusable has no name: $(shown | grep -E '^ *[a-z ]+\|\|[^|]*\|showing focusable')"
texts="($port_a|$port_b|a11y-alpha|a11y-beta|VANTU|node · PID [0-9]+|[0-9]+ dev ports)"
! shown | grep -Eq "^ *filler\|$texts\|" || fail "a text is heard as a filler: $(shown | grep -E "^ *filler\|$texts\|")"
expect '^ *label\|VANTU\|' "the title"
say "window, rows, footer and buttons are heard by name and role, without markup"

# --- A row's menu, from the keyboard. A popup is not among the application's windows in the
# tree: it is heard through the focus events of its items, and read from there.
/usr/bin/python3 - >"$work/events" 2>&1 <<'PY' &
import pyatspi
from gi.repository import GLib
def heard(event):
    source = event.source
    if source is None or source.getRoleName() not in ("menu item", "check menu item"):
        return
    menu = source.parent
    for item in (menu if menu is not None else [source]):
        if item is not None:
            print("%s|%s|%s|" % (item.getRoleName(), item.name, item.description), flush=True)
pyatspi.Registry.registerEventListener(heard, "object:state-changed:focused", "object:state-changed:selected")
GLib.timeout_add_seconds(30, pyatspi.Registry.stop)
print("listening", flush=True)
pyatspi.Registry.start()
PY
pids+=($!)
listener_ready() { grep -q '^listening' "$work/events"; }
wait_for "the event listener" listener_ready
sleep 0.5
menu_before="$(count 'row menu')"
xdotool key Tab Tab Tab shift+F10
menu_opened() { [ "$(count 'row menu')" -gt "$menu_before" ]; }
wait_for "the row's menu" menu_opened
sleep 0.3
xdotool key Down
items_heard() { grep -q '|Choose Project Folder…|' "$work/events"; }
wait_for "the menu's items to be heard" items_heard
cp "$work/events" "$work/tree"
for item in "Open in Browser" "Copy Address" "Show Project Folder" "Choose Project Folder…"; do
  expect "^(menu item|check menu item)\|$item\|" "the menu item $item"
done
! grep -q '<' "$work/tree" || fail "markup is heard in the menu: $(grep '<' "$work/tree")"
xdotool key Escape
say "the row's menu names its items"
echo "PASS"
