#!/usr/bin/env bash
# Drives the real tray app under a headless GNOME Shell with the AppIndicator extension, as a
# GNOME user meets it:
# - the icon appears on the first registration in a fresh shell each time, the app started as
#   the shell comes up (the login case), and again after the extension is turned off and on;
# - a single click on the icon shows the menu with the running dev server, whose Stop stops it;
# - "Open Vantu" opens the popover as an X11 window under the icon, focused and out of the
#   overview, and a click on the icon closes it for good.
# Pointer input goes through a virtual pointer of the compositor's own seat, and pictures through
# org.gnome.Shell.Screenshot, both reached through the shell's Eval with a test extension that
# turns on the shell's unsafe mode. The shell's login-manager lookups go to a private system bus.
#
#   gnome_e2e_test.sh VANTU TEST_LISTENER [SCREENSHOT_DIR]
#
# Exits 77 (skipped) only when gnome-shell or the extension is missing.
set -euo pipefail

vantu="$1"
test_listener="$2"
screenshots="${3:-}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
fresh_runs=10
extension=ubuntu-appindicators@ubuntu.com

# shellcheck source=e2e_lib.sh
source "$here/e2e_lib.sh"
command -v gnome-shell >/dev/null || skip "gnome-shell is not installed"
[ -d "/usr/share/gnome-shell/extensions/$extension" ] || skip "the AppIndicator extension is not installed"
command -v gdbus >/dev/null || fail "gdbus is not installed"
e2e_logs+=("$work/shell.log")
# Mutter starts no Xwayland without the X11 socket folder, which a machine without an X server
# yet lacks.
[ -d /tmp/.X11-unix ] || mkdir -m 1777 /tmp/.X11-unix || fail "no /tmp/.X11-unix, and it cannot be made"
[ -z "$screenshots" ] || mkdir -p "$screenshots"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM XAUTHORITY
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" GSETTINGS_BACKEND=keyfile
mkdir -p "$HOME" "$XDG_CONFIG_HOME/vantu" "$XDG_CONFIG_HOME/glib-2.0/settings" "$work/bin"

# --- The shell's settings: the extension and the test's own one on, no welcome tour.
printf "[org/gnome/shell]\nenabled-extensions=['%s', 'e2e@vantu.test']\nwelcome-dialog-last-shown-version='999'\n" \
  "$extension" >"$XDG_CONFIG_HOME/glib-2.0/settings/keyfile"
mkdir -p "$XDG_DATA_HOME/gnome-shell/extensions/e2e@vantu.test"
printf '{"uuid": "e2e@vantu.test", "name": "Vantu e2e", "description": "Lets the test use Eval.", "shell-version": ["43"]}\n' \
  >"$XDG_DATA_HOME/gnome-shell/extensions/e2e@vantu.test/metadata.json"
printf 'function init() {}\nfunction enable() { global.context.unsafe_mode = true; }\nfunction disable() {}\n' \
  >"$XDG_DATA_HOME/gnome-shell/extensions/e2e@vantu.test/extension.js"

# --- Buses of the test's own, on which anyone may own and call anything, and nothing starts on
# demand: the accessibility bus the shell would start would outlive the test.
bus_config() {  # type address
  printf '<busconfig><type>%s</type><listen>%s</listen><auth>EXTERNAL</auth><policy context="default">' "$1" "$2"
  printf '<allow user="*"/><allow own="*"/><allow send_destination="*"/><allow receive_sender="*"/></policy></busconfig>\n'
}
bus_config system "unix:path=$work/system_bus" >"$work/system.conf"
bus_config session "unix:tmpdir=$work" >"$work/session.conf"
dbus-daemon --config-file="$work/system.conf" --nofork --nopidfile >"$work/system-bus.log" 2>&1 &
pids+=($!)
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/system_bus"
system_bus_ready() { [ -S "$work/system_bus" ]; }
wait_for "the system bus" system_bus_ready

