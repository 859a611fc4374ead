#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Kestrel and runs every test: the suite in an optimised
# build (the Vim files' test among it), the VS Code extension's checks and its package, the
# core's and kestrelc's tests and kestrelc.exe built for Windows and run under Wine, a bounded run
# of every fuzz target, and the suite again with AddressSanitizer and UndefinedBehaviorSanitizer.
# Needs no display: the window tests run on Qt's offscreen platform.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

bash scripts/install-deps.sh

echo "== the test suite"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== the editors: the VS Code extension built, packaged and checked"
bash scripts/editors.sh

echo "== Windows: the core and kestrelc under Wine"
bash scripts/windows.sh build/bin/kestrelc

echo "== fuzzing"
bash scripts/fuzz.sh

echo "== the test suite with the sanitizers"
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DKESTREL_SANITIZE=ON -DKESTREL_BENCH=OFF
cmake --build build-sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-sanitize --output-on-failure -j"$jobs" -E '^install$'

