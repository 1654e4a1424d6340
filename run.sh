#!/usr/bin/env bash
# Installs what the project needs, builds the program and starts its window.
# Arguments go to the program (for example a capture file to open).
# Without a display it says so and writes a screenshot through Xvfb instead.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps >/dev/null
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target quillet quillet-cli >/dev/null
program=build/release/src/app/quillet
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$program" "$@"
fi
shot="${QUILLET_SCREENSHOT:-$PWD/quillet-screenshot.png}"
echo "run.sh: no display here; starting the program on a virtual one (Xvfb) for a screenshot."
xvfb-run -a -s "-screen 0 1024x768x24" "$program" --screenshot "$shot" "$@"
echo "run.sh: screenshot of the main window written to $shot"
