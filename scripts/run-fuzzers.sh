#!/usr/bin/env bash
# Runs every fuzz target in a build folder for a bounded time each. Usage: run-fuzzers.sh BUILD SECONDS
set -euo pipefail
build="$1"
seconds="$2"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
shopt -s nullglob
targets=("$build"/fuzz/fuzz_*)
if [ "${#targets[@]}" -eq 0 ]; then
  echo "No fuzz targets built." >&2
  exit 1
fi
for target in "${targets[@]}"; do
  [ -f "$target" ] && [ -x "$target" ] || continue
  name="$(basename "$target")"
  corpus="$(mktemp -d)"
  seeds="$root/fuzz/corpus/${name#fuzz_}"
  [ -d "$seeds" ] && cp -r "$seeds"/. "$corpus"/
  echo "Fuzzing $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 "$corpus" 2>&1 | tail -n 5
  rm -rf "$corpus"
done
