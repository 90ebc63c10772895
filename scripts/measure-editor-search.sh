#!/usr/bin/env bash
# Measures, under Wine, the item editor's content search through a note of
# 4,096 items of about 1 KB that holds no match (every item is read), timed
# inside the program from the button to the answer; eleven runs, median.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
cmake --preset native >/dev/null && cmake --build --preset native -j2 --target make_large_database >/dev/null
cmake --preset win64 >/dev/null && cmake --build --preset win64 -j2 --target vellumo post-command drive-dialog >/dev/null
source "$root/scripts/measure-common.sh"

dir="$work/note"; mkdir -p "$dir"
"$root/build/native/bench/make_large_database" "$dir/vellumo-00000001.ku" 1 4096
cp build/win64/src/shell/vellumo.exe "$dir/"
drive() { "$wine" "$root/build/win64/tests/e2e/drive-dialog.exe" "$@" >/dev/null 2>&1; }
poke() { "$wine" "$root/build/win64/tests/e2e/post-command.exe" "$@" >/dev/null 2>&1; }
timing="$dir/timing"
found() { awk '/^find-content /{n++} END {print n + 0}' "$timing" 2>/dev/null || echo 0; }

( cd "$dir" && VELLUMO_TIMING_FILE="$(echo "Z:$timing" | tr / '\\')" "$wine" vellumo.exe >/dev/null 2>&1 ) &
program=$!
sleep 5
(cd "$dir" && "$wine" vellumo.exe >/dev/null 2>&1)  # a second start shows the window
for _ in $(seq 1 100); do drive KorrinVellumo d1011,1013 rows && break; sleep 0.2; done
drive KorrinVellumo d1011,1011 tab 2; sleep 2
drive KorrinVellumo d1066,1020 click
for _ in $(seq 1 100); do drive "=1.新建" 1047 text && break; sleep 0.2; done
drive "=1.新建" 1047 settext "zzzq"; sleep 0.5
for i in $(seq 1 11); do
  drive "=1.新建" 1016 click
  for _ in $(seq 1 300); do [ "$(found)" -ge "$i" ] && break; sleep 0.1; done
  for _ in $(seq 1 50); do poke title 查找非加密内容 2 && break; sleep 0.1; done
  sleep 0.5
done
stop_program
wait "$program" || true
times="$(awk '/^find-content /{print $2}' "$timing")"
echo "content search, 4,096 items of 1 KB, no match (us): $(echo $times)  median $(echo "$times" | median)"
