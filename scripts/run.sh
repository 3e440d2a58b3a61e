#!/usr/bin/env bash
# Sets up the machine, builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo

# The windows need an X server (a Wayland desktop provides one through
# XWayland); without one the toolkit would abort, so say so plainly instead.
# A platform chosen by hand (QT_QPA_PLATFORM) is taken as it is.
if [ -z "${QT_QPA_PLATFORM:-}" ]; then
  if [ -z "${DISPLAY:-}" ]; then
    echo "No display found (DISPLAY is not set): start the program from a desktop session." >&2
    exit 1
  fi
  if ! xdpyinfo >/dev/null 2>&1; then
    echo "The display ${DISPLAY} cannot be reached: start the program from a desktop session." >&2
    exit 1
  fi
fi
exec build/app/novel_reader
