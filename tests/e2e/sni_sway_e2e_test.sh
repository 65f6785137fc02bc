#!/usr/bin/env bash
# Drives the real tray app as a native Wayland client of a headless sway, with a
# StatusNotifierItem watcher and host (sni_host.py, as waybar runs one) on a private session
# bus that starts after the app. The late tray is used; Activate opens the popover, focus moving
# to another window closes it, ContextMenu opens it too, a second Activate closes it, and when
# the tray goes the panel comes back as a window; then the same through Xwayland. Screenshots
# with grim.
#
#   sni_sway_e2e_test.sh VANTU [SCREENSHOT_DIR]
#
# sway refuses to run as root: as root, the whole scenario runs as the user nobody, from copies
# that user can read. Exits 77 (skipped) only when sway, grim, foot or dbus-daemon is missing.
set -euo pipefail

vantu="$1"
screenshots="${2:-}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

for tool in sway swaymsg grim foot dbus-daemon; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed" >&2; exit 77; }
done
/usr/bin/python3 -c 'import dbus_next' 2>/dev/null || { echo "FAIL: python3-dbus-next is not installed" >&2; exit 1; }

if [ "$(id -u)" -eq 0 ]; then
  stage="$(mktemp -d)"
  trap 'rm -rf "$stage"' EXIT
  cp "$vantu" "$stage/vantu"
  cp "$here/sni_sway_e2e_test.sh" "$here/sni_host.py" "$here/e2e_lib.sh" "$stage/"
  mkdir "$stage/screenshots"
  chown -R nobody "$stage"
  chmod 755 "$stage"
  status=0
  setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups \
    env -i PATH="$PATH" LANG="${LANG:-C.UTF-8}" LC_ALL="${LC_ALL:-C.UTF-8}" TMPDIR=/tmp \
    ASAN_OPTIONS="${ASAN_OPTIONS:-}" UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" \
    bash "$stage/sni_sway_e2e_test.sh" "$stage/vantu" "$stage/screenshots" || status=$?
  if [ -n "$screenshots" ]; then
    mkdir -p "$screenshots"
    cp "$stage"/screenshots/*.png "$screenshots/" 2>/dev/null || true
  fi
  exit "$status"
fi

# shellcheck source=e2e_lib.sh
source "$here/e2e_lib.sh"
e2e_logs+=("$work/sway.log")
unset DISPLAY WAYLAND_DISPLAY
export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config"
mkdir -p "$HOME" "$XDG_CONFIG_HOME/vantu" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# No dev server of the machine's must appear: detection off, nothing included.
printf '{"discovery.automatic": false, "discovery.included": ""}\n' >"$XDG_CONFIG_HOME/vantu/vantu.json"
start_session_bus

# --- A headless sway with one 1280x800 output and no input devices.
printf 'output HEADLESS-1 resolution 1280x800\n' >"$work/sway.conf"
WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c "$work/sway.conf" >"$work/sway.log" 2>&1 &
pids+=($!)
sway_ready() {
  local socket
  for socket in "$XDG_RUNTIME_DIR"/wayland-*; do
    [ -S "$socket" ] && WAYLAND_DISPLAY="$(basename "$socket")" && break
  done
  for socket in "$XDG_RUNTIME_DIR"/sway-ipc.*.sock; do [ -S "$socket" ] && SWAYSOCK="$socket"; done
  [ -n "${WAYLAND_DISPLAY:-}" ] && [ -n "${SWAYSOCK:-}" ]
}
wait_for "sway" sway_ready
export WAYLAND_DISPLAY SWAYSOCK
say "sway on $WAYLAND_DISPLAY, session bus at $DBUS_SESSION_BUS_ADDRESS"

# The windows sway shows, one line each: app_id (or X11 class), focused, x, y, width, height.
windows() {
  swaymsg -t get_tree | /usr/bin/python3 -c '
import json, sys
def walk(node):
    if node.get("type") in ("con", "floating_con") and node.get("pid"):
        r = node["rect"]
        name = node.get("app_id") or node.get("window_properties", {}).get("class")  # Xwayland: the class
        print(name, node.get("focused"), r["x"], r["y"], r["width"], r["height"])
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        walk(child)
walk(json.load(sys.stdin))'
}
vantu_window() { windows | grep '^vantu ' || true; }
shown_on_screen() { [ -n "$(vantu_window)" ]; }
gone_from_screen() { [ -z "$(vantu_window)" ]; }
screenshot() {
  [ -z "$screenshots" ] || grim "$screenshots/$1.png" || true
}

# --- The app before the tray: its panel is a window.
QT_QPA_PLATFORM=wayland ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}strict_string_checks=0" \
  "$vantu" --test-report "$work/report" >"$work/vantu.log" 2>&1 &
app_pid=$!
pids+=("$app_pid")
wait_for "the panel in a window" count_reaches 'tray window' 1
wait_for "sway to show the window" shown_on_screen
screenshot sway-window
say "no tray yet: the panel is a window ($(vantu_window))"

# --- The tray starts after the app: the item registers and the window gives way.
start_sni_host
wait_for "the item to register with the late tray" registrations_reach 1
wait_for "the app to dock" count_reaches 'tray docked' 1
wait_for "the window to go" gone_from_screen
say "the late tray got the item"

# --- Activate opens the popover where sway places it: on screen, focused.
shown_before="$(count shown)"
sni activate 0 0
shown_more() { [ "$(count shown)" -gt "$shown_before" ]; }
wait_for "the popover" shown_more
wait_for "sway to show the popover" shown_on_screen
read -r _ focused x y width height < <(vantu_window)
[ "$width" -eq 290 ] || fail "popover width $width, expected 290"
[ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + width)) -le 1280 ] && [ $((y + height)) -le 800 ] ||
  fail "the popover at $x,$y ${width}x$height is not wholly on the 1280x800 output"
[ "$focused" = "True" ] || fail "the popover did not take the focus: $(windows)"
screenshot sway-popover
say "Activate opened the popover; sway placed it at $x,$y ${width}x$height"

# --- Another window takes the focus: the popover closes. (Once the app's own request to be
# activated has surely reached sway, or that would take the focus back.)
sleep 0.5
hidden_before="$(count hidden)"
foot --app-id e2e-other -- sleep 120 >"$work/foot.log" 2>&1 &
pids+=($!)
hidden_more() { [ "$(count hidden)" -gt "$hidden_before" ]; }
wait_for "the popover to close when another window takes the focus" hidden_more
wait_for "sway to drop the popover" gone_from_screen
other_focused() { windows | grep -q '^e2e-other True'; }
wait_for "the other window to have the focus" other_focused
screenshot sway-focus-elsewhere
say "focus moved to another window: the popover closed"

# --- ContextMenu opens the panel, which offers the menu's commands (a menu without a parent
# window would be tiled over the whole output); a second Activate closes it. (Past the guard
# that takes a click on the icon right after the popover lost the focus for the click that
# took it away.)
sleep 0.5
shown_before="$(count shown)"
sni context 0 0
wait_for "ContextMenu to open the panel" shown_more
wait_for "sway to show it" shown_on_screen
read -r _ _ _ _ width _ < <(vantu_window)
[ "$width" -eq 290 ] && [ "$(count 'menu shown')" -eq 0 ] || fail "ContextMenu showed $(vantu_window)"
hidden_before="$(count hidden)"
sni activate 0 0
wait_for "a second Activate to close it" hidden_more
say "ContextMenu opened the panel; a second Activate closed it"

# The menu's Open Vantu opens the popover too.
shown_before="$(count shown)"
sni click "Open Vantu"
wait_for "Open Vantu to open the popover" shown_more
wait_for "sway to show it" shown_on_screen

# --- The tray goes: the panel is a window again.
stop_sni_host
wait_for "the window to come back" count_reaches 'tray window' 2
wait_for "sway to show the window again" shown_on_screen
say "tray gone: the panel is a window again"

# --- The same app forced onto Xwayland: focus moving to a Wayland window closes the popover (a
# popup's grab would never see that), and sway places it on screen as it places the window.
if command -v Xwayland >/dev/null; then
  kill "$app_pid"
  wait "$app_pid" 2>/dev/null || true
  swaymsg exec "printenv DISPLAY >$work/xdisplay" >/dev/null
  xdisplay_known() { [ -s "$work/xdisplay" ]; }
  wait_for "sway's Xwayland display" xdisplay_known
  start_sni_host
  report="$work/report"
  mv "$report" "$work/report.wayland"
  DISPLAY="$(cat "$work/xdisplay")" QT_QPA_PLATFORM=xcb \
    ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}strict_string_checks=0" \
    "$vantu" --test-report "$report" >"$work/vantu-xwayland.log" 2>&1 &
  pids+=($!)
  wait_for "the app on Xwayland to dock" count_reaches 'tray docked' 1
  shown_before="$(count shown)"
  sni activate 900 40
  wait_for "the popover on Xwayland" shown_more
  wait_for "sway to show it" shown_on_screen
  read -r _ focused x y width height < <(vantu_window)
  [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + width)) -le 1280 ] && [ $((y + height)) -le 800 ] ||
    fail "on Xwayland the popover at $x,$y ${width}x$height is not wholly on the output"
  [ "$focused" = "True" ] || fail "on Xwayland the popover did not take the focus: $(windows)"
  screenshot sway-xwayland-popover
  say "on Xwayland sway placed the popover at $x,$y ${width}x$height (the app asked for $(grep '^shown ' "$report" | tail -n 1 | cut -d' ' -f2,3))"
  # The app's own request to be activated may reach sway after the window was mapped and
  # focused; a focus change before it would be undone by it.
  sleep 0.5
  hidden_before="$(count hidden)"
  swaymsg '[app_id="e2e-other"] focus' >/dev/null
  wait_for "the popover to close when a Wayland window takes the focus" hidden_more
  say "on Xwayland, focus moving to a Wayland window closed the popover"
fi
echo "PASS"
