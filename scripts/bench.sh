#!/usr/bin/env bash
# Builds an optimised library and runs every benchmark, each figure printed
# beside a reference measured in the same run (only ratios within one run
# count; run it a few times for the spread): downloads in the process beside
# memcpy, peak memory, shutter to last byte; downloads over real libusb
# against the emulated USB camera beside a plain libusb reader; live view,
# notification round trips, CPU time; memory over a long session; the
# virtual camera's frame and picture encoding; tether serve; tether capture
# of one pair beside tether list; a rig of 16 nodes: release spread and
# collection beside plain HTTP. Arguments go to bench_download.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DBRX_BUILD_TESTS=OFF -DBRX_BUILD_TOOLS=ON -DBRX_BUILD_BENCH=ON
cmake --build build-bench -j"$(nproc)" --target bench_download bench_usb bench_session bench_soak bench_virtual_frames tether
echo "== $(date -u '+%Y-%m-%d %H:%M UTC'), commit $(git rev-parse --short HEAD 2>/dev/null || echo unknown)"
echo "== $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $(uname -sr), load $(cut -d' ' -f1-3 /proc/loadavg)"
./build-bench/bench/bench_download "$@" 2>/dev/null
LD_PRELOAD=libumockdev-preload.so.0 ./build-bench/bench/bench_usb 2>/dev/null
./build-bench/bench/bench_session 2>/dev/null
./build-bench/bench/bench_soak 2>/dev/null
./build-bench/bench/bench_virtual_frames 2>/dev/null
python3 bench/bench_serve.py build-bench/tools/tether
python3 bench/bench_capture.py build-bench/tools/tether
python3 bench/bench_rig.py build-bench/tools/tether
echo "== load at the end $(cut -d' ' -f1-3 /proc/loadavg)"
