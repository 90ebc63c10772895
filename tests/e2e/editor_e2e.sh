#!/usr/bin/env bash
# The item editor end to end: right-clicking items opens it, keys typed
# with xdotool edit and save, a second editor opens while the first has
# unsaved changes, an empty cell makes a new item and ">Projects" a new
# note, "<k>" contents are stored encrypted.  Read back with vellumo-db.
set -uo pipefail
exe="$1"; poke="$2"; dbtool="$3"; artefacts="$4"; drive="$5"
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"

visible() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
count_visible() { xdotool search --onlyvisible --name "$1" 2>/dev/null | wc -l; }
row_y() { echo $((20 + 26 + 24 * $1 + 12)); }
right_click_row() { local y; y="$(row_y "$1")"; xdotool mousemove 150 "$y"; sleep 0.2; xdotool mousemove 151 "$y"; sleep 0.3; xdotool click 3; }
focus_editor() { xdotool windowfocus "$(xdotool search --onlyvisible --name "$1" | head -1)" 2>/dev/null; sleep 0.5; }
# A click into the content box: the keys go there after it.
click_content() {
  local id; id="$(xdotool search --onlyvisible --name "$1" | head -1)"
  eval "$(xdotool getwindowgeometry --shell "$id")"
  xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 60)); sleep 0.2; xdotool click 1; sleep 0.3
}

"$wine" cmd /c exit >/dev/null 2>&1
dir="$(mktemp -d)"; cp "$exe" "$dir/vellumo.exe"
python3 "$here/note_fixtures.py" editor > "$dir/notes.json"
(cd "$dir" && "$wine" "$dbtool" import < notes.json >/dev/null 2>&1); check "the fixture imports" $?
( cd "$dir" && VELLUMO_FIRST_TICK_FILE="$dir/first-tick" "$wine" vellumo.exe >/dev/null 2>&1; echo $? > "$dir/exit-code" ) &
wait_for 60 test -f "$dir/first-tick"; check "the program starts" $?
wait_for 30 visible '^编辑$'; check "the note opens" $?

right_click_row 0
wait_for 10 visible '^1\.1 01\|甲 - 编辑$'; check "right-clicking an item opens the editor on it" $?
focus_editor '^1\.1 '
xdotool key End; xdotool type --delay 60 " more"; sleep 0.5
import -window root "$artefacts/editor-edited.png" 2>/dev/null
right_click_row 1
wait_for 10 visible '^1\.2 '; check "with unsaved changes a second item opens a second editor" $?
test "$(count_visible ' - 编辑$')" -ge 2; check "both editors are shown" $?
focus_editor '^1\.2 '
xdotool key Escape; sleep 1   # the second one has no changes: it just closes
wait_for 5 sh -c '! xdotool search --onlyvisible --name "^1\.2 " >/dev/null'; check "Escape closes an editor without changes" $?
focus_editor '^1\.1 '
click_content '^1\.1 '
xdotool key ctrl+s; sleep 1
xdotool key Escape; sleep 1
wait_for 5 sh -c '! xdotool search --onlyvisible --name "^1\.1 " >/dev/null'; check "Ctrl+S saved and Escape closed it" $?

# A new item from an empty cell: ">Projects" with no content makes a note.
right_click_row 4
wait_for 10 visible '^1\.新建 - 编辑$'; check "an empty cell opens the editor on a new item" $?
focus_editor '^1\.新建'
xdotool type --delay 60 ">Projects"; sleep 0.3; xdotool key Return; sleep 1.5
import -window root "$artefacts/editor-new-note.png" 2>/dev/null
wait_for 10 visible '^1\.3 '; check "saving the new item gives it an id" $?
focus_editor '^1\.3 '
xdotool key Escape; sleep 1

# Icons from a program file and from an .ico: the editor's icon box opens
# the change-icon dialog; a typed path and Enter list that file; the first
# icon is chosen.
cell_icon() { import -window root "$1" 2>/dev/null; convert "$1" -crop 16x16+24+$((50 + 24 * $2)) +repage "$1.cell.png"; }
choose_icon() {  # choose_icon ROW WINDOWS-PATH SCREENSHOT-NAME
  right_click_row "$1"
  wait_for 10 visible "^1\\.$(($1 + 1)) " || return 1
  local editor; editor="$(xdotool search --onlyvisible --name "^1\\.$(($1 + 1)) " | head -1)"
  eval "$(xdotool getwindowgeometry --shell "$editor")"
  xdotool mousemove $((X + WIDTH - 28)) $((Y + 24)); sleep 0.3; xdotool click 1
  wait_for 10 visible '^改变图标$' || return 1
  local dialog; dialog="$(xdotool search --onlyvisible --name '^改变图标$' | head -1)"
  xdotool windowfocus "$dialog" 2>/dev/null; sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$dialog")"
  xdotool mousemove $((X + 60)) $((Y + 18)); sleep 0.2; xdotool click 1; sleep 0.2; xdotool key End shift+Home; sleep 0.2
  xdotool type --delay 30 "$2"; xdotool key Return; sleep 1.5
  xdotool mousemove $((X + 40)) $((Y + 70)); sleep 0.2; xdotool click 1; sleep 0.3
  import -window root "$artefacts/$3" 2>/dev/null
  xdotool key Return; sleep 1
  wait_for 5 sh -c '! xdotool search --onlyvisible --name "^改变图标$" >/dev/null'
}
cell_icon "$artefacts/editor-icon-before.png" 0
choose_icon 0 'C:\windows\system32\winecfg.exe' editor-icon-dialog.png; check "an icon from a program file is chosen in the change-icon dialog" $?
sleep 1.5
cell_icon "$artefacts/editor-icon-after.png" 0
test "$(compare -metric AE "$artefacts/editor-icon-before.png.cell.png" "$artefacts/editor-icon-after.png.cell.png" null: 2>&1)" != "0"
check "the note window shows the program's icon" $?
focus_editor '^1\.1 '; xdotool key Escape; sleep 1

