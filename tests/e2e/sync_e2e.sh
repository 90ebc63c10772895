#!/usr/bin/env bash
# Two copies of the program keep one note in step through the sync server
# on 127.0.0.1: items made, edited and deleted in one reach the other's open
# note window; a copy that was closed catches up when it starts again and
# does not bring back what was deleted meanwhile; a wrong sync password is
# reported; the server keeps no plaintext.  Each copy runs in a folder and a
# Wine prefix of its own, so that the test tools see only its windows.
# Screenshots go to the artefacts.
set -uo pipefail
exe="$1"; poke="$2"; dbtool="$3"; drive="$4"; artefacts="$5"; server="$6"
if [ ! -x "$server" ]; then echo "skipped: no native sync server at $server"; exit 77; fi
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
prefix_a="$VELLUMO_WINEPREFIX"
prefix_b="$(dirname "$artefacts")/wineprefix-e2e-second"
password="pass-word-1"

run() {  # run a|b PROGRAM ARGS...: in that copy's folder and prefix
  local who="$1"; shift
  local p="$prefix_a" d="$dir_a"; [ "$who" = b ] && { p="$prefix_b"; d="$dir_b"; }
  (cd "$d" && VELLUMO_WINEPREFIX="$p" "$wine" "$@" 2>>"$artefacts/sync-tools.log" | tr -d '\r')
}
db() { local who="$1"; shift; run "$who" "$dbtool" "$@"; }
poke() { local who="$1"; shift; run "$who" "$poke" "$@"; }
drive() { local who="$1"; shift; run "$who" "$drive" "$@"; }
shot() { import -window root "$artefacts/sync-$1.png" 2>/dev/null; }
visible() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
# "title=content/" for each item, sorted; only while that copy is closed.
items_of() { db "$1" items 1 | cut -f2,3 | tr '\t' '=' | sort | tr '\n' '/'; }

start() {  # start a|b
  local d="$dir_a" p="$prefix_a"; [ "$1" = b ] && { d="$dir_b"; p="$prefix_b"; }
  rm -f "$d/first-tick" "$d/exit-code"
  ( cd "$d" && VELLUMO_WINEPREFIX="$p" VELLUMO_FIRST_TICK_FILE="$d/first-tick" \
      VELLUMO_TIMING_FILE="$(echo "Z:$d/timing" | tr / '\\')" "$wine" vellumo.exe >/dev/null 2>&1
    echo $? > "$d/exit-code" ) &
  wait_for 60 test -f "$d/first-tick"
}
stop() {
  local d="$dir_a"; [ "$1" = b ] && d="$dir_b"
  wait_for 30 poke "$1" class KorrinVellumo 32864
  wait_for 30 test -f "$d/exit-code"
}

# Note 1 of copy a sits at x 20, of copy b at x 660; rows of 24 pixels
# below a 24-pixel title bar.
row_y() { echo $((20 + 26 + 24 * $1 + 12)); }
right_click() {  # right_click X ROW
  local y; y="$(row_y "$2")"
  xdotool mousemove "$1" "$y"; sleep 0.2; xdotool mousemove "$(($1 + 1))" "$y"; sleep 0.3; xdotool click 3
}
# A running copy keeps its database to itself, so the test keeps the titles
# copy a's note holds; the note lists them in the order of their ANSI
# (code page 936) bytes.  row_of prints the row of TITLE, or the first empty
# row when TITLE is empty.
titles_a=()
row_of() {
  python3 - "$1" "${titles_a[@]}" <<'PY'
import sys
title, held = sys.argv[1], sorted(sys.argv[2:], key=lambda t: t.encode("gbk"))
print(len(held) if not title else held.index(title))
PY
}
# What copy b's engine did, from its timing file: items stored from the
# server, items deleted on the server's word.
events() { tr -d '\r' < "$dir_b/timing" 2>/dev/null | awk -v n="$1" '$1 == n {c++} END {print c + 0}'; }
events_reach() { [ "$(events "$1")" -ge "$2" ]; }
editor_open() { visible ' - 同步$'; }
open_editor_in_a() {  # open_editor_in_a TITLE: the editor on that item, or on a new one
  local row; row="$(row_of "$1")"; [ -n "$row" ] || return 1
  right_click 150 "$row"
  wait_for 10 editor_open
}
close_editor() {
  xdotool windowfocus "$(xdotool search --onlyvisible --name ' - 同步$' | head -1)" 2>/dev/null; sleep 0.3
  xdotool key Escape
  wait_for 10 sh -c "! xdotool search --onlyvisible --name ' - 同步\$' >/dev/null"
}
# Saves NEW-TITLE and CONTENT through copy a's item editor on the item
# titled TITLE ("" makes a new item).
edit_in_a() {  # edit_in_a TITLE NEW-TITLE CONTENT
  open_editor_in_a "$1" || return 1
  drive a "=1." 1000 settext "$2" && drive a "=1." 1001 settext "$3" && drive a "=1." 1015 click || return 1
  sleep 0.3
  close_editor
}
# Deletes the item titled TITLE with the editor's delete button.
delete_in_a() {
  open_editor_in_a "$1" || return 1
  drive a "=1." 1022 click &   # returns when the question is answered
  local clicking=$!
  wait_for 10 poke a title 删除 1 || return 1
  wait "$clicking"
  sleep 0.3
  close_editor
}

