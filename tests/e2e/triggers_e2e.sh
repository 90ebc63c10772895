#!/usr/bin/env bash
# Pop-up triggers end to end: xdotool moves the pointer against edges and
# corners and draws a circle; notes bound to them open (each at a place of
# its own, kept open), others do not; Ctrl, the pause and a full-screen
# program in front hold them back; a note's hotkey opens it.
set -uo pipefail
exe="$1"; poke="$2"; dbtool="$3"; target="$4"; artefacts="$5"
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"

poke() { "$wine" "$poke" "$@" >/dev/null 2>&1; }
visible() { xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }
opens() { wait_for 5 visible "$1"; }
stays_closed() { sleep 1.5; ! visible "$1"; }
# Into the screen, then against the point: the touch is the arrival.
push() { xdotool mousemove "$1" "$2"; sleep 0.3; xdotool mousemove "$3" "$4"; sleep 0.3; }

"$wine" cmd /c exit >/dev/null 2>&1
dir="$(mktemp -d)"; cp "$exe" "$dir/vellumo.exe"
python3 "$here/note_fixtures.py" triggers > "$dir/notes.json"
(cd "$dir" && "$wine" "$dbtool" import < notes.json >/dev/null 2>&1); check "the fixture imports" $?
# Management hotkeys 1 and 2 the same chord: the second cannot be had, and
# start-up says so; hotkey 3 makes note hotkeys inert and live again.
(cd "$dir" && "$wine" "$dbtool" put 0C01 74060000 && "$wine" "$dbtool" put 0C02 74060000 \
   && "$wine" "$dbtool" put 0C03 78030000) >/dev/null 2>&1; check "management hotkeys are stored" $?
( cd "$dir" && VELLUMO_FIRST_TICK_FILE="$dir/first-tick" "$wine" vellumo.exe >/dev/null 2>&1; echo $? > "$dir/exit-code" ) &
wait_for 60 test -f "$dir/first-tick"; check "the program starts" $?
wait_for 30 visible Vellumo; check "a hotkey that cannot be had is reported at start" $?
report="$("$wine" "$poke" text Vellumo 2>/dev/null | tr -d '\r')"
echo "$report" | grep -q "Ctrl + Alt + F5 热键注册失败!"; ok=$?; check "by its name ($(echo $report))" $ok
wait_for 20 poke title Vellumo 1
sleep 1

push 100 400 0 400;   opens 左边触发;          check "pushing against the left edge opens the left-edge note" $?
push 100 100 0 100;   stays_closed 左上角触发; check "100 px below the corner nothing opens" $?
push 50 50 0 0;       opens 左上角触发;        check "the corner pixel opens the corner note" $?
push 1100 400 1279 400; stays_closed 右边加Ctrl; check "the Ctrl-bound right edge stays closed without Ctrl" $?
# Keys reach Wine through a window of its own that has the X focus.
( "$wine" "$target" "$(echo "Z:$dir/keys.txt" | tr / '\\')" >/dev/null 2>&1 ) &
wait_for 30 visible 打字目标
keys="$(xdotool search --onlyvisible --name '^打字目标$' | head -1)"
xdotool windowfocus "$keys" 2>/dev/null; sleep 0.5
xdotool keydown ctrl; sleep 0.3; push 1100 400 1279 400; xdotool keyup ctrl
opens 右边加Ctrl; check "and opens with Ctrl held" $?
xdotool key ctrl+shift+F9; sleep 0.5   # note hotkeys inert
xdotool key ctrl+shift+F8; stays_closed 热键打开; check "management hotkey 3 makes note hotkeys inert" $?
xdotool key ctrl+shift+F9; sleep 0.5   # and live again
xdotool key ctrl+shift+F8; opens 热键打开; check "pressed again, a note's hotkey opens it" $?
xdotool windowkill "$keys" 2>/dev/null; sleep 1

# A clockwise circle: right, down, left, up, right in fast 30-pixel steps.
xdotool mousemove 500 300; sleep 1.2
circle() {
  local x=500 y=300
  for leg in "30 0" "0 30" "-30 0" "0 -30" "30 0"; do
    read -r dx dy <<< "$leg"
    for _ in 1 2 3 4; do x=$((x + dx)); y=$((y + dy)); xdotool mousemove "$x" "$y"; sleep 0.04; done
  done
}
circle; opens 顺时针触发; check "a drawn clockwise circle opens the clockwise note" $?
import -window root "$artefacts/triggers-opened.png" 2>/dev/null

poke class KorrinVellumo 32796   # pause mouse pop-up
sleep 0.5
push 640 700 640 799; stays_closed 下边触发; check "while paused the bottom edge opens nothing" $?
poke class KorrinVellumo 32796
sleep 0.5
push 640 700 640 799; opens 下边触发; check "resumed, it opens the bottom-edge note" $?

# A full-screen program in front holds pop-ups back.
( "$wine" "$target" "$(echo "Z:$dir/full.txt" | tr / '\\')" "" fullscreen >/dev/null 2>&1 ) &
wait_for 30 visible 打字目标
full="$(xdotool search --onlyvisible --name '^打字目标$' | head -1)"
xdotool windowfocus "$full" 2>/dev/null; sleep 1
push 640 100 640 0; stays_closed 上边触发; check "with a full-screen program in front the top edge opens nothing" $?
xdotool windowkill "$full" 2>/dev/null; sleep 1
push 640 100 640 0; opens 上边触发; check "without it the top edge opens its note" $?

import -window root "$artefacts/triggers-all.png" 2>/dev/null

poke class KorrinVellumo 32864
wait_for 30 test -f "$dir/exit-code"; check "the program ends" $?
rm -rf "$dir"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
