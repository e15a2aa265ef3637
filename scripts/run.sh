#!/usr/bin/env bash
# Builds the program and starts its window.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh release
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display here for the window; build/release/bin/mzb backs up and restores from the command line."
    exit 1
fi
exec build/release/bin/mzbackup "$@"
