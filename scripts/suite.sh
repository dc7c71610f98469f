#!/usr/bin/env bash
# One test suite: sets up the machine, configures the build directory given
# first with the CMake options that follow, builds everything and runs every
# test through CTest (the fuzz corpus and regression replays included).
#   bash scripts/suite.sh <build-dir> [cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
shift
bash scripts/setup.sh
cmake -S . -B "$build" -DBRX_LINK_WITH_LLD=ON "$@"
cmake --build "$build" -j"$(nproc)"
# Most tests spend their time waiting (on timeouts, other processes, the
# faults they inject): twice as many at once as there are cores keeps the
# cores busy. BRX_TESTS_AT_ONCE sets another number.
ctest --test-dir "$build" --output-on-failure -j"${BRX_TESTS_AT_ONCE:-$((2 * $(nproc)))}"
