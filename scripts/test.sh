#!/usr/bin/env bash
# Builds what the tests of one preset (release by default) run, and runs
# every test registered with CTest: unit tests, end-to-end and interop
# tests, fuzz corpus replays.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-release}"
scripts/build.sh "$preset" --target suite
ctest --preset "$preset" -j"$(nproc)"
