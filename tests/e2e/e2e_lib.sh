# Shared by the end-to-end scripts: a private Xvfb display, the Wine runner
# in a prefix of its own, and the check/wait helpers.  Sourced with the
# artefact directory in $artefacts.
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
wine="$here/../../scripts/wine-run.sh"
export VELLUMO_WINE_MANAGED=1
export VELLUMO_WINEPREFIX="${VELLUMO_WINEPREFIX:-$(dirname "$artefacts")/wineprefix-e2e}"
mkdir -p "$artefacts"

display=":$((90 + RANDOM % 100))"
# Scripts may set xvfb_options (an array) before sourcing this file.
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp "${xvfb_options[@]}" >/dev/null 2>&1 &
xvfb=$!
export DISPLAY="$display"
passed=0; failed=0
cleanup() {
  WINEPREFIX="$VELLUMO_WINEPREFIX" /usr/lib/wine/wineserver -k >/dev/null 2>&1
  kill "$xvfb" >/dev/null 2>&1
}
trap cleanup EXIT
sleep 1

# A $(...) in NAME is expanded before a following $? and resets it to its
# own status, so a name that runs a command needs the status saved first
# (ok=$?; check "... $(cat f)" $ok) or every such check passes.
check() {  # check NAME CONDITION-EXIT-CODE
  if [ "$2" -eq 0 ]; then passed=$((passed + 1)); echo "ok: $1"; else failed=$((failed + 1)); echo "FAILED: $1"; fi
}

wait_for() {  # wait_for SECONDS COMMAND...
  local limit=$(( $(date +%s) + $1 )); shift
  until "$@" >/dev/null 2>&1; do
    [ "$(date +%s)" -ge "$limit" ] && return 1
    sleep 0.5
  done
}

window_shown() { xdotool search --onlyvisible --name "$1"; }
