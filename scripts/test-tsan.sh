#!/usr/bin/env bash
# Sets up the machine, builds with ThreadSanitizer, runs every test.
# The tests take their TSAN_OPTIONS (suppressions, uninstrumented
# libraries) from tests/CMakeLists.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build=${BRX_TSAN_BUILD_DIR:-build-tsan}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DBRX_SANITIZE=thread
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
