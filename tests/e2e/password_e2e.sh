#!/usr/bin/env bash
# The password dialog end to end: the real program under Wine on a private
# Xvfb display, driven through the dialog's controls (texts set into its
# boxes, buttons pressed, message boxes answered), and the stored password
# record checked with vellumo-db once the program has exited.
set -uo pipefail
exe="$1"; poke="$2"; dbtool="$3"; artefacts="$4"
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"

"$wine" cmd /c exit >/dev/null 2>&1
poke() { "$wine" "$poke" "$@" >/dev/null 2>&1; }
unlocked="便利贴密码（已解锁）"
locked="便利贴密码"
# Answers the message box captioned $1, then waits for it to go; true when
# its text held $2.
answer() {
  wait_for 30 window_shown "^$1\$" || return 1
  local text; text="$("$wine" "$poke" text "$1" 2>/dev/null | tr -d '\r')"
  wait_for 20 poke title "$1" 1
  wait_for 20 sh -c "! xdotool search --onlyvisible --name '^$1\$'"
  echo "$text" | grep -qF "$2" || { echo "  box $1 said: $text"; return 1; }
}
db() { (cd "$dir" && "$wine" "$dbtool" "$@" 2>/dev/null | tr -d '\r'); }

dir="$(mktemp -d)"; cp "$exe" "$dir/vellumo.exe"
db note-create 工作 >/dev/null; db note-create '!私人' >/dev/null
db item-create 1 登录 '<k>secret 密文' --password "" >/dev/null
( cd "$dir" && VELLUMO_FIRST_TICK_FILE="$dir/first-tick" "$wine" vellumo.exe >/dev/null 2>&1; echo $? > "$dir/exit-code" ) &
wait_for 60 test -f "$dir/first-tick"; check "the program runs" $?

echo "== set a password, lock, unlock with a wrong and with the right one"
wait_for 30 poke class KorrinVellumo 32794
wait_for 30 window_shown "^$unlocked\$"; check "32794 opens the dialog, unlocked" $?
sleep 1
import -window root "$artefacts/password-dialog.png" 2>/dev/null
poke settext "$unlocked" 1001 "pw 密码1"; poke settext "$unlocked" 1003 "pw 密码1"
poke title "$unlocked" 1014
answer 提示 "密码修改成功!"; check "the password is changed" $?
poke title "$unlocked" 1
answer 提示 "加密的数据锁定完成！"; check "an empty box locks with its own message" $?
wait_for 20 sh -c "! xdotool search --onlyvisible --name '^$unlocked\$'"; check "the dialog closes after the lock" $?
poke class KorrinVellumo 32794
wait_for 30 window_shown "^$locked\$"; check "it opens again, locked" $?
poke settext "$locked" 1000 "wrong"; poke title "$locked" 1
answer 错误 "输入密码不正确!"; check "a wrong password is refused" $?
poke settext "$locked" 1000 "pw 密码1"; poke title "$locked" 1
wait_for 20 sh -c "! xdotool search --onlyvisible --name '^$locked\$'"; check "the right one unlocks and closes the dialog" $?

echo "== show the recovery string, then recover with it"
poke class KorrinVellumo 32794
wait_for 30 window_shown "^$unlocked\$"
poke settext "$unlocked" 1000 "pw 密码1"; poke title "$unlocked" 1015
answer 提示 "密码恢复字串可以安全地"; check "showing the string warns first" $?
sleep 1
recovery="$("$wine" "$poke" text "$unlocked" 2>/dev/null | tr -d '\r' | grep -xE '[0-9a-f]{64}')"
test -n "$recovery"; check "the recovery string is 64 lowercase hexadecimal digits" $?
import -window root "$artefacts/password-recovery-string.png" 2>/dev/null
poke settext "$unlocked" 1004 "$recovery"; poke title "$unlocked" 1020
answer 警告 "如果密码恢复字串有误"; check "recovery warns" $?
answer 提示 "密码已重置为空"; check "recovery resets the password" $?

wait_for 30 poke class KorrinVellumo 32864
wait_for 30 test -f "$dir/exit-code"; check "the program ends" $?
db password-check "" >/dev/null; check "the stored password is empty after the recovery" $?
db password-check "pw 密码1" >/dev/null; test $? -ne 0; check "the old password no longer opens it" $?
test -n "$recovery" -a "$(db recovery-string "")" = "$recovery"; check "the content key is the one shown" $?
db items 1 --password "" | grep -qF "<k>secret 密文"; check "the encrypted item still decrypts" $?
rm -rf "$dir"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
