#!/usr/bin/env bash
# Builds and runs the data store benchmark (Ku against LMDB and SQLite), then
# prints Ku's ratio to each other engine per workload.
#
#   scripts/run-bench.sh              configure/build the native preset (build/native)
#   scripts/run-bench.sh BUILD_DIR    use an already configured build directory
#                                     (configured with -DVELLUMO_BENCH=ON)
# Extra benchmark flags can be passed in STORE_BENCH_ARGS.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

if [[ $# -ge 1 ]]; then
  build_dir="$(cd "$1" && pwd)"
  cmake --build "$build_dir" -j2 --target store_bench
else
  build_dir="$root/build/native"
  cmake --preset native
  cmake --build --preset native -j2 --target store_bench
fi

mkdir -p "$root/build"
json="$root/build/store_bench.json"
# shellcheck disable=SC2086
"$build_dir/bench/store_bench" --benchmark_format=console \
  --benchmark_out="$json" --benchmark_out_format=json ${STORE_BENCH_ARGS:-}

python3 - "$json" <<'PY'
import json, sys

with open(sys.argv[1]) as f:
    runs = json.load(f)["benchmarks"]

ips, size = {}, {}
for r in runs:
    if r.get("error_occurred"):
        print("error in %s: %s" % (r["name"], r.get("error_message")))
        continue
    workload, engine = r["name"].split("/")[:2]
    if "items_per_second" in r:
        ips[(workload, engine)] = r["items_per_second"]
    if workload == "insert" and "file_bytes" in r:
        size[engine] = r["file_bytes"]

def ratio(a, b):
    return "%.2f" % (a / b) if a and b else "-"

print()
print("Ku time / other engine's time (below 1: Ku faster); file size Ku / other")
print("%-10s %12s %12s %14s %10s %10s" % ("workload", "ku items/s", "lmdb items/s", "sqlite items/s",
                                          "ku/lmdb", "ku/sqlite"))
for workload in ["insert", "get", "scan", "bigput", "counter"]:
    k, l, s = (ips.get((workload, e)) for e in ("ku", "lmdb", "sqlite"))
    fmt = lambda v: "%.0f" % v if v else "-"
    # Time per item is the inverse of items per second.
    print("%-10s %12s %12s %14s %10s %10s" % (workload, fmt(k), fmt(l), fmt(s), ratio(l, k), ratio(s, k)))
k, l, s = (size.get(e) for e in ("ku", "lmdb", "sqlite"))
if k:
    print("%-10s %12.0f %12.0f %14.0f %10s %10s" % ("file_bytes", k, l or 0, s or 0, ratio(k, l), ratio(k, s)))
PY
