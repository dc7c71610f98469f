#!/usr/bin/env bash
# Sets up the machine, builds with ThreadSanitizer, runs every test.
# The tests take their TSAN_OPTIONS (suppressions, uninstrumented
# libraries) from tests/CMakeLists.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
# ThreadSanitizer's programs run several times slower and busier: one test
# per core leaves the network-fault tests the time their waits assume.
export BRX_TESTS_AT_ONCE=${BRX_TESTS_AT_ONCE:-$(nproc)}
bash scripts/suite.sh "${BRX_TSAN_BUILD_DIR:-build-tsan}" -DCMAKE_BUILD_TYPE=Debug -DBRX_SANITIZE=thread
