#!/usr/bin/env bash
# Builds one preset (release by default) and runs every test registered with
# CTest: unit tests, end-to-end and interop tests, fuzz corpus replays.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-release}"
scripts/build.sh "$preset"
ctest --preset "$preset" -j"$(nproc)"