# --- The dev server, included by its port; nothing else of the machine's is shown.
ln -s "$test_listener" "$work/bin/node"
mkdir -p "$work/projects/e2e-shop"
printf '{"name":"e2e-shop"}\n' >"$work/projects/e2e-shop/package.json"
# In a session of its own, as a terminal would start it, and not in the test's process group.
setsid "$work/bin/node" --chdir "$work/projects/e2e-shop" 0 >"$work/server.out" &
server=$!
pids+=("$server")
server_ready() { grep -q '^PORT ' "$work/server.out"; }
wait_for "the dev server to listen" server_ready
port="$(awk '/^PORT/ {print $2}' "$work/server.out")"
printf '{"discovery.automatic": false, "discovery.included": "%s"}\n' "$port" >"$XDG_CONFIG_HOME/vantu/vantu.json"

shell_call() {  # object-path method [argument...]
  gdbus call --session --dest org.gnome.Shell --object-path "$1" --method "$2" "${@:3}"
}
# The shell's Eval: prints what the code gave, or fails.
shell_eval() {
  local out
  out="$(shell_call /org/gnome/Shell org.gnome.Shell.Eval "$1" 2>&1)" || fail "Eval: $out"
  case "$out" in "(true, '"*) ;; *) fail "the shell refused the Eval: $out" ;; esac
  out="${out#(true, \'}"
  out="${out%\')}"
  out="${out#\"}"
  printf '%s\n' "${out%\"}"
}
eval_allowed() { shell_call /org/gnome/Shell org.gnome.Shell.Eval global.context.unsafe_mode 2>/dev/null | grep -q "'true'"; }
indicator='Object.entries(Main.panel.statusArea).find(([key]) => key.startsWith("appindicator"))?.[1]'
# The icon's place in the top bar, "x y width height", when it is shown.
icon_geometry() {
  shell_eval "const i = $indicator; i && i.visible && i.is_mapped() ? [...i.get_transformed_position(), ...i.get_transformed_size()].map(Math.round).join(\" \") : \"\""
}
icon_in_top_bar() { [ -n "$(icon_geometry)" ]; }
icon_gone() { [ -z "$(icon_geometry)" ]; }
# A press and release of the primary button at x y, from a virtual pointer of the shell's seat.
pointer_click() {
  shell_eval "const C = imports.gi.Clutter; global.e2ePointer ??= C.get_default_backend().get_default_seat().create_virtual_device(C.InputDeviceType.POINTER_DEVICE); const p = global.e2ePointer, t = imports.gi.GLib.get_monotonic_time(); p.notify_absolute_motion(t, $1, $2); p.notify_button(t + 10000, C.BUTTON_PRIMARY, C.ButtonState.PRESSED); p.notify_button(t + 20000, C.BUTTON_PRIMARY, C.ButtonState.RELEASED); 0" >/dev/null
}
click_icon() {
  local x y width height
  read -r x y width height < <(icon_geometry)
  pointer_click $((x + width / 2)) $((y + height / 2))
}
# The open menu's items with a label, one a line: depth, x and y of the centre, label.
menu_items() {
  shell_eval "const i = $indicator, out = []; const walk = (menu, depth) => menu._getMenuItems().forEach(item => { if (item.label && item.label.text && item.is_mapped()) { const [x, y] = item.get_transformed_position(), [w, h] = item.get_transformed_size(); out.push([depth, Math.round(x + w / 2), Math.round(y + h / 2), item.label.text].join(\";\")); } if (item.menu && item.menu.isOpen) walk(item.menu, depth + 1); }); if (i && i.menu.isOpen) walk(i.menu, 0); out.join(\"|\")" |
    tr '|' '\n'
}
menu_open() { [ -n "$(menu_items)" ]; }
menu_closed() { [ -z "$(menu_items)" ]; }
menu_offers() { menu_items | cut -d';' -f4 | grep -qxF "$1"; }
click_menu_item() {
  local x y
  IFS=';' read -r _ x y _ < <(menu_items | awk -F';' -v label="$1" '$4 == label' | head -n 1)
  [ -n "$x" ] || fail "the menu does not offer \"$1\": $(menu_items | tr '\n' '|')"
  pointer_click "$x" "$y"
}
# The app's windows the shell manages: client type (0 Wayland, 1 X11), focused, out of the
# taskbar and overview, x, y, width, height.
vantu_windows() {
  shell_eval 'global.get_window_actors().map(a => a.meta_window).filter(w => w.get_wm_class() === "vantu").map(w => { const r = w.get_frame_rect(); return [w.get_client_type(), w.has_focus(), w.skip_taskbar, r.x, r.y, r.width, r.height].join(" "); }).join("|")' |
    tr '|' '\n' | sed '/^$/d'
}
screenshot() {  # name [crop geometry]
  [ -n "$screenshots" ] || return 0
  shell_call /org/gnome/Shell/Screenshot org.gnome.Shell.Screenshot.Screenshot false false "$work/shot.png" >/dev/null ||
    fail "no screenshot"
  if [ -n "${2:-}" ]; then convert "$work/shot.png" -crop "$2" +repage "$screenshots/$1.png"; else cp "$work/shot.png" "$screenshots/$1.png"; fi
}