# A 16x16 icon file of one pure red: the note window's cell must turn red.
python3 - "$dir/red.ico" <<'PY'
import struct, sys
side = 16
pixels = bytes([0, 0, 255, 255]) * (side * side)          # BGRA, pure red
mask = bytes(4 * side)                                    # all opaque
header = struct.pack("<IiiHHIIiiII", 40, side, side * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
image = header + pixels + mask
entry = struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(image), 6 + 16)
open(sys.argv[1], "wb").write(struct.pack("<HHH", 0, 1, 1) + entry + image)
PY
choose_icon 1 "Z:${dir//\//\\}\\red.ico" editor-icon-ico-dialog.png; check "an icon from an .ico file is chosen in the change-icon dialog" $?
sleep 1.5
cell_icon "$artefacts/editor-icon-ico.png" 1
red="$(convert "$artefacts/editor-icon-ico.png.cell.png" -format '%[fx:mean.r > 0.8 && mean.g < 0.2 && mean.b < 0.2]' info: 2>/dev/null)"
test "$red" = "1"; check "the note window shows the .ico's red icon" $?
focus_editor '^1\.2 '; xdotool key Escape; sleep 1
right_click_row 0
wait_for 10 visible '^1\.1 '; check "the editor opens again on the first item" $?

echo "== limits, secrets and searches through the editor's controls"
ed() { "$wine" "$drive" "=1." "$@" >/dev/null 2>&1; }
# Reads the message box captioned $1, answers it, and tells whether its
# text held $2.
box_says() {
  wait_for 10 visible "^$1\$" || return 1
  local text; text="$("$wine" "$poke" text "$1" 2>/dev/null | tr -d '\r')"
  "$wine" "$poke" title "$1" 1 >/dev/null 2>&1
  wait_for 10 sh -c "! xdotool search --onlyvisible --name '^$1\$' >/dev/null"
  echo "$text" | grep -qF "$2"
}
ed 1047 settext "second"; ed 1016 click
wait_for 10 visible '^1\.2 '; check "a content search moves the editor to the item holding it" $?
ed 1000 settext "$(python3 -c 'print("标" * 5001)')"; ed 1015 click
box_says 错误 "标题字数不能超过 5000 。"; check "a 5001-character title is refused with its message" $?
ed 1000 settext "$(python3 -c 'print("标" * 5000)')"; ed 1015 click
wait_for 10 visible '^1\.2 标标标'; check "a 5000-character title is saved" $?
ed 1001 settext "<k>top secret"; ed 1015 click; sleep 1
ed 1047 settext "top secret"; ed 1016 click
box_says 查找非加密内容 "此便利贴中没有找到！"; check "an encrypted content is never searched: not found in this note" $?
ed 1047 settext "first"; ed 1016 click
wait_for 10 visible '^1\.1 '; check "the content search goes round the note to the first item" $?
ed 1047 settext "01|甲"; ed 1017 click
box_says 查找标题 "只找到当前一项！"; check "a title only the current item has: found only here" $?
ed 1047 settext "nowhere"; ed 999 click
box_says 查找当前内容 "没有找到！"; check "a search in the current content without a match" $?

echo "== while locked, an encrypted item asks for the password instead of opening"
poke() { "$wine" "$poke" "$@" >/dev/null 2>&1; }
unlocked="便利贴密码（已解锁）"
poke class KorrinVellumo 32794
wait_for 30 poke ready "$unlocked" 1000; sleep 1
poke settext "$unlocked" 1001 "pw"; poke settext "$unlocked" 1003 "pw"; poke title "$unlocked" 1014
box_says 提示 "密码修改成功!"; check "a password is set" $?
poke title "$unlocked" 1
box_says 提示 "加密的数据锁定完成！"; check "and the program locked" $?
right_click_row 2   # the <k> item: titles sort "01|…", ">Projects", "标…"
wait_for 10 poke ready "便利贴密码" 1000; check "right-clicking the <k> item shows the password dialog" $?
import -window root "$artefacts/editor-locked-asks-password.png" 2>/dev/null
visible '^标标标.* - 编辑$'; test $? -ne 0; check "and no editor opens on it" $?
poke title "便利贴密码" 2
"$wine" "$poke" class KorrinVellumo 32864 >/dev/null 2>&1
wait_for 30 test -f "$dir/exit-code"; check "the program ends" $?
export_json="$(cd "$dir" && "$wine" "$dbtool" export 2>/dev/null | tr -d '\r')"
echo "$export_json" > "$artefacts/editor-export.json"
echo "$export_json" | grep -q '"content": "first more"'; check "the edit is stored" $?
echo "$export_json" | grep -q 'top secret'; test $? -ne 0; check "the <k> content is stored encrypted" $?
(cd "$dir" && "$wine" "$dbtool" items 1 --password "pw" 2>/dev/null | tr -d '\r') | grep -qF "<k>top secret"; check "and decrypts to what was typed" $?
echo "$export_json" | grep -q '"name": "Projects"'; check "a note named Projects exists" $?
projects_id="$(echo "$export_json" | python3 -c 'import json,sys; print(next(n["id"] for n in json.load(sys.stdin)["notes"] if n["name"] == "Projects"))')"
echo "$export_json" | grep -q "\"content\": \"<open>$projects_id\""; check "and the new item opens it (<open>$projects_id)" $?
(cd "$dir" && "$wine" "$dbtool" check >/dev/null 2>&1); check "the database passes check" $?
rm -rf "$dir"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
