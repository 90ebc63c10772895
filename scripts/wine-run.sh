#!/usr/bin/env bash
# Runs a Windows executable under Wine in the project's own prefix with a
# Chinese locale, so that the ANSI code page is 936 as on the target systems.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${VELLUMO_WINEPREFIX:-$here/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export LC_ALL=zh_CN.UTF-8
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# Windows are left unmanaged: with no window manager on the test display, a
# managed window that hides makes Wine wait two seconds for a state change
# that never comes.  The end-to-end tests keep them managed
# (VELLUMO_WINE_MANAGED=1), since only then does X give the keyboard focus
# to the window xdotool names.
unmanaged() {
  [ "${VELLUMO_WINE_MANAGED:-0}" = 1 ] || grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null
}
if [ ! -f "$WINEPREFIX/system.reg" ] || ! unmanaged; then
  mkdir -p "$WINEPREFIX"
  # Several tests may start at once on a fresh prefix: one of them boots it.
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
    /usr/lib/wine/wineserver -w || true
  fi
  if ! unmanaged; then
    /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
    /usr/lib/wine/wineserver -w || true
  fi
  flock -u 9
fi
exec /usr/lib/wine/wine64 "$@"
