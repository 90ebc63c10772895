#!/usr/bin/env bash
# Builds and runs the hot-path benchmarks, each against its anchor library in
# the same process, and prints one table: path, our median time, the
# anchor's, the ratio (ours / anchor; below 1: ours faster) and the target.
#
#   scripts/run-bench.sh              configure/build build/bench (unsanitized)
#   scripts/run-bench.sh BUILD_DIR    use an already configured build directory
#                                     (configured with -DVELLUMO_BENCH=ON)
#
# Runs are repeated (BENCH_REPETITIONS, default 7) in random interleaved order
# and medians compared, since the machine is shared.  The crypto benchmark
# runs twice: as the processor is, and with VELLUMO_FORCE_PORTABLE=1, where
# our portable engines meet OpenSSL with its AES and SHA instructions masked.
# The per-benchmark output is kept in build/bench-*.json.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

if [[ $# -ge 1 ]]; then
  build_dir="$(cd "$1" && pwd)"
else
  build_dir="$root/build/bench"
  cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELLUMO_SANITIZE=OFF -DVELLUMO_BENCH=ON > /dev/null
fi
cmake --build "$build_dir" -j2 --target crypto_bench codec_bench store_bench model_bench

reps="${BENCH_REPETITIONS:-7}"
common=(--benchmark_repetitions="$reps" --benchmark_enable_random_interleaving=true
        --benchmark_report_aggregates_only=true --benchmark_out_format=json)
out="$root/build"
mkdir -p "$out"

"$build_dir/bench/crypto_bench" "${common[@]}" --benchmark_out="$out/bench-crypto.json" > /dev/null
VELLUMO_FORCE_PORTABLE=1 "$build_dir/bench/crypto_bench" "${common[@]}" \
  --benchmark_out="$out/bench-crypto-portable.json" > /dev/null
"$build_dir/bench/codec_bench" "${common[@]}" --benchmark_filter='^compress/(ours|zlib1)/' \
  --benchmark_out="$out/bench-codec.json" > /dev/null
"$build_dir/bench/store_bench" "${common[@]}" --benchmark_filter='^(scan|bigput)/(ku|lmdb)/' \
  --benchmark_out="$out/bench-store.json" > /dev/null
"$build_dir/bench/model_bench" "${common[@]}" --benchmark_out="$out/bench-model.json" > /dev/null

python3 - "$out" <<'PY'
import json, os, sys

out = sys.argv[1]

def medians(name):
    path = os.path.join(out, name)
    if not os.path.exists(path):
        return {}
    with open(path) as f:
        runs = json.load(f)["benchmarks"]
    result = {}
    for r in runs:
        if r.get("error_occurred"):
            print("error in %s: %s" % (r["name"], r.get("error_message")))
        elif r.get("aggregate_name") == "median":
            unit = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[r.get("time_unit", "ns")]
            parts = [p for p in r["run_name"].split("/") if not p.startswith("iterations:")]
            result["/".join(parts)] = r["real_time"] * unit
    return result

crypto = medians("bench-crypto.json")
portable = medians("bench-crypto-portable.json")
store = medians("bench-store.json")
codec = medians("bench-codec.json")
model = medians("bench-model.json")

rows = [
    ("StretchBlock 512 B, AES instr. vs OpenSSL AES-128-CBC", crypto, "stretch", "openssl", 1.1),
    ("StretchBlock, portable vs OpenSSL vector-permute", portable, "stretch", "openssl", 1.5),
    ("SHA-1 SyncVerifier 133 MB, SHA instr. vs OpenSSL", crypto, "verifier", "openssl", 1.1),
    ("SHA-1 portable vs OpenSSL without SHA instr.", portable, "verifier", "openssl", 1.5),
    ("SHA-1 1 MiB, SHA instr. vs OpenSSL", crypto, "sha1_1MiB", "openssl", 1.1),
    ("SHA-1 1 MiB, portable vs OpenSSL without SHA instr.", portable, "sha1_1MiB", "openssl", 1.5),
    ("CompressPayload 32 KiB UTF-16 vs zlib level 1", codec, "compress/%s/32", "zlib1", 1.0),
    ("CompressPayload 64 KiB UTF-16 vs zlib level 1", codec, "compress/%s/64", "zlib1", 1.0),
    ("CompressPayload 100 KiB UTF-16 vs zlib level 1", codec, "compress/%s/100", "zlib1", 1.0),
    ("Ku ordered scan of 4,096 keys vs LMDB", store, "scan", "lmdb", 2.0),
    ("Ku 1,000 x 30 KB puts vs LMDB", store, "bigput", "lmdb", 1.25),
    ("Model: create 4,096 items vs SQLite", model, "create", "sqlite", None),
    ("Model: list in title order with titles vs SQLite", model, "list", "sqlite", None),
    ("Model: update 1,000 titles vs SQLite", model, "update", "sqlite", None),
    ("Model: delete all items vs SQLite", model, "delete", "sqlite", None),
]

def fmt(seconds):
    if seconds is None:
        return "-"
    for unit, scale in (("s", 1.0), ("ms", 1e-3), ("us", 1e-6)):
        if seconds >= scale:
            return "%.3g %s" % (seconds / scale, unit)
    return "%.3g ns" % (seconds / 1e-9)

print()
print("%-54s %10s %10s %7s %7s  %s" % ("path", "ours", "anchor", "ratio", "target", ""))
def name(workload, engine):
    # Workloads with a %s carry the engine in the middle of the name.
    return workload % engine if "%s" in workload else workload + "/" + engine

for label, data, workload, anchor, target in rows:
    own = "ku" if data is store or data is model else "ours"
    ours = data.get(name(workload, own))
    theirs = data.get(name(workload, anchor))
    goal = "<= %.3g" % target if target else "-"
    if ours and theirs:
        ratio = ours / theirs
        verdict = "" if target is None else ("meets" if ratio <= target else "MISSES")
        print("%-54s %10s %10s %7.2f %7s  %s" % (label, fmt(ours), fmt(theirs), ratio, goal, verdict))
    else:
        print("%-54s %10s %10s %7s %7s  %s" % (label, fmt(ours), fmt(theirs), "-", goal, "not measured"))
PY
