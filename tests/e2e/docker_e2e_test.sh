#!/usr/bin/env bash
# Containers of a private Docker engine as vantu-cli sees and stops them, with the engine's port
# proxy on (docker-proxy holds the host port) and off (nothing of the user's listens): rows named
# by compose labels and image, a compose project stopped as one, a PID 1 that ignores SIGTERM
# forced, an --init container stopped politely, and the proxy never signalled on any path. With
# the app, the same from its popover in a real X tray: the rows, a stop, a forced stop, the
# compose project's item in the row's menu.
#   docker_e2e_test.sh VANTU_CLI [VANTU SCREENSHOT_DIR]
set -euo pipefail
cli="$1"
vantu="${2:-}"
screenshots="${3:-}"
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
e2e_logs+=("$work/dockerd.log" "$work/out" "$work/err" "$work/report" "$work/vantu.log")

[ "$(id -u)" -eq 0 ] || skip "a private Docker engine needs root"
command -v dockerd >/dev/null && command -v docker >/dev/null || skip "docker.io is not installed"
[ -x /bin/busybox ] || skip "busybox-static is not installed"

socket="$work/docker.sock"
export DOCKER_HOST="unix://$socket" HOME="$work/home" XDG_CONFIG_HOME="$work/config" LANG=C.UTF-8
unset CONTAINER_HOST XDG_RUNTIME_DIR
mkdir -p "$HOME" "$XDG_CONFIG_HOME"

engine=""
start_engine() {  # extra dockerd options
  dockerd -H "unix://$socket" --data-root "$work/data" --exec-root "$work/exec" --pidfile "$work/dockerd.pid" \
    --iptables=false "$@" >>"$work/dockerd.log" 2>&1 &
  engine=$!
  pids+=("$engine")
  holds_within 30 docker info >/dev/null 2>&1 || skip "dockerd did not start here: $(tail -c 400 "$work/dockerd.log")"
}
stop_engine() {
  docker rm -f $(docker ps -aq) >/dev/null 2>&1 || true
  kill "$engine"; wait "$engine" 2>/dev/null || true
}

run() { "$cli" "$@" >"$work/out" 2>"$work/err"; }
expect_out() { grep -qF -- "$1" "$work/out" || fail "expected '$1' in: $(cat "$work/out" "$work/err")"; }
expect_err() { grep -qF -- "$1" "$work/err" || fail "expected '$1' on stderr: $(cat "$work/out" "$work/err")"; }
running() { [ -n "$(docker ps -q --filter "name=^$1\$")" ]; }
gone() { ! running "$1"; }
serves() { curl -sf -m 2 -o /dev/null "http://127.0.0.1:$1/"; }

start_engine --userland-proxy=true
image="$work/image"
mkdir -p "$image/bin" "$image/www"
cp /bin/busybox "$image/bin/"
for tool in sh httpd sleep; do ln -s busybox "$image/bin/$tool"; done
echo hello >"$image/www/index.html"
tar -C "$image" -c . | docker import - vantu-test:1 >/dev/null

# A compose project of two (the labels compose puts on its containers), in a folder whose
# package.json names it, an ordinary container whose PID 1 ignores SIGTERM, and one with an init.
shop="$work/home/shop"
mkdir -p "$shop"
echo '{"name": "shop-app"}' >"$shop/package.json"
compose() {  # name service port
  docker run -d --init --name "$1" -p "127.0.0.1:$3:80" -l com.docker.compose.project=shop \
    -l "com.docker.compose.service=$2" -l "com.docker.compose.project.working_dir=$shop" \
    vantu-test:1 httpd -f -p 80 -h /www >/dev/null
}
compose shop_web_1 web 28081
compose shop_api_1 api 28082
docker run -d --name stubborn -p 28083:80 vantu-test:1 httpd -f -p 80 -h /www >/dev/null
docker run -d --init --name polite -p 127.0.0.1:28084:80 vantu-test:1 httpd -f -p 80 -h /www >/dev/null
wait_for "the proxied port" serves 28081

