#!/usr/bin/env bash
# Builds the Windows programs and starts them under Wine in the current
# directory.  Until the desktop program lands this starts the database tool:
#   scripts/run-vellumo.sh [vellumo-db arguments...]   (default: help)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/setup-debian.sh"
(cd "$root" && cmake --preset win64 >/dev/null && cmake --build --preset win64 -j "${VELLUMO_JOBS:-2}" --target vellumo-db)
if [ $# -eq 0 ]; then set -- help; fi
exec "$root/scripts/wine-run.sh" "$root/build/win64/tools/vellumo-db/vellumo-db.exe" "$@"
