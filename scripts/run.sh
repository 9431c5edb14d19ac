#!/usr/bin/env bash
# Sets up, builds and starts Tavix Link. Usage: scripts/run.sh [--settings | --demo]
#   --demo  runs it against a simulated bridge on a throw-away state directory (on a virtual display, with
#           screenshots, where there is no desktop)
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = "--demo" ]; then scripts/setup.sh --demo; else scripts/setup.sh; fi
# The application alone: the tests and benchmarks come with scripts/test.sh.
cmake --preset release -DBUILD_TESTING=OFF >/dev/null
cmake --build --preset release -j "$(nproc)"

if [ "${1:-}" = "--demo" ]; then
  exec scripts/demo.sh build/release
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No graphical desktop here (DISPLAY and WAYLAND_DISPLAY are unset): Tavix Link lives in a desktop's tray."
  echo "Run this command from a terminal inside your desktop session, or try it here with: scripts/run.sh --demo"
  exit 2
fi
exec build/release/src/tavix-menu "$@"
