#!/usr/bin/env bash
# Measures under Wine, in one run: the pace of a typed sequence (ticks for
# 100 characters, from the target program's record of each change; the
# aim is one unit per 40 ms tick, 100 ticks +- 5 %), and, with 20 note
# windows open and left alone for 20 s, the program's CPU use (share of one
# core, from /proc) and its private bytes.  Prints medians of five runs.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j2 --target vellumo post-command vellumo-db typing-target >/dev/null
source "$root/scripts/measure-common.sh"
poke="$root/build/win64/tests/e2e/post-command.exe"
target="$root/build/win64/tests/e2e/typing-target.exe"
winpath() { echo "Z:$1" | tr / '\\'; }

dir="$work/program"
mkdir -p "$dir"
cp build/win64/src/shell/vellumo.exe "$dir/"
python3 tests/e2e/note_fixtures.py measure > "$dir/notes.json"
(cd "$dir" && "$wine" "$root/build/win64/tools/vellumo-db/vellumo-db.exe" import < notes.json >/dev/null 2>&1)
( cd "$dir" && VELLUMO_FIRST_TICK_FILE="$dir/first-tick" "$wine" vellumo.exe >/dev/null 2>&1 ) &
for _ in $(seq 1 300); do [ -f "$dir/first-tick" ] && break; sleep 0.2; done
sleep 3

paces=""
for run in 1 2 3 4 5; do
  typed="$dir/typed-$run.txt"
  ( "$wine" "$target" "$(winpath "$typed")" >/dev/null 2>&1 ) &
  for _ in $(seq 1 100); do [ -f "$typed" ] && break; sleep 0.2; done
  xdotool windowfocus --sync "$(xdotool search --onlyvisible --name '^打字目标$' | head -1)" 2>/dev/null || true
  rm -f "$typed.times"
  xdotool mousemove 100 60; sleep 0.2; xdotool mousemove 101 60; sleep 0.3; xdotool click 1
  for _ in $(seq 1 100); do [ "$(cat "$typed" 2>/dev/null | wc -c)" -ge 100 ] && break; sleep 0.2; done
  ticks="$(awk 'NR==1{first=$1} {last=$1; n++} END {printf "%.1f", (last - first) / 40 + 1}' "$typed.times")"
  paces="$paces $ticks"
  xdotool search --name '^打字目标$' windowkill 2>/dev/null || true
  sleep 1
done
echo "typing 100 characters, ticks per run:$paces  median $(echo $paces | tr ' ' '\n' | median) (aim 100 +- 5)"

# The Wine process of this run's program: other runs may have their own.
pid=""
for candidate in $(pgrep -f 'vellumo\.exe'); do
  tr '\0' '\n' < "/proc/$candidate/environ" 2>/dev/null | grep -qx "WINEPREFIX=$VELLUMO_WINEPREFIX" && { pid="$candidate"; break; }
done
[ -n "$pid" ] || { echo "the program's process was not found" >&2; exit 1; }
hz="$(getconf CLK_TCK)"
cpu() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
shares=""
for run in 1 2 3 4 5; do
  before="$(cpu)"; sleep 4; after="$(cpu)"
  shares="$shares $(awk -v d=$((after - before)) -v hz="$hz" 'BEGIN {printf "%.2f", 100 * d / hz / 4}')"
done
echo "idle with 21 note windows open, % of one core per 4 s:$shares  median $(echo $shares | tr ' ' '\n' | median) (aim < 1)"
bytes="$("$wine" "$poke" memory KorrinVellumo 2>/dev/null | tr -d '\r')"
echo "private bytes as Windows reports them: ${bytes:-unknown} ($(( ${bytes:-0} / 1048576 )) MB; aim < 10 MB)"
# The same figure for the tests' one-window target program: what any
# program costs under this Wine before it does anything of its own.
( "$wine" "$target" "$(winpath "$dir/baseline.txt")" >/dev/null 2>&1 ) &
for _ in $(seq 1 100); do [ -f "$dir/baseline.txt" ] && break; sleep 0.2; done
sleep 1
baseline="$("$wine" "$poke" memory VellumoTypingTarget 2>/dev/null | tr -d '\r')"
echo "the same for a one-window Win32 program under this Wine: ${baseline:-unknown} ($(( ${baseline:-0} / 1048576 )) MB)"
echo "Vellumo's own share: $(( (${bytes:-0} - ${baseline:-0}) / 1048576 )) MB"
xdotool search --name '^打字目标$' windowkill 2>/dev/null || true
# Under Wine the process also holds Wine's own libraries and heaps: its
# anonymous resident memory is an upper bound of what the program uses.
echo "resident anonymous memory of the Wine process: $(awk '/RssAnon/{print $2, $3}' "/proc/$pid/status")"
stop_program
