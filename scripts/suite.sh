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
cmake -S . -B "$build" "$@"
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