say "rows: compose service, image, project and folder; the proxy is no row of its own"
run list
expect_out "docker shop_web_1 (vantu-test:1)"
expect_out "shop-app"
expect_out "$shop"
run list --all
grep -q "docker-proxy" "$work/out" && fail "the engine's proxy is listed: $(cat "$work/out")"
[ "$(grep -c '^ *28083 ' "$work/out")" -eq 1 ] || fail "a port on both families is not one row: $(cat "$work/out")"
run list --json
python3 - "$work/out" <<'PY'
import json, sys
rows = json.load(open(sys.argv[1]))
rows = rows["listeners"] if isinstance(rows, dict) else rows
web = next(r for r in rows if r["port"] == 28081)
c = web["container"]
assert c["engine"] == "docker" and c["name"] == "shop_web_1" and c["image"] == "vantu-test:1", c
assert c["composeProject"] == "shop" and c["composeService"] == "web", c
assert web["displayName"] == "web" and web["project"]["name"] == "shop-app", web
assert next(r for r in rows if r["port"] == 28083)["container"]["composeProject"] is None
PY

app_checks() {
  unset DBUS_SESSION_BUS_ADDRESS
  start_xvfb
  for tool in trayer xdotool; do command -v "$tool" >/dev/null || fail "$tool is not installed"; done
  mkdir -p "$work/config/vantu" "$work/runtime" && chmod 700 "$work/runtime"
  # Only the containers' ports: whatever else the machine runs is no business of this test.
  printf '{"discovery.automatic": false, "discovery.included": "28081, 28082, 28083, 28084"}\n' \
    >"$work/config/vantu/vantu.json"
  ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}strict_string_checks=0" XDG_RUNTIME_DIR="$work/runtime" \
    "$vantu" --test-report "$work/report" >"$work/vantu.log" 2>&1 &
  pids+=($!)
  last_rows() { awk '/^rows /{b=""; i=1; next} /^end$/{i=0; l=b; next} i{b=b $0 "\n"} END{printf "%s", l}' "$work/report" 2>/dev/null; }
  row() { last_rows | awk -F'\t' -v port="$1" '$1 == "row " port'; }
  listed() { [ -n "$(row "$1")" ]; }
  unlisted() { [ -z "$(row "$1")" ]; }
  # No tray yet: the panel shows as a window and lists them, so that the popover later opens at
  # the height of its rows and the places the report gives are final.
  wait_for "the rows in the window" listed 28084
  trayer --edge top --align right --widthtype request --height 28 --SetDockType true >"$work/trayer.log" 2>&1 &
  pids+=($!)
  docked() { grep -q '^tray docked' "$work/report" 2>/dev/null; }
  wait_for "the app to dock" docked
  wait_for "the tray icon" icon_shown
  eval "$(xdotool getwindowgeometry --shell "$(icon_window)")"
  icon_x=$((X + WIDTH / 2)); icon_y=$((Y + HEIGHT / 2))
  xdotool mousemove "$icon_x" "$icon_y" click 1
  wait_for "the container rows" listed 28084

  for port in 28081 28082 28083; do listed "$port" || fail "no row for $port: $(last_rows)"; done
  [[ "$(row 28081)" == "row 28081"$'\t'"web"$'\t'"button"* ]] || fail "the compose row: $(row 28081)"
  [[ "$(row 28083)" == "row 28083"$'\t'"stubborn"$'\t'"button"* ]] || fail "the plain row: $(row 28083)"
  say "rows: $(last_rows | cut -f1-3 | tr '\t\n' ' ;')"
  # The tooltip over the compose row's name, looked at in the screenshot.
  read -r _ _ _ _ bx by < <(row 28081 | tr '\t' ' ')
  xdotool mousemove $((bx - 150)) "$by"
  sleep 1.5
  [ -z "$screenshots" ] || { mkdir -p "$screenshots"; import -window root "$screenshots/e2e-containers.png" || true; }
  click_button() {  # port
    read -r _ _ _ _ bx by < <(row "$1" | tr '\t' ' ')
    xdotool mousemove "$bx" "$by"; sleep 0.4; xdotool click 1
  }
  say "Stop from the row: the --init container ends"
  click_button 28084
  wait_for "polite to end" gone polite
  wait_for "its row to go" unlisted 28084
  say "Stop, then Force: the SIGTERM-proof container ends at once, not after the engine's 10 s"
  click_button 28083
  sleep 2.5
  running stubborn || fail "stubborn ended before the engine's own timeout: is its PID 1 ignoring SIGTERM?"
  click_button 28083
  holds_within 4 gone stubborn || fail "Force did not end stubborn"
  say "the compose project's item in the row's menu stops both"
  read -r _ _ _ _ bx by < <(row 28081 | tr '\t' ' ')
  xdotool mousemove $((bx - 120)) "$by"; sleep 0.3; xdotool click 3
  menu_seen() { grep -q '^row menu' "$work/report"; }
  wait_for "the row's menu" menu_seen
  sleep 0.3
  item="$(grep '^row menu' "$work/report" | tail -n 1 | tr '\t' '\n' | grep '^Stop compose project' || true)"
  [ "$item" = "Stop compose project shop (2 containers)" ] || fail "no compose item: $(grep '^row menu' "$work/report")"
  [ -z "$screenshots" ] || import -window root "$screenshots/e2e-containers-menu.png" || true
  xdotool key Up Return
  wait_for "the project to end" gone shop_web_1
  wait_for "the project to end" gone shop_api_1
  wait_for "their rows to go" unlisted 28081
  grep -q "Stop the container instead" "$work/vantu.log" && fail "a helper was offered a stop"
  say "the app passed"
}

