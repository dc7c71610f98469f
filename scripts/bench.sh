#!/usr/bin/env bash
# Builds an optimised library and runs the benchmarks against the virtual camera:
# picture downloads (arguments go to bench_download), memory over a long
# session of releases, the virtual camera's own frames and pictures, then
# tether serve.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DBRX_BUILD_TESTS=OFF -DBRX_BUILD_TOOLS=ON -DBRX_BUILD_BENCH=ON
cmake --build build-bench -j"$(nproc)" --target bench_download bench_soak bench_virtual_frames tether
./build-bench/bench/bench_download "$@"
./build-bench/bench/bench_soak
./build-bench/bench/bench_virtual_frames
python3 bench/bench_serve.py build-bench/tools/tether
