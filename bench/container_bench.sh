#!/usr/bin/env bash
# Times vantu-cli list with a private Docker engine running 20 containers (40 port proxies of
# root's), against the same list with no engine to ask and against lsof alone, side by side in
# one run, in an idle and a busy profile of the user's process table (as in cli_bench.sh); and
# the engine's own answer to the container list.
# Usage (as root): bench/container_bench.sh [BUILD_DIR]   (an optimised build; built if missing)
# The timed commands run as nobody, whose group may use the engine's socket.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build/bench-release}"
[ "$(id -u)" -eq 0 ] || { echo "run as root: it starts a private dockerd" >&2; exit 1; }
for tool in dockerd docker hyperfine lsof curl; do
  command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 1; }
done
if [ ! -x "$build/src/cli/vantu-cli" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" --target vantu-cli
fi
cli="$(cd "$build" && pwd)/src/cli/vantu-cli"
scratch="$(mktemp -d)"
chmod 755 "$scratch"
mkdir "$scratch/out" && chmod 777 "$scratch/out"
engine=""
desktop=""
cleanup() {
  [ -n "$desktop" ] && kill -9 "$desktop" 2>/dev/null
  if [ -n "$engine" ]; then
    DOCKER_HOST="unix://$scratch/docker.sock" docker rm -f $(DOCKER_HOST="unix://$scratch/docker.sock" docker ps -aq) \
      >/dev/null 2>&1 || true
    kill "$engine"; wait "$engine" 2>/dev/null || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT

export DOCKER_HOST="unix://$scratch/docker.sock"
dockerd -H "$DOCKER_HOST" -G nogroup --data-root "$scratch/data" --exec-root "$scratch/exec" \
  --pidfile "$scratch/dockerd.pid" --iptables=false >"$scratch/dockerd.log" 2>&1 &
engine=$!
for _ in $(seq 300); do docker info >/dev/null 2>&1 && break; sleep 0.1; done
mkdir -p "$scratch/image/bin" "$scratch/image/www"
cp /bin/busybox "$scratch/image/bin/" && ln -s busybox "$scratch/image/bin/httpd"
tar -C "$scratch/image" -c . | docker import - vantu-bench:1 >/dev/null
for i in $(seq 0 19); do
  docker run -d --name "bench_web_$i" -p "$((28200 + i)):80" -l com.docker.compose.project=bench \
    -l "com.docker.compose.service=web$i" vantu-bench:1 httpd -f -p 80 -h /www >/dev/null
done
c++ -O2 -o "$scratch/busy_desktop" "$root/bench/busy_desktop_main.cpp"

as_nobody() { setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME=/tmp "$@"; }
median() { python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["results"][int(sys.argv[2])]["median"])' "$1" "$2"; }
[ "$(as_nobody "$cli" list --all | grep -c 'docker bench_web_')" -eq 20 ] || { echo "not 20 container rows" >&2; exit 1; }

echo "== 20 containers, 40 docker-proxy processes of root (medians of 30)"
for profile in "idle 120 25" "busy 600 66"; do
  set -- $profile
  as_nobody "$scratch/busy_desktop" "$2" "$3" >"$scratch/desktop.out" &
  desktop=$!
  for _ in $(seq 200); do grep -q ready "$scratch/desktop.out" 2>/dev/null && break; sleep 0.05; done
  as_nobody hyperfine -N -i --warmup 3 --runs 30 --export-json "$scratch/out/list.json" \
    "env DOCKER_HOST=unix:///nonexistent $cli list" "env DOCKER_HOST=$DOCKER_HOST $cli list" \
    "env lsof -iTCP -sTCP:LISTEN -n -P -Fpcn" \
    "curl -s --unix-socket $scratch/docker.sock http://localhost/v1.41/containers/json" >/dev/null 2>"$scratch/err" ||
    { cat "$scratch/err" >&2; exit 1; }
  python3 - "$1" $(for i in 0 1 2 3; do median "$scratch/out/list.json" "$i"; done) <<'PY'
import sys
profile, none, docker, lsof, api = sys.argv[1], *map(float, sys.argv[2:])
print(f"{profile:>5}: list, no engine {none*1000:6.1f} ms | list with Docker {docker*1000:6.1f} ms "
      f"(+{(docker/none-1)*100:4.1f} %) | lsof {lsof*1000:6.1f} ms | with Docker/lsof {docker/lsof:4.2f}x "
      f"| the engine's list (curl) {api*1000:5.1f} ms")
PY
  kill -9 "$desktop"; wait "$desktop" 2>/dev/null || true; desktop=""
done
# The engine's own time for the calls a refresh and a stop make, as curl times the exchange alone.
for path in /_ping /v1.41/containers/json?all=true /v1.41/containers/bench_web_0/json; do
  for _ in $(seq 21); do
    curl -s -o /dev/null -w '%{time_total}\n' --unix-socket "$scratch/docker.sock" "http://localhost$path"
  done | sort -n | sed -n 11p | awk -v path="$path" '{printf "engine call %s: %.1f ms (median of 21)\n", path, $1 * 1000}'
done