if [ -n "$vantu" ]; then
  app_checks
  # The CLI's turn: the same containers again.
  docker rm -f $(docker ps -aq) >/dev/null
  compose shop_web_1 web 28081
  compose shop_api_1 api 28082
  docker run -d --name stubborn -p 28083:80 vantu-test:1 httpd -f -p 80 -h /www >/dev/null
  docker run -d --init --name polite -p 127.0.0.1:28084:80 vantu-test:1 httpd -f -p 80 -h /www >/dev/null
  wait_for "the proxied port" serves 28083
fi

say "the proxy alone, when no engine answers for it, is refused on every path"
proxy="$(pgrep -f 'docker-proxy.*-host-port 28083' | head -n1)"
[ -n "$proxy" ] || fail "no docker-proxy for 28083"
for flags in "--all" "--all --force" "--all --session"; do
  DOCKER_HOST="unix://$work/none.sock" "$cli" stop 28083 $flags >"$work/out" 2>"$work/err" && fail "stop $flags succeeded"
  # The proxy's group here is this script's (it started dockerd): refused for that first.
  grep -qE "Stop the container instead|nothing was signalled" "$work/err" || fail "stop $flags: $(cat "$work/err")"
done
kill -0 "$proxy" || fail "the proxy was signalled"
serves 28083 || fail "the container stopped serving"

say "an --init container stops politely"
run stop 28084 || fail "stop 28084: $(cat "$work/out" "$work/err")"
expect_out "Asked Docker to stop polite on port 28084."
expect_out "Port 28084 is free."
gone polite || fail "polite still runs"

say "a PID 1 that ignores SIGTERM outlives the polite stop, and --force ends it"
run stop 28083 && fail "the polite stop of a SIGTERM-proof container said it worked"
expect_err "Try again with --force."
run stop 28083 --force || fail "stop --force: $(cat "$work/out" "$work/err")"
expect_out "Asked Docker to kill stubborn on port 28083."
gone stubborn || fail "stubborn still runs"

say "--session stops the compose project, both containers"
run stop 28081 --session || fail "stop --session: $(cat "$work/out" "$work/err")"
expect_out "compose project shop"
expect_out "Port 28082 is free."
gone shop_web_1 && gone shop_api_1 || fail "the project still runs"

say "without the proxy nothing of the user's listens, and the rows still come from the engine"
stop_engine
start_engine --userland-proxy=false
compose shop_web_1 web 28081
run list --all
expect_out "docker shop_web_1 (vantu-test:1)"
run stop 28081 || fail "stop without the proxy: $(cat "$work/out" "$work/err")"
gone shop_web_1 || fail "shop_web_1 still runs"
stop_engine
say "passed"
