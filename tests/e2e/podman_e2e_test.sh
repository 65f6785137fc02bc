#!/usr/bin/env bash
# Containers of rootless Podman, run by an ordinary user, as vantu-cli (run by that user) sees
# and stops them: the user's own rootlessport holds each host port, and is never signalled, on
# any path, also with no engine to answer for it; the containers are stopped through the
# engine's API socket, a compose project as one, a PID 1 that ignores SIGTERM by force.
#   podman_e2e_test.sh VANTU_CLI
set -euo pipefail
cli="$1"
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
e2e_logs+=("$work/service.log" "$work/out" "$work/err")

[ "$(id -u)" -eq 0 ] || skip "setting up a user for rootless Podman needs root"
command -v podman >/dev/null && command -v runc >/dev/null || skip "podman is not installed"
user=vantu-podman
id "$user" >/dev/null 2>&1 || useradd -m -s /bin/sh "$user"
grep -q "^$user:" /etc/subuid || usermod --add-subuids 100000-165535 --add-subgids 100000-165535 "$user"
# slirp4netns opens the tun device from inside the user's namespace.
chmod 666 /dev/net/tun 2>/dev/null || true
chmod 755 "$work"
mkdir -p "$work/runtime" "$work/home/.config" "$work/image/bin" "$work/image/www" "$work/shop"
cp /bin/busybox "$work/image/bin/" && ln -s busybox "$work/image/bin/httpd"
echo hello >"$work/image/www/index.html"
tar -C "$work/image" -cf "$work/image.tar" .
chown -R "$user:" "$work/runtime" "$work/home" "$work/shop"
chmod 700 "$work/runtime"

# Everything below runs as the user, with the user's own runtime folder and home.
as_user() {
  setpriv --reuid="$user" --regid="$user" --init-groups env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin \
    HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/home/.config" LANG=C.UTF-8 "$@"
}
pod() { as_user podman --runtime runc "$@" 2>>"$work/podman.log"; }
service=""
start_service() {
  as_user podman --runtime runc system service --time=0 >"$work/service.log" 2>&1 &
  service=$!
  pids+=("$service")
  socket_ready() { [ -S "$work/runtime/podman/podman.sock" ]; }
  wait_for "the Podman API socket" socket_ready
}
# Nothing of the user's outlives the test, whatever its end.
trap 'status=$?; pod rm -af -t 0 >/dev/null 2>&1; pkill -KILL -u "$user" 2>/dev/null; (exit $status); cleanup' EXIT
run() { as_user "$cli" "$@" >"$work/out" 2>"$work/err"; }
expect_out() { grep -qF -- "$1" "$work/out" || fail "expected '$1' in: $(cat "$work/out" "$work/err")"; }
running() { [ -n "$(pod ps -q --filter "name=^$1\$")" ]; }
gone() { ! running "$1"; }
serves() { curl -sf -m 2 -o /dev/null "http://127.0.0.1:$1/"; }

pod import "$work/image.tar" vantu-test:1 >/dev/null || skip "rootless Podman does not run here: $(tail -c 300 "$work/podman.log")"
echo '{"name": "shop-app"}' >"$work/shop/package.json"
compose() {  # name service port
  pod run -d --init --name "$1" -p "127.0.0.1:$3:80" -l com.docker.compose.project=shop \
    -l "com.docker.compose.service=$2" -l "com.docker.compose.project.working_dir=$work/shop" \
    vantu-test:1 httpd -f -p 80 -h /www >/dev/null
}
compose shop_web_1 web 28091 || skip "rootless Podman cannot run a container here: $(tail -c 300 "$work/podman.log")"
compose shop_api_1 api 28092
pod run -d --name stubborn -p 127.0.0.1:28093:80 vantu-test:1 httpd -f -p 80 -h /www >/dev/null
wait_for "the published port" serves 28093

say "no engine socket: the user's own rootlessport is refused on every path, and the port keeps serving"
helper="$(ss -ltnpH 'sport = :28093' | grep -o 'pid=[0-9]*' | head -n1 | cut -d= -f2)"
[ -n "$helper" ] && grep -q rootlessport "/proc/$helper/comm" || fail "no rootlessport holds 28093"
for flags in "--all" "--all --force" "--all --session"; do
  run stop 28093 $flags && fail "stop $flags succeeded: $(cat "$work/out")"
  grep -qE "Stop the container instead|stop the container instead" "$work/err" || fail "stop $flags: $(cat "$work/err")"
done
run list --all
grep -q rootlessport "$work/out" && fail "rootlessport is listed: $(cat "$work/out")"
kill -0 "$helper" && serves 28093 || fail "the port stopped serving"

say "with the API socket: rows named by compose labels, the project stopped as one, Force for the stubborn one"
start_service
# Beside it, root's engine socket, closed to the user: a failed connect, no rows, no wait.
python3 -c 'import socket, os, sys, time
s = socket.socket(socket.AF_UNIX); s.bind(sys.argv[1]); os.chmod(sys.argv[1], 0o600); s.listen(); time.sleep(600)' \
  "$work/root.sock" &
pids+=($!)
wait_for "root's socket" test -S "$work/root.sock"
as_user env DOCKER_HOST="unix://$work/root.sock" QT_LOGGING_RULES="vantu.scan.info=true" "$cli" list \
  >"$work/out" 2>"$work/err" || fail "list beside root's socket: $(cat "$work/out" "$work/err")"
expect_out "podman shop_web_1 (localhost/vantu-test:1)"
grep -q "is not open to this user" "$work/err" || fail "nothing logged of root's socket: $(cat "$work/err")"
run list
expect_out "podman shop_web_1 (localhost/vantu-test:1)"
expect_out "shop-app"
run list --json
python3 - "$work/out" <<'PY'
import json, sys
doc = json.load(open(sys.argv[1]))
rows = doc["listeners"] if isinstance(doc, dict) else doc
web = next(r for r in rows if r["port"] == 28091)
assert web["container"]["engine"] == "podman" and web["container"]["composeService"] == "web", web
PY
run stop 28093 && fail "the polite stop of a SIGTERM-proof container said it worked: $(cat "$work/out" "$work/err")"
run stop 28093 --force || fail "stop --force: $(cat "$work/out" "$work/err") $(pod ps -a --format "{{.Names}} {{.State}} {{.Status}}")"
gone stubborn || fail "stubborn still runs"
run stop 28091 --session || fail "stop --session: $(cat "$work/out" "$work/err")"
expect_out "Port 28092 is free."
gone shop_web_1 && gone shop_api_1 || fail "the project still runs"
pod rm -af >/dev/null 2>&1 || true
say "passed"
