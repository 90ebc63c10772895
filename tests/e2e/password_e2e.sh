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
# Opens the dialog with its command and waits until the new dialog (not the
# one closed a moment ago, whose window can linger hidden) shows its boxes;
# then a moment more, as a person would take before typing.
open_dialog() {
  poke class KorrinVellumo 32794
  wait_for 30 poke ready "$1" 1000 || return 1
  sleep 1
}

dir="$(mktemp -d)"; cp "$exe" "$dir/vellumo.exe"
db note-create 工作 >/dev/null; db note-create '!私人' >/dev/null
db item-create 1 登录 '<k>secret 密文' --password "" >/dev/null
start_program() {
  rm -f "$dir/first-tick" "$dir/exit-code"
  ( cd "$dir" && VELLUMO_FIRST_TICK_FILE="$dir/first-tick" "$wine" vellumo.exe >/dev/null 2>&1; echo $? > "$dir/exit-code" ) &
  wait_for 60 test -f "$dir/first-tick"
}
stop_program() {
  wait_for 30 poke class KorrinVellumo 32864
  wait_for 30 test -f "$dir/exit-code"
}
start_program; check "the program runs" $?

echo "== set a password, lock, unlock with a wrong and with the right one"
open_dialog "$unlocked"; check "32794 opens the dialog, unlocked" $?
import -window root "$artefacts/password-dialog.png" 2>/dev/null
poke settext "$unlocked" 1001 "pw 密码1"; poke settext "$unlocked" 1003 "pw 密码1"
poke title "$unlocked" 1014
answer 提示 "密码修改成功!"; check "the password is changed" $?
poke title "$unlocked" 1
answer 提示 "加密的数据锁定完成！"; check "an empty box locks with its own message" $?
wait_for 20 sh -c "! xdotool search --onlyvisible --name '^$unlocked\$'"; check "the dialog closes after the lock" $?
open_dialog "$locked"; check "it opens again, locked" $?
poke settext "$locked" 1000 "wrong"; poke title "$locked" 1
answer 错误 "输入密码不正确!"; check "a wrong password is refused" $?
poke settext "$locked" 1000 "pw 密码1"; poke title "$locked" 1
wait_for 20 sh -c "! xdotool search --onlyvisible --name '^$locked\$'"; check "the right one unlocks and closes the dialog" $?

echo "== show the recovery string, then recover with it"
open_dialog "$unlocked"
poke settext "$unlocked" 1000 "pw 密码1"; poke title "$unlocked" 1015
answer 提示 "密码恢复字串可以安全地"; check "showing the string warns first" $?
sleep 1
recovery="$("$wine" "$poke" text "$unlocked" 2>/dev/null | tr -d '\r' | grep -xE '[0-9a-f]{64}')"
test -n "$recovery"; check "the recovery string is 64 lowercase hexadecimal digits" $?
import -window root "$artefacts/password-recovery-string.png" 2>/dev/null
poke settext "$unlocked" 1004 "$recovery"; poke title "$unlocked" 1020
answer 警告 "如果密码恢复字串有误"; check "recovery warns" $?
answer 提示 "密码已重置为空"; check "recovery resets the password" $?

stop_program; check "the program ends" $?
db password-check "" >/dev/null; check "the stored password is empty after the recovery" $?
db password-check "pw 密码1" >/dev/null; test $? -ne 0; check "the old password no longer opens it" $?
test -n "$recovery" -a "$(db recovery-string "")" = "$recovery"; check "the content key is the one shown" $?
db items 1 --password "" | grep -qF "<k>secret 密文"; check "the encrypted item still decrypts" $?

echo "== a wrong current password on change leaves the program locked"
start_program
open_dialog "$unlocked"
poke settext "$unlocked" 1000 "wrong"; poke settext "$unlocked" 1001 "x1"; poke settext "$unlocked" 1003 "x1"
poke title "$unlocked" 1014
answer 错误 "输入密码不正确!"; check "the wrong current password is refused" $?
wait_for 10 window_shown "^$locked\$"; check "the dialog now says locked" $?

echo "== new recovery strings: random, then a given one"
poke settext "$locked" 1000 ""; poke title "$locked" 1
wait_for 20 sh -c "! xdotool search --onlyvisible --name '^$locked\$'"
open_dialog "$unlocked"
poke settext "$unlocked" 1004 "new"; poke title "$unlocked" 1020
answer 警告 "更换密码恢复字串需要"; check "new warns about re-encryption" $?
answer 提示 "将随机生成新的密码恢复字串"; check "new asks to confirm a random string" $?
answer 提示 "密码恢复字串已完成更换"; check "new replaces the recovery string" $?
poke settext "$unlocked" 1004 "new0123"; poke title "$unlocked" 1020
answer 警告 "更换密码恢复字串需要"
answer 错误 "应该是67字节"; check "new with a short string is refused" $?
given="00112233445566778899aabbccddeeff0123456789abcdef0f1e2d3c4b5a6978"
poke settext "$unlocked" 1004 "new$given"; poke title "$unlocked" 1020
answer 警告 "更换密码恢复字串需要"
answer 提示 "将更换为指定密码恢复字串"; check "new with 64 digits asks to confirm the given string" $?
answer 提示 "密码恢复字串已完成更换"; check "the given string replaces the key" $?
poke settext "$unlocked" 1004 "abc"; poke title "$unlocked" 1020
answer 错误 "长度应该是64字节"; check "a recovery string of the wrong length is refused" $?
stop_program; check "the program ends" $?
db password-check "" >/dev/null; check "the stored password is empty after new" $?
test "$(db recovery-string "")" = "$given"; check "the content key is the given one" $?
db items 1 --password "" | grep -qF "<k>secret 密文"; check "the encrypted item was re-encrypted and decrypts" $?

echo "== clear: a forced reset to the empty password and a fresh key"
start_program
open_dialog "$unlocked"
poke settext "$unlocked" 1004 "clear"; poke title "$unlocked" 1020
answer 警告 "如果强制清除密码"; check "clear warns that encrypted data is lost" $?
answer 提示 "密码已重置为空"; check "clear resets the password" $?
import -window root "$artefacts/password-after-clear.png" 2>/dev/null
stop_program; check "the program ends" $?
db password-check "" >/dev/null; check "the stored password is empty after clear" $?
test "$(db recovery-string "")" != "$given"; check "clear made a fresh content key" $?
rm -rf "$dir"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
