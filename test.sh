#!/usr/bin/env bash
# Installs what the project needs, builds it and runs every test.
#   ./test.sh                 the dev build (warnings as errors)
#   PRESET=asan ./test.sh     the same suite under AddressSanitizer + UBSan
set -euo pipefail
cd "$(dirname "$0")"
preset="${PRESET:-dev}"
scripts/install-deps
cmake --preset "$preset"
cmake --build --preset "$preset" -j "$(nproc)"
ctest --preset "$preset" -j "$(nproc)"
