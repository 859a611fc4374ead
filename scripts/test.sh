#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Kestrel and runs every test. Needs no display: the
# window tests run on Qt's offscreen platform.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j"$(nproc)"
