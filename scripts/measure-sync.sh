#!/usr/bin/env bash
# Measures, under Wine, the time from saving an item in one copy of the
# program to its arrival in a second copy's note through the sync server on
# 127.0.0.1: copy a notes the moment its save reaches the sync engine, copy b
# the moment the item is stored and its note window told to redraw (both
# wall-clock, VELLUMO_TIMING_FILE).  Twenty saves through copy a's item
# editor; median in milliseconds.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
cmake --preset native >/dev/null && cmake --build --preset native -j2 --target vellumo-syncd >/dev/null
cmake --preset win64 >/dev/null && cmake --build --preset win64 -j2 --target vellumo vellumo-db post-command drive-dialog >/dev/null
source "$root/scripts/measure-common.sh"
B="$root/build/win64"
prefix_a="$VELLUMO_WINEPREFIX"
prefix_b="$root/build/wineprefix-measure-second"
port=$((20000 + RANDOM % 20000))
"$root/build/native/server/vellumo-syncd" --data "$work/store" --listen "127.0.0.1:$port" --pwhash min \
  --log-level warning >/dev/null 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; WINEPREFIX="$prefix_b" /usr/lib/wine/wineserver -k >/dev/null 2>&1
      WINEPREFIX="$VELLUMO_WINEPREFIX" /usr/lib/wine/wineserver -k >/dev/null 2>&1; kill $xvfb; rm -rf "$work"' EXIT

in_copy() {  # in_copy a|b PROGRAM ARGS...
  local p="$prefix_a" d="$work/a"; [ "$1" = b ] && { p="$prefix_b"; d="$work/b"; }
  shift
  (cd "$d" && VELLUMO_WINEPREFIX="$p" "$wine" "$@" 2>/dev/null | tr -d '\r')
}
address_hex="$(printf '127.0.0.1:%s' "$port" | od -An -tx1 | tr -d ' \n')00"
for who in a b; do
  mkdir -p "$work/$who"; cp "$B/src/shell/vellumo.exe" "$work/$who/"
  x=20; [ "$who" = b ] && x=660
  python3 "$root/tests/e2e/note_fixtures.py" sync "$x" "pass-word-1" > "$work/$who/notes.json"
  in_copy "$who" "$B/tools/vellumo-db/vellumo-db.exe" import < "$work/$who/notes.json" >/dev/null
  in_copy "$who" "$B/tools/vellumo-db/vellumo-db.exe" put 0a "$address_hex" >/dev/null
done
for who in a b; do
  p="$prefix_a"; [ "$who" = b ] && p="$prefix_b"
  ( cd "$work/$who" && VELLUMO_WINEPREFIX="$p" VELLUMO_TIMING_FILE="$(echo "Z:$work/$who/timing" | tr / '\\')" \
      "$wine" vellumo.exe >/dev/null 2>&1 ) &
done
count() { tr -d '\r' < "$work/$1/timing" 2>/dev/null | awk -v n="$2" '$1 == n {c++} END {print c + 0}'; }
sleep 8
# One editor on a new item in copy a; each save makes a new item there.
xdotool mousemove 150 58; sleep 0.2; xdotool mousemove 151 58; sleep 0.3; xdotool click 3
for _ in $(seq 1 50); do xdotool search --onlyvisible --name ' - 同步$' >/dev/null 2>&1 && break; sleep 0.2; done
for i in $(seq 1 20); do
  in_copy a "$B/tests/e2e/drive-dialog.exe" "=1." 1020 click >/dev/null   # new
  in_copy a "$B/tests/e2e/drive-dialog.exe" "=1." 1000 settext "测量$i" >/dev/null
  in_copy a "$B/tests/e2e/drive-dialog.exe" "=1." 1015 click >/dev/null  # save
  for _ in $(seq 1 100); do [ "$(count b sync-arrived)" -ge "$i" ] && break; sleep 0.1; done
done
times="$(paste <(tr -d '\r' < "$work/a/timing" | awk '$1 == "sync-saved" {print $2}') \
               <(tr -d '\r' < "$work/b/timing" | awk '$1 == "sync-arrived" {print $2}') |
         awk 'NF == 2 {printf "%.1f\n", ($2 - $1) / 1000}')"
verifier="$(tr -d '\r' < "$work/b/timing" | awk '$1 == "sync-verifier" {print $2 / 1000; exit}')"
echo "save in one copy to arrival in the other (ms): $(echo $times)  median $(echo "$times" | median)  ($(echo "$times" | wc -l) saves)"
echo "registration verifier on the worker thread (ms): $verifier"
