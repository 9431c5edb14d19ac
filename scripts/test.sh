#!/usr/bin/env bash
# Sets up, builds and runs every test. Usage: scripts/test.sh [debug|asan|release]   (default: debug)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-debug}"

scripts/setup.sh --tests
cmake --preset "$preset" -DBUILD_TESTING=ON
cmake --build --preset "$preset" -j "$(nproc)"
ctest --preset "$preset"
