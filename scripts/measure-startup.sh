#!/usr/bin/env bash
# Measures the time from process start to the first timer tick of vellumo.exe
# under Wine, with an empty database and with 1,000 notes x 100 items, five
# runs each, and prints the medians and their ratio.  Start-up must not read
# the database, so the two should be close.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
cmake --preset native >/dev/null && cmake --build --preset native -j2 --target make_large_database >/dev/null
cmake --preset win64 >/dev/null && cmake --build --preset win64 -j2 --target vellumo post-command >/dev/null
source "$root/scripts/measure-common.sh"

mkdir -p "$work/empty" "$work/large"
"$root/build/native/bench/make_large_database" "$work/large/vellumo-00000001.ku" 1000 100
for d in empty large; do cp build/win64/src/shell/vellumo.exe "$work/$d/"; done

run_once() {  # run_once DIR -> prints milliseconds to the first tick
  local dir="$1"
  rm -f "$dir/first-tick"
  ( cd "$dir" && VELLUMO_FIRST_TICK_FILE="$dir/first-tick" "$wine" vellumo.exe >/dev/null 2>&1 ) &
  local program=$!
  local waited=0
  until [ -s "$dir/first-tick" ] || [ $waited -ge 600 ]; do sleep 0.1; waited=$((waited + 1)); done
  stop_program
  wait "$program"
  tr -d '\r\n' < "$dir/first-tick"
}

declare -A result
for d in empty large; do
  run_once "$work/$d" >/dev/null  # warm the file cache and the prefix
  times=""
  for i in 1 2 3 4 5; do times="$times $(run_once "$work/$d")"; done
  result[$d]="$(echo $times | tr ' ' '\n' | median)"
  echo "$d database: runs (ms):$times  median ${result[$d]} ms"
done
size=$(du -b "$work/large/vellumo-00000001.ku" | cut -f1)
echo "large database: $size bytes"
awk -v e="${result[empty]}" -v l="${result[large]}" 'BEGIN { printf "ratio large/empty: %.2f\n", (e > 0 ? l / e : 0) }'
