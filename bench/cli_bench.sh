#!/usr/bin/env bash
# Times vantu-cli against the tools developers reach for today, side by side in one run:
#   list: vantu-cli list  vs  lsof -iTCP -sTCP:LISTEN -n -P  vs  ss -ltnp   (5 and 100 listeners),
#         beside the floor: a minimal program that runs lsof as a child, plain and with QtCore
#   stop: vantu-cli stop PORT  vs  npx kill-port PORT                         (one real listener)
# Usage: bench/cli_bench.sh [BUILD_DIR]   (a Release build folder; built if missing)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build/bench-release}"
if [ ! -x "$build/src/cli/vantu-cli" ] || [ ! -x "$build/tests/test_listener" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTU_BENCH=OFF >/dev/null
  cmake --build "$build" --target vantu-cli test_listener
fi
command -v hyperfine >/dev/null || { echo "hyperfine is needed (apt-get install hyperfine)" >&2; exit 1; }
command -v npm >/dev/null || { echo "npm is needed for the kill-port comparison" >&2; exit 1; }

cli="$build/src/cli/vantu-cli"
lsof="$(for tool in /usr/bin/lsof /usr/sbin/lsof; do [ -x "$tool" ] && echo "$tool" && break; done)"
scratch="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
  rm -rf "$scratch"
}
trap cleanup EXIT

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
  wait 2>/dev/null || true
  pids=()
}

# The floor: what any program pays for running the tool as a child and reading it, plain and
# when linked with QtCore, built from bench/spawn_floor.cpp.
c++ -O2 -o "$scratch/floor" "$root/bench/spawn_floor.cpp"
c++ -O2 -fPIC -DWITH_QT $(pkg-config --cflags Qt6Core) -o "$scratch/floor-qt" "$root/bench/spawn_floor.cpp" \
  $(pkg-config --libs Qt6Core)
scan="$lsof -iTCP -sTCP:LISTEN -n -P -Fpcn"

median() {  # hyperfine JSON file, command index -> median seconds
  python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["results"][int(sys.argv[2])]["median"])' "$1" "$2"
}

echo "== list"
for count in 5 100; do
  start_listeners "$count"
  hyperfine -N --warmup 3 --runs 40 --export-json "$scratch/list-$count.json" \
    "$cli list" "lsof -iTCP -sTCP:LISTEN -n -P" "ss -ltnp" "$scratch/floor $scan" "$scratch/floor-qt $scan" >/dev/null
  m=()
  for i in 0 1 2 3 4; do m+=("$(median "$scratch/list-$count.json" "$i")"); done
  python3 - "$count" "${m[@]}" <<'PY'
import sys
count, v, l, s, floor, floor_qt = sys.argv[1], *map(float, sys.argv[2:])
print(f"{count:>4} listeners: vantu-cli list {v*1000:7.1f} ms | lsof {l*1000:7.1f} ms | ss -ltnp {s*1000:6.1f} ms"
      f" | vantu-cli/lsof {v/l:4.2f}x | vantu-cli/ss {v/s:5.1f}x")
print(f"      floor, lsof run as a child: plain {floor*1000:7.1f} ms ({floor/l:4.2f}x lsof)"
      f" | linked with QtCore {floor_qt*1000:7.1f} ms ({floor_qt/l:4.2f}x lsof)")
PY
  stop_listeners
done

echo "== stop"
(cd "$scratch" && npm init -y >/dev/null && npm install --silent --no-audit --no-fund kill-port >/dev/null)
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
