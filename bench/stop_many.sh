#!/usr/bin/env bash
# Times vantu-cli stopping many ports at once: N real listeners (1, 20 and 100), each its own
# process in its own project, stopped by one `vantu-cli stop P1 … PN`; each size three times,
# the median printed. Every port's release and respawn watch share one deadline, so 100 ports
# should take about as long as one.
# Usage: bench/stop_many.sh [BUILD_DIR]   (a Release build folder; built if missing)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build/bench-release}"
if [ ! -x "$build/src/cli/vantu-cli" ] || [ ! -x "$build/tests/test_listener" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" --target vantu-cli test_listener
fi
build="$(cd "$build" && pwd)"
cli="$build/src/cli/vantu-cli"
scratch="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
  rm -rf "$scratch"
}
trap cleanup EXIT
ln -s "$build/tests/test_listener" "$scratch/node"

round() {  # count -> seconds taken by one stop of all
  local i ports=() started
  pids=()
  for ((i = 0; i < $1; i++)); do
    mkdir -p "$scratch/p$i"
    printf '{"name":"bench-%d"}\n' "$i" >"$scratch/p$i/package.json"
    (cd "$scratch/p$i" && exec "$scratch/node" 0 >"$scratch/p$i/port") &
    pids+=("$!")
  done
  for ((i = 0; i < $1; i++)); do
    until grep -q PORT "$scratch/p$i/port" 2>/dev/null; do sleep 0.01; done
    ports+=("$(cut -d' ' -f2 "$scratch/p$i/port")")
  done
  started=$(date +%s.%N)
  "$cli" stop "${ports[@]}" >/dev/null 2>"$scratch/err" || { cat "$scratch/err" >&2; exit 1; }
  python3 -c "import sys; print(f'{float(sys.argv[2]) - float(sys.argv[1]):.3f}')" "$started" "$(date +%s.%N)"
  wait "${pids[@]}" 2>/dev/null || true
}

echo "ports  median seconds for one vantu-cli stop of all (3 rounds)"
for count in 1 20 100; do
  times=()
  for _ in 1 2 3; do times+=("$(round "$count")"); done
  printf '%5d  %s   (%s)\n' "$count" "$(printf '%s\n' "${times[@]}" | sort -n | sed -n 2p)" "${times[*]}"
done