# --- A fresh shell, on a fresh session bus, and the app started as soon as the shell is up.
shell_pids=()
start_shell_and_app() {
  export XDG_RUNTIME_DIR="$work/runtime-$1"
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  start_session_bus "--config-file=$work/session.conf"
  shell_pids=("${pids[-1]}")
  gnome-shell --headless --wayland --virtual-monitor 1280x800 >"$work/shell.log" 2>&1 &
  shell_pids+=($!)
  pids+=($!)
  shell_up() {
    grep -q 'Using public X11 display' "$work/shell.log" && [ -S "$XDG_RUNTIME_DIR/wayland-0" ] &&
      compgen -G "$XDG_RUNTIME_DIR/.mutter-Xwaylandauth.*" >/dev/null
  }
  wait_for "gnome-shell $1" shell_up
  # From the shell's start on to its extensions' (0 to 1.8 s), so that the registration meets
  # the extension at every point of its start.
  sleep "$((($1 - 1) / 5)).$((($1 - 1) % 5 * 2))"
  # The session's environment as GNOME gives it to the apps it starts.
  rm -f "$work/report"
  WAYLAND_DISPLAY=wayland-0 XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland \
    DISPLAY="$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$work/shell.log")" \
    XAUTHORITY="$(compgen -G "$XDG_RUNTIME_DIR/.mutter-Xwaylandauth.*")" \
    ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}strict_string_checks=0" \
    "$vantu" --test-report "$work/report" >"$work/vantu.log" 2>&1 &
  shell_pids+=($!)
  pids+=($!)
  wait_for "the shell to allow Eval" eval_allowed
}
stop_shell_and_app() {
  local index
  for ((index = ${#shell_pids[@]} - 1; index >= 0; index--)); do kill "${shell_pids[index]}" 2>/dev/null || true; done
  for index in "${shell_pids[@]}"; do wait "$index" 2>/dev/null || true; done
}

# --- The icon appears on its first registration, in a fresh shell each time, and stays.
for run in $(seq 1 "$fresh_runs"); do
  start_shell_and_app "$run"
  wait_for "the icon in the top bar (fresh shell $run)" icon_in_top_bar
  wait_for "the app to dock (fresh shell $run)" count_reaches 'tray docked' 1
  sleep 1
  icon_in_top_bar || fail "the icon went again in fresh shell $run"
  if grep -q 'While initalizing proxy' "$work/shell.log"; then
    fail "the extension could not read the item in fresh shell $run: $(grep 'While initalizing proxy' "$work/shell.log")"
  fi
  [ "$run" -eq "$fresh_runs" ] || stop_shell_and_app
done
say "the icon appeared on the first registration in $fresh_runs of $fresh_runs fresh shells"
shell_eval 'Main.overview.hide(); Main.messageTray.getSources().forEach(s => s.destroy()); 0' >/dev/null
sleep 1
screenshot gnome-top-bar 1280x32+0+0

# --- The extension turned off and on, three times: the panel is a window meanwhile, then the
# icon is back.
for cycle in 1 2 3; do
  windows_before="$(count 'tray window')"
  docked_before="$(count 'tray docked')"
  shell_call /org/gnome/Shell org.gnome.Shell.Extensions.DisableExtension "$extension" >/dev/null
  wait_for "the icon to go with the extension ($cycle)" icon_gone
  wait_for "the panel to become a window ($cycle)" count_reaches 'tray window' $((windows_before + 1))
  shell_call /org/gnome/Shell org.gnome.Shell.Extensions.EnableExtension "$extension" >/dev/null
  wait_for "the icon to come back with the extension ($cycle)" icon_in_top_bar
  wait_for "the app to dock again ($cycle)" count_reaches 'tray docked' $((docked_before + 1))
  sleep 1
  icon_in_top_bar || fail "the icon went again after the extension came back ($cycle)"
done
say "extension off and on, three times: the icon came back each time"

# --- A single click shows the menu, with the dev server first.
server_entry="e2e-shop · $port"
click_icon
wait_for "the menu" menu_open
# The menu opens with the list it had and follows the scan it starts: clicks wait for that.
scans_settled() { [ "$(count scanning)" -eq "$(count scanned)" ]; }
server_offered() { scans_settled && menu_offers "$server_entry"; }
wait_for "the server in the menu" server_offered
[ "$(menu_items | head -n 1 | cut -d';' -f4)" = "$server_entry" ] || fail "the menu does not start with the server: $(menu_items)"
menu_offers "Open Vantu" || fail "the menu lacks Open Vantu: $(menu_items)"
screenshot gnome-menu 500x300+780+0
click_menu_item "$server_entry"
wait_for "the server's own entries" menu_offers "Stop"
screenshot gnome-menu-server 500x420+780+0
click_menu_item "Stop"
server_gone() { ! kill -0 "$server" 2>/dev/null; }
wait_for "Stop in the menu to stop the server" server_gone
wait_for "the menu to close" menu_closed
say "a click showed the menu with $server_entry; its Stop stopped the server"

# --- "Open Vantu" opens the popover under the icon: an X11 window the shell placed where it
# asked, focused, and out of the overview and the window switcher.
read -r icon_x _ icon_width icon_height < <(icon_geometry)
click_icon
menu_settled() { scans_settled && menu_offers "Open Vantu" && ! menu_offers "$server_entry"; }
wait_for "the menu again, without the stopped server" menu_settled
shown_before="$(count shown)"
click_menu_item "Open Vantu"
shown_more() { [ "$(count shown)" -gt "$shown_before" ]; }
wait_for "Open Vantu to open the popover" shown_more
popover_mapped() { [ -n "$(vantu_windows)" ]; }
wait_for "the shell to show the popover" popover_mapped
popover_focused() { vantu_windows | grep -q '^1 true '; }
wait_for "the popover to take the focus" popover_focused
read -r client _ skips x y width height < <(vantu_windows)
[ "$client" -eq 1 ] || fail "the popover is not an X11 window: $(vantu_windows)"
[ "$skips" = "true" ] || fail "the popover would show in the overview: $(vantu_windows)"
[ "$width" -eq 290 ] || fail "popover width $width, expected 290"
icon_centre=$((icon_x + icon_width / 2))
[ "$y" -ge "$icon_height" ] && [ "$y" -le 200 ] && [ $((x + width)) -le 1280 ] &&
  [ "$x" -le "$icon_centre" ] && [ $((x + width)) -ge "$icon_centre" ] ||
  fail "the popover at $x,$y ${width}x$height is not under the icon at $icon_centre"
screenshot gnome-popover
say "Open Vantu opened the popover at $x,$y ${width}x$height, under the icon at $icon_centre"

# --- A click on the icon closes it, and it stays closed: the menu opens in its place.
sleep 0.5
hidden_before="$(count hidden)"
click_icon
hidden_more() { [ "$(count hidden)" -gt "$hidden_before" ]; }
wait_for "a click on the icon to close the popover" hidden_more
wait_for "the menu in its place" menu_open
sleep 1
[ -z "$(vantu_windows)" ] || fail "the popover came back after the click on the icon: $(vantu_windows)"
say "a click on the icon closed the popover for the menu, and it stayed closed"
echo "PASS"
