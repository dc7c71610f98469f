#!/usr/bin/env bash
# Sets up the machine, builds, and runs tether's guided demo on the virtual camera.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRX_BUILD_TESTS=OFF
cmake --build build -j"$(nproc)"
./build/tools/tether demo --out build/tether-demo "$@"
