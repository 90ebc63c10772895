#!/usr/bin/env bash
# The PostgreSQL back end: a private PostgreSQL 15 on a private port and
# directory, the store, session and loopback tests against it, then two
# server processes sharing it with an item crossing between them.  Stopped
# and removed afterwards.  Exits 77 (skipped) when no PostgreSQL can be run.
# Usage: postgres_test.sh SERVER PROBE TEST...
set -euo pipefail
server=$1
probe=$2
shift 2
bin=/usr/lib/postgresql/15/bin
if [ ! -x "$bin/initdb" ]; then echo "PostgreSQL 15 is not installed"; exit 77; fi

work=$(mktemp -d)
as=()
if [ "$(id -u)" = 0 ]; then
  # PostgreSQL refuses to run as root; its own account will do.
  if id postgres >/dev/null 2>&1 && command -v runuser >/dev/null; then
    as=(runuser -u postgres --)
    chown postgres "$work"
  else
    echo "running as root without a postgres account"; exit 77
  fi
fi
pids=()
started=""
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  if [ -n "$started" ]; then "${as[@]}" "$bin/pg_ctl" -D "$work/pg" -m immediate stop >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

port=$((20000 + RANDOM % 20000))
if ! "${as[@]}" "$bin/initdb" -D "$work/pg" -A trust -U vellumo --no-sync >"$work/initdb.log" 2>&1; then
  cat "$work/initdb.log"; echo "initdb failed"; exit 77
fi
if ! "${as[@]}" "$bin/pg_ctl" -D "$work/pg" -l "$work/pg.log" -w \
     -o "-p $port -k $work -c listen_addresses=127.0.0.1" start >/dev/null; then
  cat "$work/pg.log"; echo "PostgreSQL did not start"; exit 77
fi
started=1
url="postgresql://vellumo@127.0.0.1:$port/postgres"

for t in "$@"; do
  VELLUMO_TEST_POSTGRES=$url "$t" --gtest_brief=1
done

# Sets server_port.
start_server() {
  local log=$work/server$1.log
  "$server" --postgres "$url" --listen 127.0.0.1:0 --pwhash min >/dev/null 2> "$log" &
  pids+=($!)
  for _ in $(seq 100); do
    server_port=$(sed -n 's/.*listening on 127.0.0.1:\([0-9]*\).*/\1/p' "$log")
    if [ -n "$server_port" ]; then return 0; fi
    sleep 0.05
  done
  cat "$log" >&2; return 1
}
start_server 1
port1=$server_port
start_server 2
port2=$server_port
"$probe" cross "$port1" "$port2"
"$server" accounts --postgres "$url" | tail -1 | grep -q " accounts, "
