#!/usr/bin/env bash
# Sets up the machine, builds with AddressSanitizer and UBSan, runs every
# test, the replays of the fuzz corpora and regression inputs among them.
set -euo pipefail
cd "$(dirname "$0")/.."
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
bash scripts/suite.sh "${BRX_TEST_BUILD_DIR:-build-tests}" -DCMAKE_BUILD_TYPE=Debug -DBRX_SANITIZE=address,undefined
