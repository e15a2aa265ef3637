#!/usr/bin/env bash
# Builds the program and starts its window.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display here: the window needs a desktop; build/release/bin/mzb works without one (scripts/build.sh builds it)."
    exit 1
fi
scripts/build.sh release
exec build/release/bin/mzbackup "$@"
