#!/usr/bin/env bash
# The management window end to end: the real program under Wine on a
# private Xvfb display, driven through its controls (texts set into boxes,
# buttons and tabs clicked, list rows read back), with the database checked
# by vellumo-db once the program has exited.
set -uo pipefail
exe="$1"; poke="$2"; drive="$3"; dbtool="$4"; target="$5"; artefacts="$6"
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"

"$wine" cmd /c exit >/dev/null 2>&1
poke() { "$wine" "$poke" "$@" >/dev/null 2>&1; }
drive() { "$wine" "$drive" KorrinVellumo "$@" 2>/dev/null | tr -d '\r'; }
db() { (cd "$dir" && "$wine" "$dbtool" "$@" 2>/dev/null | tr -d '\r'); }
shot() { import -window root "$artefacts/management-$1.png" 2>/dev/null; }
visible() { xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }
winpath() { echo "Z:$1" | tr / '\\'; }
# Answers the message box captioned $1 with button $2 (1 OK, 6 Yes).
answer() {
  wait_for 20 visible "$1" || return 1
  wait_for 10 poke title "$1" "${2:-1}"
  wait_for 10 sh -c "! xdotool search --onlyvisible --name '^$1\$'"
}

# Paths inside the main window: the management dialog is the dialog with
# the page tabs; the pages are told apart by a control only they have.
list="d1011,1013"; filter="d1011,1000"; tabs="d1011,1011"
props="d1038"; look="d1067"; items="d1066"
listed() { drive "$list" rows; }
lists_exactly() { test "$(listed | tr '\n' '/')" = "$1"; }

start() {
  rm -f "$dir/first-tick" "$dir/exit-code"
  ( cd "$dir" && VELLUMO_FIRST_TICK_FILE="$dir/first-tick" "$wine" vellumo.exe >/dev/null 2>&1; echo $? > "$dir/exit-code" ) &
  wait_for 60 test -f "$dir/first-tick"
}
stop() {
  wait_for 30 poke class KorrinVellumo 32864
  wait_for 30 test -f "$dir/exit-code"
}
# A second start of the program shows the window of the running one.
show_window() {
  (cd "$dir" && "$wine" vellumo.exe >/dev/null 2>&1)
  wait_for 20 drive "$list" rows || return 1
  sleep 1
}
# The target program in front with the X keyboard focus; its text goes to
# $typed.
start_target() {
  rm -f "$typed"
  ( cd "$dir" && "$wine" "$target" "$(winpath "$typed")" >/dev/null 2>&1 ) &
  wait_for 30 visible 打字目标 || return 1
  wait_for 10 test -f "$typed"
  xdotool windowfocus --sync "$(xdotool search --onlyvisible --name '^打字目标$' | head -1)" 2>/dev/null
  sleep 0.5
}
stop_target() { xdotool search --name '^打字目标$' windowclose 2>/dev/null; sleep 0.5; }
select_note() {  # select_note NAME: clicks the row that names it
  local row; row="$(listed | grep -n -m1 -F "$1" | cut -d: -f1)"
  [ -n "$row" ] || return 1
  drive "$list" select "$((row - 1))"
  sleep 1
}

dir="$(mktemp -d)"; cp "$exe" "$dir/vellumo.exe"
typed="$dir/typed.txt"
db note-create 工作 >/dev/null
db note-create 项目 >/dev/null
db note-create '!私人' >/dev/null
db item-create 1 写报告 '<a>alpha 报告' >/dev/null
db item-create 1 会议 '<a>meeting' >/dev/null
db item-create 1 邮件 '<a>mail to bob' >/dev/null
db item-create 2 设计 'needle in the content' >/dev/null
db item-create 3 秘密 'hidden things' >/dev/null
db password-set "" "pw!1" >/dev/null; check "the fixture is made, with a password" $?

start; check "the program starts (locked)" $?
show_window; check "a second start shows the management window" $?
shot opened
echo "== the list, hidden notes and filters"
lists_exactly "工作/项目/"; ok=$?; check "the list holds the visible notes only while locked: $(listed | tr '\n' '/')" $ok
drive "$filter" settext "2"; sleep 1
lists_exactly "项目/"; ok=$?; check "a number finds that note exactly: $(listed | tr '\n' '/')" $ok
drive "$filter" settext "作"; sleep 1
lists_exactly "工作/"; ok=$?; check "a name filter: $(listed | tr '\n' '/')" $ok
drive "$filter" settext "needle"; sleep 1
lists_exactly ""; ok=$?; check "a content word matches no name: $(listed | tr '\n' '/')" $ok
drive d1011,1015 click; sleep 1
lists_exactly "项目/"; ok=$?; check "the content filter finds the note with it: $(listed | tr '\n' '/')" $ok
drive "$filter" settext "会议"; sleep 1
drive d1011,1014 click; sleep 1
lists_exactly "工作/"; ok=$?; check "the title filter finds the note with it: $(listed | tr '\n' '/')" $ok
drive "$filter" settext "工作"; sleep 1
lists_exactly ""; ok=$?; check "a name match without an item match is not listed: $(listed | tr '\n' '/')" $ok
drive d1011,1014 click; drive "$filter" settext ""; sleep 1
lists_exactly "工作/项目/"; ok=$?; check "the filter off lists everything again: $(listed | tr '\n' '/')" $ok

