#!/usr/bin/env bash
# Builds every tests/fuzz/fuzz_*.cpp as a libFuzzer binary and runs each for a
# bounded time.  Exits non-zero if a target fails to build or finds a crash.
#
#   scripts/run-fuzzers.sh                 all targets, VELLUMO_FUZZ_SECONDS each (default 30)
#   scripts/run-fuzzers.sh fuzz_roundtrip  only the named targets
#
# A target names the project sources it needs in one or more comment lines:
#   // fuzz-sources: src/sync/compress.cpp src/platform/secure_random_posix.cpp
# Those are compiled together with the target, with the same instrumentation,
# so coverage guidance reaches into the code under test.
#
# Seeds come from tests/fuzz/corpus/<target>/ (may be absent).  Fuzzing runs on
# a scratch copy under build/fuzz/, so new inputs never land in the repository;
# crash reproducers are written to build/fuzz/artifacts/<target>/ and should be
# turned into fixture tests.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${VELLUMO_FUZZ_SECONDS:-30}"
cxx="${VELLUMO_FUZZ_CXX:-clang++}"
out="$root/build/fuzz"
flags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
       -fno-omit-frame-pointer -Wall -Wextra -I"$root/src" -I"$root/tests")

if [[ ! "$seconds" =~ ^[0-9]+$ ]] || (( seconds < 1 )); then
  echo "VELLUMO_FUZZ_SECONDS must be a positive whole number of seconds" >&2
  exit 2
fi

targets=()
if (( $# > 0 )); then
  for name in "$@"; do
    name="${name%.cpp}"
    if [[ ! -f "$root/tests/fuzz/$name.cpp" ]]; then
      echo "no such fuzz target: tests/fuzz/$name.cpp" >&2
      exit 2
    fi
    targets+=("$root/tests/fuzz/$name.cpp")
  done
else
  shopt -s nullglob
  targets=("$root"/tests/fuzz/fuzz_*.cpp)
  shopt -u nullglob
fi
if (( ${#targets[@]} == 0 )); then
  echo "no fuzz targets found" >&2
  exit 2
fi

mkdir -p "$out/bin"
failed=()
for target in "${targets[@]}"; do
  name="$(basename "$target" .cpp)"
  sources=()
  while read -r src; do
    [[ -z "$src" ]] && continue
    if [[ ! -f "$root/$src" ]]; then
      echo "$name: fuzz-sources names a missing file: $src" >&2
      failed+=("$name (build)")
      continue 2
    fi
    sources+=("$root/$src")
  done < <(sed -n 's|^//[[:space:]]*fuzz-sources:||p' "$target" | tr -s '[:space:]' '\n')

  echo "=== $name: building"
  if ! "$cxx" "${flags[@]}" "$target" "${sources[@]}" -o "$out/bin/$name"; then
    failed+=("$name (build)")
    continue
  fi

  work="$out/corpus/$name"
  artifacts="$out/artifacts/$name"
  rm -rf "$work"
  mkdir -p "$work" "$artifacts"
  if [[ -d "$root/tests/fuzz/corpus/$name" ]]; then
    cp -R "$root/tests/fuzz/corpus/$name/." "$work/"
  fi

  echo "=== $name: fuzzing for ${seconds}s"
  if ! "$out/bin/$name" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$artifacts/" "$work"; then
    failed+=("$name")
  fi
done

if (( ${#failed[@]} > 0 )); then
  echo "fuzzing failed: ${failed[*]}" >&2
  exit 1
fi
echo "all fuzz targets ran clean"
