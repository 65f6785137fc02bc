#!/usr/bin/env bash
# What a screen reader hears through Qt's AT-SPI bridge (private buses; the panel as a window):
# the window "Vantu", labels, named buttons and menu items, no markup, no nameless focusable thing.
#   accessibility_e2e_test.sh VANTU TEST_LISTENER      (77: skipped, no X server or bus)
set -euo pipefail
vantu="$1"
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || fail "python3-pyatspi is not installed (scripts/dev.sh deps)"
start_xvfb
start_session_bus
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/atspi.log" 2>&1 & pids+=($!)
a11y_bus() { dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1; }
wait_for "the accessibility bus" a11y_bus
mkdir -p "$work/home" "$work/config/vantu" "$work/runtime" "$work/bin" && chmod 700 "$work/runtime"
ln -s "$2" "$work/bin/node"
port_a="$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
printf '{"discovery.automatic": false, "discovery.included": "%s"}\n' "$port_a" >"$work/config/vantu/vantu.json"
mkdir -p "$work/projects/a11y-alpha" && printf '{"name":"a11y-alpha"}\n' >"$work/projects/a11y-alpha/package.json"
"$work/bin/node" --chdir "$work/projects/a11y-alpha" "$port_a" >"$work/alpha.out" & pids+=($!)
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}strict_string_checks=0" \
  HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" \
  "$vantu" --test-report "$work/report" >"$work/vantu.log" 2>&1 & pids+=($!)
wait_for "the row" grep -qs "^row $port_a" "$work/report"

# "role|name|description|showing [focusable]" per object by depth; "menu": a focused item's menu.
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
    [walk(child, depth + 1) for child in node if child is not None]
def heard(event):
    if event.source is not None and event.source.getRoleName() == "menu item":
        [line(item) for item in event.source.parent]
if sys.argv[1:] == ["menu"]:
    pyatspi.Registry.registerEventListener(heard, "object:state-changed:focused", "object:state-changed:selected")
    GLib.timeout_add_seconds(30, pyatspi.Registry.stop)
    print("listening", flush=True)
    pyatspi.Registry.start()
[walk(app, 0) for app in pyatspi.Registry.getDesktop(0) if app is not None and app.name == "vantu"]
PY
}
expect() { grep -Eq "$1" "$work/tree" || fail "$2 not heard: $(cat "$work/tree")"; }
hear >"$work/tree"
for heard in '  frame\|Vantu' 'label\|VANTU' 'label\|1 dev port' 'push button\|Quit' 'push button\|Refresh ports' \
  "label\|$port_a" 'label\|a11y-alpha' 'label\|node · PID [0-9]+' \
  "push button\|Stop a11y-alpha, node, port $port_a, PID [0-9]+\|Stop a11y-alpha \(SIGTERM\)"; do expect "^ *$heard\|" "$heard"; done
! grep -Eq '<|\|(lock\.fill|network|checkmark\.circle)\|' "$work/tree" || fail "markup or a symbol's name is heard"
! grep -Eq "^ *[a-z ]+\|\|[^|]*\|showing focusable|^ *filler\|($port_a|a11y-alpha|VANTU)\|" "$work/tree" ||
  fail "a focusable thing without a name, or a text heard as a filler: $(cat "$work/tree")"
say "window, rows, footer and buttons are heard by name and role, without markup"

# A popup is not in the application's tree: its items are heard as they take the focus.
hear menu >"$work/tree" 2>&1 & pids+=($!)
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