data="$(mktemp -d)"
port=$((20000 + RANDOM % 20000))
"$server" --data "$data/store" --listen "127.0.0.1:$port" --pwhash min --log-level warning > "$artefacts/sync-server.log" 2>&1 &
server_pid=$!
trap 'kill $server_pid 2>/dev/null; WINEPREFIX="$prefix_b" /usr/lib/wine/wineserver -k >/dev/null 2>&1; cleanup' EXIT

dir_a="$(mktemp -d)"; dir_b="$(mktemp -d)"
cp "$exe" "$dir_a/vellumo.exe"; cp "$exe" "$dir_b/vellumo.exe"
run a cmd /c exit; run b cmd /c exit
python3 "$here/note_fixtures.py" sync 20 "$password" > "$dir_a/notes.json"
python3 "$here/note_fixtures.py" sync 660 "$password" > "$dir_b/notes.json"
db a import < "$dir_a/notes.json" >/dev/null; ok_a=$?
db b import < "$dir_b/notes.json" >/dev/null; ok_b=$?
test $ok_a -eq 0 -a $ok_b -eq 0; check "both databases import a note with a sync ID and password" $?
# Both reach the test server through the stored server address (ANSI host:port).
address_hex="$(printf '127.0.0.1:%s' "$port" | od -An -tx1 | tr -d ' \n')00"
db a put 0a "$address_hex" >/dev/null; db b put 0a "$address_hex" >/dev/null

start a; check "copy a starts" $?
start b; check "copy b starts" $?
wait_for 30 visible '^同步$'; check "the synced notes open" $?

echo "== changes made in one copy reach the other"
edit_in_a "" "晨会" "九点"; check "an item is saved in copy a" $?
titles_a+=(晨会)
wait_for 10 events_reach sync-arrived 1; check "it is stored in copy b" $?
# Both copies note the wall-clock moment: a when the save reached the
# engine, b when the item was stored and its note window told to redraw.
saved="$(tr -d '\r' < "$dir_a/timing" | awk '$1 == "sync-saved" {print $2; exit}')"
arrived="$(tr -d '\r' < "$dir_b/timing" | awk '$1 == "sync-arrived" {print $2; exit}')"
ms=$(( (${arrived:-0} - ${saved:-0}) / 1000 ))
test -n "$saved" -a -n "$arrived" -a "$ms" -ge 0 -a "$ms" -lt 1000; check "within a second of the save: ${ms} ms" $?
sleep 0.5; shot arrived
edit_in_a "" "周报" "周五"; check "a second item is saved" $?
titles_a+=(周报)
wait_for 10 events_reach sync-arrived 2; check "and arrives too" $?
edit_in_a "晨会" "晨会" "十点"; check "the first item is edited in copy a" $?
wait_for 10 events_reach sync-arrived 3; check "the new version reaches copy b" $?
wait_for 10 events_reach sync-removed 1; check "and the old one is removed there" $?
delete_in_a 周报; check "an item is deleted in copy a" $?
titles_a=(晨会)
wait_for 10 events_reach sync-removed 2; check "the deletion reaches copy b" $?
sleep 0.5; shot in-step
stop b; check "copy b exits" $?
test "$(items_of b)" = "晨会=十点/"; ok=$?; check "copy b holds exactly the edited item: $(items_of b)" $ok

echo "== a copy that was closed catches up"
edit_in_a "" "离线" "新增"; check "copy a adds an item while b is closed" $?
titles_a+=(离线)
delete_in_a 晨会; check "and deletes the one b holds" $?
titles_a=(离线)
arrivals="$(events sync-arrived)"; removals="$(events sync-removed)"
start b; check "copy b starts again" $?
wait_for 15 events_reach sync-arrived $((arrivals + 1)); check "the item added meanwhile arrives" $?
wait_for 15 events_reach sync-removed $((removals + 1)); check "the item deleted meanwhile is deleted" $?
sleep 2; shot caught-up
stop b
test "$(items_of b)" = "离线=新增/"; ok=$?; check "copy b holds what a holds, the deleted item not brought back: $(items_of b)" $ok

echo "== the server holds no plaintext"
python3 - "$data/store" 晨会 周报 离线 新增 <<'PY'
import os, sys
root, words = sys.argv[1], sys.argv[2:]
found = []
for d, _, files in os.walk(root):
    for f in files:
        blob = open(os.path.join(d, f), "rb").read()
        for w in words:
            if w.encode("utf-16-le") in blob or w.encode("utf-8") in blob or w.encode("gbk") in blob:
                found.append((f, w))
sys.exit(1 if found or not os.listdir(root) else 0)
PY
check "no title or content in the server's store" $?

echo "== a wrong sync password is reported"
wrong_hex="$(printf 'wrong-pass-9' | iconv -t UTF-16LE | od -An -tx1 | tr -d ' \n')"
db b put 010100000015 "$wrong_hex" >/dev/null
start b; check "copy b starts with the wrong password" $?
wait_for 20 visible '^网络同步错误$'; check "the sync error box opens" $?
text="$(poke b text 网络同步错误)"
echo "$text" | grep -qF '错误代码：#1'; ok=$?; check "it names error 1" $ok
echo "$text" | grep -qF '同步ID或密码错误'; check "with its text" $?
shot wrong-password
poke b title 网络同步错误 1 >/dev/null
stop b
stop a; check "copy a exits" $?
test "$(items_of a)" = "离线=新增/"; ok=$?; check "copy a kept its item through b's refused registration: $(items_of a)" $ok

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
