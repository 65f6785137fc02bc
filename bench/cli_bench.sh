#!/usr/bin/env bash
# Times vantu-cli against the tools developers reach for today, side by side in one run:
#   list: vantu-cli list  vs  lsof -iTCP -sTCP:LISTEN -n -P  vs  ss -ltnp, with 5 and with 100
#         dev servers, in three profiles of the user's process table:
#           empty  nothing but the servers
#           idle   a light desktop session: 120 processes holding about 3,000 descriptors
#           busy   a busy one: 600 processes holding about 40,000 descriptors
#         and, in the busy profile, vantu-cli held to one core;
#   stop: vantu-cli stop PORT  vs  npx kill-port PORT (one real listener).
# Usage: bench/cli_bench.sh [BUILD_DIR]   (a Release build folder; built if missing)
# Everything runs as an ordinary user (nobody, when started as root): as root, every process of
# the machine would be examined, by lsof and vantu-cli alike.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build/bench-release}"
if [ "$(id -u)" -eq 0 ]; then
  if [ ! -x "$build/src/cli/vantu-cli" ] || [ ! -x "$build/tests/test_listener" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build" --target vantu-cli test_listener
  fi
  exec setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME=/tmp "$0" "$build"
fi
if [ ! -x "$build/src/cli/vantu-cli" ] || [ ! -x "$build/tests/test_listener" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" --target vantu-cli test_listener
fi
build="$(cd "$build" && pwd)"
command -v hyperfine >/dev/null || { echo "hyperfine is needed (apt-get install hyperfine)" >&2; exit 1; }

cli="$build/src/cli/vantu-cli"
scratch="$(mktemp -d)"
pids=()
desktop=""
cleanup() {
  for pid in "${pids[@]}" $desktop; do kill -9 "$pid" 2>/dev/null || true; done
  rm -rf "$scratch"
}
trap cleanup EXIT

c++ -O2 -o "$scratch/busy_desktop" "$root/bench/busy_desktop_main.cpp"
# Listeners that look like dev servers: the test listener run through a link named node,
# each in its own project folder.
ln -s "$build/tests/test_listener" "$scratch/node"
start_listeners() {  # count
  local i
  for ((i = 0; i < $1; i++)); do
    mkdir -p "$scratch/p$i"
    printf '{"name":"bench-%d"}\n' "$i" >"$scratch/p$i/package.json"
    (cd "$scratch/p$i" && exec "$scratch/node" 0 >/dev/null) &
    pids+=("$!")
  done
  sleep 0.5
}
stop_listeners() {
  for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
  wait "${pids[@]}" 2>/dev/null || true
  pids=()
}
start_desktop() {  # processes descriptors-each
  desktop=""
  [ "$1" -eq 0 ] && return
  "$scratch/busy_desktop" "$1" "$2" >"$scratch/desktop.out" &
  desktop=$!
  for _ in $(seq 200); do grep -q ready "$scratch/desktop.out" 2>/dev/null && return; sleep 0.05; done
}
stop_desktop() {
  [ -n "$desktop" ] && { kill -9 "$desktop" 2>/dev/null || true; wait "$desktop" 2>/dev/null || true; }
  desktop=""
}

median() {  # hyperfine JSON file, command index -> median seconds
  python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["results"][int(sys.argv[2])]["median"])' "$1" "$2"
}

echo "== list (medians)"
for profile in "empty 0 0" "idle 120 25" "busy 600 66"; do
  set -- $profile
  start_desktop "$2" "$3"
  for count in 5 100; do
    start_listeners "$count"
    commands=("$cli list" "lsof -iTCP -sTCP:LISTEN -n -P" "ss -ltnp")
    [ "$1" = busy ] && commands+=("taskset -c 0 $cli list")
    hyperfine -N --warmup 3 --runs 30 --export-json "$scratch/list.json" "${commands[@]}" >/dev/null \
      2>"$scratch/hyperfine.err" || { cat "$scratch/hyperfine.err" >&2; exit 1; }
    m=()
    for ((i = 0; i < ${#commands[@]}; i++)); do m+=("$(median "$scratch/list.json" "$i")"); done
    python3 - "$1" "$count" "${m[@]}" <<'PY'
import sys
profile, count, v, l, s, *one = sys.argv[1], sys.argv[2], *map(float, sys.argv[3:])
line = (f"{profile:>5} {count:>4} servers: vantu-cli list {v*1000:7.1f} ms | lsof {l*1000:7.1f} ms"
        f" | ss -ltnp {s*1000:6.1f} ms | vantu-cli/lsof {v/l:4.2f}x | vantu-cli/ss {v/s:4.2f}x")
if one:
    line += f" | on one core {one[0]*1000:6.1f} ms"
print(line)
PY
    stop_listeners
  done
  stop_desktop
done

echo "== stop"
if (cd "$scratch" && npm init -y >/dev/null 2>&1 && npm install --silent --no-audit --no-fund kill-port >/dev/null 2>&1); then
  port=39517
  cat >"$scratch/prepare.sh" <<PREP
#!/usr/bin/env bash
# A fresh listener on the port for every timed run.
(cd "$scratch/p0" 2>/dev/null || cd "$scratch"; setsid "$scratch/node" $port >/dev/null 2>&1 &)
for _ in \$(seq 100); do ss -ltn "sport = :$port" | grep -q LISTEN && exit 0; sleep 0.02; done
exit 1
PREP
  chmod +x "$scratch/prepare.sh"
  hyperfine --warmup 2 --runs 15 --prepare "$scratch/prepare.sh" --export-json "$scratch/stop.json" \
    "$cli stop $port" "cd $scratch && npx --no-install kill-port $port" >/dev/null
  v=$(median "$scratch/stop.json" 0); k=$(median "$scratch/stop.json" 1)
  python3 - "$v" "$k" <<'PY'
import sys
v, k = map(float, sys.argv[1:])
print(f"vantu-cli stop {v*1000:7.1f} ms | npx kill-port {k*1000:7.1f} ms | kill-port/vantu-cli {k/v:4.1f}x")
PY
else
  echo "npm could not install kill-port here; the stop comparison is skipped"
fi
