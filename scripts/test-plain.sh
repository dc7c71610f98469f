#!/usr/bin/env bash
# Sets up the machine, builds optimised without sanitizers (as hosts get the
# library), runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/suite.sh "${BRX_PLAIN_BUILD_DIR:-build-plain}" -DCMAKE_BUILD_TYPE=Release
