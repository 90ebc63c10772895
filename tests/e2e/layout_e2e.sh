#!/usr/bin/env bash
# Typing in key mode on a keyboard layout other than US: the X server gets a
# German layout (Y and Z swapped, ß on a key of its own) before Wine starts,
# so Wine and the programs in it use that layout; "<A>yzß" must arrive as
# "yzß", as "<a>yzß" does.
set -uo pipefail
exe="$1"; dbtool="$2"; target="$3"; artefacts="$4"
# Xvfb here keeps the keymap it starts with: setxkbmap, xkbcomp and xmodmap
# report success and change nothing.  So the server starts on a copy of the
# keyboard data whose default (US) symbols are the German ones.
xkbdir="$(mktemp -d)"
cp -r /usr/share/X11/xkb/. "$xkbdir/" && cp /usr/share/X11/xkb/symbols/de "$xkbdir/symbols/us"
xvfb_options=(-xkbdir "$xkbdir")
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
WINEPREFIX="$VELLUMO_WINEPREFIX" /usr/lib/wine/wineserver -k >/dev/null 2>&1
"$wine" cmd /c exit >/dev/null 2>&1
poke="$(dirname "$exe")/../../tests/e2e/post-command.exe"
# Wine takes the layout from the X server when it starts; the Y key's scan
# code tells whether it is German.  Without it the checks below would pass
# on US keys and prove nothing, so the test says so and is skipped.
layout="$("$wine" "$poke" layout 2>/dev/null | tr -d '\r')"
rm -rf "$xkbdir"
echo "layout, scan code of Y, key of ß: $layout"
if [ "$(echo "$layout" | cut -d' ' -f2)" != 2c ]; then
  echo "skipped: Wine does not see a German layout (layout, Y scan code, ß key: $layout)"
  exit 77
fi

dir="$(mktemp -d)"; cp "$exe" "$dir/vellumo.exe"
typed="$dir/typed.txt"
# Read again on every try: the text grows while the sequence types.
typed_is() { test "$(cat "$typed" 2>/dev/null)" = "$1"; }
python3 "$here/note_fixtures.py" layout > "$dir/notes.json"
(cd "$dir" && "$wine" "$dbtool" import < notes.json >/dev/null 2>&1); check "the fixture imports" $?
( cd "$dir" && VELLUMO_FIRST_TICK_FILE="$dir/first-tick" "$wine" vellumo.exe >/dev/null 2>&1; echo $? > "$dir/exit-code" ) &
wait_for 60 test -f "$dir/first-tick"; check "the program starts" $?
( "$wine" "$target" "$(echo "Z:$typed" | tr / '\\')" >/dev/null 2>&1 ) &
wait_for 30 test -f "$typed"
xdotool windowfocus "$(xdotool search --onlyvisible --name '^打字目标$' | head -1)" 2>/dev/null; sleep 0.5
click_row() { local y=$((20 + 26 + 24 * $1 + 12)); xdotool mousemove 150 "$y"; sleep 0.2; xdotool mousemove 151 "$y"; sleep 0.3; xdotool click 1; }
click_row 0
wait_for 10 typed_is "yzß"; ok=$?; check "key mode types yzß on the German layout ($(cat "$typed"))" $ok
sleep 0.5
click_row 1
wait_for 10 typed_is "yzßyzß"; ok=$?; check "character mode types the same ($(cat "$typed"))" $ok
import -window root "$artefacts/layout-german.png" 2>/dev/null
xdotool search --name '^打字目标$' windowkill 2>/dev/null
"$wine" "$(dirname "$exe")/../../tests/e2e/post-command.exe" class KorrinVellumo 32864 >/dev/null 2>&1
wait_for 30 test -f "$dir/exit-code"
rm -rf "$dir"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
