#!/usr/bin/env bash
# Measures, under Wine, the management window over 1,000 notes of 100 items
# (contents of about 1 KB): the time to fill the note list, and the time of
# a content filter that matches nothing (every item of every note is read).
# Eleven of each, timed inside the program; prints the medians.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
cmake --preset native >/dev/null && cmake --build --preset native -j2 --target make_large_database >/dev/null
cmake --preset win64 >/dev/null && cmake --build --preset win64 -j2 --target vellumo post-command drive-dialog >/dev/null
source "$root/scripts/measure-common.sh"

dir="$work/large"; mkdir -p "$dir"
"$root/build/native/bench/make_large_database" "$dir/vellumo-00000001.ku" 1000 100
cp build/win64/src/shell/vellumo.exe "$dir/"
drive() { "$wine" "$root/build/win64/tests/e2e/drive-dialog.exe" KorrinVellumo "$@" >/dev/null 2>&1; }
timing="$dir/timing"
lines() { awk '/^list /{n++} END {print n + 0}' "$timing" 2>/dev/null || echo 0; }
wait_lines() {  # wait_lines N: until N list timings were written
  for _ in $(seq 1 600); do [ "$(lines)" -ge "$1" ] && return 0; sleep 0.1; done
  return 1
}

( cd "$dir" && VELLUMO_TIMING_FILE="$(echo "Z:$timing" | tr / '\\')" "$wine" vellumo.exe >/dev/null 2>&1 ) &
program=$!
wait_lines 1
(cd "$dir" && "$wine" vellumo.exe >/dev/null 2>&1)  # a second start shows the window
for _ in $(seq 1 100); do drive d1011,1013 rows && break; sleep 0.2; done
# act NAME ACTION...: runs the action and waits for its list timing, which
# is labelled NAME in the file.
act() {
  local name="$1"; shift
  n=$((n + 1)); "$@"
  wait_lines $n || { echo "no list timing after $name" >&2; return 1; }
  echo "$name" >> "$timing"
}
n=$(lines)
for i in $(seq 1 11); do
  act name drive d1011,1000 settext "zzzq"
  act content drive d1011,1015 click
  act none drive d1011,1015 click
  act fill drive d1011,1000 settext ""
done
stop_program
wait "$program" || true
times_of() { awk -v want="$1" '/^list /{last=$2; next} $0 == want {print last}' "$timing"; }
fill="$(times_of fill)"; content="$(times_of content)"
echo "fill the list of 1,000 notes (us): $(echo $fill)  median $(echo "$fill" | median)"
echo "content filter, no match (us): $(echo $content)  median $(echo "$content" | median)"
echo "aims: fill under 100,000 us; content filter under 300,000 us"
