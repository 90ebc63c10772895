#!/usr/bin/env bash
# Measures, under Wine, the time from OpenNoteWindow to a note window's first
# painted frame for a note of 4,096 items against a note of 10 items, both
# opened at program start with a warm icon cache (one start to fill it is not
# counted), eleven runs each; prints the medians and their ratio.  Only the
# visible cells are read and drawn, so the two should be close.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
cmake --preset win64 >/dev/null && cmake --build --preset win64 -j2 --target vellumo post-command vellumo-db >/dev/null
source "$root/scripts/measure-common.sh"

for count in 10 4096; do
  mkdir -p "$work/$count"
  cp build/win64/src/shell/vellumo.exe "$work/$count/"
  python3 tests/e2e/note_fixtures.py timing "$count" > "$work/$count/notes.json"
  (cd "$work/$count" && "$wine" "$root/build/win64/tools/vellumo-db/vellumo-db.exe" import < notes.json >/dev/null 2>&1)
done

run_once() {  # run_once DIR -> microseconds from OpenNoteWindow to the first painted frame
  local dir="$1"
  rm -f "$dir/timing"
  ( cd "$dir" && VELLUMO_NOTE_OPEN_TIMING_FILE="$(echo "Z:$dir/timing" | tr / '\\')" "$wine" vellumo.exe \
      >/dev/null 2>&1 ) &
  local program=$!
  local waited=0
  until [ -s "$dir/timing" ] || [ $waited -ge 600 ]; do sleep 0.1; waited=$((waited + 1)); done
  stop_program
  wait "$program"
  awk 'NR==1{print $2}' "$dir/timing"
}

declare -A result
for count in 10 4096; do
  run_once "$work/$count" >/dev/null  # fills the icon cache
  times=""
  for i in $(seq 1 11); do times="$times $(run_once "$work/$count")"; done
  result[$count]="$(echo $times | tr ' ' '\n' | median)"
  echo "note of $count items: runs (us):$times  median ${result[$count]} us"
done
awk -v a="${result[4096]}" -v b="${result[10]}" 'BEGIN {printf "4096 items / 10 items: %.2f\n", a / b}'
