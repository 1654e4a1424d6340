#!/usr/bin/env bash
# Installs what the project needs, builds it and runs the program.
# Arguments go to the program; with none it prints its help.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps >/dev/null
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" >/dev/null
if [ $# -eq 0 ]; then
  exec build/release/src/cli/quillet-cli --help
fi
exec build/release/src/cli/quillet-cli "$@"
