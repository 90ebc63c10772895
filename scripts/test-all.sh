#!/usr/bin/env bash
# Builds everything and runs every test: the native build (with ASan/UBSan),
# the Windows build under Wine, and the fuzz targets for a bounded time.
# Installs what it needs first, so it works on a fresh Debian machine.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

bash scripts/setup-debian.sh

jobs="${VELLUMO_JOBS:-2}"
status=0

echo "== native build and tests"
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
ctest --preset native -j "$jobs" || status=1

echo "== win64 build and tests (through Wine)"
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$jobs"
# Wine tests share one prefix and its server: run them one at a time.  The
# window tests need a display: a private virtual one (the end-to-end tests
# start their own).
display=":$((300 + RANDOM % 100))"
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1
# Wine's server and its service processes are kept running for the whole
# suite, started here with no pipe to inherit: otherwise each test's
# lingering services hold its output open for seconds after it ends.
export WINEPREFIX="$root/build/wineprefix"
DISPLAY="$display" bash scripts/wine-run.sh cmd /c exit </dev/null >/dev/null 2>&1 || true
setsid /usr/lib/wine/wineserver -p </dev/null >/dev/null 2>&1 &
DISPLAY="$display" bash scripts/wine-run.sh cmd /c exit </dev/null >/dev/null 2>&1 || true
# A test that fails is run once more: Wine itself now and then fails to
# start a process (seen as a test that ends in a few milliseconds with no
# output at all), and that says nothing about the program.  A real fault
# fails both times; the log keeps both attempts.
DISPLAY="$display" ctest --preset win64 --repeat until-pass:2 || status=1
/usr/lib/wine/wineserver -k 2>/dev/null || true
unset WINEPREFIX
kill "$xvfb" 2>/dev/null || true

echo "== fuzz targets"
VELLUMO_FUZZ_SECONDS="${VELLUMO_FUZZ_SECONDS:-20}" bash scripts/run-fuzzers.sh || status=1

if [ "$status" -ne 0 ]; then echo "test-all: FAILED"; else echo "test-all: all suites passed"; fi
exit "$status"
