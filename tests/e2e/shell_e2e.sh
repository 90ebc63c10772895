#!/usr/bin/env bash
# Starts vellumo.exe under Wine on a private Xvfb display, as a user would,
# each case in a fresh working directory, and checks what it leaves behind.
# Screenshots are kept in the artefact directory.
set -uo pipefail
exe="$1"; poke="$2"; dbtool="$3"; artefacts="$4"
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"

new_dir() {
  local d; d="$(mktemp -d)"; cp "$exe" "$d/vellumo.exe"; echo "$d"
}

# Boot the prefix once so that start-up times below are the program's own.
"$wine" cmd /c exit >/dev/null 2>&1

echo "== first start on an empty database, second start, exit from the menu"
dir="$(new_dir)"
( cd "$dir" && "$wine" vellumo.exe >/dev/null 2>&1; echo $? > "$dir/exit-code" ) &
wait_for 60 test -f "$dir/vellumo-00000001.ku"; check "the database files are created" $?
wait_for 30 window_shown "Vellumo - 管理窗口"; check "an empty database shows the management window" $?
sleep 1
import -window root "$artefacts/management-window.png" 2>/dev/null
(cd "$dir" && timeout 60 "$wine" vellumo.exe >/dev/null 2>&1); second=$?
check "a second start exits with code 0" "$second"
test "$(pgrep -fc 'vellumo.exe')" -ge 1; check "the first instance keeps running" $?
poke() { "$wine" "$poke" "$@" >/dev/null 2>&1; }
wait_for 30 poke class KorrinVellumo 104; check "the About command reaches the program" $?
wait_for 20 window_shown "^Vellumo$"; check "the About box opens" $?
sleep 1
import -window root "$artefacts/about-box.png" 2>/dev/null
wait_for 20 poke title Vellumo 1
wait_for 30 poke class KorrinVellumo 32864; check "the exit command reaches the program" $?
wait_for 30 test -f "$dir/exit-code"; check "the program ends after 退出(&X)" $?
test "$(cat "$dir/exit-code" 2>/dev/null)" = "0"; check "with exit code 0" $?
(cd "$dir" && "$wine" "$dbtool" check >/dev/null 2>&1); check "the database passes vellumo-db check" $?
rm -rf "$dir"

echo "== a corrupt database is refused and left untouched"
dir="$(new_dir)"
head -c 4096 /dev/urandom > "$dir/vellumo-00000001.ku"
before="$(sha1sum < "$dir/vellumo-00000001.ku")"
( cd "$dir" && "$wine" vellumo.exe >/dev/null 2>&1; echo $? > "$dir/exit-code" ) &
wait_for 60 window_shown "^错误$"; check "数据库错误! is shown" $?
sleep 1
import -window root "$artefacts/database-error.png" 2>/dev/null
wait_for 20 poke title 错误 1
wait_for 30 test -f "$dir/exit-code"; check "the program ends" $?
test "$(sha1sum < "$dir/vellumo-00000001.ku")" = "$before"; check "the file is untouched" $?
rm -rf "$dir"

echo "== manual backups keep ten pairs; compaction through the menu"
dir="$(new_dir)"
(cd "$dir" && "$wine" "$dbtool" note-create 第一 && "$wine" "$dbtool" item-create 1 标题 "<run>notepad.exe" \
   && "$wine" "$dbtool" note-create 第二) >/dev/null 2>&1
( cd "$dir" && VELLUMO_FIRST_TICK_FILE="$dir/first-tick" "$wine" vellumo.exe >/dev/null 2>&1; echo $? > "$dir/exit-code" ) &
wait_for 60 test -f "$dir/first-tick"; check "the timer runs" $?
! window_shown "Vellumo - 管理窗口" >/dev/null 2>&1; check "a database with notes starts with only the tray icon" $?
backup_ok=0
for round in $(seq 1 11); do
  wait_for 30 poke class KorrinVellumo 32801 || backup_ok=1
  wait_for 30 poke title 备份数据库 1 || backup_ok=1
  wait_for 30 poke title 便利贴 1 || backup_ok=1
done
check "eleven manual backups complete" "$backup_ok"
test -f "$dir/vellumo-00000002.ku.bak" -o -f "$dir/vellumo-00000012.ku.bak"; check "backups are numbered pairs" $?
test "$(ls "$dir"/*.ku.bak | wc -l)" -eq 10 -a "$(ls "$dir"/*.hs.bak | wc -l)" -eq 10; check "eleven backups leave ten pairs" $?
test ! -f "$dir/vellumo-00000002.ku.bak"; check "the oldest pair went first" $?
wait_for 30 poke class KorrinVellumo 32802
wait_for 30 poke title 整理数据库 1; check "compaction asks first" $?
wait_for 30 poke title 提示 1
wait_for 60 test -f "$dir/exit-code"; check "compaction ends the process" $?
test "$(cat "$dir/exit-code" 2>/dev/null)" = "0"; check "with exit code 0" $?
test -f "$dir/vellumo-00000002.ku" -a -f "$dir/vellumo-00000002.hs"; check "the compacted pair is written" $?
rm -f "$dir/exit-code"
( cd "$dir" && "$wine" vellumo.exe >/dev/null 2>&1; echo $? > "$dir/exit-code" ) &
wait_for 60 window_shown "^便利贴$"; check "the next start installs it and says so" $?
import -window root "$artefacts/compaction-installed.png" 2>/dev/null
wait_for 30 poke title 便利贴 1
wait_for 30 poke class KorrinVellumo 32864
wait_for 30 test -f "$dir/exit-code"; check "the program ends" $?
test ! -f "$dir/vellumo-00000002.ku"; check "number 2 became number 1" $?
notes="$(cd "$dir" && "$wine" "$dbtool" notes 2>/dev/null | tr -d '\r')"
echo "$notes" | grep -q "第一" && echo "$notes" | grep -q "第二"; check "every note is still there" $?
(cd "$dir" && "$wine" "$dbtool" check >/dev/null 2>&1); check "the compacted database passes check" $?
rm -rf "$dir"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