poke class KorrinVellumo 32794
wait_for 20 poke ready 便利贴密码 1000; sleep 1
poke settext 便利贴密码 1000 "pw!1"; poke title 便利贴密码 1
wait_for 20 sh -c "! xdotool search --onlyvisible --name '^便利贴密码\$'"
sleep 1
listed | grep -qF '!私人'; check "after unlocking the hidden note is listed" $?

echo "== note commands"
poke class KorrinVellumo 32788; sleep 2
test "$(listed | wc -l)" -eq 4; check "a new note is listed" $?
select_note 项目
poke class KorrinVellumo 32792
answer 确定清空？; check "clearing asks first" $?
select_note '!私人'
poke class KorrinVellumo 32790
answer 确定删除？; check "deleting asks first" $?
sleep 1
listed | grep -qF '!私人'; test $? -ne 0; check "the deleted note leaves the list" $?
select_note 工作
poke class KorrinVellumo 32789; sleep 2
wait_for 10 visible 工作; check "open shows the note's window" $?

echo "== the item page: filter, count and run"
drive "$tabs" tab 2; sleep 1
test "$(drive "$items,1013" rows | wc -l)" -eq 3; check "the item page lists the note's items" $?
drive "$items,1000" settext "m"; sleep 1
count="$(drive "$items,1066" text)"
test "$count" = "2 / 3"; ok=$?; check "the filter narrows and counts: $count" $ok
shot item-page
start_target; check "the target program is in front" $?
drive "$items,1013" dblclick 0; sleep 3
test "$(cat "$typed" 2>/dev/null)" = "meeting"; ok=$?; check "a double-clicked row types into the program in front: $(cat "$typed" 2>/dev/null)" $ok
stop_target

echo "== the appearance page changes the open window at once"
drive "$tabs" tab 1; sleep 1
shot before-look
# Grabs the open note window into $1.  While the window is being re-made
# there may be none: given no window, import would wait for a mouse click.
grab_note() {
  local id
  id="$(xdotool search --onlyvisible --name '^工作$' | head -1)"
  [ -n "$id" ] && timeout 20 import -window "$id" "$1" 2>/dev/null
}
note_pixels() {  # the open note window's pixels, as a checksum
  local f="$artefacts/management-pixels.rgb"
  for _ in 1 2 3 4 5 6; do
    rm -f "$f"
    grab_note "rgb:$f" && [ -s "$f" ] && { md5sum < "$f"; return 0; }
    sleep 0.5
  done
  return 1
}
before="$(note_pixels)"
drive "$look,1001" settext "48"; sleep 2
after="$(note_pixels)"
shot after-look
test "$before" != "$after"; check "a taller item row re-draws the open window at once" $?
drive "$look,1067" settext "高行"; drive "$look,1068" click; sleep 1
drive "$look,1001" settext "30"; sleep 1
drive "$look,1067" settext "高行"; drive "$look,997" click; sleep 1
test "$(drive "$look,1001" text)" = "48"; ok=$?; check "loading the scheme brings its row height back" $ok
drive "$look,1067" settext "无此方案"; drive "$look,997" click
answer 加载失败; check "loading a missing scheme says so" $?

echo "== colours and fonts through the system's dialogs"
system_dialog() { "$wine" "$drive" "=$1" "${@:2}" 2>/dev/null | tr -d '\r'; }
# The share of the open note window's pixels in pure blue.
blue_share() {
  grab_note "$artefacts/management-note.png" || return 1
  convert "$artefacts/management-note.png" -fill white -opaque "rgb(0,0,255)" -fill black +opaque white \
    -format '%[fx:mean]' info: 2>/dev/null
}
turned_blue() { [ "$(blue_share | awk '{print ($1 > 0.3)}')" = 1 ]; }
# The note stays open through the dialogs: the pointer rests on it, and a
# dialog taking the pointer's place counts as the pointer leaving, after
# which the note hides, as it should.  Unticked again below.
drive "$look,1028" click; sleep 1
drive "$look,1018" click
wait_for 10 system_dialog 颜色 706 text; check "the background colour button opens the colour dialog" $?
sleep 1
system_dialog 颜色 706 settext 0; system_dialog 颜色 707 settext 0; system_dialog 颜色 708 settext 255; sleep 0.5
shot colour-dialog
system_dialog 颜色 1 click
wait_for 10 turned_blue; check "the chosen background colour re-draws the open window at once" $?
shot after-colour
before="$(note_pixels)"
drive "$look,1020" click
wait_for 10 system_dialog 字体 1136 text; check "the title font button opens the font dialog" $?
sleep 1
system_dialog 字体 1136 choose 文泉驿微米黑 && system_dialog 字体 1138 choose 20; check "a face and a size are picked" $?
sleep 0.5; shot font-dialog
system_dialog 字体 1 click
wait_for 10 sh -c "! xdotool search --onlyvisible --name '^字体\$'"; sleep 1.5
after="$(note_pixels)"
shot after-font
[ -n "$after" ] && test "$before" != "$after"; check "the chosen title font re-draws the open window at once" $?
drive "$look,1028" click; sleep 1

