#!/bin/sh
# Installs what is missing, builds, and opens the window.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
sh scripts/build.sh build -DFLASHGRAB_BUILD_APP=ON
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found; opening the window on a virtual X display (:99)."
  Xvfb :99 -screen 0 1280x800x24 >/dev/null 2>&1 &
  export DISPLAY=:99
  sleep 1
fi
exec ./build/app/flashgrab
