#!/usr/bin/env bash
# Sets up the machine, builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo

program=build/app/novel_reader
if [ ! -x "$program" ]; then
  echo "Everything is built; the windows come next, so there is no program to start yet."
  exit 0
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found (neither DISPLAY nor WAYLAND_DISPLAY is set): start the program from a desktop session." >&2
  exit 1
fi
exec "$program"
