#!/usr/bin/env bash
# What a screen reader hears, through Qt's AT-SPI bridge on a private session and accessibility
# bus, from the panel shown as a window (no tray) with two dev servers: the window is "Vantu",
# texts are labels, buttons are named, a row's menu (Shift+F10) names its items, nothing heard
# carries markup or a symbol's name, and nothing focusable is nameless.
#   accessibility_e2e_test.sh VANTU TEST_LISTENER      (77: skipped, no X server or bus)
set -euo pipefail
vantu="$1"
# shellcheck source=e2e_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || fail "python3-pyatspi is not installed (scripts/dev.sh deps installs it)"
start_xvfb
start_session_bus
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/atspi.log" 2>&1 &
pids+=($!)
a11y_bus() { dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1; }
wait_for "the accessibility bus" a11y_bus
mkdir -p "$work/home" "$work/config/vantu" "$work/runtime" "$work/bin"
chmod 700 "$work/runtime"
ln -s "$2" "$work/bin/node"
read -r port_a port_b < <(/usr/bin/python3 -c '
import socket
held = [socket.socket() for _ in range(2)]
for s in held: s.bind(("127.0.0.1", 0))
print(*sorted(s.getsockname()[1] for s in held))')
printf '{"discovery.automatic": false, "discovery.included": "%s, %s"}\n' "$port_a" "$port_b" >"$work/config/vantu/vantu.json"
for server in "a11y-alpha $port_a" "a11y-beta $port_b"; do
  set -- $server
  mkdir -p "$work/projects/$1" && printf '{"name":"%s"}\n' "$1" >"$work/projects/$1/package.json"
  "$work/bin/node" --chdir "$work/projects/$1" "$2" >"$work/$1.out" &
  pids+=($!)
done
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}strict_string_checks=0" \
  HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" \
  "$vantu" --test-report "$work/report" >"$work/vantu.log" 2>&1 &
pids+=($!)
listed() { grep -q "^row $port_a" "$work/report" 2>/dev/null && grep -q "^row $port_b" "$work/report"; }
wait_for "both rows" listed

# "role|name|description|showing [focusable]" of every object, indented by depth; with "menu",
# instead the items of each menu whose item takes the focus, for 30 seconds.
hear() {
  /usr/bin/python3 - "$@" <<'PY'
import sys, pyatspi
from gi.repository import GLib
def line(node, depth=0):
    states = node.getState()
    print("%s%s|%s|%s|%s%s" % ("  " * depth, node.getRoleName(), node.name, node.description,
          "showing" if states.contains(pyatspi.STATE_SHOWING) else "hidden",
          " focusable" if states.contains(pyatspi.STATE_FOCUSABLE) else ""), flush=True)
def walk(node, depth):
    line(node, depth)
    for child in node:
        if child is not None:
            walk(child, depth + 1)
def heard(event):
    if event.source is not None and event.source.getRoleName() == "menu item":
        for item in event.source.parent:
            line(item)
if sys.argv[1:] == ["menu"]:
    pyatspi.Registry.registerEventListener(heard, "object:state-changed:focused", "object:state-changed:selected")
    GLib.timeout_add_seconds(30, pyatspi.Registry.stop)
    print("listening", flush=True)
    pyatspi.Registry.start()
for app in pyatspi.Registry.getDesktop(0):
    if app is not None and app.name == "vantu":
        walk(app, 0)
PY
}
expect() { grep -Eq "$1" "$work/tree" || fail "$2 not heard: $(cat "$work/tree")"; }
hear >"$work/tree"
expect '^  frame\|Vantu\|' "the window's name"
expect '^ *label\|VANTU\|' "the title"
for row in "a11y-alpha $port_a" "a11y-beta $port_b"; do
  set -- $row
  expect "^ *label\|$2\|" "the port $2"
  expect "^ *label\|$1\|" "the name $1"
  expect "^ *label\|node · PID [0-9]+\|" "the detail of $1"
  expect "^ *push button\|Stop $1, node, port $2, PID [0-9]+\|Stop $1 \(SIGTERM\)\|" "the Stop button of $1"
done
for text in 'label\|2 dev ports' 'push button\|Quit' 'push button\|Discovery settings' 'push button\|Refresh ports'; do
  expect "^ *$text\|" "$text"
done
! grep -q '<' "$work/tree" || fail "markup is heard: $(grep '<' "$work/tree")"
! grep -E '\|showing' "$work/tree" | grep -Eq '^ *[a-z ]+\|([a-z]+\.[a-z.]+|)\|[^|]*\|showing focusable' ||
  fail "a symbol's name, or a focusable thing without a name: $(cat "$work/tree")"
! grep -Eq "^ *filler\|($port_a|a11y-alpha|node · PID [0-9]+|VANTU|2 dev ports)\|" "$work/tree" || fail "a text is heard as a filler"
! grep -Eq '\|(lock\.fill|network|checkmark\.circle)\|' "$work/tree" || fail "a symbol's name is heard"
say "window, rows, footer and buttons are heard by name and role, without markup"

# A popup is not among the application's windows in the tree: its items are heard as they
# take the focus.
hear menu >"$work/tree" 2>&1 &
pids+=($!)
wait_for "the event listener" grep -q '^listening' "$work/tree"
xdotool key Tab Tab Tab shift+F10
wait_for "the row's menu" grep -q '^row menu' "$work/report"
sleep 0.3
xdotool key Down
wait_for "the menu's items to be heard" grep -q '|Choose Project Folder…|' "$work/tree"
for item in "Open in Browser" "Copy Address" "Show Project Folder"; do expect "^menu item\|$item\|" "the menu item $item"; done
! grep -q '<' "$work/tree" || fail "markup is heard in the menu: $(grep '<' "$work/tree")"
say "the row's menu names its items"
echo "PASS"