echo "== properties: name, password rule"
drive "$tabs" tab 0; sleep 1
drive "$props,1000" settext "工作台"; sleep 1
listed | grep -qF 工作台; check "renaming shows in the list" $?
drive "$props,1001" settext "team-notes"
for case in "short!1:密码需包含" "abcdefgh1234:密码需包含" "good-pass-1!:暂未连接到服务器"; do
  drive "$props,1019" settext "${case%%:*}"; drive "$props,1021" click
  wait_for 10 sh -c "xdotool search --onlyvisible --name '^错误\$'" >/dev/null
  text="$("$wine" "$poke" text 错误 2>/dev/null | tr -d '\r')"
  poke title 错误 1; sleep 0.5
  echo "$text" | grep -qF "${case#*:}"; ok=$?; check "sync password '${case%%:*}' is answered with ${case#*:}" $ok
done
drive "$props,1038" click; sleep 0.5
drive "$props,1023" click; sleep 0.5
select_note "便利贴（4）"
drive "$tabs" tab 0; sleep 1
drive "$props,1027" click; sleep 0.5   # the top-left corner pops it up
drive "$props,1027" checked; check "the corner trigger box of the new note is checked" $?

echo "== a hotkey set on the properties page opens its note"
select_note 项目
drive "$tabs" tab 0; sleep 1
drive "$props,1012" hotkey 0x64A; sleep 1   # Ctrl+Alt+J
xdotool key ctrl+alt+j
wait_for 10 visible 项目; check "Ctrl+Alt+J opens the note it was set for" $?
shot hotkey

echo "== the backup directory and server address dialogs"
dlg() { "$wine" "$drive" "=$1" "${@:2}" 2>/dev/null | tr -d '\r'; }
poke class KorrinVellumo 32861
wait_for 10 dlg 设置自动备份目录 1065 text >/dev/null
dlg 设置自动备份目录 1065 settext "Z:\\no\\such\\folder"; dlg 设置自动备份目录 1 click
answer 错误; check "a missing backup directory is refused" $?
sleep 0.5; visible 设置自动备份目录; check "and the dialog stays open" $?
dlg 设置自动备份目录 1065 settext "$(winpath "$dir")"; dlg 设置自动备份目录 1 click
wait_for 10 sh -c "! xdotool search --onlyvisible --name '^设置自动备份目录\$'"; check "an existing one is taken" $?
poke class KorrinVellumo 32861
wait_for 10 dlg 设置自动备份目录 1065 text >/dev/null
test "$(dlg 设置自动备份目录 1065 text)" = "$(winpath "$dir")"; check "and shown when the dialog opens again" $?
dlg 设置自动备份目录 1065 settext ""; dlg 设置自动备份目录 1 click; sleep 1
poke class KorrinVellumo 32869
wait_for 10 dlg 设置同步服务器地址 1065 text >/dev/null
dlg 设置同步服务器地址 1065 settext "127.0.0.1:8123"; dlg 设置同步服务器地址 1 click
wait_for 10 sh -c "! xdotool search --onlyvisible --name '^设置同步服务器地址\$'"
poke class KorrinVellumo 32869
wait_for 10 dlg 设置同步服务器地址 1065 text >/dev/null
test "$(dlg 设置同步服务器地址 1065 text)" = "127.0.0.1:8123"; check "the server address is kept" $?
poke title 设置同步服务器地址 2; sleep 0.5

stop; check "the program ends" $?
start; check "the program starts again" $?
wait_for 15 visible 工作台; check "the note set to open at start opens" $?
xdotool key ctrl+alt+j
wait_for 10 visible 项目; check "after a restart the hotkey still opens its note" $?
xdotool mousemove 50 50; sleep 0.3; xdotool mousemove 0 0
wait_for 5 visible "便利贴（4）"; check "after a restart the corner checked on the properties page opens its note" $?
shot corner-trigger
stop
db notes | grep -qF 工作台; check "the new name is stored" $?
db export > "$dir/export.json"
grep -qF 高行 "$dir/export.json"; check "the scheme is stored" $?
python3 - "$dir/export.json" <<'PY'; check "the chosen background colour is stored in the note's own appearance" $?
import json, sys
note = next(n for n in json.load(open(sys.argv[1]))["notes"] if n["name"] == "工作台")
sys.exit(0 if note["ownAppearance"][56:64].lower() == "0000ff00" else 1)
PY
test "$(db items 2 | grep -c .)" -eq 0; check "the cleared note has no items" $?
db notes | grep -qF '!私人'; test $? -ne 0; check "the deleted note is gone" $?
db export | grep -q '"triggers"'; check "the checked trigger is stored" $?
rm -rf "$dir"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
