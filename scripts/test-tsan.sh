#!/usr/bin/env bash
# Sets up the machine, builds with ThreadSanitizer, runs every test.
# The tests take their TSAN_OPTIONS (suppressions, uninstrumented
# libraries) from tests/CMakeLists.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/suite.sh "${BRX_TSAN_BUILD_DIR:-build-tsan}" -DCMAKE_BUILD_TYPE=Debug -DBRX_SANITIZE=thread
