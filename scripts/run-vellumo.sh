#!/usr/bin/env bash
# Builds vellumo.exe and starts it under Wine in the current directory, where
# its database files live (vellumo-00000001.ku/.hs).  Without an X display a
# virtual one is started (screenshots: `import -window root shot.png` with
# DISPLAY set to the number printed below).
#   scripts/run-vellumo.sh [database name]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/setup-debian.sh"
(cd "$root" && cmake --preset win64 >/dev/null && cmake --build --preset win64 -j "${VELLUMO_JOBS:-2}" --target vellumo vellumo-db)
if [ -z "${DISPLAY:-}" ]; then
  export DISPLAY=":$((60 + RANDOM % 30))"
  Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill $xvfb 2>/dev/null' EXIT
  sleep 1
  echo "run-vellumo: virtual display $DISPLAY"
fi
cp "$root/build/win64/src/shell/vellumo.exe" ./vellumo.exe
"$root/scripts/wine-run.sh" ./vellumo.exe "$@"
