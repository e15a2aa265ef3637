#!/usr/bin/env bash
# Builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh release
bin=build/release/bin
if [ -x "$bin/mzbackup" ]; then
    exec "$bin/mzbackup" "$@"
fi
echo "The main window is not built yet; starting the command-line tool instead."
exec "$bin/mzb" "${@:-help}"
