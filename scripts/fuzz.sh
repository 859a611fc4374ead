#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time, starting from the seed
# corpus kept in fuzz/corpus/. Fails on a crash, a sanitizer report, a leak or a slow input.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${KESTREL_FUZZ_SECONDS:-30}

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKESTREL_FUZZ=ON -DKESTREL_GUI=OFF -DKESTREL_BENCH=OFF -DBUILD_TESTING=OFF
cmake --build build-fuzz -j"$(nproc)"

for target in build-fuzz/bin/fuzz_*; do
  name=$(basename "$target")
  found=$(mktemp -d)
  log="build-fuzz/$name.log"
  status=0
  "$target" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$PWD/build-fuzz/$name-" "$found" "$PWD/fuzz/corpus/$name" >"$log" 2>&1 || status=$?
  rm -rf "$found"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "$name: ${runs:-?} inputs in ${seconds}s, exit $status"
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$log" >&2
    echo "$name failed; the input that failed is in build-fuzz/" >&2
    exit 1
  fi
done
