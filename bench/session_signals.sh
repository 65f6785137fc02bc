#!/usr/bin/env bash
# Which signal ends a dev tool's whole process group cleanly: SIGINT (what Ctrl+C sends) or
# SIGTERM. Each tree is started as a terminal job is (its own process group), given time to
# listen, then every member is signalled at once. Reported per tree and signal: the members,
# how many still ran after 1.2 s, how long the last one took, the leader's exit status and
# how many lines it wrote to stderr on the way out.
#
#   bench/session_signals.sh [NODE_TOOLS_BIN]   (default: build/node-tools/node_modules/.bin)
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
tools="${1:-$root/build/node-tools/node_modules/.bin}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cat >"$work/server.js" <<'JS'
require('http').createServer((q, r) => r.end('ok')).listen(Number(process.argv[2] || process.env.PORT), '127.0.0.1');
JS
cat >"$work/package.json" <<'JSON'
{"name": "bench", "scripts": {"dev": "node server.js", "both": "node server.js & node server.js $((PORT + 1))", "mixed": "python3 -m http.server $((PORT + 1)) --bind 127.0.0.1 & node server.js"}}
JSON
port=47300
members() { ps -o pid= -g "$1" 2>/dev/null | while read -r pid; do
  [ "$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null)" = "Z" ] || echo "$pid"; done || true; }
listening() { ss -Htln "sport = :$1" | grep -q .; }

measure() {  # name signal command...
  local name="$1" signal="$2"; shift 2
  port=$((port + 2))
  (cd "$work" && PORT=$port NO_UPDATE_NOTIFIER=1 npm_config_update_notifier=false exec setsid "$@" \
     >/dev/null 2>"$work/err") &
  local leader=$!
  local i
  for i in $(seq 1 200); do listening "$port" && break; sleep 0.05; done
  sleep 0.5
  local before
  before="$(members "$leader" | wc -l)"
  local start now alive="" left elapsed=""
  start=$(date +%s%N)
  kill -s "$signal" -- -"$leader" 2>/dev/null || true
  for i in $(seq 1 300); do
    left="$(members "$leader" | wc -l)"
    now=$(date +%s%N)
    if [ -z "$alive" ] && [ $(( (now - start) / 1000000 )) -ge 1200 ]; then alive="$left"; fi
    if [ "$left" -eq 0 ]; then elapsed=$(( (now - start) / 1000000 )); break; fi
    sleep 0.02
  done
  [ -n "$alive" ] || alive=0
  [ "$left" -eq 0 ] || kill -KILL -- -"$leader" 2>/dev/null || true
  local status=0
  wait "$leader" || status=$?
  printf '| %s | %s | %s | %s | %s | %s | %s |\n' "$name" "$signal" "$before" "$alive" \
    "${elapsed:-never (killed)}" \
    "$status" "$(grep -c . "$work/err" || true)"
}

echo "| tree | signal | members | alive after 1.2 s | all gone after (ms) | leader's exit status | stderr lines |"
echo "|---|---|---|---|---|---|---|"
for signal in INT TERM; do
  measure "npm run dev" "$signal" npm run dev
  measure "npm run both (sh: a & b)" "$signal" npm run both
  measure "npm run mixed (sh: python3 & node)" "$signal" npm run mixed
  measure "nodemon server.js" "$signal" "$tools/nodemon" --quiet server.js
  measure "concurrently a b" "$signal" "$tools/concurrently" --raw "node server.js" "node server.js \$((PORT + 1))"
  measure "sh while loop" "$signal" sh -c 'while true; do node server.js; done'
done
