# Sourced by the measurement scripts (with $root set): Wine in a prefix of its
# own on a private virtual display, a scratch directory in $work, all removed
# on exit; `stop_program` ends the running vellumo.exe through its menu.
wine="$root/scripts/wine-run.sh"
export VELLUMO_WINEPREFIX="$root/build/wineprefix-measure"
display=":$((190 + RANDOM % 50))"
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY="$display"
work="$(mktemp -d)"
trap 'WINEPREFIX="$VELLUMO_WINEPREFIX" /usr/lib/wine/wineserver -k >/dev/null 2>&1; kill $xvfb; rm -rf "$work"' EXIT
"$wine" cmd /c exit >/dev/null 2>&1

stop_program() {
  for _ in $(seq 1 100); do
    "$wine" "$root/build/win64/tests/e2e/post-command.exe" class KorrinVellumo 32864 >/dev/null 2>&1 && break
    sleep 0.2
  done
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
